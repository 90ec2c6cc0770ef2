// The text that search and copying take from documents made by latex and
// tex: LaTeX in T1 with textcomp, in Latin Modern, in Times and in OT1 (Computer
// Modern without fontenc, whose accented letters TeX builds from an accent
// and a letter), plain TeX, and a Korean document with a line of symbols.
// A paragraph dragged over copies as its source text, word for word and
// space for space (line breaks are "\r\n" where the source has a space);
// inline mathematics gives its Greek letters, operators and relations; the
// search finds every word with and without Match Case. Then the layouts
// and accents on their own.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TexDocumentSupport.h"
#include "dvilib/TexFontText.h"
#include "dvilib/VrDviSearch.h"
#include "dvilib/VrDviSelect.h"

using namespace dvitest;

namespace {

const char kLatin[] = "The first café in Zürich offers “quoted” words – and final dashes — here.";
const char kTexLatin[] = "The first caf\\'e in Z\\\"urich offers ``quoted'' words -- and final dashes --- here.";
// The same letters as UTF-8 source and as plain TeX's control sequences.
const char kLetters[] = "Straße, Æsop, Œuvre, naïve façade, Øresund, Ångström, señor, Łódź, ¡olé! ¿qué?";
const char kTexLetters[] =
    "Stra\\ss e, \\AE sop, \\OE uvre, na\\\"\\i ve fa\\c cade, \\O resund, \\AA ngstr\\\"om, se\\~nor, "
    "\\L\\'od\\'z, !`ol\\'e! ?`qu\\'e?";
const char kSymbols[] = "Naïve façade, Øresund, Ångström, señor, Łódź. Euro €, 20°C, ©.";
const char kTexSymbols[] =
    "Naïve façade, Øresund, Ångström, señor, Łódź. Euro \\texteuro, 20\\textdegree C, \\textcopyright.";

const char kLatexMath[] = "$\\alpha + \\beta \\le \\gamma$ and $x \\neq y$, $\\sum_i a_i \\in \\mathbb{R}$, "
                          "$a \\leqslant b$.";
const char kMathText[] = "α+β≤γandx≠y,∑iai∈ℝ,a⩽b.";
const char kPlainMath[] = "$\\alpha+\\beta\\le\\gamma$ and $x\\ne y$, $\\sum_i a_i\\in\\Re$.";
const char kPlainMathText[] = "α+β≤γandx≠y,∑iai∈ℜ.";

const char kKorean[] = "한글 검색 시험 English text.";
const char kKoreanSymbols[] = "기호: ※ ○ ● ★ ㉠ ① 『책』";

struct Document {
    const char* name;
    const char* program;
    std::string source;
    std::vector<std::string> paragraphs;  // as copied
    std::string math;                     // the copied math line without spaces; empty for none
    std::string mathEnd;                  // its last characters
};

std::string Latex(const char* preamble, const std::vector<std::string>& paragraphs) {
    std::string s = std::string("\\documentclass{article}\n") + preamble +
                    "\\usepackage{amssymb}\n\\pagestyle{empty}\\parindent=0pt\\raggedright\n"
                    "\\hyphenpenalty=10000 \\exhyphenpenalty=10000\n\\begin{document}\n";
    for (const std::string& p : paragraphs) s += p + "\n\n";
    return s + "\\end{document}\n";
}

std::vector<Document> Documents() {
    return {
        {"T1 with textcomp", "latex", Latex("\\usepackage[T1]{fontenc}\\usepackage{textcomp}\n",
                                            {kTexLatin, kTexSymbols, kLatexMath}),
         {kLatin, kSymbols}, kMathText, "⩽b."},
        {"Latin Modern", "latex", Latex("\\usepackage[T1]{fontenc}\\usepackage{lmodern}\n",
                                        {kTexLatin, kTexSymbols, kLatexMath}),
         {kLatin, kSymbols}, kMathText, "⩽b."},
        // Virtual fonts over raw PostScript fonts, whose ligatures are drawn
        // in pieces.
        {"Times", "latex", Latex("\\usepackage[T1]{fontenc}\\usepackage{times}\n", {kTexLatin}), {kLatin}, "", ""},
        {"OT1 LaTeX", "latex", Latex("", {kLatin, kLetters, kLatexMath}), {kLatin, kLetters}, kMathText, "⩽b."},
        {"plain TeX", "tex",
         std::string("\\hsize=6in \\parindent=0pt \\nopagenumbers\n") +
             kTexLatin + "\\par\n" + kTexLetters + "\\par\n" + kPlainMath + "\\par\n\\bye\n",
         {kLatin, kLetters}, kPlainMathText, "ℜ."},
        {"Korean", "latex",
         std::string("\\documentclass{article}\\usepackage{CJKutf8}\\pagestyle{empty}\\parindent=0pt\n"
                     "\\begin{document}\\begin{CJK}{UTF8}{mj}\n") +
             kKorean + "\n\n" + kKoreanSymbols + "\n\\end{CJK}\\end{document}\n",
         {kKorean, kKoreanSymbols}, "", ""},
    };
}

std::string Unbroken(std::string s) {
    for (size_t k; (k = s.find("\r\n")) != std::string::npos;) s.replace(k, 2, " ");
    return s;
}

std::string WithoutSpaces(std::string s) {
    std::string out;
    for (char c : Unbroken(s))
        if (c != ' ') out += c;
    return out;
}

std::string AsciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

class DocumentText : public ::testing::Test {
protected:
    int Hits(const std::string& text, int caseSensitive) {
        VrDviSearch s;
        s.FindString(text.c_str(), &doc->dvi, caseSensitive, 0, 0);
        return s.GetResultList().Count();
    }
    // The boxes of the only hit of a text, merged per line.
    std::vector<VrDviSearch::Rect> Boxes(const std::string& text) {
        VrDviSearch s;
        s.FindString(text.c_str(), &doc->dvi, 1, 0, 0);
        EXPECT_EQ(s.GetResultList().Count(), 1) << text;
        std::vector<VrDviSearch::Rect> out;
        if (!s.GetResultList().IsEmpty())
            for (const VrDviSearch::Rect& r : s.GetResultList().GetHead()->data.rectangles) out.push_back(r);
        return out;
    }
    // The text of a drag from the first character of a hit to its last,
    // forward or back.
    std::string Drag(const std::vector<VrDviSearch::Rect>& boxes, bool backward = false) {
        if (boxes.empty()) return "";
        const VrDviSearch::Rect a = boxes.front(), b = boxes.back();
        const int ax = a.x + 1, ay = a.y + a.height / 2, bx = b.x + b.width - 1, by = b.y + b.height / 2;
        sel.BeginSelect(backward ? bx : ax, backward ? by : ay);
        sel.UpdateSelect(backward ? ax : bx, backward ? ay : by);
        return sel.GetSelectedString().c_str();
    }

