#include "base/PollEventLoop.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace pivrel::base {

struct TPollEventLoop::TTimerRecord {
    std::chrono::milliseconds interval;
    bool repeat;
    TCallback callback;
    bool active = true;
    int running = 0;
};

struct TPollEventLoop::TWatchRecord {
    int fd;
    std::function<void(bool, bool)> callback;
    bool read = false;
    bool write = false;
    bool active = true;
    int running = 0;
};

namespace {

    // Keeps a record's callback alive while it runs: a handle destroyed from inside its own
    // callback must not destroy the function that is executing, so the release waits until here.
    template <typename Record> class TRunningGuard
    {
    public:
        explicit TRunningGuard(Record& record)
            : m_record(record)
        {
            ++m_record.running;
        }

        ~TRunningGuard()
        {
            if (--m_record.running == 0 && !m_record.active)
                m_record.callback = nullptr;
        }

        TRunningGuard(const TRunningGuard&) = delete;
        TRunningGuard& operator=(const TRunningGuard&) = delete;

    private:
        Record& m_record;
    };

    template <typename Record> void Deactivate(Record& record)
    {
        record.active = false;
        if (record.running == 0)
            record.callback = nullptr;
    }

    class TPollTimerHandle final : public TEventHandle
    {
    public:
        explicit TPollTimerHandle(std::shared_ptr<TPollEventLoop::TTimerRecord> record)
            : m_record(std::move(record))
        { }

        ~TPollTimerHandle() override { Deactivate(*m_record); }

    private:
        std::shared_ptr<TPollEventLoop::TTimerRecord> m_record;
    };

    class TPollFdWatch final : public TFdWatch
    {
    public:
        explicit TPollFdWatch(std::shared_ptr<TPollEventLoop::TWatchRecord> record)
            : m_record(std::move(record))
        { }

        ~TPollFdWatch() override { Deactivate(*m_record); }

        void SetEvents(bool read, bool write) override
        {
            m_record->read = read;
            m_record->write = write;
        }

    private:
        std::shared_ptr<TPollEventLoop::TWatchRecord> m_record;
    };

    // Heap order: the earliest due time on top, and among equal times the timer started first.
    template <typename Entry> bool Later(const Entry& a, const Entry& b)
    {
        if (a.due != b.due)
            return a.due > b.due;
        return a.sequence > b.sequence;
    }

} // namespace

TPollEventLoop::TPollEventLoop()
{
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0)
        throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
}

TPollEventLoop::~TPollEventLoop()
{
    close(m_wakeFd);
}

std::unique_ptr<TEventHandle> TPollEventLoop::StartTimer(int ms, bool repeat, TCallback callback)
{
    auto record = std::make_shared<TTimerRecord>();
    record->interval = std::chrono::milliseconds(std::max(ms, 0));
    record->repeat = repeat;
    record->callback = std::move(callback);
    if (m_timers.size() >= m_compactAt)
        DropDeadTimers();
    PushTimer(record);
    return std::make_unique<TPollTimerHandle>(std::move(record));
}

std::unique_ptr<TFdWatch> TPollEventLoop::WatchFd(
    int fd, std::function<void(bool readable, bool writable)> callback)
{
    auto record = std::make_shared<TWatchRecord>();
    record->fd = fd;
    record->callback = std::move(callback);
    m_watches.push_back(record);
    return std::make_unique<TPollFdWatch>(std::move(record));
}

void TPollEventLoop::Post(TCallback callback)
{
    std::lock_guard lock(m_postMutex);
    m_posted.push_back(std::move(callback));
    if (!m_wakePending) {
        const std::uint64_t one = 1;
        // The counter cannot overflow here: the flag allows one write between two drains.
        [[maybe_unused]] auto written = write(m_wakeFd, &one, sizeof one);
        m_wakePending = true;
    }
}

void TPollEventLoop::ProcessPending()
{
    Round(0);
}

void TPollEventLoop::WaitAndProcess(int timeoutMs)
{
    Round(timeoutMs);
}

void TPollEventLoop::Round(int timeoutMs)
{
    const std::uint64_t round = ++m_rounds;
    std::vector<std::shared_ptr<TWatchRecord>> watches;
    std::vector<pollfd> fds;
    CollectWatches(watches, fds);
    PollRetrying(fds, timeoutMs);
    if (fds[0].revents != 0)
        DrainWakeFd();
    DispatchFds(watches, fds, round);
    RunDueTimers();
    RunPosted();
}

