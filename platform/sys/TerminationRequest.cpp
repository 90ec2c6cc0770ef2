#include "platform/sys/TerminationRequest.h"

#include <atomic>

namespace sys {

namespace {

std::atomic<int> g_requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

}  // namespace

void NoteTerminationRequest() { g_requested.store(1, std::memory_order_relaxed); }

bool TerminationRequested() { return g_requested.load(std::memory_order_relaxed) != 0; }

void ClearTerminationRequest() { g_requested.store(0, std::memory_order_relaxed); }

}  // namespace sys
