#include "platform/ghostscript/GS.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <thread>

#include "platform/ghostscript/GSChildJob.h"
#include "platform/ghostscript/GSJobArgs.h"
#include "platform/sys/TerminationRequest.h"
#include "platform/ghostscript/tests/GSTestSupport.h"

namespace {

class GSJobs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, ""), 1); }
};

constexpr unsigned kBlack = 0x000000, kWhite = 0xFFFFFF, kRed = 0xFF0000;

// On a 70 x 30 pixel page at 72 dpi: a black 8 x 6 square with its lower left
// corner at (10, 5) and a red 10 x 10 square at (40, 15), in PostScript's
// bottom-up coordinates.
const char kSquares[] = "0 setgray 10 5 8 6 rectfill 1 0 0 setrgbcolor 40 15 10 10 rectfill showpage\n";

unsigned ExpectedSquaresPixel(int x, int yFromTop) {
    int y = 29 - yFromTop;
    if (x >= 10 && x < 18 && y >= 5 && y < 11) return kBlack;
    if (x >= 40 && x < 50 && y >= 15 && y < 25) return kRed;
    return kWhite;
}

TEST_F(GSJobs, RendersPixelsAtEveryDepth) {
    for (int bpp : {1, 4, 8, 24}) {
        SCOPED_TRACE(bpp);
        RecordingOutputter out;
        GS* gs = GetGS();
        ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(bpp, "-g70x30"), &out), 1);
        EXPECT_EQ(gs->ProcessPSCommand(kSquares), 0);
        EXPECT_EQ(gs->EndGSJob(), 0);

        ASSERT_EQ(out.pages.size(), 1u);
        ASSERT_EQ(out.pageSizes.size(), 1u);
        EXPECT_EQ(out.pageSizes[0], std::make_pair(70, 30));
        const RecordedPage& p = out.pages[0];
        EXPECT_EQ(p.reportedWidth, 70);
        EXPECT_EQ(p.reportedHeight, 30);
        EXPECT_EQ(p.header.biSize, sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(p.header.biWidth, 70);
        EXPECT_EQ(p.header.biHeight, 30); // bottom-up
        EXPECT_EQ(p.header.biBitCount, bpp);
        EXPECT_EQ(p.header.biPlanes, 1);
        EXPECT_EQ(p.header.biClrUsed, bpp == 24 ? 0u : 1u << bpp);
        EXPECT_EQ(p.header.biSizeImage, DWORD(p.Stride() * 30));
        EXPECT_EQ(gs->GetBitmapWidth(), 70);
        EXPECT_EQ(gs->GetBitmapHeight(), 30);

        int wrong = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 70; ++x) {
                unsigned want = ExpectedSquaresPixel(x, y);
                if (bpp == 1 && want == kRed) continue; // halftoned
                if (p.Pixel(x, y) != want && ++wrong <= 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << p.Pixel(x, y);
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(GSJobs, EpsJobRendersTheBoxItIsGiven) {
    RecordingOutputter out;
    GS* gs = GetGS();
    // 36 x 18 points at 144 dpi: 72 x 36 pixels; the picture's box starts at (100, 200).
    ASSERT_EQ(gs->StartGSJob(144, 144, 72, 36, 8, &out, -1, -1), 1);
    EXPECT_EQ(gs->ProcessPSCommand("-100 -200 translate\n"), 0);
    EXPECT_EQ(gs->ProcessPSCommand("mark /GraphicsAlphaBits 4 /TextAlphaBits 4 currentdevice putdeviceprops pop\n"), 0);
    EXPECT_EQ(gs->ProcessPSCommand("0 setgray 100 200 18 18 rectfill\n"), 0);
    EXPECT_EQ(gs->ProcessPSCommand("showpage\n"), 0);
    EXPECT_EQ(gs->EndGSJob(), 0);
    ASSERT_EQ(out.pages.size(), 1u);
    const RecordedPage& p = out.pages[0];
    EXPECT_EQ(p.header.biWidth, 72);
    EXPECT_EQ(p.header.biHeight, 36);
    EXPECT_EQ(p.header.biBitCount, 8);
    EXPECT_EQ(p.Pixel(0, 35), kBlack);
    EXPECT_EQ(p.Pixel(35, 0), kBlack);
    EXPECT_EQ(p.Pixel(36, 0), kWhite);
    EXPECT_EQ(p.Pixel(71, 35), kWhite);
}

TEST_F(GSJobs, PostScriptErrorReturnsItsCodeAndText) {
    RecordingOutputter out;
    GS* gs = GetGS();
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(24, "-g20x20"), &out), 1);
    int code = gs->ProcessPSCommand("1 2 add pop vlrnosuchoperator\n");
    EXPECT_LT(code, 0);
    // The job runs nothing more and keeps its first error.
    EXPECT_EQ(gs->ProcessPSCommand("showpage\n"), code);
    EXPECT_EQ(gs->EndGSJob(), code);
    EXPECT_TRUE(out.pages.empty());

    bool found = false;
    for (const std::string& line : out.texts)
        if (line.find("undefined") != std::string::npos && line.find("vlrnosuchoperator") != std::string::npos)
            found = true;
    EXPECT_TRUE(found) << out.AllText();
}

