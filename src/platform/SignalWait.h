#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <coroutine>
#include <memory>
#include <optional>
#include <utility>

// Waiting in a coroutine for the next emission of a signal:
//
//     const bool fired = co_await nextSignal(sender, &Sender::signal);            // or, bounded:
//     const bool fired = co_await nextSignal(sender, &Sender::signal, 3s);
//
// gives true when the signal came, false when the sender was destroyed (or was already gone) or the limit
// passed. Whichever comes first ends the wait and cuts every connection at once, so a signal that fires
// again in the same turn, or never, touches nothing. The coroutine is resumed from the event loop, never
// inside the emission, and nothing of the wait lives in the coroutine's frame that an emission could
// reach: after the resumption the caller checks its own QPointer, as after any co_await.
namespace signal_wait_detail {

struct Wait {
    std::coroutine_handle<> waiting;
    bool fired = false;
    bool ended = false;
    QMetaObject::Connection signal;
    QMetaObject::Connection destroyed;
    QMetaObject::Connection timeout;
    std::unique_ptr<QTimer> limit;
};

inline void end(const std::shared_ptr<Wait>& wait, bool fired) {
    if (wait->ended)
        return;
    wait->ended = true;
    wait->fired = fired;
    // The connections hold the wait; cutting them here also frees it once the coroutine has resumed.
    QObject::disconnect(wait->signal);
    QObject::disconnect(wait->destroyed);
    QObject::disconnect(wait->timeout);
    if (wait->limit)
        wait->limit->stop();
    QTimer::singleShot(0, [wait] {
        if (const std::coroutine_handle<> h = std::exchange(wait->waiting, nullptr))
            h.resume();
    });
}

} // namespace signal_wait_detail

template <class Sender, class Signal> class SignalWait {
public:
    SignalWait(Sender* sender, Signal signal, std::optional<std::chrono::milliseconds> limit)
        : m_sender(sender), m_signal(signal), m_limit(limit),
          m_wait(std::make_shared<signal_wait_detail::Wait>()) {}

    bool await_ready() const noexcept { return m_sender.isNull(); }

    void await_suspend(std::coroutine_handle<> h) {
        using signal_wait_detail::end;
        const std::shared_ptr<signal_wait_detail::Wait> wait = m_wait;
        wait->waiting = h;
        Sender* sender = m_sender.data();
        wait->signal = QObject::connect(
            sender, m_signal, sender, [wait] { end(wait, true); }, Qt::DirectConnection);
        wait->destroyed = QObject::connect(
            sender, &QObject::destroyed, sender, [wait] { end(wait, false); }, Qt::DirectConnection);
        if (m_limit) {
            wait->limit = std::make_unique<QTimer>();
            wait->limit->setSingleShot(true);
            wait->timeout = QObject::connect(
                wait->limit.get(), &QTimer::timeout, wait->limit.get(), [wait] { end(wait, false); },
                Qt::DirectConnection);
            wait->limit->start(*m_limit);
        }
    }

    bool await_resume() const noexcept { return m_wait->fired; }

private:
    QPointer<Sender> m_sender;
    Signal m_signal;
    std::optional<std::chrono::milliseconds> m_limit;
    std::shared_ptr<signal_wait_detail::Wait> m_wait;
};

template <class Sender, class Signal>
SignalWait<Sender, Signal> nextSignal(Sender* sender, Signal signal,
                                      std::optional<std::chrono::milliseconds> limit = std::nullopt) {
    return SignalWait<Sender, Signal>(sender, signal, limit);
}
