// What a person sees of search hits and highlight words on a page drawn
// with Windows fonts (a document without TeX fonts, made with the binary
// font specials), highlight words in the magnifier, Document Information's
// warning and picture list, and an address's band choice that is no setting.
#include <gtest/gtest.h>

#include <algorithm>

#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dvilib/tests/DviTestSupport.h"
#include "platform/inet/tests/LoopbackServer.h"
#include "platform/ui/Dialog.h"
#include "viewer/view/DocumentInfoDlg.h"
#include "viewer/view/SearchDlg.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/PictureFiles.h"

namespace fs = std::filesystem;

namespace {

// Three pictures and a watermark beside the document, and one picture that
// is not there.
const char* kDocument = R"TEX(
\special{watermarkgraphics: 0pt 0pt 0pt 0pt 0pt 0pt wmf mark.wmf}
\hbox{The quick brown fox.}
\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP pic.bmp}
\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt PNG sub/pic.png}
\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP second.bmp}
\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP gone.bmp}
\bye
)TEX";

// A page of a document without fonts: face "DejaVu Sans" at a drawing
// resolution of 100 dots per inch, 30 units high; the characters of text
// placed one by one, 20 units apart, on the baseline 100 units down.
void WriteWinFontDocument(const std::string& path, const std::string& text) {
    auto special = [](std::initializer_list<int> bytes, const std::string& tail = "") {
        std::string s = "#";
        for (int b : bytes) s += char(b);
        return s + tail;
    };
    dvitest::DviBuilder b(path);
    b.Bop(1);
    b.Special(special({0, 2, 0, 0, 0, 0}, "DejaVu Sans"));
    b.Special(special({0, 0, 0, 100}));
    b.Special(special({0, 3, 0, 0, 0, 0}));
    b.Special(special({0, 5, 0, 30}));
    b.Byte(dviop::Down4);
    b.w.WriteInt32(100);
    b.Byte(dviop::Right4);
    b.w.WriteInt32(50);
    for (char c : text) {
        b.Byte(dviop::Set1);
        b.Byte(static_cast<unsigned char>(c));
        b.Byte(dviop::Right4);
        b.w.WriteInt32(20);
    }
    b.Eop();
    b.Finish();
}

class HighlightsAndInfo : public ViewFixture {
protected:
    // The glass in colour, so that its highlight colours can be seen.
    void SetUp() override { app_->WriteProfileInt(CVrViewerApp::kAppProfile, "MagGlass", "EnableColor", 1); }
    static void SetUpTestSuite() {
        SetUpDocuments(kDocument);
        picturefiles::SaveWmf((Dir() / "mark.wmf").string(), 4, 2, 1, 0xFF0000);
        fs::create_directories(Dir() / "sub");
        picturefiles::SaveImage((Dir() / "pic.bmp").string(), 20, 20, 0x00FF00);
        picturefiles::SaveImage((Dir() / "second.bmp").string(), 20, 20, 0x0000FF);
        picturefiles::SaveImage((Dir() / "sub" / "pic.png").string(), 20, 20, 0xFFFF00);
        WriteWinFontDocument((Dir() / "win.dvi").string(), "Hello World");
    }
    static void TearDownTestSuite() { TearDownDocuments(); }

    static int Count(const WindowSurface& w, uint32_t rgb) {
        int n = 0;
        for (int y = 0; y < w.height; ++y)
            for (int x = 0; x < w.width; ++x) n += (w.pixels[size_t(y) * w.width + x] & 0xFFFFFF) == rgb;
        return n;
    }
    static int CountGlass(CDC& dc, int width, int height, COLORREF colour) {
        int n = 0;
        for (int y = 0; y < height; y += 1)
            for (int x = 0; x < width; x += 1) n += dc.GetPixel(x, y) == colour;
        return n;
    }
    int GlassCount(COLORREF colour) {
        // The magnifier's page is drawn when the magnifier is about to show.
        view->PrepareGlass();
        PumpUntil([&] {
            const int* f = view->GetPagePartFlags();
            return std::all_of(f, f + 6, [](int v) { return v == 1; });
        });
        const ViewStatus vs = Status();
        return CountGlass(view->GetGlassDC(), vs.glassPageWidth, std::min(vs.glassPageHeight, 1200), colour);
    }

