// Opening documents as a person does, with the whole application on the
// offscreen platform: a web address on the command line and one handed over
// by a second start of the real program, each served by a loopback HTTP
// server in pieces; and local files that cannot be shown whole.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/inet/tests/LoopbackServer.h"
#include "platform/sys/Registry.h"
#include "platform/ui/DocTemplate.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UiDispatcher.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

const char kSource[] =
    "\\font\\big=cmr10 at 24pt \\big\n"
    "\\def\\pg#1{Page #1 of the paper with words on it.\\par\\vfill\\eject}\n"
    "\\pg{one}\\pg{two}\\special{html:<a name=\"sec2\">}\\pg{three}\\pg{four}\n\\bye\n";
constexpr int kPages = 4;

// The world of the tests: one folder, one server, and the QApplication whose
// command line names the server's document, made before anything else.
struct World {
    testsupport::TestEnvironment dir;
    std::string dvi;
    LoopbackServer server{[this](const LoopbackServer::Request& r, LoopbackServer::Reply& reply) { Serve(r, reply); }};
    std::string commandLineUrl;

    World() {
        testsupport::RunTex(dir, kSource, "paper");
        const std::vector<unsigned char> bytes = testsupport::ReadFile(dir.File("paper.dvi"));
        dvi.assign(bytes.begin(), bytes.end());
        commandLineUrl = server.Url("/paper.dvi");
        fs::create_directories(dir.Path() / "run");
        fs::permissions(dir.Path() / "run", fs::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", (dir.Path() / "run").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 2;
        static std::string arg0 = "VrViewer", arg1 = commandLineUrl;
        static char* argv[] = {arg0.data(), arg1.data(), nullptr};
        new QApplication(argc, argv);
        UiDispatcher::Init();
    }

    // Every path serves the document, in three pieces a moment apart, so
    // that it arrives while the window shows.
    void Serve(const LoopbackServer::Request&, LoopbackServer::Reply& reply) {
        std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(dvi.size()) +
                           "\r\nContent-Type: application/x-dvi\r\nConnection: close\r\n\r\n";
        if (!reply.Send(head)) return;
        const size_t third = dvi.size() / 3 + 1;
        for (size_t at = 0; at < dvi.size(); at += third) {
            if (!reply.Send(dvi.substr(at, third))) return;
            reply.Pause(150);
        }
    }
};

World& TheWorld() {
    static World* w = new World;
    return *w;
}

int RunSecondStart(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(VELORAN_BINARY_DIR "/bin/VrViewer"), args);
    if (!p.waitForStarted(30000)) return -1;
    if (!PumpUntil([&] { return p.state() == QProcess::NotRunning; }, 120000)) {
        p.kill();
        p.waitForFinished();
        return -2;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
}

class OpenDocuments : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_FALSE(TheWorld().dvi.empty()) << "TeX must make the test document";
        app = new CVrViewerApp;
        ASSERT_TRUE(app->InitInstance());
        ASSERT_TRUE(PumpUntilQueuedRan());
    }
    static void TearDownTestSuite() {
        if (app->m_pMainWnd) app->m_pMainWnd->OnClose();
        PumpUntilQueuedRan();
        app->ExitInstance();
        delete app;
        app = nullptr;
    }
    void SetUp() override {
        boxes.clear();
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            boxes.push_back(r.text);
            return AfxDefaultMessageBoxResult(r.type);
        });
    }
    void TearDown() override {
        for (CDocument* d : std::vector<CDocument*>(app->m_pDocTemplate->GetDocuments())) d->OnCloseDocument();
        EXPECT_TRUE(PumpUntil([] { return Documents().empty(); }));
        EXPECT_TRUE(PumpUntilQueuedRan());
        AfxSetMessageBoxAnswerer(nullptr);
    }

    static std::vector<CVrViewerDoc*> Documents() {
        std::vector<CVrViewerDoc*> out;
        for (CDocument* d : app->m_pDocTemplate->GetDocuments()) out.push_back(dynamic_cast<CVrViewerDoc*>(d));
        return out;
    }
    static CVrViewerView* ViewOf(CVrViewerDoc* doc) {
        return doc && !doc->GetViews().empty() ? dynamic_cast<CVrViewerView*>(doc->GetViews().front()) : nullptr;
    }
    // Until the load has ended and the first page is drawn.
    static bool Settled(CVrViewerDoc* doc) {
        CVrViewerView* view = ViewOf(doc);
        return view && PumpUntil([&] {
                   const int* f = view->GetPagePartFlags();
                   return doc->WaitWorker(0) && view->IsInitialViewEstablished() &&
                          std::all_of(f, f + 6, [](int v) { return v == 1; });
               });
    }
    // Ink pixels of the page bitmap, and those that differ from other's.
    static void CompareInk(CVrViewerView* a, CVrViewerView* b, int* ink, int* differing) {
        ViewStatus va, vb;
        a->GetViewStatus(va);
        b->GetViewStatus(vb);
        *ink = *differing = 0;
        ASSERT_EQ(va.pageWidth, vb.pageWidth);
        ASSERT_EQ(va.pageHeight, vb.pageHeight);
        for (int y = 0; y < va.pageHeight; ++y)
            for (int x = 0; x < va.pageWidth; ++x) {
                const COLORREF pa = a->GetPageDC().GetPixel(x, y) & 0xFFFFFF, pb = b->GetPageDC().GetPixel(x, y) & 0xFFFFFF;
                *ink += pa != 0xFFFFFF;
                *differing += pa != pb;
            }
    }
    // The address opened as a document: one child frame on show, all pages,
    // and the first page as the local file's.
    void ExpectShownLikeTheLocalFile(CVrViewerDoc* web) {
        ASSERT_TRUE(web);
        ASSERT_TRUE(Settled(web));
        CVrViewerView* view = ViewOf(web);
        EXPECT_EQ(view->GetPageCount(), kPages);
        CFrameWnd* frame = view->GetParentFrame();
        EXPECT_TRUE(dynamic_cast<CChildFrame*>(frame)) << "a document window of its own";
        EXPECT_TRUE(frame && frame->IsWindowVisible());

        auto* local = dynamic_cast<CVrViewerDoc*>(app->OpenDocumentFile(TheWorld().dir.File("paper.dvi").c_str()));
        ASSERT_TRUE(local && local != web);
        ASSERT_TRUE(Settled(local));
        int ink = 0, differing = 0;
        CompareInk(view, ViewOf(local), &ink, &differing);
        EXPECT_GT(ink, 500);
        EXPECT_EQ(differing, 0);
        local->OnCloseDocument();
        EXPECT_TRUE(PumpUntilQueuedRan());
    }

    static inline CVrViewerApp* app = nullptr;
    std::vector<std::string> boxes;
};

