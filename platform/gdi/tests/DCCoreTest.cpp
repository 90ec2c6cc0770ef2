// Pixel rules of the DC core: fills, pens, raster operations, blits, state.
#include <gtest/gtest.h>

#include "platform/gdi/DC.h"
#include "platform/gdi/PixelBuffer.h"
#include "platform/gdi/Surface.h"

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

// Rows of '#' (colour c) and '.' (anything else) over a small area.
std::string Picture(const CDC& dc, int w, int h, COLORREF c) {
    std::string s;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) s += dc.GetPixel(x, y) == c ? '#' : '.';
        s += '\n';
    }
    return s;
}

int Count(const CDC& dc, int w, int h, COLORREF c) {
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) n += dc.GetPixel(x, y) == c;
    return n;
}
}  // namespace

TEST(DCCore, FillRectExcludesRightAndBottom) {
    auto dc = CreateMemoryDC(6, 5, 32);
    CBrush red(kRed);
    CRect r(1, 1, 4, 3);
    dc->FillRect(&r, &red);
    EXPECT_EQ(Picture(*dc, 6, 5, kRed),
              "......\n"
              ".###..\n"
              ".###..\n"
              "......\n"
              "......\n");
    // A rectangle of no width fills nothing.
    CRect empty(3, 3, 3, 4);
    dc->FillRect(&empty, &red);
    EXPECT_EQ(Count(*dc, 6, 5, kRed), 6);
}

TEST(DCCore, RectangleWithNullPenFillsOneLessEachWay) {
    auto dc = CreateMemoryDC(8, 8, 32);
    CBrush red(kRed);
    dc->SelectObject(&red);
    dc->SelectStockObject(NULL_PEN);
    dc->Rectangle(1, 1, 5, 4);
    EXPECT_EQ(Picture(*dc, 6, 5, kRed),
              "......\n"
              ".###..\n"
              ".###..\n"
              "......\n"
              "......\n");
    // The +1 the drawing code adds gives exactly w x h.
    auto dc2 = CreateMemoryDC(8, 8, 32);
    dc2->SelectObject(&red);
    dc2->SelectStockObject(NULL_PEN);
    dc2->Rectangle(2, 2, 2 + 3 + 1, 2 + 2 + 1);
    EXPECT_EQ(Count(*dc2, 8, 8, kRed), 6);
}

TEST(DCCore, RectangleWithPenFramesTheWholeBox) {
    auto dc = CreateMemoryDC(7, 6, 32);
    CBrush red(kRed);
    dc->SelectObject(&red);
    dc->Rectangle(0, 0, 5, 4);
    EXPECT_EQ(Picture(*dc, 6, 5, kBlack),
              "#####.\n"
              "#...#.\n"
              "#...#.\n"
              "#####.\n"
              "......\n");
    EXPECT_EQ(Count(*dc, 7, 6, kRed), 6);
}

TEST(DCCore, OutlineAndInsideAreEachPaintedOnce) {
    // XOR of white over black: a pixel painted twice would be black again.
    auto dc = CreateMemoryDC(8, 8, 32);
    dc->PatBlt(0, 0, 8, 8, BLACKNESS);
    CPen pen(PS_SOLID, 1, kWhite);
    CBrush brush(kWhite);
    dc->SelectObject(&pen);
    dc->SelectObject(&brush);
    dc->SetROP2(R2_XORPEN);
    dc->Rectangle(0, 0, 5, 5);
    EXPECT_EQ(Count(*dc, 8, 8, kWhite), 25);
    dc->PatBlt(0, 0, 8, 8, BLACKNESS);
    dc->Ellipse(0, 0, 8, 8);
    EXPECT_EQ(dc->GetPixel(4, 4), kWhite);
    EXPECT_EQ(dc->GetPixel(4, 0), kWhite);
    EXPECT_EQ(dc->GetPixel(4, 1), kWhite);
}

