// One QApplication on the offscreen platform for a test program, and event
// pumping for tests that wait on the UI thread. Leak suppressions for the
// system's libraries are in testsupport/lsan.supp.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>

#include "platform/ui/UiDispatcher.h"

inline QApplication& TestApp() {
    static int argc = 1;
    static char arg0[] = "veloran_test";
    static char* argv[] = {arg0, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        auto* a = new QApplication(argc, argv);
        UiDispatcher::Init();
        return a;
    }();
    return *app;
}

// Runs the UI thread's events until done() holds; false when it never does
// (a generous bound that only a hang reaches).
// Between looks the thread sleeps in the event dispatcher; a short timer
// wakes it for conditions that other threads change without an event.
inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 60000) {
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the UI thread until a marker queued now has run: every call and event
// queued before it (UiDispatcher::Post, Qt's posted events) has been handled.
// For a test that needs no more than that: a closed document's or destroyed
// window's queued calls have found it gone, or an action's queued work has
// run before the test looks that it changed nothing.
inline bool PumpUntilQueuedRan(int limitMs = 60000) {
    auto ran = std::make_shared<bool>(false);
    UiDispatcher::Post([ran] { *ran = true; });
    return PumpUntil([ran] { return *ran; }, limitMs);
}

// Runs the UI thread until a timer of `ms` milliseconds started now has
// fired: a timer due before it has fired by then.
inline bool PumpUntilTimerFired(int ms, int limitMs = 60000) {
    auto fired = std::make_shared<bool>(false);
    QTimer::singleShot(ms, QCoreApplication::instance(), [fired] { *fired = true; });
    return PumpUntil([fired] { return *fired; }, limitMs);
}
