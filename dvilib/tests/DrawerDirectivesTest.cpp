// The page drawer's text specials on pages written with the DVI writer and
// drawn into 96-dpi memory DCs: colours and their stack, line width, links
// and anchors, shapes, and the pictures that specials put on the list.
#include <gtest/gtest.h>

#include <cmath>

#include "SpecialTestSupport.h"

using namespace dvitest;

namespace {

constexpr int kOX = SpecialPage::kOriginX, kOY = SpecialPage::kOriginY;
const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);
const COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255);

// A 10 x 10 pixel rule whose lower-left corner is at (x, y) pixels from the
// origin, inside push and pop.
Bytes& RuleAt(Bytes& b, int x, int y) {
    b.Op(dviop::Push);
    MoveTo(b, x, y).Rule(Px(10), Px(10));
    return b.Op(dviop::Pop);
}

TEST(DrawerSpecials, ColourStackAndColourSpecials) {
    Bytes b;
    b.Special("colorpush: 1 0 0");
    RuleAt(b, 0, 20);
    b.Special("color: 0 0 1 and more");  // trailing text: ignored
    RuleAt(b, 20, 20);
    b.Special("colorpush: 0 1 0 and more");  // a push takes effect all the same
    RuleAt(b, 40, 20);
    b.Special("colorpop:");
    RuleAt(b, 60, 20);
    b.Special("colorpop:");
    b.Special("colorpop:");  // the page's base colour stays
    RuleAt(b, 80, 20);
    b.Special("COLOR: 0 0 1");
    RuleAt(b, 100, 20);
    b.Special("colorpush: 1 0");  // a missing component ends the special
    RuleAt(b, 120, 20);
    SpecialPage page(b);
    ASSERT_EQ(page.Draw(), 1);
    const COLORREF expected[] = {kRed, kRed, kGreen, kRed, kBlack, kBlue, kBlue};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(PixelAt(page.Dc(), kOX + 20 * i + 5, kOY + 15), expected[i]) << i;
    EXPECT_EQ(page.drawer.GetCurrentColor(), kBlue);
    EXPECT_EQ(page.Dc().GetTextColor(), kBlue);
}

TEST(DrawerSpecials, WidthSetsThePenOfLines) {
    Bytes b;
    b.Special("width: 3pt");
    b.Special("color: 1 0 0");
    b.Special("line: 0pt 22.5bp 100bp 0pt");
    b.Special("width: 5pt trailing");  // ignored
    b.Special("line: 0pt 45bp 100bp 0pt");
    SpecialPage page(b);
    ASSERT_EQ(page.Draw(), 1);
    // 3 pt at 96 dpi: ceil(3.98) = 4 pixels, in the current colour.
    int thick = 0;
    for (int y = kOY + 20; y < kOY + 40; ++y) thick += PixelAt(page.Dc(), kOX + 50, y) == kRed;
    EXPECT_EQ(thick, 4);
    thick = 0;
    for (int y = kOY + 50; y < kOY + 70; ++y) thick += PixelAt(page.Dc(), kOX + 50, y) == kRed;
    EXPECT_EQ(thick, 4);
    // 100 bp = 133.3 pixels long.
    EXPECT_EQ(PixelAt(page.Dc(), kOX + 130, kOY + 30), kRed);
    EXPECT_EQ(PixelAt(page.Dc(), kOX + 136, kOY + 30), kWhite);
}

