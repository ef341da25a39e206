#pragma once

#include <functional>
#include <memory>

namespace pivrel::base {

using TCallback = std::function<void()>;

// A registration with the loop (a timer); it ends when the handle is destroyed, and its callback
// never runs after that.
class TEventHandle
{
public:
    virtual ~TEventHandle() = default;
};

// A watch of one file descriptor. Arm write interest only while output is queued: the watch is
// level-triggered, and an idle writable socket would otherwise wake the loop for ever.
class TFdWatch
{
public:
    virtual ~TFdWatch() = default;
    virtual void SetEvents(bool read, bool write) = 0;
};

// The event loop the core runs on: the command line and the tests use the poll() loop, the
// window uses one built on Qt's. Everything runs on the loop's thread except Post, which any
// thread may call.
class TEventLoop
{
public:
    virtual ~TEventLoop() = default;

    // Calls callback once after ms milliseconds, or every ms milliseconds when repeat is set,
    // until the handle is destroyed.
    virtual std::unique_ptr<TEventHandle> StartTimer(int ms, bool repeat, TCallback callback) = 0;
    // Calls callback(readable, writable) while the descriptor is ready for what SetEvents asked;
    // a new watch asks for nothing.
    virtual std::unique_ptr<TFdWatch> WatchFd(
        int fd, std::function<void(bool readable, bool writable)> callback)
        = 0;
    // Queues callback to run on the loop's thread later, never inside the call that posts it.
    virtual void Post(TCallback callback) = 0;
    // Processes whatever is ready now without waiting.
    virtual void ProcessPending() = 0;
    // Waits up to timeoutMs (-1: no limit) for the next event and processes what is ready.
    virtual void WaitAndProcess(int timeoutMs = -1) = 0;

    // Keeps the loop turning until done() holds; nests, so a wait may start inside another.
    void RunUntil(const std::function<bool()>& done)
    {
        while (!done())
            WaitAndProcess();
    }
};

} // namespace pivrel::base
