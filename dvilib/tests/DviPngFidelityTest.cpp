// Documents typeset by plain TeX and LaTeX (Computer Modern, T1 with the EC
// and TC fonts at 10, 11 and 12 pt, Latin Modern, LaTeX's PostScript fonts
// through TeX's virtual fonts) drawn by the page drawer with the
// installation's map files, against dvipng at 96 and 300 dpi. Both images
// are read as grey and thresholded at half grey; of each side's ink pixels,
// the given share must lie within one pixel of the other side's ink.
// A font without a face is drawn all the same and named once.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "DviTestSupport.h"
#include "PageImage.h"
#include "TexDocumentSupport.h"
#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviSearch.h"
#include "dvilib/VrDviTTFMap.h"
#include "platform/kpathsea/KPathSea.h"

using namespace dvitest;
namespace fs = std::filesystem;

namespace {

const char* kPlain = R"TEX(
\hsize=6in \parindent=20pt \nopagenumbers
Plain text in Computer Modern: the quick brown fox jumps over the lazy dog, with ligatures
fi, fl, ffi, quotes ``like these'' and dashes -- and ---. {\bf Bold words sit here}, {\it italic words
there}, and {\sl slanted} ones; numbers 0123456789.
$$ \sum_{i=1}^n x_i^2 = {\int_0^\infty e^{-t}\,dt \over \sqrt{1+\alpha^2}} \qquad
   \left( \matrix{a&b\cr c&d} \right) \quad \prod_{j} y_j $$
Math in text: $\alpha\beta\gamma \le \Gamma\Delta\Theta$, $\nabla\partial\infty \in \cup \Rightarrow$.
\bye
)TEX";

const char* kLatex = R"TEX(\documentclass{article}
\pagestyle{empty}
\begin{document}
LaTeX in Computer Modern: the quick brown fox jumps over the lazy dog, with ligatures fi, fl, ffi,
quotes ``like these'' and dashes -- and ---. \textbf{Bold words sit here}, \textit{italic words there},
and \emph{emphasis}; numbers 0123456789.
\[ \frac{a+b}{\sqrt{c^2+d^2}} = \prod_{k=1}^{\infty} \left( 1 + \frac{1}{k^2} \right)
   \quad \int_0^1 f(x)\,dx \le \sum_{n} \frac{1}{n!} \]
Math in text: $\alpha+\beta=\gamma$, $x_i^{2}$, $\mathbf{v}\cdot\mathbf{w}$.
\end{document}
)TEX";

