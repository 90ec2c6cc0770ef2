// The time from a viewer's next-page key to its settled screen, for this
// viewer beside xdvi and evince, on one Xvfb display with a window manager.
// Each viewer shows the document in a window of the same size; the key goes
// in through XTest and the window's pixels are read back through MIT-SHM
// until they stop changing. Per turn: the first change of the window and the
// last one (settled). The iteration time is the settled time; the counters
// hold the medians in milliseconds.
//
// Runs its own Xvfb (display :VELORAN_BENCH_DISPLAY, 63 when unset) and
// openbox. A peer that is not installed is skipped.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kScreenW = 1280, kScreenH = 1024;
constexpr int kWinW = 1000, kWinH = 900;
// A screen that has not changed for this long has settled.
constexpr auto kQuiet = std::chrono::milliseconds(250);
constexpr auto kTurnLimit = std::chrono::seconds(5);

std::string g_display;

pid_t Spawn(const std::vector<std::string>& argv, const std::string& home = std::string()) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    setenv("DISPLAY", g_display.c_str(), 1);
    if (!home.empty()) {
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("VELORAN_CONFIG_HOME", (home + "/config").c_str(), 1);
        // A runtime folder of its own: a viewer already running for this user
        // elsewhere must not take the document over.
        const std::string run = home + "/run";
        mkdir(run.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    }
    setpgid(0, 0);
    if (int fd = open("/dev/null", O_WRONLY); fd >= 0) dup2(fd, 1), dup2(fd, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(-pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool Installed(const std::string& program) {
    return std::system(("command -v " + program + " > /dev/null 2>&1").c_str()) == 0;
}

// The display with its window manager, for the whole run.
struct Display_ {
    pid_t server = 0, wm = 0;
    Display* dpy = nullptr;

    bool Start() {
        const char* n = std::getenv("VELORAN_BENCH_DISPLAY");
        const std::string num = n && *n ? n : "63";
        g_display = ":" + num;
        server = Spawn({"Xvfb", g_display, "-screen", "0", std::to_string(kScreenW) + "x" +
                        std::to_string(kScreenH) + "x24", "-nolisten", "tcp", "-dpi", "96"});
        for (int i = 0; i < 250 && !dpy; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            dpy = XOpenDisplay(g_display.c_str());
        }
        if (!dpy) return false;
        wm = Spawn({"openbox"});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return true;
    }
    ~Display_() {
        if (dpy) XCloseDisplay(dpy);
        Stop(wm);
        Stop(server);
    }
};
Display_* g_x = nullptr;

// The pixels of a screen rectangle, read through shared memory.
class Grabber {
public:
    Grabber(Display* dpy, int x, int y, int w, int h) : dpy_(dpy), x_(x), y_(y) {
        const int s = DefaultScreen(dpy);
        img_ = XShmCreateImage(dpy, DefaultVisual(dpy, s), unsigned(DefaultDepth(dpy, s)), ZPixmap, nullptr, &shm_,
                               unsigned(w), unsigned(h));
        shm_.shmid = shmget(IPC_PRIVATE, size_t(img_->bytes_per_line) * img_->height, IPC_CREAT | 0600);
        shm_.shmaddr = img_->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
        shm_.readOnly = False;
        XShmAttach(dpy, &shm_);
        XSync(dpy, False);
        shmctl(shm_.shmid, IPC_RMID, nullptr);
    }
    ~Grabber() {
        XShmDetach(dpy_, &shm_);
        XDestroyImage(img_);
        shmdt(shm_.shmaddr);
    }
    // The rectangle now.
    std::vector<char> Grab() {
        XShmGetImage(dpy_, DefaultRootWindow(dpy_), img_, x_, y_, AllPlanes);
        return std::vector<char>(img_->data, img_->data + size_t(img_->bytes_per_line) * img_->height);
    }

private:
    Display* dpy_;
    int x_, y_;
    XImage* img_;
    XShmSegmentInfo shm_{};
};

// Waits until the rectangle has not changed for the quiet time; false when
// it kept changing past the limit.
bool Settle(Grabber& g, std::chrono::milliseconds limit) {
    std::vector<char> last = g.Grab();
    Clock::time_point changed = Clock::now();
    const Clock::time_point end = changed + limit;
    while (Clock::now() < end) {
        std::vector<char> now = g.Grab();
        if (now != last) last.swap(now), changed = Clock::now();
        else if (Clock::now() - changed >= kQuiet) return true;
    }
    return false;
}

struct Peer {
    const char* name;
    std::vector<std::string> command;  // the file is appended
    KeySym key;
    KeySym backKey;  // the previous page, with the same modifier
    unsigned modifierKey;  // 0: none, else the keysym held with it
};

// This viewer: Ctrl+Page Down turns the page; xdvi and evince: n.
std::vector<Peer> Peers() {
    return {{"veloran", {VELORAN_VIEWER}, XK_Next, XK_Prior, XK_Control_L},
            {"xdvi", {"xdvi", "-geometry", std::to_string(kWinW) + "x" + std::to_string(kWinH) + "+0+0", "-s", "6"},
             XK_n, XK_p, 0},
            {"evince", {"evince"}, XK_n, XK_p, 0}};
}

void SendKey(Display* dpy, KeySym key, unsigned modifier) {
    const KeyCode mod = modifier ? XKeysymToKeycode(dpy, modifier) : 0;
    const KeyCode k = XKeysymToKeycode(dpy, key);
    if (mod) XTestFakeKeyEvent(dpy, mod, True, CurrentTime);
    XTestFakeKeyEvent(dpy, k, True, CurrentTime);
    XTestFakeKeyEvent(dpy, k, False, CurrentTime);
    if (mod) XTestFakeKeyEvent(dpy, mod, False, CurrentTime);
    XFlush(dpy);
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string Fixture(const char* name) { return std::string(VELORAN_BINARY_DIR "/fixtures/") + name + ".dvi"; }

// pages: the document's page count; a short document is paged forward to
// its end, then back, so that every turn changes the screen.
void BM_PageTurn(benchmark::State& state, Peer peer, std::string document, int pages) {
    if (!g_x || !g_x->dpy) return state.SkipWithError("no display");
    if (!Installed(peer.command[0])) return state.SkipWithError((std::string(peer.name) + " not installed").c_str());
    Display* dpy = g_x->dpy;
    const std::string home = (fs::temp_directory_path() / ("pageturn-" + std::to_string(getpid()))).string();
    fs::create_directories(home + "/config");
    std::vector<std::string> argv = peer.command;
    argv.push_back(document);
    // The pointer away from the windows.
    XTestFakeMotionEvent(dpy, -1, kScreenW - 1, kScreenH - 1, CurrentTime);
    XFlush(dpy);
    const pid_t pid = Spawn(argv, home);
    // The window: the one that takes the focus; then the same size for all.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Window focus = 0;
    int revert = 0;
    for (int i = 0; i < 200; ++i) {
        XGetInputFocus(dpy, &focus, &revert);
        if (focus > PointerRoot) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Window top = focus, root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    while (top && XQueryTree(dpy, top, &root, &parent, &children, &count) && parent != root) {
        if (children) XFree(children);
        top = parent;
    }
    if (children) XFree(children);
    if (top > PointerRoot) {
        XMoveResizeWindow(dpy, top, 0, 0, kWinW, kWinH);
        XSync(dpy, False);
    }
    {
        Grabber settleAll(dpy, 0, 0, kScreenW, kScreenH);
        Settle(settleAll, std::chrono::seconds(20));
    }
    XWindowAttributes a{};
    int wx = 0, wy = 0;
    Window child = 0;
    if (top > PointerRoot && XGetWindowAttributes(dpy, top, &a))
        XTranslateCoordinates(dpy, top, DefaultRootWindow(dpy), 0, 0, &wx, &wy, &child);
    else
        a.width = kWinW, a.height = kWinH;
    Grabber g(dpy, std::max(0, wx), std::max(0, wy), std::min(a.width, kScreenW - wx), std::min(a.height, kScreenH - wy));

    std::vector<double> first, settled;
    int turn = 0;
    for (auto _ : state) {
        const std::vector<char> before = g.Grab();
        const Clock::time_point t0 = Clock::now();
        const bool back = (turn / (pages - 1)) % 2 == 1;
        ++turn;
        SendKey(dpy, back ? peer.backKey : peer.key, peer.modifierKey);
        std::vector<char> last = before;
        Clock::time_point firstChange{}, lastChange{};
        const Clock::time_point end = t0 + kTurnLimit;
        while (Clock::now() < end) {
            std::vector<char> now = g.Grab();
            const Clock::time_point t = Clock::now();
            if (now != last) {
                if (firstChange == Clock::time_point{}) firstChange = t;
                lastChange = t;
                last.swap(now);
            } else if (lastChange != Clock::time_point{} && t - lastChange >= kQuiet) {
                break;
            }
        }
        if (lastChange == Clock::time_point{}) {
            state.SkipWithError("the screen did not change");
            break;
        }
        const double f = std::chrono::duration<double, std::milli>(firstChange - t0).count();
        const double s = std::chrono::duration<double, std::milli>(lastChange - t0).count();
        first.push_back(f);
        settled.push_back(s);
        state.SetIterationTime(s / 1000.0);
    }
    state.counters["first_ms"] = Median(first);
    state.counters["settled_ms"] = Median(settled);
    Stop(pid);
    fs::remove_all(home);
}

}  // namespace

int main(int argc, char** argv) {
    Display_ x;
    if (x.Start()) g_x = &x;
    for (const auto& [doc, pages] : {std::pair{"scan2000", 2000}, std::pair{"math8", 8}})
        for (const Peer& p : Peers())
            benchmark::RegisterBenchmark((std::string("PageTurn/") + doc + "/" + p.name).c_str(), BM_PageTurn, p,
                                         Fixture(doc), pages)
                ->UseManualTime()
                ->Iterations(20)
                ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_x = nullptr;
    return 0;
}
