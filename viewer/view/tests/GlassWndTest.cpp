// The magnifier glass over a TeX page: at the page's corners and edges, and
// inside it, the glass shows the page region under it as the drawer renders
// it at the glass zoom, the workspace colour outside the page, and its
// one-pixel border.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <filesystem>

#include "dvilib/VrDviDrawer.h"
#include "platform/gdi/DC.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/PixelBuffer.h"
#include "viewer/view/GlassWnd.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/tests/ViewFixture.h"

namespace {

// Text from the paper's top-left corner on, so the glass meets ink there.
const char* kDocument = R"TEX(
\hoffset=-1in \voffset=-1in \parindent=0pt
\newcount\n \n=0
\loop \advance\n by 1
  The quick brown fox jumps over the lazy dog; PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS.
  \ifnum\n<40 \repeat
\bye
)TEX";

class Glass : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(kDocument); }
    static void TearDownTestSuite() { TearDownDocuments(); }

    // The drawer's own rendering of the page at the glass zoom, on a
    // monochrome bitmap as the view's glass page, copied to 32 bits.
    std::unique_ptr<CDC> GlassReference() {
        const ViewStatus vs = Status();
        CDC mono;
        mono.CreateCompatibleDC(nullptr);
        CBitmap bitmap;
        bitmap.CreateBitmap(vs.glassPageWidth, vs.glassPageHeight, 1, 1, nullptr);
        CBitmap* old = mono.SelectObject(&bitmap);
        mono.FillSolidRect(0, 0, vs.glassPageWidth, vs.glassPageHeight, RGB(255, 255, 255));
        VrDviDrawer d;
        EXPECT_EQ(d.Open(mono, doc->GetReader(), vs.page, fpreal4(vs.GlassDispMag),
                         viewgeo::MarginPixels(vs.hMargin, vs.resolutionX, vs.GlassDispMag),
                         viewgeo::MarginPixels(vs.vMargin, vs.resolutionY, vs.GlassDispMag), 0xFF0000, String8()),
                  1);
        EXPECT_EQ(d.Draw(-1), 1);
        d.Close();
        auto ref = CreateMemoryDC(vs.glassPageWidth, vs.glassPageHeight, 32, 96);
        ref->BitBlt(0, 0, vs.glassPageWidth, vs.glassPageHeight, &mono, 0, 0, SRCCOPY);
        mono.SelectObject(old);
        return ref;
    }
};

