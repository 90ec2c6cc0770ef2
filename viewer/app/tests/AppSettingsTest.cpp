// The viewer's shared settings and window placement in the registry store.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sys/Registry.h"
#include "testsupport/TestEnvironment.h"
#include "viewer/app/VrViewerApp.h"

namespace fs = std::filesystem;
using sys::RegRoot;

namespace {

const char* const kShared = "Software\\Veloran\\Shared\\";

std::vector<std::string> Items(const DList<String8>& list) {
    std::vector<std::string> out;
    for (const String8& s : list) out.emplace_back(s.c_str());
    return out;
}

class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_unique<CVrViewerApp>();
        app->SetRegistryKey(CVrViewerApp::kRegistryKey);
    }
    void TearDown() override { app.reset(); }
    sys::Registry& Reg() { return sys::Registry::Default(); }
    void Put(const std::string& section, const std::string& name, const std::string& value) {
        std::string key = kShared + section;
        Reg().CreateKey(RegRoot::CurrentUser, key);
        Reg().SetString(RegRoot::CurrentUser, key, name, value);
    }
    std::optional<std::string> Get(const std::string& section, const std::string& name) {
        return Reg().GetString(RegRoot::CurrentUser, kShared + section, name);
    }

    testsupport::TestEnvironment env;  // settings of the test's own
    const fs::path tmp = env.Path();
    std::unique_ptr<CVrViewerApp> app;
};

TEST(AppHelpersTest, FolderAndExpansion) {
    using namespace viewer_app;
    struct {
        const char* in;
        const char* out;
    } folders[] = {{"", ""}, {"   ", ""}, {"  /fonts  ", "/fonts/"}, {"/a/b/", "/a/b/"}, {"x\\", "x\\"}, {"\tdir", "dir/"}};
    for (auto& c : folders) EXPECT_EQ(FolderWithSeparator(c.in), c.out) << "'" << c.in << "'";

    struct {
        const char* entry;
        const char* base;
        const char* out;
    } expand[] = {
        {":/tfm/", "/inst/", "/inst//tfm/"},  // the base ends with '/', so two in a row
        {":\\vf\\", "/inst/", "/inst/\\vf\\"},
        {":x", "/inst/", ":x"},          // second character is no separator
        {":/tfm/", "", ":/tfm/"},        // no base folder known
        {"/abs/tfm/", "/inst/", "/abs/tfm/"},
        {":", "/inst/", ":"},
    };
    for (auto& c : expand) EXPECT_EQ(ExpandPathEntry(c.entry, c.base), c.out) << c.entry;

    EXPECT_EQ(SingleSeparators("/inst//ttf///a.ttf"), "/inst/ttf/a.ttf");
    EXPECT_EQ(BaseDirFromExecutable("/opt/veloran/bin/VrViewer"), "/opt/veloran/share/veloran/");
    EXPECT_EQ(BaseDirFromExecutable("/VrViewer"), "/share/veloran/");
    EXPECT_EQ(BaseDirFromExecutable(""), "");
}

TEST(AppHelpersTest, RestorableWindowRect) {
    std::vector<RECT> screens = {{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}};
    struct {
        RECT r;
        bool ok;
    } cases[] = {
        {{100, 100, 900, 700}, true},
        {{2000, 50, 2600, 600}, true},           // on the second screen
        {{1800, 50, 2400, 600}, true},           // across both
        {{0, 0, 0, 700}, false},                 // zero width
        {{0, 0, 800, 0}, false},                 // zero height
        {{900, 700, 100, 100}, false},           // negative size
        {{-32000, -32000, -31840, -31973}, false},  // a minimised window's placement
        {{5000, 5000, 5800, 5600}, false},       // off every screen
    };
    for (auto& c : cases)
        EXPECT_EQ(viewer_app::IsRestorableWindowRect(c.r, screens), c.ok)
            << c.r.left << "," << c.r.top << "," << c.r.right << "," << c.r.bottom;
    EXPECT_FALSE(viewer_app::IsRestorableWindowRect({0, 0, 100, 100}, {}));
}

TEST_F(AppSettingsTest, PathListsReadDefaultsAndEndAtTheMarker) {
    app->m_baseDir = "/inst/";
    Put("VfPathList", "0", "  /fonts/vf  ");
    Put("TtfPathList", "0", ":/ttf");
    Put("TtfPathList", "1", "   ");  // empty: left out
    Put("TtfPathList", "2", ":x");
    Put("TtfPathList", "4", "/beyond/the/gap");  // after the first missing number
    app->LoadSharedSettings();

    EXPECT_EQ(Items(app->m_tfmPathList), (std::vector<std::string>{":/tfm/"}));
    EXPECT_EQ(Items(app->m_tfmPathListExpanded), (std::vector<std::string>{"/inst//tfm/"}));
    EXPECT_EQ(Items(app->m_vfPathList), (std::vector<std::string>{"/fonts/vf/"}));
    EXPECT_EQ(Items(app->m_vfPathListExpanded), (std::vector<std::string>{"/fonts/vf/"}));
    EXPECT_EQ(Items(app->m_ttfPathList), (std::vector<std::string>{":/ttf/", ":x/"}));
    EXPECT_EQ(Items(app->m_ttfPathListExpanded), (std::vector<std::string>{"/inst//ttf/", ":x/"}));
    // Reading leaves the viewer's profile current.
    EXPECT_EQ(app->GetProfileName(), CVrViewerApp::kAppProfile);
}

