// The `vamber` program itself: one running copy per user (a second launch hands its arguments over and
// exits 0), and a quit on SIGTERM or SIGINT that shuts the engine down within its bound, leaving no engine.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

class Program {
public:
    explicit Program(const QTemporaryDir& home) : m_home(home) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_RUNTIME_DIR", home.filePath("run"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("VAMBER_SUPPORT_DIR", home.filePath("support"));
        env.insert("VAMBER_ENGINE_TEST", "1");
        env.insert("VAMBER_ENGINE_TEST_LOG", home.filePath("requests.jsonl"));
        env.insert("VAMBER_STARTUP_PROBE", "1");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.remove("VAMBER_ENGINE_SERVER");
        env.remove("VAMBER_PYTHON");
        QDir().mkpath(home.filePath("run"));
        QFile::setPermissions(home.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_process.setProcessEnvironment(env);
        m_process.setProgram(binary());
    }
    ~Program() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    static QString binary() { return qEnvironmentVariable("VAMBER_TEST_BUILD_DIR") + "/lib/vamber/vamber"; }

    void start(const QStringList& arguments = {}) {
        m_process.setArguments(arguments);
        m_process.start();
    }
    // Waits for the root view to be painted (the probe's line).
    bool waitForRoot(int timeoutMs = 20000) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            m_out += m_process.readAllStandardOutput();
            if (m_out.contains("root-painted"))
                return true;
            if (m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(100);
        }
        return false;
    }
    QProcess& process() { return m_process; }

    // Methods the engine received, and the engine's process id from its start-up line.
    QStringList methods() const { return readLog().first; }
    qint64 enginePid() const { return readLog().second; }

private:
    std::pair<QStringList, qint64> readLog() const {
        QStringList methods;
        qint64 pid = 0;
        QFile file(m_home.filePath("requests.jsonl"));
        if (file.open(QIODevice::ReadOnly)) {
            while (!file.atEnd()) {
                const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
                if (line.contains("pid"))
                    pid = line.value("pid").toInteger();
                if (line.contains("request"))
                    methods << QJsonDocument::fromJson(line.value("request").toString().toUtf8())
                                   .object()
                                   .value("method")
                                   .toString();
            }
        }
        return {methods, pid};
    }

    const QTemporaryDir& m_home;
    QProcess m_process;
    QByteArray m_out;
};

bool processGone(qint64 pid) {
    return pid > 0 && !QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

} // namespace

class TestProcess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versionFlag() {
        QProcess p;
        p.start(Program::binary(), {"--version"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("vamber "));
    }

    void secondLaunchHandsOverAndExits() {
        QTemporaryDir home;
        Program first(home);
        first.start();
        QVERIFY(first.waitForRoot());
        Program second(home);
        second.start({"vamber://download?url=https%3A%2F%2Fexample.test%2Fv"});
        QVERIFY(second.process().waitForFinished(10000));
        QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process().exitCode(), 0);
        QCOMPARE(first.process().state(), QProcess::Running);
        // One engine: the second copy never started its own.
        QCOMPARE(first.methods().count("hello"), 1);
    }

    void signalsQuitCleanly_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalsQuitCleanly() {
        QFETCH(int, signal);
        QTemporaryDir home;
        Program app(home);
        app.start();
        QVERIFY(app.waitForRoot());
        const qint64 engine = app.enginePid();
        QVERIFY(engine > 0);
        QVERIFY(!processGone(engine));
        QElapsedTimer clock;
        clock.start();
        ::kill(app.process().processId(), signal);
        QVERIFY(app.process().waitForFinished(10000));
        // The engine's stop bound: 3 s for the reply, about 1 s to leave, 1 s after terminating.
        QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(app.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.process().exitCode(), 0);
        QVERIFY(app.methods().contains("shutdown"));
        QTRY_VERIFY(processGone(engine));
    }
};

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
