// The side files of DVI documents made by TeX: pictures fetched over HTTP
// from a loopback server after the document, drawn as they arrive and kept
// in the private temporary folder; error answers and packed files; files
// beside a local document read from its own folder whatever the current
// directory; names that would leave that folder refused.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QColor>
#include <QImage>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/inet/tests/LoopbackServer.h"
#include "platform/sys/Registry.h"
#include "platform/sys/TempFiles.h"
#include "platform/ui/MessageBox.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/GzipData.h"
#include "testsupport/TestTools.h"
#include "viewer/document/FetchedFile.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;
using testsupport::Gzip;
using testsupport::TempDir;

namespace {

std::string Slurp(const fs::path& p) {
    const std::vector<unsigned char> b = testsupport::ReadFile(p.string());
    return std::string(b.begin(), b.end());
}

std::string Png(QColor colour) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(colour);
    TempDir d;
    image.save(QString::fromStdString(d.File("p.png")));
    return Slurp(d.File("p.png"));
}

const char kEps[] =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 30 20\n0 0 1 setrgbcolor 0 0 30 20 rectfill\nshowpage\n";

// A page whose "graphics:" specials name each of names, one under another.
std::string PictureSource(const std::vector<std::pair<std::string, std::string>>& pictures) {
    std::string s = "Pictures: \\par\n";
    for (auto& p : pictures)
        s += "\\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt " + p.first + " " + p.second + "}\\vskip 40pt\\noindent\n";
    return s + "\\bye\n";
}

class SideFiles : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(nullptr); }
    static void TearDownTestSuite() { TearDownDocuments(); }
    void SetUp() override { MakeView(900, 700); }
    void TearDown() override {
        CloseDocument();
        ViewFixture::TearDown();
    }
    // Makes name.dvi from source in dir.
    static fs::path Tex(const TempDir& dir, const std::string& source, const std::string& name) {
        testsupport::RunTex(dir, source, name);
        return dir.Path() / (name + ".dvi");
    }
    bool PageDrawn() {
        const int* f = view->GetPagePartFlags();
        return view->IsInitialViewEstablished() && std::all_of(f, f + 2, [](int v) { return v == 1; });
    }
    int Pixels(COLORREF colour) {
        const WindowSurface& s = view->GetSurface();
        int n = 0;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) n += (s.pixels[size_t(y) * s.width + x] & 0xFFFFFF) == colour;
        return n;
    }
    std::map<std::string, FetchedFile*> Entries() {
        std::map<std::string, FetchedFile*> m;
        for (FetchedFile* f : doc->GetFetchedFiles().Entries()) m[f->GetUrl().c_str()] = f;
        return m;
    }

};

