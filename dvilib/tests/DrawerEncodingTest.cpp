// Characters of each font encoding as the interpreter hands them to PutChar:
// fonts whose encoding comes from a map file, Korean codes decoded as code
// page 949 (checked against iconv), multibyte characters broken by moves.
#include <gtest/gtest.h>
#include <iconv.h>

#include "DrawerFixtures.h"
#include "dvilib/CharCodes.h"

#include <iterator>

using namespace dvitest;

namespace {

const int kWide = Scaled10pt(kWideFix);
const int kHigh = Scaled10pt(kHeightFix);
const int kDeep = Scaled10pt(kDepthFix);

unsigned Iconv949(unsigned lead, unsigned trail) {
    iconv_t cd = iconv_open("UTF-32BE", "CP949");
    if (cd == iconv_t(-1)) return 0;
    char in[2] = {char(lead), char(trail)};
    unsigned char out[4] = {};
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = 2, ol = sizeof out;
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    return r == size_t(-1) || ol != 0 ? 0 : unsigned(out[0]) << 24 | out[1] << 16 | out[2] << 8 | out[3];
}

class EncodingTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Font numbers: 1 ot1, 2 8r, 3 raw, 4 xhanja1, 5 xsymb1, 6 MS symbol,
        // 7 HLaTeX subfont 4, 8 HLaTeX without digits, 9 double-byte,
        // 10 xhan series 1, 11 xhan series 2, 12 HLaTeX subfont 9, 13 T1,
        // 14 TS1, 15 OT1 as Unicode.
        const char* entries[][2] = {
            {"otone", "ot1"},        {"eightr", "8r-unicode"},   {"rawfont", "raw"},
            {"xhanja1", "xhanja-unicode"}, {"xsymb1", "xsymb-unicode"}, {"mssym", "mswinsymbol-unicode"},
            {"hlmj4", "hlatex"},     {"hlmj", "hlatex"},         {"kdbc", "raw"},
            {"xhan1", "xhan-unicode"}, {"xhan2", "xhan-unicode"}, {"hlmj9", "hlatex"},
            {"ecfont", "t1-unicode"}, {"tcfont", "ts1-unicode"}, {"lmfont", "ot1-unicode"},
        };
        for (int i = 0; i < int(std::size(entries)); ++i) {
            std::string name = entries[i][0];
            // xHan fonts give the first two bytes of a syllable no width.
            if (name.rfind("xhan", 0) == 0 && name != "xhanja1")
                fonts.Tfm(name, MakeTfm(0, 255, [](int c) { return c == 0x0E || c == 0x22 ? 1 : 2; }));
            else
                fonts.Tfm(name, FullTfm());
            std::string extra = name == "kdbc" ? ", dbcfontname = 'Batang'" : "";
            fonts.MapLine(name + " { encoding = '" + entries[i][1] + "'" + extra + " }");
            defs.push_back({i + 1, name});
        }
    }
    void TearDown() override { vrcodes::ClearCodeTables(); }

    // Draws the body; returns the characters.
    std::vector<DrawEvent> Run(const Bytes& body) {
        std::string path = fonts.dir.File("doc" + std::to_string(serial++) + ".dvi");
        WriteDocument(path, defs, body.b);
        fonts.Attach(dvi, path);
        EXPECT_EQ(dvi.GetMode(), ModeComplete);
        dvi.SetWinFont(0);
        drawer.events.clear();
        drawer.statesAtPut.clear();
        EXPECT_EQ(drawer.Open(dvi, 0), 1);
        EXPECT_EQ(drawer.Draw(-1), 1);
        return drawer.Chars();
    }
    // The codes PutChar gets for each code set in font k.
    std::vector<unsigned> Codes(int k, std::initializer_list<int> codes) {
        Bytes b;
        b.Fnt(k);
        for (int c : codes) b.Op(dviop::Set1).U(uint32_t(c), 1).Rule(1, 1);
        std::vector<unsigned> out;
        // A character that draws nothing leaves its rule alone.
        std::vector<DrawEvent> all = (Run(b), drawer.events);
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].kind == 'r') out.push_back(i > 0 && all[i - 1].kind == 'c' ? all[i - 1].code : 0);
        return out;
    }

    FontFolder fonts;
    std::vector<std::pair<int, std::string>> defs;
    VrDvi dvi;
    RecordingDrawer drawer;
    int serial = 0;
};

} // namespace

TEST_F(EncodingTest, SingleByteEncodings) {
    EXPECT_EQ(Codes(1, {0, 10, 32, 127, 65}), (std::vector<unsigned>{0xF0A1, 0xF0AD, 0xF0C3, 0xF0C4, 0xF041}));
    EXPECT_EQ(Codes(2, {2, 150, 65, 127}), (std::vector<unsigned>{0xFB01, 0x2013, 0x41, 0}));
    EXPECT_EQ(Codes(3, {0, 65, 200}), (std::vector<unsigned>{0, 65, 200}));
    EXPECT_EQ(Codes(6, {0x41, 0xFF}), (std::vector<unsigned>{0xF041, 0xF0FF}));
    // fi, a curly quote, e acute, and the SS and compound-word mark, which draw nothing.
    EXPECT_EQ(Codes(13, {0x1C, 0x27, 0xE9, 0xDF, 0x17}), (std::vector<unsigned>{0xFB01, 0x2019, 0xE9, 0, 0}));
    EXPECT_EQ(Codes(14, {0xB0, 0xBF, 0x24, 0x62}), (std::vector<unsigned>{0xB0, 0x20AC, 0x24, 0}));
    EXPECT_EQ(Codes(15, {0, 0x7B, 0x41, 0x20}), (std::vector<unsigned>{0x393, 0x2013, 0x41, 0}));
    // Width, height and depth come from the font for the code drawn.
    auto chars = Run(Bytes().Fnt(1).Op('A'));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].a, kWide);
    EXPECT_EQ(chars[0].b, kHigh);
    EXPECT_EQ(chars[0].c, kDeep);
}

