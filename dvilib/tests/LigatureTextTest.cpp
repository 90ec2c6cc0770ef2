// Ligatures in search and copying: the letters behind the characters that a
// font's lig/kern program makes (the inversion on its own, then real TeX
// fonts: Computer Modern in four faces, EC fonts in T1 encoding, a virtual
// font; and a made-up font under every kind of encoding), found by the
// search and copied by the selection as letters, while dashes and quotes
// made by ligature keep their text.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "DrawerFixtures.h"
#include "TexDocumentSupport.h"
#include "dvilib/LigatureLetters.h"
#include "dvilib/VrDviFont.h"
#include "dvilib/VrDviSearch.h"
#include "dvilib/VrDviSelect.h"

using namespace dvitest;

namespace {

using Letters = std::map<unsigned, std::string>;

// ---- the inversion of a lig/kern program

Letters Invert(const std::vector<int>& entry, const std::vector<ligature::Step>& program, unsigned bc = 'a') {
    Letters out;
    for (const auto& [code, letters] : ligature::InvertProgram(bc, entry, program)) out[code] = letters;
    return out;
}

constexpr unsigned kStop = 128, kKern = 128;

TEST(LigatureInversion, ProgramsAndWhatTheirCharactersStandFor) {
    // Characters a, b, c, d from bc = 'a'; results at codes 1 to 9.
    struct Case {
        const char* what;
        std::vector<int> entry;
        std::vector<ligature::Step> program;
        Letters expected;
    } cases[] = {
        {"a pair and a ligature of that ligature",
         {0, -1, -1, -1},
         {{0, 'b', 0, 1}, {kStop, 'c', 0, 2}, {kStop, 'd', 0, 3}},
         {{1, "ab"}, {2, "ac"}}},
        {"ligatures of ligatures in any order of the program",
         // 1 + d -> 3 comes before a + b -> 1.
         {1, -1, -1, -1},
         {{kStop, 'd', 0, 3}, {0, 'b', 0, 1}, {kStop, 'a', 0, 2}},
         {{1, "ab"}, {2, "aa"}}},
        {"the first step for a next character applies, kerns are no ligatures",
         {0, -1, -1, -1},
         {{0, 'b', kKern, 0}, {0, 'b', 0, 1}, {kStop, 'c', 0, 2}},
         {{2, "ac"}}},
        {"ligatures that keep one of their pair are not inverted",
         {0, -1, -1, -1},
         {{0, 'b', 1, 1}, {0, 'c', 2, 2}, {0, 'd', 3, 3}, {kStop, 'a', 0, 4}},
         {{4, "aa"}}},
        {"pairs that are not both letters: dashes, quotes",
         {-1, -1, -1, -1, 0},
         {{0, '-', 0, 5}, {kStop, '`', 0, 6}},
         {}},
        {"a restart in the first step, and a skip over the steps of another character",
         {0, 3, -1, -1},
         {{kStop + 1, 'x', 0, 2}, {kStop, 'c', 0, 7}, {1, 'b', 0, 1}, {kStop, 'b', 0, 8}, {kStop, 'a', 0, 9}},
         {{1, "ab"}, {8, "bb"}, {9, "aa"}}},
        {"a ligature whose result is a letter stays that letter",
         {0, -1, -1, -1},
         {{kStop, 'b', 0, 'c'}},
         {}},
        {"entries and restarts outside the program",
         {7, -1, 1, -1},
         {{0, 'b', 0, 1}, {kStop + 1, 'x', 1, 0}},
         {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Invert(c.entry, c.program), c.expected) << c.what;
}

TEST(LigatureInversion, LigaturesOfLigaturesStopAtTheLetterLimit) {
    // a + a -> 1, and code k + 1 is code k followed by an a: code k stands
    // for k + 1 letters.
    std::vector<int> entry(128, -1);
    std::vector<ligature::Step> program;
    entry['a'] = 0;
    program.push_back({kStop, 'a', 0, 1});
    for (unsigned k = 1; k < 12; ++k) {
        entry[k] = int(program.size());
        program.push_back({kStop, 'a', 0, k + 1});
    }
    const Letters l = Invert(entry, program, 0);
    EXPECT_EQ(l.at(1), "aa");
    ASSERT_EQ(l.count(ligature::kMaxLetters - 1), 1u);
    EXPECT_EQ(l.at(ligature::kMaxLetters - 1), std::string(ligature::kMaxLetters, 'a'));
    EXPECT_EQ(l.count(ligature::kMaxLetters), 0u);
}

const VrDvi::ItrnFont* FontNamed(VrDvi& dvi, const char* name) {
    for (VrDvi::ItrnFontItr it(dvi); !it.IsFinished(); ++it)
        if (it()->GetName() == String8(name)) return it();
    return nullptr;
}

Letters LigaturesOf(const VrDvi::ItrnFont* font) {
    Letters out;
    for (unsigned c = 0; c < 256; ++c)
        if (const char* l = font->GetLigatureLetters(c)) out[c] = l;
    return out;
}

// ---- the encodings whose fonts are expanded

TEST(LigatureEncodings, OnlyFontsOfLatinTextAreExpanded) {
    // fi v e, a gap, the dash ligature and a: "five" and "{a" in a Latin
    // font; the same codes mean other characters in Korean and symbol fonts.
    const struct {
        const char* map;
        bool expanded;
    } cases[] = {
        {"encoding = 'ot1'", true},
        {"encoding = 'raw'", true},
        {"encoding = '8r-unicode'", true},
        {"encoding = 'mswinsymbol-unicode'", false},
        {"encoding = 'xhanja-unicode'", false},
        {"encoding = 'raw', dbcfontname = 'Batang'", false},
    };
    for (const auto& c : cases) {
        FontFolder fonts;
        fonts.Tfm("lig", LigatureTfm());
        fonts.MapLine(std::string("lig { ") + c.map + " }");
        const std::string path = fonts.dir.File("page.dvi");
        Bytes body;
        body.Fnt(1).Op(dviop::Down4).S(1000000, 4).Op(12).Op('v').Op('e').Op(dviop::Right4).S(3 * 65536 * 10, 4);
        body.Op(123).Op('a');
        WriteDocument(path, {{1, "lig"}}, body.b);
        VrDvi dvi;
        fonts.Attach(dvi, path);
        ASSERT_EQ(dvi.GetMode(), ModeComplete) << c.map;
        dvi.SetWinFont(0);
        const VrDvi::ItrnFont* f = FontNamed(dvi, "lig");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(LigaturesOf(f), (Letters{{11, "ff"}, {12, "fi"}, {13, "fl"}, {14, "ffi"}, {15, "ffl"}}));

        VrDviSearch search;
        EXPECT_EQ(search.FindString("FIVE", &dvi, 0, 0, 0), c.expanded ? 1 : 0) << c.map;
        if (!c.expanded) continue;
        VrDviSelect sel;
        ASSERT_EQ(sel.Open(dvi, 0), 1);
        sel.SetRange(0, sel.GetNextCharPos(0, 4));
        EXPECT_EQ(std::string(sel.GetSelectedString().c_str()), "five {a") << c.map;
    }
}

// ---- fonts of real documents

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper((unsigned char)c));
    return s;
}

// The same words in four faces, a page each; then a line break between two
// ligatures, dashes and quotes, and a virtual font's ligatures.
const char* kDocument = R"TEX(
\hsize=5in \parindent=0pt \nopagenumbers
\font\vf=ligvf
\def\words{first office efficient staff affluent waffles official field difficult suffixed fifty flowers}
\rm \words\par\vfill\eject
\bf \words\par\vfill\eject
\it \words\par\vfill\eject
\sl \words\par\vfill\eject
\rm Plenty of staff\hfil\break fifty more.\par
The first office staff, fifty flowers.\par
Pages 1--2, ``quoted'' text.\par
$x+y-z$ and {\vf fi fl}.\par
\bye
)TEX";

