// The client against the real stand-in engine, driven through its test controls.

#include "EngineTestSupport.h"
#include "SourceDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

namespace {

QString buildDir() {
    const QString fromEnv = qEnvironmentVariable("VAMBER_TEST_BUILD_DIR");
    return fromEnv.isEmpty() ? QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."))
                             : fromEnv;
}

// A support folder and a request log of its own for every engine a test starts.
struct Live {
    QTemporaryDir dir;

    QString logPath() const { return dir.path() + QStringLiteral("/engine-log.jsonl"); }

    EngineLocations locations() const {
        EngineLocations l;
        l.bundleDir = buildDir();
        l.executableDir = l.bundleDir + QStringLiteral("/lib/vamber");
        l.resourcesDir = l.bundleDir + QStringLiteral("/share/vamber");
        l.developmentRoot = QStringLiteral(VAMBER_SOURCE_DIR);
        l.appVersion = QStringLiteral("3.2.1");
        l.environment = QProcessEnvironment::systemEnvironment();
        l.environment.remove(QStringLiteral("VAMBER_PYTHON"));
        l.environment.remove(QStringLiteral("VAMBER_ENGINE_SERVER"));
        l.environment.remove(QStringLiteral("VAMBER_APP_VERSION"));
        l.environment.remove(QStringLiteral("PYTHONHOME"));
        l.environment.insert(QStringLiteral("VAMBER_ENGINE_TEST"), QStringLiteral("1"));
        l.environment.insert(QStringLiteral("VAMBER_SUPPORT_DIR"), dir.path() + QStringLiteral("/support"));
        l.environment.insert(QStringLiteral("VAMBER_ENGINE_TEST_LOG"), logPath());
        return l;
    }

    QList<QJsonObject> log() const {
        QList<QJsonObject> out;
        QFile f(logPath());
        if (!f.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (!line.isEmpty())
                out << QJsonDocument::fromJson(line).object();
        return out;
    }
    // The raw request lines the engine received, in order.
    QStringList requests() const {
        QStringList out;
        for (const QJsonObject& o : log())
            if (o.contains(QStringLiteral("request")))
                out << o.value(QStringLiteral("request")).toString();
        return out;
    }
};

QJsonObject obj(std::initializer_list<QPair<QString, QJsonValue>> pairs) {
    QJsonObject o;
    for (const auto& [k, v] : pairs)
        o.insert(k, v);
    return o;
}

bool processAlive(qint64 pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

// A Python child starting on a loaded machine can take well over the default five seconds.
constexpr int kStartWait = 30000;

bool isReady(const Delivered& d) {
    const auto* e = std::get_if<EngineEvent>(&d);
    return e && e->is<EngineEvent::Ready>();
}

// Everything but the "ready" event each engine sends when it starts.
std::vector<Delivered> withoutReady(const std::vector<Delivered>& in) {
    std::vector<Delivered> out;
    for (const auto& d : in)
        if (!isReady(d))
            out.push_back(d);
    return out;
}

} // namespace

class TestEngineLive : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The command line and environment, as the engine itself saw them.
    void commandLineAndEnvironment() {
        Live live;
        EngineClient client(live.locations());
        Recorder rec(client);
        client.start();
        QTRY_VERIFY_WITH_TIMEOUT(!rec.entries.empty() && isReady(rec.entries.front()), kStartWait);
        const QJsonObject startup = live.log().value(0);
        const QString script = buildDir() + QStringLiteral("/share/vamber/engine/server.py");
        QCOMPARE(startup.value(QStringLiteral("argv")).toArray(), QJsonArray{script});
        const QJsonObject env = startup.value(QStringLiteral("env")).toObject();
        QCOMPARE(env.value(QStringLiteral("PYTHONUNBUFFERED")).toString(), QStringLiteral("1"));
        QCOMPARE(env.value(QStringLiteral("PYTHONDONTWRITEBYTECODE")).toString(), QStringLiteral("1"));
        QCOMPARE(env.value(QStringLiteral("VAMBER_APP_VERSION")).toString(), QStringLiteral("3.2.1"));
        QVERIFY(!env.contains(QStringLiteral("PYTHONHOME")));
        QCOMPARE(env.value(QStringLiteral("VAMBER_ENGINE_TEST")).toString(), QStringLiteral("1"));

        // A second start while the child runs changes nothing.
        const qint64 pid = client.processId();
        client.start();
        QCOMPARE(client.processId(), pid);
        rec.track(client.call(QStringLiteral("hello")), QStringLiteral("hello"));
        QTRY_COMPARE(rec.replies().size(), size_t(1));
        int startups = 0;
        for (const QJsonObject& o : live.log())
            startups += o.contains(QStringLiteral("argv")) ? 1 : 0;
        QCOMPARE(startups, 1);
        QCoro::waitFor(client.stop());
    }

