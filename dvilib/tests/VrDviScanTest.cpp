#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <cstring>
#include <thread>

#include "DviTestSupport.h"
#include "dvilib/VrDviError.h"
#include "dvilib/VrDviFont.h"

using namespace dvitest;

namespace {

// Silences the library's error reports for the test's lifetime and keeps them.
class ErrorSink {
public:
    ErrorSink() {
        old_ = VrDviSetErrorHook([this](const char* t) { texts.emplace_back(t); });
    }
    ~ErrorSink() { VrDviSetErrorHook(old_); }
    std::vector<std::string> texts;

private:
    VrDviErrorHook old_;
};

// Small metric files for every font name the tests define.
const DList<String8>& Fonts() {
    static FontDir* fonts = [] {
        auto* d = new FontDir({"cmr10", "cmbx10", "cmti10", "cmsl10", "cmss10"});
        for (int i = 0; i < 50; ++i) d->Add("f" + std::to_string(i));
        return d;
    }();
    return fonts->paths;
}

void Patch32(std::vector<unsigned char>& b, size_t at, unsigned v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = (v >> (24 - 8 * i)) & 0xff;
}

// Three pages: nop and a font definition between the first eop and the
// second bop, a colour push before the second bop, an anchor on the third.
struct ThreePages {
    explicit ThreePages(const std::string& path) {
        DviBuilder b(path, "abc");
        b.FontDef(dviop::FntDef1, 7, "cmr10");
        b.Page(1);
        b.Byte(dviop::Nop);
        b.FontDef(dviop::FntDef2, 300, "cmbx10", 786432);
        b.Special("colorpush: 0 0 1");
        b.Page(-2);
        b.Bop(30);
        b.Special("html:<a name=\"sec3\">");
        b.Byte(dviop::Fnt1);
        b.Byte(7);
        b.Eop();
        b.Finish(1000000, 2000000);
    }
    // Offsets worked out from the layout above.
    static constexpr long kPage0Start = 15 + 3;
    static constexpr long kFontDef1 = 16 + 5;  // fnt_def1 with a 5-byte name
    static constexpr long kPageBody = 45 + 1 + 1 + 9 + 1 + 1;  // bop push A rule pop eop
    static constexpr long kPage0End = kPage0Start + kFontDef1 + kPageBody - 1;
};

} // namespace

