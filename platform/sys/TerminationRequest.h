// A process-wide note that a termination signal (SIGTERM, SIGINT, SIGHUP)
// arrived. The signal handler sets it; work that keeps the event loop waiting
// (a child process, a print job) reads it and gives up early, so that the
// signal's handling in the event loop comes soon.
#pragma once

namespace sys {

// Async-signal-safe.
void NoteTerminationRequest();
bool TerminationRequested();
void ClearTerminationRequest();

}  // namespace sys