TEST_F(GSJobs, TextArrivesInWholeLines) {
    RecordingOutputter out;
    GS* gs = GetGS();
    ASSERT_EQ(gs->StartGSJob({"gswin.exe", "-dNODISPLAY", "-dQUIET"}, &out), 1);
    // Ghostscript writes these in pieces; the outputter sees whole lines.
    EXPECT_EQ(gs->ProcessPSCommand("(Processing pages 1 through ) print 12 == (a\\nb) print flush\n"), 0);
    EXPECT_EQ(gs->ProcessPSCommand("(c) print (d) print flush\n"), 0);
    EXPECT_EQ(gs->EndGSJob(), 0);
    std::vector<std::string> want = {"Processing pages 1 through 12\n", "a\n", "bcd"};
    EXPECT_EQ(out.texts, want);
}

TEST_F(GSJobs, RunsFilesWithAwkwardNamesAndNothingElse) {
    auto dir = GSTestDir("files");
    std::filesystem::path granted = WriteFile(dir / "page (draft) \\ back*slash ü.ps", kSquares);
    // Matches the first name if its '*' were taken as a wildcard.
    std::filesystem::path other = WriteFile(dir / "page (draft) \\ back-other-slash ü.ps", kSquares);
    WriteFile(dir / "other.ps", kSquares);

    RecordingOutputter out;
    GS* gs = GetGS();
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(24, "-g70x30"), &out), 1);
    EXPECT_EQ(gs->ProcessPSFile(granted.c_str()), 0);
    ASSERT_EQ(out.pages.size(), 1u);
    EXPECT_EQ(out.pages[0].Pixel(12, 20), kBlack);
    // SAFER holds: a file the job was not given cannot be read from PostScript.
    int code = gs->ProcessPSCommand((PSStringLiteral(other.c_str()) + " run\n").c_str());
    EXPECT_LT(code, 0);
    gs->EndGSJob();
    EXPECT_EQ(out.pages.size(), 1u);
    EXPECT_NE(out.AllText().find("invalidfileaccess"), std::string::npos) << out.AllText();

    // Nor one in Ghostscript's own temporary folder, where other documents'
    // temporary copies are kept.
    const char* tmp = getenv("TMPDIR");
    ASSERT_NE(tmp, nullptr);
    std::filesystem::path inTemp = WriteFile(std::filesystem::path(tmp) / "htp1A.tmp", kSquares);
    RecordingOutputter out3;
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(24, "-g70x30"), &out3), 1);
    EXPECT_LT(gs->ProcessPSCommand((PSStringLiteral(inTemp.c_str()) + " run\n").c_str()), 0);
    gs->EndGSJob();
    EXPECT_TRUE(out3.pages.empty());

    // A relative name works too, and a missing file is an error.
    RecordingOutputter out2;
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(24, "-g70x30"), &out2), 1);
    std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    EXPECT_EQ(gs->ProcessPSFile("other.ps"), 0);
    std::filesystem::current_path(cwd);
    EXPECT_LT(gs->ProcessPSFile((dir / "missing.ps").c_str()), 0);
    gs->EndGSJob();
    EXPECT_EQ(out2.pages.size(), 1u);
}