    // Runs Document Information; the warning and the picture list it showed.
    std::vector<std::string> DocumentInformation() {
        std::vector<std::string> pictures;
        AfxSetDialogAnswerer([&](UINT id, QDialog& dialog) {
            EXPECT_EQ(id, UINT(DocumentInfoDlg::IDD));
            // The fonts' list, then the pictures'.
            const QList<QListWidget*> lists = dialog.findChildren<QListWidget*>();
            EXPECT_EQ(lists.size(), 2);
            if (lists.size() == 2)
                for (int i = 0; i < lists[1]->count(); ++i) pictures.push_back(lists[1]->item(i)->text().toStdString());
            return int(IDOK);
        });
        view->OnCmdMsg(ID_DOCUMENT_INFO, CN_COMMAND, nullptr, nullptr);
        AfxSetDialogAnswerer(nullptr);
        return pictures;
    }
};

TEST_F(HighlightsAndInfo, ASearchHitOnAWindowsFontPageIsPaintedRed) {
    MakeView();
    Open(Dir() / "win.dvi");
    ASSERT_TRUE(view->GetPageDrawer().IsWinFont());
    EXPECT_EQ(Count(view->GetSurface(), 0xFF0000), 0);
    int shown = 0, red = 0;
    AfxSetDialogAnswerer([&](UINT id, QDialog& d) {
        EXPECT_EQ(id, UINT(IDD_SEARCH));
        if (++shown == 2) {
            // The dialog beside the hit: the hit's characters are red.
            EXPECT_TRUE(PumpUntilQueuedRan());
            view->UpdateWindow();
            red = Count(view->GetSurface(), 0xFF0000);
            EXPECT_EQ(view->GetSearchCharacters().size(), 5u);
            return int(IDCANCEL);
        }
        d.findChild<QLineEdit*>("text")->setText("World");
        d.findChild<QRadioButton*>("down")->setChecked(true);
        return int(IDOK);
    });
    view->OnCmdMsg(ID_SEARCH, CN_COMMAND, nullptr, nullptr);
    AfxSetDialogAnswerer(nullptr);
    ASSERT_EQ(shown, 2);
    EXPECT_GT(red, 30);
    // The marks go with the dialog.
    view->UpdateWindow();
    EXPECT_EQ(Count(view->GetSurface(), 0xFF0000), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(HighlightsAndInfo, HighlightWordsShowOnTheWindowsFontPageAndInTheGlass) {
    MakeView();
    Open(Dir().string() + "/win.dvi?hltext=Hello&hlcolor=00ff00");
    ASSERT_TRUE(view->GetPageDrawer().IsWinFont());
    view->UpdateWindow();
    EXPECT_GT(Count(view->GetSurface(), 0x00FF00), 30);
    // The glass page holds the green characters too (COLORREF is 0x00BBGGRR).
    EXPECT_GT(GlassCount(RGB(0, 255, 0)), 30);
}

TEST_F(HighlightsAndInfo, HighlightWordsShowInTheGlassOfATexPage) {
    MakeView();
    Open(Dir().string() + "/doc.dvi?hltext=quick&hlcolor=00ff00");
    ASSERT_FALSE(view->GetPageDrawer().IsWinFont());
    ASSERT_EQ(view->GetHighlightRects()[0].size(), 1u);
    EXPECT_GT(GlassCount(RGB(0, 255, 0)), 30);
    // Without highlight words the glass has none of the colour.
    TearDown();
    MakeView();
    Open(Dir() / "doc.dvi");
    EXPECT_EQ(GlassCount(RGB(0, 255, 0)), 0);
}

TEST_F(HighlightsAndInfo, HighlightWordsShowInTheMonochromeGlassAsAnInvertedBox) {
    // The glass page drawn whole, pixel by pixel.
    auto glassPixels = [&] {
        GlassCount(RGB(0, 0, 0));
        const ViewStatus vs = Status();
        std::vector<COLORREF> p;
        for (int y = 0; y < std::min(vs.glassPageHeight, 1200); ++y)
            for (int x = 0; x < vs.glassPageWidth; ++x) p.push_back(view->GetGlassDC().GetPixel(x, y));
        return p;
    };
    app_->WriteProfileInt(CVrViewerApp::kAppProfile, "MagGlass", "EnableColor", 0);
    MakeView();
    Open(Dir().string() + "/doc.dvi?hltext=quick&hlcolor=00ff00");
    ASSERT_EQ(Status().EnableColor, 0);
    ASSERT_EQ(view->GetHighlightRects()[0].size(), 1u);
    const std::vector<COLORREF> marked = glassPixels();
    TearDown();
    app_->WriteProfileInt(CVrViewerApp::kAppProfile, "MagGlass", "EnableColor", 0);
    MakeView();
    Open(Dir() / "doc.dvi");
    const std::vector<COLORREF> plain = glassPixels();
    ASSERT_EQ(marked.size(), plain.size());
    // The word's box, 2.5 times its size on the page, is turned over: about
    // 60 x 25 pixels of it differ, and nothing else does.
    int differ = 0;
    for (size_t i = 0; i < marked.size(); ++i) differ += marked[i] != plain[i];
    EXPECT_GT(differ, 1000);
    EXPECT_LT(differ, 20000);
}

TEST_F(HighlightsAndInfo, DocumentInformationOfACompleteFileListsEveryPictureWithoutWarning) {
    MakeView();
    Open(Dir() / "doc.dvi");
    const std::vector<std::string> pictures = DocumentInformation();
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_EQ(pictures, (std::vector<std::string>{"mark.wmf", "pic.bmp", "sub/pic.png", "second.bmp", "gone.bmp *"}));
}

TEST_F(HighlightsAndInfo, DocumentInformationWarnsWhileTheDocumentStillArrives) {
    std::string dvi;
    {
        const std::vector<unsigned char> bytes = testsupport::ReadFile((Dir() / "doc.dvi").string());
        dvi.assign(bytes.begin(), bytes.end());
    }
    std::atomic<bool> release{false}, sent{false};
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& reply) {
        // The first part, then the rest only when the test lets it go.
        const size_t half = dvi.size() / 2;
        reply.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(dvi.size()) + "\r\nConnection: close\r\n\r\n");
        reply.Send(dvi.substr(0, half));
        sent = true;
        while (!release.load() && reply.Pause(20)) {
        }
        reply.Send(dvi.substr(half));
    });
    MakeView();
    ASSERT_EQ(doc->LoadFromAddress(server.Url("/doc.dvi").c_str()), CVrViewerDoc::kLoadOk);
    ASSERT_TRUE(PumpUntil([&] { return sent.load(); }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    DocumentInformation();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Not all parts of the document are retrieved.\nDocument information may not be complete.");
    release = true;
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }, 10000));
}

TEST_F(HighlightsAndInfo, AnAddressThatHidesTheBandLeavesTheSettingAlone) {
    app_->WriteProfileInt(CVrViewerApp::kAppProfile, "Display", "ShowMainToolbar", 1);
    MakeView();
    Open(Dir().string() + "/doc.dvi?showmaintoolbar=0");
    EXPECT_FALSE(view->GetControls()->BandVisible());
    TearDown();  // the view saves its settings as it goes
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "Display", "ShowMainToolbar", -1), 1u);
    // The next plain start shows the band.
    MakeView();
    Open(Dir() / "doc.dvi");
    EXPECT_TRUE(view->GetControls()->BandVisible());
    // The person's own choice is kept.
    view->OnCmdMsg(ID_VIEW_TOOLBAR_BAND, CN_COMMAND, nullptr, nullptr);
    EXPECT_FALSE(view->GetControls()->BandVisible());
    TearDown();
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "Display", "ShowMainToolbar", -1), 0u);
    app_->WriteProfileInt(CVrViewerApp::kAppProfile, "Display", "ShowMainToolbar", 1);
}

}  // namespace
