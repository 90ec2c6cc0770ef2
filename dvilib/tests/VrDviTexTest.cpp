// The reader against documents made by TeX, checked with dvitype.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "DviTestSupport.h"
#include "dvilib/VrDviError.h"
#include "dvilib/VrDviFont.h"
#include "platform/kpathsea/KPathSea.h"

using namespace dvitest;

namespace {

const char* kDocument = R"TEX(
\pageno=-1
\font\big=cmbx10 at 14pt \font\small=cmr7 \font\tt=cmtt10 scaled 1200
\special{backgroundcolor: 1 1 0.5}
\centerline{\big A title}\special{html:<a name="title">}
\bigskip Some text in \tt typewriter\rm{} and {\small small} type.
\special{colorpush: 1 0 0}Red words.\special{colorpop:}
\vfill\eject
\pageno=1
\special{colorpush: 0 0 1}
\count1=7 Page one with count one set.
\special{psfile="a picture.eps" hscale=50 vscale=50}
\special{graphics: 1in 1in 2in 2in 2in 2in WMF logo.wmf}
\vfill\eject
\special{colorpop:}
\special{hypertext: 1 2 3 4 name="hyper"}
\count1=0
\newcount\n \n=0
\loop \advance\n by 1
  \special{html:<a name="loop\the\n">}Paragraph \the\n. \big bold \rm again.
  \ifnum\n<12 \vfill\eject \repeat
\bye
)TEX";

struct DviType {
    struct Page {
        long bop = 0, eop = 0;
        int count0 = 0;
    };
    std::vector<Page> pages;
    std::vector<std::string> specials;
    std::map<int, std::pair<std::string, int>> fonts;  // number -> name, size
    int maxv = 0, maxh = 0, totalPages = 0;
};

DviType ParseDviType(const std::string& text) {
    DviType d;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        long at = 0;
        int a = 0, b = 0, c = 0, used = 0;
        char name[256];
        const char* l = line.c_str();
        if (std::sscanf(l, "%ld: beginning of page %d", &at, &a) == 2) {
            d.pages.push_back({at, 0, a});
        } else if (std::sscanf(l, "%ld: eop%n", &at, &used) == 1 && used > 0) {
            if (!d.pages.empty()) d.pages.back().eop = at;
        } else if (std::sscanf(l, "%ld: xxx '%n", &at, &used) == 1 && used > 0) {
            std::string t = line.substr(size_t(used));
            while (!t.empty() && t.back() == ' ') t.pop_back();
            if (!t.empty() && t.back() == '\'') t.pop_back();
            d.specials.push_back(t);
        } else if (std::sscanf(l, "%ld: fntdef%*d %d: %255[^-]---loaded at size %d", &at, &a, name, &b) == 4) {
            d.fonts[a] = {name, b};
        } else if (std::sscanf(l, "maxv=%d, maxh=%d, maxstackdepth=%*d, totalpages=%d", &a, &b, &c) == 3) {
            d.maxv = a;
            d.maxh = b;
            d.totalPages = c;
        }
    }
    return d;
}

class TexDocument : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(RunTex(dir, kDocument));
        dviPath = dir.File("doc.dvi");
        std::string dt = RunDviType(dviPath, 1);
        ASSERT_EQ(dt.rfind("FAILED", 0), std::string::npos) << "dvitype: " << dt;
        ref = ParseDviType(dt);
        ASSERT_EQ(ref.pages.size(), 14u);
        ASSERT_EQ(ref.totalPages, 14);
    }

    // Fonts are found by kpathsea alone, as the application finds them
    // when no folder is configured.
    void Attach(VrDvi& dvi) {
        kpse.LoadKPathSeaDLLInit(kKPathSeaLibraryName, nullptr);
        ASSERT_TRUE(kpse.IsKPathSeaDLLLoaded());
        dvi.SetKPathSea(&kpse);
    }

    TempDir dir;
    std::string dviPath;
    DviType ref;
    KPathSea kpse;
};

void ExpectSameAsDviType(RecordingDvi& dvi, const DviType& ref) {
    ASSERT_EQ(dvi.GetNPage(), int(ref.pages.size()));
    for (int p = 0; p < dvi.GetNPage(); ++p) {
        // TeX writes nothing between an eop and the next bop.
        EXPECT_EQ(dvi.GetPageStartOffset(p), ref.pages[size_t(p)].bop) << p;
        EXPECT_EQ(dvi.GetPageEndOffset(p), ref.pages[size_t(p)].eop) << p;
        EXPECT_EQ(dvi.GetTeXPageNo(p), ref.pages[size_t(p)].count0) << p;
    }
    EXPECT_EQ(dvi.specials, ref.specials);
    std::map<int, std::pair<std::string, int>> fonts;
    for (const auto& def : dvi.GetFontDefs()) fonts[def.number] = {def.name.c_str(), def.scaledSize};
    EXPECT_EQ(fonts, ref.fonts);
    for (const auto& [number, font] : ref.fonts) {
        VrDvi::ItrnFont* f = dvi.GetExtFontIndex()[number];
        ASSERT_NE(f, nullptr) << number;
        EXPECT_STREQ(f->GetName().c_str(), font.first.c_str());
        EXPECT_EQ(f->GetScaleSize(), font.second);
        EXPECT_GT(f->GetCharWidthA('A'), 0) << number;
    }
}

} // namespace

