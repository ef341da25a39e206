#pragma once

#include "base/EventLoop.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <poll.h>
#include <vector>

namespace pivrel::base {

// The event loop of the command line and the tests, on poll(). Timers sit in a heap ordered by
// a steady clock, posted callbacks in a locked queue whose arrival wakes poll() through an
// eventfd. Handles only mark their record dead, so they may outlive the loop and may be
// destroyed from inside any callback, their own included.
class TPollEventLoop final : public TEventLoop
{
public:
    TPollEventLoop();
    ~TPollEventLoop() override;
    TPollEventLoop(const TPollEventLoop&) = delete;
    TPollEventLoop& operator=(const TPollEventLoop&) = delete;

    std::unique_ptr<TEventHandle> StartTimer(int ms, bool repeat, TCallback callback) override;
    std::unique_ptr<TFdWatch> WatchFd(
        int fd, std::function<void(bool readable, bool writable)> callback) override;
    void Post(TCallback callback) override;
    void ProcessPending() override;
    void WaitAndProcess(int timeoutMs = -1) override;

    using TClock = std::chrono::steady_clock;
    struct TTimerRecord;
    struct TWatchRecord;

private:
    struct THeapEntry {
        TClock::time_point due;
        std::uint64_t sequence;
        std::shared_ptr<TTimerRecord> timer;
    };

    void Round(int timeoutMs);
    void CollectWatches(std::vector<std::shared_ptr<TWatchRecord>>& watches, std::vector<pollfd>& fds);
    int PollTimeout(int timeoutMs);
    void PollRetrying(std::vector<pollfd>& fds, int timeoutMs);
    void DispatchFds(const std::vector<std::shared_ptr<TWatchRecord>>& watches,
        const std::vector<pollfd>& fds, std::uint64_t round);
    void RunDueTimers();
    void RunPosted();
    void PushTimer(const std::shared_ptr<TTimerRecord>& timer);
    void DropDeadTimers();
    void DrainWakeFd();

    int m_wakeFd = -1;
    std::vector<THeapEntry> m_timers;
    std::size_t m_compactAt = 64;
    std::uint64_t m_nextSequence = 0;
    std::vector<std::shared_ptr<TWatchRecord>> m_watches;
    // Counts every round; a callback that ran a nested round leaves the readiness its own round
    // saw stale, so the rest of that round is left to the next poll.
    std::uint64_t m_rounds = 0;

    std::mutex m_postMutex;
    std::deque<TCallback> m_posted;
    bool m_wakePending = false;
};

} // namespace pivrel::base
