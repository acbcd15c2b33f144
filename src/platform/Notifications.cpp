#include "Notifications.h"

#include "AppActivity.h"
#include "Notifier.h"

#include <QCoreApplication>
#include <QPointer>
#include <QUuid>

namespace {

struct NotificationState {
    Notifier* notifier = nullptr;
    QPointer<AppActivity> activity;
    bool asked = false;
    bool granted = false;
    quint64 epoch = 0; // bumped by reset(), so a late answer of an earlier run changes nothing
};

NotificationState& state() {
    static NotificationState s;
    return s;
}

QCoro::Task<void> askForPermission(Notifier* notifier, quint64 epoch) {
    bool allowed = false;
    try {
        allowed = co_await notifier->requestAuthorization();
    } catch (...) {
        allowed = false;
    }
    if (state().epoch == epoch)
        state().granted = allowed;
}

} // namespace

void Notifications::setServices(Notifier* notifier, AppActivity* activity) {
    reset();
    state().notifier = notifier;
    state().activity = activity;
}

void Notifications::releaseServices(Notifier* notifier) {
    if (state().notifier == notifier)
        setServices(nullptr, nullptr);
}

void Notifications::reset() {
    auto& s = state();
    s.asked = false;
    s.granted = false;
    ++s.epoch;
}

bool Notifications::asked() {
    return state().asked;
}
bool Notifications::granted() {
    return state().granted;
}

void Notifications::requestPermission() {
    auto& s = state();
    if (s.asked || !s.notifier || !s.notifier->available())
        return;
    s.asked = true;
    // Only the epoch is carried over: the notifier is looked up when the ask runs, so one taken away
    // meanwhile (its owner is gone) is never called.
    const auto start = [epoch = s.epoch] {
        if (state().epoch == epoch && state().notifier)
            askForPermission(state().notifier, epoch); // runs on by itself; the task handle may go
    };
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, start, Qt::QueuedConnection);
    else
        start();
}

void Notifications::post(const QString& title, const QString& body) {
    auto& s = state();
    if (s.activity && s.activity->isActive())
        return;
    if (!s.granted || !s.notifier || !s.notifier->available())
        return;
    s.notifier->add({QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(), title,
                     body.isEmpty() ? std::nullopt : std::optional<QString>(body)});
}
