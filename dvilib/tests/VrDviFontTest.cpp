// Font metrics against TeX's own tools: real TFM files read back by tftopl,
// VF and OFM files made from property lists by vptovf, opl2ofm and ovp2ovf,
// and damaged copies of them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "DviTestSupport.h"
#include "dvilib/VrDviError.h"
#include "dvilib/VrDviFont.h"
#include "dvilib/VrDviTTFMap.h"
#include "platform/kpathsea/KPathSea.h"

using namespace dvitest;
namespace fs = std::filesystem;

namespace {

using Font = VrDvi::ItrnFont;

class ErrorSink {
public:
    ErrorSink() {
        old_ = VrDviSetErrorHook([this](const char* t) { texts.emplace_back(t); });
    }
    ~ErrorSink() { VrDviSetErrorHook(old_); }
    std::string Last() const { return texts.empty() ? std::string() : texts.back(); }
    std::vector<std::string> texts;

private:
    VrDviErrorHook old_;
};

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// TeX's scaling of a fix_word by a size z (tex.web, "Replace z by z' and
// compute alpha, beta" and "Store scaled dimension"), as the oracle.
int TexScale(int32_t fix, int z) {
    int alpha = 16;
    while (z >= 0x800000) {
        z /= 2;
        alpha += alpha;
    }
    int beta = 256 / alpha;
    alpha *= z;
    uint32_t u = uint32_t(fix);
    int a = int(u >> 24), b = int((u >> 16) & 255), c = int((u >> 8) & 255), d = int(u & 255);
    int sw = (((((d * z) / 0400) + (c * z)) / 0400) + (b * z)) / beta;
    if (a == 0) return sw;
    EXPECT_EQ(a, 255);
    return sw - alpha;
}

// A real number of a property list as pltotf turns it into a fix_word.
int32_t PlReal(const std::string& text) {
    bool neg = text[0] == '-';
    std::string t = neg || text[0] == '+' ? text.substr(1) : text;
    size_t dot = t.find('.');
    int64_t whole = std::stoll(t.substr(0, dot));
    std::string frac = dot == std::string::npos ? "" : t.substr(dot + 1);
    frac = frac.substr(0, 7);
    int64_t f = 0, scale = 1;
    for (char c : frac) {
        f = f * 10 + (c - '0');
        scale *= 10;
    }
    int64_t v = whole * (1 << 20) + (f * (1 << 21) / scale + 1) / 2;
    return int32_t(neg ? -v : v);
}

struct PlChar {
    int32_t wd = 0, ht = 0, dp = 0, ic = 0;
};

struct PlFont {
    int32_t designSize = 0;
    uint32_t checksum = 0;
    std::map<unsigned, PlChar> chars;
};

unsigned PlCode(const std::string& kind, const std::string& v) {
    if (kind == "C") return (unsigned char)v[0];
    if (kind == "O") return unsigned(std::stoul(v, nullptr, 8));
    if (kind == "H") return unsigned(std::stoul(v, nullptr, 16));
    return unsigned(std::stoul(v));
}

// The characters of a property list as tftopl or ofm2opl write it.
PlFont ParsePl(const std::string& text) {
    PlFont pl;
    std::istringstream in(text);
    std::string line;
    PlChar* cur = nullptr;
    std::vector<std::pair<unsigned, unsigned>> repeats;  // first character, further ones
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, kind, value, countKind, count;
        words >> key >> kind >> value >> countKind >> count;
        if (!value.empty() && value.back() == ')') value.pop_back();
        if (key == "(CHARREPEAT") {
            repeats.push_back({PlCode(kind, value), PlCode(countKind, count)});
            key = "(CHARACTER";
        }
        if (key == "(DESIGNSIZE") pl.designSize = PlReal(value);
        else if (key == "(CHECKSUM") pl.checksum = PlCode(kind, value);
        else if (key == "(CHARACTER") cur = &pl.chars[PlCode(kind, value)];
        else if (cur && key == "(CHARWD") cur->wd = PlReal(value);
        else if (cur && key == "(CHARHT") cur->ht = PlReal(value);
        else if (cur && key == "(CHARDP") cur->dp = PlReal(value);
        else if (cur && key == "(CHARIC") cur->ic = PlReal(value);
    }
    for (auto [first, more] : repeats)
        for (unsigned k = 1; k <= more; ++k) pl.chars[first + k] = pl.chars[first];
    return pl;
}

// A reader that loads fonts on request.
class FontDvi : public VrDvi {
public:
    using VrDvi::LoadItrnFont;
    using VrDvi::VrDvi;
};

DList<String8> Paths(std::initializer_list<std::string> folders) {
    DList<String8> l;
    for (const auto& f : folders) l.AddTail(String8(f.c_str()));
    return l;
}

std::string KpseWhich(const std::string& file) { return Trim(RunCommand("kpsewhich " + file)); }

// Writes a property list and runs a TeX tool on it in dir.
void Tool(const TempDir& dir, const std::string& command, const std::string& file, const std::string& text) {
    std::ofstream(dir.File(file)) << text;
    std::string r = RunIn(dir, command);
    ASSERT_EQ(r.rfind("FAILED", 0), std::string::npos) << command << ": " << r;
}

constexpr int kPt = 1 << 16;

} // namespace

