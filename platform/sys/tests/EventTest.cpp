#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/sys/Event.h"

using sys::Event;

TEST(Event, ManualResetStaysSetAndReleasesEveryWaiter) {
    Event ev(Event::Mode::ManualReset);
    EXPECT_FALSE(ev.IsSet());
    EXPECT_FALSE(ev.Wait(0));
    EXPECT_FALSE(ev.Wait(20));  // times out unset

    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) waiters.emplace_back([&] {
        if (ev.Wait()) ++woken;
    });
    ev.Set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(woken, 3);
    EXPECT_TRUE(ev.IsSet());
    EXPECT_TRUE(ev.Wait(0));
    EXPECT_TRUE(ev.Wait(0));
    ev.Reset();
    EXPECT_FALSE(ev.Wait(0));
}

TEST(Event, AutoResetPassesEachSignalToOneWaiter) {
    Event ev(Event::Mode::AutoReset, true);
    EXPECT_TRUE(ev.Wait(0));
    EXPECT_FALSE(ev.Wait(0));  // the wait took the signal
    ev.Set();
    ev.Set();  // signals do not count up
    EXPECT_TRUE(ev.Wait(0));
    EXPECT_FALSE(ev.IsSet());

    Event woke(Event::Mode::AutoReset);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i) waiters.emplace_back([&] {
        ev.Wait();
        ++woken;
        woke.Set();
    });
    ev.Set();
    ASSERT_TRUE(woke.Wait());
    EXPECT_EQ(woken, 1);
    EXPECT_FALSE(ev.IsSet());  // taken by the one waiter it released
    ev.Set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(woken, 2);
}

TEST(Event, TimedWaitSeesASetFromAnotherThread) {
    // The document's stop protocol: the worker resets the event when it
    // starts and sets it when it ends; the closer waits a bounded time.
    Event done(Event::Mode::ManualReset);
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        done.Reset();
        while (!stop) std::this_thread::yield();
        done.Set();
    });
    stop = true;
    EXPECT_TRUE(done.Wait(60000));
    worker.join();
    EXPECT_TRUE(done.WaitFor(std::chrono::milliseconds(0)));
}

TEST(Event, AWaiterMayDestroyTheEventAsSoonAsItReturns) {
    // The waiter owns the event and frees it once its wait returns, while the
    // setting thread may still be inside Set.
    for (Event::Mode mode : {Event::Mode::ManualReset, Event::Mode::AutoReset}) {
        for (int round = 0; round < 200; ++round) {
            auto* ev = new Event(mode);
            std::thread setter([ev] { ev->Set(); });
            EXPECT_TRUE(ev->Wait(60000));
            delete ev;
            setter.join();
        }
    }
}
