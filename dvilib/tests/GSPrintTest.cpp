// Printing Ghostscript's own BMP streams: pages rendered by gs into a pipe
// with its mono, grey and colour BMP devices are read back page by page,
// printed on a printer DC, and compared with the PNG files gs renders from
// the same document at the same resolution.
#include <gtest/gtest.h>
#include <png.h>

#include <map>
#include <string>
#include <vector>

#include "dvilib/GSFile.h"
#include "dvilib/PrintDIB.h"
#include "dvilib/tests/DviTestSupport.h"
#include "dvilib/tests/PrintTestSupport.h"
#include "platform/sys/Process.h"

using namespace printtest;

namespace {

// A sheet of 425 x 550 pixels at 50 dpi (odd width: rows are padded); the
// printable area starts at (12, 9).
PrinterInfo Printer() {
    PrinterInfo p;
    p.dpiX = p.dpiY = 50;
    p.physicalWidth = 425, p.physicalHeight = 550;
    p.offsetX = 12, p.offsetY = 9;
    p.printableWidth = 400, p.printableHeight = 530;
    p.bandHeight = 100;
    return p;
}

// Four pages: two paragraphs of black text with a bar running off the left
// edge; grey and black; red, green and black; nothing.
const char* kDocument = R"(%!PS
/Times-Roman findfont 18 scalefont setfont
/para { /y exch def 3 { 72 y moveto (The quick brown fox jumps over) show /y y 22 sub def } repeat } def
700 para 450 para 0 200 40 30 rectfill showpage
0.5 setgray 100 300 200 120 rectfill 0 setgray 200 100 80 80 rectfill 72 650 moveto (Grey and black) show showpage
1 0 0 setrgbcolor 150 400 150 150 rectfill 0 0.6 0 setrgbcolor 72 300 moveto (Green text) show
0 setgray 72 150 moveto (Black text) show showpage
showpage
)";

class Fixture {
public:
    Fixture() {
        ps_ = dir_.File("doc.ps");
        std::string text = kDocument;
        dvitest::WriteFile(ps_, std::vector<unsigned char>(text.begin(), text.end()));
    }
    const std::string& Document() const { return ps_; }
    std::string Dir() const { return dir_.Path().string(); }

private:
    dvitest::TempDir dir_;
    std::string ps_;
};

Fixture& Doc() {
    static Fixture f;
    return f;
}

std::vector<std::string> GsArgs(const std::string& device, const std::string& output) {
    PrinterInfo p = Printer();
    return {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sstdout=%stderr", "-sDEVICE=" + device,
            "-g" + std::to_string(p.physicalWidth) + "x" + std::to_string(p.physicalHeight),
            "-r" + std::to_string(p.dpiX), "-sOutputFile=" + output, Doc().Document()};
}

// gs rendering into a pipe, as the viewer starts it.
struct GsPipe {
    sys::Process gs;
    int fd = -1;
    explicit GsPipe(const std::string& device) {
        sys::Process::Options o;
        o.argv = GsArgs(device, "-");
        o.stdoutMode = sys::Process::Stream::Pipe;
        std::string error;
        EXPECT_TRUE(gs.Start(o, &error)) << error;
        fd = gs.TakeStdout();
    }
    ~GsPipe() {
        gs.Wait();
        EXPECT_EQ(gs.ExitCode(), 0);
    }
};

std::vector<unsigned char> WholeStream(const std::string& device) {
    GsPipe gs(device);
    CGSFile file(gs.fd);
    std::vector<unsigned char> all;
    unsigned char buf[65536];
    while (unsigned n = file.Read(buf, sizeof buf)) all.insert(all.end(), buf, buf + n);
    file.Close();
    return all;
}

// The reference pages, rendered to PNG files and read with libpng.
std::vector<Page> ReferencePages(const std::string& device) {
    std::string pattern = Doc().Dir() + "/" + device + "-%d.png";
    sys::Process gs;
    sys::Process::Options o;
    o.argv = GsArgs(device, pattern);
    EXPECT_TRUE(gs.Start(o));
    gs.Wait();
    EXPECT_EQ(gs.ExitCode(), 0);
    std::vector<Page> pages;
    for (int n = 1;; ++n) {
        std::string path = Doc().Dir() + "/" + device + "-" + std::to_string(n) + ".png";
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) break;
        image.format = PNG_FORMAT_RGB;
        std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
        EXPECT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << image.message;
        Page p;
        p.width = int(image.width), p.height = int(image.height);
        for (size_t i = 0; i + 2 < rgb.size(); i += 3)
            p.px.push_back(uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2]);
        pages.push_back(std::move(p));
    }
    return pages;
}

struct Printed {
    KeepingSink sink;
    std::vector<std::vector<Band>> bands;  // per page
    int pages = 0;
    GSPageError error = GSPageError::None;
};

