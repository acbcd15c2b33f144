#pragma once

#include <QObject>

// Whether the application is the active (front) application.
class AppActivity : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isActive() const = 0;

Q_SIGNALS:
    // Emitted when isActive() changes.
    void activeChanged(bool active);
};
