// Start-up and shutdown of the viewer on the offscreen platform, with the
// settings in a temporary folder: defaults of a first run, the resources the
// documents share, the hand-over from a second start of the real program,
// and what shutdown releases and saves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <sys/un.h>
#include <filesystem>
#include <fstream>

#include "dvilib/SharedBlock.h"
#include "platform/gdi/FontEngine.h"
#include "platform/ghostscript/GS.h"
#include "platform/sys/NamedBlock.h"
#include "platform/sys/Registry.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/UiDispatcher.h"
#include "viewer/frames/MainFrame.h"
#include "viewer/app/VrViewerApp.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/QtTestTools.h"

namespace fs = std::filesystem;
using sys::RegRoot;

namespace {

const std::string kSharedKey = "Software\\Veloran\\Shared\\";
const std::string kSettingsKey = "Software\\Veloran\\Veloran Viewer 5.0\\Settings";

class AppStartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        tmp = env.Path();
        fs::create_directories(tmp / "run");
        setenv("XDG_RUNTIME_DIR", (tmp / "run").c_str(), 1);
    }
    void TearDown() override {
        if (app) Shutdown();
    }
    sys::Registry& Reg() { return sys::Registry::Default(); }
    void PutShared(const std::string& section, const std::string& name, const std::string& value) {
        Reg().CreateKey(RegRoot::CurrentUser, kSharedKey + section);
        Reg().SetString(RegRoot::CurrentUser, kSharedKey + section, name, value);
    }
    std::optional<std::string> Shared(const std::string& section, const std::string& name) {
        return Reg().GetString(RegRoot::CurrentUser, kSharedKey + section, name);
    }
    void Start() {
        app = std::make_unique<CVrViewerApp>();
        ASSERT_TRUE(app->InitInstance());
        ASSERT_TRUE(PumpUntilQueuedRan());
    }
    // The way a run ends: the main frame closes, then the application exits.
    void Shutdown() {
        if (app->m_pMainWnd) app->m_pMainWnd->OnClose();
        EXPECT_TRUE(PumpUntilQueuedRan());
        app->ExitInstance();
        app.reset();
    }

    testsupport::TestEnvironment env;
    fs::path tmp;
    std::unique_ptr<CVrViewerApp> app;
};

