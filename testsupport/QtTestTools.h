// One QApplication on the offscreen platform for a test program, and event
// pumping for tests that wait on the UI thread. Each test program states its
// own leak suppressions.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
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
inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 60000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void PumpPending() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}
