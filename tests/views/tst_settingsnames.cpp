// The names the settings pane gives to what the engine lists, and the slow-machine note's arithmetic.
#include "ViewFixture.h"

#include "settings/SettingsNames.h"
#include "settings/SlowNotice.h"

#include "EngineTypes.h"
#include "Strings.h"

#include <cmath>
#include <limits>

class TestSettingsNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->boot();
    }
    void cleanupTestCase() { m_fixture.reset(); }

    void folderName_data() {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("name");
        QTest::newRow("folder") << "/home/ann/Films"
                                << "Films";
        QTest::newRow("trailing slash") << "/home/ann/Films/"
                                        << "Films";
        QTest::newRow("several trailing slashes") << "/home/ann/Films//"
                                                  << "Films";
        QTest::newRow("spaces kept") << "/srv/My Videos"
                                     << "My Videos";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("empty") << "" << QStringLiteral("\u2014");
    }
    void folderName() {
        QFETCH(QString, dir);
        QFETCH(QString, name);
        QCOMPARE(SettingsNames::folderName(dir), name);
    }

    void languageName_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("fr") << "fr" << QStringLiteral("Fran\u00E7ais");
        QTest::newRow("nl") << "nl"
                            << "Nederlands";
        QTest::newRow("es") << "es" << QStringLiteral("Espa\u00F1ol");
        QTest::newRow("de") << "de"
                            << "Deutsch";
        QTest::newRow("en") << "en"
                            << "English";
        QTest::newRow("it, not in the table") << "it"
                                              << "English";
        QTest::newRow("pt, not in the table") << "pt"
                                              << "English";
        QTest::newRow("upper case is another code") << "FR"
                                                    << "English";
    }
    void languageName() {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QCOMPARE(SettingsNames::languageName(code), name);
        // Written in its own language whatever the interface's.
        QCoro::waitFor(m_fixture->model->sessionPart().applyLanguage(QStringLiteral("fr")));
        QCOMPARE(SettingsNames::languageName(code), name);
        QCoro::waitFor(m_fixture->model->sessionPart().applyLanguage(QStringLiteral("en")));
    }

    void cookieName_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("shown"); // "@key": the text of that key
        QTest::newRow("none") << "None"
                              << "@cookies_source_none";
        QTest::newRow("built-in browser") << "Built-in Browser"
                                          << "@cookies_source_browser_tab";
        QTest::newRow("lower case") << "firefox"
                                    << "Firefox";
        QTest::newRow("two words") << "brave beta"
                                   << "Brave Beta";
        QTest::newRow("upper case") << "CHROMIUM"
                                    << "Chromium";
        QTest::newRow("none in lower case is a browser name") << "none"
                                                              << "None";
        QTest::newRow("after a hyphen") << "ungoogled-chromium"
                                        << "Ungoogled-Chromium";
    }
    void cookieName() {
        QFETCH(QString, source);
        QFETCH(QString, shown);
        const QString expected = shown.startsWith(u'@') ? Strings::text(shown.mid(1)) : shown;
        QVERIFY(!expected.startsWith(QLatin1String("cookies_source")));
        QCOMPARE(SettingsNames::cookieName(source), expected);
    }

    void appearanceAndSpeedKeys_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("appearanceKey");
        QTest::addColumn<QString>("speedKey");
        QTest::newRow("auto") << "auto"
                              << "appearance_system"
                              << "speed_auto";
        QTest::newRow("light") << "light"
                               << "appearance_light"
                               << "speed_light";
        QTest::newRow("dark") << "dark"
                              << "appearance_dark"
                              << "speed_dark";
        QTest::newRow("unknown") << "sepia"
                                 << "appearance_sepia"
                                 << "speed_sepia";
        QTest::newRow("system is not auto") << "system"
                                            << "appearance_system"
                                            << "speed_system";
    }
    void appearanceAndSpeedKeys() {
        QFETCH(QString, value);
        QFETCH(QString, appearanceKey);
        QFETCH(QString, speedKey);
        QCOMPARE(SettingsNames::appearanceKey(value), appearanceKey);
        QCOMPARE(SettingsNames::speedKey(value), speedKey);
    }

    void slowNote_data() {
        QTest::addColumn<double>("factor");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("work");
        QTest::newRow("2") << 2.0 << "2"
                           << "30 min";
        QTest::newRow("0.5") << 0.5 << "0.5"
                             << "2.0 h";
        QTest::newRow("50") << 50.0 << "50"
                            << "72 s";
        QTest::newRow("0.005, divisor held at 0.01") << 0.005 << "0.005"
                                                     << "100.0 h";
        QTest::newRow("0.35") << 0.35 << "0.35"
                              << "2.9 h";
        QTest::newRow("89.6 s rounds to 90 s") << 3600 / 89.6 << QString() << "90 s";
        QTest::newRow("89.6 min rounds to 90 min") << 3600 / (89.6 * 60) << QString() << "90 min";
        QTest::newRow("a whole number beyond 64 bits") << 1e20 << "100000000000000000000"
                                                       << "0 s";
    }
    void slowNote() {
        QFETCH(double, factor);
        QFETCH(QString, rate);
        QFETCH(QString, work);
        if (!rate.isEmpty())
            QCOMPARE(SlowNotice::rate(factor), rate);
        // The rate reads back as the same number.
        QCOMPARE(SlowNotice::rate(factor).toDouble(), factor);
        QCOMPARE(SlowNotice::work(factor), work);
        const QString example =
            Strings::text(QStringLiteral("transcribe_slow_example"), {{QStringLiteral("work"), work}});
        QVERIFY(example.contains(work));
        const QString message = SlowNotice::message(factor);
        QCOMPARE(message, Strings::text(QStringLiteral("msg_transcribe_slow"),
                                        {{QStringLiteral("rate"), SlowNotice::rate(factor)},
                                         {QStringLiteral("example"), example}}));
        QVERIFY(message.contains(SlowNotice::rate(factor)));
        QVERIFY(message.contains(work));
    }

    void slowNoteShown_data() {
        QTest::addColumn<bool>("info");
        QTest::addColumn<bool>("gpu");
        QTest::addColumn<double>("factor");
        QTest::addColumn<bool>("shown");
        QTest::newRow("no models information") << false << false << 2.0 << false;
        QTest::newRow("slow machine") << true << false << 0.5 << true;
        QTest::newRow("fast machine without a GPU") << true << false << 50.0 << true;
        QTest::newRow("machine with a GPU") << true << true << 0.5 << false;
        QTest::newRow("zero") << true << false << 0.0 << false;
        QTest::newRow("less than zero") << true << false << -1.0 << false;
        QTest::newRow("not a number") << true << false << std::numeric_limits<double>::quiet_NaN() << false;
    }
    void slowNoteShown() {
        QFETCH(bool, info);
        QFETCH(bool, gpu);
        QFETCH(double, factor);
        QFETCH(bool, shown);
        std::optional<ModelsInfo> models;
        if (info) {
            models = ModelsInfo{};
            models->gpu = gpu;
            models->speedFactor = factor;
        }
        const std::optional<double> note = SlowNotice::shownFor(models);
        QCOMPARE(note.has_value(), shown);
        if (shown)
            QCOMPARE(*note, factor);
    }

private:
    std::unique_ptr<ViewFixture> m_fixture;
};

QTEST_MAIN(TestSettingsNames)
#include "tst_settingsnames.moc"
