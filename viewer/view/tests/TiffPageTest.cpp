#include "viewer/view/TiffPage.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string t = (fs::temp_directory_path() / "tiffpage.XXXXXX").string();
        path_ = mkdtemp(t.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (fs::path(path_) / name).string(); }

private:
    std::string path_;
};

using PixelFn = std::function<bool(uint32_t x, uint32_t y)>; // true: black

struct Page {
    uint32_t width = 0, height = 0;
    uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    uint16_t bitsPerSample = 1, samplesPerPixel = 1;
    uint16_t compression = COMPRESSION_NONE;
    uint32_t rowsPerStrip = 0; // 0: one strip
    uint32_t tile = 0;         // tile side, 0: strips
    std::vector<uint8_t> rows; // packed scanlines, top first
};

// A bilevel page: black pixels are 1 for min-is-white and 0 for min-is-black;
// the padding bits of each row are set, so that decoding must ignore them.
Page Bilevel(uint32_t w, uint32_t h, const PixelFn& black, uint16_t photometric = PHOTOMETRIC_MINISWHITE) {
    Page p;
    p.width = w;
    p.height = h;
    p.photometric = photometric;
    const size_t line = (w + 7) / 8;
    p.rows.assign(line * h, 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < line * 8; ++x) {
            bool bit = x >= w || (black(x, y) == (photometric == PHOTOMETRIC_MINISWHITE));
            if (bit) p.rows[y * line + x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    return p;
}

void Write(const std::string& path, const Page& p) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, p.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, p.bitsPerSample);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, p.samplesPerPixel);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, p.photometric);
    TIFFSetField(t, TIFFTAG_COMPRESSION, p.compression);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const size_t line = (size_t(p.width) * p.bitsPerSample * p.samplesPerPixel + 7) / 8;
    ASSERT_EQ(p.rows.size(), line * p.height);
    if (p.tile) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, p.tile);
        TIFFSetField(t, TIFFTAG_TILELENGTH, p.tile);
        const size_t tileLine = (size_t(p.tile) * p.bitsPerSample * p.samplesPerPixel + 7) / 8;
        ASSERT_EQ(p.bitsPerSample * p.samplesPerPixel % 8 == 0 || p.width % 8 == 0, true);
        std::vector<uint8_t> tile(tileLine * p.tile);
        for (uint32_t ty = 0; ty < p.height; ty += p.tile)
            for (uint32_t tx = 0; tx < p.width; tx += p.tile) {
                std::fill(tile.begin(), tile.end(), 0);
                const size_t bx = size_t(tx) * p.bitsPerSample * p.samplesPerPixel / 8;
                for (uint32_t r = 0; r < p.tile && ty + r < p.height; ++r)
                    for (size_t b = 0; b < tileLine && bx + b < line; ++b)
                        tile[r * tileLine + b] = p.rows[(ty + r) * line + bx + b];
                ASSERT_GE(TIFFWriteTile(t, tile.data(), tx, ty, 0, 0), 0);
            }
    } else {
        const uint32_t rps = p.rowsPerStrip ? p.rowsPerStrip : p.height;
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rps);
        uint32_t s = 0;
        for (uint64_t y = 0; y < p.height; ++s, y += rps) {
            const uint32_t n = uint32_t(std::min<uint64_t>(rps, p.height - y));
            ASSERT_GE(TIFFWriteEncodedStrip(t, s, const_cast<uint8_t*>(p.rows.data() + y * line), tmsize_t(n * line)), 0);
        }
    }
    TIFFClose(t);
}

struct Dib {
    bool ok = false;
    BITMAPINFOHEADER header{};
    RGBQUAD colors[16]{};
    std::vector<uint8_t> bits;

    size_t Stride() const { return size_t(DibRowBytes(header.biWidth, header.biBitCount)); }
    // Pixel value at (x, y), y counted from the top of the picture.
    uint32_t At(uint32_t x, uint32_t y) const {
        const uint8_t* row = bits.data() + (header.biHeight - 1 - y) * Stride();
        switch (header.biBitCount) {
        case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
        case 4: return x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4;
        default: return row[x * 4] | row[x * 4 + 1] << 8 | row[x * 4 + 2] << 16 | uint32_t(row[x * 4 + 3]) << 24;
        }
    }
};