// Ligatures of its own: fi is cmr10's fi (which has its own ligature
// program), fl is drawn as f and l.
const char* kLigatureVpl = R"VPL(
(DESIGNSIZE R 10.0)
(DESIGNUNITS R 10.0)
(FONTDIMEN (SPACE R 3.33) (STRETCH R 1.67) (SHRINK R 1.11) (XHEIGHT R 4.31) (QUAD R 10.0))
(MAPFONT D 0 (FONTNAME cmr10) (FONTDSIZE R 10.0))
(LIGTABLE
   (LABEL C f)
   (LIG C i O 14)
   (LIG C l O 15)
   (STOP)
   )
(CHARACTER C f (CHARWD R 3.06) (CHARHT R 6.94) (MAP (SETCHAR C f)))
(CHARACTER C i (CHARWD R 2.78) (CHARHT R 6.69) (MAP (SETCHAR C i)))
(CHARACTER C l (CHARWD R 2.78) (CHARHT R 6.94) (MAP (SETCHAR C l)))
(CHARACTER O 14 (CHARWD R 5.56) (CHARHT R 6.94) (MAP (SETCHAR O 14)))
(CHARACTER O 15 (CHARWD R 5.84) (CHARHT R 6.94) (MAP (SETCHAR C f) (SETCHAR C l)))
)VPL";

