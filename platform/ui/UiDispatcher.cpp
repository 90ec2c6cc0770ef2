#include "platform/ui/UiDispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/ui/Wnd.h"

namespace {

std::atomic<QThread*> g_uiThread{nullptr};

struct Waiter {
    std::mutex mutex;  // guards started, done and ran
    std::condition_variable cv;
    bool started = false;
    bool done = false;
    bool ran = false;
    bool cancelled = false;
};

// The calls themselves wait here, under the dispatcher's own mutex; Qt only
// carries one wake-up event per call to the UI thread, which takes the oldest
// call. So the hand-over from the posting thread to the UI thread is ordered
// by a lock that every checker sees (Qt's own event queue is not), and the
// calls run in the order posted even when one of them runs a nested event
// loop.
struct CallQueue {
    std::mutex mutex;  // guards calls
    std::deque<std::function<void()>> calls;
};

CallQueue& Queue() {
    // Never destroyed: workers may still post while the process ends.
    static CallQueue* q = new CallQueue;
    return *q;
}

void RunOldest() {
    CallQueue& q = Queue();
    std::function<void()> fn;
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        if (q.calls.empty()) return;
        fn = std::move(q.calls.front());
        q.calls.pop_front();
    }
    fn();
}

class Waker;
std::atomic<Waker*> g_waker{nullptr};

// Lives on the UI thread; each wake-up event runs the oldest call. Its only
// custom events are the wake-ups; the event itself carries nothing and is
// not read here (Qt hands it over and frees it).
class Waker : public QObject {
public:
    static QEvent::Type WakeType() {
        static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
        return type;
    }

protected:
    void customEvent(QEvent*) override { RunOldest(); }

public:
    // With the application the wake-ups go: no call is queued any more, and
    // the calls still waiting never run.
    ~Waker() override {
        g_waker.store(nullptr);
        std::deque<std::function<void()>> dropped;
        std::lock_guard<std::mutex> lock(Queue().mutex);
        dropped.swap(Queue().calls);
    }
};

void Enqueue(std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    Waker* waker = g_waker.load();
    if (!app || !waker) return;
    CallQueue& q = Queue();
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        q.calls.push_back(std::move(fn));
    }
    QCoreApplication::postEvent(waker, new QEvent(Waker::WakeType()));
}

bool WaitFor(const std::shared_ptr<Waiter>& w, const std::atomic<int>* stop) {
    std::unique_lock<std::mutex> lock(w->mutex);
    for (;;) {
        if (w->done) return w->ran;
        if (stop && stop->load() != 0 && !w->started) {
            w->cancelled = true;
            return false;
        }
        w->cv.wait_for(lock, std::chrono::milliseconds(10));
    }
}

bool CallImpl(bool guarded, WndGuard target, std::function<void()> fn, const std::atomic<int>* stop) {
    if (UiDispatcher::IsUiThread()) {
        if (guarded && target.expired()) return false;
        fn();
        return true;
    }
    if (!QCoreApplication::instance() || !g_waker.load()) return false;
    auto w = std::make_shared<Waiter>();
    Enqueue([w, guarded, target, fn = std::move(fn)] {
        {
            std::lock_guard<std::mutex> lock(w->mutex);
            if (w->cancelled) return;
            w->started = true;
        }
        bool alive = !guarded || !target.expired();
        if (alive) fn();
        std::lock_guard<std::mutex> lock(w->mutex);
        w->ran = alive;
        w->done = true;
        w->cv.notify_all();
    });
    return WaitFor(w, stop);
}

} // namespace

void UiDispatcher::Init() {
    g_uiThread.store(QThread::currentThread());
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || g_waker.load()) return;
    // A child of the application: it goes with it.
    auto* waker = new Waker;
    waker->setParent(app);
    g_waker.store(waker);
}

bool UiDispatcher::IsUiThread() {
    QThread* ui = g_uiThread.load();
    if (!ui) {
        QCoreApplication* app = QCoreApplication::instance();
        ui = app ? app->thread() : nullptr;
    }
    return ui && ui == QThread::currentThread();
}

void UiDispatcher::Post(std::function<void()> fn) { Enqueue(std::move(fn)); }

void UiDispatcher::Post(WndGuard target, std::function<void()> fn) {
    Enqueue([target = std::move(target), fn = std::move(fn)] {
        if (!target.expired()) fn();
    });
}

void UiDispatcher::Post(const CWnd* target, std::function<void()> fn) {
    if (!target) return;
    Post(target->GetGuard(), std::move(fn));
}

bool UiDispatcher::Call(std::function<void()> fn, const std::atomic<int>* stop) {
    return CallImpl(false, WndGuard(), std::move(fn), stop);
}

bool UiDispatcher::Call(WndGuard target, std::function<void()> fn, const std::atomic<int>* stop) {
    return CallImpl(true, std::move(target), std::move(fn), stop);
}