TEST_F(AppSettingsTest, SharedSettingsRoundTripAndShortenedListsLeaveNothingStale) {
    for (int i = 0; i < 5; ++i) Put("TfmPathList", std::to_string(i), "/t" + std::to_string(i));
    Put("KPathSea", "DLLPath", " /opt/kpse ");
    Put("Contents", "Path", "/home/u/toc");
    app->LoadSharedSettings();
    EXPECT_EQ(app->m_tfmPathList.Count(), 5);
    EXPECT_STREQ(app->m_kpathseaDir.c_str(), "/opt/kpse/");
    EXPECT_EQ(app->GetContentsPath(), "/home/u/toc");

    // Shorten the list to two and change the others.
    app->m_tfmPathList.RemoveAll();
    app->m_tfmPathList.AddTail(String8("/a/"));
    app->m_tfmPathList.AddTail(String8(":/b/"));
    app->SetContentsPath("/elsewhere");
    app->SaveSharedSettings();
    EXPECT_EQ(Get("TfmPathList", "0"), "/a/");
    EXPECT_EQ(Get("TfmPathList", "1"), ":/b/");
    for (const char* stale : {"2", "3", "4"}) EXPECT_FALSE(Get("TfmPathList", stale)) << stale;
    // The marker is never written; the stored lists are, not the expanded ones.
    EXPECT_EQ(Get("VfPathList", "0"), ":/vf/");
    EXPECT_FALSE(Get("VfPathList", "1"));
    EXPECT_EQ(Get("KPathSea", "DLLPath"), "/opt/kpse/");
    EXPECT_EQ(app->GetProfileName(), CVrViewerApp::kAppProfile);

    // A new application object reads back what was written.
    auto again = std::make_unique<CVrViewerApp>();
    app.reset();
    again->SetRegistryKey(CVrViewerApp::kRegistryKey);
    again->LoadSharedSettings();
    EXPECT_EQ(Items(again->m_tfmPathList), (std::vector<std::string>{"/a/", ":/b/"}));
    EXPECT_EQ(again->GetContentsPath(), "/elsewhere");
    EXPECT_STREQ(again->m_kpathseaDir.c_str(), "/opt/kpse/");
}

TEST_F(AppSettingsTest, GhostscriptLocations) {
    // A folder holding a console program, and one without.
    fs::path withGs = tmp / "gsbin";
    fs::create_directories(withGs);
    {
        std::ofstream(withGs / "gs") << "#!/bin/sh\n";
    }
    fs::permissions(withGs / "gs", fs::perms::owner_all);
    fs::path empty = tmp / "empty";
    fs::create_directories(empty);

    std::string savedPath = getenv("PATH") ? getenv("PATH") : "";
    struct Case {
        const char* name;
        const char* installDll;  // GS_DLL of an installation key, or null
        const char* installLib;
        std::string setting;     // shared "GhostScript" "DLLPath"
        std::string libSetting;  // shared "GhostScript" "LibPath"
        std::string pathVar;
        std::string dir, lib;    // expected
    } cases[] = {
        {"installation key wins", "/opt/gs/bin/libgs.so.10", nullptr, withGs.string(), " /gslib ", "", "/opt/gs/bin/",
         "/gslib/"},
        {"installation key with its library path", "/opt/gs/bin/libgs.so.10", "/opt/gs/Resource", "", "/x", "",
         "/opt/gs/bin/", "/opt/gs/Resource"},
        {"setting naming the console folder", nullptr, nullptr, " " + withGs.string() + " ", "", "",
         withGs.string() + "/", ""},
        {"setting without a console: found on PATH", nullptr, nullptr, empty.string(), "", "/nowhere:" + withGs.string(),
         withGs.string() + "/", ""},
        {"nothing anywhere", nullptr, nullptr, empty.string(), "", empty.string(), "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        env.ResetConfig();
        CVrViewerApp a;
        a.SetRegistryKey(CVrViewerApp::kRegistryKey);
        if (c.installDll) {
            std::string key = "Software\\AFPL Ghostscript\\10.00";
            Reg().CreateKey(RegRoot::LocalMachine, key);
            Reg().SetString(RegRoot::LocalMachine, key, "GS_DLL", c.installDll);
            if (c.installLib) Reg().SetString(RegRoot::LocalMachine, key, "GS_LIB", c.installLib);
        }
        Put("GhostScript", "DLLPath", c.setting);
        Put("GhostScript", "LibPath", c.libSetting);
        setenv("PATH", c.pathVar.c_str(), 1);
        a.LoadSharedSettings();
        setenv("PATH", savedPath.c_str(), 1);
        EXPECT_STREQ(a.m_gsDllPath.c_str(), c.dir.c_str());
        EXPECT_STREQ(a.m_ghostscriptLibPath.c_str(), c.lib.c_str());
    }
}

TEST_F(AppSettingsTest, WindowPlacementReadsTheFourValues) {
    app->LoadWindowPlacement();
    EXPECT_EQ(app->m_windowRect.left, 0);
    EXPECT_EQ(app->m_windowRect.bottom, 0);
    std::string key = "Software\\Veloran\\Veloran Viewer 5.0\\Settings";
    Reg().CreateKey(RegRoot::CurrentUser, key);
    Reg().SetDword(RegRoot::CurrentUser, key, "Window Left", 10);
    Reg().SetDword(RegRoot::CurrentUser, key, "Window Top", 20);
    Reg().SetDword(RegRoot::CurrentUser, key, "Window Right", 810);
    Reg().SetDword(RegRoot::CurrentUser, key, "Window Bottom", 620);
    app->LoadWindowPlacement();
    EXPECT_EQ(app->m_windowRect.left, 10);
    EXPECT_EQ(app->m_windowRect.top, 20);
    EXPECT_EQ(app->m_windowRect.right, 810);
    EXPECT_EQ(app->m_windowRect.bottom, 620);
}

}  // namespace
