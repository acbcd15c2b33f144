#include "DBusNotifier.h"
#include "FakeAppActivity.h"
#include "Notifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The desktop's notification service, as this test plays it on a private bus.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        QString appName;
        uint replacesId;
        QString summary;
        QString body;
        QVariantMap hints;
        int timeout;
    };
    QList<Shown> shown;
    int capabilityQueries = 0;

public Q_SLOTS:
    QStringList GetCapabilities() {
        ++capabilityQueries;
        return {QStringLiteral("body")};
    }
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout) {
        shown.append({appName, replacesId, summary, body, hints, timeout});
        return uint(shown.size());
    }
};

class TestDBusNotifier : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QProcess daemon;
    QString address;
    NotificationService service;

    static QDBusConnection connection(const QString& name) { return QDBusConnection(name); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir.isValid());
        // A bus of our own: no activation, nobody else on it.
        QFile config(dir.filePath(QStringLiteral("bus.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral(
                         "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                         "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                         "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                         "<auth>EXTERNAL</auth><policy context=\"default\">"
                         "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                         "<allow own=\"*\"/></policy></busconfig>\n")
                         .arg(dir.path())
                         .toUtf8());
        config.close();
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--print-address"),
                      QStringLiteral("--nofork")});
        QVERIFY2(daemon.waitForStarted(5000), "dbus-daemon does not start");
        QTRY_VERIFY_WITH_TIMEOUT(daemon.canReadLine(), 10000);
        address = QString::fromUtf8(daemon.readLine().trimmed());
        QVERIFY(!address.isEmpty());

        QVERIFY(QDBusConnection::connectToBus(address, QStringLiteral("client")).isConnected());
        QDBusConnection server = QDBusConnection::connectToBus(address, QStringLiteral("server"));
        QVERIFY(server.isConnected());
        QVERIFY(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                      QDBusConnection::ExportAllSlots));
    }
    void cleanupTestCase() {
        Notifications::setServices(nullptr, nullptr);
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        daemon.terminate();
        daemon.waitForFinished(5000);
    }

    // The order matters: first without the service on the bus, then with it.
    void noServiceMeansNoPermission() {
        DBusNotifier notifier(connection(QStringLiteral("client")), QStringLiteral("vamber"),
                              QStringLiteral("Vamber"));
        QVERIFY(notifier.available());
        // The bus answers at once that the name has no owner.
        QCOMPARE(QCoro::waitFor(notifier.requestAuthorization()), false);
    }

    void postedOnlyWhenNotActiveAndGranted() {
        QVERIFY(connection(QStringLiteral("server"))
                    .registerService(QStringLiteral("org.freedesktop.Notifications")));
        DBusNotifier notifier(connection(QStringLiteral("client")), QStringLiteral("vamber"),
                              QStringLiteral("Vamber"));
        FakeAppActivity activity;
        Notifications::setServices(&notifier, &activity);

        activity.setActive(false);
        Notifications::post(QStringLiteral("Too early"), QStringLiteral("not granted yet"));
        Notifications::requestPermission();
        QTRY_VERIFY(Notifications::granted());
        QCOMPARE(service.capabilityQueries, 1);

        activity.setActive(true);
        Notifications::post(QStringLiteral("In front"), QStringLiteral("not shown"));
        activity.setActive(false);
        Notifications::post(QStringLiteral("Download finished"), QStringLiteral("My clip"));
        Notifications::post(QStringLiteral("Queue finished"), QString());
        QTRY_COMPARE(service.shown.size(), 2);
        QTest::qWait(50); // nothing else trails behind
        QCOMPARE(service.shown.size(), 2);

        const auto& first = service.shown[0];
        QCOMPARE(first.summary, QStringLiteral("Download finished"));
        QCOMPARE(first.body, QStringLiteral("My clip"));
        QCOMPARE(first.appName, QStringLiteral("Vamber"));
        QCOMPARE(first.replacesId, 0u);
        QCOMPARE(first.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("vamber"));
        QCOMPARE(first.timeout, -1);
        QCOMPARE(service.shown[1].summary, QStringLiteral("Queue finished"));
        QCOMPARE(service.shown[1].body, QString());
        QCOMPARE(service.shown[1].replacesId, 0u);
    }

    void withoutDesktopFileNameNothingIsAskedOrPosted() {
        DBusNotifier notifier(connection(QStringLiteral("client")), QString(), QStringLiteral("Vamber"));
        QVERIFY(!notifier.available());
        FakeAppActivity activity;
        activity.setActive(false);
        Notifications::setServices(&notifier, &activity);
        const int queries = service.capabilityQueries;
        Notifications::requestPermission();
        QVERIFY(!Notifications::asked());
        QTest::qWait(50);
        QCOMPARE(service.capabilityQueries, queries);

        // The application may name itself after the notifier was made.
        QGuiApplication::setDesktopFileName(QStringLiteral("vamber-later"));
        QVERIFY(notifier.available());
        QGuiApplication::setDesktopFileName(QString());
    }

    void withoutBusNothingIsAvailable() {
        DBusNotifier notifier(QDBusConnection(QStringLiteral("no such connection")),
                              QStringLiteral("vamber"));
        QVERIFY(!notifier.available());
    }
};

QTEST_MAIN(TestDBusNotifier)
#include "tst_dbusnotifier.moc"
