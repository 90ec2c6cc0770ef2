#include <gtest/gtest.h>

#include <cstring>

#include "DviTestSupport.h"
#include "dvilib/SharedBlock.h"
#include "dvilib/DirectiveScan.h"
#include "dvilib/VrDviError.h"
#include "platform/sys/NamedBlock.h"

using namespace dvitest;

namespace {

// A reader whose specials are fed directly, as the scanner would.
class SpecialDvi : public RecordingDvi {
public:
    using VrDvi::GetScanBackgroundColor;
    using VrDvi::GetScanColorStack;
    using VrDvi::GetScanColorStackSize;
    void Feed(const std::string& text) {
        std::vector<unsigned char> buf(text.begin(), text.end());
        buf.push_back(0);
        DoSpecial(buf.data(), int(text.size()));
    }
    COLORREF Top() const { return GetScanColorStack()[GetScanColorStackSize() - 1]; }
};

std::string Binary(std::initializer_list<int> bytes, const char* tail = "") {
    std::string s;
    for (int b : bytes) s += char(b);
    return s + tail;
}

} // namespace

TEST(VrDviSpecial, ColourStackAndBackground) {
    struct Case {
        const char* text;
        COLORREF top;
    } cases[] = {
        {"colorpush: 1 0 0", 0x0000FF},
        {"colorpush: 0.5 0.5 0.5", 0x808080},
        {"COLORPUSH:0 1 0", 0x00FF00},
        {"colorpush: 2 -1 +-0.25", 0x0000FF},  // clamped; "+-" makes it negative
        {"colorpush: 1 1", 0},                 // a missing component: nothing pushed
        {"colorpush: a b c", 0},
    };
    for (const Case& c : cases) {
        SpecialDvi dvi;
        dvi.Feed(c.text);
        EXPECT_EQ(dvi.Top(), c.top) << c.text;
    }

    SpecialDvi dvi;
    dvi.Feed("colorpop:");  // the base entry stays
    EXPECT_EQ(dvi.GetScanColorStackSize(), 1);
    for (int i = 0; i < 250; ++i) dvi.Feed("colorpush: 0 0 1");
    EXPECT_EQ(dvi.GetScanColorStackSize(), VrDvi::kColorStackSize);
    for (int i = 0; i < 250; ++i) dvi.Feed("colorpop:");
    EXPECT_EQ(dvi.GetScanColorStackSize(), 1);
    EXPECT_EQ(dvi.Top(), 0u);

    EXPECT_EQ(dvi.GetScanBackgroundColor(), 0xFFFFFFu);
    dvi.Feed("backgroundcolor: 0 0 0.5");
    EXPECT_EQ(dvi.GetScanBackgroundColor(), 0x800000u);
    dvi.Feed("backgroundcolor: 1 1");
    EXPECT_EQ(dvi.GetScanBackgroundColor(), 0x800000u);
}

