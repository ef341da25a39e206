#include "base/PollEventLoop.h"

#include "base/tests/EventLoopContract.h"

#include <csignal>
#include <pthread.h>

using namespace pivrel::base;
using namespace pivrel::base::contract;

INSTANTIATE_TEST_SUITE_P(Poll, EventLoopContract,
    ::testing::Values(TEventLoopFactory([] { return std::make_unique<TPollEventLoop>(); })),
    [](const auto&) { return std::string("TPollEventLoop"); });

namespace {

void IgnoreSignal(int)
{ }

} // namespace

TEST(TPollEventLoop, SignalDuringTheWaitDoesNotCutItShort)
{
    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = IgnoreSignal; // no SA_RESTART: poll() fails with EINTR
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    TPollEventLoop loop;
    const pthread_t waiter = pthread_self();
    std::thread interrupter([waiter] {
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
            pthread_kill(waiter, SIGUSR1);
        }
    });
    const auto start = TClock::now();
    loop.WaitAndProcess(100);
    const auto waited = MsSince(start);
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_GE(waited, 90);
}

TEST(TPollEventLoop, ManyCancelledTimersLeaveTheRestInOrder)
{
    TPollEventLoop loop;
    std::vector<int> fired;
    std::vector<std::unique_ptr<TEventHandle>> timers;
    for (int i = 0; i < 400; ++i)
        timers.push_back(
            loop.StartTimer(i % 2 ? 100000 : 1 + i / 40, false, [&fired, i] { fired.push_back(i); }));
    for (int i = 1; i < 400; i += 2)
        timers[static_cast<std::size_t>(i)].reset();
    // More timers after the cancellations make the heap drop its dead entries.
    for (int i = 400; i < 600; i += 2)
        timers.push_back(loop.StartTimer(12, false, [&fired, i] { fired.push_back(i); }));
    const auto start = TClock::now();
    while (fired.size() < 300 && MsSince(start) < 5000)
        loop.WaitAndProcess(50);
    ASSERT_EQ(fired.size(), 300u);
    for (std::size_t k = 0; k + 1 < fired.size(); ++k)
        EXPECT_LT(fired[k], fired[k + 1]);
}
