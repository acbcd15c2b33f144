// Engine loss, the one automatic restart, and the user's retry.
#include "AppModel.h"

#include "DownloadQueue.h"
#include "EngineLaunchError.h"
#include "SpeechModels.h"

// Only a live session reacts to a stop, and only an answered "hello" makes it live again: each stop of a
// live session gets exactly one restart.
QCoro::Task<void> AppModel::handleEngineStopped(bool busy) {
    if (!m_sessionLive)
        co_return;
    setSessionLive(false);
    const QString text = busy ? EngineLaunchError::supportBusy().text() : EngineLaunchError::stopped().text();
    m_queuePart->failActiveJobs(text);
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
        m_queuePart->persistQueue();
        m_queuePart->rerunReturnedJobs();
    }
}

QCoro::Task<void> AppModel::retryEngine() {
    setEngineFailure(std::nullopt);
    QPointer<AppModel> self(this);
    const bool started = co_await startSessionOrShowFailure();
    if (!self || !started)
        co_return;
    m_queuePart->persistQueueIfWanted();
    m_queuePart->rerunReturnedJobs();
}