TEST(VrDviScan, CompleteFileRecordsPagesOffsetsAndPostamble) {
    TempDir dir;
    std::string path = dir.File("three.dvi");
    ThreePages doc(path);
    RecordingDvi dvi(path.c_str(), Fonts(), NoPaths());
    dvi.NewPageWritten(0);

    ASSERT_EQ(dvi.GetMode(), ModeComplete);
    ASSERT_EQ(dvi.GetNPage(), 3);
    EXPECT_EQ(dvi.GetDviVersion(), 2);
    EXPECT_EQ(dvi.GetDviNum(), 25400000u);
    EXPECT_EQ(dvi.GetDviDen(), 473628672u);
    EXPECT_EQ(dvi.GetAbsMag().Raw(), 10000);
    EXPECT_TRUE(dvi.GetErrorText().IsNull());

    EXPECT_EQ(dvi.GetTeXPageNo(0), 1);
    EXPECT_EQ(dvi.GetTeXPageNo(1), -2);
    EXPECT_EQ(dvi.GetTeXPageNo(2), 30);
    EXPECT_EQ(dvi.GetPageStartOffset(0), ThreePages::kPage0Start);
    EXPECT_EQ(dvi.GetPageEndOffset(0), ThreePages::kPage0End);
    // Bytes between an eop and the next bop belong to the next page.
    EXPECT_EQ(dvi.GetPageStartOffset(1), ThreePages::kPage0End + 1);
    auto bytes = ReadFile(path);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(bytes[size_t(dvi.GetPageEndOffset(p))], dviop::Eop) << p;
        if (p) {
            EXPECT_EQ(dvi.GetPageStartOffset(p), dvi.GetPageEndOffset(p - 1) + 1);
        }
        int len = dvi.GetPageContents(p, nullptr);
        EXPECT_EQ(len, dvi.GetPageEndOffset(p) - dvi.GetPageStartOffset(p) + 1);
        EXPECT_EQ(len, dvi.GetPageLength(p));
        std::vector<unsigned char> page(static_cast<size_t>(len));
        ASSERT_EQ(dvi.GetPageContents(p, page.data()), len);
        EXPECT_EQ(0, std::memcmp(page.data(), bytes.data() + dvi.GetPageStartOffset(p), size_t(len)));
    }

    EXPECT_EQ(dvi.GetPageHeightDvi(), 1000000);
    EXPECT_EQ(dvi.GetPageWidthDvi(), 2000000);
    EXPECT_NEAR(dvi.GetPageHeight(), 1000000 * 25400000.0 / 473628672 * 1e-4, 1e-9);

    // Colour pushed before page 1's bop starts page 1, not page 0.
    ASSERT_EQ(dvi.GetPageColorStackSize(0), 1);
    ASSERT_EQ(dvi.GetPageColorStackSize(1), 2);
    EXPECT_EQ(dvi.GetPageColorStack(1)[1], 0xFF0000u);
    EXPECT_EQ(dvi.GetPageBackgroundColor(1), 0xFFFFFFu);
    EXPECT_EQ(dvi.FindTagPage("sec3"), 2);

    // Fonts: both short definitions loaded at their numbers.
    {
        auto* index = dvi.GetExtFontIndex();
        ASSERT_NE(index[7], nullptr);
        ASSERT_NE(index[300], nullptr);
        EXPECT_EQ(index[7]->GetName(), String8("cmr10"));
        EXPECT_EQ(index[300]->GetScaleSize(), 786432);
        EXPECT_EQ(dvi.GetNItrnFont(), 2);
        auto defs = dvi.GetFontDefs();
        ASSERT_EQ(defs.size(), 2u);
        EXPECT_EQ(defs[1].number, 300);
        EXPECT_EQ(defs[1].page, 1);
        EXPECT_EQ(defs[1].checksum, 0x12345678u);
    }

    // Out-of-range pages answer without touching anything.
    for (int p : {-1, 3, 1000000}) {
        EXPECT_EQ(dvi.GetPageStartOffset(p), -1);
        EXPECT_EQ(dvi.GetPageColorStack(p), nullptr);
        EXPECT_EQ(dvi.GetPageContents(p, nullptr), -1);
        EXPECT_EQ(dvi.GetTeXPageNo(p), 0);
    }
}

TEST(VrDviScan, IncrementalScanEqualsOneShotAndSeesEachSpecialOnce) {
    TempDir dir;
    std::string path = dir.File("seven.dvi");
    {
        DviBuilder b(path);
        for (int i = 0; i < 7; ++i) {
            b.Special("page" + std::to_string(i));
            b.Page(i + 1);
        }
        b.Finish();
    }
    RecordingDvi once(path.c_str(), Fonts(), NoPaths());
    once.NewPageWritten(5);
    RecordingDvi steps(path.c_str(), Fonts(), NoPaths());
    steps.NewPageWritten(2);
    ASSERT_EQ(steps.GetNPage(), 2);
    steps.NewPageWritten(1);  // below the count: nothing
    steps.NewPageWritten(2);
    EXPECT_EQ(steps.GetNPage(), 2);
    steps.NewPageWritten(5);
    ASSERT_EQ(steps.GetNPage(), 5);
    EXPECT_EQ(steps.GetMode(), ModeScanning);
    for (int p = 0; p < 5; ++p) {
        EXPECT_EQ(steps.GetPageStartOffset(p), once.GetPageStartOffset(p));
        EXPECT_EQ(steps.GetPageEndOffset(p), once.GetPageEndOffset(p));
        EXPECT_EQ(steps.GetTeXPageNo(p), p + 1);
    }
    EXPECT_EQ(steps.specials, once.specials);
    EXPECT_EQ(steps.specialPages, (std::vector<int>{0, 1, 2, 3, 4}));

    steps.NewPageWritten(0);
    EXPECT_EQ(steps.GetMode(), ModeComplete);
    EXPECT_EQ(steps.GetNPage(), 7);
    size_t seen = steps.specials.size();
    steps.NewPageWritten(0);  // complete: nothing more
    EXPECT_EQ(steps.specials.size(), seen);
}