TEST(FontScaling, RealTfmFilesMatchTfToPlAtSeveralSizes) {
    const char* names[] = {"cmr10", "cmmi10", "cmsy10", "cmex10", "cmbx12", "msam10", "msbm10",
                           "cmti10", "cmtt10", "cmr5", "cmss10", "cmcsc10", "cmmib10", "eufm10"};
    KPathSea kpse;
    kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    ASSERT_TRUE(kpse.IsKPathSeaDLLLoaded());
    FontDvi dvi;
    dvi.SetKPathSea(&kpse);
    for (const char* name : names) {
        std::string tfm = KpseWhich(std::string(name) + ".tfm");
        ASSERT_FALSE(tfm.empty()) << name;
        std::string pl = RunCommand("tftopl '" + tfm + "'");
        ASSERT_EQ(pl.rfind("FAILED", 0), std::string::npos) << name << pl;
        PlFont ref = ParsePl(pl);
        ASSERT_GT(ref.chars.size(), 30u) << name;
        // The design size, 12.5 pt, and a size past 128 pt, where TeX's
        // scaler halves the size first.
        int design = TexScale(ref.designSize, 1 << 16);  // in scaled points
        for (int size : {design, 12 * kPt + kPt / 2, 300 * kPt}) {
            Font* f = dvi.LoadItrnFont("", name, size, unsigned(design));
            ASSERT_NE(f, nullptr) << name;
            EXPECT_EQ(f->GetScaleSize(), size);
            EXPECT_EQ(f->GetCheckSum(), ref.checksum) << name;
            EXPECT_EQ(int(f->GetDesignSize()), ref.designSize >> 4) << name;
            for (unsigned c = 0; c < 300; ++c) {
                auto it = ref.chars.find(c);
                ASSERT_EQ(f->IsValidChar(c), it != ref.chars.end()) << name << " " << c;
                if (it == ref.chars.end()) {
                    EXPECT_EQ(f->GetCharWidthA(c), 0);
                    continue;
                }
                const PlChar& p = it->second;
                EXPECT_EQ(f->GetCharWidthA(c), TexScale(p.wd, size)) << name << " " << c << " at " << size;
                EXPECT_EQ(f->GetCharHeight(c), TexScale(p.ht, size)) << name << " " << c;
                EXPECT_EQ(f->GetCharDepth(c), TexScale(p.dp, size)) << name << " " << c;
                EXPECT_EQ(f->GetCharItalic(c), TexScale(p.ic, size)) << name << " " << c;
            }
        }
    }
    // A value known from TeX: cmr10's 'A' at 10 pt.
    EXPECT_EQ(dvi.LoadItrnFont("", "cmr10", 10 * kPt, 10 * kPt)->GetCharWidthA('A'), 491521);
}

TEST(FontLoading, PathListsKpathseaSharingAndSizes) {
    TempDir a, b;
    // cmr10 in the second folder as .tfm and .ofm (the .ofm wins there);
    // only in the first folder as a .tfm under another name.
    std::string cmr10 = KpseWhich("cmr10.tfm");
    fs::copy_file(cmr10, a.File("mine.tfm"));
    WriteFile(b.File("mine.tfm"), TinyTfm());
    fs::copy_file(cmr10, b.File("other.tfm"));
    Tool(b, "opl2ofm other.opl other.ofm", "other.opl",
         "(OFMLEVEL H 0)\n(DESIGNSIZE R 10.0)\n(CHARACTER H 41 (CHARWD R 0.25))\n");
    FontDvi dvi("", Paths({a.Path().string(), b.Path().string() + "/"}), NoPaths());
    ErrorSink errors;

    Font* mine = dvi.LoadItrnFont("", "mine", 10 * kPt, 10 * kPt);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->GetCharWidthA('A'), 491521);  // the first folder's file
    Font* other = dvi.LoadItrnFont("", "other", 10 * kPt, 10 * kPt);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->GetCharWidthA('A'), 10 * kPt / 4);  // .ofm before .tfm
    EXPECT_FALSE(other->IsValidChar('B'));

    // Same name and size: one font; another size: another font.
    EXPECT_EQ(dvi.LoadItrnFont("", "mine", 10 * kPt, 0), mine);
    Font* big = dvi.LoadItrnFont("", "mine", 20 * kPt, 10 * kPt);
    ASSERT_NE(big, nullptr);
    EXPECT_NE(big, mine);
    EXPECT_EQ(big->GetCharWidthA('A'), 983042);  // TeX's value at 20 pt
    // Size 0: the design size, turned.
    Font* turned = dvi.LoadItrnFont("", "mine", 0, 12 * kPt);
    ASSERT_NE(turned, nullptr);
    EXPECT_EQ(turned->GetScaleSize(), 12 * kPt);
    EXPECT_EQ(turned->GetRotate(), 900u);
    EXPECT_EQ(dvi.LoadItrnFont("", "mine", -3, 12 * kPt), turned);
    EXPECT_EQ(dvi.GetNItrnFont(), 4);

    // Not in the folders: kpathsea when the reader has it.
    EXPECT_EQ(dvi.LoadItrnFont("", "cmr12", 12 * kPt, 12 * kPt), nullptr);
    EXPECT_NE(errors.Last().find("cmr12: no metric file found"), std::string::npos) << errors.Last();
    KPathSea kpse;
    kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    dvi.SetKPathSea(&kpse);
    Font* cmr12 = dvi.LoadItrnFont("", "cmr12", 12 * kPt, 12 * kPt);
    ASSERT_NE(cmr12, nullptr);
    EXPECT_EQ(cmr12->GetID(), 4);
    EXPECT_EQ(cmr12->GetDesignSize(), unsigned(12 * kPt));

    // Sizes TeX's scaler cannot take are refused.
    for (int size : {1 << 27, 0x7fffffff}) {
        EXPECT_EQ(dvi.LoadItrnFont("", "cmr12", size, 0), nullptr);
        EXPECT_NE(errors.Last().find("size is out of range"), std::string::npos);
    }
    EXPECT_EQ(dvi.LoadItrnFont("", "cmr12", 0, 0x80000000u), nullptr);
    EXPECT_NE(dvi.LoadItrnFont("", "cmr12", (1 << 27) - 1, 0), nullptr);

    int n = 0;
    for (VrDvi::ItrnFontItr it(dvi); !it.IsFinished(); ++it) ++n;
    EXPECT_EQ(n, dvi.GetNItrnFont());
}

