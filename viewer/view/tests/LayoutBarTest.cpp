// The page view's services in its frame, on TeX documents on the offscreen
// platform: the Layout Bar command opens and removes the bar, the position
// pane gives millimetres on the page, the page slider moves the page once
// its slider rests, the Ghostscript check asks before it opens anything,
// and the first run is recorded.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <filesystem>

#include "platform/sys/Registry.h"
#include "platform/sys/ShellOpen.h"
#include "platform/ui/MessageBox.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/res/AppStrings.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/res/FrameIds.h"
#include "viewer/frames/InPlaceFrame.h"
#include "viewer/frames/MainFrame.h"
#include "viewer/frames/SizingTabBar.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/ContentsView.h"
#include "viewer/view/PageSliderDlg.h"
#include "viewer/view/ThumbnailView.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewTestSupport.h"
#include "viewer/res/ViewerStrings.h"

namespace fs = std::filesystem;

namespace {

class RecordingCmdUI : public CCmdUI {
public:
    explicit RecordingCmdUI(UINT id) { m_nID = id; }
    void Enable(BOOL on) override { enabled = on ? 1 : 0; }
    void SetText(const char* t) override { text = t; }
    int enabled = -1;
    std::string text = "(unset)";
};

TEST(PositionPane, MillimetresOnTheShownPage) {
    struct Case {
        int x, y, resolution;
        const char* text;
    } cases[] = {
        {300, 0, 960000, "(79.4mm,0.0mm)"},      // 300 / 96 inch
        {96, 192, 960000, "(25.4mm,50.8mm)"},
        {1, 2, 960000, "(0.3mm,0.5mm)"},
        {-10, 5, 960000, "(-2.5mm,1.3mm)"},      // left of the page: truncated towards 0
        {600, 3000, 3000000, "(50.8mm,254.0mm)"},  // 300 dpi
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(CVrViewerView::PositionText(c.x, c.y, c.resolution, c.resolution)), c.text) << c.x;
}

TEST(LayoutBarWidth, TheStoredWidthUnlessItDoesNotFit) {
    EXPECT_EQ(CVrViewerView::LayoutBarWidth(250, 700), 250);
    EXPECT_EQ(CVrViewerView::LayoutBarWidth(5000, 700), 200);
    EXPECT_EQ(CVrViewerView::LayoutBarWidth(700, 700), 200);
    EXPECT_EQ(CVrViewerView::LayoutBarWidth(0, 700), 200);
    EXPECT_EQ(CVrViewerView::LayoutBarWidth(-5, 700), 200);
}

class Services : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TestEnvironment;
        const std::string text =
            "\\newcount\\n \\n=0\n\\loop \\advance\\n by 1 \\centerline{Page \\the\\n}\n"
            "\\ifnum\\n<6 \\vfill\\eject \\repeat\n\\bye\n";
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*dir_, text));
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*dir_, "\\centerline{Alone}\\bye\n", "one"));
        std::ofstream(dir_->File("doc.toc")) << "<TOC><META><TI>Six pages</TI></META><CONTENT>"
                                                "1 <PAGE IMGSTART=4><TI>Four</TI></CONTENT>";
        TestApp();
    }
    static void TearDownTestSuite() { delete dir_; }

    void SetUp() override {
        dir_->ResetConfig();
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            questions.push_back(r.text);
            return answer;
        });
        shellBefore = sys::SetShellLauncher([this](const std::vector<std::string>& argv) {
            started.push_back(argv);
            return true;
        });
        app_ = NewTestApplication();
        app_->SetRegistryKey(CVrViewerApp::kRegistryKey);
        app_->SetAppProfile();
        AfxRegisterViewerStrings();
        app_->AddViewerTemplate();
        main_ = app_->MakeMainFrame();
        ASSERT_NE(main_, nullptr);
        main_->GetWidget()->resize(1000, 760);
        main_->ShowWindow(SW_SHOW);
        life_ = main_->GetGuard();
    }
    void TearDown() override {
        if (!life_.expired()) {
            app_->CloseAllDocuments(FALSE);
            main_->DestroyWindow();
        }
        PumpUntilQueuedRan();
        delete app_;
        PumpUntilQueuedRan();
        sys::SetShellLauncher(shellBefore);
        CVrViewerView::SetGhostscriptProbe(nullptr);
        AfxSetMessageBoxAnswerer(nullptr);
        AfxSetDialogAnswerer(nullptr);
    }

    CVrViewerView* Open(const std::string& name) {
        auto* doc = dynamic_cast<CVrViewerDoc*>(app_->OpenDocumentFile(dir_->File(name).c_str()));
        if (!doc || doc->GetViews().empty()) return nullptr;
        auto* view = dynamic_cast<CVrViewerView*>(doc->GetViews().front());
        if (!PumpUntil([&] { return doc->WaitWorker(0) && view->IsInitialViewEstablished(); })) return nullptr;
        if (!PumpUntilQueuedRan()) return nullptr;
        return view;
    }
    static CChildFrame* FrameOf(CVrViewerView* view) { return dynamic_cast<CChildFrame*>(view->GetParentFrame()); }
    int Page(CVrViewerView* view) {
        ViewStatus vs;
        view->GetViewStatus(vs);
        return vs.page;
    }

    static inline testsupport::TestEnvironment* dir_ = nullptr;
    CVrViewerApp* app_ = nullptr;
    CMainFrame* main_ = nullptr;
    WndGuard life_;
    sys::ShellLauncher shellBefore;
    std::vector<std::string> questions;
    std::vector<std::vector<std::string>> started;
    int answer = IDOK;
};

