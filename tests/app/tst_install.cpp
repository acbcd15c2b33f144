// The installed copy: `cmake --install` into a fresh prefix gives the programs, the engine, the desktop
// entries and the icons; the desktop entries pass the desktop's validator; the installed `vamber` finds
// its own engine; and a vamber: link opened through the desktop (xdg-open and the installed entry)
// reaches the running copy.
#include "VamberProgram.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>

namespace {

QString prefixPath;

// The environment under which the desktop routes vamber: links to the installed entry (no desktop
// session, so xdg-open takes its generic road through the entry's Exec line).
QProcessEnvironment desktopEnvironment(QProcessEnvironment env, const QTemporaryDir& home) {
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "XDG_SESSION_DESKTOP", "BROWSER"})
        env.remove(name);
    env.insert("PATH", prefixPath + "/bin:" + env.value("PATH"));
    // xdg-open asks the handler of a scheme only on a display; the programs themselves draw offscreen.
    if (env.value("DISPLAY").isEmpty() && env.value("WAYLAND_DISPLAY").isEmpty())
        env.insert("DISPLAY", ":0");
    env.insert("XDG_DATA_DIRS", prefixPath + "/share:/usr/share");
    QDir().mkpath(home.filePath("config"));
    QFile list(home.filePath("config/mimeapps.list"));
    if (list.open(QIODevice::WriteOnly))
        list.write("[Default Applications]\nx-scheme-handler/vamber=vamber.desktop\n");
    return env;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir prefix;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(prefix.isValid());
        prefixPath = prefix.path();
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(VAMBER_CMAKE_COMMAND, {"--install", qEnvironmentVariable("VAMBER_TEST_BUILD_DIR"),
                                             "--prefix", prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());
    }

    void layout_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("present");
        for (const char* path :
             {"lib/vamber/vamber", "lib/vamber/vamber-share", "lib/vamber/python", "bin/vamber",
              "bin/vamber-share", "share/vamber/engine/server.py", "share/vamber/engine/vamber_engine",
              "share/vamber/engine/texts/en.json", "share/vamber/engine/texts/fr.json",
              "share/vamber/engine/models.json", "share/applications/vamber.desktop",
              "share/applications/vamber-share.desktop"})
            QTest::newRow(path) << QString(path) << true;
        // The engine's own tests and development leftovers stay behind.
        for (const char* path :
             {"share/vamber/engine/tests", "share/vamber/engine/bench", "share/vamber/engine/venv",
              "share/vamber/engine/CMakeLists.txt", "share/vamber/engine/vamber_engine/__pycache__"})
            QTest::newRow(path) << QString(path) << false;
    }
    void layout() {
        QFETCH(QString, path);
        QFETCH(bool, present);
        QCOMPARE(QFileInfo::exists(prefix.filePath(path)), present);
    }

    void commandsLeadToThePrograms() {
        QCOMPARE(QFileInfo(prefix.filePath("bin/vamber")).canonicalFilePath(),
                 QFileInfo(prefix.filePath("lib/vamber/vamber")).canonicalFilePath());
        QCOMPARE(QFileInfo(prefix.filePath("bin/vamber-share")).canonicalFilePath(),
                 QFileInfo(prefix.filePath("lib/vamber/vamber-share")).canonicalFilePath());
        QVERIFY(QFileInfo(prefix.filePath("lib/vamber/python")).isExecutable());
    }

    void iconsInEverySize() {
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QImage icon(
                prefix.filePath(QString("share/icons/hicolor/%1x%1/apps/vamber.png").arg(size)));
            QCOMPARE(icon.size(), QSize(size, size));
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);                 // rounded corner
            QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255); // the tile
        }
    }

    void desktopEntriesValidate_data() {
        QTest::addColumn<QString>("entry");
        QTest::newRow("vamber") << "vamber.desktop";
        QTest::newRow("vamber-share") << "vamber-share.desktop";
    }
    void desktopEntriesValidate() {
        QFETCH(QString, entry);
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start("desktop-file-validate", {prefix.filePath("share/applications/" + entry)});
        QVERIFY(validate.waitForFinished(10000));
        QVERIFY2(validate.exitCode() == 0, validate.readAll().constData());
    }

    void desktopEntryDeclaresTheSchemeAndTheAction() {
        QFile file(prefix.filePath("share/applications/vamber.desktop"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const char* line : {"Exec=vamber %U", "MimeType=x-scheme-handler/vamber;", "Icon=vamber",
                                 "Actions=download-clipboard;", "[Desktop Action download-clipboard]",
                                 "Name=Download the copied link", "Name[fr]=Télécharger le lien copié",
                                 "Name[nl]=Download de gekopieerde link", "Exec=vamber --download-clipboard"})
            QVERIFY2(text.contains(QString::fromUtf8(line) + "\n"), line);
        QFile share(prefix.filePath("share/applications/vamber-share.desktop"));
        QVERIFY(share.open(QIODevice::ReadOnly));
        const QString shareText = QString::fromUtf8(share.readAll());
        QVERIFY(shareText.contains("NoDisplay=true\n"));
        QVERIFY(shareText.contains("Exec=vamber-share %U\n"));
        QVERIFY(!shareText.contains("x-scheme-handler/http"));
    }

    // The installed program started from its prefix runs the engine installed beside it.
    void installedCopyFindsItsEngine() {
        QTemporaryDir home;
        VamberProgram app(home, prefix.filePath("bin/vamber"));
        app.start();
        QVERIFY(app.waitForRoot());
        const QJsonObject startup = app.engineStartup();
        QCOMPARE(startup.value("executable").toString(), prefix.filePath("lib/vamber/python"));
        QVERIFY2(startup.value("argv").toVariant().toStringList().contains(
                     prefix.filePath("share/vamber/engine/server.py")),
                 QJsonDocument(startup.value("argv").toArray()).toJson().constData());
    }

    // A link opened through the desktop: xdg-open picks the installed entry, whose launch hands the link
    // to the running copy.
    void linkOpenedThroughTheDesktopReachesTheRunningCopy() {
        QTemporaryDir home;
        VamberProgram app(home, prefix.filePath("bin/vamber"));
        app.setEnvironment(desktopEnvironment(app.environment(), home));
        app.start();
        QVERIFY(app.waitForRoot());
        QProcess open;
        open.setProcessEnvironment(app.environment());
        open.setProcessChannelMode(QProcess::ForwardedChannels);
        open.start("xdg-open", {"vamber://download?url=https%3A%2F%2Fdesktop.invalid%2Fv%3Fa%3D1%26b%3D2"});
        QVERIFY(open.waitForFinished(20000));
        QCOMPARE(open.exitCode(), 0);
        QCOMPARE(app.urlsOfDownloads(1), QStringList{"https://desktop.invalid/v?a=1&b=2"});
    }

    // The share program, installed, with the desktop's own opener: what it is given becomes a download
    // in the running copy.
    void sharedLinkReachesTheRunningCopyThroughTheDesktop() {
        QTemporaryDir home;
        VamberProgram app(home, prefix.filePath("bin/vamber"));
        app.setEnvironment(desktopEnvironment(app.environment(), home));
        app.start();
        QVERIFY(app.waitForRoot());
        QProcess share;
        QProcessEnvironment env = app.environment();
        env.remove("VAMBER_SHARE_OPENER");
        share.setProcessEnvironment(env);
        share.start(prefix.filePath("bin/vamber-share"), {"  https://shared.invalid/clip?t=1&x=%C3%A9  "});
        QVERIFY(share.waitForFinished(10000));
        QCOMPARE(share.exitCode(), 0);
        QCOMPARE(app.urlsOfDownloads(1), QStringList{"https://shared.invalid/clip?t=1&x=%C3%A9"});
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
