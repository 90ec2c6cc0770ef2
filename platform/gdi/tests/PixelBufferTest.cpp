// Filling a pixel buffer: every depth and span shape sets exactly the pixels
// of the rectangle, as pixel-by-pixel writes would, and leaves the pixels
// around it and the row padding as they were.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/gdi/DC.h"
#include "platform/gdi/PixelBuffer.h"

namespace {

// The buffer's bytes filled with noise, so that untouched bits show.
void Scramble(PixelBuffer& b, unsigned seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < b.Height(); ++y)
        for (int i = 0; i < b.Stride(); ++i) b.Row(y)[i] = uint8_t(rng());
}

std::vector<uint8_t> Bytes(PixelBuffer& b) {
    std::vector<uint8_t> out;
    for (int y = 0; y < b.Height(); ++y) out.insert(out.end(), b.Row(y), b.Row(y) + b.Stride());
    return out;
}

struct Span {
    int x0, x1, y0, y1;
};

TEST(PixelBufferFill, EveryDepthAndSpanMatchesPixelWrites) {
    // Widths with and without row padding; spans within one byte, across
    // byte and word edges, whole rows and whole buffers.
    const int widths[] = {1, 7, 8, 33, 64, 101};
    for (int bpp : {1, 4, 8, 24, 32})
        for (int w : widths) {
            const int h = 5;
            std::vector<Span> spans = {{0, w, 0, h}, {0, w, 1, 3}, {0, 1, 0, 1}, {w - 1, w, 4, 5}};
            for (int x0 : {1, 2, 3, 7, 9})
                for (int x1 : {x0 + 1, x0 + 2, x0 + 6, x0 + 8, x0 + 17, w})
                    if (x0 < x1 && x1 <= w) spans.push_back({x0, x1, 1, 4});
            for (uint32_t value : {0u, 1u, 0x5u, 0xA5u, 0x123456u, 0xFFFFFFu}) {
                for (const Span& s : spans) {
                    PixelBuffer fast, slow;
                    ASSERT_TRUE(fast.Create(w, h, bpp));
                    ASSERT_TRUE(slow.Create(w, h, bpp));
                    Scramble(fast, unsigned(w * 131 + bpp));
                    Scramble(slow, unsigned(w * 131 + bpp));
                    const uint32_t v = value & fast.ValueMask();
                    fast.FillValue(s.x0, s.y0, s.x1, s.y1, v);
                    for (int y = s.y0; y < s.y1; ++y)
                        for (int x = s.x0; x < s.x1; ++x) slow.Set(x, y, v);
                    ASSERT_EQ(Bytes(fast), Bytes(slow)) << bpp << " bits, width " << w << ", value " << v
                                                        << ", x " << s.x0 << ".." << s.x1 << ", y " << s.y0
                                                        << ".." << s.y1;
                }
            }
        }
}

TEST(PixelBufferFill, EmptyAndReversedRectanglesChangeNothing) {
    PixelBuffer b;
    ASSERT_TRUE(b.Create(40, 3, 1));
    Scramble(b, 7);
    const std::vector<uint8_t> before = Bytes(b);
    b.FillValue(5, 0, 5, 3, 1);
    b.FillValue(9, 0, 3, 3, 1);
    b.FillValue(0, 2, 40, 2, 1);
    EXPECT_EQ(Bytes(b), before);
}

TEST(PixelBufferFill, ASolidRectangleOnAMonochromeBitmapCoversExactlyItsPixels) {
    // The DC's clear of a 1-bit page: white everywhere the rectangle covers,
    // and what lies outside keeps its ink.
    auto dc = CreateMemoryDC(70, 9, 1);
    dc->FillSolidRect(0, 0, 70, 9, RGB(0, 0, 0));
    dc->FillSolidRect(3, 2, 61, 5, RGB(255, 255, 255));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 70; ++x) {
            const bool inside = x >= 3 && x < 64 && y >= 2 && y < 7;
            ASSERT_EQ(dc->GetPixel(x, y) & 0xFFFFFF, inside ? 0xFFFFFFu : 0u) << x << "," << y;
        }
}

}  // namespace
