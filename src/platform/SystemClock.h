#pragma once

#include "Clock.h"

// The real clock: wall time and Qt timers.
class SystemClock : public Clock {
public:
    QDateTime now() const override;
    void singleShot(int ms, QObject* context, std::function<void()> callback) override;
};
