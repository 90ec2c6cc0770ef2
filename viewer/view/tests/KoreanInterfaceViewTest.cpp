// Latin text in the Korean interface (the program runs with LANG=ko_KR, so
// fontconfig's default faces are Korean): a document in LaTeX's Times is
// drawn on screen in its own Latin shapes, the first line against dvipng's
// at the view's resolution, and a font without any face is drawn by a Latin
// substitute face, its symbol-range codes as the letters they stand for,
// not the Korean faces' private-use jamo.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdlib>
#include <string>

#include "dvilib/VrDviSearch.h"
#include "dvilib/tests/PageImage.h"
#include "platform/gdi/DC.h"
#include "platform/gdi/GdiObjects.h"
#include "viewer/view/tests/ViewFixture.h"

namespace {

using dvitest::InkMask;
using dvitest::InkNear;

// ptmr8t: TeX's T1 virtual font over the 8r raw font ptmr8r.
const char* kTimes = R"TEX(\font\times=ptmr8t \nopagenumbers \parindent=0pt \times
Times Roman text in the first line: ``quotes'' -- dashes --- and office.\par
A second line.
\bye
)TEX";

constexpr double kSpPerInch = 72.27 * 65536;

InkMask InkOfImage(const QImage& img, const QRect& r) {
    return testsupport::InkWhere(r.width(), r.height(), [&](int x, int y) {
        const QPoint p(r.left() + x, r.top() + y);
        return img.rect().contains(p) && qGray(img.pixel(p)) < 128;
    });
}

// The mask moved so that its leftmost and topmost ink sit at (0, 0).
InkMask AtInkCorner(const InkMask& m) {
    int left = m.width, top = m.height;
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x)
            if (m.At(x, y)) left = std::min(left, x), top = std::min(top, y);
    InkMask out{m.width, m.height, std::vector<uint8_t>(m.ink.size())};
    for (int y = top; y < m.height; ++y)
        for (int x = left; x < m.width; ++x) out.ink[size_t(y - top) * size_t(m.width) + size_t(x - left)] = m.At(x, y);
    return out;
}

long Count(const InkMask& m) {
    long n = 0;
    for (uint8_t v : m.ink) n += v;
    return n;
}

class KoreanInterfaceView : public ViewFixture {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(std::string(std::getenv("LANG") ? std::getenv("LANG") : ""), "ko_KR.UTF-8");
        SetUpDocuments(kTimes);
    }
    static void TearDownTestSuite() { TearDownDocuments(); }
};

TEST_F(KoreanInterfaceView, TimesFirstLineIsDrawnInItsLatinShapes) {
    MakeView(1000, 700);
    ASSERT_NO_FATAL_FAILURE(Open(Dir() / "doc.dvi"));
    view->SetZoomPercent(100);
    ASSERT_NO_FATAL_FAILURE(WaitDrawn());

    VrDviSearch search;
    search.FindString("Times", &doc->GetReader(), 1, 0, 0);
    auto hit = search.GetResultList().Begin();
    ASSERT_TRUE(hit);
    const VrDviSearch::Rect line = hit.Value().rectangles.Begin().Value();

    // The band of the first line, 6 inches wide, in the view and in dvipng's
    // page at the view's resolution.
    VrDviDrawer& d = view->GetPageDrawer();
    const ViewStatus vs = Status();
    const int dpi = int(std::lround(vs.resolutionX / 10000.0 * vs.DispMag / 10000.0));
    ASSERT_GT(dpi, 50);
    const int width = 6 * dpi, pad = 4;
    const int lineHeight = int(std::lround(double(line.height) * dpi / kSpPerInch));
    const QRect onScreen(d.hDot(0) - vs.scrollX - pad, d.vDot(line.y) - vs.scrollY + vs.topOffset - pad, width,
                         lineHeight + 2 * pad);
    const std::string out = testsupport::RunIn(Dir(), "dvipng -q -D " + std::to_string(dpi) +
                                                          " -T 8.5in,11in -O 1in,1in -bg 'rgb 1 1 1' -o ref.png doc.dvi");
    ASSERT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
    const QImage ref((Dir() / "ref.png").c_str());
    ASSERT_FALSE(ref.isNull());
    const QRect inRef(dpi - pad, dpi + int(std::lround(double(line.y) * dpi / kSpPerInch)) - pad, width,
                      lineHeight + 2 * pad);

    const QImage shown = view->GetWidget()->grab().toImage();
    shown.copy(onScreen).save(VELORAN_BINARY_DIR "/artefacts/korean-interface-times-line.png");
    const InkMask got = AtInkCorner(InkOfImage(shown, onScreen)), want = AtInkCorner(InkOfImage(ref, inRef));
    ASSERT_GT(Count(want), 200);
    const double ours = InkNear(got, want, 1), theirs = InkNear(want, got, 1);
    std::printf("first line at %d dpi: %.4f of the view's ink and %.4f of dvipng's within one pixel\n", dpi, ours,
                theirs);
    EXPECT_GE(ours, 0.98);
    EXPECT_GE(theirs, 0.98);
}

// What the page drawer draws for an OT1 font without a face: a face asked
// for by no name, and the symbol-range code of each letter.
TEST_F(KoreanInterfaceView, AFontWithoutAFaceIsDrawnInLatinLetters) {
    auto ink = [](const WCHAR* text, int n) {
        auto dc = CreateMemoryDC(400, 80, 32, 96);
        LOGFONT lf;
        lf.lfHeight = -40;
        CFont font;
        EXPECT_TRUE(font.CreateFontIndirect(&lf));
        dc->SelectObject(&font);
        dc->SetBkMode(TRANSPARENT);
        dc->ExtTextOutW(10, 20, 0, nullptr, text, n, nullptr);
        return dvitest::InkOf(*dc);
    };
    const WCHAR latin[] = {'T', 'i', 'm', 'e', 's', ' ', 'R', 'o', 'm', 'a', 'n'};
    WCHAR symbols[std::size(latin)];
    for (size_t i = 0; i < std::size(latin); ++i) symbols[i] = WCHAR(0xF000 + latin[i]);
    const InkMask a = ink(latin, int(std::size(latin))), b = ink(symbols, int(std::size(symbols)));
    EXPECT_GT(Count(a), 200);
    EXPECT_EQ(a.ink, b.ink);
}

}  // namespace
