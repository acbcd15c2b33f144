#include "FakeAppActivity.h"
#include "FakeNotifier.h"
#include "Notifications.h"

#include <QSet>
#include <QTest>

class TestNotifications : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeNotifier> notifier;
    std::unique_ptr<FakeAppActivity> activity;

    void grant() {
        Notifications::requestPermission();
        QTRY_VERIFY(Notifications::granted());
    }

private Q_SLOTS:
    void init() {
        notifier = std::make_unique<FakeNotifier>();
        activity = std::make_unique<FakeAppActivity>();
        Notifications::setServices(notifier.get(), activity.get());
    }
    void cleanup() { Notifications::setServices(nullptr, nullptr); }

    void permissionIsAskedOncePerRun() {
        QVERIFY(!Notifications::asked());
        Notifications::requestPermission();
        QVERIFY(Notifications::asked());
        Notifications::requestPermission();
        QTRY_VERIFY(Notifications::granted());
        Notifications::requestPermission();
        QTest::qWait(10);
        QCOMPARE(notifier->authorizationRequests, 1);
    }

    void requestReturnsBeforeTheAnswer() {
        notifier->holdAnswers = true;
        Notifications::requestPermission();
        QVERIFY(Notifications::asked());
        QVERIFY(!Notifications::granted());
        QTRY_COMPARE(notifier->authorizationRequests, 1);
        QVERIFY(!Notifications::granted());
        notifier->answer(true);
        QTRY_VERIFY(Notifications::granted());
    }

    void unavailableNotifierIsNotAskedAndAskedLater() {
        notifier->availableFlag = false;
        Notifications::requestPermission();
        QVERIFY(!Notifications::asked());
        QTest::qWait(10);
        QCOMPARE(notifier->authorizationRequests, 0);

        notifier->availableFlag = true;
        Notifications::requestPermission();
        QVERIFY(Notifications::asked());
        QTRY_VERIFY(Notifications::granted());
    }

    void refusalPostsNothing() {
        notifier->allow = false;
        Notifications::requestPermission();
        QTRY_COMPARE(notifier->authorizationRequests, 1);
        activity->setActive(false);
        Notifications::post(QStringLiteral("Done"), QStringLiteral("Clip"));
        QVERIFY(!Notifications::granted());
        QVERIFY(notifier->added.isEmpty());
    }

    void postRules_data() {
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("granted");
        QTest::addColumn<bool>("available");
        QTest::addColumn<bool>("posted");
        QTest::newRow("in the background, granted") << false << true << true << true;
        QTest::newRow("in front") << true << true << true << false;
        QTest::newRow("not granted") << false << false << true << false;
        QTest::newRow("notifier gone away") << false << true << false << false;
    }
    void postRules() {
        QFETCH(bool, active);
        QFETCH(bool, granted);
        QFETCH(bool, available);
        QFETCH(bool, posted);
        if (granted)
            grant();
        activity->setActive(active);
        notifier->availableFlag = available;
        Notifications::post(QStringLiteral("Download finished"), QStringLiteral("My clip"));
        QCOMPARE(notifier->added.size(), posted ? 1 : 0);
        if (posted) {
            QCOMPARE(notifier->added[0].title, QStringLiteral("Download finished"));
            QCOMPARE(notifier->added[0].body, std::optional<QString>(QStringLiteral("My clip")));
        }
    }

    void postBeforeTheAnswerShowsNothing() {
        notifier->holdAnswers = true;
        activity->setActive(false);
        Notifications::requestPermission();
        QTRY_COMPARE(notifier->authorizationRequests, 1);
        Notifications::post(QStringLiteral("Early"), QString());
        notifier->answer(true);
        QTRY_VERIFY(Notifications::granted());
        Notifications::post(QStringLiteral("Late"), QString());
        QCOMPARE(notifier->added.size(), 1);
        QCOMPARE(notifier->added[0].title, QStringLiteral("Late"));
    }

    void emptyBodyIsLeftOutAndAlertsNeverReplaceEachOther() {
        grant();
        activity->setActive(false);
        Notifications::post(QStringLiteral("Queue finished"), QString());
        Notifications::post(QStringLiteral("Queue finished"), QString());
        QCOMPARE(notifier->added.size(), 2);
        QVERIFY(!notifier->added[0].body.has_value());
        QVERIFY(!notifier->added[1].body.has_value());
        QVERIFY(!notifier->added[0].identifier.isEmpty());
        QVERIFY(notifier->added[0].identifier != notifier->added[1].identifier);
    }

    void resetDropsALateAnswer() {
        notifier->holdAnswers = true;
        Notifications::requestPermission();
        QTRY_COMPARE(notifier->authorizationRequests, 1);
        Notifications::reset();
        QVERIFY(!Notifications::asked());
        notifier->answer(true);
        QTest::qWait(20);
        QVERIFY(!Notifications::granted());
    }
};

QTEST_GUILESS_MAIN(TestNotifications)
#include "tst_notifications.moc"