TEST(VrDviSpecial, AnchorsAndPictures) {
    struct Case {
        const char* text;
        const char* tag;      // added anchor, or null
        const char* picture;  // picture handed on, or null
    } cases[] = {
        {"html:<a name=\"sec1\">", "sec1", nullptr},
        {"HTML: <A  NAME = \"Sec 2\">", "Sec 2", nullptr},
        {"html:< a name=\"x\">", nullptr, nullptr},
        {"html:<a href=\"#sec1\">", nullptr, nullptr},
        {"html:<a name=\"open", nullptr, nullptr},
        {"html:<img src=\"x.png\">", nullptr, nullptr},
        {"html:</a>", nullptr, nullptr},
        {"hypertext: 1 2 3 4 name=\"t1\"", "t1", nullptr},
        {"hypertext: 1 2 3 4 NAME = t2", "t2", nullptr},
        {"hypertext: 1 2 3 name=t3", nullptr, nullptr},
        {"hypertext: 1 2 3 4 name=", nullptr, nullptr},
        {"graphics: 1in 2in 3cm 4cm 5pt 6pt WMF pic one.wmf", nullptr, "pic one.wmf"},
        {"graphics:0sp 0sp 1mm 1mm 1bp 1bp eps  fig.eps", nullptr, "fig.eps"},
        {"graphics: 1in 2in 3cm 4cm 5pt WMF pic.wmf", nullptr, nullptr},
        {"graphics: 1in 2in 3cm 4cm 5pt 6pt PNG pic.png", nullptr, "pic.png"},
        {"graphics: 1in 2in 3cm 4cm 5pt 6pt TIFF pic.tif", nullptr, nullptr},
        {"ps: plotfile fig.eps", nullptr, "fig.eps"},
        {"graphics: 1in 2in 3cm 4cm 5pt 6pt WMF", nullptr, nullptr},
        {"Graphics: 1in 2in 3cm 4cm 5pt 6pt WMF pic.wmf", nullptr, "pic.wmf"},
        {"psfile=\"a b.eps\" hscale=50", nullptr, "a b.eps"},
        {"hoffset=1 PSFILE = c.eps vscale=20 clip", nullptr, "c.eps"},
        {"psfile=d.eps", nullptr, "d.eps"},
        {"hscale=50", nullptr, nullptr},
        {"psfile=\"\"", nullptr, nullptr},
        {"psfile=\"unclosed name", nullptr, "\"unclosed name"},
        {"em: graph x.pcx", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SpecialDvi dvi;
        dvi.Feed(c.text);
        auto tags = dvi.GetTagList();
        if (c.tag) {
            ASSERT_EQ(tags.Count(), 1) << c.text;
            EXPECT_STREQ(tags.GetHead()->data.name.c_str(), c.tag) << c.text;
        } else {
            EXPECT_TRUE(tags.IsEmpty()) << c.text;
        }
        if (c.picture) {
            ASSERT_EQ(dvi.pictures.size(), 1u) << c.text;
            EXPECT_EQ(dvi.pictures[0], c.picture) << c.text;
        } else {
            EXPECT_TRUE(dvi.pictures.empty()) << c.text;
        }
    }
}

TEST(VrDviSpecial, TagPagesComeFromTheScan) {
    TempDir dir;
    std::string path = dir.File("tags.dvi");
    {
        DviBuilder b(path);
        b.Page(1);
        b.Page(2);
        b.Bop(3);
        b.Special("html:<a name=\"sec1\">");
        b.Special("hypertext: 0 0 0 0 name=sec1");
        b.Eop();
        b.Special("html:<a name=\"next\">");  // between pages: belongs to the next
        b.Page(4);
        b.Finish();
    }
    RecordingDvi dvi(path.c_str(), NoPaths(), NoPaths());
    dvi.NewPageWritten(0);
    EXPECT_EQ(dvi.FindTagPage("sec1"), 2);
    EXPECT_EQ(dvi.FindTagPage("next"), 3);
    EXPECT_EQ(dvi.FindTagPage("SEC1"), -1);
    EXPECT_EQ(dvi.GetTagList().Count(), 3);
}

TEST(VrDviSpecial, Dimensions) {
    struct Case {
        const char* text;
        bool ok;
        int sp;
        int used;  // bytes consumed
    } cases[] = {
        {"1in", true, 4736287, 3},
        {"2.5pt", true, 163840, 5},
        {"10sp", true, 10, 4},
        {"10.9sp", true, 10, 6},
        {"-1cm", true, -1864679, 4},
        {"1cc", true, 841412, 3},
        {"1dd", true, 70118, 3},
        {"3mm", true, 559404, 3},
        {"1bp", true, 65782, 3},
        {"1pc", true, 786432, 3},
        {"  +-2pt x", true, -131071, 7},  // + 0.5 then truncated, also below zero
        {".5pt", true, 32768, 4},
        {"3 pt", false, 0, 0},
        {"3PT", false, 0, 0},
        {"3em", false, 0, 0},
        {"pt", false, 0, 0},
        {"-.pt", false, 0, 0},
        {"", false, 0, 0},
        {"1e100000000000in", false, 0, 0},
        {"99999999999999999999999999999999999999999pt", false, 0, 0},
        {"32767pt", true, 2147418112, 7},
        {"32768pt", false, 0, 0},
    };
    for (const Case& c : cases) {
        std::string s = c.text;
        std::vector<unsigned char> buf(s.begin(), s.end());
        buf.push_back(0);
        int v = 12345;
        unsigned char* end = getdimen(buf.data(), &v);
        if (c.ok) {
            ASSERT_NE(end, nullptr) << c.text;
            EXPECT_EQ(v, c.sp) << c.text;
            EXPECT_EQ(end - buf.data(), c.used) << c.text;
        } else {
            EXPECT_EQ(end, nullptr) << c.text;
        }
    }
}

TEST(VrDviSpecial, BinaryFontSpecials) {
    // Without the application's block, a face that is not installed keeps its name.
    {
        SpecialDvi dvi;
        dvi.Feed(Binary({'#', 0, 0, 0x01, 0x2C}));
        EXPECT_EQ(dvi.GetSpecialValue(), 300);
        dvi.Feed(Binary({'#', 0, 0, 0x02}));  // too short: ignored
        EXPECT_EQ(dvi.GetSpecialValue(), 300);
        dvi.Feed(Binary({'#', 0, 2, 0, 0, 0, 0}, "NoSuchFace Zq"));
        dvi.Feed(Binary({'#', 0, 2, 0, 0}));  // too short: ignored
        dvi.Feed(Binary({'#', 0, 9, 1, 2, 3, 4}, "x"));  // other type: nothing
        auto faces = dvi.GetFontList();
        ASSERT_EQ(faces.Count(), 1);
        EXPECT_STREQ(faces.GetHead()->data.c_str(), "NoSuchFace Zq");
    }

    // With the block: the first list entry that is a prefix of the name
    // decides, else the default face.
    SharedBlock sb;
    sb.faceLists[0] = {"", "HY"};  // an empty entry matches nothing
    sb.faceLists[2] = {"Gul", "HYGung"};
    sb.faceLists[6] = {"Mincho"};
    sb.defaultFace = "Default Face";
    auto block = NamedBlock::Create(SharedBlock::kName, SharedBlock::kSize);
    ASSERT_EQ(sb.Store(*block), 1);
    SpecialDvi dvi;
    struct Case {
        const char* face;
        const char* chosen;
    } cases[] = {
        {"HYGungSo", "Batang"},
        {"GulimChe", "Gulim"},
        {"MinchoX", "MS Mincho"},
        {"mincho", "Default Face"},
        {"Unknown Face", "Default Face"},
        {"", "Default Face"},
    };
    for (const Case& c : cases) dvi.Feed(Binary({'#', 0, 2, 9, 9, 9, 9}, c.face));
    auto faces = dvi.GetFontList();
    ASSERT_EQ(faces.Count(), int(std::size(cases)));
    int i = 0;
    for (const String8& f : faces) EXPECT_STREQ(f.c_str(), cases[i++].chosen) << cases[i - 1].face;
}

TEST(VrDviSpecial, SharedBlockKeepsValuesWithinTheBlock) {
    SharedBlock sb;
    for (int i = 0; i < SharedBlock::kFaceLists; ++i)
        for (int k = 0; k <= i; ++k) sb.faceLists[i].push_back(("face" + std::to_string(i * 10 + k)).c_str());
    sb.defaultFace = "Tahoma";
    auto block = NamedBlock::Create("shared-test", 4096);
    ASSERT_EQ(sb.Store(*block), 1);
    SharedBlock back = SharedBlock::Load(*block);
    EXPECT_STREQ(back.defaultFace.c_str(), "Tahoma");
    for (int i = 0; i < SharedBlock::kFaceLists; ++i) {
        ASSERT_EQ(back.faceLists[i].size(), size_t(i + 1));
        EXPECT_EQ(back.faceLists[i].back(), sb.faceLists[i].back());
    }

    // Values that do not fit are refused whole.
    auto small = NamedBlock::Create("shared-small", SharedBlock::kNamesOffset + 4);
    EXPECT_EQ(sb.Store(*small), 0);
    EXPECT_TRUE(SharedBlock::Load(*small).defaultFace.GetLength() == 0);
    SharedBlock longDefault;
    longDefault.defaultFace = String8(std::string(300, 'x').c_str());
    EXPECT_EQ(longDefault.Store(*block), 0);

    // Counts that promise more names than the block holds read only what is there.
    auto junk = NamedBlock::Create("shared-junk", SharedBlock::kNamesOffset + 6);
    std::vector<unsigned char> bytes(junk->Size(), 'n');
    std::memset(bytes.data(), 0xff, 32);
    bytes[SharedBlock::kNamesOffset + 2] = 0;
    junk->Write(0, bytes.data(), bytes.size());
    SharedBlock j = SharedBlock::Load(*junk);
    EXPECT_TRUE(j.defaultFace.IsNull());
    ASSERT_EQ(j.faceLists[0].size(), 1u);
    EXPECT_STREQ(j.faceLists[0][0].c_str(), "nn");
    size_t total = 0;
    for (auto& l : j.faceLists) total += l.size();
    EXPECT_EQ(total, 1u);
}

TEST(VrDviSpecial, TextScanners) {
    using namespace vrspecial;
    unsigned char text[] = "  \t word\x01rest \"quoted w\" 42x -7";
    String8 w;
    unsigned char* p = NextWord(text, &w);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(w.c_str(), "word");
    p = NextWord(p, &w);
    EXPECT_STREQ(w.c_str(), "rest");
    p = NextWordUnquoted(p, &w);
    EXPECT_STREQ(w.c_str(), "\"quoted");
    p = NextWord(p, &w);
    int v = 0;
    p = NextInt(p, &v);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(NextInt(p, &v), nullptr);  // "x"
    EXPECT_EQ(NextWord(text + sizeof text - 1, &w), nullptr);
    EXPECT_STREQ(Unquote("\"\"").c_str(), "");
    EXPECT_STREQ(Unquote("\"").c_str(), "\"");
    EXPECT_TRUE(RestIsBlank(reinterpret_cast<const unsigned char*>("   ")));
    EXPECT_FALSE(RestIsBlank(reinterpret_cast<const unsigned char*>("  x")));
    unsigned char big[] = "99999999999999999999";
    ASSERT_NE(NextInt(big, &v), nullptr);
    EXPECT_EQ(v, INT32_MAX);
}

TEST(VrDviSpecial, BinaryPictureSpecialsNameTheirFiles) {
    SpecialDvi dvi;
    // 0x10: eight 16-bit values, a 32-bit value, the name; 0x12: four values
    // and the name; 0x13: the name only.
    dvi.Feed(Binary({'#', 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}, "a.bmp"));
    dvi.Feed(Binary({'#', 0, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 5}, "w.wmf"));
    dvi.Feed(Binary({'#', 0, 0x13, 5}, "m.bmp"));
    dvi.Feed(Binary({'#', 0, 0x13, 9}, "m.bmp"));  // the name runs past the end
    dvi.Feed(Binary({'#', 0, 0x11, 0, 0}));        // cut short
    ASSERT_EQ(dvi.pictures.size(), 3u);
    EXPECT_EQ(dvi.pictures[0], "a.bmp");
    EXPECT_EQ(dvi.pictures[1], "w.wmf");
    EXPECT_EQ(dvi.pictures[2], "m.bmp");
}
