// Pages of a plain TeX document drawn by the page drawer with the
// installation's map files and TeX Live's outline faces, against dvipng at the
// same resolution: the ink of the two images overlaps closely, and every
// glyph sits where dvipng puts it.
//
// Measure: ink is a pixel darker than half way to black. The overlap is the
// intersection over union of the two ink masks; it must exceed 0.9 at
// 300 dpi and 0.7 at 96 dpi, where a one-pixel difference of stem width is a
// large part of a glyph. Glyph positions: each connected piece of dvipng's
// ink must have a piece of ours whose centroid lies within one pixel in x
// and in y.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "DviTestSupport.h"
#include "PageImage.h"
#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviFont.h"
#include "dvilib/VrDviTTFMap.h"
#include "platform/kpathsea/KPathSea.h"

using namespace dvitest;
namespace fs = std::filesystem;

namespace {

const char* kDocument = R"TEX(
\hsize=6.5in \vsize=9in \parindent=20pt
\font\msam=msam10 \font\msbm=msbm10 \font\big=cmbx12 \font\sl=cmsl10
\centerline{\big The Drawer's Test Page}
\medskip
Plain text with ligatures fi, ffl and accents: \'e \"o \c c \ss\ \AA. {\it Italic text}, {\sl slanted
text}, {\bf bold text} and {\tt typewriter text}. The quick brown fox jumps over the lazy dog;
PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS. Numbers 0123456789, and punctuation: ?!()[]-/*.
$$ \sum_{i=1}^n x_i^2 = {\int_0^\infty e^{-t}\,dt \over \sqrt{1+\alpha^2}} \qquad
   \left( \matrix{a&b\cr c&d} \right) \quad \bigotimes_{k} \Bigl[ \prod_{j} y_j \Bigr] $$
Math in text: $\alpha\beta\gamma\delta \le \Gamma\Delta\Theta$, $\aleph \nabla \partial \infty
\forall \exists \in \subset \cup \cap \rightarrow \Rightarrow \mapsto$.
AMS symbols: {\msam \char"03 \char"04 \char"13 \char"21 \char"4A} and
{\msbm R Z N Q C \char"7C}.
\medskip
\hrule height 1pt \vskip 4pt
\hbox{\vrule width 20pt height 10pt depth 2pt \kern 4pt \vrule width 2pt height 30pt
\kern 4pt\raise 6pt\hbox{raised}\lower 4pt\hbox{lowered}}
\hbox to 3in{\leaders\hrule\hfil}
\special{colorpush: 1 0 0}Red text runs on to the next page.
\vfill\eject
This page starts in red, carried over from the page before.
\special{colorpop:}Black again: $x \over y$, \romannumeral 1999.
\bye
)TEX";

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return "FAILED popen";
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int rc = pclose(p);
    if (rc != 0) out = "FAILED " + std::to_string(rc) + "\n" + out;
    return out;
}

class TexPages : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(dir.File("doc.tex")) << kDocument;
        const std::string cd = "cd '" + dir.Path().string() + "' && ";
        std::string out = RunCommand(cd + "tex -interaction=batchmode -halt-on-error doc.tex 2>&1");
        ASSERT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;

        kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
        ASSERT_TRUE(kpse.IsKPathSeaDLLLoaded());
        for (const auto& e : fs::directory_iterator(VELORAN_BINARY_DIR "/share/veloran/ttfcfg"))
            if (e.path().extension() == ".map") ttfMap.AppendTTFMapFile(e.path().c_str());
        dvi.SetKPathSea(&kpse);
        dvi.SetDviTTFMap(&ttfMap);
        dvi.Open(dir.File("doc.dvi").c_str(), NoPaths(), NoPaths());
        dvi.NewPageWritten(0);
        ASSERT_EQ(dvi.GetMode(), ModeComplete) << dvi.GetErrorText().c_str();
        ASSERT_EQ(dvi.GetNPage(), 2);
    }

    // dvipng's page (from 0) at dpi on letter paper, the DVI origin one inch
    // in from the top and the left.
    InkMask DviPng(int dpi, int page) {
        const std::string png = dir.File("png" + std::to_string(dpi) + "-" + std::to_string(page + 1) + ".png");
        if (!fs::exists(png)) {
            const std::string cmd = "cd '" + dir.Path().string() + "' && dvipng -q -D " + std::to_string(dpi) +
                                    " -T 8.5in,11in -bg 'rgb 1 1 1' -o png" + std::to_string(dpi) +
                                    "-%d.png doc.dvi 2>&1";
            std::string out = RunCommand(cmd);
            EXPECT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
        }
        return InkOfPng(png);
    }

    // The drawer's page at dpi on letter paper, origin one inch in.
    std::unique_ptr<CDC> Draw(int dpi, int page) {
        auto dc = CreateMemoryDC(dpi * 17 / 2, dpi * 11, 32, dpi);
        VrDviDrawer d;
        EXPECT_EQ(d.Open(*dc, dvi, page, fpreal4(10000), dpi, dpi, 0, String8()), 1);
        EXPECT_EQ(d.Draw(-1), 1);
        d.Close();
        if (const char* keep = std::getenv("VELORAN_KEEP_PAGES"))
            WritePng(*dc, std::string(keep) + "/drawer" + std::to_string(dpi) + "-" + std::to_string(page + 1) + ".png");
        return dc;
    }

    TempDir dir;
    KPathSea kpse;
    VrDviTTFMap ttfMap;
    VrDvi dvi;
};

TEST_F(TexPages, InkOverlapsDviPngAndGlyphsSitWhereItPutsThem) {
    struct Case {
        int dpi;
        double minIoU;
    } cases[] = {{300, 0.9}, {96, 0.7}};
    for (const Case& c : cases) {
        for (int page = 0; page < 2; ++page) {
            InkMask want = DviPng(c.dpi, page);
            ASSERT_EQ(want.width, c.dpi * 17 / 2);
            ASSERT_EQ(want.height, c.dpi * 11);
            auto dc = Draw(c.dpi, page);
            InkMask got = InkOf(*dc);
            const double iou = InkIoU(got, want);
            EXPECT_GT(iou, c.minIoU) << c.dpi << " dpi, page " << page + 1;

            // Every piece of dvipng's ink has a piece of ours within one
            // pixel; pieces that touch a neighbour in one image and not in the
            // other are matched by their shared pixels.
            std::vector<InkPiece> ours = InkPieces(got), theirs = InkPieces(want);
            ASSERT_GT(theirs.size(), 100u);
            int far = 0;
            double worst = 0;
            for (const InkPiece& t : theirs) {
                double best = 1e9;
                for (const InkPiece& o : ours) {
                    if (o.right <= t.left - 2 || o.left >= t.right + 2 || o.bottom <= t.top - 2 ||
                        o.top >= t.bottom + 2)
                        continue;
                    best = std::min(best, std::max(std::abs(o.cx - t.cx), std::abs(o.cy - t.cy)));
                }
                if (best > 1.0) {
                    ++far;
                    ADD_FAILURE() << c.dpi << " dpi, page " << page + 1 << ": piece at (" << t.cx << ", " << t.cy
                                  << ") of " << t.pixels << " pixels is " << best << " pixels off";
                }
                if (best < 1e9) worst = std::max(worst, best);
            }
            std::printf("%d dpi page %d: IoU %.4f, %zu pieces (ours %zu), %d off, worst %.2f px\n", c.dpi, page + 1,
                        iou, theirs.size(), ours.size(), far, worst);
        }
    }
}

TEST_F(TexPages, ColourCarriesOverToTheNextPage) {
    auto dc = Draw(96, 1);
    // Page 2 starts inside the colour that page 1 pushed.
    const PixelBuffer& px = *dc->Surface();
    int red = 0;
    for (int y = 0; y < px.Height(); ++y)
        for (int x = 0; x < px.Width(); ++x) red += px.Get(x, y) == 0xFF0000;
    EXPECT_GT(red, 100);
}

} // namespace
