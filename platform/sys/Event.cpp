#include "platform/sys/Event.h"

namespace sys {

Event::Event(Mode mode, bool initiallySet) : mode_(mode), set_(initiallySet) {}

void Event::Set() {
    // Notified under the lock: a waiter that returns may destroy the event
    // at once, which it can only do once this call has let the lock go.
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    if (mode_ == Mode::ManualReset)
        cond_.notify_all();
    else
        cond_.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
}

bool Event::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (timeoutMs == kInfinite)
        cond_.wait(lock, [this] { return set_; });
    else if (!cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; }))
        return false;
    if (mode_ == Mode::AutoReset) set_ = false;
    return true;
}

bool Event::WaitFor(std::chrono::milliseconds timeout) {
    if (timeout.count() < 0) timeout = std::chrono::milliseconds(0);
    if (timeout.count() >= kInfinite) return Wait(kInfinite - 1);
    return Wait(uint32_t(timeout.count()));
}

}  // namespace sys
