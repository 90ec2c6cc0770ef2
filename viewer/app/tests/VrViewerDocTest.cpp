// The document over real data: DVI files made by TeX, read from disk or
// served by a loopback HTTP server in pieces, with the document in an
// in-place frame on the offscreen platform. The view calls the worker makes
// are recorded on the UI thread, message boxes are answered by a script.
#include <gtest/gtest.h>

#include <QFileDialog>

#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/inet/tests/LoopbackServer.h"
#include "platform/sys/Registry.h"
#include "platform/sys/TempFiles.h"
#include "platform/ui/DocTemplate.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/tests/QtTestApp.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/GzipData.h"
#include "testsupport/TestTools.h"
#include "viewer/res/AppStrings.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/frames/InPlaceFrame.h"
#include "viewer/frames/MainFrame.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/DocSaveDlg.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerStrings.h"

namespace fs = std::filesystem;
using testsupport::Gzip;

namespace {

constexpr int kPages = 60;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Runs plain TeX on source in dir; the DVI's bytes.
std::string MakeDvi(const fs::path& dir, const std::string& name, const std::string& source) {
    testsupport::RunTex(dir, source, name);
    return ReadFile(dir / (name + ".dvi"));
}

std::string PagesSource(int pages) {
    return "\\def\\ln{The quick brown fox jumps over the lazy dog, again and again and again. }\n"
           "\\def\\blk{\\ln\\ln\\ln\\ln\\ln\\ln\\ln\\ln\\ln\\ln}\n"
           "\\def\\pg{\\blk\\blk\\blk\\par\\vfill\\eject}\n"
           "\\newcount\\n\n"
           "\\loop \\pg \\advance\\n by 1 \\ifnum\\n<" +
           std::to_string(pages) + " \\repeat\n\\bye\n";
}

std::string Head(size_t length, const std::string& extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n" + extra +
           "Connection: close\r\n\r\n";
}

class DocTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        env = new testsupport::TestEnvironment;
        root = env->Path();
        fs::create_directories(root / "tex");
        TestApp();
        AfxSetLanguage(UiLanguage::English);
        AfxRegisterViewerStrings();
        app = new CVrViewerApp;
        // The TeX fonts' metrics, where TeX itself finds them.
        if (FILE* p = popen("kpsewhich cmr10.tfm", "r")) {
            char line[4096] = {};
            if (fgets(line, sizeof line, p)) {
                std::string tfm = line;
                while (!tfm.empty() && (tfm.back() == '\n' || tfm.back() == '\r')) tfm.pop_back();
                app->m_tfmPathListExpanded.AddTail(String8((fs::path(tfm).parent_path().string() + "/").c_str()));
            }
            pclose(p);
        }
        tmpl = app->AddViewerTemplate();
        dviMany = MakeDvi(root / "tex", "many", PagesSource(kPages));
        dviFew = MakeDvi(root / "tex", "few", PagesSource(3));
    }

    static void TearDownTestSuite() {
        PumpUntilQueuedRan();
        delete app;
        app = nullptr;
        delete env;
        env = nullptr;
    }

    void SetUp() override {
        ASSERT_GT(dviMany.size(), size_t(3 * 20480)) << "TeX must make the test documents";
        ASSERT_FALSE(dviFew.empty());
        ASSERT_TRUE(PumpUntilQueuedRan());
        boxes.clear();
        answers.clear();
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            boxes.push_back(r.text);
            for (auto& a : answers)
                if (r.text.find(a.first) != std::string::npos) return a.second;
            return AfxDefaultMessageBoxResult(r.type);
        });
        dir = root / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(dir);
    }

    void TearDown() override {
        for (CDocument* d : std::vector<CDocument*>(tmpl->GetDocuments())) d->OnCloseDocument();
        // Closed documents leave no temporary copy behind.
        EXPECT_TRUE(PumpUntil([] { return TempFiles("htp").empty(); }));
        EXPECT_TRUE(PumpUntilQueuedRan());
        AfxSetMessageBoxAnswerer(nullptr);
        EXPECT_EQ(TempFiles("htp"), std::vector<std::string>());
    }

    // Names of the private temporary folder's files starting with prefix.
    static std::vector<std::string> TempFiles(const std::string& prefix) {
        std::vector<std::string> names;
        std::error_code ec;
        for (auto& e : fs::directory_iterator(sys::GetTempPath(), ec))
            if (e.path().filename().string().rfind(prefix, 0) == 0) names.push_back(e.path().string());
        return names;
    }

    CVrViewerDoc* NewDoc() {
        auto* doc = dynamic_cast<CVrViewerDoc*>(tmpl->OpenDocumentInPlace(FALSE));
        if (doc) doc->SetViewCallTrace([this](const std::string& call) { calls.push_back(call); });
        calls.clear();
        return doc;
    }

    // Waits for the worker's end and for the view calls it queued.
    static bool Finish(CVrViewerDoc* doc) {
        return PumpUntil([doc] { return doc->WaitWorker(0); }) && PumpUntilQueuedRan();
    }

    bool Called(const std::string& call) const {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    std::string LastPageCount() const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->rfind("SetPageCount ", 0) == 0) return *it;
        return std::string();
    }
    bool Boxed(const std::string& text) const {
        for (auto& b : boxes)
            if (b.find(text) != std::string::npos) return true;
        return false;
    }
    bool IsOpen(CVrViewerDoc* doc) const {
        auto& docs = tmpl->GetDocuments();
        return std::find(docs.begin(), docs.end(), doc) != docs.end();
    }

    static inline testsupport::TestEnvironment* env = nullptr;
    static inline fs::path root;
    static inline CVrViewerApp* app = nullptr;
    static inline CMultiDocTemplate* tmpl = nullptr;
    static inline std::string dviMany, dviFew;

    fs::path dir;
    std::vector<std::string> calls;
    std::vector<std::string> boxes;
    std::vector<std::pair<std::string, int>> answers;
};

