// The event pump: each job event against each kind of job, unknown ids, the queue saved on endings.
#include "DownloadQueue.h"
#include "StateFixture.h"

#include "Prompts.h"
#include "Strings.h"

namespace {
enum Setup { Running, Waiting, Ended };
const char* setupName(int s) {
    return s == Running ? "running" : s == Waiting ? "waiting" : "ended";
}

QJsonObject storedRow(const QString& url, const QString& title) {
    return savedQueueRow(url, {{"title", title}, {"container", "MKV"}, {"channel", "Chan"}});
}

EngineEvent stateEvent(const QString& id, const QString& state,
                       std::optional<QString> filename = std::nullopt,
                       std::optional<QString> message = std::nullopt,
                       std::optional<double> fraction = std::nullopt) {
    return EngineEvent{
        EngineEvent::JobState{id, EngineEvent::JobState::kindFromWire(state), filename, message, fraction}};
}

EngineEvent eventFor(const QString& name, const QString& id) {
    if (name == "started")
        return EngineEvent{EngineEvent::JobStarted{id, "http://x", "/tmp", "1080p", "MP4", false}};
    if (name == "progress") {
        EngineEvent::JobProgress p;
        p.jobId = id;
        p.fraction = 0.25;
        p.downloaded = 250;
        p.total = 1000;
        p.speed = 50;
        p.eta = 15;
        p.fragment = 2;
        p.fragmentCount = 8;
        p.speedEngine = EngineEvent::SpeedEngine{50, 40, 250, 1000, 15.0, 2, "https"};
        return EngineEvent{p};
    }
    if (name == "meta")
        return EngineEvent{EngineEvent::JobMeta{id, "Meta title", "http://t/1.jpg", "Meta channel", 12}};
    if (name == "meta empty")
        return EngineEvent{EngineEvent::JobMeta{id, "", "", "", 0}};
    if (name == "converting")
        return stateEvent(id, "converting", std::nullopt, std::nullopt, 0.4);
    if (name == "done")
        return stateEvent(id, "done", QString("/out/file.mp4"));
    if (name == "done without file")
        return stateEvent(id, "done");
    if (name == "failed")
        return stateEvent(id, "failed", std::nullopt, QString("disk full"));
    if (name == "failed empty")
        return stateEvent(id, "failed", std::nullopt, QString(""));
    if (name == "failed without message")
        return stateEvent(id, "failed");
    return stateEvent(id, name); // processing, queued, cancelled, downloading, paused, Done
}
} // namespace

class TestPump : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void jobEvents_data() {
        QTest::addColumn<QString>("event");
        QTest::addColumn<int>("setup");
        QTest::addColumn<int>("kind"); // -1: the state before the event
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("saved");