    // PYTHONHOME and the version, read back from a stand-in interpreter that records what it got and then
    // runs the real one without PYTHONHOME.
    void childEnvironmentReadBack_data() {
        QTest::addColumn<bool>("insideBundle");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("pythonHome");
        QTest::newRow("bundled interpreter") << true << "1.0" << true;
        QTest::newRow("interpreter from VAMBER_PYTHON") << false << "1.0" << false;
        QTest::newRow("no version") << true << "" << true;
    }

    void childEnvironmentReadBack() {
        QFETCH(bool, insideBundle);
        QFETCH(QString, version);
        QFETCH(bool, pythonHome);

        Live live;
        const QString bundle = live.dir.path() + QStringLiteral("/prefix");
        const QString resources = bundle + QStringLiteral("/share/vamber");
        QVERIFY(QDir().mkpath(bundle + QStringLiteral("/lib/vamber")));
        QVERIFY(QDir().mkpath(resources + QStringLiteral("/lib/python3.12")));
        QVERIFY(QFile::link(QStringLiteral(VAMBER_SOURCE_DIR) + QStringLiteral("/Engine"),
                            resources + QStringLiteral("/engine")));
        const QString seen = live.dir.path() + QStringLiteral("/seen.txt");
        const QString wrapper = insideBundle ? bundle + QStringLiteral("/lib/vamber/python")
                                             : live.dir.path() + "/python-wrapper";
        {
            QFile f(wrapper);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("#!/bin/sh\n"
                                   "echo \"PYTHONHOME=${PYTHONHOME-<unset>}\" > '%1'\n"
                                   "echo \"VAMBER_APP_VERSION=${VAMBER_APP_VERSION-<unset>}\" >> '%1'\n"
                                   "echo \"ARGS=$*\" >> '%1'\n"
                                   "unset PYTHONHOME\n"
                                   "exec /usr/bin/python3 \"$@\"\n")
                        .arg(seen)
                        .toUtf8());
            f.close();
            QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner));
        }
        EngineLocations l = live.locations();
        l.bundleDir = bundle;
        l.executableDir = bundle + QStringLiteral("/lib/vamber");
        l.resourcesDir = resources;
        l.appVersion = version;
        if (!insideBundle)
            l.environment.insert(QStringLiteral("VAMBER_PYTHON"), wrapper);

        EngineClient client(l);
        Recorder rec(client);
        client.start();
        QTRY_VERIFY_WITH_TIMEOUT(!rec.entries.empty() && isReady(rec.entries.front()), kStartWait);
        QFile f(seen);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0),
                 QStringLiteral("PYTHONHOME=") + (pythonHome ? resources : QStringLiteral("<unset>")));
        QCOMPARE(lines.value(1), QStringLiteral("VAMBER_APP_VERSION=") +
                                     (version.isEmpty() ? QStringLiteral("<unset>") : version));
        QCOMPARE(lines.value(2), QStringLiteral("ARGS=") + resources + QStringLiteral("/engine/server.py"));
        QCoro::waitFor(client.stop());
    }

    // Replies written in another order than the requests reach their own callers, in wire order.
    void repliesOutOfOrder() {
        Live live;
        EngineClient client(live.locations());
        Recorder rec(client);
        client.start();
        for (const char* answer : {"A", "B", "C"}) {
            const QJsonObject script = obj({{"method", "hello"}, {"result", QString::fromLatin1(answer)}});
            rec.track(client.call(QStringLiteral("test.script"), script), QStringLiteral("script"));
        }
        const QJsonObject hold = obj({{"method", "hello"}});
        rec.track(client.call(QStringLiteral("test.hold"), hold), QStringLiteral("hold"));
        for (int i = 1; i <= 3; ++i)
            rec.track(client.call(QStringLiteral("hello")), QStringLiteral("h%1").arg(i));
        const QJsonObject release = obj({{"method", "hello"}, {"order", "lifo"}});
        rec.track(client.call(QStringLiteral("test.release"), release), QStringLiteral("release"));
        QTRY_COMPARE(rec.replies().size(), size_t(8));
        const std::vector<QString> got = rec.replies();
        const std::vector<QString> tail(got.begin() + 4, got.end());
        // The release itself is answered after the held requests.
        QCOMPARE(tail, (std::vector<QString>{"h3=\"A\"", "h2=\"B\"", "h1=\"C\"", "release={}"}));
        const QStringList sent = live.requests();
        QVERIFY(sent.contains(QStringLiteral(R"({"id":5,"method":"hello"})")));
        QCoro::waitFor(client.stop());
    }

    void childExit_data() {
        QTest::addColumn<QJsonObject>("exit");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("busy");
        QTest::newRow("status 2") << obj({{"status", 2}}) << "v2_engine_support_busy" << true;
        QTest::newRow("status 1") << obj({{"status", 1}}) << "v2_engine_stopped" << false;
        QTest::newRow("status 0") << obj({{"status", 0}}) << "v2_engine_stopped" << false;
        QTest::newRow("killed") << obj({{"signal", SIGKILL}}) << "v2_engine_stopped" << false;
        QTest::newRow("interrupted") << obj({{"signal", SIGINT}}) << "v2_engine_stopped" << false;
        QTest::newRow("crash") << obj({{"signal", SIGSEGV}}) << "v2_engine_stopped" << false;
        QTest::newRow("crash later") << obj({{"signal", SIGABRT}, {"afterMs", 100}}) << "v2_engine_stopped"
                                     << false;
    }

    // Lines written just before the exit come first; then every waiting request fails; then the stop
    // is announced, busy only for a normal exit with status 2.
    void childExit() {
        QFETCH(QJsonObject, exit);
        QFETCH(QString, failure);
        QFETCH(bool, busy);

        Live live;
        EngineClient client(live.locations());
        Recorder rec(client);
        client.start();
        const QJsonObject hold = obj({{"method", "hello"}});
        rec.track(client.call(QStringLiteral("test.hold"), hold), QStringLiteral("hold")); // id 1
        rec.track(client.call(QStringLiteral("hello")), QStringLiteral("h2"));             // id 2
        rec.track(client.call(QStringLiteral("hello")), QStringLiteral("h3"));             // id 3
        QTRY_COMPARE(rec.replies().size(), size_t(1));
        QJsonObject params = exit;
        params.insert(QStringLiteral("lines"),
                      QJsonArray{R"({"id":2,"result":"last words"})",
                                 R"({"event":"model.state","params":{"key":"k","state":"gone"}})"});
        rec.track(client.call(QStringLiteral("test.exit"), params), QStringLiteral("exit")); // id 4
        QTRY_VERIFY(!rec.events().empty() && rec.events().back().is<EngineEvent::EngineStopped>());
        drainEvents();

        const std::vector<Delivered> got = withoutReady(rec.entries);
        QCOMPARE(got.size(), size_t(6));
        QCOMPARE(std::get<QString>(got[0]), QStringLiteral("hold={}"));
        QCOMPARE(std::get<QString>(got[1]), QStringLiteral("h2=\"last words\""));
        const EngineEvent lastEvent{EngineEvent::ModelState{QStringLiteral("k"), ModelStatus::Other, {}}};
        QVERIFY(std::get<EngineEvent>(got[2]) == lastEvent);
        QCOMPARE(std::get<QString>(got[3]), QStringLiteral("h3!") + failure);
        QCOMPARE(std::get<QString>(got[4]), QStringLiteral("exit!") + failure);
        QVERIFY(std::get<EngineEvent>(got[5]) == EngineEvent{EngineEvent::EngineStopped{busy}});
        QVERIFY(!client.isRunning());
    }

    // Another engine holds the support folder: the second one leaves with status 2, and that is busy.
    void supportFolderHeldElsewhere() {
        Live live;
        EngineClient first(live.locations());
        Recorder firstRec(first);
        first.start();
        QTRY_VERIFY(!firstRec.entries.empty());
        EngineClient second(live.locations());
        Recorder rec(second);
        second.start();
        QTRY_VERIFY(!rec.events().empty());
        QVERIFY(rec.events().back() == EngineEvent{EngineEvent::EngineStopped{true}});
        QCoro::waitFor(first.stop());
    }

    // A restart on the same client keeps counting ids and keeps the same event path.
    void restartKeepsCounting() {
        Live live;
        EngineClient client(live.locations());
        Recorder rec(client);
        client.start();
        rec.track(client.call(QStringLiteral("hello")), QStringLiteral("a")); // id 1
        QTRY_COMPARE(rec.replies().size(), size_t(1));
        const QJsonObject exit = obj({{"status", 1}});
        rec.track(client.call(QStringLiteral("test.exit"), exit), QStringLiteral("exit")); // id 2
        QTRY_VERIFY(!rec.events().empty() && rec.events().back().is<EngineEvent::EngineStopped>());

        client.start();
        rec.track(client.call(QStringLiteral("hello")), QStringLiteral("b")); // id 3
        QTRY_COMPARE(rec.replies().size(), size_t(3));
        QTRY_VERIFY(rec.events().size() >= 3 && rec.events().back().is<EngineEvent::Ready>());
        QCOMPARE(rec.replies().back().left(2), QStringLiteral("b="));
        QCOMPARE(live.requests().last(), QStringLiteral(R"({"id":3,"method":"hello"})"));
        QCoro::waitFor(client.stop());
    }

    void stop_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("ignoreTerm");
        QTest::addColumn<int>("atLeastMs");
        QTest::addColumn<int>("atMostMs");
        QTest::newRow("prompt engine") << "normal" << false << 0 << 2500;
        QTest::newRow("replies but stays") << "stay" << false << 900 << 4000;
        // 3 s for the reply, 1 s of polls, 1 s after terminate, then killed.
        QTest::newRow("never answers, ignores terminate") << "silent" << true << 4800 << 9000;
    }

    void stop() {
        QFETCH(QString, mode);
        QFETCH(bool, ignoreTerm);
        QFETCH(int, atLeastMs);
        QFETCH(int, atMostMs);

        Live live;
        EngineClient client(live.locations());
        Recorder rec(client);
        client.start();
        const QJsonObject params = obj({{"mode", mode}, {"ignoreTerm", ignoreTerm}});
        rec.track(client.call(QStringLiteral("test.shutdown"), params), QStringLiteral("mode"));
        rec.track(client.call(QStringLiteral("test.hold"), obj({{"method", "hello"}})),
                  QStringLiteral("hold"));
        QTRY_COMPARE(rec.replies().size(), size_t(2));
        rec.track(client.call(QStringLiteral("hello")), QStringLiteral("waiting"));
        const qint64 pid = client.processId();
        QVERIFY(processAlive(pid));

        QElapsedTimer clock;
        clock.start();
        QCoro::waitFor(client.stop());
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= atLeastMs && took <= atMostMs, qPrintable(QString::number(took)));
        QVERIFY(!processAlive(pid));
        drainEvents();
        QCOMPARE(rec.replies().back(), QStringLiteral("waiting!v2_engine_stopped"));
        // No announcement of a stop that was asked for.
        for (const EngineEvent& e : rec.events())
            QVERIFY(!e.is<EngineEvent::EngineStopped>());
        // Nothing is written to a child that is gone.
        rec.track(client.call(QStringLiteral("hello")), QStringLiteral("after"));
        drainEvents();
        QCOMPARE(rec.replies().back(), QStringLiteral("after!v2_engine_not_running"));
    }

    // The engine's standard error is copied byte for byte, whether it is valid UTF-8 or not; output that
    // is not a JSON object is reported once per line and harms nothing else.
    void standardErrorAndRawOutput() {
        Live live;
        EngineClient client(live.locations());
        Recorder rec(client);
        client.start();
        QTRY_VERIFY(!rec.entries.empty());
        const QByteArray bytes = "before \xff\xfe invalid, then a split \xc3";
        const QByteArray rest = "\xa9 character\n";
        StderrCapture capture;
        rec.track(
            client.call(QStringLiteral("test.stderr"), obj({{"b64", QString::fromLatin1(bytes.toBase64())}})),
            QStringLiteral("e1"));
        rec.track(
            client.call(QStringLiteral("test.stderr"), obj({{"b64", QString::fromLatin1(rest.toBase64())}})),
            QStringLiteral("e2"));
        const QJsonArray lines{"", "not json",
                               R"({"event":"job.state","params":{"jobId":"J","state":"done"}})"};
        rec.track(client.call(QStringLiteral("test.raw"), obj({{"lines", lines}})), QStringLiteral("raw"));
        QTRY_COMPARE(rec.replies().size(), size_t(3));
        // The error pipe is read on its own.
        const qsizetype expected =
            bytes.size() + rest.size() + qsizetype(strlen("[app] ligne illisible du moteur\n"));
        QTRY_VERIFY(capture.peek().size() >= expected);
        // The two pipes are read independently, so only the engine's own bytes keep a fixed order.
        QByteArray err = capture.take();
        const QByteArray unreadable = "[app] ligne illisible du moteur\n";
        QCOMPARE(err.count(unreadable), 1);
        QCOMPARE(err.replace(unreadable, ""), bytes + rest);
        QVERIFY(rec.events().back().is<EngineEvent::JobState>());
        QCoro::waitFor(client.stop());
    }
};

QTEST_GUILESS_MAIN(TestEngineLive)
#include "tst_enginelive.moc"
