// The installation's map files against Debian's TeX Live: every font that
// TeX uses resolves to an outline face on this machine, and each character
// code lands on the right glyph of that face (its built-in encoding).
#include "dvilib/VrDviTTFMap.h"
#include "dvilib/FaceLists.h"
#include "dvilib/TexTextEncodings.h"
#include "dvilib/CharCodes.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "testsupport/TestTools.h"

namespace fs = std::filesystem;

namespace {

const std::string MapDir = VELORAN_BINARY_DIR "/share/veloran/ttfcfg";

// Folders under TeX Live's TEXMFDIST/fonts/type1 that hold the faces the maps
// name; the application adds their files for the run (share/ttfcfg/README.md).
const char* const FaceFolders[] = {
    "public/amsfonts/cm",        "public/amsfonts/cmextra",  "public/amsfonts/symbols",
    "public/amsfonts/euler",     "public/amsfonts/cyrillic", "public/amsfonts/latxfont",
    "hoekwater/mflogo-font",     "hoekwater/manfnt-font",
};

// Standard output of a command; the test fails when it does not exit with 0.
std::string RunCommand(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        ADD_FAILURE() << "cannot run " << cmd;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cmd << " failed";
    return out;
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class FreeType {
public:
    FreeType() { FT_Init_FreeType(&lib_); }
    ~FreeType() { FT_Done_FreeType(lib_); }
    FT_Library lib_ = nullptr;
};

struct FaceCloser {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};
using FacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceCloser>;

class InstallMapsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ft_ = new FreeType;
        map_ = new VrDviTTFMap;
        faces_ = new std::map<std::string, std::string>;
        mapFiles_ = 0;
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(MapDir))
            if (e.path().extension() == ".map") files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const auto& f : files) {
            EXPECT_EQ(1, map_->AppendTTFMapFile(f.c_str())) << f;
            ++mapFiles_;
        }
        // PostScript name -> file, over the folders the application adds.
        texmfDist_ = new std::string(Trim(RunCommand("kpsewhich -var-value TEXMFDIST")));
        for (const char* folder : FaceFolders) {
            fs::path dir = fs::path(*texmfDist_) / "fonts/type1" / folder;
            EXPECT_TRUE(fs::is_directory(dir)) << dir;
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(dir, ec)) {
                if (e.path().extension() != ".pfb") continue;
                FT_Face face;
                if (FT_New_Face(ft_->lib_, e.path().c_str(), 0, &face)) continue;
                FacePtr owner(face);
                if (const char* ps = FT_Get_Postscript_Name(face)) (*faces_)[Upper(ps)] = e.path();
            }
        }
    }
    static void TearDownTestSuite() {
        delete map_;
        delete faces_;
        delete texmfDist_;
        delete ft_;
    }

    // The face file of a TeX font through the maps; empty when there is none.
    std::string FaceFile(const std::string& font) {
        const VrDviTTFMap::Entry* e = map_->GetEntry(font.c_str());
        if (!e) return "";
        auto it = faces_->find(Upper(e->sbc.fontName.c_str()));
        return it == faces_->end() ? "" : it->second;
    }

    // The glyph names of codes in the face's built-in encoding; "" for no glyph.
    std::map<int, std::string> Glyphs(const std::string& file, const std::set<int>& codes) {
        std::map<int, std::string> out;
        FT_Face face;
        if (FT_New_Face(ft_->lib_, file.c_str(), 0, &face)) {
            ADD_FAILURE() << "FreeType cannot load " << file;
            return out;
        }
        FacePtr owner(face);
        EXPECT_EQ(0, FT_Select_Charmap(face, FT_ENCODING_ADOBE_CUSTOM)) << file;
        for (int c : codes) {
            FT_UInt g = FT_Get_Char_Index(face, FT_ULong(c));
            char name[64] = "";
            if (g) FT_Get_Glyph_Name(face, g, name, sizeof name);
            out[c] = std::string(name) == ".notdef" ? "" : name;
        }
        return out;
    }

    // Checks that every code of font has a glyph in its mapped face.
    void ExpectGlyphs(const std::string& font, const std::set<int>& codes) {
        const VrDviTTFMap::Entry* e = map_->GetEntry(font.c_str());
        ASSERT_NE(nullptr, e) << font << " has no map entry";
        EXPECT_EQ(VrDviTTFMap::EncRaw, e->encoding) << font;
        std::string file = FaceFile(font);
        ASSERT_FALSE(file.empty()) << font << ": no face file for " << e->sbc.fontName.c_str();
        for (const auto& [code, glyph] : Glyphs(file, codes))
            EXPECT_FALSE(glyph.empty()) << font << " code " << code << " has no glyph in " << file;
    }

    static FreeType* ft_;
    static VrDviTTFMap* map_;
    static std::map<std::string, std::string>* faces_;
    static std::string* texmfDist_;
    static int mapFiles_;
};