TEST(VrDviScan, MalformedFilesAreRefusedWithAText) {
    ErrorSink sink;
    struct Case {
        const char* name;
        int pagesKept;
        void (*make)(const std::string& path);
    };
    auto good = [](const std::string& path) {
        DviBuilder b(path);
        b.Page(1);
        b.Page(2);
        b.Finish();
    };
    static std::function<void(const std::string&)> goodFile = good;
    auto patched = [](const std::string& path, size_t at, unsigned v, int width) {
        goodFile(path);
        auto bytes = ReadFile(path);
        if (width == 4) Patch32(bytes, at, v);
        else bytes[at] = (unsigned char)v;
        WriteFile(path, bytes);
    };
    static std::function<void(const std::string&, size_t, unsigned, int)> patch = patched;
    const Case cases[] = {
        {"id 3", 0, [](const std::string& p) { patch(p, 1, 3, 1); }},
        {"mag 0", 0, [](const std::string& p) { patch(p, 10, 0, 4); }},
        {"mag 20000", 0, [](const std::string& p) { patch(p, 10, 20000, 4); }},
        {"mag that wraps when scaled", 0, [](const std::string& p) { patch(p, 10, 429496830u, 4); }},
        {"num 0", 0, [](const std::string& p) { patch(p, 2, 0, 4); }},
        {"den 0", 0, [](const std::string& p) { patch(p, 6, 0, 4); }},
        {"not a preamble", 0, [](const std::string& p) { patch(p, 0, 'P', 1); }},
        {"empty file", 0, [](const std::string& p) { WriteFile(p, {}); }},
        {"set3 on a page", 1,
         [](const std::string& p) {
             DviBuilder b(p);
             b.Page(1);
             b.Bop(2);
             b.Byte(dviop::Set3);
             b.Byte(0), b.Byte(0), b.Byte(65);
             b.Eop();
             b.Finish();
         }},
        {"undefined opcode", 0,
         [](const std::string& p) {
             DviBuilder b(p);
             b.Bop(1);
             b.Byte(250);
             b.Eop();
             b.Finish();
         }},
        {"page without bop", 1,
         [](const std::string& p) {
             DviBuilder b(p);
             b.Page(1);
             b.Byte('x');
             b.Eop();
             b.Finish();
         }},
        {"file ends inside a page", 1,
         [](const std::string& p) {
             DviBuilder b(p);
             b.Page(1);
             b.Bop(2);
             b.Byte('x');
             b.Close();
         }},
        {"special longer than the file", 0,
         [](const std::string& p) {
             DviBuilder b(p);
             b.Bop(1);
             b.Byte(dviop::Xxx4);
             b.w.WriteUInt32(int(0xFFFFFFFFu));
             b.Byte('x');
             b.Eop();
             b.Close();
         }},
        {"font definition cut short", 0,
         [](const std::string& p) {
             DviBuilder b(p);
             b.Bop(1);
             b.Byte(dviop::FntDef1);
             b.Byte(3);
             b.Close();
         }},
        {"postamble cut short", 2,
         [](const std::string& p) {
             goodFile(p);
             auto bytes = ReadFile(p);
             // Keep the post byte and 20 bytes of its parameters.
             size_t post = 15 + 15 + 2 * ThreePages::kPageBody;
             ASSERT_EQ(bytes[post], dviop::Post);
             WriteFile(p, bytes, post + 21);
         }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string path = dir.File("bad.dvi");
        c.make(path);
        RecordingDvi dvi(path.c_str(), Fonts(), NoPaths());
        size_t reports = sink.texts.size();
        dvi.NewPageWritten(0);
        EXPECT_EQ(dvi.GetMode(), ModeInvalid) << c.name;
        EXPECT_EQ(dvi.GetNPage(), c.pagesKept) << c.name;
        EXPECT_FALSE(dvi.GetErrorText().IsNull()) << c.name;
        EXPECT_EQ(sink.texts.size(), reports + 1) << c.name;
        // A refused file stays refused until it is opened again.
        dvi.NewPageWritten(0);
        EXPECT_EQ(dvi.GetNPage(), c.pagesKept) << c.name;
    }
}

TEST(VrDviScan, LongFontNumbersAreSkippedAndFontsShared) {
    TempDir dir;
    std::string path = dir.File("fonts.dvi");
    {
        DviBuilder b(path);
        b.FontDef(dviop::FntDef1, 1, "cmr10", 655360);
        b.FontDef(dviop::FntDef1, 2, "cmr10", 655360);  // same name and size: same font
        b.FontDef(dviop::FntDef1, 3, "cmr10", 786432);  // other size: other font
        b.FontDef(dviop::FntDef3, 4, "cmti10");
        b.FontDef(dviop::FntDef4, 70000, "cmsl10");
        b.FontDef(dviop::FntDef1, 5, "cmss10", 0, 655360);  // size 0: design size, turned
        b.FontDef(dviop::FntDef1, 6, "cmss10", -1, 655360);  // the same turned font
        b.FontDef(dviop::FntDef1, 8, "vlrnosuchfont");       // no metric file: no font
        b.Page(1);
        b.Finish();
    }
    VrDvi dvi(path.c_str(), Fonts(), NoPaths());
    dvi.NewPageWritten(0);
    ASSERT_EQ(dvi.GetMode(), ModeComplete);
    auto* index = dvi.GetExtFontIndex();
    EXPECT_EQ(index[1], index[2]);
    EXPECT_NE(index[1], index[3]);
    EXPECT_EQ(index[4], nullptr);
    ASSERT_NE(index[5], nullptr);
    EXPECT_EQ(index[5]->GetScaleSize(), 655360);
    EXPECT_EQ(index[5]->GetRotate(), 900u);
    EXPECT_EQ(index[1]->GetRotate(), 0u);
    EXPECT_EQ(index[6], index[5]);
    EXPECT_EQ(index[8], nullptr);
    EXPECT_EQ(dvi.GetNItrnFont(), 3);
    EXPECT_EQ(dvi.GetFontDefs().size(), 8u);
    EXPECT_EQ(dvi.GetFontDefs()[4].number, 70000);

    std::vector<int> ids;
    for (VrDvi::ItrnFontItr it(dvi); !it.IsFinished(); ++it) ids.push_back(it()->GetID());
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 2}));

    // The bucket of a name: 12, then (2h + c) mod 73 over signed bytes.
    EXPECT_EQ(VrDvi::GetHashCode(""), 12);
    EXPECT_EQ(VrDvi::GetHashCode("a"), (24 + 'a') % 73);
    EXPECT_EQ(VrDvi::GetHashCode("\xff"), 23);  // (24 - 1) mod 73
    EXPECT_EQ(VrDvi::GetHashCode("\x80"), (24 - 128) % 73 + 73);
}