TEST(DCCore, LineToLeavesOutItsLastPoint) {
    auto dc = CreateMemoryDC(8, 3, 32);
    dc->MoveTo(1, 1);
    dc->LineTo(5, 1);
    EXPECT_EQ(Picture(*dc, 8, 3, kBlack),
              "........\n"
              ".####...\n"
              "........\n");
    EXPECT_EQ(dc->GetCurrentPosition(), CPoint(5, 1));
    // A polyline ends the same way; a polygon's outline is closed.
    auto dc2 = CreateMemoryDC(8, 8, 32);
    POINT pts[] = {{1, 1}, {5, 1}, {5, 4}};
    dc2->Polyline(pts, 3);
    EXPECT_EQ(dc2->GetPixel(5, 3), kBlack);
    EXPECT_EQ(dc2->GetPixel(5, 4), kWhite);
}

TEST(DCCore, EveryBinaryRasterOperation) {
    // Pen 0x0F0F0F... over a destination of 0x333333 per channel bits.
    const uint32_t p = 0xF0, d = 0xCC;
    struct Case {
        int rop2;
        uint32_t want;
    } cases[] = {
        {R2_BLACK, 0x00},           {R2_NOTMERGEPEN, ~(p | d)}, {R2_MASKNOTPEN, ~p & d}, {R2_NOTCOPYPEN, ~p},
        {R2_MASKPENNOT, p & ~d},    {R2_NOT, ~d},               {R2_XORPEN, p ^ d},      {R2_NOTMASKPEN, ~(p & d)},
        {R2_MASKPEN, p & d},        {R2_NOTXORPEN, ~(p ^ d)},   {R2_NOP, d},             {R2_MERGENOTPEN, ~p | d},
        {R2_COPYPEN, p},            {R2_MERGEPENNOT, p | ~d},   {R2_MERGEPEN, p | d},    {R2_WHITE, 0xFF},
    };
    for (auto& c : cases) {
        auto dc = CreateMemoryDC(4, 4, 32);
        CRect all(0, 0, 4, 4);
        dc->FillSolidRect(&all, RGB(d, d, d));
        CBrush brush(RGB(p, p, p));
        dc->SelectObject(&brush);
        dc->SelectStockObject(NULL_PEN);
        dc->SetROP2(c.rop2);
        dc->Rectangle(0, 0, 3, 3);
        uint8_t w = uint8_t(c.want);
        EXPECT_EQ(dc->GetPixel(1, 1), RGB(w, w, w)) << "ROP2 " << c.rop2;
        EXPECT_EQ(dc->GetPixel(3, 3), RGB(d, d, d)) << "ROP2 " << c.rop2;
    }
}

TEST(DCCore, TernaryRasterOperations) {
    const uint8_t s = 0xAA, d = 0xCC, p = 0xF0;
    struct Case {
        DWORD rop;
        uint8_t want;
    } cases[] = {
        {SRCCOPY, s},          {SRCAND, uint8_t(s & d)},  {SRCPAINT, uint8_t(s | d)}, {SRCINVERT, uint8_t(s ^ d)},
        {MERGEPAINT, uint8_t(~s | d)}, {NOTSRCCOPY, uint8_t(~s)}, {PATCOPY, p},      {PATINVERT, uint8_t(p ^ d)},
        {DSTINVERT, uint8_t(~d)}, {BLACKNESS, 0},          {WHITENESS, 0xFF},        {0x00B8074A, uint8_t((p & ~s) | (s & d))},
    };
    for (auto& c : cases) {
        auto src = CreateMemoryDC(4, 4, 32);
        auto dst = CreateMemoryDC(4, 4, 32);
        CRect all(0, 0, 4, 4);
        src->FillSolidRect(&all, RGB(s, s, s));
        dst->FillSolidRect(&all, RGB(d, d, d));
        CBrush brush(RGB(p, p, p));
        dst->SelectObject(&brush);
        dst->BitBlt(1, 1, 2, 2, src.get(), 0, 0, c.rop);
        EXPECT_EQ(dst->GetPixel(1, 1), RGB(c.want, c.want, c.want)) << std::hex << c.rop;
        EXPECT_EQ(dst->GetPixel(3, 3), RGB(d, d, d)) << std::hex << c.rop;
    }
}