TEST(DrawerSpecials, HtmlLinksTakeTheLinkColourAndTheirRectangles) {
    Bytes b;
    b.Special("html:<a href=\"http://host/doc.dvi#sec\" target=\"frame\">");
    RuleAt(b, 0, 20);
    b.Special("html:</a>");
    RuleAt(b, 20, 20);
    b.Special("html:</a>");  // outside a link: nothing
    b.Special("html: <A  href = \"plain\">");
    RuleAt(b, 40, 40);
    b.Special("html:</A>");
    b.Special("html:<a href=unquoted>");  // ignored
    RuleAt(b, 60, 20);
    b.Special("html:<a href=\"x\" target=\"open>");  // target incomplete: _self
    b.Special("html:</a>");
    SpecialPage page(b);
    ASSERT_EQ(page.Draw(RGB(0, 128, 0)), 1);
    auto& links = page.drawer.GetHyLinkList();
    ASSERT_EQ(Count(links), 3);
    auto* first = Nth(links, 0);
    EXPECT_EQ(first->GetKind(), 0);
    EXPECT_STREQ(first->GetReference().c_str(), "http://host/doc.dvi#sec");
    EXPECT_STREQ(first->GetTarget().c_str(), "frame");
    ASSERT_EQ(Count(first->GetRectList()), 1);
    const auto r = Nth(first->GetRectList(), 0);
    EXPECT_EQ(r.x, kOX);
    EXPECT_EQ(r.y, kOY + 10);
    EXPECT_EQ(r.width, 10);
    EXPECT_EQ(r.height, 10);
    EXPECT_STREQ(Nth(links, 1)->GetTarget().c_str(), "_self");
    EXPECT_STREQ(Nth(links, 2)->GetTarget().c_str(), "_self");
    EXPECT_EQ(PixelAt(page.Dc(), kOX + 5, kOY + 15), RGB(0, 128, 0));
    EXPECT_EQ(PixelAt(page.Dc(), kOX + 25, kOY + 15), kBlack);
    EXPECT_EQ(PixelAt(page.Dc(), kOX + 45, kOY + 35), RGB(0, 128, 0));
    EXPECT_EQ(PixelAt(page.Dc(), kOX + 65, kOY + 15), kBlack);
}

TEST(DrawerSpecials, HypertextLinks) {
    Bytes b;
    b.Special("hypertext: 0 0 100 100 ref=target.dvi");
    b.Special("hypertext: 4736287 0 4736286 2368143 ref=\"two\" target=\"win\"");
    b.Special("hypertext: 0 0 10 10 ref=three target");  // target without "=": no link
    b.Special("hypertext: 0 0 10 ref=four");              // three numbers: ignored
    SpecialPage page(b);
    ASSERT_EQ(page.Draw(), 1);
    auto& links = page.drawer.GetHyLinkList();
    ASSERT_EQ(Count(links), 2);
    auto* one = Nth(links, 0);
    EXPECT_EQ(one->GetKind(), 1);
    EXPECT_STREQ(one->GetReference().c_str(), "target.dvi");
    EXPECT_STREQ(one->GetTarget().c_str(), "_self");
    const auto r = Nth(one->GetRectList(), 0);
    EXPECT_EQ(r.x, kOX);
    EXPECT_EQ(r.y, kOY);
    auto* two = Nth(links, 1);
    EXPECT_STREQ(two->GetReference().c_str(), "two");
    EXPECT_STREQ(two->GetTarget().c_str(), "win");
    const auto r2 = Nth(two->GetRectList(), 0);
    EXPECT_EQ(r2.x, kOX + 96);
    EXPECT_EQ(r2.width, 96);
    EXPECT_EQ(r2.height, 48);
    // Rules drawn after a hypertext link are not part of it.
    EXPECT_EQ(Count(one->GetRectList()), 1);
}

TEST(DrawerSpecials, AnchorsAreFoundByTag) {
    struct Case {
        const char* special;
        const char* tag;
        bool found;
        int x, y;  // pixels from the origin
    } cases[] = {
        {"html:<a name=\"here\">", "here", true, 30, 40},
        {"html:<a name=\"here\">", "there", false, 0, 0},
        {"html:<a name=\"\">", "", false, 0, 0},  // an empty tag finds nothing
        {"hypertext: 4736287 0 0 0 name=\"here\"", "here", true, 96, 0},
        {"hypertext: 0 0 0 0 name=here", "", false, 0, 0},
    };
    for (const Case& c : cases) {
        Bytes b;
        MoveTo(b, 30, 40).Special(c.special);
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(kBlue, String8(c.tag)), 1);
        EXPECT_EQ(page.drawer.IsTagFound() != 0, c.found) << c.special;
        if (c.found) {
            EXPECT_EQ(page.drawer.GetTaghPos(), kOX + c.x) << c.special;
            EXPECT_EQ(page.drawer.GetTagvPos(), kOY + c.y) << c.special;
        }
        EXPECT_EQ(Count(page.drawer.GetHyLinkList()), 0);
    }
}

