// Korean documents made by LaTeX with Debian's TeX Live: ko.TeX (Nanum
// Unicode subfonts and uwmj Hanja), the CJK package's HLaTeX layout (wmj
// subfonts, EUC-KR source) and CJKutf8 (uwmj Unicode subfonts). With the
// installation's maps and code tables each document is searched, copied and
// drawn as the characters it holds: a selected line is its source text, the
// search finds Hangul and Hanja words, and the page drawn at 96 dpi overlaps
// dvipng's (each image's ink within one pixel of the other's, both thresholded
// at half grey).
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "DviTestSupport.h"
#include "PageImage.h"
#include "TexDocumentSupport.h"
#include "dvilib/CharCodes.h"
#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviFont.h"
#include "dvilib/VrDviSearch.h"
#include "dvilib/VrDviSelect.h"
#include "dvilib/VrDviTTFMap.h"
#include "platform/kpathsea/KPathSea.h"

using namespace dvitest;
namespace fs = std::filesystem;

namespace {

const std::string kShare = VELORAN_BINARY_DIR "/share/veloran/";

// The line every document sets first, and the words searched for.
const char kLine[] = "한글 검색 시험 漢字 韓國 大學校 English text.";

std::string Convert(const std::string& text, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) return "";
    std::string out(text.size() * 4 + 4, '\0');
    char* ip = const_cast<char*>(text.data());
    char* op = out.data();
    size_t il = text.size(), ol = out.size();
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == size_t(-1)) return "";
    out.resize(out.size() - ol);
    return out;
}

std::u16string Utf16(const std::string& utf8) {
    const std::string b = Convert(utf8, "UTF-8", "UTF-16LE");
    std::u16string s;
    for (size_t i = 0; i + 1 < b.size(); i += 2)
        s.push_back(char16_t((unsigned char)b[i] | (unsigned char)b[i + 1] << 8));
    return s;
}

struct Kind {
    const char* name;
    const char* preamble; // up to \begin{document}
    const char* begin;    // after it
    const char* end;
    const char* encoding; // of the source file
    double overlap;       // least share of ink within one pixel at 96 dpi
    bool texLiveVf = false; // TeX Live's wmj and uwmj VF folders configured
};

// ko.TeX's Hangul is drawn with the Type1 files TeX Live itself uses; the
// CJK package's fonts (and ko.TeX's Hanja, which are CJK's uwmj) with Un
// Batang in place of the umj faces under TeX Live's virtual fonts. The least
// share of each image's ink within one pixel of the other's (at the fonts'
// exact em they measure 0.98 to 0.99 for all three).
const Kind kKinds[] = {
    {"kotex", "\\usepackage{kotex}\n", "", "", "UTF-8", 0.98},
    {"hlatex", "\\usepackage{CJK}\n", "\\begin{CJK}[HL]{KS}{mj}\n", "\\end{CJK}\n", "EUC-KR", 0.90},
    {"cjkutf8", "\\usepackage{CJKutf8}\n", "\\begin{CJK}{UTF8}{mj}\n", "\\end{CJK}\n", "UTF-8", 0.90},
    // With TeX Live's virtual fonts, as a user who configures their folders:
    // the pages are drawn with the umj faces dvipng uses, and the text is
    // still the characters the wmj and uwmj fonts stand for.
    {"kotex_vf", "\\usepackage{kotex}\n", "", "", "UTF-8", 0.98, true},
    {"hlatex_vf", "\\usepackage{CJK}\n", "\\begin{CJK}[HL]{KS}{mj}\n", "\\end{CJK}\n", "EUC-KR", 0.98, true},
    {"cjkutf8_vf", "\\usepackage{CJKutf8}\n", "\\begin{CJK}{UTF8}{mj}\n", "\\end{CJK}\n", "UTF-8", 0.98, true},
};

std::string Source(const Kind& k) {
    std::string s = std::string("\\documentclass{article}\n") + k.preamble +
                    "\\pagestyle{empty}\\parindent=0pt\n\\begin{document}\n" + k.begin + kLine +
                    "\n\n가 대 글 大韓民國 $x^2+y^2=z^2$.\n\n※ ○ ● ★ ㉠ ①\n" + k.end + "\\end{document}\n";
    return std::string(k.encoding) == "UTF-8" ? s : Convert(s, "UTF-8", k.encoding);
}

