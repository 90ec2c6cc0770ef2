// The Thumbnails tab: the strip's geometry (visible entries, scrolling,
// hit tests, re-centring); thumbnails of a TeX document that match the
// drawer's rendering at the thumbnail size, with shadow, frames and page
// numbers; clicks, the wheel and the re-centring a second after a page
// change; TIFF pages; and the byte budget of the images kept.
#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <tiffio.h>

#include "dvilib/VrDviDrawer.h"
#include "platform/gdi/DC.h"
#include "platform/gdi/PixelBuffer.h"
#include "viewer/view/GlassWnd.h"
#include "viewer/view/ThumbnailView.h"
#include "viewer/view/TiffPage.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/tests/ViewFixture.h"
#include "testsupport/Ink.h"

namespace {

namespace fs = std::filesystem;
using thumbgeo::Entry;

const char* kDocument = R"TEX(
\font\big=cmbx12 at 60pt
\newcount\n \n=0
\loop \advance\n by 1
  \centerline{\big \the\n}
  \medskip
  The quick brown fox jumps over the lazy dog. PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS.
  \ifnum\n<8 \vfill\eject \repeat
\bye
)TEX";

std::vector<Entry> Stacked(int count, int w, int h, int gap = 8) {
    std::vector<Entry> t;
    int top = gap;
    for (int i = 0; i < count; ++i) {
        t.push_back(Entry{1000, i, w, h, gap, top, gap + w, top + h});
        top += h + gap;
    }
    return t;
}

TEST(ThumbnailGeometry, VisibleEntriesScrollingHitsAndRecentring) {
    const std::vector<Entry> t = Stacked(10, 80, 100);  // tops 8, 116, 224, ...; strip 1088
    EXPECT_EQ(thumbgeo::StripHeight(t, 8), 1088);
    EXPECT_EQ(thumbgeo::StripHeight({}, 8), 0);
    struct Visible {
        int top, bottom, first, last;
    } visible[] = {
        {0, 300, 0, 2},      // 224 < 300: the third entry shows its top
        {120, 300, 0, 2},    // the first entry's label (108 .. 123) still shows
        {124, 300, 1, 2},
        {1000, 1300, 9, 9},
        {1100, 1300, -1, -1},
    };
    for (const auto& v : visible) {
        const thumbgeo::Range r = thumbgeo::VisibleRange(t, v.top, v.bottom);
        EXPECT_EQ(r.first, v.first) << v.top;
        EXPECT_EQ(r.last, v.last) << v.top;
    }
    EXPECT_EQ(thumbgeo::VisibleRange({}, 0, 500).first, -1);

    // Scroll codes against a strip of 1088 in a client of 400.
    struct Step {
        int code, pos, offset, unit, want;
    } steps[] = {
        {viewgeo::kLineDown, 0, 0, 1, 20},    {viewgeo::kLineUp, 0, 10, 1, 0},
        {viewgeo::kPageDown, 0, 600, 1, 688}, {viewgeo::kPageUp, 0, 300, 1, 100},
        {viewgeo::kThumbTrack, 30, 0, 10, 300}, {viewgeo::kThumbPosition, 900, 0, 1, 688},
    };
    for (const auto& s : steps) EXPECT_EQ(thumbgeo::ScrollOffset(s.code, s.pos, s.offset, s.unit, 1088, 400), s.want);
    // A strip that fits never scrolls.
    EXPECT_EQ(thumbgeo::ScrollOffset(viewgeo::kPageDown, 0, 0, 1, 300, 400), 0);
    EXPECT_EQ(thumbgeo::ScrollUnit(250), 10);
    EXPECT_EQ(thumbgeo::ScrollUnit(100), 1);

    // Strictly inside only; the gaps and edges miss.
    EXPECT_EQ(thumbgeo::HitTest(t, 40, 150), 1);
    EXPECT_EQ(thumbgeo::HitTest(t, 40, 112), -1);
    EXPECT_EQ(thumbgeo::HitTest(t, 8, 150), -1);
    EXPECT_EQ(thumbgeo::HitTest(t, 40, 116), -1);
    EXPECT_EQ(thumbgeo::HitTest(t, 95, 150), -1);
    EXPECT_EQ(thumbgeo::HitTest({}, 40, 150), -1);

    // Below the view: centred; above: centred; near the end: the strip's end.
    EXPECT_EQ(thumbgeo::RecenterOffset(t[5], 0, 400, 1088), 548 + 50 - 200);
    EXPECT_EQ(thumbgeo::RecenterOffset(t[1], 600, 400, 1088), 0);
    EXPECT_EQ(thumbgeo::RecenterOffset(t[2], 600, 400, 1088), 274 - 200);
    EXPECT_EQ(thumbgeo::RecenterOffset(t[9], 0, 400, 1088), 688);
    EXPECT_EQ(thumbgeo::RecenterOffset(t[1], 0, 400, 1088), 0);
}

