// Engine loss, the one automatic restart, and the user's retry.
#include "Session.h"

#include "AppModel.h"
#include "DownloadQueue.h"
#include "EngineLaunchError.h"
#include "Spawn.h"
#include "SpeechModels.h"

// Only a live session reacts to a stop, and only an answered "hello" makes it live again: each stop of a
// live session gets exactly one restart.
QCoro::Task<void> Session::handleEngineStopped(bool busy) {
    if (!m_sessionLive)
        co_return;
    setSessionLive(false);
    const QString text = busy ? EngineLaunchError::supportBusy().text() : EngineLaunchError::stopped().text();
    m_app.queuePart().failActiveJobs(text);
    m_app.modelsPart().endModelDownloads(text);
    if (busy) {
        showEngineFailure(text);
        co_return;
    }
    note(QStringLiteral("Relance du moteur\u2026"));
    QPointer<Session> self(this);
    // A start still running talks to the engine that just went: the restart is a start of its own.
    co_await startFinished();
    if (!self)
        co_return;
    const bool restarted = co_await startSessionOrShowFailure();
    if (self && restarted) {
        setEngineFailure(std::nullopt);
        m_app.queuePart().persistQueue();
        m_app.queuePart().rerunReturnedJobs();
    }
}

QCoro::Task<void> Session::retryEngine() {
    setEngineFailure(std::nullopt);
    QPointer<Session> self(this);
    const bool started = co_await startSessionOrShowFailure();
    if (!self || !started)
        co_return;
    m_app.queuePart().persistQueueIfWanted();
    m_app.queuePart().rerunReturnedJobs();
}

void Session::engineStopped(bool busy) {
    spawn(this, [this, busy]() -> QCoro::Task<void> { co_await handleEngineStopped(busy); });
}
