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

inline void PumpPending() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}
