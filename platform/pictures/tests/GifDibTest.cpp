// GIF pictures made with giflib decode to the expected 8-bit bitmaps; broken
// data fails cleanly.
#include <gtest/gtest.h>

#include "platform/gdi/Dib.h"
#include "platform/pictures/PictureDib.h"
#include "platform/pictures/tests/PictureWriters.h"

namespace {

using testpictures::GifFrame;
using testpictures::WriteGif;

constexpr uint32_t kWhite = 0xFFFFFF;

std::vector<GifColorType> Map(std::initializer_list<uint32_t> rgb) {
    std::vector<GifColorType> m;
    for (uint32_t c : rgb) m.push_back({GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)});
    return m;
}

const std::vector<GifColorType> kGlobal = Map({0xFF0000, 0x00FF00, 0x0000FF, 0x000000});

// width x height with pixel (x, y) = f(x, y).
template <class F>
GifFrame Frame(int width, int height, F f) {
    GifFrame fr;
    fr.width = width, fr.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) fr.pixels.push_back(uint8_t(f(x, y)));
    return fr;
}

struct Decoded {
    std::vector<uint8_t> bytes;
    DibView view;
};

bool Decode(const std::vector<uint8_t>& file, Decoded& out) {
    int n = check_gif_size(file.data(), int(file.size()));
    if (n < 1) return false;
    out.bytes.assign(size_t(n) + 100, 0xCD);
    int written = Gif2Dib(file.data(), int(file.size()), out.bytes.data(), n);
    if (written < 1) return false;
    EXPECT_EQ(written, n);
    for (size_t i = size_t(n); i < out.bytes.size(); ++i) EXPECT_EQ(out.bytes[i], 0xCD) << "written past " << n;
    EXPECT_TRUE(out.view.ParsePacked(out.bytes.data(), size_t(n)));
    EXPECT_EQ(out.view.BitCount(), 8);
    EXPECT_FALSE(out.view.TopDown());
    return true;
}

int Pattern(int x, int y) { return (x + 2 * y) % 4; }

TEST(GifDib, PlainAndInterlacedImagesKeepTheirRows) {
    const uint32_t colour[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
    for (bool interlace : {false, true}) {
        SCOPED_TRACE(interlace ? "interlaced" : "plain");
        GifFrame f = Frame(5, 11, Pattern);
        f.interlace = interlace;
        Decoded d;
        ASSERT_TRUE(Decode(WriteGif(5, 11, kGlobal, {f}), d));
        ASSERT_EQ(d.view.Width(), 5);
        ASSERT_EQ(d.view.Height(), 11);
        const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(d.bytes.data());
        EXPECT_EQ(h->biXPelsPerMeter, 3780);
        EXPECT_EQ(h->biYPelsPerMeter, 3780);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(d.view.Index(x, y), uint32_t(Pattern(x, y))) << x << "," << y;
                EXPECT_EQ(d.view.Rgb(x, y), colour[Pattern(x, y)]) << x << "," << y;
            }
    }
}

TEST(GifDib, LocalMapTransparencyAndOnlyTheFirstImage) {
    GifFrame first = Frame(3, 2, [](int x, int) { return x; });
    first.localMap = Map({0x112233, 0x445566, 0x778899, 0xAABBCC});
    first.transparent = 1;
    GifFrame second = Frame(3, 2, [](int, int) { return 3; });
    Decoded d;
    ASSERT_TRUE(Decode(WriteGif(3, 2, kGlobal, {first, second}), d));
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(d.view.Rgb(0, y), 0x112233u);
        EXPECT_EQ(d.view.Rgb(1, y), kWhite);
        EXPECT_EQ(d.view.Rgb(2, y), 0x778899u);
    }
}

TEST(GifDib, CanvasIsTheScreenGrownToHoldTheImage) {
    // An image inside a larger screen: the rest is paper.
    GifFrame inner = Frame(2, 2, [](int, int) { return 2; });
    inner.left = 3, inner.top = 1;
    Decoded d;
    ASSERT_TRUE(Decode(WriteGif(6, 4, kGlobal, {inner}), d));
    ASSERT_EQ(d.view.Width(), 6);
    ASSERT_EQ(d.view.Height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            bool in = x >= 3 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(d.view.Rgb(x, y), in ? 0x0000FFu : kWhite) << x << "," << y;
        }

    // An image past a too small screen grows the canvas.
    GifFrame outer = Frame(4, 3, Pattern);
    outer.left = 1;
    Decoded g;
    ASSERT_TRUE(Decode(WriteGif(2, 2, kGlobal, {outer}), g));
    EXPECT_EQ(g.view.Width(), 5);
    EXPECT_EQ(g.view.Height(), 3);
    EXPECT_EQ(g.view.Index(4, 2), uint32_t(Pattern(3, 2)));
}

TEST(GifDib, SizeMatchesAndAShortBufferIsRefused) {
    auto file = WriteGif(5, 3, kGlobal, {Frame(5, 3, Pattern)});
    int n = check_gif_size(file.data(), int(file.size()));
    EXPECT_EQ(n, int(sizeof(BITMAPINFOHEADER) + 256 * 4 + DibRowBytes(5, 8) * 3));
    std::vector<uint8_t> dib(static_cast<size_t>(n));
    EXPECT_EQ(Gif2Dib(file.data(), int(file.size()), dib.data(), n - 1), 0);
    EXPECT_EQ(Gif2Dib(file.data(), int(file.size()), nullptr, n), 0);
    EXPECT_EQ(Gif2Dib(file.data(), int(file.size()), dib.data(), n), n);
}

TEST(GifDib, BrokenDataFails) {
    auto file = WriteGif(7, 9, kGlobal, {Frame(7, 9, Pattern)});
    std::vector<uint8_t> dib(size_t(check_gif_size(file.data(), int(file.size()))) + 100);
    // Cut anywhere before the image's last data block ends.
    for (size_t cut = 0; cut + 2 < file.size(); ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(Gif2Dib(file.data(), int(cut), dib.data(), int(dib.size())), 0);
    }
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"no colour map", WriteGif(4, 4, {}, {Frame(4, 4, Pattern)})},
        {"no image", WriteGif(4, 4, kGlobal, {})},
        {"not a GIF", std::vector<uint8_t>(64, 0x47)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(check_gif_size(c.file.data(), int(c.file.size())), 0);
        EXPECT_EQ(Gif2Dib(c.file.data(), int(c.file.size()), dib.data(), int(dib.size())), 0);
    }
    // A screen of 65535 x 65535 pixels is refused before anything is made.
    auto big = WriteGif(4, 4, kGlobal, {Frame(4, 4, Pattern)});
    big[6] = big[7] = big[8] = big[9] = 0xFF;
    EXPECT_EQ(check_gif_size(big.data(), int(big.size())), 0);
    EXPECT_EQ(check_gif_size(nullptr, 10), 0);
    // An image at row 65530 of a 6 x 6 screen would need a canvas taller than
    // any bitmap the drawer takes.
    auto far = WriteGif(6, 6, kGlobal, {Frame(4, 11, Pattern)});
    far[28] = 0xFA, far[29] = 0xFF;
    EXPECT_EQ(check_gif_size(far.data(), int(far.size())), 0);
    far[28] = 4, far[29] = 0;
    EXPECT_GT(check_gif_size(far.data(), int(far.size())), 0);
}

} // namespace
