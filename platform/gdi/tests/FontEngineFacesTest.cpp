// Faces of the font engine: enumeration by family and PostScript name,
// fallback for faces that are not installed, fonts added for the process,
// and symbol character maps.
#include <algorithm>
#include <cstdlib>

#include "platform/gdi/tests/FontTestSupport.h"

using namespace fonttest;

namespace {
bool HasFace(const std::vector<Seen>& seen, const char* name) {
    return std::any_of(seen.begin(), seen.end(), [&](const Seen& s) { return std::string(s.lf.lfFaceName) == name; });
}
}  // namespace

TEST(FontEngineFaces, EnumeratesAllFamiliesOnceEach) {
    ASSERT_FALSE(Kpsewhich("cmr10.pfb").empty()) << "texlive-base is needed";
    int result = 0;
    auto all = Enumerate(nullptr, &result);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(HasFace(all, "DejaVu Sans"));
    EXPECT_TRUE(HasFace(all, "DejaVu Serif"));
    EXPECT_TRUE(HasFace(all, "Computer Modern"));
    for (const Seen& s : all) {
        EXPECT_EQ(s.type, DWORD(TRUETYPE_FONTTYPE)) << s.lf.lfFaceName;
        EXPECT_EQ(std::count_if(all.begin(), all.end(),
                                [&](const Seen& o) { return strcasecmp(o.lf.lfFaceName, s.lf.lfFaceName) == 0; }),
                  1)
            << s.lf.lfFaceName;
    }
    EXPECT_EQ(Enumerate("").size(), all.size());

    // A callback that returns 0 ends the enumeration.
    Collector first;
    first.stopAfter = 1;
    EXPECT_EQ(FontEngine::EnumFontFamilies(nullptr, &Collector::Proc, reinterpret_cast<LPARAM>(&first)), 0);
    EXPECT_EQ(first.seen.size(), 1u);
}

TEST(FontEngineFaces, EnumeratesFacesOfFamilyOrPostScriptName) {
    ASSERT_FALSE(Kpsewhich("cmr10.pfb").empty()) << "texlive-base is needed";
    struct Case {
        const char* asked;
        const char* reported;
        size_t minFaces;
        BYTE charSet;
    } cases[] = {
        {"DejaVu Sans", "DejaVu Sans", 4, ANSI_CHARSET},
        {"dejavu SANS", "DejaVu Sans", 4, ANSI_CHARSET},
        {"CMR10", "CMR10", 1, SYMBOL_CHARSET},
        {"cmmi10", "CMMI10", 1, SYMBOL_CHARSET},
        {"MSAM10", "MSAM10", 1, SYMBOL_CHARSET},
        // cm-super's faces, in the standard encoding, share the family.
        {"Computer Modern", "Computer Modern", 20, DEFAULT_CHARSET},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        int result = 0;
        auto seen = Enumerate(c.asked, &result);
        ASSERT_GE(seen.size(), c.minFaces);
        EXPECT_EQ(result, 1);
        for (const Seen& s : seen) {
            EXPECT_STREQ(s.lf.lfFaceName, c.reported);
            EXPECT_EQ(s.type, DWORD(TRUETYPE_FONTTYPE));
            if (c.charSet == DEFAULT_CHARSET)
                EXPECT_TRUE(s.lf.lfCharSet == SYMBOL_CHARSET || s.lf.lfCharSet == ANSI_CHARSET);
            else
                EXPECT_EQ(s.lf.lfCharSet, c.charSet);
            EXPECT_EQ(s.tm.tmAscent + s.tm.tmDescent, s.tm.tmHeight);
        }
    }
    // The regular face of a family comes first.
    for (const char* name : {"DejaVu Sans", "Computer Modern"}) {
        auto seen = Enumerate(name);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen[0].lf.lfItalic, 0);
        EXPECT_LE(seen[0].lf.lfWeight, 500);
    }
    // A PostScript name is one face; the family holds its bold and italic.
    EXPECT_EQ(Enumerate("CMR10").size(), 1u);
    auto family = Enumerate("DejaVu Sans");
    EXPECT_TRUE(std::any_of(family.begin(), family.end(), [](const Seen& s) { return s.lf.lfWeight == FW_BOLD; }));
    EXPECT_TRUE(std::any_of(family.begin(), family.end(), [](const Seen& s) { return s.lf.lfItalic != 0; }));

    int result = 7;
    EXPECT_TRUE(Enumerate("No Such Face Qzx", &result).empty());
    EXPECT_EQ(result, 0);
}

