// The page view on documents made by TeX, on the offscreen platform: the
// first page at the default zoom, the back buffer against the drawer's own
// rendering of the same page, the workspace and the band's rule around the
// page, scrolling by line, page and thumb across pages, a document that grows
// while the view shows it, and a page that cannot be drawn.
#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QApplication>
#include <QElapsedTimer>
#include <QColor>
#include <QImage>
#include <QProgressBar>
#include <QScrollBar>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "dvilib/VrDvi.h"
#include "dvilib/VrDviDrawer.h"
#include "dvilib/VrDviTTFMap.h"
#include "platform/gdi/PixelBuffer.h"
#include "platform/kpathsea/KPathSea.h"
#include "platform/ui/MessageBox.h"
#include "platform/sys/Registry.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/ViewGeometry.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;

namespace {

using testsupport::RunCommand;

// Five pages of text and mathematics, each with its number in large type.
const char* kDocument = R"TEX(
\font\big=cmbx12 at 30pt
\newcount\n \n=0
\loop \advance\n by 1
  \centerline{\big Page \the\n}
  \medskip
  The quick brown fox jumps over the lazy dog. $$\sum_{k=1}^{\the\n} k^2 = {n(n+1)(2n+1)\over 6}$$
  PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS.
  \ifnum\n<5 \vfill\eject \repeat
\bye
)TEX";

class PageView : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(kDocument); }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override { SetUpView(); }
    // A new document with a new view.
    void SetUpView() { MakeView(kWidth, kHeight); }

    // A document arriving: a worker that knows pagesKnown complete pages so
    // far tells the reader and the view, as a fetch over the network does.
    void OpenArriving(const fs::path& file, int pagesKnown) {
        view->SetTopOffset(28);
        view->SetWindow();
        view->SetInitialViewStatus(InitialViewRequest());
        std::thread worker([&] {
            VrDvi& reader = doc->GetReader();
            reader.SetKPathSea(&app_->m_kpathsea);
            reader.SetDviTTFMap(&app_->m_ttfMap);
            reader.Open(file.c_str(), DList<String8>(), DList<String8>());
            reader.NewPageWritten(pagesKnown);
            view->SetDocType(0);
            view->SetPageCount(reader.GetNPage());
        });
        worker.join();
        ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
        WaitDrawn();
    }


    // The drawer's own rendering of a page at the view's zoom and margins.
    std::unique_ptr<CDC> Reference(int page) {
        const ViewStatus vs = Status();
        auto dc = CreateMemoryDC(vs.pageWidth, vs.pageHeight, 32, 96);
        dc->FillSolidRect(0, 0, vs.pageWidth, vs.pageHeight, RGB(255, 255, 255));
        VrDviDrawer d;
        EXPECT_EQ(d.Open(*dc, doc->GetReader(), page, fpreal4(vs.DispMag),
                         viewgeo::MarginPixels(vs.hMargin, vs.resolutionX, vs.DispMag),
                         viewgeo::MarginPixels(vs.vMargin, vs.resolutionY, vs.DispMag), 0xFF0000, String8()),
                  1);
        EXPECT_EQ(d.Draw(-1), 1);
        d.Close();
        return dc;
    }

    uint32_t Window(int x, int y) { return view->GetSurface().Row(y)[x] & 0xFFFFFF; }

    // Pixels of the shown page part that differ from the reference; ink
    // pixels of the shown part.
    void CompareShown(int page, int* differing, int* ink) {
        auto ref = Reference(page);
        const ViewStatus vs = Status();
        RECT area;
        view->GetPageAreaRect(&area);
        *differing = *ink = 0;
        for (int y = vs.topOffset; y < std::min<int>(area.bottom, vs.topOffset + vs.pageHeight - vs.scrollY); ++y)
            for (int x = 0; x < std::min<int>(area.right, vs.pageWidth - vs.scrollX); ++x) {
                const uint32_t want = ref->Surface()->Get(x + vs.scrollX, y - vs.topOffset + vs.scrollY) & 0xFFFFFF;
                *differing += Window(x, y) != want;
                *ink += want != 0xFFFFFF;
            }
    }

    void Scroll(QAbstractSlider::SliderAction action) {
        view->GetControls()->Bar(true)->triggerAction(action);
        WaitDrawn();
    }
    void Thumb(int position) {
        QScrollBar* bar = view->GetControls()->Bar(true);
        bar->setSliderPosition(position);
        bar->triggerAction(QAbstractSlider::SliderMove);
        WaitDrawn();
    }

    static constexpr int kWidth = 1000, kHeight = 700;
};

