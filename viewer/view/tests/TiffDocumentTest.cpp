// TIFF documents opened end to end on the offscreen platform: the document's
// worker scans them, the view counts their pages and shows the first, the page
// commands bring up the second, and every kind of page follows the zoom.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <tiffio.h>
#include <vector>

#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/res/ViewCommandIds.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/QtTestTools.h"
#include "viewer/view/tests/ViewFixture.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPageW = 200, kPageH = 150;
struct Square {
    int x, y, side;
    uint32_t rgb;  // 0xRRGGBB as the back buffer holds it
};
// Each page's square sits elsewhere, so a page left over from before shows.
constexpr Square kSquares[2] = {{40, 30, 40, 0x000000}, {120, 80, 40, 0xFF0000}};

bool Inside(const Square& s, int x, int y) { return x >= s.x && x < s.x + s.side && y >= s.y && y < s.y + s.side; }

// Page 1: bilevel, min-is-white, the black square. Page 2: 8-bit RGB, the red square.
// `mode` "wl" or "wb" picks the byte order.
bool WriteDocument(const fs::path& file, const char* mode) {
    TIFF* tif = TIFFOpen(file.c_str(), mode);
    if (!tif) return false;
    bool ok = true;
    for (int page = 0; page < 2 && ok; ++page) {
        const bool rgb = page == 1;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(kPageW));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(kPageH));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(rgb ? 8 : 1));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(rgb ? 3 : 1));
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(rgb ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE));
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
        TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_NONE));
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, uint32_t(FILETYPE_PAGE));
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(2));
        std::vector<uint8_t> row(rgb ? kPageW * 3 : (kPageW + 7) / 8);
        for (int y = 0; y < kPageH && ok; ++y) {
            std::fill(row.begin(), row.end(), rgb ? 0xFF : 0x00);
            for (int x = 0; x < kPageW; ++x) {
                if (!Inside(kSquares[page], x, y)) continue;
                if (rgb) row[x * 3 + 1] = row[x * 3 + 2] = 0;
                else row[x / 8] |= uint8_t(0x80 >> (x % 8));
            }
            ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ok;
}

class TiffDocument : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        SetUpDocuments(nullptr);
        ASSERT_TRUE(WriteDocument(Dir() / "little.tif", "wl"));
        ASSERT_TRUE(WriteDocument(Dir() / "big.tif", "wb"));
    }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override { MakeView(kWidth, kHeight); }

    void Paint() {
        ASSERT_TRUE(PumpUntilQueuedRan());
        view->Invalidate(FALSE);
        view->UpdateWindow();
    }

    // Samples the shown page on a grid of page pixels: inside the square its
    // colour, elsewhere on the page white. Returns the count of wrong samples.
    int WrongSamples(int page) {
        const ViewStatus vs = Status();
        EXPECT_EQ(vs.page, page);
        const Square& sq = kSquares[page];
        int wrong = 0, inside = 0;
        for (int py = 2; py < kPageH; py += 4)
            for (int px = 2; px < kPageW; px += 4) {
                const int x = int(px * vs.DispMag / 10000.0) - vs.scrollX;
                const int y = vs.topOffset + int(py * vs.DispMag / 10000.0) - vs.scrollY;
                if (x < 0 || y < vs.topOffset || x >= kWidth - 16 || y >= kHeight - 16) continue;
                const bool in = Inside(sq, px, py);
                inside += in;
                const uint32_t want = in ? sq.rgb : 0xFFFFFF;
                if (Window(x, y) != want) {
                    if (wrong < 5)
                        ADD_FAILURE() << "page " << page + 1 << " at " << px << "," << py << ": " << std::hex
                                      << Window(x, y) << " want " << want;
                    ++wrong;
                }
            }
        EXPECT_GT(inside, 50);
        return wrong;
    }

    static constexpr int kWidth = 800, kHeight = 600;
};

class TiffDocumentByteOrder : public TiffDocument, public ::testing::WithParamInterface<const char*> {};

