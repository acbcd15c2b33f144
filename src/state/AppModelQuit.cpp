// What the quit waits for before the engine is stopped.
#include "AppModel.h"

#include <QCoro/QCoroTimer>

#include <QElapsedTimer>

QCoro::Task<void> AppModel::queueSavesSettled(std::chrono::milliseconds limit) {
    QPointer<AppModel> self(this);
    QElapsedTimer clock;
    clock.start();
    // Polled rather than awaited on a signal: the save may end in this very turn, or never.
    while (self && m_queueSaveInFlight && clock.elapsed() < limit.count())
        co_await QCoro::sleepFor(std::chrono::milliseconds(10));
}
