// The real program on the offscreen platform, ended the ways a session ends
// outside the window: SIGTERM, SIGINT and SIGHUP close it as closing its main
// window does, a start clears the temporary files of viewers that died, and a
// settings file with a key nested far too deep does not stop the start.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/inet/tests/LoopbackServer.h"
#include "platform/sys/InstanceLock.h"
#include "platform/sys/Registry.h"
#include "platform/sys/TempFiles.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/TestTools.h"
#include "viewer/app/VrViewerApp.h"

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

const std::string kSettingsKey = "Software\\Veloran\\Veloran Viewer 5.0\\Settings";
const std::string kRecentKey = "Software\\Veloran\\Veloran Viewer 5.0\\Recent File List";

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// One run of VrViewer with its settings, runtime and temporary folders in a
// folder of the test's own.
class Viewer {
public:
    explicit Viewer(const fs::path& root) : root_(root) {}
    ~Viewer() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // extraEnv: NAME=value entries in place of the inherited ones.
    bool Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
        std::vector<std::string> names{"QT_QPA_PLATFORM=", "VELORAN_CONFIG_HOME=", "XDG_RUNTIME_DIR=", "TMPDIR="};
        for (const std::string& e : extraEnv) names.push_back(e.substr(0, e.find('=') + 1));
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            for (const std::string& name : names)
                if (v.rfind(name, 0) == 0) v.clear();
            if (!v.empty()) env.push_back(v);
        }
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("VELORAN_CONFIG_HOME=" + (root_ / "config").string());
        env.push_back("XDG_RUNTIME_DIR=" + (root_ / "run").string());
        env.push_back("TMPDIR=" + (root_ / "tmp").string());
        std::vector<std::string> argv{VELORAN_BINARY_DIR "/bin/VrViewer"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv, cenv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        for (auto& e : env) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        return posix_spawn(&pid_, cargv[0], nullptr, nullptr, cargv.data(), cenv.data()) == 0;
    }

    // Waits until the viewer takes a hand-over of the target: it then runs,
    // and opens the target from its event loop once its start is through.
    bool WaitUntilServing(const std::string& target) {
        sys::InstanceLock probe(CVrViewerApp::kInstanceName, (root_ / "run" / "veloran").string());
        bool taken = false;
        testsupport::WaitUntil([&] { return !Running() || (taken = probe.HandOver(target, 1000)); });
        return taken;
    }

    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = status;
            pid_ = -1;
            return false;
        }
        return true;
    }

    // Sends the signal and waits for the end; how long that took.
    Clock::duration EndWith(int signo, Clock::duration limit = 30s) {
        auto t0 = Clock::now();
        kill(pid_, signo);
        testsupport::WaitUntil([&] { return !Running(); },
                               int(std::chrono::duration_cast<std::chrono::milliseconds>(limit).count()));
        return Clock::now() - t0;
    }

    bool ExitedNormally() const { return pid_ < 0 && WIFEXITED(status_) && WEXITSTATUS(status_) == 0; }
    std::string How() const {
        if (pid_ > 0) return "still running";
        if (WIFSIGNALED(status_)) return "killed by signal " + std::to_string(WTERMSIG(status_));
        return "exit status " + std::to_string(WEXITSTATUS(status_));
    }

private:
    fs::path root_;
    pid_t pid_ = -1;
    int status_ = 0;
};

// Tells when any process has opened a file (inotify): the viewer's UI thread
// is then inside the opening of a handed-over document, and a termination
// signal, which reaches it through its event loop, comes after that.
class OpenWatch {
public:
    explicit OpenWatch(const fs::path& file) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0 && inotify_add_watch(fd_, file.c_str(), IN_OPEN) < 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~OpenWatch() {
        if (fd_ >= 0) close(fd_);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;
    bool WaitForOpen(int limitMs = 30000) const {
        pollfd p{fd_, POLLIN, 0};
        return fd_ >= 0 && poll(&p, 1, limitMs) == 1;
    }

private:
    int fd_;
};

class AppSessionEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        // This process looks into the viewer's temporary folder (the
        // environment's) as well.
        for (const char* d : {"run", "docs"}) fs::create_directories(dir.Path() / d);
        fs::permissions(dir.Path() / "run", fs::perms::owner_all);
        ASSERT_NO_FATAL_FAILURE(testsupport::RunTex(tex, PagesSource(40), "paper"));
        dvi = ReadText(tex.Path() / "paper.dvi");
        ASSERT_GT(dvi.size(), 60000u);
        fs::copy_file(tex.Path() / "paper.dvi", dir.Path() / "docs" / "local.dvi");
    }

    static std::string PagesSource(int pages) {
        return "\\def\\ln{The quick brown fox jumps over the lazy dog, again and again. }\n"
               "\\def\\blk{\\ln\\ln\\ln\\ln\\ln\\ln\\ln\\ln\\ln\\ln}\n"
               "\\def\\pg{\\blk\\blk\\blk\\par\\vfill\\eject}\n"
               "\\newcount\\n\n"
               "\\loop \\pg \\advance\\n by 1 \\ifnum\\n<" +
               std::to_string(pages) + " \\repeat\n\\bye\n";
    }

    // Settings with a window placement no screen can show, so that the
    // value written at the end shows the window was there.
    void SeedSettings(const std::string& extra = "") {
        std::ofstream(dir.Path() / "config" / "hkcu.reg")
            << "[" << kSettingsKey << "]\n\"Window Left\"=dword:00000007\n\"Window Right\"=dword:00000007\n"
            << "\"Window Top\"=dword:00000007\n\"Window Bottom\"=dword:00000007\n"
            << extra;
    }
    std::unique_ptr<sys::Registry> Settings() { return sys::Registry::OpenDirectory((dir.Path() / "config").string()); }

    std::vector<std::string> TempNames() {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(sys::GetTempPath()))
            if (e.path().filename().string().rfind("htp", 0) == 0) names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testsupport::TestEnvironment dir;
    testsupport::TempDir tex;
    std::string dvi;
};