TEST_F(Glass, ShowsThePageRegionUnderItAtTheGlassZoomAndTheWorkspaceOutsideThePage) {
    MakeView();
    Open(Dir() / "doc.dvi");
    // A workspace colour whose channels differ, so a swap of red and blue shows.
    ViewStatus vs = Status();
    vs.workspaceColor = RGB(20, 160, 240);
    view->SetStatus(vs);
    WaitDrawn();
    vs = Status();
    ASSERT_EQ(vs.GlassDispMag, 25000);
    ASSERT_GT(vs.glassPageWidth, 1000);
    ASSERT_GT(vs.glassPageHeight, 1000);
    const int pw = vs.glassPageWidth, ph = vs.glassPageHeight;
    const int gw = view->GetGlassWidth(), gh = view->GetGlassHeight();
    ASSERT_EQ(gw, 200);
    ASSERT_EQ(gh, 200);

    CGlassWnd* glass = view->GetGlassWnd();
    ASSERT_NE(glass, nullptr);
    ASSERT_TRUE(glass->IsWindow());
    EXPECT_FALSE(glass->IsWindowVisible());
    EXPECT_TRUE(glass->GetWidget()->isWindow());
    glass->SetWindowPos(nullptr, 100, 100, gw + 2, gh + 2, SWP_NOZORDER | SWP_NOACTIVATE);
    glass->ShowWindow(SW_SHOWNA);
    ASSERT_TRUE(PumpUntil([&] { return glass->GetSurface().width == gw + 2 && glass->GetSurface().height == gh + 2; }));

    auto ref = GlassReference();
    const uint32_t workspace = 0x14A0F0;  // RGB(20, 160, 240) as 0x00RRGGBB
    struct Case {
        const char* where;
        int origin, x, y;
        bool inkExpected;
    };
    const Case cases[] = {
        {"top-left corner", 0, -60, -40, true},
        {"top edge", 0, 300, -100, true},
        {"top-right corner", 0, pw - 120, -30, false},
        {"right edge", 0, pw - 50, 900, false},
        {"bottom-right corner", 0, pw - 150, ph - 20, false},
        {"bottom edge", 0, 400, ph - 199, false},
        {"bottom-left corner", 0, -199, ph - 100, false},
        {"left edge", 0, -10, 300, true},
        {"inside", 0, 400, 250, true},
        {"left edge, page shifted", 60, -100, 300, true},
        {"left of the page", 0, -500, 300, false},
    };
    for (const Case& c : cases) {
        glass->SetPageOrigin(c.origin);
        glass->SetOffsets(c.x, c.y);
        glass->Invalidate(FALSE);
        glass->UpdateWindow();
        WindowSurface& s = glass->GetSurface();
        int wrong = 0, page = 0, outside = 0, ink = 0;
        for (int j = 0; j < gh; ++j)
            for (int i = 0; i < gw; ++i) {
                const int sx = c.origin + c.x + i, sy = c.y + j;
                const bool onPage = sx >= 0 && sx < pw && sy >= 0 && sy < ph;
                const uint32_t want = onPage ? ref->Surface()->Get(sx, sy) : workspace;
                const uint32_t got = s.Row(j + 1)[i + 1] & 0xFFFFFF;
                wrong += got != want;
                page += onPage;
                outside += !onPage;
                ink += onPage && want == 0;
            }
        EXPECT_EQ(wrong, 0) << c.where;
        if (c.inkExpected) {
            EXPECT_GT(ink, 100) << c.where;
        }
        const bool inside = c.origin + c.x >= 0 && c.y >= 0 && c.origin + c.x + gw <= pw && c.y + gh <= ph;
        EXPECT_EQ(outside == 0, inside) << c.where;
        EXPECT_EQ(page == 0, c.x + c.origin + gw <= 0) << c.where;
        // The border.
        int border = 0;
        for (int i = 0; i < gw + 2; ++i)
            border += (s.Row(0)[i] & 0xFFFFFF) != 0 || (s.Row(gh + 1)[i] & 0xFFFFFF) != 0;
        for (int j = 0; j < gh + 2; ++j)
            border += (s.Row(j)[0] & 0xFFFFFF) != 0 || (s.Row(j)[gw + 1] & 0xFFFFFF) != 0;
        EXPECT_EQ(border, 0) << c.where;
        if (&c == &cases[0]) {
            // Kept for a look: the glass at the top-left corner.
            std::filesystem::create_directories(VELORAN_BINARY_DIR "/artefacts");
            QImage(reinterpret_cast<const uchar*>(s.pixels.data()), s.width, s.height, s.width * 4,
                   QImage::Format_RGB32)
                .save(VELORAN_BINARY_DIR "/artefacts/glass-corner.png");
        }
    }
    // A page about to be fetched again takes the glass away.
    view->SetRetrievingStatus();
    EXPECT_FALSE(glass->IsWindowVisible());
}

TEST(GlassFillRects, CoverNothingInsideThePageAndStopAtItsEdges) {
    // Inside: no fill. Top-left corner: a left strip 60 wide and a top strip
    // 40 high (a null-pen Rectangle fills up to right - 2 and bottom - 2).
    EXPECT_TRUE(GlassFillRects(10, 10, 200, 200, 1000, 1000).empty());
    const std::vector<RECT> corner = GlassFillRects(-60, -40, 200, 200, 1000, 1000);
    ASSERT_EQ(corner.size(), 2u);
    EXPECT_EQ(corner[0].right - 1, 60);
    EXPECT_EQ(corner[1].bottom - 1, 40);
    // A page narrower than the glass: the top strip still spans the glass.
    const std::vector<RECT> small = GlassFillRects(-20, -20, 200, 200, 100, 100);
    ASSERT_EQ(small.size(), 4u);
    EXPECT_EQ(small[1].right - 1, 200);
    EXPECT_EQ(small[2].left, 120);
    EXPECT_EQ(small[3].top, 120);
}

}  // namespace
