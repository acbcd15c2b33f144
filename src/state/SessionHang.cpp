// A hung engine: a request left open too long makes the application ask the engine something it answers
// at once; no answer either, and the engine is stopped and restarted as after a crash.
#include "Session.h"

#include "AppModel.h"
#include "Spawn.h"

#include <QDebug>

using namespace std::chrono;

void Session::setHangLimits(milliseconds openFor, milliseconds answerWithin) {
    m_hangOpenLimit = openFor;
    m_hangAnswerLimit = answerWithin;
}

void Session::watchForHang(milliseconds after) {
    m_hangCheck->start(std::max(after, milliseconds(0)));
}

// Wakes when the oldest open request turns old enough (or, with none open, once a request sent now
// could have), so a request is noticed right when it has been open for the limit.
void Session::checkForHang() {
    // A stop or a start in flight has its own bounds; the next successful start watches again.
    if (!m_sessionLive || m_startInFlight || m_probing)
        return;
    const std::optional<steady_clock::time_point> since = m_engine->oldestOpenRequest();
    if (!since) {
        watchForHang(m_hangOpenLimit);
        return;
    }
    const auto open = duration_cast<milliseconds>(steady_clock::now() - *since);
    if (open < m_hangOpenLimit) {
        watchForHang(m_hangOpenLimit - open);
        return;
    }
    m_probing = true;
    const int probe = ++m_probe;
    m_probeDeadline->start(m_hangAnswerLimit);
    spawn(this, [this, probe]() -> QCoro::Task<void> { co_await probeEngine(probe); });
}

QCoro::Task<void> Session::probeEngine(int probe) {
    QPointer<Session> self(this);
    bool answered = true;
    try {
        co_await m_engine->call(QString::fromLatin1(EngineMethods::SettingsGet::name));
    } catch (const EngineError&) {
        // An error reply is an answer all the same.
    } catch (...) {
        // The engine went meanwhile: its stop is handled as every stop is.
        answered = false;
    }
    if (!self || probe != m_probe || !m_probing)
        co_return;
    m_probing = false;
    m_probeDeadline->stop();
    // A download may keep its request open for long: the engine is asked again one period later.
    if (answered)
        watchForHang(m_hangOpenLimit);
}

void Session::probeUnanswered() {
    if (!m_probing)
        return;
    m_probing = false;
    ++m_probe;
    if (!m_sessionLive)
        return;
    qWarning().noquote() << "[app] the engine has not answered for" << m_hangAnswerLimit.count()
                         << "ms: it is stopped and started again";
    const qint64 hung = m_engine->processId();
    spawn(this, [this, hung]() -> QCoro::Task<void> {
        QPointer<Session> self(this);
        // A crash handled meanwhile has already restarted it: that engine is not the hung one.
        if (!m_sessionLive || m_engine->processId() != hung)
            co_return;
        co_await m_engine->stop();
        if (self)
            co_await handleEngineStopped(false);
    });
}
