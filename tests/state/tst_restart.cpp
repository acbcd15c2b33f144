// Engine loss: unfinished downloads fail, one automatic restart, busy stops, and the user's retry.
#include "DownloadQueue.h"
#include "MediaServerProcess.h"
#include "StateFixture.h"

#include "EngineLaunchError.h"
#include "Strings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString restartNote = QStringLiteral("Relance du moteur\u2026");

// An interpreter wrapper that counts engine starts and makes the starts listed in FAIL_STARTS exit at once
// with FAIL_STATUS, before the engine could answer anything.
QString writeWrapper(const QString& folder) {
    const QString path = folder + "/python-wrapper";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\n"
               "n=$(cat \"$START_COUNTER\" 2>/dev/null || echo 0)\n"
               "n=$((n + 1))\n"
               "echo $n > \"$START_COUNTER\"\n"
               "case \" $FAIL_STARTS \" in *\" $n \"*) exit \"$FAIL_STATUS\";; esac\n"
               "exec /usr/bin/python3 \"$@\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QJsonObject storedRow(const QString& url) {
    return savedQueueRow(url, {{"quality", ""}, {"container", ""}, {"audio_only", true}});
}

// Starts the engine with the saved queue holding video downloads of `urls` into the fixture's "out"
// folder, then the application.
void bootWithSavedVideos(StateFixture& f, const QStringList& urls, const QString& quality = QString()) {
    f.startEngine();
    f.control("settings.set", {{"values", QJsonObject{{"outputDir", f.path("out")}}}});
    QJsonArray rows;
    for (const QString& url : urls)
        rows.append(savedQueueRow(url, {{"quality", quality}, {"container", ""}}));
    f.control("queue.save", {{"items", rows}});
    f.boot();
}

QString sha256Of(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

// Quits the application (its engine shut down as Quit does) and starts it again on the same folders.
void relaunch(StateFixture& f) {
    QCoro::waitFor(f.model->engine().stop());
    f.model.reset();
    f.model = std::make_unique<AppModel>(f.fakes.services(), f.locations());
    f.boot();
}

} // namespace

class TestRestart : public QObject {
    Q_OBJECT

    QTemporaryDir m_tools;

    // A fixture whose engine starts go through the counting wrapper.
    std::unique_ptr<StateFixture> fixture(const QString& failStarts, int failStatus = 1) {
        return std::make_unique<StateFixture>(
            QMap<QString, QString>{{"VAMBER_PYTHON", writeWrapper(m_tools.path())},
                                   {"START_COUNTER", m_tools.filePath(QString("starts-%1").arg(++m_runs))},
                                   {"FAIL_STARTS", failStarts},
                                   {"FAIL_STATUS", QString::number(failStatus)}});
    }
    int m_runs = 0;

    // Boots with one saved waiting job and a running current download.
    static std::shared_ptr<Job> bootWithDownload(StateFixture& f) {
        f.startEngine();
        f.script("queue.load", {{"result", QJsonObject{{"items", QJsonArray{storedRow("http://q/saved")}}}}});
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        const auto job = f.enqueue(QString("http://q/current"));
        f.waitForRequests("download.start", 1);
        return job;
    }

private slots:
    void init() { Strings::reset(); }

