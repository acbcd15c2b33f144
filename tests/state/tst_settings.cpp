#include "Composition.h"
#include "StateFixture.h"

#include "SettingFields.h"
#include "Strings.h"

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void appearanceFollowsTheEnginesAnswer() {
        StateFixture f;
        f.boot();
        f.fakes.appearance.applied.clear();
        QJsonObject answer = f.control("settings.get").toObject();
        answer.insert("appearance", "dark");
        f.script("settings.set", {{"result", answer}});
        f.model->sessionPart().saveSetting(Setting::appearance.with("light"));
        QVERIFY(f.waitForRequests("settings.set", 1));
        QCOMPARE(f.requestsOf("settings.set")[0].params,
                 QJsonObject({{"values", QJsonObject{{"appearance", "light"}}}}));
        QTRY_COMPARE(f.fakes.appearance.applied, QStringList{"dark"});
        QCOMPARE(f.model->sessionPart().settings()->appearance, QString("dark"));
    }

    void languageInstallsTheAnswersTable() {
        StateFixture f;
        f.boot();
        const int generation = f.model->sessionPart().stringsGeneration();
        f.model->sessionPart().saveSetting(Setting::language.with("fr"));
        QVERIFY(f.waitForRequests("i18n.table", 2));
        QCOMPARE(f.requestsOf("i18n.table")[1].params, QJsonObject({{"language", "fr"}}));
        QTRY_COMPARE(f.model->sessionPart().stringsGeneration(), generation + 1);
        QCOMPARE(Strings::language(), QString("fr"));
        QCOMPARE(f.fakes.languages.stored.value_or(QStringList()).value(0), QString("fr"));
    }

    // A failed save keeps the last good settings and sends no follow-up request.
    void aFailedSaveKeepsTheLastGoodSettings() {
        StateFixture f;
        f.boot();
        const EngineSettings before = *f.model->sessionPart().settings();
        f.scriptError("settings.set", 1002, "disk full");
        f.model->sessionPart().setLastError(std::nullopt);
        f.model->sessionPart().saveSetting(Setting::language.with("fr"));
        QTRY_VERIFY(f.model->sessionPart().lastError());
        QCOMPARE(f.model->sessionPart().lastError()->message, QString("disk full"));
        QVERIFY(f.model->sessionPart().log().last().endsWith("disk full"));
        QVERIFY(f.model->sessionPart().settings());
        QCOMPARE(*f.model->sessionPart().settings(), before);
        QTest::qWait(100);
        QCOMPARE(f.requestsOf("i18n.table").size(), 1);

        f.scriptError("settings.get", 1002, "unreadable");
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        QCOMPARE(*f.model->sessionPart().settings(), before);
    }

    void cookieSourceAlwaysSendsAnEmptyFile() {
        StateFixture f;
        f.boot();
        f.model->sessionPart().saveCookieSource("Built-in Browser");
        QVERIFY(f.waitForRequests("settings.setCookieSource", 1));
        QCOMPARE(f.requestsOf("settings.setCookieSource")[0].params,
                 QJsonObject({{"browser", "Built-in Browser"}, {"file", ""}}));
        QTRY_COMPARE(f.model->sessionPart().settings()->cookieSource, QString("Built-in Browser"));
    }

    void choosingTheOutputFolder() {
        StateFixture f;
        f.boot();
        const QString folder = f.path("chosen");
        QDir().mkpath(folder);
        f.fakes.fileDialogs.folderAnswer = std::nullopt;
        QCoro::waitFor(f.model->sessionPart().chooseOutputFolder());
        QTest::qWait(100);
        QVERIFY(f.requestsOf("settings.set").isEmpty());

        f.fakes.fileDialogs.folderAnswer = folder;
        QCoro::waitFor(f.model->sessionPart().chooseOutputFolder());
        QVERIFY(f.waitForRequests("settings.set", 1));
        QCOMPARE(f.requestsOf("settings.set")[0].params,
                 QJsonObject({{"values", QJsonObject{{"outputDir", folder}}}}));
        QTRY_COMPARE(f.model->sessionPart().settings()->outputDir, folder);
    }

    void toggleOptionsSavesTheFlag() {
        StateFixture f;
        f.boot();
        const bool before = f.model->compositionPart().optionsExpanded();
        f.model->compositionPart().toggleOptions();
        QCOMPARE(f.model->compositionPart().optionsExpanded(), !before);
        QVERIFY(f.waitForRequests("settings.set", 1));
        QCOMPARE(f.requestsOf("settings.set")[0].params,
                 QJsonObject({{"values", QJsonObject{{"downloadOptionsExpanded", !before}}}}));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
