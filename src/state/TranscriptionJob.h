#pragma once

#include <QObject>
#include <QString>

#include <optional>

// One transcription as the application follows it, shared with the engine under its id. Its fields are
// assigned from the engine's answers and events; changed() follows every real change, stateChanged()
// only a change of state.
class TranscriptionJob : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString state READ state NOTIFY stateChanged)
    Q_PROPERTY(double fraction READ fraction NOTIFY changed)

public:
    TranscriptionJob(QString id, QString path, QString title, QObject* parent = nullptr);

    const QString& id() const { return m_id; }
    const QString& path() const { return m_path; }
    const QString& title() const { return m_title; }
    // "queued", "running", "done", "failed", "cancelled", or whatever word the engine sent.
    const QString& state() const { return m_state; }
    double fraction() const { return m_fraction; }
    const std::optional<QString>& message() const { return m_message; }
    double estimateSeconds() const { return m_estimateSeconds; }
    bool isLongJob() const { return m_isLongJob; }
    const std::optional<QString>& transcriptPath() const { return m_transcriptPath; }
    // Neither done, failed nor cancelled.
    bool isActive() const;

    void setTitle(const QString& title);
    void setState(const QString& state);
    // Clamped to 0…1; NaN is 0.
    void setFraction(double fraction);
    void setMessage(const std::optional<QString>& message);
    void setEstimateSeconds(double seconds);
    void setIsLongJob(bool isLong);
    void setTranscriptPath(const std::optional<QString>& path);

Q_SIGNALS:
    void changed();
    void stateChanged();

private:
    template <class T> void assign(T& field, const T& value) {
        if (field == value)
            return;
        field = value;
        Q_EMIT changed();
    }

    const QString m_id;
    const QString m_path;
    QString m_title;
    QString m_state = QStringLiteral("queued");
    double m_fraction = 0;
    std::optional<QString> m_message;
    double m_estimateSeconds = 0;
    bool m_isLongJob = false;
    std::optional<QString> m_transcriptPath;
};
