// The single download: how its run ends, what it asks the engine, the save panel, notifications.
#include "Composition.h"
#include "DownloadQueue.h"
#include "StateFixture.h"

#include "EngineLaunchError.h"
#include "Library.h"
#include "Notifications.h"
#include "Strings.h"

#include <QSignalSpy>

namespace {
const QString address = QStringLiteral("http://127.0.0.1:9/watch/clip");
const QString dash = QStringLiteral(" \u2014 ");

QJsonObject engineError(int code, const QString& message, const QString& detail = {}) {
    QJsonObject error{{"code", code}, {"message", message}};
    if (!detail.isNull())
        error.insert("detail", detail);
    return {{"error", error}};
}
QJsonObject downloaded(const QString& path, const QString& title) {
    return {{"result", QJsonObject{{"jobId", "ignored"}, {"path", path}, {"title", title}}}};
}
QJsonObject progress(const QString& jobId, double fraction) {
    return {{"jobId", jobId}, {"downloaded", qint64(fraction * 100)},
            {"total", 100},   {"fraction", fraction},
            {"speed", 1},     {"eta", 9},
            {"fragment", 0},  {"fragmentCount", 0}};
}
QJsonObject analysis(const QString& url, const QString& title) {
    return {{"result", QJsonObject{{"url", url},
                                   {"availableQualities", QJsonArray{"1080p"}},
                                   {"probed", true},
                                   {"isListing", false},
                                   {"listingKind", ""},
                                   {"title", title},
                                   {"thumbnail", "http://127.0.0.1:9/t.jpg"}}}};
}
} // namespace

