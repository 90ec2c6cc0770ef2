// How fast a viewer answers, for this viewer beside xdvi and evince (and
// okular when installed), on one Xvfb display with a window manager.
//
// PageTurn/<document>/<peer>: the time from the next-page key to the settled
// page, on 2000 pages of text, 8 of mathematics, and 8 LaTeX pages with two
// EPS pictures each beside their text-only twin (eps8, eps8text); every page
// of these documents looks different. Each viewer shows the document in a
// window of the same size; the key goes in through XTest and the page area is
// read back through MIT-SHM. The page area is the top-level window less fixed
// bands per peer (Peer::page): this viewer's title, menu and tool bars and its
// page bar and status bar; xdvi's title, its button and page-list panel and
// its status line; evince's header bar and window shadow. Those bars show the
// page number, which may change after the page itself. Every distinct frame is
// kept with its time; the turn has settled when the area has not changed for
// a quarter second, and its time is that of the first frame equal to the
// settled one. A key that changes nothing within a second is sent again after
// the window is raised and focused (counter "retries"); the row fails after
// three tries. Okular scrolls its pages continuously and has no such rows.
//
// Start/<peer>: the time from spawning the viewer on a one-page document to
// the first frame of the whole screen equal to its settled image (quiet for a
// second), after one untimed start.
//
// Idle/<peer>: after such a start has settled, the CPU time (user and system)
// of the viewer's process group over ten seconds, as milliseconds per second.
//
// The iteration times are these times; the counters hold medians in
// milliseconds. VELORAN_BENCH_SHOTS=folder writes each grabbed area once as a
// PPM picture there.
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
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kScreenW = 1280, kScreenH = 1024;
constexpr int kWinW = 1000, kWinH = 900;
// A page area that has not changed for this long has settled.
constexpr auto kQuiet = std::chrono::milliseconds(250);
constexpr auto kTurnLimit = std::chrono::seconds(5);
// A key that changed nothing in this time is sent again, up to kTries in all.
constexpr auto kNoChange = std::chrono::seconds(1);
constexpr int kTries = 3;
// A started viewer has settled when its screen has not changed for this long.
constexpr auto kStartQuiet = std::chrono::seconds(1);
constexpr auto kStartLimit = std::chrono::seconds(30);
constexpr auto kIdleTime = std::chrono::seconds(10);

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
    // A hash of the rectangle now.
    size_t Hash() {
        XShmGetImage(dpy_, DefaultRootWindow(dpy_), img_, x_, y_, AllPlanes);
        return std::hash<std::string_view>()(
            std::string_view(img_->data, size_t(img_->bytes_per_line) * size_t(img_->height)));
    }
    // Writes the rectangle as last read to a PPM file.
    void Save(const std::string& path) const {
        std::ofstream f(path, std::ios::binary);
        f << "P6\n" << img_->width << " " << img_->height << "\n255\n";
        for (int y = 0; y < img_->height; ++y)
            for (int x = 0; x < img_->width; ++x) {
                const unsigned long p = XGetPixel(img_, x, y);
                const char rgb[3] = {char((p >> 16) & 255), char((p >> 8) & 255), char(p & 255)};
                f.write(rgb, 3);
            }
    }

private:
    Display* dpy_;
    int x_, y_;
    XImage* img_;
    XShmSegmentInfo shm_{};
};

// The distinct frames of a rectangle from a moment on, each with the time
// it was first seen.
struct Frames {
    struct Frame {
        size_t hash;
        Clock::time_point seen;
    };
    std::vector<Frame> frames;
    bool settled = false;

    bool Changed() const { return !frames.empty(); }
    // The first time the final frame was on the screen.
    Clock::time_point SettledAt() const {
        for (const Frame& f : frames)
            if (f.hash == frames.back().hash) return f.seen;
        return {};
    }
};

// Watches the rectangle, whose frame was before, until it has not changed
// for quiet after a change; gives up when nothing changed within noChange or
// it kept changing past limit.
Frames Watch(Grabber& g, size_t before, Clock::time_point from, Clock::duration quiet, Clock::duration noChange,
             Clock::duration limit) {
    Frames r;
    size_t last = before;
    Clock::time_point lastChange = from;
    while (true) {
        const size_t h = g.Hash();
        const Clock::time_point t = Clock::now();
        if (h != last) {
            r.frames.push_back({h, t});
            last = h;
            lastChange = t;
        } else if (r.Changed() && t - lastChange >= quiet) {
            r.settled = true;
            return r;
        } else if (!r.Changed() && t - from >= noChange) {
            return r;
        }
        if (t - from >= limit) return r;
    }
}

