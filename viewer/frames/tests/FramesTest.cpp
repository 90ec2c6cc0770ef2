// The frames on a real TeX document on the offscreen platform: every menu
// item and accelerator has a route, the document frame hands the page view's
// commands on while a tab of the layout bar is active, the layout bar docks,
// sizes and switches tabs, a restored child stays a usable window, the main
// frame's menu comes back when the last document closes, and the two
// housekeeping timers.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <tiffio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDockWidget>
#include <QMainWindow>
#include <QFileDialog>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QTest>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <fstream>
#include <set>

#include "platform/sys/Registry.h"
#include "platform/sys/TempFiles.h"
#include "platform/ui/ControlBars.h"
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
#include "viewer/view/ThumbnailView.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/ViewPendingCommands.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/res/ViewerMenus.h"
#include "viewer/view/tests/ViewTestSupport.h"
#include "platform/ui/StringTable.h"
#include "viewer/res/ViewerStrings.h"

namespace fs = std::filesystem;

namespace {

// The page view with the viewer options command counted, which no view
// handles yet: it shows where that command arrives.
class OptionsView : public CVrViewerView {
public:
    OptionsView() { MapCommand(ID_VIEWER_OPTIONS, [this] { ++optionsCalls; }); }
    int optionsCalls = 0;
};

// Update-UI that records what the handlers did.
class RecordingCmdUI : public CCmdUI {
public:
    explicit RecordingCmdUI(UINT id) { m_nID = id; }
    void Enable(BOOL on) override {
        CCmdUI::Enable(on);
        enabled = on != 0;
    }
    bool enabled = true;
};

std::vector<QAction*> MenuActions(const QList<QAction*>& actions) {
    std::vector<QAction*> out;
    for (QAction* a : actions) {
        if (a->menu()) {
            auto sub = MenuActions(a->menu()->actions());
            out.insert(out.end(), sub.begin(), sub.end());
        } else if (!a->isSeparator() && AfxActionCommandId(a)) {
            out.push_back(a);
        }
    }
    return out;
}

class Frames : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TestEnvironment;
        const std::string text =
            "\\newcount\\n \\n=0\n\\loop \\advance\\n by 1 \\centerline{Page \\the\\n}\n"
            "\\ifnum\\n<4 \\vfill\\eject \\repeat\n\\bye\n";
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(*dir_, text));
        fs::copy_file(dir_->File("doc.dvi"), dir_->File("second.dvi"));
        // A document named without an extension.
        fs::copy_file(dir_->File("doc.dvi"), dir_->File("paper"));
        TestApp();
        AfxSetMessageBoxAnswerer([](const MessageBoxRequest&) { return IDOK; });
    }
    static void TearDownTestSuite() {
        AfxSetMessageBoxAnswerer(nullptr);
        delete dir_;
    }

    void SetUp() override {
        dir_->ResetConfig();
        app_ = NewTestApplication();
        app_->SetRegistryKey(CVrViewerApp::kRegistryKey);
        app_->SetAppProfile();
        AfxRegisterViewerStrings();
        app_->AddViewerTemplate([]() -> CView* {
            if (countOptions_) return new OptionsView;
            return new CVrViewerView;
        });
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
    }

    // Opens a document of the folder and waits until its first page shows.
    CVrViewerDoc* Open(const std::string& name) {
        auto* doc = dynamic_cast<CVrViewerDoc*>(app_->OpenDocumentFile(dir_->File(name).c_str()));
        if (!doc) return nullptr;
        CVrViewerView* view = ViewOf(doc);
        if (!PumpUntil([&] { return doc->WaitWorker(0) && view->IsInitialViewEstablished(); })) return nullptr;
        if (!PumpUntilQueuedRan()) return nullptr;
        return doc;
    }
    static CVrViewerView* ViewOf(CDocument* doc) {
        return doc && !doc->GetViews().empty() ? dynamic_cast<CVrViewerView*>(doc->GetViews().front()) : nullptr;
    }
    static CChildFrame* FrameOf(CDocument* doc) {
        CVrViewerView* view = ViewOf(doc);
        return view ? dynamic_cast<CChildFrame*>(view->GetParentFrame()) : nullptr;
    }
    // Sends a command the way a menu item does.
    void Command(UINT id) { main_->OnCommand(id); }

    // Whether a command id reaches a command handler, and whether an update
    // handler decides its item, starting at target.
    static bool HasCommand(CCmdTarget* target, UINT id) {
        AFX_CMDHANDLERINFO info;
        return target->OnCmdMsg(id, CN_COMMAND, nullptr, &info);
    }
    static bool HasUpdate(CCmdTarget* target, UINT id) {
        RecordingCmdUI ui(id);
        return target->OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &ui, nullptr);
    }

    // Walks the menus shown and the accelerators of resource: every id is
    // routed, a pending id only to its greying (and its item greyed).
    void ExpectEveryItemRouted(CFrameWnd* frame, UINT resource) {
        frame->UpdateCmdUI();
        std::set<UINT> ids;
        for (QAction* a : MenuActions(frame->GetBody()->menuBar()->actions())) {
            const UINT id = AfxActionCommandId(a);
            ids.insert(id);
            SCOPED_TRACE("menu item " + std::to_string(id) + " " + a->text().toStdString());
            if (IsPendingCommand(id)) {
                EXPECT_FALSE(HasCommand(frame, id)) << "built: remove it from the pending list";
                EXPECT_FALSE(a->isEnabled());
            } else {
                EXPECT_TRUE(HasCommand(frame, id) || HasUpdate(frame, id)) << "no route";
            }
        }
        ASSERT_NE(AfxFindAccelerators(resource), nullptr);
        for (const AccelTemplate& acc : *AfxFindAccelerators(resource)) {
            SCOPED_TRACE(std::string("accelerator ") + acc.keys);
            EXPECT_TRUE(ids.count(acc.id)) << "an accelerator without a menu item";
            EXPECT_TRUE(IsPendingCommand(acc.id) || HasCommand(frame, acc.id));
        }
        EXPECT_GT(ids.size(), 3u);
    }

    static testsupport::TestEnvironment* dir_;
    // Documents open with an OptionsView.
    static inline bool countOptions_ = false;
    CVrViewerApp* app_ = nullptr;
    CMainFrame* main_ = nullptr;
    WndGuard life_;
};
testsupport::TestEnvironment* Frames::dir_ = nullptr;