TEST_F(PageView, OpensOnTheFirstPageAtTheDefaultZoomAndShowsTheDrawnPage) {
    Open(Dir() / "doc.dvi");
    const ViewStatus vs = Status();
    EXPECT_EQ(view->GetPageCount(), 5);
    EXPECT_EQ(vs.page, 0);
    EXPECT_EQ(vs.DispMag, 10000);
    EXPECT_EQ(vs.scrollX, 0);
    EXPECT_EQ(vs.scrollY, 0);
    EXPECT_EQ(vs.topOffset, 28);
    // The widest and tallest pages (6.5 inches wide, a little over 9 inches
    // tall with depth) with an inch all round, at 96 dpi.
    EXPECT_NEAR(vs.pageWidth, 816, 2);
    EXPECT_GT(vs.pageHeight, 1046);
    EXPECT_LT(vs.pageHeight, 1100);

    int differing = 0, ink = 0;
    CompareShown(0, &differing, &ink);
    EXPECT_GT(ink, 1000);
    EXPECT_EQ(differing, 0);

    // Workspace right of the page, the band's rule, the corner of the bars.
    RECT area;
    view->GetPageAreaRect(&area);
    EXPECT_EQ(area.top, 28);
    EXPECT_EQ(area.right, kWidth - 16);
    EXPECT_EQ(area.bottom, kHeight - 16);
    EXPECT_EQ(Window(vs.pageWidth + 20, 300), 0x808080u);
    EXPECT_EQ(Window(400, 27), 0x282828u);
    EXPECT_NE(Window(area.right + 5, area.bottom + 5), 0xFFFFFFu);
    EXPECT_TRUE(messages.empty());

    // Without the band the page area starts at the top, and no rule is drawn.
    view->OnViewToolbar();
    WaitDrawn();
    view->GetPageAreaRect(&area);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(Status().topOffset, 0);
    EXPECT_EQ(Status().showMainToolbar, 0);
    EXPECT_FALSE(view->GetControls()->BandVisible());
    for (int x = 0; x < Status().pageWidth; ++x) ASSERT_NE(Window(x, 27), 0x282828u) << x;
    view->OnViewToolbar();
    WaitDrawn();
    view->GetPageAreaRect(&area);
    EXPECT_EQ(area.top, 28);
}

TEST_F(PageView, TheDownloadProgressComesAndGoesFromTheWorker) {
    Open(Dir() / "doc.dvi");
    QProgressBar* bar = view->GetControls()->Progress();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    std::thread([&] {
        view->SetDownloadRange(409600);
        view->SetDownloadPos(20480);
    }).join();
    ASSERT_TRUE(PumpUntil([&] { return bar->value() == 20480; }));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 409600);
    // The horizontal bar makes room for it.
    EXPECT_EQ(view->GetControls()->Bar(false)->x(), 460);
    std::thread([&] { view->SetDownloadPos(0); }).join();
    ASSERT_TRUE(PumpUntil([&] { return !bar->isVisible(); }));
    EXPECT_EQ(view->GetControls()->Bar(false)->x(), 360);
}

