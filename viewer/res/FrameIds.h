// Command, control, timer and resource ids of the frames and their bars.
#pragma once

#include "platform/core/WinTypes.h"

// Main frame commands.
constexpr UINT ID_WINDOW_MAXIMIZE = 40106;

// Status bar panes: the position on the page and the page.
constexpr UINT ID_INDICATOR_POSITION = 59143;
constexpr UINT ID_INDICATOR_PAGE = 59142;

// The layout bar of the document frames, its tab control and tab images.
constexpr UINT IDW_LAYOUT_BAR = 161;
constexpr UINT IDC_LAYOUT_TABS = 160;
constexpr UINT IDB_LAYOUT_TABS = 214;

// Tab labels of the layout bar.
constexpr UINT IDS_TAB_CONTENTS = 61897;
constexpr UINT IDS_TAB_THUMBNAILS = 61898;
