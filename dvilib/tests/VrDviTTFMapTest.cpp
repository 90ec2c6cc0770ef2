// The map file grammar and the lookups of VrDviTTFMap.
#include "dvilib/VrDviTTFMap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "testsupport/TestTools.h"

namespace fs = std::filesystem;

namespace {

class TempDir : public testsupport::TempDir {
public:
    std::string Write(const std::string& name, const std::string& text) const {
        std::string p = File(name);
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
};

std::string Str(const String8& s) { return std::string(s.c_str(), std::size_t(s.GetLength())); }

// Reads text as a map file into map; the result of AppendTTFMapFile.
int Append(VrDviTTFMap& map, const std::string& text) {
    TempDir dir;
    return map.AppendTTFMapFile(dir.Write("t.map", text).c_str());
}

const char DefaultDbcFace[] = "\xB9\xD9\xC5\xC1\xC3\xBC";  // 바탕체, code page 949

TEST(VrDviTTFMapTest, EntryWithQuotedFaceHeightAndEncoding) {
    VrDviTTFMap map;
    ASSERT_EQ(1, Append(map, "cmr10 { fontname = 'Some Face Name', height = \"0.9\", encoding = '8r-unicode' }\n"));
    const VrDviTTFMap::Entry* e = map.GetEntry("cmr10");
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(VrDviTTFMap::Enc8rUnicode, e->encoding);
    EXPECT_EQ("cmr10", Str(e->name));
    EXPECT_EQ("some face name", Str(e->sbc.fontName));
    EXPECT_DOUBLE_EQ(0.9, e->sbc.height);
    EXPECT_EQ(0, e->sbc.subsName.GetLength());
    EXPECT_EQ(0.0, e->sbc.averageWidth);
    EXPECT_EQ(0.0, e->sbc.vAdjustment);
    EXPECT_EQ(0, e->sbc.italic);
    EXPECT_EQ(0, e->sbc.slant);
    EXPECT_EQ(400, e->sbc.weight);
    EXPECT_EQ(0, e->dbcEnabled);
    EXPECT_EQ(DefaultDbcFace, Str(e->dbc.fontName));
    EXPECT_EQ(0.0, e->dbc.height);
    EXPECT_EQ(0, e->dbc.weight);
    EXPECT_EQ(0, e->dbc.subsName.GetLength());
}

TEST(VrDviTTFMapTest, EveryKeyReachesItsField) {
    VrDviTTFMap map;
    ASSERT_EQ(1, Append(map,
        "a { FontName = 'Face A', SUBSNAME = 'Face B', height = '1.25', averagewidth = '0.5',\n"
        "    vadjustment = '-0.125', italic = 'TRUE', slant = 'true', weight = '600',\n"
        "    dbcfontname = 'Dbc Face', dbcheight = '2', dbcaveragewidth = '0.75', dbcvadjustment = '0.25',\n"
        "    dbcitalic = 'true', dbcslant = 'true', dbcweight = '900' }\n"
        "b { bold = 'true', dbcbold = 'true', encoding = 'raw' }\n"
        "c { bold = 'false', dbcbold = 'false', italic = 'true', italic = 'false' }\n"));
    const VrDviTTFMap::Entry* a = map.GetEntry("a");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(VrDviTTFMap::EncOT1, a->encoding);
    EXPECT_EQ("face a", Str(a->sbc.fontName));  // face B is not installed: no substitution
    EXPECT_EQ("face b", Str(a->sbc.subsName));
    EXPECT_DOUBLE_EQ(1.25, a->sbc.height);
    EXPECT_DOUBLE_EQ(0.5, a->sbc.averageWidth);
    EXPECT_DOUBLE_EQ(-0.125, a->sbc.vAdjustment);
    EXPECT_EQ(1, a->sbc.italic);
    EXPECT_EQ(1, a->sbc.slant);
    EXPECT_EQ(600, a->sbc.weight);
    EXPECT_EQ(1, a->dbcEnabled);
    EXPECT_EQ("dbc face", Str(a->dbc.fontName));
    EXPECT_DOUBLE_EQ(2.0, a->dbc.height);
    EXPECT_DOUBLE_EQ(0.75, a->dbc.averageWidth);
    EXPECT_DOUBLE_EQ(0.25, a->dbc.vAdjustment);
    EXPECT_EQ(1, a->dbc.italic);
    EXPECT_EQ(1, a->dbc.slant);
    EXPECT_EQ(900, a->dbc.weight);

    const VrDviTTFMap::Entry* b = map.GetEntry("b");
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(VrDviTTFMap::EncRaw, b->encoding);
    EXPECT_EQ("cmr10", Str(b->sbc.fontName));
    EXPECT_EQ(700, b->sbc.weight);
    EXPECT_EQ(700, b->dbc.weight);
    EXPECT_EQ(0, b->dbcEnabled);  // only dbcfontname enables double-byte characters

    const VrDviTTFMap::Entry* c = map.GetEntry("c");
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(400, c->sbc.weight);
    EXPECT_EQ(400, c->dbc.weight);
    EXPECT_EQ(0, c->sbc.italic);  // the last value of a repeated key wins
}

TEST(VrDviTTFMapTest, EncodingKeywords) {
    const struct {
        const char* keyword;
        VrDviTTFMap::EncodingName encoding;
    } cases[] = {
        {"ot1", VrDviTTFMap::EncOT1},
        {"8r-unicode", VrDviTTFMap::Enc8rUnicode},
        {"RAW", VrDviTTFMap::EncRaw},
        {"xhan-unicode", VrDviTTFMap::EncXHanUnicode},
        {"xhanja-unicode", VrDviTTFMap::EncXHanjaUnicode},
        {"xsymb-unicode", VrDviTTFMap::EncXSymbUnicode},
        {"mswinsymbol-unicode", VrDviTTFMap::EncMSWinSymbolUnicode},
        {"hlatex", VrDviTTFMap::EncHLatex},
        {"t1-unicode", VrDviTTFMap::EncT1Unicode},
        {"TS1-Unicode", VrDviTTFMap::EncTS1Unicode},
        {"ot1-unicode", VrDviTTFMap::EncOT1Unicode},
        {"Unicode-Subfont", VrDviTTFMap::EncUnicodeSubfont},
    };
    for (const auto& c : cases) {
        VrDviTTFMap map;
        // An unknown keyword after a good one leaves the good one.
        std::string text = std::string("f { encoding = '") + c.keyword + "', encoding = 'ucs-4' }";
        ASSERT_EQ(1, Append(map, text)) << c.keyword;
        ASSERT_NE(nullptr, map.GetEntry("f"));
        EXPECT_EQ(c.encoding, map.GetEntry("f")->encoding) << c.keyword;
    }
}

TEST(VrDviTTFMapTest, LenientValues) {
    VrDviTTFMap map;
    ASSERT_EQ(1, Append(map,
        "n { colour = 'red', italic = 'true', italic = 'yes', slant = '1', height = '  -1.5e1',"
        " averagewidth = 'abc', vadjustment = '1,5', weight = '300abc', dbcweight = '+12',"
        " dbcheight = 'inf', dbcaveragewidth = '1e999', dbcvadjustment = '+-1' }"));
    const VrDviTTFMap::Entry* n = map.GetEntry("n");
    ASSERT_NE(nullptr, n);
    EXPECT_EQ(1, n->sbc.italic);  // a value other than true or false is ignored
    EXPECT_EQ(0, n->sbc.slant);
    EXPECT_DOUBLE_EQ(-15.0, n->sbc.height);
    EXPECT_EQ(0.0, n->sbc.averageWidth);
    EXPECT_DOUBLE_EQ(1.0, n->sbc.vAdjustment);  // numbers are read in the C locale
    EXPECT_EQ(300, n->sbc.weight);
    EXPECT_EQ(12, n->dbc.weight);
    // Factors that are not finite numbers count as 0.
    EXPECT_EQ(0.0, n->dbc.height);
    EXPECT_EQ(0.0, n->dbc.averageWidth);
    EXPECT_EQ(0.0, n->dbc.vAdjustment);
}

TEST(VrDviTTFMapTest, BoldAndWeightWriteOneField) {
    VrDviTTFMap map;
    ASSERT_EQ(1, Append(map,
        "p { bold = 'true', weight = '300' }\n"
        "q { weight = '300', bold = 'true' }\n"));
    EXPECT_EQ(300, map.GetEntry("p")->sbc.weight);
    EXPECT_EQ(700, map.GetEntry("q")->sbc.weight);
}

// Files that break the syntax: the call returns 0 and the entry being read
// is dropped; the entry before it stays.
TEST(VrDviTTFMapTest, SyntaxErrors) {
    const struct {
        const char* what;
        const char* text;
    } cases[] = {
        {"unquoted value", "bad { fontname = Face }"},
        {"unquoted number", "bad { height = 0.9 }"},
        {"quoted key", "bad { 'fontname' = 'Face' }"},
        {"quoted equals", "bad { fontname '=' 'Face' }"},
        {"missing equals", "bad { fontname 'Face' }"},
        {"missing closing brace at the end", "bad { fontname = 'Face'"},
        {"missing closing brace before the next entry", "bad { fontname = 'Face' next { fontname = 'x' }"},
        {"empty braces", "bad { }"},
        {"trailing comma", "bad { fontname = 'Face', }"},
        {"quoted comma", "bad { fontname = 'Face' ',' weight = '1' }"},
        {"quoted closing brace", "bad { fontname = 'Face' '}'"},
        {"quoted opening brace", "bad '{' fontname = 'Face' }"},
        {"name at the end", "bad"},
        {"name without brace", "bad fontname = 'Face' }"},
        {"brace glued to a key", "bad {fontname = 'Face' }"},
        {"end after the key", "bad { fontname"},
        {"end after equals", "bad { fontname ="},
        {"unterminated value", "bad { fontname = 'Face }"},
        {"hyphenated keyword unquoted", "bad { encoding = 8r-unicode }"},
    };
    for (const auto& c : cases) {
        VrDviTTFMap map;
        EXPECT_EQ(0, Append(map, std::string("good { fontname = 'Good' }\n") + c.text)) << c.what;
        ASSERT_NE(nullptr, map.GetEntry("good")) << c.what;
        EXPECT_EQ("good", Str(map.GetEntry("good")->sbc.fontName)) << c.what;
        EXPECT_EQ(nullptr, map.GetEntry("bad")) << c.what;
        EXPECT_EQ(nullptr, map.GetEntry("next")) << c.what;
    }
}

TEST(VrDviTTFMapTest, EmptyAndBlankFilesAddNothing) {
    VrDviTTFMap map;
    EXPECT_EQ(1, Append(map, ""));
    EXPECT_EQ(1, Append(map, " \t\r\n\x01\x1f \x0c"));
    EXPECT_EQ(nullptr, map.GetEntry("cmr10"));
}

TEST(VrDviTTFMapTest, TokensAndNames) {
    VrDviTTFMap map;
    // Quoted names may hold any byte; blanks are bytes 1 to 32 (no comments);
    // a quote of the other kind is an ordinary byte inside a quoted token.
    std::string text =
        "'cm-r.10' { fontname = \"it's\" }\n"
        "\"\xB1\xC3\xB8\xB2\" { fontname = '' }\n"  // Korean name in code page 949
        "CMR10\x01{\x1f" "fontname\t=\r'X'\x0c,\x02weight='5'}\n"
        "x_1{ fontname='y'}";
    ASSERT_EQ(1, Append(map, text));
    ASSERT_NE(nullptr, map.GetEntry("cm-r.10"));
    EXPECT_EQ("it's", Str(map.GetEntry("CM-R.10")->sbc.fontName));
    ASSERT_NE(nullptr, map.GetEntry("\xB1\xC3\xB8\xB2"));
    EXPECT_EQ("", Str(map.GetEntry("\xB1\xC3\xB8\xB2")->sbc.fontName));
    EXPECT_FALSE(map.GetEntry("\xB1\xC3\xB8\xB2")->sbc.fontName.IsNull());
    ASSERT_NE(nullptr, map.GetEntry("CmR10"));
    EXPECT_EQ("cmr10", Str(map.GetEntry("CmR10")->name));
    EXPECT_EQ("x", Str(map.GetEntry("cmr10")->sbc.fontName));
    EXPECT_EQ(5, map.GetEntry("cmr10")->sbc.weight);
    ASSERT_NE(nullptr, map.GetEntry("x_1"));
    EXPECT_EQ(nullptr, map.GetEntry("cmr1"));
    EXPECT_EQ(nullptr, map.GetEntry(""));
}

TEST(VrDviTTFMapTest, UnquotedTokenSplitsAtPunctuation) {
    // Unquoted, "8r-unicode" is the two tokens "8r" and "-unicode"; as a name
    // that leaves "-unicode" where the brace should be.
    VrDviTTFMap map;
    EXPECT_EQ(0, Append(map, "8r-unicode { fontname = 'x' }"));
    EXPECT_EQ(nullptr, map.GetEntry("8r-unicode"));
    EXPECT_EQ(nullptr, map.GetEntry("8r"));
}

TEST(VrDviTTFMapTest, LongTokensAreCutAt199Bytes) {
    const std::string a199(199, 'a');
    {
        // Exactly 199 bytes: kept whole.
        VrDviTTFMap map;
        ASSERT_EQ(1, Append(map, "e { fontname = '" + a199 + "' }"));
        EXPECT_EQ(a199, Str(map.GetEntry("e")->sbc.fontName));
    }
    {
        // The 200th byte is lost and reading goes on after it: here the value
        // loses its closing quote, so "," and the next pair are read as tokens.
        VrDviTTFMap map;
        ASSERT_EQ(1, Append(map, "e { subsname = '" + a199 + "x, fontname = 'g' }"));
        const VrDviTTFMap::Entry* e = map.GetEntry("e");
        ASSERT_NE(nullptr, e);
        EXPECT_EQ(a199, Str(e->sbc.subsName));
        EXPECT_EQ("g", Str(e->sbc.fontName));
    }
    {
        // As a rule the cut breaks the syntax: the rest of the value comes
        // where "," or "}" must.
        VrDviTTFMap map;
        EXPECT_EQ(0, Append(map, "e { fontname = '" + a199 + "xyz' }\nf { fontname = 'h' }"));
        EXPECT_EQ(nullptr, map.GetEntry("e"));
        EXPECT_EQ(nullptr, map.GetEntry("f"));
    }
    {
        // Unquoted tokens are cut the same way; "=" after the lost byte is read.
        VrDviTTFMap map;
        ASSERT_EQ(1, Append(map, "e { " + std::string(199, 'k') + "Z= '1', weight = '2' }"));
        EXPECT_EQ(2, map.GetEntry("e")->sbc.weight);
        // A long name is stored cut, and found by its first 199 bytes.
        ASSERT_EQ(1, Append(map, std::string(199, 'n') + "Q { weight = '3' }"));
        EXPECT_EQ(nullptr, map.GetEntry((std::string(199, 'n') + "Q").c_str()));
        EXPECT_EQ(nullptr, map.GetEntry((std::string(199, 'n') + "q").c_str()));
        EXPECT_EQ(3, map.GetEntry(std::string(199, 'n').c_str())->sbc.weight);
    }
}

TEST(VrDviTTFMapTest, LaterEntryHidesEarlierOne) {
    TempDir dir;
    std::string one = dir.Write("one.map", "f { weight = '1' }\nf { weight = '2' }\ng { weight = '7' }\n");
    std::string two = dir.Write("two.map", "F { weight = '3' }\n");
    VrDviTTFMap map;
    ASSERT_EQ(1, map.AppendTTFMapFile(one.c_str()));
    EXPECT_EQ(2, map.GetEntry("f")->sbc.weight);
    ASSERT_EQ(1, map.AppendTTFMapFile(two.c_str()));
    EXPECT_EQ(3, map.GetEntry("f")->sbc.weight);
    EXPECT_EQ(7, map.GetEntry("g")->sbc.weight);

    // Opening a file empties the map first.
    ASSERT_EQ(1, map.OpenTTFMapFile(two.c_str()));
    EXPECT_EQ(nullptr, map.GetEntry("g"));
    EXPECT_EQ(3, map.GetEntry("f")->sbc.weight);

    VrDviTTFMap fromConstructor(one.c_str());
    EXPECT_EQ(7, fromConstructor.GetEntry("g")->sbc.weight);
}

TEST(VrDviTTFMapTest, MissingFile) {
    VrDviTTFMap map;
    EXPECT_EQ(0, map.AppendTTFMapFile("/nonexistent/veloran/x.map"));
    EXPECT_EQ(0, map.AppendTTFMapFile(nullptr));
    TempDir dir;
    std::string folder = dir.Write("f.map", "");
    fs::remove(folder);
    fs::create_directory(folder);
    EXPECT_EQ(0, map.AppendTTFMapFile(folder.c_str()));  // opens on Linux, but cannot be read
    VrDviTTFMap none("/nonexistent/veloran/x.map");
    EXPECT_EQ(nullptr, none.GetEntry("cmr10"));
}

TEST(VrDviTTFMapTest, HashBuckets) {
    // The reader's hash: h = 12, h = (2h + c) mod 73 over signed bytes.
    EXPECT_EQ(12, VrDviTTFMap::GetHashCode(""));
    EXPECT_EQ((24 + 'a') % 73, VrDviTTFMap::GetHashCode("a"));
    EXPECT_EQ(23, VrDviTTFMap::GetHashCode("\xff"));  // 24 - 1
    EXPECT_EQ(42, VrDviTTFMap::GetHashCode("\x80"));  // 24 - 128 = -104, +146
    EXPECT_EQ((2 * ((24 + 'a') % 73) + 'b') % 73, VrDviTTFMap::GetHashCode("ab"));
    std::string high(40, '\x80');
    int h = VrDviTTFMap::GetHashCode(high.c_str());
    EXPECT_GE(h, 0);
    EXPECT_LT(h, 73);

    // 540 names in 73 buckets: chains of several entries, each finding its own.
    std::string text;
    for (int i = 0; i < 500; ++i) text += "f" + std::to_string(i) + " { weight = '" + std::to_string(i) + "' }\n";
    for (int i = 0; i < 40; ++i)
        text += "'\xC7\xD1" + std::string(std::size_t(i), '\xB1') + "' { weight = '" + std::to_string(1000 + i) + "' }\n";
    VrDviTTFMap map;
    ASSERT_EQ(1, Append(map, text));
    for (int i = 0; i < 500; ++i) {
        std::string name = "F" + std::to_string(i);
        const VrDviTTFMap::Entry* e = map.GetEntry(name.c_str());
        ASSERT_NE(nullptr, e) << name;
        EXPECT_EQ(i, e->sbc.weight);
    }
    for (int i = 0; i < 40; ++i) {
        std::string name = "\xC7\xD1" + std::string(std::size_t(i), '\xB1');
        ASSERT_NE(nullptr, map.GetEntry(name.c_str()));
        EXPECT_EQ(1000 + i, map.GetEntry(name.c_str())->sbc.weight);
    }
}

// Faces the substitution test reports as installed.
std::set<std::string>* g_installed = nullptr;
int g_asked = 0;
int FakeFaceTest(const char* face) {
    ++g_asked;
    return g_installed->count(face) ? 1 : 0;
}

TEST(VrDviTTFMapTest, SubstituteFaceWhenTheFirstIsMissing) {
    std::set<std::string> installed = {"dejavu serif"};
    g_installed = &installed;
    g_asked = 0;
    VrDviTTFMap::FaceTest old = VrDviTTFMap::SetFaceTest(FakeFaceTest);
    VrDviTTFMap map;
    int result = Append(map,
        "a { fontname = 'Missing Face', subsname = 'DejaVu Serif' }\n"
        "b { fontname = 'Missing Face', subsname = 'Other Missing' }\n"
        "c { fontname = 'DejaVu Serif', subsname = 'Other Missing' }\n"
        "d { fontname = 'Missing Face', subsname = '' }\n"
        "e { fontname = 'Missing Face', dbcfontname = 'Missing Dbc' }\n");
    int asked = g_asked;
    VrDviTTFMap::SetFaceTest(old);
    g_installed = nullptr;
    ASSERT_EQ(1, result);
    EXPECT_EQ("dejavu serif", Str(map.GetEntry("a")->sbc.fontName));
    EXPECT_EQ("missing face", Str(map.GetEntry("b")->sbc.fontName));
    EXPECT_EQ("dejavu serif", Str(map.GetEntry("c")->sbc.fontName));
    EXPECT_EQ("missing face", Str(map.GetEntry("d")->sbc.fontName));
    EXPECT_EQ("missing dbc", Str(map.GetEntry("e")->dbc.fontName));
    EXPECT_EQ(5, asked);  // a: 2, b: 2, c: 1; none without a substitute
}

TEST(VrDviTTFMapTest, DefaultFaceTestFindsInstalledFacesOnly) {
    EXPECT_EQ(0, VrDviTTFMap::IsFaceInstalled("No Such Face Veloran 42"));
    EXPECT_EQ(0, VrDviTTFMap::IsFaceInstalled(""));
    EXPECT_EQ(1, VrDviTTFMap::IsFaceInstalled("DejaVu Serif"));
    EXPECT_EQ(1, VrDviTTFMap::IsFaceInstalled("dejavu serif"));
    VrDviTTFMap map;
    ASSERT_EQ(1, Append(map, "a { fontname = 'No Such Face Veloran 42', subsname = 'Another Made Up Face' }\n"
                             "b { fontname = 'No Such Face Veloran 42', subsname = 'DejaVu Serif' }"));
    EXPECT_EQ("no such face veloran 42", Str(map.GetEntry("a")->sbc.fontName));
    EXPECT_EQ("dejavu serif", Str(map.GetEntry("b")->sbc.fontName));
}

} // namespace
