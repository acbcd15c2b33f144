#include "Composition.h"
#include "SourceDir.h"
#include "StateFixture.h"

#include "EngineLaunchError.h"
#include "Strings.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <chrono>
#include <csignal>

namespace {
int errorLines(const QStringList& log) {
    int n = 0;
    for (const QString& line : log)
        n += line.contains(QStringLiteral("\u26A0\uFE0E")) ? 1 : 0;
    return n;
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void bootSendsTheStartRequestsInOrder() {
        StateFixture f;
        f.boot();
        QVERIFY(f.model->sessionPart().isReady());
        QVERIFY(f.model->sessionPart().stringsReady());
        QCOMPARE(f.model->sessionPart().stringsGeneration(), 1);
        QVERIFY(!f.model->sessionPart().engineFailure());
        QVERIFY(f.model->sessionPart().settings());
        const QStringList expected{"hello",           "i18n.table",   "settings.get",
                                   "options.allowed", "library.list", "models.list",
                                   "search.status",   "queue.load",   "update.check"};
        QCOMPARE(f.methods(), expected);
        const auto requests = f.requests();
        for (const LoggedRequest& r : requests) {
            const bool withParams = r.method == "options.allowed" || r.method == "library.list";
            QVERIFY2(r.hasParams == withParams, qPrintable(r.method));
        }
        QCOMPARE(requests[3].params,
                 QJsonObject({{"container", f.model->compositionPart().format().container}}));
        QCOMPARE(requests[4].params, QJsonObject({{"limit", 120}, {"offset", 0}}));
    }

    // Stored files the engine found damaged and set aside are told once: a notice naming them (the last
    // error, which the window's banner shows) and, in the log, where each one is kept. Neither the same
    // start asked again nor a restarted engine (which finds nothing damaged) says it a second time.
    void damagedFilesSetAsideAreToldOnce() {
        StateFixture f;
        QVERIFY(QDir().mkpath(f.path("support")));
        for (const auto& [name, data] :
             {std::pair{"settings.json", "{\"outputDir\": "}, std::pair{"queue.json", "[]"}}) {
            QFile file(f.path("support/") + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(data);
        }
        f.boot();
        QVERIFY(!f.model->sessionPart().engineFailure());
        const QMap<QString, QString> files{{"files", "settings.json, queue.json"}};
        const QString notice = Strings::text("notice_files_set_aside", files);
        QVERIFY(!notice.contains("notice_files_set_aside"));
        QVERIFY(f.model->sessionPart().lastError());
        QCOMPARE(f.model->sessionPart().lastError()->message, notice);
        QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()), QStringList{notice});
        const QStringList details = StateFixture::detailLines(f.model->sessionPart().log());
        QCOMPARE(details.size(), 2);
        for (const QString& name : {QString("settings.json"), QString("queue.json")}) {
            const QStringList aside = QDir(f.path("support")).entryList({name + ".corrupt-*"});
            QCOMPARE(aside.size(), 1);
            const QMap<QString, QString> values{{"file", f.path("support/") + name},
                                                {"savedAs", f.path("support/") + aside[0]}};
            QVERIFY2(details.contains(Strings::text("log_file_set_aside", values)),
                     qPrintable(details.join('\n')));
        }

        f.boot();
        QCOMPARE(f.methods().count("hello"), 2);
        f.control("test.exit", {{"status", 1}});
        QVERIFY(f.waitForRequests("hello", 3));
        QTRY_VERIFY(f.model->sessionPart().sessionLive());
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()), QStringList{notice});
    }

    void aSecondBootSkipsTextsAndQueue() {
        StateFixture f;
        f.boot();
        f.boot();
        const QStringList methods = f.methods();
        QCOMPARE(methods.count("hello"), 2);
        QCOMPARE(methods.count("settings.get"), 2);
        QCOMPARE(methods.count("i18n.table"), 1);
        QCOMPARE(methods.count("queue.load"), 1);
        QCOMPARE(methods.count("update.check"), 2);
        QCOMPARE(methods.count("search.status"), 2);
        QCOMPARE(f.model->sessionPart().stringsGeneration(), 1);
    }

    void overlappingBootsShareOneStart() {
        StateFixture f;
        f.startEngine();
        f.control("test.hold", {{"method", "hello"}});
        auto first = f.model->sessionPart().boot();
        auto second = f.model->sessionPart().boot();
        QVERIFY(f.waitForRequests("hello", 1));
        QTest::qWait(100);
        f.control("test.release", {{"method", "hello"}});
        QCoro::waitFor(std::move(first));
        QCoro::waitFor(std::move(second));
        const QStringList methods = f.methods();
        QCOMPARE(methods.count("hello"), 1);
        QCOMPARE(methods.count("i18n.table"), 1);
        QCOMPARE(methods.count("queue.load"), 1);
        QVERIFY(f.model->sessionPart().isReady());
    }

    void waitersAreReleasedByTheFirstBoot() {
        StateFixture f;
        bool released = false;
        auto waiter = [&]() -> QCoro::Task<void> {
            co_await f.model->sessionPart().waitUntilReady();
            released = true;
        };
        auto parked = waiter();
        QVERIFY(!released);
        f.boot();
        QTRY_VERIFY(released);
        // Once ready, waiting returns at once.
        bool again = false;
        auto after = [&]() -> QCoro::Task<void> {
            co_await f.model->sessionPart().waitUntilReady();
            again = true;
        };
        auto t = after();
        QVERIFY(again);
    }

    void startFailures_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("expectedText");
        QTest::newRow("no interpreter") << "python"
                                        << "";
        QTest::newRow("no script") << "script"
                                   << EngineLaunchError::serverNotFound("Engine/server.py").text();
        QTest::newRow("other copy") << "copy" << EngineLaunchError::otherCopyRunning().text();
        QTest::newRow("hello fails") << "hello"
                                     << "hello broke";
        QTest::newRow("texts fail") << "i18n.table"
                                    << "texts broke";
        QTest::newRow("settings fail") << "settings.get"
                                       << "settings broke";
    }
    void startFailures() {
        QFETCH(QString, failure);
        QFETCH(QString, expectedText);
        QTemporaryDir empty;
        QMap<QString, QString> env;
        if (failure == "python")
            env.insert("VAMBER_PYTHON", empty.filePath("missing-python"));
        StateFixture f(env);
        if (failure == "python" || failure == "script") {
            EngineLocations l = f.locations();
            l.developmentRoot = empty.path();
            if (failure == "script")
                l.environment.insert("VAMBER_PYTHON", "/usr/bin/python3");
            f.model->engine().setLocations(l);
        }
        if (failure == "copy")
            f.fakes.instanceGuard.anotherCopy = true;
        if (failure == "hello" || failure == "i18n.table" || failure == "settings.get") {
            f.startEngine();
            f.scriptError(failure, 7,
                          failure == "hello"        ? "hello broke"
                          : failure == "i18n.table" ? "texts broke"
                                                    : "settings broke");
        }
        bool released = false;
        auto waiter = [&]() -> QCoro::Task<void> {
            co_await f.model->sessionPart().waitUntilReady();
            released = true;
        };
        auto parked = waiter();
        f.boot();
        QVERIFY(f.model->sessionPart().engineFailure());
        if (!expectedText.isEmpty())
            QCOMPARE(*f.model->sessionPart().engineFailure(), expectedText);
        else
            QVERIFY(f.model->sessionPart().engineFailure()->contains(empty.filePath("missing-python")));
        QCOMPARE(errorLines(f.model->sessionPart().log()), 1);
        QVERIFY(f.model->sessionPart().lastError());
        QTRY_VERIFY(released);
        QVERIFY(f.model->sessionPart().isReady());
        QVERIFY(!f.methods().contains("update.check"));
    }

    // An engine that leaves one of the start's requests unanswered: the start fails as an engine
    // failure, the silent child is stopped, and the retry gets through against a good engine.
    void aSilentEngineFailsTheStart_data() {
        QTest::addColumn<QString>("silentOn");
        QTest::newRow("hello") << "hello";
        QTest::newRow("texts") << "i18n.table";
        QTest::newRow("settings") << "settings.get";
        QTest::newRow("models") << "models.list";
        // Not even "shutdown" is answered, and the end of its input changes nothing: only a signal ends it.
        QTest::newRow("mute process") << "";
    }
    void aSilentEngineFailsTheStart() {
        QFETCH(QString, silentOn);
        QTemporaryDir dir;
        QMap<QString, QString> env;
        if (silentOn.isEmpty()) {
            const QString script = dir.filePath("mute.py");
            QFile file(script);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("import sys, time\nfor _ in sys.stdin:\n    pass\nwhile True:\n    time.sleep(60)\n");
            file.close();
            env.insert("VAMBER_ENGINE_SERVER", script);
        }
        StateFixture f(env);
        f.model->sessionPart().setStartLimit(std::chrono::milliseconds(500));
        f.startEngine();
        const qint64 silent = f.model->engine().processId();
        QVERIFY(silent > 0);
        if (!silentOn.isEmpty())
            f.control("test.hold", {{"method", silentOn}});
        auto boot = f.model->sessionPart().boot();
        QTRY_VERIFY_WITH_TIMEOUT(f.model->sessionPart().isReady(), 15000);
        QCoro::waitFor(std::move(boot));
        QCOMPARE(f.model->sessionPart().engineFailure().value_or(QString()),
                 EngineLaunchError::stopped().text());
        QVERIFY(!f.model->sessionPart().sessionLive());
        QVERIFY(!f.model->engine().isRunning());
        QTRY_VERIFY(::kill(pid_t(silent), 0) != 0);

        // The retry's engine answers; on a busy machine its start may take longer than the short bound.
        f.model->sessionPart().setStartLimit(std::chrono::seconds(20));
        EngineLocations good = f.locations();
        good.environment.remove("VAMBER_ENGINE_SERVER");
        f.model->engine().setLocations(good);
        QCoro::waitFor(f.model->sessionPart().retryEngine());
        QVERIFY(!f.model->sessionPart().engineFailure());
        QVERIFY(f.model->sessionPart().sessionLive());
        QVERIFY(f.model->sessionPart().stringsReady());
        QVERIFY(f.model->sessionPart().settings());
        QVERIFY(f.model->engine().processId() != silent);
    }

    void anEngineScriptGivenByTheEnvironmentSkipsTheCopyCheck() {
        StateFixture f({{"VAMBER_ENGINE_SERVER", QStringLiteral(VAMBER_SOURCE_DIR "/Engine/server.py")}});
        f.fakes.instanceGuard.anotherCopy = true;
        f.boot();
        QVERIFY(!f.model->sessionPart().engineFailure());
    }

    void anEmptyEngineScriptVariableStillChecks() {
        StateFixture f({{"VAMBER_ENGINE_SERVER", ""}});
        f.fakes.instanceGuard.anotherCopy = true;
        f.boot();
        QCOMPARE(f.model->sessionPart().engineFailure().value_or(QString()),
                 EngineLaunchError::otherCopyRunning().text());
    }

    void startRestoresFormatAndAppearance() {
        StateFixture f;
        f.startEngine();
        f.control("settings.set", {{"values", QJsonObject{{"quality", "720p"},
                                                          {"container", "MKV"},
                                                          {"audioOnly", true},
                                                          {"downloadOptionsExpanded", true},
                                                          {"appearance", "dark"}}}});
        f.boot();
        QCOMPARE(f.model->compositionPart().format().quality, QString("720p"));
        QCOMPARE(f.model->compositionPart().format().container, QString("MKV"));
        QVERIFY(f.model->compositionPart().format().audioOnly);
        QCOMPARE(f.model->compositionPart().format().subtitleMode, QString("off"));
        QVERIFY(f.model->compositionPart().optionsExpanded());
        QCOMPARE(f.fakes.appearance.applied, QStringList{"dark"});
        QCOMPARE(f.model->compositionPart().allowedOptions().container, QString("MKV"));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