TEST(VrDviScan, UnitConversionRoundsAndClamps) {
    TempDir dir;
    std::string path = dir.File("units.dvi");
    {
        // num / den chosen so that a resolution of 0.1 dpi gives 0.5 dots per unit.
        VrDviWriter w;
        w.open(path.c_str());
        w.WritePreamble(1, 1270000, 2000, nullptr);
        int c[10] = {};
        w.WriteBop(c);
        w.WriteEop();
        w.WritePostamble(0, 0, 0);
        w.WritePostPostamble();
    }
    VrDvi dvi(path.c_str(), Fonts(), NoPaths());
    dvi.NewPageWritten(0);
    ASSERT_EQ(dvi.GetMode(), ModeComplete);
    EXPECT_EQ(dvi.GetAbsMag().Raw(), 20000);
    dvi.SethDpi(fpreal4(1000));
    dvi.SetvDpi(fpreal4(1000));
    EXPECT_NEAR(dvi.GethFactor(), 0.5, 1e-12);
    EXPECT_EQ(dvi.hDot(-3), -2);
    EXPECT_EQ(dvi.hDot(3), 2);
    EXPECT_EQ(dvi.vDot(-3), -2);
    EXPECT_EQ(dvi.dhDot(3), 2);
    EXPECT_EQ(dvi.dhDot(-3), -1);
    EXPECT_EQ(dvi.dvDot(-3), -1);
    dvi.SethDpi(fpreal4(INT32_MAX));
    EXPECT_EQ(dvi.hDot(INT32_MAX), INT32_MAX);
    EXPECT_EQ(dvi.hDot(INT32_MIN), INT32_MIN);
    EXPECT_EQ(dvi.dhDot(INT32_MIN), INT32_MIN);
}