// ---- over HTTP ----

TEST_F(DocTest, SlowDviShowsItsFirstPageBeforeTheLastByteWithAgentAndCookie) {
    std::atomic<bool> release{false}, restSent{false};
    const std::string& dvi = dviMany;
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        size_t first = 2 * 20480 + 100;
        if (!r.Send(Head(dvi.size()) + dvi.substr(0, first))) return;
        for (int i = 0; i < 400 && !release; ++i)
            if (!r.Pause(50)) return;
        restSent = true;
        r.Send(dvi.substr(first));
    });
    CVrViewerDoc* doc = NewDoc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->LoadFromAddress(server.Url("/docs/paper.dvi?page=2").c_str()), CVrViewerDoc::kLoadOk);
    EXPECT_EQ(doc->GetAddress(), String8(server.Url("/docs/paper.dvi").c_str()));

    ASSERT_TRUE(PumpUntil([&] { return doc->GetReader().GetNPage() >= 1; }));
    EXPECT_FALSE(restSent.load());
    PumpUntil([&] { return Called("OnInitialUpdate"); });
    EXPECT_TRUE(Called("SetDocType 0"));
    EXPECT_TRUE(Called("OnInitialUpdate"));
    release = true;
    ASSERT_TRUE(Finish(doc));

    EXPECT_TRUE(restSent.load());
    EXPECT_EQ(doc->GetReader().GetNPage(), kPages);
    EXPECT_EQ(doc->GetReader().GetMode(), ModeComplete);
    EXPECT_EQ(LastPageCount(), "SetPageCount " + std::to_string(kPages));
    // The progress bar goes, then the view learns that loading is over.
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "SetDownloadPos 0");
    EXPECT_EQ(calls.back(), "SetLoadingComplete");
    EXPECT_EQ(doc->GetErrorText(), CString(""));
    EXPECT_EQ(doc->IsActive(), 1);
    EXPECT_EQ(ReadFile(doc->GetTempFileName().c_str()), dvi);

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/docs/paper.dvi?page=2");
    EXPECT_EQ(requests[0].Header("User-Agent"), "Veloran Viewer Internet Agent");
    EXPECT_NE(requests[0].Header("Cookie").find("USRAGENT=VeloranViewer"), std::string::npos);
    EXPECT_EQ(requests[0].Header("Pragma"), "no-cache");
}

