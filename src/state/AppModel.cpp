#include "AppModel.h"

#include "Assign.h"
#include "BrowserSession.h"
#include "ClipboardWatcher.h"
#include "Clips.h"
#include "Composition.h"
#include "DownloadQueue.h"
#include "EngineLaunchError.h"
#include "EngineProcessError.h"
#include "InstanceGuard.h"
#include "LanguageStore.h"
#include "Library.h"
#include "Notifications.h"
#include "Prompts.h"
#include "Session.h"
#include "SignalWait.h"
#include "Spawn.h"
#include "SpeechModels.h"
#include "Strings.h"
#include "Transcriptions.h"

#include <QFileInfo>

namespace {
AppModel* sharedInstance = nullptr;
} // namespace

AppModel::AppModel(Services services, EngineLocations locations, QObject* parent)
    : QObject(parent), m_services(services), m_engine(new EngineClient(std::move(locations), this)),
      m_browser(new BrowserSession(this)) {
    ClipboardWatcher::setSource(m_services.clipboard);
    Notifications::setServices(m_services.notifier, m_services.activity);
    Strings::setLanguageListStore(m_services.languages);
    m_hangCheck = new QTimer(this);
    m_hangCheck->setSingleShot(true);
    connect(m_hangCheck, &QTimer::timeout, this, &AppModel::checkForHang);
    m_probeDeadline = new QTimer(this);
    m_probeDeadline->setSingleShot(true);
    connect(m_probeDeadline, &QTimer::timeout, this, &AppModel::probeUnanswered);
    m_sessionPart = std::make_unique<Session>(*this);
    m_queuePart = std::make_unique<DownloadQueue>(*this);
    m_libraryPart = std::make_unique<Library>(*this);
    m_transcriptionsPart = std::make_unique<Transcriptions>(*this);
    m_modelsPart = std::make_unique<SpeechModels>(*this);
    m_clipsPart = std::make_unique<Clips>(*this);
    m_compositionPart = std::make_unique<Composition>(*this);
    m_promptsPart = std::make_unique<Prompts>(*this);
    connect(m_libraryPart.get(), &Library::fileFoundMissing, m_promptsPart.get(),
            [prompts = m_promptsPart.get()] { prompts->setFileMissingNotice(true); });
    // The status reads the field and the analysis in progress.
    connect(m_compositionPart.get(), &Composition::pastedTextChanged, this, &AppModel::refreshDerived);
    connect(m_compositionPart.get(), &Composition::isAnalyzingChanged, this, &AppModel::refreshDerived);
    connect(m_queuePart.get(), &DownloadQueue::currentDownloadUpdated, this, &AppModel::refreshDerived);
    connect(this, &AppModel::stringsGenerationChanged, m_queuePart.get(), &DownloadQueue::textsChanged);
    connect(m_transcriptionsPart.get(), &Transcriptions::transcribed, m_libraryPart.get(),
            &Library::noteTranscribed);
    connect(m_clipsPart.get(), &Clips::clipSaved, m_libraryPart.get(), [library = m_libraryPart.get()] {
        spawn(library, [library]() -> QCoro::Task<void> { co_await library->reloadLibrary(); });
    });
}

AppModel::~AppModel() {
    if (sharedInstance == this)
        sharedInstance = nullptr;
    Notifications::releaseServices(m_services.notifier);
}

AppModel& AppModel::shared() {
    Q_ASSERT_X(sharedInstance, "AppModel::shared", "makeShared() must run first");
    return *sharedInstance;
}

AppModel& AppModel::makeShared(Services services, EngineLocations locations) {
    if (!sharedInstance)
        sharedInstance = new AppModel(services, std::move(locations));
    return *sharedInstance;
}

std::optional<AppModel::Tab> AppModel::tabFromRaw(int raw) {
    if (raw < 0 || raw > static_cast<int>(Tab::Settings))
        return std::nullopt;
    return static_cast<Tab>(raw);
}

void AppModel::setTab(Tab tab) {
    assign(this, m_tab, tab, &AppModel::tabChanged);
}

QString AppModel::describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EngineFailure& e) {
        return e.text();
    } catch (const DecodeError& e) {
        return e.text();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
    }
    return EngineError::unknownErrorText();
}

bool AppModel::isTransportFailure(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EngineLaunchError&) {
        return true;
    } catch (const EngineProcessError&) {
        return true;
    } catch (...) {
    }
    return false;
}

bool AppModel::isCancellation(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EngineError& e) {
        return e.isCancelled();
    } catch (...) {
    }
    return false;
}

// ---- start-up ----

QCoro::Task<void> AppModel::boot() {
    QPointer<AppModel> self(this);
    const bool started = co_await startSessionOrShowFailure();
    if (!self)
        co_return;
    markReady();
    if (started)
        co_await checkForUpdate(false);
}

