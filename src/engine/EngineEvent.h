#pragma once

#include "EngineStates.h"
#include "JsonReader.h"

#include <QJsonObject>
#include <QMap>
#include <QMetaType>
#include <QString>

#include <optional>
#include <variant>

// One notification of the engine, typed; EngineStopped is made locally when the child exits.
struct EngineEvent {
    struct Ready {
        QString version;
        bool operator==(const Ready&) const = default;
    };
    struct JobStarted {
        QString jobId;
        QString url;
        QString outputDir;
        QString quality;
        QString container;
        bool audioOnly = false;
        static JobStarted fromJson(const JsonReader& r);
        bool operator==(const JobStarted&) const = default;
    };
    struct JobMeta {
        QString jobId;
        QString title;
        QString thumbnail;
        QString channel;
        double duration = 0; // seconds
        static JobMeta fromJson(const JsonReader& r);
        bool operator==(const JobMeta&) const = default;
    };
    // Transfer statistics shown by the speed panel.
    struct SpeedEngine {
        double speed = 0;   // bytes per second
        double average = 0; // bytes per second
        qint64 downloaded = 0;
        qint64 total = 0;
        std::optional<double> eta; // seconds
        int connections = 0;
        QString protocol;
        static SpeedEngine fromJson(const JsonReader& r);
        bool operator==(const SpeedEngine&) const = default;
    };
    struct JobProgress {
        QString jobId;
        std::optional<SpeedEngine> speedEngine;
        qint64 downloaded = 0;
        qint64 total = 0;
        double fraction = 0;
        double speed = 0;
        double eta = 0;
        qint64 fragment = 0;
        qint64 fragmentCount = 0;
        static JobProgress fromJson(const JsonReader& r);
        bool operator==(const JobProgress&) const = default;
    };
    struct JobState {
        // The download states the engine reports; a state it may add later reads as Other.
        enum class Kind { Queued, Processing, Converting, Done, Failed, Cancelled, Other };
        static Kind kindFromWire(const QString& state);
        QString jobId;
        Kind state = Kind::Other;
        std::optional<QString> filename;
        std::optional<QString> message;
        std::optional<double> fraction;
        static JobState fromJson(const JsonReader& r);
        bool operator==(const JobState&) const = default;
    };
    struct TranscribeState {
        QString jobId;
        TranscriptionStatus state = TranscriptionStatus::Other;
        // The engine's word when state is Other (shown as it is), else empty.
        QString otherState;
        std::optional<QString> path;
        std::optional<QString> title;
        std::optional<QString> message;
        std::optional<QString> language;
        std::optional<qint64> segments;
        std::optional<QString> srt;
        std::optional<double> estimateSeconds;
        std::optional<qint64> durationMs;
        std::optional<QString> model;
        std::optional<bool> isLongJob;
        static TranscribeState fromJson(const JsonReader& r);
        bool operator==(const TranscribeState&) const = default;
    };
    struct TranscribeProgress {
        QString jobId;
        int percent = 0;
        double fraction = 0;
        static TranscribeProgress fromJson(const JsonReader& r);
        bool operator==(const TranscribeProgress&) const = default;
    };
    struct JobLog {
        QString jobId;
        QString key; // a text key
        QString level;
        QMap<QString, QString> params;
        static JobLog fromJson(const JsonReader& r);
        bool operator==(const JobLog&) const = default;
    };
    struct JsRuntime {
        bool present = false;
        bool reveal = false;
        bool operator==(const JsRuntime&) const = default;
    };
    struct ModelProgress {
        QString key;
        qint64 downloaded = 0;
        qint64 total = 0;
        double fraction = 0;
        static ModelProgress fromJson(const JsonReader& r);
        bool operator==(const ModelProgress&) const = default;
    };
    struct ModelState {
        QString key;
        ModelStatus state = ModelStatus::Other;
        std::optional<QString> message;
        bool operator==(const ModelState&) const = default;
    };
    struct ClipState {
        QString jobId;
        ClipStatus state = ClipStatus::Other;
        std::optional<QString> destination;
        std::optional<QString> message;
        std::optional<qint64> sizeBytes;
        static ClipState fromJson(const JsonReader& r);
        bool operator==(const ClipState&) const = default;
    };
    struct ClipProgress {
        QString jobId;
        double fraction = 0;
        bool operator==(const ClipProgress&) const = default;
    };
    struct EngineStopped {
        bool busy = false;
        bool operator==(const EngineStopped&) const = default;
    };
    struct Unknown {
        QString name;
        bool operator==(const Unknown&) const = default;
    };

    using Payload = std::variant<Ready, JobStarted, JobMeta, JobProgress, JobState, TranscribeState,
                                 TranscribeProgress, JobLog, JsRuntime, ModelProgress, ModelState, ClipState,
                                 ClipProgress, EngineStopped, Unknown>;

    Payload payload;

    template <class T> const T* get() const { return std::get_if<T>(&payload); }
    template <class T> bool is() const { return std::holds_alternative<T>(payload); }
    bool operator==(const EngineEvent&) const = default;

    // Turns one notification into an event. A record whose params do not decode throws DecodeError;
    // the simple cases never fail, and an unknown name gives Unknown.
    static EngineEvent fromNotification(const QString& name, const QJsonObject& params);
};

Q_DECLARE_METATYPE(EngineEvent)
