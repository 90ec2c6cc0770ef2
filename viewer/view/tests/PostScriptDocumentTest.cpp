// PostScript made by dvips and PDF made by pdfTeX, opened end to end on the
// offscreen platform, from files and over loopback HTTP: the worker converts
// and counts, the view renders each page through Ghostscript, and the shown
// pixels are compared with the gs program's own rendering of the same page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ghostscript/GS.h"
#include "platform/inet/tests/LoopbackServer.h"
#include "platform/sys/Registry.h"
#include "platform/sys/ShellOpen.h"
#include "platform/sys/TempFiles.h"
#include "platform/ui/MessageBox.h"
#include "testsupport/Ink.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/document/PdfLinks.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/PostScriptPage.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewFixture.h"

namespace fs = std::filesystem;

namespace {

const char kThreePages[] = R"(\font\big=cmr10 at 20pt \big
\def\pg#1{Page #1 of three. The quick brown fox jumps over the lazy dog.\par
\vrule width #1 in height 0.5in\par\vfill\eject}
\pg1\pg2\pg3\bye
)";

// Page 1 links to page 3 by number and to page 2 by a named destination.
const char kLinks[] = R"(\pdfoutput=1 \pdfobjcompresslevel=0
\pdfpagewidth=8.5in \pdfpageheight=11in
\font\big=cmr10 at 24pt \big
\noindent\pdfstartlink attr{/Border[0 0 0]} goto page 3 {/Fit}Go to page three\pdfendlink\par
\noindent\pdfstartlink goto name{second}To the second page\pdfendlink\par
\noindent\pdfstartlink user{/Subtype /Link /Border [0 0 0] /A << /S /URI /URI (http://example.org/paper.pdf) >>}On the web\pdfendlink\par
\vfill\eject
\pdfdest name{second} xyz Page two here, with its own words.\par\vfill\eject
Page three, the end.\par\bye
)";

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PostScriptDocument : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        SetUpDocuments(nullptr);
        fs::create_directories(Dir() / "tex");
        ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, nullptr), 1);
        const fs::path tex = Dir() / "tex";
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(tex, kThreePages, "three"));
        const std::string ps = testsupport::RunIn(tex, "dvips -q -o three.ps three.dvi");
        ASSERT_EQ(ps.rfind("FAILED", 0), std::string::npos) << ps;
        std::ofstream(tex / "links.tex") << kLinks;
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTexProgram(tex, "pdftex", "links"));
    }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override {
        MakeView(kWidth, kHeight);
        doc->SetViewCallTrace([this](const std::string& c) { calls.push_back(c); });
    }
    void TearDown() override {
        CloseDocument();
        ViewFixture::TearDown();
        // Closing leaves no temporary file behind.
        std::vector<std::string> left;
        for (const auto& e : fs::directory_iterator(sys::GetTempPath())) left.push_back(e.path().string());
        EXPECT_EQ(left, std::vector<std::string>());
    }

    static fs::path Tex(const char* name) { return Dir() / "tex" / name; }

    void WaitShown(int pages) {
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
        ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
        ASSERT_TRUE(PumpUntilQueuedRan());
        ASSERT_EQ(view->GetPageCount(), pages);
        ASSERT_EQ(doc->GetPsPageCount(), pages);
        Paint();
    }
    void Paint() {
        ASSERT_TRUE(PumpUntilQueuedRan());
        view->Invalidate(FALSE);
        view->UpdateWindow();
    }
    // Ink (darker than mid grey) agreement of the shown page area with the
    // gs program's rendering of the same page at the view's resolution: the
    // intersection over the union, where with a tolerance of 1 ink counts as
    // matched by ink of the other within one pixel.
    double InkIoU(const fs::path& file, int page, int tolerance = 0) {
        const ViewStatus vs = Status();
        EXPECT_EQ(vs.page, page);
        const int dpi = int(vs.resolutionX * 0.0001 * vs.DispMag * 0.0001 + 0.5);
        const fs::path png = Dir() / "ref.png";
        const std::string cmd = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r" + std::to_string(dpi) + " -g" +
                                std::to_string(vs.pageWidth) + "x" + std::to_string(vs.pageHeight) +
                                " -dTextAlphaBits=4 -dGraphicsAlphaBits=4 -dFirstPage=" + std::to_string(page + 1) +
                                " -dLastPage=" + std::to_string(page + 1) + " -sOutputFile='" + png.string() + "' '" +
                                file.string() + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        QImage ref(QString::fromStdString(png.string()));
        EXPECT_FALSE(ref.isNull());
        if (ref.isNull()) return 0;
        ref = ref.convertToFormat(QImage::Format_Grayscale8);
        EXPECT_EQ(ref.width(), vs.pageWidth);
        EXPECT_EQ(ref.height(), vs.pageHeight);
        const int w = std::min({kWidth - 17, vs.pageWidth - vs.scrollX, ref.width() - vs.scrollX});
        const int h = std::min({kHeight - 17 - vs.topOffset, vs.pageHeight - vs.scrollY, ref.height() - vs.scrollY});
        if (w <= 0 || h <= 0) return 0;
        const testsupport::InkMask shown = testsupport::InkWhere(
            w, h, [&](int x, int y) { return testsupport::DarkPixel(view->GetSurface().Row(y + vs.topOffset)[x]); });
        const testsupport::InkMask want = testsupport::InkWhere(
            w, h, [&](int x, int y) { return ref.constScanLine(y + vs.scrollY)[x + vs.scrollX] < 128; });
        long inked = 0;
        const double matched = testsupport::InkMatched(shown, want, tolerance, &inked);
        EXPECT_GT(inked, 1000) << "page " << page + 1 << " shows no ink";
        return matched;
    }

    // The window point over the centre of a PDF link rectangle.
    POINT LinkPoint(const LinkRecord& l) {
        const ViewStatus vs = Status();
        const double ppp = vs.resolutionX * 0.0001 * vs.DispMag * 0.0001 / 72.0;
        const double cx = (l.x0 + l.x1) / 2.0, cy = (l.y0 + l.y1) / 2.0;
        return POINT{int(cx * ppp) - vs.scrollX, vs.topOffset + vs.pageHeight - int(cy * ppp) - vs.scrollY};
    }

    static constexpr int kWidth = 800, kHeight = 600;
    std::vector<std::string> calls;
};

