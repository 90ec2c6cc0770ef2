// Texts of the preference sheet: its page titles, labels, buttons and list
// items. The pages name a text by its English words (PrefText).
#pragma once

#include "platform/core/CString.h"
#include "platform/core/WinTypes.h"

// Ids 47400 and up, one per text of the table in PrefStrings.cpp.
constexpr UINT IDS_PREF_FIRST_TEXT = 47400;

// The text in the interface's language; a text that is not in the table as
// it stands.
CString PrefText(const char* english);
