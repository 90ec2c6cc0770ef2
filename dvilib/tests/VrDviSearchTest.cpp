// Text search: phrases in documents typeset by TeX (page, position, line
// breaks, case, absence, hit order), and the matcher's rules on pages built
// byte by byte (blanks, overlaps, fall-backs, box merging, symbol codes,
// UTF-8 text, the result cap).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DrawerFixtures.h"
#include "TexDocumentSupport.h"
#include "dvilib/VrDviSearch.h"

using namespace dvitest;

namespace {

// ---- documents typeset by TeX

const char* kDocument = R"TEX(
\hsize=4in \parindent=0pt \nopagenumbers
Searching for needles in haystacks.\par
The quick brown\hfil\break fox jumps over the lazy dog.\par
\vfill\eject
Another needle here, and a Needle there.\par
\vfill\eject
Nothing to see on this page.\par
\vfill\eject
The last needle.\par
\bye
)TEX";

class TexSearch : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(doc.Typeset(kDocument)); }

    std::vector<const VrDviSearch::Result*> Hits() {
        std::vector<const VrDviSearch::Result*> out;
        for (const VrDviSearch::Result& r : search.GetResultList()) out.push_back(&r);
        return out;
    }

    TexDocument doc;
    VrDviSearch search;
};

TEST_F(TexSearch, PhraseFoundOnItsPageAtTheInstructionThatDrawsIt) {
    ASSERT_EQ(doc.dvi.GetNPage(), 4);
    ASSERT_TRUE(search.FindString("lazy dog", &doc.dvi, 1, -10000, -10000));
    auto hits = Hits();
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0]->page, 0);
    EXPECT_EQ(hits[0]->length, 7);
    // The position is the offset of the set_char of its first letter.
    std::vector<unsigned char> bytes = doc.PageBytes(0);
    ASSERT_LT(size_t(hits[0]->position), bytes.size());
    EXPECT_EQ(bytes[size_t(hits[0]->position)], 'l');
    // One line, one box, with some width and height.
    ASSERT_EQ(hits[0]->rectangles.Count(), 1);
    const VrDviSearch::Rect& box = hits[0]->rectangles.GetHead()->data;
    EXPECT_GT(box.width, 0);
    EXPECT_GT(box.height, 0);
    EXPECT_TRUE(hits[0]->characters.IsEmpty());
}

TEST_F(TexSearch, PhraseAcrossALineBreakGivesABoxPerLine) {
    ASSERT_TRUE(search.FindString("brown fox", &doc.dvi, 1, -10000, -10000));
    auto hits = Hits();
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0]->page, 0);
    ASSERT_EQ(hits[0]->rectangles.Count(), 2);
    const VrDviSearch::Rect first = hits[0]->rectangles.GetHead()->data;
    const VrDviSearch::Rect second = hits[0]->rectangles.GetTail()->data;
    EXPECT_GE(second.y, first.y + first.height);  // the next line, below
    EXPECT_LT(second.x, first.x);                 // at the start of that line
}

