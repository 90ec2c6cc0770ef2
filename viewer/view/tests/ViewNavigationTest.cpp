// The page view's page commands, history, zoom presets, fit modes, margin
// adjustment and the bottom row's boxes, on a five-page TeX document on the
// offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/kpathsea/KPathSea.h"
#include "platform/sys/Registry.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/VrViewerView.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/view/tests/ViewFixture.h"
#include "viewer/view/tests/ViewTestSupport.h"

namespace fs = std::filesystem;

namespace {

using testsupport::RunCommand;

const char* kDocument = R"TEX(
\newcount\n \n=0
\loop \advance\n by 1
  \centerline{Page \the\n}
  \ifnum\n<5 \vfill\eject \repeat
\bye
)TEX";

// The person at the go-to-page and margin dialogs.
class ScriptedView : public CVrViewerView {
public:
    int gotoAnswer = -1;
    int gotoShownCount = -1, gotoShownPage = -1;
    int marginOpenedAt = -1;

protected:
    int RunGotoPageDialog(int pageCount, int currentPage) override {
        gotoShownCount = pageCount;
        gotoShownPage = currentPage;
        return gotoAnswer;
    }
    bool OpenMarginDialog(int value) override {
        marginOpenedAt = value;
        return true;
    }
};

struct RecordingCmdUI : CCmdUI {
    int enabled = -1;
    std::string text;
    void Enable(BOOL on) override { enabled = on ? 1 : 0; }
    void SetText(const char* t) override { text = t; }
};

class Navigation : public ViewFixture {
protected:
    static void SetUpTestSuite() { SetUpDocuments(kDocument); }
    static void TearDownTestSuite() { TearDownDocuments(); }

    void SetUp() override {
        view = MakeView<ScriptedView>(kWidth, kHeight);
        Open(Dir() / "doc.dvi");
        ASSERT_EQ(view->GetPageCount(), 5);
    }
    void TearDown() override {
        ViewFixture::TearDown();
        view = nullptr;
    }

    ViewStatus Status() {
        ViewStatus vs;
        view->GetViewStatus(vs);
        return vs;
    }
    void Scroll(int x, int y) {
        ViewStatus vs = Status();
        vs.scrollX = x;
        vs.scrollY = y;
        view->SetStatus(vs);
    }
    RecordingCmdUI Update(UINT id) {
        RecordingCmdUI ui;
        ui.m_nID = id;
        view->OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &ui, nullptr);
        return ui;
    }
    int HistoryCount() { return view->GetHistory().Count(); }
    QLineEdit* PageBox() { return view->GetControls()->PageBox(); }
    QLineEdit* ZoomBox() { return view->GetControls()->ZoomBox(); }
    // As a person does: into the box, the old text replaced, Enter.
    void Type(QLineEdit* box, const char* text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    void Spin(bool up) {
        ZoomSpinButton* spin = view->GetControls()->Spin();
        QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, up ? 2 : spin->height() - 3));
    }
    // Zoom at 100 % of a paper side (1/10000 mm) at 96 dpi, in pixels.
    static double At100(int paper) { return paper / 254000.0 * 96; }

    static constexpr int kWidth = 1000, kHeight = 700;
    ScriptedView* view = nullptr;  // the fixture's view, as made here
};

