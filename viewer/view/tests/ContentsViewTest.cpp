// The Contents tab on a TeX document: the contents file beside the document
// fills the header and the tree, and choosing an entry shows its page; a
// title too wide for the tab opens in a tip; the contents folder is tried
// when there is no file beside the document (a Korean file there); a web
// document's contents file is fetched over loopback HTTP.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "platform/inet/tests/LoopbackServer.h"
#include "viewer/view/ContentsView.h"
#include "viewer/view/tests/ViewFixture.h"

namespace {

namespace fs = std::filesystem;

const char* kDocument = R"TEX(
\newcount\n \n=0
\loop \advance\n by 1
  \centerline{Page \the\n}
  \ifnum\n<12 \vfill\eject \repeat
\bye
)TEX";

const char kToc[] =
    "<toc>\r\n<meta><ti>Notes on Groups</ti><author>A. Writer</author><year>1998</year><org>Some School</org></meta>\r\n"
    "<volume><content>\r\n"
    "1 <page imgstart=2><ti>Groups</ti>\r\n"
    "2 <page imgstart=7><ti>Subgroups</ti>\r\n"
    "1 <page imgstart=0><ti>Preface</ti>\r\n"
    "1 <page imgstart=10><ti>Rings</ti>\r\n"
    "</content></volume>\r\n";

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class Contents : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        SetUpDocuments(kDocument);
        Write(Dir() / "doc.toc", kToc);
    }
    static void TearDownTestSuite() { TearDownDocuments(); }
    void TearDown() override {
        if (contents) contents->DestroyWindow();  // deletes it
        contents = nullptr;
        app_->SetContentsPath("");
        ViewFixture::TearDown();
    }

    CContentsView* MakeContents(int width, int height) {
        contents = new CContentsView;
        EXPECT_TRUE(contents->Create(nullptr, "contents", WS_VISIBLE, RECT{0, 0, width, height}, nullptr, 2));
        contents->GetWidget()->resize(width, height);
        contents->GetWidget()->show();
        EXPECT_TRUE(PumpUntilQueuedRan());
        return contents;
    }

    // Item texts as "depth:page:text" lines in tree order.
    std::string Items() {
        std::string s;
        std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
            for (int i = 0; i < item->childCount(); ++i) {
                QTreeWidgetItem* c = item->child(i);
                s += std::to_string(depth) + ":" + std::to_string(c->data(0, Qt::UserRole).toInt()) + ":" +
                     c->text(0).toStdString() + "\n";
                walk(c, depth + 1);
            }
        };
        walk(contents->GetTree()->invisibleRootItem(), 1);
        return s;
    }

    void Click(QTreeWidgetItem* item) {
        QTreeWidget* tree = contents->GetTree();
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
        EXPECT_TRUE(PumpUntilQueuedRan());
    }

    CContentsView* contents = nullptr;
};

TEST_F(Contents, TheFileBesideTheDocumentFillsHeaderAndTreeAndAnEntryShowsItsPage) {
    MakeView();
    Open(Dir() / "doc.dvi");
    ASSERT_EQ(view->GetPageCount(), 12);
    MakeContents(220, 400);
    contents->ReadTocFile(view);
    EXPECT_EQ(std::string(contents->GetTitle()), "Notes on Groups");
    EXPECT_EQ(std::string(contents->GetAuthor()), "A. Writer");
    EXPECT_FALSE(contents->IsTitleCut());
    EXPECT_EQ(Items(), "1:2:Groups\n2:7:Subgroups\n1:0:Preface\n1:10:Rings\n");
    QTreeWidget* tree = contents->GetTree();
    EXPECT_EQ(tree->indentation(), 18);
    EXPECT_EQ(tree->geometry(), QRect(0, 50, 220, 350));

    // The level-2 entry under the first one shows page 7.
    QTreeWidgetItem* groups = tree->topLevelItem(0);
    tree->expandItem(groups);
    Click(groups->child(0));
    EXPECT_EQ(Status().page, 6);
    WaitDrawn();
    // An entry without a page changes nothing; another entry moves on.
    Click(tree->topLevelItem(1));
    EXPECT_EQ(Status().page, 6);
    Click(tree->topLevelItem(2));
    EXPECT_EQ(Status().page, 9);
    // Back in the page history comes to page 7 again.
    view->OnHistoryBack();
    EXPECT_EQ(Status().page, 6);

    // The header: the title's ink in its row, the rule at y 49.
    contents->Invalidate();
    contents->UpdateWindow();
    WindowSurface& s = contents->GetSurface();
    int titleInk = 0, rule = 0;
    for (int y = 2; y < 16; ++y)
        for (int x = 0; x < 100; ++x) titleInk += (s.Row(y)[x] & 0xFFFFFF) != 0xFFFFFF;
    for (int x = 0; x < 220; ++x) rule += (s.Row(49)[x] & 0xFFFFFF) == 0;
    EXPECT_GT(titleInk, 40);
    EXPECT_GE(rule, 219);
    fs::create_directories(VELORAN_BINARY_DIR "/artefacts");
    contents->GetWidget()->grab().save(VELORAN_BINARY_DIR "/artefacts/contents-tab.png");
    EXPECT_TRUE(messages.empty());
}