TEST(FontLoading, TrueTypeSettingsFromTheMapAndFromTheTfmHeader) {
    TempDir dir;
    // Header words 18 and up: the faces, sizes and flags of the font.
    Tool(dir, "pltotf ttf.pl ttf.tfm", "ttf.pl",
         "(DESIGNSIZE R 10.0)\n"
         "(HEADER D 18 O 1)\n"
         "(HEADER D 22 O 4000000)\n"       // height 1.0
         "(HEADER D 23 O 2000000)\n"       // average width 0.5
         "(HEADER D 24 O 400000)\n"       // vertical adjustment 0.125
         "(HEADER D 25 O 257100003)\n"    // weight 700, italic, encoding 3
         "(HEADER D 26 O 5)\n"
         "(HEADER D 27 O 10630261545)\n"  // "Face"
         "(HEADER D 28 O 13000000000)\n"  // "X"
         "(HEADER D 29 O 4000000)\n"      // double-byte height 1.0
         "(HEADER D 30 O 0)\n(HEADER D 31 O 0)\n"
         "(HEADER D 32 O 1440040000)\n"   // weight 3200, slant
         "(HEADER D 33 O 2)\n"
         "(HEADER D 34 O 11333600000)\n"  // "Ko"
         "(CHARACTER C A (CHARWD R 0.5))\n");
    fs::copy_file(dir.File("ttf.tfm"), dir.File("xhanja12.tfm"));
    fs::copy_file(dir.File("ttf.tfm"), dir.File("xhanja.tfm"));
    {
        std::ofstream map(dir.File("t.map"));
        map << "ttf { fontname = 'Mapped', height = '0.9', vadjustment = '-0.1', italic = 'true', "
               "dbcfontname = 'Batang', dbcaveragewidth = '0.5', encoding = 'xhanja-unicode' }\n"
               "xhanja12 { encoding = 'xhanja-unicode' }\n"
               "xhanja { encoding = 'xhanja-unicode' }\n";
    }
    auto old = VrDviTTFMap::SetFaceTest([](const char*) { return 1; });
    VrDviTTFMap map;
    ASSERT_EQ(map.AppendTTFMapFile(dir.File("t.map").c_str()), 1);

    FontDvi bare("", Paths({dir.Path().string()}), NoPaths());
    Font* f = bare.LoadItrnFont("", "ttf", 20 * kPt, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->GetSBCTTFInfo().faceName.c_str(), "FaceX");
    EXPECT_EQ(f->GetSBCTTFInfo().height, 20 * kPt);
    EXPECT_EQ(f->GetSBCTTFInfo().averageWidth, 10 * kPt);
    EXPECT_EQ(f->GetSBCTTFInfo().vAdjustment, 20 * kPt / 8);
    EXPECT_EQ(f->GetSBCTTFInfo().weight, 700);
    EXPECT_EQ(f->GetSBCTTFInfo().italic, 1);
    EXPECT_EQ(f->GetSBCTTFInfo().slant, 0);
    EXPECT_EQ(f->GetEncoding(), VrDviTTFMap::EncXHanUnicode);
    ASSERT_TRUE(f->IsDBCEnabled());
    EXPECT_STREQ(f->GetDBCTTFInfo().faceName.c_str(), "Ko");
    EXPECT_EQ(f->GetDBCTTFInfo().height, 20 * kPt);
    EXPECT_EQ(f->GetDBCTTFInfo().weight, 3200);
    EXPECT_EQ(f->GetDBCTTFInfo().italic, 0);
    EXPECT_EQ(f->GetDBCTTFInfo().slant, 1);

    // The map's entry overrides the header.
    FontDvi mapped("", Paths({dir.Path().string()}), NoPaths());
    mapped.SetDviTTFMap(&map);
    f = mapped.LoadItrnFont("", "ttf", 20 * kPt, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->GetSBCTTFInfo().faceName.c_str(), "mapped");
    EXPECT_EQ(f->GetSBCTTFInfo().height, int(20 * kPt * 0.9));
    EXPECT_EQ(f->GetSBCTTFInfo().vAdjustment, int(20 * kPt * -0.1));
    EXPECT_EQ(f->GetSBCTTFInfo().italic, 1);
    EXPECT_STREQ(f->GetDBCTTFInfo().faceName.c_str(), "batang");
    EXPECT_EQ(f->GetDBCTTFInfo().averageWidth, 10 * kPt);
    EXPECT_EQ(f->GetEncoding(), VrDviTTFMap::EncXHanjaUnicode);
    EXPECT_EQ(f->GetxSeriesFontIndex(), 1);
    EXPECT_EQ(mapped.LoadItrnFont("", "xhanja12", 10 * kPt, 0)->GetxSeriesFontIndex(), 12);
    EXPECT_EQ(mapped.LoadItrnFont("", "xhanja", 10 * kPt, 0)->GetxSeriesFontIndex(), 1);
    VrDviTTFMap::SetFaceTest(old);
}

