// The packed-DIB helper: reads a DIB's header (core, info, V4, V5), its
// colour table (RGB or palette indexes), its row layout (stride, bottom-up
// or top-down) and its pixels (1, 4, 8, 16, 24, 32 bits, bit fields, RLE4,
// RLE8), checking every size against the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/core/DibTypes.h"
#include "platform/gdi/GdiConstants.h"

class DibView {
public:
    // header points at the header and colour table (headerSize bytes
    // readable), bits at the pixels (bitsSize bytes readable). With
    // DIB_PAL_COLORS the table holds WORD indexes into dcPalette. False when
    // anything is malformed, too large or short.
    bool Parse(const void* header, size_t headerSize, const void* bits, size_t bitsSize,
               UINT usage = DIB_RGB_COLORS, const std::vector<PALETTEENTRY>* dcPalette = nullptr);
    // A packed DIB: header, colour table, then the pixels.
    bool ParsePacked(const void* data, size_t size, UINT usage = DIB_RGB_COLORS,
                     const std::vector<PALETTEENTRY>* dcPalette = nullptr);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitCount() const { return bpp_; }
    bool TopDown() const { return topDown_; }
    int Stride() const { return stride_; }
    // Bytes of header plus colour table (the offset of the pixels in a packed DIB).
    size_t HeaderBytes() const { return headerBytes_; }
    // Bytes the pixels need.
    size_t ImageBytes() const { return imageBytes_; }
    // Colour table as 0x00RRGGBB (indexed depths only).
    const std::vector<uint32_t>& Colors() const { return colors_; }
    bool Indexed() const { return bpp_ <= 8; }

    // row counts from the top of the image.
    uint32_t Index(int x, int row) const;
    uint32_t Rgb(int x, int row) const;

    // Size of the header and table a BITMAPINFO needs, from its first bytes
    // (at most avail of them are read); 0 when malformed or short.
    static size_t InfoSize(const void* header, UINT usage, size_t avail = SIZE_MAX);

private:
    int width_ = 0, height_ = 0, bpp_ = 0, stride_ = 0;
    bool topDown_ = false;
    DWORD compression_ = BI_RGB;
    uint32_t masks_[3] = {0, 0, 0};
    int shifts_[3] = {0, 0, 0}, widths_[3] = {0, 0, 0};
    size_t headerBytes_ = 0, imageBytes_ = 0;
    std::vector<uint32_t> colors_;
    const uint8_t* bits_ = nullptr;
    std::vector<uint8_t> decoded_;  // RLE pixels, one byte each, top row first
    const uint8_t* RowPtr(int row) const;
};