TEST_F(Services, TheLayoutBarCommandOpensTheBarAndTwoTogglesRestoreTheFrame) {
    CVrViewerView* view = Open("doc.dvi");
    ASSERT_NE(view, nullptr);
    CChildFrame* frame = FrameOf(view);
    ASSERT_NE(frame, nullptr);
    const QRect before = view->GetWidget()->geometry();
    // A stored width wider than the page area opens the bar 200 wide.
    view->GetLayoutBarStatus().width = 5000;
    view->GetLayoutBarStatus().viewNum = 3;
    main_->OnCommand(ID_LAYOUT_BAR);
    ASSERT_TRUE(PumpUntil([&] { return frame->GetLayoutBar() && frame->GetLayoutBar()->GetWidget()->width() == 200; }));
    SizingTabBar* bar = frame->GetLayoutBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetWidget()->width(), 200);
    EXPECT_EQ(bar->GetActiveTab(), 0);
    EXPECT_EQ(view->GetLayoutBarStatus().show, 1);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "Show", -1), 1u);
    // Its tabs know the page view: the contents file beside the document is
    // read, and the page-size table is there for the thumbnails.
    EXPECT_EQ(std::string(bar->GetView<CContentsView>()->GetTitle()), "Six pages");
    EXPECT_EQ(bar->GetView<CThumbnailView>()->GetVrView(), view);
    EXPECT_EQ(view->GetPageSizeTable().size(), 6u);
    EXPECT_LT(view->GetWidget()->width(), before.width());
    // Kept for a look: the frame with the thumbnails tab.
    bar->SelectTab(1);
    PumpUntil([&] { return !bar->GetView<CThumbnailView>()->HasTimer(CThumbnailView::ID_THUMBNAIL_DRAW_TIMER); });
    PumpUntilQueuedRan();
    fs::create_directories(VELORAN_BINARY_DIR "/artefacts");
    main_->GetWidget()->grab().save(VELORAN_BINARY_DIR "/artefacts/layout-bar.png");
    bar->SelectTab(0);

    // The command again (from the page view's frame) removes the bar.
    main_->OnCommand(ID_LAYOUT_BAR);
    EXPECT_TRUE(PumpUntil([&] { return !frame->GetLayoutBar() && view->GetWidget()->geometry() == before; }));
    EXPECT_EQ(frame->GetLayoutBar(), nullptr);
    EXPECT_EQ(view->GetLayoutBarStatus().show, 0);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "Show", -1), 0u);
    EXPECT_EQ(view->GetWidget()->geometry(), before);

    // A stored width that fits is used; the bar comes back with a new document
    // when it was left shown.
    view->GetLayoutBarStatus().width = 260;
    main_->OnCommand(ID_LAYOUT_BAR);
    ASSERT_TRUE(PumpUntil([&] { return frame->GetLayoutBar() && frame->GetLayoutBar()->GetWidget()->width() == 260; }));
    ASSERT_NE(frame->GetLayoutBar(), nullptr);
    EXPECT_EQ(frame->GetLayoutBar()->GetWidget()->width(), 260);
    CVrViewerView* second = Open("one.dvi");
    ASSERT_NE(second, nullptr);
    ASSERT_NE(FrameOf(second)->GetLayoutBar(), nullptr);
    EXPECT_EQ(FrameOf(second)->GetLayoutBar()->GetActiveTab(), 0);
}