Dib Decode(const std::string& path, int rotation = 0, int dispMag = 10000) {
    Dib d;
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (!t) return d;
    alignas(8) uint8_t info[kTiffPageInfoBytes];
    std::memset(info, 0xAB, sizeof info);
    std::unique_ptr<uint8_t[]> pixels = DecodeTiffPage(t, reinterpret_cast<BITMAPINFO*>(info), &rotation, &dispMag);
    TIFFClose(t);
    if (!pixels) return d;
    d.ok = true;
    std::memcpy(&d.header, info, sizeof d.header);
    std::memcpy(d.colors, info + sizeof d.header, sizeof d.colors);
    d.bits.assign(pixels.get(), pixels.get() + d.Stride() * d.header.biHeight);
    return d;
}

// The 1-bit DIB of a pattern: set bits are black, padding clear.
std::vector<uint8_t> ExpectedMono(uint32_t w, uint32_t h, const PixelFn& black) {
    const size_t stride = size_t(DibRowBytes(w, 1));
    std::vector<uint8_t> out(stride * h, 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            if (black(x, y)) out[(h - 1 - y) * stride + x / 8] |= uint8_t(0x80 >> (x % 8));
    return out;
}

// The 4-bit DIB of a pattern reduced by exactly 2 in both directions.
std::vector<uint8_t> ExpectedHalf(uint32_t w, uint32_t h, const PixelFn& black) {
    static const uint8_t level[5] = {0, 3, 7, 11, 15};
    const uint32_t ow = w / 2, oh = h / 2;
    const size_t stride = size_t(DibRowBytes(ow, 4));
    std::vector<uint8_t> out(stride * oh, 0);
    for (uint32_t y = 0; y < oh; ++y)
        for (uint32_t x = 0; x < ow; ++x) {
            int k = black(2 * x, 2 * y) + black(2 * x + 1, 2 * y) + black(2 * x, 2 * y + 1) + black(2 * x + 1, 2 * y + 1);
            out[(oh - 1 - y) * stride + x / 2] |= uint8_t(x % 2 ? level[k] : level[k] << 4);
        }
    return out;
}

bool Scan(uint32_t x, uint32_t y) { return ((x / 3) * 7 + (y / 5) * 3 + x * y) % 11 < 4; }

void ExpectHeader(const Dib& d, int width, int height, int bitCount) {
    EXPECT_EQ(d.header.biSize, 40u);
    EXPECT_EQ(d.header.biWidth, width);
    EXPECT_EQ(d.header.biHeight, height);
    EXPECT_EQ(d.header.biPlanes, 1);
    EXPECT_EQ(d.header.biBitCount, bitCount);
    EXPECT_EQ(d.header.biCompression, BI_RGB);
    EXPECT_EQ(d.header.biSizeImage, 0u);
    EXPECT_EQ(d.header.biXPelsPerMeter, 72);
    EXPECT_EQ(d.header.biYPelsPerMeter, 72);
    EXPECT_EQ(d.header.biClrUsed, 0u);
    EXPECT_EQ(d.header.biClrImportant, 0u);
}

class TiffPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandler(nullptr);
    }
    TempDir dir;
};

TEST_F(TiffPage, ScannedPageAtFullSizeAndHalf) {
    // An A4 page at 300 dpi in several G4 strips, stored both ways round.
    const uint32_t w = 2480, h = 3508;
    const std::vector<uint8_t> mono = ExpectedMono(w, h, Scan);
    const std::vector<uint8_t> half = ExpectedHalf(w, h, Scan);
    for (uint16_t photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
        SCOPED_TRACE(photometric);
        Page p = Bilevel(w, h, Scan, photometric);
        p.compression = COMPRESSION_CCITTFAX4;
        p.rowsPerStrip = 500;
        const std::string path = dir.File("a4.tif");
        Write(path, p);

        Dib full = Decode(path);
        ASSERT_TRUE(full.ok);
        ExpectHeader(full, 2480, 3508, 1);
        EXPECT_EQ(full.Stride(), 312u);
        EXPECT_EQ(full.colors[0].rgbRed, 255);
        EXPECT_EQ(full.colors[0].rgbBlue, 255);
        EXPECT_EQ(full.colors[1].rgbGreen, 0);
        EXPECT_TRUE(full.bits == mono);

        Dib reduced = Decode(path, 0, 5000);
        ASSERT_TRUE(reduced.ok);
        ExpectHeader(reduced, 1240, 1754, 4);
        EXPECT_EQ(reduced.Stride(), 620u);
        for (int g = 0; g < 16; ++g) {
            EXPECT_EQ(reduced.colors[g].rgbBlue, (15 - g) * 17);
            EXPECT_EQ(reduced.colors[g].rgbRed, (15 - g) * 17);
            EXPECT_EQ(reduced.colors[g].rgbReserved, 0);
        }
        EXPECT_TRUE(reduced.bits == half);
    }
}

