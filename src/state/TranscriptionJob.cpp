#include "TranscriptionJob.h"

#include "Fraction.h"

#include <cmath>

TranscriptionJob::TranscriptionJob(QString id, QString path, QString title, QObject* parent)
    : QObject(parent), m_id(std::move(id)), m_path(std::move(path)), m_title(std::move(title)) {}

bool TranscriptionJob::isActive() const {
    return m_state != QLatin1String("done") && m_state != QLatin1String("failed") &&
           m_state != QLatin1String("cancelled");
}

void TranscriptionJob::setTitle(const QString& title) {
    assign(m_title, title);
}

void TranscriptionJob::setState(const QString& state) {
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged();
    Q_EMIT changed();
}

void TranscriptionJob::setFraction(double fraction) {
    assign(m_fraction, unitFraction(fraction));
}
void TranscriptionJob::setMessage(const std::optional<QString>& message) {
    assign(m_message, message);
}

void TranscriptionJob::setEstimateSeconds(double seconds) {
    assign(m_estimateSeconds, std::isfinite(seconds) && seconds > 0 ? seconds : 0.0);
}

void TranscriptionJob::setIsLongJob(bool isLong) {
    assign(m_isLongJob, isLong);
}

void TranscriptionJob::setTranscriptPath(const std::optional<QString>& path) {
    assign(m_transcriptPath, path);
}
