#pragma once

#include <QObject>
#include <QString>

#include <optional>

// The one clip extraction the application follows; each new extraction replaces it. changed() follows
// every real change of a field.
class ClipJob : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString state READ state NOTIFY changed)
    Q_PROPERTY(double fraction READ fraction NOTIFY changed)

public:
    explicit ClipJob(QObject* parent = nullptr);

    const QString& id() const { return m_id; }
    // "running", "done", "failed", "cancelled", or a word from the engine's events.
    const QString& state() const { return m_state; }
    double fraction() const { return m_fraction; }
    const std::optional<QString>& destination() const { return m_destination; }
    const std::optional<QString>& message() const { return m_message; }

    void setState(const QString& state);
    // Clamped to 0…1; NaN is 0.
    void setFraction(double fraction);
    void setDestination(const std::optional<QString>& destination);
    void setMessage(const std::optional<QString>& message);

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
    QString m_state = QStringLiteral("running");
    double m_fraction = 0;
    std::optional<QString> m_destination;
    std::optional<QString> m_message;
};
