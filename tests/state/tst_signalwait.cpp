// nextSignal(): a coroutine's wait for the next emission of a signal, ended by the first of the signal,
// the sender's destruction or a time limit, and resumed from the event loop only.
#include "SignalWait.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QTest>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;

namespace {

struct Outcomes {
    QList<bool> woken; // one entry per wait that ended, true when the signal ended it
    bool finished = false;
    bool ownerAlive = false;
};

} // namespace

class Emitter : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void ping();
    void carry(const QString& text, int n);
};

// Waits on its own signal in a member coroutine, as the state object does.
class Owner : public QObject {
    Q_OBJECT
public:
    QCoro::Task<void> waitForPoke(std::shared_ptr<Outcomes> out) {
        QPointer<Owner> self(this);
        out->woken << co_await nextSignal(this, &Owner::poked);
        out->ownerAlive = !self.isNull();
        if (self)
            ++pokes;
        out->finished = true;
    }
    int pokes = 0;
Q_SIGNALS:
    void poked();
};

namespace {

// Waits `times` times in a row for `ping`, each with the given limit.
QCoro::Task<void> waitForPings(QPointer<Emitter> emitter, int times,
                               std::optional<std::chrono::milliseconds> limit,
                               std::shared_ptr<Outcomes> out) {
    for (int i = 0; i < times; ++i)
        out->woken << co_await nextSignal(emitter.data(), &Emitter::ping, limit);
    out->finished = true;
}

// Returns once every event posted before the call has been handled.
void drainPosted() {
    bool reached = false;
    QObject marker;
    QMetaObject::invokeMethod(
        &marker, [&reached] { reached = true; }, Qt::QueuedConnection);
    QVERIFY(QTest::qWaitFor([&] { return reached; }, 5000));
}

} // namespace

class TestSignalWait : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Two emissions in one turn end the first wait once; the second emission came before the next wait
    // began, so only a later emission ends that one. Nothing resumes inside the emission itself.
    void signalTwiceInOneTurn() {
        Emitter emitter;
        auto out = std::make_shared<Outcomes>();
        QCoro::Task<void> task = waitForPings(&emitter, 2, std::nullopt, out);
        Q_EMIT emitter.ping();
        Q_EMIT emitter.ping();
        QVERIFY(out->woken.isEmpty());
        drainPosted();
        QCOMPARE(out->woken, QList<bool>{true});
        QVERIFY(!out->finished);

        Q_EMIT emitter.carry(QStringLiteral("another signal"), 1);
        drainPosted();
        QCOMPARE(out->woken, QList<bool>{true});
        Q_EMIT emitter.ping();
        QTRY_VERIFY(out->finished);
        QCOMPARE(out->woken, (QList<bool>{true, true}));
    }

    // A signal with arguments is waited for like any other; its arguments are not needed.
    void signalWithArguments() {
        Emitter emitter;
        auto out = std::make_shared<Outcomes>();
        auto wait = [](Emitter* e, std::shared_ptr<Outcomes> o) -> QCoro::Task<void> {
            o->woken << co_await nextSignal(e, &Emitter::carry);
            o->finished = true;
        };
        QCoro::Task<void> task = wait(&emitter, out);
        Q_EMIT emitter.carry(QStringLiteral("a"), 1);
        Q_EMIT emitter.carry(QStringLiteral("b"), 2);
        QTRY_VERIFY(out->finished);
        QCOMPARE(out->woken, QList<bool>{true});
    }

    // The sender goes while nobody emits: the wait ends with false on a later turn; a sender already
    // gone ends it at once.
    void senderDestroyed() {
        auto emitter = std::make_unique<Emitter>();
        auto out = std::make_shared<Outcomes>();
        QCoro::Task<void> task = waitForPings(emitter.get(), 2, std::nullopt, out);
        emitter.reset();
        QVERIFY(out->woken.isEmpty());
        QTRY_VERIFY(out->finished);
        QCOMPARE(out->woken, (QList<bool>{false, false}));
    }

    // A signal that never comes ends a bounded wait with false; an emission afterwards changes nothing.
    void limitPasses() {
        Emitter emitter;
        auto out = std::make_shared<Outcomes>();
        QCoro::Task<void> task = waitForPings(&emitter, 1, 20ms, out);
        QTRY_VERIFY(out->finished);
        QCOMPARE(out->woken, QList<bool>{false});
        Q_EMIT emitter.ping();
        drainPosted();
        QCOMPARE(out->woken, QList<bool>{false});

        // The signal before the limit: true, and the limit passing later changes nothing.
        auto early = std::make_shared<Outcomes>();
        QCoro::Task<void> second = waitForPings(&emitter, 1, 30ms, early);
        Q_EMIT emitter.ping();
        QTRY_VERIFY(early->finished);
        // A timer started after the limit's, and longer, has fired: the limit's moment has passed.
        bool later = false;
        QTimer::singleShot(60ms, [&later] { later = true; });
        QTRY_VERIFY(later);
        QCOMPARE(early->woken, QList<bool>{true});
    }

    // The object whose coroutine waits on its own signal is destroyed while it waits: the coroutine
    // resumes once, sees its owner gone and touches nothing of it, whether the signal came first (twice,
    // in the same turn as the destruction) or never.
    void ownerDestroyedWhileWaiting_data() {
        QTest::addColumn<int>("emissions");
        QTest::addColumn<bool>("woken");
        QTest::newRow("never signalled") << 0 << false;
        QTest::newRow("signalled twice, then destroyed") << 2 << true;
    }
    void ownerDestroyedWhileWaiting() {
        QFETCH(int, emissions);
        QFETCH(bool, woken);
        auto owner = std::make_unique<Owner>();
        auto out = std::make_shared<Outcomes>();
        QCoro::Task<void> task = owner->waitForPoke(out);
        for (int i = 0; i < emissions; ++i)
            Q_EMIT owner->poked();
        owner.reset();
        QTRY_VERIFY(out->finished);
        QCOMPARE(out->woken, QList<bool>{woken});
        QVERIFY(!out->ownerAlive);
    }
};

QTEST_GUILESS_MAIN(TestSignalWait)
#include "tst_signalwait.moc"