TEST_F(PageView, ScrollingByLinePageAndThumbReachesEachPage) {
    Open(Dir() / "doc.dvi");
    RECT area;
    view->GetPageAreaRect(&area);
    const int H = area.bottom - area.top;
    const int pageHeight = Status().pageHeight;
    ASSERT_GT(pageHeight, H);

    // Up at the top of the first page stays there.
    Scroll(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(Status().page, 0);
    EXPECT_EQ(Status().scrollY, 0);

    // Lines down to the bottom, then on to the next page's top.
    int lines = 0;
    while (Status().page == 0 && lines < 1000) Scroll(QAbstractSlider::SliderSingleStepAdd), ++lines;
    EXPECT_EQ(Status().page, 1);
    EXPECT_EQ(Status().scrollY, 0);
    EXPECT_EQ(lines, (pageHeight - H) / 20 + 1);

    // Pages down through the rest; every page is reached in turn.
    std::vector<int> seen{1};
    for (int i = 0; i < 200 && Status().page < 4; ++i) {
        Scroll(QAbstractSlider::SliderPageStepAdd);
        if (Status().page != seen.back()) seen.push_back(Status().page);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
    // Past the last page's bottom nothing moves on.
    for (int i = 0; i < 20; ++i) Scroll(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Status().page, 4);
    EXPECT_EQ(Status().scrollY, pageHeight - H);

    // Up from the top of a page shows the previous page's bottom.
    Thumb(3 * pageHeight);
    ASSERT_EQ(Status().page, 3);
    ASSERT_EQ(Status().scrollY, 0);
    Scroll(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(Status().page, 2);
    EXPECT_EQ(Status().scrollY, pageHeight - H);

    // The thumb at page k shows page k, drawn.
    for (int k = 4; k >= 0; --k) {
        Thumb(k * pageHeight);
        EXPECT_EQ(Status().page, k);
        EXPECT_EQ(Status().scrollY, 0);
        int differing = 0, ink = 0;
        CompareShown(k, &differing, &ink);
        EXPECT_GT(ink, 1000) << k;
        EXPECT_EQ(differing, 0) << k;
    }

    // Horizontal lines and pages move within the page and stop at its edges.
    QScrollBar* hbar = view->GetControls()->Bar(false);
    ASSERT_NE(hbar, nullptr);
    EXPECT_FALSE(hbar->isHidden());
    EXPECT_TRUE(view->GetControls()->Bar(true)->isVisible() || !view->GetWidget()->isVisible());
}

TEST_F(PageView, ADocumentArrivingInPiecesHasItsNewPagesCountedAndShown) {
    const fs::path whole = Dir() / "doc.dvi";
    const std::string dvitype = RunCommand("dvitype -output-level=1 '" + whole.string() + "' 2>&1");
    std::vector<long> eops;
    std::istringstream in(dvitype);
    for (std::string line; std::getline(in, line);) {
        long at = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%ld: eop%n", &at, &used) == 1 && used > 0) eops.push_back(at);
    }
    ASSERT_EQ(eops.size(), 5u) << dvitype;

    std::ifstream src(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(src)), std::istreambuf_iterator<char>());
    const fs::path growing = Dir() / "growing.dvi";
    std::ofstream(growing, std::ios::binary).write(bytes.data(), eops[1] + 1);

    OpenArriving(growing, 2);
    EXPECT_EQ(view->GetPageCount(), 2);
    EXPECT_EQ(Status().page, 0);
    QScrollBar* bar = view->GetControls()->Bar(true);
    const int maxBefore = bar->maximum();

    // The rest arrives; the worker tells the reader and the view.
    std::thread worker([&] {
        std::ofstream(growing, std::ios::binary | std::ios::app).write(bytes.data() + eops[1] + 1,
                                                                       long(bytes.size()) - eops[1] - 1);
        doc->GetReader().NewPageWritten(0);
        view->SetPageCount(doc->GetReader().GetNPage());
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return view->GetPageCount() == 5; }));
    EXPECT_GT(bar->maximum(), maxBefore);

    const int pageHeight = Status().pageHeight;
    Thumb(4 * pageHeight);
    EXPECT_EQ(Status().page, 4);
    int differing = 0, ink = 0;
    CompareShown(4, &differing, &ink);
    EXPECT_GT(ink, 1000);
    EXPECT_EQ(differing, 0);
}

TEST_F(PageView, ADocumentGrowingOnDiskIsReloadedWithItsNewPagesCounted) {
    const fs::path file = Dir() / "grows.dvi";
    ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(Dir(), "Page one.\\vfill\\eject Page two.\\bye\n", "two"));
    fs::copy_file(Dir() / "two.dvi", file, fs::copy_options::overwrite_existing);
    Open(file);
    EXPECT_EQ(view->GetPageCount(), 2);

    // TeX writes the longer document over it; the view's next focus finds it.
    fs::copy_file(Dir() / "doc.dvi", file, fs::copy_options::overwrite_existing);
    fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(10));
    view->OnSetFocus(nullptr);
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && view->GetPageCount() == 5; }));
    ASSERT_TRUE(PumpUntil([&] { return view->IsInitialViewEstablished() != 0; }));
    WaitDrawn();
    Thumb(4 * Status().pageHeight);
    EXPECT_EQ(Status().page, 4);
    int differing = 0, ink = 0;
    CompareShown(4, &differing, &ink);
    EXPECT_GT(ink, 1000);
    EXPECT_EQ(differing, 0);
}