// Files of the temporary folder as they stand: name and contents.
std::map<std::string, std::string> TreeOf(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        files[e.path().lexically_relative(dir).string()] =
            e.is_directory() ? "<dir>" : std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

TEST_F(GSJobs, HostilePostScriptLeavesTheTemporaryFolderAlone) {
    // Canaries with the names other documents' temporary copies have, in
    // Ghostscript's temporary folder and in a folder inside it.
    const std::filesystem::path tmp = getenv("TMPDIR");
    const std::filesystem::path canaries = tmp / "canaries";
    std::filesystem::remove_all(canaries);
    std::filesystem::create_directories(canaries / "inner");
    const std::string top = (canaries / "htp1A.tmp").string(), inner = (canaries / "inner" / "htp2B.tmp").string();
    WriteFile(top, "first document");
    WriteFile(inner, "second document");
    const std::string made = (canaries / "new.tmp").string();

    // Every operator that changes a file, on the canaries and on a new name;
    // each attempt runs on whatever the one before did.
    std::string ps = "/try { stopped pop } bind def\n";
    for (const std::string& f : {top, inner}) {
        const String8 name = PSStringLiteral(f.c_str());
        ps += std::string("{ ") + name.c_str() + " (w) file dup (PWNED-BY-EPS) writestring closefile } try\n";
        ps += std::string("{ ") + name.c_str() + " (a) file dup (PWNED) writestring closefile } try\n";
        ps += std::string("{ ") + name.c_str() + " (r+) file dup (PWNED) writestring closefile } try\n";
        ps += std::string("{ ") + name.c_str() + " " + PSStringLiteral(made.c_str()).c_str() + " renamefile } try\n";
        ps += std::string("{ ") + PSStringLiteral(made.c_str()).c_str() + " " + name.c_str() + " renamefile } try\n";
        ps += std::string("{ ") + name.c_str() + " deletefile } try\n";
    }
    ps += std::string("{ ") + PSStringLiteral(made.c_str()).c_str() + " (w) file closefile } try\n";
    ps += std::string("{ ") + PSStringLiteral((canaries / "pre").c_str()).c_str() + " (w) .tempfile closefile pop } try\n";
    // Guessing the names: three letters and a hexadecimal number.
    for (unsigned n = 1; n <= 0x100; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "htp%X.tmp", n);
        for (const std::filesystem::path& dir : {canaries, canaries / "inner"}) {
            const std::string guess = PSStringLiteral((dir / name).c_str()).c_str();
            ps += "{ " + guess + " deletefile } try { " + guess + " (w) file closefile } try\n";
        }
    }
    ps += "showpage\n";
    const auto before = TreeOf(canaries);

    struct Job {
        const char* what;
        std::function<int(GS*, RecordingOutputter*)> start;
    };
    const std::filesystem::path pdf = tmp / "convert-hostile.pdf";
    const Job jobs[] = {
        {"EPS picture", [](GS* gs, RecordingOutputter* out) { return gs->StartGSJob(72, 72, 20, 20, 24, out, -1, -1); }},
        {"page", [](GS* gs, RecordingOutputter* out) { return gs->StartGSJob(BitmapJobArgs(8, "-g20x20"), out); }},
        {"conversion", [&](GS* gs, RecordingOutputter* out) {
             return gs->StartGSJob({"gswin.exe", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE#pdfwrite",
                                    String8("-sOutputFile#") + pdf.c_str()},
                                   out);
         }},
    };
    for (const Job& job : jobs) {
        SCOPED_TRACE(job.what);
        RecordingOutputter out;
        GS* gs = GetGS();
        ASSERT_EQ(job.start(gs, &out), 1);
        gs->ProcessPSCommand(ps.c_str());
        gs->EndGSJob();
        EXPECT_EQ(TreeOf(canaries), before) << out.AllText();
    }
    // A picture in a child process: its temporary folder is a private one.
    RecordingOutputter child;
    const GSChildJob::Result r =
        GSChildJob::Run(GetGS(), GetGS()->PictureJobArgs(72, 72, 20, 20, 24), ps, &child, 60000);
    EXPECT_EQ(r.end, GSChildJob::End::Done) << r.text;
    EXPECT_EQ(child.pages.size(), 1u);
    EXPECT_EQ(TreeOf(canaries), before) << r.text;
    EXPECT_EQ(TreeOf(tmp / ("veloran-" + std::to_string(getuid()))).size(), 0u) << "the job's folder is left";
    // The conversion still wrote its own output file.
    EXPECT_GT(std::filesystem::file_size(pdf), 0u);
}

