// The batch queue: pasted batches split and resolved into jobs and listing picks, the per-job and
// queue-wide actions against the real stand-in engine and its request log, the batch field, the values
// the views draw, and the listing picks.
#include "Composition.h"
#include "DownloadQueue.h"
#include "JobStates.h"
#include "StateFixture.h"

#include "MediaServerProcess.h"
#include "Strings.h"

#include <QSignalSpy>

namespace {
QJsonObject entry(const QString& url, const QString& title = {}, const QString& section = {}) {
    return {{"url", url},      {"title", title},  {"thumbnail", ""},   {"playlist", ""},
            {"channel", "Ch"}, {"duration", 0.0}, {"section", section}};
}
QJsonObject listing(const QString& title, const QJsonArray& entries, const QJsonArray& sections = {}) {
    return {{"title", title},
            {"entries", entries},
            {"sections", sections},
            {"notes", QJsonArray{QJsonObject{{"input", title}, {"reason", "listing_note"}}}}};
}
QJsonObject resolution(const QJsonArray& singles, const QJsonArray& listings, int pageSize = 50) {
    return {{"result", QJsonObject{{"singles", singles},
                                   {"listings", listings},
                                   {"notes", QJsonArray{QJsonObject{{"input", "x"}, {"reason", "skipped"}}}},
                                   {"pageSize", pageSize}}}};
}
QJsonObject engineError(int code, const QString& message, const QString& detail = {}) {
    QJsonObject error{{"code", code}, {"message", message}};
    if (!detail.isNull())
        error.insert("detail", detail);
    return {{"error", error}};
}
std::shared_ptr<Job> makeJob(const QString& url, Job::State::Kind kind) {
    auto job = std::make_shared<Job>(url, FormatChoice{}, url, true);
    putInState(*job, {kind, {}});
    return job;
}
ResolvedEntry sectionEntry(const QString& url, const QString& section) {
    ResolvedEntry e;
    e.url = url;
    e.section = section;
    return e;
}
QStringList savedURLs(const LoggedRequest& save) {
    QStringList out;
    for (const QJsonValue& row : save.params["items"].toArray())
        out << row.toObject()["url"].toString();
    return out;
}
QStringList jobIdsOf(const QList<LoggedRequest>& requests) {
    QStringList out;
    for (const LoggedRequest& r : requests)
        out << r.params["jobId"].toString();
    return out;
}
// Waits for the saves asked for so far to be answered (their text is made off the GUI thread, so a
// request sent after them may overtake them), then for one request round trip more.
void settle(StateFixture& f) {
    QVERIFY(QTest::qWaitFor([&] { return !f.model->queuePart().isSavingQueue(); }, 10000));
    QCoro::waitFor(f.model->sessionPart().reloadSettings());
}
} // namespace

