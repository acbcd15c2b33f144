#pragma once

#include "EngineClient.h"
#include "EngineEvent.h"
#include "EngineFailure.h"
#include "EngineMethods.h"
#include "EngineSend.h"
#include "EngineTypes.h"
#include "FormatChoice.h"
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

// The application's state, on the GUI thread: the front door that owns the parts (the download queue,
// the library, ...; each with its own signals, reached through the accessors below), starts the engine
// and hands each of its events to the part it concerns. What is not yet a part lives here. Actions that
// need the engine return at once or are coroutines; a failed request never throws out of an action (see
// ask/ping).
class AppModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool stringsReady READ stringsReady NOTIFY stringsReadyChanged)
    Q_PROPERTY(int stringsGeneration READ stringsGeneration NOTIFY stringsGenerationChanged)
    Q_PROPERTY(bool isReady READ isReady NOTIFY isReadyChanged)
    Q_PROPERTY(QStringList log READ log NOTIFY logChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    // Script runtime and favourites.
    Q_PROPERTY(std::vector<Favourite> favourites READ favourites NOTIFY favouritesChanged)
    Q_PROPERTY(bool jsRuntimeMissing READ jsRuntimeMissing NOTIFY jsRuntimeChanged)
    Q_PROPERTY(bool sessionLive READ sessionLive NOTIFY sessionLiveChanged)
    Q_PROPERTY(bool hasEngineFailure READ hasEngineFailure NOTIFY engineFailureChanged)
    Q_PROPERTY(int tab READ tabIndex NOTIFY tabChanged)
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

    // ---- script runtime and favourites ----
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

    // ---- cookie parameters and browser data ----
    static QString host(const QString& address);
    QCoro::Task<CookiePair> cookieParams(QString address);
    QCoro::Task<CookiePair> cookieParamsForAll(QStringList addresses);
    void noteBrowserSession(const QString& address);
    QCoro::Task<void> clearBrowserData();
    const QSet<QString>& browserSessionHosts() const { return m_browserSessionHosts; }

    // ---- settings ----
    QCoro::Task<void> reloadSettings();
    // Sends a change of settings (made with the settings' declarations, SettingFields.h).
    void saveSetting(SettingsPatch patch);
    QCoro::Task<void> applyLanguage(QString language);
    void applyAppearance(const QString& name);
    void saveCookieSource(const QString& source);
    QCoro::Task<void> chooseOutputFolder();

    // The user-facing text of whatever a request or a start threw.
    static QString describe(std::exception_ptr error);
    static bool isCancellation(std::exception_ptr error);
    // The request never got an answer: the engine was not running, stopped or could not be written to.
    static bool isTransportFailure(std::exception_ptr error);

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
    // Computed value: emitted only when its value really changed.
    void statusChanged();
    void sessionLiveChanged();
    void browserSessionHostsChanged();
    void jsRuntimeChanged();
    void updateChanged();
    void upToDateChanged();
    void favouritesChanged();
    // Private plumbing: the start in flight finished.
    void sessionStartFinished();

private:
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
    void setSettings(const std::optional<EngineSettings>& settings);
    void setEngineFailure(const std::optional<QString>& failure);
    void setSessionLive(bool live);
    // Recomputes status and signals it when it changed.
    void refreshDerived();
    // The cookie source and file of the settings, ("None", "") without settings.
    CookiePair settingsCookiePair() const;
    QCoro::Task<void> handleEngineStopped(bool busy);
    void watchForHang(std::chrono::milliseconds after);
    void checkForHang();
    QCoro::Task<void> probeEngine(int probe);
    void probeUnanswered();
    void boundStart(bool running);
    void startUnanswered();
    // Says once which stored files the engine found damaged and set aside.
    void reportSetAside(const std::vector<SetAsideFile>& files);
    void setFavourites(const std::vector<Favourite>& items);

    Services m_services;
    EngineClient* m_engine;
    BrowserSession* m_browser;

    bool m_sessionLive = false;
    // Set-aside files already told of in this run ("savedAs" paths).
    QSet<QString> m_toldSetAside;
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
    QTimer* m_startBound = nullptr;
    QString m_shownStatus;
    bool m_pumpConnected = false;

    QStringList m_log;
    std::optional<AppError> m_lastError;

    QSet<QString> m_browserSessionHosts;

    bool m_jsRuntimeMissing = false;

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
