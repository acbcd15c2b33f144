#include "ClipJob.h"

#include "Assign.h"
#include "Fraction.h"

#include <QUuid>

ClipJob::ClipJob(QObject* parent)
    : QObject(parent), m_id(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()) {}

void ClipJob::follow(const EngineEvent::ClipState& event) {
    assign(this, m_state, event.state, &ClipJob::changed);
    if (event.destination)
        assign(this, m_destination, event.destination, &ClipJob::changed);
    if (event.message)
        assign(this, m_message, event.message, &ClipJob::changed);
}

void ClipJob::finish(const QString& destination) {
    assign(this, m_state, State::Done, &ClipJob::changed);
    setFraction(1);
    assign(this, m_destination, std::optional<QString>(destination), &ClipJob::changed);
}

void ClipJob::fail(const QString& message) {
    assign(this, m_state, State::Failed, &ClipJob::changed);
    assign(this, m_message, std::optional<QString>(message), &ClipJob::changed);
}

void ClipJob::cancel(const QString& message) {
    assign(this, m_state, State::Cancelled, &ClipJob::changed);
    assign(this, m_message, std::optional<QString>(message), &ClipJob::changed);
}

void ClipJob::setFraction(double fraction) {
    assign(this, m_fraction, unitFraction(fraction), &ClipJob::changed);
}
