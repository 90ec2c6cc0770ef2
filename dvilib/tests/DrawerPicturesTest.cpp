// Pictures drawn by the page drawer: bitmaps made at test time with the
// libraries' encoders, metafiles and EPS files written here (EPS through
// Ghostscript), named by text specials or by the binary picture specials.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "SpecialTestSupport.h"
#include "dvilib/EpsPictureCache.h"
#include "dvilib/VrDviError.h"
#include "platform/ghostscript/GS.h"
#include "platform/ghostscript/GSChildJob.h"
#include "platform/pictures/tests/PictureWriters.h"

using namespace dvitest;
using namespace testpictures;

namespace {

constexpr int kOX = SpecialPage::kOriginX, kOY = SpecialPage::kOriginY;
const COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kWhite = RGB(255, 255, 255);

void Save(const std::string& path, const std::vector<unsigned char>& bytes) { WriteFile(path, bytes); }

void SaveText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// width x height, the left half red and the right half blue, as RGB rows.
std::vector<uint8_t> SplitRows(int width, int height) {
    std::vector<uint8_t> rows;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool left = x < width / 2;
            rows.insert(rows.end(), {uint8_t(left ? 255 : 0), 0, uint8_t(left ? 0 : 255)});
        }
    return rows;
}

std::vector<unsigned char> SplitBmp(int width, int height, COLORREF left, COLORREF right) {
    std::vector<unsigned char> f = MakeBmp(width, height, left);
    const int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y)
        for (int x = width / 2; x < width; ++x) {
            unsigned char* p = &f[54 + size_t(y) * stride + size_t(x) * 3];
            p[0] = GetBValue(right), p[1] = GetGValue(right), p[2] = GetRValue(right);
        }
    return f;
}

// A placeable metafile of a filled rectangle over its whole box of
// boxWidth x boxHeight units at unitsPerInch.
std::vector<unsigned char> MakeWmf(int boxWidth, int boxHeight, int unitsPerInch, COLORREF fill,
                                   uint32_t key = 0x9AC6CDD7, int extraWords = 0) {
    SpecialBytes records;
    auto record = [&](int function, std::vector<int> params) {
        records.Le32(uint32_t(3 + params.size())).Le16(function);
        for (int p : params) records.Le16(p);
    };
    record(0x020B, {0, 0});                       // SETWINDOWORG y, x
    record(0x020C, {boxHeight, boxWidth});         // SETWINDOWEXT y, x
    record(0x02FC, {0, int(fill & 0xFFFF), int(fill >> 16), 0});  // CREATEBRUSHINDIRECT
    record(0x012D, {0});                           // SELECTOBJECT
    record(0x041B, {boxHeight, boxWidth, 0, 0});   // RECTANGLE bottom, right, top, left
    record(0x0000, {});                            // EOF
    const uint32_t words = 9 + uint32_t(records.b.size() / 2);
    SpecialBytes f;
    f.Le32(key).Le16(0).Le16(0).Le16(0).Le16(boxWidth).Le16(boxHeight).Le16(unitsPerInch).Le32(0);
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum ^= uint16_t(f.b[i] | f.b[i + 1] << 8);
    f.Le16(sum);
    f.Le16(1).Le16(9).Le16(0x300).Le32(words + uint32_t(extraWords)).Le16(1).Le32(7).Le16(0);
    return f.Raw(records.b).b;
}

// A page whose only special is a "graphics:" of the file at natural size,
// 10 pixels right and down of the origin.
Bytes GraphicsAt(const std::string& type, const std::string& file) {
    Bytes b;
    MoveTo(b, 10, 10).Special("graphics: 0pt 0pt 0pt 0pt 0pt 0pt " + type + " " + file);
    return b;
}

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(GetGS()->LoadGSDLL(kGSLibraryName, ""), 1); }
    TempDir files;
};

