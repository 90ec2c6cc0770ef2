// Device-independent bitmap headers as stored in BMP files and packed DIBs
// (little-endian on disk; these are the in-memory forms).
#pragma once

#include <cstdint>

#include "platform/core/WinTypes.h"

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
    WORD bfType;      // 'BM'
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)

struct BITMAPCOREHEADER {
    DWORD bcSize; // 12
    WORD bcWidth;
    WORD bcHeight;
    WORD bcPlanes;
    WORD bcBitCount;
};

struct BITMAPINFOHEADER {
    DWORD biSize; // 40
    LONG biWidth;
    LONG biHeight; // positive: bottom-up rows
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct RGBTRIPLE {
    BYTE rgbtBlue;
    BYTE rgbtGreen;
    BYTE rgbtRed;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

// Bytes in one DIB row of the given width and depth: rows are 4-byte aligned.
constexpr int64_t DibRowBytes(int64_t width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }
