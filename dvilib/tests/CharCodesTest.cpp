// Character code tables: code page 949 against iconv, the OT1 and 8r
// tables, the Korean subfont formulas, and the tables loaded from files.
#include <gtest/gtest.h>
#include <iconv.h>

#include <set>
#include <sstream>

#include "DviTestSupport.h"
#include "dvilib/CharCodes.h"

using namespace dvitest;
using namespace vrcodes;

namespace {

// The code point iconv gives a CP949 pair, 0 when it gives none.
uint32_t Iconv949(unsigned lead, unsigned trail) {
    iconv_t cd = iconv_open("UTF-32BE", "CP949");
    if (cd == iconv_t(-1)) return 0;
    char in[2] = {char(lead), char(trail)};
    unsigned char out[8] = {};
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = 2, ol = sizeof out;
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == size_t(-1) || il != 0 || ol != 4) return 0;
    return uint32_t(out[0]) << 24 | out[1] << 16 | out[2] << 8 | out[3];
}

uint32_t Decode(unsigned char lead, unsigned char trail) {
    unsigned short u = 0;
    return Cp949ToUnicode(lead, trail, u) ? u : 0;
}

void WriteText(const std::string& path, const std::string& text) {
    WriteFile(path, std::vector<unsigned char>(text.begin(), text.end()));
}

class TablesFromFiles : public ::testing::Test {
protected:
    void TearDown() override { ClearCodeTables(); }
    TempDir dir;
};

} // namespace

TEST(CodePage949, AgreesWithIconvOverEveryPair) {
    int chars = 0;
    for (unsigned lead = 0; lead < 256; ++lead)
        for (unsigned trail = 0; trail < 256; ++trail) {
            uint32_t want = lead >= 0x81 ? Iconv949(lead, trail) : 0;
            if (want > 0xFFFF) want = 0;
            ASSERT_EQ(Decode((unsigned char)lead, (unsigned char)trail), want) << std::hex << lead << " " << trail;
            chars += want != 0;
        }
    EXPECT_GT(chars, 17000);  // KS X 1001 and the extended Hangul
    EXPECT_EQ(Decode(0xB0, 0xA1), 0xAC00u);
    EXPECT_EQ(Decode(0xC8, 0xFE), 0xD79Du);
    EXPECT_EQ(Decode(0xCA, 0xA1), 0x4F3Du);
    EXPECT_EQ(Decode(0x81, 0x41), 0xAC02u);
    EXPECT_EQ(Decode(0x41, 0x41), 0u);

    EXPECT_FALSE(IsCp949LeadByte(0x80));
    EXPECT_TRUE(IsCp949LeadByte(0x81));
    EXPECT_TRUE(IsCp949LeadByte(0xFE));
    EXPECT_FALSE(IsCp949LeadByte(0xFF));
    EXPECT_FALSE(IsCp949LeadByte(0x1B0));  // a 16-bit code is never a lead byte
}

TEST(SingleByteTables, Ot1SymbolPositions) {
    const std::pair<int, unsigned> cases[] = {{0, 0xF0A1}, {9, 0xF0AA}, {10, 0xF0AD}, {32, 0xF0C3}, {33, 0xF021},
                                              {65, 0xF041}, {126, 0xF07E}, {127, 0xF0C4}, {128, 0xF080}, {255, 0xF0FF}};
    for (auto [code, want] : cases) EXPECT_EQ(Ot1ToSymbol((unsigned char)code), want) << code;
}

TEST(SingleByteTables, EightrTable) {
    // The rows that leave the identity, as the encoding's table gives them.
    const char* rows[4] = {
        "0000 02D9 FB01 FB02 2215 02DD 0141 0142 02DB 02DA 0000 02D8 2212 0000 017D 017E "
        "02C7 0131 FB0F FB00 FB03 FB04 0000 0000 0000 0000 0000 0000 0000 0000 0060 0027",
        "0000 0000 201A 0192 201E 2026 2020 2021 02C6 2030 0160 2039 0152 0000 0000 0000 "
        "0000 0000 0000 201C 201D 2022 2013 2014 02DC 2122 0161 203A 0153 0000 0000 0178",
    };
    std::vector<unsigned> want(256);
    for (int c = 0; c < 256; ++c) want[size_t(c)] = unsigned(c);
    want[39] = 0x2019, want[96] = 0x2018, want[127] = 0, want[160] = 0, want[173] = 0x2D;
    for (int r = 0; r < 2; ++r) {
        std::istringstream in(rows[r]);
        for (int i = 0; i < 32; ++i) in >> std::hex >> want[size_t((r ? 128 : 0) + i)];
    }
    for (int c = 0; c < 256; ++c) EXPECT_EQ(EightrToUnicode((unsigned char)c), want[size_t(c)]) << c;
    EXPECT_EQ(EightrToUnicode(2), 0xFB01);
    EXPECT_EQ(EightrToUnicode(150), 0x2013);
}

TEST(KoreanSubfonts, HanjaAndSymbolRows) {
    unsigned char lead = 0, trail = 0;
    struct Case {
        int series, code;
        bool ok;
        int lead, trail;
    } hanja[] = {
        {1, 0, true, 0xCA, 0xA1}, {1, 93, true, 0xCA, 0xFE}, {1, 94, true, 0xCB, 0xA1},
        {20, 117, true, 0xFE, 0xFE}, {20, 118, false, 0, 0}, {21, 0, false, 0, 0},
    };
    for (const auto& c : hanja) {
        ASSERT_EQ(XHanjaToEucKr(c.series, (unsigned char)c.code, lead, trail), c.ok ? 1 : 0) << c.series << " " << c.code;
        if (c.ok) {
            EXPECT_EQ(lead << 8 | trail, c.lead << 8 | c.trail) << c.series << " " << c.code;
        }
    }
    Case symbols[] = {
        {1, 0, false, 0, 0}, {1, 1, true, 0xA1, 0xA1}, {1, 94, true, 0xA1, 0xFE}, {1, 95, false, 0, 0},
        {1, 97, true, 0xA2, 0xA1}, {5, 126, true, 0xAC, 0xFE}, {5, 127, false, 0, 0},
    };
    for (const auto& c : symbols) {
        ASSERT_EQ(XSymbToEucKr(c.series, (unsigned char)c.code, lead, trail), c.ok ? 1 : 0) << c.series << " " << c.code;
        if (c.ok) {
            EXPECT_EQ(lead << 8 | trail, c.lead << 8 | c.trail) << c.series << " " << c.code;
        }
    }
    // Every Hanja position that KS X 1001 fills is a CJK ideograph in CP949.
    int ideographs = 0;
    for (int s = 1; s <= 20; ++s)
        for (int code = 0; code < 256; ++code)
            if (XHanjaToEucKr(s, (unsigned char)code, lead, trail) && lead <= 0xFD) {
                uint32_t u = Iconv949(lead, trail);
                EXPECT_TRUE((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF)) << std::hex << u;
                ++ideographs;
            }
    EXPECT_EQ(ideographs, 4888);
}

TEST(KoreanSubfonts, HLatexTablesBAndC) {
    auto b = HLatexTableB(), c = HLatexTableC();
    EXPECT_EQ(b.size(), 34u);
    EXPECT_EQ(c.size(), 72u);
    auto has = [](const std::vector<HLatexRow>& rows, HLatexRow want) {
        for (const auto& r : rows)
            if (r.subfont == want.subfont && r.first == want.first && r.lead == want.lead && r.trail == want.trail)
                return true;
        return false;
    };
    for (HLatexRow r : {HLatexRow{0, 0x00, 0xB0, 0xA1}, HLatexRow{0, 0x5E, 0xB1, 0xA1}, HLatexRow{0, 0xBC, 0xB2, 0xA1},
                        HLatexRow{1, 0x00, 0xB2, 0xE5}, HLatexRow{9, 0x00, 0xC8, 0xD1}})
        EXPECT_TRUE(has(b, r)) << int(r.subfont) << " " << int(r.first);
    for (HLatexRow r : {HLatexRow{10, 0x00, 0xCA, 0xA1}, HLatexRow{10, 0x5E, 0xCB, 0xA1}, HLatexRow{29, 0x18, 0xFE, 0xA1}})
        EXPECT_TRUE(has(c, r)) << int(r.subfont) << " " << int(r.first);
}

