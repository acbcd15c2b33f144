#pragma once

#include "EngineClient.h"
#include "EngineEvent.h"
#include "EngineFailure.h"
#include "EngineMethods.h"
#include "EngineSend.h"
#include "EngineTypes.h"
#include "FormatChoice.h"
#include "Job.h"
#include "ListingPick.h"
#include "LogLine.h"
#include "Services.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <QCoro/QCoroTask>

#include <chrono>
#include <coroutine>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class BrowserSession;
class Session;
class DownloadQueue;
class Library;
class Transcriptions;
class SpeechModels;
class Clips;
class Composition;
class Prompts;

// The one state object of the application: its fields are what the views draw, its methods the user's
// actions. Lives on the GUI thread. Actions that need the engine return at once or are coroutines; a
// failed request never throws out of an action (see ask/ping).
class AppModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool stringsReady READ stringsReady NOTIFY stringsReadyChanged)
    Q_PROPERTY(int stringsGeneration READ stringsGeneration NOTIFY stringsGenerationChanged)
    Q_PROPERTY(bool isReady READ isReady NOTIFY isReadyChanged)
    Q_PROPERTY(QString pastedText READ pastedText WRITE setPastedText NOTIFY pastedTextChanged)
    Q_PROPERTY(bool isAnalyzing READ isAnalyzing NOTIFY isAnalyzingChanged)
    Q_PROPERTY(bool optionsExpanded READ optionsExpanded NOTIFY optionsExpandedChanged)
    Q_PROPERTY(QStringList log READ log NOTIFY logChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    // Clipboard offer, script runtime and favourites.
    Q_PROPERTY(std::vector<Favourite> favourites READ favourites NOTIFY favouritesChanged)
    Q_PROPERTY(bool jsRuntimeMissing READ jsRuntimeMissing NOTIFY jsRuntimeChanged)
    Q_PROPERTY(bool sessionLive READ sessionLive NOTIFY sessionLiveChanged)
    // Batch queue and listings.
    Q_PROPERTY(bool isResolving READ isResolving NOTIFY isResolvingChanged)
    Q_PROPERTY(QString batchURLs READ batchURLs WRITE setBatchURLs NOTIFY batchURLsChanged)
    Q_PROPERTY(bool hasEngineFailure READ hasEngineFailure NOTIFY engineFailureChanged)
    Q_PROPERTY(int tab READ tabIndex NOTIFY tabChanged)
    Q_PROPERTY(bool hasFreshAnalysis READ hasFreshAnalysis NOTIFY freshAnalysisChanged)
    Q_PROPERTY(QString freshFailure READ freshFailureText NOTIFY freshFailureChanged)
    Q_PROPERTY(QString analyzedURL READ analyzedURL NOTIFY analyzedURLChanged)
    Q_PROPERTY(bool upToDate READ upToDate NOTIFY upToDateChanged)

public:
    enum class Tab { Download = 0, Batch, Transcription, Downloads, Browser, Settings };
    static std::optional<Tab> tabFromRaw(int raw);

    struct AppError {
        QUuid id;
        QString message;
        std::optional<QString> detail;
        QDateTime at;
        bool operator==(const AppError&) const = default;
    };

    using UpdateInfo = ::UpdateInfo;
    using Favourite = ::Favourite;
    using Favourites = ::Favourites;

    // The cookie pair sent as "cookieSource" and "cookiesFile".
    struct CookiePair {
        QString source;
        QString file;
        bool operator==(const CookiePair&) const = default;
    };

    AppModel(Services services, EngineLocations locations, QObject* parent = nullptr);
    ~AppModel() override;

    // The application's one instance, for main() and code outside the views. makeShared() is called
    // once by main() with the desktop services.
    static AppModel& shared();
    static AppModel& makeShared(Services services, EngineLocations locations);

    // ---- parts ----
    Session& sessionPart() const { return *m_sessionPart; }
    DownloadQueue& queuePart() const { return *m_queuePart; }
    Library& libraryPart() const { return *m_libraryPart; }
    Transcriptions& transcriptionsPart() const { return *m_transcriptionsPart; }
    SpeechModels& modelsPart() const { return *m_modelsPart; }
    Clips& clipsPart() const { return *m_clipsPart; }
    Composition& compositionPart() const { return *m_compositionPart; }
    Prompts& promptsPart() const { return *m_promptsPart; }

    EngineClient& engine() { return *m_engine; }
    BrowserSession& browser() { return *m_browser; }
    const Services& services() const { return m_services; }

    // ---- start-up ----
    QCoro::Task<void> boot();
    QCoro::Task<void> waitUntilReady();
    bool isReady() const { return m_isReady; }
    bool stringsReady() const { return m_stringsReady; }
    int stringsGeneration() const { return m_stringsGeneration; }
    const std::optional<EngineHello>& hello() const { return m_hello; }
    const std::optional<EngineSettings>& settings() const { return m_settings; }
    const std::optional<QString>& engineFailure() const { return m_engineFailure; }
    bool hasEngineFailure() const { return m_engineFailure.has_value(); }
    // The user closed the failure alert: the text goes, the engine is not started again.
    void clearEngineFailure() { setEngineFailure(std::nullopt); }
    // True between an answered "hello" and the engine's next stop.
    bool sessionLive() const { return m_sessionLive; }
    Tab tab() const { return m_tab; }
    int tabIndex() const { return static_cast<int>(m_tab); }
    void setTab(Tab tab);
    // The tab of the settings pane that shows when the pane is next shown (and at once, when it is up).
    enum class SettingsSection { General = 0, Downloads, Transcription };
    SettingsSection settingsSection() const { return m_settingsSection; }
    void setSettingsSection(SettingsSection section);
    // Another view asks for a part of the settings: that section, in the settings tab.
    void showSettings(SettingsSection section);

    // ---- engine loss and restart ----
    QCoro::Task<void> retryEngine();
    // A request open for `openFor` makes the application ask the engine for its settings; no answer
    // within `answerWithin` more and the engine counts as hung: it is stopped and restarted as after a
    // crash. Both are 30 s; tests shorten them before the start.
    void setHangLimits(std::chrono::milliseconds openFor, std::chrono::milliseconds answerWithin);
    // How long a start may wait for the engine's answers before it fails and the silent engine is
    // stopped: 20 s; tests shorten it before the start.
    void setStartLimit(std::chrono::milliseconds limit) { m_startLimit = limit; }

    // ---- single download ----
    // Makes and starts the current download from `url` (or the download field); nothing when the
    // address is empty or the save panel was cancelled.
    QCoro::Task<std::shared_ptr<Job>> enqueue(std::optional<QString> url, bool interactive);
    // Runs a finished job again; does nothing while its earlier run is still open.
    void retry(std::shared_ptr<Job> job);
    const std::shared_ptr<Job>& currentDownload() const { return m_currentDownload; }

    // ---- batch queue (saved queue only, so far) ----
    const std::vector<std::shared_ptr<Job>>& jobs() const { return m_jobs; }
    // Sends the unfinished jobs to the engine; returns at once. At most one save is on its way: calls
    // made meanwhile send one more save, with the queue as it is then, once it is answered. Before the
    // saved queue was read once, the save waits for that read.
    void persistQueue();
    // A queue save is on its way (or waiting to be written).
    bool isSavingQueue() const { return m_queueSaveInFlight; }
    // Returns once no queue save is on its way any more, or when `limit` has passed.
    QCoro::Task<void> queueSavesSettled(std::chrono::milliseconds limit);
    // The rows a save sent now would carry: the unfinished jobs that may be saved.
    EngineMethods::QueueSave::Params queueSnapshot() const;
    // Reads the saved queue into jobs(); true when the engine answered (a reply or an error reply).
    QCoro::Task<bool> restoreQueue();
    // The only ways jobs() changes. Each announces itself before and after (so a list model can follow
    // row by row) and then emits jobsChanged().
    void insertJobs(int at, std::vector<std::shared_ptr<Job>> jobs);
    void removeJobs(int first, int count);
    void moveJob(int from, int to);
    void resetJobs(std::vector<std::shared_ptr<Job>> jobs);
    // The job's position in jobs(), -1 when it is not there.
    int jobRow(const Job* job) const;

    // Resolves a pasted batch: singles start at once, listings wait in pendingListings. The text goes
    // back into batchURLs when the engine could not resolve it.
    QCoro::Task<void> enqueuePasted(QString text);
    // The addresses in a block of text: one per line, or several on a line when every piece looks like
    // an address or a host.
    static QStringList splitURLs(const QString& text);
    static QStringList splitLine(const QString& line);
    void startWaiting();
    void pause(const std::shared_ptr<Job>& job);
    void resume(const std::shared_ptr<Job>& job);
    void cancel(const std::shared_ptr<Job>& job);
    void remove(const std::shared_ptr<Job>& job);
    void clearQueue();
    // Adds an address as a line of batchURLs; false (nothing changed) when it is blank or already there.
    bool appendBatchURL(const QString& url);
    // Computed on each read; activityChanged() says they may have changed (once per burst of changes).
    std::vector<std::shared_ptr<Job>> activeJobs() const;
    std::vector<std::shared_ptr<Job>> allActiveJobs() const;
    std::vector<std::shared_ptr<Job>> waitingJobs() const;
    std::optional<double> overallProgress() const;
    bool isResolving() const { return m_isResolving; }
    const std::vector<BatchNote>& resolveNotes() const { return m_resolveNotes; }
    const QString& batchURLs() const { return m_batchURLs; }
    void setBatchURLs(const QString& text);

    // ---- listings ----
    // The picks waiting for the user, in the order they were made; the picker shows the first.
    const std::vector<std::shared_ptr<ListingPick>>& pendingListings() const { return m_pendingListings; }
    void acceptListing(const std::shared_ptr<ListingPick>& pick);
    void dismissListing(const std::shared_ptr<ListingPick>& pick);
    void loadMoreSection(const std::shared_ptr<ListingPick>& pick);

    // ---- clipboard offer, script runtime and favourites ----
    void offerClipboardIfIdle();
    void offerClipboardOnActivation();
    void applyJSRuntime(bool present, bool reveal);
    QCoro::Task<void> refreshJSRuntime(bool recheck);
    bool jsRuntimeMissing() const { return m_jsRuntimeMissing; }
    QCoro::Task<void> reloadFavourites();
    QCoro::Task<void> addFavourite(QString url, QString title);
    QCoro::Task<void> removeFavourite(QString url);
    const std::vector<Favourite>& favourites() const { return m_favourites; }

    // ---- update check and problem report ----
    QCoro::Task<void> checkForUpdate(bool manual);
    QCoro::Task<bool> sendReport(QString what, QString email);
    const std::optional<UpdateInfo>& update() const { return m_update; }
    void setUpdate(const std::optional<UpdateInfo>& update);
    bool upToDate() const { return m_upToDate; }
    void setUpToDate(bool upToDate);
    // Where the engine kept the last report it could not send (absent after one that was sent).
    const std::optional<QString>& reportSavedTo() const { return m_reportSavedTo; }

    // ---- event pump ----
    // Applies one engine event completely, without suspending.
    void apply(const EngineEvent& event);
    // The job an event is about: the current download first, then the batch queue.
    Job* findJob(const QString& id) const;

    // ---- requests, errors and the log ----
    void report(const QString& message, const std::optional<QString>& detail = std::nullopt);
    void note(const QString& text);
    void note(const EngineEvent::JobLog& line);
    void appendLog(const QString& line);
    // Empties the log, then forgets the last error.
    void clearLog();
    const QStringList& log() const { return m_log; }
    static constexpr int logLimit = LogLine::limit;
    const std::optional<AppError>& lastError() const { return m_lastError; }
    void setLastError(const std::optional<AppError>& error);
    QString status() const;

    // ---- analysis and format choice ----
    const QString& pastedText() const { return m_pastedText; }
    void setPastedText(const QString& text);
    const std::optional<Analysis>& analysis() const { return m_analysis; }
    bool isAnalyzing() const { return m_isAnalyzing; }
    const std::optional<QString>& analysisFailure() const { return m_analysisFailure; }
    const QString& analyzedURL() const { return m_analyzedURL; }
    const FormatChoice& format() const { return m_format; }
    void setFormat(const FormatChoice& format);
    const AllowedOptions& allowedOptions() const { return m_allowedOptions; }
    bool optionsExpanded() const { return m_optionsExpanded; }
    // The analysis and its failure when they are about the text now in the field (signals only on change).
    std::optional<Analysis> freshAnalysis() const;
    std::optional<QString> freshFailure() const;
    bool hasFreshAnalysis() const { return freshAnalysis().has_value(); }
    QString freshFailureText() const { return freshFailure().value_or(QString()); }
    QCoro::Task<void> analyzeCurrent();
    void clearComposition();
    void applyQuality(const QString& quality);
    QCoro::Task<void> refreshAllowedOptions();
    void toggleOptions();
    void saveFormatChoices();

    // ---- cookie parameters and browser data ----
    static QString host(const QString& address);
    QCoro::Task<CookiePair> cookieParams(QString address);
    QCoro::Task<CookiePair> cookieParamsForAll(QStringList addresses);
    void noteBrowserSession(const QString& address);
    QCoro::Task<void> clearBrowserData();
    const QSet<QString>& browserSessionHosts() const { return m_browserSessionHosts; }

    // ---- settings ----
    QCoro::Task<void> reloadSettings();
    void saveSetting(const QString& key, const SettingValue& value);
    QCoro::Task<void> applyLanguage(QString language);
    void applyAppearance(const QString& name);
    void saveCookieSource(const QString& source);
    QCoro::Task<void> chooseOutputFolder();

    // The user-facing text of whatever a request or a start threw.
    static QString describe(std::exception_ptr error);
    static bool isCancellation(std::exception_ptr error);

    // Request wrappers: the reply, or nothing on failure. A failure is logged and shown unless
    // reportFailure is false; a cancellation (code 1001) is never shown. They never throw.
    template <class M>
    QCoro::Task<std::optional<typename M::Reply>> ask(typename M::Params params, bool reportFailure);
    template <class M> QCoro::Task<bool> ping(typename M::Params params, bool reportFailure);

Q_SIGNALS:
    void stringsReadyChanged();
    void stringsGenerationChanged();
    void isReadyChanged();
    void helloChanged();
    void settingsChanged();
    void engineFailureChanged();
    void tabChanged();
    void settingsSectionChanged();
    void logChanged();
    void lastErrorChanged();
    // Computed values: emitted only when their value really changed.
    void statusChanged();
    void freshAnalysisChanged();
    void freshFailureChanged();
    void sessionLiveChanged();
    void pastedTextChanged();
    void analysisChanged();
    void isAnalyzingChanged();
    void analysisFailureChanged();
    void analyzedURLChanged();
    void formatChanged();
    void allowedOptionsChanged();
    void optionsExpandedChanged();
    void browserSessionHostsChanged();
    void jsRuntimeChanged();
    void currentDownloadChanged();
    void jobsChanged();
    // Row-level changes of jobs(), around each mutation; jobsChanged() follows the second of each pair.
    void jobsAboutToBeInserted(int first, int last);
    void jobsInserted(int first, int last);
    void jobsAboutToBeRemoved(int first, int last);
    void jobsRemoved(int first, int last);
    void jobAboutToBeMoved(int from, int to);
    void jobMoved(int from, int to);
    void jobsAboutToBeReset();
    void jobsReset();
    // activeJobs, allActiveJobs, waitingJobs or overallProgress may have changed.
    void activityChanged();
    // One job of the queue (or the current download) changed: what a list of jobs redraws. Relayed
    // here so that a list follows 10,000 jobs through three connections instead of three per job.
    void jobDetailsChanged(Job* job);
    void jobStateChanged(Job* job);
    void jobProgressChanged(Job* job);
    void isResolvingChanged();
    void resolveNotesChanged();
    void batchURLsChanged();
    void pendingListingsChanged();
    void updateChanged();
    void upToDateChanged();
    void favouritesChanged();
    // The saves asked for so far have all been answered.
    void queueSavesFinished();
    // Private plumbing: the start in flight finished.
    void sessionStartFinished();

private:
    template <class T, class Signal> void assign(T& field, const T& value, Signal signal) {
        if (field == value)
            return;
        field = value;
        Q_EMIT(this->*signal)();
    }

    QCoro::Task<void> startSession();
    // Returns when no start is in flight (at once when none is).
    QCoro::Task<void> startFinished();
    // Starts a session; a failure becomes engineFailure and an error report. True when it started.
    QCoro::Task<bool> startSessionOrShowFailure();
    void showEngineFailure(const QString& text);
    QCoro::Task<void> runSessionStart();
    void markReady();
    void refuseOtherCopyIfNeeded();
    bool isSandboxedEngine() const;
    void installStrings(const StringTable& table);
    void restore(const EngineSettings& settings);
    void setSettings(const std::optional<EngineSettings>& settings);
    void setEngineFailure(const std::optional<QString>& failure);
    void setSessionLive(bool live);
    // Recomputes status, freshAnalysis and freshFailure and signals those that changed.
    void refreshDerived();
    // The cookie source and file of the settings, ("None", "") without settings.
    CookiePair settingsCookiePair() const;
    // Marks the job's request open and runs it on the next turn of the event loop; false (and nothing
    // done) while an earlier run of the job is still open.
    bool startRun(std::shared_ptr<Job> job);
    QCoro::Task<void> run(std::shared_ptr<Job> job);
    QCoro::Task<std::optional<std::pair<QString, QString>>>
    chooseSaveLocation(std::optional<QString> suggested, FormatChoice format);
    QString fileStem(const QString& name) const;
    void announceQueueDrained();
    QCoro::Task<void> handleEngineStopped(bool busy);
    void watchForHang(std::chrono::milliseconds after);
    void checkForHang();
    QCoro::Task<void> probeEngine(int probe);
    void probeUnanswered();
    void boundStart(bool running);
    // A cancel that comes before the job's "download.start" went out: the start is dropped, the job
    // cancelled at once. False when the start was already sent (the engine cancels it).
    bool cancelBeforeStart(const std::shared_ptr<Job>& job);
    // True (and the run ended) when the job was cancelled before its start could be sent.
    bool dropCancelledStart(const std::shared_ptr<Job>& job);
    void startUnanswered();
    void failActiveJobs(const QString& message);
    // A job whose request the engine's stop ended: back to waiting when it had not begun to transfer
    // (it runs again after the next start), else failed with `message`, its partial file kept.
    void settleStoppedRun(const std::shared_ptr<Job>& job, const QString& message);
    void rerunReturnedJobs();
    // Says once which stored files the engine found damaged and set aside.
    void reportSetAside(const std::vector<SetAsideFile>& files);
    void applyJobState(Job& job, const EngineEvent::JobState& event);
    void setCurrentDownload(std::shared_ptr<Job> job);
    void enqueueResolved(const ResolvedEntry& entry, const FormatChoice& format);
    void setResolveNotes(const std::vector<BatchNote>& notes);
    void setIsResolving(bool resolving);
    void watchActivity(Job* job);
    void forgetJob(Job* job);
    void scheduleActivity(bool progressOnly);
    void setPendingListings(std::vector<std::shared_ptr<ListingPick>> picks);
    QCoro::Task<void> fetchSectionPage(std::shared_ptr<ListingPick> pick, QString name, QString source,
                                       qint64 offset);
    // The request never got an answer: the engine was not running, stopped or could not be written to.
    static bool isTransportFailure(std::exception_ptr error);
    void markQueueLoaded();
    void setFavourites(const std::vector<Favourite>& items);
    void scheduleClipboardRecheck(int generation, int delayMs, int left);
    QCoro::Task<void> sendQueueSaves();

    Services m_services;
    EngineClient* m_engine;
    BrowserSession* m_browser;

    bool m_sessionLive = false;
    // The saved queue has been read once; until then saves are held back.
    bool m_didLoadSession = false;
    bool m_queueSaveWanted = false;
    bool m_queueSaveInFlight = false;
    // Displaced current downloads kept in the queue: shown and controllable, never saved.
    QSet<const Job*> m_unsavedJobs;
    // Jobs an engine stop sent back to waiting before they began to transfer.
    std::vector<std::weak_ptr<Job>> m_returnedJobs;
    // Set-aside files already told of in this run ("savedAs" paths).
    QSet<QString> m_toldSetAside;
    bool m_isResolving = false;
    std::vector<BatchNote> m_resolveNotes;
    QString m_batchURLs;
    std::vector<std::shared_ptr<ListingPick>> m_pendingListings;
    bool m_activityScheduled = false;
    QTimer* m_progressActivity = nullptr;
    bool m_stringsReady = false;
    int m_stringsGeneration = 0;
    bool m_isReady = false;
    std::optional<EngineHello> m_hello;
    std::optional<EngineSettings> m_settings;
    std::optional<QString> m_engineFailure;
    Tab m_tab = Tab::Download;
    SettingsSection m_settingsSection = SettingsSection::General;

    // One start in flight at a time: later callers await it and share its outcome.
    struct StartRun {
        bool finished = false;
        bool unanswered = false;
        std::exception_ptr error;
    };
    std::shared_ptr<StartRun> m_startInFlight;
    // The hung-engine watch: a check timer, the deadline of the probe on its way, and the probe's number
    // (a late answer to an earlier probe changes nothing).
    std::chrono::milliseconds m_hangOpenLimit{30000};
    std::chrono::milliseconds m_hangAnswerLimit{30000};
    QTimer* m_hangCheck = nullptr;
    QTimer* m_probeDeadline = nullptr;
    int m_probe = 0;
    bool m_probing = false;
    std::chrono::milliseconds m_startLimit{20000};
    // Runs whose "download.start" has not gone out yet, and those of them cancelled meanwhile: their start
    // is never sent.
    QSet<const Job*> m_startsNotSent;
    QSet<const Job*> m_cancelledBeforeStart;
    QTimer* m_startBound = nullptr;
    QString m_shownStatus;
    std::optional<Analysis> m_shownFreshAnalysis;
    std::optional<QString> m_shownFreshFailure;
    bool m_pumpConnected = false;

    QStringList m_log;
    std::optional<AppError> m_lastError;

    QString m_pastedText;
    std::optional<Analysis> m_analysis;
    bool m_isAnalyzing = false;
    std::optional<QString> m_analysisFailure;
    QString m_analyzedURL;
    FormatChoice m_format;
    AllowedOptions m_allowedOptions = AllowedOptions::empty();
    bool m_optionsExpanded = false;
    int m_analysisToken = 0;

    QSet<QString> m_browserSessionHosts;

    bool m_jsRuntimeMissing = false;

    std::shared_ptr<Job> m_currentDownload;
    std::vector<std::shared_ptr<Job>> m_jobs;
    // Ids of the batch queue, so an event finds its job in constant time however long the queue is.
    QHash<QString, Job*> m_jobIndex;
    bool m_queueDrainAnnounced = false;

    // Bumped by every activation: the rechecks of an earlier one stop.
    int m_clipboardRecheckGeneration = 0;
    std::vector<Favourite> m_favourites;

    std::optional<UpdateInfo> m_update;
    bool m_upToDate = false;
    std::optional<QString> m_reportSavedTo;

    // Last, so that they go first: a part may use the fields above while it is destroyed.
    std::unique_ptr<Session> m_sessionPart;
    std::unique_ptr<DownloadQueue> m_queuePart;
    std::unique_ptr<Library> m_libraryPart;
    std::unique_ptr<Transcriptions> m_transcriptionsPart;
    std::unique_ptr<SpeechModels> m_modelsPart;
    std::unique_ptr<Clips> m_clipsPart;
    std::unique_ptr<Composition> m_compositionPart;
    std::unique_ptr<Prompts> m_promptsPart;
};

template <class M>
QCoro::Task<std::optional<typename M::Reply>> AppModel::ask(typename M::Params params, bool reportFailure) {
    QPointer<AppModel> self(this);
    std::exception_ptr failure;
    try {
        co_return co_await EngineMethods::send<M>(m_engine, std::move(params));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return std::nullopt;
    // The engine's detail stays out of the user's view here; only the message is shown.
    if (!isCancellation(failure) && reportFailure)
        report(describe(failure));
    co_return std::nullopt;
}

template <class M> QCoro::Task<bool> AppModel::ping(typename M::Params params, bool reportFailure) {
    QPointer<AppModel> self(this);
    std::exception_ptr failure;
    try {
        // The reply is not looked at: any answer that is not an error is success.
        const QString method = QString::fromLatin1(M::name);
        std::optional<QJsonObject> json = EngineMethods::paramsJson<M>(params);
        co_await m_engine->call(method, std::move(json));
        co_return true;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return false;
    if (!isCancellation(failure) && reportFailure)
        report(describe(failure));
    co_return false;
}
