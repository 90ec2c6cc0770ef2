// The page renderer's arithmetic and arguments, and its two passes on real
// Ghostscript: depths, strides, the fit into a box and a page beyond the end.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ghostscript/GS.h"
#include "platform/sys/Registry.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/view/PostScriptPage.h"
#include "viewer/view/VrViewerView.h"

namespace fs = std::filesystem;

namespace {

std::string Joined(const std::vector<String8>& args) {
    std::string s;
    for (const String8& a : args) s += (s.empty() ? "" : " ") + std::string(a.c_str());
    return s;
}

TEST(PostScriptPageArithmetic, FitsThePageIntoItsBox) {
    struct Case {
        int w100, h100, xRes, yRes, boxW, boxH;
        int wantXRes, wantYRes, wantBoxW, wantBoxH, wantScale, fitted;
    } cases[] = {
        {850, 1100, 96, 96, 800, 0, 94, 94, 800, 1035, 9804, 1},      // width only
        {850, 1100, 96, 96, -1, -1, 96, 96, -1, -1, 10000, 0},        // no box
        {850, 1100, 96, 96, 800, 600, 55, 55, 464, 600, 5682, 1},     // the height decides
        {1100, 850, 100, 100, 550, 10000, 50, 50, 550, 425, 5000, 1}, // landscape, the width decides
        {0, 0, 96, 96, 800, 600, 96, 96, 800, 600, 10000, 0},         // the probe saw no page
    };
    for (const Case& c : cases) {
        const PsPageFit f = FitPostScriptPage(c.w100, c.h100, c.xRes, c.yRes, c.boxW, c.boxH);
        EXPECT_EQ(f.xRes, c.wantXRes) << c.boxW << "x" << c.boxH;
        EXPECT_EQ(f.yRes, c.wantYRes);
        EXPECT_EQ(f.boxWidth, c.wantBoxW);
        EXPECT_EQ(f.boxHeight, c.wantBoxH);
        EXPECT_EQ(f.scale10000, c.wantScale);
        EXPECT_EQ(f.fitted, c.fitted);
    }
}

TEST(PostScriptPageArithmetic, JobArgumentsStridesAndMappings) {
    const PsPageFit fit = FitPostScriptPage(850, 1100, 96, 96, 800, 0);
    EXPECT_EQ(Joined(PsRenderJobArgs("/usr/share/gs lib", 8, fit.xRes, fit.yRes, 4, &fit)),
              "gswin.exe -I/usr/share/gs lib -sDEVICE=mswindll -dSAFER -dNOPLATFONTS -dQUIET -dNOPAUSE -dBATCH "
              "-dBitsPerPixel=8 -r94x94 -dFirstPage=5 -dLastPage=5 -g800x1035");
    EXPECT_EQ(Joined(PsProbeJobArgs("", 0)),
              "gswin.exe -I -sDEVICE=mswindll -dSAFER -dNOPLATFONTS -dQUIET -dNOPAUSE -dBATCH -dBitsPerPixel=1 "
              "-r100x100 -dNOFONTMAP -dFirstPage=1 -dLastPage=1");
    const PsPageFit none = FitPostScriptPage(0, 0, 96, 96, -1, -1);
    EXPECT_EQ(Joined(PsRenderJobArgs("", 24, 96, 96, 0, &none)).find("-g"), std::string::npos);
    // A line beyond 999 characters is refused.
    EXPECT_TRUE(PsRenderJobArgs(std::string(990, 'x').c_str(), 8, 96, 96, 0, &none).empty());
    EXPECT_TRUE(PsProbeJobArgs(std::string(990, 'x').c_str(), 0).empty());

    struct Stride {
        int width, bpp, stride;
    } strides[] = {{850, 1, 108}, {850, 4, 428}, {850, 8, 852}, {850, 24, 2552}, {1, 1, 4}, {33, 1, 8}, {5, 24, 16}};
    for (const Stride& s : strides) EXPECT_EQ(PsRowStride(s.width, s.bpp), s.stride) << s.width << " " << s.bpp;

    // 96 dpi at 100 %: 4 pixels are 3 points; at 200 % 8 pixels are.
    int lx = 0, ly = 0;
    PsPixelToLogical(96, 1056 - 192, 1056, 960000, 960000, 10000, &lx, &ly);
    EXPECT_EQ(lx, 72);
    EXPECT_EQ(ly, 144);
    PsPixelToLogical(192, 0, 2112, 960000, 960000, 20000, &lx, &ly);
    EXPECT_EQ(lx, 72);
    EXPECT_EQ(ly, 792);
    // A 150 dpi screen at 75 %.
    PsPixelToLogical(1125, 0, 0, 1500000, 1500000, 7500, &lx, &ly);
    EXPECT_EQ(lx, 720);

    // Thumbnails: the current page at 10 %, in floating point (a zoom above
    // 100 % does not give 0).
    int tw = 0, th = 0;
    PsThumbnailSize(1632, 2112, 20000, &tw, &th);
    EXPECT_EQ(tw, 81);
    EXPECT_EQ(th, 105);
    PsThumbnailSize(816, 1056, 10000, &tw, &th);
    EXPECT_EQ(tw, 81);
    EXPECT_EQ(th, 105);
    PsThumbnailSize(408, 528, 5000, &tw, &th);
    EXPECT_EQ(tw, 81);
    EXPECT_EQ(th, 105);
}

class PostScriptRendering : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TestEnvironment;
        TestApp();
        ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, nullptr), 1);
        // Letter portrait with a black square at (72, 72) pt, then A4 landscape.
        const std::string ps = dir_->File("pages.ps");
        std::ofstream(ps) << "%!PS\n<< /PageSize [612 792] >> setpagedevice 72 72 72 72 rectfill showpage\n"
                             "<< /PageSize [842 595] >> setpagedevice 0 0 10 10 rectfill showpage\n";
        pdf_ = new std::string(dir_->File("pages (two).pdf"));
        ASSERT_EQ(std::system(("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile='" + *pdf_ + "' '" + ps +
                               "' >/dev/null 2>&1")
                                  .c_str()),
                  0);
    }
    static void TearDownTestSuite() {
        delete pdf_;
        delete dir_;
    }
    static inline testsupport::TestEnvironment* dir_ = nullptr;
    static inline std::string* pdf_ = nullptr;
};