class TestBatch : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void splitURLs_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("every newline kind")
            << "a.com\nb.com\r\nc.com\rd.com\x0B"
               "e.com\x0C"
               "f.com\u0085g.com\u2028h.com\u2029i.com"
            << QStringList{"a.com", "b.com", "c.com", "d.com", "e.com", "f.com", "g.com", "h.com", "i.com"};
        QTest::newRow("blank lines only") << " \n\t\n\u00A0\n" << QStringList{};
        QTest::newRow("trimmed, tabs and no-break spaces") << "\t http://a/1 \u00A0\n"
                                                           << QStringList{"http://a/1"};
        QTest::newRow("two hosts on a line") << "a.com b.org" << QStringList{"a.com", "b.org"};
        QTest::newRow("two addresses, a tab")
            << "http://a/1\thttps://b/2" << QStringList{"http://a/1", "https://b/2"};
        QTest::newRow("words without a dot stay one")
            << "my holiday video" << QStringList{"my holiday video"};
        QTest::newRow("address and a word stay one")
            << "https://a/1 later" << QStringList{"https://a/1 later"};
        QTest::newRow("capital scheme is no address") << "HTTP://A/1 word" << QStringList{"HTTP://A/1 word"};
        QTest::newRow("capital scheme with a dot")
            << "HTTP://A.B/1 c.d" << QStringList{"HTTP://A.B/1", "c.d"};
        QTest::newRow("one piece") << "  single  " << QStringList{"single"};
    }
    void splitURLs() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(DownloadQueue::splitURLs(text), expected);
    }

    void appendBatchURL_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("after");
        QTest::newRow("into empty") << ""
                                    << "  https://a/1 \n"
                                    << true << "https://a/1\n";
        QTest::newRow("already there") << "https://a/1\n"
                                       << " https://a/1\n"
                                       << false << "https://a/1\n";
        QTest::newRow("blank") << "x\n"
                               << " \n " << false << "x\n";
        QTest::newRow("normalises the field") << "\n  a \n\n b\t"
                                              << "c" << true << "a\nb\nc\n";
        QTest::newRow("case matters") << "https://A/1"
                                      << "https://a/1" << true << "https://A/1\nhttps://a/1\n";
    }
    void appendBatchURL() {
        QFETCH(QString, before);
        QFETCH(QString, address);
        QFETCH(bool, added);
        QFETCH(QString, after);
        StateFixture f;
        f.model->queuePart().setBatchURLs(before);
        QCOMPARE(f.model->queuePart().appendBatchURL(address), added);
        QCOMPARE(f.model->queuePart().batchURLs(), after);
    }

    void overallProgress_data() {
        QTest::addColumn<QList<double>>("fractions");
        QTest::addColumn<QList<qint64>>("done");
        QTest::addColumn<QList<qint64>>("totals");
        QTest::addColumn<double>("expected"); // -1: absent
        QTest::newRow("empty") << QList<double>{} << QList<qint64>{} << QList<qint64>{} << -1.0;
        QTest::newRow("known totals")
            << QList<double>{0.5, 0} << QList<qint64>{50, 0} << QList<qint64>{100, 300} << 0.125;
        QTest::newRow("an unknown total")
            << QList<double>{0.4, 1.0} << QList<qint64>{0, 10} << QList<qint64>{0, 10} << 0.7;
        QTest::newRow("more done than total")
            << QList<double>{1, 1} << QList<qint64>{500, 300} << QList<qint64>{100, 100} << 1.0;
    }
    void overallProgress() {
        QFETCH(QList<double>, fractions);
        QFETCH(QList<qint64>, done);
        QFETCH(QList<qint64>, totals);
        QFETCH(double, expected);
        StateFixture f;
        std::vector<std::shared_ptr<Job>> jobs;
        for (qsizetype i = 0; i < fractions.size(); ++i) {
            auto job = makeJob(QString("http://a/%1").arg(i), Job::State::Downloading);
            job->setFraction(fractions[i]);
            job->setBytesDone(done[i]);
            job->setBytesTotal(totals[i]);
            jobs.push_back(job);
        }
        // Finished and waiting jobs do not count.
        jobs.push_back(makeJob("http://done", Job::State::Done));
        jobs.push_back(makeJob("http://waiting", Job::State::Waiting));
        f.model->queuePart().resetJobs(jobs);
        const std::optional<double> progress = f.model->queuePart().overallProgress();
        if (expected < 0)
            QVERIFY(!progress);
        else
            QCOMPARE(*progress, expected);
    }

    // Derived lists by state; their one signal comes once per burst, for progress too.
    void derivedListsAndTheirSignal() {
        StateFixture f;
        f.model->queuePart().resetJobs({makeJob("w", Job::State::Waiting), makeJob("p", Job::State::Paused),
                                        makeJob("d", Job::State::Downloading),
                                        makeJob("x", Job::State::Done)});
        QCOMPARE(f.model->queuePart().waitingJobs().size(), size_t(1));
        QCOMPARE(f.model->queuePart().activeJobs().size(), size_t(2)); // paused and downloading
        QSignalSpy activity(&f.model->queuePart(), &DownloadQueue::activityChanged);
        QTRY_COMPARE(activity.size(), 1); // the reset
        const auto job = f.model->queuePart().jobs()[2];
        for (int i = 1; i <= 300; ++i)
            job->setFraction(i / 300.0);
        putInState(*f.model->queuePart().jobs()[0], {Job::State::Cancelled, {}});
        putInState(*f.model->queuePart().jobs()[1], {Job::State::Cancelled, {}});
        QTRY_COMPARE(activity.size(), 2);  // both state changes: one signal
        QTRY_VERIFY(activity.size() >= 3); // the progress, gathered
        QVERIFY(activity.size() <= 4);
        QVERIFY(f.model->queuePart().waitingJobs().empty());
        QCOMPARE(*f.model->queuePart().overallProgress(), 1.0);
    }

    // A batch resolves into singles started at once and saved once, listing picks and notes; the
    // Download tab's field is left alone; a failed resolve puts the text back.
    void resolve() {
        StateFixture f;
        f.startEngine();
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        f.model->compositionPart().setPastedText("download tab text");
        FormatChoice format = f.model->compositionPart().format();
        format.audioOnly = true;
        f.model->compositionPart().setFormat(format);
        f.script("queue.resolve",
                 resolution({entry("http://a/1", "One"), entry("http://a/2")},
                            {listing("L1", {entry("http://l/1"), entry("http://l/2"), entry("http://l/3")}),
                             listing("L2", {entry("http://m/1")})},
                            25));
        QSignalSpy resolving(&f.model->queuePart(), &DownloadQueue::isResolvingChanged);
        QCoro::waitFor(f.model->queuePart().enqueuePasted("http://a/1 http://a/2\nhttp://l"));
        QCOMPARE(resolving.size(), 2);
        QVERIFY(!f.model->queuePart().isResolving());
        QCOMPARE(f.requestsOf("queue.resolve")[0].params["urls"].toArray(),
                 (QJsonArray{"http://a/1", "http://a/2", "http://l"}));
        QCOMPARE(f.model->compositionPart().pastedText(), QString("download tab text"));

        QCOMPARE(f.model->queuePart().jobs().size(), size_t(2));
        QCOMPARE(f.model->queuePart().jobs()[0]->title(), QString("One"));
        QCOMPARE(f.model->queuePart().jobs()[1]->title(), QString("http://a/2"));
        QVERIFY(f.model->queuePart().jobs()[0]->format().audioOnly);
        QVERIFY(f.waitForRequests("download.start", 2));
        const auto starts = f.requestsOf("download.start");
        QCOMPARE(jobIdsOf(starts),
                 QStringList({f.model->queuePart().jobs()[0]->id(), f.model->queuePart().jobs()[1]->id()}));
        QVERIFY(starts[0].params["allowListing"].toBool());
        QVERIFY(f.waitForRequests("queue.save", 1));
        settle(f);
        const auto saves = f.requestsOf("queue.save");
        QCOMPARE(saves.size(), 1);
        QCOMPARE(savedURLs(saves[0]), QStringList({"http://a/1", "http://a/2"}));
        QCOMPARE(saves[0].params["items"].toArray()[0].toObject().keys().size(), 14);

        QCOMPARE(f.model->queuePart().pendingListings().size(), size_t(2));
        const auto pick = f.model->queuePart().pendingListings()[0];
        QCOMPARE(pick->title(), QString("L1"));
        QCOMPARE(pick->pageSize(), 25);
        QVERIFY(pick->audioOnly());
        QCOMPARE(pick->checked(), (std::set<int>{0, 1, 2}));
        QCOMPARE(f.model->queuePart().resolveNotes().size(), size_t(1));
        QCOMPARE(f.model->queuePart().resolveNotes()[0].reason, QString("skipped"));

        // A failed resolve: nothing queued, the text back in the field, the flag down.
        f.model->queuePart().setBatchURLs("typed meanwhile\n");
        f.scriptError("queue.resolve", 5, "no network");
        QCoro::waitFor(f.model->queuePart().enqueuePasted("http://b/1\nhttp://b/2"));
        QVERIFY(!f.model->queuePart().isResolving());
        QCOMPARE(f.model->queuePart().batchURLs(), QString("http://b/1\nhttp://b/2\ntyped meanwhile\n"));
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(2));
        QVERIFY(f.model->queuePart().resolveNotes().empty());
        // Blank text sends nothing and raises no flag.
        resolving.clear();
        QCoro::waitFor(f.model->queuePart().enqueuePasted(" \n\t"));
        QCOMPARE(resolving.size(), 0);
        QCOMPARE(f.requestsOf("queue.resolve").size(), 2);
        f.control("test.release", {{"method", "download.start"}});
    }

    // A paste of 10,000 links through the real engine: it takes its 500, and the 9,500 it did not take
    // go back into the field, before what was typed meanwhile, with one note that counts them.
    void fullBatchGoesBackToTheField() {
        MediaServerProcess server;
        QVERIFY(server.start());
        StateFixture f;
        f.startEngine();
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        QStringList links;
        for (int i = 0; i < 10000; ++i)
            links << QString("%1?n=%2").arg(server.heldVideo).arg(i);
        f.model->queuePart().setBatchURLs("typed meanwhile\n");
        QCoro::waitFor(f.model->queuePart().enqueuePasted(links.join('\n')));
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(500));
        QCOMPARE(f.model->queuePart().jobs().back()->url(), links[499]);
        QCOMPARE(f.model->queuePart().batchURLs(), links.mid(500).join('\n') + "\ntyped meanwhile\n");
        QCOMPARE(f.model->queuePart().resolveNotes().size(), size_t(1));
        const BatchNote note = f.model->queuePart().resolveNotes()[0];
        QCOMPARE(note.reason, QString(BatchNote::notTaken));
        QCOMPARE(note.count, std::optional<qint64>(9500));
        QVERIFY2(note.message().contains("9500") && !note.message().contains("{count}"),
                 qPrintable(note.message()));
        f.control("test.release", {{"method", "download.start"}});
    }

    // What goes back into the field after a full batch: from the first address not taken, each once,
    // without what was taken or refused before it; a note that names nothing sent changes nothing.
    void notTakenAddresses_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("firstNotTaken");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("reasons");
        QTest::newRow("the tail in order") << "a.example/1\na.example/2\na.example/3\na.example/4"
                                           << "a.example/3"
                                           << "a.example/3\na.example/4\n"
                                           << QStringList{"not-taken"};
        QTest::newRow("repeats and refused texts stay out")
            << "a.example/1 b.example/2\nnot an address\nc.example/3\na.example/1\nnot an address\n"
               "c.example/3\nd.example/4"
            << "c.example/3"
            << "c.example/3\nd.example/4\n"
            << QStringList{"not-a-url", "not-taken"};
        QTest::newRow("a note naming nothing sent stays the engine's") << "a.example/1\na.example/2"
                                                                       << "https://a.example/2"
                                                                       << "" << QStringList{"queue-full"};
        QTest::newRow("no full batch") << "a.example/1"
                                       << ""
                                       << "" << QStringList{};
    }
    void notTakenAddresses() {
        QFETCH(QString, pasted);
        QFETCH(QString, firstNotTaken);
        QFETCH(QString, field);
        QFETCH(QStringList, reasons);
        StateFixture f;
        f.startEngine();
        f.boot();
        QJsonArray notes;
        if (pasted.contains("not an address"))
            notes.append(QJsonObject{{"input", "not an address"}, {"reason", "not-a-url"}});
        if (!firstNotTaken.isEmpty())
            notes.append(QJsonObject{{"input", firstNotTaken}, {"reason", "queue-full"}, {"count", 2}});
        f.script("queue.resolve", {{"result", QJsonObject{{"singles", QJsonArray{}},
                                                          {"listings", QJsonArray{}},
                                                          {"notes", notes},
                                                          {"pageSize", 50}}}});
        QCoro::waitFor(f.model->queuePart().enqueuePasted(pasted));
        QCOMPARE(f.model->queuePart().batchURLs(), field);
        QStringList shown;
        for (const BatchNote& note : f.model->queuePart().resolveNotes())
            shown << note.reason;
        QCOMPARE(shown, reasons);
        if (reasons.contains("not-taken"))
            QCOMPARE(f.model->queuePart().resolveNotes().back().count,
                     std::optional<qint64>(field.count('\n')));
    }

    // Cancel by state: a waiting job is cancelled here alone, unless it was restored from the saved queue
    // (it may own a partial file at the engine); a paused one here and at the engine (its partial file
    // goes); a running and a finished one only at the engine. A job that failed with its partial file kept
    // loses it, and its place in the saved queue. After each the last saved queue is exactly the
    // unfinished jobs.
    void cancel_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<bool>("sendsCancel");
        QTest::addColumn<int>("after");
        QTest::newRow("waiting") << int(Job::State::Waiting) << false << false << false
                                 << int(Job::State::Cancelled);
        QTest::newRow("restored waiting")
            << int(Job::State::Waiting) << true << false << true << int(Job::State::Cancelled);
        QTest::newRow("paused") << int(Job::State::Paused) << false << false << true
                                << int(Job::State::Cancelled);
        QTest::newRow("downloading") << int(Job::State::Downloading) << false << false << true
                                     << int(Job::State::Downloading);
        QTest::newRow("done") << int(Job::State::Done) << false << false << true << int(Job::State::Done);
        QTest::newRow("failed, partial kept")
            << int(Job::State::Failed) << true << true << true << int(Job::State::Failed);
    }
    void cancel() {
        QFETCH(int, kind);
        QFETCH(bool, restored);
        QFETCH(bool, kept);
        QFETCH(bool, sendsCancel);
        QFETCH(int, after);
        StateFixture f;
        f.startEngine();
        f.boot();
        const auto job = std::make_shared<Job>("http://a/1", FormatChoice{}, "http://a/1", true);
        if (restored)
            job->restore(false);
        if (kept)
            job->failKeepingPart("no");
        putInState(*job, {Job::State::Kind(kind), {}});
        f.model->queuePart().resetJobs({job, makeJob("http://a/2", Job::State::Waiting)});
        f.model->queuePart().persistQueue();
        settle(f);
        QCOMPARE(savedURLs(f.requestsOf("queue.save").last()).size(),
                 kept ? 2 : 1 + !job->state().isFinished());
        f.model->queuePart().cancel(job);
        QCOMPARE(job->stateKind(), after);
        f.model->queuePart().persistQueue();
        settle(f);
        QCOMPARE(jobIdsOf(f.requestsOf("download.cancel")),
                 sendsCancel ? QStringList{job->id()} : QStringList{});
        const QStringList unfinished =
            job->state().isFinished() ? QStringList{"http://a/2"} : QStringList{"http://a/1", "http://a/2"};
        QCOMPARE(savedURLs(f.requestsOf("queue.save").last()), unfinished);
    }

    // Remove takes the job out (the current download too), clear cancels what runs and empties the
    // queue; the last saved queue follows.
    void removeAndClear() {
        StateFixture f;
        f.startEngine();
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        const auto current = f.enqueue(QString("http://c/1"));
        QVERIFY(f.waitForRequests("download.start", 1));
        f.model->queuePart().resetJobs(
            {makeJob("http://w", Job::State::Waiting), makeJob("http://r", Job::State::Downloading),
             makeJob("http://d", Job::State::Done), makeJob("http://f", Job::State::Failed)});
        f.model->queuePart().remove(current);
        QVERIFY(!f.model->queuePart().currentDownload());
        const auto running = f.model->queuePart().jobs()[1];
        f.model->queuePart().remove(f.model->queuePart().jobs()[3]);
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(3));
        settle(f);
        QCOMPARE(savedURLs(f.requestsOf("queue.save").last()), QStringList({"http://w", "http://r"}));

        f.model->queuePart().clearQueue();
        QVERIFY(f.model->queuePart().jobs().empty());
        settle(f);
        // The current download's cancel, the removed failed job's, then the running job's.
        const QStringList cancels = jobIdsOf(f.requestsOf("download.cancel"));
        QCOMPARE(cancels.size(), 3);
        QCOMPARE(cancels[0], current->id());
        QCOMPARE(cancels[2], running->id());
        QCOMPARE(savedURLs(f.requestsOf("queue.save").last()), QStringList{});
        f.control("test.release", {{"method", "download.start"}});
    }

    // A current download still running when the next one is enqueued moves to the front of the queue:
    // its events still reach it, it can be cancelled there, and it is never saved.
    void displacedDownloadStaysReachable() {
        StateFixture f;
        f.startEngine();
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        const auto first = f.enqueue(QString("http://a/first"));
        QVERIFY(f.waitForRequests("download.start", 1));
        f.model->queuePart().resetJobs({makeJob("http://q/1", Job::State::Waiting)});
        const auto second = f.enqueue(QString("http://a/second"));
        QVERIFY(f.waitForRequests("download.start", 2));
        QCOMPARE(f.model->queuePart().currentDownload(), second);
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(2));
        QCOMPARE(f.model->queuePart().jobs()[0], first);

        f.emitEvent("job.progress", {{"jobId", first->id()},
                                     {"downloaded", 10},
                                     {"total", 40},
                                     {"fraction", 0.25},
                                     {"speed", 1.0},
                                     {"eta", 3.0},
                                     {"fragment", 0},
                                     {"fragmentCount", 0}});
        QTRY_COMPARE(first->fraction(), 0.25);
        f.model->queuePart().persistQueue();
        settle(f);
        QCOMPARE(savedURLs(f.requestsOf("queue.save").last()), QStringList{"http://q/1"});

        f.model->queuePart().cancel(first);
        f.scriptDownloads(engineError(1001, "cancelled"));
        f.control("test.release", {{"method", "download.start"}});
        QTRY_COMPARE(first->stateKind(), int(Job::State::Cancelled));
        QCOMPARE(jobIdsOf(f.requestsOf("download.cancel")), QStringList{first->id()});
    }

    // A real batch of one held download: paused at the engine, resumed with the same id, and the engine
    // continues the partial file to the whole video.
    void pauseAndResumeContinueTheFile() {
        MediaServerProcess server;
        QVERIFY(server.start());
        StateFixture f;
        f.startEngine();
        f.scriptSettings({{"outputDir", f.path("out")}});
        f.boot();
        QCoro::waitFor(f.model->queuePart().enqueuePasted(server.heldVideo));
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(1));
        const auto job = f.model->queuePart().jobs()[0];
        QTRY_VERIFY_WITH_TIMEOUT(job->bytesDone() > 0, 30000);
        f.model->queuePart().pause(job);
        QTRY_COMPARE_WITH_TIMEOUT(job->stateKind(), int(Job::State::Paused), 30000);
        f.model->queuePart().resume(job);
        QVERIFY(f.waitForRequests("download.start", 2));
        QCOMPARE(jobIdsOf(f.requestsOf("download.start")), QStringList({job->id(), job->id()}));
        QCOMPARE(server.command("open"), QString("opened"));
        QTRY_COMPARE_WITH_TIMEOUT(job->stateKind(), int(Job::State::Done), 60000);
        QVERIFY(job->outputPath());
        QCOMPARE(QFileInfo(*job->outputPath()).size(), server.size);
        const QStringList ranges = server.command("ranges").split(' ');
        QVERIFY2(ranges.size() >= 2 && ranges.last().startsWith("bytes=") && ranges.last() != "bytes=0-",
                 qPrintable(ranges.join(' ')));
        QVERIFY(server.finish());
    }

    void listingPick_data() {
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("sectionA"); // entries in section "A"
        QTest::addColumn<int>("sections");
        QTest::addColumn<QString>("open");
        QTest::addColumn<bool>("exhausted");
        QTest::addColumn<int>("scope");
        QTest::addColumn<bool>("canLoadMore");
        QTest::newRow("flat, one section") << 50 << 50 << 1 << "A" << false << 53 << false;
        QTest::newRow("two sections, none open") << 50 << 50 << 2 << "" << false << 53 << false;
        QTest::newRow("open, a full page") << 50 << 50 << 2 << "A" << false << 50 << true;
        QTest::newRow("open, a short page") << 50 << 73 << 2 << "A" << false << 73 << false;
        QTest::newRow("open, empty section") << 50 << 0 << 2 << "A" << false << 0 << false;
        QTest::newRow("open, exhausted") << 50 << 50 << 2 << "A" << true << 50 << false;
        QTest::newRow("page size 0") << 0 << 50 << 2 << "A" << false << 50 << false;
    }
    void listingPick() {
        QFETCH(int, pageSize);
        QFETCH(int, sectionA);
        QFETCH(int, sections);
        QFETCH(QString, open);
        QFETCH(bool, exhausted);
        QFETCH(int, scope);
        QFETCH(bool, canLoadMore);
        ResolvedListing listing;
        for (int i = 0; i < sectionA; ++i)
            listing.entries.push_back(sectionEntry(QString("http://a/%1").arg(i), "A"));
        for (int i = 0; i < 3; ++i)
            listing.entries.push_back(sectionEntry(QString("http://b/%1").arg(i), "B"));
        listing.sections.push_back({.name = "A", .source = "http://a", .count = 0});
        if (sections > 1)
            listing.sections.push_back({.name = "B", .source = "http://b", .count = 0});
        ListingPick pick(listing, pageSize, false);
        QCOMPARE(int(pick.checked().size()), sectionA + 3);
        if (!open.isEmpty())
            pick.open(open);
        if (exhausted)
            pick.appendPage(open, {});
        QCOMPARE(int(pick.scope().size()), scope);
        QCOMPARE(pick.canLoadMore(), canLoadMore);
        // Clearing the scope leaves other sections' checks alone.
        pick.setAll(false);
        QCOMPARE(int(pick.checked().size()), sectionA + 3 - scope);
        pick.leave();
        QVERIFY(pick.hasVisitedSection() == !open.isEmpty());
    }

    // Further pages of an open section: appended and checked, an empty page ends the section, one page at
    // a time, and a page in flight lands on a pick dismissed meanwhile. Accepting enqueues the checked
    // entries in ascending order with the pick's audio choice and saves once.
    void listingPagesAndAccept() {
        StateFixture f;
        f.startEngine();
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        f.script("queue.resolve",
                 resolution({},
                            {listing("L",
                                     {entry("http://a/0", "", "A"), entry("http://a/1", "", "A"),
                                      entry("http://b/0", "", "B")},
                                     {QJsonObject{{"name", "A"}, {"source", "http://src/a"}, {"count", 9}},
                                      QJsonObject{{"name", "B"}, {"source", "http://src/b"}, {"count", 1}}})},
                            2));
        QCoro::waitFor(f.model->queuePart().enqueuePasted("http://list"));
        QVERIFY(f.model->queuePart().jobs().empty());
        QVERIFY(f.requestsOf("queue.save").isEmpty());
        const auto pick = f.model->queuePart().pendingListings().at(0);
        pick->open("A");
        QVERIFY(pick->canLoadMore());
        f.script("listing.page",
                 {{"result", QJsonObject{{"entries", QJsonArray{entry("http://a/2", "", "A"),
                                                                entry("http://a/3", "", "A")}},
                                         {"exhausted", false}}}});
        f.model->queuePart().loadMoreSection(pick);
        f.model->queuePart().loadMoreSection(pick); // while loading: nothing
        QTRY_COMPARE(pick->entries().size(), size_t(5));
        QTRY_VERIFY(!pick->loading());
        const auto pages = f.requestsOf("listing.page");
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages[0].params["offset"].toInt(), 2);
        QCOMPARE(pages[0].params["count"].toInt(), 2);
        QCOMPARE(pages[0].params["section"].toString(), QString("A"));
        QCOMPARE(pages[0].params["source"].toString(), QString("http://src/a"));
        QCOMPARE(pick->checked(), (std::set<int>{0, 1, 2, 3, 4}));

        // An empty page ends the section, even on a pick that was dismissed while it was on its way.
        f.control("test.hold", {{"method", "listing.page"}});
        f.model->queuePart().loadMoreSection(pick);
        QVERIFY(f.waitForRequests("listing.page", 2));
        f.model->queuePart().dismissListing(pick);
        QVERIFY(f.model->queuePart().pendingListings().empty());
        f.script("listing.page", {{"result", QJsonObject{{"entries", QJsonArray{}}, {"exhausted", false}}}});
        f.control("test.release", {{"method", "listing.page"}});
        QTRY_VERIFY(pick->exhausted().contains("A"));
        QVERIFY(!pick->canLoadMore());

        pick->toggle(3);
        pick->toggle(0);
        pick->setAudioOnly(true);
        f.model->queuePart().acceptListing(pick);
        QStringList urls;
        for (const auto& job : f.model->queuePart().jobs()) {
            urls << job->url();
            QVERIFY(job->format().audioOnly);
        }
        QCOMPARE(urls, QStringList({"http://a/1", "http://b/0", "http://a/3"}));
        QVERIFY(!f.model->compositionPart().format().audioOnly);
        QCOMPARE(f.model->queuePart().resolveNotes().back().reason, QString("listing_note"));
        settle(f);
        QCOMPARE(f.requestsOf("queue.save").size(), 1);
        f.control("test.release", {{"method", "download.start"}});
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
