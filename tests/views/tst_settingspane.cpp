// The settings pane against the real stand-in engine: what each control shows with and without a
// settings record, the key and value each control sends (as the engine's request log shows them), that
// re-syncing sends nothing, and that a refused save leaves every control at the last good settings.
#include "Composition.h"
#include "SettingsHelpers.h"

#include "kit/Switch.h"
#include "settings/SettingPicker.h"
#include "settings/SettingsNames.h"
#include "settings/SettingsPane.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace {

template <class T> T* child(QWidget* root, const QString& name) {
    return root->findChild<T*>(name);
}

SettingPicker* picker(QWidget* root, const QString& name) {
    return child<SettingPicker>(root, name);
}

QStringList texts(QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

int requestCount(const StateFixture& f) {
    return f.requestsOf(QStringLiteral("settings.set")).size() +
           f.requestsOf(QStringLiteral("settings.setCookieSource")).size();
}

} // namespace

class TestSettingsPane : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { Strings::reset(); }

    void withoutSettingsEveryControlShowsItsDefault();
    void showsTheSettingsRecord();
    void eachControlSendsItsKeyAndValue_data();
    void eachControlSendsItsKeyAndValue();
    void cancelledFolderChooserSendsNothing();
    void resyncingSendsNothing();
    void refusedSaveKeepsTheLastGoodSettings();
    void showingReloadsTheSettings();
    void sectionCanBeAskedForFromOutside();
};

void TestSettingsPane::withoutSettingsEveryControlShowsItsDefault() {
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("settings.get"),
             QJsonObject{
                 {QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), 5},
                                                       {QStringLiteral("message"), QStringLiteral("no")}}}},
             0);
    SettingsPane pane(*f.model);
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QVERIFY(f.waitForRequests(QStringLiteral("settings.get"), 1));
    // The reload's second half, the allowed options, proves the failed read has been applied.
    QVERIFY(f.waitForRequests(QStringLiteral("options.allowed"), 1));
    QTRY_VERIFY(!f.model->compositionPart().allowedOptions().allCookieSources.isEmpty());
    QVERIFY(!f.model->sessionPart().settings());

    auto* folder = child<QLabel>(&pane, QStringLiteral("folderName"));
    QCOMPARE(folder->text(), QStringLiteral("\u2014"));
    QCOMPARE(folder->toolTip(), QString());
    for (const char* name :
         {"label_interface_language", "menu_view", "v2_label_search_engine", "menu_speed"}) {
        SettingPicker* p = picker(&pane, QString::fromLatin1(name));
        QVERIFY2(p, name);
        QCOMPARE(p->count(), 0);
        QCOMPARE(p->currentIndex(), -1);
    }
    // The cookie sources come from the allowed options, not the settings record: "None" is chosen.
    SettingPicker* cookies = picker(&pane, QStringLiteral("label_cookies"));
    QCOMPARE(cookies->tags(), f.model->compositionPart().allowedOptions().allCookieSources);
    QCOMPARE(cookies->selectedTag(), QStringLiteral("None"));
    for (const char* name : {"v2_ask_where_to_save", "checkbox_save_thumbnail", "checkbox_force_generic",
                             "transcribe_over_subtitles"}) {
        Switch* s = child<Switch>(&pane, QString::fromLatin1(name));
        QVERIFY2(s, name);
        QVERIFY2(!s->isChecked(), name);
    }
    QVERIFY(!child<Switch>(&pane, QStringLiteral("transcribe_over_subtitles"))->isEnabled());
    QCOMPARE(requestCount(f), 0);
}