// Waits until the rectangle has not changed for the quiet time; false when
// it kept changing past the limit.
bool Settle(Grabber& g, Clock::duration quiet, Clock::duration limit) {
    size_t last = g.Hash();
    Clock::time_point changed = Clock::now();
    const Clock::time_point end = changed + limit;
    while (Clock::now() < end) {
        const size_t now = g.Hash();
        if (now != last) last = now, changed = Clock::now();
        else if (Clock::now() - changed >= quiet) return true;
    }
    return false;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Where a viewer shows the page inside its top-level window: the pixels cut
// from each side (menus, tool and status bars, side panels).
struct Insets {
    int left, top, right, bottom;
};

struct Peer {
    const char* name;
    std::vector<std::string> command;  // the file is appended
    KeySym key;  // 0: no page-turn rows
    KeySym backKey;  // the previous page, with the same modifier
    unsigned modifierKey;  // 0: none, else the keysym held with it
    Insets page;  // the page area in the window of kWinW x kWinH
};

// This viewer: Ctrl+Page Down turns the page; xdvi and evince: n. Okular
// scrolls pages continuously by default: it takes the start and idle rows.
std::vector<Peer> Peers() {
    return {{"veloran", {VELORAN_VIEWER}, XK_Next, XK_Prior, XK_Control_L, {0, 70, 0, 45}},
            {"xdvi", {"xdvi", "-geometry", std::to_string(kWinW) + "x" + std::to_string(kWinH) + "+0+0", "-s", "6"},
             XK_n, XK_p, 0, {0, 20, 70, 25}},
            {"evince", {"evince"}, XK_n, XK_p, 0, {30, 110, 30, 30}},
            {"okular", {"okular"}, 0, 0, 0, {0, 0, 0, 0}}};
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

// Writes the grabbed area once per name when VELORAN_BENCH_SHOTS names a folder.
void SaveShot(const Grabber& g, const std::string& name) {
    const char* dir = std::getenv("VELORAN_BENCH_SHOTS");
    if (dir && *dir) g.Save(std::string(dir) + "/" + name + ".ppm");
}

// A configuration folder of the run's own for a peer.
struct Home {
    std::string path;
    explicit Home(const char* what) {
        path = (fs::temp_directory_path() / (std::string(what) + "-" + std::to_string(getpid()))).string();
        fs::create_directories(path + "/config");
    }
    ~Home() {
        std::error_code ec;  // a peer may still be writing its settings
        fs::remove_all(path, ec);
    }
};

void PointerAway(Display* dpy) {
    XTestFakeMotionEvent(dpy, -1, kScreenW - 1, kScreenH - 1, CurrentTime);
    XFlush(dpy);
}

// The screen without any viewer: waits for the last one's windows to go.
size_t EmptyScreen(Grabber& screen) {
    Settle(screen, std::chrono::milliseconds(300), std::chrono::seconds(10));
    return screen.Hash();
}

// The top-level window of the focused client, once a window has the focus.
Window FocusedTopLevel(Display* dpy, Window* focused) {
    // The top-level window holding the focus once it is a shown window of
    // some size: while a program starts, the focus rests on the window
    // manager's own unmapped window.
    auto topOf = [dpy](Window w) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        while (w > PointerRoot && XQueryTree(dpy, w, &root, &parent, &children, &count) && parent != root) {
            if (children) XFree(children);
            children = nullptr;
            w = parent;
        }
        if (children) XFree(children);
        return w > PointerRoot ? w : Window(0);
    };
    Window focus = 0, top = 0;
    int revert = 0;
    for (int i = 0; i < 400; ++i) {
        XGetInputFocus(dpy, &focus, &revert);
        top = topOf(focus);
        XWindowAttributes a{};
        if (top && XGetWindowAttributes(dpy, top, &a) && a.map_state == IsViewable && a.width >= 200 &&
            a.height >= 200)
            break;
        top = 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (focused) *focused = top ? focus : 0;
    return top;
}

// The CPU time, user and system, of a process group so far (children that
// ended and were waited for included).
double GroupCpuMs(pid_t group) {
    const double tick = 1000.0 / double(sysconf(_SC_CLK_TCK));
    double ms = 0;
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream f(e.path() / "stat");
        std::string line;
        if (!std::getline(f, line)) continue;
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        // From the state on: state ppid pgrp session tty tpgid flags minflt
        // cminflt majflt cmajflt utime stime cutime cstime.
        std::istringstream in(line.substr(close + 2));
        std::string state;
        long ppid = 0, pgrp = 0;
        in >> state >> ppid >> pgrp;
        if (pgrp != group) continue;
        unsigned long long skip = 0, utime = 0, stime = 0;
        long long cutime = 0, cstime = 0;
        for (int i = 0; i < 7; ++i) in >> skip;
        in >> utime >> stime >> cutime >> cstime;
        ms += double(utime + stime + (unsigned long long)(cutime + cstime)) * tick;
    }
    return ms;
}

// pages: the document's page count; a short document is paged forward to
// its end, then back, so that every turn changes the screen.
void BM_PageTurn(benchmark::State& state, Peer peer, std::string document, int pages) {
    if (!g_x || !g_x->dpy) return state.SkipWithError("no display");
    if (!Installed(peer.command[0])) return state.SkipWithError((std::string(peer.name) + " not installed").c_str());
    Display* dpy = g_x->dpy;
    Home home("pageturn");
    std::vector<std::string> argv = peer.command;
    argv.push_back(document);
    PointerAway(dpy);
    const pid_t pid = Spawn(argv, home.path);
    // The window: the one that takes the focus; then the same size for all.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Window focus = 0;
    const Window top = FocusedTopLevel(dpy, &focus);
    if (top) {
        XMoveResizeWindow(dpy, top, 0, 0, kWinW, kWinH);
        XSync(dpy, False);
    }
    {
        Grabber settleAll(dpy, 0, 0, kScreenW, kScreenH);
        Settle(settleAll, kStartQuiet, std::chrono::seconds(20));
    }
    XWindowAttributes a{};
    int wx = 0, wy = 0;
    Window child = 0;
    if (top && XGetWindowAttributes(dpy, top, &a))
        XTranslateCoordinates(dpy, top, DefaultRootWindow(dpy), 0, 0, &wx, &wy, &child);
    else
        a.width = kWinW, a.height = kWinH;
    const int x0 = std::max(0, wx) + peer.page.left, y0 = std::max(0, wy) + peer.page.top;
    const int x1 = std::min(wx + a.width, kScreenW) - peer.page.right;
    const int y1 = std::min(wy + a.height, kScreenH) - peer.page.bottom;
    Grabber g(dpy, x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0));
    g.Hash();
    SaveShot(g, std::string("pageturn-") + peer.name + "-" + fs::path(document).stem().string());

    std::vector<double> first, settled;
    int turn = 0, retries = 0;
    for (auto _ : state) {
        const size_t before = g.Hash();
        const bool back = (turn / (pages - 1)) % 2 == 1;
        ++turn;
        Frames frames;
        Clock::time_point t0;
        for (int tries = 1; tries <= kTries; ++tries) {
            if (tries > 1) {
                ++retries;
                if (top) XRaiseWindow(dpy, top);
                if (focus) XSetInputFocus(dpy, focus, RevertToParent, CurrentTime);
                XSync(dpy, False);
            }
            t0 = Clock::now();
            SendKey(dpy, back ? peer.backKey : peer.key, peer.modifierKey);
            frames = Watch(g, before, t0, kQuiet, kNoChange, kTurnLimit);
            if (frames.Changed()) break;
        }
        if (!frames.Changed()) {
            state.SkipWithError("the page did not change after three tries");
            break;
        }
        const double f = Ms(frames.frames.front().seen - t0);
        const double s = Ms(frames.SettledAt() - t0);
        first.push_back(f);
        settled.push_back(s);
        state.SetIterationTime(s / 1000.0);
    }
    state.counters["first_ms"] = Median(first);
    state.counters["settled_ms"] = Median(settled);
    state.counters["retries"] = retries;
    Stop(pid);
}