const char* kT1 = R"TEX(\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{textcomp}
\pagestyle{empty}
\begin{document}
The first caf\'e in Z\"urich offers ``quoted'' words -- and final dashes --- in \textbf{bold
fl\"ussig \AE sop}, \textit{italic na\"ive r\^ole}, and \guillemotleft Fran\c{c}ais\guillemotright\ with
\c{c}, \v{s}, \k{a}, \L\'od\'z, \o, \ss, \'{\i}, \TH orn, \dh, \NG, \quotedblbase low\textquotedblleft.
Ligatures: fi fl ff ffi ffl; punctuation ?` !` \`a \~n \r{A}.
Text symbols: \textdegree, \texteuro, \textcelsius, \textmu, \textonehalf, \textcopyright,
\textregistered, \texttrademark, \textbullet, \textdagger, \textsection, \textperthousand,
\textnumero, \textleftarrow, \textrightarrow, \textyen, \textsterling, \textcent, \textasteriskcentered.
\end{document}
)TEX";

const char* kLatinModern = R"TEX(\documentclass{article}
\usepackage{lmodern}
\pagestyle{empty}
\begin{document}
Latin Modern text: the quick brown fox jumps over the lazy dog, with fi, fl, ffi and ``quotes''.
\textbf{Bold type}, \textit{italic type}, \textsl{slanted type}, \texttt{typewriter} and \textsf{sans serif}.
Mathematics: $\alpha+\beta=\gamma$, $\sum_{i=1}^n x_i^2 \le \int_0^\infty e^{-t}\,dt$ and
\[ \frac{a+b}{\sqrt{c^2+d^2}} = \prod_{k} \left( 1 + \frac{1}{k^2} \right). \]
{\fontencoding{T1}\selectfont In T1: caf\'e, Z\"urich, \guillemotleft\ss\guillemotright, --- and
\textit{na\"ive} \textbf{\AE}.}
\end{document}
)TEX";

// LaTeX's PostScript fonts: T1 text through TeX's virtual fonts over the 8r
// fonts, mathptmx's and mathpazo's symbols over the Symbol and Pazo faces.
const char* kTimes = R"TEX(\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{mathptmx}
\pagestyle{empty}
\begin{document}
Times: the first office offers ``quoted'' words -- and dashes --- with \guillemotleft Fran\c{c}ais\guillemotright,
stra\ss e, caf\'e, \textbf{bold fl\"ussig}, \textit{italic na\"ive} and \textbf{\textit{both}}; 0123456789.
Math: $\sum_{i=1}^n x_i^2 \le \int_0^\infty e^{-t}\,dt$, $\alpha+\beta=\Gamma\Delta$, $\mathcal{L}\cup\infty$.
\[ \frac{a+b}{\sqrt{c^2+d^2}} = \prod_{k=1}^{\infty} \left( 1 + \frac{1}{k^2} \right) \]
\end{document}
)TEX";

const char* kHelvet = R"TEX(\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{helvet}
\renewcommand{\familydefault}{\sfdefault}
\pagestyle{empty}
\begin{document}
Helvetica: the first office offers ``quoted'' words -- and dashes --- with \guillemotleft Fran\c{c}ais\guillemotright,
stra\ss e, \textbf{bold fl\"ussig}, \textit{oblique na\"ive}; 0123456789.
\end{document}
)TEX";

const char* kCourier = R"TEX(\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{courier}
\renewcommand{\familydefault}{\ttdefault}
\pagestyle{empty}
\begin{document}
Courier: the first office offers ``quoted'' words -- and dashes --- with \guillemotleft Fran\c{c}ais\guillemotright,
stra\ss e, \textbf{bold fl\"ussig}, \textit{oblique na\"ive}; 0123456789.
\end{document}
)TEX";

const char* kPalatino = R"TEX(\documentclass{article}
\usepackage{mathpazo}
\pagestyle{empty}
\begin{document}
Palatino: the first office offers ``quoted'' words -- and dashes --- in \textbf{bold} and \textit{italic}; 0123456789.
Math: $\sum_{i=1}^n x_i^2 \le \int_0^\infty e^{-t}\,dt$, $\alpha+\beta=\Gamma\Delta$, $\partial\nabla\infty$.
\[ \frac{a+b}{\sqrt{c^2+d^2}} = \prod_{k=1}^{\infty} \left( 1 + \frac{1}{k^2} \right) \]
\end{document}
)TEX";

// T1 text at sizes cm-super has a design size of its own for.
const char* kT1Eleven = R"TEX(\documentclass[11pt]{article}
\usepackage[T1]{fontenc}
\pagestyle{empty}
\begin{document}
Eleven points: the first caf\'e in Z\"urich offers ``quoted'' words -- and dashes --- in \textbf{bold fl\"ussig},
\textit{italic na\"ive} and \textsc{Small Capitals}; \footnotesize footnote size, \large large, \Large larger.
\end{document}
)TEX";

const char* kT1Twelve = R"TEX(\documentclass[12pt]{article}
\usepackage[T1]{fontenc}
\pagestyle{empty}
\begin{document}
Twelve points: the first caf\'e in Z\"urich offers ``quoted'' words -- and dashes --- in \textbf{bold fl\"ussig},
\textit{italic na\"ive} and \textsc{Small Capitals}; \footnotesize footnote size, \large large, \Large larger.
\end{document}
)TEX";

struct Document {
    const char* name;
    const char* source;
    bool latex;
    double minNear;  // share of either side's ink within one pixel of the other's
};

class DviPngFidelity : public ::testing::TestWithParam<Document> {
protected:
    void SetUp() override {
        const Document& d = GetParam();
        ASSERT_NO_FATAL_FAILURE(d.latex ? RunLatex(dir, d.source) : RunTex(dir, d.source));
        ASSERT_NO_FATAL_FAILURE(OpenWithInstalledMaps(kpse, ttfMap, dvi, dir.File("doc.dvi")));
        ASSERT_EQ(dvi.GetNPage(), 1);
    }

    // dvipng's page at dpi on letter paper, the DVI origin one inch in.
    InkMask DviPng(int dpi) {
        const std::string png = "png" + std::to_string(dpi) + ".png";
        const std::string out = RunIn(dir, "dvipng -q -D " + std::to_string(dpi) +
                                               " -T 8.5in,11in -O 1in,1in -bg 'rgb 1 1 1' -o " + png + " doc.dvi");
        EXPECT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
        return InkOfPng(dir.File(png));
    }

    // The drawer's page likewise, one row down to meet dvipng's baseline row
    // (VrDviDrawerTexTest).
    InkMask Draw(int dpi) {
        auto dc = CreateMemoryDC(dpi * 17 / 2, dpi * 11, 32, dpi);
        VrDviDrawer d;
        EXPECT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), dpi, dpi + 1, 0, String8()), 1);
        EXPECT_EQ(d.Draw(-1), 1);
        d.Close();
        if (const char* keep = std::getenv("VELORAN_KEEP_PAGES"))
            WritePng(*dc, std::string(keep) + "/" + GetParam().name + "-drawer" + std::to_string(dpi) + ".png");
        return InkOf(*dc);
    }

    TempDir dir;
    KPathSea kpse;
    VrDviTTFMap ttfMap;
    VrDvi dvi;
};

TEST_P(DviPngFidelity, InkLiesWithinOnePixelOfDviPngs) {
    for (int dpi : {96, 300}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        const InkMask want = DviPng(dpi);
        ASSERT_EQ(want.width, dpi * 17 / 2);
        ASSERT_EQ(want.height, dpi * 11);
        const InkMask got = Draw(dpi);
        const double ours = InkNear(got, want, 1), theirs = InkNear(want, got, 1);
        std::printf("%s at %d dpi: %.4f of the drawer's ink and %.4f of dvipng's within one pixel of the other's\n",
                    GetParam().name, dpi, ours, theirs);
        EXPECT_GE(ours, GetParam().minNear);
        EXPECT_GE(theirs, GetParam().minNear);
    }
    // Every font of the document has its face.
    EXPECT_EQ(dvi.TakeFallbackFont(), String8(""));
}

// UTF-8 of the Basic Multilingual Plane as UTF-16.
std::u16string Utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = (unsigned char)utf8[i];
        const int n = c < 0x80 ? 0 : c < 0xE0 ? 1 : 2;
        char16_t u = n == 0 ? c : n == 1 ? c & 0x1F : c & 0x0F;
        for (int k = 1; k <= n && i + size_t(k) < utf8.size(); ++k) u = char16_t(u << 6 | (utf8[i + size_t(k)] & 0x3F));
        out.push_back(u);
        i += size_t(n) + 1;
    }
    return out;
}

// Text set in the PostScript fonts through TeX's virtual fonts is searched
// as the characters their raw fonts draw.
TEST(PostScriptFontText, IsSearchedAsDrawn) {
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(RunLatex(dir, kTimes));
    KPathSea kpse;
    VrDviTTFMap ttfMap;
    VrDvi dvi;
    ASSERT_NO_FATAL_FAILURE(OpenWithInstalledMaps(kpse, ttfMap, dvi, dir.File("doc.dvi")));
    dvi.SetWinFont(0);  // as the first drawing of a page with fonts leaves it
    for (const char* text : {"Times", "stra\xC3\x9F" "e", "caf\xC3\xA9", "\xC2\xAB" "Fran\xC3\xA7" "ais\xC2\xBB",
                             "\xE2\x80\x9C" "quoted\xE2\x80\x9D", "\xE2\x80\x94", "first", "office"}) {
        VrDviSearch s;
        const std::u16string t = Utf16(text);
        s.FindString(reinterpret_cast<const unsigned short*>(t.c_str()), &dvi, 1, 0, 0);
        EXPECT_EQ(s.GetResultList().Count(), 1) << text;
    }
}

// A text font that no map names and no face has is drawn by the fallback
// face, and the document names the first such font once. The two fonts are
// Computer Modern's metrics under names of their own.
TEST(FallbackFont, IsDrawnAndTheFirstIsNamedOncePerDocument) {
    TempDir dir;
    const std::string cmr = RunCommand("kpsewhich cmr10.tfm");
    for (const char* name : {"nofacea.tfm", "nofaceb.tfm"})
        fs::copy_file(cmr.substr(0, cmr.find('\n')), dir.File(name));
    ASSERT_NO_FATAL_FAILURE(RunTex(dir, R"TEX(\font\first=nofacea \font\second=nofaceb \nopagenumbers
Computer Modern first. {\first Text without a map entry or a face.} {\second Nor this.}
\bye
)TEX"));
    KPathSea kpse;
    kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    VrDviTTFMap ttfMap;
    for (const auto& e : fs::directory_iterator(VELORAN_BINARY_DIR "/share/veloran/ttfcfg"))
        if (e.path().extension() == ".map") ttfMap.AppendTTFMapFile(e.path().c_str());
    VrDvi dvi;
    dvi.SetKPathSea(&kpse);
    dvi.SetDviTTFMap(&ttfMap);
    auto inkOfPage = [&] {
        auto dc = CreateMemoryDC(816, 300, 32, 96);
        VrDviDrawer d;
        EXPECT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), 96, 96, 0, String8()), 1);
        EXPECT_EQ(d.Draw(-1), 1);
        d.Close();
        return InkOf(*dc);
    };
    for (int open = 0; open < 2; ++open) {
        SCOPED_TRACE("open " + std::to_string(open + 1));
        DList<String8> tfm;
        tfm.AddTail(String8(dir.Path().c_str()));
        dvi.Open(dir.File("doc.dvi").c_str(), tfm, NoPaths());
        dvi.NewPageWritten(0);
        ASSERT_EQ(dvi.GetMode(), ModeComplete) << dvi.GetErrorText().c_str();
        EXPECT_EQ(dvi.TakeFallbackFont(), String8(""));  // nothing drawn yet
        const InkMask ink = inkOfPage();
        // The fallback face inks the line after Computer Modern's words too.
        long right = 0;
        for (int y = 0; y < ink.height; ++y)
            for (int x = ink.width / 2; x < ink.width; ++x) right += ink.At(x, y);
        EXPECT_GT(right, 100);
        EXPECT_EQ(dvi.TakeFallbackFont(), String8("nofacea"));
        EXPECT_EQ(dvi.TakeFallbackFont(), String8(""));
        inkOfPage();
        EXPECT_EQ(dvi.TakeFallbackFont(), String8(""));
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, DviPngFidelity,
                         ::testing::Values(Document{"plain", kPlain, false, 0.99},
                                           Document{"latex", kLatex, true, 0.99},
                                           Document{"t1", kT1, true, 0.98},
                                           Document{"lmodern", kLatinModern, true, 0.98},
                                           Document{"times", kTimes, true, 0.99},
                                           Document{"helvet", kHelvet, true, 0.99},
                                           Document{"courier", kCourier, true, 0.99},
                                           Document{"mathpazo", kPalatino, true, 0.99},
                                           Document{"t1_11pt", kT1Eleven, true, 0.99},
                                           Document{"t1_12pt", kT1Twelve, true, 0.99}),
                         [](const ::testing::TestParamInfo<Document>& i) { return std::string(i.param.name); });

} // namespace
