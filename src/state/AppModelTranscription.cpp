// Transcription jobs: starting them for library items and files, following the engine's events,
// cancelling, removing and clearing them, and the transcript folder.
#include "AppModel.h"

#include "FileDialogs.h"
#include "Library.h"
#include "MediaFilters.h"
#include "Prompts.h"
#include "SettingFields.h"
#include "Spawn.h"
#include "Strings.h"

#include <QFileInfo>
#include <QTimer>

namespace {
QString newJobId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// The last extension of a file name ("" for none; a leading dot alone is no extension) and the name
// without it.
std::pair<QString, QString> splitExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {QString(), name};
    return {name.mid(dot + 1), name.left(dot)};
}
} // namespace

bool AppModel::canTranscribe() const {
    return m_modelsInfo && m_modelsInfo->supported && m_modelsInfo->helperAvailable;
}

std::shared_ptr<TranscriptionJob> AppModel::transcribe(const LibraryItem& item) {
    if (!canTranscribe())
        return nullptr;
    auto job = std::make_shared<TranscriptionJob>(newJobId(), item.path, item.title);
    addTranscription(job);
    startTranscription(job);
    return job;
}

std::shared_ptr<TranscriptionJob> AppModel::transcribeFile(const QUrl& file) {
    if (!canTranscribe()) {
        promptsPart().setTranscriptionRefusal(Strings::text(QStringLiteral("transcribe_intel_pending")));
        return nullptr;
    }
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.path();
    const QString name = QFileInfo(path).fileName();
    const auto [extension, stem] = splitExtension(name);
    const QStringList accepted = m_hello ? m_hello->mediaExtensions : QStringList();
    if (!accepted.isEmpty() && !accepted.contains(QLatin1Char('.') + extension.toLower())) {
        promptsPart().setTranscriptionRefusal(
            Strings::text(QStringLiteral("transcribe_not_media"), {{QStringLiteral("name"), name}}));
        return nullptr;
    }
    // A refusal no longer stands once a file handed over later is taken.
    if (!promptsPart().refusedThisTurn())
        promptsPart().setTranscriptionRefusal(std::nullopt);
    auto job = std::make_shared<TranscriptionJob>(newJobId(), path, stem);
    addTranscription(job);
    startTranscription(job);
    return job;
}

void AppModel::addTranscription(std::shared_ptr<TranscriptionJob> job) {
    connect(job.get(), &TranscriptionJob::stateChanged, this, &AppModel::transcriptionsChanged);
    m_transcriptions[job->id()] = std::move(job);
    Q_EMIT transcriptionsChanged();
}

void AppModel::startTranscription(std::shared_ptr<TranscriptionJob> job) {
    spawn(this, [this, job]() -> QCoro::Task<void> {
        QPointer<AppModel> self(this);
        std::exception_ptr failure;
        try {
            // Only the failure matters: progress and the end arrive as events.
            const EngineMethods::TranscribeStart::Params params{job->path(), job->id()};
            co_await EngineMethods::send<EngineMethods::TranscribeStart>(m_engine, params);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self || !failure)
            co_return;
        std::optional<QString> detail;
        try {
            std::rethrow_exception(failure);
        } catch (const EngineError& e) {
            job->setState(e.isCancelled() ? QStringLiteral("cancelled") : QStringLiteral("failed"));
            job->setMessage(e.message());
            if (!e.isCancelled())
                report(job->title() + QStringLiteral(" \u2014 ") + e.message(), e.detail());
            detail = e.detail();
        } catch (...) {
            job->setState(QStringLiteral("failed"));
            job->setMessage(describe(failure));
            co_return;
        }
        if (detail != QLatin1String("model-missing"))
            co_return;
        co_await reloadModels();
        if (!self)
            co_return;
        QString key;
        if (m_settings && !m_settings->transcriptionModel.isEmpty())
            key = m_settings->transcriptionModel;
        else if (m_modelsInfo)
            key = m_modelsInfo->defaultModel;
        if (!key.isEmpty())
            promptsPart().setModelOptIn(Prompts::ModelOptInRequest{key});
    });
}