TEST_P(TiffDocumentByteOrder, OpensWithBothPagesAndShowsEachPageItsSquare) {
    ASSERT_TRUE(doc->OnOpenDocument((Dir() / GetParam()).c_str()));
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
    ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
    Paint();
    EXPECT_EQ(view->GetPageCount(), 2);
    ViewStatus vs = Status();
    EXPECT_EQ(vs.page, 0);
    EXPECT_EQ(vs.tiffWidth, kPageW);
    EXPECT_EQ(vs.tiffHeight, kPageH);
    EXPECT_EQ(vs.pageWidth, int(kPageW * vs.DispMag / 10000.0 + 0.5));
    EXPECT_EQ(WrongSamples(0), 0);

    EXPECT_TRUE(view->SendCommand(ID_PAGE_NEXT));
    Paint();
    EXPECT_EQ(Status().page, 1);
    EXPECT_EQ(WrongSamples(1), 0);

    // And back: the first page again, not the one just shown.
    EXPECT_TRUE(view->SendCommand(ID_PAGE_PREV));
    Paint();
    EXPECT_EQ(WrongSamples(0), 0);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, TiffDocumentByteOrder, ::testing::Values("little.tif", "big.tif"));

// One page of each kind at every zoom: the page's size follows the zoom and
// each page pixel shows at (px, py) x DispMag / 10000, also scrolled to the
// page's end.
enum class Kind { Bilevel, Grey, Rgb };
constexpr int kZoomW = 300, kZoomH = 240;
constexpr Square kZoomSquare{100, 80, 80, 0};

uint32_t InkOf(Kind k) { return k == Kind::Bilevel ? 0x000000 : k == Kind::Grey ? 0x404040 : 0xFF0000; }

bool WriteOnePage(const fs::path& file, Kind kind) {
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    if (!tif) return false;
    const int samples = kind == Kind::Rgb ? 3 : 1, bits = kind == Kind::Bilevel ? 1 : 8;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(kZoomW));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(kZoomH));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 uint16_t(kind == Kind::Rgb ? PHOTOMETRIC_RGB
                          : kind == Kind::Grey ? PHOTOMETRIC_MINISBLACK
                                               : PHOTOMETRIC_MINISWHITE));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
    std::vector<uint8_t> row(kind == Kind::Bilevel ? (kZoomW + 7) / 8 : size_t(kZoomW) * samples);
    bool ok = true;
    for (int y = 0; y < kZoomH && ok; ++y) {
        std::fill(row.begin(), row.end(), kind == Kind::Bilevel ? 0x00 : 0xFF);
        for (int x = 0; x < kZoomW; ++x) {
            if (!Inside(kZoomSquare, x, y)) continue;
            if (kind == Kind::Bilevel) row[x / 8] |= uint8_t(0x80 >> (x % 8));
            else if (kind == Kind::Grey) row[x] = 0x40;
            else row[x * 3 + 1] = row[x * 3 + 2] = 0;  // red
        }
        ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) == 1;
    }
    ok = ok && TIFFWriteDirectory(tif);
    TIFFClose(tif);
    return ok;
}

