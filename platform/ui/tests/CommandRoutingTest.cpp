// Documents, frames and command routing with update-UI on an MDI frame.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QTemporaryDir>
#include <fstream>
#include <map>

#include "platform/ui/ControlBars.h"
#include "platform/ui/DocTemplate.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/RegistryProfileStore.h"
#include "platform/ui/StringTable.h"
#include "platform/ui/View.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/tests/QtTestApp.h"

namespace {

enum : UINT {
    IDR_MAINFRAME = 128,
    IDR_DOCTYPE = 119,
    ID_BY_VIEW = 40001,
    ID_BY_DOC = 40002,
    ID_BY_CHILD = 40003,
    ID_BY_MAIN = 40004,
    ID_BY_APP = 40005,
    ID_UNHANDLED = 40006,
    ID_STATE = 40007,
    ID_UPDATE_ONLY = 40008,
    ID_PANE_PAGE = 59142,
};

std::map<std::string, int> g_calls;

class TestDoc : public CDocument {
public:
    TestDoc() {
        MapCommand(ID_BY_DOC, [] { ++g_calls["doc"]; });
        MapCommand(ID_BY_VIEW, [] { ++g_calls["doc-shadowed"]; });
    }
    BOOL OnOpenDocument(const char* path) override {
        openedPath = path;
        return CString(path).Right(4).CompareNoCase(".bad") != 0;
    }
    CString openedPath;
};

class TestView : public CView {
public:
    TestView() {
        MapCommand(ID_BY_VIEW, [] { ++g_calls["view"]; });
        MapCommand(ID_STATE, [] { ++g_calls["state"]; });
        MapUpdateUI(ID_STATE, [this](CCmdUI* ui) {
            ui->Enable(enabled);
            ui->SetCheck(check);
            ui->SetText(text.c_str());
        });
        MapUpdateUI(ID_UPDATE_ONLY, [](CCmdUI*) {});
        MapUpdateUI(ID_PANE_PAGE, [this](CCmdUI* ui) { ui->SetText(pageText.c_str()); });
    }
    void OnInitialUpdate() override { ++initialUpdates; }
    bool enabled = false;
    int check = 2;
    std::string text = "Stat&e text";
    std::string pageText = "3 Page";
    int initialUpdates = 0;
};

class ChildFrame : public CMDIChildWnd {
public:
    ChildFrame() { MapCommand(ID_BY_CHILD, [] { ++g_calls["child"]; }); }
    BOOL PreCreateWindow(CREATESTRUCT& cs) override {
        cs.style |= WS_MAXIMIZE;
        return CMDIChildWnd::PreCreateWindow(cs);
    }
};

class MainFrame : public CMDIFrameWnd {
public:
    MainFrame() { MapCommand(ID_BY_MAIN, [] { ++g_calls["main"]; }); }
    int OnCreate(LPCREATESTRUCT) override {
        static const UINT indicators[] = {ID_SEPARATOR, ID_PANE_PAGE};
        if (!m_status.Create(this) || !m_status.SetIndicators(indicators, 2)) return -1;
        if (!m_toolbar.Create(this)) return -1;
        static const UINT buttons[] = {ID_STATE, ID_SEPARATOR, ID_BY_VIEW};
        m_toolbar.SetButtons(buttons, 3);
        return 0;
    }
    CStatusBar m_status;
    CToolBar m_toolbar;
};

class TestApp_ : public CWinApp {
public:
    TestApp_() : CWinApp("Test Viewer") { MapCommand(ID_BY_APP, [] { ++g_calls["app"]; }); }
};

class Routing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TestApp();
        AfxSetLanguage(UiLanguage::English);
        const StringTableEntry strings[] = {
            {IDR_MAINFRAME, "Test Viewer"},
            {IDR_DOCTYPE, "\nTest\nTest Document\n\n.tst\nTest.Document\nTest Document"},
            {ID_STATE, "Toggle the state\nState"},
            {ID_PANE_PAGE, "0000 [0000] Page (Total 0000 Page)"},
        };
        AfxAddStrings(UiLanguage::English, strings, 4);
        AfxRegisterMenu(IDR_MAINFRAME,
                        {{0, "&File",
                          {{ID_BY_VIEW, "&View command", {}},
                           {ID_BY_DOC, "&Document command", {}},
                           {ID_BY_CHILD, "&Child command", {}},
                           {ID_BY_MAIN, "&Main command", {}},
                           {ID_BY_APP, "&App command", {}},
                           {ID_UNHANDLED, "&Unhandled", {}},
                           {ID_UPDATE_ONLY, "Update &only", {}},
                           {0, "", {}},
                           {ID_STATE, "&State\tCtrl+S", {}},
                           {0, "", {}},
                           {ID_FILE_MRU_FILE1, "Recent File", {}}}}});
        AfxRegisterAccelerators(IDR_MAINFRAME, {{ID_BY_MAIN, "Ctrl+M"}});
    }

    void SetUp() override {
        g_calls.clear();
        app = std::make_unique<TestApp_>();
        app->SetRegistryKey("Veloran");
        app->SetProfileName("Veloran Viewer 5.0");
        app->LoadStdProfileSettings(5);
        app->AddDocTemplate(new CMultiDocTemplate(IDR_DOCTYPE, AfxFactoryAs<TestDoc, CDocument>(),
                                                  AfxFactoryAs<ChildFrame, CFrameWnd>(),
                                                  AfxFactoryAs<TestView, CView>()));
        main = new MainFrame;
        ASSERT_TRUE(main->LoadFrame(IDR_MAINFRAME));
        app->m_pMainWnd = main;
        main->ShowWindow(SW_SHOW);
        ASSERT_TRUE(dir.isValid());
    }

    void TearDown() override {
        if (app->m_pMainWnd) static_cast<CFrameWnd*>(app->m_pMainWnd)->DestroyWindow();
        PumpUntilQueuedRan();
        app.reset();
    }

    std::string MakeFile(const std::string& name) {
        std::string path = dir.path().toStdString() + "/" + name;
        std::ofstream(path) << "x";
        return path;
    }

    QAction* MenuAction(UINT id) {
        auto actions = main->FindCommandActions(id);
        for (QAction* a : actions)
            if (qobject_cast<QMenu*>(a->parent())) return a;
        return nullptr;
    }
    QMenu* FileMenu() { return main->GetBody()->menuBar()->actions().at(0)->menu(); }

    QTemporaryDir dir;
    std::unique_ptr<TestApp_> app;
    MainFrame* main = nullptr;
};

