#include "ClipJob.h"

#include "Fraction.h"

#include <QUuid>

ClipJob::ClipJob(QObject* parent)
    : QObject(parent), m_id(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()) {}

void ClipJob::follow(const EngineEvent::ClipState& event) {
    assign(m_state, event.state);
    if (event.destination)
        assign(m_destination, event.destination);
    if (event.message)
        assign(m_message, event.message);
}

void ClipJob::finish(const QString& destination) {
    assign(m_state, State::Done);
    setFraction(1);
    assign(m_destination, std::optional<QString>(destination));
}

void ClipJob::fail(const QString& message) {
    assign(m_state, State::Failed);
    assign(m_message, std::optional<QString>(message));
}

void ClipJob::cancel(const QString& message) {
    assign(m_state, State::Cancelled);
    assign(m_message, std::optional<QString>(message));
}

void ClipJob::setFraction(double fraction) {
    assign(m_fraction, unitFraction(fraction));
}
