// The viewer's menus and accelerator tables, in English and Korean: the main
// frame's with no document open (IDR_MAINFRAME), the document frames'
// (IDR_VRVIEWTYPE) and the in-place frame's (IDR_VRVIEWTYPE_SRVR_IP).
#pragma once

// Registers the menus in the current language of the string tables and the
// accelerators; again after the language changed.
void AfxRegisterViewerMenus();

