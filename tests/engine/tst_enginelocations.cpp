// Where the interpreter and the engine script are found, and what the child's environment holds.

#include "EngineLaunchError.h"
#include "EngineLocations.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A temporary install prefix, a development checkout and a folder outside both.
struct Tree {
    QTemporaryDir dir;
    QString bundle() const { return dir.path() + QStringLiteral("/bundle"); }
    QString exeDir() const { return bundle() + QStringLiteral("/lib/vamber"); }
    QString resources() const { return bundle() + QStringLiteral("/share/vamber"); }
    QString dev() const { return dir.path() + QStringLiteral("/checkout"); }

    // Tag to path: the four interpreter places and the three script places.
    QString path(const QString& tag) const {
        static const QMap<QString, QString> rel{
            {"env", "/elsewhere/python-env"},
            {"exe", "/bundle/lib/vamber/python"},
            {"res", "/bundle/share/vamber/python/bin/python3"},
            {"dev", "/checkout/Engine/venv/bin/python"},
            {"envServer", "/elsewhere/server-env.py"},
            {"resServer", "/bundle/share/vamber/engine/server.py"},
            {"devServer", "/checkout/Engine/server.py"},
        };
        return dir.path() + rel.value(tag);
    }

    void make(const QString& tag, bool executable) const {
        const QString p = path(tag);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
        if (executable)
            perms |= QFile::ExeOwner;
        QVERIFY(f.setPermissions(perms));
    }

    EngineLocations locations() const {
        EngineLocations l;
        l.bundleDir = bundle();
        l.executableDir = exeDir();
        l.resourcesDir = resources();
        l.developmentRoot = dev();
        l.appVersion = QStringLiteral("9.8.7");
        l.environment = QProcessEnvironment();
        l.environment.insert(QStringLiteral("HOME"), QStringLiteral("/home/someone"));
        return l;
    }
};

} // namespace

class TestEngineLocations : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void interpreterSearch_data() {
        QTest::addColumn<QString>("pythonVar"); // "unset", "empty", "missing" or a tag
        QTest::addColumn<QStringList>("executables");
        QTest::addColumn<QStringList>("plainFiles");
        QTest::addColumn<QString>("found"); // a tag, or "" when the search fails
        QTest::addColumn<QStringList>("tried");

