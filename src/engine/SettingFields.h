#pragma once

#include "EngineTypesSession.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <tuple>
#include <type_traits>
#include <variant>

// One setting of the engine's settings record, declared once: its key on the wire, its member of
// EngineSettings, and the value the application assumes while the engine has not told its settings.
// Decoding, the controls and every save go through these declarations, so a key is never spelt twice.
template <class T> struct SettingField {
    using Type = T;
    // A text's fallback is kept as a literal so that the table stays constant; lists fall back to empty.
    using Fallback = std::conditional_t<std::is_same_v<T, QString>, const char*,
                                        std::conditional_t<std::is_same_v<T, bool>, bool, std::monostate>>;

    const char* key;
    T EngineSettings::*member;
    Fallback fallback{};

    QString name() const { return QString::fromLatin1(key); }
    T fallbackValue() const {
        if constexpr (std::is_same_v<T, QString>)
            return QString::fromLatin1(fallback);
        else if constexpr (std::is_same_v<T, bool>)
            return fallback;
        else
            return T();
    }
    // The value in `settings`, the fallback without settings.
    T read(const std::optional<EngineSettings>& settings) const {
        return settings ? (*settings).*member : fallbackValue();
    }
    // `value` as a change to send with "settings.set"; lists are only read.
    SettingsPatch with(const T& value) const {
        SettingsPatch patch;
        addTo(patch, value);
        return patch;
    }
    void addTo(SettingsPatch& patch, const T& value) const {
        static_assert(!std::is_same_v<T, QStringList>, "list settings are read-only");
        if constexpr (std::is_same_v<T, bool>)
            patch.values.insert(name(), SettingValue::flag(value));
        else
            patch.values.insert(name(), SettingValue::text(value));
    }
    bool isIn(const SettingsPatch& patch) const { return patch.values.contains(name()); }
};

namespace Setting {
using Text = SettingField<QString>;
using Flag = SettingField<bool>;
using List = SettingField<QStringList>;

inline constexpr Text outputDir{"outputDir", &EngineSettings::outputDir, ""};
inline constexpr Flag outputDirIsDefault{"outputDirIsDefault", &EngineSettings::outputDirIsDefault, false};
inline constexpr Text quality{"quality", &EngineSettings::quality, "1080p"};
inline constexpr Text container{"container", &EngineSettings::container, "MP4"};
inline constexpr Flag audioOnly{"audioOnly", &EngineSettings::audioOnly, false};
inline constexpr Flag saveThumbnail{"saveThumbnail", &EngineSettings::saveThumbnail, false};
inline constexpr Flag embedCover{"embedCover", &EngineSettings::embedCover, false};
inline constexpr Text videoCodec{"videoCodec", &EngineSettings::videoCodec, "Auto"};
inline constexpr Text cookieSource{"cookieSource", &EngineSettings::cookieSource, "None"};
inline constexpr Text cookiesFile{"cookiesFile", &EngineSettings::cookiesFile, ""};
inline constexpr Text speedMode{"speedMode", &EngineSettings::speedMode, "auto"};
inline constexpr Text language{"language", &EngineSettings::language, "en"};
inline constexpr Flag transcriptionEnabled{"transcriptionEnabled", &EngineSettings::transcriptionEnabled,
                                           false};
inline constexpr Text transcriptionModel{"transcriptionModel", &EngineSettings::transcriptionModel, ""};
inline constexpr Text transcriptDir{"transcriptDir", &EngineSettings::transcriptDir, ""};
inline constexpr Text transcriptionLanguage{"transcriptionLanguage", &EngineSettings::transcriptionLanguage,
                                            ""};
inline constexpr Flag transcribeOverSubtitles{"transcribeOverSubtitles",
                                              &EngineSettings::transcribeOverSubtitles, false};
inline constexpr Text appearance{"appearance", &EngineSettings::appearance, "auto"};
inline constexpr Flag forceGeneric{"forceGeneric", &EngineSettings::forceGeneric, false};
inline constexpr Flag downloadOptionsExpanded{"downloadOptionsExpanded",
                                              &EngineSettings::downloadOptionsExpanded, false};
inline constexpr Flag askWhereToSave{"askWhereToSave", &EngineSettings::askWhereToSave, false};
inline constexpr Text searchEngine{"searchEngine", &EngineSettings::searchEngine, "DuckDuckGo"};
inline constexpr Text searchURL{"searchURL", &EngineSettings::searchURL, ""};
inline constexpr List searchEngines{"searchEngines", &EngineSettings::searchEngines};
inline constexpr List speedModes{"speedModes", &EngineSettings::speedModes};
inline constexpr List languages{"languages", &EngineSettings::languages};
inline constexpr List appearances{"appearances", &EngineSettings::appearances};

// Every field of the record, in its wire order (a decoding failure names the first key that fails).
inline constexpr auto all = std::tie(
    outputDir, outputDirIsDefault, quality, container, audioOnly, saveThumbnail, embedCover, videoCodec,
    cookieSource, cookiesFile, speedMode, language, transcriptionEnabled, transcriptionModel, transcriptDir,
    transcriptionLanguage, transcribeOverSubtitles, appearance, forceGeneric, downloadOptionsExpanded,
    askWhereToSave, searchEngine, searchURL, searchEngines, speedModes, languages, appearances);
} // namespace Setting