void TestSettingsPane::showsTheSettingsRecord() {
    ViewFixture f;
    f.startEngine();
    const QString films = f.path(QStringLiteral("media/Films"));
    QVERIFY(QDir().mkpath(films));
    f.scriptSettings({{QStringLiteral("outputDir"), films + QStringLiteral("/")},
                      {QStringLiteral("askWhereToSave"), true},
                      {QStringLiteral("appearance"), QStringLiteral("dark")},
                      {QStringLiteral("appearances"),
                       QJsonArray{QStringLiteral("auto"), QStringLiteral("dark"), QStringLiteral("sepia")}},
                      {QStringLiteral("languages"),
                       QJsonArray{QStringLiteral("en"), QStringLiteral("it"), QStringLiteral("fr")}},
                      {QStringLiteral("searchEngine"), QStringLiteral("Qwant")},
                      {QStringLiteral("speedMode"), QStringLiteral("gentle")},
                      {QStringLiteral("saveThumbnail"), true},
                      {QStringLiteral("forceGeneric"), false},
                      {QStringLiteral("cookieSource"), QStringLiteral("Built-in Browser")}});
    f.boot();
    SettingsPane pane(*f.model);
    QVERIFY(showAt(&pane, QSize(900, 620)));

    auto* folder = child<QLabel>(&pane, QStringLiteral("folderName"));
    QCOMPARE(folder->text(), QStringLiteral("Films"));
    QCOMPARE(folder->toolTip(), films + QStringLiteral("/"));
    SettingPicker* language = picker(&pane, QStringLiteral("label_interface_language"));
    QCOMPARE(language->tags(), (QStringList{"en", "it", "fr"}));
    QCOMPARE(texts(language), (QStringList{"English", "English", QStringLiteral("Fran\u00E7ais")}));
    QCOMPARE(language->selectedTag(), QStringLiteral("en"));
    SettingPicker* appearance = picker(&pane, QStringLiteral("menu_view"));
    QCOMPARE(appearance->tags(), (QStringList{"auto", "dark", "sepia"}));
    QCOMPARE(texts(appearance),
             (QStringList{Strings::text("appearance_system"), Strings::text("appearance_dark"),
                          Strings::text("appearance_sepia")}));
    QCOMPARE(appearance->selectedTag(), QStringLiteral("dark"));
    SettingPicker* search = picker(&pane, QStringLiteral("v2_label_search_engine"));
    QCOMPARE(search->tags(), f.model->sessionPart().settings()->searchEngines);
    QCOMPARE(texts(search), f.model->sessionPart().settings()->searchEngines);
    QCOMPARE(search->selectedTag(), QStringLiteral("Qwant"));
    SettingPicker* speed = picker(&pane, QStringLiteral("menu_speed"));
    QCOMPARE(speed->tags(), f.model->sessionPart().settings()->speedModes);
    QCOMPARE(speed->itemText(speed->findData("fast")), Strings::text("speed_fast"));
    QCOMPARE(speed->selectedTag(), QStringLiteral("gentle"));
    SettingPicker* cookies = picker(&pane, QStringLiteral("label_cookies"));
    QCOMPARE(cookies->selectedTag(), QStringLiteral("Built-in Browser"));
    QCOMPARE(cookies->currentText(), Strings::text("cookies_source_browser_tab"));
    QVERIFY(child<Switch>(&pane, QStringLiteral("v2_ask_where_to_save"))->isChecked());
    QVERIFY(child<Switch>(&pane, QStringLiteral("checkbox_save_thumbnail"))->isChecked());
    QVERIFY(!child<Switch>(&pane, QStringLiteral("checkbox_force_generic"))->isChecked());
    QCOMPARE(requestCount(f), 0);
}

void TestSettingsPane::eachControlSendsItsKeyAndValue_data() {
    QTest::addColumn<QString>("control"); // a switch, a picker's name + "=" + tag, or the browse button
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::newRow("ask where to save") << "v2_ask_where_to_save"
                                       << "settings.set"
                                       << "askWhereToSave" << QJsonValue(true);
    QTest::newRow("save thumbnail") << "checkbox_save_thumbnail"
                                    << "settings.set"
                                    << "saveThumbnail" << QJsonValue(true);
    QTest::newRow("force generic") << "checkbox_force_generic"
                                   << "settings.set"
                                   << "forceGeneric" << QJsonValue(true);
    QTest::newRow("subtitles") << "transcribe_over_subtitles"
                               << "settings.set"
                               << "transcribeOverSubtitles" << QJsonValue(true);
    QTest::newRow("language") << "label_interface_language=fr"
                              << "settings.set"
                              << "language" << QJsonValue("fr");
    QTest::newRow("appearance") << "menu_view=dark"
                                << "settings.set"
                                << "appearance" << QJsonValue("dark");
    QTest::newRow("search engine") << "v2_label_search_engine=Bing"
                                   << "settings.set"
                                   << "searchEngine" << QJsonValue("Bing");
    QTest::newRow("speed") << "menu_speed=fast"
                           << "settings.set"
                           << "speedMode" << QJsonValue("fast");
    QTest::newRow("cookie source") << "label_cookies=Built-in Browser"
                                   << "settings.setCookieSource"
                                   << "browser" << QJsonValue("Built-in Browser");
    QTest::newRow("download folder") << "button_browse"
                                     << "settings.set"
                                     << "outputDir" << QJsonValue("@folder");
}