TEST_F(Frames, EveryMenuItemAndAcceleratorHasARoute) {
    // No document: the main frame's own menu.
    EXPECT_EQ(main_->GetMenuResourceShown(), IDR_MAINFRAME);
    ExpectEveryItemRouted(main_, IDR_MAINFRAME);

    // A document: its frame's menu, routed through the child frame and view.
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(main_->GetMenuResourceShown(), IDR_VRVIEWTYPE);
    ExpectEveryItemRouted(main_, IDR_VRVIEWTYPE);

    // The in-place frame's menu.
    CDocument* hosted = app_->m_pDocTemplate->OpenDocumentInPlace();
    ASSERT_NE(hosted, nullptr);
    auto* inPlace = dynamic_cast<CInPlaceFrame*>(ViewOf(hosted)->GetParentFrame());
    ASSERT_NE(inPlace, nullptr);
    ExpectEveryItemRouted(inPlace, IDR_VRVIEWTYPE_SRVR_IP);
    hosted->OnCloseDocument();
}

TEST_F(Frames, CommandsReachThePageViewWhileATabViewIsActive) {
    countOptions_ = true;
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    auto* view = dynamic_cast<OptionsView*>(ViewOf(doc));
    CChildFrame* frame = FrameOf(doc);
    ASSERT_TRUE(view && frame);
    frame->CreateLayoutBar(180, view);
    SizingTabBar* bar = frame->GetLayoutBar();
    ASSERT_NE(bar, nullptr);
    bar->SelectTab(1);
    ASSERT_NE(dynamic_cast<CThumbnailView*>(frame->GetActiveView()), nullptr);

    Command(ID_VIEWER_OPTIONS);
    EXPECT_EQ(view->optionsCalls, 1);
    // Every item keeps its route.
    countOptions_ = false;
    main_->UpdateCmdUI();
    for (QAction* a : MenuActions(main_->GetBody()->menuBar()->actions())) {
        const UINT id = AfxActionCommandId(a);
        SCOPED_TRACE(id);
        if (IsPendingCommand(id)) EXPECT_FALSE(a->isEnabled());
        else EXPECT_TRUE(HasCommand(main_, id) || HasUpdate(main_, id));
    }
    // A command of the page view is enabled through the forwarding.
    for (QAction* a : main_->FindCommandActions(ID_ZOOM_150)) EXPECT_TRUE(a->isEnabled());

    const struct {
        UINT id;
        int dispMag, fitMode;
    } zooms[] = {
        {ID_ZOOM_200, 20000, 0}, {ID_ZOOM_150, 15000, 0}, {ID_ZOOM_120, 12000, 0}, {ID_ZOOM_100, 10000, 0},
        {ID_ZOOM_90, 9000, 0},   {ID_ZOOM_80, 8000, 0},   {ID_ZOOM_70, 7000, 0},   {ID_ZOOM_50, 5000, 0},
        {ID_FIT_WIDTH, -1, 1},   {ID_FIT_PAGE, -1, 2},    {ID_ZOOM_100, 10000, 0}, {ID_FIT_WIDTH_BUTTON, -1, 1},
    };
    for (const auto& z : zooms) {
        SCOPED_TRACE(z.id);
        Command(z.id);
        ViewStatus vs;
        view->GetViewStatus(vs);
        EXPECT_EQ(vs.DispMagSpec, z.fitMode);
        if (z.dispMag > 0) {
            EXPECT_EQ(vs.DispMag, z.dispMag);
        }
    }
    // The page commands too, and their items follow the page view.
    Command(ID_PAGE_LAST);
    ViewStatus vs;
    view->GetViewStatus(vs);
    EXPECT_EQ(vs.page, 3);
    RecordingCmdUI next(ID_PAGE_NEXT);
    next.DoUpdate(main_, TRUE);
    EXPECT_FALSE(next.enabled);
    // The title still names the document.
    EXPECT_NE(frame->GetWindowText().str().find("doc.dvi"), std::string::npos);
    EXPECT_EQ(frame->GetActiveDocument(), doc);
}

