// Command, control and message ids of the page view.
#pragma once

#include "platform/core/WinTypes.h"

constexpr UINT ID_PAGE_NEXT = 40001;
constexpr UINT ID_PAGE_PREV = 40002;
constexpr UINT ID_PAGE_FIRST = 40004;
constexpr UINT ID_PAGE_LAST = 40005;
constexpr UINT ID_HISTORY_BACK = 40027;
constexpr UINT ID_HISTORY_FORWARD = 40028;

constexpr UINT ID_ZOOM_200 = 40118;
constexpr UINT ID_ZOOM_150 = 40119;
constexpr UINT ID_ZOOM_120 = 40120;
constexpr UINT ID_ZOOM_100 = 40121;
constexpr UINT ID_ZOOM_90 = 40122;
constexpr UINT ID_ZOOM_80 = 40124;
constexpr UINT ID_ZOOM_70 = 40125;
constexpr UINT ID_ZOOM_50 = 40126;

constexpr UINT ID_FIT_WIDTH_BUTTON = 112;
constexpr UINT ID_FIT_PAGE_BUTTON = 113;
constexpr UINT ID_FIT_WIDTH = 40130;
constexpr UINT ID_FIT_WIDTH_ADJUST_MARGIN = 40131;
constexpr UINT ID_FIT_PAGE = 40132;
constexpr UINT ID_FIT_PAGE_ADJUST_MARGIN = 40133;
constexpr UINT ID_ADJUST_MARGIN = 40116;

// Modes, selection and copying.
constexpr UINT ID_VIEW_MODE = 40017;
constexpr UINT ID_TEXT_SELECT = 40075;
constexpr UINT ID_COLUMN_SELECT = 40076;
constexpr UINT ID_IMAGE_SELECT = 40135;
constexpr UINT ID_EDIT_MODE = 40008;
constexpr UINT ID_EDIT_CANCEL = 40099;

// Search, document information and the viewer options.
constexpr UINT ID_SEARCH = 40006;
constexpr UINT ID_DOCUMENT_INFO = 40093;
constexpr UINT ID_VIEWER_OPTIONS = 32780;

// Page slider, layout bar and notes.
constexpr UINT ID_GOTO_PAGE = 40134;
constexpr UINT ID_LAYOUT_BAR = 40138;
constexpr UINT ID_NOTE = 40139;
constexpr UINT ID_NOTE_EDIT = 40140;
constexpr UINT ID_NOTE_DELETE = 40141;
constexpr UINT ID_NOTE_PROPERTIES = 40142;
constexpr UINT ID_SHOW_NOTE_ICON = 40143;

// The bottom row's boxes, and the update item of a loaded document.
constexpr UINT IDC_ZOOM_BOX = 32782;  // ID_ZOOM_EDIT
constexpr UINT IDC_PAGE_BOX = 32783;  // ID_PAGE_EDIT
constexpr UINT ID_ZOOM_EDIT = IDC_ZOOM_BOX;
constexpr UINT ID_PAGE_EDIT = IDC_PAGE_BOX;
constexpr UINT ID_DOCUMENT_LOADED = 1080;
constexpr UINT IDC_ZOOM_SPIN = 1005;
// The zoom drop-down menu (its first popup holds the items).
constexpr UINT IDR_ZOOM_MENU = 203;

constexpr UINT WM_TOOLBAR_EDIT_ENTER = 0x0400 + 1;  // WM_USER + 1
constexpr UINT WM_ZOOM_STEP_UP = 0x0400 + 2;  // WM_USER + 2
constexpr UINT WM_ZOOM_STEP_DOWN = 0x0400 + 3;  // WM_USER + 3

// Popup menus of the page view.
constexpr UINT IDR_VIEW_POPUP = 105;
constexpr UINT IDR_SELECT_POPUP = 129;
constexpr UINT IDR_TEXT_MODES_POPUP = 206;
constexpr UINT IDR_NOTE_POPUP = 223;

// Cursors of the page view.
constexpr UINT IDC_VIEW_GLASS = 104;
constexpr UINT IDC_VIEW_LINK = 123;
constexpr UINT IDC_VIEW_PAGE = 205;
constexpr UINT IDC_VIEW_COLUMN = 208;
constexpr UINT IDC_VIEW_NOTE_PLACE = 217;
constexpr UINT IDC_VIEW_NOTE = 222;

// The selection's auto-scroll timer.
constexpr UINT ID_SELECTION_SCROLL_TIMER = 305;

// View modes.
enum { kModeView = 0, kModeText = 2, kModeColumn = 3, kModeImage = 4, kModeNote = 6 };
