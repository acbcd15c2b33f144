// Every public action of the state object driven into its failure paths: whatever fails (a desktop
// service, the engine), the action returns, nothing escapes it, and its flags end where they belong.
#include "Composition.h"
#include "DownloadQueue.h"
#include "StateFixture.h"

#include "Library.h"
#include "Prompts.h"
#include "Strings.h"

namespace {
const QString address = QStringLiteral("http://127.0.0.1:9/watch/clip");
} // namespace

class TestActions : public QObject {
    Q_OBJECT

    // Boots with the built-in browser as the cookie source (so every download and analysis exports
    // cookies) and "ask where to save" on, then makes the desktop services fail.
    static std::unique_ptr<StateFixture> failingServices() {
        auto f = std::make_unique<StateFixture>();
        f->startEngine();
        f->control("settings.setCookieSource", {{"browser", "Built-in Browser"}, {"file", ""}});
        f->control("settings.set", {{"values", QJsonObject{{"askWhereToSave", true}}}});
        f->boot();
        f->fakes.browserCookies.fail = true;
        f->fakes.fileDialogs.fail = true;
        return f;
    }

private slots:
    void init() { Strings::reset(); }

    void analysisWithAFailingCookieJar() {
        auto f = failingServices();
        f->script("analyze", {{"error", QJsonObject{{"code", 3}, {"message", "not here"}}}});
        f->model->compositionPart().setPastedText(address);
        QCoro::waitFor(f->model->compositionPart().analyzeCurrent());
        QVERIFY(!f->model->compositionPart().isAnalyzing());
        QCOMPARE(f->model->compositionPart().analysisFailure().value_or(""), QString("not here"));
        // The export failed: the engine got no cookie file, and never the built-in browser's name.
        const auto sent = f->requestsOf("analyze");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].params["cookieSource"].toString(), QString("None"));
        QCOMPARE(sent[0].params["cookiesFile"].toString(), QString(""));
    }

    void analysisWithoutAnEngine() {
        auto f = failingServices();
        QCoro::waitFor(f->model->engine().stop());
        f->model->compositionPart().setPastedText(address);
        QCoro::waitFor(f->model->compositionPart().analyzeCurrent());
        QVERIFY(!f->model->compositionPart().isAnalyzing());
        QVERIFY(f->model->compositionPart().analysisFailure());
    }

    // A save panel that cannot be shown counts as cancelled: nothing is enqueued, the field is kept.
    void downloadWithAFailingSavePanel() {
        auto f = failingServices();
        f->model->compositionPart().setPastedText(address);
        QVERIFY(!f->enqueue(std::nullopt, true));
        QCOMPARE(f->fakes.fileDialogs.calls.size(), 1);
        QVERIFY(!f->model->queuePart().currentDownload());
        QCOMPARE(f->model->compositionPart().pastedText(), address);
        // A non-interactive download still runs; its cookie export fails and it goes on without one.
        f->scriptDownloads({{"result", QJsonObject{{"jobId", "x"}, {"path", "/tmp/a.mp4"}, {"title", "A"}}}});
        const auto job = f->enqueue(address, false);
        QVERIFY(job);
        QTRY_COMPARE(int(job->state().kind), int(Job::State::Done));
        QVERIFY(!job->requestOpen());
        QCOMPARE(f->requestsOf("download.start")[0].params["cookieSource"].toString(), QString("None"));
    }

    void outputFolderWithAFailingDialog() {
        auto f = failingServices();
        const qsizetype before = f->requestsOf("settings.set").size();
        QCoro::waitFor(f->model->sessionPart().chooseOutputFolder());
        QCOMPARE(f->fakes.fileDialogs.calls.size(), 1);
        QCoro::waitFor(
            f->model->sessionPart().reloadSettings()); // the next request: nothing was saved before it
        QCOMPARE(f->requestsOf("settings.set").size(), before);
    }

    // Clearing the browser's data has no failure path: a failing wipe still ends the clearing.
    void clearingWithAFailingProfile() {
        auto f = failingServices();
        f->model->sessionPart().noteBrowserSession(address);
        QCoro::waitFor(f->model->sessionPart().clearBrowserData());
        QVERIFY(f->model->sessionPart().browserSessionHosts().isEmpty());
        QVERIFY(f->model->promptsPart().browserDataCleared());
        QTRY_COMPARE(f->model->sessionPart().settings()->cookieSource, QString("None"));
    }

    // Without an engine every other action still returns, reporting what failed.
    void actionsWithoutAnEngine() {
        auto f = failingServices();
        QCoro::waitFor(f->model->engine().stop());
        QCoro::waitFor(f->model->libraryPart().reloadLibrary());
        QVERIFY(!QCoro::waitFor(f->model->libraryPart().loadMoreLibrary()));
        QCoro::waitFor(f->model->sessionPart().reloadSettings());
        QVERIFY(f->model->sessionPart().settings()); // the last good settings are kept
        QCoro::waitFor(f->model->compositionPart().refreshAllowedOptions());
        QCoro::waitFor(f->model->sessionPart().checkForUpdate(true));
        QVERIFY(!QCoro::waitFor(f->model->sessionPart().sendReport("it broke", "")));
        QCoro::waitFor(f->model->sessionPart().applyLanguage("fr"));
        QVERIFY(!QCoro::waitFor(f->model->queuePart().restoreQueue()));
        QVERIFY(f->model->sessionPart().lastError());
        QVERIFY(!f->model->compositionPart().isAnalyzing());
    }
};

QTEST_GUILESS_MAIN(TestActions)
#include "tst_actions.moc"