TEST_F(PostScriptRendering, RendersEveryDepthAndFitsTheBox) {
    CVrViewerView view;
    for (int bpp : {1, 4, 8, 24}) {
        std::vector<uint8_t> info;
        std::unique_ptr<uint8_t[]> bits;
        int scale = 0;
        ASSERT_EQ(view.RenderPostScriptPage(pdf_->c_str(), 0, bpp, 72, 72, -1, -1, &info, &bits, &scale), 1) << bpp;
        ASSERT_EQ(info.size(), kPsPageInfoBytes);
        const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
        EXPECT_EQ(h->biWidth, 612);
        EXPECT_EQ(h->biHeight, 792);
        EXPECT_EQ(h->biBitCount, bpp);
        EXPECT_EQ(scale, 10000);
        // Row 100 from the bottom, pixel 100: inside the square, black.
        const uint8_t* row = bits.get() + size_t(PsRowStride(612, bpp)) * 100;
        const RGBQUAD* pal = reinterpret_cast<const RGBQUAD*>(info.data() + 40);
        int index = bpp == 1 ? (row[100 / 8] >> (7 - 100 % 8)) & 1 : bpp == 4 ? row[50] >> 4 : bpp == 8 ? row[100] : -1;
        const int grey = index < 0 ? row[300] : pal[index].rgbRed;
        EXPECT_EQ(grey, 0) << bpp;
    }
    // Into a 300 x 300 box: the landscape page is fitted to the width.
    std::vector<uint8_t> info;
    std::unique_ptr<uint8_t[]> bits;
    int scale = 0;
    ASSERT_EQ(view.RenderPostScriptPage(pdf_->c_str(), 1, 8, 96, 96, 300, 300, &info, &bits, &scale), 1);
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
    EXPECT_EQ(h->biWidth, 300);
    EXPECT_EQ(h->biHeight, 212);
    EXPECT_NEAR(scale, 300.0 / (842 * 96 / 72.0) * 10000, 60);
    // A page beyond the document gives nothing.
    EXPECT_EQ(view.RenderPostScriptPage(pdf_->c_str(), 2, 8, 96, 96, -1, -1, &info, &bits, &scale), 0);
    EXPECT_EQ(view.RenderPostScriptPage(dir_->File("missing.pdf").c_str(), 0, 8, 96, 96, -1, -1, &info, &bits,
                                        &scale),
              0);
}

}  // namespace
