// Text through the DC: where the cell and the glyphs land for every
// alignment, rotation, mapping, clipping and surface depth.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/DC.h"
#include "platform/gdi/PixelBuffer.h"

namespace {
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

const CRect kNone(1 << 20, 1 << 20, -1, -1);

// Bounds of the device pixels that satisfy pred(rgb).
template <class P>
CRect Bounds(const CDC& dc, P pred) {
    const PixelBuffer* px = dc.Surface();
    CRect r = kNone;
    for (int y = 0; y < px->Height(); ++y)
        for (int x = 0; x < px->Width(); ++x)
            if (pred(px->ToRgb(px->Get(x, y)))) {
                r.left = std::min(r.left, x), r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1), r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}
CRect Box(const CDC& dc, COLORREF c) {
    return Bounds(dc, [&](uint32_t rgb) { return rgb == ColorRefToRgb(c); });
}
// Pixels darker than mid grey in every channel: the ink of black text.
CRect Ink(const CDC& dc) {
    return Bounds(dc, [](uint32_t rgb) { return ((rgb >> 16) & 0xFF) < 128 && ((rgb >> 8) & 0xFF) < 128 && (rgb & 0xFF) < 128; });
}

struct Text {
    std::unique_ptr<CDC> dc;
    CFont font;
    Text(int w, int h, int height, int escapement = 0, const char* face = "DejaVu Sans", int bpp = 32) {
        dc = CreateMemoryDC(w, h, bpp);
        font.CreateFont(height, 0, escapement, escapement, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
        dc->SelectObject(&font);
        dc->SetBkMode(TRANSPARENT);
    }
    TEXTMETRIC Metrics() const {
        TEXTMETRIC tm;
        dc->GetTextMetrics(&tm);
        return tm;
    }
};
}  // namespace

TEST(DCText, EveryAlignmentPlacesTheCell) {
    struct Case {
        UINT align;
        int dx;  // left edge from x, in text widths: 0, -1/2, -1
        int dy;  // 0: top at y, 1: baseline at y, 2: bottom at y
    } cases[] = {
        {TA_LEFT | TA_TOP, 0, 0},      {TA_LEFT | TA_BASELINE, 0, 1}, {TA_LEFT | TA_BOTTOM, 0, 2},
        {TA_CENTER | TA_TOP, 1, 0},    {TA_RIGHT | TA_BASELINE, 2, 1},
    };
    for (auto& c : cases) {
        Text t(140, 100, -20);
        const TEXTMETRIC tm = t.Metrics();
        const int w = t.dc->GetTextExtent("abc", 3).cx, asc = tm.tmAscent, desc = tm.tmDescent;
        t.dc->SetBkColor(kBlue);
        t.dc->SetBkMode(OPAQUE);
        t.dc->SetTextAlign(c.align);
        t.dc->TextOut(60, 40, "abc", 3);
        int left = c.dx == 0 ? 60 : c.dx == 1 ? 60 - w / 2 : 60 - w;
        int top = c.dy == 0 ? 40 : c.dy == 1 ? 40 - asc : 40 - asc - desc;
        EXPECT_EQ(Box(*t.dc, kBlue), CRect(left, top, left + w, top + asc + desc)) << "align " << c.align;
    }
}

TEST(DCText, GlyphsSitOnTheBaselineInEachAlignment) {
    for (UINT v : {TA_BASELINE, TA_TOP, TA_BOTTOM}) {
        Text t(120, 120, -40);
        const TEXTMETRIC tm = t.Metrics();
        t.dc->SetTextAlign(v);
        t.dc->TextOut(20, 60, "H", 1);
        int baseline = v == TA_BASELINE ? 60 : v == TA_TOP ? 60 + tm.tmAscent : 60 - tm.tmDescent;
        CRect ink = Ink(*t.dc);
        ASSERT_NE(ink, kNone) << v;
        EXPECT_NEAR(ink.bottom, baseline, 1) << v;  // the last ink row is just above the baseline
        // A capital is about 0.73 em tall in this face: the size is the em.
        EXPECT_NEAR(ink.Height(), 29, 2) << v;
        EXPECT_GE(ink.top, baseline - tm.tmAscent) << v;
        EXPECT_GE(ink.left, 20) << v;
        EXPECT_LE(ink.right, 20 + t.dc->GetTextExtent("H", 1).cx + 1) << v;
    }
}

TEST(DCText, MetricsHoldWhatIsDrawn) {
    Text t(200, 120, -40);
    const TEXTMETRIC tm = t.Metrics();
    t.dc->SetTextAlign(TA_BASELINE);
    t.dc->TextOut(10, 60, "Ågjy|", 6);
    CRect ink = Ink(*t.dc);
    ASSERT_NE(ink, kNone);
    EXPECT_GE(ink.top, 60 - tm.tmAscent - 1);  // within a pixel of the cell
    EXPECT_LE(ink.bottom, 60 + tm.tmDescent + 1);
    EXPECT_GT(ink.bottom, 60 + tm.tmDescent / 2);  // descenders go below the baseline
    EXPECT_LE(ink.right, 10 + t.dc->GetTextExtent("Ågjy|", 6).cx + 2);
    // A positive height is the cell: ascent plus descent.
    Text cell(10, 10, 40);
    EXPECT_EQ(cell.Metrics().tmHeight, 40);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_GT(tm.tmHeight, 40);
}

TEST(DCText, EscapementTurnsTheText) {
    Text upright(120, 120, -30);
    upright.dc->SetTextAlign(TA_BASELINE);
    upright.dc->TextOut(20, 60, "III", 3);
    const CRect flat = Ink(*upright.dc);

    Text t(120, 120, -30, 900);
    const TEXTMETRIC tm = t.Metrics();
    const int w = t.dc->GetTextExtent("III", 3).cx;
    t.dc->SetBkColor(kBlue);
    t.dc->SetBkMode(OPAQUE);
    t.dc->SetTextAlign(TA_BASELINE);
    t.dc->TextOut(60, 100, "III", 3);
    // The cell runs up the page from the reference point, the ascent on the left.
    EXPECT_EQ(Box(*t.dc, kBlue), CRect(60 - tm.tmAscent, 100 - w, 60 + tm.tmDescent, 100));
    // The glyphs turned a quarter: the upright ink box with its sides swapped,
    // lying left of the reference point (their tops point left).
    CRect ink = Ink(*t.dc);
    ASSERT_NE(ink, kNone);
    EXPECT_NEAR(ink.Width(), flat.Height(), 1);
    EXPECT_NEAR(ink.Height(), flat.Width(), 1);
    EXPECT_NEAR(ink.right, 60, 1);
    EXPECT_NEAR(ink.bottom, 100 - (flat.left - 20), 1);
}

TEST(DCText, CurrentPositionSpacingAndAdvances) {
    Text t(200, 50, -20);
    const int ab = t.dc->GetTextExtent("ab", 2).cx;
    t.dc->SetTextAlign(TA_UPDATECP);
    t.dc->MoveTo(10, 5);
    t.dc->TextOut(0, 0, "ab", 2);
    EXPECT_EQ(t.dc->GetCurrentPosition(), CPoint(10 + ab, 5));
    t.dc->SetTextCharacterExtra(3);
    EXPECT_EQ(t.dc->GetTextExtent("ab", 2).cx, ab + 6);
    // Explicit advances win over the font's.
    const int dx[] = {7, 9};
    CPoint before = t.dc->GetCurrentPosition();
    t.dc->ExtTextOut(0, 0, 0, nullptr, "ab", 2, dx);
    EXPECT_EQ(t.dc->GetCurrentPosition().x, before.x + 16);
}

TEST(DCText, LogicalUnitsFollowTheMapping) {
    Text device(10, 10, -20);
    const TEXTMETRIC dtm = device.Metrics();
    const int dw = device.dc->GetTextExtent("abcd", 4).cx;
    int dc3[3];
    device.dc->GetCharWidth('a', 'c', dc3);

    auto dc = CreateMemoryDC(200, 200, 32);
    dc->SetMapMode(MM_ANISOTROPIC);
    dc->SetWindowExt(1, 1);
    dc->SetViewportExt(2, 2);
    CFont f;
    f.CreateFont(-10, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "DejaVu Sans");
    dc->SelectObject(&f);
    TEXTMETRIC tm;
    dc->GetTextMetrics(&tm);
    EXPECT_EQ(tm.tmHeight, (dtm.tmHeight + 1) / 2);
    EXPECT_EQ(dc->GetTextExtent("abcd", 4).cx, (dw + 1) / 2);
    int widths[3];
    ASSERT_TRUE(dc->GetCharWidth('a', 'c', widths));
    EXPECT_EQ(widths[2], (dc3[2] + 1) / 2);
    // The cell is drawn at device size.
    dc->SetBkColor(kBlue);
    dc->TextOut(10, 10, "a", 1);
    EXPECT_EQ(Box(*dc, kBlue), CRect(20, 20, 20 + dc3[0], 20 + dtm.tmHeight));
}

// The exact em is in logical units too, and the font keeps its LOGFONT.
TEST(DCText, ExactEmFollowsTheMappingAndStaysInTheFont) {
    auto widthOf = [](int scale, LONG em64) {
        auto dc = CreateMemoryDC(400, 100, 32);
        dc->SetMapMode(MM_ANISOTROPIC);
        dc->SetWindowExt(1, 1);
        dc->SetViewportExt(scale, scale);
        LOGFONT lf;
        lf.lfHeight = -14;
        lf.lfEmHeight64 = em64;
        std::strcpy(lf.lfFaceName, "CMR10");
        CFont f;
        f.CreateFontIndirect(&lf);
        LOGFONT back;
        EXPECT_TRUE(f.GetLogFont(&back));
        EXPECT_EQ(back.lfHeight, -14);
        EXPECT_EQ(back.lfEmHeight64, em64);
        dc->SelectObject(&f);
        return dc->GetTextExtent("MMMMMMMMMMMMMMMMMMMM", 20).cx * scale;
    };
    const int whole = widthOf(1, 0), exact = widthOf(1, 850), doubled = widthOf(2, 850);
    EXPECT_NEAR(whole, 20 * 0.9167 * 14, 11);
    EXPECT_NEAR(exact, 20 * 0.9167 * 850 / 64, 11);
    EXPECT_LT(exact, whole);
    EXPECT_NEAR(doubled, 20 * 0.9167 * 850 / 32, 22);
}

TEST(DCText, EveryDepthAndTheClip) {
    for (int bpp : {1, 4, 8, 24, 32}) {
        Text t(80, 40, -24, 0, "DejaVu Sans", bpp);
        t.dc->SetTextColor(bpp == 1 ? RGB(0, 0, 0) : kRed);
        t.dc->SetTextAlign(TA_TOP);
        t.dc->IntersectClipRect(0, 0, 20, 40);
        t.dc->TextOut(2, 2, "MMMM", 4);
        COLORREF ink = bpp == 1 ? RGB(0, 0, 0) : kRed;
        CRect box = Box(*t.dc, ink);
        ASSERT_NE(box, kNone) << bpp;
        EXPECT_LE(box.right, 20) << bpp;  // nothing past the clip
        EXPECT_GE(box.left, 2) << bpp;
    }
}

TEST(DCText, TransparentBackgroundAndOpaqueRectangle) {
    Text t(60, 40, -16);
    t.dc->SetBkColor(kBlue);
    t.dc->TextOut(5, 5, "abc", 3);
    EXPECT_EQ(Box(*t.dc, kBlue), kNone);
    CRect r(2, 3, 6, 7);
    t.dc->ExtTextOut(0, 0, ETO_OPAQUE, &r, "", 0, nullptr);
    EXPECT_EQ(Box(*t.dc, kBlue), r);
    // ETO_CLIPPED keeps the glyphs inside the rectangle.
    Text c(60, 40, -30);
    CRect clip(0, 0, 12, 40);
    c.dc->ExtTextOut(2, 2, ETO_CLIPPED, &clip, "WWW", 3, nullptr);
    CRect ink = Ink(*c.dc);
    ASSERT_NE(ink, kNone);
    EXPECT_LE(ink.right, 12);
}

TEST(DCText, MissingFacesFallBackAndNamesPassThrough) {
    Text t(80, 40, -20, 0, "No Such Face Anywhere");
    char face[LF_FACESIZE];
    EXPECT_GT(t.dc->GetTextFace(LF_FACESIZE, face), 0);
    EXPECT_STREQ(face, "No Such Face Anywhere");
    t.dc->SetTextAlign(TA_TOP);
    t.dc->TextOut(2, 2, "Hello", 5);
    EXPECT_NE(Ink(*t.dc), kNone);
    EXPECT_EQ(AddFontResourceA("/nonexistent/font.ttf"), 0);
    EXPECT_EQ(AddFontResourceA(nullptr), 0);
    int found = 0;
    auto proc = [](const LOGFONT*, const TEXTMETRIC*, DWORD type, LPARAM data) {
        if (type & TRUETYPE_FONTTYPE) ++*reinterpret_cast<int*>(data);
        return 0;  // first face is enough
    };
    t.dc->EnumFontFamilies("DejaVu Sans", proc, reinterpret_cast<LPARAM>(&found));
    EXPECT_EQ(found, 1);
    (void)kWhite;
}

TEST(DCText, CharacterCellCopiedWithSrcAndMatchesDirectText) {
    // A glyph drawn into a white cell of a compatible DC, whose origin sits
    // one cell width in and two ascents down, then ANDed onto the page,
    // lands exactly where drawing it on the page puts it.
    const WCHAR g = u'g';
    Text direct(120, 80, -30);
    direct.dc->SetTextAlign(TA_BASELINE);
    direct.dc->ExtTextOutW(40, 50, 0, nullptr, &g, 1, nullptr);

    Text page(120, 80, -30);
    page.dc->SetTextAlign(TA_BASELINE);
    TEXTMETRIC tm = page.Metrics();
    const int mcw = tm.tmMaxCharWidth, asc = tm.tmAscent, desc = tm.tmDescent;
    CDC cell;
    ASSERT_TRUE(cell.CreateCompatibleDC(page.dc.get()));
    cell.SetViewportOrg(mcw, 2 * asc);
    cell.SetTextAlign(TA_BASELINE);
    cell.SelectObject(&page.font);
    cell.SelectStockObject(WHITE_BRUSH);
    cell.SelectStockObject(NULL_PEN);
    CBitmap bm;
    ASSERT_TRUE(bm.CreateCompatibleBitmap(page.dc.get(), 3 * mcw, 2 * (asc + desc)));
    cell.SelectObject(&bm);
    cell.Rectangle(-mcw - 1, -2 * asc - 1, 2 * mcw + 2, 2 * desc + 2);
    cell.SetTextColor(page.dc->GetTextColor());
    cell.SetBkMode(TRANSPARENT);
    cell.ExtTextOutW(0, 0, 0, nullptr, &g, 1, nullptr);
    page.dc->StretchBlt(40, 50 - asc, mcw * 2, asc + desc, &cell, 0, -asc, mcw * 2, asc + desc, SRCAND);

    const PixelBuffer* a = direct.dc->Surface();
    const PixelBuffer* b = page.dc->Surface();
    int differ = 0;
    for (int y = 0; y < a->Height(); ++y)
        for (int x = 0; x < a->Width(); ++x) differ += a->Get(x, y) != b->Get(x, y);
    EXPECT_EQ(differ, 0);
    EXPECT_NE(Ink(*page.dc), kNone);
}