TEST_F(Pictures, EachTypeAtItsNaturalSize) {
    const std::vector<uint8_t> rows = SplitRows(100, 50);
    std::vector<uint8_t> grey(100 * 50, 0);
    std::vector<uint8_t> gifPixels(100 * 50);
    for (int i = 0; i < 100 * 50; ++i) gifPixels[size_t(i)] = (i % 100) < 50 ? 1 : 2;
    PngSpec png;
    png.width = 100, png.height = 50, png.rows = rows;
    PngSpec dense = png;
    dense.resUnit = PNG_RESOLUTION_METER, dense.xRes = dense.yRes = 7560;  // twice 96 dpi

    Save(files.File("p.bmp"), SplitBmp(100, 50, kRed, kBlue));
    Save(files.File("p.jpg"), WriteJpeg(100, 50, 3, JCS_RGB, rows));
    Save(files.File("g.jpg"), WriteJpeg(100, 50, 1, JCS_GRAYSCALE, grey));
    Save(files.File("p.gif"), WriteGif(100, 50, {{255, 255, 255}, {255, 0, 0}, {0, 0, 255}, {0, 0, 0}},
                                       {GifFrame{0, 0, 100, 50, false, {}, gifPixels, NO_TRANSPARENT_COLOR}}));
    Save(files.File("p.png"), WritePng(png));
    Save(files.File("dense.png"), WritePng(dense));
    Save(files.File("p.wmf"), MakeWmf(1000, 500, 1000, kRed));

    struct Case {
        const char* type;
        const char* file;
        int width, height;
        bool split;  // red left half, blue right half
    } cases[] = {
        {"BMP", "p.bmp", 100, 50, true},  {"JPG", "p.jpg", 100, 50, true},   {"jpeg", "g.jpg", 100, 50, false},
        {"GIF", "p.gif", 100, 50, true},  {"PNG", "p.png", 100, 50, true},   {"PNG", "dense.png", 50, 25, true},
        {"WMF", "p.wmf", 96, 48, false},
    };
    for (const Case& c : cases) {
        SpecialPage page(GraphicsAt(c.type, files.File(c.file)));
        ASSERT_EQ(page.Draw(), 1);
        VrDviDrawer::PictInfo* p = page.drawer.GetPendingPicture();
        ASSERT_NE(p, nullptr) << c.file;
        EXPECT_EQ(page.drawer.DrawPicture(p), 1) << c.file;
        const InkBox ink = InkOf(page.Dc());
        EXPECT_EQ(ink.left, kOX + 10) << c.file;
        EXPECT_EQ(ink.top, kOY + 10) << c.file;
        EXPECT_NEAR(ink.Width(), c.width, 1) << c.file;
        EXPECT_NEAR(ink.Height(), c.height, 1) << c.file;
        if (c.split) {
            const COLORREF l = PixelAt(page.Dc(), ink.left + 5, ink.top + 5);
            const COLORREF r = PixelAt(page.Dc(), ink.right - 5, ink.bottom - 5);
            EXPECT_GT(GetRValue(l), 200) << c.file;
            EXPECT_LT(GetBValue(l), 60) << c.file;
            EXPECT_GT(GetBValue(r), 200) << c.file;
            EXPECT_LT(GetRValue(r), 60) << c.file;
        }
        // Drawn once only.
        EXPECT_EQ(p->drawn, 1);
        EXPECT_EQ(page.drawer.DrawPicture(p), 0) << c.file;
        EXPECT_EQ(page.drawer.GetPendingPicture(), nullptr);
    }
}

TEST_F(Pictures, ScalesAndBottomLeftAnchor) {
    Save(files.File("p.bmp"), MakeBmp(40, 20, kRed));
    Bytes b;
    MoveTo(b, 10, 100).Special("graphics: 0pt 0pt 10pt 10pt 20pt 5pt BMP " + files.File("p.bmp"));
    b.Special("psfile=" + files.File("p.bmp") + " hscale=0.5 vscale=2");  // an EPS picture that is no EPS
    SpecialPage page(b);
    ASSERT_EQ(page.Draw(), 1);
    auto& list = page.drawer.GetPictList();
    ASSERT_EQ(Count(list), 2);
    EXPECT_EQ(page.drawer.DrawPicture(Nth(list, 0)), 1);
    const InkBox ink = InkOf(page.Dc());
    EXPECT_EQ(ink.left, kOX + 10);
    EXPECT_EQ(ink.top, kOY + 100);
    EXPECT_NEAR(ink.Width(), 80, 1);
    EXPECT_NEAR(ink.Height(), 10, 1);
}

