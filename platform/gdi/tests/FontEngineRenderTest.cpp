// Glyphs of the font engine: size semantics of LOGFONT, metrics against the
// ink, rotation, dx placement, synthetic styles and Type1 TeX encodings.
#include <algorithm>
#include <cmath>
#include <thread>

#include "platform/gdi/tests/FontTestSupport.h"

using namespace fonttest;


namespace {
// Design values of the faces the tests draw with, in font units.
constexpr double kDejaVuEm = 2048, kDejaVuCell = 1901 + 483, kDejaVuCapH = 1493, kDejaVuAvg = 1038;
constexpr double kCmEm = 1000, kCmCell = 1000, kCmCapH = 683;
}  // namespace

TEST(FontEngineRender, CapitalSitsOnBaselineAtLogfontSize) {
    struct Case {
        const char* face;
        LONG height;
        double em;  // expected em in pixels
        double capH;
    } cases[] = {
        {"DejaVu Sans", -40, 40, kDejaVuCapH / kDejaVuEm},
        {"DejaVu Sans", -13, 13, kDejaVuCapH / kDejaVuEm},
        {"DejaVu Sans", 40, 40 * kDejaVuEm / kDejaVuCell, kDejaVuCapH / kDejaVuEm},
        {"DejaVu Sans", 17, 17 * kDejaVuEm / kDejaVuCell, kDejaVuCapH / kDejaVuEm},
        {"DejaVu Sans", 0, 16 * kDejaVuEm / kDejaVuCell, kDejaVuCapH / kDejaVuEm},
        {"CMR10", -50, 50, kCmCapH / kCmEm},
        {"CMR10", 30, 30 * kCmEm / kCmCell, kCmCapH / kCmEm},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.face) + " " + std::to_string(c.height));
        auto font = FontEngine::Resolve(Font(c.face, c.height));
        Ink ink = InkOf(Draw(*font, u"H").mask);
        ASSERT_TRUE(ink.any);
        EXPECT_NEAR(ink.bottom, 0, 1);
        EXPECT_NEAR(ink.top, -c.em * c.capH, 1);
        const TEXTMETRIC& tm = font->Metrics();
        if (c.height > 0) EXPECT_EQ(tm.tmHeight, c.height);
        else EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, c.em, 1);
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    }
}

// lfEmHeight64 sets the drawn em where lfHeight says only whole pixels; fonts
// that differ in it alone are different instances.
TEST(FontEngineRender, ExactEmHoldsOverTheWholePixelHeight) {
    struct Case {
        LONG height, em64;
        double em;
    } cases[] = {
        {-14, 0, 14}, {-14, 850, 850 / 64.0}, {-14, 14 * 64, 14}, {-42, 2657, 2657 / 64.0},
        {-50, 40 * 64, 40}, {30, 45 * 64, 45},  // over a cell height as well
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.height) + " " + std::to_string(c.em64));
        LOGFONT lf = Font("CMR10", c.height);
        lf.lfEmHeight64 = c.em64;
        auto font = FontEngine::Resolve(lf);
        // Forty letters (cmr10's M and i are 0.9167 and 0.2778 em wide), each
        // advance on whole pixels.
        const TextRun run = Draw(*font, u"MMMMMMMMMMMMMMMMMMMMiiiiiiiiiiiiiiiiiiii");
        EXPECT_NEAR(run.endX, 20 * (0.9167 + 0.2778) * c.em, 40 * 0.5 + 1);
        const Ink ink = InkOf(Draw(*font, u"H").mask);
        ASSERT_TRUE(ink.any);
        EXPECT_NEAR(ink.top, -c.em * kCmCapH / kCmEm, 1);
    }
    LOGFONT a = Font("CMR10", -14), b = a;
    b.lfEmHeight64 = 850;
    EXPECT_NE(FontEngine::Resolve(a), FontEngine::Resolve(b));
    EXPECT_EQ(FontEngine::Resolve(b), FontEngine::Resolve(b));
    EXPECT_LT(Draw(b, u"MMMMMMMMMMMMMMMMMMMM").endX, Draw(a, u"MMMMMMMMMMMMMMMMMMMM").endX);
}

