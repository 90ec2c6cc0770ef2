#include "platform/ui/UiDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/ui/Wnd.h"

namespace {

std::atomic<QThread*> g_uiThread{nullptr};

struct Waiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool started = false;
    bool done = false;
    bool ran = false;
    bool cancelled = false;
};

void Enqueue(std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
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
    if (!QCoreApplication::instance() || !g_uiThread.load()) return false;
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

void UiDispatcher::Init() { g_uiThread.store(QThread::currentThread()); }

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
