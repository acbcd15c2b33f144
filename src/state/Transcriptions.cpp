// Transcription jobs: starting them for library items and files, following the engine's events,
// cancelling, removing and clearing them, and the transcript folder.
#include "Transcriptions.h"

#include "AppModel.h"
#include "FileDialogs.h"
#include "MediaFilters.h"
#include "Prompts.h"
#include "Session.h"
#include "SettingFields.h"
#include "Spawn.h"
#include "SpeechModels.h"
#include "Strings.h"

#include <QFileInfo>

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

Transcriptions::Transcriptions(AppModel& app) : m_app(app) {}

std::shared_ptr<TranscriptionJob> Transcriptions::transcribe(const LibraryItem& item) {
    if (!m_app.modelsPart().canTranscribe())
        return nullptr;
    auto job = std::make_shared<TranscriptionJob>(newJobId(), item.path, item.title);
    addTranscription(job);
    startTranscription(job);
    return job;
}

std::shared_ptr<TranscriptionJob> Transcriptions::transcribeFile(const QUrl& file) {
    if (!m_app.modelsPart().canTranscribe()) {
        m_app.promptsPart().setTranscriptionRefusal(
            Strings::text(QStringLiteral("transcribe_intel_pending")));
        return nullptr;
    }
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.path();
    const QString name = QFileInfo(path).fileName();
    const auto [extension, stem] = splitExtension(name);
    const QStringList accepted =
        m_app.sessionPart().hello() ? m_app.sessionPart().hello()->mediaExtensions : QStringList();
    if (!accepted.isEmpty() && !accepted.contains(QLatin1Char('.') + extension.toLower())) {
        m_app.promptsPart().setTranscriptionRefusal(
            Strings::text(QStringLiteral("transcribe_not_media"), {{QStringLiteral("name"), name}}));
        return nullptr;
    }
    // A refusal no longer stands once a file handed over later is taken.
    if (!m_app.promptsPart().refusedThisTurn())
        m_app.promptsPart().setTranscriptionRefusal(std::nullopt);
    auto job = std::make_shared<TranscriptionJob>(newJobId(), path, stem);
    addTranscription(job);
    startTranscription(job);
    return job;
}

void Transcriptions::addTranscription(std::shared_ptr<TranscriptionJob> job) {
    connect(job.get(), &TranscriptionJob::stateChanged, this, &Transcriptions::transcriptionsChanged);
    m_jobs[job->id()] = std::move(job);
    Q_EMIT transcriptionsChanged();
}

void Transcriptions::startTranscription(std::shared_ptr<TranscriptionJob> job) {
    spawn(this, [this, job]() -> QCoro::Task<void> {
        QPointer<Transcriptions> self(this);
        std::exception_ptr failure;
        try {
            // Only the failure matters: progress and the end arrive as events.
            const EngineMethods::TranscribeStart::Params params{job->path(), job->id()};
            co_await EngineMethods::send<EngineMethods::TranscribeStart>(&m_app.engine(), params);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self || !failure)
            co_return;
        std::optional<QString> detail;
        try {
            std::rethrow_exception(failure);
        } catch (const EngineError& e) {
            if (e.isCancelled())
                job->cancel(e.message());
            else
                job->fail(e.message());
            if (!e.isCancelled())
                m_app.sessionPart().report(job->title() + QStringLiteral(" \u2014 ") + e.message(),
                                           e.detail());
            detail = e.detail();
        } catch (...) {
            job->fail(Session::describe(failure));
            co_return;
        }
        if (detail != QLatin1String("model-missing"))
            co_return;
        SpeechModels& models = m_app.modelsPart();
        co_await models.reloadModels();
        if (!self)
            co_return;
        QString key = Setting::transcriptionModel.read(m_app.sessionPart().settings());
        if (key.isEmpty() && models.modelsInfo())
            key = models.modelsInfo()->defaultModel;
        if (!key.isEmpty())
            m_app.promptsPart().setModelOptIn(Prompts::ModelOptInRequest{key});
    });
}

