// The share program: which of the shared items count as links, the deep link it writes or opens, and its
// refusal when nothing usable was shared.
#include "SharedItems.h"
#include "VamberProgram.h"
#include "VamberURL.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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
    void links_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("a link") << QStringList{"https://a.example/v?id=1"}
                                << QStringList{"https://a.example/v?id=1"};
        QTest::newRow("plain text") << QStringList{"look at this"} << QStringList{};
        QTest::newRow("text with a link inside") << QStringList{"see https://a.example/v"} << QStringList{};
        QTest::newRow("capital scheme") << QStringList{"HTTPS://A.EXAMPLE/V"} << QStringList{};
        QTest::newRow("mixed-case scheme") << QStringList{"Http://a.example/"} << QStringList{};
        QTest::newRow("trimmed text link")
            << QStringList{" \t\nhttps://a.example/v a\n "} << QStringList{"https://a.example/v a"};
        QTest::newRow("first of several, order kept")
            << QStringList{"no", "http://b.example/2", "https://c.example/3"}
            << QStringList{"http://b.example/2", "https://c.example/3"};
        QTest::newRow("another scheme passes as given")
            << QStringList{"ftp://files.example/a.mp4", "https://a.example/"}
            << QStringList{"ftp://files.example/a.mp4", "https://a.example/"};
        QTest::newRow("nothing") << QStringList{} << QStringList{};
        QTest::newRow("blank") << QStringList{"", "   "} << QStringList{};
    }
    void links() {
        QFETCH(QStringList, items);
        QFETCH(QStringList, expected);
        QCOMPARE(SharedItems::links(items, QDir::tempPath()), expected);
    }

    // An existing file, named absolutely or relative to the working folder, becomes a file: link.
    void filesBecomeFileLinks() {
        QTemporaryDir dir;
        QFile file(dir.filePath("my clip #1.mp4"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString expected = QUrl::fromLocalFile(file.fileName()).toString(QUrl::FullyEncoded);
        QCOMPARE(SharedItems::links({file.fileName()}, "/"), QStringList{expected});
        QCOMPARE(SharedItems::links({"my clip #1.mp4"}, dir.path()), QStringList{expected});
        QCOMPARE(SharedItems::links({"missing.mp4"}, dir.path()), QStringList{});
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
