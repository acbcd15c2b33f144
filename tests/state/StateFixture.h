#pragma once

// A state object booted against the real stand-in engine (with its test controls) and fake desktop
// services, and the engine's log of the raw requests it received.

#include "AppModel.h"
#include "FakeServices.h"
#include "Session.h"
#include "SourceDir.h"

#include <QCoro/QCoroTask>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class Job;

// A row of the engine's saved queue, waiting; `changes` replaces or adds fields.
inline QJsonObject savedQueueRow(const QString& url, const QJsonObject& changes = {}) {
    QJsonObject row{{"url", url},         {"title", ""},         {"quality", "720p"},
                    {"container", "MP4"}, {"audio_only", false}, {"thumb_url", ""},
                    {"playlist", ""},     {"channel", ""},       {"status", "waiting"}};
    for (auto it = changes.begin(); it != changes.end(); ++it)
        row.insert(it.key(), it.value());
    return row;
}

// How many lines of `log` end with `text`.
inline int countEndingWith(const QStringList& log, const QString& text) {
    int n = 0;
    for (const QString& line : log)
        n += line.endsWith(text) ? 1 : 0;
    return n;
}

struct LoggedRequest {
    QString method;
    bool hasParams = false;
    QJsonObject params;
    QJsonObject raw;
};

class StateFixture {
public:
    // `environment` entries are added to the engine's (and the client's) environment. A browserCookies
    // service replaces the fake one (the real browser's, in the web tests).
    explicit StateFixture(QMap<QString, QString> environment = {},
                          BrowserCookiesService* browserCookies = nullptr) {
        Q_ASSERT(m_dir.isValid());
        m_logPath = m_dir.filePath(QStringLiteral("requests.jsonl"));
        EngineLocations locations;
        locations.developmentRoot = QStringLiteral(VAMBER_SOURCE_DIR);
        locations.appVersion = QStringLiteral("9.9.9");
        locations.environment = QProcessEnvironment::systemEnvironment();
        locations.environment.insert(QStringLiteral("VAMBER_PYTHON"), QStringLiteral("/usr/bin/python3"));
        locations.environment.insert(QStringLiteral("VAMBER_ENGINE_TEST"), QStringLiteral("1"));
        locations.environment.insert(QStringLiteral("VAMBER_ENGINE_TEST_LOG"), m_logPath);
        locations.environment.insert(QStringLiteral("VAMBER_SUPPORT_DIR"),
                                     m_dir.filePath(QStringLiteral("support")));
        locations.environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        locations.environment.insert(QStringLiteral("HOME"), m_dir.path());
        locations.environment.remove(QStringLiteral("VAMBER_ENGINE_SERVER"));
        for (auto it = environment.cbegin(); it != environment.cend(); ++it)
            locations.environment.insert(it.key(), it.value());
        m_locations = locations;
        Services services = fakes.services();
        if (browserCookies)
            services.browserCookies = browserCookies;
        model = std::make_unique<AppModel>(services, locations);
    }

    ~StateFixture() {
        if (model)
            QCoro::waitFor(model->engine().stop());
    }

    const QString& logPath() const { return m_logPath; }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    const EngineLocations& locations() const { return m_locations; }

    // Starts the engine without booting, so test controls can be sent first.
    void startEngine() { model->engine().start(); }

