// Resource ids and texts of the application object: the main frame, the
// document template, the in-place frame and the start-up messages.
#pragma once

#include "platform/core/WinTypes.h"

constexpr UINT IDR_VRVIEWTYPE = 119;          // document template string, child menu
constexpr UINT IDR_MAINFRAME = 128;           // main frame title, menu, accelerators
constexpr UINT IDR_VRVIEWTYPE_SRVR_IP = 130;  // in-place frame menu and accelerators
constexpr UINT IDS_DEFAULT_FACE = 1209;       // default face of the shared block
constexpr UINT IDP_OLE_INIT_FAILED = 61891;
// Preferences: the sheet's title, the big-paper note and the field checks.
constexpr UINT IDS_PREFERENCES = 59500;
constexpr UINT IDS_PREF_BIG_PAPER = 45000;
constexpr UINT IDS_PREF_GLASS_MONOCHROME = 45103;
constexpr UINT AFX_IDP_PARSE_INT = 0xF110;
constexpr UINT AFX_IDP_PARSE_REAL = 0xF113;

// The About box.
constexpr UINT IDS_ABOUT_CAPTION = 47380;
constexpr UINT IDS_ABOUT_TEXT = 47381;
constexpr UINT IDS_ABOUT_VERSION = 47382;
