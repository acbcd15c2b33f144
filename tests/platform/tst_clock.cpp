#include "FakeClock.h"
#include "SystemClock.h"

#include <QElapsedTimer>

#include <QTest>

// The fake clock drives the application's timers in other tests; a wrong order or a missed timer there
// would make those tests lie.
class TestClock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firesDueTimersInOrder() {
        FakeClock clock;
        const QDateTime start = clock.now();
        QStringList fired;
        clock.singleShot(2000, nullptr,
                         [&] { fired << QStringLiteral("2s@%1").arg(start.msecsTo(clock.now())); });
        clock.singleShot(1000, nullptr, [&] {
            fired << QStringLiteral("1s@%1").arg(start.msecsTo(clock.now()));
            // scheduled from a callback, due within the same step
            clock.singleShot(500, nullptr,
                             [&] { fired << QStringLiteral("1.5s@%1").arg(start.msecsTo(clock.now())); });
        });
        clock.singleShot(1000, nullptr, [&] { fired << QStringLiteral("1s-second"); });

        clock.advance(999);
        QVERIFY(fired.isEmpty());
        clock.advance(1001);
        QCOMPARE(fired, (QStringList{"1s@1000", "1s-second", "1.5s@1500", "2s@2000"}));
        QCOMPARE(start.msecsTo(clock.now()), 2000);
        QCOMPARE(clock.pending(), 0);
    }

    void destroyedContextCancels() {
        FakeClock clock;
        int runs = 0;
        auto context = std::make_unique<QObject>();
        clock.singleShot(10, context.get(), [&] { ++runs; });
        context.reset();
        clock.advance(10);
        QCOMPARE(runs, 0);
    }

    void sleepResumesWhenTimeComes() {
        FakeClock clock;
        bool woke = false;
        auto sleeper = [](Clock* c, bool* flag) -> QCoro::Task<void> {
            co_await c->sleep(1000);
            *flag = true;
        };
        auto task = sleeper(&clock, &woke);
        clock.advance(999);
        QVERIFY(!woke);
        clock.advance(1);
        QVERIFY(woke);
    }

    void systemClockSleepsAndCancels() {
        SystemClock clock;
        QElapsedTimer elapsed;
        elapsed.start();
        QCoro::waitFor(clock.sleep(30));
        QVERIFY(elapsed.elapsed() >= 29);

        int runs = 0;
        auto context = std::make_unique<QObject>();
        clock.singleShot(0, context.get(), [&] { ++runs; });
        clock.singleShot(0, nullptr, [&] { runs += 10; });
        context.reset();
        QTRY_COMPARE(runs, 10);
        QTest::qWait(10);
        QCOMPARE(runs, 10);
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
