#include "Shots.h"

#include <QTest>

std::vector<Shot>& shots() {
    static std::vector<Shot> all;
    return all;
}

ShotRegistration::ShotRegistration(QString name, std::function<QWidget*(ShotContext&)> make,
                                   ShotOptions options) {
    shots().push_back({std::move(name), std::move(make), options});
}

bool ShotContext::waitFor(const std::function<bool()>& done, int timeoutMs) {
    return QTest::qWaitFor(done, timeoutMs);
}
