// File > Print end to end on the offscreen platform: the print dialog is
// scripted to print into a PDF file, which poppler's pdftoppm turns back into
// pixels. DVI pages must carry the drawer's own rendering of each page; a
// PostScript document goes through the gs program's bitmaps; Cancel in the
// progress box ends a job with no output file and no child left.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <string>
#include <tiffio.h>
#include <vector>

#include "dvilib/VrDviDrawer.h"
#include "platform/gdi/PixelBuffer.h"
#include "platform/ghostscript/GS.h"
#include "platform/sys/Registry.h"
#include "platform/ui/AfxIds.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PrintDialog.h"
#include "platform/ui/TerminationSignals.h"
#include "testsupport/Ink.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/TestTools.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;

namespace {

const char kThreePages[] = R"(\font\big=cmr10 at 20pt \big
\def\pg#1{Page #1 of three. The quick brown fox jumps over the lazy dog.\par
\vrule width #1 in height 0.5in\par\vfill\eject}
\pg1\pg2\pg3\bye
)";

constexpr int kDpi = 150;

// Child processes of this process that have not been reaped.
int ChildCount() {
    int n = 0;
    for (const auto& t : fs::directory_iterator("/proc/self/task")) {
        std::ifstream in(t.path() / "children");
        for (int pid = 0; in >> pid;) ++n;
    }
    return n;
}

// Ink (darker than mid grey) of a grey image.
testsupport::InkMask Ink(const QImage& image) {
    return testsupport::InkWhere(image.width(), image.height(),
                                 [&](int x, int y) { return qGray(image.pixel(x, y)) < 128; });
}


