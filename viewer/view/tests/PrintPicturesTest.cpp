// Printing a DVI page that has a picture and a watermark, to a PDF file read
// back by pdftoppm: the printed page carries the same ink as the page on the
// screen, whether the document lies in a folder other than the working one or
// comes over HTTP; printing while a picture is still on its way asks first; a
// page that cannot be drawn whole does not end the job.
#include <gtest/gtest.h>

#include <QImage>
#include <QPrintDialog>
#include <QPrinter>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ghostscript/GS.h"
#include "platform/inet/tests/LoopbackServer.h"
#include "platform/ui/AfxIds.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PrintDialog.h"
#include "testsupport/Ink.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/PictureFiles.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

// A black EPS box under the page and a dark PNG block on it: both print as
// ink, much more of it than the text.
const char kSource[] = R"TEX(
\special{watermarkgraphics: 0pt 0pt 0pt 0pt 0pt 0pt EPS mark.eps}
\hsize=5in
\noindent Above the picture.\par
\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt PNG block.png}\vskip 2in
\noindent Below the picture.\bye
)TEX";

const char kEps[] = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 144 72\n0 setgray 0 0 144 72 rectfill\nshowpage\n";

std::string Slurp(const fs::path& p) {
    const std::vector<unsigned char> b = testsupport::ReadFile(p.string());
    return std::string(b.begin(), b.end());
}

// Dark pixels of a w x h region of an image given as a pixel function.
template <class PixelFn>
testsupport::InkMask Ink(int w, int h, PixelFn&& pixel) {
    return testsupport::InkWhere(w, h, [&](int x, int y) { return qGray(pixel(x, y)) < 128; });
}

class PrintPictures : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        SetUpDocuments(nullptr);
        ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, nullptr), 1);
        docDir_ = new TempDir;
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*docDir_, kSource, "doc"));
        std::ofstream(docDir_->File("mark.eps")) << kEps;
        ASSERT_TRUE(picturefiles::SaveImage(docDir_->File("block.png"), 150, 90, 0x101060));
    }
    static void TearDownTestSuite() {
        delete docDir_;
        TearDownDocuments();
    }
    void SetUp() override {
        MakeView(kWidth, kHeight);
        output = Dir() / "out.pdf";
        fs::remove(output);
        AfxSetDialogAnswerer([this](UINT id, QDialog& d) {
            if (id != IDD_PRINT_DIALOG) return int(IDCANCEL);
            ++dialogs;
            auto* pd = dynamic_cast<QPrintDialog*>(&d);
            if (!pd) return int(IDCANCEL);
            QPrinter* p = pd->printer();
            p->setOutputFormat(QPrinter::PdfFormat);
            p->setOutputFileName(QString::fromStdString(output.string()));
            p->setPageSize(QPageSize(QPageSize::Letter));
            return int(IDOK);
        });
        // The working folder holds none of the document's files.
        oldCwd = fs::current_path();
        fs::current_path(Dir() / "tmp");
    }
    void TearDown() override {
        fs::current_path(oldCwd);
        AfxSetDialogAnswerer(nullptr);
        CloseDocument();
        ViewFixture::TearDown();
    }

    bool PageDrawn() {
        const int* f = view->GetPagePartFlags();
        return view->IsInitialViewEstablished() && std::all_of(f, f + 2, [](int v) { return v == 1; }) &&
               !view->HasTimer(ID_PAGE_PARTS_TIMER);
    }
    // The page at 100 %, whole and painted, scrolled to its top left.
    void ShowWhole() {
        ASSERT_TRUE(view->SendCommand(ID_ZOOM_100));
        ASSERT_TRUE(PumpUntil([&] { return PageDrawn(); }, 30000));
        view->Invalidate(FALSE);
        view->UpdateWindow();
        const ViewStatus vs = Status();
        ASSERT_EQ(vs.scrollX, 0);
        ASSERT_EQ(vs.scrollY, 0);
    }
    // Ink of the window's page area, kW x kH from the page's corner.
    testsupport::InkMask ScreenInk() {
        const WindowSurface& s = view->GetSurface();
        const int top = Status().topOffset;
        return Ink(kW, kH, [&](int x, int y) { return QRgb(s.pixels[size_t(y + top) * s.width + x] | 0xFF000000u); });
    }
    // Ink of the printed first page at the screen's resolution.
    testsupport::InkMask PrintedInk() {
        testsupport::InkMask none;
        if (!fs::exists(output)) return none;
        const fs::path prefix = Dir() / "printed";
        const std::string cmd = "pdftoppm -gray -singlefile -r " + std::to_string(Status().resolutionX / 10000) +
                                " '" + output.string() + "' '" + prefix.string() + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        const QImage page(QString::fromStdString(prefix.string() + ".pgm"));
        if (page.width() < kW || page.height() < kH) return none;
        return Ink(kW, kH, [&](int x, int y) { return page.pixel(x, y); });
    }
    // Prints the shown page; the printed ink compared with the screen's.
    void PrintMatchesScreen() {
        ShowWhole();
        const testsupport::InkMask screen = ScreenInk();
        long screenInk = 0;
        for (uint8_t v : screen.ink) screenInk += v;
        // The picture and the watermark are on the screen.
        EXPECT_GT(screenInk, 150 * 90 + 100 * 50);
        EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
        EXPECT_EQ(dialogs, 1);
        const testsupport::InkMask printed = PrintedInk();
        ASSERT_EQ(printed.ink.size(), screen.ink.size()) << "nothing printed";
        EXPECT_GE(testsupport::InkMatched(screen, printed, 2), 0.9);
    }

    static constexpr int kWidth = 1000, kHeight = 900;
    static constexpr int kW = 800, kH = 800;  // compared: within the page area and the sheet
    static inline TempDir* docDir_ = nullptr;
    fs::path output, oldCwd;
    int dialogs = 0;
};