TEST_F(TiffPage, BoxAveragesToSixteenGreys) {
    // Five 2 x 2 boxes holding 0 to 4 black pixels.
    const char* top = "0010111111";
    const char* bottom = "0000001011";
    auto black = [&](uint32_t x, uint32_t y) { return (y ? bottom : top)[x] == '1'; };
    const std::string path = dir.File("boxes.tif");
    for (uint16_t photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
        Write(path, Bilevel(10, 2, black, photometric));
        Dib d = Decode(path, 0, 5000);
        ASSERT_TRUE(d.ok);
        ExpectHeader(d, 5, 1, 4);
        EXPECT_EQ(d.bits, (std::vector<uint8_t>{0x03, 0x7B, 0xF0, 0x00}));
    }
}

TEST_F(TiffPage, OddWidthIgnoresPaddingBits) {
    // 13 pixels: the padding bits of each row are set in the file. Only
    // column 12 is black; at 50 % it is a box of its own.
    auto lastColumn = [](uint32_t x, uint32_t) { return x == 12; };
    const std::string path = dir.File("odd.tif");
    for (uint16_t photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
        SCOPED_TRACE(photometric);
        Write(path, Bilevel(13, 2, lastColumn, photometric));
        Dib full = Decode(path);
        ASSERT_TRUE(full.ok);
        ExpectHeader(full, 13, 2, 1);
        EXPECT_EQ(full.bits, (std::vector<uint8_t>{0x00, 0x08, 0, 0, 0x00, 0x08, 0, 0}));

        Dib half = Decode(path, 0, 5000);
        ASSERT_TRUE(half.ok);
        ExpectHeader(half, 7, 1, 4);
        EXPECT_EQ(half.bits, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0xF0}));
    }
    Write(path, Bilevel(13, 2, [](uint32_t, uint32_t) { return false; }));
    Dib white = Decode(path, 0, 5000);
    ASSERT_TRUE(white.ok);
    EXPECT_EQ(white.bits, (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(TiffPage, TinyPageAtTenPercentIsOnePixel) {
    auto half = [](uint32_t x, uint32_t) { return x < 2; };
    const std::string path = dir.File("tiny.tif");
    Write(path, Bilevel(4, 4, half));
    Dib d = Decode(path, 0, 1000);
    ASSERT_TRUE(d.ok);
    ExpectHeader(d, 1, 1, 4);
    EXPECT_EQ(d.bits, (std::vector<uint8_t>{0x70, 0, 0, 0})); // 8 of 16 black
    Dib turned = Decode(path, 1, 1000);
    ASSERT_TRUE(turned.ok);
    ExpectHeader(turned, 1, 1, 4);
    EXPECT_EQ(turned.bits, d.bits);
}

TEST_F(TiffPage, ColourRotationsPixelByPixel) {
    // A B C
    // D E F
    const uint8_t rgb[6][3] = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}, {130, 140, 150}, {160, 170, 180}};
    Page p;
    p.width = 3;
    p.height = 2;
    p.photometric = PHOTOMETRIC_RGB;
    p.bitsPerSample = 8;
    p.samplesPerPixel = 3;
    for (auto& c : rgb) p.rows.insert(p.rows.end(), c, c + 3);
    const std::string path = dir.File("rgb.tif");
    Write(path, p);
    auto pixel = [&](char name) {
        const uint8_t* c = rgb[name - 'A'];
        return uint32_t(c[2]) | uint32_t(c[1]) << 8 | uint32_t(c[0]) << 16; // bytes B, G, R, 0
    };
    struct Case {
        int rotation;
        int width, height;
        const char* topDown; // the picture's rows from the top
    } cases[] = {
        {0, 3, 2, "ABCDEF"},
        {1, 2, 3, "CFBEAD"},
        {2, 3, 2, "FEDCBA"},
        {3, 2, 3, "DAEBFC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotation);
        for (int mag : {10000, 5000}) { // the colour path ignores the zoom
            Dib d = Decode(path, c.rotation, mag);
            ASSERT_TRUE(d.ok);
            ExpectHeader(d, c.width, c.height, 32);
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x)
                    EXPECT_EQ(d.At(x, y), pixel(c.topDown[y * c.width + x])) << x << "," << y;
        }
    }
    // Memory order: bottom row first.
    Dib d = Decode(path);
    EXPECT_EQ(d.bits[0], 120);
    EXPECT_EQ(d.bits[1], 110);
    EXPECT_EQ(d.bits[2], 100);
    EXPECT_EQ(d.bits[3], 0);
}

