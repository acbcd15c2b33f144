#pragma once

#include "EngineEvent.h"
#include "EngineTypes.h"

#include <QMap>
#include <QObject>
#include <QSet>

#include <QCoro/QCoroTask>

#include <optional>

class AppModel;

// The speech-recognition models: what the machine has and can run, their downloads and deletions.
class SpeechModels : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canTranscribe READ canTranscribe NOTIFY modelsInfoChanged)

public:
    // What a speech model's row says after its download or deletion ended.
    struct ModelNotice {
        QString text;
        bool isFailure = false;
        bool operator==(const ModelNotice&) const = default;
    };

    // Owned by `app`, which outlives it.
    explicit SpeechModels(AppModel& app);

    // A model the machine can run and the helper that runs it are both there.
    bool canTranscribe() const;
    QCoro::Task<void> reloadModels();
    // The offer for a model, nothing on any failure (never reported).
    QCoro::Task<std::optional<ModelOffer>> fetchModelOffer(QString key);
    void downloadModel(const QString& key);
    void cancelModelDownload(const QString& key);
    void deleteModel(const QString& key);
    // The bytes to show for a model: what it takes on disk when known, else its download size.
    qint64 modelBytesOnDisk(const WhisperModel& model) const;
    const std::optional<ModelsInfo>& modelsInfo() const { return m_modelsInfo; }
    // Model key to download fraction (0…1), for the models being downloaded.
    const QMap<QString, double>& modelDownloads() const { return m_modelDownloads; }
    const QMap<QString, ModelNotice>& modelNotices() const { return m_modelNotices; }
    // Ends every model download the stopped engine left running: cancelled when the user asked for it,
    // else failed with `message`.
    void endModelDownloads(const QString& message);

    // The event pump's share: "model.state" and "model.progress".
    void apply(const EngineEvent::ModelState& event);
    void apply(const EngineEvent::ModelProgress& event);

Q_SIGNALS:
    void modelsInfoChanged();
    void modelDownloadsChanged();
    void modelNoticesChanged();

private:
    void setModelDownload(const QString& key, std::optional<double> fraction);
    void setModelNotice(const QString& key, std::optional<ModelNotice> notice);
    void setModelsInfo(const std::optional<ModelsInfo>& info);
    void spawnModelReload();

    AppModel& m_app;
    std::optional<ModelsInfo> m_modelsInfo;
    QMap<QString, double> m_modelDownloads;
    QMap<QString, ModelNotice> m_modelNotices;
    // Model downloads the user asked to cancel whose end the engine has not told yet.
    QSet<QString> m_modelCancelsAsked;
};
