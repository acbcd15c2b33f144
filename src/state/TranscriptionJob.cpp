#include "TranscriptionJob.h"

#include "Assign.h"
#include "Fraction.h"

#include <cmath>

TranscriptionJob::TranscriptionJob(QString id, QString path, QString title, QObject* parent)
    : QObject(parent), m_id(std::move(id)), m_path(std::move(path)), m_title(std::move(title)) {}

bool TranscriptionJob::isActive() const {
    return m_state != State::Done && m_state != State::Failed && m_state != State::Cancelled;
}

bool TranscriptionJob::isUnderWay() const {
    return m_state == State::Queued || m_state == State::Running;
}

void TranscriptionJob::enter(State state, const QString& otherState) {
    if (m_state == state && m_otherState == otherState)
        return;
    m_state = state;
    m_otherState = otherState;
    Q_EMIT stateChanged();
    Q_EMIT changed();
}

void TranscriptionJob::follow(const EngineEvent::TranscribeState& event) {
    enter(event.state, event.otherState);
    if (event.title && !event.title->isEmpty())
        assign(this, m_title, *event.title, &TranscriptionJob::changed);
    if (event.estimateSeconds)
        setEstimateSeconds(*event.estimateSeconds);
    if (event.isLongJob)
        assign(this, m_isLongJob, *event.isLongJob, &TranscriptionJob::changed);
    if (event.message)
        setMessage(event.message);
    if (event.state == State::Done) {
        setFraction(1);
        setTranscriptPath(event.srt);
    }
}

void TranscriptionJob::fail(const QString& message) {
    enter(State::Failed);
    setMessage(message);
}

void TranscriptionJob::cancel(const QString& message) {
    enter(State::Cancelled);
    setMessage(message);
}

void TranscriptionJob::setFraction(double fraction) {
    assign(this, m_fraction, unitFraction(fraction), &TranscriptionJob::changed);
}

void TranscriptionJob::setMessage(const std::optional<QString>& message) {
    assign(this, m_message, message, &TranscriptionJob::changed);
}

void TranscriptionJob::setEstimateSeconds(double seconds) {
    assign(this, m_estimateSeconds, std::isfinite(seconds) && seconds > 0 ? seconds : 0.0,
           &TranscriptionJob::changed);
}

void TranscriptionJob::setTranscriptPath(const std::optional<QString>& path) {
    assign(this, m_transcriptPath, path, &TranscriptionJob::changed);
}
