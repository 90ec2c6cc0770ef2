// Text selection: drags over documents typeset by TeX (two lines, either
// direction, beyond line ends, a column, an accent made by a virtual font),
// and the spacing, line-break and WinFont rules on pages built byte by byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DrawerFixtures.h"
#include "TexDocumentSupport.h"
#include "dvilib/VrDviSearch.h"
#include "dvilib/VrDviSelect.h"

using namespace dvitest;

namespace {

const char* kDocument = R"TEX(
\hsize=4in \parindent=0pt \nopagenumbers \baselineskip=14pt
\font\acc=accvf
Hello world again\par
Second line here\par
Caf{\acc E} au lait\par
Power x\raise3pt\hbox{2} end\par
\vfill\eject
\null\vfill\eject
\hbox{\vtop{\hsize=1in Left one\par Left two\par}\hskip 1in\vtop{\hsize=1in Right one\par Right two\par}}
\bye
)TEX";

// E of this font is cmr10's e with the acute accent (code 19) set over it
// by the packet; both share the instruction that sets E.
const char* kAccentVpl = R"VPL(
(DESIGNSIZE R 10.0)
(DESIGNUNITS R 10.0)
(MAPFONT D 0 (FONTNAME cmr10) (FONTDSIZE R 10.0))
(CHARACTER C E (CHARWD R 4.44) (CHARHT R 6.94)
   (MAP (PUSH) (MOVERIGHT R 0.8) (SETCHAR O 23) (POP) (SETCHAR C e)))
)VPL";

class TexSelect : public ::testing::Test {
protected:
    void SetUp() override {
        doc.VirtualFont("accvf", kAccentVpl);
        ASSERT_NO_FATAL_FAILURE(doc.Typeset(kDocument));
        ASSERT_EQ(doc.dvi.GetNPage(), 3);
    }

    // The box of a word found on a page (its first line).
    VrDviSearch::Rect Word(const char* text, int page) {
        VrDviSearch s;
        EXPECT_TRUE(s.FindString(text, &doc.dvi, 1, page, page)) << text;
        if (s.GetResultList().IsEmpty()) return {};
        return s.GetResultList().GetHead()->data.rectangles.GetHead()->data;
    }
    int Middle(const VrDviSearch::Rect& r) { return r.y + r.height / 2; }
    std::string Text() { return sel.GetSelectedString().c_str(); }

    TexDocument doc;
    VrDviSelect sel;
};

TEST_F(TexSelect, DragOverTwoLinesEitherWay) {
    ASSERT_EQ(sel.Open(doc.dvi, 0), 1);
    EXPECT_EQ(sel.GetCurPageNo(), 0);
    EXPECT_TRUE(sel.IsEmpty());
    const VrDviSearch::Rect world = Word("world", 0), line = Word("line", 0);
    // From inside the w to inside the last e of "line".
    const int wx = world.x + 1, wy = Middle(world);
    const int ex = line.x + line.width - 2, ey = Middle(line);
    sel.BeginSelect(wx, wy);
    sel.UpdateSelect(ex, ey);
    EXPECT_EQ(Text(), "world again\r\nSecond line");
    EXPECT_LT(sel.GetStartPos(), sel.GetEndPos());
    EXPECT_EQ(sel.GetCharInCommand(sel.GetStartPos()), 'w');
    EXPECT_EQ(sel.GetCharInCommand(sel.GetEndPos()), 'e');

    // One rectangle per line: from the w to the line's end, then from the
    // line's start to the e.
    DList<VrDviSelect::Rectangle>* rects = sel.GetSelRect();
    ASSERT_EQ(rects->Count(), 2);
    const VrDviSelect::Rectangle a = rects->GetHead()->data, b = rects->GetTail()->data;
    EXPECT_EQ(a.left, world.x);
    EXPECT_GT(a.right, world.x + world.width);
    EXPECT_LT(b.left, line.x);
    EXPECT_EQ(b.right, line.x + line.width - 1);
    EXPECT_LE(a.bottom, b.top);

    // Dragged the other way: the same text; the query puts the range in
    // order.
    sel.BeginSelect(ex, ey);
    sel.UpdateSelect(wx, wy);
    EXPECT_GT(sel.GetStartPos(), sel.GetEndPos());
    const int start = sel.GetStartPos(), end = sel.GetEndPos();
    EXPECT_EQ(Text(), "world again\r\nSecond line");
    EXPECT_EQ(sel.GetStartPos(), end);
    EXPECT_EQ(sel.GetEndPos(), start);
    EXPECT_EQ(sel.GetSelRect()->Count(), 2);

    // A copy answers the same, with its own range.
    VrDviSelect copy(sel);
    sel.Empty();
    EXPECT_EQ(std::string(copy.GetSelectedString().c_str()), "world again\r\nSecond line");
    EXPECT_EQ(Text(), "");
}

