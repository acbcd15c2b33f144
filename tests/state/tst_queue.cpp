// The saved batch queue: read back once as waiting jobs, written back as rows; the drained-queue notice.
#include "DownloadQueue.h"
#include "JobStates.h"
#include "StateFixture.h"

#include "Notifications.h"
#include "Strings.h"

namespace {
QJsonObject row(const QString& url, const QString& title, const QString& quality, const QString& container,
                bool audio, const QString& thumb, const QString& channel, const QString& status = "waiting") {
    return {{"url", url},          {"title", title},     {"quality", quality}, {"container", container},
            {"audio_only", audio}, {"thumb_url", thumb}, {"playlist", "P"},    {"channel", channel},
            {"status", status}};
}
QJsonObject stored(const QJsonArray& rows) {
    return {{"result", QJsonObject{{"items", rows}}}};
}
QJsonObject engineError(int code, const QString& message, const QString& detail = {}) {
    QJsonObject error{{"code", code}, {"message", message}};
    if (!detail.isNull())
        error.insert("detail", detail);
    return {{"error", error}};
}
QJsonObject downloaded() {
    return {{"result", QJsonObject{{"jobId", "x"}, {"path", "/tmp/o.mp4"}, {"title", ""}}}};
}
// Two restored batch jobs, both running with their "download.start" held, the application in the
// background.
std::vector<std::shared_ptr<Job>> runTwoHeldJobs(StateFixture& f) {
    f.fakes.activity.setActive(false);
    f.startEngine();
    f.script("queue.load", stored({row("http://a/1", "", "", "", false, "", ""),
                                   row("http://a/2", "", "", "", false, "", "")}));
    f.boot();
    const auto jobs = f.model->queuePart().jobs();
    f.control("test.hold", {{"method", "download.start"}});
    f.model->queuePart().retry(jobs[0]);
    if (!f.waitForRequests("download.start", 1))
        return {};
    f.model->queuePart().retry(jobs[1]);
    if (!f.waitForRequests("download.start", 2))
        return {};
    return jobs;
}

} // namespace

