#include "EngineEvent.h"

#include <QHash>

EngineEvent::JobStarted EngineEvent::JobStarted::fromJson(const JsonReader& r) {
    return {r.req<QString>("jobId"),   r.req<QString>("url"),       r.req<QString>("outputDir"),
            r.req<QString>("quality"), r.req<QString>("container"), r.req<bool>("audioOnly")};
}

EngineEvent::JobMeta EngineEvent::JobMeta::fromJson(const JsonReader& r) {
    return {r.req<QString>("jobId"), r.req<QString>("title"), r.req<QString>("thumbnail"),
            r.req<QString>("channel"), r.req<double>("duration")};
}

EngineEvent::SpeedEngine EngineEvent::SpeedEngine::fromJson(const JsonReader& r) {
    return {r.req<double>("speed"),    r.req<double>("average"), r.req<qint64>("downloaded"),
            r.req<qint64>("total"),    r.opt<double>("eta"),     r.req<int>("connections"),
            r.req<QString>("protocol")};
}

EngineEvent::JobProgress EngineEvent::JobProgress::fromJson(const JsonReader& r) {
    return {r.req<QString>("jobId"), r.opt<SpeedEngine>("speedEngine"), r.req<qint64>("downloaded"),
            r.req<qint64>("total"),  r.req<double>("fraction"),         r.req<double>("speed"),
            r.req<double>("eta"),    r.req<qint64>("fragment"),         r.req<qint64>("fragmentCount")};
}

EngineEvent::JobState::Kind EngineEvent::JobState::kindFromWire(const QString& state) {
    static const QHash<QString, Kind> kinds{
        {QStringLiteral("queued"), Kind::Queued},         {QStringLiteral("processing"), Kind::Processing},
        {QStringLiteral("converting"), Kind::Converting}, {QStringLiteral("done"), Kind::Done},
        {QStringLiteral("failed"), Kind::Failed},         {QStringLiteral("cancelled"), Kind::Cancelled},
    };
    return kinds.value(state, Kind::Other);
}

EngineEvent::JobState EngineEvent::JobState::fromJson(const JsonReader& r) {
    return {r.req<QString>("jobId"), kindFromWire(r.req<QString>("state")), r.opt<QString>("filename"),
            r.opt<QString>("message"), r.opt<double>("fraction")};
}

EngineEvent::TranscribeState EngineEvent::TranscribeState::fromJson(const JsonReader& r) {
    const QString jobId = r.req<QString>("jobId");
    const QString word = r.req<QString>("state");
    const TranscriptionStatus state = transcriptionStatusOf(word);
    return {jobId,
            state,
            state == TranscriptionStatus::Other ? word : QString(),
            r.opt<QString>("path"),
            r.opt<QString>("title"),
            r.opt<QString>("message"),
            r.opt<QString>("language"),
            r.opt<qint64>("segments"),
            r.opt<QString>("srt"),
            r.opt<double>("estimateSeconds"),
            r.opt<qint64>("durationMs"),
            r.opt<QString>("model"),
            r.opt<bool>("isLongJob")};
}

EngineEvent::TranscribeProgress EngineEvent::TranscribeProgress::fromJson(const JsonReader& r) {
    return {r.req<QString>("jobId"), r.req<int>("percent"), r.req<double>("fraction")};
}

EngineEvent::JobLog EngineEvent::JobLog::fromJson(const JsonReader& r) {
    return {r.req<QString>("jobId"), r.req<QString>("key"), r.req<QString>("level"),
            r.req<QMap<QString, QString>>("params")};
}

EngineEvent::ModelProgress EngineEvent::ModelProgress::fromJson(const JsonReader& r) {
    return {r.req<QString>("key"), r.req<qint64>("downloaded"), r.req<qint64>("total"),
            r.req<double>("fraction")};
}

EngineEvent::ClipState EngineEvent::ClipState::fromJson(const JsonReader& r) {
    const QString jobId = r.req<QString>("jobId");
    const ClipStatus state = clipStatusOf(r.req<QString>("state"));
    return {jobId, state, r.opt<QString>("destination"), r.opt<QString>("message"),
            r.opt<qint64>("sizeBytes")};
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
        const QJsonValue reveal = params.value("reveal");
        return EngineEvent{JsRuntime{params.value("runtime").isObject(), reveal.isBool() && reveal.toBool()}};
    }
    case Wire::ModelState: {
        const QJsonValue message = params.value("message");
        return EngineEvent{
            ModelState{stringOr(params, QStringLiteral("key"), {}),
                       modelStatusOf(stringOr(params, QStringLiteral("state"), {})),
                       message.isString() ? std::optional<QString>(message.toString()) : std::nullopt}};
    }
    case Wire::ClipProgress: {
        const QJsonValue fraction = params.value("fraction");
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