TEST_F(TexSelect, PointsBeyondTheEndOfLines) {
    ASSERT_EQ(sel.Open(doc.dvi, 0), 1);
    const VrDviSearch::Rect hello = Word("Hello", 0), second = Word("Second", 0);
    const int far = hello.x + 4 * 72 * 65536;
    // As the start, a point right of line 1 starts at line 2; as the end, a
    // point right of line 2 ends at its last character.
    sel.BeginSelect(far, Middle(hello));
    sel.UpdateSelect(far, Middle(second));
    EXPECT_EQ(Text(), "Second line here");
    // Left of a line: from its first character, back to the previous line's
    // last.
    sel.BeginSelect(hello.x - 65536 * 20, Middle(second));
    sel.UpdateSelect(far, Middle(second));
    EXPECT_EQ(Text(), "Second line here");
    sel.BeginSelect(far, Middle(second));
    sel.UpdateSelect(hello.x - 65536 * 20, Middle(second));
    EXPECT_EQ(Text(), "Second line here");
    // Between two lines the point belongs to the line below.
    const VrDviSearch::Rect here = Word("here", 0);
    sel.BeginSelect(here.x + 1, Middle(here));
    sel.UpdateSelect(hello.x + 1, (hello.y + hello.height + second.y) / 2);
    EXPECT_EQ(Text(), "Second line h");
}

TEST_F(TexSelect, SuperscriptGetsNeitherSpaceNorBreak) {
    ASSERT_EQ(sel.Open(doc.dvi, 0), 1);
    const VrDviSearch::Rect power = Word("Power", 0), end = Word("end", 0);
    sel.BeginSelect(power.x + 1, Middle(power));
    sel.UpdateSelect(end.x + end.width - 2, Middle(end));
    EXPECT_EQ(Text(), "Power x2end");
}

TEST_F(TexSelect, AccentOfAVirtualFontIsCopiedWithItsLetter) {
    ASSERT_EQ(sel.Open(doc.dvi, 0), 1);
    const VrDviSearch::Rect caf = Word("Caf", 0), lait = Word("lait", 0);
    sel.BeginSelect(caf.x + 1, Middle(caf));
    sel.UpdateSelect(lait.x + lait.width - 2, Middle(lait));
    EXPECT_EQ(Text(), "Café au lait");
    // Both characters of the packet sit at the position of the instruction
    // that set E; the accent comes first, and is joined into the letter.
    const int e = sel.GetNextCharPos(sel.GetStartPos(), 3);
    ASSERT_GT(e, 0);
    EXPECT_EQ(sel.GetCharInCommand(e), 0xB4);
    EXPECT_EQ(sel.GetNextCharPos(sel.GetStartPos(), 4), e);
    EXPECT_EQ(doc.PageBytes(0)[size_t(e)], 'E');
    // A range of just that position copies the whole letter.
    sel.SetRange(e, e);
    EXPECT_TRUE(sel.IsEmpty());
    sel.SetRange(e, sel.GetNextCharPos(e, 2));
    EXPECT_EQ(Text(), "é a");
}

