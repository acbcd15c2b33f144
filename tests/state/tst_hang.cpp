// A hung engine: while a request stays open too long the application asks the engine for its settings;
// an answer (even an error reply) leaves the engine alone, no answer gets it stopped and restarted with
// the stop's text, as a crash does. The limits are shortened from 30 s for the test.
#include "DownloadQueue.h"
#include "StateFixture.h"

#include "EngineLaunchError.h"
#include "Strings.h"

#include <chrono>

using namespace std::chrono_literals;

namespace {
const QString restartNote = QStringLiteral("Relance du moteur\u2026");

} // namespace

class TestHang : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void aRequestOpenTooLongProbesTheEngine_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("hung");
        QTest::newRow("the engine answers") << "settings" << false;
        QTest::newRow("the engine answers with an error") << "error" << false;
        QTest::newRow("no answer") << "none" << true;
    }
    void aRequestOpenTooLongProbesTheEngine() {
        QFETCH(QString, answer);
        QFETCH(bool, hung);
        StateFixture f;
        f.startEngine();
        // The answer's limit is the shorter one: a probe sent one period after an answer comes well after
        // the answered probe's deadline.
        f.model->sessionPart().setHangLimits(400ms, 150ms);
        f.boot();
        const qint64 firstEngine = f.model->engine().processId();
        const int asked = int(f.requestsOf("settings.get").size());

        // A download whose request stays open, transferring.
        f.control("test.hold", {{"method", "download.start"}});
        const auto job = f.enqueue(QString("http://h/talk"));
        QVERIFY(f.waitForRequests("download.start", 1));
        f.emitEvent("job.started", {{"jobId", job->id()},
                                    {"url", "http://h/talk"},
                                    {"outputDir", f.path("out")},
                                    {"quality", "1080p"},
                                    {"container", "MP4"},
                                    {"audioOnly", false}});
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Downloading));
        if (answer == "error")
            f.script("settings.get", {{"error", QJsonObject{{"code", 5}, {"message", "busy"}}}}, 0);
        else if (answer == "none")
            f.control("test.hold", {{"method", "settings.get"}});

        if (!hung) {
            // Asked, answered, and asked again one period later: by then the first probe's deadline has
            // passed, and nothing was stopped (a stop begins with "shutdown").
            QVERIFY(f.waitForRequests("settings.get", asked + 2));
            const QStringList methods = f.methods();
            QVERIFY(!methods.contains("shutdown"));
            QCOMPARE(methods.count("hello"), 1);
            QCOMPARE(f.model->engine().processId(), firstEngine);
            QCOMPARE(int(job->state().kind), int(Job::State::Downloading));
            QCOMPARE(countEndingWith(f.model->sessionPart().log(), restartNote), 0);
            QVERIFY(f.model->sessionPart().sessionLive());
            f.scriptDownloads({{"error", QJsonObject{{"code", 1001}, {"message", "cancelled"}}}});
            f.control("test.release", {{"method", "download.start"}});
            QTRY_VERIFY(job->state().isFinished());
            return;
        }

        QVERIFY(f.waitForRequests("settings.get", asked + 1));
        const QString stopped = EngineLaunchError::stopped().text();
        QTRY_COMPARE_WITH_TIMEOUT(job->state(), Job::State::failed(stopped), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(countEndingWith(f.model->sessionPart().log(), restartNote), 1, 10000);
        QVERIFY(f.waitForRequests("hello", 2));
        QTRY_VERIFY(f.model->sessionPart().sessionLive());
        QVERIFY(!f.model->sessionPart().engineFailure());
        QVERIFY(f.model->engine().processId() != firstEngine);
        // Stopped by the application, not crashed: it was asked to shut down first.
        QCOMPARE(f.methods().count("shutdown"), 1);
        // The restarted engine answers and is live.
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QVERIFY(f.model->sessionPart().settings());
    }
};

QTEST_GUILESS_MAIN(TestHang)
#include "tst_hang.moc"
