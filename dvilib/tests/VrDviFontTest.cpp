// Font metrics against TeX's own tools: real TFM files read back by tftopl,
// VF and OFM files made from property lists by vptovf, opl2ofm and ovp2ovf,
// and damaged copies of them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
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

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return "FAILED popen";
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    if (rc != 0) out = "FAILED " + std::to_string(rc) + "\n" + out;
    return out;
}

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
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key, kind, value;
        words >> key >> kind >> value;
        if (!value.empty() && value.back() == ')') value.pop_back();
        if (key == "(DESIGNSIZE") pl.designSize = PlReal(value);
        else if (key == "(CHECKSUM") pl.checksum = uint32_t(std::stoul(value, nullptr, 8));
        else if (key == "(CHARACTER") cur = &pl.chars[PlCode(kind, value)];
        else if (cur && key == "(CHARWD") cur->wd = PlReal(value);
        else if (cur && key == "(CHARHT") cur->ht = PlReal(value);
        else if (cur && key == "(CHARDP") cur->dp = PlReal(value);
        else if (cur && key == "(CHARIC") cur->ic = PlReal(value);
    }
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
    {
        std::ofstream out(dir.File(file));
        out << text;
    }
    std::string r = RunCommand("cd '" + dir.Path().string() + "' && " + command + " 2>&1");
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
