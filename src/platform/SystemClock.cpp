#include "SystemClock.h"

#include <QTimer>

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

void SystemClock::singleShot(int ms, QObject* context, std::function<void()> callback) {
    if (context)
        QTimer::singleShot(ms, Qt::PreciseTimer, context, std::move(callback));
    else
        QTimer::singleShot(ms, Qt::PreciseTimer, std::move(callback));
}