TEST_F(SideFiles, PicturesOfAWebDocumentArriveAfterItAndAreDrawnWithoutARefresh) {
    TempDir dir;
    const std::string dvi = Slurp(Tex(dir, PictureSource({{"PNG", "red.png"}, {"EPS", "pics/box.eps"}}), "doc"));
    const std::string red = Png(QColor(255, 0, 0));
    std::atomic<bool> releasePng{false};
    LoopbackServer server([&](const LoopbackServer::Request& r, LoopbackServer::Reply& reply) {
        if (r.target == "/papers/doc.dvi") return void(reply.Respond(200, dvi));
        if (r.target == "/papers/pics/box.eps") return void(reply.Respond(200, kEps));
        if (r.target == "/papers/red.png") {
            while (!releasePng.load())
                if (!reply.Pause(20)) return;
            return void(reply.Respond(200, red, {"Content-Type: image/png"}));
        }
        reply.Respond(404, "no such file", {"Content-Type: text/plain"});
    });
    ASSERT_EQ(doc->LoadFromAddress(server.Url("/papers/doc.dvi").c_str()), CVrViewerDoc::kLoadOk);

    // The page shows while its picture is still on its way.
    ASSERT_TRUE(PumpUntil([&] { return PageDrawn() && !Entries().empty(); }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    view->UpdateWindow();
    EXPECT_EQ(Pixels(0xFF0000), 0);
    EXPECT_TRUE(doc->IsWorkerRunning());
    EXPECT_FALSE(doc->AreFetchedFilesComplete());

    releasePng = true;
    ASSERT_TRUE(PumpUntil([&] { return Pixels(0xFF0000) >= 40 * 30; }, 30000)) << "the red picture is drawn";
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
    EXPECT_TRUE(doc->AreFetchedFilesComplete());

    // Both side files, by their full addresses, in the private temporary folder.
    auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(std::string(entries["red.png"]->GetFullAddress().c_str()), server.Url("/papers/red.png"));
    EXPECT_EQ(std::string(entries["pics/box.eps"]->GetFullAddress().c_str()), server.Url("/papers/pics/box.eps"));
    std::vector<std::string> copies;
    for (auto& e : entries) {
        const std::string copy = e.second->GetLocalCopy().c_str();
        EXPECT_EQ(copy.rfind(sys::GetTempPath(), 0), 0u) << copy;
        copies.push_back(copy);
    }
    EXPECT_EQ(Slurp(entries["red.png"]->GetLocalCopy().c_str()), red);
    EXPECT_EQ(Slurp(entries["pics/box.eps"]->GetLocalCopy().c_str()), kEps);

    CloseDocument();
    for (const std::string& c : copies) EXPECT_FALSE(fs::exists(c)) << c;
}

// What the server answers decides whether a side file is whole: error pages,
// HTML in place of a picture and damaged packed data never are.
TEST_F(SideFiles, ErrorAnswersAndDamagedPackedFilesStayIncomplete) {
    TempDir dir;
    const std::string dvi = Slurp(Tex(dir,
                                      PictureSource({{"PNG", "ok.png"},
                                                     {"PNG", "html.png"},
                                                     {"PNG", "plain404.png"},
                                                     {"PNG", "html404.png"},
                                                     {"EPS", "pic.eps.gz"},
                                                     {"EPS", "bad.eps.gz"}}),
                                      "doc"));
    const std::string png = Png(QColor(0, 128, 0));
    LoopbackServer server([&](const LoopbackServer::Request& r, LoopbackServer::Reply& reply) {
        const std::string& t = r.target;
        if (t == "/doc.dvi") reply.Respond(200, dvi);
        else if (t == "/ok.png") reply.Respond(200, png);
        else if (t == "/html.png") reply.Respond(200, "<html>moved</html>");
        else if (t == "/plain404.png") reply.Respond(404, "not found", {"Content-Type: text/plain"});
        else if (t == "/html404.png") reply.Respond(404, "<html>not found</html>");
        else if (t == "/pic.eps.gz") reply.Respond(200, Gzip(kEps));
        else if (t == "/bad.eps.gz") reply.Respond(200, Gzip(kEps).substr(0, 20) + "damaged");
        else reply.Respond(404, "");
    });
    ASSERT_EQ(doc->LoadFromAddress(server.Url("/doc.dvi").c_str()), CVrViewerDoc::kLoadOk);
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && !Entries().empty(); }));
    ASSERT_TRUE(PumpUntilQueuedRan());

    struct Case {
        const char* name;
        int complete;
        std::string contents;  // of the local copy when complete, else of the temporary file
    } cases[] = {
        {"ok.png", 1, png},  {"html.png", 0, ""},        {"plain404.png", 0, ""},
        {"html404.png", 0, ""}, {"pic.eps.gz", 1, kEps}, {"bad.eps.gz", 0, ""},
    };
    auto entries = Entries();
    ASSERT_EQ(entries.size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FetchedFile* f = entries[c.name];
        ASSERT_TRUE(f);
        EXPECT_EQ(f->IsComplete(), c.complete);
        const std::string file = c.complete ? f->GetLocalCopy().c_str() : f->GetTempFileName().c_str();
        EXPECT_EQ(Slurp(file), c.contents);
    }
    EXPECT_EQ(entries["pic.eps.gz"]->IsCompressed(), 1);
    EXPECT_EQ(doc->AreFetchedFilesComplete(), 0);
}

// A local document's side files are found beside it, also when the current
// directory holds files of the same names; names that leave its folder are
// refused; a reload makes the list afresh.
TEST_F(SideFiles, LocalSideFilesComeFromTheDocumentsFolder) {
    TempDir docs, elsewhere, outside;
    fs::create_directories(docs.Path() / "pics");
    std::ofstream(docs.File("red.png"), std::ios::binary) << Png(QColor(255, 0, 0));
    std::ofstream(docs.File("pics/box.eps.gz"), std::ios::binary) << Gzip(kEps);
    std::ofstream(elsewhere.File("red.png"), std::ios::binary) << Png(QColor(0, 255, 0));
    const std::string outsideName = "../" + outside.Path().filename().string() + "/secret.png";
    std::ofstream(outside.File("secret.png"), std::ios::binary) << Png(QColor(0, 255, 0));
    const fs::path dviPath =
        Tex(docs, PictureSource({{"PNG", "red.png"}, {"EPS", "pics/box.eps.gz"}, {"PNG", outsideName}}), "doc");

    const fs::path cwd = fs::current_path();
    fs::current_path(elsewhere.Path());
    ASSERT_TRUE(doc->OnOpenDocument(dviPath.c_str()));
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && PageDrawn(); }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    fs::current_path(cwd);

    auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u) << "the name outside the folder has no entry";
    EXPECT_EQ(doc->FindFetchedFile(String8(outsideName.c_str()), 1), nullptr);
    FetchedFile* red = entries["red.png"];
    ASSERT_TRUE(red);
    EXPECT_TRUE(red->IsComplete());
    EXPECT_EQ(std::string(red->GetLocalCopy().c_str()), docs.File("red.png"));
    FetchedFile* eps = entries["pics/box.eps.gz"];
    ASSERT_TRUE(eps);
    EXPECT_TRUE(eps->IsComplete());
    EXPECT_EQ(Slurp(eps->GetLocalCopy().c_str()), kEps);
    view->UpdateWindow();
    EXPECT_GE(Pixels(0xFF0000), 40 * 30) << "the red picture beside the document";
    EXPECT_EQ(Pixels(0x00FF00), 0) << "not the one in the current directory";

    // The file changes on disk: the reload lists each name once, from index 0.
    fs::last_write_time(dviPath, fs::last_write_time(dviPath) + std::chrono::seconds(5));
    EXPECT_EQ(doc->CheckReloadFile(), 1);
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && PageDrawn(); }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    std::vector<int> indexes;
    for (FetchedFile* f : doc->GetFetchedFiles().Entries()) indexes.push_back(f->GetIndex());
    EXPECT_EQ(indexes, (std::vector<int>{0, 1}));
}

