// The event pump: every engine event applied in wire order, completely, without suspending.
#include "AppModel.h"

#include "Clips.h"
#include "Prompts.h"
#include "Spawn.h"
#include "SpeechModels.h"
#include "Strings.h"
#include "Transcriptions.h"

#include <type_traits>

Job* AppModel::findJob(const QString& id) const {
    if (m_currentDownload && m_currentDownload->id() == id)
        return m_currentDownload.get();
    return m_jobIndex.value(id, nullptr);
}

void AppModel::apply(const EngineEvent& event) {
    std::visit(
        [this](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, EngineEvent::JobStarted>) {
                // Progress after the request ended would bring a finished job back to life.
                if (Job* job = findJob(e.jobId); job && job->requestOpen())
                    job->setState({Job::State::Downloading, {}});
            } else if constexpr (std::is_same_v<T, EngineEvent::JobMeta>) {
                if (Job* job = findJob(e.jobId)) {
                    if (!e.title.isEmpty())
                        job->setTitle(e.title);
                    if (!e.thumbnail.isEmpty())
                        job->setThumbnailURL(e.thumbnail);
                    if (!e.channel.isEmpty())
                        job->setChannel(e.channel);
                }
            } else if constexpr (std::is_same_v<T, EngineEvent::JobProgress>) {
                Job* job = findJob(e.jobId);
                if (!job || !job->requestOpen())
                    return;
                job->setState({Job::State::Downloading, {}});
                job->setFraction(e.fraction);
                job->setBytesDone(e.downloaded);
                job->setBytesTotal(e.total);
                job->setSpeedBytesPerSecond(e.speed);
                job->setEtaSeconds(e.eta);
                job->setFragment(e.fragment);
                job->setFragmentCount(e.fragmentCount);
                job->setSpeedEngine(e.speedEngine);
            } else if constexpr (std::is_same_v<T, EngineEvent::JobState>) {
                if (Job* job = findJob(e.jobId))
                    applyJobState(*job, e);
            } else if constexpr (std::is_same_v<T, EngineEvent::JobLog>) {
                note(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::JsRuntime>) {
                applyJSRuntime(e.present, e.reveal);
            } else if constexpr (std::is_same_v<T, EngineEvent::TranscribeState>) {
                transcriptionsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::TranscribeProgress>) {
                transcriptionsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::ModelProgress>) {
                modelsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::ModelState>) {
                modelsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::ClipState>) {
                clipsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::ClipProgress>) {
                clipsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::EngineStopped>) {
                const bool busy = e.busy;
                spawn(this, [this, busy]() -> QCoro::Task<void> { co_await handleEngineStopped(busy); });
            }
            // Ready, Unknown: nothing.
        },
        event.payload);
}

void AppModel::applyJobState(Job& job, const EngineEvent::JobState& e) {
    const QString& state = e.state;
    if (state == QLatin1String("processing")) {
        if (job.requestOpen())
            job.setState({Job::State::Processing, {}});
    } else if (state == QLatin1String("converting")) {
        if (job.requestOpen()) {
            job.setState({Job::State::Converting, {}});
            job.setFraction(e.fraction.value_or(0));
        }
    } else if (state == QLatin1String("queued")) {
        if (job.requestOpen())
            job.setState({Job::State::Queued, {}});
    } else if (state == QLatin1String("done")) {
        job.setState({Job::State::Done, {}});
        job.setFraction(1);
        job.setOutputPath(e.filename);
        persistQueue();
    } else if (state == QLatin1String("failed")) {
        job.setState(
            Job::State::failed(e.message.value_or(Strings::text(QStringLiteral("queue_status_error")))));
        persistQueue();
    } else if (state == QLatin1String("cancelled")) {
        job.setState({Job::State::Cancelled, {}});
        persistQueue();
    }
}

void AppModel::applyJSRuntime(bool present, bool reveal) {
    if (present || reveal)
        promptsPart().setJsBannerDismissed(false);
    if (m_jsRuntimeMissing != !present) {
        m_jsRuntimeMissing = !present;
        Q_EMIT jsRuntimeChanged();
    }
}
