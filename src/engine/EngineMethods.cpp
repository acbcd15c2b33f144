#include "EngineMethods.h"

#include <QJsonArray>

namespace EngineMethods {

namespace {
QJsonArray stringArray(const QStringList& list) {
    return QJsonArray::fromStringList(list);
}
} // namespace

QJsonObject JobParams::toJson() const {
    return {{"jobId", jobId}};
}

QJsonObject ModelParams::toJson() const {
    return {{"key", key}};
}

QJsonObject I18nTableInLanguage::Params::toJson() const {
    return {{"language", language}};
}

QJsonObject SettingsSetCookieSource::Params::toJson() const {
    return {{"browser", browser}, {"file", file}};
}

QJsonObject OptionsAllowed::Params::toJson() const {
    return {{"container", container}};
}

QJsonObject Analyze::Params::toJson() const {
    return {{"url", url},
            {"cookieSource", cookieSource},
            {"cookiesFile", cookiesFile},
            {"forceGeneric", forceGeneric}};
}

QJsonObject QueueResolve::Params::toJson() const {
    return {{"urls", stringArray(urls)}, {"cookieSource", cookieSource}, {"cookiesFile", cookiesFile}};
}

QJsonObject ListingPage::Params::toJson() const {
    return {
        {"source", source},
        {"offset", offset},
        {"count", count},
        {"section", section},
        {"cookieSource", cookieSource},
        {"cookiesFile", cookiesFile},
    };
}

QJsonObject QueueSave::Params::toJson() const {
    QJsonArray rows;
    for (const StoredRow& row : items)
        rows.append(row.toJson());
    return {{"items", rows}};
}

QueueSave::Reply QueueSave::Reply::fromJson(const JsonReader& r) {
    return {.saved = r.req<qint64>("saved")};
}

QJsonObject LibraryList::Params::toJson() const {
    QJsonObject out{{"limit", limit}, {"offset", offset}};
    if (cursor)
        out.insert(QStringLiteral("cursor"), *cursor);
    return out;
}

QJsonObject LibraryReveal::Params::toJson() const {
    return {{"path", path}};
}

QJsonObject LibraryRemove::Params::toJson() const {
    return {{"paths", stringArray(paths)}, {"deleteFiles", deleteFiles}};
}

QJsonObject ThumbnailResolve::Params::toJson() const {
    return {
        {"url", url},
        {"mediaPath", mediaPath},
        {"cookieSource", cookieSource},
        {"cookiesFile", cookiesFile},
        {"pageUrl", pageUrl},
    };
}

ThumbnailResolve::Reply ThumbnailResolve::Reply::fromJson(const JsonReader& r) {
    return {.path = r.req<QString>("path")};
}

QJsonObject SearchQuery::Params::toJson() const {
    return {{"text", text}};
}

QJsonObject TranscribeStart::Params::toJson() const {
    return {{"path", path}, {"jobId", jobId}};
}

QJsonObject ClipSuggest::Params::toJson() const {
    return {{"path", path}, {"startMs", startMs}, {"endMs", endMs}, {"audioOnly", audioOnly}};
}

QJsonObject ClipExtract::Params::toJson() const {
    return {
        {"path", path},   {"startMs", startMs},          {"endMs", endMs},
        {"jobId", jobId}, {"mode", clipModeValue(mode)}, {"audioOnly", audioOnly},
    };
}

QJsonObject JsRuntime::Params::toJson() const {
    return {{"recheck", recheck}};
}

JsRuntime::Reply::Runtime JsRuntime::Reply::Runtime::fromJson(const JsonReader& r) {
    return {.name = r.req<QString>("name")};
}

JsRuntime::Reply JsRuntime::Reply::fromJson(const JsonReader& r) {
    return {.runtime = r.opt<Runtime>("runtime")};
}

QJsonObject ReportSend::Params::toJson() const {
    return {{"what", what}, {"email", email}, {"log", log}};
}

ReportSend::Reply ReportSend::Reply::fromJson(const JsonReader& r) {
    return {.sent = r.req<bool>("sent"), .savedTo = r.opt<QString>("savedTo")};
}

QJsonObject FavouritesAdd::Params::toJson() const {
    return {{"url", url}, {"title", title}};
}

QJsonObject FavouritesRemove::Params::toJson() const {
    return {{"url", url}};
}

} // namespace EngineMethods