TEST_F(Navigation, PageCommandsLandOnTheirPageAndStopAtTheEnds) {
    struct Case {
        int from;
        UINT id;
        int to;
        int recorded;  // entries added by the move
    } cases[] = {
        {0, ID_PAGE_NEXT, 1, 1}, {3, ID_PAGE_NEXT, 4, 1}, {4, ID_PAGE_NEXT, 4, 0},
        {2, ID_PAGE_PREV, 1, 1}, {0, ID_PAGE_PREV, 0, 0}, {3, ID_PAGE_FIRST, 0, 1},
        {0, ID_PAGE_FIRST, 0, 1}, {1, ID_PAGE_LAST, 4, 1}, {4, ID_PAGE_LAST, 4, 1},
    };
    for (const Case& c : cases) {
        view->GotoPage(c.from);
        ASSERT_EQ(Status().page, c.from);
        const int before = HistoryCount();
        EXPECT_TRUE(view->SendCommand(c.id));
        EXPECT_EQ(Status().page, c.to) << c.from << " " << c.id;
        EXPECT_EQ(HistoryCount() - before, c.recorded) << c.from << " " << c.id;
        // The buttons and the update handlers follow the page.
        const bool notFirst = c.to > 0, notLast = c.to < 4;
        for (UINT id : {ID_PAGE_PREV, ID_PAGE_FIRST}) {
            EXPECT_EQ(Update(id).enabled, int(notFirst)) << id;
            EXPECT_EQ(view->GetControls()->NavigationButton(id)->isEnabled(), notFirst) << id;
        }
        for (UINT id : {ID_PAGE_NEXT, ID_PAGE_LAST}) {
            EXPECT_EQ(Update(id).enabled, int(notLast)) << id;
            EXPECT_EQ(view->GetControls()->NavigationButton(id)->isEnabled(), notLast) << id;
        }
        EXPECT_EQ(PageBox()->text().toStdString(), std::to_string(c.to + 1) + "/5");
    }

    // A page beyond the document shows the last page and is still recorded.
    view->GotoPage(1);
    const int before = HistoryCount();
    view->GotoPage(99);
    EXPECT_EQ(Status().page, 4);
    EXPECT_EQ(HistoryCount(), before + 1);

    // The navigation row's buttons send the commands.
    view->GetControls()->NavigationButton(ID_PAGE_FIRST)->trigger();
    EXPECT_EQ(Status().page, 0);
    view->GetControls()->NavigationButton(ID_PAGE_NEXT)->trigger();
    EXPECT_EQ(Status().page, 1);

    // The go-to-page dialog: cancelled records nothing; OK shows the page entered.
    const int count = HistoryCount();
    view->OnGotoPageDialog();
    EXPECT_EQ(view->gotoShownCount, 5);
    EXPECT_EQ(view->gotoShownPage, 2);
    EXPECT_EQ(HistoryCount(), count);
    EXPECT_EQ(Status().page, 1);
    view->gotoAnswer = 4;
    view->OnGotoPageDialog();
    EXPECT_EQ(Status().page, 3);
    EXPECT_EQ(HistoryCount(), count + 1);
}

