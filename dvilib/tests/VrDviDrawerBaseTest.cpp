// The page interpreter on pages built byte by byte: registers, stack, fonts,
// rules, specials, malformed instructions, virtual-font packets and the
// WinFont rule.
#include <gtest/gtest.h>

#include <filesystem>

#include "DrawerFixtures.h"

using namespace dvitest;
using Drawer = RecordingDrawer;
using MalformedDviError = VrDviDrawerBase::MalformedDviError;

namespace {

const int kWide = Scaled10pt(kWideFix);
const int kHigh = Scaled10pt(kHeightFix);
const int kDeep = Scaled10pt(kDepthFix);

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        fonts.Tfm("tiny", FullTfm());
        fonts.MapLine("tiny { encoding = 'raw' }");
    }
    // Opens a one-page document of the body with the font "tiny" as number
    // 5 (and any others given).
    void Load(const Bytes& body, std::vector<std::pair<int, std::string>> defs = {{5, "tiny"}}) {
        std::string path = fonts.dir.File("page" + std::to_string(serial++) + ".dvi");
        WriteDocument(path, defs, body.b);
        fonts.Attach(dvi, path);
        ASSERT_EQ(dvi.GetMode(), ModeComplete) << dvi.GetErrorText().c_str();
        dvi.SetWinFont(0);
        ASSERT_EQ(drawer.Open(dvi, 0), 1);
    }

    FontFolder fonts;
    VrDvi dvi;
    Drawer drawer;
    int serial = 0;
};

} // namespace

TEST_F(PageTest, MovementsOfEveryOperandSize) {
    using namespace dviop;
    struct Case {
        Bytes moves;
        int h, v;
    } cases[] = {
        {Bytes().Op(Right1).S(-3, 1), -3, 0},
        {Bytes().Op(Right2).S(-300, 2), -300, 0},
        {Bytes().Op(Right3).S(-70000, 3), -70000, 0},
        {Bytes().Op(Right4).S(-7000000, 4), -7000000, 0},
        {Bytes().Op(W1).S(5, 1).Op(W0), 10, 0},
        {Bytes().Op(W3).S(0x7FFFFF, 3).Op(W0), 2 * 0x7FFFFF, 0},
        {Bytes().Op(X2).S(-2, 2).Op(X0).Op(X0), -6, 0},
        {Bytes().Op(X4).S(123456789, 4).Op(W1).S(1, 1).Op(X0), 2 * 123456789 + 1, 0},
        {Bytes().Op(Down1).S(-128, 1), 0, -128},
        {Bytes().Op(Down4).S(2000000000, 4).Op(Down4).S(2000000000, 4), 0, int32_t(4000000000u)},  // wraps
        {Bytes().Op(Y2).S(7, 2).Op(Y0).Op(Z1).S(-1, 1).Op(Z0), 0, 12},
        {Bytes().Op(Y4).S(-9, 4).Op(Z3).S(-8388608, 3).Op(Y0).Op(Z0), 0, -18 - 2 * 8388608},
    };
    for (auto& c : cases) {
        drawer.events.clear();
        Load(Bytes(c.moves).Rule(1, 1));
        EXPECT_EQ(drawer.Draw(-1), 1);
        ASSERT_EQ(drawer.Rules().size(), 1u);
        EXPECT_EQ(drawer.Rules()[0].h, c.h) << drawer.Rules()[0];
        EXPECT_EQ(drawer.Rules()[0].v, c.v) << drawer.Rules()[0];
    }
}

