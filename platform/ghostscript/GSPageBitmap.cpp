#include "platform/ghostscript/GSPageBitmap.h"

#include <cstddef>
#include <cstdint>

#include <ghostscript/gdevdsp.h>

#include <cstring>
#include <new>

namespace {

constexpr RGBQUAD Quad(int r, int g, int b) { return RGBQUAD{BYTE(b), BYTE(g), BYTE(r), 0}; }

// The sixteen standard colours of 4-bit displays.
constexpr RGBQUAD kPalette16[16] = {
    Quad(0, 0, 0),       Quad(128, 0, 0),   Quad(0, 128, 0),   Quad(128, 128, 0),
    Quad(0, 0, 128),     Quad(128, 0, 128), Quad(0, 128, 128), Quad(192, 192, 192),
    Quad(128, 128, 128), Quad(255, 0, 0),   Quad(0, 255, 0),   Quad(255, 255, 0),
    Quad(0, 0, 255),     Quad(255, 0, 255), Quad(0, 255, 255), Quad(255, 255, 255),
};

// 8-bit palette: a 6x6x6 colour cube, then 40 greys from black to white.
constexpr int kCubeSize = 216;
constexpr int kGreys = 40;

std::vector<RGBQUAD> Palette256() {
    std::vector<RGBQUAD> p;
    p.reserve(256);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) p.push_back(Quad(r * 51, g * 51, b * 51));
    for (int k = 0; k < kGreys; ++k) {
        int v = (k * 255 + (kGreys - 1) / 2) / (kGreys - 1);
        p.push_back(Quad(v, v, v));
    }
    return p;
}

inline int Index256(int r, int g, int b) {
    if (r == g && g == b) return kCubeSize + (r * (kGreys - 1) + 127) / 255;
    auto level = [](int v) { return (v * 5 + 127) / 255; };
    return level(r) * 36 + level(g) * 6 + level(b);
}

inline int Index16(int r, int g, int b) {
    int best = 0, bestDist = INT32_MAX;
    for (int i = 0; i < 16; ++i) {
        int dr = r - kPalette16[i].rgbRed, dg = g - kPalette16[i].rgbGreen, db = b - kPalette16[i].rgbBlue;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) bestDist = d, best = i;
    }
    return best;
}

} // namespace

int GSPageBitmap::NormalBitsPerPixel(int bitsPerPixel) {
    return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 ? bitsPerPixel : 24;
}

unsigned int GSPageBitmap::DisplayFormat(int bitsPerPixel) {
    auto u = [](unsigned int v) { return v; };
    if (NormalBitsPerPixel(bitsPerPixel) == 1)
        return u(DISPLAY_COLORS_NATIVE) | u(DISPLAY_ALPHA_NONE) | u(DISPLAY_DEPTH_1) | u(DISPLAY_BIGENDIAN) |
               u(DISPLAY_BOTTOMFIRST);
    return u(DISPLAY_COLORS_RGB) | u(DISPLAY_ALPHA_NONE) | u(DISPLAY_DEPTH_8) | u(DISPLAY_LITTLEENDIAN) |
           u(DISPLAY_BOTTOMFIRST);
}

void GSPageBitmap::Clear() {
    m_width = m_height = m_bitsPerPixel = m_stride = 0;
    m_bits.clear();
    m_palette.clear();
}

bool GSPageBitmap::Assign(const unsigned char* device, int width, int height, int raster, int bitsPerPixel) {
    Clear();
    const int bpp = NormalBitsPerPixel(bitsPerPixel);
    const int deviceBits = bpp == 1 ? 1 : 24;
    if (!device || width < 1 || height < 1 || int64_t(raster) < (int64_t(width) * deviceBits + 7) / 8) return false;
    const int64_t stride = DibRowBytes(width, bpp);
    if (stride > INT32_MAX) return false;
    try {
        m_bits.assign(size_t(stride) * size_t(height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bpp;
    m_stride = int(stride);

    switch (bpp) {
    case 1:
        m_palette = {Quad(255, 255, 255), Quad(0, 0, 0)};
        for (int y = 0; y < height; ++y) std::memcpy(Row(y), device + size_t(y) * raster, size_t(width + 7) / 8);
        break;
    case 24:
        for (int y = 0; y < height; ++y) std::memcpy(Row(y), device + size_t(y) * raster, size_t(width) * 3);
        break;
    case 8: {
        m_palette = Palette256();
        for (int y = 0; y < height; ++y) {
            const unsigned char* src = device + size_t(y) * raster;
            unsigned char* dst = Row(y);
            for (int x = 0; x < width; ++x, src += 3) dst[x] = BYTE(Index256(src[2], src[1], src[0]));
        }
        break;
    }
    case 4: {
        m_palette.assign(std::begin(kPalette16), std::end(kPalette16));
        uint32_t lastColour = UINT32_MAX;
        int lastIndex = 0;
        for (int y = 0; y < height; ++y) {
            const unsigned char* src = device + size_t(y) * raster;
            unsigned char* dst = Row(y);
            for (int x = 0; x < width; ++x, src += 3) {
                uint32_t colour = uint32_t(src[0]) | uint32_t(src[1]) << 8 | uint32_t(src[2]) << 16;
                if (colour != lastColour) lastColour = colour, lastIndex = Index16(src[2], src[1], src[0]);
                dst[x / 2] |= BYTE(x % 2 ? lastIndex : lastIndex << 4);
            }
        }
        break;
    }
    }
    return true;
}

void GSPageBitmap::FillHeader(BITMAPINFOHEADER* h) const {
    std::memset(h, 0, sizeof *h);
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = m_width;
    h->biHeight = m_height;
    h->biPlanes = 1;
    h->biBitCount = WORD(m_bitsPerPixel);
    h->biCompression = BI_RGB;
    h->biSizeImage = DWORD(m_stride) * DWORD(m_height);
    h->biClrUsed = DWORD(m_palette.size());
}
