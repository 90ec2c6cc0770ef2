// PostScript to PDF conversion and page counting with the real Ghostscript
// library, and the page-count parser on text split in awkward places.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ghostscript/GS.h"
#include "platform/sys/TempFiles.h"
#include "testsupport/TestTools.h"
#include "viewer/document/PsConversion.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

std::string ThreePages() {
    return "%!PS\n0 setgray 10 10 50 50 rectfill showpage\nshowpage\n20 20 30 30 rectfill showpage\n";
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string Head(const std::string& path, size_t n) {
    const auto bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.begin() + std::min(n, bytes.size()));
}

class PsJobs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, nullptr), 1); }
    TempDir dir;
};

TEST(PsInfoOutputter, ReadsTheCountFromLinesInAnyPieces) {
    struct Case {
        std::vector<std::string> pieces;
        int count;
    } cases[] = {
        {{"Processing pages 1 through 12.\n"}, 12},
        {{"Processing pages 1 thro", "ugh 12.\n"}, 12},
        {{"Processing pages 1 through ", "1", "2", ".\n"}, 12},
        {{"PROCESSING PAGES 1 THROUGH 3.\n"}, 3},
        {{"Page 1\nthrough\n", "Processing pages 1 through 4.\n"}, 4},  // no digits after the first
        {{"GPL Ghostscript\n", "no range here\n"}, -1},
        {{"last line without its line feed through 7"}, 7},              // taken by Finish
        {{"through 99999999999999.\n"}, 2147483647},
        {{"through 5.\nthrough 6.\n"}, 5},                              // the first one wins
    };
    for (const Case& c : cases) {
        PsInfoOutputter out;
        for (const std::string& p : c.pieces) out.OnText(nullptr, p.data(), int(p.size()));
        out.Finish();
        EXPECT_EQ(out.m_pageCount, c.count) << c.pieces[0];
    }
    // Done once a count is known, or on a stop.
    std::atomic<int> stop{0};
    PsInfoOutputter waiting(&stop);
    EXPECT_EQ(waiting.IsDone(nullptr), 0);
    stop = 1;
    EXPECT_EQ(waiting.IsDone(nullptr), 1);
    EXPECT_TRUE(waiting.Stopped());
}

TEST(PsJobArgs, AreVectorsWithTheLibraryPathAsOneArgument) {
    const std::vector<String8> count = PageCountJobArgs("/opt/gs lib/Resource");
    ASSERT_GE(count.size(), 2u);
    EXPECT_EQ(std::string(count[1].c_str()), "-I/opt/gs lib/Resource");
    const std::vector<String8> convert = PdfWriteJobArgs("/tmp/a b/(x).tmp");
    bool found = false;
    for (const String8& a : convert) found |= std::string(a.c_str()) == "-sOutputFile#/tmp/a b/(x).tmp";
    EXPECT_TRUE(found);
}

TEST_F(PsJobs, ConvertsPostScriptToPdfAndCountsItsPagesInAwkwardFolders) {
    // Blanks, parentheses and a backslash in the temporary folder's name.
    const fs::path folder = dir.Path() / "temp (1) \\ x";
    fs::create_directories(folder);
    const std::string ps = (folder / "htp1A.tmp").string();
    const std::string pdf = (folder / "htp1B.tmp").string();
    Write(ps, ThreePages());
    std::atomic<int> stop{0};
    std::string why;
    ASSERT_EQ(ConvertPostScriptToPdf(ps.c_str(), pdf.c_str(), &stop, &why), PsJobResult::Done) << why;
    EXPECT_EQ(Head(pdf, 5), "%PDF-");
    int count = 0;
    EXPECT_EQ(CountPdfPages(pdf.c_str(), &stop, &count), PsJobResult::Done);
    EXPECT_EQ(count, 3);

    // A PDF whose pages cannot be found counts one page.
    const std::string damaged = (folder / "damaged.tmp").string();
    Write(damaged, "%PDF-1.4\nthis is not a PDF body\n");
    EXPECT_EQ(CountPdfPages(damaged.c_str(), &stop, &count), PsJobResult::Done);
    EXPECT_EQ(count, 1);
}

