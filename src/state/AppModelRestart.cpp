// Engine loss, the one automatic restart, and the user's retry.
#include "AppModel.h"

#include "EngineLaunchError.h"
#include "SpeechModels.h"

// Only a live session reacts to a stop, and only an answered "hello" makes it live again: each stop of a
// live session gets exactly one restart.
QCoro::Task<void> AppModel::handleEngineStopped(bool busy) {
    if (!m_sessionLive)
        co_return;
    setSessionLive(false);
    const QString text = busy ? EngineLaunchError::supportBusy().text() : EngineLaunchError::stopped().text();
    failActiveJobs(text);
    modelsPart().endModelDownloads(text);
    if (busy) {
        showEngineFailure(text);
        co_return;
    }
    note(QStringLiteral("Relance du moteur\u2026"));
    QPointer<AppModel> self(this);
    // A start still running talks to the engine that just went: the restart is a start of its own.
    co_await startFinished();
    if (!self)
        co_return;
    const bool restarted = co_await startSessionOrShowFailure();
    if (self && restarted) {
        setEngineFailure(std::nullopt);
        persistQueue();
        rerunReturnedJobs();
    }
}

void AppModel::failActiveJobs(const QString& message) {
    // Waiting and paused jobs keep their state: the engine keeps paused downloads across restarts, and
    // the saved queue must still hold them after the restart's save. Open requests have mostly been
    // settled by their own run already; these are the ones whose failure has not arrived yet.
    std::vector<std::shared_ptr<Job>> open;
    if (m_currentDownload && m_currentDownload->requestOpen())
        open.push_back(m_currentDownload);
    for (const auto& job : m_jobs) {
        if (job->requestOpen())
            open.push_back(job);
    }
    for (const auto& job : open)
        settleStoppedRun(job, message);
}

void AppModel::settleStoppedRun(const std::shared_ptr<Job>& job, const QString& message) {
    const Job::State::Kind kind = job->state().kind;
    if (kind == Job::State::Analyzing || kind == Job::State::Queued) {
        // Still waiting for its turn at the engine: nothing was fetched, it simply runs again.
        job->setState({Job::State::Waiting, {}});
        m_returnedJobs.push_back(job);
    } else if (!job->state().isFinished() && kind != Job::State::Waiting) {
        job->setState(Job::State::failed(message));
        job->setKeptForResume(true);
        report(job->title() + QStringLiteral(" \u2014 ") + message);
    } else {
        return;
    }
    if (job != m_currentDownload)
        persistQueue();
}

void AppModel::rerunReturnedJobs() {
    for (const std::weak_ptr<Job>& weak : std::exchange(m_returnedJobs, {})) {
        const std::shared_ptr<Job> job = weak.lock();
        // Only what is still waiting and still listed: the user may have cancelled or removed it.
        if (!job || job->state().kind != Job::State::Waiting)
            continue;
        if (job == m_currentDownload || jobRow(job.get()) >= 0)
            startRun(job);
    }
}

QCoro::Task<void> AppModel::retryEngine() {
    setEngineFailure(std::nullopt);
    QPointer<AppModel> self(this);
    const bool started = co_await startSessionOrShowFailure();
    if (!self || !started)
        co_return;
    if (m_queueSaveWanted)
        persistQueue();
    rerunReturnedJobs();
}
