#pragma once

// A `vamber` process for tests: its own home, runtime, config and data folders (so it never meets a
// user's copy or another test's), the stand-in engine with its test controls and request log, offscreen.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class VamberProgram {
public:
    explicit VamberProgram(const QTemporaryDir& home, QString program = binary()) : m_home(home) {
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
        m_process.setProgram(program);
    }
    ~VamberProgram() {
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
    // The environment it runs in, for other programs that must reach it (same runtime folder).
    QProcessEnvironment environment() const { return m_process.processEnvironment(); }
    void setEnvironment(const QProcessEnvironment& env) { m_process.setProcessEnvironment(env); }
    // The engine's start-up line: its arguments ("argv") and interpreter ("executable").
    QJsonObject engineStartup() const {
        QFile file(m_home.filePath("requests.jsonl"));
        if (file.open(QIODevice::ReadOnly)) {
            while (!file.atEnd()) {
                const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
                if (line.contains("pid"))
                    return line;
            }
        }
        return {};
    }

    // Methods the engine received, and the engine's process id from its start-up line.
    QStringList methods() const { return readLog().first; }
    // The parameters of every request of `method`, in the order received.
    QList<QJsonObject> paramsOf(const QString& method) const {
        QList<QJsonObject> out;
        QFile file(m_home.filePath("requests.jsonl"));
        if (!file.open(QIODevice::ReadOnly))
            return out;
        while (!file.atEnd()) {
            const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
            const QJsonObject request =
                QJsonDocument::fromJson(line.value("request").toString().toUtf8()).object();
            if (request.value("method").toString() == method)
                out << request.value("params").toObject();
        }
        return out;
    }
    QStringList urlsOfDownloads(int atLeast, int timeoutMs = 15000) const {
        QStringList urls;
        (void)QTest::qWaitFor(
            [&] {
                urls.clear();
                for (const QJsonObject& p : paramsOf("download.start"))
                    urls << p.value("url").toString();
                return urls.size() >= atLeast;
            },
            timeoutMs);
        return urls;
    }
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