TEST_F(PageView, APageThatCannotBeDrawnIsReportedOnceAndLogged) {
    // A document whose second page holds an opcode no DVI file may use.
    const fs::path whole = Dir() / "doc.dvi";
    std::ifstream src(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(src)), std::istreambuf_iterator<char>());
    const std::string dvitype = RunCommand("dvitype -output-level=2 '" + whole.string() + "' 2>&1");
    long firstSet = -1;
    int bops = 0;
    std::istringstream in(dvitype);
    for (std::string line; std::getline(in, line);) {
        long at = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%ld: beginning of page%n", &at, &used) == 1 && used > 0) ++bops;
        if (bops == 2 && firstSet < 0 && std::sscanf(line.c_str(), "%ld: set%n", &at, &used) == 1 && used > 0)
            firstSet = at;
    }
    ASSERT_GT(firstSet, 0) << dvitype;
    const fs::path broken = Dir() / "broken.dvi";
    std::ofstream(broken, std::ios::binary).write(bytes.data(), long(bytes.size()));
    OpenArriving(broken, 0);
    // The page goes bad on disk after the reader scanned it.
    bytes[size_t(firstSet)] = char(250);  // undefined opcode
    std::ofstream(broken, std::ios::binary).write(bytes.data(), long(bytes.size()));
    ASSERT_EQ(Status().page, 0);
    doc->AppendErrorText("earlier text");
    const int pageHeight = Status().pageHeight;
    Thumb(1 * pageHeight);
    EXPECT_EQ(Status().page, 1);
    // Drawing stopped: nothing pending, the error shown once, the log kept.
    EXPECT_TRUE(PumpUntil([&] { return !view->HasTimer(ID_PAGE_PARTS_TIMER); }));
    const std::string log = doc->GetErrorText().str();
    EXPECT_EQ(log.rfind("earlier text", 0), 0u) << log;
    // The page and the glass both stopped on it; one report.
    const std::string undefinedFormat = "The document contains a format that is not defined";
    EXPECT_NE(log.find(undefinedFormat), std::string::npos) << log;
    EXPECT_EQ(log.find(undefinedFormat), log.rfind(undefinedFormat)) << log;
    EXPECT_TRUE(messages.empty());

    // Another page still draws.
    Thumb(2 * pageHeight);
    int differing = 0, ink = 0;
    CompareShown(2, &differing, &ink);
    EXPECT_GT(ink, 1000);
    EXPECT_EQ(differing, 0);
}

// A page with a picture after its text: drawn in place when its file is
// there; not retried once the document is read when it is missing.
TEST_F(PageView, PicturesAreDrawnLastAndMissingOnesStopTheRetriesOnceTheDocumentIsRead) {
    const fs::path png = Dir() / "red.png";
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    ASSERT_TRUE(red.save(QString::fromStdString(png.string())));
    struct Case {
        const char* name;
        std::string picture;
        bool drawn;
    } cases[] = {{"withpicture", png.string(), true}, {"missingpicture", (Dir() / "none.png").string(), false}};
    for (const Case& c : cases) {
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(
            Dir(), "Text before. \\special{graphics: 0pt 0pt 0pt 0pt 0pt 0pt PNG " + c.picture + "}\\bye\n", c.name));
        if (c.drawn == false) {
            TearDown();
            SetUpView();
        }
        Open(Dir() / (std::string(c.name) + ".dvi"));
        int reds = 0;
        const WindowSurface& surface = view->GetSurface();
        for (int y = 0; y < surface.height; ++y)
            for (int x = 0; x < surface.width; ++x) reds += (surface.pixels[size_t(y) * surface.width + x] & 0xFFFFFF) == 0xFF0000;
        EXPECT_EQ(reds >= 40 * 30, c.drawn) << c.name << " " << reds;
        EXPECT_FALSE(view->HasTimer(ID_PAGE_PARTS_TIMER)) << c.name;
    }
}