    // A test control (or any raw call), awaited.
    // Undefined when the engine refused it (the error is printed).
    QJsonValue control(const QString& method, const QJsonObject& params = {}) {
        auto call = [&]() -> QCoro::Task<QJsonValue> {
            try {
                co_return (co_await model->engine().call(method, params)).value_or(QJsonValue::Undefined);
            } catch (const std::exception& e) {
                qWarning().noquote() << method << "refused:" << e.what();
            }
            co_return QJsonValue(QJsonValue::Undefined);
        };
        return QCoro::waitFor(call());
    }
    // Makes the engine answer "settings.get" with its settings changed by `changes` from now on.
    void scriptSettings(const QJsonObject& changes) {
        QJsonObject settings = control(QStringLiteral("settings.get")).toObject();
        for (auto it = changes.begin(); it != changes.end(); ++it)
            settings.insert(it.key(), it.value());
        script(QStringLiteral("settings.get"), QJsonObject{{QStringLiteral("result"), settings}}, 0);
    }
    void script(const QString& method, const QJsonObject& answer, int times = 1) {
        QJsonObject params = answer;
        params.insert(QStringLiteral("method"), method);
        params.insert(QStringLiteral("times"), times);
        control(QStringLiteral("test.script"), params);
    }
    void scriptError(const QString& method, int code, const QString& message, const QString& detail = {}) {
        QJsonObject error{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}};
        if (!detail.isNull())
            error.insert(QStringLiteral("detail"), detail);
        script(method, QJsonObject{{QStringLiteral("error"), error}});
    }

    void boot() { QCoro::waitFor(model->sessionPart().boot()); }

    // Makes the engine write one notification.
    void emitEvent(const QString& name, const QJsonObject& params) {
        control(QStringLiteral("test.emit"),
                QJsonObject{{QStringLiteral("event"), name}, {QStringLiteral("params"), params}});
    }
    // Enqueues and waits for the save panel (if any); the download itself runs on. A template so that
    // only the tests that enqueue need the queue's header.
    template <class Queue = DownloadQueue>
    std::shared_ptr<Job> enqueue(std::optional<QString> url, bool interactive = false) {
        Queue& queue = model->queuePart();
        return QCoro::waitFor(queue.enqueue(std::move(url), interactive));
    }
    // Answers every "download.start" from now on with `answer` (a "result", "error" or "reply").
    void scriptDownloads(const QJsonObject& answer) { script(QStringLiteral("download.start"), answer, 0); }

    // The log lines that are errors, and the lines written as details of an error.
    static QStringList errorLines(const QStringList& log) {
        QStringList out;
        for (const QString& line : log) {
            if (line.contains(QStringLiteral("\u26A0\uFE0E")))
                out << line.section(QStringLiteral("\u26A0\uFE0E  "), 1);
        }
        return out;
    }
    static QStringList detailLines(const QStringList& log) {
        QStringList out;
        for (const QString& line : log) {
            if (line.size() > 14 && line.mid(8, 6) == QStringLiteral("      "))
                out << line.mid(14);
        }
        return out;
    }

    // Every request the engine received, test controls left out.
    QList<LoggedRequest> requests() const {
        QList<LoggedRequest> out;
        QFile file(m_logPath);
        if (!file.open(QIODevice::ReadOnly))
            return out;
        while (!file.atEnd()) {
            const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
            if (!line.contains(QStringLiteral("request")))
                continue;
            const QJsonObject raw =
                QJsonDocument::fromJson(line.value(QStringLiteral("request")).toString().toUtf8()).object();
            const QString method = raw.value(QStringLiteral("method")).toString();
            if (method.startsWith(QLatin1String("test.")))
                continue;
            out.append({method, raw.contains(QStringLiteral("params")),
                        raw.value(QStringLiteral("params")).toObject(), raw});
        }
        return out;
    }
    QStringList methods() const {
        QStringList out;
        for (const LoggedRequest& r : requests())
            out << r.method;
        return out;
    }
    QList<LoggedRequest> requestsOf(const QString& method) const {
        QList<LoggedRequest> out;
        for (const LoggedRequest& r : requests()) {
            if (r.method == method)
                out << r;
        }
        return out;
    }
    // Waits until the engine has received `count` requests of `method`.
    bool waitForRequests(const QString& method, int count, int timeoutMs = 10000) {
        return QTest::qWaitFor([&] { return requestsOf(method).size() >= count; }, timeoutMs);
    }

    FakeServices fakes;
    std::unique_ptr<AppModel> model;

private:
    QTemporaryDir m_dir;
    QString m_logPath;
    EngineLocations m_locations;
};
