#pragma once

#include "EngineClient.h"
#include "EngineEvent.h"
#include "EngineMethods.h"
#include "EngineSend.h"
#include "EngineTypes.h"
#include "LogLine.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QUuid>

#include <QCoro/QCoroTask>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class AppModel;

// The engine session: the start and the texts it brings, the restart after a stop or a hang, the requests
// and their failures, the log, the settings record, the update check and the problem report, the script
// runtime, the cookies handed to the engine and the built-in browser's data, and the favourites.
class Session : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool stringsReady READ stringsReady NOTIFY stringsReadyChanged)
    Q_PROPERTY(int stringsGeneration READ stringsGeneration NOTIFY stringsGenerationChanged)
    Q_PROPERTY(bool isReady READ isReady NOTIFY isReadyChanged)
    Q_PROPERTY(QStringList log READ log NOTIFY logChanged)
    Q_PROPERTY(std::vector<Favourite> favourites READ favourites NOTIFY favouritesChanged)
    Q_PROPERTY(bool jsRuntimeMissing READ jsRuntimeMissing NOTIFY jsRuntimeChanged)
    Q_PROPERTY(bool sessionLive READ sessionLive NOTIFY sessionLiveChanged)
    Q_PROPERTY(bool hasEngineFailure READ hasEngineFailure NOTIFY engineFailureChanged)
    Q_PROPERTY(bool upToDate READ upToDate NOTIFY upToDateChanged)

public:
    struct AppError {
        QUuid id;
        QString message;
        std::optional<QString> detail;
        QDateTime at;
        bool operator==(const AppError&) const = default;
    };

    // The cookie pair sent as "cookieSource" and "cookiesFile".
    struct CookiePair {
        QString source;
        QString file;
        bool operator==(const CookiePair&) const = default;
    };

    // Owned by `app`, which outlives it.
    explicit Session(AppModel& app);

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

    // ---- engine loss and restart ----
    QCoro::Task<void> retryEngine();
    // A stop event from the engine (busy: it gave up for want of support).
    void engineStopped(bool busy);
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

    // ---- errors and the log ----
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

    // ---- requests ----
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
    void logChanged();
    void lastErrorChanged();
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

    AppModel& m_app;
    // The application's engine client, held here so the request templates below need only this header.
    EngineClient* m_engine;

    bool m_sessionLive = false;
    // Set-aside files already told of in this run ("savedAs" paths).
    QSet<QString> m_toldSetAside;
    bool m_stringsReady = false;
    int m_stringsGeneration = 0;
    bool m_isReady = false;
    std::optional<EngineHello> m_hello;
    std::optional<EngineSettings> m_settings;
    std::optional<QString> m_engineFailure;

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

    QStringList m_log;
    std::optional<AppError> m_lastError;

    QSet<QString> m_browserSessionHosts;
    bool m_jsRuntimeMissing = false;
    std::vector<Favourite> m_favourites;

    std::optional<UpdateInfo> m_update;
    bool m_upToDate = false;
    std::optional<QString> m_reportSavedTo;
};

template <class M>
QCoro::Task<std::optional<typename M::Reply>> Session::ask(typename M::Params params, bool reportFailure) {
    QPointer<Session> self(this);
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

template <class M> QCoro::Task<bool> Session::ping(typename M::Params params, bool reportFailure) {
    QPointer<Session> self(this);
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