TEST_F(Routing, CommandsReachTheirHandlerAlongTheChain) {
    auto* doc = dynamic_cast<TestDoc*>(app->OpenDocumentFile(MakeFile("a.tst").c_str()));
    ASSERT_NE(doc, nullptr);
    struct Case {
        UINT id;
        const char* handler;
    } cases[] = {{ID_BY_VIEW, "view"}, {ID_BY_DOC, "doc"}, {ID_BY_CHILD, "child"},
                 {ID_BY_MAIN, "main"}, {ID_BY_APP, "app"}};
    for (const Case& c : cases) {
        g_calls.clear();
        QAction* a = MenuAction(c.id);
        ASSERT_NE(a, nullptr) << c.id;
        a->trigger();
        EXPECT_EQ(g_calls, (std::map<std::string, int>{{c.handler, 1}})) << c.id;
    }
    g_calls.clear();
    EXPECT_FALSE(main->OnCommand(ID_UNHANDLED));
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(Routing, WithoutADocumentOnlyFrameAndAppHandle) {
    EXPECT_FALSE(main->OnCommand(ID_BY_VIEW));
    EXPECT_FALSE(main->OnCommand(ID_BY_DOC));
    EXPECT_TRUE(main->OnCommand(ID_BY_MAIN));
    EXPECT_TRUE(main->OnCommand(ID_BY_APP));
    FileMenu()->aboutToShow();
    EXPECT_FALSE(MenuAction(ID_BY_VIEW)->isEnabled());
    EXPECT_TRUE(MenuAction(ID_BY_MAIN)->isEnabled());
    EXPECT_TRUE(MenuAction(ID_BY_APP)->isEnabled());
}

TEST_F(Routing, UpdateUiStateShowsOnMenuItemToolbarButtonAndPane) {
    ASSERT_NE(app->OpenDocumentFile(MakeFile("a.tst").c_str()), nullptr);
    auto* view = dynamic_cast<TestView*>(main->MDIGetActive()->GetActiveView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->initialUpdates, 1);

    FileMenu()->aboutToShow();
    QAction* item = MenuAction(ID_STATE);
    EXPECT_FALSE(item->isEnabled());
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(item->text().toStdString(), "Stat&e text\tCtrl+S");
    EXPECT_FALSE(MenuAction(ID_UNHANDLED)->isEnabled());
    // An update handler that decides nothing leaves the item to the command map.
    EXPECT_FALSE(MenuAction(ID_UPDATE_ONLY)->isEnabled());
    EXPECT_TRUE(MenuAction(ID_BY_DOC)->isEnabled());

    QAction* button = main->m_toolbar.GetButtonAction(main->m_toolbar.CommandToIndex(ID_STATE));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->toolTip().toStdString(), "State");
    EXPECT_EQ(main->m_status.GetPaneText(1).str(), "3 Page");
    EXPECT_EQ(main->m_status.GetPaneText(0).str(), "Ready");

    view->enabled = true;
    view->check = 0;
    view->pageText = "4 Page";
    main->UpdateCmdUI();
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(main->m_status.GetPaneText(1).str(), "4 Page");

    button->trigger();
    EXPECT_EQ(g_calls["state"], 1);
}

