#include "platform/sys/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>

extern char** environ;

namespace sys {

namespace {

void ReapInBackground(pid_t pid) {
    std::thread([pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
};

int Spawn(const std::vector<std::string>& args, SpawnSetup& setup, pid_t* pid,
          const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (environment.empty()) return posix_spawnp(pid, argv[0], &setup.actions, &setup.attr, argv.data(), environ);
    std::vector<std::string> set;
    std::vector<char*> envp;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        bool replaced = false;
        for (const auto& [name, value] : environment)
            replaced = replaced || (entry.size() > name.size() && entry.substr(0, name.size()) == name &&
                                    entry[name.size()] == '=');
        if (!replaced) envp.push_back(*e);
    }
    for (const auto& [name, value] : environment) set.push_back(name + "=" + value);
    for (std::string& e : set) envp.push_back(e.data());
    envp.push_back(nullptr);
    return posix_spawnp(pid, argv[0], &setup.actions, &setup.attr, argv.data(), envp.data());
}

long ReadFd(int fd, void* buffer, size_t size) {
    if (fd < 0) return -1;
    for (;;) {
        ssize_t n = read(fd, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        return long(n);
    }
}

}  // namespace

Process::~Process() {
    CloseFd(in_);
    CloseFd(out_);
    CloseFd(err_);
    if (pid_ > 0 && !exitCode_ && !Reap(false)) ReapInBackground(pid_);
    CloseFd(pidfd_);
}

void Process::CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

bool Process::Start(const Options& options, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (pid_ > 0) return fail("already started");
    if (options.argv.empty() || options.argv[0].empty()) return fail("no program");

    SpawnSetup setup;
    int pipes[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};
    auto closeAll = [&] {
        for (auto& p : pipes)
            for (int& fd : p) CloseFd(fd);
    };
    const Stream modes[3] = {options.stdinMode, options.stdoutMode, options.stderrMode};
    for (int i = 0; i < 3; ++i) {
        if (modes[i] == Stream::Pipe) {
            if (pipe2(pipes[i], O_CLOEXEC) != 0) {
                closeAll();
                return fail(std::string("pipe: ") + std::strerror(errno));
            }
            // The child's end: the read end for stdin, the write end otherwise.
            posix_spawn_file_actions_adddup2(&setup.actions, pipes[i][i == 0 ? 0 : 1], i);
        } else if (modes[i] == Stream::Null) {
            posix_spawn_file_actions_addopen(&setup.actions, i, "/dev/null", i == 0 ? O_RDONLY : O_WRONLY, 0);
        }
    }
    if (!options.workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&setup.actions, options.workingDir.c_str());

    pid_t pid;
    int rc = Spawn(options.argv, setup, &pid, options.environment);
    if (rc != 0) {
        closeAll();
        return fail(options.argv[0] + ": " + std::strerror(rc));
    }
    pid_ = pid;
    exitCode_.reset();
    termSignal_ = 0;
    pidfd_ = int(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd_ >= 0) fcntl(pidfd_, F_SETFD, FD_CLOEXEC);
    // Keep the parent's ends, close the child's.
    CloseFd(pipes[0][0]);
    in_ = pipes[0][1];
    CloseFd(pipes[1][1]);
    out_ = pipes[1][0];
    CloseFd(pipes[2][1]);
    err_ = pipes[2][0];
    return true;
}

long Process::ReadStdout(void* buffer, size_t size) { return ReadFd(out_, buffer, size); }

long Process::ReadStderr(void* buffer, size_t size) { return ReadFd(err_, buffer, size); }

size_t Process::ReadStdoutFully(void* buffer, size_t size) {
    size_t done = 0;
    char* p = static_cast<char*>(buffer);
    while (done < size) {
        long n = ReadStdout(p + done, size - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    return done;
}

std::string Process::ReadAllStdout() {
    std::string out;
    char buf[65536];
    long n;
    while ((n = ReadStdout(buf, sizeof buf)) > 0) out.append(buf, size_t(n));
    return out;
}

bool Process::WriteStdin(const void* data, size_t size) {
    if (in_ < 0) return false;
    // A child that closed its input must not end this process with SIGPIPE:
    // block it for this thread and take back a signal the write raised.
    sigset_t pipeSet, old;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    bool wasPending = sigismember(&pending, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    const char* p = static_cast<const char*>(data);
    bool ok = true;
    while (size > 0) {
        ssize_t n = write(in_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        size -= size_t(n);
    }
    if (!ok && errno == EPIPE && !wasPending) {
        struct timespec zero = {0, 0};
        while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return ok;
}

void Process::CloseStdin() { CloseFd(in_); }

void Process::CloseStdout() { CloseFd(out_); }

int Process::TakeStdout() {
    int fd = out_;
    out_ = -1;
    return fd;
}

bool Process::Reap(bool block) {
    if (pid_ <= 0) return false;
    if (exitCode_) return true;
    int status;
    pid_t r;
    while ((r = waitpid(pid_, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (r != pid_) return false;
    if (WIFEXITED(status)) {
        exitCode_ = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        termSignal_ = WTERMSIG(status);
        exitCode_ = 128 + termSignal_;
    } else {
        return false;
    }
    return true;
}

bool Process::Wait(uint32_t timeoutMs) {
    if (pid_ <= 0) return false;
    if (exitCode_) return true;
    if (timeoutMs == kInfinite) return Reap(true);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (Reap(false)) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        if (pidfd_ >= 0) {
            struct pollfd pfd = {pidfd_, POLLIN, 0};
            poll(&pfd, 1, int(left.count()));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
        }
    }
}

bool Process::IsRunning() { return pid_ > 0 && !Reap(false); }

bool Process::Kill(int signal) {
    if (pid_ <= 0 || exitCode_ || Reap(false)) return false;
    // The pidfd names this child even if its number were reused.
    if (pidfd_ >= 0) return syscall(SYS_pidfd_send_signal, pidfd_, signal, nullptr, 0) == 0;
    return kill(pid_, signal) == 0;
}

bool StartDetached(const std::vector<std::string>& argv, std::string* error) {
    if (argv.empty() || argv[0].empty()) {
        if (error) *error = "no program";
        return false;
    }
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid;
    int rc = Spawn(argv, setup, &pid);
    if (rc != 0) {
        if (error) *error = argv[0] + ": " + std::strerror(rc);
        return false;
    }
    ReapInBackground(pid);
    return true;
}

}  // namespace sys