class Printing : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        SetUpDocuments(nullptr);
        fs::create_directories(Dir() / "tex");
        ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, nullptr), 1);
        const fs::path tex = Dir() / "tex";
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(tex, kThreePages, "three"));
        const std::string ps = testsupport::RunIn(tex, "dvips -q -o three.ps three.dvi");
        ASSERT_EQ(ps.rfind("FAILED", 0), std::string::npos) << ps;
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTexProgram(tex, "pdftex", "three"));
    }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override {
        AfxSetDialogAnswerer([this](UINT id, QDialog& d) {
            if (id == IDD_PRINT_SETUP_DIALOG && setupAnswer) return setupAnswer(d);
            if (id != IDD_PRINT_DIALOG) return int(IDCANCEL);
            ++dialogs;
            auto* pd = dynamic_cast<QPrintDialog*>(&d);
            if (!pd || !printAnswer) return int(IDCANCEL);
            if (byHand) return AnswerByHand(*pd);
            QPrinter* p = pd->printer();
            p->setOutputFormat(QPrinter::PdfFormat);
            p->setOutputFileName(QString::fromStdString(output.string()));
            p->setPageSize(QPageSize(QPageSize::A4));
            if (noMargins) p->setPageMargins(QMarginsF(0, 0, 0, 0));
            if (from > 0) {
                p->setPrintRange(QPrinter::PageRange);
                p->setFromTo(from, to);
            }
            return int(IDOK);
        });
        output = Dir() / "out.pdf";
        fs::remove(output);
        MakeView(800, 600);
    }
    void TearDown() override {
        ViewFixture::TearDown();
        PumpUntilQueuedRan();
    }

    // A document of three pages, opened and drawn.
    void Open(const fs::path& file) {
        ASSERT_NO_FATAL_FAILURE(ViewFixture::Open(file));
        ASSERT_EQ(view->GetPageCount(), 3);
    }

    // The print dialog worked as a person does: the PDF file chosen among the
    // destinations and its name typed, the range and the copies set, Print.
    int AnswerByHand(QPrintDialog& pd) {
        pd.show();
        QApplication::processEvents();
        auto* printers = pd.findChild<QComboBox*>("printers");
        destinations.clear();
        for (int i = 0; printers && i < printers->count(); ++i)
            destinations.push_back(printers->itemText(i).toStdString());
        const int pdf = printers ? printers->findText("Print to File (PDF)") : -1;
        if (pdf < 0) {
            pd.hide();
            return int(IDCANCEL);
        }
        printers->setCurrentIndex(pdf);
        QLineEdit* name = pd.findChild<QLineEdit*>("filename");
        offeredFile = name->text().toStdString();
        name->selectAll();
        QTest::keyClicks(name, QString::fromStdString(output.string()));
        if (from > 0) {
            QTest::mouseClick(pd.findChild<QRadioButton*>("printRange"), Qt::LeftButton);
            pd.findChild<QSpinBox*>("to")->setValue(to);
            pd.findChild<QSpinBox*>("from")->setValue(from);
        }
        pd.findChild<QSpinBox*>("copies")->setValue(copies);
        QTest::mouseClick(pd.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        return pd.result() == QDialog::Accepted ? int(IDOK) : int(IDCANCEL);
    }

    // File > Print Setup: the paper and the orientation chosen, OK.
    void PrintSetup(QPageSize::PageSizeId paper, bool landscape) {
        bool shown = false;
        setupAnswer = [&](QDialog& d) {
            shown = true;
            d.show();
            QApplication::processEvents();
            auto* papers = d.findChild<QComboBox*>("paper");
            papers->setCurrentIndex(papers->findData(int(paper)));
            QTest::mouseClick(d.findChild<QRadioButton*>(landscape ? "landscape" : "portrait"), Qt::LeftButton);
            auto* printers = d.findChild<QComboBox*>("printer");
            printers->setCurrentIndex(printers->findText("Print to File (PDF)"));
            QTest::mouseClick(d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            return d.result() == QDialog::Accepted ? int(IDOK) : int(IDCANCEL);
        };
        EXPECT_TRUE(AfxGetApp()->OnCmdMsg(ID_FILE_PRINT_SETUP, CN_COMMAND, nullptr, nullptr));
        setupAnswer = nullptr;
        EXPECT_TRUE(shown);
    }

    // pdfinfo's page count and first page size (points) of the printed file.
    void PdfInfo(int& pages, double& width, double& height) {
        const std::string info = testsupport::RunCommand("pdfinfo '" + output.string() + "' 2>&1");
        pages = -1;
        width = height = -1;
        const size_t p = info.find("Pages:"), z = info.find("Page size:");
        if (p != std::string::npos) pages = std::atoi(info.c_str() + p + 6);
        if (z != std::string::npos) std::sscanf(info.c_str() + z + 10, " %lf x %lf pts", &width, &height);
    }

    // The printed pages rasterised by pdftoppm at kDpi.
    std::vector<QImage> PrintedPages() {
        std::vector<QImage> pages;
        if (!fs::exists(output)) return pages;
        const fs::path prefix = Dir() / "printed";
        for (const auto& e : fs::directory_iterator(Dir()))
            if (e.path().filename().string().rfind("printed", 0) == 0) fs::remove(e.path());
        const std::string cmd = "pdftoppm -gray -r " + std::to_string(kDpi) + " '" + output.string() + "' '" +
                                prefix.string() + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(Dir()))
            if (e.path().filename().string().rfind("printed", 0) == 0) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files) pages.push_back(QImage(QString::fromStdString(f.string())));
        return pages;
    }

    // The drawer's rendering of a DVI page on a sheet of that size at kDpi,
    // one inch from the sheet's left and top edges.
    testsupport::InkMask DrawerInk(int page, int w, int h) {
        auto dc = CreateMemoryDC(w, h, 32, kDpi);
        dc->FillSolidRect(0, 0, w, h, RGB(255, 255, 255));
        VrDviDrawer drawer;
        EXPECT_EQ(drawer.Open(*dc, doc->GetReader(), page, fpreal4(10000), kDpi, kDpi, 0xFF0000, String8()), 1);
        drawer.Draw(-1);
        drawer.Close();
        QImage image(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) image.setPixel(x, y, dc->Surface()->Get(x, y));
        return Ink(image);
    }

    // gs's own rendering of a page of a file on the same sheet.
    testsupport::InkMask GhostscriptInk(const fs::path& file, int page, int w, int h) {
        const fs::path png = Dir() / "gs.png";
        const std::string cmd = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r" + std::to_string(kDpi) + " -g" +
                                std::to_string(w) + "x" + std::to_string(h) + " -dFirstPage=" +
                                std::to_string(page + 1) + " -dLastPage=" + std::to_string(page + 1) +
                                " -sOutputFile='" + png.string() + "' '" + file.string() + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return Ink(QImage(QString::fromStdString(png.string())));
    }

    fs::path output;
    bool printAnswer = true, noMargins = false, byHand = false;
    int from = 0, to = 0, dialogs = 0, copies = 1;
    std::function<int(QDialog&)> setupAnswer;
    std::vector<std::string> destinations;
    std::string offeredFile;  // the file name the print dialog showed first
};

