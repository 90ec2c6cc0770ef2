// A plain TeX document carrying the text specials: colours, links, lines,
// arcs and boxes, pictures of every type by "graphics:", and PostScript
// inclusions by psfile and "ps: plotfile". Its pages are drawn by the page
// drawer at 96 dpi into memory DCs and probed where each special puts ink;
// an anchor at the start of each page's box gives the device point there.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "SpecialTestSupport.h"
#include "platform/ghostscript/GS.h"
#include "platform/pictures/tests/PictureWriters.h"

using namespace dvitest;
using namespace testpictures;

namespace {

const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);
const COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255), kLink = RGB(0, 128, 0);

// Pixels of a length in TeX points at 96 dpi.
int Pt(double pt) { return int(pt * 96 / 72.27 + 0.5); }

bool Near(COLORREF a, COLORREF b, int tolerance = 40) {
    return std::abs(int(GetRValue(a)) - GetRValue(b)) <= tolerance &&
           std::abs(int(GetGValue(a)) - GetGValue(b)) <= tolerance &&
           std::abs(int(GetBValue(a)) - GetBValue(b)) <= tolerance;
}

std::vector<uint8_t> Solid(int width, int height, COLORREF c) {
    std::vector<uint8_t> rows;
    for (int i = 0; i < width * height; ++i) rows.insert(rows.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
    return rows;
}

class TexSpecials : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, ""), 1); }

    void SetUp() override {
        // The pictures, 40 x 20 pixels each (the metafile and EPS by their
        // boxes).
        WriteFile(dir.File("p.bmp"), MakeBmp(40, 20, kRed));
        WriteFile(dir.File("p.jpg"), WriteJpeg(40, 20, 3, JCS_RGB, Solid(40, 20, kBlue)));
        WriteFile(dir.File("p.gif"), WriteGif(40, 20, {{0, 0, 0}, {0, 255, 0}},
                                              {GifFrame{0, 0, 40, 20, false, {}, std::vector<uint8_t>(800, 1)}}));
        PngSpec png;
        png.width = 40, png.height = 20, png.rows = Solid(40, 20, RGB(255, 0, 255));
        WriteFile(dir.File("p.png"), WritePng(png));
        SpecialBytes wmf;
        const COLORREF yellow = RGB(255, 255, 0);
        wmf.Le32(0x9AC6CDD7).Le16(0).Le16(0).Le16(0).Le16(400).Le16(200).Le16(960).Le32(0);
        uint16_t sum = 0;
        for (size_t i = 0; i < 20; i += 2) sum ^= uint16_t(wmf.b[i] | wmf.b[i + 1] << 8);
        wmf.Le16(sum).Le16(1).Le16(9).Le16(0x300).Le32(9 + 5 + 5 + 7 + 4 + 7 + 3).Le16(1).Le32(7).Le16(0);
        wmf.Le32(5).Le16(0x020B).Le16(0).Le16(0);
        wmf.Le32(5).Le16(0x020C).Le16(200).Le16(400);
        wmf.Le32(7).Le16(0x02FC).Le16(0).Le32(yellow).Le16(0);
        wmf.Le32(4).Le16(0x012D).Le16(0);
        wmf.Le32(7).Le16(0x041B).Le16(200).Le16(400).Le16(0).Le16(0);
        wmf.Le32(3).Le16(0);
        WriteFile(dir.File("p.wmf"), wmf.b);
        std::ofstream(dir.File("p.eps")) << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 30 15\n"
                                             "0 1 1 setrgbcolor 0 0 30 15 rectfill\n";

        const std::string d = dir.Path().string() + "/";
        std::ofstream(dir.File("doc.tex"))
            << "\\nopagenumbers \\parindent=0pt \\topskip=0pt \\baselineskip=0pt \\lineskip=0pt\n"
               "\\def\\at#1{\\special{html:<a name=\"#1\">}}\n"
               "\\def\\page#1{\\hbox{#1}\\vfill\\eject}\n"
               // 1: colours
               "\\page{\\at{c}\\special{colorpush: 1 0 0}\\vrule width 15pt height 15pt"
               "\\special{color: 0 0 1}\\vrule width 15pt height 15pt\\special{colorpop:}\\vrule width 15pt height 15pt"
               "\\special{colorpush: 0 1 0}\\special{colorpop:}\\special{colorpop:}\\vrule width 15pt height 15pt}\n"
               // 2: links
               "\\page{\\at{l}\\special{html:<a href=\"http://example.org/x\" target=\"_blank\">}"
               "\\vrule width 30pt height 10pt\\special{html:</a>}\\vrule width 30pt height 10pt"
               "\\special{hypertext: 0 0 100 100 ref=other.dvi}}\n"
               // 3: shapes
               "\\page{\\at{s}\\special{width: 2pt}\\special{line: 0pt 0pt 60pt 0pt}"
               "\\special{box: 0pt 10pt 60pt 30pt 0pt 0pt}\\special{boxfill: 70pt 10pt 40pt 30pt 5pt 5pt 1 0 0}"
               "\\special{ellipsefill: 120pt 10pt 40pt 30pt 0 0 1}"
               "\\special{arc: 170pt 10pt 40pt 40pt 20pt 0pt -20pt 0pt}}\n"
               // 4: pictures by name, 50 pt apart
               "\\page{\\at{g}\\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP " << d << "p.bmp}\\kern50pt"
               "\\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt JPG " << d << "p.jpg}\\kern50pt"
               "\\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt GIF " << d << "p.gif}\\kern50pt"
               "\\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt PNG " << d << "p.png}\\kern50pt"
               "\\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt WMF " << d << "p.wmf}\\kern50pt"
               "\\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt EPS " << d << "p.eps}}\n"
               // 5: PostScript inclusions
               "\\page{\\at{p}\\special{psfile=" << d << "p.eps llx=0 lly=0 urx=30 ury=15 rwi=600}\\kern100pt"
               "\\special{ps::[begin] 60 30 0 0 30 15}\\special{ps: plotfile " << d << "p.eps}}\n"
               "\\bye\n";
        ASSERT_NO_FATAL_FAILURE(RunTexProgram(dir.Path(), "tex"));
        dvi.Open(dir.File("doc.dvi").c_str(), DList<String8>(), DList<String8>());
        dvi.NewPageWritten(0);
        ASSERT_EQ(dvi.GetMode(), ModeComplete) << dvi.GetErrorText().c_str();
        ASSERT_EQ(dvi.GetNPage(), 5);
    }

    // Draws page (from 0) with its pictures at 96 dpi, the origin one inch
    // in; the anchor's device point in (x, y).
    std::unique_ptr<CDC> Draw(VrDviDrawer& d, int page, const char* tag, int& x, int& y) {
        auto dc = CreateMemoryDC(816, 400, 32, 96);
        EXPECT_EQ(d.Open(*dc, dvi, page, fpreal4(10000), 96, 96, kLink, String8(tag)), 1);
        EXPECT_EQ(d.Draw(-1), 1);
        d.DrawAllPictures();
        EXPECT_EQ(d.IsTagFound(), 1) << tag;
        x = d.GetTaghPos(), y = d.GetTagvPos();
        return dc;
    }

    TempDir dir;
    VrDvi dvi;
};