class TestDownload : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Strings::reset();
        Notifications::reset();
    }

    // How "download.start" ends decides the job's state, its title, the log and the library.
    void outcome_data() {
        QTest::addColumn<QJsonObject>("answer"); // empty: the engine dies while the download runs
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message"); // failure text; a key in braces is looked up
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QStringList>("details");
        QTest::addColumn<bool>("reloaded");

        QTest::newRow("reply") << downloaded("/tmp/out/Engine title.mp4", "Engine title")
                               << int(Job::State::Done) << ""
                               << "Engine title" << QStringList() << QStringList() << true;
        QTest::newRow("reply without title") << downloaded("/tmp/out/x.mp4", "") << int(Job::State::Done)
                                             << "" << address << QStringList() << QStringList() << true;
        QTest::newRow("cancelled") << engineError(1001, "Cancelled") << int(Job::State::Cancelled) << ""
                                   << address << QStringList() << QStringList() << false;
        QTest::newRow("paused, cancel code")
            << engineError(1001, "Paused", "paused") << int(Job::State::Paused) << "" << address
            << QStringList() << QStringList() << false;
        QTest::newRow("paused, other code")
            << engineError(4, "Stopped here", "paused") << int(Job::State::Paused) << "" << address
            << QStringList{address + dash + "Stopped here"} << QStringList{"paused"} << false;
        QTest::newRow("listing") << engineError(3, "A playlist", "listing: 12 entries")
                                 << int(Job::State::Failed) << "{status_listing_url}" << address
                                 << QStringList{address + dash + "{status_listing_url}"}
                                 << QStringList{"listing: 12 entries"} << false;
        QTest::newRow("listing, cancel code")
            << engineError(1001, "A playlist", "listing") << int(Job::State::Cancelled) << "" << address
            << QStringList() << QStringList() << false;
        QTest::newRow("multi-line detail")
            << engineError(7, "Server said no", "HTTP 403\nForbidden\n\nretry later")
            << int(Job::State::Failed) << "Server said no" << address
            << QStringList{address + dash + "Server said no"}
            << QStringList{"HTTP 403", "Forbidden", "retry later"} << false;
        // A reply without a result is the engine link's empty-reply error, with the method as its detail;
        // a result that does not decode is any other error: its text, and no engine detail line.
        QTest::newRow("no result") << QJsonObject{{"reply", QJsonObject()}} << int(Job::State::Failed)
                                   << "Réponse vide du moteur." << address
                                   << QStringList{address + dash + "Réponse vide du moteur."}
                                   << QStringList{"download.start"} << false;
        QTest::newRow("null result") << QJsonObject{{"result", QJsonValue::Null}} << int(Job::State::Failed)
                                     << "null" << address << QStringList{address + dash + "null"}
                                     << QStringList() << false;
        QTest::newRow("result of the wrong shape")
            << QJsonObject{{"result", QJsonObject{{"jobId", "x"}, {"title", "t"}}}} << int(Job::State::Failed)
            << "path: missing" << address << QStringList{address + dash + "path: missing"} << QStringList()
            << false;
        QTest::newRow("engine dies") << QJsonObject() << int(Job::State::Failed) << "{stopped}" << address
                                     << QStringList{address + dash + "{stopped}"} << QStringList() << false;
    }
    void outcome() {
        QFETCH(QJsonObject, answer);
        QFETCH(int, kind);
        QFETCH(QString, message);
        QFETCH(QString, title);
        QFETCH(QStringList, errors);
        QFETCH(QStringList, details);
        QFETCH(bool, reloaded);
        StateFixture f;
        f.boot();
        const auto expand = [](QString text) {
            text.replace("{status_listing_url}", Strings::text("status_listing_url"));
            text.replace("{stopped}", EngineLaunchError::stopped().text());
            return text;
        };
        if (answer.isEmpty())
            f.control("test.hold", {{"method", "download.start"}});
        else
            f.scriptDownloads(answer);
        const qsizetype listsBefore = f.requestsOf("library.list").size();
        const QStringList logBefore = f.model->sessionPart().log();

        const auto job = f.enqueue(address);
        QVERIFY(job);
        QCOMPARE(f.model->queuePart().currentDownload(), job);
        if (answer.isEmpty()) {
            // The engine dies while the download transfers (one that had not begun would run again).
            QVERIFY(f.waitForRequests("download.start", 1));
            QTRY_COMPARE(int(job->state().kind), int(Job::State::Analyzing));
            f.emitEvent("job.started", {{"jobId", job->id()},
                                        {"url", address},
                                        {"outputDir", "/tmp"},
                                        {"quality", "1080p"},
                                        {"container", "MP4"},
                                        {"audioOnly", false}});
            QTRY_COMPARE(int(job->state().kind), int(Job::State::Downloading));
            f.control("test.exit", {{"status", 1}});
        }
        QTRY_COMPARE_WITH_TIMEOUT(int(job->state().kind), kind, 10000);
        if (kind == Job::State::Failed)
            QCOMPARE(job->state().message, expand(message));
        QCOMPARE(job->title(), title);
        if (kind == Job::State::Done) {
            QCOMPARE(job->fraction(), 1.0);
            QCOMPARE(job->outputPath().value_or(""), answer["result"].toObject()["path"].toString());
            QTRY_COMPARE(f.requestsOf("library.list").size(), listsBefore + 1);
        }

        QStringList expectedErrors;
        for (const QString& e : errors)
            expectedErrors << expand(e);
        QTRY_COMPARE(StateFixture::errorLines(f.model->sessionPart().log()), expectedErrors);
        QCOMPARE(StateFixture::detailLines(f.model->sessionPart().log()), details);
        QCOMPARE(bool(f.model->sessionPart().lastError()), !errors.isEmpty());
        if (!reloaded)
            QCOMPARE(f.requestsOf("library.list").size(), listsBefore);
    }

    // Every key of "download.start", with the settings' folder or the one chosen in the save panel.
    void requestKeys_data() {
        QTest::addColumn<bool>("askWhere");
        QTest::newRow("settings folder") << false;
        QTest::newRow("chosen place") << true;
    }
    void requestKeys() {
        QFETCH(bool, askWhere);
        StateFixture f;
        f.startEngine();
        f.scriptSettings(
            {{"outputDir", "/tmp/vamber-out"}, {"forceGeneric", true}, {"askWhereToSave", askWhere}});
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        FormatChoice format = f.model->compositionPart().format();
        format.quality = "720p";
        format.container = "MKV";
        format.audioOnly = false;
        format.videoCodec = "H.264";
        format.subtitleMode = "embed";
        format.saveThumbnail = true;
        format.embedCover = true;
        f.model->compositionPart().setFormat(format);
        f.fakes.fileDialogs.saveAnswer = "/tmp/chosen place/My clip.mkv";
        f.model->compositionPart().setPastedText("  " + address + "\n");

        const auto job = f.enqueue(std::nullopt, true);
        QVERIFY(job);
        QVERIFY(f.waitForRequests("download.start", 1));
        const auto cookies = QCoro::waitFor(f.model->sessionPart().cookieParams(address));
        const QJsonObject expected{{"url", address},
                                   {"quality", "720p"},
                                   {"container", "MKV"},
                                   {"audioOnly", false},
                                   {"videoCodec", "H.264"},
                                   {"subtitleMode", "embed"},
                                   {"saveThumbnail", true},
                                   {"embedCover", true},
                                   {"outputDir", askWhere ? "/tmp/chosen place" : "/tmp/vamber-out"},
                                   {"singleVideo", true},
                                   {"allowListing", false},
                                   {"jobId", job->id()},
                                   {"cookieSource", cookies.source},
                                   {"cookiesFile", cookies.file},
                                   {"forceGeneric", true},
                                   {"fileName", askWhere ? "My clip" : ""}};
        const LoggedRequest sent = f.requestsOf("download.start").first();
        QCOMPARE(sent.params, expected);
        QCOMPARE(sent.params.size(), 16);
        QCOMPARE(f.fakes.fileDialogs.calls.size(), askWhere ? 1 : 0);
        QCOMPARE(job->id(), job->id().toUpper());
        QCOMPARE(job->id().size(), 36);
        // The composition is emptied once the download started.
        QCOMPARE(f.model->compositionPart().pastedText(), QString());
    }

    // The name the save panel proposes, and the stem taken from the name chosen in it.
    void savePanel_data() {
        QTest::addColumn<QString>("title"); // analysis title; empty: no analysis of this address
        QTest::addColumn<bool>("audioOnly");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("answer"); // the path chosen in the panel; empty: cancelled
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("stem");

        QTest::newRow("known extension dropped") << "Talk.MP4" << false << "MKV"
                                                 << "Talk.mkv"
                                                 << "/tmp/a/Talk.mkv"
                                                 << "/tmp/a"
                                                 << "Talk";
        QTest::newRow("slash and trailing media extension") << "A/B ends.webm" << false << "MP4"
                                                            << "A-B ends.mp4"
                                                            << "/tmp/a/A-B ends.mp4"
                                                            << "/tmp/a"
                                                            << "A-B ends";
        QTest::newRow("unknown extension kept") << "Version 1.2" << false << "WebM"
                                                << "Version 1.2.webm"
                                                << "/tmp/a/notes.txt"
                                                << "/tmp/a"
                                                << "notes.txt";
        QTest::newRow("audio only gives mp3") << "Song" << true << "MP4"
                                              << "Song.mp3"
                                              << "/tmp/b/Song.MP3"
                                              << "/tmp/b"
                                              << "Song";
        QTest::newRow("no analysis, no proposal") << "" << false << "MP4"
                                                  << ""
                                                  << "/tmp/c/x.flac"
                                                  << "/tmp/c"
                                                  << "x";
        QTest::newRow("cancelled") << "Talk" << false << "MP4"
                                   << "Talk.mp4"
                                   << ""
                                   << ""
                                   << "";
        QTest::newRow("blank name") << "Talk" << false << "MP4"
                                    << "Talk.mp4"
                                    << "/tmp/a/   "
                                    << ""
                                    << "";
        QTest::newRow("name is only an extension") << "Talk" << false << "MP4"
                                                   << "Talk.mp4"
                                                   << "/tmp/a/.mp4"
                                                   << ""
                                                   << "";
    }
    void savePanel() {
        QFETCH(QString, title);
        QFETCH(bool, audioOnly);
        QFETCH(QString, container);
        QFETCH(QString, proposed);
        QFETCH(QString, answer);
        QFETCH(QString, folder);
        QFETCH(QString, stem);
        StateFixture f;
        f.startEngine();
        f.scriptSettings({{"outputDir", "/tmp/vamber-out"}, {"askWhereToSave", true}});
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        FormatChoice format = f.model->compositionPart().format();
        format.audioOnly = audioOnly;
        format.container = container;
        f.model->compositionPart().setFormat(format);
        f.model->compositionPart().setPastedText(address);
        if (!title.isEmpty()) {
            f.script("analyze", analysis(address, title));
            QCoro::waitFor(f.model->compositionPart().analyzeCurrent());
            QVERIFY(f.model->compositionPart().analysis());
        }
        if (!answer.isEmpty())
            f.fakes.fileDialogs.saveAnswer = answer;
        const auto errorBefore = f.model->sessionPart().lastError();

        const auto job = f.enqueue(std::nullopt, true);
        QCOMPARE(f.fakes.fileDialogs.calls.size(), 1);
        const auto call = f.fakes.fileDialogs.calls.first();
        QCOMPARE(int(call.kind), int(FakeFileDialogs::Call::Save));
        QCOMPARE(call.proposedName, proposed);
        QCOMPARE(call.startFolder, QString("/tmp/vamber-out"));
        QCOMPARE(call.message, Strings::text("v2_save_panel_message"));
        if (stem.isEmpty()) {
            // Nothing is enqueued and the composition stays.
            QVERIFY(!job);
            QVERIFY(!f.model->queuePart().currentDownload());
            QCOMPARE(f.model->compositionPart().pastedText(), address);
            QCOMPARE(bool(f.model->compositionPart().analysis()), !title.isEmpty());
            QTest::qWait(50);
            QVERIFY(f.requestsOf("download.start").isEmpty());
            return;
        }
        QVERIFY(job);
        QCOMPARE(job->destination().value_or("-"), folder);
        QCOMPARE(job->fileName().value_or("-"), stem);
        if (!title.isEmpty()) {
            QCOMPARE(job->title(), title);
            QCOMPARE(job->thumbnailURL().value_or(""), QString("http://127.0.0.1:9/t.jpg"));
        }
        QVERIFY(f.waitForRequests("download.start", 1));
        QCOMPARE(f.requestsOf("download.start").first().params["fileName"].toString(), stem);
    }

    // App intents and other non-interactive callers never see the panel; an analysis of another
    // address gives neither title nor thumbnail; a blank address enqueues nothing.
    void enqueueWithoutPanel() {
        StateFixture f;
        f.startEngine();
        f.scriptSettings({{"askWhereToSave", true}});
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        f.model->compositionPart().setPastedText("   \n");
        QVERIFY(!f.enqueue(std::nullopt, true));
        QVERIFY(f.fakes.fileDialogs.calls.isEmpty());

        f.script("analyze", analysis("http://127.0.0.1:9/other", "Other"));
        f.model->compositionPart().setPastedText("http://127.0.0.1:9/other");
        QCoro::waitFor(f.model->compositionPart().analyzeCurrent());
        const auto job = f.enqueue(address, false);
        QVERIFY(job);
        QVERIFY(f.fakes.fileDialogs.calls.isEmpty());
        QCOMPARE(job->title(), address);
        QVERIFY(!job->thumbnailURL());
        QVERIFY(!job->destination());
    }

    // A new download replaces the shown one without stopping it; the old one moves to the front of the
    // queue, where its events still reach it.
    void aNewDownloadReplacesTheShownOne() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        const auto first = f.enqueue(address);
        QVERIFY(f.waitForRequests("download.start", 1));
        const auto second = f.enqueue(address + "/2");
        QVERIFY(f.waitForRequests("download.start", 2));
        QCOMPARE(f.model->queuePart().currentDownload(), second);
        QVERIFY(f.requestsOf("download.cancel").isEmpty());
        f.emitEvent("job.started", {{"jobId", first->id()},
                                    {"url", address},
                                    {"outputDir", "/tmp"},
                                    {"quality", "1080p"},
                                    {"container", "MP4"},
                                    {"audioOnly", false}});
        f.emitEvent("job.started", {{"jobId", second->id()},
                                    {"url", address},
                                    {"outputDir", "/tmp"},
                                    {"quality", "1080p"},
                                    {"container", "MP4"},
                                    {"audioOnly", false}});
        QTRY_COMPARE(int(second->state().kind), int(Job::State::Downloading));
        QTRY_COMPARE(int(first->state().kind), int(Job::State::Downloading));
        QCOMPARE(f.model->queuePart().jobs().front(), first);
    }

    // The finished current download is announced only from the background, and only when allowed.
    void doneNotification_data() {
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("allow");
        QTest::addColumn<bool>("posted");
        QTest::newRow("in front") << true << true << false;
        QTest::newRow("background") << false << true << true;
        QTest::newRow("background, refused") << false << false << false;
    }
    void doneNotification() {
        QFETCH(bool, active);
        QFETCH(bool, allow);
        QFETCH(bool, posted);
        StateFixture f;
        f.fakes.notifier.allow = allow;
        f.fakes.activity.setActive(active);
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        const auto job = f.enqueue(address);
        QVERIFY(f.waitForRequests("download.start", 1));
        QTRY_VERIFY(Notifications::asked());
        QCOMPARE(f.fakes.notifier.authorizationRequests, 1);
        // The answer comes on a later turn; a download finishing before it would rightly post nothing.
        QTRY_COMPARE(Notifications::granted(), allow);
        f.script("download.start", downloaded("/tmp/x.mp4", "Finished title"));
        QSignalSpy libraryChanges(&f.model->libraryPart(), &Library::libraryChanged);
        f.control("test.release", {{"method", "download.start"}});
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Done));
        // The announcement follows the library reload a finished download starts: the list is
        // emptied, then its first page arrives.
        QTRY_VERIFY(libraryChanges.count() >= 2);
        QCOMPARE(f.fakes.notifier.added.size(), posted ? 1 : 0);
        if (posted) {
            QCOMPARE(f.fakes.notifier.added[0].title, Strings::text("notify_download_done"));
            QCOMPARE(f.fakes.notifier.added[0].body.value_or(""), QString("Finished title"));
        }
        // Permission is asked once per run, not once per download.
        f.scriptDownloads(engineError(1001, "Cancelled"));
        const auto again = f.enqueue(address);
        QTRY_COMPARE(int(again->state().kind), int(Job::State::Cancelled));
        QCOMPARE(f.fakes.notifier.authorizationRequests, 1);
        QCOMPARE(f.fakes.notifier.added.size(), posted ? 1 : 0);
    }

    // While the job's "download.start" is open a retry changes nothing: no second request, and the
    // running download keeps its state and its progress.
    void retryWhileTheRequestIsOpenDoesNothing() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        const auto job = f.enqueue(address);
        QVERIFY(f.waitForRequests("download.start", 1));
        f.emitEvent("job.progress", progress(job->id(), 0.1));
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Downloading));
        f.model->queuePart().retry(job);
        f.model->queuePart().retry(job);
        QCOMPARE(int(job->state().kind), int(Job::State::Downloading));
        QCOMPARE(job->fraction(), 0.1);
        // Two round trips later any second request would be in the engine's log before the last one.
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCOMPARE(f.requestsOf("download.start").size(), 1);
        f.emitEvent("job.progress", progress(job->id(), 0.5));
        QTRY_COMPARE(job->fraction(), 0.5);
        f.script("download.start", downloaded("/tmp/out/a.mp4", "A"));
        f.control("test.release", {{"method", "download.start"}});
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Done));
        QVERIFY(StateFixture::errorLines(f.model->sessionPart().log()).isEmpty());
        // Once the request has ended, a retry runs the job again.
        f.script("download.start", downloaded("/tmp/out/a.mp4", "A"));
        f.model->queuePart().retry(job);
        QVERIFY(f.waitForRequests("download.start", 2));
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Done));
    }

    // Without a file dialog service, "ask where to save" cannot ask: the download goes to the output
    // folder and the log says so, rather than being dropped.
    void askWhereToSaveWithoutAFileDialog() {
        StateFixture f;
        Services services = f.fakes.services();
        services.fileDialogs = nullptr;
        f.model = std::make_unique<AppModel>(services, f.locations());
        f.startEngine();
        f.scriptSettings({{"askWhereToSave", true}, {"outputDir", "/tmp/vamber-out"}});
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        const auto job = f.enqueue(address, true);
        QVERIFY(job);
        QVERIFY(!job->destination());
        QVERIFY(f.waitForRequests("download.start", 1));
        QCOMPARE(f.requestsOf("download.start")[0].params["outputDir"].toString(),
                 QString("/tmp/vamber-out"));
        const QString note = Strings::text("v2_save_panel_unavailable", {{"folder", "/tmp/vamber-out"}});
        QVERIFY(note.contains("/tmp/vamber-out"));
        QVERIFY(f.model->sessionPart().log().last().endsWith(note));
    }

    // A permission request queued by a model that is gone before it runs never reaches that model's
    // notifier.
    void permissionIsNotAskedOfAGoneModelsNotifier() {
        FakeServices fakes;
        auto model = std::make_unique<AppModel>(fakes.services(), EngineLocations());
        Notifications::requestPermission();
        QVERIFY(Notifications::asked());
        model.reset();
        bool later = false;
        QMetaObject::invokeMethod(
            qApp, [&] { later = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(later);
        QCOMPARE(fakes.notifier.authorizationRequests, 0);
    }

    // Retrying runs the same job again with its id, from queued and fraction 0.
    void retryRunsTheJobAgain() {
        StateFixture f;
        f.boot();
        f.script("download.start", engineError(9, "Flaky"));
        const auto job = f.enqueue(address);
        QTRY_COMPARE(job->state(), Job::State::failed("Flaky"));
        f.control("test.hold", {{"method", "download.start"}});
        f.model->queuePart().retry(job);
        QCOMPARE(int(job->state().kind), int(Job::State::Queued));
        QCOMPARE(job->fraction(), 0.0);
        QVERIFY(f.waitForRequests("download.start", 2));
        QCOMPARE(f.requestsOf("download.start")[1].params["jobId"].toString(), job->id());
        QCOMPARE(f.model->queuePart().currentDownload(), job);
        QVERIFY(f.model->queuePart().jobs().empty());
    }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