TEST_F(Printing, DviPagesPrintAsTheDrawerDrawsThemAndARangePrintsItsPages) {
    Open(Dir() / "tex" / "three.dvi");
    struct Case {
        int from, to;
        std::vector<int> pages;
    } cases[] = {{0, 0, {0, 1, 2}}, {2, 3, {1, 2}}};
    for (const Case& c : cases) {
        from = c.from;
        to = c.to;
        fs::remove(output);
        EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
        const std::vector<QImage> printed = PrintedPages();
        ASSERT_EQ(printed.size(), c.pages.size()) << "range " << c.from << "-" << c.to;
        for (size_t i = 0; i < printed.size(); ++i) {
            const int w = printed[i].width(), h = printed[i].height();
            EXPECT_GE(testsupport::InkMatched(Ink(printed[i]), DrawerInk(c.pages[i], w, h), 1), 0.9)
                << "printed page " << i + 1 << " of range " << c.from << "-" << c.to;
        }
    }
    EXPECT_TRUE(messages.empty());
    // Cancel in the print dialog prints nothing.
    printAnswer = false;
    fs::remove(output);
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(Printing, PostScriptPrintsThroughGhostscriptBitmapsWithTheSamePagesAndInk) {
    const fs::path ps = Dir() / "tex" / "three.ps";
    Open(ps);
    noMargins = true;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(log, "Page 1, PRINT\nPage 2, PRINT\nPage 3, PRINT\n");
    const std::vector<QImage> printed = PrintedPages();
    ASSERT_EQ(printed.size(), 3u);
    for (int page = 0; page < 3; ++page) {
        const int w = printed[size_t(page)].width(), h = printed[size_t(page)].height();
        EXPECT_GE(testsupport::InkMatched(Ink(printed[size_t(page)]), GhostscriptInk(ps, page, w, h), 1), 0.9)
            << "page " << page + 1;
    }
    // A range reads the pages before it and ignores them.
    from = 2;
    to = 2;
    fs::remove(output);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Page 1, ignore\nPage 2, PRINT\n");
    EXPECT_EQ(PrintedPages().size(), 1u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Printing, CancelInTheProgressBoxEndsTheJobWithNoFileAndNoChild) {
    const fs::path ps = Dir() / "long.ps";
    {
        std::ofstream out(ps);
        out << "%!PS\n/Times-Roman findfont 30 scalefont setfont\n";
        for (int p = 1; p <= 60; ++p) out << "72 700 moveto (Page " << p << ") show showpage\n";
    }
    ASSERT_TRUE(doc->OnOpenDocument(ps.c_str()));
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
    ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
    ASSERT_EQ(view->GetPageCount(), 60);
    // A person presses Cancel once the third page is being printed.
    QTimer presser;
    int pressed = 0;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QDialog*>(w);
            if (!box || !box->isVisible() || pressed) continue;
            bool third = false;
            for (QLabel* l : box->findChildren<QLabel*>()) third |= l->text().contains("page 3 is");
            if (!third) continue;
            for (QPushButton* b : box->findChildren<QPushButton*>()) {
                b->click();
                ++pressed;
            }
        }
    });
    presser.start(1);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    const std::string log = testing::internal::GetCapturedStdout();
    presser.stop();
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(log.find("Page 5,"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(output));
    // The gs child has been reaped.
    EXPECT_EQ(ChildCount(), 0);
    EXPECT_TRUE(messages.empty());
    // The window is usable again.
    EXPECT_TRUE(view->GetWidget()->window()->isEnabled());
}