void AppModel::applyTranscribeState(const EngineEvent::TranscribeState& event) {
    // A job the user removed or cleared stays gone, whatever the engine still says about it.
    if (m_droppedTranscriptions.contains(event.jobId))
        return;
    std::shared_ptr<TranscriptionJob> job;
    const auto it = m_transcriptions.find(event.jobId);
    if (it != m_transcriptions.end())
        job = it->second;
    else
        job = std::make_shared<TranscriptionJob>(event.jobId, event.path.value_or(QString()),
                                                 event.title.value_or(QString()));
    job->setState(event.state);
    if (event.title && !event.title->isEmpty())
        job->setTitle(*event.title);
    if (event.estimateSeconds)
        job->setEstimateSeconds(*event.estimateSeconds);
    if (event.isLongJob)
        job->setIsLongJob(*event.isLongJob);
    if (event.message)
        job->setMessage(event.message);
    if (event.state == QLatin1String("done")) {
        job->setFraction(1);
        job->setTranscriptPath(event.srt);
        libraryPart().noteTranscribed(job->path());
    }
    if (it == m_transcriptions.end())
        addTranscription(std::move(job));
}

std::vector<std::shared_ptr<TranscriptionJob>> AppModel::activeTranscriptions() const {
    std::vector<std::shared_ptr<TranscriptionJob>> out;
    for (const auto& [id, job] : m_transcriptions) {
        if (job->isActive())
            out.push_back(job);
    }
    return out;
}

int AppModel::activeTranscriptionCount() const {
    return int(std::count_if(m_transcriptions.begin(), m_transcriptions.end(),
                             [](const auto& entry) { return entry.second->isActive(); }));
}

void AppModel::cancelTranscription(const std::shared_ptr<TranscriptionJob>& job) {
    const EngineMethods::TranscribeCancel::Params params{job->id()};
    spawn(this, [this, params]() -> QCoro::Task<void> {
        co_await ping<EngineMethods::TranscribeCancel>(params, false);
    });
}

void AppModel::removeTranscription(const std::shared_ptr<TranscriptionJob>& job) {
    if (!job)
        return;
    if (job->state() == QLatin1String("running") || job->state() == QLatin1String("queued"))
        cancelTranscription(job);
    const auto it = m_transcriptions.find(job->id());
    if (it == m_transcriptions.end() || it->second != job)
        return;
    disconnect(job.get(), nullptr, this, nullptr);
    m_droppedTranscriptions.insert(job->id());
    m_transcriptions.erase(it);
    Q_EMIT transcriptionsChanged();
}

void AppModel::clearTranscriptions() {
    if (m_transcriptions.empty())
        return;
    for (const auto& [id, job] : m_transcriptions) {
        if (job->state() == QLatin1String("running") || job->state() == QLatin1String("queued"))
            cancelTranscription(job);
        disconnect(job.get(), nullptr, this, nullptr);
        m_droppedTranscriptions.insert(id);
    }
    m_transcriptions.clear();
    Q_EMIT transcriptionsChanged();
}

QStringList AppModel::mediaContentTypes() const {
    QStringList out;
    if (!m_hello)
        return out;
    for (const QString& extension : m_hello->mediaExtensions) {
        const QString type = MediaFilters::typeOf(extension);
        if (!type.isEmpty() && !out.contains(type))
            out << type;
    }
    return out;
}

QStringList AppModel::mediaFileFilters() const {
    if (!m_hello)
        return {};
    return MediaFilters::nameFilters(MediaFilters::patterns(m_hello->mediaExtensions),
                                     Strings::text(QStringLiteral("filter_media_files")),
                                     Strings::text(QStringLiteral("filter_audio_files")),
                                     Strings::text(QStringLiteral("filter_video_files")));
}

QCoro::Task<void> AppModel::chooseTranscriptFolder() {
    if (!m_services.fileDialogs)
        co_return;
    QPointer<AppModel> self(this);
    QString start;
    if (m_settings && !m_settings->transcriptDir.isEmpty())
        start = m_settings->transcriptDir;
    else if (m_settings && !m_settings->outputDir.isEmpty())
        start = m_settings->outputDir;
    const QString message = Strings::text(QStringLiteral("v2_transcript_folder_prompt"));
    const std::optional<QString> folder = co_await m_services.fileDialogs->chooseFolder(message, start);
    if (self && folder)
        saveSetting(Setting::transcriptDir.with(*folder));
}