TEST(FontEngineRender, MetricsAgreeWithInkAndAdvances) {
    auto font = FontEngine::Resolve(Font("DejaVu Sans", -32));
    const TEXTMETRIC& tm = font->Metrics();
    EXPECT_EQ(tm.tmAveCharWidth, std::lround(32 * kDejaVuAvg / kDejaVuEm));
    EXPECT_EQ(tm.tmWeight, FW_NORMAL);
    EXPECT_EQ(tm.tmItalic, 0);
    EXPECT_EQ(tm.tmCharSet, ANSI_CHARSET);
    EXPECT_NE(tm.tmPitchAndFamily & 0x04, 0);  // outline face
    int total = 0;
    for (char16_t c : std::u16string_view(u"\u00C5gjq|\u00C9Wy")) {
        SCOPED_TRACE(int(c));
        Ink ink = InkOf(Draw(*font, std::u16string(1, c)).mask, 1);
        ASSERT_TRUE(ink.any);
        EXPECT_GE(ink.top, -tm.tmAscent - 1);
        EXPECT_LE(ink.bottom, tm.tmDescent + 1);
        const int advance = font->Advance(c);
        EXPECT_GT(advance, 0);
        EXPECT_LE(advance, tm.tmMaxCharWidth);
        total += advance;
    }
    TextRun run = Draw(*font, u"\u00C5gjq|\u00C9Wy");
    EXPECT_EQ(run.endX, total);
    EXPECT_EQ(run.endY, 0);
    // Descender of g reaches below the baseline, accent of \u00C5 above the cap height.
    EXPECT_GT(InkOf(Draw(*font, u"g").mask).bottom, 4);
    EXPECT_LT(InkOf(Draw(*font, u"\u00C5").mask).top, InkOf(Draw(*font, u"H").mask).top - 3);
}

TEST(FontEngineRender, WidthScalesHorizontallyOnly) {
    auto natural = FontEngine::Resolve(Font("DejaVu Sans", -30));
    const LONG avg = natural->Metrics().tmAveCharWidth;
    auto wide = FontEngine::Resolve(Font("DejaVu Sans", -30, 0, 0, 0, 2 * avg));
    EXPECT_EQ(wide->Metrics().tmAveCharWidth, 2 * avg);
    EXPECT_EQ(wide->Metrics().tmHeight, natural->Metrics().tmHeight);
    EXPECT_NEAR(wide->Advance(u'H'), 2 * natural->Advance(u'H'), 2);
    Ink n = InkOf(Draw(*natural, u"H").mask), w = InkOf(Draw(*wide, u"H").mask);
    EXPECT_NEAR(w.right - w.left, 2 * (n.right - n.left), 2);
    EXPECT_NEAR(w.top, n.top, 1);
    EXPECT_NEAR(w.bottom, n.bottom, 1);
}

TEST(FontEngineRender, EscapementRotatesRunAboutReferencePoint) {
    TextRun flat = Draw(Font("DejaVu Sans", -24), u"HHH");
    const int length = flat.endX;
    ASSERT_EQ(length, 3 * FontEngine::Resolve(Font("DejaVu Sans", -24))->Advance(u'H'));
    Ink f = InkOf(flat.mask);
    struct Case {
        LONG escapement;
        int endX, endY;
        Ink box;  // the flat box turned
    } cases[] = {
        {900, 0, -length, {true, f.top, -f.right, f.bottom, -f.left}},
        {1800, -length, 0, {true, -f.right, -f.bottom, -f.left, -f.top}},
        {2700, 0, length, {true, -f.bottom, f.left, -f.top, f.right}},
        {-900, 0, length, {true, -f.bottom, f.left, -f.top, f.right}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.escapement);
        TextRun r = Draw(Font("DejaVu Sans", -24, 0, 0, c.escapement), u"HHH");
        EXPECT_EQ(r.endX, c.endX);
        EXPECT_EQ(r.endY, c.endY);
        Ink ink = InkOf(r.mask);
        EXPECT_NEAR(ink.left, c.box.left, 1);
        EXPECT_NEAR(ink.top, c.box.top, 1);
        EXPECT_NEAR(ink.right, c.box.right, 1);
        EXPECT_NEAR(ink.bottom, c.box.bottom, 1);
        EXPECT_NEAR(double(ink.sum), double(f.sum), 0.03 * f.sum);
    }
    // 45 degrees: the run ends up and to the right.
    TextRun diagonal = Draw(Font("DejaVu Sans", -24, 0, 0, 450), u"HHH");
    EXPECT_NEAR(diagonal.endX, length * std::sqrt(0.5), 1);
    EXPECT_NEAR(diagonal.endY, -length * std::sqrt(0.5), 1);
}

