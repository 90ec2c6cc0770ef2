// The TIFF mode of the stream scanner: documents arriving in chunks, checked
// after every chunk by opening the temporary file with libtiff.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <functional>

#include "ProgressiveTestSupport.h"

using namespace progtest;

namespace {

using PixelFn = std::function<int(int page, int x, int y)>;

int LibtiffPixel(int page, int x, int y) { return (page * 100 + y * 16 + x) & 0xff; }
int BuiltPixel(int page, int x, int y) { return (page * 64 + y * 8 + x + 1) & 0xff; }

// A document of `pages` 16x12 grey pages in strips of 4 rows, written by libtiff.
void WriteTiff(const std::string& path, bool bigEndian, int pages) {
    TIFF* t = TIFFOpen(path.c_str(), bigEndian ? "wb" : "wl");
    ASSERT_NE(t, nullptr);
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 16);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, 12);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 4);
        TIFFSetField(t, TIFFTAG_PAGENUMBER, p, pages);
        for (int s = 0; s < 3; ++s) {
            unsigned char strip[64];
            for (int i = 0; i < 64; ++i) strip[i] = (unsigned char)LibtiffPixel(p, i % 16, s * 4 + i / 16);
            ASSERT_EQ(TIFFWriteEncodedStrip(t, uint32_t(s), strip, 64), 64);
        }
        ASSERT_EQ(TIFFWriteDirectory(t), 1);
    }
    TIFFClose(t);
}

// Pages that libtiff opens and reads with the expected pixels; -1 when it
// cannot open the file, -2 when a page reads wrong.
int PagesLibtiffReads(const std::string& path, const PixelFn& pixel) {
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (!t) return -1;
    const int n = TIFFNumberOfDirectories(t);
    int result = n;
    for (int d = 0; d < n && result >= 0; ++d) {
        uint32_t w = 0, h = 0;
        if (!TIFFSetDirectory(t, tdir_t(d)) || !TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w) ||
            !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h)) {
            result = -2;
            break;
        }
        std::vector<unsigned char> row(size_t(TIFFScanlineSize(t)));
        for (uint32_t y = 0; y < h && result >= 0; ++y) {
            if (TIFFReadScanline(t, row.data(), y, 0) != 1) result = -2;
            for (uint32_t x = 0; x < w && result >= 0; ++x)
                if (row[x] != pixel(d, int(x), int(y))) result = -2;
        }
    }
    TIFFClose(t);
    return result;
}

// TIFF files put together byte by byte: 8x4 grey pages of one strip each.
class TiffBuilder {
public:
    struct Entry {
        uint32_t tag, type, count, value;
    };

    explicit TiffBuilder(bool bigEndian = false) : be_(bigEndian) {
        b.push_back(be_ ? 'M' : 'I');
        b.push_back(be_ ? 'M' : 'I');
        U16(42);
        U32(0);
    }
    void U16(uint32_t v) {
        if (be_) b.insert(b.end(), {(unsigned char)(v >> 8), (unsigned char)v});
        else b.insert(b.end(), {(unsigned char)v, (unsigned char)(v >> 8)});
    }
    void U32(uint32_t v) {
        if (be_) {
            U16(v >> 16);
            U16(v & 0xffff);
        } else {
            U16(v & 0xffff);
            U16(v >> 16);
        }
    }
    void Set32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + size_t(i)] = (unsigned char)(be_ ? v >> (24 - 8 * i) : v >> (8 * i));
    }
    uint32_t Strip(int page) {
        uint32_t at = uint32_t(b.size());
        for (int i = 0; i < 32; ++i) b.push_back((unsigned char)BuiltPixel(page, i % 8, i / 8));
        return at;
    }
    static std::vector<Entry> PageEntries(uint32_t strip) {
        return {{256, 3, 1, 8}, {257, 3, 1, 4},     {258, 3, 1, 8}, {259, 3, 1, 1}, {262, 3, 1, 1},
                {273, 4, 1, strip}, {277, 3, 1, 1}, {278, 3, 1, 4}, {279, 4, 1, 32}};
    }
    // Writes a directory with a zero link; returns its offset.
    uint32_t Ifd(const std::vector<Entry>& entries) {
        uint32_t at = uint32_t(b.size());
        U16(uint32_t(entries.size()));
        for (const auto& e : entries) {
            U16(e.tag);
            U16(e.type);
            U32(e.count);
            if (e.type == 3 && e.count == 1) {
                U16(e.value);
                U16(0);
            } else {
                U32(e.value);
            }
        }
        U32(0);
        return at;
    }
    // The link of the header (from 0) or of the directory at `from`.
    void Link(uint32_t from, uint32_t to, size_t entriesOfFrom = 9) {
        Set32(from == 0 ? 4 : from + 2 + 12 * entriesOfFrom, to);
    }

    Bytes b;

private:
    bool be_;
};

// Two pages, each directory after its strip, as a writer appends them.
Bytes TwoPages(bool bigEndian = false) {
    TiffBuilder t(bigEndian);
    uint32_t d1 = t.Ifd(TiffBuilder::PageEntries(t.Strip(0)));
    uint32_t d2 = t.Ifd(TiffBuilder::PageEntries(t.Strip(1)));
    t.Link(0, d1);
    t.Link(d1, d2);
    return t.b;
}