TEST_F(TexSpecials, ColoursAndLinks) {
    VrDviDrawer d;
    int x, y;
    auto dc = Draw(d, 0, "c", x, y);
    const COLORREF colours[] = {kRed, kBlue, kBlack, kBlack};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(PixelAt(*dc, x + Pt(15 * i) + 10, y - 10), colours[i]) << i;
    d.Close();

    dc = Draw(d, 1, "l", x, y);
    EXPECT_EQ(PixelAt(*dc, x + 20, y - 6), kLink);
    EXPECT_EQ(PixelAt(*dc, x + Pt(30) + 20, y - 6), kBlack);
    auto& links = d.GetHyLinkList();
    ASSERT_EQ(Count(links), 2);
    auto* html = Nth(links, 0);
    EXPECT_EQ(html->GetKind(), 0);
    EXPECT_STREQ(html->GetReference().c_str(), "http://example.org/x");
    EXPECT_STREQ(html->GetTarget().c_str(), "_blank");
    const auto r = Nth(html->GetRectList(), 0);
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.width, Pt(30));
    EXPECT_EQ(r.y + r.height, y);
    auto* hyper = Nth(links, 1);
    EXPECT_EQ(hyper->GetKind(), 1);
    EXPECT_STREQ(hyper->GetReference().c_str(), "other.dvi");
    EXPECT_EQ(Nth(hyper->GetRectList(), 0).x, 96);
    d.Close();
}