TEST_F(AppStartupTest, FirstRunLoadsResourcesAndWritesDefaults) {
    Start();
    ASSERT_NE(app->m_pMainWnd, nullptr);
    EXPECT_TRUE(app->m_pMainWnd->IsWindowVisible());
    // No document without a file on the command line.
    EXPECT_EQ(app->GetDocManager()->GetOpenDocumentCount(), 0);

    // The installation beside the program's bin folder.
    std::string base = std::string(VELORAN_BINARY_DIR) + "/share/veloran/";
    EXPECT_EQ(fs::weakly_canonical(app->GetBaseDir().c_str()), fs::weakly_canonical(base));
    EXPECT_STREQ(app->m_viewerDir.c_str(), (std::string(app->GetBaseDir().c_str()) + "Viewer/").c_str());
    EXPECT_EQ(app->m_firstRun, 0);  // no installation key
    EXPECT_EQ(app->m_resourcesLoaded, 1);
    EXPECT_EQ(g_bLayeredWindowsAllowed, 1);
    EXPECT_EQ(app->m_fileAssocCount, 4);

    // The map files of the installation are in the map.
    const VrDviTTFMap::Entry* cmr10 = app->m_ttfMap.GetEntry(String8("cmr10"));
    ASSERT_NE(cmr10, nullptr);
    EXPECT_EQ(cmr10->encoding, VrDviTTFMap::EncRaw);

    // The shared block carries the default face and the face lists.
    auto block = NamedBlock::Open(SharedBlock::kName);
    ASSERT_NE(block, nullptr);
    SharedBlock sb = SharedBlock::Load(*block);
    EXPECT_STREQ(sb.defaultFace.c_str(), "Tahoma");
    size_t names = 0;
    for (const auto& list : sb.faceLists) names += list.size();
    EXPECT_GT(names, 0u);

    EXPECT_TRUE(app->m_kpathsea.IsKPathSeaDLLLoaded());
    EXPECT_NE(app->m_kpathsea.KPSEFindTfm("cmr10.tfm"), nullptr);
    EXPECT_TRUE(GetGS()->IsGSDLLLoaded());

    // Shutdown releases the libraries and empties the lists.
    app->m_pMainWnd->OnClose();
    EXPECT_TRUE(PumpUntil([&] { return app->m_pMainWnd == nullptr; }));
    app->ExitInstance();
    EXPECT_FALSE(GetGS()->IsGSDLLLoaded());
    EXPECT_FALSE(app->m_kpathsea.IsKPathSeaDLLLoaded());
    EXPECT_TRUE(app->m_tfmPathList.IsEmpty());
    EXPECT_TRUE(app->m_ttfPathListExpanded.IsEmpty());
    app.reset();

    // The defaults were saved: the lists with their default entries, the
    // Ghostscript folder found on PATH, the window placement.
    EXPECT_EQ(Shared("TfmPathList", "0"), ":/tfm/");
    EXPECT_EQ(Shared("VfPathList", "0"), ":/vf/");
    EXPECT_EQ(Shared("TtfPathList", "0"), ":/ttf/");
    EXPECT_FALSE(Shared("TfmPathList", "1"));
    EXPECT_EQ(Shared("KPathSea", "DLLPath"), "");
    EXPECT_EQ(Shared("GhostScript", "DLLPath"), viewer_app::FindProgramFolder("gs", getenv("PATH")));
    EXPECT_EQ(Shared("GhostScript", "LibPath"), "");
    EXPECT_EQ(Shared("Contents", "Path"), "");
    auto right = Reg().GetDword(RegRoot::CurrentUser, kSettingsKey, "Window Right");
    auto left = Reg().GetDword(RegRoot::CurrentUser, kSettingsKey, "Window Left");
    ASSERT_TRUE(right && left);
    EXPECT_GT(int(*right), int(*left));
    // The settings went to the file of the configuration folder.
    EXPECT_TRUE(fs::exists(Reg().FileOf(RegRoot::CurrentUser)));
    EXPECT_EQ(fs::path(Reg().FileOf(RegRoot::CurrentUser)).parent_path(), tmp / "config");
}

TEST_F(AppStartupTest, InstallationKeyAndSavedPlacement) {
    fs::path inst = tmp / "inst";
    fs::create_directories(inst / "ttfcfg");
    std::ofstream(inst / "ttfcfg" / "one.map") << "myfont { fontname = 'DejaVu Sans', encoding = 'raw' }\n";
    std::ofstream(inst / "ttfcfg" / "winfont.alt") << ":Gulim\nGulimFace\n:other\nZeroFace\n";
    Reg().CreateKey(RegRoot::LocalMachine, CVrViewerApp::kInstallKey);
    Reg().SetString(RegRoot::LocalMachine, CVrViewerApp::kInstallKey, "VeloranBaseDir", inst.string());
    Reg().CreateKey(RegRoot::CurrentUser, kSettingsKey);
    for (auto [name, v] : {std::pair{"Window Left", 40}, {"Window Top", 30}, {"Window Right", 740}, {"Window Bottom", 530}})
        Reg().SetDword(RegRoot::CurrentUser, kSettingsKey, name, uint32_t(v));
    Start();

    EXPECT_STREQ(app->GetBaseDir().c_str(), (inst.string() + "/").c_str());
    EXPECT_EQ(app->m_firstRun, 1);  // key present, value missing
    EXPECT_NE(app->m_ttfMap.GetEntry(String8("MyFont")), nullptr);
    EXPECT_EQ(app->m_ttfMap.GetEntry(String8("cmr10")), nullptr);
    SharedBlock sb = SharedBlock::Load(*NamedBlock::Open(SharedBlock::kName));
    ASSERT_EQ(sb.faceLists[2].size(), 1u);
    EXPECT_STREQ(sb.faceLists[2][0].c_str(), "GulimFace");
    ASSERT_EQ(sb.faceLists[0].size(), 1u);
    EXPECT_STREQ(sb.faceLists[0][0].c_str(), "ZeroFace");

    QWidget* w = app->m_pMainWnd->GetWidget();
    EXPECT_EQ(w->width(), 700);
    EXPECT_EQ(w->height(), 500);

    // Closed while minimised: the normal placement is saved.
    w->showMinimized();
    EXPECT_TRUE(PumpUntil([&] { return w->isMinimized(); }));
    Shutdown();
    auto saved = [&](const char* name) { return int(*Reg().GetDword(RegRoot::CurrentUser, kSettingsKey, name)); };
    EXPECT_EQ(saved("Window Left"), 40);
    EXPECT_EQ(saved("Window Top"), 30);
    EXPECT_EQ(saved("Window Right"), 740);
    EXPECT_EQ(saved("Window Bottom"), 530);

    // A placement saved from a minimised window, or off every screen, is not used.
    for (auto [name, v] : {std::pair{"Window Left", -32000}, {"Window Top", -32000}, {"Window Right", -31840},
                           {"Window Bottom", -31970}})
        Reg().SetDword(RegRoot::CurrentUser, kSettingsKey, name, uint32_t(v));
    Reg().SetString(RegRoot::LocalMachine, CVrViewerApp::kInstallKey, "FirstRunning", "true");
    Start();
    EXPECT_EQ(app->m_firstRun, 0);
    EXPECT_GT(app->m_pMainWnd->GetWidget()->x(), -1000);
}