class Thumbnails : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(kDocument); }
    static void TearDownTestSuite() { TearDownDocuments(); }
    void TearDown() override {
        if (thumbs) thumbs->DestroyWindow();
        thumbs = nullptr;
        ViewFixture::TearDown();
    }

    CThumbnailView* MakeThumbs(int width, int height) {
        thumbs = new CThumbnailView;
        EXPECT_TRUE(thumbs->Create(nullptr, "thumbnails", WS_VISIBLE, RECT{0, 0, width, height}, nullptr, 3));
        thumbs->GetWidget()->resize(width, height);
        thumbs->GetWidget()->show();
        EXPECT_TRUE(PumpUntilQueuedRan());
        view->BuildPageSizeTable();
        thumbs->SetVrView(view);
        return thumbs;
    }
    // Until every visible thumbnail is drawn.
    void WaitThumbs() {
        thumbs->Invalidate(FALSE);
        thumbs->UpdateWindow();
        ASSERT_TRUE(PumpUntil([&] { return !thumbs->HasTimer(CThumbnailView::ID_THUMBNAIL_DRAW_TIMER); }));
        thumbs->Invalidate(FALSE);
        thumbs->UpdateWindow();
    }
    uint32_t Pixel(int x, int y) { return thumbs->GetSurface().Row(y)[x] & 0xFFFFFF; }

    // Ink of the thumbnail of entry e against the drawer's rendering at its size.
    double InkIoU(const Entry& e) {
        const ViewStatus vs = Status();
        auto ref = CreateMemoryDC(e.width, e.height, 32, 96);
        ref->FillSolidRect(0, 0, e.width, e.height, RGB(255, 255, 255));
        VrDviDrawer d;
        EXPECT_EQ(d.Open(*ref, doc->GetReader(), e.page, fpreal4(e.zoom),
                         viewgeo::MarginPixels(vs.hMargin, vs.resolutionX, e.zoom),
                         viewgeo::MarginPixels(vs.vMargin, vs.resolutionY, e.zoom), 0xFF0000, String8()),
                  1);
        d.Draw(-1);
        d.Close();
        // Ink: anything not white.
        const testsupport::InkMask want =
            testsupport::InkWhere(e.width, e.height, [&](int x, int y) { return ref->Surface()->Get(x, y) != 0xFFFFFF; });
        const testsupport::InkMask shown = testsupport::InkWhere(e.width, e.height, [&](int x, int y) {
            return Pixel(e.left + x, e.top - thumbs->GetOffset() + y) != 0xFFFFFF;
        });
        EXPECT_GT(std::count(want.ink.begin(), want.ink.end(), 1) + std::count(shown.ink.begin(), shown.ink.end(), 1), 50)
            << e.page;
        return testsupport::InkIoU(want, shown);
    }

    CThumbnailView* thumbs = nullptr;
};