TEST(KoreanSubfonts, HLatexNamesAndCodes) {
    unsigned char lead = 0, trail = 0;
    struct Case {
        const char* name;
        int code;
        int lead, trail;  // 0: fails
    } cases[] = {
        {"hlmj0", 0x5E, 0xB1, 0xA1},
        {"hlmj4", 0x5E, 0xBB, 0xF5},
        {"hlmj1", 0x00, 0xB2, 0xE5},
        {"hlmj9", 0x2D, 0xC8, 0xFE},   // the last syllable
        {"hlmj9", 0x2E, 0, 0},         // past the last row: no syllable
        {"hlmj10", 0x5E, 0xCB, 0xA1},
        {"hlmj29", 0x75, 0xFE, 0xFE},
        {"hlmj29", 0x76, 0, 0},
        {"hlmj30", 0x00, 0, 0},
        {"hlmj01", 0x00, 0, 0},        // table A has no subfont 1
        {"hlmj", 0x00, 0, 0},          // no digits
        {"", 0x00, 0, 0},
        {"hl99999999999999999999", 0x00, 0, 0},
        {"h2lm", 0x00, 0xB5, 0xCB},    // the first digits count
    };
    for (const auto& c : cases) {
        int r = HLatexToEucKr(c.name, (unsigned char)c.code, lead, trail);
        ASSERT_EQ(r, c.lead ? 0 : 1) << c.name << " " << c.code;
        if (c.lead) {
            EXPECT_EQ(lead << 8 | trail, c.lead << 8 | c.trail) << c.name << " " << c.code;
        }
    }
    EXPECT_EQ(HLatexToEucKr(nullptr, 0, lead, trail), 1);
    // Every code of subfonts 0-9 that converts is a Hangul syllable, and all
    // 2350 syllables of EUC-KR are reached once.
    std::set<uint32_t> seen;
    for (int k = 0; k <= 9; ++k)
        for (int code = 0; code < 256; ++code)
            if (HLatexToEucKr(("hl" + std::to_string(k)).c_str(), (unsigned char)code, lead, trail) == 0) {
                uint32_t u = Iconv949(lead, trail);
                EXPECT_TRUE(u >= 0xAC00 && u <= 0xD7A3) << k << " " << code;
                seen.insert(u);
            }
    EXPECT_EQ(seen.size(), 2350u);
}

TEST(KoreanSubfonts, UnicodeSubfontNamesAndCodes) {
    struct Case {
        const char* name;
        unsigned code;
        unsigned want;  // 0: no character
    } cases[] = {
        {"uwmjac", 0x00, 0xAC00},      {"uwmjac", 0xFF, 0xACFF},     {"nanummjmd7", 0xA3, 0xD7A3},
        {"nanummjmoc6", 0x1F, 0xC61F}, {"uwmjxo4e", 0x00, 0x4E00},    {"uwmj00", 0x41, 0x0041},
        {"UWMJAC", 0x01, 0xAC01},      {"uwmjff", 0xFF, 0xFFFF},      {"ab00", 0x20, 0x0020},
        {"uwmj00", 0x00, 0},           {"uwmjd8", 0x00, 0},           {"uwmjdf", 0xFF, 0},
        {"uwmjac", 0x100, 0},          {"uwmj", 0x41, 0},             {"uwmj5", 0x41, 0},
        {"uwmjg1", 0x41, 0},           {"uwmjag", 0x41, 0},           {"uwmja-", 0x41, 0},
        {"ac", 0x00, 0},               {"", 0x00, 0},                 {"uwmjac ", 0x00, 0},
    };
    for (const auto& c : cases) {
        unsigned short u = 0x1234;
        EXPECT_EQ(UnicodeSubfontChar(c.name, c.code, u), c.want ? 1 : 0) << c.name << " " << c.code;
        EXPECT_EQ(u, c.want ? c.want : 0x1234u) << c.name << " " << c.code;
    }
    unsigned short u = 0;
    EXPECT_EQ(UnicodeSubfontChar(nullptr, 0x41, u), 0);
}

