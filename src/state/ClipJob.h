#pragma once

#include "EngineEvent.h"

#include <QObject>
#include <QString>

#include <optional>

// The one clip extraction the application follows; each new extraction replaces it. Its state moves only
// through follow() (the engine's events) and finish(), fail() and cancel() (the outcome of its request);
// changed() follows every real change of a field.
class ClipJob : public QObject {
    Q_OBJECT
    Q_PROPERTY(double fraction READ fraction NOTIFY changed)

public:
    using State = ClipStatus;

    explicit ClipJob(QObject* parent = nullptr);

    const QString& id() const { return m_id; }
    // Running until it ends; Other for a state word from the engine's events the application does not know.
    State state() const { return m_state; }
    double fraction() const { return m_fraction; }
    const std::optional<QString>& destination() const { return m_destination; }
    const std::optional<QString>& message() const { return m_message; }

    // Folds one "clip.state" event in; an event without a destination keeps the one already set.
    void follow(const EngineEvent::ClipState& event);
    // The extraction wrote `destination`.
    void finish(const QString& destination);
    void fail(const QString& message);
    void cancel(const QString& message);
    // Clamped to 0…1; NaN is 0.
    void setFraction(double fraction);

Q_SIGNALS:
    void changed();

private:
    const QString m_id;
    State m_state = State::Running;
    double m_fraction = 0;
    std::optional<QString> m_destination;
    std::optional<QString> m_message;
};