TEST(DrawerSpecials, ShapesDrawAtTheCurrentPoint) {
    struct Probe {
        int x, y;  // pixels from the origin
        COLORREF colour;
    };
    struct Case {
        const char* special;
        std::vector<Probe> probes;
        bool ink;
    } cases[] = {
        // 72.27 pt is one inch, 96 pixels.
        {"line: 0pt 0pt 72.27pt 72.27pt", {{48, 48, kBlack}, {90, 90, kBlack}, {48, 60, kWhite}}, true},
        {"box: 0pt 0pt 72.27pt 36.135pt 0pt 0pt", {{0, 20, kBlack}, {50, 0, kBlack}, {50, 20, kWhite}}, true},
        {"boxfill: 0pt 0pt 72.27pt 36.135pt 0pt 0pt 1 0 0", {{50, 20, kRed}, {0, 20, kBlack}, {100, 20, kWhite}}, true},
        {"ellipsefill: 0pt 0pt 72.27pt 72.27pt 0 0 1", {{48, 48, kBlue}, {3, 3, kWhite}, {48, 0, kBlack}}, true},
        // An arc from the right end round through the top to the left end.
        {"arc: 0pt 0pt 72.27pt 72.27pt 10pt 0pt -10pt 0pt", {{48, 0, kBlack}, {48, 95, kWhite}}, true},
        {"box: 0pt 0pt 72.27pt 36.135pt 0pt 0pt trailing", {}, false},
        {"line: 0pt 0pt 72.27pt", {}, false},
        {"ellipsefill: 0pt 0pt 72.27pt 72.27pt 0 0", {}, false},
    };
    for (const Case& c : cases) {
        Bytes b;
        MoveTo(b, 30, 30).Special(c.special);
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        for (const Probe& p : c.probes)
            EXPECT_EQ(PixelAt(page.Dc(), kOX + 30 + p.x, kOY + 30 + p.y), p.colour)
                << c.special << " at " << p.x << "," << p.y;
        EXPECT_EQ(!InkOf(page.Dc()).Empty(), c.ink) << c.special;
    }
}

struct PictureCase {
    const char* name;
    std::vector<std::string> specials;
    int type, anchor;
    int x, y;  // pixels from the origin
    double hScale, vScale;
    int box[4];
};

