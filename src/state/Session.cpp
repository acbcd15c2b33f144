// The start of an engine session: the engine, its texts and settings, then what each part loads.
#include "Session.h"

#include "AppModel.h"
#include "Assign.h"
#include "EngineLaunchError.h"
#include "InstanceGuard.h"
#include "SignalWait.h"
#include "Strings.h"

Session::Session(AppModel& app) : m_app(app), m_engine(&app.engine()) {
    m_hangCheck = new QTimer(this);
    m_hangCheck->setSingleShot(true);
    connect(m_hangCheck, &QTimer::timeout, this, &Session::checkForHang);
    m_probeDeadline = new QTimer(this);
    m_probeDeadline->setSingleShot(true);
    connect(m_probeDeadline, &QTimer::timeout, this, &Session::probeUnanswered);
}

QCoro::Task<void> Session::boot() {
    QPointer<Session> self(this);
    const bool started = co_await startSessionOrShowFailure();
    if (!self)
        co_return;
    markReady();
    if (started)
        co_await checkForUpdate(false);
}

QCoro::Task<bool> Session::startSessionOrShowFailure() {
    QPointer<Session> self(this);
    std::exception_ptr failure;
    try {
        co_await startSession();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return false;
    if (failure)
        showEngineFailure(describe(failure));
    co_return !failure;
}

void Session::showEngineFailure(const QString& text) {
    setEngineFailure(text);
    report(text);
}

QCoro::Task<void> Session::startFinished() {
    QPointer<Session> self(this);
    const std::shared_ptr<StartRun> run = m_startInFlight;
    while (self && run && !run->finished)
        co_await nextSignal(this, &Session::sessionStartFinished);
}

QCoro::Task<void> Session::startSession() {
    QPointer<Session> self(this);
    if (m_startInFlight) {
        // Overlapping starts share one run, so nothing of the start is sent twice.
        const std::shared_ptr<StartRun> run = m_startInFlight;
        co_await startFinished();
        if (!self)
            co_return;
        if (run->error)
            std::rethrow_exception(run->error);
        co_return;
    }
    const auto run = std::make_shared<StartRun>();
    m_startInFlight = run;
    boundStart(true);
    try {
        co_await runSessionStart();
    } catch (...) {
        run->error = std::current_exception();
    }
    // A start whose engine fell silent failed, whatever its later steps made of the stop.
    if (run->unanswered)
        run->error = std::make_exception_ptr(EngineLaunchError::stopped());
    run->finished = true;
    if (self) {
        boundStart(false);
        m_startInFlight.reset();
        if (!run->error)
            watchForHang(m_hangOpenLimit);
        Q_EMIT sessionStartFinished();
    }
    if (run->error)
        std::rethrow_exception(run->error);
}

QCoro::Task<void> Session::runSessionStart() {
    QPointer<Session> self(this);
    refuseOtherCopyIfNeeded();
    m_engine->start();

    const EngineHello hello = co_await EngineMethods::send<EngineMethods::Hello>(m_engine);
    if (!self)
        co_return;
    m_hello = hello;
    Q_EMIT helloChanged();
    setSessionLive(true);

    if (!m_stringsReady) {
        const StringTable table = co_await EngineMethods::send<EngineMethods::I18nTable>(m_engine);
        if (!self)
            co_return;
        installStrings(table);
        m_stringsReady = true;
        Q_EMIT stringsReadyChanged();
    }
    if (hello.setAside)
        reportSetAside(*hello.setAside);

    const EngineSettings settings = co_await EngineMethods::send<EngineMethods::SettingsGet>(m_engine);
    if (!self)
        co_return;
    setSettings(settings);
    applyAppearance(settings.appearance);
    co_await m_app.loadParts(settings);
}

void Session::markReady() {
    if (m_isReady)
        return;
    m_isReady = true;
    Q_EMIT isReadyChanged();
}

QCoro::Task<void> Session::waitUntilReady() {
    QPointer<Session> self(this);
    while (self && !m_isReady)
        co_await nextSignal(this, &Session::isReadyChanged);
}

bool Session::isSandboxedEngine() const {
    return !m_engine->locations().environment.value(QStringLiteral("VAMBER_ENGINE_SERVER")).isEmpty();
}

void Session::refuseOtherCopyIfNeeded() {
    if (isSandboxedEngine())
        return;
    if (m_app.services().instanceGuard && m_app.services().instanceGuard->otherCopyRunning())
        throw EngineLaunchError::otherCopyRunning();
}

void Session::installStrings(const StringTable& table) {
    Strings::install(table);
    ++m_stringsGeneration;
    Q_EMIT stringsGenerationChanged();
}

void Session::setSettings(const std::optional<EngineSettings>& settings) {
    assign(this, m_settings, settings, &Session::settingsChanged);
}

void Session::setSessionLive(bool live) {
    assign(this, m_sessionLive, live, &Session::sessionLiveChanged);
}

void Session::setEngineFailure(const std::optional<QString>& failure) {
    assign(this, m_engineFailure, failure, &Session::engineFailureChanged);
}
