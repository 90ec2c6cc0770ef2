#include "platform/gdi/PixelBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <mutex>
#include <new>
#include <type_traits>

#include <sys/mman.h>

namespace {
// Blocks from this size on are aligned for huge pages and recycled.
constexpr size_t kLargeBlock = size_t(1) << 20;
constexpr size_t kHugePage = size_t(2) << 20;
// Larger blocks go back to the system at once.
constexpr size_t kMaxRecycled = size_t(64) << 20;

size_t LargeCapacity(size_t n) { return (n + kHugePage - 1) / kHugePage * kHugePage; }

// The last large block freed, kept for the next one that fits. Under the
// address checker blocks are never reused, so that a stale row pointer
// still shows.
struct Recycled {
    std::mutex lock;  // guards block and capacity
    uint8_t* block = nullptr;
    size_t capacity = 0;
    ~Recycled() { std::free(block); }
};
Recycled g_recycled;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kRecycle = false;
#else
constexpr bool kRecycle = true;
#endif
}  // namespace

uint8_t* PixelStorage::allocate(size_t n) {
    if (n < kLargeBlock) {
        if (auto* p = static_cast<uint8_t*>(std::malloc(std::max<size_t>(n, 1)))) return p;
        throw std::bad_alloc();
    }
    const size_t capacity = LargeCapacity(n);
    if (kRecycle) {
        std::lock_guard<std::mutex> l(g_recycled.lock);
        // A block at most four times the size: a page zoomed out or back.
        if (g_recycled.block && g_recycled.capacity >= capacity && g_recycled.capacity <= 4 * capacity) {
            uint8_t* p = g_recycled.block;
            g_recycled.block = nullptr;
            g_recycled.capacity = 0;
            return p;
        }
    }
    auto* p = static_cast<uint8_t*>(std::aligned_alloc(kHugePage, capacity));
    if (!p) throw std::bad_alloc();
    madvise(p, capacity, MADV_HUGEPAGE);
    return p;
}

void PixelStorage::deallocate(uint8_t* p, size_t n) {
    if (!p) return;
    if (kRecycle && n >= kLargeBlock && LargeCapacity(n) <= kMaxRecycled) {
        const size_t capacity = LargeCapacity(n);
        uint8_t* old = nullptr;
        {
            std::lock_guard<std::mutex> l(g_recycled.lock);
            // The larger block is the one worth keeping.
            if (capacity >= g_recycled.capacity) {
                old = g_recycled.block;
                g_recycled.block = p;
                g_recycled.capacity = capacity;
                p = nullptr;
            }
        }
        std::free(old);
    }
    std::free(p);
}

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
void Fill32(uint8_t* row, int x0, int x1, uint32_t px);
bool DepthOk(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32; }
}  // namespace