TEST_F(Frames, ACommandBeforeTheViewExistsDoesNothing) {
    auto* frame = new CChildFrame;
    ASSERT_TRUE(frame->LoadFrame(IDR_VRVIEWTYPE, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, main_, nullptr));
    EXPECT_EQ(frame->GetView(), nullptr);
    EXPECT_TRUE(frame->OnCmdMsg(ID_PAGE_NEXT, CN_COMMAND, nullptr, nullptr));
    RecordingCmdUI ui(ID_PAGE_NEXT);
    EXPECT_TRUE(frame->OnCmdMsg(ID_PAGE_NEXT, CN_UPDATE_COMMAND_UI, &ui, nullptr));
    EXPECT_FALSE(ui.enabled);
    EXPECT_FALSE(HasCommand(frame, ID_PAGE_NEXT));
    frame->DestroyWindow();
}

TEST_F(Frames, LayoutBarDocksLeftSizesAndSwitchesTabs) {
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    CVrViewerView* view = ViewOf(doc);
    CChildFrame* frame = FrameOf(doc);
    frame->CreateLayoutBar(200, view);
    SizingTabBar* bar = frame->GetLayoutBar();
    ASSERT_NE(bar, nullptr);
    QWidget* barWidget = bar->GetWidget();
    QMainWindow* body = frame->GetBody();
    ASSERT_TRUE(PumpUntil([&] {
        return barWidget->isVisible() && barWidget->width() == 200 && view->GetWidget()->mapTo(body, QPoint(0, 0)).x() >= 200;
    }));

    // Docked on the left, 200 wide, the page view beside it.
    EXPECT_EQ(bar->GetDockBarID(), AFX_IDW_DOCKBAR_LEFT);
    auto* dock = qobject_cast<QDockWidget*>(barWidget->parentWidget());
    ASSERT_NE(dock, nullptr);
    EXPECT_EQ(body->dockWidgetArea(dock), Qt::LeftDockWidgetArea);
    EXPECT_EQ(barWidget->width(), 200);
    EXPECT_GE(view->GetWidget()->mapTo(body, QPoint(0, 0)).x(), 200);
    EXPECT_EQ(bar->GetTabCount(), 2);
    EXPECT_EQ(bar->GetTabCtrl()->tabText(0).toStdString(), "Contents");
    EXPECT_EQ(bar->GetTabCtrl()->tabText(1).toStdString(), "Thumbnails");
    EXPECT_NE(dynamic_cast<CContentsView*>(frame->GetActiveView()), nullptr);
    EXPECT_EQ(bar->GetView<CContentsView>()->GetVrView(), view);
    EXPECT_EQ(bar->GetView<CThumbnailView>()->GetVrView(), view);

    // A label longer than 31 bytes is cut before a whole character.
    const std::string longLabel = "a미리 보기 미리 보기 미리 보기";  // 42 bytes, byte 31 inside a character
    ASSERT_TRUE(bar->AddView(longLabel.c_str(), AfxFactoryAs<CThumbnailView, CView>()));
    EXPECT_EQ(bar->GetTabCtrl()->tabText(2).toStdString(), longLabel.substr(0, 29));
    bar->RemoveView(2);
    EXPECT_EQ(bar->GetTabCount(), 2);
    EXPECT_EQ(bar->GetTabCtrl()->count(), 2);

    // Bounds and no-op selections.
    EXPECT_EQ(bar->GetTabView(-1), nullptr);
    EXPECT_EQ(bar->GetTabView(2), nullptr);
    bar->SelectTab(-1);
    bar->SelectTab(0);
    EXPECT_EQ(bar->GetActiveTab(), 0);

    // A click on the second tab shows its view and saves the tab.
    QTabBar* tabs = bar->GetTabCtrl();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(bar->GetActiveTab(), 1);
    EXPECT_NE(dynamic_cast<CThumbnailView*>(frame->GetActiveView()), nullptr);
    EXPECT_TRUE(bar->GetTabView(1)->GetWidget()->isVisible());
    EXPECT_FALSE(bar->GetTabView(0)->GetWidget()->isVisible());
    EXPECT_EQ(view->GetLayoutBarStatus().viewNum, 1);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "ViewNum", -1), 1u);

    // Dragging the edge 50 pixels right widens the bar and saves the width.
    const QPoint edge(barWidget->width() - 3, barWidget->height() / 2);
    QTest::mousePress(barWidget, Qt::LeftButton, {}, edge);
    QTest::mouseMove(barWidget, edge + QPoint(50, 0));
    QTest::mouseRelease(barWidget, Qt::LeftButton, {}, edge + QPoint(50, 0));
    EXPECT_TRUE(PumpUntil([&] { return bar->GetVertSize().cx == 250 && barWidget->width() == 250; }));
    EXPECT_EQ(bar->GetVertSize().cx, 250);
    EXPECT_EQ(barWidget->width(), 250);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "Width", -1), 250u);

    // Esc in the middle of a drag leaves the size.
    const QPoint edge2(barWidget->width() - 3, barWidget->height() / 2);
    QTest::mousePress(barWidget, Qt::LeftButton, {}, edge2);
    QTest::mouseMove(barWidget, edge2 + QPoint(-100, 0));
    QTest::keyClick(barWidget, Qt::Key_Escape);
    EXPECT_FALSE(bar->IsTracking());
    QTest::mouseRelease(barWidget, Qt::LeftButton, {}, edge2 + QPoint(-100, 0));
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(bar->GetVertSize().cx, 250);

    // Hidden and shown again.
    frame->ShowControlBar(bar, FALSE, FALSE);
    EXPECT_FALSE(barWidget->isVisible());
    frame->ShowControlBar(bar, TRUE, FALSE);
    EXPECT_TRUE(barWidget->isVisible());

    // Removed: the page view is the active view again and takes the room.
    frame->DestroyLayoutBar();
    ASSERT_TRUE(PumpUntilQueuedRan());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame->GetLayoutBar(), nullptr);
    EXPECT_EQ(frame->GetActiveView(), view);
    EXPECT_TRUE(body->findChildren<QDockWidget*>().isEmpty());
    EXPECT_LT(view->GetWidget()->mapTo(body, QPoint(0, 0)).x(), 20);
    Command(ID_PAGE_NEXT);
    ViewStatus vs;
    view->GetViewStatus(vs);
    EXPECT_EQ(vs.page, 1);
}