TEST_F(Routing, AcceleratorSendsItsCommand) {
    QAction* accel = nullptr;
    for (QAction* a : main->GetBody()->actions())
        if (a->shortcut() == QKeySequence("Ctrl+M")) accel = a;
    ASSERT_NE(accel, nullptr);
    accel->trigger();
    EXPECT_EQ(g_calls["main"], 1);
}

TEST_F(Routing, OpenAgainActivatesFailureLeavesNothingAndTitlesFollow) {
    std::string a = MakeFile("a.tst"), b = MakeFile("b.tst");
    CDocument* da = app->OpenDocumentFile(a.c_str());
    CDocument* db = app->OpenDocumentFile(b.c_str());
    ASSERT_TRUE(da && db && da != db);
    EXPECT_EQ(main->GetActiveDocument(), db);
    // Children open maximised; the main title names the active one.
    EXPECT_EQ(main->GetWindowText().str(), "Test Viewer - [b.tst]");
    EXPECT_EQ(app->OpenDocumentFile(a.c_str()), da);
    EXPECT_EQ(main->GetActiveDocument(), da);
    EXPECT_EQ(main->GetWindowText().str(), "Test Viewer - [a.tst]");
    EXPECT_EQ(main->GetChildFrames().size(), 2u);
    BOOL maximized = FALSE;
    main->MDIGetActive(&maximized);
    EXPECT_TRUE(maximized);

    EXPECT_EQ(app->OpenDocumentFile(MakeFile("c.bad").c_str()), nullptr);
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(app->GetDocManager()->GetOpenDocumentCount(), 2);
    EXPECT_EQ(main->GetChildFrames().size(), 2u);
}

TEST_F(Routing, ClosingTheChildFrameClosesItsDocument) {
    CDocument* doc = app->OpenDocumentFile(MakeFile("a.tst").c_str());
    ASSERT_NE(doc, nullptr);
    CMDIChildWnd* child = main->MDIGetActive();
    ASSERT_NE(child, nullptr);
    child->GetSubWindow()->close();
    EXPECT_TRUE(PumpUntil([&] { return app->GetDocManager()->GetOpenDocumentCount() == 0 && main->GetChildFrames().empty(); }));
    EXPECT_EQ(app->GetDocManager()->GetOpenDocumentCount(), 0);
    EXPECT_TRUE(main->GetChildFrames().empty());
    EXPECT_EQ(main->GetActiveDocument(), nullptr);
    EXPECT_FALSE(main->OnCommand(ID_BY_VIEW));
}

TEST_F(Routing, ModifiedDocumentAsksBeforeClosingAndCancelKeepsIt) {
    std::vector<MessageBoxRequest> asked;
    int answer = IDCANCEL;
    AfxSetMessageBoxAnswerer([&](const MessageBoxRequest& r) {
        asked.push_back(r);
        return answer;
    });
    CDocument* doc = app->OpenDocumentFile(MakeFile("a.tst").c_str());
    doc->SetModifiedFlag(TRUE);
    main->MDIGetActive()->GetSubWindow()->close();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].text.find("a.tst?"), std::string::npos);
    EXPECT_EQ(asked[0].type & MB_TYPEMASK, MB_YESNOCANCEL);
    EXPECT_EQ(app->GetDocManager()->GetOpenDocumentCount(), 1);
    answer = IDNO;
    main->MDIGetActive()->GetSubWindow()->close();
    EXPECT_EQ(app->GetDocManager()->GetOpenDocumentCount(), 0);
    AfxSetMessageBoxAnswerer(nullptr);
}

