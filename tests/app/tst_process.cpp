// The `vamber` program itself: one running copy per user (a second launch hands its request over, prints
// the running copy's answer and exits with its status), links and verbs on a first launch, and a quit on
// SIGTERM or SIGINT that shuts the engine down within its bound, leaving no engine.
#include "MediaServerProcess.h"
#include "VamberProgram.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>

namespace {

using Program = VamberProgram;

bool processGone(qint64 pid) {
    return pid > 0 && !QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

// The running copy of `home`, named by its lock file; stopped as a quit would stop it when the test ends.
class RunningCopy {
public:
    explicit RunningCopy(const QTemporaryDir& home) : m_lock(home.filePath("run/vamber.lock")) {}
    ~RunningCopy() {
        if (m_pid <= 0 || processGone(m_pid))
            return;
        ::kill(pid_t(m_pid), SIGTERM);
        if (!QTest::qWaitFor([this] { return processGone(m_pid); }, 10000))
            ::kill(pid_t(m_pid), SIGKILL);
    }
    qint64 pid() {
        if (m_pid <= 0) {
            (void)QTest::qWaitFor(
                [this] {
                    QFile file(m_lock);
                    if (file.open(QIODevice::ReadOnly))
                        m_pid = file.readLine().trimmed().toLongLong();
                    return m_pid > 0;
                },
                10000);
        }
        return m_pid;
    }

private:
    QString m_lock;
    qint64 m_pid = 0;
};

// Files of `name` under `folder`, with their sizes.
QMap<QString, qint64> filesNamed(const QString& folder, const QString& name) {
    QMap<QString, qint64> out;
    QDirIterator it(folder, {name}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(path, QFileInfo(path).size());
    }
    return out;
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
        QCOMPARE(first.urlsOfDownloads(1), QStringList{"https://example.test/v"});
    }

    // Links go to the running copy in the order given (what does not parse is skipped), each with its own
    // quality; the launching process says nothing and exits 0.
    void secondLaunchOpensLinksInOrder() {
        QTemporaryDir home;
        Program first(home);
        first.start();
        QVERIFY(first.waitForRoot());
        Program second(home);
        second.start({"vamber://download?url=https%3A%2F%2Fa.invalid%2F1%3Fk%3Dv%26w%3D%23&quality=720p",
                      "mailto:someone@example.org", "https://b.invalid/2", "vamber://download?quality=480p"});
        QVERIFY(second.process().waitForFinished(10000));
        QCOMPARE(second.process().exitCode(), 0);
        QCOMPARE(second.process().readAllStandardOutput(), QByteArray());
        QCOMPARE(second.process().readAllStandardError(), QByteArray());
        QCOMPARE(first.urlsOfDownloads(2),
                 QStringList({"https://a.invalid/1?k=v&w=#", "https://b.invalid/2"}));
        const QList<QJsonObject> starts = first.paramsOf("download.start");
        QCOMPARE(starts[0].value("quality").toString(), QString("720p"));
        QCOMPARE(starts[1].value("quality").toString(), QString("720p"));
    }

    // The verbs through a real second launch: what it prints and its exit status.
    void secondLaunchVerbs_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("downloaded"); // the address the running copy starts, "" for none
        QTest::addColumn<QString>("quality");
        const QString enter = "Copy a video address first.\n";
        QTest::newRow("download") << QStringList{"--download", "https://c.invalid/3", "--quality", "480p"}
                                  << 0 << "https://c.invalid/3\n"
                                  << ""
                                  << "https://c.invalid/3"
                                  << "480p";
        QTest::newRow("download, default quality")
            << QStringList{"--download", "https://c.invalid/4"} << 0 << "https://c.invalid/4\n"
            << ""
            << "https://c.invalid/4"
            << "1080p";
        QTest::newRow("download blank") << QStringList{"--download", "  "} << 1 << "" << enter << ""
                                        << "";
        QTest::newRow("clipboard empty") << QStringList{"--download-clipboard"} << 1 << "" << enter << ""
                                         << "";
        QTest::newRow("text") << QStringList{"--download-text", " https://d.invalid/5\n"} << 0 << ""
                              << ""
                              << "https://d.invalid/5"
                              << "1080p";
        QTest::newRow("text blank") << QStringList{"--download-text", " \n "} << 1 << "" << enter << ""
                                    << "";
    }
    void secondLaunchVerbs() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QString, downloaded);
        QFETCH(QString, quality);
        QTemporaryDir home;
        Program first(home);
        first.start();
        QVERIFY(first.waitForRoot());
        Program second(home);
        second.start(arguments);
        QVERIFY(second.process().waitForFinished(15000));
        QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process().exitCode(), status);
        QCOMPARE(QString::fromUtf8(second.process().readAllStandardOutput()), out);
        QCOMPARE(QString::fromUtf8(second.process().readAllStandardError()), err);
        if (downloaded.isEmpty()) {
            // A later launch, answered after this one: nothing was started in between.
            Program third(home);
            third.start({"--download", "https://later.invalid/6"});
            QVERIFY(third.process().waitForFinished(15000));
            QCOMPARE(third.process().exitCode(), 0);
            QCOMPARE(first.urlsOfDownloads(1), QStringList{"https://later.invalid/6"});
        } else {
            QCOMPARE(first.urlsOfDownloads(1), QStringList{downloaded});
            QCOMPARE(first.paramsOf("download.start")[0].value("quality").toString(), quality);
        }
        QCOMPARE(first.process().state(), QProcess::Running);
    }

    // What needs no running copy is answered by the launch itself, which starts nothing.
    void answeredWithoutARunningCopy_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("outHas");
        QTest::addColumn<QString>("errHas");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--download-clipboard"
                              << "";
        QTest::newRow("bad quality") << QStringList{"--download", "x", "--quality", "9K"} << 2 << ""
                                     << "Unknown quality \"9K\"";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << ""
                                        << "frobnicate";
    }
    void answeredWithoutARunningCopy() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, outHas);
        QFETCH(QString, errHas);
        QTemporaryDir home;
        Program app(home);
        app.start(arguments);
        QVERIFY(app.process().waitForFinished(10000));
        QCOMPARE(app.process().exitCode(), status);
        const QString out = QString::fromUtf8(app.process().readAllStandardOutput());
        const QString err = QString::fromUtf8(app.process().readAllStandardError());
        QVERIFY2(outHas.isEmpty() ? out.isEmpty() : out.contains(outHas), qPrintable(out));
        QVERIFY2(errHas.isEmpty() ? err.isEmpty() : err.contains(errHas), qPrintable(err));
        QVERIFY(!QFile::exists(home.filePath("requests.jsonl"))); // no engine was started
    }

    // A first launch with a link starts it once its own start has finished.
    void coldStartWithALink() {
        QTemporaryDir home;
        Program app(home);
        app.start({"vamber://download?url=https%3A%2F%2Fcold.invalid%2Fv%20x&quality=audio"});
        QVERIFY(app.waitForRoot());
        QCOMPARE(app.urlsOfDownloads(1), QStringList{"https://cold.invalid/v x"});
        QCOMPARE(app.paramsOf("download.start")[0].value("audioOnly").toBool(), true);
        // Everything the start sends came before it.
        const QStringList methods = app.methods();
        QVERIFY(methods.indexOf("download.start") > methods.indexOf("queue.load"));
        QCOMPARE(app.process().state(), QProcess::Running);
    }

    // A verb on a first launch behaves as beside a running copy: the launching process starts the
    // application as its own process, hands the request over, prints the answer and exits with its status;
    // the application runs on and serves later launches.
    void firstLaunchVerbs_data() {
        QTest::addColumn<QStringList>("arguments"); // "{media}": a file served on 127.0.0.1
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<bool>("downloads");
        const QString enter = "Copy a video address first.\n";
        QTest::newRow("download") << QStringList{"--download", "{media}", "--quality", "720p"} << 0
                                  << "{media}\n"
                                  << "" << true;
        QTest::newRow("download blank") << QStringList{"--download", " "} << 1 << "" << enter << false;
        QTest::newRow("clipboard empty") << QStringList{"--download-clipboard"} << 1 << "" << enter << false;
        QTest::newRow("text") << QStringList{"--download-text", " {media}\n"} << 0 << ""
                              << "" << true;
        QTest::newRow("text blank") << QStringList{"--download-text", "  "} << 1 << "" << enter << false;
    }
    void firstLaunchVerbs() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(bool, downloads);
        MediaServerProcess server;
        QVERIFY(server.start());
        const QString media = QUrl(server.page).resolved(QUrl("/media/talk.mp4")).toString();
        for (QString& argument : arguments)
            argument.replace("{media}", media);
        out.replace("{media}", media);

        QTemporaryDir home;
        RunningCopy copy(home);
        Program launcher(home);
        launcher.start(arguments);
        QVERIFY(launcher.process().waitForFinished(90000));
        QCOMPARE(launcher.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(QString::fromUtf8(launcher.process().readAllStandardError()), err);
        QCOMPARE(QString::fromUtf8(launcher.process().readAllStandardOutput()), out);
        QCOMPARE(launcher.process().exitCode(), status);

        // The application is another process, and it runs on.
        const qint64 application = copy.pid();
        QVERIFY(application > 0);
        QVERIFY(application != launcher.process().processId());
        QVERIFY(!processGone(application));
        if (downloads) {
            QCOMPARE(launcher.urlsOfDownloads(1), QStringList{media});
            if (arguments.contains("--quality"))
                QCOMPARE(launcher.paramsOf("download.start")[0].value("quality").toString(), QString("720p"));
            // The file arrives whole.
            QVERIFY(QTest::qWaitFor(
                [&] { return filesNamed(home.path(), "talk*.mp4").values().contains(server.size); }, 60000));
        }
        // A later launch reaches it; one engine served both.
        Program later(home);
        later.start({"--download", "https://later.invalid/6"});
        QVERIFY(later.process().waitForFinished(30000));
        QCOMPARE(later.process().exitCode(), 0);
        QCOMPARE(QString::fromUtf8(later.process().readAllStandardOutput()),
                 QString("https://later.invalid/6\n"));
        QVERIFY(launcher.urlsOfDownloads(downloads ? 2 : 1).contains("https://later.invalid/6"));
        QCOMPARE(launcher.methods().count("hello"), 1);
        QVERIFY(!processGone(application));
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