TEST_F(DocTest, ErrorStatusEndsTheRunWithAMessage) {
    for (int status : {404, 500}) {
        SCOPED_TRACE(status);
        boxes.clear();
        LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
            r.Respond(status, "<html><body>gone</body></html>", {"Content-Type: text/html"});
        });
        CVrViewerDoc* doc = NewDoc();
        ASSERT_NE(doc, nullptr);
        doc->LoadFromAddress(server.Url("/missing.dvi").c_str());
        ASSERT_TRUE(Finish(doc));
        EXPECT_NE(doc->GetErrorText().str().find(std::to_string(status)), std::string::npos);
        EXPECT_TRUE(Boxed(std::to_string(status)));
        EXPECT_TRUE(Called("SetStatusText File Not Found!!"));
        EXPECT_FALSE(Called("SetDocType 0"));
        EXPECT_EQ(doc->IsActive(), 0);
        EXPECT_EQ(doc->GetReader().GetNPage(), 0);
        doc->OnCloseDocument();
        // The collected errors are shown once the document has gone.
        EXPECT_TRUE(PumpUntil([&] { return Boxed("DVI Error Information."); }));
    }
    // Nobody listening.
    CVrViewerDoc* doc = NewDoc();
    doc->LoadFromAddress(("http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) + "/a.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    EXPECT_NE(doc->GetErrorText().str().find("Can not connect"), std::string::npos);
    EXPECT_TRUE(Called("SetStatusText File Not Found!!"));
}

TEST_F(DocTest, MessagesOfAFailedWebLoadFitTheOneLineStatus) {
    ASSERT_EQ(setenv("VELORAN_STALL_SECONDS", "2", 1), 0);
    LoopbackServer server([&](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.target == "/silent.dvi") r.Pause(60000);  // accepted, never answered
        else r.Respond(200, "\x81\x82\x83\x84 no document");
    });
    struct Case {
        const char* path;
        const char* said;
    } cases[] = {{"/silent.dvi", "did not answer"}, {"/bytes.dvi", "(Note: 81828384)"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        boxes.clear();
        CVrViewerDoc* doc = NewDoc();
        auto* view = dynamic_cast<CVrViewerView*>(doc->GetViews().front());
        ASSERT_NE(view, nullptr);
        doc->LoadFromAddress(server.Url(c.path).c_str());
        ASSERT_TRUE(Finish(doc));
        EXPECT_TRUE(Boxed(c.said));
        EXPECT_EQ(doc->GetErrorText().str().find("Can not connect"), std::string::npos);
        // The status bar's line holds the whole message, without a line break.
        const std::string status = view->GetStatusText().str();
        EXPECT_NE(status.find(c.said), std::string::npos) << status;
        EXPECT_EQ(status.find('\n'), std::string::npos) << status;
        doc->OnCloseDocument();
        ASSERT_TRUE(PumpUntilQueuedRan());
    }
    unsetenv("VELORAN_STALL_SECONDS");
}

TEST_F(DocTest, ADownloadIntoAFullTemporaryFolderEndsWithAMessageAndLeavesNoFile) {
    const fs::path full = dir / "full";
    fs::create_directories(full);
    if (::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount(at.c_str()); }
    } unmount{full};
    const std::string before = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", full.c_str(), 1);
    // Far more than the folder holds.
    std::string dvi = dviMany;
    while (dvi.size() < (size_t(1) << 20)) dvi += dviMany;
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) { r.Respond(200, dvi); });
    CVrViewerDoc* doc = NewDoc();
    doc->LoadFromAddress(server.Url("/big.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    EXPECT_NE(doc->GetErrorText().str().find("File error!!!!"), std::string::npos) << doc->GetErrorText().str();
    EXPECT_EQ(doc->IsActive(), 0);
    EXPECT_TRUE(IsOpen(doc));
    EXPECT_EQ(TempFiles("htp"), std::vector<std::string>()) << "while the document is still open";
    doc->OnCloseDocument();
    ASSERT_TRUE(PumpUntilQueuedRan());
    setenv("TMPDIR", before.c_str(), 1);
}

TEST_F(DocTest, ConnectionCutMidFileKeepsThePagesThatArrivedAndSaysSo) {
    const std::string& dvi = dviMany;
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        r.Send(Head(dvi.size()) + dvi.substr(0, 30000));
    });
    CVrViewerDoc* doc = NewDoc();
    doc->LoadFromAddress(server.Url("/paper.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    int pages = doc->GetReader().GetNPage();
    EXPECT_GE(pages, 1);
    EXPECT_LT(pages, kPages);
    EXPECT_NE(doc->GetErrorText().str().find("broke off"), std::string::npos);
    EXPECT_EQ(LastPageCount(), "SetPageCount " + std::to_string(pages));
}

TEST_F(DocTest, BrokenTransfersSayInTheStatusBarAfterHowManyBytes) {
    // The stall limit, shortened as the tests may.
    ASSERT_EQ(setenv("VELORAN_STALL_SECONDS", "2", 1), 0);
    const std::string& dvi = dviMany;
    LoopbackServer server([&](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.target == "/reset.dvi") {
            if (!r.Send(Head(dvi.size()) + dvi.substr(0, 30000)) || !r.Pause(500)) return;
            r.ResetOnClose();
        } else if (q.target == "/short.dvi") {
            r.Send(Head(dvi.size()) + dvi.substr(0, 30000));
        } else if (q.target == "/empty.dvi") {
            r.Send(Head(dvi.size()));
        } else if (q.target == "/stalled.dvi") {
            if (r.Send(Head(dvi.size()) + dvi.substr(0, 100))) r.Pause(60000);
        }
    });
    struct Case {
        const char* path;
        int bytes;
        bool pages;
    };
    for (const Case& c : {Case{"/reset.dvi", 30000, true}, Case{"/short.dvi", 30000, true},
                          Case{"/empty.dvi", 0, false}, Case{"/stalled.dvi", 100, false}}) {
        SCOPED_TRACE(c.path);
        CVrViewerDoc* doc = NewDoc();
        ASSERT_NE(doc, nullptr);
        ASSERT_EQ(doc->GetViews().size(), 1u);
        auto* view = dynamic_cast<CVrViewerView*>(doc->GetViews().front());
        ASSERT_NE(view, nullptr);
        doc->LoadFromAddress(server.Url(c.path).c_str());
        ASSERT_TRUE(Finish(doc));
        const std::string said = "The transfer of " + server.Url(c.path) + " broke off after " +
                                 std::to_string(c.bytes) + " bytes.";
        EXPECT_EQ(view->GetStatusText().str(), said);
        // The document stays open with what it has; the text for the close is kept.
        EXPECT_TRUE(IsOpen(doc));
        EXPECT_NE(doc->GetErrorText().str().find(said), std::string::npos);
        int pages = doc->GetReader().GetNPage();
        if (c.pages) {
            EXPECT_GE(pages, 1);
            EXPECT_LT(pages, kPages);
            EXPECT_EQ(LastPageCount(), "SetPageCount " + std::to_string(pages));
        } else {
            EXPECT_EQ(pages, 0);
        }
        doc->OnCloseDocument();
        ASSERT_TRUE(PumpUntilQueuedRan());
    }
    unsetenv("VELORAN_STALL_SECONDS");
}