TEST_F(Printing, ADocumentStillArrivingIsRefusedWithAMessage) {
    Open(Dir() / "tex" / "three.dvi");
    view->SetDocType(kDocGzip);
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("not arrived"), std::string::npos);
    EXPECT_EQ(dialogs, 0);
}

TEST(TiffPrintBands, CentreThePageAtItsResolutionInBandsOf16KiB) {
    // A 2480 x 3508 bilevel page at 300 dpi on a 300 dpi A4 sheet with no margin.
    auto bands = CVrViewerView::TiffPrintBands(2480, 3508, 1, 1.0, 1.0, 0, 0, 2480, 3508);
    ASSERT_EQ(bands.size(), size_t((3508 + 51) / 52));  // 313 bytes a row, 52 rows a band
    EXPECT_EQ(bands[0].x, 0);
    EXPECT_EQ(bands[0].y, 0);
    EXPECT_EQ(bands[0].height, 52);
    EXPECT_EQ(bands[0].sourceY, 3508 - 52);
    EXPECT_EQ(bands.back().y + bands.back().height, 3508);
    EXPECT_EQ(bands.back().sourceY, 0);
    // Half the size at twice the scale, with a printable corner 50 pixels in:
    // centred, the offset taken off.
    bands = CVrViewerView::TiffPrintBands(1000, 1000, 24, 2.0, 2.0, 50, 60, 2480, 3508);
    EXPECT_EQ(bands[0].x, (2480 - 2000) / 2 - 50);
    EXPECT_EQ(bands[0].y, (3508 - 2000) / 2 - 60);
    EXPECT_EQ(bands[0].width, 2000);
    int covered = 0;
    for (const auto& b : bands) covered += b.height;
    EXPECT_EQ(covered, 2000);
    EXPECT_TRUE(CVrViewerView::TiffPrintBands(0, 10, 1, 1.0, 1.0, 0, 0, 10, 10).empty());
}

// A 300 x 300 pixel bilevel page with a 100 pixel black square at (100, 100).
bool WriteSquareTiff(const fs::path& file, int unit, float resolution, bool withResolution) {
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    if (!tif) return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(300));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(300));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISWHITE));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(300));
    if (withResolution) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, uint16_t(unit));
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, resolution);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, resolution);
    }
    std::vector<uint8_t> row((300 + 7) / 8);
    bool ok = true;
    for (int y = 0; y < 300 && ok; ++y) {
        std::fill(row.begin(), row.end(), 0);
        if (y >= 100 && y < 200)
            for (int x = 100; x < 200; ++x) row[x / 8] |= uint8_t(0x80 >> (x % 8));
        ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

TEST_F(Printing, TiffPagesPrintCentredAtTheirOwnResolution) {
    struct Case {
        const char* name;
        int unit;
        float resolution;
        bool withResolution;
        double inches;  // the square's side on paper
    } cases[] = {
        {"inch.tif", RESUNIT_INCH, 100, true, 1.0},
        {"cm.tif", RESUNIT_CENTIMETER, 118, true, 100 / (118 * 2.54)},
        {"none.tif", RESUNIT_INCH, 0, false, 100 / 72.0},  // no resolution: 72 dpi
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteSquareTiff(Dir() / c.name, c.unit, c.resolution, c.withResolution));
        CloseDocument();
        MakeView(800, 600);
        ASSERT_TRUE(doc->OnOpenDocument((Dir() / c.name).c_str()));
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
        ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
        fs::remove(output);
        EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
        const std::vector<QImage> printed = PrintedPages();
        ASSERT_EQ(printed.size(), 1u);
        const QImage& page = printed[0];
        int left = page.width(), right = -1, top = page.height(), bottom = -1;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 128) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, left);
        const double side = c.inches * kDpi;
        EXPECT_NEAR(right - left + 1, side, 3);
        EXPECT_NEAR(bottom - top + 1, side, 3);
        // The whole image (three times the square) is centred on the sheet.
        EXPECT_NEAR((left + right) / 2.0, page.width() / 2.0, 3);
        EXPECT_NEAR((top + bottom) / 2.0, page.height() / 2.0, 3);
    }
    EXPECT_TRUE(messages.empty());
}