TEST_F(Routing, RecentFilesShowInMenuAndPersistInProfile) {
    std::string a = MakeFile("a.tst"), b = MakeFile("b&c.tst");
    app->OpenDocumentFile(a.c_str());
    app->OpenDocumentFile(b.c_str());
    app->OpenDocumentFile(a.c_str()); // already open: not added again
    FileMenu()->aboutToShow();
    std::vector<std::string> entries;
    for (QAction* act : FileMenu()->actions()) {
        UINT id = AfxActionCommandId(act);
        if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST) entries.push_back(act->text().toStdString());
    }
    std::string bEsc = dir.path().toStdString() + "/b&&c.tst";
    EXPECT_EQ(entries, (std::vector<std::string>{"&1 " + bEsc, "&2 " + a}));
    FileMenu()->aboutToShow(); // a second update does not duplicate entries
    int count = 0;
    for (QAction* act : FileMenu()->actions())
        count += AfxActionCommandId(act) >= ID_FILE_MRU_FILE1 && AfxActionCommandId(act) <= ID_FILE_MRU_LAST;
    EXPECT_EQ(count, 2);

    app->SaveStdProfileSettings();
    EXPECT_EQ(app->GetProfileString("Recent File List", "File1").str(), dir.path().toStdString() + "/b&c.tst");
    EXPECT_EQ(app->GetProfileString("recent file list", "FILE2").str(), a);
    EXPECT_EQ(app->GetProfileString("Shared", "Recent File List", "File1", "none").str(), "none");

    // Choosing the second entry opens (activates) that document.
    main->OnCommand(ID_FILE_MRU_FILE1 + 1);
    EXPECT_EQ(main->GetActiveDocument()->GetPathName().str(), a);
}

TEST_F(Routing, EmptyRecentListShowsDisabledPlaceholder) {
    FileMenu()->aboutToShow();
    QAction* first = MenuAction(ID_FILE_MRU_FILE1);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->isEnabled());
    EXPECT_EQ(first->text().toStdString(), "Recent File");
}

TEST_F(Routing, ExitCommandEndsTheEventLoopAndExitInstanceSavesRecentFiles) {
    std::string a = MakeFile("a.tst");
    ASSERT_NE(app->OpenDocumentFile(a.c_str()), nullptr);
    UiDispatcher::Post([this] { main->OnCommand(ID_APP_EXIT); });
    EXPECT_EQ(app->Run(), 0);
    EXPECT_EQ(app->m_pMainWnd, nullptr);
    EXPECT_EQ(app->GetDocManager()->GetOpenDocumentCount(), 0);
    EXPECT_EQ(app->GetProfileString("Recent File List", "File1").str(), a);
}

TEST_F(Routing, InPlaceFrameHoldsAViewAtTheGivenPosition) {
    CDocTemplate* t = app->GetDocManager()->GetTemplates().front().get();
    EXPECT_EQ(t->OpenDocumentInPlace(), nullptr); // no server information yet
    t->SetServerInfo(130, 130, AfxFactoryAs<COleDocIPFrameWnd, CFrameWnd>());
    CDocument* doc = t->OpenDocumentInPlace();
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->GetViews().size(), 1u);
    CView* view = doc->GetViews().front();
    auto* frame = dynamic_cast<COleDocIPFrameWnd*>(view->GetParentFrame());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetActiveView(), view);
    frame->MoveWindow(0, 0, 400, 300);
    CRect pos(150, 0, 400, 300);
    frame->RepositionFrame(&pos, &pos);
    EXPECT_TRUE(PumpUntil([&] { return view->GetWidget()->geometry().left() == 150; }));
    EXPECT_EQ(view->GetWidget()->geometry().left(), 150);
    // Commands of the in-place frame go to its view and document.
    frame->OnCommand(ID_BY_DOC);
    EXPECT_EQ(g_calls["doc"], 1);
    frame->DestroyWindow();
    EXPECT_TRUE(PumpUntil([&] { return app->GetDocManager()->GetOpenDocumentCount() == 0; }));
}

