// An event object: manual reset (stays set until reset, releases every
// waiter) or automatic reset (one successful wait takes the signal back).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace sys {

class Event {
public:
    enum class Mode { ManualReset, AutoReset };
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    explicit Event(Mode mode, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits until the event is set or the time has passed; true when it was
    // set. kInfinite waits without limit; 0 only tests.
    bool Wait(uint32_t timeoutMs = kInfinite);
    bool WaitFor(std::chrono::milliseconds timeout);

private:
    const Mode mode_;
    mutable std::mutex mutex_;  // guards set_
    std::condition_variable cond_;
    bool set_;
};

}  // namespace sys