TEST_F(Thumbnails, ThumbnailsMatchTheDrawerAndAClickShowsThePage) {
    MakeView();
    Open(Dir() / "doc.dvi");
    ASSERT_EQ(view->GetPageCount(), 8);
    MakeThumbs(200, 400);
    WaitThumbs();
    const std::vector<Entry>& t = view->GetPageSizeTable();
    ASSERT_EQ(t.size(), 8u);
    // A page at 10 %, stacked with gaps of 8 below each page number.
    const ViewStatus vs = Status();
    EXPECT_NEAR(t[0].width, vs.pageWidth / 10, 1);
    EXPECT_NEAR(t[0].height, vs.pageHeight / 10, 1);
    EXPECT_EQ(t[0].left, 8);
    EXPECT_EQ(t[0].top, 8);
    EXPECT_EQ(t[1].top, t[0].bottom + thumbgeo::kLabelHeight + 8);

    const thumbgeo::Range r = thumbgeo::VisibleRange(t, 0, thumbs->GetClientHeight());
    ASSERT_GE(r.last, 2);
    for (int i = r.first; i < r.last; ++i) EXPECT_GE(InkIoU(t[size_t(i)]), 0.9) << i;
    // Only the visible entries were made.
    EXPECT_EQ(thumbs->GetCachedCount(), size_t(r.last - r.first + 1));

    // The current page framed in blue, the others in black; the shadow below right.
    EXPECT_EQ(Pixel(t[0].left - 1, t[0].top + 20), 0x0000FFu);
    EXPECT_EQ(Pixel(t[1].left - 1, t[1].top + 20), 0x000000u);
    EXPECT_EQ(Pixel(t[1].right + 1, t[1].top + 20), 0x808080u);
    // The page number's box below each thumbnail.
    EXPECT_EQ(Pixel(t[1].right / 2 - 4, t[1].bottom + 5), 0x000000u);

    // A click on the third thumbnail shows page 3; a click in a gap does nothing.
    QWidget* w = thumbs->GetWidget();
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(40, (t[2].top + t[2].bottom) / 2));
    EXPECT_EQ(Status().page, 2);
    EXPECT_EQ(thumbs->GetSelectedPage(), 2);
    EXPECT_EQ(Pixel(t[2].left - 1, t[2].top + 20), 0x0000FFu);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(40, t[1].bottom + 4));
    EXPECT_EQ(Status().page, 2);
    thumbs->Invalidate(FALSE);
    thumbs->UpdateWindow();
    EXPECT_EQ(Pixel(t[0].left - 1, t[0].top + 20), 0x000000u);
    EXPECT_EQ(Pixel(t[2].left - 1, t[2].top + 20), 0x0000FFu);

    fs::create_directories(VELORAN_BINARY_DIR "/artefacts");
    thumbs->GetWidget()->grab().save(VELORAN_BINARY_DIR "/artefacts/thumbnails-tab.png");
    EXPECT_TRUE(messages.empty());
}

TEST_F(Thumbnails, EachPageNumberShowsWholeBelowItsOwnThumbnail) {
    MakeView();
    Open(Dir() / "doc.dvi");
    MakeThumbs(200, 400);
    WaitThumbs();
    const std::vector<Entry>& t = view->GetPageSizeTable();
    ASSERT_GE(t.size(), 3u);
    const QImage grab = thumbs->GetWidget()->grab().toImage();
    auto dark = [&](int x, int y) { return qGray(grab.pixel(x, y)) < 128; };
    const thumbgeo::Range r = thumbgeo::VisibleRange(t, 0, grab.height());
    ASSERT_GE(r.last, 1);
    // The first thumbnail's frame is not cut off at the top.
    EXPECT_TRUE(dark(t[0].left + 10, t[0].top - 1));
    for (int i = r.first; i < r.last; ++i) {
        SCOPED_TRACE("page " + std::to_string(i + 1));
        const Entry& e = t[size_t(i)];
        const Entry& next = t[size_t(i) + 1];
        // The label's box as drawn, and the next thumbnail with its frame and shadow.
        const QRect label(QPoint(e.right / 2 - 4, e.bottom + 1), QPoint(e.right / 2 + 25, e.bottom + 14));
        const QRect below(QPoint(next.left - 1, next.top - 1), QPoint(next.right + 3, next.bottom + 3));
        EXPECT_FALSE(label.intersects(below));
        EXPECT_GT(label.top(), e.bottom);
        // On the grab: the box's lower edge and the number's ink inside it.
        ASSERT_LT(label.bottom(), grab.height());
        EXPECT_TRUE(dark(label.center().x(), label.bottom()));
        int ink = 0;
        for (int y = label.top() + 1; y < label.bottom(); ++y)
            for (int x = label.left() + 1; x < label.right(); ++x) ink += dark(x, y);
        EXPECT_GT(ink, 4);
    }
    fs::create_directories(VELORAN_BINARY_DIR "/artefacts");
    grab.save(VELORAN_BINARY_DIR "/artefacts/thumbnail-labels.png");
}

