// The ink of a page image as a mask, and the tolerant comparison of two
// masks that the drawing, printing and thumbnail tests make against a
// reference rendering.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace testsupport {

struct InkMask {
    int width = 0, height = 0;
    std::vector<uint8_t> ink;  // 1 ink, 0 paper
    bool At(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height && ink[size_t(y) * width + x]; }
};

// The mask of a width x height image whose pixel (x, y) is ink when
// inked(x, y) holds.
template <class Inked>
InkMask InkWhere(int width, int height, Inked inked) {
    InkMask m{width, height, std::vector<uint8_t>(size_t(std::max(width, 0)) * size_t(std::max(height, 0)))};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) m.ink[size_t(y) * width + x] = inked(x, y) ? 1 : 0;
    return m;
}

// The darker-than-mid-grey test of a 0xRRGGBB pixel, by its luminance.
inline bool DarkPixel(uint32_t rgb) {
    const int grey = (int((rgb >> 16) & 0xFF) * 299 + int((rgb >> 8) & 0xFF) * 587 + int(rgb & 0xFF) * 114) / 1000;
    return grey < 128;
}

namespace ink_detail {
inline bool Near(const InkMask& m, int x, int y, int tolerance) {
    for (int dy = -tolerance; dy <= tolerance; ++dy)
        for (int dx = -tolerance; dx <= tolerance; ++dx)
            if (m.At(x + dx, y + dy)) return true;
    return false;
}
} // namespace ink_detail

// Intersection over union of the ink of two masks (1 when neither has ink),
// with a tolerance: a pixel of either counts as shared when the other mask
// has ink within `tolerance` pixels of it (0: the plain measure).
inline double InkIoU(const InkMask& a, const InkMask& b, int tolerance = 0) {
    long shared = 0, either = 0;
    for (int y = 0; y < std::max(a.height, b.height); ++y)
        for (int x = 0; x < std::max(a.width, b.width); ++x) {
            const bool p = a.At(x, y), q = b.At(x, y);
            if (!p && !q) continue;
            ++either;
            shared += (!p || ink_detail::Near(b, x, y, tolerance)) && (!q || ink_detail::Near(a, x, y, tolerance));
        }
    return either ? double(shared) / double(either) : 1.0;
}

// The share of the ink pixels of both masks that have ink of the other
// within `tolerance` pixels (0 when neither has ink); `inked`, when given,
// receives the count of ink pixels of both.
inline double InkMatched(const InkMask& a, const InkMask& b, int tolerance, long* inked = nullptr) {
    long matched = 0, total = 0;
    for (int y = 0; y < std::max(a.height, b.height); ++y)
        for (int x = 0; x < std::max(a.width, b.width); ++x) {
            const bool p = a.At(x, y), q = b.At(x, y);
            total += p + q;
            matched += (p && ink_detail::Near(b, x, y, tolerance)) + (q && ink_detail::Near(a, x, y, tolerance));
        }
    if (inked) *inked = total;
    return total ? double(matched) / double(total) : 0;
}

// The share of a's ink pixels that have ink of b within `tolerance` pixels
// (1 when a has no ink): how much of a's ink b covers, one way.
inline double InkNear(const InkMask& a, const InkMask& b, int tolerance) {
    long inked = 0, near = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            if (!a.At(x, y)) continue;
            ++inked;
            near += ink_detail::Near(b, x, y, tolerance);
        }
    return inked ? double(near) / double(inked) : 1.0;
}

} // namespace testsupport