TEST_F(GSJobs, ConvertsToPdfAndCountsItsPages) {
    // In the temporary folder, where the viewer keeps its copies.
    std::filesystem::path dir = std::filesystem::path(getenv("TMPDIR")) / "convert";
    std::filesystem::create_directories(dir);
    std::filesystem::path ps = WriteFile(dir / "three pages.ps", "%!PS\n0 setgray 10 10 50 50 rectfill showpage\n"
                                                                 "showpage\n20 20 30 30 rectfill showpage\n");
    std::filesystem::path pdf = dir / "three pages.t_p";
    GS* gs = GetGS();

    RecordingOutputter convert;
    ASSERT_EQ(gs->StartGSJob({"gswin.exe", "-dCompatibilityLevel#1.2", "-dSAFER", "-dNOPAUSE", "-dBATCH",
                              "-sDEVICE#pdfwrite", String8("-sOutputFile#") + pdf.c_str(),
                              "-dCompatibilityLevel#1.2", "-c", ".setpdfwrite", "-f"},
                             &convert),
              1)
        << convert.AllText();
    EXPECT_EQ(gs->ProcessPSFile(ps.c_str()), 0) << convert.AllText();
    EXPECT_EQ(gs->EndGSJob(), 0) << convert.AllText();
    ASSERT_TRUE(std::filesystem::exists(pdf));

    // The page count comes from Ghostscript's "Processing pages 1 through N." line.
    struct PageCounter : RecordingOutputter {
        int count = -1;
        void OnText(GS* gs, const char* text, int length) override {
            RecordingOutputter::OnText(gs, text, length);
            std::string t(text, size_t(length));
            size_t at = t.find("through ");
            if (count < 0 && at != std::string::npos) count = atoi(t.c_str() + at + 8);
        }
        int IsDone(GS*) override { return count > 0; }
    } counter;
    ASSERT_EQ(gs->StartGSJob({"gswin.exe", "-I", "-dNODISPLAY", "-dSAFER", "-dNOPLATFONTS", "-dNOPAUSE", "-dBATCH",
                              "-dNOFONTMAP"},
                             &counter),
              1);
    EXPECT_EQ(gs->ProcessPSFile(pdf.c_str()), 0);
    gs->EndGSJob();
    EXPECT_EQ(counter.count, 3) << counter.AllText();

    // One page of it, as the page view asks; a page beyond the end gives none.
    for (int page : {3, 4}) {
        RecordingOutputter out;
        std::vector<String8> args = BitmapJobArgs(24, "-dNOFONTMAP", "-r36x36");
        args.push_back(String8("-dFirstPage=") + std::to_string(page).c_str());
        args.push_back(String8("-dLastPage=") + std::to_string(page).c_str());
        ASSERT_EQ(gs->StartGSJob(args, &out), 1);
        gs->ProcessPSFile(pdf.c_str());
        gs->EndGSJob();
        if (page == 3) {
            ASSERT_EQ(out.pages.size(), 1u) << out.AllText();
            const RecordedPage& p = out.pages[0];
            // 20 20 30 30 rectfill at 36 dpi: x 10..24, y 10..24 from the bottom.
            EXPECT_EQ(p.Pixel(12, p.header.biHeight - 1 - 12), kBlack);
            EXPECT_EQ(p.Pixel(6, p.header.biHeight - 1 - 6), kWhite);
        } else {
            EXPECT_TRUE(out.pages.empty());
        }
    }
}

TEST_F(GSJobs, DoneOutputterStopsTheJobAsSuccess) {
    GS* gs = GetGS();
    // Done after the first page: the rest of a long document is not rendered.
    RecordingOutputter probe;
    probe.onPage = [&](GS*) { probe.stop = 1; };
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(1, "-g20x20"), &probe), 1);
    EXPECT_EQ(gs->ProcessPSCommand("1 1 1000 { pop 0 0 5 5 rectfill showpage } for\n"), 0);
    EXPECT_EQ(gs->ProcessPSCommand("showpage\n"), 0);
    EXPECT_EQ(gs->EndGSJob(), 0);
    EXPECT_EQ(probe.pages.size(), 1u);
    EXPECT_EQ(probe.pageSizes.size(), 1u);

    // Done before anything runs.
    RecordingOutputter idle;
    idle.stop = 1;
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(1, "-g20x20"), &idle), 1);
    EXPECT_EQ(gs->ProcessPSCommand("showpage\n"), 0);
    EXPECT_EQ(gs->EndGSJob(), 0);
    EXPECT_TRUE(idle.pages.empty());
}

