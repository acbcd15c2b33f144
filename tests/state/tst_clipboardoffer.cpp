// The clipboard offer (idle rules, rechecks on the fake clock), the script-runtime answers and the
// favourites' failure rules.
#include "Composition.h"
#include "StateFixture.h"

#include "ClipboardWatcher.h"
#include "Prompts.h"
#include "Strings.h"

#include <QSignalSpy>

class TestClipboardOffer : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void theIdleRules_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("analysing");
        QTest::addColumn<bool>("newLink");
        QTest::addColumn<QString>("expected");
        QTest::newRow("idle with a new link") << "" << false << true << "https://media.example/v/1";
        QTest::newRow("the user's own text") << "my text" << false << true << "my text";
        QTest::newRow("an analysis runs") << "" << true << true << "";
        QTest::newRow("no new link") << "" << false << false << "";
    }
    void theIdleRules() {
        QFETCH(QString, typed);
        QFETCH(bool, analysing);
        QFETCH(bool, newLink);
        QFETCH(QString, expected);
        StateFixture f;
        f.boot();
        f.script("analyze", {{"error", QJsonObject{{"code", 2}, {"message", "not media"}}}}, 0);
        f.fakes.clipboard.copy("https://old.example/seen");
        QVERIFY(!ClipboardWatcher::newLink()); // what was there at the first look is never offered
        if (analysing) {
            f.control("test.hold", {{"method", "analyze"}});
            f.model->compositionPart().setPastedText("https://busy.example/x");
            auto analysis = f.model->compositionPart().analyzeCurrent();
            QVERIFY(f.waitForRequests("analyze", 1));
            QVERIFY(f.model->compositionPart().isAnalyzing());
            f.model->compositionPart().setPastedText(""); // as the field may be while the answer is awaited
            if (newLink)
                f.fakes.clipboard.copy("https://media.example/v/1");
            f.model->compositionPart().offerClipboardIfIdle();
            QCOMPARE(f.model->compositionPart().pastedText(), expected);
            f.control("test.release", {{"method", "analyze"}});
            QCoro::waitFor(std::move(analysis));
            return;
        }
        f.model->compositionPart().setPastedText(typed);
        if (newLink)
            f.fakes.clipboard.copy("https://media.example/v/1");
        f.model->compositionPart().offerClipboardIfIdle();
        QCOMPARE(f.model->compositionPart().pastedText(), expected);
        if (expected.startsWith("https://")) {
            QVERIFY(f.waitForRequests("analyze", 1));
            QCOMPARE(f.requestsOf("analyze")[0].params["url"].toString(), expected);
        }
        // The same link is offered once.
        f.model->compositionPart().setPastedText("");
        f.model->compositionPart().offerClipboardIfIdle();
        QCOMPARE(f.model->compositionPart().pastedText(),
                 newLink && !typed.isEmpty() ? "https://media.example/v/1" : "");
    }

    // Activation looks now, after 1 s and after 3 s; a link copied in between is taken at the recheck.
    void activationRechecks() {
        StateFixture f;
        f.boot();
        f.script("analyze", {{"error", QJsonObject{{"code", 2}, {"message", "not media"}}}}, 0);
        ClipboardWatcher::newLink(); // the first look
        f.model->compositionPart().offerClipboardOnActivation();
        QVERIFY(f.model->compositionPart().pastedText().isEmpty());
        f.fakes.clipboard.copy("https://media.example/a");
        f.fakes.clock.advance(999);
        QVERIFY(f.model->compositionPart().pastedText().isEmpty());
        f.fakes.clock.advance(1);
        QCOMPARE(f.model->compositionPart().pastedText(), QString("https://media.example/a"));
        f.model->compositionPart().setPastedText("");
        f.fakes.clipboard.copy("https://media.example/b");
        f.fakes.clock.advance(1999);
        QVERIFY(f.model->compositionPart().pastedText().isEmpty());
        f.fakes.clock.advance(1);
        QCOMPARE(f.model->compositionPart().pastedText(), QString("https://media.example/b"));
        // Two rechecks only.
        f.model->compositionPart().setPastedText("");
        f.fakes.clipboard.copy("https://media.example/c");
        f.fakes.clock.advance(60000);
        QVERIFY(f.model->compositionPart().pastedText().isEmpty());
    }

    // Losing the front stops the rechecks; a newer activation replaces the older one's.
    void rechecksStopOrAreReplaced() {
        StateFixture f;
        f.boot();
        f.script("analyze", {{"error", QJsonObject{{"code", 2}, {"message", "not media"}}}}, 0);
        ClipboardWatcher::newLink();
        f.model->compositionPart().offerClipboardOnActivation();
        f.fakes.activity.setActive(false);
        f.fakes.clipboard.copy("https://media.example/a");
        f.fakes.clock.advance(5000);
        QVERIFY(f.model->compositionPart().pastedText().isEmpty());

        f.fakes.activity.setActive(true);
        f.model->compositionPart().offerClipboardOnActivation(); // takes the link copied while in the back
        QCOMPARE(f.model->compositionPart().pastedText(), QString("https://media.example/a"));
        f.model->compositionPart().setPastedText("");
        f.fakes.clock.advance(500);
        f.model->compositionPart().offerClipboardOnActivation(); // the first activation's rechecks end here
        f.fakes.clipboard.copy("https://media.example/b");
        f.fakes.clock.advance(600); // 1.1 s after the first activation, 0.6 s after the second
        QVERIFY(f.model->compositionPart().pastedText().isEmpty());
        f.fakes.clock.advance(400);
        QCOMPARE(f.model->compositionPart().pastedText(), QString("https://media.example/b"));
    }

    // The state object gone: its rechecks never run.
    void rechecksEndWithTheState() {
        StateFixture f;
        f.boot();
        ClipboardWatcher::newLink();
        f.model->compositionPart().offerClipboardOnActivation();
        QCoro::waitFor(f.model->engine().stop());
        f.model.reset();
        f.fakes.clipboard.copy("https://media.example/a");
        f.fakes.clock.advance(5000);
        QCOMPARE(ClipboardWatcher::newLink(), std::optional<QString>("https://media.example/a"));
    }

    void scriptRuntimeAnswers_data() {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<bool>("dismissedBefore");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<bool>("dismissed");
        const QJsonObject found{{"result", QJsonObject{{"runtime", QJsonObject{{"name", "node"}}}}}};
        QTest::newRow("a runtime") << found << true << false << false;
        QTest::newRow("null runtime")
            << QJsonObject{{"result", QJsonObject{{"runtime", QJsonValue::Null}}}} << true << true << true;
        QTest::newRow("no runtime key") << QJsonObject{{"result", QJsonObject{}}} << false << true << false;
        // Undecodable or failed: both flags stay as they were (missing, dismissed).
        QTest::newRow("runtime without name")
            << QJsonObject{{"result", QJsonObject{{"runtime", QJsonObject{}}}}} << true << true << true;
        QTest::newRow("failure") << QJsonObject{{"error", QJsonObject{{"code", 2}, {"message", "x"}}}} << true
                                 << true << true;
    }
    void scriptRuntimeAnswers() {
        QFETCH(QJsonObject, answer);
        QFETCH(bool, dismissedBefore);
        QFETCH(bool, missing);
        QFETCH(bool, dismissed);
        StateFixture f;
        f.boot();
        f.model->sessionPart().applyJSRuntime(false, true);
        f.model->promptsPart().setJsBannerDismissed(dismissedBefore);
        f.script("js.runtime", answer);
        QCoro::waitFor(f.model->sessionPart().refreshJSRuntime(true));
        QCOMPARE(f.requestsOf("js.runtime").last().params, QJsonObject({{"recheck", true}}));
        QCOMPARE(f.model->sessionPart().jsRuntimeMissing(), missing);
        QCOMPARE(f.model->promptsPart().jsBannerDismissed(), dismissed);
        QVERIFY(!f.model->sessionPart().lastError()); // silent
    }

    // The real engine runs scripts on its own interpreter: a runtime is always there.
    void theEngineHasARuntime() {
        StateFixture f;
        f.boot();
        f.model->sessionPart().applyJSRuntime(false, false);
        QCoro::waitFor(f.model->sessionPart().refreshJSRuntime(false));
        QCOMPARE(f.requestsOf("js.runtime").last().params, QJsonObject({{"recheck", false}}));
        QVERIFY(!f.model->sessionPart().jsRuntimeMissing());
    }

    // Against the real engine's store; a failed list empties, a failed add or remove keeps.
    void favourites() {
        StateFixture f;
        f.boot();
        QSignalSpy changed(&f.model->sessionPart(), &Session::favouritesChanged);
        QCoro::waitFor(f.model->sessionPart().addFavourite("https://a.example/", "A"));
        QCoro::waitFor(f.model->sessionPart().addFavourite("https://b.example/", "B"));
        QCOMPARE(f.model->sessionPart().favourites().size(), size_t(2));
        QCOMPARE(f.requestsOf("favourites.add")[0].params,
                 QJsonObject({{"url", "https://a.example/"}, {"title", "A"}}));
        const auto two = f.model->sessionPart().favourites();

        f.scriptError("favourites.add", 2, "store full");
        QCoro::waitFor(f.model->sessionPart().addFavourite("https://c.example/", "C"));
        QCOMPARE(f.model->sessionPart().favourites(), two);
        QCOMPARE(f.model->sessionPart().lastError()->message, QString("store full"));

        f.scriptError("favourites.remove", 2, "store locked");
        QCoro::waitFor(f.model->sessionPart().removeFavourite("https://a.example/"));
        QCOMPARE(f.model->sessionPart().favourites(), two);

        QCoro::waitFor(f.model->sessionPart().removeFavourite("https://a.example/"));
        QCOMPARE(f.requestsOf("favourites.remove").last().params,
                 QJsonObject({{"url", "https://a.example/"}}));
        QCOMPARE(f.model->sessionPart().favourites().size(), size_t(1));
        QCOMPARE(f.model->sessionPart().favourites()[0].url, QString("https://b.example/"));

        // The same list again notifies no one.
        const qsizetype notified = changed.size();
        QCoro::waitFor(f.model->sessionPart().reloadFavourites());
        QCOMPARE(f.model->sessionPart().favourites().size(), size_t(1));
        QCOMPARE(changed.size(), notified);

        f.model->sessionPart().setLastError(std::nullopt);
        f.scriptError("favourites.list", 2, "unreadable");
        QCoro::waitFor(f.model->sessionPart().reloadFavourites());
        QVERIFY(f.model->sessionPart().favourites().empty());
        QCOMPARE(f.model->sessionPart().lastError()->message, QString("unreadable"));
    }
};

QTEST_GUILESS_MAIN(TestClipboardOffer)
#include "tst_clipboardoffer.moc"