void Transcriptions::apply(const EngineEvent::TranscribeState& event) {
    // A job the user removed or cleared stays gone, whatever the engine still says about it.
    if (m_droppedTranscriptions.contains(event.jobId))
        return;
    std::shared_ptr<TranscriptionJob> job;
    const auto it = m_jobs.find(event.jobId);
    if (it != m_jobs.end())
        job = it->second;
    else
        job = std::make_shared<TranscriptionJob>(event.jobId, event.path.value_or(QString()),
                                                 event.title.value_or(QString()));
    job->follow(event);
    if (event.state == TranscriptionJob::State::Done)
        Q_EMIT transcribed(job->path());
    if (it == m_jobs.end())
        addTranscription(std::move(job));
}

void Transcriptions::apply(const EngineEvent::TranscribeProgress& event) {
    if (const auto it = m_jobs.find(event.jobId); it != m_jobs.end())
        it->second->setFraction(event.fraction);
}

std::vector<std::shared_ptr<TranscriptionJob>> Transcriptions::activeTranscriptions() const {
    std::vector<std::shared_ptr<TranscriptionJob>> out;
    for (const auto& [id, job] : m_jobs) {
        if (job->isActive())
            out.push_back(job);
    }
    return out;
}

int Transcriptions::activeTranscriptionCount() const {
    return int(std::count_if(m_jobs.begin(), m_jobs.end(),
                             [](const auto& entry) { return entry.second->isActive(); }));
}

void Transcriptions::cancelTranscription(const std::shared_ptr<TranscriptionJob>& job) {
    const EngineMethods::TranscribeCancel::Params params{job->id()};
    spawn(this, [this, params]() -> QCoro::Task<void> {
        co_await m_app.sessionPart().ping<EngineMethods::TranscribeCancel>(params, false);
    });
}

void Transcriptions::removeTranscription(const std::shared_ptr<TranscriptionJob>& job) {
    if (!job)
        return;
    if (job->isUnderWay())
        cancelTranscription(job);
    const auto it = m_jobs.find(job->id());
    if (it == m_jobs.end() || it->second != job)
        return;
    disconnect(job.get(), nullptr, this, nullptr);
    m_droppedTranscriptions.insert(job->id());
    m_jobs.erase(it);
    Q_EMIT transcriptionsChanged();
}

void Transcriptions::clearTranscriptions() {
    if (m_jobs.empty())
        return;
    for (const auto& [id, job] : m_jobs) {
        if (job->isUnderWay())
            cancelTranscription(job);
        disconnect(job.get(), nullptr, this, nullptr);
        m_droppedTranscriptions.insert(id);
    }
    m_jobs.clear();
    Q_EMIT transcriptionsChanged();
}

QStringList Transcriptions::mediaContentTypes() const {
    QStringList out;
    if (!m_app.sessionPart().hello())
        return out;
    for (const QString& extension : m_app.sessionPart().hello()->mediaExtensions) {
        const QString type = MediaFilters::typeOf(extension);
        if (!type.isEmpty() && !out.contains(type))
            out << type;
    }
    return out;
}

QStringList Transcriptions::mediaFileFilters() const {
    if (!m_app.sessionPart().hello())
        return {};
    return MediaFilters::nameFilters(MediaFilters::patterns(m_app.sessionPart().hello()->mediaExtensions),
                                     Strings::text(QStringLiteral("filter_media_files")),
                                     Strings::text(QStringLiteral("filter_audio_files")),
                                     Strings::text(QStringLiteral("filter_video_files")));
}

QCoro::Task<void> Transcriptions::chooseTranscriptFolder() {
    if (!m_app.services().fileDialogs)
        co_return;
    QPointer<Transcriptions> self(this);
    const std::optional<EngineSettings>& settings = m_app.sessionPart().settings();
    QString start = Setting::transcriptDir.read(settings);
    if (start.isEmpty())
        start = Setting::outputDir.read(settings);
    const QString message = Strings::text(QStringLiteral("v2_transcript_folder_prompt"));
    const std::optional<QString> folder = co_await m_app.services().fileDialogs->chooseFolder(message, start);
    if (self && folder)
        m_app.sessionPart().saveSetting(Setting::transcriptDir.with(*folder));
}
