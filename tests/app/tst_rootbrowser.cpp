// Run as root without the variable that turns the web engine's sandbox off (as the installed program is
// started), the built-in browser still starts: the program turns the sandbox off itself and says so once.
#include "VamberProgram.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestRootBrowser : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void webEngineStartsAsRoot() {
        if (geteuid() != 0)
            QSKIP("only as root does the web engine refuse its sandbox");
        QTemporaryDir home;
        // With the built-in browser as the cookie source, the first download starts the web engine to
        // read its cookies.
        QVERIFY(QDir().mkpath(home.filePath("support")));
        QFile settings(home.filePath("support/settings.json"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(R"({"cookieSource": "Built-in Browser"})");
        settings.close();
        VamberProgram app(home);
        QProcessEnvironment env = app.environment();
        env.remove("QTWEBENGINE_DISABLE_SANDBOX");
        env.remove("QTWEBENGINE_CHROMIUM_FLAGS");
        app.setEnvironment(env);
        app.start({"https://root.invalid/video"});
        QVERIFY(app.waitForRoot());
        QCOMPARE(app.urlsOfDownloads(1, 30000), QStringList{"https://root.invalid/video"});
        // The download waited for the web engine, which made the browser's profile; the program lives on.
        QVERIFY(QFileInfo(home.filePath("data/vamber/browser/profile-1")).isDir());
        QCOMPARE(app.process().state(), QProcess::Running);
        app.process().terminate();
        QVERIFY(app.process().waitForFinished(15000));
        const QString err = QString::fromLocal8Bit(app.process().readAllStandardError());
        QCOMPARE(err.count("without its sandbox"), 1);
    }
};

QTEST_GUILESS_MAIN(TestRootBrowser)
#include "tst_rootbrowser.moc"