        const QStringList three{"exe", "res", "dev"};
        QTest::newRow("beside the program")
            << "unset" << QStringList{"exe", "res", "dev"} << QStringList{} << "exe" << three;
        QTest::newRow("in the resources")
            << "unset" << QStringList{"res", "dev"} << QStringList{} << "res" << three;
        QTest::newRow("in the checkout") << "unset" << QStringList{"dev"} << QStringList{} << "dev" << three;
        QTest::newRow("variable first") << "env" << QStringList{"env", "exe"} << QStringList{} << "env"
                                        << QStringList{"env", "exe", "res", "dev"};
        QTest::newRow("empty variable is tried") << "empty" << QStringList{"res"} << QStringList{} << "res"
                                                 << QStringList{"", "exe", "res", "dev"};
        QTest::newRow("missing variable is tried") << "missing" << QStringList{"dev"} << QStringList{}
                                                   << "dev" << QStringList{"missing", "exe", "res", "dev"};
        QTest::newRow("not executable is skipped") << "env" << QStringList{"dev"} << QStringList{"env", "exe"}
                                                   << "dev" << QStringList{"env", "exe", "res", "dev"};
        // A folder (searchable, so "executable") is not an interpreter.
        QTest::newRow("folder is skipped") << "folder" << QStringList{"dev"} << QStringList{} << "dev"
                                           << QStringList{"missing", "exe", "res", "dev"};
        QTest::newRow("nothing, unset variable")
            << "unset" << QStringList{} << QStringList{"exe"} << "" << three;
        QTest::newRow("nothing, missing variable") << "missing" << QStringList{} << QStringList{} << ""
                                                   << QStringList{"missing", "exe", "res", "dev"};
    }

    void interpreterSearch() {
        QFETCH(QString, pythonVar);
        QFETCH(QStringList, executables);
        QFETCH(QStringList, plainFiles);
        QFETCH(QString, found);
        QFETCH(QStringList, tried);

        Tree t;
        for (const QString& tag : executables)
            t.make(tag, true);
        for (const QString& tag : plainFiles)
            t.make(tag, false);
        EngineLocations l = t.locations();
        const QString missing = t.dir.path() + QStringLiteral("/no/such/python");
        if (pythonVar == "empty")
            l.environment.insert(QStringLiteral("VAMBER_PYTHON"), QString());
        else if (pythonVar == "folder") {
            QVERIFY(QDir().mkpath(missing));
            l.environment.insert(QStringLiteral("VAMBER_PYTHON"), missing);
        } else if (pythonVar == "missing")
            l.environment.insert(QStringLiteral("VAMBER_PYTHON"), missing);
        else if (pythonVar != "unset")
            l.environment.insert(QStringLiteral("VAMBER_PYTHON"), t.path(pythonVar));

        QStringList expectedTried;
        for (const QString& tag : tried)
            expectedTried << (tag.isEmpty() ? QString() : tag == "missing" ? missing : t.path(tag));
        QCOMPARE(l.pythonCandidates(), expectedTried);

        if (!found.isEmpty()) {
            QCOMPARE(l.locatePython(), t.path(found));
            return;
        }
        try {
            l.locatePython();
            QFAIL("no interpreter should be found");
        } catch (const EngineLaunchError& e) {
            QCOMPARE(e.kind(), EngineLaunchError::Kind::PythonNotFound);
            QCOMPARE(e.triedPaths(), expectedTried);
        }
    }

    void missingFolders() {
        // Without an executable or resources folder only the checkout is tried.
        EngineLocations l;
        l.developmentRoot = QStringLiteral("/nowhere");
        QCOMPARE(l.pythonCandidates(), QStringList{"/nowhere/Engine/venv/bin/python"});
        QVERIFY(!l.locateServer());
    }

    void scriptSearch_data() {
        QTest::addColumn<QString>("serverVar"); // "unset", "empty", "missing" or a tag
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("found"); // a tag, or "" for none

        QTest::newRow("variable") << "envServer" << QStringList{"envServer", "resServer"} << "envServer";
        QTest::newRow("resources") << "unset" << QStringList{"resServer", "devServer"} << "resServer";
        QTest::newRow("checkout") << "unset" << QStringList{"devServer"} << "devServer";
        QTest::newRow("empty variable ignored") << "empty" << QStringList{"resServer"} << "resServer";
        QTest::newRow("missing variable ignored") << "missing" << QStringList{"devServer"} << "devServer";
        QTest::newRow("not executable is fine") << "envServer" << QStringList{"envServer"} << "envServer";
        QTest::newRow("none") << "missing" << QStringList{} << "";
    }

    void scriptSearch() {
        QFETCH(QString, serverVar);
        QFETCH(QStringList, files);
        QFETCH(QString, found);

        Tree t;
        for (const QString& tag : files)
            t.make(tag, false);
        EngineLocations l = t.locations();
        if (serverVar == "empty")
            l.environment.insert(QStringLiteral("VAMBER_ENGINE_SERVER"), QString());
        else if (serverVar == "missing")
            l.environment.insert(QStringLiteral("VAMBER_ENGINE_SERVER"), t.dir.path() + "/no/server.py");
        else if (serverVar != "unset")
            l.environment.insert(QStringLiteral("VAMBER_ENGINE_SERVER"), t.path(serverVar));

        const std::optional<QString> server = l.locateServer();
        if (found.isEmpty())
            QVERIFY(!server);
        else
            QCOMPARE(server.value_or(QString()), t.path(found));
    }

    void childEnvironment_data() {
        QTest::addColumn<QString>("interpreter"); // a path relative to the temporary folder
        QTest::addColumn<bool>("stdlibInResources");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("pythonHome");

        QTest::newRow("bundled interpreter") << "/bundle/lib/vamber/python" << true << "1.2" << true;
        QTest::newRow("bundled, resources lack the library")
            << "/bundle/lib/vamber/python" << false << "1.2" << false;
        QTest::newRow("in the resources")
            << "/bundle/share/vamber/python/bin/python3" << true << "1.2" << true;
        QTest::newRow("checkout interpreter") << "/checkout/Engine/venv/bin/python" << true << "1.2" << false;
        // A sibling folder whose name merely begins like the prefix is outside it.
        QTest::newRow("sibling with the same beginning") << "/bundle-other/python" << true << "1.2" << false;
        QTest::newRow("prefix spelled with dots")
            << "/bundle/lib/../lib/vamber/python" << true << "1.2" << true;
        QTest::newRow("no version") << "/checkout/Engine/venv/bin/python" << false << "" << false;
    }

    void childEnvironment() {
        QFETCH(QString, interpreter);
        QFETCH(bool, stdlibInResources);
        QFETCH(QString, version);
        QFETCH(bool, pythonHome);

        Tree t;
        if (stdlibInResources)
            QVERIFY(QDir().mkpath(t.resources() + QStringLiteral("/lib/python3.12")));
        EngineLocations l = t.locations();
        l.appVersion = version;
        const QProcessEnvironment env = l.childEnvironment(t.dir.path() + interpreter);

        QCOMPARE(env.value(QStringLiteral("HOME")), QStringLiteral("/home/someone"));
        QCOMPARE(env.value(QStringLiteral("PYTHONUNBUFFERED")), QStringLiteral("1"));
        QCOMPARE(env.value(QStringLiteral("PYTHONDONTWRITEBYTECODE")), QStringLiteral("1"));
        QCOMPARE(env.contains(QStringLiteral("VAMBER_APP_VERSION")), !version.isEmpty());
        QCOMPARE(env.value(QStringLiteral("VAMBER_APP_VERSION")), version);
        QCOMPARE(env.contains(QStringLiteral("PYTHONHOME")), pythonHome);
        if (pythonHome)
            QCOMPARE(env.value(QStringLiteral("PYTHONHOME")), t.resources());
    }

    void launchErrorTexts() {
        const auto tried = EngineLaunchError::pythonNotFound({"/a/python", "/b/python"});
        QCOMPARE(tried.textKey(), QStringLiteral("v2_engine_python_not_found"));
        QCOMPARE(tried.text(),
                 QStringLiteral("No Python interpreter found. Looked in:\n/a/python\n/b/python"));
        QCOMPARE(EngineLaunchError::serverNotFound("Engine/server.py").text(),
                 QStringLiteral("The engine isn’t where it was expected: Engine/server.py"));
        QCOMPARE(EngineLaunchError::notRunning().text(), QStringLiteral("The engine isn’t running."));
        QCOMPARE(EngineLaunchError::supportBusy().textKey(), QStringLiteral("v2_engine_support_busy"));
        QCOMPARE(EngineLaunchError::otherCopyRunning().textKey(), QStringLiteral("v2_engine_other_copy"));
        QCOMPARE(
            EngineLaunchError::stopped().text(),
            QStringLiteral("The engine stopped. Downloads in progress weren’t lost on disk, but it has to be "
                           "restarted."));
    }
};

QTEST_GUILESS_MAIN(TestEngineLocations)
#include "tst_enginelocations.moc"