struct FeedResult {
    int pages = 0;
    bool stopped = false;  // the scan ended before the data did
    Bytes fileBeforeEnd;
    Bytes file;
};

FeedResult FeedAll(const TempDir& dir, const Bytes& data, size_t chunk) {
    Fetch fetch(dir.File("fetch.tmp"), ProgressiveInput::kScanTiff, false);
    for (size_t at = 0; at < data.size(); at += chunk) fetch.Feed(data.data() + at, std::min(chunk, data.size() - at));
    FeedResult r;
    r.stopped = fetch.input.m_tiffState == TiffScanState::Done || fetch.input.m_tiffState == TiffScanState::Malformed;
    r.fileBeforeEnd = ReadFile(fetch.Path());
    fetch.End();
    r.pages = fetch.input.GetTiffPages();
    r.file = ReadFile(fetch.Path());
    return r;
}

class TiffStream : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    }
    TempDir dir;
};

} // namespace

TEST_F(TiffStream, TwoPageTiffInChunksOpensAsOnePageThenTwo) {
    for (bool bigEndian : {false, true}) {
        const std::string source = dir.File(bigEndian ? "mm.tif" : "ii.tif");
        WriteTiff(source, bigEndian, 2);
        const Bytes data = ReadFile(source);
        ASSERT_EQ(PagesLibtiffReads(source, LibtiffPixel), 2);
        // Where page 2's strips begin: page 1 is whole before that.
        uint64_t page2Data = 0;
        {
            TIFF* t = TIFFOpen(source.c_str(), "r");
            ASSERT_TRUE(t && TIFFSetDirectory(t, 1));
            page2Data = TIFFGetStrileOffset(t, 0);
            TIFFClose(t);
        }
        for (size_t chunk : {size_t(1), size_t(13), size_t(20480)}) {
            SCOPED_TRACE(std::string(bigEndian ? "MM" : "II") + " chunk " + std::to_string(chunk));
            Fetch fetch(dir.File("fetch.tmp"), ProgressiveInput::kScanTiff, false);
            int known = 0;
            for (size_t at = 0; at < data.size(); at += chunk) {
                const int reported = fetch.Feed(data.data() + at, std::min(chunk, data.size() - at));
                const int pages = fetch.input.GetTiffPages();
                ASSERT_EQ(reported, pages > known ? 1 : 0) << at;
                ASSERT_GE(pages, known) << at;
                known = pages;
                ASSERT_EQ(PagesLibtiffReads(fetch.Path(), LibtiffPixel), pages == 0 ? -1 : pages) << at;
                if (uint64_t(fetch.Length()) > page2Data) {
                    ASSERT_GE(pages, 1) << at;
                }
            }
            fetch.End();
            EXPECT_EQ(known, 2);
            EXPECT_EQ(ReadFile(fetch.Path()), data);
        }
    }
}

TEST_F(TiffStream, FirstDirectoryAtTheEndIsReportedOnlyWhenItArrives) {
    // Page 2 first, then page 1, with page 1's directory last in the file.
    TiffBuilder t;
    uint32_t d2 = t.Ifd(TiffBuilder::PageEntries(t.Strip(1)));
    uint32_t d1 = t.Ifd(TiffBuilder::PageEntries(t.Strip(0)));
    t.Link(0, d1);
    t.Link(d1, d2);
    const std::string whole = dir.File("whole.tif");
    WriteFile(whole, t.b);
    ASSERT_EQ(PagesLibtiffReads(whole, BuiltPixel), 2);

    Fetch fetch(dir.File("fetch.tmp"), ProgressiveInput::kScanTiff, false);
    for (size_t at = 0; at < t.b.size(); at += 10) {
        const size_t n = std::min<size_t>(10, t.b.size() - at);
        const int reported = fetch.Feed(t.b.data() + at, n);
        const bool last = at + n == t.b.size();
        ASSERT_EQ(reported, last ? 1 : 0) << at;
        ASSERT_EQ(fetch.input.GetTiffPages(), last ? 2 : 0) << at;
        ASSERT_EQ(PagesLibtiffReads(fetch.Path(), BuiltPixel), last ? 2 : -1) << at;
    }
    fetch.End();
    EXPECT_EQ(ReadFile(fetch.Path()), t.b);
}

