#include "EngineEvent.h"

#include <QHash>

EngineEvent::JobStarted EngineEvent::JobStarted::fromJson(const JsonReader& r) {
    return {r.req<QString>(QStringLiteral("jobId")),     r.req<QString>(QStringLiteral("url")),
            r.req<QString>(QStringLiteral("outputDir")), r.req<QString>(QStringLiteral("quality")),
            r.req<QString>(QStringLiteral("container")), r.req<bool>(QStringLiteral("audioOnly"))};
}

EngineEvent::JobMeta EngineEvent::JobMeta::fromJson(const JsonReader& r) {
    return {r.req<QString>(QStringLiteral("jobId")), r.req<QString>(QStringLiteral("title")),
            r.req<QString>(QStringLiteral("thumbnail")), r.req<QString>(QStringLiteral("channel")),
            r.req<double>(QStringLiteral("duration"))};
}

EngineEvent::SpeedEngine EngineEvent::SpeedEngine::fromJson(const JsonReader& r) {
    return {r.req<double>(QStringLiteral("speed")),      r.req<double>(QStringLiteral("average")),
            r.req<qint64>(QStringLiteral("downloaded")), r.req<qint64>(QStringLiteral("total")),
            r.opt<double>(QStringLiteral("eta")),        r.req<int>(QStringLiteral("connections")),
            r.req<QString>(QStringLiteral("protocol"))};
}

EngineEvent::JobProgress EngineEvent::JobProgress::fromJson(const JsonReader& r) {
    return {r.req<QString>(QStringLiteral("jobId")),       r.opt<SpeedEngine>(QStringLiteral("speedEngine")),
            r.req<qint64>(QStringLiteral("downloaded")),   r.req<qint64>(QStringLiteral("total")),
            r.req<double>(QStringLiteral("fraction")),     r.req<double>(QStringLiteral("speed")),
            r.req<double>(QStringLiteral("eta")),          r.req<qint64>(QStringLiteral("fragment")),
            r.req<qint64>(QStringLiteral("fragmentCount"))};
}

EngineEvent::JobState EngineEvent::JobState::fromJson(const JsonReader& r) {
    return {r.req<QString>(QStringLiteral("jobId")), r.req<QString>(QStringLiteral("state")),
            r.opt<QString>(QStringLiteral("filename")), r.opt<QString>(QStringLiteral("message")),
            r.opt<double>(QStringLiteral("fraction"))};
}

EngineEvent::TranscribeState EngineEvent::TranscribeState::fromJson(const JsonReader& r) {
    return {r.req<QString>(QStringLiteral("jobId")),          r.req<QString>(QStringLiteral("state")),
            r.opt<QString>(QStringLiteral("path")),           r.opt<QString>(QStringLiteral("title")),
            r.opt<QString>(QStringLiteral("message")),        r.opt<QString>(QStringLiteral("language")),
            r.opt<qint64>(QStringLiteral("segments")),        r.opt<QString>(QStringLiteral("srt")),
            r.opt<double>(QStringLiteral("estimateSeconds")), r.opt<qint64>(QStringLiteral("durationMs")),
            r.opt<QString>(QStringLiteral("model")),          r.opt<bool>(QStringLiteral("isLongJob"))};
}

EngineEvent::TranscribeProgress EngineEvent::TranscribeProgress::fromJson(const JsonReader& r) {
    return {r.req<QString>(QStringLiteral("jobId")), r.req<int>(QStringLiteral("percent")),
            r.req<double>(QStringLiteral("fraction"))};
}

EngineEvent::JobLog EngineEvent::JobLog::fromJson(const JsonReader& r) {
    return {r.req<QString>(QStringLiteral("jobId")), r.req<QString>(QStringLiteral("key")),
            r.req<QString>(QStringLiteral("level")), r.req<QMap<QString, QString>>(QStringLiteral("params"))};
}

EngineEvent::ModelProgress EngineEvent::ModelProgress::fromJson(const JsonReader& r) {
    return {r.req<QString>(QStringLiteral("key")), r.req<qint64>(QStringLiteral("downloaded")),
            r.req<qint64>(QStringLiteral("total")), r.req<double>(QStringLiteral("fraction"))};
}