TEST_F(TexSelect, CharUnderPoint) {
    ASSERT_EQ(sel.Open(doc.dvi, 0), 1);
    VrDviSearch s;
    ASSERT_TRUE(s.FindString("world", &doc.dvi, 1, 0, 0));
    const VrDviSearch::Result& r = s.GetResultList().GetHead()->data;
    const VrDviSearch::Rect world = r.rectangles.GetHead()->data, hello = Word("Hello", 0);
    EXPECT_EQ(sel.GetCharUnderPos(world.x + 1, Middle(world)), r.position);
    // The space between the words holds no character.
    EXPECT_EQ(sel.GetCharUnderPos((hello.x + hello.width + world.x) / 2, Middle(world)), -1);
    EXPECT_EQ(sel.GetCharUnderPos(world.x + 1, world.y - 65536 * 5), -1);
}

TEST_F(TexSelect, ColumnSelectionReturnsOneColumn) {
    ASSERT_EQ(sel.Open(doc.dvi, 2), 1);
    const VrDviSearch::Rect right = Word("Right", 2), left = Word("Left", 2);
    ASSERT_GT(right.x, left.x);
    // The lines of the right column share their baselines with the left
    // column; the drag stays in the right one.
    VrDviSearch s;
    ASSERT_TRUE(s.FindString("Right two", &doc.dvi, 1, 2, 2));
    const VrDviSearch::Rect last = s.GetResultList().GetHead()->data.rectangles.GetHead()->data;
    sel.BeginSelect(right.x + 1, Middle(right));
    sel.UpdateSelect(last.x + last.width - 2, Middle(last));
    EXPECT_EQ(Text(), "Right one\r\nRight two");
    DList<VrDviSelect::Rectangle>* rects = sel.GetSelRect();
    ASSERT_EQ(rects->Count(), 2);
    for (const auto& rc : *rects) EXPECT_GE(rc.left, right.x);
}

TEST_F(TexSelect, PageWithoutCharacters) {
    ASSERT_EQ(sel.Open(doc.dvi, 1), 1);
    sel.BeginSelect(0, 0);
    EXPECT_EQ(sel.UpdateSelect(1000000, 1000000), 0);
    EXPECT_EQ(sel.GetStartPos(), -1);
    EXPECT_EQ(sel.GetEndPos(), -1);
    EXPECT_TRUE(sel.IsEmpty());
    EXPECT_TRUE(sel.GetSelRect()->IsEmpty());
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(sel.GetCharUnderPos(0, 0), -1);
    EXPECT_EQ(sel.GetCharInCommand(0), 0);
    EXPECT_EQ(sel.GetNextCharPos(0, 0), -1);
    EXPECT_EQ(sel.GetNextCharPos(0, -2), -2);
    sel.SetRange(0, 50);
    EXPECT_TRUE(sel.GetSelRect()->IsEmpty());
    EXPECT_EQ(Text(), "");
    // Pages that do not exist.
    EXPECT_EQ(sel.Open(doc.dvi, 3), 0);
    EXPECT_EQ(sel.Open(doc.dvi, -1), 0);
    EXPECT_EQ(sel.GetStartPos(), -1);
}

TEST_F(TexSelect, FrozenSelectionKeepsItsRange) {
    ASSERT_EQ(sel.Open(doc.dvi, 0), 1);
    const VrDviSearch::Rect world = Word("world", 0), line = Word("line", 0);
    sel.BeginSelect(world.x + 1, Middle(world));
    sel.UpdateSelect(line.x + 1, Middle(line));
    const int start = sel.GetStartPos(), end = sel.GetEndPos();
    sel.SetFrozen(1);
    sel.UpdateSelect(world.x + 2, Middle(world));
    EXPECT_EQ(sel.GetStartPos(), start);
    EXPECT_EQ(sel.GetEndPos(), end);
    // Reopening clears the range.
    ASSERT_EQ(sel.Open(doc.dvi, 0), 1);
    EXPECT_EQ(sel.GetStartPos(), -1);
}