QCoro::Task<bool> AppModel::startSessionOrShowFailure() {
    QPointer<AppModel> self(this);
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

void AppModel::showEngineFailure(const QString& text) {
    setEngineFailure(text);
    report(text);
}

QCoro::Task<void> AppModel::startFinished() {
    QPointer<AppModel> self(this);
    const std::shared_ptr<StartRun> run = m_startInFlight;
    while (self && run && !run->finished)
        co_await nextSignal(this, &AppModel::sessionStartFinished);
}

QCoro::Task<void> AppModel::startSession() {
    QPointer<AppModel> self(this);
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

QCoro::Task<void> AppModel::runSessionStart() {
    QPointer<AppModel> self(this);
    refuseOtherCopyIfNeeded();
    m_engine->start();
    if (!m_pumpConnected) {
        m_pumpConnected = true;
        connect(m_engine, &EngineClient::event, this, &AppModel::apply);
    }

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
    m_compositionPart->restore(settings);
    applyAppearance(settings.appearance);

    co_await m_compositionPart->refreshAllowedOptions();
    if (!self)
        co_return;
    co_await m_libraryPart->reloadLibrary();
    if (!self)
        co_return;
    co_await modelsPart().reloadModels();
    if (!self)
        co_return;
    co_await m_libraryPart->refreshSearchStatus();
    if (!self)
        co_return;

    if (!m_queuePart->queueLoaded()) {
        const bool answered = co_await m_queuePart->restoreQueue();
        if (!self)
            co_return;
        if (answered)
            m_queuePart->markQueueLoaded();
    }
}

void AppModel::markReady() {
    if (m_isReady)
        return;
    m_isReady = true;
    Q_EMIT isReadyChanged();
}

QCoro::Task<void> AppModel::waitUntilReady() {
    QPointer<AppModel> self(this);
    while (self && !m_isReady)
        co_await nextSignal(this, &AppModel::isReadyChanged);
}

bool AppModel::isSandboxedEngine() const {
    return !m_engine->locations().environment.value(QStringLiteral("VAMBER_ENGINE_SERVER")).isEmpty();
}

void AppModel::refuseOtherCopyIfNeeded() {
    if (isSandboxedEngine())
        return;
    if (m_services.instanceGuard && m_services.instanceGuard->otherCopyRunning())
        throw EngineLaunchError::otherCopyRunning();
}

void AppModel::installStrings(const StringTable& table) {
    Strings::install(table);
    ++m_stringsGeneration;
    Q_EMIT stringsGenerationChanged();
    refreshDerived();
}

void AppModel::setSettings(const std::optional<EngineSettings>& settings) {
    assign(this, m_settings, settings, &AppModel::settingsChanged);
}

void AppModel::setSessionLive(bool live) {
    assign(this, m_sessionLive, live, &AppModel::sessionLiveChanged);
}

void AppModel::refreshDerived() {
    const QString status = this->status();
    if (status != m_shownStatus) {
        m_shownStatus = status;
        Q_EMIT statusChanged();
    }
}

void AppModel::setEngineFailure(const std::optional<QString>& failure) {
    assign(this, m_engineFailure, failure, &AppModel::engineFailureChanged);
}

// ---- the log ----

void AppModel::appendLog(const QString& line) {
    m_log.append(line);
    if (m_log.size() > logLimit)
        m_log.remove(0, m_log.size() - logLimit);
    Q_EMIT logChanged();
}

void AppModel::clearLog() {
    if (!m_log.isEmpty()) {
        m_log.clear();
        Q_EMIT logChanged();
    }
    setLastError(std::nullopt);
}

void AppModel::note(const QString& text) {
    appendLog(LogLine::note(text));
}

void AppModel::note(const EngineEvent::JobLog& line) {
    const QString text = LogLine::withoutMarks(Strings::text(line.key, line.params));
    if (text.isEmpty() || text == line.key)
        return;
    appendLog(LogLine::engine(line.level, text));
}

void AppModel::report(const QString& message, const std::optional<QString>& detail) {
    appendLog(LogLine::error(message));
    if (detail && !detail->isEmpty() && *detail != message) {
        for (const QString& line : LogLine::details(*detail))
            appendLog(line);
    }
    if (detail && *detail == QLatin1String("no-js-runtime")) {
        applyJSRuntime(false, true);
        return;
    }
    setLastError(AppError{QUuid::createUuid(), message, detail, QDateTime::currentDateTime()});
}

void AppModel::reportSetAside(const std::vector<SetAsideFile>& files) {
    QStringList names;
    QStringList lines;
    for (const SetAsideFile& file : files) {
        if (m_toldSetAside.contains(file.savedAs))
            continue;
        m_toldSetAside.insert(file.savedAs);
        names << QFileInfo(file.file).fileName();
        const QMap<QString, QString> values{{QStringLiteral("file"), file.file},
                                            {QStringLiteral("savedAs"), file.savedAs}};
        lines << Strings::text(QStringLiteral("log_file_set_aside"), values);
    }
    if (names.isEmpty())
        return;
    const QMap<QString, QString> values{{QStringLiteral("files"), names.join(QStringLiteral(", "))}};
    report(Strings::text(QStringLiteral("notice_files_set_aside"), values), lines.join(u'\n'));
}

void AppModel::setLastError(const std::optional<AppError>& error) {
    assign(this, m_lastError, error, &AppModel::lastErrorChanged);
}

QString AppModel::status() const {
    if (m_compositionPart->isAnalyzing())
        return Strings::text(QStringLiteral("status_resolving"));
    const Job* job = m_queuePart->currentDownload().get();
    if (!job)
        return Strings::text(QStringLiteral("status_ready"));
    const QString typed = m_compositionPart->pastedText().trimmed();
    if (job->state().isFinished() && !typed.isEmpty() && typed != job->url())
        return Strings::text(QStringLiteral("status_ready"));
    switch (job->state().kind) {
    case Job::State::Waiting:
    case Job::State::Queued:
    case Job::State::Analyzing:
        return Strings::text(QStringLiteral("status_starting"));
    case Job::State::Paused:
        return Strings::text(QStringLiteral("queue_status_paused"));
    case Job::State::Downloading:
    case Job::State::Converting:
        return job->statusLine();
    case Job::State::Processing:
        return Strings::text(QStringLiteral("status_processing"));
    case Job::State::Done:
        return Strings::text(QStringLiteral("status_done"));
    case Job::State::Cancelled:
        return Strings::text(QStringLiteral("status_cancelled"));
    case Job::State::Failed:
        break;
    }
    return Strings::text(QStringLiteral("status_error"));
}
