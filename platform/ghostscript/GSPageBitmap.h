// A page of Ghostscript's display device turned into a DIB: rows bottom-up,
// 4-byte aligned, at 1, 4, 8 or 24 bits per pixel with its palette.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/core/DibTypes.h"

class GSPageBitmap {
public:
    // Bits per pixel a caller may ask for; anything else is taken as 24.
    static int NormalBitsPerPixel(int bitsPerPixel);
    // The display device's format for a requested depth: native 1-bit (1 is
    // black) for 1, otherwise 24-bit blue-green-red. Rows start at the bottom.
    static unsigned int DisplayFormat(int bitsPerPixel);

    // Converts a device raster (rows bottom first, raster bytes apart, in the
    // format DisplayFormat(bitsPerPixel) gives). False when the sizes are not
    // sensible or memory runs out; the bitmap is then empty.
    bool Assign(const unsigned char* device, int width, int height, int raster, int bitsPerPixel);
    void Clear();

    bool IsEmpty() const { return m_bits.empty(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitsPerPixel() const { return m_bitsPerPixel; }
    int Stride() const { return m_stride; }
    const std::vector<RGBQUAD>& Palette() const { return m_palette; }
    unsigned char* Row(int index) { return m_bits.data() + size_t(index) * size_t(m_stride); }
    void FillHeader(BITMAPINFOHEADER* header) const;

private:
    int m_width = 0, m_height = 0, m_bitsPerPixel = 0, m_stride = 0;
    std::vector<unsigned char> m_bits;
    std::vector<RGBQUAD> m_palette;
};