TEST_F(Pictures, BadFilesAreNotDrawn) {
    Save(files.File("key.wmf"), MakeWmf(1000, 500, 1000, kRed, 0x12345678));
    Save(files.File("long.wmf"), MakeWmf(1000, 500, 1000, kRed, 0x9AC6CDD7, 1000));
    Save(files.File("upi.wmf"), MakeWmf(1000, 500, 0, kRed));
    std::vector<unsigned char> bmp = MakeBmp(10, 10, kRed);
    Save(files.File("short.bmp"), std::vector<unsigned char>(bmp.begin(), bmp.begin() + 100));
    bmp[10] = 0xF0;  // bits offset past the end
    Save(files.File("offset.bmp"), bmp);
    std::vector<uint8_t> jpeg = WriteJpeg(8, 8, 1, JCS_GRAYSCALE, std::vector<uint8_t>(64, 0));
    Save(files.File("cut.jpg"), std::vector<unsigned char>(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2)));
    SaveText(files.File("text.gif"), "GIF89a but nothing else");
    SaveText(files.File("text.png"), "\x89PNG\r\n\x1a\n then nothing");
    for (const auto& [type, name] : std::vector<std::pair<std::string, std::string>>{
             {"WMF", "key.wmf"}, {"WMF", "long.wmf"}, {"WMF", "upi.wmf"}, {"BMP", "short.bmp"},
             {"BMP", "offset.bmp"}, {"JPG", "cut.jpg"}, {"GIF", "text.gif"}, {"PNG", "text.png"},
             {"BMP", "missing.bmp"}, {"EPS", "missing.eps"}}) {
        SpecialPage page(GraphicsAt(type, files.File(name)));
        ASSERT_EQ(page.Draw(), 1);
        VrDviDrawer::PictInfo* p = page.drawer.GetPendingPicture();
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(page.drawer.DrawPicture(p), 0) << name;
        EXPECT_EQ(p->drawn, 0) << name;
        EXPECT_TRUE(InkOf(page.Dc()).Empty()) << name;
    }
    // Not working: nothing is drawn.
    VrDviDrawer idle;
    VrDviDrawer::PictInfo p;
    p.type = 5;
    p.fileName = files.File("short.bmp").c_str();
    EXPECT_EQ(idle.DrawPicture(&p), 0);
}

TEST_F(Pictures, DrawAllPicturesDrawsEachOnce) {
    Save(files.File("a.bmp"), MakeBmp(10, 10, kRed));
    Save(files.File("b.bmp"), MakeBmp(10, 10, kBlue));
    Bytes b;
    b.Special("graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP " + files.File("a.bmp"));
    MoveTo(b, 50, 0).Special("graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP " + files.File("b.bmp"));
    b.Special("html:<a href=\"l\">");
    MoveTo(b, 50, 0).Special("graphics: 0pt 0pt 0pt 0pt 0pt 0pt BMP " + files.File("a.bmp"));
    SpecialPage page(b);
    ASSERT_EQ(page.Draw(), 1);
    int shown = 0;
    page.drawer.DrawAllPictures([&] { ++shown; });
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(page.drawer.GetPendingPicture(), nullptr);
    EXPECT_EQ(PixelAt(page.Dc(), kOX + 5, kOY + 5), kRed);
    EXPECT_EQ(PixelAt(page.Dc(), kOX + 55, kOY + 5), kBlue);
    EXPECT_EQ(PixelAt(page.Dc(), kOX + 105, kOY + 5), kRed);
    // The linked picture grows its link.
    auto* link = Nth(page.drawer.GetHyLinkList(), 0);
    ASSERT_EQ(Count(link->GetRectList()), 1);
    EXPECT_EQ(Nth(link->GetRectList(), 0).x, kOX + 100);
    EXPECT_EQ(Nth(link->GetRectList(), 0).width, 10);
    // A second pass draws nothing more: a white page stays white.
    page.Dc().FillSolidRect(0, 0, 240, 240, kWhite);
    page.drawer.DrawAllPictures();
    EXPECT_TRUE(InkOf(page.Dc()).Empty());
}

// Binary picture specials: coordinates in 1/300 inch, 96 dpi: 300 units are
// 96 pixels, from the device origin (the page origin is not added).
SpecialBytes PictureSpecial(int code, std::vector<int> box, int x, int y, int w, int h, const std::string& name,
                            uint32_t k = 13) {
    SpecialBytes s("#");
    s.Be16(code);
    for (int v : box) s.Be16(v);
    s.Be16(x).Be16(y).Be16(w).Be16(h).Be32(k).Name(name);
    return s;
}

