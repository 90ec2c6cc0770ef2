// One QApplication on the offscreen platform for a test program.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <functional>

#include "platform/ui/UiDispatcher.h"

// Qt's font database keeps fontconfig's caches to the end of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

inline QApplication& TestApp() {
    static int argc = 1;
    static char arg0[] = "platform_ui_test";
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
inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 20000) {
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