TEST_F(DocTest, RedirectLoopIsReportedAsTooManyRedirects) {
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        r.Respond(302, "", {"Location: /again.dvi"});
    });
    CVrViewerDoc* doc = NewDoc();
    doc->LoadFromAddress(server.Url("/again.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    const std::string said = "The server redirected " + server.Url("/again.dvi") + " too many times.";
    EXPECT_NE(doc->GetErrorText().str().find(said), std::string::npos);
    EXPECT_TRUE(Boxed(said));
    EXPECT_FALSE(Boxed("Can not connect"));
    EXPECT_GT(server.Requests().size(), 20u);
}

TEST_F(DocTest, UploadPutsTheFileToTheDocumentsAddress) {
    const std::string& dvi = dviFew;
    std::vector<LoopbackServer::Request> puts;
    std::mutex putsLock;
    LoopbackServer server([&](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.method == "GET") {
            r.Respond(200, dvi);
            return;
        }
        {
            std::lock_guard<std::mutex> lock(putsLock);
            puts.push_back(q);
        }
        r.Respond(q.target.find("locked") != std::string::npos ? 403 : 201, "");
    });
    struct Case {
        const char* path;
        size_t size;
        int result;
    };
    for (const Case& c : {Case{"/up/paper.dvi", 3000, 1}, Case{"/up/paper.dvi", 3 * 1024, 1},
                          Case{"/up/paper.dvi", 0, 1}, Case{"/locked/paper.dvi", 1500, 0}}) {
        SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.size));
        boxes.clear();
        puts.clear();
        CVrViewerDoc* doc = NewDoc();
        doc->LoadFromAddress(server.Url(c.path).c_str());
        ASSERT_TRUE(Finish(doc));
        std::string bytes(c.size, '\0');
        for (size_t i = 0; i < c.size; ++i) bytes[i] = char(i * 13 + i / 7);
        WriteFile(dir / "upload.bin", bytes);
        EXPECT_EQ(doc->UploadFile((dir / "upload.bin").c_str()), c.result);
        ASSERT_EQ(puts.size(), 1u);
        EXPECT_EQ(puts[0].method, "PUT");
        EXPECT_EQ(puts[0].target, c.path);
        EXPECT_EQ(puts[0].Header("User-Agent"), "Veloran Viewer Internet Upload Agent");
        EXPECT_TRUE(puts[0].body == bytes);
        if (c.result) {
            EXPECT_TRUE(boxes.empty());
        } else {
            EXPECT_TRUE(Boxed("Error on HttpEndRequest.")) << "a refusal is no success";
        }
        // A local file that is not there.
        boxes.clear();
        EXPECT_EQ(doc->UploadFile((dir / "missing.bin").c_str()), 0);
        EXPECT_TRUE(Boxed("Failed to open local file."));
        doc->OnCloseDocument();
        ASSERT_TRUE(PumpUntilQueuedRan());
    }
    // Nobody listens at the document's address.
    CVrViewerDoc* doc = NewDoc();
    doc->LoadFromAddress(("http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) + "/a.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    boxes.clear();
    WriteFile(dir / "upload.bin", "abc");
    EXPECT_EQ(doc->UploadFile((dir / "upload.bin").c_str()), 0);
    EXPECT_TRUE(Boxed("Error on HttpSendRequestEx " + std::to_string(ERROR_INTERNET_CANNOT_CONNECT)));
}

TEST_F(DocTest, RedirectIsFollowedWithTheCookie) {
    const std::string& dvi = dviFew;
    LoopbackServer server([&](const LoopbackServer::Request& req, LoopbackServer::Reply& r) {
        if (req.target == "/old.dvi") r.Respond(302, "", {"Location: /new/paper.dvi"});
        else r.Respond(200, dvi);
    });
    CVrViewerDoc* doc = NewDoc();
    doc->LoadFromAddress(server.Url("/old.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    EXPECT_EQ(doc->GetReader().GetNPage(), 3);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].target, "/new/paper.dvi");
    EXPECT_NE(requests[1].Header("Cookie").find("USRAGENT=VeloranViewer"), std::string::npos);
}

TEST_F(DocTest, BrowserStopEndsASlowDownload) {
    const std::string& dvi = dviMany;
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        if (!r.Send(Head(dvi.size()) + dvi.substr(0, 25000))) return;
        r.Pause(60000);  // until the server goes
    });
    CVrViewerDoc* doc = NewDoc();
    doc->LoadFromAddress(server.Url("/paper.dvi").c_str());
    ASSERT_TRUE(PumpUntil([&] { return doc->GetReceivedBytes() >= 20480; }));
    EXPECT_TRUE(doc->IsWorkerRunning());
    // The browser's stop command.
    EXPECT_TRUE(doc->ExecHostCommand(23));
    EXPECT_TRUE(doc->WaitWorker(0));
    EXPECT_FALSE(doc->IsWorkerRunning());
    EXPECT_EQ(doc->GetErrorText(), CString(""));
    EXPECT_TRUE(PumpUntil([&] { return Called("KillTimer 126"); }));
    // Refresh does not start a new download.
    EXPECT_TRUE(doc->ExecHostCommand(22));
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(DocTest, HostCommandTable) {
    // The host's command numbers and the viewer's commands they stand for.
    const struct {
        DWORD host;
        UINT command;
    } cases[] = {{8, ID_FILE_PAGE_SETUP}, {6, ID_FILE_PRINT},      {4, ID_FILE_SAVE_AS},
                 {5, ID_FILE_SAVE_COPY_AS}, {23, ID_VIEWER_STOP}, {22, ID_VIEWER_REFRESH},
                 {37, ID_VIEWER_UNLOAD},   {1, 0},               {24, 0}};
    for (auto& c : cases) EXPECT_EQ(CVrViewerDoc::MapHostCommand(c.host), c.command) << c.host;

    // Run on a document: the host's Save As asks where and saves the
    // document there; a number without a command runs nothing. (Stop and
    // refresh: BrowserStopEndsASlowDownload; unload:
    // UnloadClosesTheDocumentAndItsTemporaryFile.)
    WriteFile(dir / "paper.dvi", dviFew);
    CVrViewerDoc* doc = NewDoc();
    doc->OnOpenDocument((dir / "paper.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    const fs::path target = dir / "saved.dvi";
    std::vector<UINT> dialogs;
    AfxSetDialogAnswerer([&](UINT id, QDialog& dialog) {
        dialogs.push_back(id);
        if (auto* files = qobject_cast<QFileDialog*>(&dialog))
            files->selectFile(QString::fromStdString(target.string()));
        return int(IDOK);
    });
    EXPECT_FALSE(doc->ExecHostCommand(1));
    EXPECT_FALSE(doc->ExecHostCommand(24));
    EXPECT_TRUE(dialogs.empty());
    EXPECT_TRUE(doc->ExecHostCommand(4));
    AfxSetDialogAnswerer(nullptr);
    EXPECT_EQ(dialogs, std::vector<UINT>{IDD_SAVE_DVI});
    EXPECT_NE(testsupport::RunDviType(target.string(), 1).find("totalpages=3"), std::string::npos)
        << "the document's three pages are saved";
    EXPECT_TRUE(IsOpen(doc));
}

TEST_F(DocTest, GzipBytesArriveRawAndAreUnpackedByName) {
    const std::string packed = Gzip(dviFew);
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        r.Respond(200, packed, {"Content-Encoding: gzip", "Content-Type: application/x-dvi"});
    });
    {
        CVrViewerDoc* doc = NewDoc();
        doc->LoadFromAddress(server.Url("/paper.dvi.gz").c_str());
        ASSERT_TRUE(Finish(doc));
        EXPECT_EQ(doc->GetDocType(), CVrViewerDoc::kTypeDvi);
        EXPECT_TRUE(Called("SetStatusText Flushing..."));
        EXPECT_EQ(doc->GetReader().GetNPage(), 3);
        EXPECT_EQ(ReadFile(doc->GetTempFileName().c_str()), dviFew);
        doc->OnCloseDocument();
    }
    {
        // An archive is offered for download; refused, nothing is shown.
        answers = {{"download this file", IDNO}};
        CVrViewerDoc* doc = NewDoc();
        doc->LoadFromAddress(server.Url("/src.tar.gz").c_str());
        ASSERT_TRUE(Finish(doc));
        EXPECT_EQ(doc->GetDocType(), CVrViewerDoc::kTypeGzip);
        EXPECT_TRUE(Boxed("Do you want to download this file?"));
        EXPECT_TRUE(Boxed("button of the web browser."));
        EXPECT_FALSE(Called("OnInitialUpdate"));
        EXPECT_EQ(doc->IsActive(), 0);
        doc->OnCloseDocument();
    }
    {
        // Agreed and a target chosen: the archive is stored as it came.
        answers = {{"download this file", IDYES}};
        fs::path target = dir / "saved.tar.gz";
        AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
            static_cast<QFileDialog&>(dialog).selectFile(QString::fromStdString(target.string()));
            return IDOK;
        });
        CVrViewerDoc* doc = NewDoc();
        doc->LoadFromAddress(server.Url("/src.tar.gz").c_str());
        ASSERT_TRUE(Finish(doc));
        AfxSetDialogAnswerer(nullptr);
        EXPECT_TRUE(Called("SetStatusText Downloading..."));
        EXPECT_TRUE(Called("SetStatusText Download Completed!!"));
        EXPECT_TRUE(Boxed("The download is complete."));
        EXPECT_EQ(ReadFile(target), packed);
    }
}