// A bar docked at the left takes the width its CalcFixedLayout gives; the
// view fills the rest.
TEST(Docking, LeftBarSizedByCalcFixedLayout) {
    TestApp();
    struct LeftBar : CControlBar {
        int width = 150;
        int updates = 0;
        CSize CalcFixedLayout(BOOL, BOOL bHorz) override {
            EXPECT_FALSE(bHorz);
            return CSize(width, 32767);
        }
        void OnUpdateCmdUI(CFrameWnd*, BOOL) override { ++updates; }
    };
    CCreateContext context;
    context.m_pNewViewClass = AfxFactoryAs<TestView, CView>();
    auto* frame = new CFrameWnd;
    ASSERT_TRUE(frame->LoadFrame(0, WS_OVERLAPPEDWINDOW, nullptr, &context));
    frame->MoveWindow(0, 0, 600, 400);
    frame->ShowWindow(SW_SHOW);
    LeftBar bar;
    ASSERT_TRUE(bar.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), frame, 161));
    frame->EnableDocking(CBRS_ALIGN_ANY);
    bar.EnableDocking(CBRS_ALIGN_LEFT);
    frame->DockControlBar(&bar, AFX_IDW_DOCKBAR_LEFT);
    EXPECT_TRUE(PumpUntil([&] { return bar.GetWidget()->width() == 150; }));
    EXPECT_EQ(bar.GetDockBarID(), AFX_IDW_DOCKBAR_LEFT);
    EXPECT_EQ(frame->GetControlBar(161), &bar);
    EXPECT_EQ(bar.GetWidget()->width(), 150);
    QWidget* view = frame->GetBody()->centralWidget();
    EXPECT_GE(view->mapTo(frame->GetBody(), QPoint(0, 0)).x(), 150);

    bar.width = 220;
    frame->DelayRecalcLayout();
    EXPECT_TRUE(PumpUntil([&] { return bar.GetWidget()->width() == 220; }));
    EXPECT_EQ(bar.GetWidget()->width(), 220);
    frame->UpdateCmdUI();
    EXPECT_GE(bar.updates, 1);
    frame->DestroyWindow();
    EXPECT_TRUE(PumpUntilQueuedRan());
}

