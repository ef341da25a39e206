#pragma once

// The behaviour every TEventLoop must show, written once against a factory. A test program
// includes this header once and instantiates the suite for its loop:
//   INSTANTIATE_TEST_SUITE_P(Poll, EventLoopContract, ::testing::Values(TEventLoopFactory(...)));

#include "base/EventLoop.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pivrel::base::contract {

using TEventLoopFactory = std::function<std::unique_ptr<TEventLoop>()>;
using TClock = std::chrono::steady_clock;

inline long long MsSince(TClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
}

class EventLoopContract : public ::testing::TestWithParam<TEventLoopFactory>
{
protected:
    void SetUp() override
    {
        m_loop = GetParam()();
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, m_pair), 0);
    }

    void TearDown() override
    {
        close(m_pair[0]);
        close(m_pair[1]);
    }

    TEventLoop& Loop() { return *m_loop; }

    // Runs the loop until done() holds or limitMs passed; a guard timer keeps the wait from
    // blocking for ever when the awaited event never comes.
    bool RunUntilOr(const std::function<bool()>& done, int limitMs = 5000)
    {
        bool expired = false;
        auto guard = m_loop->StartTimer(limitMs, false, [&] { expired = true; });
        m_loop->RunUntil([&] { return done() || expired; });
        return done();
    }

    void RunFor(int ms)
    {
        const auto start = TClock::now();
        RunUntilOr([&] { return MsSince(start) >= ms; }, ms);
    }

    std::unique_ptr<TEventLoop> m_loop;
    int m_pair[2] = { -1, -1 };
};

// A callback capture that tells whether the loop still holds the callback.
struct TAliveProbe {
    std::shared_ptr<int> token = std::make_shared<int>(0);

    std::weak_ptr<int> Watch() const { return token; }
};

TEST_P(EventLoopContract, TimersFireOnceInDueOrderAndNeverEarly)
{
    std::vector<std::string> order;
    std::vector<long long> firedAt;
    const auto start = TClock::now();
    std::vector<std::unique_ptr<TEventHandle>> timers;
    for (auto [ms, name] : std::vector<std::pair<int, std::string>> {
             { 60, "c" }, { 20, "a" }, { 40, "b" }, { 0, "zero" }, { 10, "x" }, { 10, "y" } })
        timers.push_back(Loop().StartTimer(ms, false, [&, ms = ms, name = name] {
            order.push_back(name);
            EXPECT_GE(MsSince(start), ms) << name;
        }));
    EXPECT_TRUE(order.empty()) << "a timer of 0 ms ran inside StartTimer";
    ASSERT_TRUE(RunUntilOr([&] { return order.size() == 6; }));
    EXPECT_EQ(order, (std::vector<std::string> { "zero", "x", "y", "a", "b", "c" }));
    RunFor(80);
    EXPECT_EQ(order.size(), 6u) << "a one-shot timer fired again";
}

TEST_P(EventLoopContract, RepeatingTimerRepeatsUntilItsHandleGoes)
{
    int ticks = 0;
    std::unique_ptr<TEventHandle> timer;
    TAliveProbe probe;
    auto alive = probe.Watch();
    timer = Loop().StartTimer(5, true, [&, probe = std::move(probe)] {
        if (++ticks == 3)
            timer.reset(); // destroyed inside its own callback
    });
    ASSERT_TRUE(RunUntilOr([&] { return ticks >= 3; }));
    RunFor(60);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(alive.expired()) << "the loop kept the callback of a destroyed timer";

    int zeroTicks = 0;
    auto zero = Loop().StartTimer(0, true, [&] { ++zeroTicks; });
    Loop().ProcessPending();
    EXPECT_LE(zeroTicks, 1) << "a repeating timer of 0 ms ran twice in one round";
    ASSERT_TRUE(RunUntilOr([&] { return zeroTicks >= 5; }));
}