void CollectIds(const std::vector<MenuItemTemplate>& items, std::vector<UINT>& ids) {
    for (const MenuItemTemplate& i : items) {
        ids.push_back(i.id);
        CollectIds(i.items, ids);
    }
}

TEST(ViewerMenus, KoreanMenusHoldTheSameCommands) {
    for (UINT resource : {IDR_MAINFRAME, IDR_VRVIEWTYPE, IDR_VRVIEWTYPE_SRVR_IP}) {
        SCOPED_TRACE(resource);
        AfxSetLanguage(UiLanguage::English);
        AfxRegisterViewerMenus();
        const std::vector<MenuItemTemplate> english = *AfxFindMenu(resource);
        AfxSetLanguage(UiLanguage::Korean);
        AfxRegisterViewerMenus();
        const std::vector<MenuItemTemplate> korean = *AfxFindMenu(resource);
        std::vector<UINT> a, b;
        CollectIds(english, a);
        CollectIds(korean, b);
        EXPECT_EQ(a, b);
        EXPECT_EQ(english.front().text, "&File");
        EXPECT_EQ(korean.front().text, "파일(&F)");
    }
    AfxSetLanguage(UiLanguage::English);
    AfxRegisterViewerMenus();
}

TEST(SizingControlBar, DraggedSizeGrowsAwayFromTheDocumentAndIsClamped) {
    const struct {
        int old, delta;
        UINT dock;
        int expected;
    } cases[] = {
        {200, 50, AFX_IDW_DOCKBAR_LEFT, 250},    {200, -50, AFX_IDW_DOCKBAR_LEFT, 150},
        {200, 50, AFX_IDW_DOCKBAR_RIGHT, 150},   {100, 30, AFX_IDW_DOCKBAR_TOP, 130},
        {100, 30, AFX_IDW_DOCKBAR_BOTTOM, 70},   {200, -195, AFX_IDW_DOCKBAR_LEFT, 10},
        {200, 5000, AFX_IDW_DOCKBAR_LEFT, 900},  {200, 50, 0, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.old) + " " + std::to_string(c.delta) + " " + std::to_string(c.dock));
        EXPECT_EQ(SizingControlBar::DraggedSize(c.old, c.delta, c.dock, 10, 900), c.expected);
    }
}