TEST_F(PrintPictures, APageWithAPictureAndAWatermarkPrintsAsShownFromAnotherFolder) {
    Open(docDir_->File("doc.dvi"));
    PrintMatchesScreen();
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(PrintPictures, AWebPagePrintsItsPicturesAndAsksFirstWhileOneIsHeldBack) {
    const std::string dvi = Slurp(docDir_->File("doc.dvi")), png = Slurp(docDir_->File("block.png"));
    std::atomic<bool> holdPng{true};
    LoopbackServer server([&](const LoopbackServer::Request& r, LoopbackServer::Reply& reply) {
        if (r.target == "/docs/doc.dvi") return void(reply.Respond(200, dvi));
        if (r.target == "/docs/mark.eps") return void(reply.Respond(200, kEps));
        if (r.target == "/docs/block.png") {
            while (holdPng.load())
                if (!reply.Pause(20)) return;
            return void(reply.Respond(200, png, {"Content-Type: image/png"}));
        }
        reply.Respond(404, "no such file", {"Content-Type: text/plain"});
    });
    ASSERT_EQ(doc->LoadFromAddress(server.Url("/docs/doc.dvi").c_str()), CVrViewerDoc::kLoadOk);
    ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() && !doc->GetFetchedFiles().Entries().empty(); }));
    ASSERT_FALSE(doc->AreFetchedFilesComplete());

    // The question comes before the print dialog; No prints nothing.
    answer = IDNO;
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("not yet retrived completely"), std::string::npos) << messages[0];
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(fs::exists(output));

    holdPng = false;
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }, 30000));
    ASSERT_TRUE(doc->AreFetchedFilesComplete());
    messages.clear();
    answer = IDOK;
    PrintMatchesScreen();
    EXPECT_TRUE(messages.empty()) << messages.front();
}

// A page whose drawing fails half way prints what was drawn, the job goes on
// and the document's error text tells of it.
TEST_F(PrintPictures, AMalformedPagePrintsWhatItCanAndTheJobGoesOn) {
    TempDir d;
    ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(d, "Page one.\\vfill\\eject Page two.\\vfill\\eject Page three.\\bye\n"));
    std::string dvi = Slurp(d.File("doc.dvi"));
    // The second page starts with a pop of the empty stack.
    const size_t first = 15 + size_t(uint8_t(dvi[14]));
    ASSERT_EQ(uint8_t(dvi[first]), 139);  // bop
    size_t second = dvi.find('\x8B', first + 45);
    while (second != std::string::npos && uint8_t(dvi[second - 1]) != 140) second = dvi.find('\x8B', second + 1);
    ASSERT_NE(second, std::string::npos);
    ASSERT_EQ(uint8_t(dvi[second + 45]), 141);  // push
    dvi[second + 45] = char(142);                // pop
    std::ofstream(d.File("bad.dvi"), std::ios::binary) << dvi;
    Open(d.File("bad.dvi"));
    ASSERT_EQ(view->GetPageCount(), 3);
    EXPECT_EQ(doc->GetErrorText().str().find("정의되지 않은"), std::string::npos);
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    const std::string info = testsupport::RunCommand("pdfinfo '" + output.string() + "' 2>&1");
    EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
    EXPECT_NE(doc->GetErrorText().str().find("정의되지 않은"), std::string::npos) << doc->GetErrorText().str();
    EXPECT_TRUE(messages.empty()) << messages.front();
}

}  // namespace
