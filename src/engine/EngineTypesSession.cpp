#include "EngineTypesSession.h"

#include "SettingFields.h"

EngineHello::Capabilities EngineHello::Capabilities::fromJson(const JsonReader& r) {
    return {
        .qualities = r.req<QStringList>("qualities"),
        .containers = r.req<QStringList>("containers"),
        .videoCodecs = r.req<QStringList>("videoCodecs"),
        .cookieSources = r.req<QStringList>("cookieSources"),
        .allQualities = r.req<QStringList>("allQualities"),
        .allContainers = r.req<QStringList>("allContainers"),
        .allVideoCodecs = r.req<QStringList>("allVideoCodecs"),
    };
}

EngineHello EngineHello::fromJson(const JsonReader& r) {
    return {
        .engineVersion = r.req<QString>("engineVersion"),
        .enginePath = r.req<QString>("enginePath"),
        .python = r.req<QString>("python"),
        .methods = r.req<QStringList>("methods"),
        .capabilities = r.req<Capabilities>("capabilities"),
        .ffmpegDir = r.req<QString>("ffmpegDir"),
        .mediaExtensions = r.req<QStringList>("mediaExtensions"),
        .downloadWorkers = r.req<qint64>("downloadWorkers"),
        .setAside = r.opt<std::vector<SetAsideFile>>("setAside"),
    };
}

SetAsideFile SetAsideFile::fromJson(const JsonReader& r) {
    return {.file = r.req<QString>("file"), .savedAs = r.req<QString>("savedAs")};
}

EngineSettings EngineSettings::fromJson(const JsonReader& r) {
    EngineSettings settings;
    std::apply(
        [&](const auto&... field) {
            ((settings.*field.member = r.req<typename std::decay_t<decltype(field)>::Type>(field.name())),
             ...);
        },
        Setting::all);
    return settings;
}

QJsonValue SettingValue::toJson() const {
    return std::visit([](const auto& v) { return QJsonValue(v); }, m_value);
}

QJsonObject SettingsPatch::toJson() const {
    QJsonObject object;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        object.insert(it.key(), it->toJson());
    return {{"values", object}};
}

const AllowedOptions& AllowedOptions::empty() {
    static const AllowedOptions none = [] {
        AllowedOptions o;
        o.container = QStringLiteral("MP4");
        return o;
    }();
    return none;
}

AllowedOptions AllowedOptions::fromJson(const JsonReader& r) {
    return {
        .container = r.req<QString>("container"),
        .qualities = r.req<QStringList>("qualities"),
        .allQualities = r.req<QStringList>("allQualities"),
        .containers = r.req<QStringList>("containers"),
        .allContainers = r.req<QStringList>("allContainers"),
        .videoCodecs = r.req<QStringList>("videoCodecs"),
        .allVideoCodecs = r.req<QStringList>("allVideoCodecs"),
        .subtitleModes = r.req<QStringList>("subtitleModes"),
        .allSubtitleModes = r.req<QStringList>("allSubtitleModes"),
        .cookieSources = r.req<QStringList>("cookieSources"),
        .allCookieSources = r.req<QStringList>("allCookieSources"),
    };
}

UpdateInfo UpdateInfo::fromJson(const JsonReader& r) {
    return {
        .available = r.req<bool>("available"),
        .version = r.req<QString>("version"),
        .url = r.req<QString>("url"),
        .current = r.req<QString>("current"),
    };
}

Favourite Favourite::fromJson(const JsonReader& r) {
    return {.url = r.req<QString>("url"), .title = r.req<QString>("title")};
}

size_t qHash(const Favourite& f, size_t seed) noexcept {
    return qHashMulti(seed, f.url, f.title);
}

Favourites Favourites::fromJson(const JsonReader& r) {
    return {.items = r.req<std::vector<Favourite>>("items")};
}
