// The settings declarations: each one reads the member its key names, keys are not shared, and a change
// made with a declaration is written as the engine's "settings.set" expects.

#include "JsonReader.h"
#include "SettingFields.h"

#include <QJsonArray>
#include <QSet>
#include <QTest>

namespace {

// A record where every text and list holds its own key and every flag is `flags`, except `on`.
QJsonObject recordNaming(const QString& on, bool flags) {
    QJsonObject o;
    std::apply(
        [&](const auto&... field) {
            const auto put = [&](const auto& f) {
                using T = typename std::decay_t<decltype(f)>::Type;
                if constexpr (std::is_same_v<T, bool>)
                    o.insert(f.name(), f.name() == on ? !flags : flags);
                else if constexpr (std::is_same_v<T, QString>)
                    o.insert(f.name(), f.name());
                else
                    o.insert(f.name(), QJsonArray{f.name()});
            };
            (put(field), ...);
        },
        Setting::all);
    return o;
}

EngineSettings decode(const QJsonObject& o) {
    return EngineSettings::fromJson(JsonReader(o));
}

} // namespace

class TestSettingFields : public QObject {
    Q_OBJECT
private slots:
    // No two declarations share a member: each reads back the value sent under its own key.
    void everyDeclarationReadsItsOwnKey() {
        const EngineSettings settings = decode(recordNaming(QString(), false));
        std::apply(
            [&](const auto&... field) {
                const auto check = [&](const auto& f) {
                    using T = typename std::decay_t<decltype(f)>::Type;
                    if constexpr (std::is_same_v<T, QString>)
                        QCOMPARE(f.read(settings), f.name());
                    else if constexpr (std::is_same_v<T, QStringList>)
                        QCOMPARE(f.read(settings), QStringList{f.name()});
                };
                (check(field), ...);
            },
            Setting::all);
    }

    // Flags cannot be told apart by value: each is turned on alone, and only its declaration sees it.
    void everyFlagReadsItsOwnKey() {
        std::apply(
            [&](const auto&... field) {
                const auto flagOn = [&](const auto& on) {
                    if constexpr (std::is_same_v<typename std::decay_t<decltype(on)>::Type, bool>) {
                        const EngineSettings settings = decode(recordNaming(on.name(), false));
                        const auto check = [&](const auto& f) {
                            if constexpr (std::is_same_v<typename std::decay_t<decltype(f)>::Type, bool>)
                                QVERIFY2(f.read(settings) == (f.name() == on.name()), f.key);
                        };
                        (check(field), ...);
                    }
                };
                (flagOn(field), ...);
            },
            Setting::all);
    }

    // The code reads most settings straight from the record's members: each member holds the value of the
    // key of the same name, so two declarations with their members swapped are caught here.
    void membersHoldTheValueOfTheirOwnKey() {
        const EngineSettings s = decode(recordNaming(QString(), false));
        const std::vector<std::pair<QString, QString>> texts{
            {"outputDir", s.outputDir},
            {"quality", s.quality},
            {"container", s.container},
            {"videoCodec", s.videoCodec},
            {"cookieSource", s.cookieSource},
            {"cookiesFile", s.cookiesFile},
            {"speedMode", s.speedMode},
            {"language", s.language},
            {"transcriptionModel", s.transcriptionModel},
            {"transcriptDir", s.transcriptDir},
            {"transcriptionLanguage", s.transcriptionLanguage},
            {"appearance", s.appearance},
            {"searchEngine", s.searchEngine},
            {"searchURL", s.searchURL},
        };
        for (const auto& [key, value] : texts)
            QCOMPARE(value, key);
        QCOMPARE(s.searchEngines, QStringList{"searchEngines"});
        QCOMPARE(s.speedModes, QStringList{"speedModes"});
        QCOMPARE(s.languages, QStringList{"languages"});
        QCOMPARE(s.appearances, QStringList{"appearances"});

        const std::vector<std::pair<QString, bool EngineSettings::*>> flags{
            {"outputDirIsDefault", &EngineSettings::outputDirIsDefault},
            {"audioOnly", &EngineSettings::audioOnly},
            {"saveThumbnail", &EngineSettings::saveThumbnail},
            {"embedCover", &EngineSettings::embedCover},
            {"transcriptionEnabled", &EngineSettings::transcriptionEnabled},
            {"transcribeOverSubtitles", &EngineSettings::transcribeOverSubtitles},
            {"forceGeneric", &EngineSettings::forceGeneric},
            {"downloadOptionsExpanded", &EngineSettings::downloadOptionsExpanded},
            {"askWhereToSave", &EngineSettings::askWhereToSave},
        };
        for (const auto& [on, member] : flags) {
            const EngineSettings one = decode(recordNaming(on, false));
            for (const auto& [key, other] : flags)
                QVERIFY2(one.*other == (key == on), qPrintable(on + " on, " + key + " read"));
        }
    }

    void keysAreNotShared() {
        QSet<QString> keys;
        std::apply([&](const auto&... field) { (keys.insert(field.name()), ...); }, Setting::all);
        QCOMPARE(keys.size(), int(std::tuple_size_v<std::decay_t<decltype(Setting::all)>>));
    }

    // Without settings a declaration gives its fallback; with them, the engine's value, even when empty.
    void readFallsBackOnlyWithoutSettings() {
        QCOMPARE(Setting::language.read(std::nullopt), QString("en"));
        QCOMPARE(Setting::searchEngine.read(std::nullopt), QString("DuckDuckGo"));
        QCOMPARE(Setting::speedModes.read(std::nullopt), QStringList());
        EngineSettings empty = decode(recordNaming(QString(), false));
        empty.language.clear();
        QCOMPARE(Setting::language.read(empty), QString());
    }

    void changesAreWrittenAsTheEngineReadsThem() {
        QCOMPARE(Setting::language.with("fr").toJson(),
                 QJsonObject({{"values", QJsonObject{{"language", "fr"}}}}));
        QCOMPARE(Setting::forceGeneric.with(true).toJson(),
                 QJsonObject({{"values", QJsonObject{{"forceGeneric", true}}}}));
        SettingsPatch patch = Setting::quality.with("720p");
        Setting::audioOnly.addTo(patch, false);
        QCOMPARE(patch.toJson(),
                 QJsonObject({{"values", QJsonObject{{"quality", "720p"}, {"audioOnly", false}}}}));
        QVERIFY(Setting::audioOnly.isIn(patch));
        QVERIFY(!Setting::appearance.isIn(patch));
    }
};

QTEST_GUILESS_MAIN(TestSettingFields)
#include "tst_settingfields.moc"
