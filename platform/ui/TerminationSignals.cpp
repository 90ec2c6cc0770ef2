#include "platform/ui/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

#include "platform/sys/TerminationRequest.h"

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_pipe[2] = {-1, -1};
QSocketNotifier* g_notifier = nullptr;
std::function<void(int)> g_callback;

extern "C" void OnTerminationSignal(int signo) {
    // Only async-signal-safe calls here.
    int saved = errno;
    sys::NoteTerminationRequest();
    unsigned char byte = static_cast<unsigned char>(signo);
    if (g_pipe[1] >= 0) {
        ssize_t n = write(g_pipe[1], &byte, 1);
        (void)n;  // a full pipe already holds a pending signal
    }
    errno = saved;
}

void Drain() {
    unsigned char bytes[16];
    for (;;) {
        ssize_t n = read(g_pipe[0], bytes, sizeof bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t i = 0; i < n; ++i) {
            // The callback may uninstall; a copy keeps it alive for the call.
            std::function<void(int)> call = g_callback;
            if (call) call(bytes[i]);
        }
    }
}

}  // namespace

bool TerminationSignals::Install(std::function<void(int)> onSignal) {
    g_callback = std::move(onSignal);
    if (g_notifier) return true;
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    g_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(g_notifier, &QSocketNotifier::activated, [] { Drain(); });
    struct sigaction sa {};
    sa.sa_handler = &OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals) sigaction(s, &sa, nullptr);
    return true;
}

void TerminationSignals::Uninstall() {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals) sigaction(s, &sa, nullptr);
    delete g_notifier;
    g_notifier = nullptr;
    for (int& fd : g_pipe) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    g_callback = nullptr;
    sys::ClearTerminationRequest();
}