TEST(FontEngineRender, DxArrayPlacesGlyphs) {
    auto font = FontEngine::Resolve(Font("DejaVu Sans", -20));
    Ink one = InkOf(Draw(*font, u"I").mask);
    TextRun spaced = Draw(*font, u"II", {40, 7});
    EXPECT_EQ(spaced.endX, 47);
    // Columns with ink: the stem at its own place and again 40 pixels on.
    for (int x = one.left - 3; x < one.right + 43; ++x) {
        const bool stem = (x >= one.left && x < one.right) || (x >= one.left + 40 && x < one.right + 40);
        EXPECT_EQ(At(spaced.mask, x, -5) >= 128, stem) << "x=" << x;
    }
    TextRun natural = Draw(*font, u"II");
    EXPECT_EQ(natural.endX, 2 * font->Advance(u'I'));
    // Along a vertical run dx moves up the page.
    TextRun up = Draw(Font("DejaVu Sans", -20, 0, 0, 900), u"II", {40, 7});
    EXPECT_EQ(up.endX, 0);
    EXPECT_EQ(up.endY, -47);
    Ink upInk = InkOf(up.mask);
    EXPECT_NEAR(upInk.top, -(one.right + 40), 1);
}

TEST(FontEngineRender, ExistingStylesAreUsedMissingOnesSynthesised) {
    // DejaVu Sans has a bold face: asking for weight 700 draws it.
    auto bold = FontEngine::Resolve(Font("DejaVu Sans", -30, FW_BOLD));
    EXPECT_EQ(bold->Metrics().tmWeight, FW_BOLD);
    EXPECT_TRUE(SameMask(Draw(*bold, u"Rag").mask, Draw(Font("DejaVuSans-Bold", -30), u"Rag").mask));
    // CMTI10 is italic already: no second slant.
    EXPECT_TRUE(SameMask(Draw(Font("CMTI10", -30, 0, 1), u"f").mask, Draw(Font("CMTI10", -30), u"f").mask));

    // CMR10 has neither: bold thickens, italic leans right.
    Ink plain = InkOf(Draw(Font("CMR10", -40), u"I").mask);
    auto emboldened = FontEngine::Resolve(Font("CMR10", -40, FW_BOLD));
    EXPECT_EQ(emboldened->Metrics().tmWeight, FW_BOLD);
    Ink thick = InkOf(Draw(*emboldened, u"I").mask);
    EXPECT_GT(thick.sum, plain.sum * 115 / 100);
    EXPECT_GT(emboldened->Advance(u'I'), FontEngine::Resolve(Font("CMR10", -40))->Advance(u'I'));

    auto slanted = FontEngine::Resolve(Font("CMR10", -40, 0, 1));
    EXPECT_EQ(slanted->Metrics().tmItalic, 1);
    FontInstance::Mask upright = Draw(Font("CMR10", -40), u"l").mask, leaning = Draw(*slanted, u"l").mask;
    auto centre = [](const FontInstance::Mask& m, int y) {
        long sum = 0, weighted = 0;
        for (int x = m.left; x < m.left + m.width; ++x) sum += At(m, x, y), weighted += long(At(m, x, y)) * x;
        return sum ? double(weighted) / sum : 0.0;
    };
    const int high = -25, low = -3;
    EXPECT_NEAR(centre(upright, high), centre(upright, low), 0.5);
    EXPECT_NEAR(centre(leaning, high) - centre(leaning, low), 0.2126 * (low - high), 1.0);
}

