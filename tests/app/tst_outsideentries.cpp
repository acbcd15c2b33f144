// Requests from outside the window: the command line read into a request, and the running copy carrying
// out links, handed-over text and the download verbs, in process against the stand-in engine.
#include "Composition.h"
#include "DownloadQueue.h"
#include "StateFixture.h"

#include "ActivationChecks.h"
#include "LaunchRequest.h"
#include "OutsideEntries.h"

#include "ClipboardWatcher.h"
#include "Strings.h"

#include <QJsonDocument>
#include <QSignalSpy>

#include <algorithm>

Q_DECLARE_METATYPE(LaunchRequest::Verb)

namespace {

// Waits until the guard has given `count` answers.
bool waitForAnswers(FakeInstanceGuard& guard, int count) {
    return QTest::qWaitFor([&] { return guard.answers.size() >= count; }, 15000);
}

QString enterURL() {
    return Strings::text(QStringLiteral("status_enter_url")) + QLatin1Char('\n');
}

} // namespace

class TestOutsideEntries : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { Strings::reset(); }

    void parse_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<LaunchRequest::Verb>("verb");
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("quality");
        using V = LaunchRequest::Verb;
        const QString d = "1080p";
        QTest::newRow("nothing: reopen") << QStringList{} << V::Reopen << QStringList{} << ""
                                         << "";
        QTest::newRow("links in order")
            << QStringList{"vamber://download?url=a", "mailto:x@y", "https://b.example/v"} << V::Open
            << QStringList{"vamber://download?url=a", "mailto:x@y", "https://b.example/v"} << ""
            << "";
        QTest::newRow("text as given")
            << QStringList{"--download-text", "  a b\n"} << V::DownloadText << QStringList{} << "  a b\n"
            << "";
        QTest::newRow("blank text is read, refused later")
            << QStringList{"--download-text", ""} << V::DownloadText << QStringList{} << ""
            << "";
        QTest::newRow("download, default quality")
            << QStringList{"--download", "https://c.example/v"} << V::Download << QStringList{}
            << "https://c.example/v" << d;
        QTest::newRow("download at a quality")
            << QStringList{"--download", "https://c.example/v", "--quality", "audio"} << V::Download
            << QStringList{} << "https://c.example/v"
            << "audio";
        QTest::newRow("quality first, with =")
            << QStringList{"--quality=360p", "--download=https://c.example/v"} << V::Download << QStringList{}
            << "https://c.example/v"
            << "360p";
        QTest::newRow("clipboard, default quality")
            << QStringList{"--download-clipboard"} << V::DownloadClipboard << QStringList{} << "" << d;
        QTest::newRow("clipboard at a quality") << QStringList{"--download-clipboard", "--quality", "4K"}
                                                << V::DownloadClipboard << QStringList{} << ""
                                                << "4K";
        QTest::newRow("help") << QStringList{"--help"} << V::Help << QStringList{} << ""
                              << "";
        QTest::newRow("version") << QStringList{"--version"} << V::Version << QStringList{} << ""
                                 << "";
        for (const auto& [name, arguments] : std::initializer_list<std::pair<const char*, QStringList>>{
                 {"quality in another case", {"--download", "x", "--quality", "720P"}},
                 {"unknown quality", {"--download-clipboard", "--quality", "2160p"}},
                 {"quality without a verb", {"--quality", "720p"}},
                 {"quality with text", {"--download-text", "x", "--quality", "720p"}},
                 {"quality twice", {"--download", "x", "--quality", "720p", "--quality", "480p"}},
                 {"two verbs", {"--download", "x", "--download-clipboard"}},
                 {"a verb twice", {"--download", "x", "--download", "y"}},
                 {"links after a verb", {"--download", "x", "https://y.example"}},
                 {"missing value", {"--download"}},
                 {"unknown option", {"--bogus"}}}) {
            QTest::newRow(name) << arguments << V::Invalid << QStringList{} << ""
                                << "";
        }
    }
    void parse() {
        QFETCH(QStringList, arguments);
        QFETCH(LaunchRequest::Verb, verb);
        QFETCH(QStringList, links);
        QFETCH(QString, text);
        QFETCH(QString, quality);
        const LaunchRequest r = LaunchRequest::parse(arguments);
        QCOMPARE(r.verb, verb);
        QCOMPARE(r.links, links);
        QCOMPARE(r.text, text);
        QCOMPARE(r.quality, quality);
        QCOMPARE(r.error.isEmpty(), verb != LaunchRequest::Verb::Invalid);
    }

    void everyQualityIsTaken() {
        const QStringList expected{"8K", "4K", "1440p", "1080p", "720p", "480p", "360p", "audio"};
        QCOMPARE(LaunchRequest::qualities(), expected);
        for (const QString& q : expected) {
            const LaunchRequest r = LaunchRequest::parse({"--download-clipboard", "--quality", q});
            QCOMPARE(r.verb, LaunchRequest::Verb::DownloadClipboard);
            QCOMPARE(r.quality, q);
        }
    }

    void helpListsTheVerbs() {
        const QString help = LaunchRequest::helpText();
        QVERIFY(help.startsWith("Usage: vamber [options] [links…]\n"));
        for (const char* part : {"--download <URL>", "--download-clipboard", "--download-text <TEXT>",
                                 "--quality <Q>", "--help", "--version", "links", "vamber://download"})
            QVERIFY2(help.contains(part), part);
        for (const QString& q : LaunchRequest::qualities())
            QVERIFY2(help.contains(q), qPrintable(q));
    }

    // Links and handed-over text wait for the end of the start, then go one after the other in the order
    // given, each with its own quality applied first; what does not parse is skipped.
    void linksWaitForTheStartAndKeepTheirOrder() {
        StateFixture f;
        f.startEngine();
        f.scriptSettings({{"askWhereToSave", true}});
        f.control("test.hold", {{"method", "download.start"}});
        f.fakes.fileDialogs.saveAnswer = f.path("out/chosen.mp4");
        OutsideEntries entries(*f.model);
        entries.serve(f.fakes.instanceGuard);

        f.fakes.instanceGuard.receive({
            "vamber://download?url=https%3A%2F%2Fa.example%2Fv%3Fx%3D1%26y%3D2&quality=720p",
            "mailto:someone@example.org",
            "https://b.example/w",
            "vamber://download?url=",
            "vamber://elsewhere?url=https%3A%2F%2Fz.example",
            "VAMBER://DOWNLOAD?url=https%3A%2F%2Fc.example%2Fx&quality=audio",
        });
        f.fakes.instanceGuard.receive({"--download-text", "  https://d.example/t \n"});
        // A later message answered proves the earlier ones were taken.
        f.fakes.instanceGuard.receive({});
        QVERIFY(waitForAnswers(f.fakes.instanceGuard, 3));
        for (const InstanceAnswer& a : f.fakes.instanceGuard.answers)
            QCOMPARE(a, InstanceAnswer());
        QVERIFY(!f.model->sessionPart().isReady());
        QVERIFY(!f.model->queuePart().currentDownload());
        QVERIFY(f.fakes.fileDialogs.calls.isEmpty());
        QVERIFY(f.requestsOf("download.start").isEmpty());
        QCOMPARE(f.model->compositionPart().format().quality, QString("1080p"));

        f.boot();
        QVERIFY(f.waitForRequests("download.start", 4));
        const QList<LoggedRequest> starts = f.requestsOf("download.start");
        QCOMPARE(starts.size(), 4);
        // What each link should start: its address, the quality sent and whether only audio.
        const QMap<QString, std::pair<QString, bool>> expected{
            {"https://a.example/v?x=1&y=2", {"720p", false}},
            {"https://b.example/w", {"720p", false}}, // no quality: the one before stays
            {"https://c.example/x", {"720p", true}},
        };
        QStringList linkOrder;
        for (const LoggedRequest& start : starts) {
            const QString url = start.params["url"].toString();
            if (!expected.contains(url))
                continue;
            linkOrder << url;
            QCOMPARE(start.params["quality"].toString(), expected[url].first);
            QCOMPARE(start.params["audioOnly"].toBool(), expected[url].second);
        }
        // The text and the links came as two requests: the links keep their order, the text (trimmed)
        // comes before, between or after them.
        QCOMPARE(linkOrder,
                 QStringList({"https://a.example/v?x=1&y=2", "https://b.example/w", "https://c.example/x"}));
        QCOMPARE(starts.size() - linkOrder.size(), 1);
        QVERIFY(std::any_of(starts.begin(), starts.end(),
                            [](const LoggedRequest& r) { return r.params["url"] == "https://d.example/t"; }));
        // Every one of them asked where to save it.
        QCOMPARE(f.fakes.fileDialogs.calls.size(), 4);
    }

    void linkWithAnEmptyQualityTakesTheBestOne() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        OutsideEntries entries(*f.model);
        entries.serve(f.fakes.instanceGuard);
        QVERIFY(!f.model->compositionPart().allowedOptions().qualities.isEmpty());
        f.fakes.instanceGuard.receive({"vamber://download?url=https%3A%2F%2Fe.example&quality="});
        QVERIFY(f.waitForRequests("download.start", 1));
        QCOMPARE(f.requestsOf("download.start")[0].params["quality"].toString(),
                 f.model->compositionPart().allowedOptions().qualities.first());
    }

    // Each verb with good and bad input: its answer, what was downloaded at which quality, and that the
    // verbs never ask where to save.
    void verbs_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("clipboard"); // "-": nothing on the clipboard
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("url");     // what is downloaded, "" for nothing
        QTest::addColumn<QString>("quality"); // the quality sent, or the format's quality afterwards
        QTest::addColumn<bool>("audio");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("download") << QStringList{"--download", "https://v.example/1"} << "-" << 0
                                  << "https://v.example/1\n"
                                  << false << "https://v.example/1"
                                  << "1080p" << false << 0;
        QTest::newRow("download at 480p")
            << QStringList{"--download", " https://v.example/2\n", "--quality", "480p"} << "-" << 0
            << "https://v.example/2\n"
            << false << "https://v.example/2"
            << "480p" << false << 0;
        QTest::newRow("download audio")
            << QStringList{"--download", "https://v.example/3", "--quality", "audio"} << "-" << 0
            << "https://v.example/3\n"
            << false << "https://v.example/3"
            << "720p" << true << 0;
        QTest::newRow("download blank") << QStringList{"--download", " \n "} << "-" << 1 << "" << true << ""
                                        << "1080p" << false << 0; // applied before the address is read
        QTest::newRow("clipboard") << QStringList{"--download-clipboard"} << " https://v.example/4\n"
                                   << 0 << "" << false << "https://v.example/4"
                                   << "1080p" << false << 0;
        QTest::newRow("clipboard at 360p")
            << QStringList{"--download-clipboard", "--quality", "360p"} << "https://v.example/5" << 0 << ""
            << false << "https://v.example/5"
            << "360p" << false << 0;
        QTest::newRow("clipboard of another scheme")
            << QStringList{"--download-clipboard", "--quality", "360p"} << "ftp://v.example/6" << 1 << ""
            << true << ""
            << "720p" << false << 0;
        QTest::newRow("clipboard with a capital scheme")
            << QStringList{"--download-clipboard"} << "HTTPS://v.example/7" << 1 << "" << true << ""
            << "720p" << false << 0;
        QTest::newRow("clipboard empty")
            << QStringList{"--download-clipboard"} << "-" << 1 << "" << true << ""
            << "720p" << false << 0;
        QTest::newRow("text") << QStringList{"--download-text", "\t https://v.example/8 \n"} << "-" << 0 << ""
                              << false << "https://v.example/8"
                              << "720p" << false << 1;
        QTest::newRow("text blank") << QStringList{"--download-text", " \n\t"} << "-" << 1 << "" << true << ""
                                    << "720p" << false << 0;
        QTest::newRow("invalid") << QStringList{"--download", "x", "--quality", "9K"} << "-" << 2 << ""
                                 << false << ""
                                 << "720p" << false << 0;
    }
    void verbs() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, clipboard);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(bool, refused);
        QFETCH(QString, url);
        QFETCH(QString, quality);
        QFETCH(bool, audio);
        QFETCH(int, dialogs);
        StateFixture f;
        f.startEngine();
        f.scriptSettings({{"askWhereToSave", true}});
        f.boot();
        f.control("test.hold", {{"method", "download.start"}});
        // The save panel, were it asked, would answer; only the text verb may ask it.
        f.fakes.fileDialogs.saveAnswer = f.path("out/chosen.mp4");
        FormatChoice format = f.model->compositionPart().format();
        format.quality = "720p";
        f.model->compositionPart().setFormat(format);
        if (clipboard != "-")
            f.fakes.clipboard.copy(clipboard);
        else
            f.fakes.clipboard.clear();
        OutsideEntries entries(*f.model);
        entries.serve(f.fakes.instanceGuard);

        f.fakes.instanceGuard.receive(arguments);
        QVERIFY(waitForAnswers(f.fakes.instanceGuard, 1));
        const InstanceAnswer answer = f.fakes.instanceGuard.answers.first();
        QCOMPARE(answer.status, status);
        QCOMPARE(answer.out, out);
        if (refused)
            QCOMPARE(answer.err, enterURL());
        else if (status == 2)
            QVERIFY(answer.err.startsWith("Unknown quality \"9K\""));
        else
            QCOMPARE(answer.err, QString());

        if (url.isEmpty()) {
            // A later message answered: nothing of the first one is still on its way.
            f.fakes.instanceGuard.receive({});
            QVERIFY(waitForAnswers(f.fakes.instanceGuard, 2));
            QVERIFY(!f.model->queuePart().currentDownload());
            QCOMPARE(f.model->compositionPart().format().quality,
                     quality); // a refusal leaves the format alone
            QCOMPARE(f.model->compositionPart().format().audioOnly, false);
        } else {
            QVERIFY(f.waitForRequests("download.start", 1));
            const LoggedRequest start = f.requestsOf("download.start").first();
            QCOMPARE(start.params["url"].toString(), url);
            QCOMPARE(start.params["quality"].toString(), quality);
            QCOMPARE(start.params["audioOnly"].toBool(), audio);
            QVERIFY(f.model->queuePart().currentDownload());
            // The quality stays the application's choice.
            QCOMPARE(f.model->compositionPart().format().quality, quality);
        }
        QCOMPARE(f.fakes.fileDialogs.calls.size(), dialogs);
        QCOMPARE(f.requestsOf("download.start").size(), url.isEmpty() ? 0 : 1);
    }

    // The verbs wait for the start too, and are answered after it.
    void verbsWaitForTheStart() {
        StateFixture f;
        f.startEngine();
        f.control("test.hold", {{"method", "download.start"}});
        f.fakes.clipboard.copy("https://v.example/late");
        OutsideEntries entries(*f.model);
        entries.serve(f.fakes.instanceGuard);
        f.fakes.instanceGuard.receive({"--download-clipboard", "--quality", "480p"});
        f.fakes.instanceGuard.receive({});
        QVERIFY(waitForAnswers(f.fakes.instanceGuard, 1));
        QCOMPARE(f.fakes.instanceGuard.answers.size(), 1); // only the reopen
        QVERIFY(!f.model->queuePart().currentDownload());
        f.boot();
        QVERIFY(waitForAnswers(f.fakes.instanceGuard, 2));
        QCOMPARE(f.fakes.instanceGuard.answers[1], InstanceAnswer());
        QVERIFY(f.waitForRequests("download.start", 1));
        QCOMPARE(f.requestsOf("download.start")[0].params["quality"].toString(), QString("480p"));
    }

    void reopenAsksForTheWindow() {
        StateFixture f;
        OutsideEntries entries(*f.model);
        entries.serve(f.fakes.instanceGuard);
        QSignalSpy reopen(&entries, &OutsideEntries::reopenRequested);
        QSignalSpy received(&f.fakes.instanceGuard, &InstanceGuard::messageReceived);
        f.fakes.instanceGuard.receive({"https://a.example"});
        QVERIFY(waitForAnswers(f.fakes.instanceGuard, 1));
        QCOMPARE(reopen.size(), 0);
        f.fakes.instanceGuard.receive({});
        QVERIFY(waitForAnswers(f.fakes.instanceGuard, 2));
        QCOMPARE(reopen.size(), 1);
        QCOMPARE(received.size(), 2);
    }

    // Requests waiting for the start when the application goes away end without touching it: the
    // verb is answered with a failure, the link is dropped.
    void requestsWaitingForTheStartEndWithTheApplication() {
        StateFixture f;
        OutsideEntries entries(*f.model);
        entries.serve(f.fakes.instanceGuard);
        f.fakes.instanceGuard.receive({"https://a.example"});
        f.fakes.instanceGuard.receive({"--download", "https://b.example"});
        QVERIFY(waitForAnswers(f.fakes.instanceGuard, 1));
        f.model.reset();
        QVERIFY(waitForAnswers(f.fakes.instanceGuard, 2));
        QCOMPARE(f.fakes.instanceGuard.answers[1], (InstanceAnswer{1, {}, {}}));
    }

    // Becoming active: "js.runtime" only while the runtime is missing, one per activation.
    void activationRechecksAMissingRuntime_data() {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<bool>("missingAfter");
        QTest::newRow("present: nothing asked") << false << QJsonObject() << false;
        QTest::newRow("missing, still missing (null)")
            << true << QJsonObject{{"result", QJsonObject{{"runtime", QJsonValue::Null}}}} << true;
        QTest::newRow("missing, still missing (absent)")
            << true << QJsonObject{{"result", QJsonObject{}}} << true;
        QTest::newRow("missing, found")
            << true << QJsonObject{{"result", QJsonObject{{"runtime", QJsonObject{{"name", "node"}}}}}}
            << false;
        QTest::newRow("missing, the request fails")
            << true << QJsonObject{{"error", QJsonObject{{"code", 5}, {"message", "no"}}}} << true;
    }
    void activationRechecksAMissingRuntime() {
        QFETCH(bool, missing);
        QFETCH(QJsonObject, answer);
        QFETCH(bool, missingAfter);
        StateFixture f;
        f.boot();
        ActivationChecks checks(*f.model, f.fakes.activity);
        f.model->sessionPart().applyJSRuntime(!missing, false);
        QCOMPARE(f.model->sessionPart().jsRuntimeMissing(), missing);
        if (!answer.isEmpty())
            f.script("js.runtime", answer);
        const qsizetype before = f.requestsOf("js.runtime").size();
        const QStringList logBefore = f.model->sessionPart().log();

        f.fakes.activity.setActive(false);
        f.fakes.activity.setActive(true);
        if (missing) {
            QVERIFY(f.waitForRequests("js.runtime", before + 1));
            QCOMPARE(f.requestsOf("js.runtime").last().params, QJsonObject({{"recheck", true}}));
            QTRY_COMPARE(f.model->sessionPart().jsRuntimeMissing(), missingAfter);
        }
        // The engine answered a later call: any request of the activation was read before it.
        f.control("test.log");
        QCOMPARE(f.requestsOf("js.runtime").size(), before + (missing ? 1 : 0));
        QCOMPARE(f.model->sessionPart().jsRuntimeMissing(), missingAfter);
        QCOMPARE(f.model->sessionPart().log(), logBefore); // a failed recheck is silent
    }

    // Becoming active offers a newly copied link, and looks again a second later.
    void activationOffersTheClipboard() {
        StateFixture f;
        f.boot();
        f.script("analyze", {{"error", QJsonObject{{"code", 2}, {"message", "not media"}}}}, 0);
        ActivationChecks checks(*f.model, f.fakes.activity);
        ClipboardWatcher::newLink(); // the first look
        f.fakes.activity.setActive(false);
        f.fakes.clipboard.copy("https://media.example/a");
        f.fakes.activity.setActive(true);
        QCOMPARE(f.model->compositionPart().pastedText(), QString("https://media.example/a"));
        f.model->compositionPart().setPastedText("");
        f.fakes.clipboard.copy("https://media.example/b");
        f.fakes.clock.advance(999);
        QVERIFY(f.model->compositionPart().pastedText().isEmpty());
        f.fakes.clock.advance(1);
        QCOMPARE(f.model->compositionPart().pastedText(), QString("https://media.example/b"));
        // Losing the front offers nothing.
        f.model->compositionPart().setPastedText("");
        f.fakes.activity.setActive(false);
        f.fakes.clipboard.copy("https://media.example/c");
        f.fakes.clock.advance(5000);
        QVERIFY(f.model->compositionPart().pastedText().isEmpty());
    }
};

QTEST_MAIN(TestOutsideEntries)
#include "tst_outsideentries.moc"