TEST_F(Navigation, HistoryReturnsToEachPlaceWithItsZoomAndScrollAndKeepsFifty) {
    view->SetZoomPercent(200);  // wider than the window: both scroll positions hold
    // A fresh view has no history.
    EXPECT_EQ(Update(ID_HISTORY_BACK).enabled, 0);
    EXPECT_EQ(Update(ID_HISTORY_FORWARD).enabled, 0);
    view->OnHistoryBack();
    view->OnHistoryForward();
    EXPECT_EQ(Status().page, 0);
    EXPECT_EQ(HistoryCount(), 0);

    // The first move already leads back to where the reader was.
    Scroll(10, 100);
    view->OnNextPage();
    ASSERT_EQ(Status().page, 1);
    Scroll(20, 200);
    view->OnHistoryBack();
    EXPECT_EQ(Status().page, 0);
    EXPECT_EQ(Status().scrollX, 10);
    EXPECT_EQ(Status().scrollY, 100);
    EXPECT_EQ(Update(ID_HISTORY_BACK).enabled, 0);
    EXPECT_EQ(Update(ID_HISTORY_FORWARD).enabled, 1);
    EXPECT_TRUE(view->GetControls()->NavigationButton(ID_HISTORY_FORWARD)->isEnabled());
    view->OnHistoryForward();
    EXPECT_EQ(Status().page, 1);
    EXPECT_EQ(Status().scrollX, 20);
    EXPECT_EQ(Status().scrollY, 200);

    // The zoom of a place comes back with it.
    view->SetZoomPercent(150);
    view->OnNextPage();
    view->SetZoomPercent(70);
    view->OnHistoryBack();
    EXPECT_EQ(Status().page, 1);
    EXPECT_EQ(Status().DispMag, 15000);
    view->OnHistoryForward();
    EXPECT_EQ(Status().page, 2);
    EXPECT_EQ(Status().DispMag, 7000);

    // A move after going back drops the places ahead.
    view->OnFirstPage();
    view->OnNextPage();
    view->OnNextPage();
    view->OnNextPage();
    view->OnHistoryBack();
    view->OnHistoryBack();
    ASSERT_EQ(Status().page, 1);
    ASSERT_EQ(Update(ID_HISTORY_FORWARD).enabled, 1);
    view->GotoPage(4);
    EXPECT_EQ(Update(ID_HISTORY_FORWARD).enabled, 0);
    EXPECT_FALSE(view->GetControls()->NavigationButton(ID_HISTORY_FORWARD)->isEnabled());
    view->OnHistoryBack();
    EXPECT_EQ(Status().page, 1);
    view->OnHistoryBack();
    EXPECT_EQ(Status().page, 0);

    // Sixty moves keep the fifty newest places; Back walks them to the oldest kept.
    for (int i = 0; i < 60; ++i) view->GotoPage(i % 5);
    EXPECT_EQ(HistoryCount(), CVrViewerView::kHistoryLimit);
    std::vector<int> back;
    while (Update(ID_HISTORY_BACK).enabled == 1 && back.size() < 100) {
        view->OnHistoryBack();
        back.push_back(Status().page);
    }
    ASSERT_EQ(back.size(), 49u);
    // The places before the last move were pages 58 % 5, 57 % 5, ... 10 % 5.
    for (int k = 0; k < 49; ++k) EXPECT_EQ(back[k], (58 - k) % 5) << k;
    EXPECT_EQ(HistoryCount(), CVrViewerView::kHistoryLimit);
}