TEST(VrDviScan, FileTroubleThrowsOrFailsWithoutChangingState) {
    TempDir dir;
    std::string path = dir.File("gone.dvi");
    {
        DviBuilder b(path);
        b.Page(1);
        b.Page(2);
        b.Close();
    }
    VrDvi dvi(path.c_str(), Fonts(), NoPaths());
    dvi.NewPageWritten(2);
    ASSERT_EQ(dvi.GetNPage(), 2);

    // The file shortened behind the reader's back: no stale bytes handed out.
    auto bytes = ReadFile(path);
    WriteFile(path, bytes, size_t(dvi.GetPageEndOffset(1)));
    std::vector<unsigned char> buf(static_cast<size_t>(dvi.GetPageLength(1)));
    EXPECT_EQ(dvi.GetPageContents(1, buf.data()), -1);
    EXPECT_EQ(dvi.GetPageContents(0, buf.data()), dvi.GetPageLength(0));

    std::filesystem::remove(path);
    EXPECT_THROW(dvi.NewPageWritten(3), FileOpenError);
    EXPECT_THROW(dvi.GetPageContents(0, buf.data()), FileOpenError);
    EXPECT_EQ(dvi.GetNPage(), 2);
    EXPECT_EQ(dvi.GetMode(), ModeScanning);

    VrDvi none;
    EXPECT_FALSE(none.IsOpened());
    EXPECT_THROW(none.NewPageWritten(0), FileOpenError);
}

TEST(VrDviScan, PageTableGrowsPastThreeThousand) {
    TempDir dir;
    std::string path = dir.File("many.dvi");
    {
        DviBuilder b(path);
        for (int i = 0; i < 3500; ++i) {
            int c[10] = {i + 1};
            b.w.WriteBop(c);
            b.Eop();
        }
        b.Finish();
    }
    VrDvi dvi(path.c_str(), Fonts(), NoPaths());
    dvi.NewPageWritten(0);
    ASSERT_EQ(dvi.GetMode(), ModeComplete);
    ASSERT_EQ(dvi.GetNPage(), 3500);
    EXPECT_EQ(dvi.GetTeXPageNo(3000), 3001);
    EXPECT_EQ(dvi.GetTeXPageNo(3499), 3500);
    EXPECT_EQ(dvi.GetPageStartOffset(3499), 15 + 15 + 3499 * 46);
}

TEST(VrDviScan, OpenAndCloseStartAgain) {
    TempDir dir;
    std::string a = dir.File("a.dvi"), b = dir.File("b.dvi");
    ThreePages docA(a);
    {
        DviBuilder d(b);
        d.Page(9);
        d.Finish();
    }
    RecordingDvi dvi;
    dvi.SetWaterMarkWMFFileName("w.wmf");
    dvi.Open(a.c_str(), Fonts(), NoPaths());
    EXPECT_TRUE(dvi.GetWaterMarkWMFFileName().IsEmpty());
    dvi.NewPageWritten(0);
    ASSERT_EQ(dvi.GetNPage(), 3);
    dvi.Open(b.c_str(), Fonts(), NoPaths());
    EXPECT_EQ(dvi.GetNPage(), 0);
    EXPECT_EQ(dvi.GetMode(), ModeScanning);
    EXPECT_EQ(dvi.FindTagPage("sec3"), -1);
    EXPECT_EQ(dvi.GetExtFontIndex()[7], nullptr);
    dvi.NewPageWritten(0);
    EXPECT_EQ(dvi.GetNPage(), 1);
    EXPECT_EQ(dvi.GetTeXPageNo(0), 9);
    dvi.Close();
    EXPECT_FALSE(dvi.IsOpened());
    EXPECT_EQ(dvi.GetNPage(), 0);
    EXPECT_EQ(dvi.GetNItrnFont(), 0);
}