void TPollEventLoop::CollectWatches(
    std::vector<std::shared_ptr<TWatchRecord>>& watches, std::vector<pollfd>& fds)
{
    std::erase_if(m_watches, [](const auto& watch) { return !watch->active; });
    fds.push_back({ m_wakeFd, POLLIN, 0 });
    watches.push_back(nullptr);
    for (const auto& watch : m_watches) {
        const short events = static_cast<short>((watch->read ? POLLIN : 0) | (watch->write ? POLLOUT : 0));
        if (events == 0)
            continue;
        fds.push_back({ watch->fd, events, 0 });
        watches.push_back(watch);
    }
}

int TPollEventLoop::PollTimeout(int timeoutMs)
{
    {
        std::lock_guard lock(m_postMutex);
        if (!m_posted.empty())
            return 0;
    }
    while (!m_timers.empty() && !m_timers.front().timer->active) {
        std::pop_heap(m_timers.begin(), m_timers.end(), Later<THeapEntry>);
        m_timers.pop_back();
    }
    if (m_timers.empty())
        return timeoutMs;
    const auto untilDue = std::chrono::ceil<std::chrono::milliseconds>(m_timers.front().due - TClock::now());
    const long long wait = std::clamp<long long>(untilDue.count(), 0, INT_MAX);
    return timeoutMs < 0 ? static_cast<int>(wait) : static_cast<int>(std::min<long long>(wait, timeoutMs));
}

// A signal interrupting the wait restarts it with what is left of the time allowed.
void TPollEventLoop::PollRetrying(std::vector<pollfd>& fds, int timeoutMs)
{
    const auto start = TClock::now();
    for (;;) {
        int left = timeoutMs;
        if (timeoutMs > 0) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start);
            left = static_cast<int>(std::max<long long>(timeoutMs - spent.count(), 0));
        }
        const int ready = poll(fds.data(), fds.size(), PollTimeout(left));
        if (ready >= 0)
            return;
        if (errno != EINTR)
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        for (auto& fd : fds)
            fd.revents = 0;
    }
}

void TPollEventLoop::DrainWakeFd()
{
    std::lock_guard lock(m_postMutex);
    std::uint64_t count = 0;
    [[maybe_unused]] auto got = read(m_wakeFd, &count, sizeof count);
    m_wakePending = false;
}

void TPollEventLoop::DispatchFds(const std::vector<std::shared_ptr<TWatchRecord>>& watches,
    const std::vector<pollfd>& fds, std::uint64_t round)
{
    for (std::size_t i = 1; i < fds.size() && m_rounds == round; ++i) {
        const short revents = fds[i].revents;
        TWatchRecord& watch = *watches[i];
        if (revents == 0 || !watch.active)
            continue;
        if (revents & POLLNVAL) {
            // The descriptor was closed under a live watch; polling it again would only spin.
            watch.read = watch.write = false;
            continue;
        }
        const bool readable = watch.read && (revents & (POLLIN | POLLHUP | POLLERR));
        const bool writable = watch.write && (revents & (POLLOUT | POLLHUP | POLLERR));
        if (!readable && !writable)
            continue;
        TRunningGuard guard(watch);
        watch.callback(readable, writable);
    }
}

void TPollEventLoop::RunDueTimers()
{
    // Take every due timer out first, so that a repeating timer of 0 ms runs once per round.
    const auto now = TClock::now();
    std::vector<THeapEntry> due;
    while (!m_timers.empty() && m_timers.front().due <= now) {
        std::pop_heap(m_timers.begin(), m_timers.end(), Later<THeapEntry>);
        due.push_back(std::move(m_timers.back()));
        m_timers.pop_back();
    }
    for (auto& entry : due) {
        TTimerRecord& timer = *entry.timer;
        if (!timer.active)
            continue;
        if (timer.repeat)
            PushTimer(entry.timer);
        TRunningGuard guard(timer);
        timer.callback();
    }
}

void TPollEventLoop::PushTimer(const std::shared_ptr<TTimerRecord>& timer)
{
    m_timers.push_back({ TClock::now() + timer->interval, m_nextSequence++, timer });
    std::push_heap(m_timers.begin(), m_timers.end(), Later<THeapEntry>);
}

void TPollEventLoop::RunPosted()
{
    std::size_t count = 0;
    {
        std::lock_guard lock(m_postMutex);
        count = m_posted.size();
    }
    // One at a time from the shared queue, so that a nested round keeps the order of posting.
    for (; count > 0; --count) {
        TCallback callback;
        {
            std::lock_guard lock(m_postMutex);
            if (m_posted.empty())
                return;
            callback = std::move(m_posted.front());
            m_posted.pop_front();
        }
        if (callback)
            callback();
    }
}

void TPollEventLoop::DropDeadTimers()
{
    std::erase_if(m_timers, [](const THeapEntry& entry) { return !entry.timer->active; });
    std::make_heap(m_timers.begin(), m_timers.end(), Later<THeapEntry>);
    m_compactAt = std::max<std::size_t>(64, m_timers.size() * 2);
}

} // namespace pivrel::base