TEST_F(Navigation, PresetsFitModesAndTheZoomBoxGiveTheExpectedZoom) {
    int paperW = 0, paperH = 0;
    Status().paper.GetWidth(&paperW);
    Status().paper.GetHeight(&paperH);
    RECT area;
    view->GetPageAreaRect(&area);
    const int W = area.right - area.left, H = area.bottom - 28;
    ASSERT_EQ(W, kWidth - 16);
    ASSERT_EQ(H, kHeight - 16 - 28);
    // 8.5 inches at 96 dpi.
    ASSERT_NEAR(At100(paperW), 816, 2);
    const int fitWidth = int(W / At100(paperW) * 10000 + 0.5);
    const int fitPage = int(std::min(W / At100(paperW), H / At100(paperH)) * 10000 + 0.5);

    const struct {
        UINT id;
        int fitMode, dispMag;
        const char* box;
    } commands[] = {
        {ID_ZOOM_200, 0, 20000, "200%"},  {ID_ZOOM_150, 0, 15000, "150%"},
        {ID_ZOOM_120, 0, 12000, "120%"},  {ID_ZOOM_100, 0, 10000, "100%"},
        {ID_ZOOM_90, 0, 9000, "90%"},     {ID_ZOOM_80, 0, 8000, "80%"},
        {ID_ZOOM_70, 0, 7000, "70%"},     {ID_ZOOM_50, 0, 5000, "50%"},
        {ID_FIT_WIDTH, 1, fitWidth, nullptr}, {ID_FIT_PAGE, 2, fitPage, nullptr},
        {ID_FIT_WIDTH_BUTTON, 1, fitWidth, nullptr}, {ID_FIT_PAGE_BUTTON, 2, fitPage, nullptr},
    };
    for (const auto& c : commands) {
        ASSERT_TRUE(view->SendCommand(c.id)) << c.id;
        EXPECT_EQ(Status().DispMagSpec, c.fitMode) << c.id;
        EXPECT_EQ(Status().DispMag, c.dispMag) << c.id;
        const std::string box = c.box ? c.box : std::to_string((c.dispMag + 50) / 100) + "%";
        EXPECT_EQ(ZoomBox()->text().toStdString(), box) << c.id;
        EXPECT_EQ(Update(IDC_ZOOM_BOX).text, box) << c.id;
    }

    // What the zoom box takes.
    const struct {
        const char* typed;
        int fitMode, dispMag;  // -1: as before
    } typed[] = {
        {"w", 1, fitWidth}, {"Width", 1, fitWidth}, {"P", 2, fitPage}, {"75", 0, 7500},
        {"5", -1, -1},      {"250", -1, -1},        {"10", 0, 1000},   {"200%", 0, 20000},
    };
    for (const auto& t : typed) {
        view->SetZoomPercent(120);
        Type(ZoomBox(), t.typed);
        EXPECT_EQ(Status().DispMagSpec, t.fitMode < 0 ? 0 : t.fitMode) << t.typed;
        EXPECT_EQ(Status().DispMag, t.dispMag < 0 ? 12000 : t.dispMag) << t.typed;
    }

    // The box shows the rounded percent.
    for (auto [dispMag, text] : {std::pair{13249, "132%"}, std::pair{13250, "133%"}}) {
        ViewStatus vs = Status();
        vs.DispMag = dispMag;
        view->SetStatus(vs);
        view->UpdateToolbarStatus();
        EXPECT_EQ(ZoomBox()->text().toStdString(), text);
    }

    // The list takes what the box refuses, up to 300 %.
    view->OnZoomSelChange("250");
    EXPECT_EQ(Status().DispMag, 25000);
    EXPECT_EQ(ZoomBox()->text().toStdString(), "250%");
    view->OnZoomSelChange("301");
    EXPECT_EQ(Status().DispMag, 25000);

    // The spin steps to the neighbouring preset.
    const struct {
        int from;
        bool up;
        int to;
    } steps[] = {{180, true, 200}, {200, true, 200}, {250, true, 250}, {55, false, 50},
                 {50, false, 50},  {100, false, 90}, {100, true, 120}};
    for (const auto& s : steps) {
        view->SetZoomPercent(s.from);
        Spin(s.up);
        EXPECT_EQ(Status().DispMag, s.to * 100) << s.from << (s.up ? " up" : " down");
    }
}

TEST_F(Navigation, ThePageBoxAndFitModesHoldTheirState) {
    // What the page box takes.
    const struct {
        const char* typed;
        int page;
    } typed[] = {{"3", 2}, {"0", 2}, {"999", 2}, {"5/5", 4}, {"x", 4}, {"1", 0}};
    for (const auto& t : typed) {
        Type(PageBox(), t.typed);
        EXPECT_EQ(Status().page, t.page) << t.typed;
        EXPECT_EQ(PageBox()->text().toStdString(), std::to_string(t.page + 1) + "/5") << t.typed;
    }
    RecordingCmdUI ui = Update(IDC_PAGE_BOX);
    EXPECT_EQ(ui.enabled, 1);
    EXPECT_EQ(ui.text, "1/5");
    EXPECT_EQ(Update(ID_DOCUMENT_LOADED).enabled, 1);

    // A page entered in a fit mode keeps the fit mode and its exact zoom.
    view->OnFitToWidth();
    const int fitted = Status().DispMag;
    ASSERT_NE(fitted % 100, 0);
    Type(PageBox(), "2");
    EXPECT_EQ(Status().page, 1);
    EXPECT_EQ(Status().DispMagSpec, 1);
    EXPECT_EQ(Status().DispMag, fitted);

    // A window too small to fit keeps the last zoom.
    view->GetWidget()->resize(10, 10);
    view->OnFitToHeight();
    EXPECT_EQ(Status().DispMagSpec, 2);
    EXPECT_EQ(Status().DispMag, fitted);
    view->GetWidget()->resize(kWidth, kHeight);

    // Without the bottom row the fit commands still fit.
    view->SetZoomPercent(100);
    ViewStatus vs = Status();
    vs.scrollBarFlags = 2;
    view->SetStatus(vs);
    view->OnFitToWidth();
    EXPECT_EQ(Status().DispMagSpec, 1);
    EXPECT_EQ(Status().DispMag, fitted);
}

