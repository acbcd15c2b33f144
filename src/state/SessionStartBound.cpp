// The start's bound: an engine that leaves the start's requests unanswered is stopped, and the start fails
// as any engine failure does, with its retry, instead of leaving the splash up for ever.
#include "Session.h"

#include "AppModel.h"
#include "Spawn.h"

#include <QDebug>

void Session::boundStart(bool running) {
    if (!running) {
        if (m_startBound)
            m_startBound->stop();
        return;
    }
    if (!m_startBound) {
        m_startBound = new QTimer(this);
        m_startBound->setSingleShot(true);
        connect(m_startBound, &QTimer::timeout, this, &Session::startUnanswered);
    }
    m_startBound->start(m_startLimit);
}

void Session::startUnanswered() {
    const std::shared_ptr<StartRun> run = m_startInFlight;
    if (!run || run->finished || run->unanswered)
        return;
    run->unanswered = true;
    qWarning().noquote() << "[app] the engine has not answered the start within" << m_startLimit.count()
                         << "ms: it is stopped";
    // Even after an answered "hello" this session is over: the stop below is ours, not a crash to restart
    // from. The start's open requests fail once the child is gone, which ends the start.
    setSessionLive(false);
    spawn(this, [this]() -> QCoro::Task<void> { co_await m_engine->stop(); });
}