TEST_F(DocTest, UnknownAnswersAreRefusedWithTheirFirstBytes) {
    LoopbackServer server([&](const LoopbackServer::Request& req, LoopbackServer::Reply& r) {
        if (req.target == "/page.dvi") r.Respond(200, "<html>login first</html>");
        else if (req.target == "/tiny.dvi") r.Respond(200, "ab");
        else r.Respond(200, "");
    });
    const struct {
        const char* path;
        const char* box;
    } cases[] = {
        {"/page.dvi", "(Note: <htm)"},
        {"/tiny.dvi", "(Note: 6162 0 0)"},
    };
    for (const std::string& f : TempFiles("err")) fs::remove(f);
    for (auto& c : cases) {
        SCOPED_TRACE(c.path);
        boxes.clear();
        CVrViewerDoc* doc = NewDoc();
        doc->LoadFromAddress(server.Url(c.path).c_str());
        ASSERT_TRUE(Finish(doc));
        EXPECT_TRUE(Boxed(c.box)) << (boxes.empty() ? "" : boxes[0]);
        EXPECT_EQ(doc->IsActive(), 0);
        EXPECT_FALSE(Called("OnInitialUpdate"));
        doc->OnCloseDocument();
    }
    // The HTML answer is kept for whoever looks into it.
    auto dumps = TempFiles("err");
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(ReadFile(dumps[0]), "<html>login first</html>");

    // An empty answer.
    CVrViewerDoc* doc = NewDoc();
    doc->LoadFromAddress(server.Url("/empty.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    EXPECT_TRUE(Called("SetStatusText File Not Found!!"));
    EXPECT_NE(doc->GetErrorText().str().find("The document does not exist."), std::string::npos);
}

TEST_F(DocTest, WebAddressOnTheCommandLineOpensInAChildFrame) {
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) { r.Respond(200, dviFew); });
    auto* doc = dynamic_cast<CVrViewerDoc*>(app->OpenDocumentFile(server.Url("/a/paper.dvi?page=2#top").c_str()));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->IsServedInBrowser(), 1);
    EXPECT_EQ(doc->GetAddress(), String8(server.Url("/a/paper.dvi").c_str()));
    ASSERT_TRUE(Finish(doc));
    EXPECT_EQ(doc->GetReader().GetNPage(), 3);
    ASSERT_FALSE(doc->GetViews().empty());
    // A document window of its own, as a local file has.
    EXPECT_NE(dynamic_cast<CChildFrame*>(doc->GetViews().front()->GetParentFrame()), nullptr);
}