FreeType* InstallMapsTest::ft_;
VrDviTTFMap* InstallMapsTest::map_;
std::map<std::string, std::string>* InstallMapsTest::faces_;
std::string* InstallMapsTest::texmfDist_;
int InstallMapsTest::mapFiles_;

const char PlainDocument[] = R"(\font\msam=msam10 \font\msbm=msbm10 \font\eufm=eufm10 \font\eufmsix=eufm6
\font\sevenmsam=msam7 \font\sevenmsbm=msbm7 \font\fivemsbm=msbm5
\newfam\msafam \textfont\msafam=\msam \scriptfont\msafam=\sevenmsam
\newfam\msbfam \textfont\msbfam=\msbm \scriptfont\msbfam=\sevenmsbm \scriptscriptfont\msbfam=\fivemsbm
\mathchardef\boxdot="3\the\msafam 00
Roman text with ligatures ffi fl, quotes ``x'' and dashes --- and \char'177,
{\bf bold}, {\it italic \$}, {\sl slanted}, {\tt typewriter \char'134}, \TeX.
$$\sum_{i=1}^n x_{i_j}^2 = \int_0^\infty e^{-t}\,dt \quad
  \left(\sqrt{\alpha\over\beta}\right) \Gamma \leq \infty \aleph
  \bigl[ a \boxdot b \bigr] \mathop{\fam\msbfam R}\nolimits_{\fam\msbfam Z}
  \Bigg\{ \prod \bigcup \biggr\rangle$$
{\msam\char3\char"6E} {\msbm RZN} {\eufm gA} {\eufmsix g}
\bye
)";

TEST_F(InstallMapsTest, MapFilesAndFaceListsAreInstalled) {
    EXPECT_GE(mapFiles_, 6);
    EXPECT_FALSE(faces_->empty());
    FaceLists lists;
    ASSERT_EQ(1, lists.Read((MapDir + "/winfont.alt").c_str()));
    for (int c = 0; c < 4; ++c) EXPECT_FALSE(lists.Names(c).empty()) << FaceLists::Heading(c);
    EXPECT_STREQ("\xB9\xD9\xC5\xC1", lists.Names(0)[0].c_str());  // 바탕
}

TEST_F(InstallMapsTest, EveryFontOfAPlainTeXDocumentHasAFaceWithItsGlyphs) {
    char tmpl[] = "/tmp/installmapsXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    std::string dir = tmpl;
    ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(fs::path(dir), PlainDocument));
    std::string listing = RunCommand("dvitype " + dir + "/doc.dvi");
    fs::remove_all(dir);

    // Characters set or put in each font.
    std::map<std::string, std::set<int>> used;
    std::string font;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        const std::string change = "current font is ";
        if (size_t at = line.find(change); at != std::string::npos) {
            font = line.substr(at + change.size());
            font = font.substr(0, font.find(' '));
            continue;
        }
        for (const char* op : {": setchar", ": set1 ", ": put1 "}) {
            size_t at = line.find(op);
            if (at != std::string::npos) {
                used[font].insert(std::atoi(line.c_str() + at + std::strlen(op)));
                break;
            }
        }
    }
    for (const char* f : {"cmr10", "cmr7", "cmmi10", "cmmi7", "cmmi5", "cmsy10", "cmsy7", "cmex10", "cmbx10",
                          "cmti10", "cmsl10", "cmtt10", "msam10", "msbm10", "msbm7", "eufm10", "eufm6"})
        EXPECT_TRUE(used.count(f)) << f << " is not in the document";
    for (const auto& [name, codes] : used) ExpectGlyphs(name, codes);
}

