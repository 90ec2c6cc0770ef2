// PNG pictures made with libpng, read back from input streams into 24-bit
// bitmaps; broken data fails cleanly.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <zlib.h>

#include "platform/gdi/Dib.h"
#include "platform/pictures/PngStream.h"
#include "platform/pictures/tests/PictureWriters.h"

namespace {

using testpictures::PngSpec;
using testpictures::WritePng;

std::string AsString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

struct Decoded {
    std::vector<uint8_t> bytes;
    DibView view;
};

bool Read(const std::vector<uint8_t>& file, Decoded& out) {
    std::istringstream in(AsString(file));
    if (!PngToDib(in, out.bytes)) {
        EXPECT_TRUE(out.bytes.empty());
        return false;
    }
    EXPECT_TRUE(out.view.ParsePacked(out.bytes.data(), out.bytes.size()));
    EXPECT_EQ(out.view.BitCount(), 24);
    EXPECT_FALSE(out.view.TopDown());
    EXPECT_EQ(out.bytes.size(), sizeof(BITMAPINFOHEADER) + size_t(DibRowBytes(out.view.Width(), 24) *
                                                                  out.view.Height()));
    return true;
}

uint32_t Rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

// 8-bit samples: (x, y) -> r, g, b, a.
uint32_t Colour(int x, int y) { return Rgb(x * 40, y * 30, 255 - x * 20 - y * 10); }

PngSpec Rgba(int w, int h, bool alpha, bool interlace = false) {
    PngSpec s;
    s.width = w, s.height = h, s.interlace = interlace;
    s.colorType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t c = Colour(x, y);
            s.rows.insert(s.rows.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
            if (alpha) s.rows.push_back(255);
        }
    return s;
}

void ExpectPixels(const Decoded& d, int w, int h, uint32_t (*want)(int, int)) {
    ASSERT_EQ(d.view.Width(), w);
    ASSERT_EQ(d.view.Height(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) EXPECT_EQ(d.view.Rgb(x, y), want(x, y)) << x << "," << y;
}

TEST(PngStream, ColourPicturesPlainAndInterlaced) {
    // Odd widths leave padding in the rows; 9 x 9 fills every interlace pass.
    for (bool interlace : {false, true})
        for (bool alpha : {false, true}) {
            SCOPED_TRACE(std::string(interlace ? "interlaced" : "plain") + (alpha ? " with alpha" : ""));
            Decoded d;
            ASSERT_TRUE(Read(WritePng(Rgba(5, 9, alpha, interlace)), d));
            ExpectPixels(d, 5, 9, Colour);
        }
}

TEST(PngStream, GreyPaletteAndDeepSamplesBecomeRgb) {
    PngSpec grey;
    grey.width = 3, grey.height = 2, grey.colorType = PNG_COLOR_TYPE_GRAY;
    grey.rows = {0, 100, 255, 7, 8, 9};
    Decoded d;
    ASSERT_TRUE(Read(WritePng(grey), d));
    EXPECT_EQ(d.view.Rgb(1, 0), Rgb(100, 100, 100));
    EXPECT_EQ(d.view.Rgb(2, 1), Rgb(9, 9, 9));

    PngSpec bits = grey; // one bit a pixel: 1 0 1 / 0 1 1
    bits.bitDepth = 1, bits.rows = {0xA0, 0x60};
    ASSERT_TRUE(Read(WritePng(bits), d));
    EXPECT_EQ(d.view.Rgb(0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(d.view.Rgb(1, 0), 0u);
    EXPECT_EQ(d.view.Rgb(0, 1), 0u);
    EXPECT_EQ(d.view.Rgb(2, 1), Rgb(255, 255, 255));

    PngSpec pal; // four bits a pixel, indexes 2 0 1 / 1 1 2
    pal.width = 3, pal.height = 2, pal.colorType = PNG_COLOR_TYPE_PALETTE, pal.bitDepth = 4;
    pal.palette = {{10, 20, 30}, {40, 50, 60}, {200, 100, 0}};
    pal.rows = {0x20, 0x10, 0x11, 0x20};
    ASSERT_TRUE(Read(WritePng(pal), d));
    EXPECT_EQ(d.view.Rgb(0, 0), Rgb(200, 100, 0));
    EXPECT_EQ(d.view.Rgb(1, 0), Rgb(10, 20, 30));
    EXPECT_EQ(d.view.Rgb(2, 1), Rgb(200, 100, 0));

    PngSpec deep; // 16-bit samples keep their high bytes
    deep.width = 1, deep.height = 2, deep.bitDepth = 16;
    deep.rows = {0x12, 0xFF, 0x34, 0x01, 0x56, 0x80, 0xFF, 0xFF, 0, 0, 0x80, 0};
    ASSERT_TRUE(Read(WritePng(deep), d));
    EXPECT_EQ(d.view.Rgb(0, 0), Rgb(0x12, 0x34, 0x56));
    EXPECT_EQ(d.view.Rgb(0, 1), Rgb(0xFF, 0, 0x80));
}

TEST(PngStream, TransparencyIsCompositedOntoTheBackgroundOrWhite) {
    // RGBA: opaque red, clear red, half green.
    PngSpec rgba;
    rgba.width = 3, rgba.height = 1, rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    rgba.rows = {255, 0, 0, 255, 255, 0, 0, 0, 0, 255, 0, 128};
    Decoded d;
    ASSERT_TRUE(Read(WritePng(rgba), d));
    EXPECT_EQ(d.view.Rgb(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(d.view.Rgb(1, 0), Rgb(255, 255, 255));
    EXPECT_EQ(d.view.Rgb(2, 0), Rgb(127, 255, 127));

    // The file's background colour wins over white.
    const png_color_16 blue{0, 0, 0, 255, 0};
    PngSpec withBackground = rgba;
    withBackground.background = &blue;
    ASSERT_TRUE(Read(WritePng(withBackground), d));
    EXPECT_EQ(d.view.Rgb(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(d.view.Rgb(1, 0), Rgb(0, 0, 255));

    // Grey with alpha, a palette with transparent entries, an RGB transparent colour.
    PngSpec greyAlpha;
    greyAlpha.width = 2, greyAlpha.height = 1, greyAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.rows = {40, 255, 40, 0};
    ASSERT_TRUE(Read(WritePng(greyAlpha), d));
    EXPECT_EQ(d.view.Rgb(0, 0), Rgb(40, 40, 40));
    EXPECT_EQ(d.view.Rgb(1, 0), Rgb(255, 255, 255));

    PngSpec pal;
    pal.width = 3, pal.height = 1, pal.colorType = PNG_COLOR_TYPE_PALETTE;
    pal.palette = {{0, 0, 0}, {10, 20, 30}, {200, 0, 0}};
    pal.paletteAlpha = {0, 255};
    pal.rows = {0, 1, 2};
    ASSERT_TRUE(Read(WritePng(pal), d));
    EXPECT_EQ(d.view.Rgb(0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(d.view.Rgb(1, 0), Rgb(10, 20, 30));
    EXPECT_EQ(d.view.Rgb(2, 0), Rgb(200, 0, 0));

    const png_color_16 key{0, 1, 2, 3, 0};
    PngSpec keyed;
    keyed.width = 2, keyed.height = 1, keyed.transparentColor = &key;
    keyed.rows = {1, 2, 3, 1, 2, 4};
    ASSERT_TRUE(Read(WritePng(keyed), d));
    EXPECT_EQ(d.view.Rgb(0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(d.view.Rgb(1, 0), Rgb(1, 2, 4));
}

TEST(PngStream, ResolutionComesFromPixelsPerMetreOnly) {
    struct Case {
        int unit;
        png_uint_32 x, y;
        LONG wantX, wantY;
    } cases[] = {
        {-1, 0, 0, 3780, 3780},                            // no pHYs
        {PNG_RESOLUTION_METER, 11811, 5906, 11811, 5906},  // 300 x 150 dpi
        {PNG_RESOLUTION_UNKNOWN, 1, 2, 3780, 3780},        // an aspect ratio only
        {PNG_RESOLUTION_METER, 0, 11811, 3780, 11811},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        PngSpec s = Rgba(2, 2, false);
        s.resUnit = c.unit, s.xRes = c.x, s.yRes = c.y;
        Decoded d;
        ASSERT_TRUE(Read(WritePng(s), d));
        const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(d.bytes.data());
        EXPECT_EQ(h->biXPelsPerMeter, c.wantX);
        EXPECT_EQ(h->biYPelsPerMeter, c.wantY);
    }
}

TEST(PngStream, LibpngReadsFromTheStreamPosition) {
    auto png = WritePng(Rgba(3, 2, false));
    std::istringstream in("leading bytes|" + AsString(png) + "trailing");
    in.seekg(14);
    std::vector<uint8_t> dib;
    ASSERT_TRUE(PngToDib(in, dib));
    DibView v;
    ASSERT_TRUE(v.ParsePacked(dib.data(), dib.size()));
    EXPECT_EQ(v.Rgb(2, 1), Colour(2, 1));

    // Straight libpng use: the signature checked by the caller, then the rows.
    std::istringstream raw(AsString(png));
    png_byte sig[8];
    raw.read(reinterpret_cast<char*>(sig), 8);
    ASSERT_EQ(png_sig_cmp(sig, 0, 8), 0);
    png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    ASSERT_NE(p, nullptr);
    png_infop info = png_create_info_struct(p);
    png_init_istream(p, &raw);
    png_set_sig_bytes(p, 8);
    png_read_info(p, info);
    EXPECT_EQ(png_get_image_width(p, info), 3u);
    std::vector<png_byte> row(png_get_rowbytes(p, info));
    png_read_row(p, row.data(), nullptr);
    png_read_row(p, row.data(), nullptr);
    EXPECT_EQ(Rgb(row[6], row[7], row[8]), Colour(2, 1));
    png_destroy_read_struct(&p, &info, nullptr);
}

// Sets a chunk's CRC after its data was changed.
void FixCrc(std::vector<uint8_t>& f, size_t chunkStart) {
    size_t len = size_t(f[chunkStart]) << 24 | size_t(f[chunkStart + 1]) << 16 | size_t(f[chunkStart + 2]) << 8 |
                 f[chunkStart + 3];
    uLong crc = crc32(0, f.data() + chunkStart + 4, uInt(len + 4));
    for (int i = 0; i < 4; ++i) f[chunkStart + 8 + len + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
}

TEST(PngStream, BrokenDataFails) {
    auto file = WritePng(Rgba(7, 5, true, true));
    Decoded d;
    for (size_t cut = 0; cut < file.size(); ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(Read(std::vector<uint8_t>(file.begin(), file.begin() + long(cut)), d));
    }
    // A stream that throws on a short read fails the same way.
    std::istringstream throwing(AsString(file).substr(0, file.size() / 2));
    throwing.exceptions(std::ios::failbit | std::ios::badbit);
    std::vector<uint8_t> dib;
    EXPECT_FALSE(PngToDib(throwing, dib));

    auto damaged = file;
    damaged[0] = 'X';
    EXPECT_FALSE(Read(damaged, d)) << "signature";
    damaged = file;
    damaged[40] ^= 0x55;
    EXPECT_FALSE(Read(damaged, d)) << "chunk data under a CRC";

    // Width and height (IHDR at byte 8) far beyond what a page shows.
    auto huge = file;
    for (size_t i : {16, 20}) huge[i] = 0x00, huge[i + 1] = 0x01, huge[i + 2] = 0x86, huge[i + 3] = 0xA0;
    FixCrc(huge, 8);
    EXPECT_FALSE(Read(huge, d));
}

} // namespace
