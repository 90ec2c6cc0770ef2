// The DVI mode of the stream scanner on documents made by TeX, plain and
// gzipped, arriving in chunks; the reader is told of pages as they complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>

#include "ProgressiveTestSupport.h"
#include "dvilib/DviOpcodes.h"
#include "dvilib/VrDvi.h"
#include "dvilib/VrDviError.h"
#include "dvilib/VrDviWriter.h"

using namespace progtest;

namespace {

// Eight pages; page 3 carries a special of 50000 bytes (written as xxx4), so
// it spans chunks of every size used here.
const char* kDocument = R"TEX(
\font\big=cmbx10 at 14pt
\def\a{0123456789}\def\b{\a\a\a\a\a\a\a\a\a\a}\def\c{\b\b\b\b\b\b\b\b\b\b}
\def\d{\c\c\c\c\c\c\c\c\c\c}
\newcount\n \n=0
\loop \advance\n by 1
  Page \the\n. {\big Bold words} and a rule \vrule width 2pt height 1cm.
  \special{html:<a name="p\the\n">}
  \ifnum\n=3 \special{\d\d\d\d\d}\fi
  \ifnum\n=5 {\font\tt=cmtt10 \tt typewriter}\fi
  \ifnum\n<8 \vfill\eject \repeat
\bye
)TEX";

// Offsets of the eops, from dvitype.
std::vector<long> EopOffsets(const std::string& dviPath) {
    std::vector<long> eops;
    std::istringstream in(RunDviType(dviPath, 1));
    std::string line;
    while (std::getline(in, line)) {
        long at = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%ld: eop%n", &at, &used) == 1 && used > 0) eops.push_back(at);
    }
    return eops;
}

DList<String8> NoPaths() { return {}; }

class TexDocument : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        VrDviSetErrorHook([](const char*) {});
        dir_ = new TempDir;
        ASSERT_NO_FATAL_FAILURE(RunTex(*dir_, kDocument));
        dvi_ = new Bytes(ReadFile(dir_->File("doc.dvi")));
        eops_ = new std::vector<long>(EopOffsets(dir_->File("doc.dvi")));
    }
    static void TearDownTestSuite() {
        delete dir_;
        delete dvi_;
        delete eops_;
    }
    void SetUp() override {
        ASSERT_NE(dvi_, nullptr);
        ASSERT_EQ(eops_->size(), 8u);
    }

    // Pages whose eop lies inside the first `length` bytes.
    static int CompleteIn(int64_t length) {
        int n = 0;
        while (n < int(eops_->size()) && (*eops_)[size_t(n)] < length) ++n;
        return n;
    }

    // Feeds `data` in chunks of `chunk` bytes as the fetch thread does and
    // checks after every chunk that exactly the complete pages are known, to
    // the scanner and to the reader. Returns the reader after the end of data.
    std::unique_ptr<VrDvi> FeedAndCheck(const Bytes& data, size_t chunk, bool compressed, size_t stopAt = size_t(-1)) {
        Fetch fetch(dir_->File("fetch.tmp"), ProgressiveInput::kScanDvi, compressed);
        std::unique_ptr<VrDvi> reader;
        int known = 0;
        const size_t end = std::min(stopAt, data.size());
        for (size_t at = 0; at < end; at += chunk) {
            const int reported = fetch.Feed(data.data() + at, std::min(chunk, end - at));
            EXPECT_EQ(fetch.storeOk, 1);
            const int complete = CompleteIn(fetch.Length());
            EXPECT_EQ(fetch.input.GetDviPages(), complete) << "at " << at;
            EXPECT_EQ(reported, complete > known ? 1 : 0) << "at " << at;
            known = complete;
            if (!reader) reader = std::make_unique<VrDvi>(String8(fetch.Path().c_str()), NoPaths(), NoPaths());
            fetch.input.AnnounceDviPages(*reader, 0);
            EXPECT_EQ(reader->GetMode(), ModeScanning) << "at " << at;
            EXPECT_EQ(reader->GetNPage(), complete) << "at " << at;
            if (::testing::Test::HasFailure()) break;
        }
        EXPECT_EQ(fetch.input.IsValidDvi(), 1);
        fetch.End();
        fetch.input.AnnounceDviPages(*reader, 1);
        return reader;
    }

    static TempDir* dir_;
    static Bytes* dvi_;
    static std::vector<long>* eops_;
};

TempDir* TexDocument::dir_ = nullptr;
Bytes* TexDocument::dvi_ = nullptr;
std::vector<long>* TexDocument::eops_ = nullptr;

} // namespace

TEST_F(TexDocument, TheDocumentHasASpecialLongerThanAChunk) {
    // xxx4 with a length of 50000, most significant byte first.
    const unsigned char xxx4[] = {dviop::Xxx4, 0, 0, 0xC3, 0x50};
    auto it = std::search(dvi_->begin(), dvi_->end(), std::begin(xxx4), std::end(xxx4));
    EXPECT_NE(it, dvi_->end());
}

TEST_F(TexDocument, PagesAreReportedExactlyAsTheirEopArrives) {
    for (size_t chunk : {size_t(1), size_t(7), size_t(20480)}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        auto reader = FeedAndCheck(*dvi_, chunk, false);
        EXPECT_EQ(reader->GetMode(), ModeComplete);
        EXPECT_EQ(reader->GetNPage(), 8);
        EXPECT_EQ(ReadFile(dir_->File("fetch.tmp")), *dvi_);
    }
}

