// The one way from a worker thread to the UI thread. Queued calls run on the
// UI thread in the order they were posted; a call aimed at a window is
// dropped when the window has gone by the time it would run. A waiting call
// blocks its caller until it has run, or gives up (and never runs) when the
// caller's stop flag is set before the UI thread started it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class CWnd;

// Weak handle on a window's lifetime; expired once the window is destroyed.
using WndGuard = std::weak_ptr<const void>;

class UiDispatcher {
public:
    // Binds the dispatcher to the current thread, which must be the thread of
    // the QApplication. CWinApp calls it; calls before it fail.
    static void Init();
    static bool IsUiThread();

    // Queued calls; never run inline, even on the UI thread.
    static void Post(std::function<void()> fn);
    static void Post(WndGuard target, std::function<void()> fn);
    // The window must exist when Post is called; its guard is taken here.
    static void Post(const CWnd* target, std::function<void()> fn);

    // Waiting calls. On the UI thread they run inline. Elsewhere they return
    // true once the call ran, false when it was dropped (window gone) or
    // given up because *stop became non-zero before it started.
    static bool Call(std::function<void()> fn, const std::atomic<int>* stop = nullptr);
    static bool Call(WndGuard target, std::function<void()> fn, const std::atomic<int>* stop = nullptr);

    template <class R>
    static std::optional<R> CallFor(std::function<R()> fn, const std::atomic<int>* stop = nullptr) {
        std::optional<R> result;
        if (!Call([&] { result = fn(); }, stop)) return std::nullopt;
        return result;
    }
};