class KoreanDocuments : public ::testing::TestWithParam<Kind> {
protected:
    static void SetUpTestSuite() {
        vrcodes::ClearCodeTables();
        ASSERT_EQ(vrcodes::LoadCodeTables((kShare + vrcodes::kCodeTableFolder).c_str()), 1);
    }
    static void TearDownTestSuite() { vrcodes::ClearCodeTables(); }

    void SetUp() override {
        std::ofstream(dir.File("doc.tex"), std::ios::binary) << Source(GetParam());
        ASSERT_NO_FATAL_FAILURE(RunTexProgram(dir.Path(), "latex"));
        DList<String8> vf;
        if (GetParam().texLiveVf) {
            std::string dist = RunCommand("kpsewhich -var-value TEXMFDIST");
            while (!dist.empty() && dist.back() == '\n') dist.pop_back();
            for (const char* folder : {"/fonts/vf/uhc/wmj", "/fonts/vf/uhc/uwmj"}) {
                ASSERT_TRUE(fs::is_directory(dist + folder)) << dist + folder;
                vf.AddTail(String8((dist + folder).c_str()));
            }
        }
        ASSERT_NO_FATAL_FAILURE(OpenWithInstalledMaps(kpse, ttfMap, dvi, dir.File("doc.dvi"), vf));
        ASSERT_EQ(dvi.GetNPage(), 1);
        dvi.SetWinFont(0); // as the first drawing of a page with fonts leaves it
    }

    // The hits of a UTF-8 text on the page.
    DList<VrDviSearch::Result> Find(const std::string& text) {
        VrDviSearch s;
        std::u16string t = Utf16(text);
        s.FindString(reinterpret_cast<const unsigned short*>(t.c_str()), &dvi, 1, 0, 0);
        return s.GetResultList();
    }
    VrDviSearch::Rect Box(const std::string& text) {
        DList<VrDviSearch::Result> hits = Find(text);
        EXPECT_EQ(hits.Count(), 1) << text;
        if (hits.IsEmpty()) return {};
        return hits.GetHead()->data.rectangles.GetHead()->data;
    }

    TempDir dir;
    KPathSea kpse;
    VrDviTTFMap ttfMap;
    VrDvi dvi;
};

TEST_P(KoreanDocuments, SearchFindsHangulAndHanjaWords) {
    for (const char* word : {"검색", "韓國", "大學校", "한글검색", "시험 漢字", "English"})
        EXPECT_EQ(Find(word).Count(), 1) << word;
    // Each syllable is itself, not its neighbour in the subfont.
    for (const char* word : {"가", "대", "글"})
        EXPECT_GE(Find(word).Count(), 1) << word;
    EXPECT_EQ(Find("겡").Count(), 0);
    // The symbols (HLaTeX's symbol subfonts 04 and 05). The Unicode kinds
    // set ※ in textcomp's tcrm1000 instead.
    for (const char* symbol : {"○", "●", "★", "㉠", "①"})
        EXPECT_EQ(Find(symbol).Count(), 1) << symbol;
    if (std::string(GetParam().name).rfind("hlatex", 0) == 0) {
        EXPECT_EQ(Find("※").Count(), 1);
    }
}

TEST_P(KoreanDocuments, CopiedLineIsTheSourceText) {
    const VrDviSearch::Rect first = Box("한글"), last = Box("text.");
    VrDviSelect sel;
    ASSERT_EQ(sel.Open(dvi, 0), 1);
    sel.BeginSelect(first.x + 1, first.y + first.height / 2);
    sel.UpdateSelect(last.x + last.width - 1, last.y + last.height / 2);
    EXPECT_EQ(std::string(sel.GetSelectedString().c_str()), kLine);
}