TEST(FontEngineFaces, EnumeratedLogfontMakesThatFace) {
    for (const char* name : {"CMBX10", "DejaVu Serif"}) {
        SCOPED_TRACE(name);
        auto seen = Enumerate(name);
        ASSERT_FALSE(seen.empty());
        LOGFONT lf = seen[0].lf;
        lf.lfHeight = -28;
        lf.lfWidth = 0;
        EXPECT_TRUE(SameMask(Draw(lf, u"Ag").mask, Draw(Font(name, -28), u"Ag").mask));
        EXPECT_FALSE(SameMask(Draw(lf, u"Ag").mask, Draw(Font("", -28), u"Ag").mask));
    }
}

TEST(FontEngineFaces, MissingFaceFallsBackToDefaultFace) {
    const auto fallback = Draw(Font("", -24), u"Rag").mask;
    ASSERT_GT(fallback.width, 0);
    // fontconfig's default on this system is DejaVu Sans.
    EXPECT_TRUE(SameMask(fallback, Draw(Font("DejaVu Sans", -24), u"Rag").mask));
    for (const char* name : {"No Such Face Qzx", "CMR10 but longer"}) {
        SCOPED_TRACE(name);
        auto font = FontEngine::Resolve(Font(name, -24));
        ASSERT_NE(font, nullptr);
        EXPECT_TRUE(SameMask(Draw(*font, u"Rag").mask, fallback));
    }
    // Korean faces that are not installed resolve to an installed Korean
    // face (the setup script installs one), in either code page.
    for (const char* name : {"\xB9\xD9\xC5\xC1\xC3\xBC" /* 바탕체 in code page 949 */, "Gulim", "\xEB\x8F\x8B\xEC\x9B\x80"}) {
        SCOPED_TRACE(name);
        auto font = FontEngine::Resolve(Font(name, -24));
        ASSERT_NE(font, nullptr);
        EXPECT_FALSE(SameMask(Draw(*font, u"Rag").mask, fallback));
        EXPECT_GT(Draw(*font, u"\uAC00").mask.width, 0);
    }
    // Weight and slant still apply to the fallback.
    EXPECT_TRUE(SameMask(Draw(Font("No Such Face Qzx", -24, FW_BOLD), u"Rag").mask,
                         Draw(Font("DejaVu Sans", -24, FW_BOLD), u"Rag").mask));
    // The same LOGFONT gives the same instance.
    EXPECT_EQ(FontEngine::Resolve(Font("No Such Face Qzx", -24)), FontEngine::Resolve(Font("No Such Face Qzx", -24)));
}

