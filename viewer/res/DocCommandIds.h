// Command ids of the document.
#pragma once

#include "platform/core/WinTypes.h"

constexpr UINT ID_VIEWER_UNLOAD = 116;
constexpr UINT ID_VIEWER_STOP = 117;
constexpr UINT ID_VIEWER_REFRESH = 118;
constexpr UINT ID_WINDOW_CLOSEALL = 40114;