TEST_F(PageTest, CharactersRulesStackAndSlices) {
    using namespace dviop;
    Bytes body;
    body.Op(Right2).S(100, 2)
        .Op(FntNum0 + 5).Op('A')                // set: drawn at 100, moves on
        .Op(Push).Op(Down1).S(50, 1)
        .Op(Put1).U('B', 1)                     // put: does not move
        .Op(Set2).U('C', 2)
        .Rule(20, 30, true)                     // set_rule moves by its width
        .Rule(0, 30).Rule(30, -1)               // empty rules draw nothing
        .Op(Pop)
        .Op(Put2).U('D', 2);
    Load(body);
    ASSERT_EQ(drawer.Draw(0), 0);
    EXPECT_TRUE(drawer.events.empty());
    EXPECT_EQ(drawer.Draw(-1), 1);
    std::vector<DrawEvent> want = {
        {'c', 100, 0, 'A', kWide, kHigh, kDeep, 0, {}},
        {'c', 100 + kWide, 50, 'B', kWide, kHigh, kDeep, 0, {}},
        {'c', 100 + kWide, 50, 'C', kWide, kHigh, kDeep, 0, {}},
        {'r', 100 + 2 * kWide, 50, 0, 20, 30, 0, 0, {}},
        {'c', 100 + kWide, 0, 'D', kWide, kHigh, kDeep, 0, {}},
    };
    ASSERT_EQ(drawer.events.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        want[i].offset = drawer.events[i].offset;
        EXPECT_EQ(drawer.events[i], want[i]) << i;
    }
    // The offsets point at the instructions in the page's bytes.
    EXPECT_EQ(drawer.events[1].offset, drawer.events[0].offset + 4);

    // The same page drawn an instruction at a time gives the same events.
    auto all = drawer.events;
    drawer.events.clear();
    ASSERT_EQ(drawer.Open(dvi, 0), 1);
    int calls = 0;
    while (drawer.Draw(1) == 0) ++calls;
    EXPECT_EQ(drawer.events, all);
    EXPECT_GT(calls, 10);
    // Drawing on after the end does nothing.
    EXPECT_EQ(drawer.Draw(-1), 1);
    EXPECT_EQ(drawer.events, all);
}

TEST_F(PageTest, FontSelection) {
    using namespace dviop;
    // Font 5 exists, 6 is defined but has no metric file, 9 is not defined.
    Bytes body;
    body.Op(FntNum0 + 5).Op('A')
        .Op(FntNum0 + 6).Op('A').Op(Set1).U('A', 1)
        .Rule(1, 1)                               // h unchanged by the skipped sets
        .Fnt(5).Op('B').Op(Fnt1).U(9, 1).Op('A')
        .Fnt(5).Op(Set2).U(300, 2)                // not in the font: skipped, no move
        .Rule(1, 1);
    Load(body, {{5, "tiny"}, {6, "missing"}});
    drawer.Draw(-1);
    auto chars = drawer.Chars();
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].h, 0);
    EXPECT_EQ(chars[1].h, kWide);
    auto rules = drawer.Rules();
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].h, kWide);
    EXPECT_EQ(rules[1].h, 2 * kWide);
}

TEST_F(PageTest, StackDepthLimits) {
    using namespace dviop;
    Bytes ok;
    for (int i = 0; i < 500; ++i) ok.Op(Push).Op(Right1).S(1, 1);
    ok.Rule(1, 1);
    for (int i = 0; i < 500; ++i) ok.Op(Pop);
    ok.Rule(1, 1);
    Load(ok);
    EXPECT_EQ(drawer.Draw(-1), 1);
    ASSERT_EQ(drawer.Rules().size(), 2u);
    EXPECT_EQ(drawer.Rules()[0].h, 500);
    EXPECT_EQ(drawer.Rules()[1].h, 0);

    Bytes over;
    for (int i = 0; i < 501; ++i) over.Op(Push);
    Load(over);
    EXPECT_THROW(drawer.Draw(-1), MalformedDviError);
    // The pointer stays on the failing push.
    const int at = drawer.GetInstructionOffset();
    EXPECT_EQ(drawer.GetPageBytes()[at], Push);
    EXPECT_THROW(drawer.Draw(1), MalformedDviError);
    EXPECT_EQ(drawer.GetInstructionOffset(), at);

    Load(Bytes().Op(Push).Op(Pop).Op(Pop));
    EXPECT_THROW(drawer.Draw(-1), MalformedDviError);
}

