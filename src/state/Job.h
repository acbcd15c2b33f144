#pragma once

#include "EngineEvent.h"
#include "FormatChoice.h"

#include <QObject>
#include <QString>

#include <optional>

class EngineError;

// One download as the application shows it: the single download or one entry of the batch queue.
// Its state changes only through the moves below, each named for what happened to the job; the events
// that would make it look running count only while its "download.start" request is open.
//
// Its fields change in three groups, each with its own signal, so a row redraws only what moved:
// progressChanged (fraction, byte counts, speed, time left, fragments, speed statistics), stateChanged
// (state) and detailsChanged (title, thumbnail, channel, output path, destination, file name). changed()
// follows every one of them.
class Job : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY detailsChanged)
    Q_PROPERTY(QString channel READ channel NOTIFY detailsChanged)
    Q_PROPERTY(double fraction READ fraction NOTIFY progressChanged)
    Q_PROPERTY(qint64 bytesDone READ bytesDone NOTIFY progressChanged)
    Q_PROPERTY(qint64 bytesTotal READ bytesTotal NOTIFY progressChanged)
    Q_PROPERTY(double speedBytesPerSecond READ speedBytesPerSecond NOTIFY progressChanged)
    Q_PROPERTY(double etaSeconds READ etaSeconds NOTIFY progressChanged)
    Q_PROPERTY(int stateKind READ stateKind NOTIFY stateChanged)
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
    // A job brought back from the saved queue keeps its id (a new one when the row had none), so the
    // engine's record of its partial download still matches.
    Job(QString id, QString url, FormatChoice format, QString title, bool allowsListing,
        QObject* parent = nullptr);

    const QString& id() const { return m_id; }
    const QString& url() const { return m_url; }
    const FormatChoice& format() const { return m_format; }
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

    int stateKind() const { return m_state.kind; }

    void setTitle(const QString& v) { assign(m_title, v, &Job::detailsChanged); }
    void setThumbnailURL(const std::optional<QString>& v) { assign(m_thumbnailURL, v, &Job::detailsChanged); }
    void setFraction(double v) { assign(m_fraction, v, &Job::progressChanged); }
    void setBytesDone(qint64 v) { assign(m_bytesDone, v, &Job::progressChanged); }
    void setBytesTotal(qint64 v) { assign(m_bytesTotal, v, &Job::progressChanged); }
    void setSpeedBytesPerSecond(double v) { assign(m_speed, v, &Job::progressChanged); }
    void setEtaSeconds(double v) { assign(m_eta, v, &Job::progressChanged); }
    void setOutputPath(const std::optional<QString>& v) { assign(m_outputPath, v, &Job::detailsChanged); }
    void setChannel(const QString& v) { assign(m_channel, v, &Job::detailsChanged); }
    void setFragment(qint64 v) { assign(m_fragment, v, &Job::progressChanged); }
    void setFragmentCount(qint64 v) { assign(m_fragmentCount, v, &Job::progressChanged); }
    // Statistics change with every progress event: always notify.
    void setSpeedEngine(const std::optional<EngineEvent::SpeedEngine>& v) {
        m_speedEngine = v;
        Q_EMIT progressChanged();
        Q_EMIT changed();
    }
    void setDestination(const std::optional<QString>& v) { assign(m_destination, v, &Job::detailsChanged); }
    void setFileName(const std::optional<QString>& v) { assign(m_fileName, v, &Job::detailsChanged); }

    // ---- its run ----
    // True while this job's "download.start" request is open; events that would make a job look
    // running are ignored outside it, so a finished job never comes back to life.
    bool requestOpen() const { return m_requestOpen; }
    // A run begins (a start, a resume or a retry): the request counts as open and a part kept from an
    // earlier run is this run's to finish. False, and nothing changes, while a run is still open.
    bool openRun();
    // The run's "download.start" was answered, failed, or was never sent.
    void closeRun() { m_requestOpen = false; }

    // The engine may keep a partial file for this job although no request of this run made one: it was
    // restored from the saved queue. Cancelling or removing it must reach the engine.
    bool restored() const { return m_restored; }

    // Failed with its partial file kept for a later retry (the engine stopped mid-transfer, or writing
    // failed): it stays in the saved queue, as paused.
    bool keptForResume() const { return m_keptForResume; }

    // ---- the moves ----
    // Brought back from the saved queue: waiting, or paused with its partial file at the engine.
    void restore(bool paused);
    // Its "download.start" goes out: the engine resolves the address first.
    void start();
    // Run again from nothing after it ended (a retry).
    void requeue();
    // The engine's events. Those that would make the job look running count only while its request is
    // open; its details and the three states that end it (done, failed, cancelled) always count. True
    // when the event ended the job.
    void apply(const EngineEvent::JobStarted& event);
    void apply(const EngineEvent::JobMeta& event);
    void apply(const EngineEvent::JobProgress& event);
    bool apply(const EngineEvent::JobState& event);
    // The start request answered: the file is at `path`.
    void finish(const std::optional<QString>& path);
    // The engine paused it: the start request ended with the paused detail, its partial file kept.
    void pause();
    void cancel();
    void fail(const QString& message);
    // Failed with the part fetched so far kept: a later run resumes it.
    void failKeepingPart(const QString& message);
    // A cancel of a failed job takes its kept part with it: nothing is left to resume.
    void dropKeptPart() { m_keptForResume = false; }
    // The engine stopped before it began to transfer: it waits to run again.
    void backToWaiting();

    // How a "download.start" that ended in an error reply left the job. The engine ends the open start
    // request for a pause and a cancel too; the error's detail (or code) says which.
    struct RunEnd {
        enum Kind { Paused, Cancelled, Failed, FailedKeepingPart };
        Kind kind;
        QString text; // what the log says (and the row, for a failure)
    };
    static RunEnd runEndOf(const EngineError& error);

    QString statusLine() const;

    // Shared formatting of sizes, rates and durations, used by many views. Values that are not finite
    // or do not fit in 64 bits are shown as zero.
    static QString byteCount(qint64 bytes);         // megabytes and gigabytes
    static QString fileSize(qint64 bytes);          // kilobytes, megabytes and gigabytes
    static QString byteAmount(qint64 bytes);        // transfers: kilobytes below a megabyte, else megabytes
    static QString byteRate(double bytesPerSecond); // byteAmount per second
    static QString duration(double seconds);
    static QString roughDuration(double seconds);

Q_SIGNALS:
    void progressChanged();
    void stateChanged();
    void detailsChanged();
    // After any of the three above.
    void changed();

private:
    void setState(const State& v) { assign(m_state, v, &Job::stateChanged); }

    template <class T> void assign(T& field, const T& value, void (Job::*group)()) {
        if (field == value)
            return;
        field = value;
        Q_EMIT(this->*group)();
        Q_EMIT changed();
    }

    const QString m_id;
    const QString m_url;
    const FormatChoice m_format;
    const bool m_allowsListing;

    QString m_title;
    std::optional<QString> m_thumbnailURL;
    // What every progress event reads or writes, kept together so a long queue costs few cache lines.
    bool m_requestOpen = false;
    bool m_restored = false;
    bool m_keptForResume = false;
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