TEST_F(Frames, InPlaceLayoutBarMovesTheDocumentWindow) {
    CDocument* hosted = app_->m_pDocTemplate->OpenDocumentInPlace();
    ASSERT_NE(hosted, nullptr);
    CVrViewerView* view = ViewOf(hosted);
    auto* frame = dynamic_cast<CInPlaceFrame*>(view->GetParentFrame());
    ASSERT_NE(frame, nullptr);
    frame->GetWidget()->resize(800, 600);
    frame->CreateLayoutBar(200, view);
    ASSERT_NE(frame->GetLayoutBar(), nullptr);
    EXPECT_EQ(frame->GetPositionRect().left, InPlaceDocumentLeft(200));

    // The bar dragged to 150 pixels: the document window follows and the
    // width is saved.
    frame->SetLayoutBarWidth(150);
    EXPECT_EQ(frame->GetPositionRect().left, 145);
    EXPECT_EQ(view->GetLayoutBarStatus().width, 150);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "Width", -1), 150u);
    // Removed: width 0 is kept (not saved) and the document window starts at the edge.
    frame->DestroyLayoutBar();
    EXPECT_EQ(frame->GetLayoutBarWidth(), 0);
    EXPECT_EQ(view->GetLayoutBarStatus().width, 150);
    EXPECT_EQ(frame->GetBody()->centralWidget()->contentsMargins().left(), 0);
    hosted->OnCloseDocument();
}

TEST_F(Frames, ARestoredDocumentStaysUsableAndTheLastCloseBringsBackTheMainMenu) {
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    CChildFrame* frame = FrameOf(doc);
    QMdiSubWindow* sub = frame->GetSubWindow();
    EXPECT_TRUE(sub->isMaximized());
    QMenuBar* menuBar = main_->GetBody()->menuBar();

    sub->showNormal();
    EXPECT_TRUE(PumpUntil([&] { return !sub->isMaximized() && menuBar->isVisible(); }));
    EXPECT_FALSE(sub->isMaximized());
    EXPECT_TRUE(menuBar->isVisible());
    EXPECT_EQ(main_->GetMenuResourceShown(), IDR_VRVIEWTYPE);
    EXPECT_GT(sub->width(), 200);
    EXPECT_GT(sub->height(), 200);
    ASSERT_NE(ViewOf(doc)->GetControls(), nullptr);
    EXPECT_TRUE(ViewOf(doc)->GetControls()->BandVisible());
    // Maximize brings it back.
    Command(ID_WINDOW_MAXIMIZE);
    EXPECT_TRUE(PumpUntil([&] { return sub->isMaximized(); }));
    EXPECT_TRUE(sub->isMaximized());

    // The Open button of the view's toolbar band opens the dialog.
    int dialogs = 0;
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        dialogs += qobject_cast<QFileDialog*>(&dialog) != nullptr;
        return IDCANCEL;
    });
    QAction* open = nullptr;
    for (QToolBar* bar : ViewOf(doc)->GetControls()->Band()->findChildren<QToolBar*>())
        for (QAction* a : bar->actions())
            if (a->data().toUInt() == ID_FILE_OPEN) open = a;
    ASSERT_NE(open, nullptr);
    open->trigger();
    AfxSetDialogAnswerer(nullptr);
    EXPECT_EQ(dialogs, 1);

    // The last document closes: File Open and Exit are there and enabled.
    doc->OnCloseDocument();
    EXPECT_TRUE(PumpUntil([&] { return main_->GetMenuResourceShown() == IDR_MAINFRAME; }));
    main_->UpdateCmdUI();
    for (UINT id : {ID_FILE_OPEN, ID_APP_EXIT}) {
        auto actions = main_->FindCommandActions(id);
        bool shownAndEnabled = false;
        for (QAction* a : actions)
            if (a->isEnabled() && menuBar->actions().size() > 0) shownAndEnabled = true;
        EXPECT_TRUE(shownAndEnabled) << id;
    }
    // File Open opens the chosen file.
    AfxSetDialogAnswerer([&](UINT, QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        if (!files) return IDCANCEL;
        files->selectFile(QString::fromStdString(dir_->File("second.dvi")));
        return IDOK;
    });
    Command(ID_FILE_OPEN);
    AfxSetDialogAnswerer(nullptr);
    ASSERT_EQ(app_->GetDocManager()->GetOpenDocumentCount(), 1);
    EXPECT_EQ(main_->GetMenuResourceShown(), IDR_VRVIEWTYPE);
}

