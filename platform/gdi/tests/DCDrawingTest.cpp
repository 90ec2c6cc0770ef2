// Mapping modes, paths, brushes, shapes and palettes.
#include <gtest/gtest.h>

#include "platform/gdi/DC.h"
#include "platform/gdi/PixelBuffer.h"

namespace {
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Device pixels of colour c, counted.
int Count(const CDC& dc, COLORREF c) {
    const PixelBuffer* px = dc.Surface();
    int n = 0;
    for (int y = 0; y < px->Height(); ++y)
        for (int x = 0; x < px->Width(); ++x) n += px->ToRgb(px->Get(x, y)) == ColorRefToRgb(c);
    return n;
}

COLORREF At(const CDC& dc, int x, int y) {
    const PixelBuffer* px = dc.Surface();
    return RgbToColorRef(px->ToRgb(px->Get(x, y)));
}
}  // namespace

TEST(DCDrawing, MapModes) {
    auto dc = CreateMemoryDC(10, 10, 32, 96);
    struct Case {
        int mode;
        POINT logical, device;
    } cases[] = {
        {MM_TEXT, {7, 3}, {7, 3}},
        {MM_LOENGLISH, {100, -200}, {96, 192}},
        {MM_HIENGLISH, {1000, 500}, {96, -48}},
        {MM_LOMETRIC, {254, -127}, {96, 48}},
        {MM_HIMETRIC, {2540, 0}, {96, 0}},
        {MM_TWIPS, {1440, -720}, {96, 48}},
    };
    for (auto& c : cases) {
        dc->SetMapMode(c.mode);
        POINT p = c.logical;
        dc->LPtoDP(&p);
        EXPECT_EQ(CPoint(p), CPoint(c.device)) << c.mode;
        dc->DPtoLP(&p);
        EXPECT_EQ(CPoint(p), CPoint(c.logical)) << c.mode;
    }
    dc->SetMapMode(MM_ANISOTROPIC);
    dc->SetWindowOrg(10, 10);
    dc->SetWindowExt(100, 50);
    dc->SetViewportOrg(5, 5);
    dc->SetViewportExt(200, -200);
    POINT p{60, 35};
    dc->LPtoDP(&p);
    EXPECT_EQ(CPoint(p), CPoint(105, -95));
    // Isotropic keeps one scale: the smaller of the two.
    dc->SetMapMode(MM_ISOTROPIC);
    dc->SetWindowExt(100, 100);
    dc->SetViewportExt(200, 100);
    EXPECT_EQ(dc->GetViewportExt(), CSize(100, 100));
    // Extents do not change outside the two scalable modes.
    dc->SetMapMode(MM_TEXT);
    dc->SetWindowExt(5, 5);
    EXPECT_EQ(dc->GetWindowExt(), CSize(1, 1));
}

TEST(DCDrawing, ShapesScaleWithTheMapping) {
    auto dc = CreateMemoryDC(40, 40, 32);
    dc->SetMapMode(MM_ANISOTROPIC);
    dc->SetWindowExt(10, 10);
    dc->SetViewportExt(30, 30);
    CBrush red(kRed);
    dc->SelectObject(&red);
    dc->SelectStockObject(NULL_PEN);
    dc->Rectangle(1, 1, 5, 5);  // device 3..15, one less each way
    EXPECT_EQ(Count(*dc, kRed), 11 * 11);
    // A geometric pen's width scales too.
    CPen wide(PS_SOLID, 2, kBlue);
    dc->SelectObject(&wide);
    dc->MoveTo(0, 10);
    dc->LineTo(10, 10);
    EXPECT_EQ(At(*dc, 10, 30), kBlue);
    EXPECT_EQ(At(*dc, 10, 27), kBlue);
    EXPECT_EQ(At(*dc, 10, 33), kWhite);
}

TEST(DCDrawing, EllipsesArcsAndBeziersStayInTheirBoxes) {
    auto dc = CreateMemoryDC(30, 30, 32);
    CBrush red(kRed);
    dc->SelectObject(&red);
    dc->Ellipse(5, 5, 25, 15);
    EXPECT_EQ(At(*dc, 15, 10), kRed);    // centre
    EXPECT_EQ(At(*dc, 5, 10), kBlack);   // left end of the outline
    EXPECT_EQ(At(*dc, 24, 10), kBlack);  // right end: inside the box
    EXPECT_EQ(At(*dc, 25, 10), kWhite);  // the box's right edge is excluded
    EXPECT_EQ(At(*dc, 5, 5), kWhite);    // corner of the box
    // The upper half of a circle, counter-clockwise from the right.
    auto arc = CreateMemoryDC(30, 30, 32);
    arc->Arc(0, 0, 21, 21, 20, 10, 0, 10);
    EXPECT_EQ(At(*arc, 10, 0), kBlack);
    EXPECT_EQ(At(*arc, 10, 20), kWhite);
    // A Bezier runs through its end points.
    auto bz = CreateMemoryDC(30, 30, 32);
    POINT pts[] = {{2, 20}, {8, 2}, {20, 2}, {26, 20}};
    bz->PolyBezier(pts, 4);
    EXPECT_EQ(At(*bz, 2, 20), kBlack);
    EXPECT_EQ(At(*bz, 26, 20), kBlack);
    EXPECT_EQ(At(*bz, 14, 15), kWhite);
}