TEST(VrDviScan, GrowingFileGivesEachPageWhenItsEopArrives) {
    TempDir dir;
    std::string full = dir.File("full.dvi"), growing = dir.File("growing.dvi");
    {
        DviBuilder b(full);
        for (int i = 0; i < 6; ++i) {
            b.Special("colorpush: 1 0 0");
            b.FontDef(dviop::FntDef1, unsigned(i), "cmr10", 655360 + i);
            b.Page(i + 1);
            b.Special("html:<a name=\"p" + std::to_string(i) + "\">");
        }
        b.Finish();
    }
    RecordingDvi once(full.c_str(), Fonts(), NoPaths());
    once.NewPageWritten(0);
    ASSERT_EQ(once.GetNPage(), 6);

    auto bytes = ReadFile(full);
    RecordingDvi follow(growing.c_str(), Fonts(), NoPaths());
    WriteFile(growing, {});
    for (size_t size = 1; size <= bytes.size(); size += 7) {
        WriteFile(growing, bytes, size);
        // The worker's count of complete pages: those whose eop is in the file.
        int complete = 0;
        while (complete < 6 && size_t(once.GetPageEndOffset(complete)) < size) ++complete;
        if (complete == 0) continue;
        follow.NewPageWritten(complete);
        ASSERT_EQ(follow.GetMode(), ModeScanning) << size;
        ASSERT_EQ(follow.GetNPage(), complete) << size;
    }
    WriteFile(growing, bytes);
    follow.NewPageWritten(0);
    EXPECT_EQ(follow.GetMode(), ModeComplete);
    ASSERT_EQ(follow.GetNPage(), 6);
    for (int p = 0; p < 6; ++p) {
        EXPECT_EQ(follow.GetPageStartOffset(p), once.GetPageStartOffset(p));
        EXPECT_EQ(follow.GetPageEndOffset(p), once.GetPageEndOffset(p));
        EXPECT_EQ(follow.GetPageColorStackSize(p), once.GetPageColorStackSize(p));
        EXPECT_EQ(follow.FindTagPage(("p" + std::to_string(p)).c_str()), p + 1);
    }
    EXPECT_EQ(follow.specials, once.specials);
    EXPECT_EQ(follow.GetNItrnFont(), 6);
}

TEST(VrDviScan, ReadersOnAnotherThreadSeeOnlyCompletePages) {
    TempDir dir;
    std::string path = dir.File("race.dvi");
    const int kPages = 400;
    {
        DviBuilder b(path);
        for (int i = 0; i < kPages; ++i) {
            b.Special("html:<a name=\"t" + std::to_string(i) + "\">");
            b.FontDef(dviop::FntDef2, unsigned(i), "f" + std::to_string(i % 50));
            b.Page(i);
        }
        b.Finish();
    }
    VrDvi dvi(path.c_str(), Fonts(), NoPaths());
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread ui([&] {
        while (!done.load()) {
            int n = dvi.GetNPage();
            for (int p = 0; p < n; ++p)
                if (dvi.GetTeXPageNo(p) != p || dvi.GetPageColorStackSize(p) != 1) ++bad;
            int fonts = 0;
            for (VrDvi::ItrnFontItr it(dvi); !it.IsFinished(); ++it) ++fonts;
            if (fonts > 50) ++bad;
            if (n > 0 && dvi.FindTagPage(("t" + std::to_string(n - 1)).c_str()) != n - 1) ++bad;
        }
    });
    for (int k = 1; k <= kPages; k += 3) dvi.NewPageWritten(k);
    dvi.NewPageWritten(0);
    done = true;
    ui.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(dvi.GetNPage(), kPages);
    EXPECT_EQ(dvi.GetMode(), ModeComplete);
}