TEST_F(TexSearch, CaseAndAbsence) {
    struct Case {
        const char* text;
        int caseSensitive;
        int hits;
    } cases[] = {
        {"needle", 0, 4},       // needles, needle, Needle, needle
        {"needle", 1, 3},
        {"NEEDLE", 1, 0},
        {"BROWN  FOX", 0, 1},
        {"brown fox", 1, 1},
        {"Brown fox", 1, 0},
        {"zebra", 0, 0},
        {"needle haystack", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(search.FindString(c.text, &doc.dvi, c.caseSensitive, -10000, -10000), c.hits > 0) << c.text;
        EXPECT_EQ(search.GetResultList().Count(), c.hits) << c.text << " " << c.caseSensitive;
    }
}

TEST_F(TexSearch, HitsWalkThePagesInOrder) {
    ASSERT_TRUE(search.FindString("needle", &doc.dvi, 0, -10000, -10000));
    auto hits = Hits();
    ASSERT_EQ(hits.size(), 4u);
    const int pages[] = {0, 1, 1, 3};
    for (size_t i = 0; i < hits.size(); ++i) EXPECT_EQ(hits[i]->page, pages[i]) << i;
    EXPECT_LT(hits[1]->position, hits[2]->position);
    // Walking backwards from the last hit meets them in the reverse order.
    std::vector<int> back;
    for (size_t i = hits.size(); i-- > 0;) back.push_back(hits[i]->page);
    EXPECT_EQ(back, (std::vector<int>{3, 1, 1, 0}));

    // The next hit after page 1 is on page 3; the previous one before page 1
    // on page 0.
    ASSERT_TRUE(search.FindString("needle", &doc.dvi, 0, 2, -10000));
    EXPECT_EQ(search.GetResultList().Count(), 1);
    EXPECT_EQ(search.GetResultList().GetHead()->data.page, 3);
    ASSERT_TRUE(search.FindString("needle", &doc.dvi, 0, 0, 0));
    EXPECT_EQ(search.GetResultList().Count(), 1);
    EXPECT_EQ(search.GetResultList().GetHead()->data.page, 0);
    EXPECT_FALSE(search.FindString("needle", &doc.dvi, 0, 2, 2));
}

TEST_F(TexSearch, BadArgumentsLeaveTheResults) {
    ASSERT_TRUE(search.FindString("needle", &doc.dvi, 0, -10000, -10000));
    struct Case {
        VrDvi* dvi;
        const char* text;
        int first, last;
    } cases[] = {
        {nullptr, "needle", -10000, -10000},
        {&doc.dvi, nullptr, -10000, -10000},
        {&doc.dvi, "needle", 2, 1},
        {&doc.dvi, "needle", -1, 3},
        {&doc.dvi, "needle", 0, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(search.FindString(c.text, c.dvi, 0, c.first, c.last), 0);
        EXPECT_EQ(search.GetResultList().Count(), 4);
    }
    // A copy keeps its own results.
    VrDviSearch copy(search);
    search.ClearResultList();
    EXPECT_EQ(copy.GetResultList().Count(), 4);
    EXPECT_TRUE(search.GetResultList().IsEmpty());
}

// ---- pages built byte by byte

constexpr int kW = 327680;  // FullTfm's width at 10 pt: 0.5 x 10 pt

class ByteSearch : public ::testing::Test {
protected:
    void SetUp() override {
        fonts.Tfm("plain", FullTfm());
        fonts.MapLine("plain { encoding = 'raw' }");
        fonts.Tfm("mssym", FullTfm());
        fonts.MapLine("mssym { encoding = 'mswinsymbol-unicode' }");
        fonts.Tfm("kdbc", FullTfm());
        fonts.MapLine("kdbc { encoding = 'raw', dbcfontname = 'Batang' }");
    }

    // A document of these pages (font 1 plain, 2 symbol, 3 double-byte);
    // every page starts in font 1 at (0, 1000000).
    void Pages(const std::vector<Bytes>& pages) {
        const std::string path = fonts.dir.File("doc" + std::to_string(serial++) + ".dvi");
        const char* names[] = {"plain", "mssym", "kdbc"};
        {
            DviBuilder d(path);
            for (int k = 1; k <= 3; ++k) d.FontDef(dviop::FntDef2, unsigned(k), names[k - 1], 655360, 655360, 0);
            for (size_t i = 0; i < pages.size(); ++i) {
                d.Bop(int(i) + 1);
                Bytes start;
                start.Fnt(1).Op(dviop::Down4).S(1000000, 4);
                for (unsigned char c : start.b) d.Byte(c);
                for (unsigned char c : pages[i].b) d.Byte(c);
                d.Eop();
            }
            d.w.WritePostamble(100, 1000000, 1000000);
            for (int k = 1; k <= 3; ++k) d.FontDef(dviop::FntDef2, unsigned(k), names[k - 1], 655360, 655360, 0);
            d.w.WritePostPostamble();
            d.Close();
        }
        fonts.Attach(dvi, path);
        ASSERT_EQ(dvi.GetMode(), ModeComplete);
        dvi.SetWinFont(0);
    }
    void Page(const Bytes& body) { Pages({body}); }

    int Find(const std::string& text, int caseSensitive = 1) {
        search.FindString(text.c_str(), &dvi, caseSensitive, -10000, -10000);
        return search.GetResultList().Count();
    }
    const VrDviSearch::Result& First() { return search.GetResultList().GetHead()->data; }

    FontFolder fonts;
    VrDvi dvi;
    VrDviSearch search;
    int serial = 0;
};

TEST_F(ByteSearch, PatternRules) {
    ASSERT_NO_FATAL_FAILURE(Page(Bytes().Text("abcaBaaa")));
    struct Case {
        const char* text;
        int caseSensitive;
        int hits;
    } cases[] = {
        {"   ", 1, 0},   // blanks only: nothing to find
        {"", 1, 0},
        {"ab c", 1, 1},  // the blank is dropped
        {"a\tb\nc", 1, 1},
        {"Ab", 0, 2},    // ab and aB
        {"Ab", 1, 0},
        {"aB", 1, 1},
        {"aa", 1, 1},    // in aaa: hits do not overlap
        {"a", 1, 5},
        {"abcaBaaaa", 1, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(Find(c.text, c.caseSensitive), c.hits) << '"' << c.text << '"';
}

TEST_F(ByteSearch, FallBackStartsTheHitAtItsFirstCharacter) {
    // "aab" in "aaab": after the third a the match falls back to the border
    // "a"; the hit begins at the second a, not the first.
    ASSERT_NO_FATAL_FAILURE(Page(Bytes().Text("aaab")));
    ASSERT_EQ(Find("aab"), 1);
    std::vector<unsigned char> bytes(size_t(dvi.GetPageContents(0, nullptr)));
    dvi.GetPageContents(0, bytes.data());
    const int at = First().position;
    ASSERT_GT(at, 0);
    EXPECT_EQ(bytes[size_t(at)], 'a');
    EXPECT_EQ(bytes[size_t(at) - 1], 'a');
    EXPECT_EQ(bytes[size_t(at) + 2], 'b');
    ASSERT_EQ(First().rectangles.Count(), 1);
    EXPECT_EQ(First().rectangles.GetHead()->data.x, kW);
    EXPECT_EQ(First().rectangles.GetHead()->data.width, 3 * kW);

    // "abab" + "abac": the border of "aba" carries on into the hit.
    ASSERT_NO_FATAL_FAILURE(Page(Bytes().Text("xababacx")));
    ASSERT_EQ(Find("abac"), 1);
    EXPECT_EQ(First().rectangles.GetHead()->data.x, 3 * kW);
    EXPECT_EQ(First().rectangles.GetHead()->data.width, 4 * kW);
}

TEST_F(ByteSearch, BoxesMergePerLine) {
    using namespace dviop;
    // "abc" with gaps below twice the box height (10 pt = 2 x 327680): one
    // box; "de" continued on the next line: a second box; "fg" with a gap of
    // more than twice the height: a third.
    Bytes b;
    b.Op('a').Op(Right4).S(kW, 4).Op('b').Op(Right4).S(2 * kW - 1, 4).Op('c');
    b.Op(Down4).S(20 * 65536, 4).Op(Right4).S(-6 * kW + 1, 4).Op('d').Op('e');
    b.Op(Right4).S(2 * kW + 1, 4).Op('f').Op('g');
    ASSERT_NO_FATAL_FAILURE(Page(b));
    ASSERT_EQ(Find("abcdefg"), 1);
    std::vector<VrDviSearch::Rect> boxes;
    for (const auto& r : First().rectangles) boxes.push_back(r);
    ASSERT_EQ(boxes.size(), 3u);
    const int top = 1000000 - Scaled10pt(kHeightFix), height = Scaled10pt(kHeightFix) + Scaled10pt(kDepthFix);
    EXPECT_EQ(boxes[0].x, 0);
    EXPECT_EQ(boxes[0].y, top);
    EXPECT_EQ(boxes[0].width, 6 * kW - 1);
    EXPECT_EQ(boxes[0].height, height);
    EXPECT_EQ(boxes[1].y, top + 20 * 65536);
    EXPECT_EQ(boxes[1].width, 2 * kW);
    EXPECT_EQ(boxes[2].x, boxes[1].x + 4 * kW + 1);
}

TEST_F(ByteSearch, NoHitAcrossPages) {
    ASSERT_NO_FATAL_FAILURE(Pages({Bytes().Text("xxab"), Bytes().Text("cd"), Bytes().Text("abcd")}));
    ASSERT_EQ(Find("abcd"), 1);
    EXPECT_EQ(First().page, 2);
    EXPECT_EQ(Find("dab"), 0);
}

TEST_F(ByteSearch, SymbolCodesMatchTheirLowByte) {
    // 'A' in the symbol font reaches the matcher as U+F041.
    ASSERT_NO_FATAL_FAILURE(Page(Bytes().Fnt(2).Op('A').Op('b')));
    EXPECT_EQ(Find("Ab", 1), 1);
    EXPECT_EQ(Find("ab", 0), 1);
    EXPECT_EQ(Find("ab", 1), 0);
}

TEST_F(ByteSearch, TextInUtf8) {
    using namespace dviop;
    // B0 A1 (U+AC00) and B3 AA (U+B098) set in the double-byte font, then an
    // accented capital of the raw font (201, U+00C9).
    ASSERT_NO_FATAL_FAILURE(Page(Bytes().Fnt(3).Op(Set1).U(0xB0, 1).Op(Set1).U(0xA1, 1).Op(Set1).U(0xB3, 1)
                                     .Op(Set1).U(0xAA, 1).Fnt(1).Op(Set1).U(201, 1)));
    EXPECT_EQ(Find("가나"), 1);
    EXPECT_EQ(Find("나"), 1);
    EXPECT_EQ(Find("나가"), 0);
    EXPECT_EQ(Find("나É"), 1);
    // Text that is not UTF-8 of the 16-bit range finds nothing: code page
    // 949 bytes, a cut-off sequence, an overlong form, a surrogate, a
    // character beyond U+FFFF.
    for (const char* bad : {"\xB0\xA1", "\xEA\xB0", "\xC0\xAE", "\xED\xA0\x80", "\xF0\x9F\x98\x80", "a\xC9"})
        EXPECT_EQ(search.FindString(bad, &dvi, 0, -10000, -10000), 0) << bad;
    // Case folding beyond ASCII is the same everywhere: U+00C9 matches
    // U+00E9 when case does not matter.
    const unsigned short e[] = {0xE9, 0};
    EXPECT_TRUE(search.FindString(e, &dvi, 0, -10000, -10000));
    EXPECT_FALSE(search.FindString(e, &dvi, 1, -10000, -10000));
}

TEST(VrDviSearchFold, SimpleCaseMap) {
    const unsigned short pairs[][2] = {
        {'A', 'a'},       {'Z', 'z'},       {'a', 'a'},       {'@', '@'},       {0xC0, 0xE0},
        {0xD7, 0xD7},     {0xDE, 0xFE},     {0xDF, 0xDF},     {0x100, 0x101},   {0x101, 0x101},
        {0x130, 'i'}  ,   {0x139, 0x13A},   {0x147, 0x148},   {0x14A, 0x14B},   {0x178, 0xFF},
        {0x17D, 0x17E},   {0x391, 0x3B1},   {0x3A2, 0x3A2},   {0x3A9, 0x3C9},   {0x401, 0x451},
        {0x410, 0x430},   {0x42F, 0x44F},   {0xFF21, 0xFF41}, {0xAC00, 0xAC00}, {0xF041, 0xF041},
    };
    for (const auto& p : pairs) EXPECT_EQ(VrDviSearch::FoldCase(p[0]), p[1]) << std::hex << p[0];
}

TEST_F(ByteSearch, AtMostAThousandAndOneResults) {
    Bytes b;
    for (int i = 0; i < 2000; ++i) b.Op('x').Op(dviop::Right4).S(-kW, 4);
    ASSERT_NO_FATAL_FAILURE(Page(b));
    EXPECT_EQ(Find("x"), VrDviSearch::kMaxResults);
    EXPECT_EQ(VrDviSearch::kMaxResults, 1001);
}

TEST_F(ByteSearch, RecordedCharactersCarryTheFontSpecialState) {
    // "#" code 4: the width 12; code 6: bold.
    Bytes b;
    b.Op('a').Special(std::string("#\0\x04\0\x0C", 5)).Special(std::string("#\0\x06", 3)).Op('b');
    ASSERT_NO_FATAL_FAILURE(Page(b));
    dvi.GetFontSpecialState() = VrDvi::FontSpecialState();
    VrDviSearch records(1);
    ASSERT_TRUE(records.FindString("ab", &dvi, 1, -10000, -10000));
    const VrDviSearch::Result& r = records.GetResultList().GetHead()->data;
    EXPECT_TRUE(r.rectangles.IsEmpty());
    std::vector<VrDviSearch::CharRecord> chars;
    for (const auto& c : r.characters) chars.push_back(c);
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].code, 'a');
    EXPECT_EQ(chars[1].code, 'b');
    EXPECT_EQ(chars[0].x, 0);
    EXPECT_EQ(chars[1].x, kW);
    EXPECT_EQ(chars[1].bottom, 1000000 + Scaled10pt(kDepthFix));
    EXPECT_EQ(chars[0].style[1], 0);  // width before the special
    EXPECT_EQ(chars[1].style[1], 12);
    EXPECT_EQ(chars[1].style[4], 1);  // bold
}

TEST_F(ByteSearch, MalformedPageThrowsAndTheSearchGoesOn) {
    ASSERT_NO_FATAL_FAILURE(Pages({Bytes().Text("ab"), Bytes().Text("ab").Op(dviop::Pop)}));
    EXPECT_THROW(search.FindString("ab", &dvi, 1, -10000, -10000), VrDviDrawerBase::MalformedDviError);
    EXPECT_EQ(search.FindString("ab", &dvi, 1, 0, 0), 1);
    EXPECT_EQ(search.GetResultList().Count(), 1);
}

} // namespace