TEST_F(GSJobs, CancellingAnEndlessJobFromAnotherThreadEndsIt) {
    GS* gs = GetGS();
    RecordingOutputter out;
    std::atomic<int> pages{0};
    out.onPage = [&](GS*) { ++pages; };
    std::thread canceller([&] {
        while (pages.load() < 5) std::this_thread::yield();
        out.stop = 1; // as a user pressing stop
    });
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(24, "-g16x16"), &out), 1);
    // Never ends by itself.
    EXPECT_EQ(gs->ProcessPSCommand("{ 0 0 4 4 rectfill showpage } loop\n"), 0);
    EXPECT_EQ(gs->EndGSJob(), 0);
    canceller.join();
    EXPECT_GE(out.pages.size(), 5u);
}

TEST_F(GSJobs, TwoThreadsRunJobsWithoutInterfering) {
    auto worker = [](int bpp, int offset, int* failures) {
        for (int i = 0; i < 15; ++i) {
            RecordingOutputter out;
            GS* gs = GetGS();
            if (gs->StartGSJob(BitmapJobArgs(bpp, "-g40x20"), &out) != 1) {
                ++*failures;
                continue;
            }
            int x = offset + i;
            std::string ps = "0 setgray " + std::to_string(x) + " 0 1 20 rectfill showpage\n";
            gs->ProcessPSCommand(ps.c_str());
            gs->EndGSJob();
            if (out.pages.size() != 1 || out.pages[0].header.biBitCount != bpp) {
                ++*failures;
                continue;
            }
            const RecordedPage& p = out.pages[0];
            for (int col = 0; col < 40; ++col)
                if (p.Pixel(col, 10) != (col == x ? kBlack : kWhite)) {
                    ++*failures;
                    break;
                }
        }
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(worker, 8, 0, &failuresA);
    std::thread b(worker, 24, 20, &failuresB);
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);
}

TEST_F(GSJobs, JobsThatCannotRunReleaseTheLock) {
    GS* gs = GetGS();
    RecordingOutputter out;
    // Ghostscript refuses the arguments: no job, and the lock is free again.
    EXPECT_EQ(gs->StartGSJob({"gswin.exe", "-sDEVICE=vlrnosuchdevice"}, &out), 0);
    EXPECT_EQ(gs->StartGSJob(std::vector<String8>{}, &out), 0);

    // A job inside a callback of the same thread's job is refused, not deadlocked.
    RecordingOutputter outer;
    int nested = -1;
    outer.onPage = [&](GS* g) {
        RecordingOutputter inner;
        nested = g->StartGSJob(BitmapJobArgs(1, "-g10x10"), &inner);
        EXPECT_LT(g->EndGSJob(), 0); // nor may the callback end its own job
    };
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(1, "-g10x10"), &outer), 1);
    gs->ProcessPSCommand("showpage\n");
    EXPECT_EQ(gs->EndGSJob(), 0);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(outer.pages.size(), 1u);

    // A thread that ends without ending its job does not block the next one.
    std::thread quitter([] {
        RecordingOutputter gone;
        ASSERT_EQ(GetGS()->StartGSJob(BitmapJobArgs(1, "-g10x10"), &gone), 1);
        GetGS()->ProcessPSCommand("0 0 1 1 rectfill\n");
    });
    quitter.join();
    // Nor does a job this thread left open.
    RecordingOutputter left;
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(1, "-g10x10"), &left), 1);
    RecordingOutputter next;
    ASSERT_EQ(gs->StartGSJob(BitmapJobArgs(1, "-g10x10"), &next), 1);
    gs->ProcessPSCommand("showpage\n");
    EXPECT_EQ(gs->EndGSJob(), 0);
    EXPECT_EQ(next.pages.size(), 1u);
    EXPECT_TRUE(left.pages.empty());

    // Outside a job the job calls do nothing.
    EXPECT_LT(gs->ProcessPSCommand("showpage\n"), 0);
    EXPECT_EQ(gs->EndGSJob(), 0);
    EXPECT_EQ(gs->LockGSDevice(), 0);
    EXPECT_EQ(gs->GetBitmapRow(nullptr, nullptr, nullptr, 0), 0);
}

TEST(GSLoading, ALibraryLoadedWhenNeededRunsTheFirstJob) {
    GS gs;
    RecordingOutputter out;
    EXPECT_EQ(gs.LoadGSDLLWhenNeeded(kGSLibraryName, "/usr/share/ghostscript/fonts"), 1);
    EXPECT_TRUE(gs.IsGSDLLLoaded());
    EXPECT_STREQ(gs.GetRastinPath(), "/usr/share/ghostscript/fonts");
    ASSERT_EQ(gs.StartGSJob(72, 72, 10, 10, 24, &out, -1, -1), 1);
    gs.ProcessPSCommand("showpage\n");
    EXPECT_EQ(gs.EndGSJob(), 0);
    EXPECT_EQ(out.pages.size(), 1u);
    gs.UnloadGSDLL();
    EXPECT_FALSE(gs.IsGSDLLLoaded());
}