// A view whose pictures answer as a script says.
class ScriptedPictureView : public CVrViewerView {
public:
    std::vector<int> answers;  // per call: 1 drawn, 0 not yet, -1 never
    int calls = 0;

protected:
    int DrawPicture(VrDviDrawer&, VrDviDrawer::PictInfo&) override {
        const int r = calls < int(answers.size()) ? answers[size_t(calls)] : 0;
        ++calls;
        return r;
    }
};

TEST_F(PageView, PicturesAreRetriedWhileMissingAndNotWhenTheyCanNeverBeDrawn) {
    struct Case {
        std::vector<int> answers;
        bool timerLeft;  // still retrying after the script ran out
        int drawnAfter;  // the picture's drawn word at the end
    } cases[] = {
        {{0, 0, 0, 1}, false, 1},  // arrives on the fourth try
        {{0, -1}, false, -1},      // turns out undrawable
        {{-1}, false, -1},
        {{0, 0, 0, 0, 0, 0}, true, 0},  // still missing: retried at 100 ms
    };
    for (const Case& c : cases) {
        view->DestroyWindow();
        auto* scripted = new ScriptedPictureView;
        view = scripted;
        ASSERT_TRUE(view->Create(nullptr, "page view", WS_VISIBLE, RECT{0, 0, kWidth, kHeight}, nullptr, 1));
        view->GetWidget()->resize(kWidth, kHeight);
        doc->AddView(view);
        view->SetGlassEnabled(0);
        Open(Dir() / "doc.dvi");
        scripted->answers = c.answers;
        // A new page with one picture waiting.
        Thumb(Status().pageHeight);
        auto* pict = view->GetPageDrawer().GetPictList().AddTail(std::make_unique<VrDviDrawer::PictInfo>())->data.get();
        // Re-arm the parts: the picture counts as new.
        view->KillTimer(ID_PAGE_PARTS_TIMER);
        const_cast<int*>(view->GetPagePartFlags())[1] = 0;
        const_cast<int*>(view->GetPagePartFlags())[4] = 0;
        view->SetTimer(ID_PAGE_PARTS_TIMER, 1);
        ASSERT_TRUE(PumpUntil([&] { return scripted->calls >= int(c.answers.size()); }));
        for (int i = 0; i < 3 && !c.timerLeft; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        PumpUntil([&] { return !view->HasTimer(ID_PAGE_PARTS_TIMER); }, c.timerLeft ? 300 : 5000);
        EXPECT_EQ(view->HasTimer(ID_PAGE_PARTS_TIMER), c.timerLeft) << c.answers.size();
        EXPECT_EQ(pict->drawn, c.drawnAfter);
        view->GetPageDrawer().Close();
    }
}

TEST(HighlightWords, LaterEntriesTakeTheirStretchOutOfEarlierOnes) {
    const RECT gone{-1, -1, -1, -1};
    struct Case {
        const char* what;
        RECT a, b;
        std::vector<RECT> wantA;
    } cases[] = {
        {"apart", {0, 10, 50, 20}, {60, 10, 90, 20}, {{0, 10, 50, 20}}},
        {"another row", {0, 10, 50, 20}, {0, 30, 50, 40}, {{0, 10, 50, 20}}},
        {"covered on the left", {0, 10, 50, 20}, {-5, 10, 20, 20}, {{20, 10, 50, 20}}},
        {"covered on the right", {0, 10, 50, 20}, {30, 10, 70, 20}, {{0, 10, 30, 20}}},
        {"covered whole", {10, 10, 50, 20}, {0, 10, 60, 20}, {gone}},
        {"split", {0, 10, 100, 20}, {40, 10, 60, 20}, {{0, 10, 40, 20}, {60, 10, 100, 20}}},
    };
    for (const Case& c : cases) {
        std::vector<std::vector<RECT>> entries{{c.a}, {c.b}};
        CVrViewerView::RemoveHighlightOverlaps(entries);
        ASSERT_EQ(entries[0].size(), c.wantA.size()) << c.what;
        for (size_t i = 0; i < c.wantA.size(); ++i) {
            EXPECT_EQ(entries[0][i].left, c.wantA[i].left) << c.what;
            EXPECT_EQ(entries[0][i].right, c.wantA[i].right) << c.what;
        }
        EXPECT_EQ(entries[1][0].left, c.b.left) << c.what;  // the later entry keeps its own
    }
}

}  // namespace