TEST_F(TexDocument, OneShotScanAgreesWithDviType) {
    RecordingDvi dvi(dviPath.c_str(), NoPaths(), NoPaths());
    Attach(dvi);
    dvi.NewPageWritten(0);
    ASSERT_EQ(dvi.GetMode(), ModeComplete) << dvi.GetErrorText().c_str();
    ExpectSameAsDviType(dvi, ref);
    EXPECT_EQ(dvi.GetPageHeightDvi(), ref.maxv);
    EXPECT_EQ(dvi.GetPageWidthDvi(), ref.maxh);

    // Page numbering: -1, then 1 (with \count1), then 2...
    EXPECT_EQ(dvi.GetTeXPageNo(0), -1);
    EXPECT_EQ(dvi.GetTeXPageNo(1), 1);
    EXPECT_EQ(dvi.GetTeXPageNo(13), 13);
    // Colours: page 1 starts red-free; the blue push on page 1 starts page 2.
    EXPECT_EQ(dvi.GetPageColorStackSize(1), 1);
    ASSERT_EQ(dvi.GetPageColorStackSize(2), 2);
    EXPECT_EQ(dvi.GetPageColorStack(2)[1], 0xFF0000u);
    EXPECT_EQ(dvi.GetPageColorStackSize(3), 1);
    EXPECT_EQ(dvi.GetPageBackgroundColor(0), 0x80FFFFu);
    // Anchors and pictures.
    EXPECT_EQ(dvi.FindTagPage("title"), 0);
    EXPECT_EQ(dvi.FindTagPage("hyper"), 2);
    EXPECT_EQ(dvi.FindTagPage("loop1"), 2);
    EXPECT_EQ(dvi.FindTagPage("loop12"), 13);
    EXPECT_EQ(dvi.pictures, (std::vector<std::string>{"a picture.eps", "logo.wmf"}));
    // Fonts are shared by name and size: the same font twice counts once.
    int fonts = 0;
    for (VrDvi::ItrnFontItr it(dvi); !it.IsFinished(); ++it) ++fonts;
    EXPECT_EQ(fonts, dvi.GetNItrnFont());
    EXPECT_EQ(fonts, int(ref.fonts.size()));
}

TEST_F(TexDocument, FollowingTheFileAsItGrowsGivesTheSameResult) {
    auto bytes = ReadFile(dviPath);
    std::string growing = dir.File("growing.dvi");
    WriteFile(growing, {});
    RecordingDvi dvi(growing.c_str(), NoPaths(), NoPaths());
    Attach(dvi);
    int reported = 0;
    for (size_t size = 0; size <= bytes.size(); size += 97) {
        WriteFile(growing, bytes, size);
        // As the worker would: ask for the pages whose eop has arrived.
        int complete = 0;
        while (complete < int(ref.pages.size()) && size_t(ref.pages[size_t(complete)].eop) < size) ++complete;
        if (complete > reported) {
            dvi.NewPageWritten(complete);
            reported = complete;
        }
        ASSERT_EQ(dvi.GetMode(), ModeScanning) << size;
        ASSERT_EQ(dvi.GetNPage(), complete) << size;
    }
    WriteFile(growing, bytes);
    dvi.NewPageWritten(0);
    ASSERT_EQ(dvi.GetMode(), ModeComplete);
    ExpectSameAsDviType(dvi, ref);
}

TEST(TexTools, DviTypeAcceptsWhatTheWriterWrites) {
    TempDir dir;
    std::string path = dir.File("written.dvi");
    {
        DviBuilder b(path, "written by VrDviWriter");
        b.FontDef(dviop::FntDef1, 0, "cmr10", 655360, 655360, 0);
        b.Bop(1);
        b.Byte(dviop::Fnt1);
        b.Byte(0);
        b.Byte('H');
        b.Special("html:<a name=\"w\">");
        b.Eop();
        b.Bop(2);
        b.Byte(dviop::Fnt1);
        b.Byte(0);
        b.Byte('i');
        b.Eop();
        b.w.WritePostamble(2, 100000, 200000);
        b.FontDef(dviop::FntDef1, 0, "cmr10", 655360, 655360, 0);
        b.w.WritePostPostamble();
        b.Close();
    }
    std::string out = RunDviType(path, 1);
    ASSERT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
    EXPECT_EQ(out.find('!'), std::string::npos) << out;  // dvitype marks faults with '!'
    DviType ref = ParseDviType(out);
    EXPECT_EQ(ref.totalPages, 2);
    ASSERT_EQ(ref.pages.size(), 2u);
    EXPECT_EQ(ref.pages[1].count0, 2);
    EXPECT_EQ(ref.maxv, 100000);

    RecordingDvi dvi(path.c_str(), NoPaths(), NoPaths());
    dvi.NewPageWritten(0);
    ASSERT_EQ(dvi.GetMode(), ModeComplete);
    EXPECT_EQ(dvi.GetPageStartOffset(1), ref.pages[1].bop);
    EXPECT_EQ(dvi.GetPageEndOffset(1), ref.pages[1].eop);
}