TEST_F(DocTest, MainWindowTimersOfWebDocuments) {
    auto* main = new CMainFrame;
    ASSERT_TRUE(main->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW));
    app->m_pMainWnd = main;
    WriteFile(dir / "paper.dvi", dviFew);
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) { r.Respond(200, dviFew); });

    // A file document arms neither timer.
    CVrViewerDoc* doc = NewDoc();
    doc->OnOpenDocument((dir / "paper.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    doc->OnCloseDocument();
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_FALSE(main->HasTimer(ID_EMPTY_DOCUMENT_CHECK));
    EXPECT_FALSE(main->HasTimer(ID_ACTIVE_DOCUMENT_CHECK));

    // A web document: its fetch arms the empty-document check, its end the
    // active-document check.
    doc = NewDoc();
    doc->LoadFromAddress(server.Url("/paper.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    EXPECT_TRUE(main->HasTimer(ID_EMPTY_DOCUMENT_CHECK));
    EXPECT_FALSE(main->HasTimer(ID_ACTIVE_DOCUMENT_CHECK));
    doc->OnCloseDocument();
    EXPECT_TRUE(main->HasTimer(ID_ACTIVE_DOCUMENT_CHECK));

    main->DestroyWindow();
    app->m_pMainWnd = nullptr;
    EXPECT_TRUE(PumpUntilQueuedRan());
}

// ---- local files ----

TEST_F(DocTest, LocalFileOpensAndReloadsWhenItChanged) {
    fs::path file = dir / "paper.dvi";
    WriteFile(file, dviMany);
    CVrViewerDoc* doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(file.c_str()));
    ASSERT_TRUE(Finish(doc));
    EXPECT_EQ(doc->GetReader().GetNPage(), kPages);
    EXPECT_EQ(doc->IsReloadable(), 1);
    EXPECT_EQ(doc->GetFileTitle(), "paper.dvi");
    EXPECT_EQ(LastPageCount(), "SetPageCount " + std::to_string(kPages));
    std::string firstTemp = doc->GetTempFileName().c_str();

    // Unchanged: looked at, not reloaded.
    calls.clear();
    EXPECT_EQ(doc->CheckReloadFile(), 1);
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(doc->GetTempFileName(), String8(firstTemp.c_str()));

    // Rewritten (as TeX does): reloaded from the new bytes.
    fs::path next = dir / "next.dvi";
    WriteFile(next, dviFew);
    fs::rename(next, file);
    EXPECT_EQ(doc->CheckReloadFile(), 1);
    ASSERT_TRUE(Finish(doc));
    EXPECT_EQ(doc->GetReader().GetNPage(), 3);
    EXPECT_EQ(LastPageCount(), "SetPageCount 3");
    EXPECT_FALSE(fs::exists(firstTemp));
    EXPECT_EQ(doc->m_params.page, 0);  // the view's page
}

TEST_F(DocTest, LocalFilesThatAreNotShown) {
    WriteFile(dir / "empty.dvi", "");
    WriteFile(dir / "text.dvi", "plain text, not a document");
    WriteFile(dir / "paper.tar.gz", Gzip(dviFew));
    const struct {
        const char* name;
        const char* box;
    } cases[] = {
        {"missing.dvi", "File not exist!"},
        {"empty.dvi", "File error!!!!"},
        {"text.dvi", "This document file is not supported."},
        {"paper.tar.gz", "This kind of file is not supported."},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        CVrViewerDoc* doc = NewDoc();
        doc->OnOpenDocument((dir / c.name).c_str());
        ASSERT_TRUE(Finish(doc));
        EXPECT_TRUE(Boxed(c.box)) << (boxes.empty() ? "" : boxes[0]);
        EXPECT_EQ(doc->GetReader().GetNPage(), 0);
        EXPECT_EQ(doc->IsReloadable(), 0);
        doc->OnCloseDocument();
    }
}

TEST_F(DocTest, LocalCompressedDviIsUnpacked) {
    for (const char* name : {"paper.dgz", "paper.dvi.gz"}) {
        SCOPED_TRACE(name);
        WriteFile(dir / name, Gzip(dviFew));
        CVrViewerDoc* doc = NewDoc();
        doc->OnOpenDocument((dir / name).c_str());
        ASSERT_TRUE(Finish(doc));
        EXPECT_EQ(doc->GetReader().GetNPage(), 3);
        EXPECT_EQ(ReadFile(doc->GetTempFileName().c_str()), dviFew);
        doc->OnCloseDocument();
    }
}

TEST_F(DocTest, LocalNamesWithParameterCharacters) {
    // A file named with '#' opens as it stands; parameters after a name that
    // exists only without them are cut off.
    WriteFile(dir / "paper#2.dvi", dviFew);
    WriteFile(dir / "plain.dvi", dviFew);
    for (const std::string& name : {std::string("paper#2.dvi"), std::string("plain.dvi?page=2#top")}) {
        SCOPED_TRACE(name);
        CVrViewerDoc* doc = NewDoc();
        doc->OnOpenDocument((dir / name).c_str());
        ASSERT_TRUE(Finish(doc));
        EXPECT_EQ(doc->GetReader().GetNPage(), 3);
        doc->OnCloseDocument();
    }
}

TEST_F(DocTest, UnloadClosesTheDocumentAndItsTemporaryFile) {
    WriteFile(dir / "paper.dvi", dviFew);
    CVrViewerDoc* doc = NewDoc();
    doc->OnOpenDocument((dir / "paper.dvi").c_str());
    ASSERT_TRUE(Finish(doc));
    std::string temp = doc->GetTempFileName().c_str();
    ASSERT_TRUE(fs::exists(temp));
    EXPECT_TRUE(doc->ExecHostCommand(37));  // the browser's unload
    EXPECT_FALSE(IsOpen(doc));
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(DocTest, ClosingWhileTheWorkerReadsWaitsForIt) {
    // A large file: the worker is still reading when its first call arrives.
    std::string big = dviMany;
    big.resize(48u << 20, char(0xDF));
    WriteFile(dir / "big.dvi", big);
    CVrViewerDoc* doc = NewDoc();
    bool closed = false;
    std::string temp;
    doc->SetViewCallTrace([&](const std::string& call) {
        if (closed || call != "SetDocType 0") return;
        closed = true;
        temp = doc->GetTempFileName().c_str();
        EXPECT_TRUE(doc->IsWorkerRunning());
        doc->OnCloseDocument();
    });
    doc->OnOpenDocument((dir / "big.dvi").c_str());
    ASSERT_TRUE(PumpUntil([&] { return closed; }));
    EXPECT_TRUE(PumpUntil([&] { return !IsOpen(doc) && !temp.empty() && !fs::exists(temp); }));
    EXPECT_FALSE(IsOpen(doc));
    EXPECT_FALSE(temp.empty());
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(DocTest, SaveModifiedOnClose) {
    WriteFile(dir / "paper.dvi", dviFew);
    const struct {
        const char* name;
        bool load;
        bool modified;
        bool browser;
        int answer;
        BOOL result;
        const char* box;  // the last box shown, "" none
    } cases[] = {
        {"null address", false, true, false, IDYES, TRUE, ""},
        {"unmodified", true, false, false, IDYES, TRUE, ""},
        {"web document", true, true, true, IDYES, TRUE, ""},
        {"no", true, true, false, IDNO, TRUE, "Do you want to save changes to paper.dvi before closing?"},
        {"cancel", true, true, false, IDCANCEL, FALSE, "Do you want to save changes to paper.dvi before closing?"},
        {"yes", true, true, false, IDYES, TRUE, "Do you want to save changes to paper.dvi before closing?"},
        {"yes, cannot write", true, true, false, IDYES, FALSE, "Can not save at file."},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        answers = {{"Do you want to save", c.answer}};
        CVrViewerDoc* doc = NewDoc();
        if (c.load) {
            doc->OnOpenDocument((dir / "paper.dvi").c_str());
            ASSERT_TRUE(Finish(doc));
        }
        if (c.browser) static_cast<CVrViewerView*>(doc->GetViews().front())->m_isBrowser = 1;
        doc->SetModifiedFlag(c.modified);
        // A file that may not be written is not saved over.
        const bool locked = std::string(c.name) == "yes, cannot write";
        if (locked) fs::permissions(dir / "paper.dvi", fs::perms::owner_read);
        EXPECT_EQ(doc->SaveModified(), c.result);
        if (locked) fs::permissions(dir / "paper.dvi", fs::perms::owner_read | fs::perms::owner_write);
        if (*c.box) {
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes.back(), c.box);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        doc->SetModifiedFlag(FALSE);
        doc->OnCloseDocument();
    }
}

TEST_F(DocTest, SaveWhileTheReaderStillScansIsRefused) {
    std::atomic<bool> release{false};
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        if (!r.Send(Head(dviMany.size()) + dviMany.substr(0, 2 * 20480 + 100))) return;
        for (int i = 0; i < 400 && !release; ++i)
            if (!r.Pause(50)) return;
        r.Send(dviMany.substr(2 * 20480 + 100));
    });
    CVrViewerDoc* doc = NewDoc();
    doc->LoadFromAddress(server.Url("/paper.dvi").c_str());
    ASSERT_TRUE(PumpUntil([&] { return doc->GetReader().GetNPage() >= 1; }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    static_cast<CVrViewerView*>(doc->GetViews().front())->m_isBrowser = 0;
    doc->SetModifiedFlag(TRUE);
    answers = {{"Do you want to save", IDYES}};
    EXPECT_FALSE(doc->SaveModified());
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(),
              "Not all pictures in the DVI document are not retrived.\nSome pictures may be missed if save now.");
    doc->SetModifiedFlag(FALSE);
    release = true;
}

}  // namespace
