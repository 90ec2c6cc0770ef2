#include "dvilib/PrintDIB.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/DC.h"
#include "platform/gdi/GdiObjects.h"

namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Reads and drops count bytes; false when the stream ends first.
bool Skip(CGSFile* file, uint64_t count) {
    unsigned char scratch[4096];
    while (count > 0) {
        unsigned want = unsigned(std::min<uint64_t>(count, sizeof scratch));
        if (file->ReadFully(scratch, want) != want) return false;
        count -= want;
    }
    return true;
}

// Rows of `height` pixels `width` wide, `stride` bytes apart, packed into a
// 1-bit image: 0 where isInk(row, x) holds, else 1.
template <class IsInk> std::vector<unsigned char> PackMono(int width, int height, IsInk isInk) {
    const unsigned stride = unsigned(DibRowBytes(width, 1));
    std::vector<unsigned char> out(size_t(stride) * unsigned(height), 0xFF);
    for (int r = 0; r < height; ++r) {
        unsigned char* dst = out.data() + size_t(r) * stride;
        for (int x = 0; x < width; ++x)
            if (isInk(r, x)) dst[x >> 3] &= static_cast<unsigned char>(~(0x80 >> (x & 7)));
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------- CDibBase

CDibBase::CDibBase() : m_headerBuffer(kHeaderBufferSize, 0) {}

CDibBase::~CDibBase() { FreePalette(); }

GSPageError CDibBase::ParseHeader(unsigned avail) {
    const uint8_t* h = m_headerBuffer.data();
    if (avail < 12) return GSPageError::BadHeader;
    m_headerSize = Le32(h);
    unsigned tableAt;
    if (m_headerSize < 13) {
        if (m_headerSize != 12) return GSPageError::BadHeader;
        m_core = 1;
        m_width = Le16(h + 4);
        m_height = Le16(h + 6);
        m_planes = Le16(h + 8);
        m_bitCount = Le16(h + 10);
        m_compression = 0, m_sizeImage = 0;
        m_xRes = m_yRes = 72;
        m_clrUsed = m_clrImportant = 0;
        tableAt = 12;
    } else {
        if (m_headerSize < 40 || m_headerSize > avail) return GSPageError::BadHeader;
        m_core = 0;
        m_width = int32_t(Le32(h + 4));
        m_height = int32_t(Le32(h + 8));
        m_planes = Le16(h + 12);
        m_bitCount = Le16(h + 14);
        m_compression = Le32(h + 16);
        m_sizeImage = Le32(h + 20);
        m_xRes = int32_t(Le32(h + 24));
        m_yRes = int32_t(Le32(h + 28));
        m_clrUsed = Le32(h + 32);
        m_clrImportant = Le32(h + 36);
        // Larger headers (V4, V5) keep their colour table after themselves.
        tableAt = m_headerSize;
    }
    // Bottom-up rows of one plane, uncompressed; bit fields for 16 and 32 bits.
    if (m_planes != 1 || m_width <= 0 || m_height <= 0) return GSPageError::BadHeader;
    switch (m_bitCount) {
    case 1: case 4: case 8: case 24: break;
    case 16: case 32: if (!m_core) break; [[fallthrough]];
    default: return GSPageError::BadHeader;
    }
    bool bitFields = m_compression == BI_BITFIELDS && (m_bitCount == 16 || m_bitCount == 32);
    if (m_compression != BI_RGB && !bitFields) return GSPageError::BadHeader;

    unsigned tableBytes;
    if (m_bitCount <= 8) {
        uint32_t full = 1u << m_bitCount;
        uint32_t count = (!m_core && m_clrUsed != 0) ? m_clrUsed : full;
        if (count > full) return GSPageError::BadHeader;
        m_colourCount = int(count);
        tableBytes = count * (m_core ? 3 : 4);
    } else {
        m_colourCount = 0;
        tableBytes = bitFields ? 12 : 0;
    }
    if (tableAt + uint64_t(tableBytes) > avail) return GSPageError::BadHeader;
    const uint8_t* t = h + tableAt;
    std::memset(m_colours, 0, sizeof m_colours);
    for (int i = 0; i < m_colourCount; ++i) {
        const uint8_t* e = t + i * (m_core ? 3 : 4);
        m_colours[i].rgbBlue = e[0];
        m_colours[i].rgbGreen = e[1];
        m_colours[i].rgbRed = e[2];
    }
    if (bitFields)
        for (int i = 0; i < 3; ++i) m_masks[i] = Le32(t + 4 * i);
    m_stride = 0;  // set by the caller once the width is checked
    return GSPageError::None;
}

void CDibBase::FreePalette() {
    if (m_palette) DeleteObject(m_palette);
    m_palette = nullptr;
}

void CDibBase::MakePalette() {
    FreePalette();
    m_paletteReady = 0;
    if (m_colourCount == 0) {
        m_paletteReady = 1;
        return;
    }
    std::vector<uint8_t> mem(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * size_t(m_colourCount));
    auto* lp = reinterpret_cast<LOGPALETTE*>(mem.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = WORD(m_colourCount);
    for (int i = 0; i < m_colourCount; ++i) {
        lp->palPalEntry[i].peRed = m_colours[i].rgbRed;
        lp->palPalEntry[i].peGreen = m_colours[i].rgbGreen;
        lp->palPalEntry[i].peBlue = m_colours[i].rgbBlue;
        lp->palPalEntry[i].peFlags = 0;
    }
    m_palette = CreatePalette(lp);
    m_paletteReady = m_palette ? 1 : 0;
}

const BITMAPINFO* CDibBase::DrawInfo(int bandHeight) {
    m_drawInfo.assign(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = m_width;
    bih.biHeight = bandHeight;
    bih.biPlanes = 1;
    bih.biBitCount = m_bitCount;
    bih.biCompression = m_compression;
    bih.biSizeImage = m_stride * unsigned(bandHeight);
    bih.biXPelsPerMeter = m_xRes;
    bih.biYPelsPerMeter = m_yRes;
    bih.biClrUsed = uint32_t(m_colourCount);
    std::memcpy(m_drawInfo.data(), &bih, sizeof bih);
    uint8_t* t = m_drawInfo.data() + sizeof bih;
    if (m_compression == BI_BITFIELDS)
        std::memcpy(t, m_masks, sizeof m_masks);
    else
        std::memcpy(t, m_colours, sizeof(RGBQUAD) * size_t(m_colourCount));
    return reinterpret_cast<const BITMAPINFO*>(m_drawInfo.data());
}

// ---------------------------------------------------------------- CPrintDIB

CPrintDIB::CPrintDIB() = default;

CPrintDIB::~CPrintDIB() = default;

int CPrintDIB::ReadHeader(CGSFile* file) {
    m_band.clear();
    m_band.shrink_to_fit();
    m_bits = nullptr;
    m_pageWidth = m_pageHeight = m_pageBitCount = 0;
    m_pageStride = 0;
    m_saved = Saved();
    m_error = GSPageError::None;
    m_black = m_white = m_white2 = -1;
    m_whiteByte = m_white2Byte = 0;
    ResetPrintLine();
    if (!file) return 0;

    uint8_t fileHeader[14];
    unsigned got = file->ReadFully(fileHeader, sizeof fileHeader);
    if (got == 0) return 0;  // the end of the stream between pages
    if (got < sizeof fileHeader) {
        m_error = fileHeader[0] == 'B' && (got < 2 || fileHeader[1] == 'M') ? GSPageError::CutShort
                                                                           : GSPageError::NotBmp;
        return 0;
    }
    if (Le16(fileHeader) != 0x4D42) {
        m_error = GSPageError::NotBmp;
        return 0;
    }
    uint32_t offset = Le32(fileHeader + 10);
    if (offset < 14 + 12) {
        m_error = GSPageError::BadHeader;
        return 0;
    }
    // What fits in the header buffer is kept, the rest read and dropped.
    uint32_t headerBytes = offset - 14;
    unsigned keep = std::min<uint32_t>(headerBytes, kHeaderBufferSize);
    std::fill(m_headerBuffer.begin(), m_headerBuffer.end(), 0);
    if (file->ReadFully(m_headerBuffer.data(), keep) != keep || !Skip(file, headerBytes - keep)) {
        m_error = GSPageError::CutShort;
        return 0;
    }
    m_error = ParseHeader(keep);
    if (m_error != GSPageError::None) return 0;
    uint64_t stride = uint64_t(DibRowBytes(m_width, m_bitCount));
    if (stride > kMaxStride) {
        m_error = GSPageError::RowTooWide;
        return 0;
    }
    m_stride = unsigned(stride);

    m_saved.width = m_width;
    m_saved.bitCount = m_bitCount;
    m_saved.compression = m_compression;
    m_saved.sizeImage = m_sizeImage;
    m_saved.clrUsed = m_clrUsed;
    m_saved.clrImportant = m_clrImportant;
    std::memcpy(m_saved.colours, m_colours, sizeof m_colours);
    m_saved.colourCount = m_colourCount;
    m_pageWidth = m_width;
    m_pageHeight = m_height;
    m_pageBitCount = m_bitCount;
    m_pageStride = m_stride;

    m_band.assign(std::max<size_t>(kBandSize, m_stride), 0);
    m_bits = m_band.data();
    ResetPrintLine();
    GetBlackWhiteIndex();
    MakePalette();
    return 1;
}

int CPrintDIB::ReadPageRows(CGSFile* file, HDC dc, int print) {
    if (!file || m_pageStride == 0) return 0;
    std::vector<unsigned char> row(m_pageStride);
    for (int r = 0; r < m_pageHeight; ++r) {
        if (file->ReadFully(row.data(), m_pageStride) != m_pageStride) {
            m_error = GSPageError::CutShort;
            ResetPrintLine();
            m_pageStride = 0;
            return 0;
        }
        if (print) AddPrintLine(dc, unsigned(r), row.data());
    }
    if (print) FlushPrintBitmap(dc);
    return 1;
}

int CPrintDIB::GetBlackWhiteIndex() {
    if (m_bitCount > 8) return 0;
    m_black = m_white = m_white2 = -1;
    m_whiteByte = m_white2Byte = 0;
    for (int i = 0; i < m_colourCount; ++i) {
        const RGBQUAD& c = m_colours[i];
        if (c.rgbRed == 255 && c.rgbGreen == 255 && c.rgbBlue == 255) {
            if (m_white < 0)
                m_white = i;
            else if (m_white2 < 0)
                m_white2 = i;
        } else if (c.rgbRed == 0 && c.rgbGreen == 0 && c.rgbBlue == 0 && m_black < 0) {
            m_black = i;
        }
    }
    if (m_white < 0) return 0;
    if (m_bitCount == 1) {
        m_whiteByte = m_white2Byte = m_white != 0 ? 0xFF : 0x00;
    } else if (m_bitCount == 8) {
        m_whiteByte = m_white;
        m_white2Byte = m_white2 >= 0 ? m_white2 : m_white;
    }
    return 1;
}

void CPrintDIB::Widen(unsigned first, unsigned last) {
    m_minByte = std::min(m_minByte, first);
    m_maxByte = std::max(m_maxByte, last);
}

// The scans look at the bytes that hold pixels only: the padding at the end
// of a row is not ink.
int CPrintDIB::ScanForWhite(const unsigned char* bits) {
    if (m_white < 0) return 0;
    unsigned full = unsigned(m_width) / 8, rest = unsigned(m_width) % 8;
    unsigned first = ~0u, last = 0;
    for (unsigned i = 0; i < full; ++i)
        if (bits[i] != m_whiteByte) {
            if (first == ~0u) first = i;
            last = i;
        }
    if (rest) {
        unsigned char mask = static_cast<unsigned char>(0xFF00 >> rest);
        if ((bits[full] & mask) != (m_whiteByte & mask)) {
            if (first == ~0u) first = full;
            last = full;
        }
    }
    if (first == ~0u) return 1;
    Widen(first, last);
    return 0;
}

int CPrintDIB::ScanForGrey(const unsigned char* bits) {
    if (m_white < 0) return 0;
    unsigned first = ~0u, last = 0;
    for (unsigned i = 0; i < unsigned(m_width); ++i) {
        int v = bits[i];
        if (v == m_whiteByte || v == m_white2Byte) continue;
        if (first == ~0u) first = i;
        last = i;
        if (v != m_black) m_hasGrey = 1;
    }
    if (first == ~0u) return 1;
    Widen(first, last);
    return 0;
}

int CPrintDIB::ScanForColour(const unsigned char* bits) {
    unsigned first = ~0u, last = 0;
    for (unsigned i = 0; i < unsigned(m_width); ++i) {
        const unsigned char* p = bits + 3 * i;
        if (p[0] == 255 && p[1] == 255 && p[2] == 255) continue;
        if (first == ~0u) first = 3 * i;
        last = 3 * i;
        if (p[0] || p[1] || p[2]) {
            m_hasGrey = 1;
            if (p[0] != p[1] || p[1] != p[2]) m_hasColour = 1;
        }
    }
    if (first == ~0u) return 1;
    Widen(first, last);
    return 0;
}

void CPrintDIB::ResetPrintLine() {
    m_width = m_saved.width;
    m_bitCount = m_saved.bitCount;
    m_compression = m_saved.compression;
    m_sizeImage = m_saved.sizeImage;
    m_clrUsed = m_saved.clrUsed;
    m_clrImportant = m_saved.clrImportant;
    std::memcpy(m_colours, m_saved.colours, sizeof m_colours);
    m_colourCount = m_saved.colourCount;
    m_stride = m_width > 0 ? unsigned(DibRowBytes(m_width, m_bitCount)) : 0;
    m_bandHeight = 0;
    m_bandUsed = 0;
    m_firstRow = 0;
    m_started = m_hasColour = m_hasGrey = 0;
    m_trimX = 0;
    m_minByte = m_stride;
    m_maxByte = 0;
}

void CPrintDIB::AddPrintLine(HDC dc, unsigned int row, unsigned char* bits) {
    if (m_pageStride == 0 || !bits) return;
    if (m_bandUsed + m_stride > m_band.size()) FlushPrintBitmap(dc);
    int blank;
    switch (m_bitCount) {
    case 1: blank = ScanForWhite(bits); break;
    case 8: blank = ScanForGrey(bits); break;
    case 24: blank = ScanForColour(bits); break;
    default: blank = 0; break;  // no scan: printed as it is
    }
    if (!blank) {
        if (!m_started) m_firstRow = row;
        std::memcpy(m_band.data() + m_bandUsed, bits, m_stride);
        m_bandUsed += m_stride;
        ++m_bandHeight;
        m_started = 1;
    } else if (m_started) {
        FlushPrintBitmap(dc);
    }
}

void CPrintDIB::TrimBitmap() {
    m_trimX = 0;
    if (m_minByte > m_maxByte) return;
    unsigned end = m_bitCount <= 8 ? m_maxByte + 1 : m_maxByte + m_bitCount / 8;
    if (m_minByte == 0 && end >= m_stride) return;
    int left = int(uint64_t(m_minByte) * 8 / m_bitCount);
    int right = int(std::min<uint64_t>(uint64_t(m_width), uint64_t(end) * 8 / m_bitCount));
    if (right <= left) return;
    unsigned newStride = unsigned(DibRowBytes(right - left, m_bitCount));
    unsigned copy = std::min(newStride, m_stride - m_minByte);
    unsigned char* b = m_band.data();
    for (int r = 0; r < m_bandHeight; ++r) {
        std::memmove(b + size_t(r) * newStride, b + size_t(r) * m_stride + m_minByte, copy);
        if (copy < newStride) std::memset(b + size_t(r) * newStride + copy, 0, newStride - copy);
    }
    m_width = right - left;
    m_stride = newStride;
    m_bandUsed = newStride * unsigned(m_bandHeight);
    m_trimX = left;
}

void CPrintDIB::ConvertGreyToMono() {
    StoreMono(PackMono(m_width, m_bandHeight, [&](int r, int x) {
        const unsigned char v = m_band[size_t(r) * m_stride + unsigned(x)];
        return v != m_whiteByte && v != m_white2Byte;
    }));
}

void CPrintDIB::ConvertColourToMono() {
    StoreMono(PackMono(m_width, m_bandHeight, [&](int r, int x) {
        const unsigned char* p = m_band.data() + size_t(r) * m_stride + 3 * size_t(x);
        return !(p[0] == 255 && p[1] == 255 && p[2] == 255);
    }));
}

void CPrintDIB::StoreMono(const std::vector<unsigned char>& mono) {
    std::memcpy(m_band.data(), mono.data(), mono.size());
    m_stride = unsigned(DibRowBytes(m_width, 1));
    m_bandUsed = unsigned(mono.size());
    MakePaletteMono();
}

void CPrintDIB::MakePaletteMono() {
    m_bitCount = 1;
    m_compression = BI_RGB;
    m_clrUsed = m_clrImportant = 0;
    m_sizeImage = m_stride * unsigned(m_bandHeight);
    std::memset(m_colours, 0, sizeof m_colours);
    m_colours[1].rgbRed = m_colours[1].rgbGreen = m_colours[1].rgbBlue = 255;
    m_colourCount = 2;
    MakePalette();
}

void CPrintDIB::FlushPrintBitmap(HDC dc) {
    if (m_bandHeight == 0) {
        ResetPrintLine();
        return;
    }
    TrimBitmap();
    if (m_bitCount == 8 && !m_hasGrey && m_white >= 0)
        ConvertGreyToMono();
    else if (m_bitCount == 24 && !m_hasGrey && !m_hasColour)
        ConvertColourToMono();
    // Rows count from 0 at the bottom of the sheet: the band's top row is
    // sheet row height - 1 - (firstRow + bandHeight - 1).
    int x = m_trimX - GetDeviceCaps(dc, PHYSICALOFFSETX);
    int y = GetDeviceCaps(dc, PHYSICALHEIGHT) - GetDeviceCaps(dc, PHYSICALOFFSETY) - int(m_firstRow) - m_bandHeight;
    DrawBand(dc, x, y);
    ResetPrintLine();
    MakePalette();
}

void CPrintDIB::DrawBand(HDC dc, int x, int y) {
    if (!dc) return;
    if (!m_paletteReady) {
        RECT rc;
        dc->GetClipBox(&rc);
        dc->FillRect(&rc, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
        return;
    }
    int caps = GetDeviceCaps(dc, RASTERCAPS);
    if (!(caps & RC_STRETCHDIB)) {
        static const char text[] = "Device doesn't support StretchDIBits";
        TextOutA(dc, 10, 10, text, int(sizeof text - 1));
        return;
    }
    const BITMAPINFO* info = DrawInfo(m_bandHeight);
    if ((caps & RC_PALETTE) && m_colourCount > 0 && m_palette) {
        // Palette indexes 0 .. n-1 in place of the colour table.
        auto* table = reinterpret_cast<WORD*>(const_cast<RGBQUAD*>(info->bmiColors));
        std::memset(table, 0, sizeof(RGBQUAD) * 256);
        for (int i = 0; i < m_colourCount; ++i) table[i] = WORD(i);
        HPALETTE old = dc->SelectPalette(m_palette, FALSE);
        dc->RealizePalette();
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBand(dc, x, y, info, m_band.data(), DIB_PAL_COLORS);
        dc->SelectPalette(old, FALSE);
        return;
    }
    if (!(caps & RC_DIBTODEV)) {
        static const char text[] = "Device doesn't support SetDIBitsToDevice";
        TextOutA(dc, 10, 10, text, int(sizeof text - 1));
    }
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBand(dc, x, y, info, m_band.data(), DIB_RGB_COLORS);
}

int CPrintDIB::StretchBand(HDC dc, int x, int y, const BITMAPINFO* info, const void* bits, UINT usage) {
    int w = info->bmiHeader.biWidth, h = info->bmiHeader.biHeight;
    return StretchDIBits(dc, x, y, w, h, 0, 0, w, h, bits, info, usage, SRCCOPY);
}