// Starts the viewer on the document and waits for its screen to settle.
// The time from the spawn to the first frame equal to the settled one, or
// a negative value when nothing appeared or it never settled.
double StartOnce(Display* dpy, Grabber& screen, const std::vector<std::string>& argv, const Home& home,
                 pid_t* pid) {
    PointerAway(dpy);
    const size_t empty = EmptyScreen(screen);
    const Clock::time_point t0 = Clock::now();
    *pid = Spawn(argv, home.path);
    const Frames frames = Watch(screen, empty, t0, kStartQuiet, kStartLimit, kStartLimit);
    if (!frames.settled || frames.frames.back().hash == empty) return -1;
    return Ms(frames.SettledAt() - t0);
}

void BM_Start(benchmark::State& state, Peer peer, std::string document) {
    if (!g_x || !g_x->dpy) return state.SkipWithError("no display");
    if (!Installed(peer.command[0])) return state.SkipWithError((std::string(peer.name) + " not installed").c_str());
    Display* dpy = g_x->dpy;
    Home home("start");
    std::vector<std::string> argv = peer.command;
    argv.push_back(document);
    Grabber screen(dpy, 0, 0, kScreenW, kScreenH);
    // One start untimed: files cached, configuration written.
    pid_t pid = 0;
    StartOnce(dpy, screen, argv, home, &pid);
    Stop(pid);
    std::vector<double> times;
    for (auto _ : state) {
        const double ms = StartOnce(dpy, screen, argv, home, &pid);
        SaveShot(screen, std::string("start-") + peer.name);
        Stop(pid);
        if (ms < 0) {
            state.SkipWithError("the screen did not settle");
            break;
        }
        times.push_back(ms);
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["start_ms"] = Median(times);
}

void BM_Idle(benchmark::State& state, Peer peer, std::string document) {
    if (!g_x || !g_x->dpy) return state.SkipWithError("no display");
    if (!Installed(peer.command[0])) return state.SkipWithError((std::string(peer.name) + " not installed").c_str());
    Display* dpy = g_x->dpy;
    Home home("idle");
    std::vector<std::string> argv = peer.command;
    argv.push_back(document);
    Grabber screen(dpy, 0, 0, kScreenW, kScreenH);
    std::vector<double> rates;
    for (auto _ : state) {
        pid_t pid = 0;
        const double ms = StartOnce(dpy, screen, argv, home, &pid);
        if (ms < 0) {
            Stop(pid);
            state.SkipWithError("the screen did not settle");
            break;
        }
        const double cpu0 = GroupCpuMs(pid);
        std::this_thread::sleep_for(kIdleTime);
        const double cpu = GroupCpuMs(pid) - cpu0;
        Stop(pid);
        const double perSecond = cpu / std::chrono::duration<double>(kIdleTime).count();
        rates.push_back(perSecond);
        state.SetIterationTime(perSecond / 1000.0);
    }
    state.counters["cpu_ms_per_s"] = Median(rates);
}

}  // namespace

int main(int argc, char** argv) {
    Display_ x;
    if (x.Start()) g_x = &x;
    for (const auto& [doc, pages] :
         {std::pair{"scan2000", 2000}, std::pair{"math8", 8}, std::pair{"eps8", 8}, std::pair{"eps8text", 8}})
        for (const Peer& p : Peers())
            if (p.key)
                benchmark::RegisterBenchmark((std::string("PageTurn/") + doc + "/" + p.name).c_str(), BM_PageTurn, p,
                                             Fixture(doc), pages)
                    ->UseManualTime()
                    ->Iterations(20)
                    ->Unit(benchmark::kMillisecond);
    for (const Peer& p : Peers())
        benchmark::RegisterBenchmark((std::string("Start/") + p.name).c_str(), BM_Start, p, Fixture("page1"))
            ->UseManualTime()
            ->Iterations(5)
            ->Unit(benchmark::kMillisecond);
    for (const Peer& p : Peers())
        benchmark::RegisterBenchmark((std::string("Idle/") + p.name).c_str(), BM_Idle, p, Fixture("page1"))
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_x = nullptr;
    return 0;
}
