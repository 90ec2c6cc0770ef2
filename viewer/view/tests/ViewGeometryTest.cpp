// The page view's arithmetic: bitmap sizes, fit zoom (never a division by
// zero), scroll positions, the bars' values, the page area and scrolling
// across pages in the direction of the scroll.
#include <gtest/gtest.h>

#include <climits>

#include "viewer/view/ViewGeometry.h"
#include "viewer/document/ViewStatus.h"

using namespace viewgeo;

namespace {

constexpr int k96 = 960000;  // 96 dpi x 10000
constexpr int kA4W = 2100000, kA4H = 2970000;

TEST(ViewGeometry, BitmapSidesAndMargins) {
    EXPECT_EQ(BitmapSide(kA4W, 10000, k96), 794);
    EXPECT_EQ(BitmapSide(kA4H, 10000, k96), 1123);
    EXPECT_EQ(BitmapSide(kA4W, 30000, k96), 2381);
    EXPECT_EQ(BitmapSide(0, 10000, k96), 0);
    // A side beyond the limit is refused, not wrapped round.
    EXPECT_EQ(BitmapSide(INT_MAX, 30000, 6000000), -1);
    EXPECT_EQ(MarginPixels(254000, k96, 10000), 96);
    EXPECT_EQ(MarginPixels(254000, k96, 20000), 192);
}

TEST(ViewGeometry, FitZoomPicksTheRightRatioAndNeverDividesByZero) {
    struct Case {
        int mode, current, paperW, paperH, areaW, usableH, want;
    } cases[] = {
        {kFitNone, 12345, kA4W, kA4H, 800, 600, 12345},
        {kFitNone, 50000, kA4W, kA4H, 800, 600, 30000},   // clamped to 300 %
        {kFitNone, 500, kA4W, kA4H, 800, 600, 1000},      // and to 10 %
        {kFitWidth, 10000, kA4W, kA4H, 800, 600, 10079},
        {kFitPage, 10000, kA4W, kA4H, 1600, 600, 5345},   // wide window: the height decides
        {kFitPage, 10000, kA4W, kA4H, 400, 2000, 5040},   // tall window: the width decides
        {kFitWidth, 7000, 0, 0, 800, 600, 7000},          // a 0 x 0 paper keeps the zoom
        {kFitPage, 7000, kA4W, 0, 800, 600, 7000},
        {kFitPage, 7000, kA4W, kA4H, 800, 0, 7000},       // no usable height
        {kFitWidth, 7000, kA4W, kA4H, 0, 600, 7000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitDispMagDvi(c.mode, c.current, c.paperW, c.paperH, k96, k96, c.areaW, c.usableH), c.want)
            << c.mode << " " << c.areaW << "x" << c.usableH;
    EXPECT_EQ(FitDispMagTiff(kFitWidth, 8000, 0, 0, 800, 600), 8000);
    EXPECT_EQ(FitDispMagTiff(kFitWidth, 8000, 1600, 1000, 800, 600), 5000);
    EXPECT_EQ(FitDispMagTiff(kFitPage, 8000, 1000, 3000, 800, 600), 2000);
}

TEST(ViewGeometry, ScrollPositionsAreClampedToThePage) {
    Scroll s = ScrollPosition(kFitNone, -50, 5000, 800, 1100, 600, 500, 0, 0, 0, 0);
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 600);
    s = ScrollPosition(kFitNone, 100, 100, 400, 300, 600, 500, 0, 0, 0, 0);  // page smaller than the area
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.y, 0);
    s = ScrollPosition(kFitWidthMargin, 0, 40, 1000, 1100, 600, 500, 800, 0, 1, 0);
    EXPECT_EQ(s.x, 100);
    EXPECT_EQ(s.y, 40);
}