TEST_F(Navigation, MarginAdjustmentWidensTheFittedPageAndCentresIt) {
    view->SetZoomPercent(100);
    EXPECT_EQ(Update(ID_ADJUST_MARGIN).enabled, 0);
    view->OnAdjustMargin();
    EXPECT_EQ(view->marginOpenedAt, -1);

    view->SendCommand(ID_FIT_WIDTH_ADJUST_MARGIN);
    EXPECT_EQ(Status().DispMagSpec, 1);
    EXPECT_EQ(view->marginOpenedAt, 0);
    EXPECT_EQ(Update(ID_ADJUST_MARGIN).enabled, -1);  // left as it is
    const ViewStatus fitted = Status();

    view->SetMarginShift(10);
    ViewStatus vs = Status();
    EXPECT_EQ(vs.DispMagSpec, 3);
    EXPECT_EQ(vs.DispMag, fitted.DispMag + 1000);
    EXPECT_GT(vs.pageWidth, fitted.pageWidth);
    EXPECT_EQ(vs.scrollX, (vs.pageWidth - fitted.pageWidth) / 2);
    EXPECT_EQ(view->GetMarginValue(), 10);
    EXPECT_EQ(view->GetMarginDispMag(), 10);

    // Back to 4: the zoom follows the difference.
    view->SetMarginShift(4);
    EXPECT_EQ(Status().DispMag, fitted.DispMag + 400);
    EXPECT_EQ(Status().DispMagSpec, 3);

    // While the dialog is open it is not opened again.
    view->marginOpenedAt = -1;
    view->OnAdjustMargin();
    EXPECT_EQ(view->marginOpenedAt, -1);
    view->OnMarginDialogClosed();
    // Reopened, it first takes the margin it remembers out of the zoom and
    // starts from none; the slider then counts from there.
    view->OnAdjustMargin();
    EXPECT_EQ(view->marginOpenedAt, 0);
    EXPECT_EQ(Status().DispMag, fitted.DispMag);
    view->SetMarginShift(3);
    EXPECT_EQ(Status().DispMag, fitted.DispMag + 300);
    view->OnMarginDialogClosed();
    // Later it reopens at the value of the same fit mode.
    view->OnAdjustMargin();
    EXPECT_EQ(view->marginOpenedAt, 3);
    EXPECT_EQ(Status().DispMag, fitted.DispMag + 300);
    view->OnMarginDialogClosed();

    // Another fit mode starts from no margin.
    view->OnFitToHeightAdjustMargin();
    EXPECT_EQ(Status().DispMagSpec, 2);
    EXPECT_EQ(view->marginOpenedAt, 0);
    view->OnMarginDialogClosed();

    // In the explicit mode a margin value changes nothing.
    view->SetZoomPercent(100);
    view->SetMarginShift(7);
    EXPECT_EQ(Status().DispMag, 10000);
    EXPECT_EQ(Status().DispMagSpec, 0);
}

TEST_F(Navigation, AMarginRememberedFromTheProfileIsTakenOutOfTheZoomWhenTheDialogOpens) {
    view->OnFitToWidth();
    const int fitted = Status().DispMag;
    // As a profile restores it: the fitted zoom widened by 6 %.
    view->SetMarginDispMag(6);
    ViewStatus vs = Status();
    vs.DispMagSpec = 3;
    vs.DispMag = fitted + 600;
    view->SetStatus(vs);
    view->OnAdjustMargin();
    EXPECT_EQ(view->marginOpenedAt, 0);
    EXPECT_EQ(Status().DispMag, fitted);
    EXPECT_EQ(view->GetMarginDispMag(), 0);
    view->SetMarginShift(6);
    EXPECT_EQ(Status().DispMag, fitted + 600);
}

}  // namespace
