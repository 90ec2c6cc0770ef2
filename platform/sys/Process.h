// Child processes started from an argument vector (never through a shell),
// with optional pipes to their standard streams, timed waits and killing.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sys {

class Process {
public:
    enum class Stream { Inherit, Null, Pipe };
    struct Options {
        // argv[0] is the program: a path, or a name searched on PATH.
        std::vector<std::string> argv;
        Stream stdinMode = Stream::Null;
        Stream stdoutMode = Stream::Inherit;
        Stream stderrMode = Stream::Inherit;
        std::string workingDir;  // empty: the current one
        // Variables set in the child's environment (replacing inherited ones
        // of the same name).
        std::vector<std::pair<std::string, std::string>> environment;
    };
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // A child still running is left running and reaped in the background;
    // the pipes are closed.
    ~Process();

    // Starts the child; false (with a reason in *error) when it cannot be
    // started, including a program that cannot be executed.
    bool Start(const Options& options, std::string* error = nullptr);
    bool IsStarted() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    // Reads up to `size` bytes of the child's standard output: the count read,
    // 0 at its end, -1 on an error. Blocks until something arrives.
    long ReadStdout(void* buffer, size_t size);
    long ReadStderr(void* buffer, size_t size);
    // Reads until `size` bytes or the end; returns the count read.
    size_t ReadStdoutFully(void* buffer, size_t size);
    // The rest of the standard output as one string.
    std::string ReadAllStdout();
    bool WriteStdin(const void* data, size_t size);
    void CloseStdin();
    void CloseStdout();
    // Hands the parent's read end of the standard output over to the caller,
    // who closes it; -1 when there is none.
    int TakeStdout();
    // Descriptors of the parent's pipe ends, -1 when not piped or closed.
    int StdinFd() const { return in_; }
    int StdoutFd() const { return out_; }
    int StderrFd() const { return err_; }

    // Waits for the child's end; true when it has ended. kInfinite waits
    // without limit.
    bool Wait(uint32_t timeoutMs = kInfinite);
    bool IsRunning();
    // The exit code once ended: the code given to exit, or 128 + the signal
    // that ended it.
    std::optional<int> ExitCode() const { return exitCode_; }
    // The signal that ended the child, 0 when it exited.
    int TermSignal() const { return termSignal_; }
    // Sends a signal (SIGKILL by default, as TerminateProcess); false when
    // the child has already ended.
    bool Kill(int signal = 9);

private:
    bool Reap(bool block);
    void CloseFd(int& fd);

    pid_t pid_ = -1;
    int pidfd_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::optional<int> exitCode_;
    int termSignal_ = 0;
};

// Starts a program that runs on by itself: nothing of it is kept, and it is
// reaped in the background when it ends. Standard input is /dev/null.
bool StartDetached(const std::vector<std::string>& argv, std::string* error = nullptr);

}  // namespace sys
