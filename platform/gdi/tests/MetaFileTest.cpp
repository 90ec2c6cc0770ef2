// Playing generated metafiles: mapping, objects, shapes, text, DIBs, and
// metafiles that are cut short or malformed.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/MetaFile.h"
#include "platform/gdi/RecordingDC.h"

namespace {
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// Builds a standard metafile record by record.
class WmfWriter {
public:
    void Record(uint16_t fn, std::vector<uint16_t> params) {
        Put32(uint32_t(3 + params.size()));
        words_.push_back(fn);
        words_.insert(words_.end(), params.begin(), params.end());
    }
    static uint16_t Lo(uint32_t v) { return uint16_t(v); }
    static uint16_t Hi(uint32_t v) { return uint16_t(v >> 16); }
    std::vector<uint8_t> Bytes(uint16_t objects) {
        Record(0, {});
        std::vector<uint16_t> all = {1, 9, 0x300, 0, 0, objects, 0, 0, 0};
        uint32_t size = uint32_t(9 + words_.size());
        all[3] = Lo(size), all[4] = Hi(size);
        all.insert(all.end(), words_.begin(), words_.end());
        std::vector<uint8_t> b;
        for (uint16_t w : all) b.push_back(uint8_t(w)), b.push_back(uint8_t(w >> 8));
        return b;
    }

private:
    void Put32(uint32_t v) { words_.push_back(Lo(v)), words_.push_back(Hi(v)); }
    std::vector<uint16_t> words_;
};

// A 2x2 24-bit bottom-up DIB: bottom row red, blue; top row white, red.
std::vector<uint16_t> SmallDib() {
    std::vector<uint8_t> b(40, 0);
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i)); };
    put32(0, 40), put32(4, 2), put32(8, 2);
    b[12] = 1, b[14] = 24;
    const uint8_t rows[2][8] = {{0, 0, 255, 255, 0, 0, 0, 0}, {255, 255, 255, 0, 0, 255, 0, 0}};
    for (auto& r : rows) b.insert(b.end(), r, r + 8);
    std::vector<uint16_t> w;
    for (size_t i = 0; i < b.size(); i += 2) w.push_back(uint16_t(b[i] | (b[i + 1] << 8)));
    return w;
}

// Plays on a 40x40 DC mapped as a picture is: anisotropic, the metafile's
// window onto a viewport at (vx, vy) of size (vw, vh).
void Play(CDC& dc, const std::vector<uint8_t>& bytes, int vx, int vy, int vw, int vh, BOOL* result = nullptr) {
    HMETAFILE mf = SetMetaFileBitsEx(UINT(bytes.size()), bytes.data());
    ASSERT_NE(mf, nullptr);
    dc.SaveDC();
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetTextAlign(TA_TOP | TA_LEFT);
    dc.SetViewportOrg(vx, vy);
    dc.SetViewportExt(vw, vh);
    BOOL ok = dc.PlayMetaFile(mf);
    if (result) *result = ok;
    dc.RestoreDC(-1);
    DeleteMetaFile(mf);
}
}  // namespace