TEST_F(AppStartupTest, FontsAddedForTheRunAndRemovedAtExit) {
    fs::path fonts = tmp / "fonts";
    fs::create_directories(fonts);
    const char* dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    ASSERT_TRUE(fs::exists(dejavu));
    fs::copy_file(dejavu, fonts / "A.TTF");
    fs::copy_file(dejavu, fonts / "b.ttf");
    std::ofstream(fonts / "notes.txt") << "not a font\n";
    // A doubled separator in the setting.
    PutShared("TtfPathList", "0", tmp.string() + "//fonts");
    Start();

    std::vector<std::string> expected = {(fonts / "A.TTF").string(), (fonts / "b.ttf").string()};
    EXPECT_EQ(app->GetAddedFonts(), expected);
    std::vector<std::string> added = app->GetAddedFonts();

    Shutdown();
    // Removed already: removing again finds nothing.
    for (const std::string& f : added) EXPECT_FALSE(FontEngine::RemoveFontResource(f.c_str())) << f;
    // The setting is saved as it was stored.
    EXPECT_EQ(Shared("TtfPathList", "0"), tmp.string() + "//fonts/");
}

TEST_F(AppStartupTest, MissingKpathseaAndGhostscriptLeaveTheProgramRunning) {
    fs::create_directories(tmp / "empty");
    PutShared("KPathSea", "DLLPath", (tmp / "empty").string());
    PutShared("GhostScript", "DLLPath", (tmp / "empty").string());
    std::string savedPath = getenv("PATH");
    setenv("PATH", (tmp / "empty").c_str(), 1);
    app = std::make_unique<CVrViewerApp>();
    BOOL started = app->InitInstance();
    setenv("PATH", savedPath.c_str(), 1);
    ASSERT_TRUE(started);

    EXPECT_FALSE(app->m_kpathsea.IsKPathSeaDLLLoaded());
    EXPECT_EQ(app->m_kpathsea.KPSEFindTfm("cmr10.tfm"), nullptr);
    EXPECT_STREQ(app->m_gsDllPath.c_str(), "");
    // Documents still open.
    fs::path doc = tmp / "x.dvi";
    std::ofstream(doc) << "x";
    EXPECT_NE(app->OpenDocumentFile(doc.c_str()), nullptr);
    Shutdown();
    EXPECT_EQ(Shared("KPathSea", "DLLPath"), (tmp / "empty").string() + "/");
}