TEST_F(TexSpecials, LinesArcsAndBoxes) {
    VrDviDrawer d;
    int x, y;
    auto dc = Draw(d, 2, "s", x, y);
    EXPECT_EQ(PixelAt(*dc, x + Pt(30), y), kBlack);                // line
    EXPECT_EQ(PixelAt(*dc, x + Pt(30), y + 5), kWhite);
    EXPECT_EQ(PixelAt(*dc, x, y + Pt(25)), kBlack);                // box outline
    EXPECT_EQ(PixelAt(*dc, x + Pt(30), y + Pt(25)), kWhite);       // not filled
    EXPECT_EQ(PixelAt(*dc, x + Pt(90), y + Pt(25)), kRed);         // boxfill
    EXPECT_EQ(PixelAt(*dc, x + Pt(140), y + Pt(25)), kBlue);       // ellipsefill
    EXPECT_EQ(PixelAt(*dc, x + Pt(120) + 2, y + Pt(12)), kWhite);  // outside the ellipse
    EXPECT_EQ(PixelAt(*dc, x + Pt(190), y + Pt(10)), kBlack);      // the arc's top half
    EXPECT_EQ(PixelAt(*dc, x + Pt(190), y + Pt(50) - 1), kWhite);  // not its bottom
    d.Close();
}

TEST_F(TexSpecials, PicturesOfEveryType) {
    VrDviDrawer d;
    int x, y;
    auto dc = Draw(d, 3, "g", x, y);
    const COLORREF colours[] = {kRed, kBlue, kGreen, RGB(255, 0, 255), RGB(255, 255, 0), RGB(0, 255, 255)};
    for (int i = 0; i < 6; ++i) {
        const int left = x + Pt(50 * i);
        EXPECT_TRUE(Near(PixelAt(*dc, left + 20, y + 10), colours[i])) << i;
        EXPECT_TRUE(Near(PixelAt(*dc, left + 2, y + 2), colours[i])) << i;
        EXPECT_EQ(PixelAt(*dc, left + 20, y + 24), kWhite) << i;  // 20 pixels high (19 for the metafile)
        EXPECT_EQ(PixelAt(*dc, left + 44, y + 10), kWhite) << i;
    }
    EXPECT_EQ(d.GetPendingPicture(), nullptr);
    d.Close();
}

TEST_F(TexSpecials, PostScriptInclusions) {
    VrDviDrawer d;
    int x, y;
    auto dc = Draw(d, 4, "p", x, y);
    const COLORREF cyan = RGB(0, 255, 255);
    // psfile: twice the box, its lower-left corner at the point.
    EXPECT_EQ(PixelAt(*dc, x + 40, y - 20), cyan);
    EXPECT_EQ(PixelAt(*dc, x + 40, y + 3), kWhite);
    EXPECT_EQ(PixelAt(*dc, x + 84, y - 20), kWhite);
    // plotfile: 60 by 30 over a box of 30 by 15, its top-left corner at the point.
    const int left = x + Pt(100);
    EXPECT_EQ(PixelAt(*dc, left + 40, y + 20), cyan);
    EXPECT_EQ(PixelAt(*dc, left + 40, y - 3), kWhite);
    EXPECT_EQ(PixelAt(*dc, left + 84, y + 20), kWhite);
    d.Close();
}

} // namespace
