// JPEG pictures made with libjpeg decode to the expected bitmaps; broken data
// fails without ending the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/gdi/Dib.h"
#include "platform/pictures/PictureDib.h"
#include "platform/pictures/tests/PictureWriters.h"

namespace {

using testpictures::WriteJpeg;

struct Decoded {
    std::vector<uint8_t> bytes;
    DibView view;
};

// Sizes, decodes into a buffer of n + 100 bytes, and parses the result.
bool Decode(const std::vector<uint8_t>& file, Decoded& out) {
    int n = check_dib_size(file.data(), int(file.size()));
    if (n < 1) return false;
    out.bytes.assign(size_t(n) + 100, 0xCD);
    int written = Jpg2Dib(file.data(), int(file.size()), out.bytes.data(), n);
    if (written < 1) return false;
    EXPECT_EQ(written, n);
    for (size_t i = size_t(n); i < out.bytes.size(); ++i) EXPECT_EQ(out.bytes[i], 0xCD) << "written past " << n;
    EXPECT_TRUE(out.view.ParsePacked(out.bytes.data(), size_t(n)));
    return true;
}

void ExpectNear(uint32_t got, int r, int g, int b, int tolerance, int x, int y) {
    EXPECT_NEAR(int(got >> 16 & 0xFF), r, tolerance) << "red at " << x << "," << y;
    EXPECT_NEAR(int(got >> 8 & 0xFF), g, tolerance) << "green at " << x << "," << y;
    EXPECT_NEAR(int(got & 0xFF), b, tolerance) << "blue at " << x << "," << y;
}

// A smooth colour field of an odd width, so rows carry padding.
constexpr int kW = 17, kH = 9;
int R(int x, int) { return x * 15; }
int G(int, int y) { return 20 + y * 25; }
int B(int x, int y) { return 200 - x * 5 - y * 3; }

std::vector<uint8_t> RgbSamples() {
    std::vector<uint8_t> s;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) s.insert(s.end(), {uint8_t(R(x, y)), uint8_t(G(x, y)), uint8_t(B(x, y))});
    return s;
}

TEST(JpegDib, ColourPicturesBecome24BitBottomUpRows) {
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        Decoded d;
        ASSERT_TRUE(Decode(WriteJpeg(kW, kH, 3, JCS_RGB, RgbSamples(), progressive), d));
        EXPECT_EQ(d.view.Width(), kW);
        EXPECT_EQ(d.view.Height(), kH);
        EXPECT_EQ(d.view.BitCount(), 24);
        EXPECT_FALSE(d.view.TopDown());
        EXPECT_EQ(d.view.HeaderBytes(), sizeof(BITMAPINFOHEADER));
        const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(d.bytes.data());
        EXPECT_EQ(h->biXPelsPerMeter, 3780);
        EXPECT_EQ(h->biYPelsPerMeter, 3780);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) ExpectNear(d.view.Rgb(x, y), R(x, y), G(x, y), B(x, y), 6, x, y);
    }
}

TEST(JpegDib, GreyPicturesBecome8BitWithAGreyRamp) {
    std::vector<uint8_t> s;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) s.push_back(uint8_t(x * 12 + y * 4));
    Decoded d;
    ASSERT_TRUE(Decode(WriteJpeg(kW, kH, 1, JCS_GRAYSCALE, s), d));
    EXPECT_EQ(d.view.BitCount(), 8);
    ASSERT_EQ(d.view.Colors().size(), 256u);
    for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(d.view.Colors()[i], i << 16 | i << 8 | i);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) EXPECT_NEAR(int(d.view.Index(x, y)), x * 12 + y * 4, 3) << x << "," << y;
}

TEST(JpegDib, CmykPicturesAreConvertedToRgb) {
    // Stored as Adobe writes them (0 is full ink): cyan-free red, white, black.
    struct Case {
        uint8_t c, m, y, k;
        int r, g, b;
    } cases[] = {{255, 0, 0, 255, 255, 0, 0}, {255, 255, 255, 255, 255, 255, 255}, {255, 255, 255, 0, 0, 0, 0},
                 {0, 255, 255, 255, 0, 255, 255}, {255, 255, 0, 128, 128, 128, 0}};
    std::vector<uint8_t> s;
    for (int y = 0; y < 8; ++y)
        for (const Case& c : cases)
            for (int x = 0; x < 8; ++x) s.insert(s.end(), {c.c, c.m, c.y, c.k});
    Decoded d;
    ASSERT_TRUE(Decode(WriteJpeg(40, 8, 4, JCS_CMYK, s), d));
    EXPECT_EQ(d.view.BitCount(), 24);
    for (int i = 0; i < 5; ++i) ExpectNear(d.view.Rgb(i * 8 + 4, 4), cases[i].r, cases[i].g, cases[i].b, 8, i, 0);
}

TEST(JpegDib, SizeIsTheWholePackedBitmapAndAShortBufferIsRefused) {
    auto file = WriteJpeg(kW, kH, 3, JCS_RGB, RgbSamples());
    int n = check_dib_size(file.data(), int(file.size()));
    EXPECT_EQ(n, int(sizeof(BITMAPINFOHEADER) + DibRowBytes(kW, 24) * kH));
    std::vector<uint8_t> dib(static_cast<size_t>(n));
    EXPECT_EQ(Jpg2Dib(file.data(), int(file.size()), dib.data(), n - 1), 0);
    EXPECT_EQ(Jpg2Dib(file.data(), int(file.size()), nullptr, n), 0);
    EXPECT_EQ(Jpg2Dib(file.data(), int(file.size()), dib.data(), n), n);
}

TEST(JpegDib, BrokenDataFailsAndReturns) {
    auto file = WriteJpeg(kW, kH, 3, JCS_RGB, RgbSamples(), true);
    std::vector<uint8_t> dib(size_t(check_dib_size(file.data(), int(file.size()))) + 100);
    // Every cut before the last rows' data: the header alone may still be sized.
    for (size_t cut = 0; cut + 2 < file.size(); cut += 7) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(Jpg2Dib(file.data(), int(cut), dib.data(), int(dib.size())), 0);
    }
    std::vector<uint8_t> garbage(200, 0x5A);
    EXPECT_EQ(check_dib_size(garbage.data(), int(garbage.size())), 0);
    EXPECT_EQ(check_dib_size(nullptr, 10), 0);
    EXPECT_EQ(check_dib_size(file.data(), 0), 0);
    // A start-of-frame that claims 65000 x 65000 pixels.
    std::vector<uint8_t> big = WriteJpeg(8, 8, 3, JCS_RGB, std::vector<uint8_t>(8 * 8 * 3, 90));
    for (size_t i = 0; i + 8 < big.size(); ++i)
        if (big[i] == 0xFF && big[i + 1] == 0xC0) {
            big[i + 5] = big[i + 7] = 0xFD, big[i + 6] = big[i + 8] = 0xE8;
            break;
        }
    EXPECT_EQ(check_dib_size(big.data(), int(big.size())), 0);
    EXPECT_EQ(Jpg2Dib(big.data(), int(big.size()), dib.data(), int(dib.size())), 0);
}

} // namespace