TEST_P(KoreanDocuments, DrawnPageOverlapsDviPng) {
    const int dpi = 96;
    RunIn(dir, "dvipng -q -D 96 -T 8.5in,11in -O 1in,1in -bg 'rgb 1 1 1' -o ref.png doc.dvi");
    const InkMask want = InkOfPng(dir.File("ref.png"));
    ASSERT_GT(want.width, 0);
    auto dc = CreateMemoryDC(dpi * 17 / 2, dpi * 11, 32, dpi);
    VrDviDrawer d;
    // One row down: dvipng's baseline is the row below GDI's (see VrDviDrawerTexTest).
    ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), dpi, dpi + 1, 0, String8()), 1);
    ASSERT_EQ(d.Draw(-1), 1);
    d.Close();
    if (const char* keep = std::getenv("VELORAN_KEEP_PAGES")) {
        WritePng(*dc, std::string(keep) + "/" + GetParam().name + "-drawer.png");
        fs::copy_file(dir.File("ref.png"), std::string(keep) + "/" + GetParam().name + "-dvipng.png",
                      fs::copy_options::overwrite_existing);
    }
    const InkMask got = InkOf(*dc);
    const double ours = InkNear(got, want, 1), theirs = InkNear(want, got, 1);
    std::printf("%s at 96 dpi: our ink near dvipng's %.4f, dvipng's near ours %.4f\n", GetParam().name, ours,
                theirs);
    EXPECT_GE(ours, GetParam().overlap);
    EXPECT_GE(theirs, GetParam().overlap);
}