class TexLigatures : public ::testing::Test {
protected:
    void SetUp() override {
        doc.VirtualFont("ligvf", kLigatureVpl);
        ASSERT_NO_FATAL_FAILURE(doc.Typeset(kDocument));
        ASSERT_EQ(doc.dvi.GetNPage(), 5);
    }

    int Count(const std::string& text, int caseSensitive, int first = 0, int last = 3) {
        search.FindString(text.c_str(), &doc.dvi, caseSensitive, first, last);
        return search.GetResultList().Count();
    }
    std::vector<int> Pages() {
        std::vector<int> pages;
        for (const VrDviSearch::Result& r : search.GetResultList()) pages.push_back(r.page);
        return pages;
    }
    // The first box of the only hit of a text on the last page.
    VrDviSearch::Rect Box(const char* text) {
        VrDviSearch s;
        EXPECT_TRUE(s.FindString(text, &doc.dvi, 1, 4, 4)) << text;
        EXPECT_EQ(s.GetResultList().Count(), 1) << text;
        if (s.GetResultList().IsEmpty()) return {};
        return s.GetResultList().GetHead()->data.rectangles.GetHead()->data;
    }
    // The text of a drag from inside the first box to the foot of the last
    // (where a final period is).
    std::string Drag(const VrDviSearch::Rect& from, const VrDviSearch::Rect& to) {
        sel.BeginSelect(from.x + 1, from.y + from.height / 2);
        sel.UpdateSelect(to.x + to.width - 2, to.y + to.height - 2);
        return sel.GetSelectedString().c_str();
    }

    TexDocument doc;
    VrDviSearch search;
    VrDviSelect sel;
};

TEST_F(TexLigatures, EachFontKnowsTheLettersOfItsLigatures) {
    const Letters cm{{11, "ff"}, {12, "fi"}, {13, "fl"}, {14, "ffi"}, {15, "ffl"}};
    for (const char* name : {"cmr10", "cmbx10", "cmti10", "cmsl10"}) {
        const VrDvi::ItrnFont* f = FontNamed(doc.dvi, name);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(LigaturesOf(f), cm) << name;
    }
    // Math fonts have no letter ligatures; the virtual font has its own.
    for (const char* name : {"cmmi10", "cmsy10"}) {
        const VrDvi::ItrnFont* f = FontNamed(doc.dvi, name);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_TRUE(LigaturesOf(f).empty()) << name;
    }
    const VrDvi::ItrnFont* vf = FontNamed(doc.dvi, "ligvf");
    ASSERT_NE(vf, nullptr);
    ASSERT_TRUE(vf->IsVirtual());
    EXPECT_EQ(LigaturesOf(vf), (Letters{{12, "fi"}, {13, "fl"}}));
}

TEST_F(TexLigatures, WordsWithLigaturesAreFoundInEveryFace) {
    const char* words[] = {"first",    "office", "efficient", "staff",     "affluent", "waffles",
                           "official", "field",  "difficult", "suffixed",  "fifty",    "flowers"};
    const std::vector<int> everyFace{0, 1, 2, 3};
    for (const std::string w : words) {
        EXPECT_EQ(Count(w, 1), 4) << w;
        EXPECT_EQ(Pages(), everyFace) << w;
        EXPECT_EQ(Count(Upper(w), 0), 4) << w;
        EXPECT_EQ(Count(Upper(w), 1), 0) << w;
    }
    // Parts of words that begin or end inside a ligature, and words that
    // are not there.
    EXPECT_EQ(Count("ice", 1), 4);  // office
    EXPECT_EQ(Count("iffle", 1), 0);
    EXPECT_EQ(Count("offal", 0), 0);
    EXPECT_EQ(Count("fifty first", 1), 0);
}

TEST_F(TexLigatures, APhraseAcrossALineBreakBetweenLigatures) {
    ASSERT_EQ(Count("staff fifty", 1, 4, 4), 1);
    const VrDviSearch::Result& r = search.GetResultList().GetHead()->data;
    ASSERT_EQ(r.rectangles.Count(), 2);
    const VrDviSearch::Rect a = r.rectangles.GetHead()->data, b = r.rectangles.GetTail()->data;
    EXPECT_GE(b.y, a.y + a.height);
    EXPECT_EQ(Count("STAFF  FIFTY", 0, 4, 4), 1);
}