TEST(ViewGeometry, BarsPageAreaAndDivisor) {
    BarValues v = VerticalBar(1000, 400, 600, 25, 0, 100);
    EXPECT_EQ(v.max, 4000);
    EXPECT_EQ(v.page, 6);
    EXPECT_EQ(v.pos, 250);
    // A long document at a high zoom stays within int.
    v = VerticalBar(30000, 1000000, 600, 999999, 100, 1);
    EXPECT_EQ(v.max, INT_MAX);
    EXPECT_EQ(v.pos, INT_MAX);

    struct D {
        int count, current, want;
    } steps[] = {{20, 1, 1}, {21, 1, 10}, {51, 1, 30}, {101, 1, 80}, {201, 1, 100}, {15, 100, 100}, {250, 30, 100},
                 // A reload to fewer pages takes the smaller step of its count.
                 {60, 100, 30}, {21, 80, 10}};
    for (const D& d : steps) EXPECT_EQ(ScrollStepsDivisor(d.count, d.current), d.want) << d.count;

    const RECT client{0, 0, 800, 600};
    RECT r = PageAreaRect(client, 3, 1, 28);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 28);
    EXPECT_EQ(r.right, 784);
    EXPECT_EQ(r.bottom, 584);
    r = PageAreaRect(client, 2, 0, 0);  // only the vertical bar, no band
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 600);
    EXPECT_EQ(r.right, 784);
}

TEST(ViewGeometry, ScrollingCrossesPagesInTheDirectionOfTheScroll) {
    struct Case {
        const char* what;
        int code, pos, page, scrollY, pageHeight, pageCount, H, divisor, wantPage, wantY;
    } cases[] = {
        {"line down at the bottom of page 3 of 5", kLineDown, 0, 2, 500, 1000, 5, 500, 1, 3, 0},
        {"line down inside the page", kLineDown, 0, 2, 100, 1000, 5, 500, 1, 2, 120},
        {"line down on the last page", kLineDown, 0, 4, 500, 1000, 5, 500, 1, 4, 520},
        {"line up at the top of page 1", kLineUp, 0, 0, 0, 1000, 5, 500, 1, 0, -20},
        {"line up at the top of page 3", kLineUp, 0, 2, 0, 1000, 5, 500, 1, 1, 1000},
        {"page down across", kPageDown, 0, 1, 450, 1000, 5, 500, 1, 2, 0},
        {"line up on a page shorter than the area", kLineUp, 0, 2, 0, 300, 5, 500, 1, 1, 300},
        {"line up inside a short page stays", kLineUp, 0, 2, 40, 300, 5, 500, 1, 2, 20},
        {"line down on a short page goes on", kLineDown, 0, 2, 0, 300, 5, 500, 1, 3, 0},
        {"thumb of a 400-page document", kThumbTrack, 250, 0, 0, 1000, 400, 500, 100, 25, 0},
        {"thumb on a short page", kThumbPosition, 600, 0, 0, 300, 5, 500, 1, 2, 0},
        {"thumb past the end", kThumbTrack, 9999, 0, 0, 1000, 5, 500, 1, 4, 1000},
        {"thumb with no page height", kThumbTrack, 100, 1, 7, 0, 5, 500, 1, 1, 7},
    };
    for (const Case& c : cases) {
        const PageScroll s = VScroll(c.code, c.pos, c.page, c.scrollY, c.pageHeight, c.pageCount, c.H, 0, c.divisor);
        EXPECT_EQ(s.page, c.wantPage) << c.what;
        EXPECT_EQ(s.scrollY, c.wantY) << c.what;
    }
    EXPECT_EQ(HScroll(kLineUp, 0, 100), 80);
    EXPECT_EQ(HScroll(kPageDown, 0, 100), 200);
    EXPECT_EQ(HScroll(kThumbTrack, 33, 100), 33);
    EXPECT_EQ(HScroll(kEndScroll, 33, 100), 100);
}

TEST(ViewGeometry, RoundingHalfAwayFromZero) {
    EXPECT_EQ(Round(2.5), 3);
    EXPECT_EQ(Round(-2.5), -3);
    EXPECT_EQ(Round(2.4999), 2);
    EXPECT_EQ(Clamp(-5, 100), 0);
    EXPECT_EQ(Clamp(50, -10), 0);
    EXPECT_EQ(Clamp(500, 100), 100);
}

}  // namespace