bool PixelBuffer::Create(int width, int height, int bpp) {
    if (!DepthOk(bpp) || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    int64_t stride = DibRowBytes(width, bpp);
    if (stride * height > kMaxBytes) return false;
    try {
        own_.clear();
        own_.resize(size_t(stride * height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    width_ = width, height_ = height, bpp_ = bpp, stride_ = int(stride);
    bits_ = own_.data();
    palette = DefaultColorTable(bpp);
    // One pass over the new rows, padding included: 32-bit pixels are opaque.
    if (bpp == 32) Fill32(bits_, 0, int(int64_t(width) * height), 0xFF000000u);
    else std::memset(bits_, 0, own_.size());
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

namespace {
// One device value repeated over whole bytes: the byte pattern of a row of
// 1-, 4- or 8-bit pixels of that value.
uint8_t BytePattern(int bpp, uint32_t v) {
    switch (bpp) {
    case 1: return (v & 1) ? 0xFF : 0x00;
    case 4: return uint8_t((v & 0xF) * 0x11);
    default: return uint8_t(v);
    }
}

// Sets the pixels [x0, x1) of a packed row of 1- or 4-bit pixels: a masked
// first and last byte, whole bytes between.
void FillPacked(uint8_t* row, int bpp, int x0, int x1, uint8_t pattern) {
    const int perByte = 8 / bpp;
    int b0 = x0 / perByte, b1 = x1 / perByte;  // first byte, byte of x1
    const int lead = x0 % perByte, tail = x1 % perByte;
    // Pixel k of a byte is its k-th group of bpp bits from the top.
    auto maskFrom = [bpp](int k) { return uint8_t(0xFF >> (k * bpp)); };
    if (b0 == b1) {
        const uint8_t m = uint8_t(maskFrom(lead) & ~maskFrom(tail));
        row[b0] = uint8_t((row[b0] & ~m) | (pattern & m));
        return;
    }
    if (lead) {
        const uint8_t m = maskFrom(lead);
        row[b0] = uint8_t((row[b0] & ~m) | (pattern & m));
        ++b0;
    }
    std::memset(row + b0, pattern, size_t(b1 - b0));
    if (tail) {
        const uint8_t m = uint8_t(~maskFrom(tail));
        row[b1] = uint8_t((row[b1] & ~m) | (pattern & m));
    }
}

void Fill32(uint8_t* row, int x0, int x1, uint32_t px) {
    static_assert(sizeof(wchar_t) == sizeof(uint32_t));
    std::wmemset(reinterpret_cast<wchar_t*>(row) + x0, wchar_t(px), size_t(x1 - x0));
}

// 24-bit pixels: four pixels make three 32-bit words; the first run is
// written byte by byte, then doubled by copies.
void Fill24(uint8_t* row, int x0, int x1, uint32_t v) {
    uint8_t* p = row + size_t(x0) * 3;
    const size_t bytes = size_t(x1 - x0) * 3;
    const size_t first = std::min<size_t>(bytes, 48);
    for (size_t i = 0; i < first; i += 3) {
        p[i] = uint8_t(v);
        p[i + 1] = uint8_t(v >> 8);
        p[i + 2] = uint8_t(v >> 16);
    }
    for (size_t done = first; done < bytes;) {
        const size_t n = std::min(done, bytes - done);
        std::memcpy(p + done, p, n);
        done += n;
    }
}
}  // namespace

void PixelBuffer::FillValue(int x0, int y0, int x1, int y1, uint32_t v) {
    if (x0 >= x1 || y0 >= y1) return;
    // Whole rows without padding bytes are one block.
    if (x0 == 0 && x1 == width_ && bpp_ != 24 && int64_t(stride_) * 8 == int64_t(width_) * bpp_) {
        uint8_t* r = Row(y0);
        const size_t rows = size_t(y1 - y0);
        if (bpp_ == 32) Fill32(r, 0, int(size_t(width_) * rows), v | 0xFF000000u);
        else std::memset(r, BytePattern(bpp_, v), size_t(stride_) * rows);
        return;
    }
    // Whole rows of packed pixels with padding: one memset of the block, with
    // the bytes past each row's pixels put back (a page's clear runs at the
    // rate of memset).
    const int64_t rowBits = int64_t(width_) * bpp_;
    const size_t whole = size_t(rowBits / 8), kept = size_t(stride_) - whole;
    if (x0 == 0 && x1 == width_ && bpp_ <= 8 && kept <= 8 && y1 - y0 > 1) {
        const size_t rows = size_t(y1 - y0);
        const uint8_t pattern = BytePattern(bpp_, v);
        // The pixels in the byte that the row's padding shares.
        const uint8_t tailMask = uint8_t(0xFF00 >> (rowBits % 8));
        const size_t stride = size_t(stride_);
        // Blocks of rows that stay in the first-level cache between the save,
        // the memset and the restore; the kept byte count known to the
        // compiler in the row loops.
        constexpr size_t kBlockRows = 64;
        uint8_t saved[kBlockRows * 8];
        auto fill = [&]<size_t K>(std::integral_constant<size_t, K>) {
            const size_t n = K ? K : kept;
            for (size_t r0 = 0; r0 < rows; r0 += kBlockRows) {
                const size_t count = std::min(kBlockRows, rows - r0);
                uint8_t* block = Row(y0 + int(r0));
                uint8_t* first = block + whole;
                for (size_t i = 0; i < count; ++i) std::memcpy(&saved[i * n], first + i * stride, K ? K : n);
                std::memset(block, pattern, stride * (count - 1) + whole);
                for (size_t i = 0; i < count; ++i) {
                    uint8_t* tail = first + i * stride;
                    std::memcpy(tail, &saved[i * n], K ? K : n);
                    tail[0] = uint8_t((tail[0] & ~tailMask) | (pattern & tailMask));
                }
            }
        };
        switch (kept) {
        case 1: fill(std::integral_constant<size_t, 1>()); break;
        case 2: fill(std::integral_constant<size_t, 2>()); break;
        case 3: fill(std::integral_constant<size_t, 3>()); break;
        case 4: fill(std::integral_constant<size_t, 4>()); break;
        default: fill(std::integral_constant<size_t, 0>());
        }
        return;
    }
    for (int y = y0; y < y1; ++y) {
        uint8_t* r = Row(y);
        switch (bpp_) {
        case 32: Fill32(r, x0, x1, v | 0xFF000000u); break;
        case 24: Fill24(r, x0, x1, v); break;
        case 8: std::memset(r + x0, int(v & 0xFF), size_t(x1 - x0)); break;
        default: FillPacked(r, bpp_, x0, x1, BytePattern(bpp_, v));
        }
    }
}
