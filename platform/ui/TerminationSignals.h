// SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl+C in a terminal) turned into
// a call on the UI thread: the signal handler only writes the signal's number
// into a pipe, and a socket notifier on the pipe's other end runs the call
// from the event loop. The handler also notes the request
// (sys::TerminationRequested) for work that keeps the loop waiting. Until
// Install runs the signals keep their default action; a signal that arrives
// before the event loop runs waits in the pipe.
#pragma once

#include <functional>

class TerminationSignals {
public:
    // Routes the three signals to onSignal (called once per signal, with its
    // number). Later calls replace the callback. False when the pipe or the
    // handlers cannot be set up; the signals then keep their old action.
    static bool Install(std::function<void(int)> onSignal);
    // Puts the default actions back and stops the notifier.
    static void Uninstall();
};
