// Page images of the drawer tests: the ink of a drawn page or of a PNG file
// as a mask, its comparison with another, and PNG files written and read
// with libpng.
#pragma once

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/DC.h"
#include "platform/gdi/PixelBuffer.h"
#include "testsupport/Ink.h"

namespace dvitest {

// Ink: pixels with a channel below half (half covered or more, in any
// colour).
using testsupport::InkMask;
using testsupport::InkIoU;
using testsupport::InkNear;

inline int Darkest(uint32_t rgb) {
    return std::min({int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF)});
}

inline InkMask InkOf(const CDC& dc) {
    const PixelBuffer& px = *dc.Surface();
    return testsupport::InkWhere(px.Width(), px.Height(), [&](int x, int y) { return Darkest(px.Get(x, y)) < 128; });
}

// The ink of a PNG file; an empty mask when it cannot be read.
inline InkMask InkOfPng(const std::string& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    InkMask m;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return m;
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> gray(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, gray.data(), 0, nullptr)) return m;
    m.width = int(image.width), m.height = int(image.height);
    m.ink.resize(gray.size());
    for (size_t i = 0; i < gray.size(); ++i) m.ink[i] = gray[i] < 128;
    return m;
}

// Writes the DC's pixels as an RGB PNG file.
inline bool WritePng(const CDC& dc, const std::string& file) {
    const PixelBuffer& px = *dc.Surface();
    std::vector<uint8_t> rgb(size_t(px.Width()) * px.Height() * 3);
    for (int y = 0; y < px.Height(); ++y)
        for (int x = 0; x < px.Width(); ++x) {
            const uint32_t v = px.Get(x, y);
            uint8_t* p = &rgb[(size_t(y) * px.Width() + x) * 3];
            p[0] = uint8_t(v >> 16), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v);
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(px.Width());
    image.height = png_uint_32(px.Height());
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// The two masks over each other, a window of w x h from (x0, y0): black ink
// of both, red ink of a only, blue ink of b only; each pixel zoom x zoom.
inline bool WriteOverlayPng(const InkMask& a, const InkMask& b, int x0, int y0, int w, int h,
                            const std::string& file, int zoom = 1) {
    w *= zoom, h *= zoom;
    std::vector<uint8_t> rgb(size_t(w) * h * 3, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool p = a.At(x0 + x / zoom, y0 + y / zoom), q = b.At(x0 + x / zoom, y0 + y / zoom);
            uint8_t* o = &rgb[(size_t(y) * w + x) * 3];
            if (p && q) o[0] = o[1] = o[2] = 0;
            else if (p) o[1] = o[2] = 0;
            else if (q) o[0] = o[1] = 0;
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, file.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// Connected pieces of ink (8-neighbours): their centroid, pixel count and box.
struct InkPiece {
    double cx = 0, cy = 0;
    int pixels = 0;
    int left = 0, top = 0, right = 0, bottom = 0;  // right, bottom exclusive
};

inline std::vector<InkPiece> InkPieces(const InkMask& m) {
    std::vector<InkPiece> out;
    std::vector<int> seen(m.ink.size(), 0);
    std::vector<std::pair<int, int>> stack;
    for (int y0 = 0; y0 < m.height; ++y0)
        for (int x0 = 0; x0 < m.width; ++x0) {
            const size_t i0 = size_t(y0) * m.width + x0;
            if (!m.ink[i0] || seen[i0]) continue;
            InkPiece p{0, 0, 0, x0, y0, x0 + 1, y0 + 1};
            double sx = 0, sy = 0;
            seen[i0] = 1;
            stack.assign(1, {x0, y0});
            while (!stack.empty()) {
                auto [x, y] = stack.back();
                stack.pop_back();
                ++p.pixels, sx += x, sy += y;
                p.left = std::min(p.left, x), p.right = std::max(p.right, x + 1);
                p.top = std::min(p.top, y), p.bottom = std::max(p.bottom, y + 1);
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (!m.At(nx, ny)) continue;
                        const size_t j = size_t(ny) * m.width + nx;
                        if (!seen[j]) seen[j] = 1, stack.push_back({nx, ny});
                    }
            }
            p.cx = sx / p.pixels, p.cy = sy / p.pixels;
            out.push_back(p);
        }
    return out;
}

// The shift (dx, dy), each within range, that lays `of`'s ink inside the
// piece's box best over `on`'s ink (highest intersection over union in the
// box; the smallest shift among equals).
inline std::pair<int, int> BestShift(const InkMask& of, const InkPiece& piece, const InkMask& on, int range) {
    std::pair<int, int> best{0, 0};
    double bestScore = -1;
    for (int d = 0; d <= 2 * range; ++d)  // by growing distance
        for (int dy = -range; dy <= range; ++dy)
            for (int dx = -range; dx <= range; ++dx) {
                if (std::max(std::abs(dx), std::abs(dy)) != d) continue;
                long both = 0, either = 0;
                for (int y = piece.top; y < piece.bottom; ++y)
                    for (int x = piece.left; x < piece.right; ++x) {
                        const bool p = of.At(x, y), q = on.At(x + dx, y + dy);
                        both += p && q;
                        either += p || q;
                    }
                const double score = either ? double(both) / double(either) : 0;
                if (score > bestScore + 1e-9) bestScore = score, best = {dx, dy};
            }
    return best;
}

} // namespace dvitest