void TestSettingsPane::eachControlSendsItsKeyAndValue() {
    QFETCH(QString, control);
    QFETCH(QString, method);
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"), QJsonObject{{QStringLiteral("result"), modelsAnswer({})}}, 0);
    f.boot();
    const QString folder = f.path(QStringLiteral("chosen/Clips"));
    QVERIFY(QDir().mkpath(folder));
    if (value == QJsonValue("@folder"))
        value = folder;
    f.fakes.fileDialogs.folderAnswer = folder;
    SettingsPane pane(*f.model);
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QVERIFY(f.waitForRequests(QStringLiteral("settings.get"), 2)); // the boot's and the pane's

    const QString name = control.section(u'=', 0, 0);
    std::function<bool()> shown; // the control shows the engine's answer
    if (auto* s = child<Switch>(&pane, name)) {
        for (int i = 0; i < pane.tabs()->count(); ++i) {
            if (pane.tabs()->widget(i)->isAncestorOf(s))
                pane.tabs()->setCurrentIndex(i);
        }
        QTRY_VERIFY(s->isVisible() && s->isEnabled());
        QVERIFY(!s->isChecked());
        QTest::mouseClick(s, Qt::LeftButton, {}, s->rect().center());
        shown = [s] { return s->isChecked(); };
    } else if (auto* p = picker(&pane, name)) {
        for (int i = 0; i < pane.tabs()->count(); ++i) {
            if (pane.tabs()->widget(i)->isAncestorOf(p))
                pane.tabs()->setCurrentIndex(i);
        }
        QTRY_VERIFY(p->isVisible());
        const QString tag = control.section(u'=', 1);
        QVERIFY(p->selectedTag() != tag);
        QVERIFY(pickIn(p, tag));
        shown = [p, tag] { return p->selectedTag() == tag; };
    } else {
        auto* browse = child<QPushButton>(&pane, name);
        QVERIFY(browse);
        browse->click();
        shown = [&pane] { return child<QLabel>(&pane, QStringLiteral("folderName"))->text() == "Clips"; };
    }
    QVERIFY(f.waitForRequests(method, 1));
    const QList<QJsonObject> sent = paramsOf(f, method);
    QCOMPARE(sent.size(), 1);
    if (method == QLatin1String("settings.set"))
        QCOMPARE(sent.first(), (QJsonObject{{QStringLiteral("values"), QJsonObject{{key, value}}}}));
    else
        QCOMPARE(sent.first(), (QJsonObject{{key, value}, {QStringLiteral("file"), QString()}}));
    QTRY_VERIFY(shown());
    if (name == QLatin1String("button_browse")) {
        QCOMPARE(f.fakes.fileDialogs.calls.size(), 1);
        QCOMPARE(f.fakes.fileDialogs.calls.first().message, Strings::text("label_download_folder"));
    }
}

void TestSettingsPane::cancelledFolderChooserSendsNothing() {
    ViewFixture f;
    f.boot();
    f.fakes.fileDialogs.folderAnswer = std::nullopt;
    SettingsPane pane(*f.model);
    QVERIFY(showAt(&pane, QSize(900, 620)));
    child<QPushButton>(&pane, QStringLiteral("button_browse"))->click();
    QTRY_COMPARE(f.fakes.fileDialogs.calls.size(), 1);
    // A later request proves the moment for a save has passed.
    QCoro::waitFor(f.model->sessionPart().reloadSettings());
    QVERIFY(f.waitForRequests(QStringLiteral("settings.get"), 3));
    QCOMPARE(requestCount(f), 0);
}

void TestSettingsPane::resyncingSendsNothing() {
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{QStringLiteral("result"), modelsAnswer({{QStringLiteral("base"), 1000, true}})}},
             0);
    f.boot();
    SettingsPane pane(*f.model);
    QVERIFY(showAt(&pane, QSize(900, 620)));
    for (int i = 0; i < pane.tabs()->count(); ++i) {
        pane.tabs()->setCurrentIndex(i);
        ViewFixture::settle(20);
    }
    // New values from elsewhere move every control, a new text table relabels them, and a failed reload
    // keeps them: none of it is a user's gesture.
    f.scriptSettings({{QStringLiteral("askWhereToSave"), true},
                      {QStringLiteral("saveThumbnail"), true},
                      {QStringLiteral("forceGeneric"), true},
                      {QStringLiteral("transcribeOverSubtitles"), true},
                      {QStringLiteral("language"), QStringLiteral("fr")},
                      {QStringLiteral("appearance"), QStringLiteral("light")},
                      {QStringLiteral("searchEngine"), QStringLiteral("Ecosia")},
                      {QStringLiteral("speedMode"), QStringLiteral("fast")},
                      {QStringLiteral("cookieSource"), QStringLiteral("Built-in Browser")},
                      {QStringLiteral("transcriptionModel"), QStringLiteral("base")}});
    QCoro::waitFor(f.model->sessionPart().reloadSettings());
    QVERIFY(child<Switch>(&pane, QStringLiteral("checkbox_force_generic"))->isChecked());
    QCOMPARE(picker(&pane, QStringLiteral("menu_speed"))->selectedTag(), QStringLiteral("fast"));
    QCoro::waitFor(f.model->sessionPart().applyLanguage(QStringLiteral("fr")));
    QCOMPARE(picker(&pane, QStringLiteral("menu_speed"))->currentText(), Strings::text("speed_fast"));
    f.control(QStringLiteral("test.clear"));
    f.scriptError(QStringLiteral("settings.get"), 5, QStringLiteral("no"));
    QCoro::waitFor(f.model->sessionPart().reloadSettings());
    QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()), QStringList{"no"});
    QVERIFY(child<Switch>(&pane, QStringLiteral("checkbox_force_generic"))->isChecked());
    ViewFixture::settle();
    // The engine answers in order: once this later read is logged, any save made above would be too.
    QCoro::waitFor(f.model->sessionPart().reloadSettings());
    QVERIFY(f.waitForRequests(QStringLiteral("options.allowed"), 4));
    QCOMPARE(requestCount(f), 0);
}

