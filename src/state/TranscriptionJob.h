#pragma once

#include "EngineEvent.h"

#include <QObject>
#include <QString>

#include <optional>

// One transcription as the application follows it, shared with the engine under its id. Its state moves
// only through follow() (the engine's events), fail() and cancel() (the outcome of its start request);
// changed() follows every real change, stateChanged() only a change of state.
class TranscriptionJob : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(double fraction READ fraction NOTIFY changed)

public:
    using State = TranscriptionStatus;

    TranscriptionJob(QString id, QString path, QString title, QObject* parent = nullptr);

    const QString& id() const { return m_id; }
    const QString& path() const { return m_path; }
    const QString& title() const { return m_title; }
    State state() const { return m_state; }
    // The engine's word for a state the application does not know (state() is Other), else empty.
    const QString& otherState() const { return m_otherState; }
    double fraction() const { return m_fraction; }
    const std::optional<QString>& message() const { return m_message; }
    double estimateSeconds() const { return m_estimateSeconds; }
    bool isLongJob() const { return m_isLongJob; }
    const std::optional<QString>& transcriptPath() const { return m_transcriptPath; }
    // Neither done, failed nor cancelled.
    bool isActive() const;
    // Queued or running: the engine still works on it, so a cancel can reach it.
    bool isUnderWay() const;

    // Folds one "transcribe.state" event in: its state and whatever else it carries; a job done is
    // complete and points at its transcript.
    void follow(const EngineEvent::TranscribeState& event);
    // The start request failed or was cancelled: the job ends with the request's message.
    void fail(const QString& message);
    void cancel(const QString& message);

    // Clamped to 0…1; NaN is 0.
    void setFraction(double fraction);
    void setMessage(const std::optional<QString>& message);
    void setEstimateSeconds(double seconds);
    void setTranscriptPath(const std::optional<QString>& path);

Q_SIGNALS:
    void changed();
    void stateChanged();

private:
    void enter(State state, const QString& otherState = {});

    const QString m_id;
    const QString m_path;
    QString m_title;
    State m_state = State::Queued;
    QString m_otherState;
    double m_fraction = 0;
    std::optional<QString> m_message;
    double m_estimateSeconds = 0;
    bool m_isLongJob = false;
    std::optional<QString> m_transcriptPath;
};