TEST_F(Frames, StatusBarHasTheMessagePositionAndPagePanes) {
    CStatusBar& bar = main_->GetStatusBarCtrl();
    ASSERT_EQ(bar.GetCount(), 3);
    EXPECT_EQ(bar.GetItemID(0), ID_SEPARATOR);
    EXPECT_EQ(bar.GetItemID(1), ID_INDICATOR_POSITION);
    EXPECT_EQ(bar.GetItemID(2), ID_INDICATOR_PAGE);
    UINT id, style;
    int width = 0;
    bar.GetPaneInfo(2, id, style, width);
    EXPECT_EQ(width, bar.GetTextWidth("0000 [0000] Page (Total 0000 Page)"));
    // The status-bar item hides and shows it.
    Command(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(main_->GetBody()->statusBar()->isVisible());
    Command(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(main_->GetBody()->statusBar()->isVisible());
}

TEST_F(Frames, AFontWithoutAFaceIsNamedInTheStatusBar) {
    ASSERT_NO_FATAL_FAILURE(
        testsupport::RunTex(*dir_, "\\font\\random=random Roman, {\\random 0123}.\n\\bye\n", "substitute"));
    CStatusBar& bar = main_->GetStatusBarCtrl();
    ASSERT_NE(Open("doc.dvi"), nullptr);
    EXPECT_EQ(std::string(bar.GetPaneText(0)).find("No outline face"), std::string::npos);
    ASSERT_NE(Open("substitute.dvi"), nullptr);
    EXPECT_EQ(std::string(bar.GetPaneText(0)), "No outline face for font random: a substitute face draws it.");
}

TEST_F(Frames, EmptyFramesCloseAndNamedDocumentsStay) {
    CVrViewerDoc* loaded = Open("doc.dvi");
    CVrViewerDoc* noExtension = Open("paper");
    ASSERT_TRUE(loaded && noExtension);
    CDocument* empty1 = app_->m_pDocTemplate->OpenDocumentFile(nullptr);
    CDocument* empty2 = app_->m_pDocTemplate->OpenDocumentFile(nullptr);
    ASSERT_TRUE(empty1 && empty2);
    ASSERT_EQ(main_->GetChildFrames().size(), 4u);

    main_->SetTimer(ID_EMPTY_DOCUMENT_CHECK, 5);
    ASSERT_TRUE(PumpUntil([&] { return main_->GetChildFrames().size() == 2; }, 5000));
    EXPECT_FALSE(main_->HasTimer(ID_EMPTY_DOCUMENT_CHECK));
    const auto& docs = app_->m_pDocTemplate->GetDocuments();
    EXPECT_EQ(std::set<CDocument*>(docs.begin(), docs.end()), (std::set<CDocument*>{loaded, noExtension}));
}

TEST_F(Frames, TheActiveDocumentCheckQuitsOnlyWithoutDocuments) {
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    main_->OnTimer(ID_ACTIVE_DOCUMENT_CHECK);
    EXPECT_FALSE(life_.expired());
    EXPECT_EQ(app_->GetDocManager()->GetOpenDocumentCount(), 1);

    // An open document whose fetch is over still keeps the program.
    doc->OnStop();
    main_->OnTimer(ID_ACTIVE_DOCUMENT_CHECK);
    EXPECT_FALSE(life_.expired());

    doc->OnCloseDocument();
    const std::string tmp = sys::GetTempPath();
    ASSERT_FALSE(tmp.empty());
    std::ofstream(tmp + "htp77.tmp") << "x";
    main_->OnTimer(ID_ACTIVE_DOCUMENT_CHECK);
    EXPECT_TRUE(life_.expired());
    EXPECT_FALSE(fs::exists(tmp + "htp77.tmp"));
}

// A one-page bilevel TIFF.
bool WriteTiff(const std::string& file) {
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    if (!tif) return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(64));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(48));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISWHITE));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_NONE));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(48));
    std::vector<uint8_t> row(8, 0x0F);
    bool ok = true;
    for (uint32_t y = 0; y < 48 && ok; ++y) ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
    TIFFClose(tif);
    return ok;
}