TEST_F(TiffDocument, EveryKindOfPageIsDrawnAtTheZoomAndScrolledOverItsZoomedSize) {
    const struct {
        Kind kind;
        const char* file;
    } kinds[] = {{Kind::Bilevel, "bilevel.tif"}, {Kind::Grey, "grey.tif"}, {Kind::Rgb, "rgb.tif"}};
    const struct {
        UINT command;
        int percent;  // 0: the window's width decides
    } zooms[] = {{ID_ZOOM_50, 50}, {ID_ZOOM_100, 100}, {ID_ZOOM_200, 200}, {ID_FIT_WIDTH, 0}};
    for (const auto& k : kinds) {
        ASSERT_TRUE(WriteOnePage(Dir() / k.file, k.kind));
        CloseDocument();
        MakeView(kWidth, kHeight);
        ASSERT_TRUE(doc->OnOpenDocument((Dir() / k.file).c_str()));
        ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0); }));
        ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
        const uint32_t ink = InkOf(k.kind);
        for (const auto& z : zooms) {
            SCOPED_TRACE(std::string(k.file) + " at " + (z.percent ? std::to_string(z.percent) + " %" : "fit width"));
            ASSERT_TRUE(view->SendCommand(z.command));
            Paint();
            ViewStatus vs = Status();
            if (z.percent) EXPECT_EQ(vs.DispMag, z.percent * 100);
            else EXPECT_GT(vs.DispMag, 20000);  // 300 pixels across a window of 800
            EXPECT_EQ(vs.pageWidth, int(vs.DispMag * kZoomW * 0.0001 + 0.5));
            EXPECT_EQ(vs.pageHeight, int(vs.DispMag * kZoomH * 0.0001 + 0.5));
            // Top left, then scrolled to the end of the page.
            for (bool end : {false, true}) {
                if (end) {
                    QTest::keyClick(view->GetWidget(), Qt::Key_End);
                    for (int i = 0; i < 20; ++i) QTest::keyClick(view->GetWidget(), Qt::Key_Right);
                    Paint();
                    vs = Status();
                    RECT area;
                    view->GetPageAreaRect(&area);
                    const int areaH = area.bottom - vs.topOffset;
                    EXPECT_EQ(vs.scrollY, std::max(0, vs.pageHeight - areaH));
                    EXPECT_EQ(vs.scrollX, std::max(0, vs.pageWidth - int(area.right - area.left)));
                }
                int wrong = 0, inside = 0, seen = 0;
                for (int py = 1; py < kZoomH; py += 3)
                    for (int px = 1; px < kZoomW; px += 3) {
                        // The middle of the pixel's place on the screen.
                        const int x = int((px + 0.5) * vs.DispMag / 10000.0) - vs.scrollX;
                        const int y = vs.topOffset + int((py + 0.5) * vs.DispMag / 10000.0) - vs.scrollY;
                        if (x < 0 || y < vs.topOffset || x >= kWidth - 17 || y >= kHeight - 17) continue;
                        // Below 100 % a bilevel page is averaged: its square's edge is grey.
                        const bool in = Inside(kZoomSquare, px, py);
                        if (vs.DispMag < 10000 && (Inside(Square{99, 79, 82, 0}, px, py) != Inside(Square{101, 81, 78, 0}, px, py)))
                            continue;
                        ++seen;
                        inside += in;
                        const uint32_t want = in ? ink : 0xFFFFFF;
                        if (Window(x, y) != want && wrong++ < 5)
                            ADD_FAILURE() << (end ? "scrolled, " : "") << "at " << px << "," << py << ": " << std::hex
                                          << Window(x, y) << " want " << want;
                    }
                EXPECT_EQ(wrong, 0);
                EXPECT_GT(inside, 20);
                EXPECT_GT(seen, 500);
                // Past the page's right and bottom edges: the workspace, not the image.
                const uint32_t workspace = uint32_t(GetRValue(vs.workspaceColor)) << 16 |
                                           uint32_t(GetGValue(vs.workspaceColor)) << 8 | GetBValue(vs.workspaceColor);
                const int right = vs.pageWidth - vs.scrollX, bottom = vs.topOffset + vs.pageHeight - vs.scrollY;
                if (right + 2 < kWidth - 17) {
                    EXPECT_EQ(Window(right + 2, vs.topOffset + 5), workspace);
                }
                if (bottom + 2 < kHeight - 17) {
                    EXPECT_EQ(Window(5, bottom + 2), workspace);
                }
            }
            QTest::keyClick(view->GetWidget(), Qt::Key_Home);
            for (int i = 0; i < 20; ++i) QTest::keyClick(view->GetWidget(), Qt::Key_Left);
        }
    }
    EXPECT_TRUE(messages.empty());
}

}  // namespace
