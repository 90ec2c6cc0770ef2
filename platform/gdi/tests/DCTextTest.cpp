// Text placement with the metrics the font engine reports: alignment,
// rotation, mapping and the opaque cell. The placeholder engine's cell is
// |lfHeight| tall with an ascent of 4/5 and characters half as wide.
#include <gtest/gtest.h>

#include "platform/gdi/DC.h"
#include "platform/gdi/PixelBuffer.h"

namespace {
constexpr COLORREF kBlue = RGB(0, 0, 255);

// Bounds of the device pixels of colour c.
CRect Box(const CDC& dc, COLORREF c) {
    const PixelBuffer* px = dc.Surface();
    CRect r(1 << 20, 1 << 20, -1, -1);
    for (int y = 0; y < px->Height(); ++y)
        for (int x = 0; x < px->Width(); ++x)
            if (px->ToRgb(px->Get(x, y)) == ColorRefToRgb(c)) {
                r.left = std::min(r.left, x), r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1), r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

TEXTMETRIC Metrics(int height) {
    CFont f;
    f.CreateFont(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Sans");
    auto dc = CreateMemoryDC(1, 1, 32);
    dc->SelectObject(&f);
    TEXTMETRIC tm;
    dc->GetTextMetrics(&tm);
    return tm;
}
}  // namespace

TEST(DCText, EveryAlignmentPlacesTheCell) {
    const TEXTMETRIC tm = Metrics(-20);
    const int w = 3 * tm.tmAveCharWidth, asc = tm.tmAscent, desc = tm.tmDescent;
    struct Case {
        UINT align;
        CRect want;
    } cases[] = {
        {TA_LEFT | TA_TOP, CRect(50, 40, 50 + w, 40 + asc + desc)},
        {TA_LEFT | TA_BASELINE, CRect(50, 40 - asc, 50 + w, 40 + desc)},
        {TA_LEFT | TA_BOTTOM, CRect(50, 40 - asc - desc, 50 + w, 40)},
        {TA_CENTER | TA_TOP, CRect(50 - w / 2, 40, 50 + w - w / 2, 40 + asc + desc)},
        {TA_RIGHT | TA_BASELINE, CRect(50 - w, 40 - asc, 50, 40 + desc)},
    };
    for (auto& c : cases) {
        auto dc = CreateMemoryDC(120, 100, 32);
        CFont f;
        f.CreateFont(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Sans");
        dc->SelectObject(&f);
        dc->SetBkColor(kBlue);
        dc->SetBkMode(OPAQUE);
        dc->SetTextAlign(c.align);
        dc->TextOut(50, 40, "abc", 3);
        EXPECT_EQ(Box(*dc, kBlue), c.want) << "align " << c.align;
    }
}

TEST(DCText, TransparentBackgroundLeavesTheCell) {
    auto dc = CreateMemoryDC(40, 40, 32);
    dc->SetBkColor(kBlue);
    dc->SetBkMode(TRANSPARENT);
    dc->TextOut(5, 5, "abc", 3);
    EXPECT_EQ(Box(*dc, kBlue).right, -1);
    // ETO_OPAQUE fills its rectangle whatever the mode.
    CRect r(2, 3, 6, 7);
    dc->ExtTextOut(0, 0, ETO_OPAQUE, &r, "", 0, nullptr);
    EXPECT_EQ(Box(*dc, kBlue), r);
}

TEST(DCText, EscapementTurnsTheBaseline) {
    const TEXTMETRIC tm = Metrics(-20);
    auto dc = CreateMemoryDC(100, 100, 32);
    CFont f;
    f.CreateFont(-20, 0, 900, 900, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Sans");
    dc->SelectObject(&f);
    dc->SetBkColor(kBlue);
    dc->SetTextAlign(TA_BASELINE);
    dc->TextOut(50, 60, "abc", 3);
    // Up the page from the reference point, the ascent on the left.
    EXPECT_EQ(Box(*dc, kBlue), CRect(50 - tm.tmAscent, 60 - 3 * tm.tmAveCharWidth, 50 + tm.tmDescent, 60));
}

TEST(DCText, UpdateCurrentPositionAndCharacterSpacing) {
    const TEXTMETRIC tm = Metrics(-20);
    auto dc = CreateMemoryDC(200, 50, 32);
    CFont f;
    f.CreateFont(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Sans");
    dc->SelectObject(&f);
    dc->SetTextAlign(TA_UPDATECP);
    dc->MoveTo(10, 5);
    dc->TextOut(0, 0, "ab", 2);
    EXPECT_EQ(dc->GetCurrentPosition(), CPoint(10 + 2 * tm.tmAveCharWidth, 5));
    dc->SetTextCharacterExtra(3);
    EXPECT_EQ(dc->GetTextExtent("ab", 2).cx, 2 * (tm.tmAveCharWidth + 3));
    // Explicit advances win over the font's.
    const int dx[] = {7, 9};
    dc->SetTextAlign(TA_UPDATECP);
    CPoint before = dc->GetCurrentPosition();
    dc->ExtTextOut(0, 0, 0, nullptr, "ab", 2, dx);
    EXPECT_EQ(dc->GetCurrentPosition().x, before.x + 16);
}

TEST(DCText, LogicalUnitsFollowTheMapping) {
    auto dc = CreateMemoryDC(200, 200, 32);
    dc->SetMapMode(MM_ANISOTROPIC);
    dc->SetWindowExt(1, 1);
    dc->SetViewportExt(2, 2);
    CFont f;
    f.CreateFont(-10, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Sans");
    dc->SelectObject(&f);
    TEXTMETRIC logical;
    dc->GetTextMetrics(&logical);
    const TEXTMETRIC device = Metrics(-20);
    EXPECT_EQ(logical.tmHeight, 10);
    EXPECT_EQ(logical.tmAscent, (device.tmAscent + 1) / 2);
    EXPECT_EQ(dc->GetTextExtent("abcd", 4), CSize(4 * device.tmAveCharWidth / 2, 10));
    int widths[3];
    ASSERT_TRUE(dc->GetCharWidth('a', 'c', widths));
    EXPECT_EQ(widths[2], device.tmAveCharWidth / 2);
    // The cell is drawn at device size.
    dc->SetBkColor(kBlue);
    dc->TextOut(10, 10, "a", 1);
    EXPECT_EQ(Box(*dc, kBlue), CRect(20, 20, 20 + device.tmAveCharWidth, 20 + device.tmHeight));
}

TEST(DCText, FacesAndFontResourcesPassThrough) {
    auto dc = CreateMemoryDC(4, 4, 32);
    CFont f;
    f.CreateFont(-12, 0, 0, 0, FW_BOLD, 1, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "No Such Face Anywhere");
    dc->SelectObject(&f);
    char face[LF_FACESIZE];
    EXPECT_GT(dc->GetTextFace(LF_FACESIZE, face), 0);
    EXPECT_STREQ(face, "No Such Face Anywhere");
    TEXTMETRIC tm;
    ASSERT_TRUE(dc->GetTextMetrics(&tm));  // a face that is missing still gives metrics
    EXPECT_GT(tm.tmHeight, 0);
    EXPECT_EQ(AddFontResourceA("/nonexistent/font.ttf"), 0);
    EXPECT_EQ(AddFontResourceA(nullptr), 0);
}