TEST(MetaFile, PlaysShapesLinesTextAndDibsThroughTheMapping) {
    WmfWriter w;
    w.Record(0x020B, {0, 0});      // SETWINDOWORG (0, 0)
    w.Record(0x020C, {100, 100});  // SETWINDOWEXT 100 x 100
    w.Record(0x02FC, {BS_SOLID, WmfWriter::Lo(kRed), WmfWriter::Hi(kRed), 0});  // brush -> 0
    w.Record(0x02FA, {PS_NULL, 0, 0, 0, 0});                                    // pen -> 1
    w.Record(0x012D, {0});
    w.Record(0x012D, {1});
    w.Record(0x041B, {50, 50, 0, 0});  // RECTANGLE (0,0)-(50,50): device (0,0)-(20,20)
    w.Record(0x01F0, {1});             // delete the null pen; the DC keeps it selected
    w.Record(0x02FA, {PS_SOLID, 0, 0, WmfWriter::Lo(kBlue), WmfWriter::Hi(kBlue)});  // pen -> 1 again
    w.Record(0x012D, {1});
    w.Record(0x0214, {75, 0});    // MOVETO (0, 75)
    w.Record(0x0213, {75, 100});  // LINETO (100, 75)
    // POLYGON: a triangle in the lower right quarter.
    w.Record(0x0324, {3, 60, 60, 95, 60, 95, 95});
    std::vector<uint16_t> sd = {0x0020, 0x00CC, DIB_RGB_COLORS, 2, 2, 0, 0, 10, 10, 90, 0};  // STRETCHDIB
    auto dib = SmallDib();
    sd.insert(sd.end(), dib.begin(), dib.end());
    w.Record(0x0F43, sd);
    // A font 40 units (16 pixels) high.
    w.Record(0x02FB, {uint16_t(-40), 0, 0, 0, 400, 0, 0, 0, 0, 'D' | ('e' << 8), 'j' | ('a' << 8),
                      'V' | ('u' << 8), ' ' | ('S' << 8), 'a' | ('n' << 8), 's'});
    w.Record(0x012D, {2});
    w.Record(0x0102, {OPAQUE});
    w.Record(0x0201, {WmfWriter::Lo(kBlue), WmfWriter::Hi(kBlue)});  // background blue
    w.Record(0x0521, {2, uint16_t('A' | ('B' << 8)), 0, 105});        // TEXTOUT "AB" at (105, 0)
    auto bytes = w.Bytes(4);  // brush, pen, font; the first pen's slot was reused

    RecordingDC dc(80, 40);
    BOOL ok = FALSE;
    Play(dc, bytes, 0, 0, 40, 40, &ok);
    EXPECT_TRUE(ok);
    // Rectangle with the null pen: device 0..18 filled, 19 not.
    EXPECT_EQ(dc.GetPixel(0, 0), kRed);
    EXPECT_EQ(dc.GetPixel(18, 18), kRed);
    EXPECT_EQ(dc.GetPixel(19, 19), kWhite);
    // The line at y = 30 from x = 0 to 39 (its last point left out).
    EXPECT_EQ(dc.GetPixel(0, 30), kBlue);
    EXPECT_EQ(dc.GetPixel(38, 30), kBlue);
    // The triangle: outline in the pen, inside in the brush.
    EXPECT_EQ(dc.GetPixel(24, 24), kBlue);
    EXPECT_EQ(dc.GetPixel(38, 32), kBlue);
    EXPECT_EQ(dc.GetPixel(35, 28), kRed);
    EXPECT_EQ(dc.GetPixel(26, 35), kWhite);
    // The DIB at (0, 36) 4x4 device pixels: top row white, red; bottom row red, blue.
    EXPECT_EQ(dc.GetPixel(0, 36), kWhite);
    EXPECT_EQ(dc.GetPixel(2, 36), kRed);
    EXPECT_EQ(dc.GetPixel(0, 38), kRed);
    EXPECT_EQ(dc.GetPixel(3, 39), kBlue);
    // The text's opaque cell: from (42, 0) device, top-aligned, a 16-pixel
    // font's cell high.
    CRect cell(1000, 1000, -1, -1);
    for (int y = 0; y < 40; ++y)
        for (int x = 40; x < 80; ++x)
            if (dc.GetPixel(x, y) == kBlue) {
                cell.left = std::min(cell.left, x), cell.top = std::min(cell.top, y);
                cell.right = std::max(cell.right, x + 1), cell.bottom = std::max(cell.bottom, y + 1);
            }
    EXPECT_EQ(cell.TopLeft(), CPoint(42, 0));
    EXPECT_GE(cell.Height(), 17);
    EXPECT_LE(cell.Height(), 20);
    ASSERT_EQ(dc.CallsNamed("ExtTextOutW").size(), 1u);
    EXPECT_EQ(dc.CallsNamed("ExtTextOutW")[0], "ExtTextOutW(105,0,0x0,{0,0,0,0},\"AB\")");
    // The DC's state is back where it was.
    EXPECT_EQ(dc.GetMapMode(), MM_TEXT);
    EXPECT_EQ(dc.GetBkMode(), OPAQUE);
    EXPECT_EQ(dc.GetBkColor(), kWhite);
}