TEST(DCCore, MonoToColourUsesTargetTextAndBackground) {
    auto mono = CreateMemoryDC(2, 1, 1);
    mono->SetPixel(0, 0, kBlack);  // bit 0
    mono->SetPixel(1, 0, kWhite);  // bit 1
    auto dst = CreateMemoryDC(2, 1, 32);
    dst->SetTextColor(RGB(10, 20, 30));
    dst->SetBkColor(RGB(200, 210, 220));
    dst->BitBlt(0, 0, 2, 1, mono.get(), 0, 0, SRCCOPY);
    EXPECT_EQ(dst->GetPixel(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(dst->GetPixel(1, 0), RGB(200, 210, 220));
    // MERGEPAINT of a mask whitens only where the mask is 0 (ink) when the
    // target's colours are black and white.
    auto page = CreateMemoryDC(2, 1, 32);
    CRect all(0, 0, 2, 1);
    page->FillSolidRect(&all, RGB(50, 60, 70));
    page->SetTextColor(kBlack);
    page->SetBkColor(kWhite);
    page->BitBlt(0, 0, 2, 1, mono.get(), 0, 0, MERGEPAINT);
    EXPECT_EQ(page->GetPixel(0, 0), kWhite);
    EXPECT_EQ(page->GetPixel(1, 0), RGB(50, 60, 70));
}

TEST(DCCore, ColourToMonoUsesSourceBackgroundAsOne) {
    auto src = CreateMemoryDC(3, 1, 32);
    src->SetPixel(0, 0, kRed);
    src->SetPixel(1, 0, RGB(1, 2, 3));
    src->SetPixel(2, 0, kWhite);
    src->SetBkColor(kRed);
    auto mono = CreateMemoryDC(3, 1, 1);
    mono->BitBlt(0, 0, 3, 1, src.get(), 0, 0, SRCCOPY);
    EXPECT_EQ(mono->GetPixel(0, 0), kWhite);
    EXPECT_EQ(mono->GetPixel(1, 0), kBlack);
    EXPECT_EQ(mono->GetPixel(2, 0), kBlack);
}

TEST(DCCore, BlitsBetweenEveryDepth) {
    const int depths[] = {1, 4, 8, 24, 32};
    for (int from : depths)
        for (int to : depths) {
            auto src = CreateMemoryDC(4, 2, from);
            auto dst = CreateMemoryDC(4, 2, to);
            src->SetPixel(1, 0, kBlack);
            src->SetBkColor(kWhite);
            dst->SetTextColor(kBlack);
            dst->SetBkColor(kWhite);
            dst->BitBlt(0, 0, 4, 2, src.get(), 0, 0, SRCCOPY);
            EXPECT_EQ(dst->GetPixel(1, 0), kBlack) << from << "->" << to;
            EXPECT_EQ(dst->GetPixel(2, 0), kWhite) << from << "->" << to;
            // A colour both can show survives the trip between colour depths.
            if (from > 1 && to > 1) {
                src->SetPixel(3, 1, kRed);
                dst->BitBlt(0, 0, 4, 2, src.get(), 0, 0, SRCCOPY);
                EXPECT_EQ(dst->GetPixel(3, 1), kRed) << from << "->" << to;
            }
        }
}

TEST(DCCore, OverlappingBlitWithinOneSurface) {
    // A row of five colours moved right by two and down by one onto itself.
    auto dc = CreateMemoryDC(8, 3, 32);
    const COLORREF c[5] = {RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0), RGB(4, 0, 0), RGB(5, 0, 0)};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x) dc->SetPixel(x, y, c[x]);
    dc->BitBlt(2, 1, 5, 2, dc.get(), 0, 0, SRCCOPY);
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(dc->GetPixel(x + 2, 1), c[x]) << x;
        EXPECT_EQ(dc->GetPixel(x + 2, 2), c[x]) << x;
    }
    dc->BitBlt(0, 0, 6, 3, dc.get(), 2, 0, SRCCOPY);  // and back left
    EXPECT_EQ(dc->GetPixel(0, 1), c[0]);
    EXPECT_EQ(dc->GetPixel(4, 2), c[4]);
}