TEST(DrawerSpecials, PicturesByNameGoOnTheList) {
    const int none = -1000000;
    const PictureCase cases[] = {
        {"graphics zero sizes", {"graphics: 10bp 20bp 0pt 0pt 0pt 0pt JPG pic.jpg"}, 2, 1, 14, 27, 1, 1, {none, none, none, none}},
        {"graphics scales", {"graphics: 0pt 0pt 10pt 20pt 30pt 10pt png a b.png"}, 4, 1, 0, 0, 3, 0.5, {none, none, none, none}},
        {"plotfile", {"ps::[begin] 200 100 0 0 100 50", "ps: plotfile fig.eps rest"}, 1, 1, 0, 0, 2, 2, {none, none, none, none}},
        {"plotfile after three-number begin",
         {"ps::[begin] 100 100 0 0 10", "ps: plotfile fig.eps"}, 1, 1, 0, 0, 1, 1, {none, none, none, none}},
        {"psfile rwi", {"psfile=fig.eps llx=0 lly=0 urx=100 ury=50 rwi=1000"}, 1, 0, 0, 0, 1, 1, {0, 0, 100, 50}},
        {"psfile rwi and rhi", {"psfile=\"fig.eps\" llx=0 lly=0 urx=100 ury=50 rwi=500 rhi=1000"}, 1, 0, 0, 0, 0.5, 2, {0, 0, 100, 50}},
        {"psfile rhi", {"psfile=fig.eps llx=0 lly=0 urx=100 ury=50 rhi=250"}, 1, 0, 0, 0, 0.5, 0.5, {0, 0, 100, 50}},
        {"psfile vscale", {"psfile=fig.eps vscale=2"}, 1, 0, 0, 0, 1, 2, {none, none, none, none}},
        {"psfile offsets", {"psfile=fig.eps hoffset=72 voffset=-36 hsize=9 clip"}, 1, 0, 96, -48, 1, 1, {none, none, none, none}},
        {"psfile box of no width", {"psfile=fig.eps llx=10 lly=0 urx=10 ury=50 rwi=1000"}, 1, 0, 0, 0, 1, 1, {10, 0, 10, 50}},
        {"psfile part of a box", {"psfile=fig.eps llx=0 lly=0 urx=100 rwi=1000"}, 1, 0, 0, 0, 1, 1, {none, none, none, none}},
    };
    for (const PictureCase& c : cases) {
        Bytes b;
        for (const auto& s : c.specials) b.Special(s);
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        auto& list = page.drawer.GetPictList();
        ASSERT_EQ(Count(list), 1) << c.name;
        const VrDviDrawer::PictInfo* p = Nth(list, 0);
        EXPECT_EQ(p->type, c.type) << c.name;
        EXPECT_EQ(p->anchor, c.anchor) << c.name;
        EXPECT_EQ(p->x, kOX + c.x) << c.name;
        EXPECT_EQ(p->y, kOY + c.y) << c.name;
        EXPECT_DOUBLE_EQ(p->hScale, c.hScale) << c.name;
        EXPECT_DOUBLE_EQ(p->vScale, c.vScale) << c.name;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(p->box[i], c.box[i]) << c.name << " " << i;
        EXPECT_EQ(p->drawn, 0);
        EXPECT_EQ(page.drawer.GetPendingPicture(), p);
    }
    // Specials that name no picture.
    for (const char* s : {"graphics: 0pt 0pt 0pt 0pt 0pt 0pt TIFF a.tif", "graphics: 0pt 0pt 0pt 0pt 0pt WMF a.wmf",
                          "graphics: 0pt 0pt 0pt 0pt 0pt 0pt WMF", "ps::[begin] 1 1 5 5 5 9", "hoffset=3 clip",
                          "psfile=\"\"", "ps: plotfile"}) {
        Bytes b;
        b.Special(s);
        if (std::string(s).rfind("ps::", 0) == 0) b.Special("ps: plotfile a.eps");  // a box of no width
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        EXPECT_EQ(Count(page.drawer.GetPictList()), 0) << s;
    }
}

TEST(DrawerSpecials, PicturesInsideALinkJoinIt) {
    Bytes b;
    b.Special("html:<a href=\"pic\">");
    b.Special("graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP pic.bmp");
    b.Special("html:</a>");
    b.Special("graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP other.bmp");
    SpecialPage page(b);
    ASSERT_EQ(page.Draw(), 1);
    auto& list = page.drawer.GetPictList();
    ASSERT_EQ(Count(list), 2);
    EXPECT_EQ(Nth(list, 0)->link, Nth(page.drawer.GetHyLinkList(), 0));
    EXPECT_EQ(Nth(list, 1)->link, nullptr);
}

TEST(DrawerSpecials, WatermarkMetafileMovesUpAndLeftByAnInch) {
    Bytes b;
    b.Special("graphics: 0pt 0pt 0pt 0pt 0pt 0pt WMF mark.wmf");
    b.Special("graphics: 0pt 0pt 0pt 0pt 0pt 0pt WMF other.wmf");
    SpecialPage page(b);
    page.dvi.SetWaterMarkWMFFileName("mark.wmf");
    ASSERT_EQ(page.Draw(), 1);
    auto& list = page.drawer.GetPictList();
    ASSERT_EQ(Count(list), 2);
    EXPECT_EQ(Nth(list, 0)->x, kOX - 96);
    EXPECT_EQ(Nth(list, 0)->y, kOY - 96);
    EXPECT_EQ(Nth(list, 1)->x, kOX);
}

} // namespace