    std::unique_ptr<TexDocument> doc;
    VrDviSelect sel;
};

TEST_F(DocumentText, ParagraphsCopyAsTheirSourceAndEveryWordIsFound) {
    for (const Document& d : Documents()) {
        SCOPED_TRACE(d.name);
        doc = std::make_unique<TexDocument>();
        ASSERT_NO_FATAL_FAILURE(doc->Typeset(d.source.c_str(), d.program));
        ASSERT_EQ(sel.Open(doc->dvi, 0), 1);
        for (const std::string& p : d.paragraphs) {
            const std::vector<VrDviSearch::Rect> boxes = Boxes(p);
            EXPECT_EQ(Unbroken(Drag(boxes)), p);
            // Dragged from its end back to its start: the same text, and
            // the range in order afterwards.
            EXPECT_EQ(Unbroken(Drag(boxes, true)), p);
            EXPECT_LE(sel.GetStartPos(), sel.GetEndPos());
            std::istringstream words(p);
            for (std::string w; words >> w;) {
                EXPECT_GE(Hits(w, 1), 1) << w;
                EXPECT_GE(Hits(w, 0), 1) << w;
                EXPECT_GE(Hits(AsciiUpper(w), 0), 1) << w;
            }
        }
        if (d.math.empty()) continue;
        // The math line, from its first character (alpha) to its period.
        VrDviSearch s;
        ASSERT_TRUE(s.FindString("α", &doc->dvi, 1, 0, 0));
        const VrDviSearch::Rect alpha = s.GetResultList().GetHead()->data.rectangles.GetHead()->data;
        ASSERT_TRUE(s.FindString(d.mathEnd.c_str(), &doc->dvi, 1, 0, 0));
        const VrDviSearch::Rect end = s.GetResultList().GetTail()->data.rectangles.GetTail()->data;
        EXPECT_EQ(WithoutSpaces(Drag({alpha, end})), d.math);
        for (const char* symbol : {"α", "β", "≤", "γ", "≠", "∑"}) EXPECT_EQ(Hits(symbol, 1), 1) << symbol;
    }
}

TEST_F(DocumentText, AccentedCapitalsAndLettersFoldCase) {
    doc = std::make_unique<TexDocument>();
    ASSERT_NO_FATAL_FAILURE(doc->Typeset(Latex("", {"\\'Etude, \\AE SOP, \\\"Ubel, caf\\'e, \\O re, \\L\\'od\\'z."})
                                             .c_str(),
                                         "latex"));
    const struct {
        const char* text;
        int caseSensitive, hits;
    } cases[] = {
        {"Étude", 1, 1}, {"étude", 0, 1}, {"étude", 1, 0}, {"ÆSOP", 1, 1}, {"æsop", 0, 1},
        {"Übel", 1, 1},  {"übel", 0, 1},  {"CAFÉ", 0, 1},  {"café", 1, 1}, {"øre", 0, 1},
        {"ŁÓDŹ", 0, 1},  {"Łódź", 1, 1},  {"cafe", 0, 0},  {"´", 1, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Hits(c.text, c.caseSensitive), c.hits) << c.text << " " << c.caseSensitive;
    ASSERT_EQ(sel.Open(doc->dvi, 0), 1);
    EXPECT_EQ(Unbroken(Drag(Boxes("Étude, ÆSOP, Übel, café, Øre, Łódź."))), "Étude, ÆSOP, Übel, café, Øre, Łódź.");
}

TEST_F(DocumentText, AnAccentOverNoLetterStaysTheAccent) {
    // \accent over a space, and an accent over a letter Unicode has no
    // precomposed form for.
    doc = std::make_unique<TexDocument>();
    ASSERT_NO_FATAL_FAILURE(doc->Typeset("\\nopagenumbers a \\'{} b \\'x c\\par\\bye\n"));
    ASSERT_EQ(sel.Open(doc->dvi, 0), 1);
    EXPECT_EQ(Drag(Boxes("a´b´xc")), "a ´ b ´x c");
}

// ---- the layouts on their own

TEST(FontText, FontsNamedByTheirLayout) {
    using vrcodes::FontText;
    const struct {
        const char* name;
        FontText layout;
    } cases[] = {
        {"cmr10", FontText::kOT1},           {"cmbx12", FontText::kOT1},
        {"cmss8", FontText::kOT1},           {"cmcsc10", FontText::kOT1},
        {"cmti10", FontText::kOT1Italic},    {"cmtt10", FontText::kOT1Typewriter},
        {"cmsltt10", FontText::kOT1Typewriter}, {"rm-lmr10", FontText::kOT1},
        {"rm-lmri10", FontText::kOT1Italic}, {"rm-lmtt10", FontText::kOT1Typewriter},
        {"rm-lmtcsc10", FontText::kOT1Typewriter}, {"cmmi7", FontText::kOML},
        {"lmmib10", FontText::kOML},         {"cmbsy10", FontText::kOMS},
        {"lmsy10", FontText::kOMS},          {"cmex10", FontText::kOMX},
        {"msam10", FontText::kMsam},         {"msbm7", FontText::kMsbm},
        // T1 and Korean fonts go by their drawing; names without a size are
        // no TeX font of these families.
        {"ecrm1000", FontText::kAsDrawn},    {"ec-lmr10", FontText::kAsDrawn},
        {"cmr", FontText::kAsDrawn},         {"cmrx10", FontText::kAsDrawn},
        {"nanummjm2c", FontText::kAsDrawn},  {"", FontText::kAsDrawn},
    };
    for (const auto& c : cases) EXPECT_EQ(vrcodes::FontTextOf(c.name), c.layout) << c.name;
    EXPECT_EQ(vrcodes::FontTextOf(nullptr), FontText::kAsDrawn);
}

TEST(FontText, CodesOfEachLayout) {
    using vrcodes::FontText;
    const struct {
        FontText layout;
        unsigned char code;
        unsigned short text;
    } cases[] = {
        {FontText::kOT1, 0x7B, 0x2013},          {FontText::kOT1, 0x7C, 0x2014},
        {FontText::kOT1, 0x5C, 0x201C},          {FontText::kOT1, 0x22, 0x201D},
        {FontText::kOT1, 0x19, 0x00DF},          {FontText::kOT1, 0x1D, 0x00C6},
        {FontText::kOT1, 0x10, 0x0131},          {FontText::kOT1, '$', '$'},
        {FontText::kOT1, 0x20, 0x0337},          {FontText::kOT1, 0x80, 0},
        {FontText::kOT1Italic, '$', 0x00A3},     {FontText::kOT1Typewriter, 0x22, '"'},
        {FontText::kOT1Typewriter, 0x5C, '\\'},  {FontText::kOT1Typewriter, 0x7B, '{'},
        {FontText::kOT1Typewriter, 0x20, 0x2423}, {FontText::kOT1Typewriter, 0x0D, '\''},
        {FontText::kOML, 11, 0x03B1},            {FontText::kOML, 0, 0x0393},
        {FontText::kOML, 'x', 'x'},              {FontText::kOML, 0x7F, 0},
        {FontText::kOMS, 0, 0x2212},             {FontText::kOMS, 20, 0x2264},
        {FontText::kOMS, 50, 0x2208},            {FontText::kOMS, 55, 0},
        {FontText::kOMX, 0x50, 0x2211},          {FontText::kOMX, 0x58, 0x2211},
        {FontText::kOMX, 0x30, 0},               {FontText::kOMX, 0x70, 0x221A},
        {FontText::kMsam, 0x36, 0x2A7D},         {FontText::kMsbm, 'R', 0x211D},
        {FontText::kMsbm, 'A', 'A'},             {FontText::kMsbm, 0x0A, 0},
        {FontText::kAsDrawn, 0x7B, 0x7B},        {FontText::kOMS, 0x80, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vrcodes::FontTextChar(c.layout, c.code), c.text) << int(c.layout) << " " << int(c.code);
}

TEST(FontText, MarksJoinTheirLetters) {
    const struct {
        unsigned short mark, letter, joined;
    } cases[] = {
        {0x00B4, 'e', 0x00E9}, {0x00A8, 'u', 0x00FC}, {0x02C6, 'o', 0x00F4}, {0x00B8, 'c', 0x00E7},
        {0x02DC, 'n', 0x00F1}, {0x00A8, 0x0131, 0x00EF}, {0x02C7, 0x0237, 0x01F0}, {0x02DA, 'A', 0x00C5},
        {0x02DD, 'o', 0x0151}, {0x02DB, 'a', 0x0105}, {0x0337, 'L', 0x0141}, {0x0338, '=', 0x2260},
        {0x0338, 0x2208, 0x2209}, {0x00B4, 'x', 0}, {0x00B4, 0x00E9, 0}, {'a', 'e', 0},
        {0x0338, 0x0131, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vrcodes::JoinAccent(c.mark, c.letter), c.joined) << c.mark << " " << c.letter;
    EXPECT_TRUE(vrcodes::IsAccentMark(0x02C7));
    EXPECT_FALSE(vrcodes::IsAccentMark('^'));
    EXPECT_EQ(vrcodes::LoneMark(0x00B4), 0x00B4);
    EXPECT_EQ(vrcodes::LoneMark(0x0338), 0);
    // Over the letter's middle, on its baseline or raised by at most its
    // height; a zero-width mark by its left edge.
    EXPECT_TRUE(vrcodes::MarkCovers(100, 500, 50, 90, 500, 80, 60));
    EXPECT_TRUE(vrcodes::MarkCovers(110, 440, 50, 90, 500, 80, 60));
    EXPECT_FALSE(vrcodes::MarkCovers(110, 430, 50, 90, 500, 80, 60));
    EXPECT_FALSE(vrcodes::MarkCovers(160, 500, 50, 90, 500, 80, 60));
    EXPECT_TRUE(vrcodes::MarkCovers(90, 500, 0, 90, 500, 80, 60));
    EXPECT_FALSE(vrcodes::MarkCovers(89, 500, 0, 90, 500, 80, 60));
}

} // namespace