TEST(DCCore, StretchModesWhenShrinking) {
    // A 4x1 source with one black pixel shrunk to 1x1.
    struct Case {
        int mode;
        COLORREF want;
    } cases[] = {{BLACKONWHITE, kBlack}, {WHITEONBLACK, kWhite}, {HALFTONE, RGB(191, 191, 191)}};
    for (auto& c : cases) {
        auto src = CreateMemoryDC(4, 1, 32);
        src->SetPixel(2, 0, kBlack);
        auto dst = CreateMemoryDC(1, 1, 32);
        dst->SetStretchBltMode(c.mode);
        dst->StretchBlt(0, 0, 1, 1, src.get(), 0, 0, 4, 1, SRCCOPY);
        EXPECT_EQ(dst->GetPixel(0, 0), c.want) << c.mode;
    }
    // Growing copies each pixel; a negative width mirrors.
    auto src = CreateMemoryDC(2, 1, 32);
    src->SetPixel(0, 0, kRed);
    auto dst = CreateMemoryDC(4, 1, 32);
    dst->StretchBlt(3, 0, -4, 1, src.get(), 0, 0, 2, 1, SRCCOPY);
    EXPECT_EQ(Picture(*dst, 4, 1, kRed), "..##\n");
}

TEST(DCCore, SaveAndRestoreState) {
    auto dc = CreateMemoryDC(4, 4, 32);
    CPen pen(PS_SOLID, 1, kRed);
    dc->SetTextColor(kRed);
    int level = dc->SaveDC();
    EXPECT_EQ(level, 1);
    CPen* old = dc->SelectObject(&pen);
    dc->SetTextColor(kBlack);
    dc->SetMapMode(MM_ANISOTROPIC);
    dc->SetViewportOrg(5, 5);
    dc->IntersectClipRect(0, 0, 1, 1);
    dc->SaveDC();
    dc->SetROP2(R2_XORPEN);
    EXPECT_TRUE(dc->RestoreDC(-2));
    EXPECT_EQ(dc->GetTextColor(), kRed);
    EXPECT_EQ(dc->GetMapMode(), MM_TEXT);
    EXPECT_EQ(dc->GetViewportOrg(), CPoint(0, 0));
    EXPECT_EQ(dc->GetROP2(), R2_COPYPEN);
    EXPECT_EQ(dc->GetCurrentPen(), old);
    CRect box;
    EXPECT_EQ(dc->GetClipBox(&box), SIMPLEREGION);
    EXPECT_EQ(box, CRect(0, 0, 4, 4));
    EXPECT_FALSE(dc->RestoreDC(-1));  // nothing saved any more
    EXPECT_FALSE(dc->RestoreDC(3));
}

TEST(DCCore, DeletedSelectedObjectsStayUsable) {
    auto dc = CreateMemoryDC(4, 4, 32);
    {
        CBrush brush(kRed);
        dc->SelectObject(&brush);
    }  // deleted while selected
    dc->SelectStockObject(NULL_PEN);
    dc->Rectangle(0, 0, 3, 3);
    EXPECT_EQ(dc->GetPixel(0, 0), kRed);
}

TEST(DCCore, ClippingLimitsEveryDrawing) {
    auto dc = CreateMemoryDC(6, 6, 32);
    CRgn rgn;
    rgn.CreateRectRgn(2, 2, 4, 4);
    dc->SelectClipRgn(&rgn);
    CRect all(0, 0, 6, 6);
    CBrush red(kRed);
    dc->FillRect(&all, &red);
    EXPECT_EQ(Count(*dc, 6, 6, kRed), 4);
    dc->ExcludeClipRect(2, 2, 3, 3);
    dc->PatBlt(0, 0, 6, 6, BLACKNESS);
    EXPECT_EQ(Count(*dc, 6, 6, kBlack), 3);
    dc->SelectClipRgn(nullptr);
    dc->PatBlt(0, 0, 6, 6, WHITENESS);
    EXPECT_EQ(Count(*dc, 6, 6, kWhite), 36);
}

