// spawn(): a coroutine started on the next turn of the event loop, whose failures never escape.

#include "EngineError.h"
#include "Spawn.h"

#include <QCoro/QCoroTimer>
#include <QRegularExpression>
#include <QTest>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;

class TestSpawn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsOnTheNextTurnAndRunsToTheEnd() {
        QObject context;
        QStringList steps;
        spawn(&context, [&steps]() -> QCoro::Task<void> {
            steps << "begin";
            co_await QCoro::sleepFor(10ms);
            steps << "end";
        });
        steps << "caller";
        QTRY_COMPARE(steps, (QStringList{"caller", "begin", "end"}));
    }

    void goneContextStartsNothing() {
        auto context = std::make_unique<QObject>();
        bool ran = false;
        spawn(context.get(), [&ran]() -> QCoro::Task<void> {
            ran = true;
            co_return;
        });
        context.reset();
        QTest::qWait(20);
        QVERIFY(!ran);
    }

    void failureIsReportedNotLost() {
        QObject context;
        bool after = false;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("task failed: no such job")));
        spawn(&context, []() -> QCoro::Task<void> {
            co_await QCoro::sleepFor(1ms);
            throw EngineError(5, QStringLiteral("no such job"));
        });
        // The loop goes on after the failure.
        QTimer::singleShot(30, &context, [&after] { after = true; });
        QTRY_VERIFY(after);
    }
};

QTEST_GUILESS_MAIN(TestSpawn)
#include "tst_spawn.moc"
