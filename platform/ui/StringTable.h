// String tables: ids to text in English and Korean. The language is picked
// from the environment (LC_ALL, then LC_MESSAGES, then LANG): Korean for a
// value starting with "ko", English otherwise. A Korean lookup of an id that
// has no Korean text falls back to English. Texts are UTF-8.
#pragma once

#include "platform/core/CString.h"

enum class UiLanguage { English, Korean };

struct StringTableEntry {
    UINT id;
    const char* text;
};

// Adds (or replaces) entries of one language's table.
void AfxAddStrings(UiLanguage lang, const StringTableEntry* entries, int count);
// Language from the environment; called once lazily, and again by tests.
UiLanguage AfxLanguageFromEnvironment();
void AfxSetLanguage(UiLanguage lang);
UiLanguage AfxGetLanguage();

// Text of `id` in the current language; false (and rString emptied) when missing.
bool AfxLoadString(UINT id, CString& rString);
CString AfxLoadString(UINT id);

// Inserts: "%1" to "%9" are replaced by args[0..8]; the FormatMessage form
// "%1!s!" is accepted as well; "%%" is a percent sign. An insert number
// without an argument stays as it stands.
CString AfxFormatInserts(const char* format, const char* const* args, int count);
void AfxFormatString1(CString& rString, UINT nIDS, const char* lpsz1);
void AfxFormatString2(CString& rString, UINT nIDS, const char* lpsz1, const char* lpsz2);