TEST(DCDrawing, PolygonFillModes) {
    // A pentagram: the centre is outside with ALTERNATE, inside with WINDING.
    POINT star[] = {{20, 2}, {31, 36}, {2, 14}, {38, 14}, {9, 36}};
    for (int mode : {ALTERNATE, WINDING}) {
        auto dc = CreateMemoryDC(40, 40, 32);
        CBrush red(kRed);
        dc->SelectObject(&red);
        dc->SelectStockObject(NULL_PEN);
        dc->SetPolyFillMode(mode);
        dc->Polygon(star, 5);
        EXPECT_EQ(At(*dc, 20, 20), mode == WINDING ? kRed : kWhite) << mode;
        EXPECT_EQ(At(*dc, 20, 6), kRed) << mode;
    }
}

TEST(DCDrawing, PathsFillStrokeAndClip) {
    auto dc = CreateMemoryDC(20, 20, 32);
    CBrush red(kRed);
    dc->SelectObject(&red);
    auto square = [&](int a, int b) {
        dc->BeginPath();
        dc->MoveTo(a, a);
        dc->LineTo(b, a);
        dc->LineTo(b, b);
        dc->LineTo(a, b);
        dc->CloseFigure();
        dc->EndPath();
    };
    square(2, 10);
    EXPECT_EQ(Count(*dc, kBlack), 0);  // nothing drawn while recording
    ASSERT_TRUE(dc->FillPath());
    EXPECT_EQ(Count(*dc, kRed), 64);
    EXPECT_FALSE(dc->FillPath());  // the path is used up

    square(12, 18);
    ASSERT_TRUE(dc->StrokePath());
    EXPECT_EQ(Count(*dc, kBlack), 24);

    square(0, 5);
    ASSERT_TRUE(dc->SelectClipPath(RGN_COPY));
    dc->PatBlt(0, 0, 20, 20, BLACKNESS);
    EXPECT_EQ(Count(*dc, kBlack), 24 + 25);

    // PolyDraw with a Bezier, outside a path, draws at once.
    auto pd = CreateMemoryDC(20, 20, 32);
    POINT pts[] = {{1, 1}, {10, 1}, {12, 5}, {12, 10}, {15, 15}};
    BYTE types[] = {PT_MOVETO, PT_LINETO, PT_BEZIERTO, PT_BEZIERTO, PT_BEZIERTO};
    ASSERT_TRUE(pd->PolyDraw(pts, types, 5));
    EXPECT_EQ(At(*pd, 5, 1), kBlack);
    EXPECT_EQ(pd->GetCurrentPosition(), CPoint(15, 15));
    BYTE bad[] = {PT_MOVETO, PT_BEZIERTO, PT_LINETO};
    EXPECT_FALSE(pd->PolyDraw(pts, bad, 3));
}

TEST(DCDrawing, HatchAndPatternBrushes) {
    // Hatch lines in the brush colour; gaps in the background colour only
    // when opaque.
    for (int mode : {OPAQUE, TRANSPARENT}) {
        auto dc = CreateMemoryDC(8, 8, 32);
        CBrush hatch;
        hatch.CreateHatchBrush(HS_HORIZONTAL, kRed);
        dc->SetBkColor(kBlue);
        dc->SetBkMode(mode);
        CRect r(0, 0, 8, 8);
        dc->FillRect(&r, &hatch);
        EXPECT_EQ(Count(*dc, kRed), 8);
        EXPECT_EQ(Count(*dc, kBlue), mode == OPAQUE ? 56 : 0);
    }
    // A mono pattern takes the text (0) and background (1) colours.
    const uint8_t rows[4] = {0x40, 0, 0x80, 0};  // 2x2: 0 1 / 1 0, rows of two bytes
    CBitmap bm;
    ASSERT_TRUE(bm.CreateBitmap(2, 2, 1, 1, rows));
    CBrush pattern;
    ASSERT_TRUE(pattern.CreatePatternBrush(&bm));
    auto dc = CreateMemoryDC(4, 4, 32);
    dc->SetTextColor(kRed);
    dc->SetBkColor(kBlue);
    CRect r(0, 0, 4, 4);
    dc->FillRect(&r, &pattern);
    EXPECT_EQ(At(*dc, 0, 0), kRed);
    EXPECT_EQ(At(*dc, 1, 0), kBlue);
    EXPECT_EQ(At(*dc, 3, 3), kRed);
    // The brush origin moves the pattern.
    dc->SetBrushOrg(1, 0);
    dc->FillRect(&r, &pattern);
    EXPECT_EQ(At(*dc, 0, 0), kBlue);
}

