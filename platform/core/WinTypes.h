// Integer types, colour values and small helpers that the system's code names.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using LONG = int32_t;
using ULONG = uint32_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using WCHAR = char16_t;
using LPCSTR = const char*;
using LPSTR = char*;
using LPCTSTR = const char*;
using LPTSTR = char*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using COLORREF = uint32_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Colours are 0x00BBGGRR.
constexpr COLORREF RGB(int r, int g, int b) {
    return COLORREF(uint8_t(r)) | (COLORREF(uint8_t(g)) << 8) | (COLORREF(uint8_t(b)) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE((c >> 16) & 0xFF); }

// Qt's 0xAARRGGBB from and to COLORREF; the one place the two conventions meet.
constexpr uint32_t ColorRefToArgb(COLORREF c) {
    return 0xFF000000u | (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}
constexpr COLORREF ArgbToColorRef(uint32_t argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

constexpr WORD LOWORD(uint32_t v) { return WORD(v & 0xFFFF); }
constexpr WORD HIWORD(uint32_t v) { return WORD((v >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(uint32_t v) { return BYTE(v & 0xFF); }
constexpr BYTE HIBYTE(uint32_t v) { return BYTE((v >> 8) & 0xFF); }
constexpr uint32_t MAKELONG(uint32_t lo, uint32_t hi) { return (lo & 0xFFFF) | ((hi & 0xFFFF) << 16); }

// a * b / c with a 64-bit intermediate, rounded half away from zero; -1 when c is 0.
constexpr int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    int64_t p = int64_t(a) * b, d = c;
    if (d < 0) p = -p, d = -d;
    return int(p >= 0 ? (p + d / 2) / d : (p - d / 2) / d);
}