TEST_F(PsJobs, FailuresAreReportedAndAStopIsNotAFailure) {
    const std::string pdf = dir.File("out.tmp");
    std::string why;
    // PostScript that raises an error.
    const std::string bad = dir.File("bad.tmp");
    Write(bad, "%!PS\n10 10 moveto nosuchoperator showpage\n");
    EXPECT_EQ(ConvertPostScriptToPdf(bad.c_str(), pdf.c_str(), nullptr, &why), PsJobResult::Failed);
    EXPECT_NE(why.find("undefined"), std::string::npos) << why;
    // A file that is not there.
    EXPECT_EQ(ConvertPostScriptToPdf(dir.File("missing.tmp").c_str(), pdf.c_str(), nullptr, &why),
              PsJobResult::Failed);
    // A stop before anything ran.
    std::atomic<int> stop{1};
    const std::string good = dir.File("good.tmp");
    Write(good, ThreePages());
    EXPECT_EQ(ConvertPostScriptToPdf(good.c_str(), pdf.c_str(), &stop, &why), PsJobResult::Stopped);
    int count = 0;
    EXPECT_EQ(CountPdfPages(good.c_str(), &stop, &count), PsJobResult::Stopped);
}

TEST_F(PsJobs, AStopDuringALongConversionEndsItBetweenPages) {
    // Every page prints its number, so the pages converted can be told from
    // the stop; the conversion of all of them takes many seconds.
    const std::string ps = dir.File("long.tmp");
    {
        std::ofstream out(ps);
        out << "%!PS\n/Times-Roman findfont 10 scalefont setfont\n";
        for (int p = 1; p <= 20000; ++p)
            out << "72 700 moveto (Page " << p << " of a long document) show showpage\n";
    }
    const std::string pdf = dir.File("long-out.tmp");
    std::atomic<int> stop{0};
    std::thread stopper([&] {
        // Once the output has grown, the conversion is under way.
        std::error_code ec;
        testsupport::WaitUntil([&] { return fs::file_size(pdf, ec) >= 20000 && !ec; }, 10000);
        stop = 1;
    });
    std::string why;
    const PsJobResult r = ConvertPostScriptToPdf(ps.c_str(), pdf.c_str(), &stop, &why);
    stopper.join();
    EXPECT_EQ(r, PsJobResult::Stopped) << why;
    // Ghostscript closed the output with the pages made before the stop.
    std::atomic<int> go{0};
    int count = 0;
    ASSERT_EQ(CountPdfPages(pdf.c_str(), &go, &count), PsJobResult::Done);
    EXPECT_LT(count, 20000);
    // The job has ended: another one runs at once.
    const std::string small = dir.File("small.tmp");
    Write(small, ThreePages());
    EXPECT_EQ(ConvertPostScriptToPdf(small.c_str(), dir.File("small-out.tmp").c_str(), &go, &why),
              PsJobResult::Done);
}

TEST_F(PsJobs, AnEndlessDocumentEndsOnAStop) {
    // PostScript that never ends, in a loop that reads no more input.
    const std::string ps = dir.File("endless.tmp");
    Write(ps, "%!PS\n{ } loop\n");
    const std::string pdf = dir.File("endless-out.tmp");
    std::atomic<int> stop{0};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = 1;  // as closing the document does
    });
    std::string why;
    EXPECT_EQ(ConvertPostScriptToPdf(ps.c_str(), pdf.c_str(), &stop, &why), PsJobResult::Stopped) << why;
    stopper.join();
}

TEST_F(PsJobs, AHostileDocumentChangesNothingInTheTemporaryFolders) {
    // Canaries where documents' temporary copies are kept.
    const char* env = std::getenv("TMPDIR");
    const fs::path tmp = env && *env ? env : "/tmp";
    const fs::path ours = sys::GetTempPath();
    ASSERT_FALSE(ours.empty());
    const std::string tag = std::to_string(getpid());
    const std::vector<fs::path> canaries = {tmp / ("htp" + tag + ".tmp"), ours / ("htp" + tag + ".tmp")};
    std::string ps = "%!PS\n/try { stopped pop } bind def\n";
    for (const fs::path& c : canaries) {
        Write(c.string(), "a document");
        const std::string name = "(" + c.string() + ")";
        ps += "{ " + name + " (w) file dup (PWNED) writestring closefile } try\n{ " + name + " (" + c.string() +
              ".x) renamefile } try\n{ " + name + " deletefile } try\n";
    }
    ps += "0 setgray 10 10 50 50 rectfill showpage\n";
    const std::string source = dir.File("hostile.tmp"), pdf = dir.File("hostile-out.tmp");
    Write(source, ps);
    std::string why;
    EXPECT_EQ(ConvertPostScriptToPdf(source.c_str(), pdf.c_str(), nullptr, &why), PsJobResult::Done) << why;
    EXPECT_EQ(Head(pdf, 5), "%PDF-");
    for (const fs::path& c : canaries) {
        const auto bytes = ReadFile(c.string());
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "a document") << c;
        EXPECT_FALSE(fs::exists(c.string() + ".x"));
        fs::remove(c);
    }
}

}  // namespace
