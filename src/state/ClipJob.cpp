#include "ClipJob.h"

#include "Fraction.h"

#include <QUuid>

ClipJob::ClipJob(QObject* parent)
    : QObject(parent), m_id(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()) {}

void ClipJob::setState(const QString& state) {
    assign(m_state, state);
}
void ClipJob::setFraction(double fraction) {
    assign(m_fraction, unitFraction(fraction));
}
void ClipJob::setDestination(const std::optional<QString>& destination) {
    assign(m_destination, destination);
}
void ClipJob::setMessage(const std::optional<QString>& message) {
    assign(m_message, message);
}
