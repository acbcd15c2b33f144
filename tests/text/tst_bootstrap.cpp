#include "Bootstrap.h"
#include "SourceDir.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QStringList placeholders(const QString& text) {
    static const QRegularExpression braces(u"\\{[^{}]*\\}"_s);
    QStringList found;
    for (const auto& m : braces.globalMatch(text))
        found << m.captured();
    return found;
}
// The engine's text table of one language, as its file holds it.
QJsonObject engineTable(const QString& language) {
    QFile file(QStringLiteral(VAMBER_SOURCE_DIR "/Engine/texts/%1.json").arg(language));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}
} // namespace

class TestBootstrap : public QObject {
    Q_OBJECT
private slots:
    // Runs first: nothing has chosen the language yet. ctest starts this program with LANGUAGE set to
    // pt_BR:de_DE, so the system's own list decides.
    void firstUseFollowsTheSystemList() {
        const QStringList system = Bootstrap::systemPreferredLanguages();
        if (qEnvironmentVariable("LANGUAGE") == u"pt_BR:de_DE"_s) {
            QVERIFY2(system.size() >= 2, qPrintable(system.join(u',')));
            QCOMPARE(Bootstrap::language(), u"de"_s);
        } else {
            QCOMPARE(Bootstrap::language(), Bootstrap::languageFor(system));
        }
        QCOMPARE(Bootstrap::language(), Bootstrap::language());
    }

    void languageFor_data() {
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first supported entry wins") << QStringList{u"pt-BR"_s, u"de-DE"_s} << u"de"_s;
        QTest::newRow("order decides") << QStringList{u"es-419"_s, u"fr-FR"_s} << u"es"_s;
        QTest::newRow("unsupported only") << QStringList{u"zh-Hans"_s} << u"en"_s;
        QTest::newRow("empty list") << QStringList{} << u"en"_s;
        QTest::newRow("upper case") << QStringList{u"NL-be"_s} << u"nl"_s;
        QTest::newRow("underscore form") << QStringList{u"fr_CA"_s} << u"fr"_s;
        QTest::newRow("bare code") << QStringList{u"de"_s} << u"de"_s;
        QTest::newRow("too short to match") << QStringList{u"f"_s, u""_s, u"es"_s} << u"es"_s;
        QTest::newRow("English before others") << QStringList{u"en-GB"_s, u"fr"_s} << u"en"_s;
        QTest::newRow("first two characters only") << QStringList{u"def"_s} << u"de"_s;
    }
    void languageFor() {
        QFETCH(QStringList, preferred);
        QFETCH(QString, expected);
        QCOMPARE(Bootstrap::languageFor(preferred), expected);
    }

    void chosenLanguageServesLookups() {
        Bootstrap::choosePreferredLanguages({u"pt-BR"_s, u"de-DE"_s});
        QCOMPARE(Bootstrap::language(), u"de"_s);
        QCOMPARE(Bootstrap::text(u"v2_engine_retry"_s), std::optional(u"Erneut versuchen"_s));
        QCOMPARE(Bootstrap::text(u"status_done"_s), std::nullopt);

        Bootstrap::choosePreferredLanguages({u"zh-Hans"_s});
        QCOMPARE(Bootstrap::language(), u"en"_s);
        QCOMPARE(Bootstrap::text(u"v2_engine_retry"_s), std::optional(u"Try again"_s));
    }

    void everyLanguageCarriesEveryKey_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("key");
        for (const QString& language : Bootstrap::languages())
            for (const QString& key : Bootstrap::keys())
                QTest::newRow(qPrintable(language + u' ' + key)) << language << key;
    }
    void everyLanguageCarriesEveryKey() {
        QFETCH(QString, language);
        QFETCH(QString, key);
        const std::optional<QString> text = Bootstrap::text(key, language);
        const std::optional<QString> english = Bootstrap::text(key, u"en"_s);
        QVERIFY(text && english);
        QVERIFY(!text->trimmed().isEmpty());
        if (language != u"en"_s)
            QVERIFY2(*text != *english, "falls back to English");
        QCOMPARE(placeholders(*text), placeholders(*english));
    }

    void exactTexts_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("en apostrophe")
            << u"en"_s << u"v2_engine_not_running"_s << u"The engine isn\u2019t running."_s;
        QTest::newRow("en line break") << u"en"_s << u"v2_engine_python_not_found"_s
                                       << u"No Python interpreter found. Looked in:\n{paths}"_s;
        QTest::newRow("fr") << u"fr"_s << u"v2_engine_python_not_found"_s
                            << u"Aucun interpr\u00e9teur Python trouv\u00e9. Cherch\u00e9 :\n{paths}"_s;
        QTest::newRow("nl") << u"nl"_s << u"v2_engine_retry"_s << u"Opnieuw"_s;
        QTest::newRow("es") << u"es"_s << u"v2_engine_server_not_found"_s
                            << u"El motor no est\u00e1 donde se esperaba: {path}"_s;
        QTest::newRow("de") << u"de"_s << u"v2_engine_not_running"_s << u"Die Engine l\u00e4uft nicht."_s;
        QTest::newRow("unknown language falls back to English")
            << u"pt"_s << u"v2_engine_retry"_s << u"Try again"_s;
    }
    void exactTexts() {
        QFETCH(QString, language);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(Bootstrap::text(key, language), std::optional(expected));
    }

    // The frame's texts before the engine's table are the ones the table then brings, in every language
    // (German, Spanish and Dutch read English, as their tables do), so nothing changes when it arrives.
    void frameTextsAreTheEngineTables_data() {
        QTest::addColumn<QString>("language");
        for (const QString& language : Bootstrap::languages())
            QTest::newRow(qPrintable(language)) << language;
    }
    void frameTextsAreTheEngineTables() {
        QFETCH(QString, language);
        const QJsonObject english = engineTable(u"en"_s);
        const QJsonObject own = engineTable(language);
        QVERIFY(!english.isEmpty() && !own.isEmpty());
        QVERIFY(Bootstrap::frameKeys().size() >= 20);
        for (const QString& key : Bootstrap::frameKeys()) {
            QVERIFY2(english.contains(key), qPrintable(key));
            const QString expected = own.value(key).toString(english.value(key).toString());
            QCOMPARE(Bootstrap::text(key, language), std::optional(expected));
        }
        for (const QString& key : {u"v2_menu_file"_s, u"menu_account"_s, u"menu_report_problem"_s})
            QVERIFY2(Bootstrap::frameKeys().contains(key), qPrintable(key));
    }

    void tableShape() {
        QCOMPARE(Bootstrap::languages(), (QStringList{u"en"_s, u"fr"_s, u"nl"_s, u"es"_s, u"de"_s}));
        QCOMPARE(Bootstrap::keys().size(), 7);
        QCOMPARE(Bootstrap::text(u"status_done"_s, u"fr"_s), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestBootstrap)
#include "tst_bootstrap.moc"
