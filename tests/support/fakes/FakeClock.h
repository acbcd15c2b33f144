#pragma once

#include "Clock.h"

#include <QPointer>

#include <vector>

// A clock that stands still until the test advances it; due callbacks run inside advance(), in the
// order of their due time (equal times: the order they were scheduled).
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC));

    QDateTime now() const override;
    void singleShot(int ms, QObject* context, std::function<void()> callback) override;

    // Moves time forward by `ms`, running every callback that falls due on the way (callbacks scheduled
    // by those callbacks too, when they fall due within the step).
    void advance(qint64 ms);

    // Callbacks not yet run (cancelled ones included until their time comes).
    int pending() const { return int(m_timers.size()); }

private:
    struct Timer {
        qint64 due;
        quint64 order;
        bool hasContext;
        QPointer<QObject> context;
        std::function<void()> callback;
    };

    QDateTime m_start;
    qint64 m_elapsed = 0;
    quint64 m_scheduled = 0;
    std::vector<Timer> m_timers;
};