TEST_F(Services, ThePositionPaneGivesMillimetresUnderThePointer) {
    CVrViewerView* view = Open("doc.dvi");
    ASSERT_NE(view, nullptr);
    RECT area;
    view->GetPageAreaRect(&area);
    QCursor::setPos(view->GetWidget()->mapToGlobal(QPoint(area.left + 300, area.top + 96)));
    RecordingCmdUI ui(ID_INDICATOR_POSITION);
    ASSERT_TRUE(view->OnCmdMsg(ID_INDICATOR_POSITION, CN_UPDATE_COMMAND_UI, &ui, nullptr));
    EXPECT_EQ(ui.enabled, 1);
    EXPECT_EQ(ui.text, "(79.4mm,25.4mm)");
    // Scrolled right and down, the pane measures on the page.
    ViewStatus vs;
    view->GetViewStatus(vs);
    vs.scrollY = 192;
    view->SetStatus(vs);
    RecordingCmdUI scrolled(ID_INDICATOR_POSITION);
    view->OnCmdMsg(ID_INDICATOR_POSITION, CN_UPDATE_COMMAND_UI, &scrolled, nullptr);
    EXPECT_EQ(scrolled.text, "(79.4mm,76.2mm)");
}

TEST_F(Services, ThePageSliderMovesThePageOnceItRestsAndNotWhileHeld) {
    CVrViewerView* one = Open("one.dvi");
    ASSERT_NE(one, nullptr);
    RecordingCmdUI disabled(ID_GOTO_PAGE);
    one->OnCmdMsg(ID_GOTO_PAGE, CN_UPDATE_COMMAND_UI, &disabled, nullptr);
    EXPECT_EQ(disabled.enabled, 0);

    CVrViewerView* view = Open("doc.dvi");
    ASSERT_NE(view, nullptr);
    RecordingCmdUI enabled(ID_GOTO_PAGE);
    view->OnCmdMsg(ID_GOTO_PAGE, CN_UPDATE_COMMAND_UI, &enabled, nullptr);
    EXPECT_EQ(enabled.enabled, 1);

    int pageWhileHeld = -1, pageAfterRest = -1, historyAfterRest = -1, historyLater = -1;
    std::string shownMax;
    AfxSetDialogAnswerer([&](UINT id, QDialog& dialog) {
        EXPECT_EQ(id, 198u);
        auto* slider = dialog.findChild<QSlider*>();
        if (!slider) return IDCANCEL;
        EXPECT_EQ(slider->minimum(), 1);
        EXPECT_EQ(slider->maximum(), 6);
        EXPECT_EQ(slider->value(), 1);
        for (auto* e : dialog.findChildren<QLineEdit*>())
            if (e->text() == "6") shownMax = "6";
        // The person drags the handle to page 5 and holds it there.
        QStyleOptionSlider opt;
        opt.initFrom(slider);
        opt.orientation = slider->orientation();
        opt.minimum = slider->minimum();
        opt.maximum = slider->maximum();
        opt.sliderPosition = slider->sliderPosition();
        const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
        QTest::mousePress(slider, Qt::LeftButton, {}, handle.center());
        EXPECT_TRUE(slider->isSliderDown());
        slider->setSliderPosition(5);
        QTest::qWait(900);  // past the settle timer (500 ms): a held handle must not move the page
        pageWhileHeld = Page(view);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, handle.center());
        slider->setSliderDown(false);
        PumpUntil([&] { return Page(view) == 4; }, 3000);
        pageAfterRest = Page(view);
        historyAfterRest = int(view->GetHistory().Count());
        // No further moves while the slider rests.
        QTest::qWait(1200);  // two settle times more: a resting slider must not move it again
        historyLater = int(view->GetHistory().Count());
        // The keyboard: End, then OK.
        QTest::keyClick(slider, Qt::Key_End);
        EXPECT_EQ(slider->value(), 6);
        return IDOK;
    });
    main_->OnCommand(ID_GOTO_PAGE);
    EXPECT_EQ(shownMax, "6");
    EXPECT_EQ(pageWhileHeld, 0);
    EXPECT_EQ(pageAfterRest, 4);
    EXPECT_EQ(historyLater, historyAfterRest);
    // OK shows the slider's page.
    EXPECT_EQ(Page(view), 5);
}