bool Has(const std::vector<std::string>& calls, const std::string& c) {
    return std::find(calls.begin(), calls.end(), c) != calls.end();
}

TEST_F(PostScriptDocument, DvipsPostScriptIsConvertedCountedAndEachPageShownAsGhostscriptDrawsIt) {
    ASSERT_TRUE(doc->OnOpenDocument(Tex("three.ps").c_str()));
    WaitShown(3);
    EXPECT_TRUE(Has(calls, "SetDocType 2"));
    EXPECT_TRUE(Has(calls, "SetStatusText PostScript Converting..."));
    EXPECT_TRUE(Has(calls, "SetDocType 3"));
    EXPECT_EQ(view->GetDocType(), kDocPs);
    // The document's file is now a PDF of its own name; the PostScript copy stays beside it.
    const String8 pdf = doc->GetTempFileName(), ps = doc->GetPsTempFileName();
    EXPECT_EQ(Slurp(pdf.c_str()).substr(0, 5), "%PDF-");
    EXPECT_EQ(Slurp(ps.c_str()).substr(0, 4), "%!PS");
    EXPECT_NE(std::string(pdf.c_str()), std::string(ps.c_str()));
    for (int page = 0; page < 3; ++page) {
        if (page > 0) {
            EXPECT_TRUE(view->SendCommand(ID_PAGE_NEXT));
            Paint();
        }
        EXPECT_GE(InkIoU(pdf.c_str(), page), 0.98) << "page " << page + 1;
        EXPECT_GE(InkIoU(Tex("three.ps"), page, 1), 0.98) << "page " << page + 1;
    }
    // Zoomed, the page is rendered anew at the new resolution.
    view->SetZoomPercent(150);
    Paint();
    EXPECT_GE(InkIoU(pdf.c_str(), 2), 0.98);
    EXPECT_TRUE(messages.empty());

    // Closing deletes exactly the two names, nothing derived from them.
    const std::string derived = std::string(pdf.c_str()) + "P";
    std::ofstream(derived) << "not the document's";
    CloseDocument();
    EXPECT_FALSE(fs::exists(pdf.c_str()));
    EXPECT_FALSE(fs::exists(ps.c_str()));
    EXPECT_TRUE(fs::exists(derived));
    fs::remove(derived);
}

TEST_F(PostScriptDocument, SaveAsOfPostScriptWritesThePostScriptNotThePdfMadeOfIt) {
    ASSERT_TRUE(doc->OnOpenDocument(Tex("three.ps").c_str()));
    WaitShown(3);
    const fs::path saved = Dir() / "saved-three.ps";
    std::string filters;
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        filters = files->nameFilters().join(";").toStdString();
        files->selectFile(QString::fromStdString(saved.string()));
        return int(IDOK);
    });
    view->OnCmdMsg(ID_FILE_SAVE_AS, CN_COMMAND, nullptr, nullptr);
    AfxSetDialogAnswerer(nullptr);
    EXPECT_NE(filters.find("PostScript Files"), std::string::npos) << filters;
    EXPECT_EQ(Slurp(saved), Slurp(Tex("three.ps")));
    EXPECT_TRUE(messages.empty());
    fs::remove(saved);
}

