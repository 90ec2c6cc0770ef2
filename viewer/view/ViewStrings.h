// Texts of the page view in the string tables.
#pragma once

// Adds the view's texts to the English and Korean string tables (once).
void AfxRegisterViewStrings();
