#include "DBusNotifier.h"

#include <QCoro/QCoroDBusPendingCall>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QGuiApplication>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
constexpr int answerTimeoutMs = 10000;

} // namespace

DBusNotifier::DBusNotifier(QDBusConnection bus, QString desktopFileName, QString appName)
    : m_bus(std::move(bus)), m_desktopFileName(std::move(desktopFileName)), m_appName(std::move(appName)) {}

// Read at each use, so the application may name itself after making this object.
QString DBusNotifier::desktopFileName() const {
    return m_desktopFileName.isEmpty() ? QGuiApplication::desktopFileName() : m_desktopFileName;
}

QString DBusNotifier::appName() const {
    return m_appName.isEmpty() ? QGuiApplication::applicationDisplayName() : m_appName;
}

bool DBusNotifier::available() const {
    return !desktopFileName().isEmpty() && m_bus.isConnected();
}

QCoro::Task<bool> DBusNotifier::requestAuthorization() {
    if (!available())
        co_return false;
    const auto message =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetCapabilities"));
    const QDBusPendingCall call = m_bus.asyncCall(message, answerTimeoutMs);
    const QDBusMessage reply = co_await qCoro(call).waitForFinished();
    co_return reply.type() == QDBusMessage::ReplyMessage;
}

void DBusNotifier::add(NotificationRequest request) {
    auto message = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), desktopFileName());
    // replaces_id 0: a new notification every time, never replacing an earlier one.
    message << appName() << uint(0) << QString() << request.title << request.body.value_or(QString())
            << QStringList() << hints << int(-1);
    m_bus.asyncCall(message); // the outcome is not looked at
}
