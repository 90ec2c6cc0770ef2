// Layout of the packed bitmaps the picture decoders write.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/core/DibTypes.h"
#include "platform/pictures/PictureDib.h"

namespace pictures {

constexpr LONG kPelsPerMeter = 3780;

// Bytes of header, colour table and rows; 0 when the sizes are out of range.
inline int64_t PackedDibBytes(int64_t width, int64_t height, int bitCount) {
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return 0;
    int64_t table = bitCount <= 8 ? int64_t(4) << bitCount : 0;
    int64_t bytes = int64_t(sizeof(BITMAPINFOHEADER)) + table + DibRowBytes(width, bitCount) * height;
    return bytes <= kMaxPictureDibBytes ? bytes : 0;
}

// Writes the header; returns the colour table (bitCount <= 8) or the first
// pixel byte.
inline uint8_t* WriteDibHeader(void* dib, int width, int height, int bitCount) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = WORD(bitCount);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(DibRowBytes(width, bitCount) * height);
    h.biXPelsPerMeter = kPelsPerMeter;
    h.biYPelsPerMeter = kPelsPerMeter;
    h.biClrUsed = bitCount <= 8 ? DWORD(1) << bitCount : 0;
    std::memcpy(dib, &h, sizeof h);
    return static_cast<uint8_t*>(dib) + sizeof h;
}

} // namespace pictures