TEST_P(EventLoopContract, DestroyedTimerNeverRunsEvenWhenDueInTheSameRound)
{
    bool ran = false;
    auto early = Loop().StartTimer(10, false, [&] { ran = true; });
    early.reset();

    // Both are due in the same round; whichever runs first destroys the other.
    std::unique_ptr<TEventHandle> first, second;
    int fired = 0;
    first = Loop().StartTimer(5, false, [&] {
        ++fired;
        second.reset();
    });
    second = Loop().StartTimer(5, false, [&] {
        ++fired;
        first.reset();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    RunFor(50);
    EXPECT_FALSE(ran);
    EXPECT_EQ(fired, 1);
}

TEST_P(EventLoopContract, PostRunsLaterInOrderAndWakesAWaitFromAnotherThread)
{
    std::vector<int> order;
    bool inside = false;
    Loop().Post([&] {
        inside = true;
        Loop().Post([&] { order.push_back(3); });
        EXPECT_TRUE(order.empty()) << "a post ran inside the call that posted it";
        inside = false;
        order.push_back(1);
    });
    Loop().Post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(RunUntilOr([&] { return order.size() == 3; }));
    EXPECT_EQ(order.front(), 1);
    EXPECT_EQ(order.back(), 3);
    EXPECT_FALSE(inside);

    std::atomic<bool> posted = false;
    bool ran = false;
    const auto start = TClock::now();
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Loop().Post([&] { ran = true; });
        posted = true;
    });
    // No timer or watch is due: only the post can end this wait.
    while (!ran && MsSince(start) < 5000)
        Loop().WaitAndProcess(5000);
    poster.join();
    EXPECT_TRUE(ran);
    EXPECT_LT(MsSince(start), 2000);
}

TEST_P(EventLoopContract, ManyThreadsPostingLoseNothing)
{
    constexpr int kThreads = 4, kEach = 500;
    int count = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i)
                Loop().Post([&] { ++count; });
        });
    ASSERT_TRUE(RunUntilOr([&] { return count == kThreads * kEach; }));
    for (auto& thread : threads)
        thread.join();
    Loop().ProcessPending();
    EXPECT_EQ(count, kThreads * kEach);
}

TEST_P(EventLoopContract, WatchReportsReadAndWriteReadinessAsAsked)
{
    int reads = 0, writes = 0;
    std::string got;
    auto watch = Loop().WatchFd(m_pair[0], [&](bool readable, bool writable) {
        if (readable) {
            ++reads;
            char buffer[16];
            const auto n = read(m_pair[0], buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, static_cast<std::size_t>(n));
        }
        if (writable)
            ++writes;
    });
    ASSERT_EQ(write(m_pair[1], "ping", 4), 4);
    Loop().WaitAndProcess(20);
    EXPECT_EQ(reads + writes, 0) << "a new watch reported before SetEvents asked";
    watch->SetEvents(true, false);

    ASSERT_TRUE(RunUntilOr([&] { return got == "ping"; }));
    EXPECT_EQ(writes, 0) << "writable reported without write interest";

    watch->SetEvents(false, true);
    ASSERT_TRUE(RunUntilOr([&] { return writes > 0; }));
    watch->SetEvents(false, false);
    const int writesBefore = writes;
    ASSERT_EQ(write(m_pair[1], "more", 4), 4);
    RunFor(30);
    EXPECT_EQ(writes, writesBefore);
    EXPECT_EQ(got, "ping") << "read reported with read interest off";

    watch->SetEvents(true, false);
    ASSERT_TRUE(RunUntilOr([&] { return got == "pingmore"; }));
    shutdown(m_pair[1], SHUT_WR);
    const int readsBefore = reads;
    ASSERT_TRUE(RunUntilOr([&] { return reads > readsBefore; })) << "the peer's close was not reported";
}