TEST_F(TiffPage, BilevelRotationsRebuildRowPadding) {
    const uint32_t w = 13, h = 5;
    const std::string path = dir.File("turn.tif");
    Write(path, Bilevel(w, h, Scan));
    for (int mag : {10000, 5000}) {
        Dib plain = Decode(path, 0, mag);
        ASSERT_TRUE(plain.ok);
        const uint32_t pw = plain.header.biWidth, ph = plain.header.biHeight;
        for (int code : {1, 2, 3}) {
            SCOPED_TRACE(testing::Message() << "mag " << mag << " code " << code);
            Dib d = Decode(path, code, mag);
            ASSERT_TRUE(d.ok);
            const bool quarter = code != 2;
            ExpectHeader(d, quarter ? ph : pw, quarter ? pw : ph, plain.header.biBitCount);
            EXPECT_EQ(d.bits.size(), d.Stride() * d.header.biHeight);
            // Picture coordinates from the top: code 1 turns counter-clockwise.
            for (uint32_t y = 0; y < uint32_t(d.header.biHeight); ++y)
                for (uint32_t x = 0; x < uint32_t(d.header.biWidth); ++x) {
                    uint32_t sx = code == 1 ? pw - 1 - y : code == 3 ? y : pw - 1 - x;
                    uint32_t sy = code == 1 ? x : code == 3 ? ph - 1 - x : ph - 1 - y;
                    ASSERT_EQ(d.At(x, y), plain.At(sx, sy)) << x << "," << y;
                }
            // Bits past the width stay clear.
            const int bpp = d.header.biBitCount;
            for (int32_t r = 0; r < d.header.biHeight; ++r)
                for (size_t bit = size_t(d.header.biWidth) * bpp; bit < d.Stride() * 8; ++bit)
                    ASSERT_EQ((d.bits[r * d.Stride() + bit / 8] >> (7 - bit % 8)) & 1, 0) << r << " " << bit;
        }
    }
}

TEST_F(TiffPage, PathFollowsSampleLayout) {
    struct Case {
        const char* what;
        uint16_t photometric, bitsPerSample, samplesPerPixel;
        uint32_t tile;
        int dispMag;
        int bitCount;
    } cases[] = {
        {"bilevel 100%", PHOTOMETRIC_MINISWHITE, 1, 1, 0, 10000, 1},
        {"bilevel 150%", PHOTOMETRIC_MINISBLACK, 1, 1, 0, 15000, 1},
        {"bilevel 99.99%", PHOTOMETRIC_MINISWHITE, 1, 1, 0, 9999, 4},
        {"tiled bilevel", PHOTOMETRIC_MINISWHITE, 1, 1, 16, 10000, 32},
        {"tiled bilevel 50%", PHOTOMETRIC_MINISBLACK, 1, 1, 16, 5000, 32},
        {"8-bit grey", PHOTOMETRIC_MINISBLACK, 8, 1, 0, 5000, 32},
        {"16-bit grey", PHOTOMETRIC_MINISBLACK, 16, 1, 0, 10000, 32},
        {"16-bit grey min-is-white", PHOTOMETRIC_MINISWHITE, 16, 1, 0, 5000, 32},
        {"rgb", PHOTOMETRIC_RGB, 8, 3, 0, 5000, 32},
    };
    const std::string path = dir.File("kind.tif");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Page p;
        p.width = 32;
        p.height = 32;
        p.photometric = c.photometric;
        p.bitsPerSample = c.bitsPerSample;
        p.samplesPerPixel = c.samplesPerPixel;
        p.tile = c.tile;
        p.rows.assign(size_t(32) * 32 * c.bitsPerSample * c.samplesPerPixel / 8, 0x5A);
        Write(path, p);
        Dib d = Decode(path, 0, c.dispMag);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.header.biBitCount, c.bitCount);
    }
}

