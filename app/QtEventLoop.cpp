#include "app/QtEventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <vector>

namespace pivrel::app {

// Qt objects whose handle went away are parked here and deleted at the next turn of the loop
// that is not inside one of their own callbacks: deleting a QTimer or QSocketNotifier from inside
// its own signal is not safe.
struct TQtEventLoop::TState {
    QObject Context;
    std::vector<std::unique_ptr<QObject>> Graveyard;
    int CallbackDepth = 0;
    // Counts the core's callbacks run, so that a timed wait can tell its own events from Qt's
    // housekeeping (a notifier going away, say), which must not end it early.
    unsigned long long Dispatched = 0;

    void Bury(std::unique_ptr<QObject> object)
    {
        object->disconnect();
        Graveyard.push_back(std::move(object));
    }

    void CollectGraveyard()
    {
        if (CallbackDepth == 0)
            Graveyard.clear();
    }
};

namespace {

    // Counts the callbacks on the stack, so that buried objects are deleted only when none of
    // them can be running.
    class TCallbackScope
    {
    public:
        explicit TCallbackScope(TQtEventLoop::TState& state)
            : m_state(state)
        {
            ++m_state.CallbackDepth;
            ++m_state.Dispatched;
        }

        ~TCallbackScope() { --m_state.CallbackDepth; }

        TCallbackScope(const TCallbackScope&) = delete;
        TCallbackScope& operator=(const TCallbackScope&) = delete;

    private:
        TQtEventLoop::TState& m_state;
    };

    class TQtTimerHandle : public base::TEventHandle
    {
    public:
        TQtTimerHandle(
            std::shared_ptr<TQtEventLoop::TState> state, int ms, bool repeat, base::TCallback callback)
            : m_state(state)
            , m_timer(std::make_unique<QTimer>())
            , m_callback(std::move(callback))
        {
            m_timer->setSingleShot(!repeat);
            m_timer->setTimerType(Qt::PreciseTimer);
            QObject::connect(m_timer.get(), &QTimer::timeout, [this, weak = std::weak_ptr(state)] {
                auto alive = weak.lock();
                if (!alive)
                    return;
                TCallbackScope scope(*alive);
                // The callback may destroy this handle; copy it so that it outlives the call.
                base::TCallback run = m_callback;
                run();
            });
            m_timer->start(std::max(ms, 0));
        }

        ~TQtTimerHandle() override
        {
            m_timer->stop();
            if (auto state = m_state.lock())
                state->Bury(std::move(m_timer));
        }

    private:
        std::weak_ptr<TQtEventLoop::TState> m_state;
        std::unique_ptr<QTimer> m_timer;
        base::TCallback m_callback;
    };

    class TQtFdWatch : public base::TFdWatch
    {
    public:
        TQtFdWatch(std::shared_ptr<TQtEventLoop::TState> state, int fd,
            std::function<void(bool readable, bool writable)> callback)
            : m_state(state)
            , m_read(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read))
            , m_write(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write))
            , m_callback(std::move(callback))
        {
            // A new watch asks for nothing until SetEvents says what it wants.
            m_read->setEnabled(false);
            m_write->setEnabled(false);
            Connect(*m_read, true, state);
            Connect(*m_write, false, state);
        }

        ~TQtFdWatch() override
        {
            m_read->setEnabled(false);
            m_write->setEnabled(false);
            if (auto state = m_state.lock()) {
                state->Bury(std::move(m_read));
                state->Bury(std::move(m_write));
            }
        }

        void SetEvents(bool read, bool write) override
        {
            m_read->setEnabled(read);
            m_write->setEnabled(write);
        }

    private:
        void Connect(
            QSocketNotifier& notifier, bool readable, const std::shared_ptr<TQtEventLoop::TState>& state)
        {
            QObject::connect(
                &notifier, &QSocketNotifier::activated, [this, readable, weak = std::weak_ptr(state)] {
                    auto alive = weak.lock();
                    if (!alive)
                        return;
                    TCallbackScope scope(*alive);
                    auto run = m_callback;
                    run(readable, !readable);
                });
        }

        std::weak_ptr<TQtEventLoop::TState> m_state;
        std::unique_ptr<QSocketNotifier> m_read;
        std::unique_ptr<QSocketNotifier> m_write;
        std::function<void(bool, bool)> m_callback;
    };

} // namespace

TQtEventLoop::TQtEventLoop()
    : m_state(std::make_shared<TState>())
{ }

TQtEventLoop::~TQtEventLoop() = default;

std::unique_ptr<base::TEventHandle> TQtEventLoop::StartTimer(int ms, bool repeat, base::TCallback callback)
{
    return std::make_unique<TQtTimerHandle>(m_state, ms, repeat, std::move(callback));
}

std::unique_ptr<base::TFdWatch> TQtEventLoop::WatchFd(
    int fd, std::function<void(bool readable, bool writable)> callback)
{
    return std::make_unique<TQtFdWatch>(m_state, fd, std::move(callback));
}

void TQtEventLoop::Post(base::TCallback callback)
{
    // A queued invocation is delivered on the context object's thread, whichever thread posts it,
    // and never inside this call.
    QMetaObject::invokeMethod(
        &m_state->Context,
        [weak = std::weak_ptr(m_state), callback = std::move(callback)] {
            if (auto state = weak.lock()) {
                TCallbackScope scope(*state);
                callback();
            }
        },
        Qt::QueuedConnection);
}

void TQtEventLoop::ProcessPending()
{
    m_state->CollectGraveyard();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_state->CollectGraveyard();
}

void TQtEventLoop::WaitAndProcess(int timeoutMs)
{
    m_state->CollectGraveyard();
    if (timeoutMs < 0) {
        // Any event ends an open wait, so that a caller's condition changed by a window event
        // (the Stop button, say) is looked at again at once.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        m_state->CollectGraveyard();
        return;
    }
    bool expired = false;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, [&expired] { expired = true; });
    wake.start(timeoutMs);
    const auto before = m_state->Dispatched;
    while (!expired && m_state->Dispatched == before)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_state->CollectGraveyard();
}

} // namespace pivrel::app
