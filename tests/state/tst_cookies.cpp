#include "DownloadQueue.h"
#include "StateFixture.h"

#include "BrowserSession.h"
#include "Prompts.h"
#include "Strings.h"

class TestCookies : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void hosts_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("host");
        QTest::newRow("plain") << "https://Video.Example.ORG/a?b"
                               << "video.example.org";
        QTest::newRow("blanks around") << "  https://A.example/x \n"
                                       << "a.example";
        QTest::newRow("no host") << "not a link"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void hosts() {
        QFETCH(QString, address);
        QFETCH(QString, host);
        QCOMPARE(Session::host(address), host);
    }

    // source: the cookie source in the settings ("" means no settings yet); handedOver: the host was sent
    // from the built-in browser; exported: the browser has cookies for it.
    void cookiePairs_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("handedOver");
        QTest::addColumn<bool>("exported");
        QTest::addColumn<QString>("expectedSource");
        QTest::addColumn<QString>("expectedFile");
        QTest::addColumn<bool>("exportAsked");
        const QString url = "https://v.example/watch";
        QTest::newRow("no settings") << "" << url << false << false << "None"
                                     << "" << false;
        QTest::newRow("None") << "None" << url << false << true << "None"
                              << "/user/cookies.txt" << false;
        QTest::newRow("named source") << "Firefox" << url << false << true << "Firefox"
                                      << "/user/cookies.txt" << false;
        QTest::newRow("built-in with a file") << "Built-in Browser" << url << false << true << "None"
                                              << "/tmp/exported.txt" << true;
        QTest::newRow("built-in without cookies") << "Built-in Browser" << url << false << false << "None"
                                                  << "" << true;
        QTest::newRow("built-in, no host") << "Built-in Browser"
                                           << "nothing" << false << true << "Built-in Browser"
                                           << "/user/cookies.txt" << false;
        QTest::newRow("handed over with cookies") << "Firefox" << url << true << true << "None"
                                                  << "/tmp/exported.txt" << true;
        QTest::newRow("handed over without cookies") << "Firefox" << url << true << false << "Firefox"
                                                     << "/user/cookies.txt" << true;
    }
    void cookiePairs() {
        QFETCH(QString, source);
        QFETCH(QString, address);
        QFETCH(bool, handedOver);
        QFETCH(bool, exported);
        QFETCH(QString, expectedSource);
        QFETCH(QString, expectedFile);
        QFETCH(bool, exportAsked);
        StateFixture f;
        if (!source.isEmpty()) {
            f.startEngine();
            f.scriptSettings({{"cookieSource", source}, {"cookiesFile", "/user/cookies.txt"}});
            f.boot();
            QCOMPARE(f.model->sessionPart().settings()->cookieSource, source);
        }
        if (exported)
            f.fakes.browserCookies.filesByHost.insert("v.example", "/tmp/exported.txt");
        if (handedOver)
            f.model->sessionPart().noteBrowserSession("  HTTPS://V.EXAMPLE/other ");
        const auto pair = QCoro::waitFor(f.model->sessionPart().cookieParams(address));
        QCOMPARE(pair.source, expectedSource);
        QCOMPARE(pair.file, expectedFile);
        QCOMPARE(!f.fakes.browserCookies.exportedFor.isEmpty(), exportAsked);
        if (exportAsked)
            QCOMPARE(f.fakes.browserCookies.exportedFor.first(), address); // the full address, not the host
    }

    // The export suspends like the browser's cookie jar; the settings may change meanwhile, and the pair
    // follows them as they are once the export is done. The built-in browser is never named to the engine.
    void settingsChangeDuringTheExport_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("handedOver");
        QTest::addColumn<bool>("exported");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("expectedSource");
        QTest::addColumn<QString>("expectedFile");
        const QString builtIn = "Built-in Browser";
        QTest::newRow("built-in, then None, no cookies") << builtIn << false << false << "None"
                                                         << "None"
                                                         << "/user/cookies.txt";
        QTest::newRow("built-in, then None, cookies") << builtIn << false << true << "None"
                                                      << "None"
                                                      << "/tmp/exported.txt";
        QTest::newRow("None handed over, then built-in") << "None" << true << false << builtIn << "None"
                                                         << "";
    }
    void settingsChangeDuringTheExport() {
        QFETCH(QString, before);
        QFETCH(bool, handedOver);
        QFETCH(bool, exported);
        QFETCH(QString, after);
        QFETCH(QString, expectedSource);
        QFETCH(QString, expectedFile);
        StateFixture f;
        f.startEngine();
        f.control("settings.setCookieSource", {{"browser", before}, {"file", "/user/cookies.txt"}});
        f.boot();
        if (exported)
            f.fakes.browserCookies.filesByHost.insert("v.example", "/tmp/exported.txt");
        if (handedOver)
            f.model->sessionPart().noteBrowserSession("https://v.example/");
        f.fakes.browserCookies.holdExports = true;
        std::optional<Session::CookiePair> pair;
        auto ask = [&]() -> QCoro::Task<void> {
            pair = co_await f.model->sessionPart().cookieParams("https://v.example/w");
        };
        auto task = ask();
        QTRY_COMPARE(f.fakes.browserCookies.exportedFor.size(), qsizetype(1));
        f.control("settings.setCookieSource", {{"browser", after}, {"file", "/user/cookies.txt"}});
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCOMPARE(f.model->sessionPart().settings()->cookieSource, after);
        QVERIFY(!pair);
        f.fakes.browserCookies.release();
        QTRY_VERIFY(pair);
        QCOMPARE(*pair, (Session::CookiePair{expectedSource, expectedFile}));
    }

    // The state object goes while a download's cookies are being exported: the run ends quietly, and
    // nothing is sent.
    void theModelGoesDuringTheExport() {
        StateFixture f;
        f.startEngine();
        f.control("settings.setCookieSource", {{"browser", "Built-in Browser"}, {"file", ""}});
        f.boot();
        f.fakes.browserCookies.holdExports = true;
        const auto job = f.enqueue(QString("https://v.example/w"));
        QVERIFY(job);
        QTRY_COMPARE(f.fakes.browserCookies.exportedFor.size(), qsizetype(1));
        QVERIFY(job->requestOpen());
        QCoro::waitFor(f.model->engine().stop());
        f.model.reset();
        f.fakes.browserCookies.release();
        QTRY_COMPARE(f.fakes.browserCookies.finishedExports, 1);
        QTRY_VERIFY(!job->requestOpen());
        QCOMPARE(int(job->state().kind), int(Job::State::Analyzing));
        QCOMPARE(f.requestsOf("download.start").size(), 0);
    }

    // Cancel, Remove or Clear Queue while the cookies of a batch job are still being exported: its
    // "download.start" never goes out, and the job is cancelled (or gone) at once.
    void aCancelDuringTheExportIsHonoured_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("remove") << "remove";
        QTest::newRow("clear queue") << "clear";
    }
    void aCancelDuringTheExportIsHonoured() {
        QFETCH(QString, action);
        StateFixture f;
        f.startEngine();
        f.control("settings.setCookieSource", {{"browser", "Built-in Browser"}, {"file", ""}});
        QJsonArray rows;
        for (const QString url : {"https://v.example/1", "https://v.example/2"})
            rows.append(savedQueueRow(url, {{"title", url}}));
        f.control("queue.save", {{"items", rows}});
        f.boot();
        f.scriptDownloads({{"result", QJsonObject{{"jobId", "x"}, {"path", "/tmp/o.mp4"}, {"title", ""}}}});
        const std::vector<std::shared_ptr<Job>> jobs = f.model->queuePart().jobs();
        QCOMPARE(jobs.size(), size_t(2));
        f.fakes.browserCookies.holdExports = true;
        f.model->queuePart().startWaiting();
        QTRY_COMPARE(f.fakes.browserCookies.exportedFor.size(), qsizetype(2));
        for (const auto& job : jobs) {
            if (action == "cancel")
                f.model->queuePart().cancel(job);
            else if (action == "remove")
                f.model->queuePart().remove(job);
        }
        if (action == "clear")
            f.model->queuePart().clearQueue();
        for (const auto& job : jobs)
            QCOMPARE(int(job->state().kind), int(Job::State::Cancelled));
        f.fakes.browserCookies.holdExports = false;
        f.fakes.browserCookies.release();

        // A later download's start shows the released runs have had their turn.
        QVERIFY(f.enqueue(QString("https://v.example/later")));
        QVERIFY(f.waitForRequests("download.start", 1));
        const auto starts = f.requestsOf("download.start");
        QCOMPARE(starts.size(), 1);
        QCOMPARE(starts[0].params["url"].toString(), QString("https://v.example/later"));
        QCOMPARE(f.requestsOf("download.cancel").size(), 0);
        for (const auto& job : jobs) {
            QVERIFY(!job->requestOpen());
            QCOMPARE(int(job->state().kind), int(Job::State::Cancelled));
        }
        QCOMPARE(f.model->queuePart().jobs().size(), action == "cancel" ? size_t(2) : size_t(0));
        QVERIFY(f.waitForRequests("queue.save", 1));
        QTRY_VERIFY(!f.model->queuePart().isSavingQueue());
        QCOMPARE(f.requestsOf("queue.save").last().params["items"].toArray().size(), 0);
    }

    void aListOfAddresses() {
        StateFixture f;
        f.startEngine();
        f.control("settings.setCookieSource", {{"browser", "Built-in Browser"}, {"file", ""}});
        f.boot();
        f.fakes.browserCookies.filesByHost.insert("v.example", "/tmp/v.txt");
        const auto mixed = QCoro::waitFor(
            f.model->sessionPart().cookieParamsForAll({"https://v.example/1", "https://other.example/2"}));
        QCOMPARE(mixed.source, QString("Built-in Browser"));
        QVERIFY(f.fakes.browserCookies.exportedFor.isEmpty());
        const auto same = QCoro::waitFor(
            f.model->sessionPart().cookieParamsForAll({"https://v.example/1", "https://V.example/2"}));
        QCOMPARE(same, (Session::CookiePair{"None", "/tmp/v.txt"}));
        QCOMPARE(f.fakes.browserCookies.exportedFor, QStringList{"https://v.example/1"});
        const auto none = QCoro::waitFor(f.model->sessionPart().cookieParamsForAll({}));
        QCOMPARE(none.source, QString("Built-in Browser"));
    }

    void clearingBrowserData() {
        StateFixture f;
        f.startEngine();
        f.control("settings.setCookieSource", {{"browser", "Built-in Browser"}, {"file", ""}});
        f.boot();
        f.model->sessionPart().noteBrowserSession("https://v.example/1");
        f.model->browser().newTab(QStringLiteral("https://v.example/1"));
        QCoro::waitFor(f.model->sessionPart().clearBrowserData());
        QCOMPARE(f.fakes.browserCookies.discards, 1);
        QCOMPARE(f.fakes.browserCookies.clears, 1);
        QVERIFY(f.model->sessionPart().browserSessionHosts().isEmpty());
        QVERIFY(f.model->promptsPart().browserDataCleared());
        QCOMPARE(f.model->browser().pages().size(), qsizetype(1));
        QTRY_COMPARE(f.model->sessionPart().settings()->cookieSource, QString("None"));
        const auto sent = f.requestsOf("settings.setCookieSource");
        QCOMPARE(sent.last().params, QJsonObject({{"browser", "None"}, {"file", ""}}));
    }
};

QTEST_GUILESS_MAIN(TestCookies)
#include "tst_cookies.moc"