TEST_F(TiffPage, TiledAndDeepGreyPagesShowTheirPixels) {
    // Tiled bilevel: black where the pattern says, through the colour path.
    const std::string path = dir.File("deep.tif");
    Page tiled = Bilevel(32, 32, Scan);
    tiled.tile = 16;
    Write(path, tiled);
    Dib t = Decode(path);
    ASSERT_TRUE(t.ok);
    ExpectHeader(t, 32, 32, 32);
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x) ASSERT_EQ(t.At(x, y), Scan(x, y) ? 0u : 0xFFFFFFu) << x << "," << y;

    // 16-bit min-is-black grey: 0, half and full scale.
    Page grey;
    grey.width = 3;
    grey.height = 1;
    grey.photometric = PHOTOMETRIC_MINISBLACK;
    grey.bitsPerSample = 16;
    for (uint16_t v : {uint16_t(0), uint16_t(0x8000), uint16_t(0xFFFF)}) {
        grey.rows.push_back(uint8_t(v)); // native order, as libtiff expects
        grey.rows.push_back(uint8_t(v >> 8));
    }
    Write(path, grey);
    Dib g = Decode(path, 2);
    ASSERT_TRUE(g.ok);
    ExpectHeader(g, 3, 1, 32);
    EXPECT_EQ(g.At(0, 0), 0xFFFFFFu); // turned: white first
    const uint32_t mid = g.At(1, 0) & 0xFF;
    EXPECT_TRUE(mid == 127 || mid == 128) << mid;
    EXPECT_EQ(g.At(1, 0), mid * 0x010101u);
    EXPECT_EQ(g.At(2, 0), 0u);
}

TEST_F(TiffPage, StripThatFailsIsWhite) {
    // Three PackBits strips of two 8-pixel rows: black, undecodable, black.
    const std::string path = dir.File("bad.tif");
    for (uint16_t photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
        SCOPED_TRACE(photometric);
        const uint8_t ink = photometric == PHOTOMETRIC_MINISWHITE ? 0xFF : 0x00;
        TIFF* t = TIFFOpen(path.c_str(), "w");
        ASSERT_NE(t, nullptr);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 8);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, 6);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 2);
        uint8_t good[] = {0x01, ink, ink};
        uint8_t bad[] = {0x05, ink}; // promises six bytes, holds one
        ASSERT_GE(TIFFWriteRawStrip(t, 0, good, sizeof good), 0);
        ASSERT_GE(TIFFWriteRawStrip(t, 1, bad, sizeof bad), 0);
        ASSERT_GE(TIFFWriteRawStrip(t, 2, good, sizeof good), 0);
        TIFFClose(t);

        Dib full = Decode(path);
        ASSERT_TRUE(full.ok);
        // Bottom-up: rows 5, 4 black, 3, 2 white, 1, 0 black.
        const std::vector<uint8_t> expected = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0,
                                               0,    0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0};
        EXPECT_EQ(full.bits, expected);

        Dib half = Decode(path, 0, 5000);
        ASSERT_TRUE(half.ok);
        ExpectHeader(half, 4, 3, 4);
        EXPECT_EQ(half.bits, (std::vector<uint8_t>{0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0}));
    }
}

TEST_F(TiffPage, RowsPerStripBeyondTheHeight) {
    // A wide page, so that strip buffers sized by an unclamped RowsPerStrip
    // would be terabytes.
    auto diagonal = [](uint32_t x, uint32_t y) { return x == y || x == 3999 - y; };
    const std::string path = dir.File("rps.tif");
    for (uint32_t rps : {2u, 4096u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(rps);
        Page p = Bilevel(4000, 3, diagonal);
        p.rowsPerStrip = rps;
        p.compression = COMPRESSION_PACKBITS; // uncompressed strips would be re-chopped by libtiff
        Write(path, p);
        Dib full = Decode(path);
        ASSERT_TRUE(full.ok);
        EXPECT_TRUE(full.bits == ExpectedMono(4000, 3, diagonal));
        Dib reduced = Decode(path, 0, 6000);
        ASSERT_TRUE(reduced.ok);
        ExpectHeader(reduced, 2400, 2, 4);
    }
}

TEST_F(TiffPage, UnsupportedSizesFail) {
    const std::string path = dir.File("wide.tif");
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{40000, 1}, {1, 40000}, {32768, 1}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        Write(path, Bilevel(w, h, [](uint32_t, uint32_t) { return false; }));
        for (int mag : {10000, 5000}) EXPECT_FALSE(Decode(path, 0, mag).ok);
        Page rgb;
        rgb.width = w;
        rgb.height = h;
        rgb.photometric = PHOTOMETRIC_RGB;
        rgb.bitsPerSample = 8;
        rgb.samplesPerPixel = 3;
        rgb.rows.assign(size_t(w) * h * 3, 0);
        Write(path, rgb);
        EXPECT_FALSE(Decode(path).ok);
    }
    Write(path, Bilevel(32767, 1, [](uint32_t x, uint32_t) { return x == 32766; }));
    Dib widest = Decode(path);
    ASSERT_TRUE(widest.ok);
    EXPECT_EQ(widest.At(32766, 0), 1u);
    EXPECT_EQ(DecodeTiffPage(nullptr, nullptr, nullptr, nullptr), nullptr);
}

} // namespace