// Pictures named by a document that are a FIFO or a folder are refused
// without opening them for reading: the worker ends and the page is drawn.
TEST_F(SideFiles, PicturesThatAreNoRegularFilesAreRefusedWithoutWaiting) {
    TempDir docs;
    std::ofstream(docs.File("red.png"), std::ios::binary) << Png(QColor(255, 0, 0));
    ASSERT_EQ(::mkfifo(docs.File("pipe.png").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(docs.File("pipe.eps").c_str(), 0600), 0);
    fs::create_directories(docs.Path() / "folder.png");
    const fs::path dviPath = Tex(
        docs, PictureSource({{"PNG", "pipe.png"}, {"EPS", "pipe.eps"}, {"PNG", "folder.png"}, {"PNG", "red.png"}}),
        "doc");

    ASSERT_TRUE(doc->OnOpenDocument(dviPath.c_str()));
    const bool ended = PumpUntil([&] { return doc->WaitWorker(0) && PageDrawn(); });
    // A reader blocked on a FIFO is what lets a writer open it without waiting.
    for (const char* fifo : {"pipe.png", "pipe.eps"}) {
        const int w = ::open(docs.File(fifo).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_LT(w, 0) << fifo << " was opened for reading";
        if (w >= 0) ::close(w);
    }
    ASSERT_TRUE(ended);
    auto entries = Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_FALSE(entries["pipe.png"]->IsComplete());
    EXPECT_FALSE(entries["pipe.eps"]->IsComplete());
    EXPECT_FALSE(entries["folder.png"]->IsComplete());
    EXPECT_TRUE(entries["red.png"]->IsComplete());
    view->UpdateWindow();
    EXPECT_GE(Pixels(0xFF0000), 40 * 30) << "the regular picture is drawn";
}

TEST(SideFileNames, NormalisedAndResolvedAgainstTheDocumentsFolder) {
    struct Norm {
        const char* in;
        const char* out;
    } norms[] = {{"pic.eps.gz", "pic.eps"}, {"pic.eps.GZ", "pic.eps"}, {"a.Gz", "a"}, {".gz", ".gz"},
                 {"pic.eps", "pic.eps"},    {"gz", "gz"}};
    for (const Norm& n : norms) EXPECT_STREQ(FetchedFileList::NormalizeUrl(String8(n.in)).c_str(), n.out) << n.in;

    FetchedFileList::Place web{1, "http://host:8080/dir/sub/doc.dvi", 0};
    FetchedFileList::Place local{0, "/home/u/papers/doc.dvi", 0};
    FetchedFileList::Place fileUrl{1, "file:///home/u/my%20papers/doc.dvi", 0};
    struct Resolve {
        const FetchedFileList::Place* place;
        const char* name;
        const char* full;  // "" refused
    } cases[] = {
        {&web, "a.png", "http://host:8080/dir/sub/a.png"},
        {&web, "pics/a.png", "http://host:8080/dir/sub/pics/a.png"},
        {&web, "/top/a.png", "http://host:8080/top/a.png"},
        {&web, "http://other/b.png", "http://other/b.png"},
        {&local, "a.png", "/home/u/papers/a.png"},
        {&local, "./pics/../a.png", "/home/u/papers/a.png"},
        {&local, "/etc/a.png", "/etc/a.png"},
        {&local, "../a.png", ""},
        {&local, "pics/../../a.png", ""},
        {&local, "http://other/b.png", "http://other/b.png"},
        {&fileUrl, "a.png", "/home/u/my papers/a.png"},
    };
    for (const Resolve& c : cases)
        EXPECT_EQ(FetchedFileList::ResolveName(*c.place, c.name), c.full) << c.place->address << " " << c.name;
}

}  // namespace
