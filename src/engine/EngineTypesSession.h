#pragma once

#include "JsonReader.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

// Records that describe an engine session as a whole, and the small app-level replies (update check,
// browser favourites, option lists). All decode strictly; none is ever sent back to the engine.

// A stored file the engine found damaged at its start and moved aside, and where it keeps it now.
struct SetAsideFile {
    QString file;
    QString savedAs;

    static SetAsideFile fromJson(const JsonReader& r);
    bool operator==(const SetAsideFile&) const = default;
};

// Answer of "hello", the first request of every session.
struct EngineHello {
    struct Capabilities {
        QStringList qualities;
        QStringList containers;
        QStringList videoCodecs;
        QStringList cookieSources;
        QStringList allQualities;
        QStringList allContainers;
        QStringList allVideoCodecs;

        static Capabilities fromJson(const JsonReader& r);
        bool operator==(const Capabilities&) const = default;
    };

    QString engineVersion;
    QString enginePath;
    QString python;
    QStringList methods;
    Capabilities capabilities;
    QString ffmpegDir;
    // Lower case, each with its leading dot.
    QStringList mediaExtensions;
    qint64 downloadWorkers = 0;
    // What was set aside at this start; absent when nothing was.
    std::optional<std::vector<SetAsideFile>> setAside;

    static EngineHello fromJson(const JsonReader& r);
    bool operator==(const EngineHello&) const = default;
};

// The engine's whole settings record: the answer of "settings.get", "settings.set" and
// "settings.setCookieSource".
struct EngineSettings {
    QString outputDir;
    bool outputDirIsDefault = false;
    QString quality;
    QString container;
    bool audioOnly = false;
    bool saveThumbnail = false;
    bool embedCover = false;
    QString videoCodec;
    QString cookieSource;
    QString cookiesFile;
    QString speedMode;
    QString language;
    bool transcriptionEnabled = false;
    QString transcriptionModel;
    QString transcriptDir;
    QString transcriptionLanguage;
    bool transcribeOverSubtitles = false;
    QString appearance;
    bool forceGeneric = false;
    bool downloadOptionsExpanded = false;
    bool askWhereToSave = false;
    QString searchEngine;
    QString searchURL;
    QStringList searchEngines;
    QStringList speedModes;
    QStringList languages;
    QStringList appearances;

    static EngineSettings fromJson(const JsonReader& r);
    bool operator==(const EngineSettings&) const = default;
};

// One setting value sent with "settings.set": text or flag, written as a bare JSON string or boolean.
class SettingValue {
public:
    SettingValue() = default; // an empty text
    static SettingValue text(QString value) { return SettingValue(std::move(value)); }
    static SettingValue flag(bool value) { return SettingValue(value); }

    bool isText() const { return std::holds_alternative<QString>(m_value); }
    bool isFlag() const { return std::holds_alternative<bool>(m_value); }
    // The text, or empty for a flag.
    QString textValue() const { return isText() ? std::get<QString>(m_value) : QString(); }
    // The flag, or false for a text.
    bool flagValue() const { return isFlag() && std::get<bool>(m_value); }

    QJsonValue toJson() const;
    bool operator==(const SettingValue&) const = default;

private:
    // Only through text() and flag(): a bare string literal must never turn into a flag.
    explicit SettingValue(std::variant<QString, bool> value) : m_value(std::move(value)) {}
    std::variant<QString, bool> m_value;
};

// The params of "settings.set": {"values": {setting key: value}}; the keys are EngineSettings keys.
struct SettingsPatch {
    QMap<QString, SettingValue> values;

    QJsonObject toJson() const;
    bool operator==(const SettingsPatch&) const = default;
};

// The engine's option lists for one container ("options.allowed"): each list twice, what may be chosen
// with this container and everything the engine knows (allQualities best first).
struct AllowedOptions {
    QString container;
    QStringList qualities;
    QStringList allQualities;
    QStringList containers;
    QStringList allContainers;
    QStringList videoCodecs;
    QStringList allVideoCodecs;
    QStringList subtitleModes;
    QStringList allSubtitleModes;
    QStringList cookieSources;
    QStringList allCookieSources;

    // Container "MP4", every list empty: what the application shows before the engine answered.
    static const AllowedOptions& empty();

    // The qualities to offer for a source: those of allQualities it offers, in quality order, or all
    // of them when it offers none that are known.
    QStringList allQualitiesOfferedBy(const std::optional<QStringList>& offered) const;
    // The quality a download of `chosen` gets from a source offering `offered`: the first offered one
    // no better than the choice, else the source's last; nothing when nothing can be said.
    std::optional<QString> qualityCappedBy(const QString& chosen, const QStringList& offered) const;

    static AllowedOptions fromJson(const JsonReader& r);
    bool operator==(const AllowedOptions&) const = default;
};

// Answer of "update.check"; the engine alone decides whether a newer version exists.
struct UpdateInfo {
    bool available = false;
    QString version;
    QString url;
    QString current;

    static UpdateInfo fromJson(const JsonReader& r);
    bool operator==(const UpdateInfo&) const = default;
};

// One favourite of the built-in browser, identified by its address.
struct Favourite {
    QString url;
    QString title;

    const QString& id() const { return url; }
    static Favourite fromJson(const JsonReader& r);
    bool operator==(const Favourite&) const = default;
};
size_t qHash(const Favourite& f, size_t seed = 0) noexcept;

// Answer of "favourites.list", "favourites.add" and "favourites.remove", in the engine's order.
struct Favourites {
    std::vector<Favourite> items;

    static Favourites fromJson(const JsonReader& r);
    bool operator==(const Favourites&) const = default;
};
