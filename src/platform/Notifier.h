#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

// One desktop notification, shown at once. `identifier` is unique per notification so that
// notifications never replace one another.
struct NotificationRequest {
    QString identifier;
    QString title;
    std::optional<QString> body; // absent: the notification has a title only
};

// The desktop's notification service.
class Notifier {
public:
    virtual ~Notifier() = default;

    // Whether notifications can be shown at all: the application has a desktop file name and a
    // notification bus to talk to.
    virtual bool available() const = 0;

    // Asks whether alerts may be shown; true when allowed. Never throws: a failure answers false.
    virtual QCoro::Task<bool> requestAuthorization() = 0;

    // Shows the notification; the outcome is not reported.
    virtual void add(NotificationRequest request) = 0;
};
