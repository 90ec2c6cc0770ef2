// The launcher with a scripted installer that records the order of its runs:
// in-process on the offscreen platform, where the progress window can be
// looked at while the uninstaller runs, and as the real program started from
// a folder of its own beside the script.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sys/Process.h"
#include "platform/sys/Registry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/tests/QtTestApp.h"
#include "setup/ProgressWnd.h"
#include "setup/SetupLauncher.h"
#include "testsupport/TestTools.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SetupLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        log = dir.Path() / "order.log";
        script = dir.Path() / "setup";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "echo \"start $*\" >> '" << log.string() << "'\n"
                                 "sleep 1\n"
                                 "echo \"end $*\" >> '" << log.string() << "'\n";
        fs::permissions(script, fs::perms::owner_all);
        reg = sys::Registry::CreateInMemory();
        AfxSetMessageBoxAnswerer([this](const MessageBoxRequest& r) {
            boxes.push_back(r.caption + ": " + r.text);
            return IDOK;
        });
    }
    void TearDown() override { AfxSetMessageBoxAnswerer(nullptr); }

    void RecordInstallation() {
        ASSERT_TRUE(reg->CreateKey(sys::RegRoot::LocalMachine, "Software\\Veloran\\Viewer"));
        ASSERT_TRUE(reg->SetString(sys::RegRoot::LocalMachine, "Software\\Veloran\\Viewer", "VeloranBaseDir",
                                   "/opt/veloran/share/veloran/"));
    }

    // Runs the launcher, looking every 20 ms for a shown progress window
    // while the uninstaller is half way.
    void RunWatching(const std::string& installer) {
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* p = dynamic_cast<ProgressWnd*>(w);
                if (!p || !p->isVisible()) continue;
                std::string sofar = ReadText(log);
                if (sofar.find("start /s /uninst\n") != std::string::npos &&
                    sofar.find("end /s /uninst\n") == std::string::npos) {
                    shownDuringUninstall = true;
                    onTop = p->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                    // A caption bar that names the installer.
                    captioned = p->windowFlags().testFlag(Qt::WindowTitleHint) &&
                                !p->windowFlags().testFlag(Qt::FramelessWindowHint) &&
                                p->windowTitle() == "VeloranViewer Installer";
                    QRect screen = QGuiApplication::primaryScreen()->geometry();
                    centred = std::abs(p->frameGeometry().center().x() - screen.center().x()) <= 1 &&
                              std::abs(p->frameGeometry().center().y() - screen.center().y()) <= 1;
                } else if (sofar.find("start \n") != std::string::npos) {
                    shownOtherwise = true;  // still there while the installer runs
                }
            }
        });
        watch.start(20);
        SetupLauncher launcher(installer, *reg);
        EXPECT_EQ(launcher.Run(), 0);
    }

    testsupport::TempDir dir;
    fs::path log, script;
    std::unique_ptr<sys::Registry> reg;
    std::vector<std::string> boxes;
    bool shownDuringUninstall = false, shownOtherwise = false, onTop = false, centred = false, captioned = false;
};

TEST_F(SetupLauncherTest, ARecordedInstallationIsRemovedFirstBehindTheProgressWindow) {
    RecordInstallation();
    RunWatching(script.string());
    EXPECT_EQ(ReadText(log), "start /s /uninst\nend /s /uninst\nstart \nend \n");
    EXPECT_TRUE(shownDuringUninstall);
    EXPECT_TRUE(onTop);
    EXPECT_TRUE(captioned);
    EXPECT_TRUE(centred);
    EXPECT_FALSE(shownOtherwise) << "the window goes before the installer starts";
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SetupLauncherTest, WithoutARecordOnlyTheInstallerRunsAndNoKeyIsMade) {
    RunWatching(script.string());
    EXPECT_EQ(ReadText(log), "start \nend \n");
    EXPECT_FALSE(shownDuringUninstall || shownOtherwise);
    EXPECT_FALSE(reg->KeyExists(sys::RegRoot::LocalMachine, "SOFTWARE"));
    // A key without the value is no installation either.
    ASSERT_TRUE(reg->CreateKey(sys::RegRoot::LocalMachine, "SOFTWARE\\Veloran\\Viewer"));
    fs::remove(log);
    RunWatching(script.string());
    EXPECT_EQ(ReadText(log), "start \nend \n");
}

TEST_F(SetupLauncherTest, AMissingInstallerIsReportedAndTheLauncherStillEnds) {
    RecordInstallation();
    RunWatching((dir.Path() / "no-such-setup").string());
    EXPECT_EQ(boxes, (std::vector<std::string>{"ViewerInstallProc: Can't Uninstall Process",
                                                "ViewerInstallProc: Can,t Install Process"}));
    EXPECT_FALSE(shownDuringUninstall || shownOtherwise);
}

TEST_F(SetupLauncherTest, TheProgramRunsTheInstallerBesideItNotInTheWorkingFolder) {
    // The real program in a folder of its own with the script beside it; a
    // decoy of the same name waits in the working folder.
    fs::create_directories(dir.Path() / "cwd");
    std::ofstream(dir.Path() / "cwd" / "setup") << "#!/bin/sh\necho decoy >> '" << log.string() << "'\n";
    fs::permissions(dir.Path() / "cwd" / "setup", fs::perms::owner_all);
    fs::copy_file(VELORAN_BINARY_DIR "/bin/VrSetup", dir.Path() / "VrSetup");
    fs::create_directories(dir.Path() / "config");
    auto machine = sys::Registry::OpenDirectory((dir.Path() / "config").string());
    ASSERT_TRUE(machine->CreateKey(sys::RegRoot::LocalMachine, "SOFTWARE\\Veloran\\Viewer"));
    ASSERT_TRUE(machine->SetString(sys::RegRoot::LocalMachine, "SOFTWARE\\Veloran\\Viewer", "VeloranBaseDir", "/x/"));
    std::string out = testsupport::RunCommand("cd '" + (dir.Path() / "cwd").string() +
                                              "' && QT_QPA_PLATFORM=offscreen VELORAN_CONFIG_HOME='" +
                                              (dir.Path() / "config").string() + "' '" +
                                              (dir.Path() / "VrSetup").string() + "' 2>&1");
    EXPECT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
    EXPECT_EQ(ReadText(log), "start /s /uninst\nend /s /uninst\nstart \nend \n");
}

}  // namespace