// Three 300 x 300 pixel bilevel pages at 100 dpi; page p holds a black square
// of 40 p pixels in its middle.
bool WritePagesTiff(const fs::path& file) {
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    if (!tif) return false;
    bool ok = true;
    for (int page = 1; page <= 3 && ok; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(300));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(300));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(1));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISWHITE));
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(300));
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, uint16_t(RESUNIT_INCH));
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 100.0f);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 100.0f);
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_PAGE));
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(page - 1), uint16_t(3));
        const int lo = 150 - 20 * page, hi = 150 + 20 * page;
        std::vector<uint8_t> row((300 + 7) / 8);
        for (int y = 0; y < 300 && ok; ++y) {
            std::fill(row.begin(), row.end(), 0);
            if (y >= lo && y < hi)
                for (int x = lo; x < hi; ++x) row[x / 8] |= uint8_t(0x80 >> (x % 8));
            ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ok;
}

// The side of the ink's bounding box of a printed page, in pixels.
int InkWidth(const QImage& page) {
    int left = page.width(), right = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128) left = std::min(left, x), right = std::max(right, x);
    return right - left + 1;
}

TEST_F(Printing, EveryKindPrintsItsRangeToAPdfFileAsOftenAsTheCopiesSay) {
    ASSERT_TRUE(WritePagesTiff(Dir() / "pages.tif"));
    const fs::path tex = Dir() / "tex";
    enum Kind { Dvi, Ghostscript, Tiff };
    struct Case {
        fs::path file;
        Kind kind;
    } cases[] = {{tex / "three.dvi", Dvi}, {tex / "three.ps", Ghostscript}, {tex / "three.pdf", Ghostscript},
                 {Dir() / "pages.tif", Tiff}};
    byHand = true;
    from = 2;
    to = 3;
    copies = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.filename().string());
        CloseDocument();
        MakeView(800, 600);
        Open(c.file);
        fs::remove(output);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
        testing::internal::GetCapturedStdout();
        // The same destinations for every kind: here, with no printer, the PDF file.
        EXPECT_EQ(destinations, std::vector<std::string>{"Print to File (PDF)"});
        const std::vector<QImage> printed = PrintedPages();
        ASSERT_EQ(printed.size(), 4u);
        const int order[] = {1, 2, 1, 2};
        for (size_t i = 0; i < printed.size(); ++i) {
            SCOPED_TRACE("printed page " + std::to_string(i + 1));
            const int w = printed[i].width(), h = printed[i].height();
            switch (c.kind) {
            case Dvi: EXPECT_GE(testsupport::InkMatched(Ink(printed[i]), DrawerInk(order[i], w, h), 1), 0.9); break;
            case Ghostscript:
                EXPECT_GE(testsupport::InkMatched(Ink(printed[i]), GhostscriptInk(c.file, order[i], w, h), 1), 0.9);
                break;
            case Tiff: EXPECT_NEAR(InkWidth(printed[i]), 40 * (order[i] + 1) * kDpi / 100, 3); break;
            }
        }
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(Printing, PrintSetupsPaperAndOrientationReachTheNextJob) {
    Open(Dir() / "tex" / "three.dvi");
    byHand = true;
    // Later tests start from the usual setup again, whatever happens here.
    struct Restore {
        std::function<void()> undo;
        ~Restore() { undo(); }
    } restore{[this] { PrintSetup(QPageSize::A4, false); }};
    struct Case {
        QPageSize::PageSizeId paper;
        bool landscape;
        double width, height;  // points
    } cases[] = {{QPageSize::Letter, true, 792, 612}, {QPageSize::A5, false, 420, 595}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        PrintSetup(c.paper, c.landscape);
        fs::remove(output);
        EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
        int pages = 0;
        double width = 0, height = 0;
        PdfInfo(pages, width, height);
        EXPECT_EQ(pages, 3);
        EXPECT_NEAR(width, c.width, 1);
        EXPECT_NEAR(height, c.height, 1);
    }
    // Cancel in the setup keeps the last choice.
    setupAnswer = [](QDialog&) { return int(IDCANCEL); };
    EXPECT_TRUE(AfxGetApp()->OnCmdMsg(ID_FILE_PRINT_SETUP, CN_COMMAND, nullptr, nullptr));
    setupAnswer = nullptr;
    fs::remove(output);
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    int pages = 0;
    double width = 0, height = 0;
    PdfInfo(pages, width, height);
    EXPECT_NEAR(width, 420, 1);
    EXPECT_NEAR(height, 595, 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Printing, ALandscapePostScriptPrintKeepsThePagesTopAndTheFileIsOfferedAgain) {
    const fs::path ps = Dir() / "tex" / "three.ps";
    Open(ps);
    byHand = true;
    struct Restore {
        std::function<void()> undo;
        ~Restore() { undo(); }
    } restore{[this] { PrintSetup(QPageSize::A4, false); }};
    PrintSetup(QPageSize::A4, true);
    from = to = 1;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    testing::internal::GetCapturedStdout();
    const std::vector<QImage> printed = PrintedPages();
    ASSERT_EQ(printed.size(), 1u);
    const int w = printed[0].width(), h = printed[0].height();
    ASSERT_GT(w, h);
    // The portrait page as gs draws it, its top on the sheet's top.
    const testsupport::InkMask whole = GhostscriptInk(ps, 0, w, w);
    ASSERT_EQ(whole.ink.size(), size_t(w) * size_t(w));
    const testsupport::InkMask top = testsupport::InkWhere(w, h, [&](int x, int y) { return whole.At(x, y); });
    const testsupport::InkMask got = Ink(printed[0]);
    // The first line of text is there.
    int firstInk = -1;
    for (int y = 0; y < h && firstInk < 0; ++y)
        for (int x = 0; x < w; ++x)
            if (top.At(x, y)) {
                firstInk = y;
                break;
            }
    ASSERT_GE(firstInk, 0);
    ASSERT_LT(firstInk, h / 3);
    long lineInk = 0;
    for (int y = firstInk; y < firstInk + 20 && y < h; ++y)
        for (int x = 0; x < w; ++x) lineInk += got.At(x, y);
    EXPECT_GT(lineInk, 200);
    EXPECT_GE(testsupport::InkMatched(got, top, 1), 0.9);

    // The next Print of the run offers the file this one printed into.
    offeredFile.clear();
    fs::remove(output);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(view->SendCommand(ID_FILE_PRINT));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(offeredFile, output.string());
    EXPECT_TRUE(messages.empty());
}

TEST_F(Printing, ATerminationSignalStopsTheJobAsCancelDoesAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path ps = Dir() / "long.ps";
    {
        std::ofstream out(ps);
        out << "%!PS\n/Times-Roman findfont 30 scalefont setfont\n";
        for (int p = 1; p <= 60; ++p) out << "72 700 moveto (Page " << p << ") show showpage\n";
    }
    // The same path in the child that runs the job.
    output = fs::path(VELORAN_BINARY_DIR) / "testdata" / "print-signalled.pdf";
    fs::create_directories(output.parent_path());
    fs::remove(output);
    EXPECT_EXIT(
        {
            ASSERT_TRUE(doc->OnOpenDocument(ps.c_str()));
            ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
            ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
            TerminationSignals::Install([](int) { AfxGetApp()->OnTerminationSignal(); });
            // SIGTERM from outside once the third page is being printed.
            QTimer watcher;
            bool sent = false;
            QObject::connect(&watcher, &QTimer::timeout, [&] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    for (QLabel* l : w->findChildren<QLabel*>())
                        if (!sent && w->isVisible() && l->text().contains("page 3 is")) {
                            sent = true;
                            kill(getpid(), SIGTERM);
                        }
            });
            watcher.start(1);
            testing::internal::CaptureStdout();
            view->SendCommand(ID_FILE_PRINT);
            const std::string log = testing::internal::GetCapturedStdout();
            watcher.stop();
            // Stopped as Cancel stops it: no more pages, no file, nothing told.
            if (!sent || log.find("Page 5,") != std::string::npos || fs::exists(output) || !messages.empty())
                _exit(3);
            // Then the program ends from its event loop.
            AfxGetApp()->Run();
            // The document's worker ends with it, as the program's own exit
            // closes its documents.
            CloseDocument();
            _exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_FALSE(fs::exists(output));
}

}  // namespace
