// The printer DC hands each page, whole or in bands, to its sink.
#include <gtest/gtest.h>

#include "platform/gdi/DC.h"
#include "platform/gdi/PrintSink.h"

namespace {
// Keeps every page as an image, assembled from its bands.
class ImageSink : public PrintSink {
public:
    struct Page {
        int width = 0, height = 0, bands = 0;
        std::vector<uint32_t> pixels;
        uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
    };
    std::string name;
    std::vector<Page> pages;
    bool ended = false, aborted = false;

    bool BeginDocument(const std::string& n, const PrinterInfo&) override {
        name = n;
        return true;
    }
    bool BeginPage(int) override {
        pages.emplace_back();
        return true;
    }
    bool PrintBand(const ::PrintBand& b) override {
        Page& p = pages.back();
        if (p.pixels.empty()) {
            p.width = b.width, p.height = b.pageHeight;
            p.pixels.assign(size_t(p.width) * p.height, 0);
        }
        for (int y = 0; y < b.height; ++y)
            std::copy(b.pixels + size_t(y) * b.stride, b.pixels + size_t(y) * b.stride + b.width,
                      p.pixels.begin() + long(size_t(b.top + y) * p.width));
        ++p.bands;
        return true;
    }
    bool EndDocument() override {
        ended = true;
        return true;
    }
    void AbortDocument() override { aborted = true; }
};

PrinterInfo A4At300() {
    PrinterInfo p;
    p.dpiX = p.dpiY = 300;
    p.physicalWidth = 2480, p.physicalHeight = 3508;
    p.offsetX = 50, p.offsetY = 60;
    p.printableWidth = 2380, p.printableHeight = 3388;
    return p;
}
}  // namespace

TEST(PrinterDC, PagesReachTheSinkAtThePrintersResolution) {
    ImageSink sink;
    PrinterInfo info = A4At300();
    info.bandHeight = 1000;
    auto dc = CreatePrinterDC(info, sink);
    ASSERT_TRUE(dc);
    EXPECT_EQ(dc->GetDeviceCaps(LOGPIXELSX), 300);
    EXPECT_EQ(dc->GetDeviceCaps(PHYSICALWIDTH), 2480);
    EXPECT_EQ(dc->GetDeviceCaps(PHYSICALOFFSETY), 60);
    EXPECT_EQ(dc->GetDeviceCaps(HORZRES), 2380);
    EXPECT_EQ(dc->GetDeviceCaps(TECHNOLOGY), DT_RASPRINTER);
    int caps = dc->GetDeviceCaps(RASTERCAPS);
    EXPECT_TRUE(caps & RC_STRETCHDIB);
    EXPECT_TRUE(caps & RC_DIBTODEV);
    EXPECT_FALSE(caps & RC_PALETTE);

    EXPECT_GT(dc->StartDoc("Report"), 0);
    for (int page = 0; page < 2; ++page) {
        ASSERT_GT(dc->StartPage(), 0);
        // One inch square, one inch from the printable corner, in tenths of a millimetre.
        dc->SetMapMode(MM_LOMETRIC);
        CBrush black(RGB(0, 0, 0));
        CRect r(254, -254, 508, -508);
        dc->FillRect(&r, &black);
        dc->SetMapMode(MM_TEXT);
        dc->SetPixel(2379, 3387 - page, RGB(255, 0, 0));
        EXPECT_GT(dc->EndPage(), 0);
    }
    EXPECT_GT(dc->EndDoc(), 0);

    EXPECT_EQ(sink.name, "Report");
    EXPECT_TRUE(sink.ended);
    ASSERT_EQ(sink.pages.size(), 2u);
    const auto& p = sink.pages[1];
    EXPECT_EQ(p.width, 2380);
    EXPECT_EQ(p.height, 3388);
    EXPECT_EQ(p.bands, 4);
    EXPECT_EQ(p.At(300, 300), 0xFF000000u);
    EXPECT_EQ(p.At(599, 599), 0xFF000000u);
    EXPECT_EQ(p.At(600, 600), 0xFFFFFFFFu);
    EXPECT_EQ(p.At(299, 300), 0xFFFFFFFFu);
    EXPECT_EQ(p.At(2379, 3386), 0xFFFF0000u);  // second page: its own pixel,
    EXPECT_EQ(p.At(2379, 3387), 0xFFFFFFFFu);  // a clean page each time
}

TEST(PrinterDC, OutOfOrderCallsFail) {
    ImageSink sink;
    auto dc = CreatePrinterDC(A4At300(), sink);
    EXPECT_EQ(dc->StartPage(), SP_ERROR);
    EXPECT_EQ(dc->EndDoc(), SP_ERROR);
    CRect r(0, 0, 10, 10);
    CBrush b(RGB(0, 0, 0));
    dc->FillRect(&r, &b);  // no page yet: nothing happens
    EXPECT_GT(dc->StartDoc("x"), 0);
    EXPECT_EQ(dc->StartDoc("again"), SP_ERROR);
    EXPECT_GT(dc->StartPage(), 0);
    EXPECT_GT(dc->AbortDoc(), 0);
    EXPECT_TRUE(sink.aborted);
    EXPECT_FALSE(sink.ended);
    // Memory DCs and surfaces are no printers.
    auto mem = CreateMemoryDC(4, 4, 32);
    EXPECT_EQ(mem->StartDoc("x"), SP_ERROR);
    PrinterInfo bad = A4At300();
    bad.dpiX = 0;
    EXPECT_FALSE(CreatePrinterDC(bad, sink));
}

namespace {
int g_bandsBeforeCancel = 0;
BOOL CancelAfterBands(HDC, int) { return g_bandsBeforeCancel-- > 0; }
}  // namespace

TEST(PrinterDC, AbortProcedureStopsTheJob) {
    ImageSink sink;
    PrinterInfo info = A4At300();
    info.bandHeight = 500;
    auto dc = CreatePrinterDC(info, sink);
    ASSERT_GT(dc->SetAbortProc(CancelAfterBands), 0);
    g_bandsBeforeCancel = 3;  // yes at StartPage and after two bands, no after the third
    ASSERT_GT(dc->StartDoc("x"), 0);
    ASSERT_GT(dc->StartPage(), 0);
    EXPECT_EQ(dc->EndPage(), SP_ERROR);
    EXPECT_TRUE(sink.aborted);
    EXPECT_EQ(sink.pages[0].bands, 3);
    EXPECT_EQ(dc->EndDoc(), SP_ERROR);  // the document is gone
}