TEST(FontEngineFaces, AddedFontFileIsUsableUntilRemoved) {
    TempDir dir;
    const std::string path = dir / "qwixel-serif.ttf";
    ASSERT_TRUE(CopyFont(kDejaVuSerif, path, "DejaVu", "Qwixel", false));
    const auto serif = Draw(Font("DejaVu Serif", -26), u"Rag").mask;
    const auto fallback = Draw(Font("", -26), u"Rag").mask;
    ASSERT_FALSE(SameMask(serif, fallback));

    EXPECT_TRUE(Enumerate("Qwixel Serif").empty());
    EXPECT_TRUE(SameMask(Draw(Font("Qwixel Serif", -26), u"Rag").mask, fallback));

    EXPECT_EQ(FontEngine::AddFontResource(path.c_str()), 1);
    auto seen = Enumerate("Qwixel Serif");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_STREQ(seen[0].lf.lfFaceName, "Qwixel Serif");
    EXPECT_TRUE(HasFace(Enumerate(nullptr), "Qwixel Serif"));
    EXPECT_TRUE(SameMask(Draw(Font("Qwixel Serif", -26), u"Rag").mask, serif));
    // Adding the file again adds nothing new.
    EXPECT_EQ(FontEngine::AddFontResource(path.c_str()), 1);
    EXPECT_EQ(Enumerate("Qwixel Serif").size(), 1u);

    EXPECT_TRUE(FontEngine::RemoveFontResource(path.c_str()));
    EXPECT_TRUE(Enumerate("Qwixel Serif").empty());
    EXPECT_TRUE(SameMask(Draw(Font("Qwixel Serif", -26), u"Rag").mask, fallback));
    EXPECT_FALSE(FontEngine::RemoveFontResource(path.c_str()));
}

TEST(FontEngineFaces, FaceNamesInCodePage949AndCutNamesFindTheirFamily) {
    TempDir dir;
    const std::string path = dir / "korean-serif.ttf";
    // The family in UTF-16 names becomes U+BC14 U+D0D5 U+CCB4 four times:
    // 36 bytes in UTF-8, more than lfFaceName holds; 24 in code page 949.
    ASSERT_TRUE(CopyFont(kDejaVuSerif, path, "DejaVu Serif", "Qwikor Serif", false,
                         u"\uBC14\uD0D5\uCCB4\uBC14\uD0D5\uCCB4\uBC14\uD0D5\uCCB4\uBC14\uD0D5\uCCB4"));
    ASSERT_EQ(FontEngine::AddFontResource(path.c_str()), 1);
    const std::string cp949 = "\xB9\xD9\xC5\xC1\xC3\xBC\xB9\xD9\xC5\xC1\xC3\xBC\xB9\xD9\xC5\xC1\xC3\xBC"
                              "\xB9\xD9\xC5\xC1\xC3\xBC";
    const std::string utf8 = "\xEB\xB0\x94\xED\x83\x95\xEC\xB2\xB4\xEB\xB0\x94\xED\x83\x95\xEC\xB2\xB4"
                             "\xEB\xB0\x94\xED\x83\x95\xEC\xB2\xB4\xEB\xB0\x94\xED\x83\x95\xEC\xB2\xB4";
    auto seen = Enumerate(cp949.c_str());
    ASSERT_EQ(seen.size(), 1u);
    // Reported in UTF-8, cut to 31 bytes inside a character.
    EXPECT_EQ(std::string(seen[0].lf.lfFaceName), utf8.substr(0, LF_FACESIZE - 1));
    const auto serif = Draw(Font("DejaVu Serif", -22), u"Rag").mask;
    EXPECT_TRUE(SameMask(Draw(Font(cp949.c_str(), -22), u"Rag").mask, serif));
    LOGFONT enumerated = seen[0].lf;
    enumerated.lfHeight = -22;
    enumerated.lfWidth = 0;
    EXPECT_TRUE(SameMask(Draw(enumerated, u"Rag").mask, serif));
    // A code page 949 name cut after a lead byte names another face.
    EXPECT_FALSE(SameMask(Draw(Font((cp949 + cp949).substr(0, LF_FACESIZE - 1).c_str(), -22), u"Rag").mask, serif));
    EXPECT_TRUE(FontEngine::RemoveFontResource(path.c_str()));
    EXPECT_TRUE(Enumerate(cp949.c_str()).empty());
}