TEST_P(EventLoopContract, IdleWatchesDoNotSpin)
{
    int calls = 0;
    auto watch = Loop().WatchFd(m_pair[0], [&](bool, bool) { ++calls; });
    watch->SetEvents(true, false); // writable all the time, but write interest is off
    auto start = TClock::now();
    Loop().WaitAndProcess(60);
    EXPECT_EQ(calls, 0);
    EXPECT_GE(MsSince(start), 40) << "the wait returned early on an idle descriptor";

    // After the handle goes, the descriptor is never watched again.
    watch->SetEvents(true, true);
    watch.reset();
    start = TClock::now();
    Loop().WaitAndProcess(60);
    EXPECT_EQ(calls, 0);
    EXPECT_GE(MsSince(start), 40);
}

TEST_P(EventLoopContract, NestedWaitsInsideCallbacksKeepEverythingTurning)
{
    std::vector<std::string> log;
    bool innerDone = false;
    std::unique_ptr<TFdWatch> lateWatch;
    std::unique_ptr<TEventHandle> lateTimer;
    auto outer = Loop().StartTimer(1, false, [&] {
        log.push_back("outer begin");
        // A watch and a timer added during dispatch work in the nested wait.
        lateWatch = Loop().WatchFd(m_pair[0], [&](bool readable, bool) {
            char c;
            if (readable && read(m_pair[0], &c, 1) == 1)
                log.push_back("read");
        });
        lateWatch->SetEvents(true, false);
        lateTimer = Loop().StartTimer(5, false, [&] {
            log.push_back("timer");
            Loop().Post([&] { innerDone = true; });
        });
        ASSERT_EQ(write(m_pair[1], "x", 1), 1);
        const bool finished = RunUntilOr([&] { return innerDone; });
        EXPECT_TRUE(finished);
        lateWatch.reset();
        log.push_back("outer end");
    });
    ASSERT_TRUE(RunUntilOr([&] { return !log.empty() && log.back() == "outer end"; }));
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log.front(), "outer begin");
    EXPECT_EQ(log[1] + log[2], "readtimer");

    // Nothing is delivered twice after the nested wait returns.
    RunFor(30);
    EXPECT_EQ(log.size(), 4u);
}

TEST_P(EventLoopContract, HandleDestroyedInsideItsOwnCallback)
{
    std::unique_ptr<TFdWatch> watch;
    TAliveProbe probe;
    auto alive = probe.Watch();
    int calls = 0;
    watch = Loop().WatchFd(m_pair[0], [&, probe = std::move(probe)](bool, bool) {
        ++calls;
        watch.reset();
        EXPECT_EQ(*probe.token, 0) << "the callback's captures died while it ran";
    });
    watch->SetEvents(true, true);
    ASSERT_TRUE(RunUntilOr([&] { return calls > 0; }));
    RunFor(20);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(alive.expired());

    // A watch destroyed by another watch's callback in the same round is not called.
    ASSERT_EQ(write(m_pair[0], "a", 1), 1);
    ASSERT_EQ(write(m_pair[1], "b", 1), 1);
    std::unique_ptr<TFdWatch> a, b;
    int fired = 0;
    a = Loop().WatchFd(m_pair[0], [&](bool, bool) {
        ++fired;
        b.reset();
        a.reset();
    });
    b = Loop().WatchFd(m_pair[1], [&](bool, bool) {
        ++fired;
        a.reset();
        b.reset();
    });
    a->SetEvents(true, false);
    b->SetEvents(true, false);
    RunFor(20);
    EXPECT_EQ(fired, 1);
}

TEST_P(EventLoopContract, HandlesMayOutliveTheLoop)
{
    auto timer = Loop().StartTimer(1000, true, [] {});
    auto watch = Loop().WatchFd(m_pair[0], [](bool, bool) {});
    Loop().Post([] {});
    m_loop.reset();
    watch->SetEvents(true, true);
    watch.reset();
    timer.reset();
    SUCCEED();
}

} // namespace pivrel::base::contract
