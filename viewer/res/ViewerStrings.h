// The viewer's string tables, English and Korean: the application's, the
// frames', the view's and its dialogs', the toolbar's and the document's
// texts, all added by one call (once; later calls do nothing).
#pragma once

void AfxRegisterViewerStrings();

// The tables, each added by AfxRegisterViewerStrings only.
void AddAppStrings();
void AddViewStrings();
void AddViewDialogStrings();
void AddToolbarStrings();
void AddDocStrings();
void AddPrefStrings();
