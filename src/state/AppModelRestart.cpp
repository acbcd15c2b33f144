// Engine loss, the one automatic restart, and the user's retry.
#include "AppModel.h"

#include "EngineLaunchError.h"

// Only a live session reacts to a stop, and only an answered "hello" makes it live again: each stop of a
// live session gets exactly one restart.
QCoro::Task<void> AppModel::handleEngineStopped(bool busy) {
    if (!m_sessionLive)
        co_return;
    setSessionLive(false);
    const QString text = busy ? EngineLaunchError::supportBusy().text() : EngineLaunchError::stopped().text();
    failActiveJobs(text);
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
    }
}

void AppModel::failActiveJobs(const QString& message) {
    // Waiting and paused jobs keep their state: the engine keeps paused downloads across restarts, and
    // the saved queue must still hold them after the restart's save.
    const auto fail = [&](Job& job) {
        if (job.requestOpen() && !job.state().isFinished())
            job.setState(Job::State::failed(message));
    };
    if (m_currentDownload)
        fail(*m_currentDownload);
    for (const auto& job : m_jobs)
        fail(*job);
}

QCoro::Task<void> AppModel::retryEngine() {
    setEngineFailure(std::nullopt);
    co_await startSessionOrShowFailure();
}
