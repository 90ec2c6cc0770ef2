// The main frame with the sample document under Xvfb: menu bar with the View
// menu open, the view's toolbar band, the layout bar and the status bar. The
// picture is kept as build/artefacts/frame-menus.png. The test runs itself
// again under xvfb-run and there builds the frames and takes the picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDockWidget>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UiDispatcher.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"
#include "testsupport/TestTools.h"
#include "viewer/res/AppStrings.h"
#include "viewer/frames/ChildFrame.h"
#include "viewer/frames/InPlaceFrame.h"
#include "viewer/frames/MainFrame.h"
#include "viewer/frames/SizingTabBar.h"
#include "viewer/document/VrViewerDoc.h"
#include "viewer/view/ViewControls.h"
#include "viewer/view/VrViewerView.h"
#include "viewer/view/tests/ViewTestSupport.h"
#include "viewer/res/ViewerStrings.h"

namespace fs = std::filesystem;

namespace {

const std::string kShot = VELORAN_BINARY_DIR "/artefacts/frame-menus.png";

int DarkPixels(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += qGray(img.pixel(x, y)) < 100;
    return n;
}

TEST(FrameScreenshot, MainFrameWithMenusToolbarLayoutBarAndStatusBar) {
    if (!std::getenv("VELORAN_UNDER_XVFB")) {
        fs::create_directories(fs::path(kShot).parent_path());
        fs::remove(kShot);
        char self[4096] = {};
        ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
        const std::string out = testsupport::RunCommand("VELORAN_UNDER_XVFB=1 xvfb-run -a -s '-screen 0 1280x1024x24' '" +
                                                        std::string(self) + "' 2>&1");
        ASSERT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
        EXPECT_EQ(out.find("[  FAILED  ]"), std::string::npos) << out;
        EXPECT_FALSE(QImage(QString::fromStdString(kShot)).isNull()) << out;
        return;
    }

    // Under Xvfb, with no window manager.
    testsupport::TestEnvironment dir;
    fs::create_directories(dir.Path() / "run");
    fs::permissions(dir.Path() / "run", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", dir.File("run").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char arg0[] = "viewer_app_frame_screenshot";
    static char* argv[] = {arg0, nullptr};
    QApplication qapp(argc, argv);
    UiDispatcher::Init();
    AfxSetMessageBoxAnswerer([](const MessageBoxRequest&) { return IDOK; });

    CVrViewerApp* app = NewTestApplication();
    app->SetRegistryKey(CVrViewerApp::kRegistryKey);
    app->SetAppProfile();
    AfxRegisterViewerStrings();
    app->AddViewerTemplate();
    CMainFrame* main = app->MakeMainFrame();
    ASSERT_NE(main, nullptr);
    main->SetWindowPos(nullptr, 0, 0, 1100, 800, SWP_NOZORDER | SWP_SHOWWINDOW);

    auto* doc = dynamic_cast<CVrViewerDoc*>(
        app->OpenDocumentFile(VELORAN_BINARY_DIR "/share/veloran/sample/sample.dvi"));
    ASSERT_NE(doc, nullptr);
    auto* view = dynamic_cast<CVrViewerView*>(doc->GetViews().front());
    ASSERT_TRUE(PumpUntil([&] { return doc->WaitWorker(0) && view->IsInitialViewEstablished(); }));
    auto* frame = dynamic_cast<CChildFrame*>(view->GetParentFrame());
    frame->CreateLayoutBar(200, view);
    main->GetWidget()->activateWindow();
    // The page is drawn in slices: a moment for the last of them.
    PumpUntil([] { return false; }, 3000);

    QMenuBar* menuBar = main->GetBody()->menuBar();
    QAction* viewMenu = nullptr;
    for (QAction* a : menuBar->actions())
        if (a->text() == "&View") viewMenu = a;
    ASSERT_NE(viewMenu, nullptr);
    QTest::mouseClick(menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(viewMenu).center());
    ASSERT_TRUE(PumpUntil([&] { return viewMenu->menu()->isVisible(); }, 5000));
    PumpUntil([] { return false; }, 500);

    EXPECT_TRUE(menuBar->isVisible());
    EXPECT_GE(menuBar->actions().size(), 6);
    EXPECT_TRUE(main->GetBody()->statusBar()->isVisible());
    EXPECT_TRUE(frame->GetLayoutBar()->GetWidget()->isVisible());
    ASSERT_NE(view->GetControls(), nullptr);
    EXPECT_TRUE(view->GetControls()->BandVisible());

    // The screen; the open menu is drawn over it where it sits (the root
    // window of Xvfb does not show override-redirect popups).
    QImage shot = qapp.primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    QMenu* popup = viewMenu->menu();
    const QImage menuImage = popup->grab().toImage();
    {
        QPainter p(&shot);
        p.drawImage(popup->geometry().topLeft(), menuImage);
    }
    ASSERT_TRUE(shot.save(QString::fromStdString(kShot)));
    // Text in the menu and on the page beside the layout bar.
    EXPECT_GT(DarkPixels(menuImage, menuImage.rect()), 200);
    const QPoint page = view->GetWidget()->mapToGlobal(QPoint(0, 0));
    EXPECT_GT(DarkPixels(shot, QRect(page, QSize(400, 300)).intersected(shot.rect())), 300);

    popup->hide();
    AfxSetMessageBoxAnswerer(nullptr);
    app->CloseAllDocuments(FALSE);
    main->DestroyWindow();
    EXPECT_TRUE(PumpUntilQueuedRan());
    delete app;
}

}  // namespace
