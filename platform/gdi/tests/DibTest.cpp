// The packed-DIB helper and the DIB calls of the DC.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/DC.h"
#include "platform/gdi/Dib.h"
#include "platform/gdi/PixelBuffer.h"

namespace {
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

struct Dib {
    std::vector<uint8_t> bytes;
    void Put16(uint16_t v) { bytes.push_back(uint8_t(v)), bytes.push_back(uint8_t(v >> 8)); }
    void Put32(uint32_t v) { Put16(uint16_t(v)), Put16(uint16_t(v >> 16)); }
    void Info(int w, int h, int bpp, DWORD comp = BI_RGB, DWORD clrUsed = 0, DWORD sizeImage = 0) {
        Put32(40), Put32(uint32_t(w)), Put32(uint32_t(h)), Put16(1), Put16(uint16_t(bpp)), Put32(comp);
        Put32(sizeImage), Put32(0), Put32(0), Put32(clrUsed), Put32(0);
    }
    void Rgb(COLORREF c) {
        bytes.push_back(GetBValue(c)), bytes.push_back(GetGValue(c)), bytes.push_back(GetRValue(c));
        bytes.push_back(0);
    }
    void Raw(std::initializer_list<int> b) {
        for (int v : b) bytes.push_back(uint8_t(v));
    }
    const BITMAPINFO* Header() const { return reinterpret_cast<const BITMAPINFO*>(bytes.data()); }
};

// 3x2, 8 bits, bottom-up: bottom row red green blue, top row white black red.
Dib Indexed8() {
    Dib d;
    d.Info(3, 2, 8, BI_RGB, 5);
    for (COLORREF c : {kRed, kGreen, kBlue, kWhite, kBlack}) d.Rgb(c);
    d.Raw({0, 1, 2, 0, 3, 4, 0, 0});
    return d;
}
}  // namespace

TEST(Dib, ReadsEveryKindOfPixels) {
    struct Case {
        const char* name;
        Dib dib;
        COLORREF topLeft, bottomRight;
    };
    std::vector<Case> cases;
    cases.push_back({"indexed 8", Indexed8(), kWhite, kBlue});
    {
        Dib d;  // 1 bit with a two-colour table, top-down
        d.Info(10, -2, 1);
        d.Rgb(kRed), d.Rgb(kBlue);
        d.Raw({0x80, 0x00, 0, 0, 0x00, 0x40, 0, 0});
        cases.push_back({"mono top-down", d, kBlue, kBlue});
    }
    {
        Dib d;  // 4 bits
        d.Info(3, 1, 4, BI_RGB, 2);
        d.Rgb(kGreen), d.Rgb(kRed);
        d.Raw({0x10, 0x10, 0, 0});
        cases.push_back({"indexed 4", d, kRed, kRed});
    }
    {
        Dib d;  // 16 bits 5-6-5 bit fields
        d.Info(2, 1, 16, BI_BITFIELDS);
        d.Put32(0xF800), d.Put32(0x07E0), d.Put32(0x001F);
        d.Put16(0xF800), d.Put16(0x001F);
        cases.push_back({"bit fields", d, kRed, kBlue});
    }
    {
        Dib d;  // 24 bits, rows padded to four bytes
        d.Info(1, 2, 24);
        d.Raw({255, 0, 0, 0, 0, 0, 255, 0});
        cases.push_back({"24 bits", d, kRed, kBlue});
    }
    {
        Dib d;  // RLE8: bottom row a run of 2 x index 1 and an absolute run; then end of bitmap
        d.Info(5, 2, 8, BI_RLE8, 3, 14);
        d.Rgb(kWhite), d.Rgb(kRed), d.Rgb(kBlue);
        d.Raw({2, 1, 0, 3, 2, 2, 1, 0, 0, 0, 5, 2, 0, 1});
        cases.push_back({"RLE8", d, kBlue, kRed});
    }
    {
        Dib d;  // core header with RGB triples
        d.Put32(12), d.Put16(2), d.Put16(1), d.Put16(1), d.Put16(1);
        d.Raw({0, 0, 255, 255, 0, 0});
        d.Raw({0x40, 0, 0, 0});
        cases.push_back({"core header", d, kRed, kBlue});
    }
    for (auto& c : cases) {
        DibView v;
        ASSERT_TRUE(v.ParsePacked(c.dib.bytes.data(), c.dib.bytes.size())) << c.name;
        EXPECT_EQ(v.Rgb(0, 0), ColorRefToRgb(c.topLeft)) << c.name;
        EXPECT_EQ(v.Rgb(v.Width() - 1, v.Height() - 1), ColorRefToRgb(c.bottomRight)) << c.name;
    }
}

TEST(Dib, RefusesMalformedHeadersAndShortData) {
    Dib good = Indexed8();
    DibView v;
    ASSERT_TRUE(v.ParsePacked(good.bytes.data(), good.bytes.size()));
    for (size_t n = 0; n < good.bytes.size(); ++n) EXPECT_FALSE(v.ParsePacked(good.bytes.data(), n)) << n;
    auto broken = [&](size_t at, uint8_t value) {
        Dib d = good;
        d.bytes[at] = value;
        return v.ParsePacked(d.bytes.data(), d.bytes.size());
    };
    EXPECT_FALSE(broken(0, 39));    // header size
    EXPECT_FALSE(broken(14, 7));    // bit count
    EXPECT_FALSE(broken(16, 9));    // compression
    EXPECT_FALSE(broken(4, 0));     // width 0
    EXPECT_FALSE(broken(32, 200));  // a colour table longer than the data
    Dib huge;
    huge.Info(70000, 70000, 32);
    EXPECT_FALSE(v.ParsePacked(huge.bytes.data(), huge.bytes.size()));
    Dib rleTopDown;
    rleTopDown.Info(2, -2, 8, BI_RLE8, 1, 2);
    rleTopDown.Rgb(kRed);
    rleTopDown.Raw({0, 1});
    EXPECT_FALSE(v.ParsePacked(rleTopDown.bytes.data(), rleTopDown.bytes.size()));
}