TEST_F(Contents, ATitleWiderThanTheTabOpensInATipUnderThePointer) {
    MakeView();
    Open(Dir() / "doc.dvi");
    MakeContents(60, 300);
    contents->ReadTocFile(view);
    ASSERT_TRUE(contents->IsTitleCut());
    QWidget* w = contents->GetWidget();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::mouseMove(w->windowHandle(), QPoint(20, 8));
    EXPECT_TRUE(PumpUntil([&] { return contents->GetTip()->isVisible(); }));
    ASSERT_TRUE(contents->GetTip()->isVisible());
    EXPECT_EQ(contents->GetTip()->text().toStdString(), "Notes on Groups");
    EXPECT_GT(contents->GetTip()->width(), 60);
    QTest::mouseMove(w->windowHandle(), QPoint(20, 30));
    EXPECT_TRUE(PumpUntil([&] { return !contents->GetTip()->isVisible(); }));
    EXPECT_FALSE(contents->GetTip()->isVisible());
}

TEST_F(Contents, WithoutAFileBesideTheDocumentTheContentsFolderIsRead) {
    // a/other.dvi, and its contents file in ../tocs, in CP949 with CRLF lines.
    fs::create_directories(Dir() / "a");
    fs::create_directories(Dir() / "tocs");
    fs::copy_file(Dir() / "doc.dvi", Dir() / "a" / "other.dvi", fs::copy_options::overwrite_existing);
    Write(Dir() / "tocs" / "other.toc",
          "<TOC>\r\n<META><TI>\xB8\xF1\xC2\xF7</TI></META>\r\n<CONTENT>\r\n1 <PAGE IMGSTART=3><TI>"
          "\xC1\xA6\x31\xC0\xE5 \xBC\xAD\xB7\xD0</TI>\r\n</CONTENT>\r\n");
    app_->SetContentsPath("../tocs");
    MakeView();
    Open(Dir() / "a" / "other.dvi");
    MakeContents(220, 300);
    contents->ReadTocFile(view);
    EXPECT_EQ(std::string(contents->GetTitle()), "목차");
    EXPECT_EQ(Items(), "1:3:제1장 서론\n");

    // Neither beside nor in the folder: an empty header and tree, no message.
    app_->SetContentsPath("../nowhere");
    contents->ReadTocFile(view);
    EXPECT_EQ(std::string(contents->GetTitle()), "");
    EXPECT_EQ(Items(), "");
    EXPECT_TRUE(messages.empty());

    // No view: said, and the tree stays as it was.
    contents->ReadTocFile(nullptr);
    EXPECT_EQ(messages, std::vector<std::string>{"CVrViewerView is NULL"});
}

TEST_F(Contents, AWebDocumentsFileIsFetchedAndOneWithoutTheTagGivesWayToTheFolder) {
    const std::vector<unsigned char> dvi = testsupport::ReadFile((Dir() / "doc.dvi").string());
    const std::string dviBytes(dvi.begin(), dvi.end());
    const std::string folderToc = "<TOC><META><TI>From the folder</TI></META><CONTENT>1 <PAGE IMGSTART=5><TI>Five</TI></CONTENT>";
    LoopbackServer server([&](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.target == "/docs/paper.dvi") r.Respond(200, dviBytes, {"Content-Type: application/x-dvi"});
        else if (q.target == "/docs/paper.toc") r.Respond(200, "<html>no contents here</html>");
        else if (q.target == "/docs/paper.Toc") r.Respond(200, "nothing");
        else if (q.target == "/tocs/paper.toc") r.Respond(200, folderToc);
        else r.Respond(404, "<html>not found</html>");
    });
    MakeView();
    ASSERT_EQ(doc->LoadFromAddress(server.Url("/docs/paper.dvi").c_str()), CVrViewerDoc::kLoadOk);
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && view->IsInitialViewEstablished() != 0; }));
    ASSERT_EQ(view->m_isBrowser, 1);
    app_->SetContentsPath(server.Url("/tocs").c_str());
    MakeContents(220, 300);
    contents->ReadTocFile(view);
    EXPECT_EQ(std::string(contents->GetTitle()), "From the folder");
    EXPECT_EQ(Items(), "1:5:Five\n");
    std::vector<std::string> asked;
    for (const auto& q : server.Requests())
        if (q.target != "/docs/paper.dvi") {
            asked.push_back(q.target);
            EXPECT_EQ(q.Header("User-Agent"), "Veloran Viewer Internet Toc Agent");
        }
    EXPECT_EQ(asked, (std::vector<std::string>{"/docs/paper.toc", "/docs/paper.TOC", "/docs/paper.Toc", "/tocs/paper.toc"}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Contents, TheWebFetchTakesTheFirstAnswerWithTheTagAndSaysWhenNoConnectionOpens) {
    MakeView();
    LoopbackServer server([&](const LoopbackServer::Request& q, LoopbackServer::Reply& r) {
        if (q.target == "/b.toc") r.Respond(200, "plain text");
        else if (q.target == "/b.TOC") r.Respond(200, "<Toc><META><TI>upper</TI></META>");
        else r.Respond(200, "<TOC>never asked");
    });
    EXPECT_EQ(CContentsView::GetWebTocFile(server.Url("/b.toc")), "<Toc><META><TI>upper</TI></META>");
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_TRUE(messages.empty());
    const std::string closed = "http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) + "/b.toc";
    EXPECT_EQ(CContentsView::GetWebTocFile(closed), "");
    EXPECT_EQ(messages, std::vector<std::string>{"Internet connection fail -2"});
    // Beside a web document whose server is the one that failed: the
    // document's own fetch says so, in one box.
    messages.clear();
    EXPECT_EQ(CContentsView::GetWebTocFile(closed, false), "");
    EXPECT_TRUE(messages.empty());
}

}  // namespace
