// Helpers shared by the tests of every layer: a temporary folder, whole-file
// reads and writes, and the TeX tools (tex, dvitype, ...) run as commands.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace testsupport {

// A folder made under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir() {
        static int serial = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("vrtest-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes the first `n` bytes (all by default) in place of the file.
inline void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes,
                      size_t n = size_t(-1)) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(std::min(n, bytes.size())));
}

// Runs a shell command and returns what it printed; the text starts with
// "FAILED" when the command could not start or ended with a non-zero status.
inline std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return "FAILED popen";
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int rc = pclose(p);
    if (rc != 0) out = "FAILED " + std::to_string(rc) + "\n" + out;
    return out;
}

// Runs a command in `dir`, its error output joined to its output.
inline std::string RunIn(const std::filesystem::path& dir, const std::string& command) {
    return RunCommand("cd '" + dir.string() + "' && " + command + " 2>&1");
}
inline std::string RunIn(const TempDir& dir, const std::string& command) { return RunIn(dir.Path(), command); }

// Runs `program` (tex, latex, pdftex, ...) on <name>.tex in `dir`, stopping at
// the first error. When TeX fails, the test fails (fatally: a caller that
// must stop wraps the call in ASSERT_NO_FATAL_FAILURE) with TeX's log.
inline std::string RunTexProgram(const std::filesystem::path& dir, const std::string& program,
                                 const std::string& name = "doc") {
    const std::string out = RunIn(dir, program + " -interaction=batchmode -halt-on-error " + name + ".tex");
    if (out.rfind("FAILED", 0) == 0) {
        std::ifstream log(dir / (name + ".log"));
        const std::string text{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
        [&] { FAIL() << program << " " << name << ".tex in " << dir.string() << ": " << out << text; }();
    }
    return out;
}

// Writes `text` to <name>.tex in `dir` and runs plain TeX on it there; the
// result is RunCommand's.
inline std::string RunTex(const std::filesystem::path& dir, const std::string& text,
                          const std::string& name = "doc") {
    std::ofstream(dir / (name + ".tex"), std::ios::binary) << text;
    return RunTexProgram(dir, "tex", name);
}
inline std::string RunTex(const TempDir& dir, const std::string& text, const std::string& name = "doc") {
    return RunTex(dir.Path(), text, name);
}

// The same with LaTeX.
inline std::string RunLatex(const TempDir& dir, const std::string& text, const std::string& name = "doc") {
    std::ofstream(dir.File(name + ".tex"), std::ios::binary) << text;
    return RunTexProgram(dir.Path(), "latex", name);
}

// dvitype's listing of a DVI file at the given output level.
inline std::string RunDviType(const std::string& dviPath, int level) {
    return RunCommand("dvitype -output-level=" + std::to_string(level) + " '" + dviPath + "' 2>&1");
}

// Waits until done() holds, looking again every millisecond; false when it
// still does not after limitMs (a generous bound that only a hang reaches).
inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 60000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The calling thread's kernel id.
inline pid_t ThreadId() { return pid_t(::syscall(SYS_gettid)); }

// True while thread `tid` of this process sleeps in poll, select or
// epoll_wait: a network call that blocks on its socket.
inline bool ThreadWaitsInPoll(pid_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
    std::string first;
    if (!(in >> first) || first == "running") return false;
    long nr = -1;
    std::istringstream(first) >> nr;
    for (long waiting : {
#if defined(SYS_poll)
             long(SYS_poll),
#endif
#if defined(SYS_select)
             long(SYS_select),
#endif
#if defined(SYS_epoll_wait)
             long(SYS_epoll_wait),
#endif
             long(SYS_ppoll), long(SYS_pselect6), long(SYS_epoll_pwait)})
        if (nr == waiting) return true;
    return false;
}

// What a child process made by RunInChild did.
struct ChildRun {
    bool ended = false;      // it ended before the limit (else it was killed)
    int exitCode = -1;       // its exit code; -1 when a signal ended it
    long growthKb = 0;       // its peak resident memory above this process's own at the fork
};

// Runs body() in a forked child whose exit code is body()'s result, waiting
// at most limitMs (a generous bound that only a hang reaches) before it is
// killed. The memory figure comes from the child's resource usage, so one
// run's peak is measured apart from the rest of the test process.
inline ChildRun RunInChild(const std::function<int()>& body, int limitMs = 120000) {
    long rssKb = 0;
    {
        std::ifstream statm("/proc/self/statm");
        long size = 0, resident = 0;
        statm >> size >> resident;
        rssKb = resident * (::sysconf(_SC_PAGESIZE) / 1024);
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    ChildRun run;
    if (pid < 0) return run;
    int status = 0;
    struct rusage usage {};
    run.ended = WaitUntil([&] { return ::wait4(pid, &status, WNOHANG, &usage) == pid; }, limitMs);
    if (!run.ended) {
        ::kill(pid, SIGKILL);
        ::wait4(pid, &status, 0, &usage);
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.growthKb = usage.ru_maxrss - rssKb;
    return run;
}

} // namespace testsupport