class TestQueue : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Strings::reset();
        Notifications::reset();
    }

    void theSavedQueueComesBackOnceAsWaitingJobs() {
        StateFixture f;
        f.startEngine();
        QJsonObject whole = row("http://a/4", "Fourth", "480p", "WEBM", false, "", "", "paused");
        whole.insert("id", "0F1E-2D3C");
        whole.insert("subtitleMode", "both");
        whole.insert("videoCodec", "VP9");
        whole.insert("saveThumbnail", true);
        whole.insert("embedCover", true);
        f.script(
            "queue.load",
            stored({row("http://a/1", "First", "720p", "MKV", false, "http://a/t.jpg", "Chan"),
                    row("http://a/2", "", "", "", true, "", ""), row("", "", "", "", false, "", ""), whole}));
        f.boot();
        const auto& jobs = f.model->queuePart().jobs();
        QCOMPARE(jobs.size(), size_t(4));
        // A row that keeps its job's id and whole format comes back with them, paused as it was saved.
        const auto fourth = jobs[3];
        QCOMPARE(fourth->id(), QString("0F1E-2D3C"));
        QCOMPARE(int(fourth->state().kind), int(Job::State::Paused));
        FormatChoice format;
        format.quality = "480p";
        format.container = "WEBM";
        format.subtitleMode = "both";
        format.videoCodec = "VP9";
        format.saveThumbnail = true;
        format.embedCover = true;
        QCOMPARE(fourth->format(), format);
        QVERIFY(fourth->restored());
        f.model->queuePart().removeJobs(3, 1);
        QCOMPARE(jobs[0]->title(), QString("First"));
        QCOMPARE(jobs[0]->format().quality, QString("720p"));
        QCOMPARE(jobs[0]->format().container, QString("MKV"));
        QCOMPARE(jobs[0]->thumbnailURL().value_or(""), QString("http://a/t.jpg"));
        QCOMPARE(jobs[0]->channel(), QString("Chan"));
        QCOMPARE(jobs[1]->title(), QString("http://a/2"));
        QCOMPARE(jobs[1]->format().quality, QString("1080p"));
        QCOMPARE(jobs[1]->format().container, QString("MP4"));
        QVERIFY(jobs[1]->format().audioOnly);
        QCOMPARE(jobs[1]->format().videoCodec, QString("Auto"));
        QCOMPARE(jobs[1]->format().subtitleMode, QString("off"));
        QVERIFY(!jobs[1]->thumbnailURL());
        QCOMPARE(jobs[2]->url(), QString()); // no row is skipped
        QSet<QString> ids;
        for (const auto& job : jobs) {
            QCOMPARE(int(job->state().kind), int(Job::State::Waiting));
            QVERIFY(job->allowsListing());
            ids.insert(job->id());
        }
        QCOMPARE(ids.size(), 3);
        QVERIFY(!f.model->queuePart().currentDownload());

        // Nothing starts by itself and nothing is written back; a second start does not read it again.
        f.boot();
        QTest::qWait(100);
        QVERIFY(f.requestsOf("download.start").isEmpty());
        QVERIFY(f.requestsOf("queue.save").isEmpty());
        QCOMPARE(f.requestsOf("queue.load").size(), 1);
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(3));
    }

    // Two rows that claim one id (a queue file edited by hand) never make two jobs answer to one id.
    void aDuplicateSavedIdGetsANewOne() {
        StateFixture f;
        f.startEngine();
        QJsonObject a = row("http://a/1", "A", "", "", false, "", "");
        a.insert("id", "SAME");
        QJsonObject b = row("http://a/2", "B", "", "", false, "", "");
        b.insert("id", "SAME");
        f.script("queue.load", stored({a, b}));
        f.boot();
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(2));
        QCOMPARE(f.model->queuePart().jobs()[0]->id(), QString("SAME"));
        QVERIFY(f.model->queuePart().jobs()[1]->id() != QString("SAME"));
        QVERIFY(!f.model->queuePart().jobs()[1]->id().isEmpty());
    }

    void aFailedLoadLeavesTheQueueEmpty() {
        StateFixture f;
        f.startEngine();
        f.script("queue.load", engineError(5, "queue file unreadable"));
        f.boot();
        QVERIFY(f.model->queuePart().jobs().empty());
        QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()),
                 QStringList{"queue file unreadable"});
        QVERIFY(!f.model->sessionPart().engineFailure());
    }

    // Rows are written with their job's id and whole format, unfinished jobs only, in queue order; a paused
    // job's row says so.
    void savedRows() {
        StateFixture f;
        f.startEngine();
        f.script("queue.load",
                 stored({row("http://a/1", "First", "720p", "MKV", false, "http://a/t.jpg", "Chan"),
                         row("http://a/2", "", "", "", true, "", ""),
                         row("http://a/3", "Third", "480p", "WebM", false, "", "")}));
        f.boot();
        const auto jobs = f.model->queuePart().jobs();
        putInState(*jobs[1], {Job::State::Paused, {}});
        f.model->apply(
            EngineEvent{EngineEvent::JobState{jobs[2]->id(), EngineEvent::JobState::Kind::Done, {}, {}, {}}});
        QVERIFY(f.waitForRequests("queue.save", 1));
        const QJsonArray items = f.requestsOf("queue.save")[0].params["items"].toArray();
        const QJsonArray expected{QJsonObject{{"url", "http://a/1"},
                                              {"title", "First"},
                                              {"quality", "720p"},
                                              {"container", "MKV"},
                                              {"audio_only", false},
                                              {"thumb_url", "http://a/t.jpg"},
                                              {"playlist", ""},
                                              {"channel", "Chan"},
                                              {"status", "waiting"},
                                              {"id", jobs[0]->id()},
                                              {"subtitleMode", "off"},
                                              {"videoCodec", "Auto"},
                                              {"saveThumbnail", false},
                                              {"embedCover", false}},
                                  QJsonObject{{"url", "http://a/2"},
                                              {"title", "http://a/2"},
                                              {"quality", "1080p"},
                                              {"container", "MP4"},
                                              {"audio_only", true},
                                              {"thumb_url", ""},
                                              {"playlist", ""},
                                              {"channel", ""},
                                              {"status", "paused"},
                                              {"id", jobs[1]->id()},
                                              {"subtitleMode", "off"},
                                              {"videoCodec", "Auto"},
                                              {"saveThumbnail", false},
                                              {"embedCover", false}}};
        QCOMPARE(items, expected);
        QCOMPARE(f.requestsOf("queue.save")[0].params.keys(), QStringList{"items"});
    }

    // Saves are coalesced: one on its way at a time, the calls made meanwhile send one more with the queue
    // as it is then. 199 of 200 jobs finishing in two bursts send two saves, and the last one is exact.
    void savesAreCoalesced() {
        StateFixture f;
        f.startEngine();
        QJsonArray rows;
        for (int i = 0; i < 200; ++i)
            rows.append(row(QString("http://a/%1").arg(i), "", "", "", false, "", ""));
        f.script("queue.load", stored(rows));
        f.boot();
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(200));

        // Half the jobs finish: one save goes out, with the queue as it is when it is sent.
        const auto finish = [&](int from, int to) {
            for (int i = from; i < to; ++i)
                f.model->apply(EngineEvent{EngineEvent::JobState{
                    f.model->queuePart().jobs()[i]->id(), EngineEvent::JobState::Kind::Done, {}, {}, {}}});
        };
        f.control("test.hold", {{"method", "queue.save"}});
        finish(0, 100);
        QVERIFY(f.waitForRequests("queue.save", 1));
        QCOMPARE(f.requestsOf("queue.save")[0].params["items"].toArray().size(), 100);
        // The rest finish while that save is held by the engine: they wait for its answer.
        finish(100, 199);
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCOMPARE(f.requestsOf("queue.save").size(), 1);
        f.control("test.release", {{"method", "queue.save"}});
        QVERIFY(f.waitForRequests("queue.save", 2));
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        const auto saves = f.requestsOf("queue.save");
        QCOMPARE(saves.size(), 2);
        // The second save carries the queue as it stood when it was sent: the one job left.
        const QJsonArray last = saves.last().params["items"].toArray();
        QCOMPARE(last.size(), 1);
        QCOMPARE(last[0].toObject()["url"].toString(), QString("http://a/199"));
        // Nothing more is asked for: nothing more is sent.
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCOMPARE(f.requestsOf("queue.save").size(), 2);
    }

    // The drained queue is announced once per drain, from the background, when at least one job is done.
    void drainNotice_data() {
        QTest::addColumn<QJsonObject>("first");
        QTest::addColumn<QJsonObject>("second");
        QTest::addColumn<int>("count"); // done jobs announced; 0: no notice
        QTest::newRow("both done") << downloaded() << downloaded() << 2;
        QTest::newRow("one done, one failed") << downloaded() << engineError(3, "no") << 1;
        QTest::newRow("failed and cancelled") << engineError(3, "no") << engineError(1001, "c") << 0;
        QTest::newRow("one still paused") << downloaded() << engineError(1001, "p", "paused") << 0;
    }
    void drainNotice() {
        QFETCH(QJsonObject, first);
        QFETCH(QJsonObject, second);
        QFETCH(int, count);
        StateFixture f;
        const auto jobs = runTwoHeldJobs(f);
        QCOMPARE(jobs.size(), size_t(2));
        QTRY_VERIFY(Notifications::granted());
        f.script("download.start", first);
        f.script("download.start", second);
        f.control("test.release", {{"method", "download.start"}});
        QTRY_VERIFY(!jobs[0]->state().isRunning() && !jobs[1]->state().isRunning());
        // Each run ends after its library reload: wait for that, then for one more round trip.
        if (count)
            QTRY_COMPARE(f.fakes.notifier.added.size(), 1);
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCOMPARE(f.fakes.notifier.added.size(), count ? 1 : 0);
        if (count) {
            QCOMPARE(f.fakes.notifier.added[0].title, Strings::text("notify_queue_done"));
            QCOMPARE(f.fakes.notifier.added[0].body.value_or(""),
                     Strings::text("notify_queue_done_body", {{"count", QString::number(count)}}));
        }
    }

    // A run that ends after the drain was announced does not announce it again; a new run opens a new drain.
    void onceUntilAnotherJobStarts() {
        StateFixture f;
        const auto jobs = runTwoHeldJobs(f);
        QCOMPARE(jobs.size(), size_t(2));
        // The engine says the second is cancelled before its request answers.
        f.model->apply(EngineEvent{
            EngineEvent::JobState{jobs[1]->id(), EngineEvent::JobState::Kind::Cancelled, {}, {}, {}}});
        f.script("download.start", downloaded());
        f.script("download.start", engineError(1001, "c"));
        f.control("test.release", {{"method", "download.start"}, {"order", "fifo"}});
        QTRY_COMPARE(int(jobs[0]->state().kind), int(Job::State::Done));
        QTest::qWait(100);
        QCOMPARE(f.fakes.notifier.added.size(), 1);

        f.script("download.start", engineError(3, "again"));
        f.model->queuePart().retry(jobs[1]);
        QTRY_COMPARE(jobs[1]->state(), Job::State::failed("again"));
        QTRY_COMPARE(f.fakes.notifier.added.size(), 2);
        // In front, nothing is shown.
        f.fakes.activity.setActive(true);
        f.script("download.start", engineError(3, "again"));
        f.model->queuePart().retry(jobs[1]);
        QTRY_COMPARE(f.requestsOf("download.start").size(), 4);
        QTest::qWait(100);
        QCOMPARE(f.fakes.notifier.added.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestQueue)
#include "tst_queue.moc"
