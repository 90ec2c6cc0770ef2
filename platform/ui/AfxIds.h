// Framework constants: command, control-bar and string ids, window styles and
// show states, message-box flags and results, cursor ids.
#pragma once

#include <cstdint>

#include "platform/core/Geometry.h"
#include "platform/core/WinTypes.h"

using UINT_PTR = uintptr_t;
using LPRECT = RECT*;
using LPCRECT = const RECT*;
using LPPOINT = POINT*;

// WM_SIZE types and WM_SETCURSOR hit-test and message values.
constexpr UINT SIZE_RESTORED = 0;
constexpr UINT SIZE_MINIMIZED = 1;
constexpr UINT SIZE_MAXIMIZED = 2;
constexpr UINT HTCLIENT = 1;
constexpr UINT WM_MOUSEMOVE = 0x0200;

// Commands handled or routed by the framework.
constexpr UINT ID_SEPARATOR = 0;
constexpr UINT ID_FILE_NEW = 57600;
constexpr UINT ID_FILE_OPEN = 57601;
constexpr UINT ID_FILE_CLOSE = 57602;
constexpr UINT ID_FILE_SAVE = 57603;
constexpr UINT ID_FILE_SAVE_AS = 57604;
constexpr UINT ID_FILE_PAGE_SETUP = 57605;
constexpr UINT ID_FILE_PRINT_SETUP = 57606;
constexpr UINT ID_FILE_PRINT = 57607;
constexpr UINT ID_FILE_SAVE_COPY_AS = 57611;
constexpr UINT ID_FILE_MRU_FILE1 = 57616;
constexpr UINT ID_FILE_MRU_LAST = ID_FILE_MRU_FILE1 + 15;
constexpr UINT ID_EDIT_COPY = 57634;
constexpr UINT ID_APP_ABOUT = 57664;
constexpr UINT ID_APP_EXIT = 57665;
constexpr UINT ID_VIEW_TOOLBAR = 59392;
constexpr UINT ID_VIEW_STATUS_BAR = 59393;
constexpr UINT ID_WINDOW_CASCADE = 57650;
constexpr UINT ID_WINDOW_TILE_HORZ = 57651;
// The framework's window commands.
constexpr UINT AFX_IDM_WINDOW_FIRST = 0xE130;
constexpr UINT AFX_IDM_WINDOW_LAST = 0xE13F;

// Control-bar ids.
constexpr UINT AFX_IDW_TOOLBAR = 59392;
constexpr UINT AFX_IDW_STATUS_BAR = 59393;
constexpr UINT AFX_IDW_DOCKBAR_TOP = 59419;
constexpr UINT AFX_IDW_DOCKBAR_LEFT = 59420;
constexpr UINT AFX_IDW_DOCKBAR_RIGHT = 59421;
constexpr UINT AFX_IDW_DOCKBAR_BOTTOM = 59422;

// Framework strings (English and Korean tables in StringTable.cpp).
constexpr UINT AFX_IDS_IDLEMESSAGE = 57345;
constexpr UINT AFX_IDS_UNTITLED = 61443;
constexpr UINT AFX_IDS_RECENT_FILE_EMPTY = 61444;
constexpr UINT AFX_IDP_FAILED_TO_OPEN_DOC = 61704;
constexpr UINT AFX_IDP_ASK_TO_SAVE = 61707;
constexpr UINT AFX_IDS_BUTTON_OK = 61460;
constexpr UINT AFX_IDS_BUTTON_CANCEL = 61461;
constexpr UINT AFX_IDS_BUTTON_YES = 61462;
constexpr UINT AFX_IDS_BUTTON_NO = 61463;
constexpr UINT AFX_IDS_BUTTON_ABORT = 61464;
constexpr UINT AFX_IDS_BUTTON_RETRY = 61465;
constexpr UINT AFX_IDS_BUTTON_IGNORE = 61466;

// Window styles the system's code passes; the layer reads only a few of them.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;

// Control-bar styles.
constexpr DWORD CBRS_ALIGN_LEFT = 0x1000;
constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
constexpr DWORD CBRS_ALIGN_RIGHT = 0x4000;
constexpr DWORD CBRS_ALIGN_BOTTOM = 0x8000;
constexpr DWORD CBRS_ALIGN_ANY = 0xF000;
constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP;
constexpr DWORD CBRS_BOTTOM = CBRS_ALIGN_BOTTOM;
constexpr DWORD CBRS_TOOLTIPS = 0x0010;
constexpr DWORD CBRS_FLYBY = 0x0020;
constexpr DWORD CBRS_SIZE_DYNAMIC = 0x0400;

// ShowWindow states.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

// SetWindowPos flags.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;

// Message boxes.
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x0002;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_RETRYCANCEL = 0x0005;
constexpr UINT MB_TYPEMASK = 0x000F;
constexpr UINT MB_ICONHAND = 0x0010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x0040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x00F0;
constexpr UINT MB_DEFBUTTON1 = 0x0000;
constexpr UINT MB_DEFBUTTON2 = 0x0100;
constexpr UINT MB_DEFBUTTON3 = 0x0200;
constexpr UINT MB_DEFMASK = 0x0F00;
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_TASKMODAL = 0x2000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Standard cursors (LoadStandardCursor); resource cursors use small ids.
constexpr UINT IDC_ARROW = 32512;
constexpr UINT IDC_IBEAM = 32513;
constexpr UINT IDC_WAIT = 32514;
constexpr UINT IDC_CROSS = 32515;
constexpr UINT IDC_UPARROW = 32516;
constexpr UINT IDC_SIZENWSE = 32642;
constexpr UINT IDC_SIZENESW = 32643;
constexpr UINT IDC_SIZEWE = 32644;
constexpr UINT IDC_SIZENS = 32645;
constexpr UINT IDC_SIZEALL = 32646;
constexpr UINT IDC_NO = 32648;
constexpr UINT IDC_HAND = 32649;

// Mouse-message key flags.
constexpr UINT MK_LBUTTON = 0x0001;
constexpr UINT MK_RBUTTON = 0x0002;
constexpr UINT MK_SHIFT = 0x0004;
constexpr UINT MK_CONTROL = 0x0008;
constexpr UINT MK_MBUTTON = 0x0010;

// TrackPopupMenu flags.
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_RETURNCMD = 0x0100;

// Menu item flags.
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_POPUP = 0x0010;
