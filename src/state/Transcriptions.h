#pragma once

#include "EngineEvent.h"
#include "EngineTypes.h"
#include "TranscriptionJob.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <map>
#include <memory>
#include <vector>

class AppModel;

// The transcription jobs, started by the user or by the engine after a download.
class Transcriptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(int activeTranscriptionCount READ activeTranscriptionCount NOTIFY transcriptionsChanged)

public:
    // Owned by `app`, which outlives it.
    explicit Transcriptions(AppModel& app);

    // Starts a transcription of a library item; nothing when transcription is unavailable.
    std::shared_ptr<TranscriptionJob> transcribe(const LibraryItem& item);
    // Starts a transcription of any media file; a refusal (unavailable, not a media file) goes to the
    // prompts' transcriptionRefusal and gives nothing.
    std::shared_ptr<TranscriptionJob> transcribeFile(const QUrl& file);
    // Every job known, by id, finished or not, until it is removed or cleared.
    const std::map<QString, std::shared_ptr<TranscriptionJob>>& jobs() const { return m_jobs; }
    // The jobs neither done, failed nor cancelled, by id.
    std::vector<std::shared_ptr<TranscriptionJob>> activeTranscriptions() const;
    int activeTranscriptionCount() const;
    void cancelTranscription(const std::shared_ptr<TranscriptionJob>& job);
    void removeTranscription(const std::shared_ptr<TranscriptionJob>& job);
    void clearTranscriptions();
    // MIME type names of the engine's media extensions, in its order, each once; only sound and pictures.
    QStringList mediaContentTypes() const;
    // The file chooser's filters for media, from the engine's media extensions: every audio and video type
    // first, then audio, then video. Empty while the engine has not named them (any file may be chosen).
    QStringList mediaFileFilters() const;
    QCoro::Task<void> chooseTranscriptFolder();

    // The event pump's share: "transcribe.state" and "transcribe.progress".
    void apply(const EngineEvent::TranscribeState& event);
    void apply(const EngineEvent::TranscribeProgress& event);

Q_SIGNALS:
    // A job entered or left jobs(), or a job's state changed (so activeTranscriptions may have).
    void transcriptionsChanged();
    // The engine finished a transcript of the media file at `path`.
    void transcribed(const QString& path);

private:
    void startTranscription(std::shared_ptr<TranscriptionJob> job);
    void addTranscription(std::shared_ptr<TranscriptionJob> job);

    AppModel& m_app;
    std::map<QString, std::shared_ptr<TranscriptionJob>> m_jobs;
    // Ids removed or cleared: their late events must not bring them back.
    QSet<QString> m_droppedTranscriptions;
};