TEST_F(Thumbnails, TheWheelScrollsAPageAndAPageChangeIsCentredASecondLater) {
    MakeView();
    Open(Dir() / "doc.dvi");
    MakeThumbs(200, 300);
    WaitThumbs();
    const int strip = thumbs->GetStripHeight();
    ASSERT_GT(strip, 600);
    EXPECT_TRUE(thumbs->GetScrollBar()->isVisible());

    QWidget* w = thumbs->GetWidget();
    QWheelEvent down(QPointF(50, 50), w->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &down);
    EXPECT_EQ(thumbs->GetOffset(), 200);
    QWheelEvent up(QPointF(50, 50), w->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &up);
    EXPECT_EQ(thumbs->GetOffset(), 0);
    // The bar's line step moves 20 pixels.
    thumbs->GetScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(thumbs->GetOffset(), 20);
    EXPECT_EQ(thumbs->GetScrollBar()->value(), 20);

    // The last page in the page view: its thumbnail comes into view a
    // second later, not at once.
    view->GotoPage(7);
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(thumbs->GetOffset(), 20);
    ASSERT_TRUE(PumpUntil([&] { return thumbs->GetOffset() != 20; }, 3000));
    EXPECT_EQ(thumbs->GetOffset(), strip - thumbs->GetClientHeight());
    WaitThumbs();
    const Entry& last = view->GetPageSizeTable().back();
    EXPECT_GE(InkIoU(last), 0.9);
    EXPECT_EQ(Pixel(last.left - 1, last.top - thumbs->GetOffset() + 10), 0x0000FFu);

    // Grown tall enough to hold the strip, the view does not scroll.
    thumbs->GetWidget()->resize(200, strip + 50);
    EXPECT_TRUE(PumpUntil([&] { return thumbs->GetOffset() == 0; }));
    EXPECT_EQ(thumbs->GetOffset(), 0);
    QApplication::sendEvent(w, &down);
    EXPECT_EQ(thumbs->GetOffset(), 0);
}

TEST_F(Thumbnails, ImagesKeptStayWithinTheBudgetAndComeBackWhenScrolledTo) {
    MakeView();
    Open(Dir() / "doc.dvi");
    MakeThumbs(200, 200);
    const Entry e = view->GetPageSizeTable()[0];
    const size_t oneImage = size_t(e.width) * size_t(e.height) * 4;
    thumbs->SetCacheBudget(oneImage * 3);
    for (int i = 0; i < 20; ++i) {
        WaitThumbs();
        EXPECT_LE(thumbs->GetCachedBytes(), oneImage * 3);
        thumbs->OnVScroll(viewgeo::kLineDown, 0);
    }
    thumbs->OnVScroll(viewgeo::kTop, 0);
    WaitThumbs();
    EXPECT_GE(InkIoU(view->GetPageSizeTable()[0]), 0.9);
}

TEST_F(Thumbnails, WithoutAPageTableNothingIsDrawnAndNoMessageShows) {
    MakeView();
    Open(Dir() / "doc.dvi");
    MakeThumbs(200, 200);
    // The page view goes first: the tab keeps working without it.
    view->DestroyWindow();
    view = nullptr;
    thumbs->Invalidate(FALSE);
    thumbs->UpdateWindow();
    thumbs->OnVScroll(viewgeo::kLineDown, 0);
    QTest::mouseClick(thumbs->GetWidget(), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(thumbs->GetOffset(), 0);
    EXPECT_TRUE(messages.empty());
}

// ---- TIFF pages ----

// Pages of 400 x 300 bilevel pixels, each with a black bar at another height.
bool WriteTiff(const fs::path& file, int pages) {
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    if (!tif) return false;
    bool ok = true;
    for (int page = 0; page < pages && ok; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(400));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(300));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(1));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISWHITE));
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(32));
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_PAGE));
        std::vector<uint8_t> row(50);
        for (int y = 0; y < 300 && ok; ++y) {
            const bool bar = y >= 40 + page * 60 && y < 80 + page * 60;
            std::fill(row.begin(), row.end(), bar ? 0xFF : 0x00);
            ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ok;
}