TEST_F(PostScriptDocument, PdfPagesShowAndAClickOnALinkMovesToItsPage) {
    ASSERT_TRUE(doc->OnOpenDocument(Tex("links.pdf").c_str()));
    WaitShown(3);
    EXPECT_FALSE(Has(calls, "SetStatusText PostScript Converting..."));
    EXPECT_TRUE(doc->GetPsTempFileName().IsNull() || doc->GetPsTempFileName().GetLength() == 0);
    EXPECT_GE(InkIoU(Tex("links.pdf"), 0), 0.98);

    auto links = doc->GetPdfLinks();
    ASSERT_EQ(links->size(), 3u);
    for (const LinkRecord& l : *links) EXPECT_EQ(l.page, 1);
    // The cursor tells a link from plain page.
    EXPECT_TRUE(view->SetPdfLinkCursor(LinkPoint((*links)[0])));
    EXPECT_FALSE(view->SetPdfLinkCursor(POINT{700, 500}));
    view->FollowPdfLink(CPoint(700, 500));
    EXPECT_EQ(Status().page, 0);

    struct Case {
        int link, page;
    } cases[] = {{0, 2}, {1, 1}};
    for (const Case& c : cases) {
        view->GotoPage(0);
        Paint();
        const POINT at = LinkPoint((*links)[size_t(c.link)]);
        POINT logical = at;
        EXPECT_EQ(view->PageToLogical(&logical), 1);
        EXPECT_NEAR(logical.x, ((*links)[size_t(c.link)].x0 + (*links)[size_t(c.link)].x1) / 2, 2);
        view->FollowPdfLink(CPoint(at.x, at.y));
        Paint();
        EXPECT_EQ(Status().page, c.page);
        EXPECT_GE(InkIoU(Tex("links.pdf"), c.page), 0.98);
    }
    // An address goes to the browser, as one argument.
    std::vector<std::vector<std::string>> launched;
    sys::SetShellLauncher([&](const std::vector<std::string>& argv) {
        launched.push_back(argv);
        return true;
    });
    view->GotoPage(0);
    Paint();
    view->FollowPdfLink(CPoint(LinkPoint((*links)[2]).x, LinkPoint((*links)[2]).y));
    sys::SetShellLauncher(nullptr);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].back(), "http://example.org/paper.pdf");
    EXPECT_EQ(Status().page, 0);

    // The moves are in the history.
    EXPECT_TRUE(view->SendCommand(ID_HISTORY_BACK));
    EXPECT_EQ(Status().page, 1);
}

// pdflatex writes the parentheses of an \href address escaped, inside an
// object stream: a click on the link starts the browser program (a stand-in
// on PATH that records its arguments) with the address whole.
TEST_F(PostScriptDocument, AnHrefWithParenthesesIsLaunchedWhole) {
    const fs::path tex = Dir() / "tex";
    std::ofstream(tex / "href.tex") << "\\documentclass{article}\\usepackage{hyperref}\\begin{document}\\Huge\n"
                                       "\\href{https://en.wikipedia.org/wiki/Set_(mathematics)}{Sets}\n\\end{document}\n";
    ASSERT_NO_FATAL_FAILURE(testsupport::RunTexProgram(tex, "pdflatex", "href"));

    testsupport::TempDir bin;
    const std::string record = bin.File("argv");
    std::ofstream(bin.File("xdg-open")) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " << record
                                        << ".part\nmv " << record << ".part " << record << "\n";
    fs::permissions(bin.File("xdg-open"), fs::perms::owner_all);
    const std::string savedPath = getenv("PATH");
    setenv("PATH", (bin.Path().string() + ":" + savedPath).c_str(), 1);

    ASSERT_TRUE(doc->OnOpenDocument((tex / "href.pdf").c_str()));
    WaitShown(1);
    auto links = doc->GetPdfLinks();
    ASSERT_EQ(links->size(), 1u);
    const POINT at = LinkPoint((*links)[0]);
    QTest::mouseClick(view->GetWidget(), Qt::LeftButton, {}, QPoint(at.x, at.y));
    const bool started = PumpUntil([&] { return fs::exists(record); });
    setenv("PATH", savedPath.c_str(), 1);
    ASSERT_TRUE(started);
    EXPECT_EQ(Slurp(record), "https://en.wikipedia.org/wiki/Set_(mathematics)\n");
}