TEST_F(OpenDocuments, AnAddressOnTheCommandLineOpensOneDocumentWindow) {
    std::vector<CVrViewerDoc*> docs = Documents();
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(std::string(docs[0]->GetAddress().c_str()), TheWorld().commandLineUrl);
    ExpectShownLikeTheLocalFile(docs[0]);
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

TEST_F(OpenDocuments, AnAddressHandedOverToTheRunningViewerOpensOneDocumentWindow) {
    const std::string url = TheWorld().server.Url("/handed/paper.dvi");
    ASSERT_EQ(RunSecondStart({QString::fromStdString(url)}), 0);
    ASSERT_TRUE(PumpUntil([&] { return Documents().size() == 1; }));
    // No second window follows.
    ASSERT_TRUE(PumpUntilQueuedRan());
    ASSERT_EQ(Documents().size(), 1u);
    EXPECT_EQ(Documents()[0]->GetAddress().c_str(), url);
    ExpectShownLikeTheLocalFile(Documents()[0]);
}

// A second start naming an anchor of a document that is open already: the
// open view goes there and nothing else opens.
TEST_F(OpenDocuments, AnAnchorHandedOverMovesTheOpenViewAndOpensNoOtherView) {
    const std::string path = TheWorld().dir.File("paper.dvi");
    auto* doc = dynamic_cast<CVrViewerDoc*>(app->OpenDocumentFile(path.c_str()));
    ASSERT_TRUE(doc);
    ASSERT_TRUE(Settled(doc));
    CVrViewerView* view = ViewOf(doc);
    ViewStatus vs;
    view->GetViewStatus(vs);
    ASSERT_EQ(vs.page, 0);

    ASSERT_EQ(RunSecondStart({QString::fromStdString(path + "#sec2")}), 0);
    ASSERT_TRUE(PumpUntil([&] {
        ViewStatus now;
        view->GetViewStatus(now);
        return now.page == 2;
    }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(Documents().size(), 1u);
    EXPECT_EQ(doc->GetViews().size(), 1u);
    EXPECT_EQ(std::string(doc->GetAddress().c_str()), path);
    EXPECT_TRUE(boxes.empty()) << boxes.front();
}

// Files that cannot be shown whole: each load ends with the view telling how,
// in words that name the person's file and never the temporary copy.
TEST_F(OpenDocuments, FailedOpensEndWithTheirStatusNamingThePersonsFile) {
    const TempDir& dir = TheWorld().dir;
    const std::string& dvi = TheWorld().dvi;
    // Inside page 2: past the first page's end, before the second's.
    const std::string out = testsupport::RunDviType(dir.File("paper.dvi"), 1);
    size_t p2 = out.find(": beginning of page 2");
    ASSERT_NE(p2, std::string::npos);
    size_t lineStart = out.rfind('\n', p2) + 1;
    const size_t cut = std::stoul(out.substr(lineStart, p2 - lineStart)) + 12;
    std::ofstream(dir.File("unknown.dvi")) << "just some words, no document";
    std::ofstream(dir.File("cut.dvi"), std::ios::binary) << dvi.substr(0, cut);
    std::ofstream(dir.File("empty.dvi"));

    struct Case {
        const char* name;
        const char* says;  // what the status says after the name
        int pages;         // pages shown
    } cases[] = {
        {"missing.dvi", "File not exist!", 0},
        {"unknown.dvi", "This document file is not supported.", 0},
        {"cut.dvi", "ends inside a page", 1},
        {"empty.dvi", "File error", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        auto* doc = dynamic_cast<CVrViewerDoc*>(app->OpenDocumentFile(path.c_str()));
        ASSERT_TRUE(doc);
        CVrViewerView* view = ViewOf(doc);
        ASSERT_TRUE(view);
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
        ASSERT_TRUE(PumpUntil([&] { return view->GetStatusText().str() != "Retrieving..."; }, 20000));
        ASSERT_TRUE(PumpUntilQueuedRan());
        const std::string status = view->GetStatusText().str();
        EXPECT_EQ(status.rfind(path + ": ", 0), 0u) << status;
        EXPECT_NE(status.find(c.says), std::string::npos) << status;
        EXPECT_EQ(view->GetPageCount(), c.pages);
        if (c.pages) {
            ASSERT_TRUE(Settled(doc));
            ViewStatus vs;
            view->GetViewStatus(vs);
            EXPECT_EQ(vs.page, 0);
            int ink = 0;
            for (int y = 0; y < vs.pageHeight; ++y)
                for (int x = 0; x < vs.pageWidth; ++x) ink += (view->GetPageDC().GetPixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
            EXPECT_GT(ink, 500);
        }
        // What the document collected for its closing message names the file too.
        const std::string errors = doc->GetErrorText().str();
        EXPECT_EQ(errors.find("/htp"), std::string::npos) << errors;
        if (c.pages) {
            EXPECT_NE(errors.find(path), std::string::npos) << errors;
        }
        doc->OnCloseDocument();
        ASSERT_TRUE(PumpUntilQueuedRan());
    }
}

}  // namespace