TEST_F(Frames, ViewSettingsComeBackForEachDocumentType) {
    // A DVI view closed at 150 % with the toolbar band hidden...
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    Command(ID_ZOOM_150);
    Command(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(ViewOf(doc)->GetControls()->BandVisible());
    doc->OnCloseDocument();
    ASSERT_TRUE(PumpUntilQueuedRan());

    // ...gives the next DVI view 150 % and the band hidden.
    doc = Open("second.dvi");
    ASSERT_NE(doc, nullptr);
    ViewStatus vs;
    ViewOf(doc)->GetViewStatus(vs);
    EXPECT_EQ(vs.DispMag, 15000);
    EXPECT_EQ(vs.showMainToolbar, 0);
    EXPECT_FALSE(ViewOf(doc)->GetControls()->BandVisible());
    Command(ID_VIEW_TOOLBAR);
    doc->OnCloseDocument();
    ASSERT_TRUE(PumpUntilQueuedRan());

    // A TIFF view keeps to its own values: it takes and leaves the zoom,
    // and leaves the DVI paper and glass alone.
    ASSERT_TRUE(WriteTiff(dir_->File("page.tif")));
    app_->WriteProfileInt(CVrViewerApp::kAppProfile, "Display", "PaperOrientation", 1);
    doc = Open("page.tif");
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(ViewOf(doc)->GetDocType(), kDocTiff);
    ViewOf(doc)->GetViewStatus(vs);
    EXPECT_EQ(vs.DispMag, 15000);
    Command(ID_ZOOM_80);
    app_->WriteProfileString(CVrViewerApp::kAppProfile, "MagGlass", "GlassWidth", nullptr);
    doc->OnCloseDocument();
    EXPECT_TRUE(PumpUntil([&] { return app_->GetProfileInt(CVrViewerApp::kAppProfile, "Display", "DispMag", -1) == 8000u; }));
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "Display", "DispMag", -1), 8000u);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "Display", "PaperOrientation", -1), 1u);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "MagGlass", "GlassWidth", -1), UINT(-1));
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "Display", "ShowMainToolbar", -1), 1u);
}

TEST(MainFrameGarbage, OnlyTheViewersFreeTemporaryFilesGo) {
    testsupport::TempDir dir;
    const std::string d = dir.Path().string() + "/";
    for (const char* name : {"htp1.tmp", "hpp2.tmp", "htp3A.t_p", "hlp3.tmp", "hxp4.tmp", "other.tmp", "htp5.txt"})
        std::ofstream(d + name) << "x";
    // htp1.tmp is held by another viewer process. The child of this threaded
    // process only makes system calls: its path is formed before the fork.
    const std::string held = d + "htp1.tmp";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        int fd = open(held.c_str(), O_RDONLY);
        flock(fd, LOCK_SH);
        (void)!write(ready[1], "k", 1);
        for (;;) pause();  // until killed
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(CMainFrame::DeleteViewerTempFiles(d), 2);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.Path())) left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"htp1.tmp", "hlp3.tmp", "hxp4.tmp", "other.tmp", "htp5.txt"}));
}


// The mnemonic letters of one menu's items (upper case), "&&" being no mnemonic.
std::vector<char> Mnemonics(const std::vector<MenuItemTemplate>& items) {
    std::vector<char> letters;
    for (const MenuItemTemplate& item : items)
        for (size_t i = 0; i + 1 < item.text.size(); ++i) {
            if (item.text[i] != '&') continue;
            if (item.text[i + 1] == '&') {
                ++i;
                continue;
            }
            letters.push_back(char(std::toupper(static_cast<unsigned char>(item.text[i + 1]))));
            break;
        }
    return letters;
}

// Every menu and submenu of the list, the list itself first.
void WalkMenus(const std::vector<MenuItemTemplate>& items, const std::string& where,
               const std::function<void(const std::vector<MenuItemTemplate>&, const std::string&)>& visit) {
    visit(items, where);
    for (const MenuItemTemplate& item : items)
        if (!item.items.empty()) WalkMenus(item.items, where + " > " + item.text, visit);
}

TEST(ViewerMenus, EveryItemOfAMenuHasItsOwnMnemonicInBothLanguages) {
    TestApp();
    for (UiLanguage language : {UiLanguage::English, UiLanguage::Korean}) {
        AfxSetLanguage(language);
        AfxRegisterViewerMenus();
        for (UINT resource : {IDR_MAINFRAME, IDR_VRVIEWTYPE, IDR_VRVIEWTYPE_SRVR_IP}) {
            const auto* menu = AfxFindMenu(resource);
            ASSERT_NE(menu, nullptr) << resource;
            int menus = 0;
            WalkMenus(*menu, std::to_string(resource), [&](const std::vector<MenuItemTemplate>& items,
                                                           const std::string& where) {
                ++menus;
                std::vector<char> letters = Mnemonics(items);
                std::sort(letters.begin(), letters.end());
                const auto twice = std::adjacent_find(letters.begin(), letters.end());
                EXPECT_EQ(twice, letters.end()) << where << ": '" << (twice == letters.end() ? ' ' : *twice)
                                                << "' twice (language " << int(language) << ")";
            });
            EXPECT_GT(menus, 3);
        }
    }
    AfxSetLanguage(UiLanguage::English);
    AfxRegisterViewerMenus();
}