TEST_F(GSJobs, ChildJobsRenderAsInProcessJobsAndEndWhenTheyMust) {
    GS* gs = GetGS();
    // The same page at every depth as the library renders it.
    for (int bpp : {1, 8, 24}) {
        SCOPED_TRACE(bpp);
        RecordingOutputter out;
        const GSChildJob::Result r = GSChildJob::Run(gs, BitmapJobArgs(bpp, "-g70x30"),
                                                     std::string("(hello) = ") + kSquares, &out, 60000);
        EXPECT_EQ(r.end, GSChildJob::End::Done) << r.text;
        ASSERT_EQ(out.pages.size(), 1u);
        EXPECT_EQ(out.pageSizes[0], std::make_pair(70, 30));
        const RecordedPage& p = out.pages[0];
        EXPECT_EQ(p.header.biBitCount, bpp);
        EXPECT_EQ(p.Pixel(12, 20), kBlack);
        EXPECT_EQ(p.Pixel(2, 2), kWhite);
        if (bpp != 1) {
            EXPECT_EQ(p.Pixel(45, 10), kRed);
        }
        EXPECT_EQ(out.AllText(), "hello\n");
    }

    // A job that never ends: stopped at its deadline, by its outputter, or
    // by a termination signal.
    const std::string endless = "{ } loop\n";
    RecordingOutputter late;
    EXPECT_EQ(GSChildJob::Run(gs, BitmapJobArgs(24, "-g10x10"), endless, &late, 1500).end, GSChildJob::End::TimedOut);
    RecordingOutputter pages;
    pages.onPage = [&](GS*) { pages.stop = 1; };
    EXPECT_EQ(GSChildJob::Run(gs, BitmapJobArgs(24, "-g10x10"), "{ showpage } loop\n", &pages, 600000).end,
              GSChildJob::End::Done);
    EXPECT_GE(pages.pages.size(), 1u);
    sys::NoteTerminationRequest();
    RecordingOutputter signalled;
    EXPECT_EQ(GSChildJob::Run(gs, BitmapJobArgs(24, "-g10x10"), endless, &signalled, 600000).end,
              GSChildJob::End::Stopped);
    sys::ClearTerminationRequest();

    // An error, and a program that cannot be run.
    RecordingOutputter wrong;
    EXPECT_EQ(GSChildJob::Run(gs, BitmapJobArgs(24, "-g10x10"), "nosuchoperator\n", &wrong, 60000).end,
              GSChildJob::End::Failed);
    EXPECT_NE(wrong.AllText().find("undefined"), std::string::npos) << wrong.AllText();
    GSChildJob::SetProgram("/nonexistent/gs");
    RecordingOutputter missing;
    EXPECT_EQ(GSChildJob::Run(gs, BitmapJobArgs(24, "-g10x10"), "showpage\n", &missing, 60000).end,
              GSChildJob::End::Failed);
    GSChildJob::SetProgram("");
}

TEST(GSLoading, NothingRunsUntilLoaded) {
    GS gs;
    RecordingOutputter out;
    EXPECT_FALSE(gs.IsGSDLLLoaded());
    EXPECT_EQ(gs.StartGSJob(BitmapJobArgs(1, "-g10x10"), &out), 0);
    EXPECT_EQ(gs.LoadGSDLL(kGSLibraryName, "/usr/share/ghostscript/fonts"), 1);
    EXPECT_STREQ(gs.GetRastinPath(), "/usr/share/ghostscript/fonts");
    ASSERT_EQ(gs.StartGSJob(72, 72, 10, 10, 24, &out, -1, -1), 1);
    gs.ProcessPSCommand("showpage\n");
    EXPECT_EQ(gs.EndGSJob(), 0);
    EXPECT_EQ(out.pages.size(), 1u);
    EXPECT_EQ(gs.StartGSJob(72, 72, 0, 10, 24, &out, -1, -1), 0);
    gs.UnloadGSDLL();
    EXPECT_EQ(gs.StartGSJob(72, 72, 10, 10, 24, &out, -1, -1), 0);
}

} // namespace