TEST_F(AppSessionEndTest, SigtermDuringASlowDownloadSavesTheSessionAndRemovesItsFiles) {
    SeedSettings();
    // A temporary file of a viewer that died (its lock went with it), and one
    // that a running process still holds.
    ASSERT_FALSE(sys::CreateTempFile(sys::GetTempPath(), "htp").path.empty());
    ASSERT_EQ(TempNames().size(), 1u);
    const std::string dead = TempNames()[0];
    sys::TempFile live = sys::CreateTempFile(sys::GetTempPath(), "htp");
    ASSERT_FALSE(live.path.empty());

    // The document arrives slowly: its first part, then nothing for a minute.
    std::atomic<bool> sent{false};
    LoopbackServer server([&](const LoopbackServer::Request&, LoopbackServer::Reply& r) {
        r.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(dvi.size()) + "\r\n\r\n" + dvi.substr(0, 45000));
        sent = true;
        r.Pause(60000);
    });
    Viewer viewer(dir.Path());
    ASSERT_TRUE(viewer.Start({server.Url("/slow/paper.dvi")}));
    const std::string local = (dir.Path() / "docs" / "local.dvi").string();
    OpenWatch localOpened(local);
    ASSERT_TRUE(viewer.WaitUntilServing(local)) << viewer.How();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return sent.load(); }, 30000));
    // The download's own temporary file is there; the dead viewer's has gone
    // at the start, the live one's has stayed.
    auto has = [](const std::vector<std::string>& names, const std::string& n) {
        return std::find(names.begin(), names.end(), n) != names.end();
    };
    std::vector<std::string> during;
    std::string download;
    testsupport::WaitUntil([&] {
        during = TempNames();
        for (const std::string& n : during)
            if (n != dead && n != live.path) download = n;
        return !download.empty();
    }, 30000);
    EXPECT_EQ(during.size(), 2u);
    EXPECT_FALSE(has(during, dead));
    EXPECT_TRUE(has(during, live.path));
    // The bytes that came, as far as whole reads (20480 bytes each) take
    // them, are in the download's file, and the local document handed over
    // is being opened.
    std::error_code ec;
    EXPECT_TRUE(testsupport::WaitUntil([&] { return fs::file_size(download, ec) >= 2 * 20480; }, 30000))
        << download << ": " << fs::file_size(download, ec) << " bytes";
    ASSERT_TRUE(localOpened.WaitForOpen()) << viewer.How();

    // It ends without waiting for the stalled download (a minute's pause):
    // EndWith gives up after half of that.
    viewer.EndWith(SIGTERM);
    EXPECT_TRUE(viewer.ExitedNormally()) << viewer.How();
    // The session was saved: the window's placement and the document opened
    // during it.
    auto reg = Settings();
    EXPECT_NE(reg->GetDword(sys::RegRoot::CurrentUser, kSettingsKey, "Window Right"), 7u);
    EXPECT_EQ(reg->GetString(sys::RegRoot::CurrentUser, kRecentKey, "File1"), local);
    // Only the live process's file is left.
    EXPECT_EQ(TempNames(), std::vector<std::string>{live.path});
}

TEST_F(AppSessionEndTest, InterruptAndHangupCloseItToo) {
    for (int signo : {SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signo));
        SeedSettings();
        Viewer viewer(dir.Path());
        ASSERT_TRUE(viewer.Start({}));
        OpenWatch opened(dir.Path() / "docs" / "local.dvi");
        ASSERT_TRUE(viewer.WaitUntilServing((dir.Path() / "docs" / "local.dvi").string())) << viewer.How();
        ASSERT_TRUE(opened.WaitForOpen()) << viewer.How();
        viewer.EndWith(signo);
        EXPECT_TRUE(viewer.ExitedNormally()) << viewer.How();
        EXPECT_NE(Settings()->GetDword(sys::RegRoot::CurrentUser, kSettingsKey, "Window Right"), 7u);
        EXPECT_EQ(TempNames(), std::vector<std::string>{});
    }
}

TEST_F(AppSessionEndTest, ASettingsKeyFarTooDeepDoesNotStopTheStart) {
    // One key 100000 levels deep, between good keys.
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += i ? "\\k" : "k";
    SeedSettings("[" + deep + "]\n\"Deep\"=\"x\"\n[Software\\Veloran\\Kept]\n\"Good\"=\"yes\"\n");
    ASSERT_GT(fs::file_size(dir.Path() / "config" / "hkcu.reg"), 200000u);

    Viewer viewer(dir.Path());
    ASSERT_TRUE(viewer.Start({}));
    ASSERT_TRUE(viewer.WaitUntilServing((dir.Path() / "docs" / "local.dvi").string())) << viewer.How();
    viewer.EndWith(SIGTERM);
    EXPECT_TRUE(viewer.ExitedNormally()) << viewer.How();

    // The window was shown (its placement was saved), the good keys are kept
    // and the bad line is gone.
    auto reg = Settings();
    EXPECT_NE(reg->GetDword(sys::RegRoot::CurrentUser, kSettingsKey, "Window Right"), 7u);
    EXPECT_EQ(reg->GetString(sys::RegRoot::CurrentUser, "Software\\Veloran\\Kept", "Good"), "yes");
    EXPECT_FALSE(reg->KeyExists(sys::RegRoot::CurrentUser, "k"));
    EXPECT_LT(fs::file_size(dir.Path() / "config" / "hkcu.reg"), 100000u);
}

}  // namespace