void TestSettingsPane::refusedSaveKeepsTheLastGoodSettings() {
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{QStringLiteral("result"), modelsAnswer({{QStringLiteral("base"), 1000, true},
                                                                  {QStringLiteral("small"), 2000, true}})}},
             0);
    const QString films = f.path(QStringLiteral("Films"));
    QVERIFY(QDir().mkpath(films));
    f.scriptSettings({{QStringLiteral("outputDir"), films},
                      {QStringLiteral("saveThumbnail"), true},
                      {QStringLiteral("searchEngine"), QStringLiteral("Qwant")},
                      {QStringLiteral("transcriptionModel"), QStringLiteral("base")}});
    f.boot();
    SettingsPane pane(*f.model);
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QTRY_COMPARE(f.requestsOf(QStringLiteral("options.allowed")).size(), 2);
    ViewFixture::settle();

    f.scriptError(QStringLiteral("settings.set"), 9, QStringLiteral("Disk full."));
    f.scriptError(QStringLiteral("settings.set"), 9, QStringLiteral("Disk full."));
    Switch* ask = child<Switch>(&pane, QStringLiteral("v2_ask_where_to_save"));
    QTest::mouseClick(ask, Qt::LeftButton, {}, ask->rect().center());
    QTRY_COMPARE(StateFixture::errorLines(f.model->sessionPart().log()).size(), 1);
    QVERIFY(!ask->isChecked());
    QVERIFY(pickIn(picker(&pane, QStringLiteral("v2_label_search_engine")), QStringLiteral("Bing")));
    QTRY_COMPARE(StateFixture::errorLines(f.model->sessionPart().log()).size(), 2);
    ViewFixture::settle();
    QCOMPARE(picker(&pane, QStringLiteral("v2_label_search_engine"))->selectedTag(), QStringLiteral("Qwant"));
    QVERIFY(child<Switch>(&pane, QStringLiteral("checkbox_save_thumbnail"))->isChecked());
    QCOMPARE(child<QLabel>(&pane, QStringLiteral("folderName"))->text(), QStringLiteral("Films"));
    // The chosen model keeps its ready mark.
    pane.tabs()->setCurrentIndex(2);
    QWidget* base = pane.findChild<QWidget*>(QStringLiteral("modelRow_base"));
    QTRY_VERIFY(base->findChild<QWidget*>(QStringLiteral("status_model_ready"))->isVisible());
}

void TestSettingsPane::showingReloadsTheSettings() {
    ViewFixture f;
    f.boot();
    const int before = f.requestsOf(QStringLiteral("settings.get")).size();
    SettingsPane pane(*f.model);
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QVERIFY(f.waitForRequests(QStringLiteral("settings.get"), before + 1));
    pane.hide();
    pane.show();
    QVERIFY(f.waitForRequests(QStringLiteral("settings.get"), before + 2));
}

void TestSettingsPane::sectionCanBeAskedForFromOutside() {
    ViewFixture f;
    f.boot();
    f.model->showSettings(AppModel::SettingsSection::Transcription);
    QCOMPARE(f.model->tab(), AppModel::Tab::Settings);
    SettingsPane pane(*f.model);
    QCOMPARE(pane.tabs()->currentIndex(), 2);
    QVERIFY(showAt(&pane, QSize(900, 620)));
    f.model->showSettings(AppModel::SettingsSection::Downloads);
    QCOMPARE(pane.tabs()->currentIndex(), 1);
    // The user's choice of tab is what the pane opens on next time.
    pane.tabs()->setCurrentIndex(0);
    QCOMPARE(f.model->settingsSection(), AppModel::SettingsSection::General);
}

QTEST_MAIN(TestSettingsPane)
#include "Session.h"
#include "tst_settingspane.moc"
