#include "AppModel.h"

#include "Assign.h"
#include "BrowserSession.h"
#include "ClipboardWatcher.h"
#include "Clips.h"
#include "Composition.h"
#include "DownloadQueue.h"
#include "LanguageStore.h"
#include "Library.h"
#include "Notifications.h"
#include "Prompts.h"
#include "Session.h"
#include "Spawn.h"
#include "SpeechModels.h"
#include "Strings.h"
#include "Transcriptions.h"

namespace {
AppModel* sharedInstance = nullptr;
} // namespace

AppModel::AppModel(Services services, EngineLocations locations, QObject* parent)
    : QObject(parent), m_services(services), m_engine(new EngineClient(std::move(locations), this)),
      m_browser(new BrowserSession(this)) {
    ClipboardWatcher::setSource(m_services.clipboard);
    Notifications::setServices(m_services.notifier, m_services.activity);
    Strings::setLanguageListStore(m_services.languages);
    m_sessionPart = std::make_unique<Session>(*this);
    m_queuePart = std::make_unique<DownloadQueue>(*this);
    m_libraryPart = std::make_unique<Library>(*this);
    m_transcriptionsPart = std::make_unique<Transcriptions>(*this);
    m_modelsPart = std::make_unique<SpeechModels>(*this);
    m_clipsPart = std::make_unique<Clips>(*this);
    m_compositionPart = std::make_unique<Composition>(*this);
    m_promptsPart = std::make_unique<Prompts>(*this);
    connect(m_engine, &EngineClient::event, this, &AppModel::apply);
    connect(m_libraryPart.get(), &Library::fileFoundMissing, m_promptsPart.get(),
            [prompts = m_promptsPart.get()] { prompts->setFileMissingNotice(true); });
    // The status reads the field and the analysis in progress.
    connect(m_compositionPart.get(), &Composition::pastedTextChanged, this, &AppModel::refreshDerived);
    connect(m_compositionPart.get(), &Composition::isAnalyzingChanged, this, &AppModel::refreshDerived);
    connect(m_queuePart.get(), &DownloadQueue::currentDownloadUpdated, this, &AppModel::refreshDerived);
    connect(m_sessionPart.get(), &Session::stringsGenerationChanged, this, &AppModel::refreshDerived);
    connect(m_sessionPart.get(), &Session::stringsGenerationChanged, m_queuePart.get(),
            &DownloadQueue::textsChanged);
    connect(m_transcriptionsPart.get(), &Transcriptions::transcribed, m_libraryPart.get(),
            &Library::noteTranscribed);
    m_queuePart->setAfterSave([library = m_libraryPart.get()] { return library->reloadLibrary(); });
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

QCoro::Task<void> AppModel::loadParts(EngineSettings settings) {
    QPointer<AppModel> self(this);
    m_compositionPart->restore(settings);
    co_await m_compositionPart->refreshAllowedOptions();
    if (!self)
        co_return;
    co_await m_libraryPart->reloadLibrary();
    if (!self)
        co_return;
    co_await m_modelsPart->reloadModels();
    if (!self)
        co_return;
    co_await m_libraryPart->refreshSearchStatus();
    if (!self)
        co_return;
    if (!m_queuePart->queueLoaded()) {
        const bool answered = co_await m_queuePart->restoreQueue();
        if (self && answered)
            m_queuePart->markQueueLoaded();
    }
}

std::optional<AppModel::Tab> AppModel::tabFromRaw(int raw) {
    if (raw < 0 || raw > static_cast<int>(Tab::Settings))
        return std::nullopt;
    return static_cast<Tab>(raw);
}

void AppModel::setTab(Tab tab) {
    assign(this, m_tab, tab, &AppModel::tabChanged);
}

void AppModel::setSettingsSection(SettingsSection section) {
    assign(this, m_settingsSection, section, &AppModel::settingsSectionChanged);
}

void AppModel::showSettings(SettingsSection section) {
    setSettingsSection(section);
    setTab(Tab::Settings);
}

void AppModel::refreshDerived() {
    const QString status = this->status();
    if (status != m_shownStatus) {
        m_shownStatus = status;
        Q_EMIT statusChanged();
    }
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