TEST_F(TexDocument, GzippedDocumentIsUnpackedAndScannedAsItArrives) {
    const Bytes gz = Gzip(*dvi_, {false, -1, "doc.dvi", "compressed for a test", true});
    for (size_t chunk : {size_t(1), size_t(7), size_t(20480)}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        auto reader = FeedAndCheck(gz, chunk, true);
        EXPECT_EQ(reader->GetMode(), ModeComplete);
        EXPECT_EQ(reader->GetNPage(), 8);
        EXPECT_EQ(ReadFile(dir_->File("fetch.tmp")), *dvi_);
    }
}

TEST_F(TexDocument, FileCutInsideAPageReportsThePagesBeforeIt) {
    // Cut in the middle of the long special on page 3, and just before an eop.
    for (size_t cut : {size_t((*eops_)[1] + 20000), size_t((*eops_)[5])}) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        auto reader = FeedAndCheck(*dvi_, 7, false, cut);
        EXPECT_EQ(reader->GetNPage(), CompleteIn(int64_t(cut)));
        EXPECT_NE(reader->GetMode(), ModeComplete);
    }
}

TEST(DviStream, ParametersThatLookLikeEopsAreSkipped) {
    // Every parameter and name byte is 140 (eop) or 248 (post); the lengths
    // of specials and font definitions use all their forms.
    TempDir dir;
    const std::string path = dir.File("odd.dvi");
    {
        VrDviWriter w;
        w.open(path.c_str());
        w.WritePreamble(473628672, 25400000, 1000, reinterpret_cast<const unsigned char*>("\x8c\x8c\xf8"));
        auto bytes = [&](int n, int v) {
            for (int i = 0; i < n; ++i) w.WriteUInt8(v);
        };
        int counts[10] = {140, 140, 140, 140, 140, 140, 140, 140, 140, 140};
        w.WriteBop(counts);
        w.WriteUInt8(dviop::Xxx2);
        w.WriteUInt16(300);
        bytes(300, dviop::Eop);
        w.WriteUInt8(dviop::Xxx3);
        w.WriteUInt24(3);
        bytes(3, dviop::Post);
        w.WriteUInt8(dviop::SetRule);
        bytes(8, dviop::Eop);
        w.WriteUInt8(dviop::Right4);
        bytes(4, dviop::Eop);
        w.WriteUInt8(dviop::Fnt2);
        bytes(2, dviop::Eop);
        for (int op = dviop::FntDef2; op <= dviop::FntDef4; ++op) {
            w.WriteUInt8(op);
            bytes(dviop::SizeByte(uint8_t(op)) + 12, dviop::Eop);
            w.WriteUInt8(2);  // area
            w.WriteUInt8(3);  // name
            bytes(5, dviop::Eop);
        }
        w.WriteEop();
        w.WriteBop(counts);
        w.WriteUInt8(dviop::Xxx1);
        w.WriteUInt8(0);
        w.WriteUInt8(dviop::W3);
        bytes(3, dviop::Eop);
        w.WriteEop();
        w.WritePostamble(1, 100, 100);
        w.WritePostPostamble();
        w.close();
    }
    const Bytes data = ReadFile(path);
    VrDvi ref(String8(path.c_str()), NoPaths(), NoPaths());
    ref.NewPageWritten(0);
    ASSERT_EQ(ref.GetMode(), ModeComplete) << ref.GetErrorText().c_str();
    ASSERT_EQ(ref.GetNPage(), 2);

    for (size_t chunk : {size_t(1), size_t(3), data.size()}) {
        Fetch fetch(dir.File("fetch.tmp"), ProgressiveInput::kScanDvi, false);
        for (size_t at = 0; at < data.size(); at += chunk) {
            fetch.Feed(data.data() + at, std::min(chunk, data.size() - at));
            int complete = 0;
            while (complete < 2 && ref.GetPageEndOffset(complete) < fetch.Length()) ++complete;
            ASSERT_EQ(fetch.input.GetDviPages(), complete) << "chunk " << chunk << " at " << at;
        }
        EXPECT_EQ(fetch.input.IsValidDvi(), 1);
        // The postamble and the fill after it end the scan: no more pages.
        EXPECT_EQ(fetch.input.m_dviState, 2);
    }
}

TEST(DviStream, StartsThatAreNotDviAreTold) {
    TempDir dir;
    struct Case {
        Bytes start;
        int valid;
    };
    const Case cases[] = {
        {{247, 2}, 1}, {{247, 3}, 1}, {{247, 4}, 0}, {{246, 2}, 0}, {{'%', '!'}, 0},
    };
    for (const auto& c : cases) {
        Fetch fetch(dir.File("fetch.tmp"), ProgressiveInput::kScanDvi, false);
        EXPECT_EQ(fetch.Feed(c.start.data(), 1), c.start[0] == 247 ? 0 : 1);
        EXPECT_EQ(fetch.Feed(c.start.data() + 1, 1), c.start[0] == 247 && !c.valid ? 1 : 0);
        EXPECT_EQ(fetch.input.IsValidDvi(), c.valid);
        EXPECT_EQ(fetch.input.GetDviPages(), 0);
    }
    // No temporary file: nothing is reported.
    ProgressiveInput missing(dir.File("none.tmp").c_str());
    missing.ResetDviScan();
    EXPECT_EQ(missing.ScanDviStream(0, 10, ProgressiveInput::kScanDvi), 0);
    EXPECT_EQ(missing.ScanDviStream(0, 10, 2), 0);
}
