// Worker-to-UI calls and window timers.
#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/ui/UiDispatcher.h"
#include "platform/ui/Wnd.h"
#include "platform/ui/tests/QtTestApp.h"

namespace {

class TimerWnd : public CWnd {
public:
    std::vector<UINT_PTR> fired;
    bool killOnFire = true;
    void OnTimer(UINT_PTR id) override {
        fired.push_back(id);
        if (killOnFire) KillTimer(id);
    }
};

CRect Small() { return CRect(0, 0, 40, 30); }

TEST(UiDispatcher, QueuedCallsRunOnUiThreadInOrder) {
    TestApp();
    std::vector<int> order;
    std::vector<bool> onUi;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            UiDispatcher::Post([&, i] {
                order.push_back(i);
                onUi.push_back(UiDispatcher::IsUiThread());
            });
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 50; }));
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(order[size_t(i)], i);
        EXPECT_TRUE(onUi[size_t(i)]);
    }
}

TEST(UiDispatcher, CallForDestroyedWindowIsDroppedOthersRun) {
    TestApp();
    auto* wnd = new CWnd;
    ASSERT_TRUE(wnd->Create(nullptr, "w", 0, Small(), nullptr, 0));
    WndGuard guard = wnd->GetGuard();
    std::vector<std::string> ran;
    std::thread worker([&] {
        UiDispatcher::Post(guard, [&] { ran.push_back("window"); });
        UiDispatcher::Post([&] { ran.push_back("plain"); });
        UiDispatcher::Post(guard, [&] { ran.push_back("window2"); });
    });
    worker.join();
    // The window goes before the UI thread reaches the calls.
    wnd->DestroyWindow();
    delete wnd;
    ASSERT_TRUE(PumpUntil([&] { return !ran.empty(); }));
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_EQ(ran, std::vector<std::string>{"plain"});
}

TEST(UiDispatcher, CallForLiveWindowRunsAndWaitingCallReturnsValue) {
    TestApp();
    CWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "w", 0, Small(), nullptr, 0));
    std::atomic<int> stop{0};
    std::atomic<bool> done{false};
    bool ran = false;
    std::optional<int> value;
    std::thread worker([&] {
        ran = UiDispatcher::Call(wnd.GetGuard(), [&] { EXPECT_TRUE(UiDispatcher::IsUiThread()); }, &stop);
        value = UiDispatcher::CallFor<int>([] { return 42; }, &stop);
        done = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(ran);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, 42);
}

TEST(UiDispatcher, WaitingCallGivesUpWhenStopIsSetAndNeverRuns) {
    TestApp();
    std::atomic<int> stop{0};
    std::atomic<bool> entered{false};
    bool result = true;
    bool called = false;
    std::thread worker([&] {
        entered = true;
        result = UiDispatcher::Call([&] { called = true; }, &stop);
    });
    // The UI thread is busy (as in a bounded wait on the worker) and sets the flag.
    while (!entered) std::this_thread::yield();
    stop = 1;
    worker.join();
    EXPECT_FALSE(result);
    ASSERT_TRUE(PumpUntilQueuedRan());
    EXPECT_FALSE(called);
}

TEST(UiDispatcher, WaitingCallOnUiThreadRunsInline) {
    TestApp();
    bool called = false;
    EXPECT_TRUE(UiDispatcher::Call([&] { called = true; }));
    EXPECT_TRUE(called);
}

TEST(WindowTimers, FireByIdAndStopWhenKilled) {
    TestApp();
    TimerWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "t", 0, Small(), nullptr, 0));
    EXPECT_EQ(wnd.SetTimer(122, 5), UINT_PTR(122));
    EXPECT_EQ(wnd.SetTimer(126, 1), UINT_PTR(126));
    ASSERT_TRUE(PumpUntil([&] { return wnd.fired.size() >= 2; }));
    // Until a timer started now and longer than both has fired: a repeat of
    // either would have come first.
    ASSERT_TRUE(PumpUntilTimerFired(20));
    std::vector<UINT_PTR> fired = wnd.fired;
    std::sort(fired.begin(), fired.end());
    EXPECT_EQ(fired, (std::vector<UINT_PTR>{122, 126}));
    EXPECT_FALSE(wnd.HasTimer(122));
    EXPECT_FALSE(wnd.KillTimer(122));
}

TEST(WindowTimers, ArmedFromWorkerThreadFiresOnUiThread) {
    TestApp();
    struct Wnd : TimerWnd {
        bool onUi = false;
        void OnTimer(UINT_PTR id) override {
            onUi = UiDispatcher::IsUiThread();
            TimerWnd::OnTimer(id);
        }
    } wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "t", 0, Small(), nullptr, 0));
    std::thread worker([&] { wnd.SetTimer(125, 1); });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return !wnd.fired.empty(); }));
    EXPECT_EQ(wnd.fired.front(), UINT_PTR(125));
    EXPECT_TRUE(wnd.onUi);
}

TEST(WindowTimers, SettingSameIdAgainKeepsOneTimerAndDestroyStopsAll) {
    TestApp();
    auto* wnd = new TimerWnd;
    wnd->killOnFire = false;
    ASSERT_TRUE(wnd->Create(nullptr, "t", 0, Small(), nullptr, 0));
    wnd->SetTimer(7, 100000);
    wnd->SetTimer(7, 100000);
    EXPECT_TRUE(wnd->HasTimer(7));
    EXPECT_TRUE(wnd->KillTimer(7));
    EXPECT_FALSE(wnd->HasTimer(7));
    wnd->SetTimer(8, 1);
    wnd->DestroyWindow();
    EXPECT_FALSE(wnd->HasTimer(8));
    EXPECT_EQ(wnd->SetTimer(9, 1), UINT_PTR(0)); // no window, no timer
    ASSERT_TRUE(PumpUntilTimerFired(20));
    EXPECT_TRUE(wnd->fired.empty());
    delete wnd;
}

} // namespace