TEST(FontEngineFaces, TexFaceAddedAgainIsListedOnce) {
    const std::string cmr10 = Kpsewhich("cmr10.pfb");
    ASSERT_FALSE(cmr10.empty()) << "texlive-base is needed";
    const size_t family = Enumerate("Computer Modern").size();
    const auto before = Draw(Font("CMR10", -20), u"Tex").mask;
    ASSERT_EQ(FontEngine::AddFontResource(cmr10.c_str()), 1);
    EXPECT_EQ(Enumerate("CMR10").size(), 1u);
    EXPECT_EQ(Enumerate("Computer Modern").size(), family);
    EXPECT_TRUE(FontEngine::RemoveFontResource(cmr10.c_str()));
    // Still installed through the TeX tree.
    EXPECT_EQ(Enumerate("CMR10").size(), 1u);
    EXPECT_TRUE(SameMask(Draw(Font("CMR10", -20), u"Tex").mask, before));
}

TEST(FontEngineFaces, FilesWithoutFacesAreRefused) {
    TempDir dir;
    const std::string text = dir / "notes.ttf";
    std::ofstream(text) << "not a font\n";
    const std::string truncated = dir / "cut.ttf";
    {
        std::ifstream in(kDejaVuSans, std::ios::binary);
        std::vector<char> head(2000);
        in.read(head.data(), std::streamsize(head.size()));
        std::ofstream(truncated, std::ios::binary).write(head.data(), std::streamsize(head.size()));
    }
    for (const std::string& p : {text, truncated, dir / "missing.ttf", std::string()}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(FontEngine::AddFontResource(p.c_str()), 0);
        EXPECT_FALSE(FontEngine::RemoveFontResource(p.c_str()));
    }
    EXPECT_EQ(FontEngine::AddFontResource(nullptr), 0);
    EXPECT_FALSE(FontEngine::RemoveFontResource(nullptr));
}

TEST(FontEngineFaces, SymbolMapFaceTakesPrivateUseCodes) {
    TempDir dir;
    const std::string path = dir / "qwixsy-serif.ttf";
    ASSERT_TRUE(CopyFont(kDejaVuSerif, path, "DejaVu", "Qwixsy", true));
    ASSERT_EQ(FontEngine::AddFontResource(path.c_str()), 1);
    auto seen = Enumerate("Qwixsy Serif");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].lf.lfCharSet, SYMBOL_CHARSET);

    auto symbol = FontEngine::Resolve(Font("Qwixsy Serif", -30));
    EXPECT_EQ(symbol->Metrics().tmCharSet, SYMBOL_CHARSET);
    auto serif = FontEngine::Resolve(Font("DejaVu Serif", -30));
    // The same outlines; hinting may differ by a pixel without a Unicode map.
    auto similar = [](const FontInstance::Mask& a, const FontInstance::Mask& b) {
        Ink x = InkOf(a), y = InkOf(b);
        return x.any && y.any && std::abs(x.left - y.left) <= 1 && std::abs(x.top - y.top) <= 1 &&
               std::abs(x.right - y.right) <= 1 && std::abs(x.bottom - y.bottom) <= 1 &&
               std::abs(x.sum - y.sum) <= y.sum / 10;
    };
    for (char16_t c : std::u16string_view(u"A&z~")) {
        SCOPED_TRACE(int(c));
        const auto expected = Draw(*serif, std::u16string(1, c)).mask;
        EXPECT_TRUE(similar(Draw(*symbol, std::u16string(1, char16_t(0xF000 | c))).mask, expected));
        EXPECT_TRUE(SameMask(Draw(*symbol, std::u16string(1, c)).mask,
                             Draw(*symbol, std::u16string(1, char16_t(0xF000 | c))).mask));
        EXPECT_EQ(symbol->Advance(char16_t(0xF000 | c)), serif->Advance(c));
    }
    // A face with a Unicode map also reads the symbol range by its low byte.
    EXPECT_TRUE(SameMask(Draw(*serif, u"\uF041").mask, Draw(*serif, u"A").mask));
    EXPECT_TRUE(FontEngine::RemoveFontResource(path.c_str()));
}