TEST_F(InstallMapsTest, CodesSelectTheRightGlyphs) {
    const struct {
        const char* font;
        int code;
        const char* glyph;
    } cases[] = {
        {"cmr10", 0, "Gamma"},       {"cmr10", 11, "ff"},           {"cmr10", 60, "exclamdown"},
        {"cmr10", 127, "dieresis"},  {"cmbx12", 65, "A"},           {"cmti10", 36, "sterling"},
        {"cmtt10", 92, "backslash"}, {"cmmi10", 11, "alpha"},       {"cmmi7", 127, "tie"},
        {"cmsy10", 0, "minus"},      {"cmsy10", 49, "infinity"},    {"cmex10", 80, "summationtext"},
        {"cmex10", 90, "integraldisplay"}, {"msam10", 3, "square"}, {"msbm10", 82, "R"},
        {"eufm6", 65, "A"},          {"euex10", 90, "integraldisplay"}, {"wncyr8", 65, "A"},
        {"logo10", 65, "A"},
    };
    for (const auto& c : cases) {
        std::string file = FaceFile(c.font);
        ASSERT_FALSE(file.empty()) << c.font;
        EXPECT_EQ(c.glyph, Glyphs(file, {c.code})[c.code]) << c.font << " code " << c.code;
    }
}

// Characters a TFM file defines: bc..ec whose width index is not 0.
std::set<int> TfmCharacters(const fs::path& tfm) {
    std::ifstream in(tfm, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<int> out;
    if (b.size() < 24) return out;
    auto half = [&](int i) { return b[size_t(2 * i)] << 8 | b[size_t(2 * i + 1)]; };
    int lh = half(1), bc = half(2), ec = half(3);
    for (int c = bc; c <= ec; ++c) {
        size_t at = size_t(24 + 4 * lh + 4 * (c - bc));
        if (at < b.size() && b[at] != 0) out.insert(c);
    }
    return out;
}

TEST_F(InstallMapsTest, EveryTeXLiveFontOfTheCoveredFamiliesHasAllItsGlyphs) {
    const char* folders[] = {"public/cm", "public/amsfonts/cmextra", "public/amsfonts/symbols",
                             "public/amsfonts/euler", "public/amsfonts/cyrillic", "public/knuth-lib",
                             "public/mflogo"};
    int fonts = 0;
    for (const char* folder : folders) {
        fs::path dir = fs::path(*texmfDist_) / "fonts/tfm" / folder;
        ASSERT_TRUE(fs::is_directory(dir)) << dir;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (e.path().extension() != ".tfm") continue;
            std::set<int> chars = TfmCharacters(e.path());
            EXPECT_FALSE(chars.empty()) << e.path();
            ExpectGlyphs(e.path().stem().string(), chars);
            ++fonts;
        }
    }
    EXPECT_GE(fonts, 160);
}

// The encoding vector of a dvips .enc file: code -> glyph name.
std::map<int, std::string> EncodingVector(const std::string& file) {
    std::ifstream in(file);
    std::string text, line;
    while (std::getline(in, line)) text += line.substr(0, line.find('%')) + ' ';
    std::map<int, std::string> out;
    size_t at = text.find('[');
    int code = 0;
    for (size_t i = at; at != std::string::npos && i < text.size() && text[i] != ']'; ++i) {
        if (text[i] != '/') continue;
        size_t end = text.find_first_of(" \t/]", i + 1);
        if (code < 256) out[code] = text.substr(i + 1, end - i - 1);
        ++code;
        i = end - 1;
    }
    return out;
}

