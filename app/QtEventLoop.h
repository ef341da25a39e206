#pragma once

#include "base/EventLoop.h"

#include <memory>

namespace pivrel::app {

// The core's event loop on top of Qt's: timers are QTimers, descriptor watches QSocketNotifiers,
// posted callbacks queued invocations, and the waits turn QCoreApplication's event loop, so the
// window stays responsive while the engine waits for a fetch. Needs a QCoreApplication.
class TQtEventLoop : public base::TEventLoop
{
public:
    TQtEventLoop();
    ~TQtEventLoop() override;

    std::unique_ptr<base::TEventHandle> StartTimer(int ms, bool repeat, base::TCallback callback) override;
    std::unique_ptr<base::TFdWatch> WatchFd(
        int fd, std::function<void(bool readable, bool writable)> callback) override;
    void Post(base::TCallback callback) override;
    void ProcessPending() override;
    void WaitAndProcess(int timeoutMs = -1) override;

    struct TState;

private:
    std::shared_ptr<TState> m_state;
};

} // namespace pivrel::app
