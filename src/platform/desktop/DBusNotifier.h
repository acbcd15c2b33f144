#pragma once

#include "Notifier.h"

#include <QDBusConnection>

// Notifications through org.freedesktop.Notifications. Permission is the service answering at all.
class DBusNotifier : public Notifier {
public:
    // `desktopFileName` empty: the application's (QGuiApplication::desktopFileName()); `appName` empty:
    // the application's display name.
    explicit DBusNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QString desktopFileName = {},
                          QString appName = {});

    bool available() const override;
    QCoro::Task<bool> requestAuthorization() override;
    void add(NotificationRequest request) override;

private:
    QString desktopFileName() const;
    QString appName() const;

    QDBusConnection m_bus;
    QString m_desktopFileName;
    QString m_appName;
};
