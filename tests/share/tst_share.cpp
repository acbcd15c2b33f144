// The share program: which of the shared items count as links, the deep link it writes or opens, and its
// refusal when nothing usable was shared.
#include "SharedItems.h"
#include "VamberProgram.h"
#include "VamberURL.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run share(const QStringList& arguments, const QByteArray& input = {},
          const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VAMBER_SHARE_PROGRAM), arguments);
    process.write(input);
    process.closeWriteChannel();
    Run run;
    if (!process.waitForFinished(30000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
} // namespace

class TestShare : public QObject {
    Q_OBJECT
private slots:
    // The first item that is a link or is refused decides; plain text is passed over.
    void pick_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("link");    // the link sent, or ""
        QTest::addColumn<QString>("refusal"); // a word of the refusal, or "" when nothing is refused
        QTest::newRow("a link") << QStringList{"https://a.example/v?id=1"} << "https://a.example/v?id=1"
                                << "";
        QTest::newRow("plain text") << QStringList{"look at this"} << ""
                                    << "";
        QTest::newRow("text with a link inside") << QStringList{"see https://a.example/v"} << ""
                                                 << "";
        QTest::newRow("capital scheme") << QStringList{"HTTPS://A.EXAMPLE/V"} << ""
                                        << "";
        QTest::newRow("mixed-case scheme") << QStringList{"Http://a.example/"} << ""
                                           << "";
        QTest::newRow("trimmed text link")
            << QStringList{" \t\nhttps://a.example/v a\n "} << "https://a.example/v a"
            << "";
        QTest::newRow("first of several")
            << QStringList{"no", "http://b.example/2", "https://c.example/3"} << "http://b.example/2"
            << "";
        QTest::newRow("mail address") << QStringList{"mailto:someone@a.example", "https://a.example/"} << ""
                                      << "not a web address";
        QTest::newRow("script") << QStringList{"javascript:alert(1)"} << ""
                                << "not a web address";
        QTest::newRow("another scheme") << QStringList{"ftp://files.example/a.mp4"} << ""
                                        << "not a web address";
        QTest::newRow("file link") << QStringList{"file:///etc/hostname"} << ""
                                   << "not a web address";
        QTest::newRow("web scheme without a host") << QStringList{"https://"} << ""
                                                   << "not a complete";
        QTest::newRow("text link without a host") << QStringList{" http:// "} << ""
                                                  << "not a complete";
        QTest::newRow("a link before a refusal")
            << QStringList{"https://a.example/", "mailto:x@a.example"} << "https://a.example/"
            << "";
        QTest::newRow("nothing") << QStringList{} << ""
                                 << "";
        QTest::newRow("blank") << QStringList{"", "   "} << ""
                               << "";
    }
    void pick() {
        QFETCH(QStringList, items);
        QFETCH(QString, link);
        QFETCH(QString, refusal);
        const SharedItems::Pick pick = SharedItems::pick(items, QDir::tempPath());
        QCOMPARE(pick.link, link);
        QCOMPARE(pick.kind, !link.isEmpty()      ? SharedItems::Pick::Kind::Link
                            : !refusal.isEmpty() ? SharedItems::Pick::Kind::Refused
                                                 : SharedItems::Pick::Kind::Nothing);
        QVERIFY2(pick.reason.contains(refusal), qPrintable(pick.reason));
    }

    // An existing file, named absolutely or relative to the working folder, is refused: it can never be
    // downloaded.
    void filesAreRefused() {
        QTemporaryDir dir;
        QFile file(dir.filePath("my clip #1.mp4"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        for (const auto& [item, folder] : {std::pair{file.fileName(), QStringLiteral("/")},
                                           std::pair{QStringLiteral("my clip #1.mp4"), dir.path()}}) {
            const SharedItems::Pick pick = SharedItems::pick({item, "https://a.example/"}, folder);
            QCOMPARE(pick.kind, SharedItems::Pick::Kind::Refused);
            QVERIFY2(pick.reason.contains("is a file"), qPrintable(pick.reason));
        }
        QCOMPARE(SharedItems::pick({"missing.mp4"}, dir.path()).kind, SharedItems::Pick::Kind::Nothing);
    }

    // The program refuses at once, with a message and status 1, and opens nothing.
    void programRefuses_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("message");
        QTest::newRow("mail address")
            << QStringList{"mailto:a@b.example"} << QByteArray() << "not a web address";
        QTest::newRow("script") << QStringList{"javascript:alert(1)"} << QByteArray() << "not a web address";
        QTest::newRow("a file") << QStringList{"/"} << QByteArray() << "is a file";
        QTest::newRow("a file on standard input") << QStringList{} << QByteArray("/\n") << "is a file";
        QByteArray noise(10 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator rng(39);
        for (char& c : noise)
            c = char(rng.bounded(256));
        QTest::newRow("10 MB of random bytes") << QStringList{} << noise << "not a shared link";
        QByteArray binary("https://a.example/\n\0\xff\n", 22);
        QTest::newRow("bytes that are not text") << QStringList{} << binary << "not text";
    }
    void programRefuses() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString witness = dir.filePath("opened");
        const QString opener = dir.filePath("opener");
        QFile script(opener);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + witness.toUtf8() + "\"\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VAMBER_SHARE_OPENER", opener);
        for (const bool print : {true, false}) {
            const QStringList args = (print ? QStringList{"--print"} : QStringList{}) + arguments;
            const Run run = share(args, input, environment);
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.out.isEmpty(), qPrintable(run.out.left(200)));
            QVERIFY2(run.err.startsWith("vamber-share: ") && run.err.contains(message), qPrintable(run.err));
            QVERIFY(run.err.size() < 400);
        }
        // The opener ran once: for a later share that sends a link, and never for the refusals before it.
        const Run later = share({"https://a.example/"}, {}, environment);
        QCOMPARE(later.exitCode, 0);
        const auto opened = [&] {
            QFile file(witness);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        // The opener's line is complete once it ends.
        QTRY_VERIFY_WITH_TIMEOUT(opened().endsWith('\n'), 10000);
        const QList<QByteArray> lines = opened().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(VamberURL::parse(QString::fromUtf8(lines[0]))->address, QString("https://a.example/"));
    }

    // What --print writes reads back, through the application's own codec, as the shared address.
    void printedLinkRoundTrips_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("query and fragment") << "https://a.example/watch?v=1&t=2#start";
        QTest::newRow("reserved characters") << "https://a.example/p%20q?a=b+c&d=%26e=f?g";
        QTest::newRow("spaces") << "https://a.example/a b?c d";
        QTest::newRow("non-ASCII") << "https://例え.example/vidéo?titre=été";
    }
    void printedLinkRoundTrips() {
        QFETCH(QString, address);
        const Run run = share({"--print", address});
        QCOMPARE(run.exitCode, 0);
        const QString link = run.out.trimmed();
        QVERIFY2(link.startsWith("vamber://download?url="), qPrintable(link));
        const auto target = VamberURL::parse(link);
        QVERIFY(target);
        QCOMPARE(target->address, address);
        QVERIFY(target->quality.isNull());
    }

    // With no arguments the lines of standard input are the items; the first link wins.
    void standardInputLines() {
        const Run run =
            share({"--print"}, "hello\n  HTTP://NO.example\n https://yes.example/1 \nhttps://b/2\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(VamberURL::parse(run.out.trimmed())->address, QString("https://yes.example/1"));
    }

    // Nothing usable: the refusal on standard error, status 1, nothing written or opened.
    void nothingToSend_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("no arguments, empty input") << QStringList{} << QByteArray();
        QTest::newRow("only text") << QStringList{"just words"} << QByteArray();
        QTest::newRow("printing, only text") << QStringList{"--print", "HTTPS://X"} << QByteArray();
    }
    void nothingToSend() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        const Run run = share(arguments, input);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains("nothing to send"), qPrintable(run.err));
    }

    // Without --print the deep link goes to the opener (xdg-open, replaced here by a script that records
    // what it was given).
    void opensTheDeepLink() {
        QTemporaryDir dir;
        const QString record = dir.filePath("opened");
        const QString opener = dir.filePath("opener");
        QFile script(opener);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s' \"$*\" > \"" + record.toUtf8() + ".tmp\" && mv \"" +
                     record.toUtf8() + ".tmp\" \"" + record.toUtf8() + "\"\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VAMBER_SHARE_OPENER", opener);

        const Run run = share({"https://a.example/v?x=1&y=2"}, {}, environment);
        QCOMPARE(run.exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QFile opened(record);
        QVERIFY(opened.open(QIODevice::ReadOnly));
        QCOMPARE(VamberURL::parse(QString::fromUtf8(opened.readAll()))->address,
                 QString("https://a.example/v?x=1&y=2"));

        environment.insert("VAMBER_SHARE_OPENER", dir.filePath("no-such-opener"));
        const Run missing = share({"https://a.example/"}, {}, environment);
        QCOMPARE(missing.exitCode, 1);
        QVERIFY2(missing.err.contains("could not start"), qPrintable(missing.err));
    }

    // A real run: what is shared becomes a download in a running Vamber (a test copy with the stand-in
    // engine), the deep link opened with the program itself as the desktop would.
    void reachesARunningVamber_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("downloaded");
        QTest::newRow("a link") << QStringList{"  https://share.invalid/v?a=1&b=2#t=3 "} << QByteArray()
                                << "https://share.invalid/v?a=1&b=2#t=3";
        QTest::newRow("standard input, text first")
            << QStringList{} << QByteArray("just words\nhttps://share.invalid/é x+y\nhttps://other.invalid\n")
            << "https://share.invalid/é x+y";
    }
    void reachesARunningVamber() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, downloaded);
        QTemporaryDir home;
        VamberProgram app(home);
        app.start();
        QVERIFY(app.waitForRoot());
        QProcessEnvironment environment = app.environment();
        environment.insert("VAMBER_SHARE_OPENER", VamberProgram::binary());
        const Run run = share(arguments, input, environment);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(app.urlsOfDownloads(1), QStringList{downloaded});
        QCOMPARE(app.process().state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TestShare)
#include "tst_share.moc"
