// A window's back buffer: the surface every window draws into through a CDC,
// also outside paint events; the UI layer shows it in the paint event.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// 32-bit pixels, top-down rows without padding; each pixel is the native
// uint32_t 0xFFRRGGBB (the byte order B, G, R, X of a 32-bit DIB row, and
// the layout of QImage::Format_RGB32).
struct WindowSurface {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    // New size; the contents are kept where they overlap, the rest is white.
    void Resize(int w, int h) {
        if (w < 0) w = 0;
        if (h < 0) h = 0;
        std::vector<uint32_t> next(size_t(w) * size_t(h), 0xFFFFFFFFu);
        for (int y = 0; y < h && y < height; ++y)
            for (int x = 0; x < w && x < width; ++x) next[size_t(y) * w + x] = pixels[size_t(y) * width + x];
        pixels.swap(next);
        width = w;
        height = h;
    }
    uint32_t* Row(int y) { return pixels.data() + size_t(y) * size_t(width); }
};

class CDC;
// A device context whose drawing lands on the surface (96 dpi, MM_TEXT).
// The surface must outlive the DC and must not be resized while it is in use.
std::unique_ptr<CDC> CreateSurfaceDC(WindowSurface& surface);