TEST_F(PageTest, InstructionsThatCannotBeExecuted) {
    using namespace dviop;
    Load(Bytes().Op(Nop));
    // Opcodes the interpreter refuses, with room for any operands.
    for (int op : {int(Set3), int(Set4), int(Put3), int(Put4), int(Fnt3), int(Fnt4), 247, 248, 249, 250, 251, 252, 253, 254, 255}) {
        std::vector<unsigned char> b(64, 0);
        b[0] = (unsigned char)op;
        EXPECT_EQ(drawer.ProcessInstruction(b.data(), b.size()), -1) << op;
    }
    // Every instruction with operands, cut one byte short, is refused; whole,
    // it has its length.
    for (int op = 128; op < 247; ++op) {
        if (op == Set3 || op == Set4 || op == Put3 || op == Put4 || op == Fnt3 || op == Fnt4) continue;
        if (op == Push || op == Pop) continue;  // depend on the stack
        std::vector<unsigned char> b(64, 0);
        b[0] = (unsigned char)op;
        int whole = 1 + dviop::ParamLength(uint8_t(op));
        if (op >= Xxx1 && op <= Xxx4) b[size_t(whole - 1)] = 3, whole += 3;
        if (op >= FntDef1 && op <= FntDef4) b[size_t(whole - 1)] = 2, b[size_t(whole - 2)] = 1, whole += 3;
        EXPECT_EQ(drawer.ProcessInstruction(b.data(), size_t(whole)), whole) << op;
        EXPECT_EQ(drawer.ProcessInstruction(b.data(), size_t(whole - 1)), -1) << op;
    }
    // A special whose length runs past the bytes, even by a 4-byte length.
    unsigned char huge[] = {Xxx4, 0xFF, 0xFF, 0xFF, 0xF0, '#', 0, 4};
    EXPECT_EQ(drawer.ProcessInstruction(huge, sizeof huge), -1);
    // An xxx1 of 10 bytes is 12 long whatever the special does; a fnt_def4
    // with a = 3 and l = 5 is 27.
    std::vector<unsigned char> x = {Xxx1, 10};
    x.resize(12, 'x');
    EXPECT_EQ(drawer.ProcessInstruction(x.data(), x.size()), 12);
    std::vector<unsigned char> f = Bytes().Op(FntDef4).U(7, 4).U(0, 4).U(0, 4).U(0, 4).U(3, 1).U(5, 1).Text("abcdefgh").b;
    EXPECT_EQ(drawer.ProcessInstruction(f.data(), f.size()), 27);
    // Outside the open page, the one-argument form refuses.
    EXPECT_EQ(drawer.ProcessInstruction(x.data()), -1);
    // A closed drawer executes nothing.
    drawer.Close();
    EXPECT_EQ(drawer.ProcessInstruction(x.data(), x.size()), -1);
    EXPECT_EQ(drawer.Draw(-1), 1);
}

TEST_F(PageTest, MalformedPageInADocument) {
    // The reader scans past fnt3, which the interpreter refuses: drawing
    // stops there.
    Load(Bytes().Op(dviop::FntNum0 + 5).Op('A').Op(dviop::Fnt3).U(5, 3).Op('B'));
    EXPECT_THROW(drawer.Draw(-1), MalformedDviError);
    EXPECT_EQ(drawer.Chars().size(), 1u);
}

TEST_F(PageTest, OpenAndClose) {
    Load(Bytes().Op(dviop::FntNum0 + 5).Op('A'));
    EXPECT_EQ(drawer.IsWorking(), 1);
    EXPECT_EQ(drawer.IsWinFont(), 0);
    EXPECT_EQ(drawer.Open(dvi, 1), 0);
    EXPECT_EQ(drawer.Open(dvi, -1), 0);
    EXPECT_EQ(drawer.IsWorking(), 1);  // unchanged
    EXPECT_EQ(drawer.Draw(-1), 1);
    EXPECT_EQ(drawer.Chars().size(), 1u);
    // Reopening starts the page again with cleared registers.
    drawer.events.clear();
    ASSERT_EQ(drawer.Open(dvi, 0), 1);
    EXPECT_EQ(drawer.Draw(-1), 1);
    ASSERT_EQ(drawer.Chars().size(), 1u);
    EXPECT_EQ(drawer.Chars()[0].h, 0);
    drawer.Close();
    EXPECT_EQ(drawer.IsWorking(), 0);

    // The file lost the page's bytes after the scan: the page does not open.
    Load(Bytes().Op(dviop::Nop));
    drawer.Close();
    WriteFile(dvi.GetFileName().c_str(), {});
    EXPECT_EQ(drawer.Open(dvi, 0), 0);
    EXPECT_EQ(drawer.IsWorking(), 0);
    // The file is gone: the reader's error passes through, nothing changes.
    Load(Bytes().Op(dviop::Nop));
    std::filesystem::remove(dvi.GetFileName().c_str());
    EXPECT_THROW(drawer.Open(dvi, 0), FileOpenError);
    EXPECT_EQ(drawer.IsWorking(), 1);
}