TEST(DCDrawing, DottedPensAndXorLines) {
    auto dc = CreateMemoryDC(12, 3, 32);
    CPen dot(PS_DOT, 1, kRed);
    dc->SelectObject(&dot);
    dc->SetBkMode(TRANSPARENT);
    dc->MoveTo(0, 1);
    dc->LineTo(12, 1);
    EXPECT_EQ(Count(*dc, kRed), 6);
    // Drawing an XOR line twice restores the picture.
    CPen white(PS_SOLID, 1, kWhite);
    dc->SelectObject(&white);
    dc->SetROP2(R2_XORPEN);
    dc->MoveTo(0, 0);
    dc->LineTo(12, 2);
    dc->MoveTo(0, 0);
    dc->LineTo(12, 2);
    EXPECT_EQ(Count(*dc, kRed), 6);
    EXPECT_EQ(Count(*dc, kWhite), 30);
}

TEST(DCDrawing, PaletteEmulationOnIndexedSurfaces) {
    struct {
        LOGPALETTE lp;
        PALETTEENTRY more[2];
    } pal{{0x300, 3, {{0, 0, 0, 0}}}, {{200, 10, 10, 0}, {10, 10, 200, 0}}};
    CPalette palette;
    ASSERT_TRUE(palette.CreatePalette(&pal.lp));
    EXPECT_EQ(palette.GetNearestPaletteIndex(kRed), 1u);
    auto dc = CreateMemoryDC(4, 1, 8);
    dc->SelectPalette(&palette, FALSE);
    EXPECT_EQ(dc->RealizePalette(), 3u);
    dc->SetPixel(0, 0, kRed);
    dc->SetPixel(1, 0, PALETTEINDEX(2));
    EXPECT_EQ(At(*dc, 0, 0), RGB(200, 10, 10));
    EXPECT_EQ(At(*dc, 1, 0), RGB(10, 10, 200));
    EXPECT_EQ(dc->GetNearestColor(kBlue), RGB(10, 10, 200));
    // The stock palette stays as it is.
    PALETTEENTRY e[16];
    EXPECT_EQ(GetPaletteEntries(GetStockObject(DEFAULT_PALETTE), 0, 16, e), 16u);
    EXPECT_EQ(dc->GetDeviceCaps(RASTERCAPS) & RC_PALETTE, 0);
}

TEST(DCDrawing, RegionsCombine) {
    CRgn a, b, c;
    a.CreateRectRgn(0, 0, 10, 10);
    b.CreateRectRgn(5, 5, 15, 15);
    c.CreateRectRgn(0, 0, 0, 0);
    struct Case {
        int mode;
        int kind;
        CRect box;
        bool hasCorner;  // (12, 12)
    } cases[] = {
        {RGN_AND, SIMPLEREGION, CRect(5, 5, 10, 10), false},
        {RGN_OR, COMPLEXREGION, CRect(0, 0, 15, 15), true},
        {RGN_XOR, COMPLEXREGION, CRect(0, 0, 15, 15), true},
        {RGN_DIFF, COMPLEXREGION, CRect(0, 0, 10, 10), false},
    };
    for (auto& k : cases) {
        EXPECT_EQ(c.CombineRgn(&a, &b, k.mode), k.kind) << k.mode;
        CRect box;
        c.GetRgnBox(&box);
        EXPECT_EQ(box, k.box) << k.mode;
        EXPECT_EQ(bool(c.PtInRegion(12, 12)), k.hasCorner) << k.mode;
    }
    EXPECT_FALSE(c.CombineRgn(&a, nullptr, RGN_AND));
    CRgn e;
    e.CreateEllipticRgn(0, 0, 10, 10);
    EXPECT_TRUE(e.PtInRegion(5, 5));
    EXPECT_FALSE(e.PtInRegion(0, 0));
}