TEST_F(Pictures, BinaryPictureSpecials) {
    Save(files.File("split.bmp"), SplitBmp(100, 50, kRed, kBlue));
    Save(files.File("mask.bmp"), SplitBmp(100, 50, kWhite, RGB(0, 0, 0)));
    Save(files.File("mark.bmp"), MakeBmp(10, 10, kBlue));
    {
        Bytes b;
        Special4(b, PictureSpecial(0x10, {0, 0, 0, 0}, 30, 60, 300, 150, files.File("split.bmp")));
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        const InkBox ink = InkOf(page.Dc());
        EXPECT_EQ(ink.left, 9);
        EXPECT_EQ(ink.top, 19);
        EXPECT_EQ(ink.Width(), 96);
        EXPECT_EQ(ink.Height(), 49);
        EXPECT_EQ(Count(page.drawer.GetPictList()), 0);  // drawn at once, not kept
    }
    {
        // The source rectangle picks the left half, stretched over the size.
        Bytes b;
        Special4(b, PictureSpecial(0x10, {0, 0, 50, 50}, 0, 0, 300, 300, files.File("split.bmp")));
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        EXPECT_EQ(PixelAt(page.Dc(), 90, 90), kRed);
    }
    {
        // Through a mask: white mask parts keep the page, black ones take the
        // picture. The mask is used once.
        Bytes b;
        Special4(b, SpecialBytes("#").Be16(0x13).Name(files.File("mask.bmp")));
        Special4(b, PictureSpecial(0x11, {0, 0, 0, 0}, 0, 0, 300, 150, files.File("split.bmp")));
        Special4(b, PictureSpecial(0x10, {0, 0, 0, 0}, 0, 300, 300, 150, files.File("split.bmp")));
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        EXPECT_EQ(PixelAt(page.Dc(), 20, 20), kWhite);
        EXPECT_EQ(PixelAt(page.Dc(), 80, 20), kBlue);
        EXPECT_EQ(PixelAt(page.Dc(), 20, 116), kRed);
        EXPECT_EQ(PixelAt(page.Dc(), 80, 116), kBlue);
        EXPECT_EQ(page.drawer.GetMask(), nullptr);
    }
    {
        // The watermark: drawn at once, kept by the drawer, in 1/r inch.
        Bytes b;
        Special4(b, SpecialBytes("#").Be16(0x12).Be16(300).Be16(300).Be16(150).Be16(150).Name(files.File("mark.bmp")));
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        const InkBox ink = InkOf(page.Dc());
        EXPECT_EQ(ink.left, 96);
        EXPECT_EQ(ink.top, 96);
        EXPECT_EQ(ink.Width(), 48);
        EXPECT_EQ(ink.Height(), 48);
        ASSERT_NE(page.drawer.GetWaterMark(), nullptr);
        EXPECT_EQ(page.drawer.GetWaterMark()->type, 5);
    }
    // Malformed: a name running past the end, a short name, an unknown type,
    // truncated operands. Nothing is drawn and nothing breaks.
    const std::string file = files.File("split.bmp");
    std::vector<SpecialBytes> bad = {
        PictureSpecial(0x10, {0, 0, 0, 0}, 0, 0, 300, 150, "ab"),
        PictureSpecial(0x10, {0, 0, 0, 0}, 0, 0, 300, 150, file + ".tif"),
        SpecialBytes("#").Be16(0x12).Be16(0).Be16(0).Be16(10).Be16(10).U8(200).Str(file),
    };
    SpecialBytes full = PictureSpecial(0x10, {0, 0, 0, 0}, 0, 0, 300, 150, file);
    for (size_t n = 1; n < full.b.size(); ++n) {
        SpecialBytes cut;
        cut.b.assign(full.b.begin(), full.b.begin() + long(n));
        bad.push_back(cut);
    }
    for (const SpecialBytes& s : bad) {
        Bytes b;
        Special4(b, s);
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        EXPECT_TRUE(InkOf(page.Dc()).Empty()) << s.b.size();
    }
}

const char* kEpsBody = "0 0 1 setrgbcolor 0 0 72 36 rectfill\n";

