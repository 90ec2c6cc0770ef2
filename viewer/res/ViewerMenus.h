// The viewer's menus and accelerator tables, in English and Korean: the main
// frame's with no document open (IDR_MAINFRAME), the document frames'
// (IDR_VRVIEWTYPE), the in-place frame's (IDR_VRVIEWTYPE_SRVR_IP) and the
// page view's popup menus.
#pragma once

// Registers the menus in the current language of the string tables and the
// accelerators; again after the language changed.
void AfxRegisterViewerMenus();

