// CPrintDIB on BMP streams built here: bands, trimming, mono conversion,
// placement on the sheet, and streams that are malformed or cut short.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include "dvilib/GSFile.h"
#include "dvilib/PrintDIB.h"
#include "dvilib/tests/DviTestSupport.h"
#include "dvilib/tests/PrintTestSupport.h"
#include "platform/gdi/RecordingDC.h"

using namespace printtest;

namespace {

// A sheet of 64 x 100 pixels whose printable area starts at (5, 7).
PrinterInfo Printer() {
    PrinterInfo p;
    p.dpiX = p.dpiY = 72;
    p.physicalWidth = 64, p.physicalHeight = 100;
    p.offsetX = 5, p.offsetY = 7;
    p.printableWidth = 54, p.printableHeight = 86;
    p.bandHeight = 32;
    return p;
}

struct PrintRun {
    KeepingSink sink;
    RecordingPrintDIB dib;
    int pages = 0;
    GSPageError error = GSPageError::None;
};

// Prints a stream as the viewer's job does: a page per header, its rows, and
// a stop at the end of the stream or at the first failure.
void Print(PrintRun& run, const std::vector<unsigned char>& stream, std::vector<size_t> pieces = {}) {
    FedPipe pipe(stream, std::move(pieces));
    CGSFile file(pipe.Take());
    auto dc = CreatePrinterDC(Printer(), run.sink);
    ASSERT_TRUE(dc);
    ASSERT_GT(dc->StartDoc("stream"), 0);
    while (run.dib.ReadHeader(&file)) {
        ASSERT_GT(dc->StartPage(), 0);
        int ok = run.dib.ReadPageRows(&file, dc.get(), 1);
        dc->EndPage();
        if (!ok) break;
        ++run.pages;
    }
    run.error = run.dib.GetError();
    file.Close();
    dc->EndDoc();
}

std::vector<unsigned char> Join(std::initializer_list<std::vector<unsigned char>> parts) {
    std::vector<unsigned char> v;
    for (auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}

uint32_t Colour(const BmpPage& bmp, uint32_t v) { return bmp.bpp == 24 ? v : bmp.palette[v]; }

// Every printable pixel shows the image, laid with its bottom row on the
// sheet's bottom row, and white beyond it.
void ExpectPrinted(const Page& page, const BmpPage& bmp) {
    PrinterInfo p = Printer();
    ASSERT_EQ(page.width, p.printableWidth);
    ASSERT_EQ(page.height, p.printableHeight);
    int bad = 0;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            int sx = x + p.offsetX, sy = y + p.offsetY - (p.physicalHeight - bmp.height);
            uint32_t want = 0xFFFFFF;
            if (sx < bmp.width && sy >= 0 && sy < bmp.height)
                want = Colour(bmp, bmp.pixels[size_t(sy) * size_t(bmp.width) + size_t(sx)]);
            if (page.At(x, y) != want && bad++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << page.At(x, y) << " not " << want;
        }
    EXPECT_EQ(bad, 0);
}

const std::vector<uint32_t> kMonoPalette = {0xFFFFFF, 0x000000};  // as Ghostscript's mono device writes it

}  // namespace

TEST(PrintDIB, BandsTrimmingAndMonoConversion) {
    struct Case {
        const char* name;
        BmpPage bmp;
        std::vector<Band> bands;
    };
    std::vector<Case> cases;
    {
        BmpPage b(60, 100, 8, GreyPalette(), 255);
        b.padByte = 0;  // the black index: padding is not ink
        cases.push_back({"white page", b, {}});
    }
    {
        // Two paragraphs of pure black: two 1-bit bands, the lower one first.
        BmpPage b(61, 100, 8, GreyPalette(), 255);
        b.Fill(20, 10, 30, 20, 0);
        b.Fill(22, 50, 40, 60, 0);
        cases.push_back({"two black paragraphs", b, {{17, 43, 18, 10, 1, 0}, {15, 3, 10, 10, 1, 0}}});
        BmpPage g = b;
        g.Set(25, 12, 0x80);
        cases.push_back({"one grey pixel", g, {{17, 43, 18, 10, 1, 0}, {15, 3, 10, 10, 8, 0}}});
    }
    {
        // Bottom row on the sheet's last row, top row above the printable area.
        BmpPage b(64, 100, 8, GreyPalette(), 255);
        b.Fill(0, 0, 64, 1, 0);
        b.Fill(30, 99, 31, 100, 0);
        cases.push_back({"first and last rows", b, {{25, 92, 1, 1, 1, 0}, {-5, -7, 64, 1, 1, 0}}});
    }
    {
        // Colour: red keeps 24 bits, grey too, black alone becomes 1 bit.
        BmpPage b(50, 100, 24, {}, 0xFFFFFF);
        b.Fill(10, 10, 20, 20, 0x000000);
        b.Fill(10, 30, 20, 40, 0x000000);
        b.Set(15, 35, 0xFF0000);
        b.Fill(10, 60, 20, 70, 0x000000);
        b.Set(11, 61, 0x808080);
        cases.push_back({"colour", b, {{5, 53, 10, 10, 24, 0}, {5, 23, 10, 10, 24, 0}, {5, 3, 10, 10, 1, 0}}});
    }
    {
        // 1 bit: trimmed to whole bytes (columns 8 to 23).
        BmpPage b(60, 100, 1, kMonoPalette, 0);
        b.Fill(13, 40, 18, 45, 1);
        cases.push_back({"mono", b, {{3, 33, 16, 5, 1, 0}}});
    }
    {
        // No white in the palette: nothing is blank or trimmed, nothing converted.
        BmpPage b(60, 100, 8, {0x000080, 0xC8C8C8, 0x000000}, 1);
        b.Fill(20, 20, 30, 30, 2);
        cases.push_back({"palette without white", b, {{-5, -7, 60, 100, 8, 0}}});
        // White at index 2 and black at 0: conversion follows the palette.
        BmpPage w(60, 100, 8, {0x000000, 0x123456, 0xFFFFFF, 0xFFFFFF}, 2);
        w.Fill(20, 20, 30, 30, 0);
        w.Set(21, 21, 3);
        cases.push_back({"white not first", w, {{15, 13, 10, 10, 1, 0}}});
    }
    {
        // 4 bits have no row scan: printed whole.
        BmpPage b(60, 100, 4, {0xFFFFFF, 0x0000FF, 0x00FF00}, 0);
        b.Fill(5, 5, 9, 9, 1);
        b.Fill(40, 80, 44, 84, 2);
        cases.push_back({"4 bits", b, {{-5, -7, 60, 100, 4, 0}}});
    }
    {
        // Rows of 12000 bytes: 87 fit in the band buffer.
        BmpPage b(4000, 100, 24, {}, 0xFF0000);
        cases.push_back({"band buffer full", b, {{-5, 6, 4000, 87, 24, 0}, {-5, -7, 4000, 13, 24, 0}}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrintRun run;
        Print(run, c.bmp.Bytes());
        EXPECT_EQ(run.pages, 1);
        EXPECT_EQ(run.error, GSPageError::None);
        ASSERT_EQ(run.dib.bands.size(), c.bands.size());
        for (size_t i = 0; i < c.bands.size(); ++i) {
            const Band& got = run.dib.bands[i];
            const Band& want = c.bands[i];
            EXPECT_EQ(got.x, want.x) << i;
            EXPECT_EQ(got.y, want.y) << i;
            EXPECT_EQ(got.width, want.width) << i;
            EXPECT_EQ(got.height, want.height) << i;
            EXPECT_EQ(got.bitCount, want.bitCount) << i;
            EXPECT_EQ(got.usage, DIB_RGB_COLORS) << i;
        }
        ASSERT_EQ(run.sink.pages.size(), 1u);
        ExpectPrinted(run.sink.pages[0], c.bmp);
    }
}

TEST(PrintDIB, RowWiderThanTheBandBuffer) {
    // 400000 pixels at 24 bits: each row needs a band of its own size.
    BmpPage wide(400000, 10, 24, {}, 0xFFFFFF);
    wide.Fill(30, 0, 31, 3, 0x0000FF);
    PrintRun run;
    Print(run, wide.Bytes());
    EXPECT_EQ(run.pages, 1);
    ASSERT_EQ(run.dib.bands.size(), 3u);
    for (const Band& b : run.dib.bands) EXPECT_EQ(b.height, 1);
    EXPECT_EQ(run.dib.bands[0].x, 25);
    EXPECT_EQ(run.dib.bands[0].width, 1);
    EXPECT_EQ(run.dib.bands[0].y, 85);
    EXPECT_EQ(run.sink.pages.at(0).At(25, 85), 0x0000FFu);
    EXPECT_EQ(run.sink.pages.at(0).At(25, 83), 0x0000FFu);
    EXPECT_EQ(run.sink.pages.at(0).At(25, 82), 0xFFFFFFu);
    EXPECT_EQ(run.sink.pages.at(0).At(24, 84), 0xFFFFFFu);

    // Rows beyond the largest band fail the page.
    BmpPage huge(12000000, 1, 24, {}, 0xFFFFFF);
    std::vector<unsigned char> head = BmpPage(1, 1, 24, {}, 0).Bytes();
    head.resize(54);
    for (int i = 0; i < 4; ++i) head[18 + i] = uint8_t(12000000u >> (8 * i));
    PrintRun big;
    Print(big, head);
    EXPECT_EQ(big.pages, 0);
    EXPECT_EQ(big.error, GSPageError::RowTooWide);
}

TEST(PrintDIB, StreamsMalformedOrCutShort) {
    BmpPage one(60, 100, 8, GreyPalette(), 255);
    one.Fill(10, 10, 20, 20, 0);
    BmpPage two(60, 100, 8, GreyPalette(), 255);
    two.Fill(30, 70, 50, 80, 0x40);
    std::vector<unsigned char> a = one.Bytes(), b = two.Bytes();

    BmpPage gap = two;  // header and colour table followed by 200 unused bytes
    gap.extraHeader = 200;
    std::vector<unsigned char> shortOffset = b;
    shortOffset[10] = 30, shortOffset[11] = 0;
    std::vector<unsigned char> notBmp = b;
    notBmp[0] = 'P';
    std::vector<unsigned char> coreless = b;  // header size 20: neither core nor info
    coreless[14] = 20;

    struct Case {
        const char* name;
        std::vector<unsigned char> stream;
        int pages;
        GSPageError error;
    };
    std::vector<Case> cases = {
        {"two whole pages", Join({a, b}), 2, GSPageError::None},
        {"empty stream", {}, 0, GSPageError::None},
        {"offset beyond the header buffer", Join({a, gap.Bytes(), a}), 3, GSPageError::None},
        {"offset too small", Join({a, shortOffset}), 1, GSPageError::BadHeader},
        {"bad header size", Join({a, coreless}), 1, GSPageError::BadHeader},
        {"not a BMP", Join({a, notBmp}), 1, GSPageError::NotBmp},
        {"cut in the file header", Join({a, {b.begin(), b.begin() + 9}}), 1, GSPageError::CutShort},
        {"cut in the colour table", Join({a, {b.begin(), b.begin() + 300}}), 1, GSPageError::CutShort},
        {"cut in the rows", Join({a, {b.begin(), b.end() - 61}}), 1, GSPageError::CutShort},
    };
    const std::vector<std::vector<size_t>> feeds = {{}, {1}, {13, 7, 4093, 2}};
    for (const Case& c : cases)
        for (const auto& pieces : feeds) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + (pieces.empty() ? "all" : std::to_string(pieces[0])));
            PrintRun run;
            Print(run, c.stream, pieces);
            EXPECT_EQ(run.pages, c.pages);
            EXPECT_EQ(run.error, c.error);
            ASSERT_GE(run.sink.pages.size(), size_t(std::min(c.pages, 1)));
            if (c.pages > 0) ExpectPrinted(run.sink.pages[0], one);
            if (c.pages > 1) ExpectPrinted(run.sink.pages[1], two);
        }
}

TEST(PrintDIB, PagesThatAreNotPrintedAreStillRead) {
    BmpPage one(60, 100, 8, GreyPalette(), 255), two(60, 100, 1, kMonoPalette, 0);
    one.Fill(1, 1, 5, 5, 0);
    two.Fill(9, 9, 30, 12, 1);
    FedPipe pipe(Join({one.Bytes(), two.Bytes()}), {999});
    CGSFile file(pipe.Take());
    KeepingSink sink;
    auto dc = CreatePrinterDC(Printer(), sink);
    dc->StartDoc("skip");
    RecordingPrintDIB dib;
    ASSERT_EQ(dib.ReadHeader(&file), 1);
    EXPECT_EQ(dib.GetWidth(), 60);
    EXPECT_EQ(dib.GetHeight(), 100);
    EXPECT_EQ(dib.GetBitCount(), 8);
    EXPECT_EQ(dib.GetStride(), 60u);
    EXPECT_EQ(dib.ReadPageRows(&file, dc.get(), 0), 1);
    EXPECT_TRUE(dib.bands.empty());
    ASSERT_EQ(dib.ReadHeader(&file), 1);
    dc->StartPage();
    // The caller's own row loop.
    std::vector<unsigned char> row(dib.GetStride());
    for (int r = 0; r < dib.GetHeight(); ++r) {
        ASSERT_EQ(file.ReadFully(row.data(), unsigned(row.size())), row.size());
        dib.AddPrintLine(dc.get(), unsigned(r), row.data());
    }
    dib.FlushPrintBitmap(dc.get());
    dc->EndPage();
    EXPECT_EQ(dib.ReadHeader(&file), 0);
    EXPECT_EQ(dib.GetError(), GSPageError::None);
    file.Close();
    dc->EndDoc();
    ASSERT_EQ(dib.bands.size(), 1u);
    ASSERT_EQ(sink.pages.size(), 1u);
    ExpectPrinted(sink.pages[0], two);
}

TEST(GSFile, OpenReadWriteSeek) {
    dvitest::TempDir dir;
    std::string path = dir.File("f.bin");
    CGSFile f;
    EXPECT_EQ(f.GetHandle(), -1);
    EXPECT_EQ(f.Open(path.c_str(), 1), 0);  // never creates
    EXPECT_EQ(f.GetHandle(), -1);
    EXPECT_EQ(f.Read(nullptr, 0), 0u);
    dvitest::WriteFile(path, std::vector<unsigned char>{'a', 'b', 'c', 'd', 'e'});
    ASSERT_EQ(f.Open(path.c_str(), 0x11), 1);
    EXPECT_EQ(f.Write("XY", 2), 2u);
    EXPECT_EQ(f.Read(nullptr, 1), 0u);
    f.Close();
    ASSERT_EQ(f.Open(path.c_str(), 0x20), 1);
    char buf[8] = {};
    EXPECT_EQ(f.Write("Z", 1), 0u);  // opened for reading
    EXPECT_EQ(f.Seek(0, 2), 5);
    EXPECT_EQ(f.Seek(-2, 1), 3);
    EXPECT_EQ(f.Read(buf, 8), 2u);
    EXPECT_STREQ(buf, "de");
    EXPECT_EQ(f.Seek(0, 0), 0);
    EXPECT_EQ(f.ReadFully(buf, 8), 5u);
    EXPECT_EQ(std::string(buf, 5), "XYcde");
    EXPECT_EQ(f.Read(buf, 8), 0u);
    f.Close();
    EXPECT_EQ(f.GetHandle(), -1);
    EXPECT_EQ(f.Seek(0, 0), -1);
}

TEST(PrintDIB, DeviceCapabilities) {
    // A colour 8-bit band on devices with and without palettes and DIB support.
    BmpPage bmp(20, 10, 8, {0xFFFFFF, 0x00FF00, 0x0000FF}, 0);
    bmp.Fill(4, 2, 8, 6, 1);
    bmp.Set(5, 3, 2);
    struct Case {
        int caps;
        std::vector<std::string> calls;
        bool drawn;
    };
    const Case cases[] = {
        {RC_STRETCHDIB | RC_DIBTODEV, {"SetStretchBltMode(3)", "StretchDIBits(4,2,4,4,0,0,4,4,0x0,0xcc0020)"}, true},
        {RC_STRETCHDIB | RC_DIBTODEV | RC_PALETTE,
         {"SelectPalette", "RealizePalette()", "SetStretchBltMode(3)", "StretchDIBits(4,2,4,4,0,0,4,4,0x1,0xcc0020)",
          "SelectPalette"},
         true},
        {RC_STRETCHDIB,
         {R"(ExtTextOutW(10,10,0x0,{0,0,0,0},"Device doesn't support SetDIBitsToDevice"))", "SetStretchBltMode(3)",
          "StretchDIBits(4,2,4,4,0,0,4,4,0x0,0xcc0020)"},
         true},
        {RC_DIBTODEV, {R"(ExtTextOutW(10,10,0x0,{0,0,0,0},"Device doesn't support StretchDIBits"))"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caps);
        RecordingDC dc(20, 10);
        DeviceCaps caps = dc.Caps();
        caps.physicalHeight = 10;
        caps.rasterCaps = c.caps;
        dc.SetDeviceCaps(caps);
        dc.ClearCalls();
        FedPipe pipe(bmp.Bytes());
        CGSFile file(pipe.Take());
        CPrintDIB dib;
        ASSERT_EQ(dib.ReadHeader(&file), 1);
        EXPECT_EQ(dib.ReadPageRows(&file, &dc, 1), 1);
        file.Close();
        std::vector<std::string> calls;
        for (const std::string& line : dc.Calls()) {
            if (line.rfind("GetDeviceCaps", 0) == 0) continue;
            calls.push_back(line.rfind("SelectPalette", 0) == 0 ? "SelectPalette" : line);
        }
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(dc.GetPixel(5, 3) & 0xFFFFFF, c.drawn ? 0xFF0000u : 0xFFFFFFu);
        EXPECT_EQ(dc.GetPixel(4, 2) & 0xFFFFFF, c.drawn ? 0x00FF00u : 0xFFFFFFu);
    }
}