TEST(FontEngineRender, TypeOneTexFaceSelectsGlyphsByTexCode) {
    ASSERT_FALSE(Kpsewhich("cmr10.pfb").empty()) << "texlive-base is needed";
    auto cmr = FontEngine::Resolve(Font("CMR10", -30));
    EXPECT_EQ(cmr->Metrics().tmCharSet, SYMBOL_CHARSET);
    // Code 0 of cmr10 is the Gamma; the symbol range reaches the same glyph
    // through its low byte (0xA1 is Gamma's second code in these fonts).
    TextRun gamma = Draw(*cmr, std::u16string(1, u'\0'));
    Ink ink = InkOf(gamma.mask);
    ASSERT_TRUE(ink.any);
    EXPECT_NEAR(ink.top, -30 * kCmCapH / kCmEm, 1);
    EXPECT_TRUE(SameMask(Draw(*cmr, u"\uF0A1").mask, gamma.mask));
    EXPECT_TRUE(SameMask(Draw(*cmr, u"\uF041").mask, Draw(*cmr, u"A").mask));
    EXPECT_FALSE(SameMask(Draw(*cmr, u"A").mask, gamma.mask));
    // cmmi10 has its own glyphs at the same codes.
    EXPECT_FALSE(SameMask(Draw(Font("CMMI10", -30), u"A").mask, Draw(*cmr, u"A").mask));
}

TEST(FontEngineRender, ThreadsDrawTheSameGlyphs) {
    const std::u16string text = u"Sphinx of black quartz, judge my vow";
    const LONG sizes[] = {-9, -12, -17, 23, -31};
    std::vector<FontInstance::Mask> expected;
    for (LONG h : sizes) expected.push_back(Draw(Font("DejaVu Serif", h), text).mask);
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (size_t i = 0; i < std::size(sizes); ++i) {
                    // Fresh instances as well as shared ones.
                    LOGFONT lf = Font(round % 2 ? "DejaVu Serif" : "dejavu serif", sizes[i], 0, 0, 0, 0);
                    if (!SameMask(Draw(lf, text).mask, expected[i])) ++failures[size_t(t)];
                }
        });
    for (auto& th : threads) th.join();
    for (int f : failures) EXPECT_EQ(f, 0);
}

TEST(FontEngineRender, ExtremeValuesStayBounded) {
    const LOGFONT extremes[] = {
        Font("DejaVu Sans", INT32_MIN, INT32_MAX, 255, INT32_MIN, INT32_MIN),
        Font("DejaVu Sans", INT32_MAX, INT32_MIN, 1, INT32_MAX, INT32_MAX),
        Font("CMR10", 1, 1, 0, 1, 1),
        Font("No Such Face Qzx", -100000, 0, 0, 3599, 0),
    };
    for (const LOGFONT& lf : extremes) {
        SCOPED_TRACE(lf.lfHeight);
        auto font = FontEngine::Resolve(lf);
        ASSERT_NE(font, nullptr);
        const TEXTMETRIC& tm = font->Metrics();
        EXPECT_GT(tm.tmHeight, 0);
        EXPECT_LE(tm.tmHeight, 4096);
        TextRun r = Draw(*font, u"Wg");
        EXPECT_LE(size_t(r.mask.width) * size_t(r.mask.height), size_t(32) << 20);
        EXPECT_EQ(r.mask.alpha.size(), size_t(r.mask.width) * size_t(r.mask.height));
    }
    // Positions far beyond any surface draw nothing and do not overflow.
    auto font = FontEngine::Resolve(Font("DejaVu Sans", -12));
    TextRun far = Draw(*font, u"abc", {INT32_MAX, INT32_MAX, INT32_MAX});
    EXPECT_EQ(far.mask.width, 0);
    TextRun back = Draw(*font, u"ab", {INT32_MIN, 5});
    EXPECT_EQ(back.mask.width, 0);
    EXPECT_EQ(back.endX, INT32_MIN + 5);
}