TEST_F(PageTest, PageRewrittenAfterTheScanRunsPastItsEnd) {
    using namespace dviop;
    Load(Bytes().Op(FntNum0 + 5).Op('A').Op(Nop).Op(Nop).Op(Nop));
    // The last nops become a special whose text would run past the eop.
    auto bytes = ReadFile(dvi.GetFileName().c_str());
    const long end = dvi.GetPageEndOffset(0);
    ASSERT_EQ(bytes[size_t(end)], Eop);
    bytes[size_t(end - 2)] = Xxx1;
    bytes[size_t(end - 1)] = 10;
    WriteFile(dvi.GetFileName().c_str(), bytes);
    ASSERT_EQ(drawer.Open(dvi, 0), 1);
    EXPECT_THROW(drawer.Draw(-1), MalformedDviError);
    EXPECT_EQ(drawer.Chars().size(), 1u);
    EXPECT_EQ(drawer.GetPageBytes()[drawer.GetInstructionOffset()], Xxx1);
}

TEST_F(PageTest, BinaryFontSpecial) {
    auto special = [](std::initializer_list<int> bytes) {
        std::string t;
        for (int b : bytes) t.push_back(char(b));
        return t;
    };
    EXPECT_EQ(VrDviDrawerBase::GetDrawingResolution(dvi), VrDviDrawerBase::kDefaultDrawingResolution);
    Bytes body;
    body.Special(special({'#', 0, 4, 0xFF, 0xF4}))            // width -12
        .Special(special({'#', 0, 0, 0x02, 0x58}))            // resolution 600
        .Special(special({'#', 0, 3, 0, 0, 0, 2}))            // face 2
        .Special(special({'#', 0, 6}))                        // bold
        .Special(special({'#', 0, 8}))                        // italic
        .Special(special({'#', 0, 9}))                        // not italic
        .Special(special({'#', 0, 5, 0x00}))                  // height cut short: ignored
        .Special(special({'#', 0, 3, 0, 0}))                  // face cut short: ignored
        .Special(special({'#', 0}))                           // no code: ignored
        .Special("not a font special");
    Load(body);
    dvi.SetSpecialValue(0);  // the scan took code 0 already; the drawer sets it again
    drawer.Draw(-1);
    const auto& st = dvi.GetFontSpecialState();
    EXPECT_EQ(st.width, 12);
    EXPECT_EQ(st.escapement, 900);
    EXPECT_EQ(st.faceIndex, 2);
    EXPECT_EQ(st.bold, 1);
    EXPECT_EQ(st.italic, 0);
    EXPECT_EQ(st.height, 0);
    EXPECT_EQ(dvi.GetSpecialValue(), 600);
    EXPECT_EQ(VrDviDrawerBase::GetDrawingResolution(dvi), 600);
    EXPECT_EQ(drawer.Specials().size(), 10u);

    Load(Bytes().Special(special({'#', 0, 5, 0xFF, 0xF9})).Special(special({'#', 0, 7})));
    drawer.Draw(-1);
    EXPECT_EQ(st.height, 7);
    EXPECT_EQ(st.escapement, 2700);
    EXPECT_EQ(st.bold, 0);
    Load(Bytes().Special(special({'#', 0, 11, 0xFF, 0x38})).Special(special({'#', 0, 4, 0, 3})));
    drawer.Draw(-1);
    EXPECT_EQ(st.width, 3);
    EXPECT_EQ(st.escapement, 0);  // a positive width resets it
}

// WinFont documents have no fonts: every set and put is drawn, with the size
// the "#" specials set, and only explicit movements place the characters.
TEST_F(PageTest, WinFontModeDrawsWithoutFonts) {
    using namespace dviop;
    Bytes body;
    body.Special(std::string("#\0\4\0\x20", 5)).Special(std::string("#\0\5\0\x30", 5))
        .Op(0x41).Op(Set2).U(0xAC00, 2).Op(Right2).S(500, 2).Op(Put2).U(0xD7A3, 2).Op(0x42);
    Load(body, {});
    ASSERT_EQ(dvi.GetNItrnFont(), 0);
    dvi.SetWinFont(1);
    ASSERT_EQ(drawer.Open(dvi, 0), 1);
    EXPECT_EQ(drawer.IsWinFont(), 1);
    drawer.Draw(-1);
    auto chars = drawer.Chars();
    ASSERT_EQ(chars.size(), 4u);
    const unsigned codes[] = {0x41, 0xAC00, 0xD7A3, 0x42};
    const int hs[] = {0, 0, 500, 500};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(chars[i].code, codes[i]);
        EXPECT_EQ(chars[i].h, hs[i]);
        EXPECT_EQ(chars[i].a, 0x20);  // the special's width and height
        EXPECT_EQ(chars[i].b, 0x30);
        EXPECT_EQ(chars[i].c, 0);
    }
}