// Items follow a change once the current message is done: any number of
// requests make one update, and a frame that went takes none.
TEST(UpdateUI, DelayedUpdatesCoalesceAndFollowTheFrame) {
    TestApp();
    // A frame whose handler decides an item that only shows a state (its
    // owner sends its command).
    struct CountingFrame : CFrameWnd {
        int updates = 0;
        bool on = false;
        CountingFrame() {
            MapUpdateUI(1234, [this](CCmdUI* ui) {
                ++updates;
                ui->Enable(on);
            });
        }
    };
    auto* frame = new CountingFrame;
    ASSERT_TRUE(frame->LoadFrame(0, WS_OVERLAPPEDWINDOW));
    QAction shown;
    int sent = 0;
    frame->AddUpdateAction(&shown, 1234);
    QObject::connect(&shown, &QAction::triggered, [&] { ++sent; });
    frame->UpdateCmdUI();
    EXPECT_FALSE(shown.isEnabled());
    frame->on = true;
    const int before = frame->updates;
    for (int i = 0; i < 5; ++i) frame->DelayUpdateCmdUI();
    EXPECT_EQ(frame->updates, before);
    ASSERT_TRUE(PumpUntil([&] { return shown.isEnabled(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->updates, before + 1);
    shown.trigger();
    EXPECT_EQ(sent, 1);  // the frame sends no command of its own for it
    // A request of a frame that goes is dropped with it.
    frame->DelayUpdateCmdUI();
    frame->DestroyWindow();
    QCoreApplication::processEvents();
}

TEST(Profile, ExplicitProfilesSectionsAndDeletes) {
    TestApp();
    CWinApp app("P");
    app.SetRegistryKey("Veloran");
    app.SetProfileName("Veloran Viewer 5.0");
    EXPECT_TRUE(app.WriteProfileInt("Settings", "Window Left", -20));
    EXPECT_TRUE(app.WriteProfileString("Shared", "KPathSea", "DLLPath", "/usr/lib"));
    EXPECT_EQ(int(app.GetProfileInt("SETTINGS", "window left", 5)), -20);
    EXPECT_EQ(int(app.GetProfileInt("Settings", "Window Top", 5)), 5);
    EXPECT_EQ(app.GetProfileString("KPathSea", "DLLPath", "d").str(), "d"); // other profile
    EXPECT_EQ(app.GetProfileString("shared", "kpathsea", "dllpath", "d").str(), "/usr/lib");
    // A value of the other type reads as missing.
    EXPECT_EQ(app.GetProfileString("Settings", "Window Left", "s").str(), "s");
    app.WriteProfileString("Settings", "Window Left", nullptr);
    EXPECT_EQ(int(app.GetProfileInt("Settings", "Window Left", 7)), 7);
    app.WriteProfileInt("Settings", "Window Right", 1);
    app.WriteProfileString("Settings", nullptr, nullptr);
    EXPECT_EQ(int(app.GetProfileInt("Settings", "Window Right", 9)), 9);
    // Another registry key is another tree.
    app.SetRegistryKey("Other");
    EXPECT_EQ(app.GetProfileString("Shared", "KPathSea", "DLLPath", "d").str(), "d");
}

TEST(CommandLine, FlagsAndFileName) {
    struct Case {
        std::vector<std::string> args;
        int command;
        const char* file;
        bool embedded;
    } cases[] = {
        {{}, CCommandLineInfo::FileNew, "", false},
        {{"/home/u/a.dvi"}, CCommandLineInfo::FileOpen, "/home/u/a.dvi", false},
        {{"-Embedding"}, CCommandLineInfo::FileNothing, "", true},
        {{"/embedding", "x.dvi"}, CCommandLineInfo::FileOpen, "x.dvi", true},
        {{"/dde"}, CCommandLineInfo::FileDDE, "", false},
    };
    for (const Case& c : cases) {
        CCommandLineInfo info;
        for (size_t i = 0; i < c.args.size(); ++i) {
            const std::string& a = c.args[i];
            bool flag = a[0] == '/' && a.find('/', 1) == std::string::npos ? true : a[0] == '-';
            info.ParseParam(flag ? a.c_str() + 1 : a.c_str(), flag, i + 1 == c.args.size());
        }
        EXPECT_EQ(info.m_nShellCommand, c.command);
        EXPECT_EQ(info.m_strFileName.str(), c.file);
        EXPECT_EQ(bool(info.m_bRunEmbedded), c.embedded);
    }
}

} // namespace

namespace {

TEST(Profile, RegistryBackedStoreRoundTripsThroughFiles) {
    TestApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::unique_ptr<sys::Registry> reg = sys::Registry::OpenDirectory(dir.path().toStdString());
    {
        CWinApp app("P");
        app.SetProfileStore(std::make_shared<RegistryProfileStore>(*reg));
        app.SetRegistryKey("Veloran");
        app.SetProfileName("Veloran Viewer 5.0");
        app.LoadStdProfileSettings(5);
        app.AddToRecentFileList("/tmp/b.dvi");
        app.AddToRecentFileList("/tmp/a.dvi");
        EXPECT_TRUE(app.WriteProfileInt("Settings", "Window Left", -3));
        EXPECT_EQ(app.ExitInstance(), 0);
    }
    std::unique_ptr<sys::Registry> again = sys::Registry::OpenDirectory(dir.path().toStdString());
    EXPECT_EQ(again->GetString(sys::RegRoot::CurrentUser, "software\\veloran\\Veloran Viewer 5.0\\Recent File List",
                               "File1"),
              std::optional<std::string>("/tmp/a.dvi"));
    CWinApp app("P");
    app.SetProfileStore(std::make_shared<RegistryProfileStore>(*again));
    app.SetRegistryKey("Veloran");
    app.SetProfileName("Veloran Viewer 5.0");
    EXPECT_EQ(int(app.GetProfileInt("Settings", "Window Left", 0)), -3);
    app.LoadStdProfileSettings(5);
    ASSERT_EQ(app.GetRecentFileList()->GetCount(), 2);
    EXPECT_EQ((*app.GetRecentFileList())[1].str(), "/tmp/b.dvi");
}

} // namespace
