#include "platform/ghostscript/GSChildJob.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/ghostscript/GSBmpPageStream.h"
#include "platform/ghostscript/GSJobArgs.h"
#include "platform/sys/Process.h"
#include "platform/sys/TempFiles.h"
#include "platform/sys/TerminationRequest.h"

namespace {

constexpr size_t kKeptText = 64 * 1024;
constexpr size_t kLongestLine = 64 * 1024;
constexpr int kPollMs = 50;
constexpr size_t kFeedChunk = 4096;
// How long a streamed job may take to finish after its input was ended.
constexpr int kStopGraceMs = 5000;

std::mutex g_programLock;
std::string g_program = kGSConsoleProgram;

// SIGPIPE blocked for the calling thread while it lives; one that a write
// raised meanwhile is taken back.
class PipeSignalBlock {
public:
    PipeSignalBlock() {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    }
    ~PipeSignalBlock() {
        sigset_t pending;
        sigpending(&pending);
        if (!m_wasPending && sigismember(&pending, SIGPIPE)) {
            struct timespec zero = {0, 0};
            while (sigtimedwait(&m_set, nullptr, &zero) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }

private:
    sigset_t m_set, m_old;
    bool m_wasPending = false;
};

} // namespace

GSJobFolder::GSJobFolder() {
    const std::string base = sys::GetTempPath();
    if (base.empty()) return;
    std::string pattern = base + "gsjXXXXXX";
    if (mkdtemp(pattern.data())) m_path = pattern;
}

GSJobFolder::~GSJobFolder() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
}

std::vector<std::pair<std::string, std::string>> GSJobFolder::Environment() const {
    return {{"TMPDIR", m_path}, {"TEMP", m_path}};
}

void GSChildJob::SetProgram(const std::string& program) {
    std::lock_guard<std::mutex> lock(g_programLock);
    g_program = program.empty() ? std::string(kGSConsoleProgram) : program;
}

GSChildJob::Result GSChildJob::Run(GS* gs, const std::vector<String8>& args, std::string_view input,
                                   GS::PageOutputter* out, int timeoutMs) {
    return Run(gs, args, input, nullptr, false, out, timeoutMs);
}

GSChildJob::Result GSChildJob::RunFile(GS* gs, const std::vector<String8>& args, const char* file,
                                       GS::PageOutputter* out, int timeoutMs) {
    return Run(gs, args, {}, file ? file : "", false, out, timeoutMs);
}

GSChildJob::Result GSChildJob::StreamFile(GS* gs, const std::vector<String8>& args, const char* file,
                                          GS::PageOutputter* out, int timeoutMs) {
    return Run(gs, args, {}, file ? file : "", true, out, timeoutMs);
}

GSChildJob::Result GSChildJob::Run(GS* gs, const std::vector<String8>& args, std::string_view input,
                                   const char* file, bool stream, GS::PageOutputter* out, int timeoutMs) {
    Result result;
    auto fail = [&](const std::string& why) {
        result.end = End::Failed;
        result.text = why;
        return result;
    };
    if (sys::TerminationRequested()) {
        result.end = End::Stopped;
        return result;
    }
    GSJobArgs a;
    if (!gs || !out || !a.Build(args)) return fail("no job");
    GSJobFolder folder;
    if (folder.Path().empty()) return fail("no private temporary folder for the job");
    std::string inputFile = file ? file : "";
    if (!file) {
        inputFile = folder.Path() + "/job.ps";
        std::ofstream f(inputFile, std::ios::binary);
        f.write(input.data(), std::streamsize(input.size()));
        if (!f.flush()) return fail("the job's input cannot be written");
    }
    std::ifstream streamed;
    if (stream) {
        streamed.open(inputFile, std::ios::binary);
        if (!streamed) return fail("the job's input cannot be read");
    }

    std::vector<std::string> argv;
    {
        std::lock_guard<std::mutex> lock(g_programLock);
        argv.push_back(g_program);
    }
    const std::string device = a.bitsPerPixel == 1 ? "-sDEVICE=bmpmono" : "-sDEVICE=bmp16m";
    for (size_t i = 1; i < a.argv.size(); ++i) {
        const std::string& arg = a.argv[i];
        if (arg.rfind("-dDisplayFormat=", 0) == 0) continue;
        argv.push_back(a.bitmapDevice && arg == "-sDEVICE=display" ? device : arg);
    }
    for (const char* extra : {"-dQUIET", "-dBATCH", "-dNOPAUSE", "-sstdout=%stderr"}) argv.push_back(extra);
    if (a.bitmapDevice) argv.push_back("-sOutputFile=-");
    if (stream) {
        argv.push_back("-");
    } else {
        argv.push_back("-f");
        argv.push_back(inputFile);
    }

    sys::Process::Options options;
    options.argv = argv;
    options.stdinMode = stream ? sys::Process::Stream::Pipe : sys::Process::Stream::Null;
    options.stdoutMode = sys::Process::Stream::Pipe;
    options.stderrMode = sys::Process::Stream::Pipe;
    options.environment = folder.Environment();
    sys::Process child;
    std::string why;
    if (!child.Start(options, &why)) return fail("Ghostscript could not be started: " + why);
    if (stream) fcntl(child.StdinFd(), F_SETFL, fcntl(child.StdinFd(), F_GETFL) | O_NONBLOCK);
    // A child that stops reading must not end this process with SIGPIPE.
    PipeSignalBlock pipeBlock;

    GSBmpPageStream pages(gs, out, a.bitsPerPixel);
    std::string line;
    auto text = [&](const char* s, size_t n) {
        if (result.text.size() < kKeptText) result.text.append(s, std::min(n, kKeptText - result.text.size()));
        for (size_t i = 0; i < n; ++i) {
            line += s[i];
            if (s[i] == '\n' || line.size() >= kLongestLine) {
                out->OnText(gs, line.data(), int(line.size()));
                line.clear();
            }
        }
    };

    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    bool outOpen = true, errOpen = true, inOpen = stream;
    std::string pending; // read from the file, not yet taken by the child
    size_t pendingAt = 0;
    // A streamed job asked to stop gets the end of its input first, so that it
    // finishes its output; the end it will have.
    bool stopping = false;
    End stoppedAs = End::Done;
    auto endNow = [&](End end) {
        child.Kill();
        child.Wait();
        result.end = end;
    };
    // True when the job has ended.
    auto stop = [&](End end) {
        if (!inOpen) {
            endNow(end);
            return true;
        }
        child.CloseStdin();
        inOpen = false;
        stopping = true;
        stoppedAs = end;
        deadline = std::min(deadline, Clock::now() + std::chrono::milliseconds(kStopGraceMs));
        return false;
    };
    for (;;) {
        if (!stopping) {
            if (sys::TerminationRequested() && stop(End::Stopped)) break;
            if (!stopping && out->IsDone(gs) && stop(End::Done)) break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            endNow(stopping ? stoppedAs : End::TimedOut);
            break;
        }
        if (!outOpen && !errOpen) break;
        if (inOpen && pendingAt == pending.size()) {
            pending.resize(kFeedChunk);
            streamed.read(pending.data(), std::streamsize(pending.size()));
            pending.resize(size_t(streamed.gcount()));
            pendingAt = 0;
            if (pending.empty()) {
                child.CloseStdin();
                inOpen = false;
            }
        }
        struct pollfd fds[3] = {{outOpen ? child.StdoutFd() : -1, POLLIN, 0},
                                {errOpen ? child.StderrFd() : -1, POLLIN, 0},
                                {inOpen ? child.StdinFd() : -1, POLLOUT, 0}};
        poll(fds, 3, int(std::min<long long>(left, kPollMs)));
        char buf[65536];
        bool broken = false;
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            const long n = child.ReadStdout(buf, sizeof buf);
            if (n <= 0) outOpen = false;
            else if (!pages.Add(buf, size_t(n))) broken = true;
        }
        if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const long n = child.ReadStderr(buf, sizeof buf);
            if (n <= 0) errOpen = false;
            else text(buf, size_t(n));
        }
        if (inOpen && (fds[2].revents & (POLLOUT | POLLHUP | POLLERR))) {
            const ssize_t n = write(child.StdinFd(), pending.data() + pendingAt, pending.size() - pendingAt);
            if (n > 0) {
                pendingAt += size_t(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                child.CloseStdin(); // the child has stopped reading
                inOpen = false;
            }
        }
        if (broken) {
            endNow(End::Failed);
            break;
        }
    }
    if (!line.empty()) out->OnText(gs, line.data(), int(line.size()));
    if (child.ExitCode()) return result; // ended above
    // Both outputs are closed: the child is ending.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (!child.Wait(uint32_t(std::max<long long>(left, 1)))) {
        endNow(stopping ? stoppedAs : End::TimedOut);
        return result;
    }
    result.end = stopping ? stoppedAs : child.ExitCode() == 0 ? End::Done : End::Failed;
    return result;
}