        const QStringList running{"started", "progress", "processing", "converting", "queued"};
        for (const QString& e : running) {
            for (int s : {Running, Waiting, Ended}) {
                const int kind = s != Running        ? -1
                                 : e == "processing" ? Job::State::Processing
                                 : e == "converting" ? Job::State::Converting
                                 : e == "queued"     ? Job::State::Queued
                                                     : Job::State::Downloading;
                QTest::addRow("%s, %s", qPrintable(e), setupName(s)) << e << s << kind << "" << false;
            }
        }
        for (int s : {Running, Waiting, Ended}) {
            QTest::addRow("done, %s", setupName(s)) << "done" << s << int(Job::State::Done) << "" << true;
            QTest::addRow("failed, %s", setupName(s))
                << "failed" << s << int(Job::State::Failed) << "disk full" << true;
            QTest::addRow("cancelled, %s", setupName(s))
                << "cancelled" << s << int(Job::State::Cancelled) << "" << true;
            QTest::addRow("meta, %s", setupName(s)) << "meta" << s << -1 << "" << false;
        }
        QTest::newRow("done without file")
            << "done without file" << int(Running) << int(Job::State::Done) << "" << true;
        QTest::newRow("failed with empty message")
            << "failed empty" << int(Running) << int(Job::State::Failed) << "" << true;
        QTest::newRow("failed without message") << "failed without message" << int(Running)
                                                << int(Job::State::Failed) << "{queue_status_error}" << true;
        QTest::newRow("downloading is no state") << "downloading" << int(Running) << -1 << "" << false;
        QTest::newRow("paused is no state") << "paused" << int(Running) << -1 << "" << false;
        QTest::newRow("states are case-sensitive") << "Done" << int(Running) << -1 << "" << false;
        QTest::newRow("empty meta") << "meta empty" << int(Running) << -1 << "" << false;
    }
    void jobEvents() {
        QFETCH(QString, event);
        QFETCH(int, setup);
        QFETCH(int, kind);
        QFETCH(QString, message);
        QFETCH(bool, saved);
        StateFixture f;
        f.startEngine();
        f.script("queue.load",
                 {{"result", QJsonObject{{"items", QJsonArray{storedRow("http://q/1", "Stored")}}}}});
        f.boot();
        std::shared_ptr<Job> job;
        if (setup == Waiting) {
            QCOMPARE(f.model->queuePart().jobs().size(), size_t(1));
            job = f.model->queuePart().jobs()[0];
        } else {
            if (setup == Running)
                f.control("test.hold", {{"method", "download.start"}});
            else
                f.script("download.start",
                         {{"error", QJsonObject{{"code", 1001}, {"message", "p"}, {"detail", "paused"}}}});
            job = f.enqueue("http://q/current");
            QTRY_COMPARE(int(job->state().kind),
                         int(setup == Running ? Job::State::Analyzing : Job::State::Paused));
            job->setOutputPath(QString("/before.mp4"));
        }
        QVERIFY(f.waitForRequests("queue.load", 1));
        const Job::State before = job->state();
        const QString titleBefore = job->title();
        const QString channelBefore = job->channel();
        const qsizetype savesBefore = f.requestsOf("queue.save").size();

        f.model->apply(eventFor(event, job->id()));

        if (kind < 0) {
            QCOMPARE(job->state(), before);
        } else {
            QCOMPARE(int(job->state().kind), kind);
            if (kind == Job::State::Failed)
                QCOMPARE(job->state().message,
                         message == "{queue_status_error}" ? Strings::text("queue_status_error") : message);
        }
        if (event == "progress" && kind >= 0) {
            QCOMPARE(job->fraction(), 0.25);
            QCOMPARE(job->bytesDone(), 250);
            QCOMPARE(job->bytesTotal(), 1000);
            QCOMPARE(job->speedBytesPerSecond(), 50.0);
            QCOMPARE(job->etaSeconds(), 15.0);
            QCOMPARE(job->fragment(), 2);
            QCOMPARE(job->fragmentCount(), 8);
            QVERIFY(job->speedEngine());
            QCOMPARE(job->speedEngine()->protocol, QString("https"));
        } else if (event == "progress") {
            QCOMPARE(job->fraction(), 0.0);
            QCOMPARE(job->bytesDone(), 0);
            QVERIFY(!job->speedEngine());
        }
        if (event == "converting")
            QCOMPARE(job->fraction(), kind >= 0 ? 0.4 : 0.0);
        if (event == "done") {
            QCOMPARE(job->fraction(), 1.0);
            QCOMPARE(job->outputPath().value_or(""), QString("/out/file.mp4"));
        }
        if (event == "done without file")
            QVERIFY(!job->outputPath());
        if (event == "meta") {
            QCOMPARE(job->title(), QString("Meta title"));
            QCOMPARE(job->thumbnailURL().value_or(""), QString("http://t/1.jpg"));
            QCOMPARE(job->channel(), QString("Meta channel"));
        }
        if (event == "meta empty") {
            QCOMPARE(job->title(), titleBefore);
            QCOMPARE(job->channel(), channelBefore);
        }
        if (saved) {
            QVERIFY(f.waitForRequests("queue.save", savesBefore + 1));
            // Only unfinished jobs are saved.
            const QJsonArray items = f.requestsOf("queue.save").last().params["items"].toArray();
            QCOMPARE(items.size(), setup == Waiting ? 0 : 1);
        } else {
            QTest::qWait(30);
            QCOMPARE(f.requestsOf("queue.save").size(), savesBefore);
        }
    }

    // Events for ids nobody holds change nothing and log nothing; a log line still goes to the log.
    void unknownIdsAreDropped() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        const auto job = f.enqueue("http://q/current");
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Analyzing));
        const QStringList logBefore = f.model->sessionPart().log();
        const QString stranger = job->id().toLower(); // ids compare as exact strings
        for (const QString& e : {"started", "progress", "meta", "done", "failed", "cancelled"})
            f.model->apply(eventFor(e, stranger));
        QCOMPARE(int(job->state().kind), int(Job::State::Analyzing));
        QCOMPARE(job->title(), QString("http://q/current"));
        QCOMPARE(f.model->sessionPart().log(), logBefore);
        QTest::qWait(30);
        QVERIFY(f.requestsOf("queue.save").isEmpty());

        f.model->apply(EngineEvent{EngineEvent::JobLog{stranger, "status_done", "ok", {}}});
        QCOMPARE(f.model->sessionPart().log().size(), logBefore.size() + 1);
        QVERIFY(f.model->sessionPart().log().last().endsWith(Strings::text("status_done")));
    }

    // Events written by the engine reach the job through the client, in order.
    void eventsFromTheEngineReachTheJob() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        const auto job = f.enqueue("http://q/current");
        QVERIFY(f.waitForRequests("download.start", 1));
        f.emitEvent("job.progress", {{"jobId", job->id()},
                                     {"downloaded", 10},
                                     {"total", 40},
                                     {"fraction", 0.25},
                                     {"speed", 5.0},
                                     {"eta", 6.0},
                                     {"fragment", 0},
                                     {"fragmentCount", 0}});
        f.emitEvent("job.state", {{"jobId", job->id()}, {"state", "converting"}, {"fraction", 0.5}});
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Converting));
        QCOMPARE(job->bytesTotal(), 40);
        QCOMPARE(job->fraction(), 0.5);
        // The engine's stop text is not involved: the pump keeps going after the request ends.
        f.script("download.start",
                 {{"result", QJsonObject{{"jobId", job->id()}, {"path", "/o.mp4"}, {"title", ""}}}});
        f.control("test.release", {{"method", "download.start"}});
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Done));
        f.emitEvent("job.progress", {{"jobId", job->id()},
                                     {"downloaded", 11},
                                     {"total", 40},
                                     {"fraction", 0.3},
                                     {"speed", 5.0},
                                     {"eta", 6.0},
                                     {"fragment", 0},
                                     {"fragmentCount", 0}});
        f.emitEvent("job.meta", {{"jobId", job->id()},
                                 {"title", "Late title"},
                                 {"thumbnail", ""},
                                 {"channel", ""},
                                 {"duration", 3.0}});
        QTRY_COMPARE(job->title(), QString("Late title"));
        QCOMPARE(int(job->state().kind), int(Job::State::Done));
        QCOMPARE(job->bytesDone(), 10);
    }

    void scriptRuntimeEvents() {
        StateFixture f;
        f.model->apply(EngineEvent{EngineEvent::JsRuntime{false, false}});
        QVERIFY(f.model->sessionPart().jsRuntimeMissing());
        f.model->promptsPart().setJsBannerDismissed(true);
        f.model->apply(EngineEvent{EngineEvent::JsRuntime{false, false}});
        QVERIFY(f.model->promptsPart().jsBannerDismissed());
        f.model->apply(EngineEvent{EngineEvent::JsRuntime{false, true}});
        QVERIFY(!f.model->promptsPart().jsBannerDismissed());
        QVERIFY(f.model->sessionPart().jsRuntimeMissing());
        f.model->promptsPart().setJsBannerDismissed(true);
        f.model->apply(EngineEvent{EngineEvent::JsRuntime{true, false}});
        QVERIFY(!f.model->promptsPart().jsBannerDismissed());
        QVERIFY(!f.model->sessionPart().jsRuntimeMissing());
    }
};

QTEST_GUILESS_MAIN(TestPump)
#include "tst_pump.moc"