TEST_F(TablesFromFiles, XHanTables) {
    unsigned char lead = 0, trail = 0;
    EXPECT_EQ(XHanToEucKr(1, 0x0E, 0x22, 0x00, lead, trail), 0);  // not loaded
    WriteText(dir.File("xhan1.tab"), "# series 1\n0x0E2200 0xB0 0xA1\n0xDCE3FF 0xC8 0xF0  # last\n\n0x0E2201 0xB0 0xA2\n");
    WriteText(dir.File("xhan2.tab"), "0xFF0000 0xC8 0xEB\n0x0E22B8 176 162\n");
    EXPECT_EQ(LoadCodeTables(dir.Path().string().c_str()), 2);
    struct Case {
        int series, b1, b2, b3;
        int lead, trail;
    } cases[] = {
        {1, 0x0E, 0x22, 0x00, 0xB0, 0xA1}, {1, 0x0E, 0x22, 0x01, 0xB0, 0xA2}, {1, 0xDC, 0xE3, 0xFF, 0xC8, 0xF0},
        {2, 0x0E, 0x22, 0xB8, 0xB0, 0xA2}, {2, 0xFF, 0x00, 0x00, 0xC8, 0xEB}, {1, 0xFF, 0x00, 0x00, 0, 0},
        {2, 0x0E, 0x22, 0x00, 0, 0}, {3, 0x0E, 0x22, 0x00, 0, 0}, {0, 0x0E, 0x22, 0x00, 0, 0},
    };
    for (const auto& c : cases) {
        int r = XHanToEucKr(c.series, (unsigned char)c.b1, (unsigned char)c.b2, (unsigned char)c.b3, lead, trail);
        ASSERT_EQ(r, c.lead ? 1 : 0) << c.series << std::hex << " " << c.b1 << c.b2 << c.b3;
        if (c.lead) {
            EXPECT_EQ(lead << 8 | trail, c.lead << 8 | c.trail);
        }
    }
    // A file with a bad row is refused whole; the loaded table stays.
    WriteText(dir.File("bad.tab"), "0x0E2200 0xB0 0xA1\n0x0E2201 0xB0\n");
    EXPECT_EQ(LoadXHanTable(1, dir.File("bad.tab").c_str()), 0);
    WriteText(dir.File("bad.tab"), "0x1000000 0xB0 0xA1\n");
    EXPECT_EQ(LoadXHanTable(1, dir.File("bad.tab").c_str()), 0);
    WriteText(dir.File("bad.tab"), "0x0E2200 0x41 0xA1\n");  // not an EUC-KR pair
    EXPECT_EQ(LoadXHanTable(1, dir.File("bad.tab").c_str()), 0);
    EXPECT_EQ(LoadXHanTable(1, dir.File("none.tab").c_str()), 0);
    EXPECT_EQ(XHanToEucKr(1, 0xDC, 0xE3, 0xFF, lead, trail), 1);
}

TEST_F(TablesFromFiles, HLatexSymbolTable) {
    unsigned char lead = 0, trail = 0;
    EXPECT_EQ(HLatexToEucKr("wsym04", 0, lead, trail), 1);
    WriteText(dir.File("hlatexa.tab"), "4 0x5D 0xA8 0xB0\n4 0x00 0xA4 0xA1\n5 0 0xA1 0xA2\n7 0xDF 0xAC 0xD1\n");
    EXPECT_EQ(LoadCodeTables(dir.Path().string().c_str()), 1);
    EXPECT_EQ(HLatexTableA().size(), 4u);
    struct Case {
        const char* name;
        int code, lead, trail;
    } cases[] = {
        {"wsym04", 0x00, 0xA4, 0xA1}, {"wsym04", 0x5C, 0xA4, 0xFD}, {"wsym04", 0x5D, 0xA8, 0xB0},
        {"wsym05", 0x00, 0xA1, 0xA2}, {"wsym07", 0xDF, 0xAC, 0xD1}, {"wsym07", 0xDE, 0, 0},
        {"wsym01", 0x00, 0, 0},       {"wsym04", 0xFF, 0, 0},  // trail past the row
    };
    for (const auto& c : cases) {
        int r = HLatexToEucKr(c.name, (unsigned char)c.code, lead, trail);
        ASSERT_EQ(r, c.lead ? 0 : 1) << c.name << " " << c.code;
        if (c.lead) {
            EXPECT_EQ(lead << 8 | trail, c.lead << 8 | c.trail) << c.name << " " << c.code;
        }
    }
    WriteText(dir.File("hlatexa.tab"), "10 0 0xA1 0xA1\n");  // subfonts of table A are 1-9
    EXPECT_EQ(LoadHLatexTableA(dir.File("hlatexa.tab").c_str()), 0);
    EXPECT_EQ(HLatexTableA().size(), 4u);
}