TEST_F(PostScriptDocument, FitModesRenderThePageIntoTheArea) {
    ASSERT_TRUE(doc->OnOpenDocument(Tex("links.pdf").c_str()));
    WaitShown(3);
    RECT area;
    view->GetPageAreaRect(&area);
    EXPECT_TRUE(view->SendCommand(ID_FIT_WIDTH));
    Paint();
    ViewStatus vs = Status();
    EXPECT_EQ(vs.pageWidth, area.right - area.left);
    EXPECT_NE(vs.DispMag, 10000);
    EXPECT_GE(InkIoU(Tex("links.pdf"), 0), 0.98);
    EXPECT_TRUE(view->SendCommand(ID_FIT_PAGE));
    Paint();
    vs = Status();
    EXPECT_LE(vs.pageHeight, area.bottom - vs.topOffset);
    EXPECT_LE(vs.pageWidth, area.right - area.left);
    EXPECT_GE(std::max(vs.pageHeight - (area.bottom - vs.topOffset), vs.pageWidth - (area.right - area.left)), -1);
}

TEST_F(PostScriptDocument, ThumbnailsAreRenderedIntoTheirEntries) {
    ASSERT_TRUE(doc->OnOpenDocument(Tex("links.pdf").c_str()));
    WaitShown(3);
    view->BuildPageSizeTable();
    ASSERT_EQ(view->GetPageSizeTable().size(), 3u);
    const auto e = view->GetPageSizeTable()[2];
    int w = 0, h = 0;
    PsThumbnailSize(Status().pageWidth, Status().pageHeight, Status().DispMag, &w, &h);
    EXPECT_EQ(e.width, w);
    EXPECT_EQ(e.height, h);
    ASSERT_EQ(view->CreateThumbnail(2), 1);
    const BITMAPINFO* info = view->GetThumbnailInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_LE(std::abs(info->bmiHeader.biWidth - e.width), 1);
    EXPECT_LE(std::abs(std::abs(info->bmiHeader.biHeight) - e.height), 1);
}

TEST_F(PostScriptDocument, PostScriptOverHttpIsShownLikeALocalFile) {
    const std::string ps = Slurp(Tex("three.ps"));
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        r.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(ps.size()) + "\r\nConnection: close\r\n\r\n");
        // In pieces, as a network delivers it.
        for (size_t at = 0; at < ps.size(); at += 7000) {
            if (!r.Send(ps.substr(at, 7000))) return;
            r.Pause(5);
        }
    });
    EXPECT_EQ(doc->LoadFromAddress(server.Url("/docs/three.ps").c_str()), CVrViewerDoc::kLoadOk);
    WaitShown(3);
    const fs::path pdf = doc->GetTempFileName().c_str();
    EXPECT_GE(InkIoU(pdf, 0), 0.98);
    EXPECT_TRUE(view->SendCommand(ID_PAGE_LAST));
    Paint();
    EXPECT_GE(InkIoU(pdf, 2), 0.98);
    EXPECT_GE(InkIoU(Tex("three.ps"), 2, 1), 0.98);
}

TEST_F(PostScriptDocument, StopDuringTheConversionOfALongFileEndsItAndClosingLeavesNoFile) {
    const fs::path ps = Dir() / "long.ps";
    {
        std::ofstream out(ps);
        out << "%!PS\n/Times-Roman findfont 10 scalefont setfont\n";
        for (int p = 1; p <= 40000; ++p) out << "72 700 moveto (Page " << p << " of a long document) show showpage\n";
    }
    ASSERT_TRUE(doc->OnOpenDocument(ps.c_str()));
    ASSERT_TRUE(PumpUntil([&] { return Has(calls, "SetStatusText PostScript Converting..."); }));
    // Once the conversion writes its PDF beside the document's copy, stop it.
    EXPECT_TRUE(PumpUntil([] {
        return std::distance(fs::directory_iterator(sys::GetTempPath()), fs::directory_iterator()) >= 2;
    }));
    doc->OnStop();
    EXPECT_TRUE(doc->WaitWorker(0));
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(view->GetPageCount(), 0);
    EXPECT_EQ(doc->GetPsPageCount(), 0);
    // Only the document's own copy is left while it is open; the partial PDF went at once.
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(sys::GetTempPath())) files.push_back(e.path().string());
    EXPECT_EQ(files, std::vector<std::string>{std::string(doc->GetTempFileName().c_str())});
    EXPECT_TRUE(messages.empty());
    fs::remove(ps);
}

TEST_F(PostScriptDocument, AFailedConversionIsReported) {
    const fs::path ps = Dir() / "broken.ps";
    std::ofstream(ps) << "%!PS\n10 10 moveto nosuchoperator showpage\n";
    ASSERT_TRUE(doc->OnOpenDocument(ps.c_str()));
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && !messages.empty(); }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("could not convert"), std::string::npos) << messages[0];
    EXPECT_NE(std::string(doc->GetErrorText().str()).find("undefined"), std::string::npos);
    EXPECT_EQ(view->GetPageCount(), 0);
    EXPECT_EQ(std::string(view->GetStatusText().str()), ps.string() + ": Document Error!!");
    fs::remove(ps);
}

}  // namespace