TEST_F(Pictures, EpsThroughGhostscript) {
    SaveText(files.File("box.eps"), std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 36\n") + kEpsBody);
    SaveText(files.File("nobox.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n0 0 1 setrgbcolor 0 0 72 72 rectfill showpage\n");
    SaveText(files.File("atend.eps"), std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 36\n"
                                                  "%%BoundingBox: (atend)\n") + kEpsBody + "%%Trailer\n");
    // A DOS-binary EPS: a 30-byte header giving the PostScript section.
    const std::string ps = std::string("%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 0 0 72 36\r\n") + kEpsBody;
    SpecialBytes dos;
    dos.Le32(0xC6D3D0C5).Le32(30 + 8).Le32(uint32_t(ps.size())).Le32(0).Le32(0).Le32(0).Le32(0).Le16(0xFFFF);
    dos.Str("PREVIEW!").Str(ps).Str("binary tail \x01\x02");
    Save(files.File("dos.eps"), dos.b);

    struct Case {
        const char* file;
        int width, height;
    } cases[] = {{"box.eps", 96, 48}, {"nobox.eps", 96, 96}, {"atend.eps", 96, 48}, {"dos.eps", 96, 48}};
    // Each conversion is announced as a wait, begun and ended.
    std::vector<bool> waits;
    VrDviBusyHook before = VrDviSetBusyHook([&](bool busy) { waits.push_back(busy); });
    for (const Case& c : cases) {
        waits.clear();
        SpecialPage page(GraphicsAt("EPS", files.File(c.file)));
        ASSERT_EQ(page.Draw(), 1);
        page.drawer.DrawAllPictures();
        EXPECT_EQ(waits, (std::vector<bool>{true, false})) << c.file;
        const InkBox ink = InkOf(page.Dc());
        EXPECT_NEAR(ink.left, kOX + 10, 1) << c.file;
        EXPECT_NEAR(ink.top, kOY + 10, 1) << c.file;
        EXPECT_NEAR(ink.Width(), c.width, 2) << c.file;
        EXPECT_NEAR(ink.Height(), c.height, 2) << c.file;
        EXPECT_EQ(PixelAt(page.Dc(), kOX + 10 + c.width / 2, kOY + 10 + c.height / 2), kBlue) << c.file;
    }
    VrDviSetBusyHook(before);
    {
        // A binary picture special naming an EPS file: the box (A, B, C, D)
        // is its bounding box and the size in pixels gives its scale; with
        // no box it is not drawn.
        Bytes b;
        Special4(b, PictureSpecial(0x10, {0, 0, 72, 36}, 30, 60, 300, 150, files.File("box.eps")));
        Special4(b, PictureSpecial(0x10, {0, 0, 0, 0}, 300, 300, 300, 150, files.File("box.eps")));
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        const InkBox ink = InkOf(page.Dc());
        EXPECT_NEAR(ink.left, 9, 1);
        EXPECT_NEAR(ink.top, 19, 1);
        EXPECT_NEAR(ink.Width(), 96, 2);
        EXPECT_NEAR(ink.Height(), 49, 2);
    }
    {
        // psfile: the lower-left corner at the current point. On a grey page,
        // drawn while the text colour is red, the picture keeps its own
        // colour and the page around keeps the page's.
        SaveText(files.File("yellow.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 36\n"
                                           "1 1 0 setrgbcolor 0 0 72 36 rectfill\n");
        Bytes b;
        b.Special("backgroundcolor: 0.5 0.5 0.5");
        b.Special("colorpush: 1 0 0");
        MoveTo(b, 10, 110).Special("psfile=" + files.File("yellow.eps") + " llx=0 lly=0 urx=72 ury=36 rwi=360");
        SpecialPage page(b);
        ASSERT_EQ(page.Draw(), 1);
        const COLORREF grey = PixelAt(page.Dc(), 2, 2);
        EXPECT_NE(grey, kWhite);
        page.drawer.DrawAllPictures();
        const InkBox ink = InkOf(page.Dc(), grey);
        EXPECT_NEAR(ink.left, kOX + 10, 1);
        EXPECT_NEAR(ink.bottom, kOY + 110, 1);
        EXPECT_NEAR(ink.Width(), 48, 2);
        EXPECT_NEAR(ink.Height(), 24, 2);
        EXPECT_EQ(PixelAt(page.Dc(), kOX + 34, kOY + 98), RGB(255, 255, 0));
    }
}

TEST_F(Pictures, EpsRenderingsAreKept) {
    EpsPictureCache& cache = EpsPictureCache::Get();
    cache.Clear();
    const std::string eps = files.File("kept.eps");
    SaveText(eps, std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 36\n") + kEpsBody);
    // Draws the picture at a scale on a new page: its ink, and the jobs it ran.
    struct Drawn {
        InkBox ink;
        COLORREF centre;
        unsigned long long jobs;
    };
    auto draw = [&](const std::string& scale) {
        Bytes b;
        MoveTo(b, 10, 110).Special("psfile=" + eps + scale);
        SpecialPage page(b);
        EXPECT_EQ(page.Draw(), 1);
        const unsigned long long before = GSChildJob::Started();
        page.drawer.DrawAllPictures();
        const InkBox ink = InkOf(page.Dc());
        return Drawn{ink, PixelAt(page.Dc(), (ink.left + ink.right) / 2, (ink.top + ink.bottom) / 2),
                     GSChildJob::Started() - before};
    };
    const Drawn first = draw("");
    EXPECT_EQ(first.jobs, 1u);
    EXPECT_EQ(first.centre, kBlue);
    EXPECT_NEAR(first.ink.Width(), 96, 2);
    // Drawn again (a redraw, a page turned back): the same ink, no job.
    const Drawn again = draw("");
    EXPECT_EQ(again.jobs, 0u);
    EXPECT_EQ(again.ink.left, first.ink.left);
    EXPECT_EQ(again.ink.top, first.ink.top);
    EXPECT_EQ(again.ink.Width(), first.ink.Width());
    EXPECT_EQ(again.ink.Height(), first.ink.Height());
    EXPECT_EQ(again.centre, kBlue);
    // Another size is another rendering, then kept as well.
    EXPECT_EQ(draw(" hscale=2 vscale=2").jobs, 1u);
    const Drawn twice = draw(" hscale=2 vscale=2");
    EXPECT_EQ(twice.jobs, 0u);
    EXPECT_NEAR(twice.ink.Width(), 192, 3);
    // A changed file is rendered again, even at the same size and length.
    SaveText(eps, std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 36\n") +
                      "1 0 0 setrgbcolor 0 0 72 36 rectfill\n");
    const Drawn changed = draw("");
    EXPECT_EQ(changed.jobs, 1u);
    EXPECT_EQ(changed.centre, kRed);
    EXPECT_EQ(draw("").jobs, 0u);
    // A cache too small for a rendering keeps none.
    cache.SetLimit(1000);
    EXPECT_EQ(cache.Count(), 0u);
    EXPECT_EQ(draw("").jobs, 1u);
    EXPECT_EQ(draw("").jobs, 1u);
    cache.SetLimit(EpsPictureCache::kDefaultLimit);
}

TEST(EpsPictureCache, DropsTheLeastRecentlyUsed) {
    EpsPictureCache cache;
    auto rendering = [](size_t bytes) {
        auto r = std::make_shared<EpsPictureCache::Rendering>();
        r->bits.resize(bytes);
        return r;
    };
    const size_t one = rendering(1000)->Bytes();
    cache.SetLimit(3 * one);
    cache.Put("a", rendering(1000));
    cache.Put("b", rendering(1000));
    cache.Put("c", rendering(1000));
    ASSERT_NE(cache.Find("a"), nullptr);  // now the most recently used
    cache.Put("d", rendering(1000));
    EXPECT_EQ(cache.Find("b"), nullptr);
    for (const char* kept : {"a", "c", "d"}) EXPECT_NE(cache.Find(kept), nullptr) << kept;
    EXPECT_EQ(cache.Bytes(), 3 * one);
    // Put again under a key: replaced, counted once.
    cache.Put("a", rendering(1000));
    EXPECT_EQ(cache.Count(), 3u);
    EXPECT_EQ(cache.Bytes(), 3 * one);
    // Larger than the whole limit: not kept, and nothing else dropped for it.
    cache.Put("big", rendering(4000));
    EXPECT_EQ(cache.Find("big"), nullptr);
    EXPECT_EQ(cache.Count(), 3u);
    cache.SetLimit(one);
    EXPECT_EQ(cache.Count(), 1u);
    EXPECT_LE(cache.Bytes(), one);
}

} // namespace