// A glyph name without its variant suffix, in lower case: "Grave" and
// "grave.ts1" stand for "grave".
std::string BaseGlyph(std::string name) {
    name = name.substr(0, name.find('.'));
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// The EC, TC and Latin Modern text fonts reach their faces through the
// Unicode character map: every character a TFM file defines lands on the
// glyph that TeX's own encoding vector names for it (or on its plain form
// for the variant glyphs of TS1, or on the glyph the face names for that
// character), but for the few glyphs without a Unicode character, which are
// not drawn, and a few symbols that some faces lack. OT1 is the lower half
// (Latin Modern's "rm-" fonts have more above it); its typewriter and small
// capitals variants are drawn by Computer Modern's faces (raw).
TEST_F(InstallMapsTest, UnicodeEncodingsPutEveryTexTextCodeOnItsGlyph) {
    using Table = unsigned short (*)(unsigned char);
    const struct {
        VrDviTTFMap::EncodingName encoding;
        Table table;
        std::set<int> notDrawn, mayLack;
        int end;
    } encodings[] = {
        {VrDviTTFMap::EncT1Unicode, vrcodes::T1ToUnicode, {0x17, 0x18, 0xDF}, {0x1A}, 256},
        {VrDviTTFMap::EncTS1Unicode, vrcodes::TS1ToUnicode,
         {0x15, 0x16, 0x17, 0x1A, 0x1B, 0x1C, 0x1D, 0x1F, 0x2D, 0x51, 0x62, 0x63, 0x64, 0x6C, 0x6D, 0x71, 0x73,
          0x7E, 0x7F, 0x83, 0x99, 0xAB},
         {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x4F, 0x5B, 0x5D, 0x90, 0x91, 0x93, 0x95, 0x9C},
         256},
        {VrDviTTFMap::EncOT1Unicode, vrcodes::OT1ToUnicode, {0x20}, {}, 128},
        {VrDviTTFMap::Enc8rUnicode, vrcodes::EightrToUnicode, {}, {}, 256},
    };
    // Font -> its encoding vector, from the dvips maps of cm-super and Latin Modern.
    std::map<std::string, std::string> vectors;
    const std::string t1 = Trim(RunCommand("kpsewhich cm-super-t1.enc")),
                      ts1 = Trim(RunCommand("kpsewhich cm-super-ts1.enc"));
    std::istringstream ec(RunCommand("ls " + *texmfDist_ + "/fonts/tfm/jknappen/ec"));
    for (std::string f; ec >> f;)
        if (f.size() == 12 && f.substr(4, 4) == "1000" && (f[0] == 'e' || f[0] == 't'))
            vectors[f.substr(0, 8)] = f[0] == 'e' ? t1 : ts1;
    std::ifstream lm(Trim(RunCommand("kpsewhich lm.map")));
    for (std::string line; std::getline(lm, line);) {
        std::istringstream words(line);
        std::string name, word;
        words >> name;
        if (name.rfind("rm-", 0) && name.rfind("ec-", 0) && name.rfind("ts1-", 0)) continue;
        while (words >> word)
            if (word.size() > 5 && word[0] == '<' && word.substr(word.size() - 4) == ".enc" &&
                word != "<lm-rmtt.enc" && word != "<lm-rmsc.enc")
                vectors[name] = word.substr(1);
    }
    // The 8r fonts of the base faces, from the PostScript fonts' map.
    std::ifstream psnfss(MapDir + "/psnfss.map");
    for (std::string line; std::getline(psnfss, line);)
        if (line.find("'8r-unicode'") != std::string::npos) vectors[line.substr(0, line.find(' '))] = "8r.enc";
    ASSERT_GE(vectors.size(), 300u);
    // Files by name, found in one run of kpsewhich.
    std::string query = "kpsewhich";
    for (const auto& [font, vector] : vectors) query += " " + font + ".tfm";
    for (const char* enc : {"lm-ec.enc", "lm-ts1.enc", "lm-rm.enc", "8r.enc"}) query += std::string(" ") + enc;
    std::map<std::string, std::string> found;
    std::istringstream paths(RunCommand(query));
    for (std::string path; std::getline(paths, path);) found[fs::path(path).filename()] = path;

    // Faces by PostScript name: cm-super's Type1 files and Latin Modern's
    // OpenType files, which the application's font catalog prefers to the
    // Type1 files of the same name, and TeX Live's files of the 8r fonts.
    std::map<std::string, std::string> files;
    std::vector<std::string> dirs = {"/usr/share/texmf/fonts/type1/public/cm-super",
                                     "/usr/share/texmf/fonts/opentype/public/lm"};
    for (const char* sub : {"urw", "adobe/utopia", "bitstrea/charter", "public/fpl"})
        dirs.push_back(*texmfDist_ + "/fonts/type1/" + sub);
    for (const std::string& dir : dirs)
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            if (!e.is_regular_file()) continue;
            FT_Face face;
            if (FT_New_Face(ft_->lib_, e.path().c_str(), 0, &face)) continue;
            FacePtr owner(face);
            if (const char* ps = FT_Get_Postscript_Name(face)) files[Upper(ps)] = e.path();
        }

    int fonts = 0, codes = 0;
    for (const auto& [font, vector] : vectors) {
        SCOPED_TRACE(font);
        const VrDviTTFMap::Entry* e = map_->GetEntry(font.c_str());
        ASSERT_NE(nullptr, e);
        const auto* enc = std::find_if(std::begin(encodings), std::end(encodings),
                                       [&](const auto& x) { return x.encoding == e->encoding; });
        ASSERT_NE(enc, std::end(encodings)) << "encoding " << e->encoding;
        ASSERT_TRUE(files.count(Upper(e->sbc.fontName.c_str()))) << e->sbc.fontName.c_str();
        FT_Face face;
        ASSERT_EQ(0, FT_New_Face(ft_->lib_, files[Upper(e->sbc.fontName.c_str())].c_str(), 0, &face));
        FacePtr owner(face);
        ASSERT_EQ(0, FT_Select_Charmap(face, FT_ENCODING_UNICODE));
        const std::map<int, std::string> names = EncodingVector(found.count(vector) ? found[vector] : vector);
        ASSERT_FALSE(names.empty()) << vector;
        ASSERT_TRUE(found.count(font + ".tfm"));
        for (int code : TfmCharacters(found[font + ".tfm"])) {
            if (code >= enc->end) continue;
            const unsigned short u = enc->table((unsigned char)code);
            if (enc->notDrawn.count(code)) {
                EXPECT_EQ(u, 0) << "code " << code;
                continue;
            }
            const FT_UInt g = u ? FT_Get_Char_Index(face, u) : 0;
            char name[64] = "";
            if (g) FT_Get_Glyph_Name(face, g, name, sizeof name);
            if (!g && enc->mayLack.count(code)) continue;
            const std::string want = names.count(code) ? names.at(code) : "";
            char own[16];
            std::snprintf(own, sizeof own, "uni%04X", unsigned(u));
            std::string undotted = name;
            undotted.erase(std::remove_if(undotted.begin(), undotted.end(), [](char c) { return c == '.' || c == '_'; }),
                           undotted.end());
            EXPECT_TRUE(g && (want == name || BaseGlyph(want) == BaseGlyph(name) || undotted == want ||
                              std::string(name) == own || (want == "hyphen.alt" && std::string(name) == "hyphen")))
                << "code " << code << " (U+" << std::hex << u << std::dec << ") is " << name << ", not " << want;
            ++codes;
        }
        ++fonts;
    }
    std::printf("%d fonts, %d codes checked\n", fonts, codes);
}

} // namespace
