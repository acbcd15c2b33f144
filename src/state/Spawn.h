#pragma once

#include <QDebug>
#include <QObject>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <exception>
#include <utility>

namespace spawn_detail {

// Owns the body for as long as its coroutine runs; nothing escapes it.
template <class Body> QCoro::Task<void> runCaught(Body body) {
    try {
        co_await body();
    } catch (const std::exception& e) {
        qWarning().noquote() << "[app] task failed:" << e.what();
    } catch (...) {
        qWarning().noquote() << "[app] task failed";
    }
}

} // namespace spawn_detail

// Starts `body` (a callable returning QCoro::Task<void>) on the next turn of the event loop, unless
// `context` is gone by then. The body should report its own failures; anything it lets escape is
// written as a warning rather than silently lost.
template <class Body> void spawn(QObject* context, Body body) {
    QTimer::singleShot(0, context, [body = std::move(body)]() mutable {
        spawn_detail::runCaught(std::move(body)); // runs on by itself; the frame frees itself at the end
    });
}