// ---- pages built byte by byte

constexpr int kW = 327680;  // FullTfm's width at 10 pt

class ByteSelect : public ::testing::Test {
protected:
    void SetUp() override {
        fonts.Tfm("plain", FullTfm());
        fonts.MapLine("plain { encoding = 'raw' }");
        fonts.Tfm("kdbc", FullTfm());
        fonts.MapLine("kdbc { encoding = 'raw', dbcfontname = 'Batang' }");
    }
    // One page (font 1 plain, 2 double-byte) starting in font 1 at
    // (0, 1000000); with noFonts, a document that defines none.
    void Page(const Bytes& body, bool noFonts = false) {
        Bytes b;
        if (!noFonts) b.Fnt(1);
        b.Op(dviop::Down4).S(1000000, 4).Append(body.b);
        std::vector<std::pair<int, std::string>> defs;
        if (!noFonts) defs = {{1, "plain"}, {2, "kdbc"}};
        const std::string path = fonts.dir.File("doc" + std::to_string(serial++) + ".dvi");
        WriteDocument(path, defs, b.b);
        fonts.Attach(dvi, path);
        ASSERT_EQ(dvi.GetMode(), ModeComplete);
        dvi.SetWinFont(noFonts ? 1 : 0);
        ASSERT_EQ(sel.Open(dvi, 0), 1);
    }
    std::string All() {
        sel.SetRange(0, 1 << 30);
        return sel.GetSelectedString().c_str();
    }

    FontFolder fonts;
    VrDvi dvi;
    VrDviSelect sel;
    int serial = 0;
};

TEST_F(ByteSelect, SpacesFromGaps) {
    using namespace dviop;
    struct Case {
        int gap;
        const char* text;
    } cases[] = {
        {kW / 3, "a b"},       // a third of the letter's width: a space
        {kW / 3 - 1, "ab"},    // less: none
        {0, "ab"},
        {-kW / 2, "ab"},       // overlapping
    };
    for (const Case& c : cases) {
        ASSERT_NO_FATAL_FAILURE(Page(Bytes().Op('a').Op(Right4).S(c.gap, 4).Op('b')));
        EXPECT_EQ(All(), c.text) << c.gap;
    }
}

TEST_F(ByteSelect, LineBreaksAndSharedBaselines) {
    using namespace dviop;
    const int ht = Scaled10pt(kHeightFix);
    struct Case {
        int down;
        const char* text;
    } cases[] = {
        {ht + 1, "a\r\nb"},  // more than the height below: a new line
        {ht, "ab"},          // within the height: a sub- or superscript
        {-ht * 3, "ab"},     // above: nothing
    };
    for (const Case& c : cases) {
        ASSERT_NO_FATAL_FAILURE(Page(Bytes().Op('a').Op(Down4).S(c.down, 4).Op(Right4).S(kW, 4).Op('b')));
        EXPECT_EQ(All(), c.text) << c.down;
    }
}

TEST_F(ByteSelect, KoreanAndLatinTextInUtf8) {
    using namespace dviop;
    // Two syllables 20 pt apart, then a Latin capital beyond ASCII (U+00C9,
    // raw 201) with the gap rule of ASCII, and z.
    Bytes b;
    b.Fnt(2).Op(Set1).U(0xB0, 1).Op(Set1).U(0xA1, 1).Op(Right4).S(20 * 65536, 4);
    b.Op(Set1).U(0xB3, 1).Op(Set1).U(0xAA, 1).Fnt(1).Op(Set1).U(201, 1).Op('z');
    ASSERT_NO_FATAL_FAILURE(Page(b));
    // The gap is measured from the last character copied.
    EXPECT_EQ(All(), "가 나Éz");
    EXPECT_EQ(sel.GetCharInCommand(sel.GetNextCharPos(0, 0)), 0xAC00);
}

