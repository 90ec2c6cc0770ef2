// Resource ids and texts of the application object: the main frame, the
// document template, the in-place frame and the start-up messages.
#pragma once

#include "platform/core/WinTypes.h"

constexpr UINT IDR_VRVIEWTYPE = 119;          // document template string, child menu
constexpr UINT IDR_MAINFRAME = 128;           // main frame title, menu, accelerators
constexpr UINT IDR_VRVIEWTYPE_SRVR_IP = 130;  // in-place frame menu and accelerators
constexpr UINT IDS_DEFAULT_FACE = 1209;       // default face of the shared block
constexpr UINT IDP_OLE_INIT_FAILED = 61891;

// Adds the texts above to the English and Korean string tables (once).
void AfxRegisterAppStrings();
