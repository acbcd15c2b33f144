#include "LocalInstanceGuard.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

// The guard is tested across real processes: this program re-runs itself with "--guard-helper".
//   --guard-helper hold DIR        claims; prints "claimed" and keeps running, or prints "refused"
//   --guard-helper hold-named DIR  the same under an application name unlike the program's file name
//   --guard-helper send DIR ARGS…  must be refused, then sends ARGS; exit 0 when delivered
//   --guard-helper ask DIR ARGS…   must be refused, then asks with ARGS; prints the answer's texts and
//                                  exits with its status, or exits 4 without an answer
static int runHelper(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 64;
    if (args[2] == QLatin1String("hold-named"))
        QCoreApplication::setApplicationName(QStringLiteral("Some Other Name"));
    LocalInstanceGuard guard(args[3], QStringLiteral("test"));
    const bool claimed = guard.claim();
    std::printf("%s\n", claimed ? "claimed" : "refused");
    std::fflush(stdout);
    if (args[2].startsWith(QLatin1String("hold")))
        return claimed ? app.exec() : 3;
    if (args[2] == QLatin1String("send"))
        return claimed ? 5 : (guard.sendToRunning(args.mid(4), 5000) ? 0 : 4);
    if (args[2] == QLatin1String("ask")) {
        if (claimed)
            return 5;
        const std::optional<InstanceAnswer> answer = guard.askRunning(args.mid(4), 5000);
        if (!answer)
            return 4;
        std::printf("out=%s|err=%s\n", qPrintable(answer->out), qPrintable(answer->err));
        std::fflush(stdout);
        return answer->status;
    }
    return 64;
}

