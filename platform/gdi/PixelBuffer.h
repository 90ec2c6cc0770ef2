// The pixels behind a bitmap or a device: 1, 4, 8, 24 or 32 bits per pixel,
// top-down rows with a stride, and a colour table for the indexed depths.
// Device values are palette indexes for the indexed depths and 0x00RRGGBB
// for 24 and 32 bits (32-bit pixels are stored as 0xFFRRGGBB).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/core/DibTypes.h"
#include "platform/core/WinTypes.h"

// Storage of pixel rows. Large blocks are aligned for huge pages, and the
// last large block freed is kept for the next bitmap that fits in it, so a
// page bitmap made anew at each zoom or resize finds its memory mapped
// already. Elements are left uninitialised: the buffer fills them itself.
struct PixelStorage {
    using value_type = uint8_t;
    template <class U>
    struct rebind {
        using other = PixelStorage;
    };
    PixelStorage() = default;
    template <class U>
    PixelStorage(const U&) {}
    uint8_t* allocate(size_t n);
    void deallocate(uint8_t* p, size_t n);
    template <class U>
    void construct(U*) noexcept {}
    template <class U>
    void construct(U* p, const U& v) { *p = v; }
    bool operator==(const PixelStorage&) const { return true; }
};

class PixelBuffer {
public:
    // Largest accepted bitmap: each side and the total byte count.
    static constexpr int kMaxSide = 1 << 16;
    static constexpr int64_t kMaxBytes = int64_t(768) << 20;

    PixelBuffer() = default;
    // Own storage, every pixel 0 (black for true colour, the first entry for
    // indexed depths). False when the depth or size is refused.
    bool Create(int width, int height, int bpp);
    // Pixels that live elsewhere (a window surface); stride in bytes.
    bool Wrap(uint8_t* bits, int width, int height, int bpp, int stride);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Bpp() const { return bpp_; }
    int Stride() const { return stride_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }
    bool IsMono() const { return bpp_ == 1; }
    bool IsIndexed() const { return bpp_ <= 8; }
    uint8_t* Row(int y) { return bits_ + int64_t(y) * stride_; }
    const uint8_t* Row(int y) const { return bits_ + int64_t(y) * stride_; }

    // Colour table of the indexed depths (black and white for 1 bit, a
    // standard table otherwise, until replaced).
    std::vector<RGBQUAD> palette;

    uint32_t Get(int x, int y) const {
        const uint8_t* r = Row(y);
        switch (bpp_) {
        case 32: return reinterpret_cast<const uint32_t*>(r)[x] & 0xFFFFFF;
        case 24: r += x * 3; return r[0] | (r[1] << 8) | (uint32_t(r[2]) << 16);
        case 8: return r[x];
        case 4: return (r[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF;
        default: return (r[x >> 3] >> (7 - (x & 7))) & 1;
        }
    }
    void Set(int x, int y, uint32_t v) {
        uint8_t* r = Row(y);
        switch (bpp_) {
        case 32: reinterpret_cast<uint32_t*>(r)[x] = v | 0xFF000000u; break;
        case 24: r += x * 3; r[0] = uint8_t(v); r[1] = uint8_t(v >> 8); r[2] = uint8_t(v >> 16); break;
        case 8: r[x] = uint8_t(v); break;
        case 4: {
            int sh = (x & 1) ? 0 : 4;
            r[x >> 1] = uint8_t((r[x >> 1] & ~(0xF << sh)) | ((v & 0xF) << sh));
            break;
        }
        default: {
            uint8_t m = uint8_t(0x80 >> (x & 7));
            if (v & 1) r[x >> 3] |= m;
            else r[x >> 3] &= uint8_t(~m);
        }
        }
    }
    // Bits that a device value uses.
    uint32_t ValueMask() const { return bpp_ >= 24 ? 0xFFFFFFu : (1u << bpp_) - 1; }
    // Device value to 0x00RRGGBB.
    uint32_t ToRgb(uint32_t v) const;
    // 0x00RRGGBB to the device value (the nearest table entry when indexed).
    uint32_t FromRgb(uint32_t rgb) const;
    // Fills a whole rectangle (already clipped) with one device value.
    void FillValue(int x0, int y0, int x1, int y1, uint32_t v);

private:
    int width_ = 0, height_ = 0, bpp_ = 0, stride_ = 0;
    uint8_t* bits_ = nullptr;
    std::vector<uint8_t, PixelStorage> own_;
};

constexpr uint32_t ColorRefToRgb(COLORREF c) {
    return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}
constexpr COLORREF RgbToColorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }
// The standard colour table of an indexed depth (used when none is given).
std::vector<RGBQUAD> DefaultColorTable(int bpp);