TEST_F(TiffStream, MalformedFilesStopCountingAndTheFileStaysAsItArrived) {
    // A case whose scan stops leaves the file as it arrived at once; one that
    // waits for more data holds the link until the end of data.
    struct Case {
        const char* label;
        Bytes data;
        int pages;
        bool waits = false;
    };
    std::vector<Case> cases;
    auto twoPages = [](const std::function<void(TiffBuilder&, std::vector<TiffBuilder::Entry>&,
                                                std::vector<TiffBuilder::Entry>&)>& change,
                       const std::function<void(TiffBuilder&, uint32_t, uint32_t)>& link = nullptr) {
        TiffBuilder t;
        auto e1 = TiffBuilder::PageEntries(t.Strip(0));
        auto e2 = TiffBuilder::PageEntries(t.Strip(1));
        change(t, e1, e2);
        uint32_t d1 = t.Ifd(e1);
        uint32_t d2 = t.Ifd(e2);
        t.Link(0, d1);
        t.Link(d1, d2, e1.size());
        if (link) link(t, d1, d2);
        return t.b;
    };
    auto same = [](TiffBuilder&, auto&, auto&) {};
    cases.push_back({"intact", twoPages(same), 2});
    cases.push_back({"big-endian", TwoPages(true), 2});
    cases.push_back({"chain loops back", twoPages(same, [](TiffBuilder& t, uint32_t d1, uint32_t d2) {
                         t.Link(d2, d1);
                     }), 2});
    cases.push_back({"directory links to itself", twoPages(same, [](TiffBuilder& t, uint32_t d1, uint32_t) {
                         t.Link(d1, d1);
                     }), 1});
    cases.push_back({"link into the header", twoPages(same, [](TiffBuilder& t, uint32_t d1, uint32_t) {
                         t.Link(d1, 4);
                     }), 1});
    {
        Bytes b = TwoPages();
        b[2] = 43;
        cases.push_back({"wrong magic", b, 0});
        b = TwoPages();
        b[1] = 'M';
        cases.push_back({"mixed byte-order mark", b, 0});
        b = TwoPages();
        b.resize(b.size() - 40);
        cases.push_back({"cut inside page 2", b, 1, true});
    }
    cases.push_back({"field type 0 on page 2", twoPages([](TiffBuilder&, auto&, auto& e2) { e2[4].type = 0; }), 1});
    cases.push_back({"field type 14", twoPages([](TiffBuilder&, auto& e1, auto&) { e1[4].type = 14; }), 0});
    cases.push_back({"sub-directory field of type 13",
                     twoPages([](TiffBuilder&, auto& e1, auto&) { e1.push_back({330, 13, 1, 8}); }), 2});
    cases.push_back({"strip counts differ on page 1",
                     twoPages([](TiffBuilder&, auto& e1, auto&) { e1[8] = {279, 3, 2, 0x00100010}; }), 0});
    cases.push_back({"no strip byte counts", twoPages([](TiffBuilder&, auto& e1, auto&) { e1.pop_back(); }), 0});
    cases.push_back({"strip offsets as bytes", twoPages([](TiffBuilder&, auto& e1, auto&) { e1[5].type = 1; }), 0});
    cases.push_back({"field data past 4 GiB",
                     twoPages([](TiffBuilder&, auto& e1, auto&) { e1.push_back({700, 1, 0xFFFFFFF0u, 0x100}); }), 0, true});
    cases.push_back({"strip past 4 GiB",
                     twoPages([](TiffBuilder&, auto& e1, auto&) { e1[5].value = 0xFFFFFFF0u; }), 0, true});
    cases.push_back({"huge strip count", twoPages([](TiffBuilder&, auto& e1, auto&) {
                         e1[5] = {273, 4, 0x40000000u, 8};
                         e1[8] = {279, 4, 0x40000000u, 8};
                     }), 0, true});

    for (const auto& c : cases) {
        for (size_t chunk : {size_t(5), size_t(4096)}) {
            SCOPED_TRACE(std::string(c.label) + ", chunk " + std::to_string(chunk));
            FeedResult r = FeedAll(dir, c.data, chunk);
            EXPECT_EQ(r.pages, c.pages);
            EXPECT_EQ(r.stopped, !c.waits);
            if (r.stopped) {
                EXPECT_EQ(r.fileBeforeEnd, c.data);
            }
            EXPECT_EQ(r.file, c.data);
        }
    }
}

TEST_F(TiffStream, ArrivedCopyHasTheHeldLinkRestored) {
    const Bytes data = TwoPages();
    Fetch fetch(dir.File("fetch.tmp"), ProgressiveInput::kScanTiff, false);
    // Page 1 and half of page 2's strip.
    const size_t part = 8 + 32 + 2 + 9 * 12 + 4 + 16;
    fetch.Feed(data.data(), part);
    ASSERT_EQ(fetch.input.GetTiffPages(), 1);
    const Bytes arrived(data.begin(), data.begin() + long(part));
    EXPECT_NE(ReadFile(fetch.Path()), arrived);  // the link to page 2 is held at zero
    EXPECT_EQ(PagesLibtiffReads(fetch.Path(), BuiltPixel), 1);

    const std::string copy = dir.File("saved.tif");
    EXPECT_EQ(fetch.input.WriteArrivedCopy(copy.c_str()), 0);
    EXPECT_EQ(ReadFile(copy), arrived);
    EXPECT_NE(fetch.input.WriteArrivedCopy(dir.File("no/such/dir.tif").c_str()), 0);

    fetch.Feed(data.data() + part, data.size() - part);
    EXPECT_EQ(fetch.input.GetTiffPages(), 2);
    EXPECT_EQ(fetch.input.WriteArrivedCopy(copy.c_str()), 0);
    EXPECT_EQ(ReadFile(copy), data);
    EXPECT_EQ(ReadFile(fetch.Path()), data);
}
