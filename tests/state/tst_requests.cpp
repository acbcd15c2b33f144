#include "Composition.h"
#include "DownloadQueue.h"
#include "JobStates.h"
#include "StateFixture.h"

#include "Library.h"
#include "Prompts.h"
#include "StringTable.h"
#include "Strings.h"

#include <QRegularExpression>
#include <QSignalSpy>

namespace {
const QString stampPattern = QStringLiteral("^\\d\\d:\\d\\d:\\d\\d");

StringTable table(QMap<QString, QString> strings) {
    StringTable t;
    t.language = "en";
    t.strings = std::move(strings);
    return t;
}
} // namespace

class TestRequests : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void wrapperFailures_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("reportFailure");
        QTest::addColumn<bool>("shown");
        QTest::newRow("reported") << 7 << true << true;
        QTest::newRow("silent") << 7 << false << false;
        QTest::newRow("cancelled is never shown") << 1001 << true << false;
    }
    void wrapperFailures() {
        QFETCH(int, code);
        QFETCH(bool, reportFailure);
        QFETCH(bool, shown);
        StateFixture f;
        f.startEngine();
        for (const QString& method : {QStringLiteral("options.allowed"), QStringLiteral("download.pause")})
            f.scriptError(method, code, "it broke", "engine detail");
        const auto reply = QCoro::waitFor(f.model->sessionPart().ask<EngineMethods::OptionsAllowed>(
            {QStringLiteral("MP4")}, reportFailure));
        QVERIFY(!reply);
        const bool ok = QCoro::waitFor(
            f.model->sessionPart().ping<EngineMethods::DownloadPause>({QStringLiteral("X")}, reportFailure));
        QVERIFY(!ok);
        QCOMPARE(f.model->sessionPart().log().size(), shown ? 2 : 0);
        QCOMPARE(bool(f.model->sessionPart().lastError()), shown);
        if (shown) {
            // The engine's detail is not passed on by the wrappers.
            QVERIFY(f.model->sessionPart().log().at(0).endsWith(QStringLiteral("  \u26A0\uFE0E  it broke")));
            QVERIFY(!f.model->sessionPart().lastError()->detail);
            QVERIFY(!f.model->sessionPart().log().join('\n').contains("engine detail"));
        }
    }

    void aWrapperReturnsTheDecodedReply() {
        StateFixture f;
        f.startEngine();
        const auto reply = QCoro::waitFor(
            f.model->sessionPart().ask<EngineMethods::OptionsAllowed>({QStringLiteral("MP4")}, true));
        QVERIFY(reply);
        QCOMPARE(reply->container, QString("MP4"));
        QVERIFY(f.model->sessionPart().log().isEmpty());
    }

    // The one-line state of the current download: the first rule that matches wins.
    void statusOfTheCurrentDownload() {
        using S = Job::State;
        StateFixture f;
        f.boot();
        const auto text = [](const char* key) { return Strings::text(QString::fromLatin1(key)); };
        QCOMPARE(f.model->status(), text("status_ready")); // no current download

        const QString address = "http://127.0.0.1:9/v";
        f.control("test.hold", {{"method", "download.start"}});
        const auto job = f.enqueue(address);
        QVERIFY(job);
        QVERIFY(f.waitForRequests("download.start", 1));
        job->setBytesDone(5 * 1024 * 1024);
        job->setSpeedBytesPerSecond(1024 * 1024);

        struct Row {
            S state;
            QString typed; // the download field
            QString expected;
        };
        const QString other = "http://127.0.0.1:9/other";
        const std::vector<Row> rows{
            {{S::Waiting, {}}, "", text("status_starting")},
            {{S::Queued, {}}, "", text("status_starting")},
            {{S::Analyzing, {}}, "", text("status_starting")},
            {{S::Paused, {}}, other, text("queue_status_paused")}, // not finished: the field does not matter
            {{S::Downloading, {}}, other, "{statusLine}"},
            {{S::Converting, {}}, "", "{statusLine}"},
            {{S::Processing, {}}, "", text("status_processing")},
            {{S::Done, {}}, "", text("status_done")},
            {{S::Done, {}}, "  " + address + "\n", text("status_done")}, // the same address, trimmed
            {{S::Done, {}}, " \t\n", text("status_done")},               // a blank field
            {{S::Done, {}}, other, text("status_ready")},                // a new address typed
            {{S::Cancelled, {}}, "", text("status_cancelled")},
            {{S::Cancelled, {}}, other, text("status_ready")},
            {S::failed("no"), "", text("status_error")},
            {S::failed("no"), other, text("status_ready")},
        };
        for (const Row& row : rows) {
            putInState(*job, row.state);
            f.model->compositionPart().setPastedText(row.typed);
            const QString expected = row.expected == "{statusLine}" ? job->statusLine() : row.expected;
            QVERIFY2(f.model->status() == expected, qPrintable(QString("state %1, field '%2': %3")
                                                                   .arg(int(row.state.kind))
                                                                   .arg(row.typed, f.model->status())));
        }

        // A running analysis comes first, whatever the download.
        f.control("test.hold", {{"method", "analyze"}});
        putInState(*job, S::failed("no"));
        f.model->compositionPart().setPastedText(other);
        auto analysis = f.model->compositionPart().analyzeCurrent();
        QVERIFY(f.model->compositionPart().isAnalyzing());
        QCOMPARE(f.model->status(), text("status_resolving"));
    }

    // Computed values signal only when what they give really changed.
    void computedValuesSignalOnlyRealChanges() {
        StateFixture f;
        f.boot();
        QVERIFY(f.model->sessionPart().sessionLive());
        QSignalSpy status(f.model.get(), &AppModel::statusChanged);
        QSignalSpy fresh(&f.model->compositionPart(), &Composition::freshFailureChanged);
        QSignalSpy live(&f.model->sessionPart(), &Session::sessionLiveChanged);
        QSignalSpy loading(&f.model->libraryPart(), &Library::libraryLoadingChanged);

        f.model->compositionPart().setPastedText("http://127.0.0.1:9/a");
        f.model->compositionPart().setPastedText("http://127.0.0.1:9/b");
        QCOMPARE(status.size(), 0); // still "ready"
        f.scriptError("analyze", 3, "nope");
        QCoro::waitFor(f.model->compositionPart().analyzeCurrent());
        QCOMPARE(status.size(), 2); // resolving, then ready again
        QCOMPARE(fresh.size(), 1);
        QCOMPARE(f.model->compositionPart().property("freshFailure").toString(), QString("nope"));
        f.model->compositionPart().setPastedText("http://127.0.0.1:9/c");
        QCOMPARE(fresh.size(), 2);
        QVERIFY(f.model->compositionPart().freshFailureText().isEmpty());
        f.model->compositionPart().setPastedText("http://127.0.0.1:9/b ");
        QCOMPARE(fresh.size(), 3);
        QCOMPARE(status.size(), 2);

        QCoro::waitFor(f.model->libraryPart().loadMoreLibrary()); // no more pages: nothing fetched
        QCoro::waitFor(f.model->libraryPart().reloadLibrary());
        QCOMPARE(loading.size(), 2);
        QVERIFY(!f.model->libraryPart().libraryLoading());

        f.control("test.exit", {{"status", 2}});
        QTRY_COMPARE(live.size(), 1);
        QVERIFY(!f.model->property("sessionLive").toBool());
    }

    void reports_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QStringList>("lines"); // marks and texts after the stamp
        QTest::addColumn<bool>("setsError");
        QTest::newRow("no detail") << "boom" << QString() << QStringList{"  \u26A0\uFE0E  boom"} << true;
        QTest::newRow("detail equals message") << "boom"
                                               << "boom" << QStringList{"  \u26A0\uFE0E  boom"} << true;
        QTest::newRow("two detail lines")
            << "boom"
            << "one\n\ntwo" << QStringList{"  \u26A0\uFE0E  boom", "      one", "      two"} << true;
        QTest::newRow("missing script runtime")
            << "boom"
            << "no-js-runtime" << QStringList{"  \u26A0\uFE0E  boom", "      no-js-runtime"} << false;
    }
    void reports() {
        QFETCH(QString, message);
        QFETCH(QString, detail);
        QFETCH(QStringList, lines);
        QFETCH(bool, setsError);
        StateFixture f;
        f.model->sessionPart().report(message,
                                      detail.isNull() ? std::nullopt : std::optional<QString>(detail));
        const QStringList log = f.model->sessionPart().log();
        QCOMPARE(log.size(), lines.size());
        for (int i = 0; i < log.size(); ++i) {
            QVERIFY2(log[i].contains(QRegularExpression(stampPattern)), qPrintable(log[i]));
            QCOMPARE(log[i].mid(8), lines[i]);
        }
        QCOMPARE(bool(f.model->sessionPart().lastError()), setsError);
        if (setsError) {
            QCOMPARE(f.model->sessionPart().lastError()->message, message);
            QCOMPARE(f.model->sessionPart().lastError()->detail.value_or(QString()), detail);
        } else {
            QVERIFY(f.model->sessionPart().jsRuntimeMissing());
            QVERIFY(!f.model->promptsPart().jsBannerDismissed());
        }
    }

    void theLogKeepsTheLast500Lines() {
        StateFixture f;
        for (int i = 1; i <= 501; ++i)
            f.model->sessionPart().note(QString::number(i));
        QCOMPARE(f.model->sessionPart().log().size(), 500);
        QVERIFY(f.model->sessionPart().log().first().endsWith("  \u00B7  2"));
        QVERIFY(f.model->sessionPart().log().last().endsWith("  \u00B7  501"));
    }

    void engineLogLines_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("expected"); // empty: nothing logged
        QTest::newRow("ok with the engine's mark") << "done_key"
                                                   << "ok"
                                                   << "  \u2713  Saved clip.mp4";
        QTest::newRow("err") << "fail_key"
                             << "err"
                             << "  \u26A0\uFE0E  Failed here";
        QTest::newRow("other level") << "info_key"
                                     << "info"
                                     << "  \u00B7  Note for clip.mp4";
        QTest::newRow("only marks") << "marks_key"
                                    << "ok"
                                    << "";
        QTest::newRow("no text for the key") << "unknown_key"
                                             << "ok"
                                             << "";
    }
    void engineLogLines() {
        QFETCH(QString, key);
        QFETCH(QString, level);
        QFETCH(QString, expected);
        Strings::install(table({{"done_key", "\u2713 Saved {name}"},
                                {"fail_key", "\u26A0\uFE0F Failed here"},
                                {"info_key", "\tNote for {name} \u23F9"},
                                {"marks_key", " \u2713 \u26A0 "}}));
        StateFixture f;
        f.model->sessionPart().note(EngineEvent::JobLog{"J", key, level, {{"name", "clip.mp4"}}});
        if (expected.isEmpty()) {
            QVERIFY(f.model->sessionPart().log().isEmpty());
        } else {
            QCOMPARE(f.model->sessionPart().log().size(), 1);
            QCOMPARE(f.model->sessionPart().log().first().mid(8), expected);
        }
        QVERIFY(!f.model->sessionPart().lastError());
    }
};

QTEST_GUILESS_MAIN(TestRequests)
#include "tst_requests.moc"