TEST_F(Frames, TheWindowMenuListsTheDocumentsAndActivatesTheChosenOne) {
    CVrViewerDoc* first = Open("doc.dvi");
    CVrViewerDoc* second = Open("second.dvi");
    ASSERT_TRUE(first && second);
    // The title names the active document from the first one on.
    EXPECT_EQ(main_->GetWidget()->windowTitle().toStdString(), "Veloran Viewer - [second.dvi]");

    QMenu* window = main_->GetWindowMenuPopup();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title().toStdString(), "&Window");
    window->popup(main_->GetWidget()->mapToGlobal(QPoint(40, 40)));
    ASSERT_TRUE(PumpUntil([&] { return window->isVisible(); }));
    std::vector<QAction*> listed;
    for (QAction* a : window->actions())
        if (a->data().toUInt() >= CMDIFrameWnd::AFX_IDM_FIRST_MDICHILD) listed.push_back(a);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0]->text().toStdString(), "&1 doc.dvi");
    EXPECT_EQ(listed[1]->text().toStdString(), "&2 second.dvi");
    EXPECT_FALSE(listed[0]->isChecked());
    EXPECT_TRUE(listed[1]->isChecked());
    // Choosing the first by its number activates it.
    QTest::keyClick(window, Qt::Key_1);
    EXPECT_TRUE(PumpUntil([&] { return main_->MDIGetActive() == FrameOf(first); }));
    EXPECT_EQ(main_->MDIGetActive(), FrameOf(first));
    EXPECT_EQ(main_->GetWidget()->windowTitle().toStdString(), "Veloran Viewer - [doc.dvi]");
    // The list is made anew each time: still two items, the other one checked.
    window->popup(main_->GetWidget()->mapToGlobal(QPoint(40, 40)));
    ASSERT_TRUE(PumpUntil([&] { return window->isVisible(); }));
    listed.clear();
    for (QAction* a : window->actions())
        if (a->data().toUInt() >= CMDIFrameWnd::AFX_IDM_FIRST_MDICHILD) listed.push_back(a);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[0]->isChecked());
    window->hide();
}

TEST_F(Frames, TheLayoutBarOfTheStartsDocumentComesBackWithItsWidthAndTab) {
    app_->WriteProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "Show", 1);
    app_->WriteProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "ViewNum", 1);
    app_->WriteProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "Width", 260);
    // As at a start: the document opens before the main window is shown.
    main_->ShowWindow(SW_HIDE);
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    main_->ShowWindow(SW_SHOW);
    EXPECT_TRUE(PumpUntil([&] {
        SizingTabBar* shown = FrameOf(doc)->GetLayoutBar();
        return shown && shown->GetWidget()->isVisible() && shown->GetVertSize().cx == 260;
    }));
    SizingTabBar* bar = FrameOf(doc)->GetLayoutBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetActiveTab(), 1);
    EXPECT_EQ(bar->GetVertSize().cx, 260);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "ViewNum", -1), 1u);
    EXPECT_EQ(app_->GetProfileInt(CVrViewerApp::kAppProfile, "LayoutBar", "Width", -1), 260u);
}

TEST_F(Frames, TheMessagePaneShowsTheActiveDocumentsFailureOnly) {
    // Nothing listens on port 1 of the loopback.
    auto* failed = dynamic_cast<CVrViewerDoc*>(app_->OpenDocumentFile("http://127.0.0.1:1/gone.dvi"));
    ASSERT_NE(failed, nullptr);
    QStatusBar* status = main_->GetBody()->statusBar();
    auto messagePane = [&] { return main_->GetStatusBarCtrl().GetPaneText(0).str(); };
    ASSERT_TRUE(PumpUntil([&] { return messagePane().find("Can not connect") != std::string::npos; }, 10000))
        << messagePane();
    CVrViewerDoc* doc = Open("doc.dvi");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return messagePane() == AfxLoadString(AFX_IDS_IDLEMESSAGE).str(); }));
    // Back on the failed document, its message is back.
    main_->MDIActivate(FrameOf(failed));
    EXPECT_TRUE(PumpUntil([&] { return messagePane().find("Can not connect") != std::string::npos; }));
    EXPECT_NE(messagePane().find("Can not connect"), std::string::npos);
    EXPECT_TRUE(status->isVisible());
}

}  // namespace