TEST_F(TexLigatures, AHitInsideALigatureCoversTheWholeGlyph) {
    // "office" is o, ffi, c, e: hits that begin or end inside the ffi share
    // its edges.
    const VrDviSearch::Rect office = Box("first office"), ffice = Box("ffice"), ice = Box("ice"),
                            tof = Box("t of"), toffi = Box("t offi");
    EXPECT_EQ(ice.x, ffice.x);
    EXPECT_GT(ice.x, office.x);
    EXPECT_EQ(ice.x + ice.width, office.x + office.width);
    EXPECT_EQ(tof.x + tof.width, toffi.x + toffi.width);
    EXPECT_LT(tof.x + tof.width, office.x + office.width);
    // The virtual font draws its fl as f and l: both letters get the whole
    // character that its metrics set.
    const VrDvi::ItrnFont* vf = FontNamed(doc.dvi, "ligvf");
    ASSERT_NE(vf, nullptr);
    const VrDviSearch::Rect fifl = Box("fi fl"), l = Box("l.");
    EXPECT_EQ(fifl.x + fifl.width, l.x + vf->GetCharWidthA(13));
}

TEST_F(TexLigatures, SelectedTextHasTheLetters) {
    ASSERT_EQ(sel.Open(doc.dvi, 4), 1);
    EXPECT_EQ(Drag(Box("The"), Box("flowers.")), "The first office staff, fifty flowers.");
    // A drag that begins inside the fi of "fifty" takes the whole glyph.
    const VrDviSearch::Rect fifty = Box("fifty flowers");
    const VrDviSearch::Rect ty = Box("ty flowers");
    sel.BeginSelect(fifty.x + fifty.width / 12, fifty.y + fifty.height / 2);
    sel.UpdateSelect(ty.x + 1, ty.y + ty.height / 2);
    EXPECT_EQ(std::string(sel.GetSelectedString().c_str()), "fift");
    ASSERT_EQ(sel.GetSelRect()->Count(), 1);
    EXPECT_EQ(sel.GetSelRect()->GetHead()->data.left, fifty.x);
    // The line broken between two ligatures.
    EXPECT_EQ(Drag(Box("Plenty"), Box("more.")), "Plenty of staff\r\nfifty more.");
    // Dashes and quotes made by ligature are those characters (OT1 places
    // the en dash at the code of '{' and the quotes at those of '\' and '"').
    EXPECT_EQ(Drag(Box("Pages"), Box("text.")), "Pages 1–2, “quoted” text.");
    // The virtual font's ligatures: a ligature glyph of cmr10 (itself a
    // ligature there), and one drawn as two characters.
    const VrDviSearch::Rect vf = Box("and fi fl");
    EXPECT_EQ(Drag(vf, vf), "and fi fl");
}

// ---- a LaTeX document in T1 encoding

const char* kT1Document = R"TEX(
\documentclass{article}
\usepackage[T1]{fontenc}
\pagestyle{empty}
\begin{document}
The first offers are final; \textbf{first offers} and \textit{final offers}.
\end{document}
)TEX";

TEST(T1Ligatures, EcFontsAreSearchedAndCopiedAsLetters) {
    TexDocument doc;
    ASSERT_NO_FATAL_FAILURE(doc.Typeset(kT1Document, "latex"));
    const VrDvi::ItrnFont* ecrm = FontNamed(doc.dvi, "ecrm1000");
    ASSERT_NE(ecrm, nullptr);
    // EC fonts put their ligatures at other codes than Computer Modern.
    EXPECT_EQ(LigaturesOf(ecrm), (Letters{{27, "ff"}, {28, "fi"}, {29, "fl"}, {30, "ffi"}, {31, "ffl"}}));
    VrDviSearch search;
    const struct {
        const char* text;
        int hits;
    } cases[] = {{"first", 2}, {"offers", 3}, {"final", 2}, {"FIRST OFFERS", 2}, {"offers are final", 1}};
    for (const auto& c : cases) {
        search.FindString(c.text, &doc.dvi, 0, 0, 0);
        EXPECT_EQ(search.GetResultList().Count(), c.hits) << c.text;
    }
    ASSERT_TRUE(search.FindString("The first offers are final;", &doc.dvi, 1, 0, 0));
    const VrDviSearch::Rect line = search.GetResultList().GetHead()->data.rectangles.GetHead()->data;
    VrDviSelect sel;
    ASSERT_EQ(sel.Open(doc.dvi, 0), 1);
    sel.BeginSelect(line.x + 1, line.y + line.height / 2);
    sel.UpdateSelect(line.x + line.width - 1, line.y + line.height / 2);
    EXPECT_EQ(std::string(sel.GetSelectedString().c_str()), "The first offers are final;");
}

} // namespace