TEST_F(ByteSelect, WinFontRowsGoByX) {
    using namespace dviop;
    // No fonts: characters come with the "#" special's size (width 30,
    // height 40 in units of 300 dpi) and are placed by explicit moves. The
    // row is drawn right to left.
    Bytes b;
    b.Special(std::string("#\0\x04\0\x1E", 5)).Special(std::string("#\0\x05\0\x28", 5));
    b.Op(Right4).S(200, 4).Op('c').Op(Right4).S(-100, 4).Op('b').Op(Right4).S(-30, 4).Op('a');
    // A second row 100 units lower: after W a gap of two widths and a unit
    // is no space, after the narrow i a gap of a unit is.
    b.Op(Down4).S(100, 4).Op('d').Op(Right4).S(40, 4).Op('W').Op(Right4).S(80, 4).Op('x');
    b.Op(Right4).S(30, 4).Op('i').Op(Right4).S(31, 4).Op('k');
    ASSERT_NO_FATAL_FAILURE(Page(b, true));
    EXPECT_TRUE(sel.IsWinFont());
    // Reading order, positions renumbered: a b c on the first row.
    EXPECT_EQ(sel.GetNextCharPos(0, 0), 1);
    EXPECT_EQ(sel.GetCharInCommand(1), 'a');
    EXPECT_EQ(sel.GetCharInCommand(2), 'b');
    EXPECT_EQ(sel.GetCharInCommand(3), 'c');
    // a at 70, b at 100, c at 200: c is more than two widths past b.
    EXPECT_EQ(All(), "ab c\r\ndWxi k");

    // With a device registered (96 dpi at 100 %), coordinates are its
    // pixels: 96 / 300 of the units.
    VrDvi::DeviceSlot slot;
    slot.used = 1, slot.dpiX = 96, slot.dpiY = 96, slot.zoom = fpreal4(10000);
    dvi.SetDeviceSlot(0, slot);
    ASSERT_EQ(sel.Open(dvi, 0), 1);
    ASSERT_EQ(sel.GetCharInCommand(1), 'a');
    EXPECT_EQ(sel.GetCharUnderPos(int(70 * 0.32) + 1, int(1000000 * 0.32) - 1), 1);
    EXPECT_EQ(sel.GetCharUnderPos(70 + 1, 1000000 - 1), -1);

    // Keeping the drawing order: a row's index from 1 plus 10000 times its
    // baseline scaled once more (320000 x 0.32).
    sel.SetKeepDrawingOrder(1);
    ASSERT_EQ(sel.Open(dvi, 0), 1);
    const int row = 10000 * 102400;
    EXPECT_EQ(sel.GetNextCharPos(0, 0), row + 1);
    EXPECT_EQ(sel.GetCharInCommand(row + 1), 'c');
    EXPECT_EQ(sel.GetCharInCommand(row + 3), 'a');
    EXPECT_EQ(sel.GetCharInCommand(10000 * 102410 + 1), 'd');
    EXPECT_EQ(All(), "cba\r\ndWxi k");
}

TEST_F(ByteSelect, MalformedPageThrowsOutOfOpen) {
    Bytes b;
    b.Op('a').Op(dviop::Pop);
    const std::string path = fonts.dir.File("bad.dvi");
    WriteDocument(path, {{1, "plain"}}, Bytes().Fnt(1).Append(b.b).b);
    fonts.Attach(dvi, path);
    ASSERT_EQ(dvi.GetMode(), ModeComplete);
    dvi.SetWinFont(0);
    EXPECT_THROW(sel.Open(dvi, 0), VrDviDrawerBase::MalformedDviError);
    EXPECT_EQ(sel.GetCharUnderPos(0, 999999), -1);
    EXPECT_EQ(All(), "");
}

} // namespace