TEST(DCCore, SurfaceDCDrawsIntoTheWindowBuffer) {
    WindowSurface s;
    s.Resize(5, 4);
    auto dc = CreateSurfaceDC(s);
    ASSERT_TRUE(dc);
    EXPECT_EQ(dc->GetDeviceCaps(LOGPIXELSX), 96);
    EXPECT_EQ(dc->GetDeviceCaps(HORZRES), 5);
    CRect r(1, 1, 3, 2);
    CBrush red(kRed);
    dc->FillRect(&r, &red);
    EXPECT_EQ(s.pixels[1 * 5 + 1], 0xFFFF0000u);
    EXPECT_EQ(s.pixels[1 * 5 + 3], 0xFFFFFFFFu);
    // A memory page copied into the window.
    auto page = CreateMemoryDC(2, 2, 32);
    page->SetPixel(0, 0, RGB(0, 0, 255));
    dc->BitBlt(3, 2, 2, 2, page.get(), 0, 0, SRCCOPY);
    EXPECT_EQ(s.pixels[2 * 5 + 3], 0xFF0000FFu);
    EXPECT_EQ(s.pixels[3 * 5 + 4], 0xFFFFFFFFu);
}

TEST(DCCore, CompatibleDCAndBitmapFollowTheReference) {
    auto page = CreateMemoryDC(4, 4, 32);
    CDC mem;
    mem.CreateCompatibleDC(page.get());
    CBitmap bm;
    ASSERT_TRUE(bm.CreateCompatibleBitmap(page.get(), 3, 2));
    BITMAP info;
    bm.GetBitmap(&info);
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_EQ(info.bmWidth, 3);
    mem.SelectObject(&bm);
    mem.PatBlt(0, 0, 3, 2, WHITENESS);
    mem.SetPixel(2, 1, kRed);
    EXPECT_EQ(mem.GetPixel(2, 1), kRed);
    // A fresh memory DC holds a mono bitmap, so its compatible bitmaps are mono.
    CDC fresh;
    fresh.CreateCompatibleDC(nullptr);
    CBitmap mono;
    mono.CreateCompatibleBitmap(&fresh, 8, 8);
    mono.GetBitmap(&info);
    EXPECT_EQ(info.bmBitsPixel, 1);
}

TEST(DCCore, ScreenDCIsAReferenceForColourBitmaps) {
    auto screen = CreateScreenDC();
    CBitmap bm;
    ASSERT_TRUE(bm.CreateCompatibleBitmap(screen.get(), 4, 4));
    BITMAP info;
    bm.GetBitmap(&info);
    EXPECT_EQ(info.bmBitsPixel, 32);
    CRect r(0, 0, 4, 4);
    CBrush red(kRed);
    screen->FillRect(&r, &red);  // nothing to draw on, and no harm
    EXPECT_EQ(screen->GetPixel(0, 0), CLR_INVALID);
}

TEST(DCCore, TransparentBltSkipsTheKeyColour) {
    auto icon = CreateMemoryDC(3, 1, 32);
    icon->SetPixel(0, 0, kRed);
    icon->SetPixel(1, 0, RGB(0, 0, 255));
    icon->SetPixel(2, 0, kBlack);
    auto dst = CreateMemoryDC(6, 2, 32);
    dst->PatBlt(0, 0, 6, 2, BLACKNESS);
    EXPECT_TRUE(dst->TransparentBlt(0, 0, 6, 2, icon.get(), 0, 0, 3, 1, RGB(255, 0, 0)));
    EXPECT_EQ(dst->GetPixel(0, 1), kBlack);  // the key colour left the target alone
    EXPECT_EQ(dst->GetPixel(1, 0), kBlack);
    EXPECT_EQ(dst->GetPixel(2, 1), RGB(0, 0, 255));
    EXPECT_EQ(dst->GetPixel(3, 0), RGB(0, 0, 255));
}

TEST(DCCore, RefusesOversizedBitmaps) {
    CBitmap bm;
    EXPECT_FALSE(bm.CreateBitmap(1 << 17, 4, 1, 32, nullptr));
    EXPECT_FALSE(bm.CreateBitmap(60000, 60000, 1, 32, nullptr));
    EXPECT_FALSE(bm.CreateBitmap(4, 4, 1, 7, nullptr));
    EXPECT_TRUE(bm.CreateBitmap(4, 4, 1, 1, nullptr));
}