EngineEvent::ClipState EngineEvent::ClipState::fromJson(const JsonReader& r) {
    return {r.req<QString>(QStringLiteral("jobId")), r.req<QString>(QStringLiteral("state")),
            r.opt<QString>(QStringLiteral("destination")), r.opt<QString>(QStringLiteral("message")),
            r.opt<qint64>(QStringLiteral("sizeBytes"))};
}

namespace {

enum class Wire {
    Ready,
    JobStarted,
    JobMeta,
    JobProgress,
    JobState,
    TranscribeState,
    TranscribeProgress,
    JobLog,
    JsRuntime,
    ModelProgress,
    ModelState,
    ClipState,
    ClipProgress
};

const QHash<QString, Wire>& wireNames() {
    static const QHash<QString, Wire> names{
        {QStringLiteral("ready"), Wire::Ready},
        {QStringLiteral("job.started"), Wire::JobStarted},
        {QStringLiteral("job.meta"), Wire::JobMeta},
        {QStringLiteral("job.progress"), Wire::JobProgress},
        {QStringLiteral("job.state"), Wire::JobState},
        {QStringLiteral("transcribe.state"), Wire::TranscribeState},
        {QStringLiteral("transcribe.progress"), Wire::TranscribeProgress},
        {QStringLiteral("job.log"), Wire::JobLog},
        {QStringLiteral("js.runtime"), Wire::JsRuntime},
        {QStringLiteral("model.progress"), Wire::ModelProgress},
        {QStringLiteral("model.state"), Wire::ModelState},
        {QStringLiteral("clip.state"), Wire::ClipState},
        {QStringLiteral("clip.progress"), Wire::ClipProgress},
    };
    return names;
}

QString stringOr(const QJsonObject& o, const QString& key, const QString& fallback) {
    const QJsonValue v = o.value(key);
    return v.isString() ? v.toString() : fallback;
}

template <class T> EngineEvent record(const QJsonObject& params) {
    return EngineEvent{T::fromJson(JsonReader(params))};
}

} // namespace

EngineEvent EngineEvent::fromNotification(const QString& name, const QJsonObject& params) {
    const auto it = wireNames().constFind(name);
    if (it == wireNames().constEnd())
        return EngineEvent{Unknown{name}};
    switch (*it) {
    case Wire::Ready:
        return EngineEvent{Ready{stringOr(params, QStringLiteral("engineVersion"), QStringLiteral("?"))}};
    case Wire::JsRuntime: {
        const QJsonValue reveal = params.value(QStringLiteral("reveal"));
        return EngineEvent{JsRuntime{params.value(QStringLiteral("runtime")).isObject(),
                                     reveal.isBool() && reveal.toBool()}};
    }
    case Wire::ModelState: {
        const QJsonValue message = params.value(QStringLiteral("message"));
        return EngineEvent{ModelState{
            stringOr(params, QStringLiteral("key"), {}), stringOr(params, QStringLiteral("state"), {}),
            message.isString() ? std::optional<QString>(message.toString()) : std::nullopt}};
    }
    case Wire::ClipProgress: {
        const QJsonValue fraction = params.value(QStringLiteral("fraction"));
        return EngineEvent{ClipProgress{stringOr(params, QStringLiteral("jobId"), {}),
                                        fraction.isDouble() ? fraction.toDouble() : 0.0}};
    }
    case Wire::JobStarted:
        return record<JobStarted>(params);
    case Wire::JobMeta:
        return record<JobMeta>(params);
    case Wire::JobProgress:
        return record<JobProgress>(params);
    case Wire::JobState:
        return record<JobState>(params);
    case Wire::TranscribeState:
        return record<TranscribeState>(params);
    case Wire::TranscribeProgress:
        return record<TranscribeProgress>(params);
    case Wire::JobLog:
        return record<JobLog>(params);
    case Wire::ModelProgress:
        return record<ModelProgress>(params);
    case Wire::ClipState:
        return record<ClipState>(params);
    }
    return EngineEvent{Unknown{name}};
}