// The second start of the real program, in the given folder; *errors takes
// what it wrote to its standard error.
int RunSecondStart(const fs::path& cwd, const QStringList& args, std::string* errors = nullptr) {
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(cwd.string()));
    p.start(QStringLiteral(VELORAN_BINARY_DIR "/bin/VrViewer"), args);
    if (!p.waitForStarted(30000)) return -1;
    // The first instance answers on the UI thread of this process.
    if (!PumpUntil([&] { return p.state() == QProcess::NotRunning; }, 120000)) {
        p.kill();
        p.waitForFinished();
        return -2;
    }
    if (errors) *errors = p.readAllStandardError().toStdString();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
}

TEST_F(AppStartupTest, SecondStartHandsItsFileOverAndEnds) {
    Start();
    fs::path docs = tmp / "docs";
    fs::create_directories(docs);
    std::ofstream(docs / "paper.dvi") << "x";

    // Without a file: nothing is handed over, the running instance is unchanged.
    EXPECT_EQ(RunSecondStart(docs, {}), 0);
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(app->GetDocManager()->GetOpenDocumentCount(), 0);

    // A relative name is made absolute in the second start's folder.
    EXPECT_EQ(RunSecondStart(docs, {QStringLiteral("paper.dvi")}), 0);
    ASSERT_TRUE(PumpUntil([&] { return app->GetDocManager()->GetOpenDocumentCount() == 1; }));
    CDocument* doc = app->m_pDocTemplate->GetDocuments().front();
    EXPECT_EQ(doc->GetPathName().str(), (docs / "paper.dvi").string());

    // A web address is handed over as it stands.
    EXPECT_EQ(RunSecondStart(docs, {QStringLiteral("http://127.0.0.1:9/doc.dvi")}), 0);
    ASSERT_TRUE(PumpUntil([&] { return app->GetDocManager()->GetOpenDocumentCount() == 2; }));
    EXPECT_EQ(app->m_pDocTemplate->GetDocuments().back()->GetPathName().str(), "http://127.0.0.1:9/doc.dvi");

    // After shutdown the next start is a first instance again.
    Shutdown();
    Start();
    EXPECT_EQ(app->GetDocManager()->GetOpenDocumentCount(), 0);
}

// A runtime folder (XDG_RUNTIME_DIR, or TMPDIR without it) so deep that the
// socket's path does not fit a socket address: the hand-over still works, and
// a second start that cannot hand over says so and fails.
TEST_F(AppStartupTest, DeepRuntimeFolderStillHandsOverOrTheSecondStartFails) {
    const fs::path deep = tmp / std::string(100, 'd') / std::string(40, 'e');
    fs::create_directories(deep);
    fs::path docs = tmp / "docs";
    fs::create_directories(docs);
    std::ofstream(docs / "paper.dvi") << "x";
    const std::string savedTmp = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        SCOPED_TRACE(variable);
        if (std::string(variable) == "TMPDIR") unsetenv("XDG_RUNTIME_DIR");
        setenv(variable, deep.c_str(), 1);
        Start();
        fs::path socket;
        for (const auto& e : fs::recursive_directory_iterator(deep))
            if (e.is_socket()) socket = e.path();
        ASSERT_FALSE(socket.empty()) << "the first instance listens";
        EXPECT_GE(socket.string().size(), sizeof(sockaddr_un::sun_path));

        EXPECT_EQ(RunSecondStart(docs, {QStringLiteral("paper.dvi")}), 0);
        ASSERT_TRUE(PumpUntil([&] { return app->GetDocManager()->GetOpenDocumentCount() == 1; }));

        // Its socket gone, the running viewer cannot be reached.
        fs::remove(socket);
        std::string errors;
        EXPECT_EQ(RunSecondStart(docs, {QStringLiteral("paper.dvi")}, &errors), 1);
        EXPECT_NE(errors.find("did not take " + (docs / "paper.dvi").string()), std::string::npos) << errors;
        EXPECT_EQ(app->GetDocManager()->GetOpenDocumentCount(), 1);
        Shutdown();
    }
    if (savedTmp.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", savedTmp.c_str(), 1);
}

}  // namespace
