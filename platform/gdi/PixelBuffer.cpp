#include "platform/gdi/PixelBuffer.h"

#include <cstring>
#include <limits>

std::vector<RGBQUAD> DefaultColorTable(int bpp) {
    std::vector<RGBQUAD> t;
    if (bpp == 1) {
        t = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    } else if (bpp == 4) {
        static const uint8_t v[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                         {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                         {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                         {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (auto& c : v) t.push_back({c[2], c[1], c[0], 0});
    } else if (bpp == 8) {
        // 6x6x6 colour cube, then a grey ramp.
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) t.push_back({BYTE(b * 51), BYTE(g * 51), BYTE(r * 51), 0});
        for (int i = 0; i < 40; ++i) {
            BYTE g = BYTE(i * 255 / 39);
            t.push_back({g, g, g, 0});
        }
    }
    return t;
}

namespace {
bool DepthOk(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32; }
}  // namespace

bool PixelBuffer::Create(int width, int height, int bpp) {
    if (!DepthOk(bpp) || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    int64_t stride = DibRowBytes(width, bpp);
    if (stride * height > kMaxBytes) return false;
    try {
        own_.assign(size_t(stride * height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width_ = width, height_ = height, bpp_ = bpp, stride_ = int(stride);
    bits_ = own_.data();
    palette = DefaultColorTable(bpp);
    if (bpp == 32)
        for (int y = 0; y < height; ++y) FillValue(0, y, width, y + 1, 0);
    return true;
}

bool PixelBuffer::Wrap(uint8_t* bits, int width, int height, int bpp, int stride) {
    if (!DepthOk(bpp) || width < 0 || height < 0 || (width > 0 && !bits) || stride < DibRowBytes(width, bpp) - 3)
        return false;
    own_.clear();
    width_ = width, height_ = height, bpp_ = bpp, stride_ = stride;
    bits_ = bits;
    palette = DefaultColorTable(bpp);
    return true;
}

uint32_t PixelBuffer::ToRgb(uint32_t v) const {
    if (bpp_ >= 24) return v & 0xFFFFFF;
    if (v < palette.size()) {
        const RGBQUAD& q = palette[v];
        return (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
    }
    return 0;
}

uint32_t PixelBuffer::FromRgb(uint32_t rgb) const {
    if (bpp_ >= 24) return rgb & 0xFFFFFF;
    int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    uint32_t best = 0;
    int bestD = std::numeric_limits<int>::max();
    size_t n = std::min<size_t>(palette.size(), size_t(1) << bpp_);
    for (size_t i = 0; i < n; ++i) {
        const RGBQUAD& q = palette[i];
        int d = (q.rgbRed - r) * (q.rgbRed - r) + (q.rgbGreen - g) * (q.rgbGreen - g) +
                (q.rgbBlue - b) * (q.rgbBlue - b);
        if (d < bestD) bestD = d, best = uint32_t(i);
        if (d == 0) break;
    }
    return best;
}

void PixelBuffer::FillValue(int x0, int y0, int x1, int y1, uint32_t v) {
    if (x0 >= x1 || y0 >= y1) return;
    for (int y = y0; y < y1; ++y) {
        uint8_t* r = Row(y);
        switch (bpp_) {
        case 32: {
            uint32_t* p = reinterpret_cast<uint32_t*>(r);
            uint32_t px = v | 0xFF000000u;
            for (int x = x0; x < x1; ++x) p[x] = px;
            break;
        }
        case 8: std::memset(r + x0, int(v & 0xFF), size_t(x1 - x0)); break;
        default:
            for (int x = x0; x < x1; ++x) Set(x, y, v);
        }
    }
}
