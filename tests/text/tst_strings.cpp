#include "Bootstrap.h"
#include "LanguageListStore.h"
#include "StringTable.h"
#include "Strings.h"

#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
using Values = QMap<QString, QString>;

StringTable table(const QString& language, const Values& strings) {
    return {language, u"en"_s, {u"en"_s, u"fr"_s}, strings};
}

class FakeLanguageListStore : public LanguageListStore {
public:
    std::optional<QStringList> stored;
    int writes = 0;
    std::optional<QStringList> languages() const override { return stored; }
    void setLanguages(const QStringList& languages) override {
        stored = languages;
        ++writes;
    }
};
} // namespace

Q_DECLARE_METATYPE(Values)

class TestStrings : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Strings::reset();
        Bootstrap::choosePreferredLanguages({u"en-US"_s});
    }
    void cleanup() { Strings::reset(); }

    void fallsBackFromTableToBuiltInToKey_data() {
        QTest::addColumn<Values>("installed");
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const Values fr{{u"v2_engine_retry"_s, u"Réessayer (moteur)"_s}, {u"status_done"_s, u"Terminé"_s}};
        QTest::newRow("nothing installed: built-in text")
            << Values{} << QStringList{u"en"_s} << u"v2_engine_retry"_s << u"Try again"_s;
        QTest::newRow("nothing installed: key")
            << Values{} << QStringList{u"en"_s} << u"status_done"_s << u"status_done"_s;
        QTest::newRow("built-in language from preferences") << Values{} << QStringList{u"pt-BR"_s, u"de-DE"_s}
                                                            << u"v2_engine_retry"_s << u"Erneut versuchen"_s;
        QTest::newRow("engine table wins over built-in")
            << fr << QStringList{u"de"_s} << u"v2_engine_retry"_s << u"Réessayer (moteur)"_s;
        QTest::newRow("engine table") << fr << QStringList{u"en"_s} << u"status_done"_s << u"Terminé"_s;
        QTest::newRow("key missing from table: built-in language, not the table's")
            << fr << QStringList{u"nl"_s} << u"v2_engine_not_running"_s << u"De engine is niet gestart."_s;
        QTest::newRow("key missing everywhere")
            << fr << QStringList{u"en"_s} << u"status_failed"_s << u"status_failed"_s;
        QTest::newRow("key itself is trimmed")
            << Values{} << QStringList{u"en"_s} << u" \tno_such_key "_s << u"no_such_key"_s;
        QTest::newRow("engine text trimmed, line break kept")
            << Values{{u"k"_s, u"  two lines\n"_s}} << QStringList{u"en"_s} << u"k"_s << u"two lines\n"_s;
        QTest::newRow("trailing no-break space trimmed")
            << Values{{u"k"_s, u"\tDone\u00A0"_s}} << QStringList{u"en"_s} << u"k"_s << u"Done"_s;
        QTest::newRow("empty text in the table is used")
            << Values{{u"v2_engine_retry"_s, u""_s}} << QStringList{u"en"_s} << u"v2_engine_retry"_s << u""_s;
    }
    void fallsBackFromTableToBuiltInToKey() {
        QFETCH(Values, installed);
        QFETCH(QStringList, preferred);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        Bootstrap::choosePreferredLanguages(preferred);
        if (!installed.isEmpty())
            Strings::install(table(u"fr"_s, installed));
        QCOMPARE(Strings::text(key), expected);
    }

    void emptyTableActsAsNone() {
        Strings::install(table(u"fr"_s, {{u"status_done"_s, u"Terminé"_s}}));
        QVERIFY(Strings::hasTable());
        Strings::install(table(u"de"_s, {}));
        QVERIFY(!Strings::hasTable());
        QCOMPARE(Strings::text(u"v2_engine_retry"_s), u"Try again"_s);
        QCOMPARE(Strings::text(u"status_done"_s), u"status_done"_s);
        QCOMPARE(Strings::language(), u"de"_s);
    }

    void installReplacesTheWholeTable() {
        QCOMPARE(Strings::language(), u"en"_s);
        Strings::install(table(u"fr"_s, {{u"a"_s, u"A fr"_s}, {u"b"_s, u"B fr"_s}}));
        Strings::install(table(u"de"_s, {{u"a"_s, u"A de"_s}}));
        QCOMPARE(Strings::text(u"a"_s), u"A de"_s);
        QCOMPARE(Strings::text(u"b"_s), u"b"_s);
        QCOMPARE(Strings::language(), u"de"_s);
    }

    void placeholders_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Values>("values");
        QTest::addColumn<QString>("expected");
        QTest::newRow("short form, every occurrence")
            << u"{n} of {n}"_s << Values{{u"n"_s, u"3"_s}} << u"3 of 3"_s;
        QTest::newRow("two names") << u"{n} of {total}"_s << Values{{u"n"_s, u"3"_s}, {u"total"_s, u"9"_s}}
                                   << u"3 of 9"_s;
        QTest::newRow("long form, up to its brace")
            << u"{percent:%.0f}%"_s << Values{{u"percent"_s, u"42"_s}} << u"42%"_s;
        QTest::newRow("long form, only the first")
            << u"{n:a} and {n:b}"_s << Values{{u"n"_s, u"7"_s}} << u"7 and {n:b}"_s;
        QTest::newRow("short forms before the long form")
            << u"{n:x} {n}"_s << Values{{u"n"_s, u"1"_s}} << u"1 1"_s;
        QTest::newRow("long form without closing brace stays")
            << u"left {n:open"_s << Values{{u"n"_s, u"1"_s}} << u"left {n:open"_s;
        QTest::newRow("long form closes at the first brace")
            << u"{n:a}b}"_s << Values{{u"n"_s, u"1"_s}} << u"1b}"_s;
        QTest::newRow("unknown placeholder stays")
            << u"{n} {count} {count:x}"_s << Values{{u"n"_s, u"1"_s}} << u"1 {count} {count:x}"_s;
        QTest::newRow("case-sensitive names") << u"{N} {n}"_s << Values{{u"n"_s, u"1"_s}} << u"{N} 1"_s;
        QTest::newRow("name must end at the brace or colon")
            << u"{name} {names}"_s << Values{{u"name"_s, u"x"_s}} << u"x {names}"_s;
        QTest::newRow("empty value") << u"[{n}]"_s << Values{{u"n"_s, u""_s}} << u"[]"_s;
        QTest::newRow("no values") << u"{n}"_s << Values{} << u"{n}"_s;
        QTest::newRow("blanks inside the result are kept")
            << u"{n}"_s << Values{{u"n"_s, u"  x\n"_s}} << u"  x\n"_s;
        QTest::newRow("value holding another placeholder is inserted as it is")
            << u"{a} {b}"_s << Values{{u"a"_s, u"{b}"_s}, {u"b"_s, u"B"_s}} << u"{b} B"_s;
        QTest::newRow("value holding its own placeholder")
            << u"{n} {n}"_s << Values{{u"n"_s, u"{n}"_s}} << u"{n} {n}"_s;
        QTest::newRow("value with braces does not end a later long form")
            << u"{a} {b:fmt}"_s << Values{{u"a"_s, u"}"_s}, {u"b"_s, u"B"_s}} << u"} B"_s;
        QTest::newRow("value with an open long form")
            << u"{a}{b}"_s << Values{{u"a"_s, u"{b:"_s}, {u"b"_s, u"B"_s}} << u"{b:B"_s;
        QTest::newRow("many values") << u"{a}{b}{c}{d}{e}{f}{g}{h}{i}{j}{k}"_s
                                     << Values{{u"a"_s, u"1"_s},  {u"b"_s, u"2"_s}, {u"c"_s, u"3"_s},
                                               {u"d"_s, u"4"_s},  {u"e"_s, u"5"_s}, {u"f"_s, u"6"_s},
                                               {u"g"_s, u"7"_s},  {u"h"_s, u"8"_s}, {u"i"_s, u"9"_s},
                                               {u"j"_s, u"10"_s}, {u"k"_s, u"11"_s}}
                                     << u"1234567891011"_s;
        QTest::newRow("noncharacters in the text")
            << u"\uFDD0{n}\uFDD1"_s << Values{{u"n"_s, u"1"_s}} << u"\uFDD01\uFDD1"_s;
    }
    void placeholders() {
        QFETCH(QString, text);
        QFETCH(Values, values);
        QFETCH(QString, expected);
        QCOMPARE(Strings::fill(text, values), expected);
        Strings::install(table(u"en"_s, {{u"key"_s, text}}));
        QCOMPARE(Strings::text(u"key"_s, values), expected);
    }

    // A count of one takes the key's "_one" variant when the table has one; any other count, or a key
    // without the variant, the key itself.
    void pluralsReadTheOneVariant_data() {
        QTest::addColumn<Values>("values");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("n is 1") << Values{{u"n"_s, u"1"_s}} << u"done"_s << u"1 terminé"_s;
        QTest::newRow("n is 2") << Values{{u"n"_s, u"2"_s}} << u"done"_s << u"2 terminés"_s;
        QTest::newRow("n is 0") << Values{{u"n"_s, u"0"_s}} << u"done"_s << u"0 terminés"_s;
        QTest::newRow("n is 11") << Values{{u"n"_s, u"11"_s}} << u"done"_s << u"11 terminés"_s;
        QTest::newRow("n is 21") << Values{{u"n"_s, u"21"_s}} << u"done"_s << u"21 terminés"_s;
        QTest::newRow("count is 1") << Values{{u"count"_s, u"1"_s}} << u"clear"_s
                                    << u"Retirer la seule entrée ?"_s;
        QTest::newRow("count is 3") << Values{{u"count"_s, u"3"_s}} << u"clear"_s
                                    << u"Retirer les 3 entrées ?"_s;
        QTest::newRow("another name is 1")
            << Values{{u"total"_s, u"1"_s}, {u"n"_s, u"4"_s}} << u"done"_s << u"4 terminés"_s;
        QTest::newRow("no variant") << Values{{u"n"_s, u"1"_s}} << u"plain"_s << u"Onglets (1)"_s;
        QTest::newRow("no values") << Values{} << u"done"_s << u"{n} terminés"_s;
    }
    void pluralsReadTheOneVariant() {
        QFETCH(Values, values);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        Strings::install(table(u"fr"_s, {{u"done"_s, u"{n} terminés"_s},
                                         {u"done_one"_s, u"{n} terminé"_s},
                                         {u"clear"_s, u"Retirer les {count} entrées ?"_s},
                                         {u"clear_one"_s, u"Retirer la seule entrée ?"_s},
                                         {u"plain"_s, u"Onglets ({n})"_s}}));
        QCOMPARE(Strings::text(key, values), expected);
    }

    void filledTextIsNotTrimmedAgain() {
        Strings::install(table(u"en"_s, {{u"k"_s, u" {a}{b} "_s}}));
        QCOMPARE(Strings::text(u"k"_s, {{u"a"_s, u" "_s}, {u"b"_s, u"x\t"_s}}), u" x\t"_s);
    }

    void builtInTextWithPlaceholder() {
        const QString paths = u"/usr/bin/python3\n/usr/local/bin/python3"_s;
        QCOMPARE(Strings::text(u"v2_engine_python_not_found"_s, {{u"paths"_s, paths}}),
                 u"No Python interpreter found. Looked in:\n"_s + paths);
    }

    void alignsTheStoredLanguageList_data() {
        QTest::addColumn<std::optional<QStringList>>("stored");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("writes");
        QTest::newRow("already first: untouched")
            << std::optional(QStringList{u"fr"_s, u"en"_s}) << u"fr"_s << QStringList{u"fr"_s, u"en"_s} << 0;
        QTest::newRow("another first: replaced")
            << std::optional(QStringList{u"en"_s, u"fr"_s}) << u"fr"_s << QStringList{u"fr"_s} << 1;
        QTest::newRow("nothing stored")
            << std::optional<QStringList>() << u"de"_s << QStringList{u"de"_s} << 1;
        QTest::newRow("empty list stored")
            << std::optional(QStringList{}) << u"es"_s << QStringList{u"es"_s} << 1;
    }
    void alignsTheStoredLanguageList() {
        QFETCH(std::optional<QStringList>, stored);
        QFETCH(QString, language);
        QFETCH(QStringList, expected);
        QFETCH(int, writes);
        FakeLanguageListStore store;
        store.stored = stored;
        Strings::setLanguageListStore(&store);
        Strings::install(table(language, {{u"k"_s, u"v"_s}}));
        QCOMPARE(store.stored, std::optional(expected));
        QCOMPARE(store.writes, writes);
    }

    void decodesTheTableReply() {
        const auto doc = QJsonDocument::fromJson(
            R"({"language":"fr","default":"en","languages":["en","fr"],"strings":{"a":"A","b":"B"},"x":1})");
        const StringTable t = decodeJson<StringTable>(doc.object());
        QCOMPARE(t.language, u"fr"_s);
        QCOMPARE(t.defaultLanguage, u"en"_s);
        QCOMPARE(t.languages, (QStringList{u"en"_s, u"fr"_s}));
        QCOMPARE(t.strings, (Values{{u"a"_s, u"A"_s}, {u"b"_s, u"B"_s}}));
    }

    void refusesABadTableReply_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        QTest::newRow("no language") << QByteArray(R"({"default":"en","languages":[],"strings":{}})")
                                     << u"language: missing"_s;
        QTest::newRow("no default") << QByteArray(R"({"language":"en","languages":[],"strings":{}})")
                                    << u"default: missing"_s;
        QTest::newRow("no languages")
            << QByteArray(R"({"language":"en","default":"en","strings":{}})") << u"languages: missing"_s;
        QTest::newRow("no strings") << QByteArray(R"({"language":"en","default":"en","languages":[]})")
                                    << u"strings: missing"_s;
        QTest::newRow("text not a string")
            << QByteArray(R"({"language":"en","default":"en","languages":[],"strings":{"a":1}})")
            << u"strings.a"_s;
        QTest::newRow("null text")
            << QByteArray(R"({"language":"en","default":"en","languages":[],"strings":{"a":null}})")
            << u"strings.a: null"_s;
    }
    void refusesABadTableReply() {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        Strings::install(table(u"fr"_s, {{u"k"_s, u"kept"_s}}));
        try {
            Strings::install(decodeJson<StringTable>(QJsonDocument::fromJson(json).object()));
            QFAIL("decoded");
        } catch (const DecodeError& e) {
            QVERIFY2(e.text().startsWith(error), qPrintable(e.text()));
        }
        QCOMPARE(Strings::text(u"k"_s), u"kept"_s);
        QCOMPARE(Strings::language(), u"fr"_s);
    }
};

QTEST_GUILESS_MAIN(TestStrings)
#include "tst_strings.moc"