// The viewer's page loop over a stream.
void PrintStream(Printed& out, int fd) {
    CGSFile file(fd);
    auto dc = CreatePrinterDC(Printer(), out.sink);
    ASSERT_TRUE(dc);
    ASSERT_GT(dc->StartDoc("Pdf print"), 0);
    RecordingPrintDIB dib;
    while (dib.ReadHeader(&file)) {
        ASSERT_GT(dc->StartPage(), 0);
        dib.bands.clear();
        int ok = dib.ReadPageRows(&file, dc.get(), 1);
        dc->EndPage();
        out.bands.push_back(dib.bands);
        if (!ok) break;
        ++out.pages;
    }
    out.error = dib.GetError();
    file.Close();
    dc->EndDoc();
}

void ExpectSamePage(const Page& printed, const Page& reference) {
    PrinterInfo p = Printer();
    ASSERT_EQ(reference.width, p.physicalWidth);
    ASSERT_EQ(reference.height, p.physicalHeight);
    ASSERT_EQ(printed.width, p.printableWidth);
    ASSERT_EQ(printed.height, p.printableHeight);
    int bad = 0;
    for (int y = 0; y < printed.height; ++y)
        for (int x = 0; x < printed.width; ++x) {
            uint32_t want = reference.At(x + p.offsetX, y + p.offsetY);
            if (printed.At(x, y) != want && bad++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << printed.At(x, y) << " not " << want;
        }
    EXPECT_EQ(bad, 0);
}

bool Inked(const Page& page) {
    for (uint32_t v : page.px)
        if ((v & 0xFFFFFF) != 0xFFFFFF) return true;
    return false;
}

struct Device {
    const char* bmp;
    const char* png;
};
const Device kDevices[] = {{"bmpmono", "pngmono"}, {"bmpgray", "pnggray"}, {"bmp16m", "png16m"}};

}  // namespace

TEST(GSPrint, PagesMatchGhostscriptsOwnRendering) {
    for (const Device& d : kDevices) {
        SCOPED_TRACE(d.bmp);
        std::vector<Page> reference = ReferencePages(d.png);
        ASSERT_EQ(reference.size(), 4u);
        Printed out;
        {
            GsPipe gs(d.bmp);
            PrintStream(out, gs.fd);
        }
        EXPECT_EQ(out.error, GSPageError::None);
        ASSERT_EQ(out.pages, 4);
        ASSERT_EQ(out.sink.pages.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE("page " + std::to_string(i + 1));
            ExpectSamePage(out.sink.pages[i], reference[i]);
        }
        if (std::string(d.bmp) == "bmpmono") {
            // Black text and bars have no grey: the grey rendering agrees.
            std::vector<Page> grey = ReferencePages("pnggray");
            ExpectSamePage(out.sink.pages[0], grey.at(0));
        }
        EXPECT_TRUE(Inked(out.sink.pages[0]));
        // Black text goes as 1-bit bands, one per run of inked rows; a blank
        // page sends nothing.
        EXPECT_GE(out.bands[0].size(), 6u);
        for (const Band& b : out.bands[0]) EXPECT_EQ(b.bitCount, 1);
        EXPECT_TRUE(out.bands[3].empty());
        auto depths = [](const std::vector<Band>& bands) {
            std::map<int, int> n;
            for (const Band& b : bands) ++n[b.bitCount];
            return n;
        };
        if (std::string(d.bmp) == "bmpgray") {
            EXPECT_GT(depths(out.bands[1])[8], 0);
        }
        if (std::string(d.bmp) == "bmp16m") {
            EXPECT_GT(depths(out.bands[2])[24], 0);
            EXPECT_GT(depths(out.bands[2])[1], 0);
        }
    }
}

TEST(GSPrint, StreamsInPiecesAndCutShort) {
    for (const Device& d : kDevices) {
        SCOPED_TRACE(d.bmp);
        std::vector<unsigned char> stream = WholeStream(d.bmp);
        Printed whole;
        {
            FedPipe pipe(stream);
            PrintStream(whole, pipe.Take());
        }
        ASSERT_EQ(whole.pages, 4);

        // Split at odd sizes and at every pipe-sized boundary: the same pages.
        const std::vector<std::vector<size_t>> feeds = {{1, 4095, 7, 65537, 13}, {4096}, {65536}, {3}};
        for (const auto& pieces : feeds) {
            SCOPED_TRACE("pieces of " + std::to_string(pieces[0]));
            Printed split;
            {
                FedPipe pipe(stream, pieces);
                PrintStream(split, pipe.Take());
            }
            EXPECT_EQ(split.error, GSPageError::None);
            ASSERT_EQ(split.pages, 4);
            for (int i = 0; i < 4; ++i) EXPECT_TRUE(split.sink.pages[i].px == whole.sink.pages[i].px) << i;
        }

        // Cut in the middle of the third page: two pages, then the error.
        size_t pageBytes = stream.size() / 4;  // the pages are the same size
        std::vector<unsigned char> cut(stream.begin(), stream.begin() + long(2 * pageBytes + pageBytes / 2));
        Printed part;
        {
            FedPipe pipe(cut, {4096});
            PrintStream(part, pipe.Take());
        }
        EXPECT_EQ(part.pages, 2);
        EXPECT_EQ(part.error, GSPageError::CutShort);
        ASSERT_GE(part.sink.pages.size(), 2u);
        for (int i = 0; i < 2; ++i) EXPECT_TRUE(part.sink.pages[i].px == whole.sink.pages[i].px) << i;
    }
}
