#pragma once

#include "EngineEvent.h"
#include "FormatChoice.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

// One download as the application shows it: the single download or one entry of the batch queue.
// It mirrors what the engine reports; any state may be assigned at any time.
class Job : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(double fraction READ fraction NOTIFY changed)
    Q_PROPERTY(QString statusLine READ statusLine NOTIFY changed)

public:
    struct State {
        enum Kind {
            Waiting,
            Queued,
            Analyzing,
            Downloading,
            Paused,
            Processing,
            Converting,
            Done,
            Cancelled,
            Failed
        };
        Kind kind = Queued;
        QString message; // only for Failed

        static State failed(QString message) { return {Failed, std::move(message)}; }
        bool operator==(const State& o) const {
            return kind == o.kind && (kind != Failed || message == o.message);
        }
        bool isFinished() const { return kind == Done || kind == Cancelled || kind == Failed; }
        bool isParked() const { return kind == Waiting || kind == Paused; }
        bool isRunning() const { return !isFinished() && !isParked(); }
    };

    Job(QString url, FormatChoice format, QString title, bool allowsListing, QObject* parent = nullptr);

    const QString& id() const { return m_id; }
    const QString& url() const { return m_url; }
    const FormatChoice& format() const { return m_format; }
    const QDateTime& startedAt() const { return m_startedAt; }
    bool allowsListing() const { return m_allowsListing; }

    const QString& title() const { return m_title; }
    const std::optional<QString>& thumbnailURL() const { return m_thumbnailURL; }
    const State& state() const { return m_state; }
    double fraction() const { return m_fraction; }
    qint64 bytesDone() const { return m_bytesDone; }
    qint64 bytesTotal() const { return m_bytesTotal; }
    double speedBytesPerSecond() const { return m_speed; }
    double etaSeconds() const { return m_eta; }
    const std::optional<QString>& outputPath() const { return m_outputPath; }
    const QString& channel() const { return m_channel; }
    qint64 fragment() const { return m_fragment; }
    qint64 fragmentCount() const { return m_fragmentCount; }
    const std::optional<EngineEvent::SpeedEngine>& speedEngine() const { return m_speedEngine; }
    const std::optional<QString>& destination() const { return m_destination; }
    const std::optional<QString>& fileName() const { return m_fileName; }

    void setTitle(const QString& v) { assign(m_title, v); }
    void setThumbnailURL(const std::optional<QString>& v) { assign(m_thumbnailURL, v); }
    void setState(const State& v) { assign(m_state, v); }
    void setFraction(double v) { assign(m_fraction, v); }
    void setBytesDone(qint64 v) { assign(m_bytesDone, v); }
    void setBytesTotal(qint64 v) { assign(m_bytesTotal, v); }
    void setSpeedBytesPerSecond(double v) { assign(m_speed, v); }
    void setEtaSeconds(double v) { assign(m_eta, v); }
    void setOutputPath(const std::optional<QString>& v) { assign(m_outputPath, v); }
    void setChannel(const QString& v) { assign(m_channel, v); }
    void setFragment(qint64 v) { assign(m_fragment, v); }
    void setFragmentCount(qint64 v) { assign(m_fragmentCount, v); }
    // Statistics change with every progress event: always notify.
    void setSpeedEngine(const std::optional<EngineEvent::SpeedEngine>& v) {
        m_speedEngine = v;
        Q_EMIT changed();
    }
    void setDestination(const std::optional<QString>& v) { assign(m_destination, v); }
    void setFileName(const std::optional<QString>& v) { assign(m_fileName, v); }

    // True while this job's "download.start" request is open; events that would make a job look
    // running are ignored outside it, so a finished job never comes back to life.
    bool requestOpen() const { return m_requestOpen; }
    void setRequestOpen(bool open) { m_requestOpen = open; }

    QString statusLine() const;

    // Shared formatting of sizes, rates and durations, used by many views. Values that are not finite
    // or do not fit in 64 bits are shown as zero.
    static QString byteCount(qint64 bytes); // megabytes and gigabytes
    static QString fileSize(qint64 bytes);  // kilobytes, megabytes and gigabytes
    static QString byteRate(double bytesPerSecond);
    static QString duration(double seconds);
    static QString roughDuration(double seconds);

Q_SIGNALS:
    void changed();

private:
    template <class T> void assign(T& field, const T& value) {
        if (field == value)
            return;
        field = value;
        Q_EMIT changed();
    }

    const QString m_id;
    const QString m_url;
    const FormatChoice m_format;
    const QDateTime m_startedAt;
    const bool m_allowsListing;

    QString m_title;
    std::optional<QString> m_thumbnailURL;
    // What every progress event reads or writes, kept together so a long queue costs few cache lines.
    bool m_requestOpen = false;
    State m_state;
    double m_fraction = 0;
    qint64 m_bytesDone = 0;
    qint64 m_bytesTotal = 0;
    double m_speed = 0;
    double m_eta = 0;
    qint64 m_fragment = 0;
    qint64 m_fragmentCount = 0;
    std::optional<EngineEvent::SpeedEngine> m_speedEngine;
    std::optional<QString> m_outputPath;
    QString m_channel;
    std::optional<QString> m_destination;
    std::optional<QString> m_fileName;
};
