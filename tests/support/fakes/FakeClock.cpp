#include "FakeClock.h"

#include <algorithm>

FakeClock::FakeClock(QDateTime start) : m_start(std::move(start)) {}

QDateTime FakeClock::now() const {
    return m_start.addMSecs(m_elapsed);
}

void FakeClock::singleShot(int ms, QObject* context, std::function<void()> callback) {
    m_timers.push_back(
        {m_elapsed + std::max(ms, 0), m_scheduled++, context != nullptr, context, std::move(callback)});
}

void FakeClock::advance(qint64 ms) {
    const qint64 target = m_elapsed + std::max<qint64>(ms, 0);
    for (;;) {
        auto next = std::min_element(m_timers.begin(), m_timers.end(), [](const Timer& a, const Timer& b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
        if (next == m_timers.end() || next->due > target)
            break;
        Timer timer = std::move(*next);
        m_timers.erase(next);
        m_elapsed = timer.due;
        if (!timer.hasContext || timer.context)
            timer.callback();
    }
    m_elapsed = target;
}