TEST_F(Thumbnails, TiffPagesShowTheirReducedImage) {
    ASSERT_TRUE(WriteTiff(Dir() / "scan.tif", 3));
    MakeView();
    Open(Dir() / "scan.tif");
    ASSERT_EQ(view->GetPageCount(), 3);
    MakeThumbs(200, 400);
    WaitThumbs();
    const std::vector<Entry>& t = view->GetPageSizeTable();
    ASSERT_EQ(t.size(), 3u);
    for (const Entry& e : t) {
        EXPECT_EQ(e.width, 40);
        EXPECT_EQ(e.height, 30);
        // The bar of page k covers rows 4 + 6k .. 8 + 6k of the thumbnail.
        for (int y = 0; y < e.height; ++y) {
            const bool bar = y >= 4 + e.page * 6 && y < 8 + e.page * 6;
            const uint32_t p = Pixel(e.left + 20, e.top - thumbs->GetOffset() + y);
            if (bar) {
                EXPECT_LT(p & 0xFF, 0x80) << e.page << " " << y;
            } else if (y < 3 + e.page * 6 || y > 8 + e.page * 6) {
                EXPECT_EQ(p, 0xFFFFFFu) << e.page << " " << y;
            }
        }
    }
}

TEST_F(Thumbnails, ALandscapePageAmongPortraitOnesHasAWideThumbnail) {
    ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(
        Dir(),
        "\\hsize=5in Portrait page one.\\vfill\\eject\n"
        "\\special{landscape}\\hsize=8in Landscape page two, a long line across the width.\\vfill\\eject\n"
        "\\special{portrait}\\hsize=5in Portrait page three.\\bye\n",
        "turned"));
    MakeView();
    Open(Dir() / "turned.dvi");
    ASSERT_EQ(view->GetPageCount(), 3);
    MakeThumbs(200, 600);
    WaitThumbs();
    const std::vector<Entry>& t = view->GetPageSizeTable();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_LT(t[0].width, t[0].height);
    EXPECT_GT(t[1].width, t[1].height);
    EXPECT_LT(t[2].width, t[2].height);
    EXPECT_EQ(t[1].width, t[0].height);
    EXPECT_EQ(t[1].height, t[0].width);
}

TEST_F(Thumbnails, TheMagnifierMovesClearOfTheThumbnails) {
    MakeView(600, 500);
    Open(Dir() / "doc.dvi");
    MakeThumbs(200, 400);
    WaitThumbs();
    thumbs->GetWidget()->move(0, 0);
    view->GetWidget()->move(150, 0);
    PumpUntil([&] { return view->GetWidget()->pos() == QPoint(150, 0); });
    CGlassWnd* glass = view->GetGlassWnd();
    ASSERT_NE(glass, nullptr);
    RECT bar;
    thumbs->GetWindowRect(&bar);
    ASSERT_GT(bar.right, 150 + 80 - view->GetGlassWidth() / 2);
    // Pressed near the view's left edge, the glass would cover the thumbnails.
    for (bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "thumbnails shown" : "thumbnails hidden");
        thumbs->ShowWindow(shown ? SW_SHOW : SW_HIDE);
        QTest::mousePress(view->GetWidget(), Qt::LeftButton, {}, QPoint(80, 200));
        ASSERT_TRUE(PumpUntil([&] { return glass->IsWindowVisible() != 0; }));
        RECT r;
        glass->GetWindowRect(&r);
        if (shown) {
            EXPECT_GE(r.left, bar.right);
        } else {
            CPoint at(80, 200);
            view->ClientToScreen(&at);
            EXPECT_EQ(r.left, at.x - view->GetGlassWidth() / 2);
        }
        QTest::mouseRelease(view->GetWidget(), Qt::LeftButton, {}, QPoint(80, 200));
        ASSERT_TRUE(PumpUntil([&] { return glass->IsWindowVisible() == 0; }));
    }
}

}  // namespace