namespace {

// Bytes of a packet as the loader writes it: opcode and big-endian values.
struct Bytes {
    std::vector<unsigned char> b;
    Bytes& Op(int op) {
        b.push_back((unsigned char)op);
        return *this;
    }
    Bytes& N(uint32_t v, int k) {
        for (int i = k - 1; i >= 0; --i) b.push_back((unsigned char)(v >> (8 * i)));
        return *this;
    }
    Bytes& Text(const std::string& s) {
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
};

std::vector<unsigned char> Packet(const Font* f, unsigned c) {
    const unsigned char* p = f->GetCharPacket(c);
    if (!p) return {};
    return {p, p + f->GetCharPacketLength(c)};
}

} // namespace

TEST(VirtualFonts, PacketsAndLocalFontsAsVpToVfWritesThem) {
    TempDir dir;
    Tool(dir, "vptovf vtest.vpl vtest.vf vtest.tfm", "vtest.vpl",
         "(VTITLE test)\n(DESIGNSIZE R 10.0)\n"
         "(MAPFONT D 0 (FONTNAME cmr10) (FONTDSIZE R 10.0))\n"
         "(MAPFONT D 5 (FONTNAME cmbx10) (FONTAT R 2.0) (FONTDSIZE R 10.0))\n"
         "(MAPFONT D 7 (FONTNAME vlrnosuchfont))\n"
         "(CHARACTER C A (CHARWD R 0.75) (CHARHT R 0.68) (CHARDP R 0.1) (MAP (SETCHAR C A)))\n"
         "(CHARACTER C B (CHARWD R 0.9) (MAP (PUSH) (MOVERIGHT R 0.5) (MOVEDOWN R -0.25)"
         " (SETRULE R 0.1 R 0.2) (POP) (SELECTFONT D 5) (SETCHAR C B) (SPECIAL hello world)))\n"
         "(CHARACTER C C (CHARWD R 0.1) (MAP (MOVERIGHT R -0.000001) (SETCHAR O 300)))\n"
         "(CHARACTER C D (CHARWD R 0.2))\n");
    std::string cm = fs::path(KpseWhich("cmr10.tfm")).parent_path().string();
    ErrorSink errors;
    for (int z : {10 * kPt, 15 * kPt}) {
        FontDvi dvi("", Paths({dir.Path().string(), cm}), Paths({dir.Path().string()}));
        Font* f = dvi.LoadItrnFont("", "vtest", z, 10 * kPt);
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(f->IsVirtual());
        EXPECT_EQ(f->GetCharWidthA('A'), TexScale(PlReal("0.75"), z));
        EXPECT_EQ(f->GetCharDepth('A'), TexScale(PlReal("0.1"), z));
        EXPECT_EQ(Packet(f, 'A'), std::vector<unsigned char>{'A'});
        Bytes b;
        b.Op(dviop::Push)
            .Op(dviop::W4).N(uint32_t(TexScale(PlReal("0.5"), z)), 4)
            .Op(dviop::Y4).N(uint32_t(TexScale(PlReal("-0.25"), z)), 4)
            .Op(dviop::SetRule).N(uint32_t(TexScale(PlReal("0.1"), z)), 4).N(uint32_t(TexScale(PlReal("0.2"), z)), 4)
            .Op(dviop::Pop)
            .Op(dviop::FntNum0 + 1)
            .Op('B')
            .Op(dviop::Xxx4).N(11, 4).Text("hello world");
        EXPECT_EQ(Packet(f, 'B'), b.b);
        // w1 0xFF: one fix_word unit backwards.
        Bytes c;
        c.Op(dviop::W4).N(uint32_t(TexScale(-1, z)), 4).Op(dviop::Set1).N(0300, 1);
        EXPECT_EQ(Packet(f, 'C'), c.b);
        EXPECT_EQ(TexScale(-1, z), -1);
        // Without a map the character sets itself.
        EXPECT_EQ(Packet(f, 'D'), std::vector<unsigned char>{'D'});
        EXPECT_EQ(f->GetCharPacket('E'), nullptr);

        EXPECT_EQ(f->GetFirstLocalFont(), 0);
        ASSERT_NE(f->GetLocalFont(0), nullptr);
        EXPECT_STREQ(f->GetLocalFont(0)->GetName().c_str(), "cmr10");
        EXPECT_EQ(f->GetLocalFont(0)->GetScaleSize(), z);
        // vptovf numbers the fonts 0, 1, 2 in their order.
        ASSERT_NE(f->GetLocalFont(1), nullptr);
        EXPECT_STREQ(f->GetLocalFont(1)->GetName().c_str(), "cmbx10");
        EXPECT_EQ(f->GetLocalFont(1)->GetScaleSize(), 2 * z);
        EXPECT_FALSE(f->GetLocalFont(1)->IsVirtual());
        EXPECT_EQ(f->GetLocalFont(2), nullptr);  // not found
        EXPECT_EQ(f->GetLocalFont(3), nullptr);
        EXPECT_EQ(f->GetLocalFont(70000), nullptr);
        EXPECT_EQ(dvi.GetNItrnFont(), 3);
    }
}

TEST(VirtualFonts, OmegaFontsAtLevelsZeroAndOne) {
    TempDir dir;
    const std::string opl =
        "(DESIGNSIZE R 10.0)\n"
        "(CHARACTER H 41 (CHARWD R 0.5) (CHARHT R 0.7) (CHARDP R 0.1) (CHARIC R 0.05))\n"
        "(CHARACTER H 4E00 (CHARWD R 0.9) (CHARHT R 0.8))\n"
        "(CHARACTER H 4E01 (CHARWD R 0.9) (CHARHT R 0.8))\n"
        "(CHARACTER H 4E02 (CHARWD R 0.9) (CHARHT R 0.8) (CHARDP R -0.05))\n"
        "(CHARACTER H FFFF (CHARWD R 1.5))\n";
    Tool(dir, "opl2ofm lev0.opl lev0.ofm", "lev0.opl", "(OFMLEVEL H 0)\n" + opl);
    Tool(dir, "opl2ofm lev1.opl lev1.ofm", "lev1.opl", "(OFMLEVEL H 1)\n" + opl);
    Tool(dir, "ovp2ovf omv.ovp omv.ovf omv.ofm", "omv.ovp",
         "(OFMLEVEL H 0)\n(DESIGNSIZE R 10.0)\n(MAPFONT D 0 (FONTNAME lev1))\n"
         "(CHARACTER H 4E00 (CHARWD R 0.9) (MAP (SETCHAR H 41) (SETCHAR H 4E01)))\n");
    fs::rename(dir.File("omv.ovf"), dir.File("omv.vf"));

    FontDvi dvi("", Paths({dir.Path().string()}), Paths({dir.Path().string()}));
    const int z = 12 * kPt;
    for (const char* name : {"lev0", "lev1"}) {
        PlFont ref = ParsePl(RunCommand("ofm2opl '" + dir.File(std::string(name) + ".ofm") + "'"));
        ASSERT_EQ(ref.chars.size(), 5u) << name;
        Font* f = dvi.LoadItrnFont("", name, z, 0);
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(int(f->GetDesignSize()), 10 * kPt);
        for (unsigned c = 0; c < 65536; ++c) {
            auto it = ref.chars.find(c);
            ASSERT_EQ(f->IsValidChar(c), it != ref.chars.end()) << name << " " << c;
            if (it == ref.chars.end()) continue;
            EXPECT_EQ(f->GetCharWidthA(c), TexScale(it->second.wd, z)) << name << " " << c;
            EXPECT_EQ(f->GetCharHeight(c), TexScale(it->second.ht, z)) << name << " " << c;
            EXPECT_EQ(f->GetCharDepth(c), TexScale(it->second.dp, z)) << name << " " << c;
            EXPECT_EQ(f->GetCharItalic(c), TexScale(it->second.ic, z)) << name << " " << c;
        }
        EXPECT_EQ(f->GetCharWidthA(0xFFFF), TexScale(PlReal("1.5"), z));
        EXPECT_FALSE(f->IsValidChar(0x10000));
    }
    Font* v = dvi.LoadItrnFont("", "omv", z, 0);
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(v->IsVirtual());
    EXPECT_EQ(Packet(v, 0x4E00), (std::vector<unsigned char>{'A', dviop::Set2, 0x4E, 0x01}));
    EXPECT_EQ(v->GetLocalFont(0), dvi.LoadItrnFont("", "lev1", z, 0));
}

namespace {

// A VF file for a font whose metric file is TinyTfm (characters A and B):
// optional font definitions, then one packet per entry.
std::vector<unsigned char> HandVf(const std::vector<std::pair<unsigned, Bytes>>& packets,
                                  const std::vector<std::string>& fonts = {}, unsigned checksum = 0) {
    Bytes v;
    v.Op(dviop::Pre).Op(202).Op(0).N(checksum, 4).N(10u << 20, 4);
    unsigned k = 0;
    for (const auto& name : fonts)
        v.Op(dviop::FntDef1).N(k++, 1).N(0, 4).N(1 << 20, 4).N(10u << 20, 4).N(0, 1).N(unsigned(name.size()), 1)
            .Text(name);
    for (const auto& [code, p] : packets) {
        v.Op(242).N(unsigned(p.b.size()), 4).N(code, 4).N(0, 4);
        v.b.insert(v.b.end(), p.b.begin(), p.b.end());
    }
    v.Op(dviop::Post).Op(dviop::Post).Op(dviop::Post);
    return v.b;
}

} // namespace

TEST(VirtualFonts, PacketRewritingEdgesAndRefusedFiles) {
    Bytes ok;
    ok.Op('A');
    Bytes big;
    for (int i = 0; i < 250; ++i) big.Op(dviop::Right1).N(1, 1);  // 1250 bytes rewritten
    Bytes wide;
    wide.Op(dviop::Set2).N(0x1234, 2).Op(dviop::Fnt3).N(300, 3).Op(dviop::Put1).N(7, 1).Op(dviop::W0);
    struct Case {
        const char* name;
        std::vector<unsigned char> vf;
        bool virtualFont;
        std::vector<unsigned char> packetB;  // when virtual
        const char* error;
    };
    Bytes wideOut;
    wideOut.Op(dviop::Set2).N(0x1234, 2).Op(dviop::Fnt2).N(300, 2).Op(dviop::Put1).N(7, 1).Op(dviop::W0);
    auto with = [&](const Bytes& b) { return HandVf({{'A', ok}, {'B', b}}); };
    auto op = [](int o, int n = 0) {
        Bytes b;
        b.Op(o);
        for (int i = 0; i < n; ++i) b.Op(0);
        return b;
    };
    Bytes back, backOut;
    back.Op(dviop::Right1).N(0xff, 1).Op(dviop::X2).N(0x8000, 2).Op(dviop::Z1).N(1, 1);
    backOut.Op(dviop::Right4).N(uint32_t(-1), 4).Op(dviop::X4).N(uint32_t(TexScale(-0x8000, 10 * kPt)), 4)
        .Op(dviop::Z4).N(uint32_t(TexScale(1, 10 * kPt)), 4);
    std::vector<Case> cases = {
        {"two-byte set and fnt3", with(wide), true, wideOut.b, nullptr},
        {"short movements read as signed", with(back), true, backOut.b, nullptr},
        {"empty packet", with(Bytes()), true, {}, nullptr},
        {"packet too long", with(big), false, {}, "characters differ"},
        {"bop in a packet", with(op(dviop::Bop, 44)), false, {}, "characters differ"},
        {"set3 in a packet", with(op(dviop::Set1 + 2, 3)), false, {}, "characters differ"},
        {"fnt4 past 65535", with(Bytes().Op(dviop::Fnt4).N(70000, 4)), false, {}, "characters differ"},
        {"special longer than its packet", with(Bytes().Op(dviop::Xxx1).N(50, 1).Text("ab")), false, {},
         "characters differ"},
        {"parameter cut by the packet's end", with(Bytes().Op(dviop::Right3).N(1, 1)), false, {}, "characters differ"},
        {"missing packet", HandVf({{'A', ok}}), false, {}, "characters differ"},
        {"checksum differs", HandVf({{'A', ok}, {'B', ok}}, {}, 0x11111111), false, {}, "checksum"},
        {"undefined command", [&] { auto v = with(ok); v[v.size() - 3] = 250; return v; }(), false, {},
         "undefined command"},
        {"cut short", [&] { auto v = with(ok); v.resize(v.size() - 3); return v; }(), false, {}, "cut short"},
        {"not a VF file", [&] { auto v = with(ok); v[1] = 2; return v; }(), false, {}, "not a virtual font"},
        {"packet length beyond the file", [&] { auto v = with(ok); v[12] = 0x7f; return v; }(), false, {},
         "cut short"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir.File("hand.tfm"), TinyTfm(0x22222222));
        WriteFile(dir.File("hand.vf"), c.vf);
        FontDvi dvi("", Paths({dir.Path().string()}), Paths({dir.Path().string()}));
        ErrorSink errors;
        Font* f = dvi.LoadItrnFont("", "hand", 10 * kPt, 0);
        ASSERT_NE(f, nullptr) << c.name;
        EXPECT_EQ(bool(f->IsVirtual()), c.virtualFont) << c.name;
        // A refused VF leaves the font drawn from its metrics.
        EXPECT_EQ(f->GetCharWidthA('A'), 5 * kPt) << c.name;
        if (c.virtualFont) {
            ASSERT_NE(f->GetCharPacket('B'), nullptr) << c.name;
            EXPECT_EQ(Packet(f, 'B'), c.packetB) << c.name;
            EXPECT_TRUE(errors.texts.empty()) << c.name << ": " << errors.Last();
        } else {
            EXPECT_EQ(f->GetCharPacket('A'), nullptr) << c.name;
            EXPECT_NE(errors.Last().find(c.error), std::string::npos) << c.name << ": " << errors.Last();
        }
    }
}

TEST(VirtualFonts, SelfReferenceAndDeepNestingStop) {
    TempDir dir;
    Bytes ok;
    ok.Op('A');
    auto write = [&](const std::string& name, const std::string& refers) {
        WriteFile(dir.File(name + ".tfm"), TinyTfm(0));
        WriteFile(dir.File(name + ".vf"), HandVf({{'A', ok}, {'B', ok}}, {refers}));
    };
    write("self", "self");
    write("ping", "pong");
    write("pong", "ping");
    for (int i = 0; i < 20; ++i) write("d" + std::to_string(i), "d" + std::to_string(i + 1));
    FontDvi dvi("", Paths({dir.Path().string()}), Paths({dir.Path().string()}));
    ErrorSink errors;

    Font* self = dvi.LoadItrnFont("", "self", 10 * kPt, 0);
    ASSERT_NE(self, nullptr);
    EXPECT_TRUE(self->IsVirtual());
    EXPECT_EQ(self->GetLocalFont(0), nullptr);
    EXPECT_NE(errors.Last().find("refers to itself"), std::string::npos) << errors.Last();

    Font* ping = dvi.LoadItrnFont("", "ping", 10 * kPt, 0);
    ASSERT_NE(ping, nullptr);
    ASSERT_NE(ping->GetLocalFont(0), nullptr);
    EXPECT_EQ(ping->GetLocalFont(0)->GetLocalFont(0), nullptr);

    Font* f = dvi.LoadItrnFont("", "d0", 10 * kPt, 0);
    int depth = 0;
    for (; f; f = f->GetLocalFont(0)) ++depth;
    EXPECT_EQ(depth, Font::kMaxVfDepth);
    EXPECT_NE(errors.Last().find("nest too deeply"), std::string::npos) << errors.Last();
}

TEST(MetricFiles, DamagedFilesAreRefusedWithAReason) {
    auto cmr10 = ReadFile(KpseWhich("cmr10.tfm"));
    ASSERT_GT(cmr10.size(), 1000u);
    auto u16 = [](const std::vector<unsigned char>& b, size_t at) { return unsigned(b[at]) << 8 | b[at + 1]; };
    auto set16 = [](std::vector<unsigned char>& b, size_t at, unsigned v) {
        b[at] = (unsigned char)(v >> 8);
        b[at + 1] = (unsigned char)v;
    };
    const unsigned lh = u16(cmr10, 2), bc = u16(cmr10, 4), ec = u16(cmr10, 6);
    const unsigned nw = u16(cmr10, 8), nh = u16(cmr10, 10), nd = u16(cmr10, 12), nl = u16(cmr10, 16), ne = u16(cmr10, 20);
    const size_t charInfo = 24 + 4 * lh;
    const size_t widths = charInfo + 4 * (ec - bc + 1);
    ASSERT_LT(nd, 16u);
    using Patch = std::function<void(std::vector<unsigned char>&)>;
    struct Case {
        const char* name;
        Patch patch;
        const char* error;
    };
    std::vector<Case> tfm = {
        {"lf one too many", [&](auto& b) { set16(b, 0, u16(b, 0) + 1); }, "does not match"},
        {"ec 256", [&](auto& b) { set16(b, 6, 256); }, "character range"},
        {"bc past ec + 1", [&](auto& b) { set16(b, 4, ec + 2); }, "character range"},
        {"nw 257", [&](auto& b) { set16(b, 8, 257); }, "width table"},
        {"cut short", [&](auto& b) { b.resize(b.size() / 2); }, "cut short"},
        {"too short for counts", [&](auto& b) { b.resize(10); }, "too short"},
        {"width index", [&](auto& b) { b[charInfo + 4 * ('A' - bc)] = (unsigned char)nw; }, "metric index"},
        {"depth index", [&](auto& b) { b[charInfo + 4 * ('A' - bc) + 1] = 0x0f; }, "metric index"},
        {"italic index", [&](auto& b) { b[charInfo + 4 * ('A' - bc) + 2] = 0xfc; }, "metric index"},
        {"lig/kern index", [&](auto& b) { b[charInfo + 4 * ('A' - bc) + 2] = 1, b[charInfo + 4 * ('A' - bc) + 3] = 0xff; },
         nl < 255 ? "lig/kern index" : ""},
        {"extensible index", [&](auto& b) { b[charInfo + 4 * ('A' - bc) + 2] = 3, b[charInfo + 4 * ('A' - bc) + 3] = (unsigned char)ne; },
         "extensible index"},
        {"successor missing", [&](auto& b) { b[charInfo + 4 * ('A' - bc) + 2] = 2, b[charInfo + 4 * ('A' - bc) + 3] = 200; },
         "successor"},
        {"width of 16 design sizes", [&](auto& b) { b[widths + 4] = 1; }, "value is out of range"},
        {"first width not 0", [&](auto& b) { b[widths + 3] = 1; }, "does not begin with 0"},
        {"design size 2048 pt", [&](auto& b) { b[28] = 0x80; }, "design size"},
        {"kern index", [&](auto& b) {
             size_t lig = widths + 4 * (nw + nh + u16(b, 12) + u16(b, 14));
             b[lig + 2] = 0xff, b[lig + 3] = 0xff, b[lig] = 0;
         }, "kern index"},
    };
    for (const Case& c : tfm) {
        TempDir dir;
        auto bytes = cmr10;
        c.patch(bytes);
        WriteFile(dir.File("bad.tfm"), bytes);
        FontDvi dvi("", Paths({dir.Path().string()}), NoPaths());
        ErrorSink errors;
        EXPECT_EQ(dvi.LoadItrnFont("", "bad", 10 * kPt, 0), nullptr) << c.name;
        EXPECT_NE(errors.Last().find(c.error), std::string::npos) << c.name << ": " << errors.Last();
        EXPECT_EQ(dvi.GetNItrnFont(), 0);
    }
    {
        // A header of one word has no design size.
        auto b = TinyTfm();
        set16(b, 0, u16(b, 0) - 1);
        set16(b, 2, 1);
        b.erase(b.begin() + 28, b.begin() + 32);
        TempDir dir;
        WriteFile(dir.File("bad.tfm"), b);
        FontDvi dvi("", Paths({dir.Path().string()}), NoPaths());
        ErrorSink errors;
        EXPECT_EQ(dvi.LoadItrnFont("", "bad", 10 * kPt, 0), nullptr);
        EXPECT_NE(errors.Last().find("header is too short"), std::string::npos) << errors.Last();
    }

    // OFM: counts that wrap in 32 bits, repeats past the last character, an
    // unknown level.
    TempDir src;
    const std::string opl = "(DESIGNSIZE R 10.0)\n(CHARACTER H 41 (CHARWD R 0.5))\n"
                            "(CHARACTER H 42 (CHARWD R 0.5))\n(CHARACTER H 43 (CHARWD R 0.5))\n";
    Tool(src, "opl2ofm l0.opl l0.ofm", "l0.opl", "(OFMLEVEL H 0)\n" + opl);
    Tool(src, "opl2ofm l1.opl l1.ofm", "l1.opl", "(OFMLEVEL H 1)\n" + opl);
    auto l0 = ReadFile(src.File("l0.ofm")), l1 = ReadFile(src.File("l1.ofm"));
    auto set32 = [](std::vector<unsigned char>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = (unsigned char)(v >> (24 - 8 * i));
    };
    auto get32 = [](const std::vector<unsigned char>& b, size_t at) {
        return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
    };
    struct OfmCase {
        const char* name;
        const std::vector<unsigned char>* base;
        Patch patch;
        const char* error;
    };
    std::vector<OfmCase> ofm = {
        {"level 2", &l0, [&](auto& b) { set32(b, 0, 2); }, "unknown OFM level"},
        {"counts wrap in 32 bits", &l0, [&](auto& b) {
             // nw + nh = 2^32 + old nw + old nh: the 32-bit sum is unchanged.
             uint32_t nwOld = get32(b, 20), nhOld = get32(b, 24);
             set32(b, 20, 0xffff);
             set32(b, 24, uint32_t(nwOld + nhOld - 0xffff));
         }, "does not match"},
        {"ec 65536", &l0, [&](auto& b) { set32(b, 16, 65536); }, "character range"},
        {"width index", &l0, [&](auto& b) { b[4 * (14 + get32(b, 8))] = 0x7f; }, "metric index"},
        {"cut short", &l0, [&](auto& b) { b.resize(b.size() - 4); }, "cut short"},
        {"level 1 repeat past ec", &l1, [&](auto& b) {
             size_t at = 4 * get32(b, 56);
             b[at + 8] = 0, b[at + 9] = 9;
         }, "runs past"},
        {"level 1 table offset", &l1, [&](auto& b) { set32(b, 56, get32(b, 56) + 1); }, "does not match"},
    };
    for (const OfmCase& c : ofm) {
        TempDir dir;
        auto bytes = *c.base;
        c.patch(bytes);
        WriteFile(dir.File("bad.ofm"), bytes);
        FontDvi dvi("", Paths({dir.Path().string()}), NoPaths());
        ErrorSink errors;
        EXPECT_EQ(dvi.LoadItrnFont("", "bad", 10 * kPt, 0), nullptr) << c.name;
        EXPECT_NE(errors.Last().find(c.error), std::string::npos) << c.name << ": " << errors.Last();
    }
}

TEST(FontsOfATeXDocument, KpathseaResolvesEveryFontAndWidthsMatchDviType) {
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(
        RunTex(dir,
               "\\font\\msam=msam10 \\font\\msbm=msbm10 scaled 1200 \\font\\big=cmr10 scaled 2000\n"
               "Text $x^2+\\sum_{i=1}^n \\alpha_i \\over \\sqrt{y}$ and {\\msam\\char\"03} {\\msbm R}\n"
               "$$\\int_0^1 f(x)\\,dx\\left(\\matrix{a&b\\cr c&d}\\right)\\Bigg\\{\\bigotimes$$\n"
               "{\\bf Bold} {\\it italic} {\\sl slanted} {\\tt mono \\char'200} {\\big Big}\n"
               "\\bye\n",
               "math"));
    std::string dvitype = RunDviType(dir.File("math.dvi"), 4);
    ASSERT_EQ(dvitype.rfind("FAILED", 0), std::string::npos) << dvitype;

    KPathSea kpse;
    kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
    ASSERT_TRUE(kpse.IsKPathSeaDLLLoaded());
    VrDvi dvi(dir.File("math.dvi").c_str(), NoPaths(), NoPaths());
    dvi.SetKPathSea(&kpse);
    ErrorSink errors;
    dvi.NewPageWritten(0);
    ASSERT_EQ(dvi.GetMode(), ModeComplete);
    EXPECT_TRUE(errors.texts.empty()) << errors.Last();

    auto defs = dvi.GetFontDefs();
    ASSERT_GE(defs.size(), 12u);
    for (const auto& def : defs) {
        Font* f = dvi.GetExtFontIndex()[def.number];
        ASSERT_NE(f, nullptr) << def.name.c_str();
        EXPECT_EQ(f->GetCheckSum(), def.checksum) << def.name.c_str();
        EXPECT_EQ(f->GetScaleSize(), def.scaledSize);
    }

    // Every character TeX set moved h by the width dvitype read from the
    // same metric file.
    std::istringstream in(dvitype);
    std::string line;
    int current = -1, checked = 0;
    while (std::getline(in, line)) {
        long at;
        int n, h, w, used = 0;
        if (std::sscanf(line.c_str(), "%ld: fntnum%d current font is%n", &at, &n, &used) == 2 && used) current = n;
        else if (std::sscanf(line.c_str(), "%ld: fnt1 %d current font is%n", &at, &n, &used) == 2 && used) current = n;
        else if (std::sscanf(line.c_str(), "%ld: setchar%d h:=%d%d=", &at, &n, &h, &w) == 4 ||
                 std::sscanf(line.c_str(), "%ld: set1 %d h:=%d%d=", &at, &n, &h, &w) == 4) {
            ASSERT_GE(current, 0) << line;
            Font* f = dvi.GetExtFontIndex()[current];
            ASSERT_NE(f, nullptr) << line;
            EXPECT_EQ(f->GetCharWidthA(unsigned(n)), w) << f->GetName().c_str() << ": " << line;
            ++checked;
        }
    }
    EXPECT_GT(checked, 40);
}
