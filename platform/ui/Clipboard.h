// The clipboard: text and images. Text put on the clipboard has "\n" line
// ends ("\r\n" and lone "\r" are turned into "\n"). UI thread only.
#pragma once

#include <cstdint>

#include "platform/core/CString.h"
#include "platform/core/DibTypes.h"

struct WindowSurface;

BOOL AfxSetClipboardText(const char* lpszText);
// Empty when the clipboard holds no text.
CString AfxGetClipboardText();
// 32-bit pixels as in a WindowSurface (0xFFRRGGBB, top-down).
BOOL AfxSetClipboardImage(const uint32_t* pixels, int width, int height);
BOOL AfxSetClipboardImage(const WindowSurface& surface);
// A packed DIB: header, colour table and bits (1, 4, 8, 24 or 32 bits, BI_RGB).
BOOL AfxSetClipboardDib(const BITMAPINFO* pInfo, const void* pBits);
// The clipboard image as 32-bit pixels; false when there is none.
bool AfxGetClipboardImage(WindowSurface& out);