class TestInstanceGuard : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> helpers;

    QProcess* startHelper(const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        process->setProgram(QCoreApplication::applicationFilePath());
        process->setArguments(QStringList{QStringLiteral("--guard-helper")} + arguments);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start();
        helpers.push_back(std::move(process));
        return helpers.back().get();
    }
    static QByteArray firstLine(QProcess* process) {
        if (!process->waitForStarted(5000))
            return "not started";
        QDeadlineTimer deadline(10000);
        while (!process->canReadLine() && !deadline.hasExpired())
            process->waitForReadyRead(100);
        return process->readLine().trimmed();
    }
    int exitCodeOf(QProcess* process) {
        // Wait while serving our own event loop: the helper may be talking to this process.
        QDeadlineTimer deadline(10000);
        while (process->state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(10);
        if (process->state() != QProcess::NotRunning)
            return -2;
        return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    }

private Q_SLOTS:
    void init() { QVERIFY(dir.isValid()); }
    void cleanup() {
        for (auto& process : helpers) {
            process->kill();
            process->waitForFinished(5000);
        }
        helpers.clear();
    }

    void secondProcessFindsTheFirstAndHandsOverItsArguments() {
        const QString place = dir.filePath(QStringLiteral("first"));
        LocalInstanceGuard guard(place, QStringLiteral("test"));
        QVERIFY(guard.claim());
        QVERIFY(guard.isListening());
        QSignalSpy received(&guard, &InstanceGuard::messageReceived);

        QProcess* holder = startHelper({QStringLiteral("hold"), place});
        QCOMPARE(firstLine(holder), QByteArray("refused"));
        QCOMPARE(exitCodeOf(holder), 3);

        const QStringList verbs{QStringLiteral("--download"),
                                QStringLiteral("https://v.example/?a=1&b=\"x\""), QStringLiteral("--quality"),
                                QStringLiteral("720p é ✓")};
        QProcess* sender = startHelper(QStringList{QStringLiteral("send"), place} + verbs);
        QCOMPARE(exitCodeOf(sender), 0);
        QCOMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), verbs);
    }

    void liveCopyIsFoundWhateverItsApplicationName() {
        // The lock records the holder's application name; a holder alive under another name than its
        // program's file name must not pass for a dead one.
        const QString place = dir.filePath(QStringLiteral("named"));
        QProcess* holder = startHelper({QStringLiteral("hold-named"), place});
        QCOMPARE(firstLine(holder), QByteArray("claimed"));
        LocalInstanceGuard guard(place, QStringLiteral("test"));
        QVERIFY(!guard.claim());
        QVERIFY(holder->state() == QProcess::Running);
    }

    void askingTwiceIsNotRefused() {
        const QString place = dir.filePath(QStringLiteral("twice"));
        LocalInstanceGuard guard(place, QStringLiteral("test"));
        QVERIFY(guard.claim());
        QVERIFY(guard.claim());
        QVERIFY(!guard.otherCopyRunning());
        // Arguments handed to ourselves arrive like those of another process.
        QSignalSpy received(&guard, &InstanceGuard::messageReceived);
        QVERIFY(guard.sendToRunning({QStringLiteral("https://a.example")}));
        QTRY_COMPARE(received.count(), 1);
    }

    void takesOverFromACopyKilledWithItsLockAndSocketLeftBehind() {
        const QString place = dir.filePath(QStringLiteral("crash"));
        QProcess* crashed = startHelper({QStringLiteral("hold"), place});
        QCOMPARE(firstLine(crashed), QByteArray("claimed"));

        LocalInstanceGuard guard(place, QStringLiteral("test"));
        QVERIFY(!guard.claim()); // alive: refused

        crashed->kill(); // SIGKILL: no clean-up runs
        QVERIFY(crashed->waitForFinished(5000));
        QVERIFY(QFile::exists(guard.lockPath()));
        QVERIFY(QFile::exists(guard.socketPath()));

        QVERIFY(guard.claim());
        QVERIFY(guard.isListening());
        QSignalSpy received(&guard, &InstanceGuard::messageReceived);
        QProcess* sender =
            startHelper({QStringLiteral("send"), place, QStringLiteral("--download-clipboard")});
        QCOMPARE(exitCodeOf(sender), 0);
        QCOMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), QStringList{QStringLiteral("--download-clipboard")});
    }

    // The answer may come later than the receipt; it carries the status and both texts, verbatim.
    void askerGetsTheAnswerWhenItIsGiven_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("success with a title") << 0 << QStringLiteral("Un titre é ✓") << QString();
        QTest::newRow("refusal") << 1 << QString() << QStringLiteral("Copy a video address first.");
        QTest::newRow("other status") << 7 << QStringLiteral("a") << QStringLiteral("b");
    }
    void askerGetsTheAnswerWhenItIsGiven() {
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const QString place = dir.filePath(QStringLiteral("ask"));
        LocalInstanceGuard guard(place, QStringLiteral("test"));
        QVERIFY(guard.claim());
        QStringList asked;
        int answers = 0;
        guard.setAnswerHandler([&](QStringList arguments, InstanceResponder respond) {
            asked = arguments;
            // Answered on a later turn, twice: only the first counts.
            QTimer::singleShot(200, this, [&answers, respond, status, out, err] {
                ++answers;
                respond({status, out, err});
                respond({99, QStringLiteral("late"), QStringLiteral("late")});
            });
        });
        QProcess* asker = startHelper({QStringLiteral("ask"), place, QStringLiteral("--download-clipboard")});
        QCOMPARE(exitCodeOf(asker), status);
        QCOMPARE(answers, 1);
        QCOMPARE(asked, QStringList{QStringLiteral("--download-clipboard")});
        QCOMPARE(QString::fromUtf8(asker->readAllStandardOutput()),
                 QStringLiteral("refused\nout=%1|err=%2\n").arg(out, err));
    }

    // Without a handler every message is answered at once with status 0.
    void askerWithoutAHandlerGetsStatusZero() {
        const QString place = dir.filePath(QStringLiteral("plain"));
        LocalInstanceGuard guard(place, QStringLiteral("test"));
        QVERIFY(guard.claim());
        QProcess* asker = startHelper({QStringLiteral("ask"), place, QStringLiteral("x")});
        QCOMPARE(exitCodeOf(asker), 0);
    }

    // A running copy that goes away before answering leaves the asker without an answer, not waiting.
    void askerOfACopyThatEndsGetsNoAnswer() {
        const QString place = dir.filePath(QStringLiteral("ends"));
        auto guard = std::make_unique<LocalInstanceGuard>(place, QStringLiteral("test"));
        QVERIFY(guard->claim());
        QList<InstanceResponder> kept;
        guard->setAnswerHandler([&](QStringList, InstanceResponder respond) { kept << respond; });
        QProcess* asker = startHelper({QStringLiteral("ask"), place, QStringLiteral("x")});
        QTRY_COMPARE(kept.size(), 1);
        QCOMPARE(asker->state(), QProcess::Running);
        guard.reset(); // its server and connections close
        QCOMPARE(exitCodeOf(asker), 4);
        kept.first()({0, QStringLiteral("too late"), {}}); // answering a closed connection is harmless
    }

    void sendingWithNobodyRunningFails() {
        LocalInstanceGuard guard(dir.filePath(QStringLiteral("nobody")), QStringLiteral("test"));
        QVERIFY(!guard.sendToRunning({QStringLiteral("x")}, 300));
    }

    void malformedMessageIsDroppedAndTheNextOneServed() {
        const QString place = dir.filePath(QStringLiteral("bad"));
        LocalInstanceGuard guard(place, QStringLiteral("test"));
        QVERIFY(guard.claim());
        QSignalSpy received(&guard, &InstanceGuard::messageReceived);

        for (const QByteArray& bad :
             {QByteArray("not json\n"), QByteArray("[\"a\", 2]\n"), QByteArray("{}\n")}) {
            QTest::ignoreMessage(QtWarningMsg,
                                 "instance guard: dropped a message that is not a list of strings");
            QLocalSocket socket;
            socket.connectToServer(guard.socketPath());
            QVERIFY(socket.waitForConnected(2000));
            socket.write(bad);
            QTRY_VERIFY(socket.state() == QLocalSocket::UnconnectedState);
            QVERIFY(!socket.canReadLine());
        }
        QCOMPARE(received.count(), 0);

        QProcess* sender = startHelper({QStringLiteral("send"), place, QStringLiteral("ok")});
        QCOMPARE(exitCodeOf(sender), 0);
        QCOMPARE(received.count(), 1);
    }
};

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--guard-helper") == 0)
        return runHelper(argc, argv);
    QCoreApplication app(argc, argv);
    TestInstanceGuard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instanceguard.moc"
