// The install program on a temporary prefix: it installs a viewer that starts
// on the sample document from there and records the base folder; the
// uninstall removes every file and folder it made and nothing else.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "platform/sys/InstanceLock.h"
#include "platform/sys/Registry.h"
#include "testsupport/TestEnvironment.h"
#include "testsupport/TestTools.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::set<std::string> Tree(const fs::path& root) {
    std::set<std::string> names;
    for (auto& e : fs::recursive_directory_iterator(root)) names.insert(fs::relative(e.path(), root).string());
    return names;
}

std::string ReadText(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the installed viewer on a document offscreen until it takes a
// hand-over, then ends it with SIGTERM; its exit status ("" when normal).
std::string RunViewer(const fs::path& exe, const fs::path& doc, const fs::path& work) {
    fs::create_directories(work / "run");
    fs::permissions(work / "run", fs::perms::owner_all);
    fs::create_directories(work / "tmp");
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("XDG_RUNTIME_DIR=" + (work / "run").string());
    env.push_back("TMPDIR=" + (work / "tmp").string());
    std::vector<std::string> argv{exe.string(), doc.string()};
    std::vector<char*> a, e;
    for (auto& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    for (auto& s : env) e.push_back(s.data());
    e.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, a[0], nullptr, nullptr, a.data(), e.data()) != 0) return "did not start";
    sys::InstanceLock probe("VeloranViewerInstanceMutex", (work / "run" / "veloran").string());
    bool serving = false;
    for (auto until = std::chrono::steady_clock::now() + 60s; !serving && std::chrono::steady_clock::now() < until;)
        serving = probe.HandOver(doc.string(), 1000);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!serving) return "never served";
    if (!WIFEXITED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return WEXITSTATUS(status) == 0 ? "" : "exit " + std::to_string(WEXITSTATUS(status));
}

TEST(Installer, InstallsARunningViewerAndUninstallRemovesExactlyThat) {
    testsupport::TestEnvironment env;  // the setup program's settings in its config folder
    const fs::path prefix = env.Path() / "prefix", config = env.Path() / "config";
    // The prefix already holds things of others, which must stay.
    fs::create_directories(prefix / "share" / "applications");
    fs::create_directories(prefix / "bin");
    std::ofstream(prefix / "share" / "applications" / "other.desktop") << "[Desktop Entry]\n";
    std::ofstream(prefix / "bin" / "other-program") << "x";
    const std::set<std::string> before = Tree(prefix);
    const std::string setup = VELORAN_BINARY_DIR "/bin/setup";

    std::string out = testsupport::RunCommand("'" + setup + "' /prefix='" + prefix.string() + "' 2>&1");
    ASSERT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
    auto reg = sys::Registry::OpenDirectory(config.string());
    EXPECT_EQ(reg->GetString(sys::RegRoot::LocalMachine, "Software\\Veloran\\Viewer", "VeloranBaseDir"),
              (prefix / "share" / "veloran").string() + "/");
    for (const char* f : {"bin/VrViewer", "share/veloran/sample/sample.dvi", "share/veloran/ttfcfg/cm.map",
                          "share/applications/veloran-viewer.desktop"})
        EXPECT_TRUE(fs::exists(prefix / f)) << f;
    EXPECT_NE(ReadText(prefix / "share/applications/veloran-viewer.desktop")
                  .find("Exec=\"" + (prefix / "bin" / "VrViewer").string() + "\" %f"),
              std::string::npos);

    // The installed viewer starts on the installed sample and ends normally.
    EXPECT_EQ(RunViewer(prefix / "bin" / "VrViewer", prefix / "share/veloran/sample/sample.dvi", env.Path()), "");
    // What the viewer wrote to the settings is its own; the base folder stays recorded.
    EXPECT_TRUE(reg->GetString(sys::RegRoot::LocalMachine, "Software\\Veloran\\Viewer", "VeloranBaseDir"));

    out = testsupport::RunCommand("'" + setup + "' /s /uninst 2>&1");
    ASSERT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
    EXPECT_EQ(Tree(prefix), before);
    EXPECT_FALSE(reg->GetString(sys::RegRoot::LocalMachine, "Software\\Veloran\\Viewer", "VeloranBaseDir"));
    // Nothing recorded: a second uninstall has nothing to do.
    out = testsupport::RunCommand("'" + setup + "' /s /uninst 2>&1");
    EXPECT_EQ(out.rfind("FAILED", 0), std::string::npos) << out;
}

TEST(Installer, ARelativePrefixIsRefused) {
    testsupport::TestEnvironment env;
    std::string out = testsupport::RunCommand("'" VELORAN_BINARY_DIR "/bin/setup' /prefix=relative/place 2>&1");
    EXPECT_EQ(out.rfind("FAILED", 0), 0u) << out;
    EXPECT_NE(out.find("absolute"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(env.Path() / "config" / "hklm.reg"));
}

}  // namespace