INSTANTIATE_TEST_SUITE_P(Kinds, KoreanDocuments, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

// ko.TeX with the Nanum faces for Latin text too (dhucs-nanumfont's T1
// fonts t1nanummjm, t1nanummjb, t1nanumgtm): drawn as dvipng draws it, every
// font with its face, and the T1 quotes and dashes searched as themselves.
TEST(NanumLatin, T1DocumentIsDrawnAsDviPngDrawsIt) {
    TempDir dir;
    std::ofstream(dir.File("doc.tex")) << R"TEX(\documentclass{article}
\usepackage{kotex}
\usepackage[uset1font]{dhucs-nanumfont}
\pagestyle{empty}
\begin{document}
한글 검색 시험 ``Nanum'' --- English text, caf\'e, first office.

\textbf{굵은 글씨 Bold ``quoted''} \textsf{고딕 Gothic `single' -- dash}.
\end{document}
)TEX";
    ASSERT_NO_FATAL_FAILURE(RunTexProgram(dir.Path(), "latex"));
    KPathSea kpse;
    VrDviTTFMap ttfMap;
    VrDvi dvi;
    ASSERT_NO_FATAL_FAILURE(OpenWithInstalledMaps(kpse, ttfMap, dvi, dir.File("doc.dvi")));
    dvi.SetWinFont(0);

    for (const char* text : {"\xE2\x80\x9CNanum\xE2\x80\x9D \xE2\x80\x94", "\xE2\x80\x98single\xE2\x80\x99 \xE2\x80\x93", "검색"}) {
        VrDviSearch s;
        std::u16string t = Utf16(text);
        s.FindString(reinterpret_cast<const unsigned short*>(t.c_str()), &dvi, 1, 0, 0);
        EXPECT_EQ(s.GetResultList().Count(), 1) << text;
    }

    const int dpi = 96;
    RunIn(dir, "dvipng -q -D 96 -T 8.5in,11in -O 1in,1in -bg 'rgb 1 1 1' -o ref.png doc.dvi");
    const InkMask want = InkOfPng(dir.File("ref.png"));
    ASSERT_GT(want.width, 0);
    auto dc = CreateMemoryDC(dpi * 17 / 2, dpi * 11, 32, dpi);
    VrDviDrawer d;
    ASSERT_EQ(d.Open(*dc, dvi, 0, fpreal4(10000), dpi, dpi + 1, 0, String8()), 1);
    ASSERT_EQ(d.Draw(-1), 1);
    d.Close();
    const InkMask got = InkOf(*dc);
    const double ours = InkNear(got, want, 1), theirs = InkNear(want, got, 1);
    std::printf("nanum T1 at 96 dpi: our ink near dvipng's %.4f, dvipng's near ours %.4f\n", ours, theirs);
    EXPECT_GE(ours, 0.98);
    EXPECT_GE(theirs, 0.98);
    EXPECT_EQ(dvi.TakeFallbackFont(), String8(""));
}

// The HLaTeX subfonts against the layout of TeX Live's CJK fonts
// (KS-HLaTeX.sfd): every code of every subfont, Hangul 0-9, symbols 04-07
// from the shipped table, Hanja 10-29.
TEST(HLatexLayout, EveryCodeOfTeXLiveSubfontsConverts) {
    vrcodes::ClearCodeTables();
    ASSERT_EQ(vrcodes::LoadCodeTables((kShare + vrcodes::kCodeTableFolder).c_str()), 1);
    std::string dist = RunCommand("kpsewhich -var-value TEXMFDIST");
    while (!dist.empty() && dist.back() == '\n')
        dist.pop_back();
    std::ifstream in(dist + "/fonts/sfd/ttf2pk/KS-HLaTeX.sfd");
    ASSERT_TRUE(in.is_open());
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    for (size_t at; (at = text.find("\\\n")) != std::string::npos;)
        text.replace(at, 2, " ");
    std::istringstream lines(text);
    int subfonts = 0, codes = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string number;
        if (!(words >> number)) continue;
        ++subfonts;
        const std::string font = "wmj" + number;
        unsigned code = 0;
        for (std::string item; words >> item;) {
            const size_t bar = item.find('_');
            const unsigned lo = unsigned(std::stoul(item.substr(0, bar), nullptr, 16));
            const unsigned hi =
                bar == std::string::npos ? lo : unsigned(std::stoul(item.substr(bar + 1), nullptr, 16));
            for (unsigned pair = lo; pair <= hi; ++pair, ++code, ++codes) {
                unsigned char lead = 0, trail = 0;
                ASSERT_EQ(HLatexToEucKr(font.c_str(), (unsigned char)code, lead, trail), 0)
                    << font << " " << code;
                EXPECT_EQ(unsigned(lead << 8 | trail), pair) << font << " code " << code;
            }
        }
    }
    EXPECT_EQ(subfonts, 34);
    EXPECT_GT(codes, 2350 + 4888);
    vrcodes::ClearCodeTables();
}

// Every Korean TeX font that Debian's packages install has a map entry whose
// face is installed: the Nanum subfonts of ko.TeX, CJK's uwmj, wmj and umj
// families in all their shapes.
TEST(KoreanMaps, EveryKoreanTeXFontHasAnInstalledFace) {
    VrDviTTFMap map;
    for (const auto& e : fs::directory_iterator(kShare + "ttfcfg"))
        if (e.path().filename().string().rfind("korean-", 0) == 0) {
            EXPECT_EQ(map.AppendTTFMapFile(e.path().c_str()), 1) << e.path();
        }
    std::string dist = RunCommand("kpsewhich -var-value TEXMFDIST");
    while (!dist.empty() && dist.back() == '\n')
        dist.pop_back();
    std::map<std::string, int> fonts;
    for (const char* folder : {"public/nanumtype1", "uhc/uwmj", "uhc/wmj", "uhc/umj"}) {
        const fs::path dir = fs::path(dist) / "fonts/tfm" / folder;
        ASSERT_TRUE(fs::is_directory(dir)) << dir;
        for (const auto& e : fs::directory_iterator(dir)) {
            const std::string name = e.path().stem().string();
            // The T1 and TS1 Latin fonts of the Nanum package are no subfonts.
            if (e.path().extension() != ".tfm" || name.rfind("t1", 0) == 0 || name.rfind("ts1", 0) == 0)
                continue;
            ++fonts[folder];
            const VrDviTTFMap::Entry* entry = map.GetEntry(name.c_str());
            ASSERT_NE(entry, nullptr) << name;
            EXPECT_TRUE(VrDviTTFMap::IsFaceInstalled(entry->sbc.fontName.c_str()))
                << name << ": " << entry->sbc.fontName.c_str();
        }
    }
    EXPECT_EQ(fonts["public/nanumtype1"], 842);
    EXPECT_EQ(fonts["uhc/uwmj"], 1160);
    EXPECT_EQ(fonts["uhc/wmj"], 272);
    EXPECT_EQ(fonts["uhc/umj"], 264);
}

} // namespace
