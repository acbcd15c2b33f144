#pragma once

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QObject>

#include <functional>

// Time for the application's timers, so that tests can drive it.
class Clock {
public:
    virtual ~Clock() = default;

    virtual QDateTime now() const = 0;

    // Runs `callback` once, about `ms` milliseconds from now, on the thread of the caller's event loop.
    // Nothing runs when `context` is destroyed first (a null context never cancels).
    virtual void singleShot(int ms, QObject* context, std::function<void()> callback) = 0;

    // Finishes about `ms` milliseconds from now.
    QCoro::Task<void> sleep(int ms);
};
