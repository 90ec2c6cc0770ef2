// File associations in temporary XDG folders, read back through xdg-mime as
// the desktop reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sys/Registry.h"
#include "testsupport/TestTools.h"
#include "viewer/prefs/FileAssoc.h"

namespace fs = std::filesystem;

namespace {

class FileAssocTest : public ::testing::Test {
protected:
    // A private XDG world: xdg-mime sees the test's folders only, not the
    // system's lists and desktop files of viewers installed there, and takes
    // no desktop session's own query.
    void SetUp() override {
        setenv("XDG_DATA_HOME", (dir.Path() / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir.Path() / "config").c_str(), 1);
        setenv("XDG_DATA_DIRS", (dir.Path() / "system-data").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (dir.Path() / "system-config").c_str(), 1);
        for (const char* session : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "XDG_MENU_PREFIX", "KDE_FULL_SESSION",
                                    "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID",
                                    "LXQT_SESSION_CONFIG", "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
            unsetenv(session);
        fs::create_directories(dir.Path() / "system-data" / "applications");
        fs::create_directories(dir.Path() / "system-config");
        fs::create_directories(dir.Path() / "data" / "applications");
        fs::create_directories(dir.Path() / "config");
        for (const char* other : {"other.desktop", "third.desktop"})
            std::ofstream(dir.Path() / "data" / "applications" / other)
                << "[Desktop Entry]\nType=Application\nName=Other\nExec=true %f\n";
        std::ofstream(dir.Path() / "config" / "mimeapps.list")
            << "[Added Associations]\napplication/x-dvi=other.desktop;\n\n[Default Applications]\n"
               "image/tiff=other.desktop\n";
        reg = sys::Registry::CreateInMemory();
    }
    void TearDown() override {
        for (const char* var : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) unsetenv(var);
    }
    std::string Default(const char* mime) {
        std::string out = testsupport::RunCommand(std::string("xdg-mime query default ") + mime + " 2>/dev/null");
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        return out;
    }
    bool Apply(std::vector<int> states) {
        return file_assoc::ApplyFileAssociations(int(states.size()), states.data(), "/opt/veloran/bin/VrViewer", *reg);
    }
    std::vector<int> Read() {
        int s[file_assoc::kKinds];
        file_assoc::ReadFileAssociations(s);
        return std::vector<int>(s, s + file_assoc::kKinds);
    }
    std::string MimeApps() {
        std::ifstream in(dir.Path() / "config" / "mimeapps.list");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    testsupport::TempDir dir;
    std::unique_ptr<sys::Registry> reg;
};

TEST_F(FileAssocTest, TurningAKindOnAndOffChangesOnlyWhatTheViewerWrote) {
    EXPECT_EQ(Read(), (std::vector<int>{0, 0, 0, 0}));
    ASSERT_TRUE(Apply({1, 0, 0, 0}));
    EXPECT_EQ(Default("application/x-dvi"), "veloran-viewer.desktop");
    EXPECT_EQ(Default("image/tiff"), "other.desktop");
    EXPECT_EQ(Read(), (std::vector<int>{1, 0, 0, 0}));
    std::ifstream desktop(dir.Path() / "data" / "applications" / "veloran-viewer.desktop");
    std::stringstream d;
    d << desktop.rdbuf();
    EXPECT_NE(d.str().find("Exec=/opt/veloran/bin/VrViewer %f"), std::string::npos);
    EXPECT_NE(d.str().find("MimeType=application/x-dvi;"), std::string::npos);
    EXPECT_EQ(d.str().find("image/tiff"), std::string::npos);

    // TIFF taken over, twice: the replaced default is kept once, not the viewer's own.
    ASSERT_TRUE(Apply({1, 1, 0, 0}));
    ASSERT_TRUE(Apply({1, 1, 0, 0}));
    EXPECT_EQ(Default("image/tiff"), "veloran-viewer.desktop");
    // Off again: TIFF goes back to the program before, DVI has no default of the viewer.
    ASSERT_TRUE(Apply({0, 0, 0, 0}));
    EXPECT_EQ(Default("image/tiff"), "other.desktop");
    EXPECT_NE(Default("application/x-dvi"), "veloran-viewer.desktop");
    EXPECT_EQ(Read(), (std::vector<int>{0, 0, 0, 0}));
    // Lines of other sections stay as they were.
    EXPECT_NE(MimeApps().find("[Added Associations]\napplication/x-dvi=other.desktop;\n"), std::string::npos);
}

TEST_F(FileAssocTest, ALaterChoiceOfAnotherProgramStays) {
    ASSERT_TRUE(Apply({0, 1, 0, 0}));
    // Another program becomes the default afterwards.
    std::string text = MimeApps();
    size_t at = text.find("image/tiff=veloran-viewer.desktop");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, std::string("image/tiff=veloran-viewer.desktop").size(), "image/tiff=third.desktop");
    std::ofstream(dir.Path() / "config" / "mimeapps.list") << text;
    ASSERT_TRUE(Apply({0, 0, 0, 0}));
    EXPECT_EQ(Default("image/tiff"), "third.desktop");
    // More states than kinds are not read past the four.
    std::vector<int> many{1, 1, 1, 1, 1, 1};
    ASSERT_TRUE(file_assoc::ApplyFileAssociations(6, many.data(), "/x/VrViewer", *reg));
    EXPECT_EQ(Default("application/pdf"), "veloran-viewer.desktop");
}

// Every file below a folder and every key of the classes root, as a list.
std::vector<std::string> Everything(const fs::path& dir, sys::Registry& reg) {
    std::vector<std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            all.push_back(fs::relative(e.path(), dir).string() + "=" +
                          testsupport::RunCommand("cat '" + e.path().string() + "'"));
    std::vector<std::string> keys = {""};
    while (!keys.empty()) {
        const std::string key = keys.back();
        keys.pop_back();
        for (const std::string& sub : reg.SubKeys(sys::RegRoot::ClassesRoot, key)) {
            const std::string path = key.empty() ? sub : key + "\\" + sub;
            all.push_back("key " + path);
            keys.push_back(path);
        }
    }
    std::sort(all.begin(), all.end());
    return all;
}

TEST_F(FileAssocTest, TurningEveryKindOnAndOffAgainLeavesWhatWasThere) {
    struct Case {
        const char* name;
        bool mimeApps, desktopFile;  // there before
    } cases[] = {{"with the defaults of other programs", true, false},
                 {"on a desktop with no defaults yet", false, false},
                 {"with the installation's desktop file", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reg = sys::Registry::CreateInMemory();
        const fs::path apps = dir.Path() / "data" / "applications" / file_assoc::kDesktopId;
        fs::remove(apps);
        const char* installed = "[Desktop Entry]\nType=Application\nName=Veloran Viewer\nExec=VrViewer %f\n";
        if (c.desktopFile) std::ofstream(apps) << installed;
        if (c.mimeApps)
            std::ofstream(dir.Path() / "config" / "mimeapps.list")
                << "[Added Associations]\napplication/x-dvi=other.desktop;\n\n[Default Applications]\n"
                   "image/tiff=other.desktop\n";
        else fs::remove(dir.Path() / "config" / "mimeapps.list");
        const std::vector<std::string> before = Everything(dir.Path(), *reg);
        ASSERT_TRUE(Apply({1, 1, 1, 1}));
        EXPECT_EQ(Read(), (std::vector<int>{1, 1, 1, 1}));
        EXPECT_EQ(Default("application/pdf"), "veloran-viewer.desktop");
        ASSERT_TRUE(Apply({0, 0, 0, 0}));
        EXPECT_EQ(Read(), (std::vector<int>{0, 0, 0, 0}));
        if (c.desktopFile) {
            // The installation's file stays; it no longer claims the kinds.
            EXPECT_TRUE(fs::exists(apps));
            EXPECT_EQ(testsupport::RunCommand("cat '" + apps.string() + "'").find("MimeType="), std::string::npos);
            std::ofstream(apps) << installed;
            EXPECT_EQ(Everything(dir.Path(), *reg), before);
            continue;
        }
        EXPECT_EQ(Everything(dir.Path(), *reg), before);
        // Off when nothing was on writes nothing.
        ASSERT_TRUE(Apply({0, 0, 0, 0}));
        EXPECT_EQ(Everything(dir.Path(), *reg), before);
    }
}

// The type a desktop gives a file, read as a desktop with a mime database
// reads it (xdg-mime's generic path asks file(1), which knows no database).
std::string FileType(const fs::path& file) {
    std::string out = testsupport::RunCommand("XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype '" + file.string() +
                                              "' 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

TEST_F(FileAssocTest, TheNamesTheViewerSavesUnderOpenWithItWhileTheFirstKindIsOn) {
    // A packed document and a compressed DVI file: gzip data.
    const std::vector<unsigned char> gzip = {0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (const char* name : {"x.vrd", "x.dgz"}) testsupport::WriteFile((dir.Path() / name).string(), gzip);
    // The desktop names the viewer only when its program is there.
    const fs::path program = dir.Path() / "bin" / "VrViewer";
    fs::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\n";
    fs::permissions(program, fs::perms::owner_all);
    auto Apply = [&](std::vector<int> states) {
        return file_assoc::ApplyFileAssociations(int(states.size()), states.data(), program.string(), *reg);
    };
    reg = sys::Registry::CreateInMemory();
    const std::vector<std::string> before = Everything(dir.Path(), *reg);
    const fs::path package = dir.Path() / "data" / "mime" / "packages" / file_assoc::kMimePackage;
    struct {
        const char* file;
        const char* type;
    } kinds[] = {{"x.vrd", "application/x-veloran-document"}, {"x.dgz", "application/x-veloran-compressed-dvi"}};

    ASSERT_TRUE(Apply({1, 0, 0, 0}));
    ASSERT_TRUE(fs::exists(package));
    const std::string desktop = testsupport::RunCommand(
        "cat '" + (dir.Path() / "data" / "applications" / file_assoc::kDesktopId).string() + "'");
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.file);
        EXPECT_EQ(FileType(dir.Path() / k.file), k.type);
        EXPECT_EQ(Default(k.type), file_assoc::kDesktopId);
        EXPECT_NE(desktop.find(std::string(k.type) + ";"), std::string::npos) << desktop;
    }
    // Turned on again, or with other kinds: nothing changes.
    ASSERT_TRUE(Apply({1, 1, 0, 0}));
    EXPECT_EQ(FileType(dir.Path() / "x.vrd"), "application/x-veloran-document");

    // The first kind off, another still on: the types and their defaults go.
    ASSERT_TRUE(Apply({0, 1, 0, 0}));
    EXPECT_FALSE(fs::exists(package));
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.file);
        EXPECT_NE(FileType(dir.Path() / k.file), k.type);
        EXPECT_NE(Default(k.type), file_assoc::kDesktopId);
    }
    EXPECT_EQ(Default("image/tiff"), file_assoc::kDesktopId);

    // A program whose path holds a blank is quoted in the Exec line.
    ASSERT_TRUE(file_assoc::ApplyFileAssociations(1, std::vector<int>{1}.data(), "/opt/my viewer/VrViewer", *reg));
    EXPECT_NE(testsupport::RunCommand("cat '" + (dir.Path() / "data" / "applications" / file_assoc::kDesktopId).string() +
                                      "'")
                  .find("Exec=\"/opt/my viewer/VrViewer\" %f"),
              std::string::npos);

    // On and the last kind off: what was there stays, nothing else.
    ASSERT_TRUE(Apply({1, 1, 0, 0}));
    ASSERT_TRUE(Apply({0, 0, 0, 0}));
    EXPECT_EQ(Everything(dir.Path(), *reg), before);
}

}  // namespace