// Virtual fonts, from VF files written byte by byte: local font 0 is "tiny".
namespace {

// A VF file with one packet per (code, packet bytes).
std::vector<unsigned char> MakeVf(const std::vector<std::pair<int, std::vector<unsigned char>>>& packets,
                                  const std::string& local = "tiny") {
    Bytes b;
    b.Op(247).U(202, 1).U(0, 1).U(0, 4).U(10u << 20, 4);
    b.Op(dviop::FntDef1).U(0, 1).U(0, 4).U(1u << 20, 4).U(10u << 20, 4).U(0, 1).U(uint32_t(local.size()), 1).Text(local);
    for (const auto& [code, packet] : packets) {
        b.Op(242).U(uint32_t(packet.size()), 4).U(uint32_t(code), 4).U(kWideFix, 4);
        b.Append(packet);
    }
    b.Op(248);
    while (b.b.size() % 4) b.Op(248);
    return b.b;
}

} // namespace

TEST_F(PageTest, VirtualCharacterPackets) {
    using namespace dviop;
    // 'A': a push/pop pair around a moved 'B', then a rule below; 'B': a pop
    // more than it pushes; 'C': pushes it leaves behind.
    fonts.Tfm("vfont", MakeTfm('A', 'C', [](int) { return 2; }));
    fonts.Vf("vfont", MakeVf({
        {'A', Bytes().Op(Push).Op(Right4).S(1000, 4).Op('B').Op(Pop).Op(Down4).S(200, 4).Rule(5, 6, true).Op('A').b},
        {'B', Bytes().Op(Down4).S(7, 4).Op('B').Op(Pop).Op('A').b},
        {'C', Bytes().Op(Push).Op(Push).Op(Right4).S(9, 4).Op('C').b},
    }));
    Bytes body;
    body.Op(Down1).S(100, 1).Op(Push).Op(FntNum0 + 1)
        .Op('A')          // packet at (0, 100)
        .Op('B')          // at (kWide, 100): its pop ends the packet
        .Op('C')          // at (2 kWide, 100)
        .Op(W1).S(3, 1).Rule(1, 1)
        .Op(Pop)          // the page's own push
        .Rule(1, 1).Op(Pop);
    Load(body, {{1, "vfont"}});
    const VrDvi::ItrnFont* vf = dvi.GetExtFontIndex()[1];
    ASSERT_NE(vf, nullptr);
    ASSERT_TRUE(vf->IsVirtual());
    EXPECT_THROW(drawer.Draw(-1), MalformedDviError);  // the page's last pop: its stack is intact
    std::vector<std::pair<char, std::pair<int, int>>> got;
    for (const auto& e : drawer.events) got.push_back({e.kind == 'c' ? char(e.code) : 'r', {e.h, e.v}});
    // Packet distances are fix words of the virtual font's size.
    const int d1000 = Scaled10pt(1000), d200 = Scaled10pt(200), d6 = Scaled10pt(6);
    std::vector<std::pair<char, std::pair<int, int>>> want = {
        {'B', {d1000, 100}},
        {'r', {0, 100 + d200}},
        {'A', {d6, 100 + d200}},
        {'B', {kWide, 100 + Scaled10pt(7)}},
        {'C', {2 * kWide + Scaled10pt(9), 100}},
        {'r', {3 * kWide + 3, 100}},
        {'r', {0, 100}},  // after the page's pop
    };
    EXPECT_EQ(got, want);
}

TEST_F(PageTest, VirtualFontsNestTenDeep) {
    using namespace dviop;
    // v0 -> v1 -> ... -> v11 -> tiny; each packet draws a rule and sets 'A'
    // of the next font.
    const int chain = 12;
    for (int i = 0; i < chain; ++i) {
        std::string name = "v" + std::to_string(i);
        std::string next = i + 1 < chain ? "v" + std::to_string(i + 1) : "tiny";
        fonts.Tfm(name, MakeTfm('A', 'A', [](int) { return 2; }));
        fonts.Vf(name, MakeVf({{'A', Bytes().Rule(0x10000, 0x10000).Op('A').b}}, next));
    }
    Load(Bytes().Op(FntNum0).Op('A').Rule(2, 2), {{0, "v0"}});
    EXPECT_EQ(drawer.Draw(-1), 1);
    // Ten packets run; the eleventh level is dropped, and the outer set still
    // moves by the outer character's width.
    auto rules = drawer.Rules();
    ASSERT_EQ(rules.size(), 11u);
    EXPECT_TRUE(drawer.Chars().empty());
    EXPECT_EQ(rules.back().h, kWide);
    EXPECT_EQ(rules.back().a, 2);
}