TEST(MetaFile, TruncatedOrMalformedStopsCleanly) {
    WmfWriter w;
    w.Record(0x020C, {30, 30});
    w.Record(0x02FC, {BS_SOLID, WmfWriter::Lo(kRed), WmfWriter::Hi(kRed), 0});
    w.Record(0x012D, {0});
    w.Record(0x041B, {10, 10, 0, 0});
    w.Record(0x0324, {500, 1, 2});  // a polygon claiming 500 points
    w.Record(0x041B, {20, 20, 10, 10});
    auto bytes = w.Bytes(1);

    RecordingDC dc(30, 30);
    BOOL ok = TRUE;
    Play(dc, bytes, 0, 0, 30, 30, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(dc.GetPixel(5, 5), kRed);      // drawn before the bad record
    EXPECT_EQ(dc.GetPixel(15, 15), kWhite);  // nothing after it

    // Cut in the middle of a record: every prefix plays without harm.
    WmfWriter good;
    good.Record(0x02FC, {BS_SOLID, WmfWriter::Lo(kRed), WmfWriter::Hi(kRed), 0});
    good.Record(0x012D, {0});
    good.Record(0x041B, {10, 10, 0, 0});
    auto full = good.Bytes(1);
    for (size_t n = 18; n < full.size(); ++n) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + long(n));
        RecordingDC d(12, 12);
        BOOL r = TRUE;
        Play(d, cut, 0, 0, 12, 12, &r);
        EXPECT_FALSE(r) << n;
    }
    EXPECT_EQ(SetMetaFileBitsEx(10, full.data()), nullptr);
    std::vector<uint8_t> badHeader = full;
    badHeader[2] = 7;
    EXPECT_EQ(SetMetaFileBitsEx(UINT(badHeader.size()), badHeader.data()), nullptr);
}

TEST(MetaFile, RestoreCannotReachBelowThePlayersState) {
    WmfWriter w;
    w.Record(0x0127, {uint16_t(-3)});  // RESTOREDC -3 with nothing saved
    w.Record(0x001E, {});              // SAVEDC
    w.Record(0x0209, {WmfWriter::Lo(kRed), WmfWriter::Hi(kRed)});
    w.Record(0x0127, {uint16_t(-1)});
    w.Record(0x0127, {uint16_t(-1)});  // one too many
    auto bytes = w.Bytes(0);
    RecordingDC dc(4, 4);
    dc.SetTextColor(kBlue);
    int level = dc.SaveDC();
    HMETAFILE mf = SetMetaFileBitsEx(UINT(bytes.size()), bytes.data());
    EXPECT_TRUE(dc.PlayMetaFile(mf));
    DeleteMetaFile(mf);
    EXPECT_EQ(dc.GetTextColor(), kBlue);
    EXPECT_EQ(dc.SaveDC(), level + 1);  // the caller's saved state is still there
}

TEST(MetaFile, TextFollowsTheFontsCharacterSet) {
    // "A", then CP949 0xC7 0xD1 (U+D55C) with two advances, in a Korean font;
    // then the same bytes in a symbol font.
    auto font = [](WmfWriter& w, uint8_t charset) {
        w.Record(0x02FB, {uint16_t(-20), 0, 0, 0, 400, 0, uint16_t(charset << 8), 0, 0, 'A'});
    };
    WmfWriter w;
    font(w, HANGUL_CHARSET);
    font(w, SYMBOL_CHARSET);
    w.Record(0x012D, {0});
    w.Record(0x0A32, {5, 1, 3, 0, uint16_t('A' | (0xC7 << 8)), 0xD1, 7, 4, 5});  // EXTTEXTOUT with dx
    w.Record(0x012D, {1});
    w.Record(0x0521, {2, uint16_t(0xC7 | (0xD1 << 8)), 5, 1});                   // TEXTOUT
    auto bytes = w.Bytes(2);
    RecordingDC dc(40, 20);
    HMETAFILE mf = SetMetaFileBitsEx(UINT(bytes.size()), bytes.data());
    EXPECT_TRUE(dc.PlayMetaFile(mf));
    DeleteMetaFile(mf);
    auto calls = dc.CallsNamed("ExtTextOutW");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "ExtTextOutW(1,5,0x0,{0,0,0,0},\"A\xED\x95\x9C\")");
    EXPECT_EQ(calls[1], "ExtTextOutW(1,5,0x0,{0,0,0,0},\"\xEF\x83\x87\xEF\x83\x91\")");
}