TEST(Dib, RunLengthPixelsStayInsideTheImage) {
    Dib d;  // runs and deltas that point outside the 2x2 image
    d.Info(2, 2, 8, BI_RLE8, 2, 12);
    d.Rgb(kWhite), d.Rgb(kRed);
    d.Raw({9, 1, 0, 2, 200, 200, 4, 1, 0, 0, 0, 1});
    DibView v;
    ASSERT_TRUE(v.ParsePacked(d.bytes.data(), d.bytes.size()));
    EXPECT_EQ(v.Rgb(0, 1), ColorRefToRgb(kRed));
    EXPECT_EQ(v.Rgb(1, 1), ColorRefToRgb(kRed));
    EXPECT_EQ(v.Rgb(0, 0), ColorRefToRgb(kWhite));
}

TEST(Dib, StretchDIBitsCountsSourceRowsFromTheBottom) {
    Dib d = Indexed8();
    auto dc = CreateMemoryDC(6, 4, 32);
    // The bottom row only (ySrc 0, one row), stretched to 6x2.
    EXPECT_EQ(dc->StretchDIBits(0, 0, 6, 2, 0, 0, 3, 1, d.bytes.data() + 40 + 20, d.Header(), DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(dc->GetPixel(0, 0), kRed);
    EXPECT_EQ(dc->GetPixel(2, 1), kGreen);
    EXPECT_EQ(dc->GetPixel(5, 1), kBlue);
    EXPECT_EQ(dc->GetPixel(0, 2), kWhite);
    // A negative destination height flips the image.
    dc->StretchDIBits(0, 3, 3, -2, 0, 0, 3, 2, d.bytes.data() + 60, d.Header(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(dc->GetPixel(0, 3), kWhite);
    EXPECT_EQ(dc->GetPixel(0, 2), kRed);
}

TEST(Dib, ToMonoTargetsOnlyWhiteBecomesOne) {
    Dib d = Indexed8();
    auto mono = CreateMemoryDC(3, 2, 1);
    mono->PatBlt(0, 0, 3, 2, BLACKNESS);
    mono->SetDIBitsToDevice(0, 0, 3, 2, 0, 0, 0, 2, d.bytes.data() + 60, d.Header(), DIB_RGB_COLORS);
    EXPECT_EQ(mono->GetPixel(0, 0), kWhite);  // white
    EXPECT_EQ(mono->GetPixel(1, 0), kBlack);  // black
    EXPECT_EQ(mono->GetPixel(0, 1), kBlack);  // red
}

TEST(Dib, SetDIBitsToDeviceInBands) {
    // A 1x4 bottom-up image handed in two bands of two rows.
    Dib d;
    d.Info(1, 4, 24);
    const uint8_t rows[4][4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}};
    auto dc = CreateMemoryDC(1, 4, 32);
    dc->PatBlt(0, 0, 1, 4, BLACKNESS);
    // Bottom band: rows 0 and 1 (red, green) land at the lowest two pixels.
    EXPECT_EQ(dc->SetDIBitsToDevice(0, 0, 1, 4, 0, 0, 0, 2, rows[0], d.Header(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(dc->GetPixel(0, 3), kRed);
    EXPECT_EQ(dc->GetPixel(0, 2), kGreen);
    EXPECT_EQ(dc->GetPixel(0, 1), kBlack);
    EXPECT_EQ(dc->SetDIBitsToDevice(0, 0, 1, 4, 0, 0, 2, 2, rows[2], d.Header(), DIB_RGB_COLORS), 2);
    EXPECT_EQ(dc->GetPixel(0, 1), kBlue);
    EXPECT_EQ(dc->GetPixel(0, 0), kWhite);
}

TEST(Dib, PaletteIndexesUseTheSelectedPalette) {
    Dib d;
    d.Info(2, 1, 8, BI_RGB, 2);
    d.Put16(1), d.Put16(0);  // DIB_PAL_COLORS: entries 1 and 0 of the DC's palette
    d.Raw({0, 1, 0, 0});
    struct {
        LOGPALETTE lp;
        PALETTEENTRY more;
    } pal{{0x300, 2, {{255, 0, 0, 0}}}, {0, 0, 255, 0}};
    CPalette palette;
    ASSERT_TRUE(palette.CreatePalette(&pal.lp));
    auto dc = CreateMemoryDC(2, 1, 32);
    dc->SelectPalette(&palette, FALSE);
    dc->RealizePalette();
    dc->StretchDIBits(0, 0, 2, 1, 0, 0, 2, 1, d.bytes.data() + 44, d.Header(), DIB_PAL_COLORS, SRCCOPY);
    EXPECT_EQ(dc->GetPixel(0, 0), kBlue);
    EXPECT_EQ(dc->GetPixel(1, 0), kRed);
    // PALETTEINDEX colours on a true-colour surface come from the palette too.
    dc->SetPixel(0, 0, PALETTEINDEX(1));
    EXPECT_EQ(dc->GetPixel(0, 0), kBlue);
}