    // A download whose request was open but had not begun to transfer goes back to waiting and runs again
    // after the restart; the saved waiting job keeps its state, so the restart's save still holds it. One
    // that was transferring fails with the stop's text, its partial file kept for a retry.
    void aCrashReturnsWaitingDownloadsFailsTransferringOnesAndRestartsOnce() {
        auto f = fixture("");
        const auto job = bootWithDownload(*f);
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Analyzing));
        QCOMPARE(f->model->queuePart().jobs().size(), size_t(1));
        const auto saved = f->model->queuePart().jobs()[0];
        QCOMPARE(int(saved->state().kind), int(Job::State::Waiting));
        const int errorsBefore = StateFixture::errorLines(f->model->sessionPart().log()).size();

        f->control("test.exit", {{"status", 1}});
        const QString stopped = EngineLaunchError::stopped().text();
        QTRY_COMPARE(countEndingWith(f->model->sessionPart().log(), restartNote), 1);
        // The restarted engine gets the same download again, under the same id.
        QVERIFY(f->waitForRequests("download.start", 2));
        QCOMPARE(f->requestsOf("download.start")[1].params["jobId"].toString(), job->id());
        QVERIFY(f->waitForRequests("queue.save", 1));
        QVERIFY(!f->model->sessionPart().engineFailure());
        QCOMPARE(int(saved->state().kind), int(Job::State::Waiting));
        QVERIFY(!job->state().isFinished() || job->state() != Job::State::failed(stopped));
        QVERIFY(!StateFixture::errorLines(f->model->sessionPart().log())
                     .mid(errorsBefore)
                     .contains("http://q/current \u2014 " + stopped));
        // The next request proves the restart sent nothing more meanwhile.
        QCoro::waitFor(f->model->sessionPart().reloadSettings());
        const QStringList methods = f->methods();
        QCOMPARE(methods.count("hello"), 2);
        for (const LoggedRequest& save : f->requestsOf("queue.save")) {
            const QJsonArray items = save.params["items"].toArray();
            QCOMPARE(items.size(), 1);
            QCOMPARE(items[0].toObject()["url"].toString(), QString("http://q/saved"));
        }
        // The saved queue is not read again over the jobs in memory.
        QCOMPARE(methods.count("queue.load"), 1);
        QCOMPARE(f->model->queuePart().jobs().size(), size_t(1));

        // The restarted engine is live: its events reach jobs, and a new crash restarts it again.
        f->control("test.hold", {{"method", "download.start"}});
        const auto next = f->enqueue(QString("http://q/next"));
        QVERIFY(f->waitForRequests("download.start", 3));
        f->emitEvent("job.started", {{"jobId", next->id()},
                                     {"url", "x"},
                                     {"outputDir", "/tmp"},
                                     {"quality", "1080p"},
                                     {"container", "MP4"},
                                     {"audioOnly", false}});
        QTRY_COMPARE(int(next->state().kind), int(Job::State::Downloading));
        f->control("test.exit", {{"signal", 9}});
        QTRY_COMPARE(next->state(), Job::State::failed(stopped));
        QVERIFY(next->keptForResume());
        QVERIFY(f->waitForRequests("hello", 3));
        QTRY_COMPARE(countEndingWith(f->model->sessionPart().log(), restartNote), 2);
    }

    // The engine stops at each step of the first start (and, in one row, its restart dies too): the queue
    // the engine saved is loaded by the next start that gets an answer, and no save ever writes less.
    void theSavedQueueSurvivesAStopAtEveryStepOfTheStart_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("failStarts");
        QTest::addColumn<bool>("restarts"); // false: the start ends in failure and the user retries
        QTest::newRow("hello") << "hello"
                               << "" << false;
        QTest::newRow("i18n.table") << "i18n.table"
                                    << "" << true;
        QTest::newRow("settings.get") << "settings.get"
                                      << "" << true;
        QTest::newRow("options.allowed") << "options.allowed"
                                         << "" << true;
        QTest::newRow("library.list") << "library.list"
                                      << "" << true;
        QTest::newRow("search.status") << "search.status"
                                       << "" << true;
        QTest::newRow("queue.load") << "queue.load"
                                    << "" << true;
        QTest::newRow("queue.load, restart dies") << "queue.load"
                                                  << "2" << false;
    }
    void theSavedQueueSurvivesAStopAtEveryStepOfTheStart() {
        QFETCH(QString, step);
        QFETCH(QString, failStarts);
        QFETCH(bool, restarts);
        auto f = fixture(failStarts);
        f->startEngine();
        const QJsonArray rows{storedRow("http://q/one"), storedRow("http://q/two")};
        f->control("queue.save", {{"items", rows}});
        f->control("test.hold", {{"method", step}});
        auto boot = f->model->sessionPart().boot();
        QVERIFY(f->waitForRequests(step, 1));
        f->control("test.exit", {{"status", 1}});
        QCoro::waitFor(std::move(boot));
        if (restarts) {
            QTRY_VERIFY_WITH_TIMEOUT(
                f->model->queuePart().jobs().size() == 2 && !f->model->sessionPart().engineFailure(), 20000);
            // The restart saves the queue it loaded.
            QVERIFY(f->waitForRequests("queue.save", 2));
        } else {
            QTRY_VERIFY(f->model->sessionPart().engineFailure());
            QVERIFY(f->model->queuePart().jobs().empty());
            QCoro::waitFor(f->model->sessionPart().retryEngine());
            QVERIFY(!f->model->sessionPart().engineFailure());
        }
        QCOMPARE(f->model->queuePart().jobs().size(), size_t(2));
        QCOMPARE(f->model->queuePart().jobs()[0]->url(), QString("http://q/one"));
        QCOMPARE(int(f->model->queuePart().jobs()[1]->state().kind), int(Job::State::Waiting));

        // Whatever was saved meanwhile (the first save is the test's own) held both rows, and the
        // engine still has them.
        const auto saves = f->requestsOf("queue.save");
        for (const LoggedRequest& save : saves)
            QCOMPARE(save.params["items"].toArray().size(), 2);
        const QJsonValue stored = f->control("queue.load");
        QCOMPARE(stored["items"].toArray().size(), 2);
    }

    // While the first "queue.load" is unanswered a finished job asks for a save: it waits for the load,
    // then goes out once with the loaded rows, instead of writing an empty queue over them.
    void noSaveBeforeTheQueueIsLoaded() {
        StateFixture f;
        f.startEngine();
        f.control("queue.save", {{"items", QJsonArray{storedRow("http://q/one")}}});
        f.control("test.hold", {{"method", "queue.load"}});
        auto boot = f.model->sessionPart().boot();
        QVERIFY(f.waitForRequests("queue.load", 1));
        f.script("download.start",
                 {{"result", QJsonObject{{"jobId", "x"}, {"path", "/tmp/a.mp4"}, {"title", "A"}}}});
        const auto job = f.enqueue(QString("http://q/current"));
        QVERIFY(f.waitForRequests("download.start", 1));
        f.emitEvent("job.state", {{"jobId", job->id()}, {"state", "done"}, {"filename", "/tmp/a.mp4"}});
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Done));
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCOMPARE(f.requestsOf("queue.save").size(), 1); // the test's own

        f.control("test.release", {{"method", "queue.load"}});
        QCoro::waitFor(std::move(boot));
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(1));
        QVERIFY(f.waitForRequests("queue.save", 2));
        QCOMPARE(f.requestsOf("queue.save")[1].params["items"].toArray().size(), 1);
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCOMPARE(f.requestsOf("queue.save").size(), 2);
    }

    // A saved job is paused half-way, then the engine crashes: the paused job keeps its state and its
    // place in the saved queue, and after the restart it resumes where it stopped.
    void aPausedJobSurvivesACrashAndResumes() {
        MediaServerProcess server;
        QVERIFY(server.start());
        StateFixture f;
        bootWithSavedVideos(f, {server.heldVideo});
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(1));
        const auto job = f.model->queuePart().jobs()[0];
        f.model->queuePart().retry(job);
        QTRY_VERIFY_WITH_TIMEOUT(job->bytesDone() >= server.size / 2, 30000);
        QVERIFY(QCoro::waitFor(f.model->sessionPart().ping<EngineMethods::DownloadPause>({job->id()}, true)));
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Paused));

        f.control("test.exit", {{"status", 1}});
        QTRY_COMPARE(countEndingWith(f.model->sessionPart().log(), restartNote), 1);
        QVERIFY(f.waitForRequests("queue.save", 2));
        QVERIFY(!f.model->sessionPart().engineFailure());
        QCOMPARE(int(job->state().kind), int(Job::State::Paused));
        const QJsonArray items = f.requestsOf("queue.save").last().params["items"].toArray();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].toObject()["url"].toString(), server.heldVideo);

        QCOMPARE(server.command("open"), QString("opened"));
        f.model->queuePart().retry(job);
        QTRY_VERIFY_WITH_TIMEOUT(job->state().isFinished(), 30000);
        QCOMPARE(int(job->state().kind), int(Job::State::Done));
        QCOMPARE(QFileInfo(job->outputPath().value_or("")).size(), server.size);
        // The last fetch continued from the bytes kept on disk.
        const QStringList ranges = server.command("ranges").split(' ');
        QVERIFY2(ranges.size() >= 2 && ranges.last().startsWith("bytes=") && ranges.last() != "bytes=0-",
                 qPrintable(ranges.join(' ')));
        QVERIFY(server.finish());
    }

    // Ten jobs of a batch, three transferring (the engine's slots) and seven waiting for a slot, and the
    // engine stops: the seven go back to waiting and run again after the restart, the three fail with the
    // stop's text, and the restart's save keeps all ten (the three as paused). Quit and start again: the ten
    // are there, the three paused, and every one finishes, the interrupted ones from their bytes.
    void aStopKeepsTheWholeBatchThroughAQuit() {
        MediaServerProcess server;
        QVERIFY(server.start());
        const QString sha = server.command("sha256");
        const qint64 half = server.size / 2;
        StateFixture f;
        QStringList urls;
        for (int n = 0; n < 10; ++n)
            urls.append(server.heldVideo + "?n=" + QString::number(n));
        bootWithSavedVideos(f, urls);
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(10));
        const auto jobs = f.model->queuePart().jobs();
        const auto countOf = [&](auto pred) {
            return int(std::count_if(jobs.begin(), jobs.end(), [&](const auto& job) { return pred(*job); }));
        };
        const auto atHalf = [&](const Job& job) {
            return job.state().kind == Job::State::Downloading && job.bytesDone() >= half;
        };
        const auto queued = [](const Job& job) { return job.state().kind == Job::State::Queued; };
        f.model->queuePart().startWaiting();
        QTRY_VERIFY_WITH_TIMEOUT(countOf(atHalf) == 3 && countOf(queued) == 7, 30000);
        QSet<QString> transferring;
        for (const auto& job : jobs) {
            if (atHalf(*job))
                transferring.insert(job->id());
        }

        f.control("test.exit", {{"status", 1}});
        const QString stopped = EngineLaunchError::stopped().text();
        QTRY_COMPARE(countEndingWith(f.model->sessionPart().log(), restartNote), 1);
        QVERIFY(f.waitForRequests("hello", 2));
        for (const auto& job : jobs) {
            if (transferring.contains(job->id())) {
                QCOMPARE(job->state(), Job::State::failed(stopped));
                QVERIFY(job->keptForResume());
            }
        }
        // The seven run again: three transfer to the held half, four wait for a slot.
        const auto rerunAtHalf = [&](const Job& job) {
            return !transferring.contains(job.id()) && atHalf(job);
        };
        QTRY_VERIFY_WITH_TIMEOUT(countOf(rerunAtHalf) == 3 && countOf(queued) == 4, 30000);
        QCOMPARE(f.requestsOf("download.start").size(), 17);

        // The restart's save: the first after the second "hello", all ten, the three as paused.
        const QList<LoggedRequest> all = f.requests();
        int hellos = 0;
        QJsonArray restartSave;
        for (const LoggedRequest& r : all) {
            hellos += r.method == "hello";
            if (hellos == 2 && r.method == "queue.save") {
                restartSave = r.params["items"].toArray();
                break;
            }
        }
        QCOMPARE(restartSave.size(), 10);
        for (int n = 0; n < 10; ++n) {
            const QJsonObject row = restartSave[n].toObject();
            QCOMPARE(row["id"].toString(), jobs[n]->id());
            QCOMPARE(row["status"].toString(),
                     transferring.contains(jobs[n]->id()) ? QString("paused") : QString("waiting"));
        }

        // Quit and start again.
        relaunch(f);
        const auto back = f.model->queuePart().jobs();
        QCOMPARE(back.size(), size_t(10));
        for (int n = 0; n < 10; ++n) {
            QCOMPARE(back[n]->id(), jobs[n]->id());
            QCOMPARE(back[n]->url(), jobs[n]->url());
            QCOMPARE(int(back[n]->state().kind),
                     int(transferring.contains(jobs[n]->id()) ? Job::State::Paused : Job::State::Waiting));
        }
        QCOMPARE(server.command("open"), QString("opened"));
        f.model->queuePart().startWaiting();
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(back.begin(), back.end(), [](const auto& job) { return job->state().isFinished(); }),
            60000);
        for (const auto& job : back) {
            QCOMPARE(int(job->state().kind), int(Job::State::Done));
            QCOMPARE(sha256Of(job->outputPath().value_or("")), sha);
        }
        // Six downloads had half their bytes on disk (three stopped by the crash, three by the quit), and
        // each went on from there; no download started over.
        const QStringList ranges = server.command("ranges").split(' ');
        const QString resumed = "bytes=" + QString::number(half) + "-";
        QCOMPARE(ranges.count(resumed), 6);
        QCOMPARE(ranges.count(resumed) + ranges.count("-"), ranges.size());
        QVERIFY(server.finish());
        QVERIFY(QDir(f.path("out")).entryList({"*.part"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    // Paused half-way, then the engine and the application stop; both start again and the resumed job
    // continues from its bytes: exactly one Range request, and the file is the video, byte for byte.
    void aPausedDownloadResumesAcrossAQuit() {
        MediaServerProcess server;
        QVERIFY(server.start());
        StateFixture f;
        bootWithSavedVideos(f, {server.heldVideo}, "720p");
        const auto job = f.model->queuePart().jobs()[0];
        f.model->queuePart().startWaiting();
        QTRY_VERIFY_WITH_TIMEOUT(job->bytesDone() >= server.size / 2, 30000);
        f.model->queuePart().pause(job);
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Paused));
        QTRY_VERIFY(!f.model->queuePart().isSavingQueue());
        const QString id = job->id();

        relaunch(f);
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(1));
        const auto back = f.model->queuePart().jobs()[0];
        QCOMPARE(back->id(), id);
        QCOMPARE(int(back->state().kind), int(Job::State::Paused));
        QCOMPARE(back->format().quality, QString("720p"));
        QCOMPARE(server.command("open"), QString("opened"));
        f.model->queuePart().resume(back);
        QTRY_VERIFY_WITH_TIMEOUT(back->state().isFinished(), 30000);
        QCOMPARE(int(back->state().kind), int(Job::State::Done));
        QCOMPARE(sha256Of(back->outputPath().value_or("")), server.command("sha256"));
        const QStringList ranges = server.command("ranges").split(' ');
        QCOMPARE(ranges.size() - ranges.count("-"), 1);
        QCOMPARE(ranges.last(), "bytes=" + QString::number(server.size / 2) + "-");
        QVERIFY(server.finish());
    }

    // A job restored from the saved queue owns its partial file: cancelling, removing or clearing it asks
    // the engine to drop it, and the file goes. A restored job that never ran is cancelled there too.
    void aRestoredJobTakesItsPartialFileAlong_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("paused");
        for (const char* action : {"cancel", "remove", "clear"}) {
            QTest::addRow("%s paused", action) << QString(action) << true;
            QTest::addRow("%s waiting", action) << QString(action) << false;
        }
    }
    void aRestoredJobTakesItsPartialFileAlong() {
        QFETCH(QString, action);
        QFETCH(bool, paused);
        MediaServerProcess server;
        QVERIFY(server.start());
        StateFixture f;
        bootWithSavedVideos(f, {server.heldVideo});
        if (paused) {
            const auto job = f.model->queuePart().jobs()[0];
            f.model->queuePart().startWaiting();
            QTRY_VERIFY_WITH_TIMEOUT(job->bytesDone() >= server.size / 2, 30000);
            f.model->queuePart().pause(job);
            QTRY_COMPARE(int(job->state().kind), int(Job::State::Paused));
            QTRY_VERIFY(!f.model->queuePart().isSavingQueue());
        }
        const QStringList parts = QDir(f.path("out")).entryList({"*.part"}, QDir::Files);
        QCOMPARE(parts.size(), paused ? 1 : 0);

        relaunch(f);
        const auto job = f.model->queuePart().jobs()[0];
        QVERIFY(job->restored());
        if (action == "cancel")
            f.model->queuePart().cancel(job);
        else if (action == "remove")
            f.model->queuePart().remove(job);
        else
            f.model->queuePart().clearQueue();
        QVERIFY(f.waitForRequests("download.cancel", 1));
        QCOMPARE(f.requestsOf("download.cancel")[0].params["jobId"].toString(), job->id());
        QTRY_VERIFY(QDir(f.path("out")).entryList({"*.part"}, QDir::Files).isEmpty());
        QTRY_VERIFY(!f.model->queuePart().isSavingQueue());
        QCOMPARE(f.control("queue.load")["items"].toArray().size(), 0);
        QVERIFY(server.finish());
    }

    // A download that failed writing (a full disk) keeps its place in the saved queue, as paused, and comes
    // back paused with its id after a quit.
    void aFailedWriteStaysInTheSavedQueue() {
        StateFixture f;
        f.startEngine();
        f.control("queue.save",
                  {{"items", QJsonArray{storedRow("http://q/big"), storedRow("http://q/other")}}});
        f.boot();
        const auto job = f.model->queuePart().jobs()[0];
        f.scriptError("download.start", 1003, "The file could not be written: No space left on device.",
                      "io");
        f.model->queuePart().resume(job);
        QTRY_COMPARE(job->state(),
                     Job::State::failed("The file could not be written: No space left on device."));
        QVERIFY(job->keptForResume());
        QVERIFY(f.waitForRequests("queue.save", 2));
        QTRY_VERIFY(!f.model->queuePart().isSavingQueue());
        const QJsonArray items = f.requestsOf("queue.save").last().params["items"].toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].toObject()["status"].toString(), QString("paused"));
        QCOMPARE(items[0].toObject()["id"].toString(), job->id());
        QCOMPARE(items[1].toObject()["status"].toString(), QString("waiting"));

        relaunch(f);
        QCOMPARE(f.model->queuePart().jobs().size(), size_t(2));
        QCOMPARE(f.model->queuePart().jobs()[0]->id(), job->id());
        QCOMPARE(int(f.model->queuePart().jobs()[0]->state().kind), int(Job::State::Paused));
        QCOMPARE(int(f.model->queuePart().jobs()[1]->state().kind), int(Job::State::Waiting));
    }

    // The restart itself dies before "hello": no second restart, the failure is shown and logged once.
    void aCrashDuringTheRestartEndsInFailure() {
        auto f = fixture("2");
        const auto job = bootWithDownload(*f);
        const int errorsBefore = StateFixture::errorLines(f->model->sessionPart().log()).size();
        f->control("test.exit", {{"status", 1}});
        QTRY_VERIFY(f->model->sessionPart().engineFailure());
        const QString stopped = EngineLaunchError::stopped().text();
        QCOMPARE(*f->model->sessionPart().engineFailure(), stopped);
        QCOMPARE(int(job->state().kind), int(Job::State::Waiting));
        QTest::qWait(300);
        QCOMPARE(countEndingWith(f->model->sessionPart().log(), restartNote), 1);
        QCOMPARE(f->methods().count("hello"), 1);
        QVERIFY(!f->methods().contains("queue.save"));
        // The download had not begun: it waits, and only the failed restart is an error.
        const QStringList errors = StateFixture::errorLines(f->model->sessionPart().log()).mid(errorsBefore);
        QCOMPARE(errors, QStringList({stopped}));
        QCOMPARE(f->model->sessionPart().lastError()->message, stopped);

        // The user's retry with a working engine: the failure goes, the waiting download runs again.
        f->startEngine();
        f->control("test.hold", {{"method", "download.start"}});
        QCoro::waitFor(f->model->sessionPart().retryEngine());
        QVERIFY(!f->model->sessionPart().engineFailure());
        QCOMPARE(f->methods().count("hello"), 2);
        QVERIFY(f->waitForRequests("download.start", 2));
        QCOMPARE(f->requestsOf("download.start")[1].params["jobId"].toString(), job->id());
        QCOMPARE(f->methods().count("update.check"), 1);
        QCOMPARE(f->methods().count("queue.load"), 1);
    }

    void aFailingRetryShowsTheNewError() {
        auto f = fixture("2 3");
        bootWithDownload(*f);
        f->control("test.exit", {{"status", 1}});
        QTRY_VERIFY(f->model->sessionPart().engineFailure());
        const int errorsBefore = StateFixture::errorLines(f->model->sessionPart().log()).size();
        QCoro::waitFor(f->model->sessionPart().retryEngine());
        QCOMPARE(f->model->sessionPart().engineFailure().value_or(""), EngineLaunchError::stopped().text());
        QCOMPARE(StateFixture::errorLines(f->model->sessionPart().log()).size(), errorsBefore + 1);
        QCOMPARE(f->methods().count("hello"), 1);
        // The next retry works.
        QCoro::waitFor(f->model->sessionPart().retryEngine());
        QVERIFY(!f->model->sessionPart().engineFailure());
        QCOMPARE(f->methods().count("hello"), 2);
    }

    // Exit status 2: another copy holds the support folder. No restart, whatever happened before.
    void aBusyStopIsNotRestarted() {
        auto f = fixture("");
        const auto job = bootWithDownload(*f);
        f->control("test.exit", {{"status", 2}});
        const QString busy = EngineLaunchError::supportBusy().text();
        QTRY_COMPARE(f->model->sessionPart().engineFailure().value_or(""), busy);
        QCOMPARE(int(job->state().kind), int(Job::State::Waiting)); // it had not begun: it waits
        QCOMPARE(int(f->model->queuePart().jobs()[0]->state().kind), int(Job::State::Waiting));
        QTest::qWait(300);
        QCOMPARE(f->methods().count("hello"), 1);
        QCOMPARE(countEndingWith(f->model->sessionPart().log(), restartNote), 0);
        QCOMPARE(f->model->sessionPart().lastError()->message, busy);
    }

    // A stop before any session was live changes nothing here: the start reports its own failure.
    void aStopBeforeHelloIsTheStartsFailure() {
        auto f = fixture("1");
        f->boot();
        QCOMPARE(f->model->sessionPart().engineFailure().value_or(""), EngineLaunchError::stopped().text());
        QTest::qWait(200);
        QCOMPARE(countEndingWith(f->model->sessionPart().log(), restartNote), 0);
        QCOMPARE(StateFixture::errorLines(f->model->sessionPart().log()).size(), 1);
        QCoro::waitFor(f->model->sessionPart().retryEngine());
        QVERIFY(!f->model->sessionPart().engineFailure());
        QCOMPARE(f->methods().count("queue.load"), 1);
    }
};

QTEST_GUILESS_MAIN(TestRestart)
#include "tst_restart.moc"