TEST_F(Services, TheGhostscriptCheckAsksAndOpensTheDownloadPageOnlyOnYes) {
    CVrViewerView* view = Open("doc.dvi");
    ASSERT_NE(view, nullptr);
    bool loads = false;
    CVrViewerView::SetGhostscriptProbe([&] { return loads; });
    // A DVI document needs no Ghostscript.
    view->CheckGhostscriptInstalled();
    EXPECT_TRUE(questions.empty());

    view->SetDocType(kDocPs);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("Ghostscript library was not installed to system."), std::string::npos);
    EXPECT_TRUE(started.empty());

    answer = IDNO;
    view->CheckGhostscriptInstalled();
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_TRUE(started.empty());

    answer = IDYES;
    view->CheckGhostscriptInstalled();
    ASSERT_EQ(started.size(), 1u);
    ASSERT_EQ(started[0].size(), 2u);
    EXPECT_EQ(started[0][0], "xdg-open");
    EXPECT_EQ(started[0][1].rfind("https://", 0), 0u);

    // With the library there, nothing is asked.
    loads = true;
    view->CheckGhostscriptInstalled();
    EXPECT_EQ(questions.size(), 3u);
    // The real library of this machine loads.
    CVrViewerView::SetGhostscriptProbe(nullptr);
    view->CheckGhostscriptInstalled();
    EXPECT_EQ(questions.size(), 3u);
    view->SetDocType(kDocDvi);
}

TEST_F(Services, TheFirstRunIsRecordedInTheUsersStore) {
    sys::Registry& reg = sys::Registry::Default();
    ASSERT_TRUE(reg.CreateKey(sys::RegRoot::LocalMachine, CVrViewerApp::kInstallKey));
    ASSERT_TRUE(reg.SetString(sys::RegRoot::LocalMachine, CVrViewerApp::kInstallKey, "FirstRunning", "TRUE"));
    app_->m_firstRun = 1;
    CVrViewerView* view = Open("doc.dvi");
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(PumpUntil([&] {
        return reg.GetString(sys::RegRoot::LocalMachine, CVrViewerApp::kInstallKey, "FirstRunning") == "FALSE";
    }));
    EXPECT_EQ(reg.GetString(sys::RegRoot::LocalMachine, CVrViewerApp::kInstallKey, "FirstRunning"), "FALSE");
    // Written to the file of the user's own store.
    const std::vector<unsigned char> file = testsupport::ReadFile(reg.FileOf(sys::RegRoot::LocalMachine));
    EXPECT_NE(std::string(file.begin(), file.end()).find("FALSE"), std::string::npos);

    // Without the installation's key nothing is made.
    ASSERT_TRUE(reg.DeleteValue(sys::RegRoot::LocalMachine, CVrViewerApp::kInstallKey, "FirstRunning"));
    ASSERT_TRUE(reg.DeleteKey(sys::RegRoot::LocalMachine, CVrViewerApp::kInstallKey));
    view->FinishFirstRun();
    EXPECT_FALSE(reg.KeyExists(sys::RegRoot::LocalMachine, CVrViewerApp::kInstallKey));
}

}  // namespace