TEST_F(EncodingTest, KoreanSubfontEncodings) {
    EXPECT_EQ(Codes(4, {0, 94}), (std::vector<unsigned>{Iconv949(0xCA, 0xA1), Iconv949(0xCB, 0xA1)}));
    EXPECT_EQ(Codes(5, {0, 1}), (std::vector<unsigned>{0, Iconv949(0xA1, 0xA1)}));
    EXPECT_EQ(Codes(7, {0x5E}), (std::vector<unsigned>{Iconv949(0xBB, 0xF5)}));
    EXPECT_EQ(Codes(8, {0x5E}), (std::vector<unsigned>{0}));        // no digits: nothing drawn
    EXPECT_EQ(Codes(12, {0x2D, 0x2E}), (std::vector<unsigned>{Iconv949(0xC8, 0xFE), 0}));
    EXPECT_EQ(Iconv949(0xBB, 0xF5), 0xC0C8u);  // a Hangul syllable
}

TEST_F(EncodingTest, DoubleByteCharacters) {
    using namespace dviop;
    // B0 A1 is one syllable, drawn at its lead byte with both widths; the
    // drawer sees state 1 while it draws it. An ASCII code goes on alone.
    auto chars = Run(Bytes().Fnt(9).Op(Set1).U(0xB0, 1).Op(Set1).U(0xA1, 1).Op('A'));
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].code, 0xAC00u);
    EXPECT_EQ(chars[0].h, 0);
    EXPECT_EQ(chars[0].a, 2 * kWide);
    EXPECT_EQ(drawer.statesAtPut[0], 1);
    EXPECT_EQ(chars[1].code, unsigned('A'));
    EXPECT_EQ(chars[1].h, 2 * kWide);
    EXPECT_EQ(drawer.statesAtPut[1], 0);
    EXPECT_EQ(drawer.GetMultiByteState(), 0);

    // A move between the bytes drops the lead byte; the next code starts afresh.
    chars = Run(Bytes().Fnt(9).Op(Set1).U(0xB0, 1).Op(Right1).S(5, 1).Op('A'));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].code, unsigned('A'));
    EXPECT_EQ(chars[0].h, kWide + 5);
    // So do a rule, a push and a font change; a special does not.
    for (Bytes between : {Bytes().Rule(1, 1), Bytes().Op(Push), Bytes().Fnt(9), Bytes().Special("x")}) {
        chars = Run(Bytes().Fnt(9).Op(Set1).U(0xB0, 1).Append(between.b).Op(Set1).U(0xA1, 1).Op('A'));
        bool joined = chars.size() == 2 && chars[0].code == 0xAC00;
        EXPECT_EQ(joined, between.b[0] == Xxx1) << int(between.b[0]);
    }
    // A pair that is no character draws nothing.
    chars = Run(Bytes().Fnt(9).Op(Set1).U(0xC9, 1).Op(Set1).U(0x20, 1).Op('A'));
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].code, unsigned('A'));
}

TEST_F(EncodingTest, ThreeByteXHanCharacters) {
    using namespace dviop;
    auto body = Bytes()
        .Fnt(10).Op(Set1).U(0x0E, 1).Op(Set1).U(0x22, 1).Op(Set1).U(0x00, 1)   // B0A1
        .Fnt(11).Op(Set1).U(0xFF, 1)                                            // one byte: C8EB
        .Op(Set1).U(0x0E, 1).Op(Set1).U(0x22, 1).Op(Set1).U(0xB8, 1);           // B0A2
    // Without the tables nothing is drawn, and the bytes still move.
    auto chars = Run(body);
    EXPECT_TRUE(chars.empty());
    EXPECT_EQ(drawer.GetH(), 3 * kWide);

    TempDir tables;
    WriteFile(tables.File("xhan1.tab"), {'0', 'x', '0', 'E', '2', '2', '0', '0', ' ', '1', '7', '6', ' ', '1', '6', '1', '\n'});
    const std::string two = "0xFF0000 0xC8 0xEB\n0x0E22B8 0xB0 0xA2\n";
    WriteFile(tables.File("xhan2.tab"), std::vector<unsigned char>(two.begin(), two.end()));
    ASSERT_EQ(vrcodes::LoadCodeTables(tables.Path().string().c_str()), 2);
    chars = Run(body);
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_EQ(chars[0].code, Iconv949(0xB0, 0xA1));
    EXPECT_EQ(chars[0].h, 0);
    EXPECT_EQ(chars[0].a, kWide);  // widths of the three bytes: 0 + 0 + wide
    EXPECT_EQ(chars[1].code, Iconv949(0xC8, 0xEB));
    EXPECT_EQ(chars[1].h, kWide);
    EXPECT_EQ(chars[1].a, kWide);  // one byte: its own width only
    EXPECT_EQ(chars[2].code, Iconv949(0xB0, 0xA2));
    EXPECT_EQ(chars[2].h, 2 * kWide);

    // A move inside a syllable drops what came before it.
    chars = Run(Bytes().Fnt(10).Op(Set1).U(0x0E, 1).Op(Right1).S(1, 1).Op(Set1).U(0x22, 1).Op(Set1).U(0x00, 1));
    EXPECT_TRUE(chars.empty());
}
