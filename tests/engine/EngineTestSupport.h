#pragma once

// Shared pieces of the engine-link tests: byte feeding without a child, a standard-error capture and a
// recorder of everything the client delivers, in delivery order.

#include "EngineClient.h"
#include "EngineError.h"
#include "EngineEvent.h"
#include "EngineLaunchError.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QList>
#include <QTemporaryFile>

#include <QCoro/QCoroTask>

#include <memory>
#include <unistd.h>
#include <variant>
#include <vector>

// Locations with an empty environment, for a client without a child (EngineClientProbe feeds it).
inline EngineLocations nowhere() {
    EngineLocations l;
    l.environment = QProcessEnvironment();
    return l;
}

// Stands in for the child: written requests land in `written`, output is fed with feed().
class EngineClientProbe {
public:
    explicit EngineClientProbe(EngineClient& client) : m_client(client) {}

    // As a successful start, with a sink in place of the child's input.
    void attach() {
        m_client.m_sink = [this](const QByteArray& bytes) { written.append(bytes); };
        m_client.m_stopping = false;
        ++m_client.m_generation;
        m_client.m_buffer.clear();
        m_client.m_inputClosed = false;
    }
    void feed(QByteArrayView bytes) { m_client.ingest(bytes); }
    // As the child's exit: a normal exit with a status, or death by a signal.
    void exit(int code, bool normalExit) { m_client.processDied(m_client.m_generation, code, normalExit); }
    void exitEarlierChild(int code, bool normalExit) {
        m_client.processDied(m_client.m_generation - 1, code, normalExit);
    }
    qsizetype pendingCount() const { return m_client.m_pending.size(); }
    qint64 nextId() const { return m_client.m_nextId; }

    QList<QByteArray> written;

private:
    EngineClient& m_client;
};

// Redirects file descriptor 2 to a temporary file until take().
class StderrCapture {
public:
    StderrCapture() {
        m_file.open();
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    // What was written so far, still capturing.
    QByteArray peek() const {
        QFile f(m_file.fileName());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    QByteArray take() {
        restore();
        return peek();
    }

private:
    void restore() {
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

// What reached the consumers, in order: "label=<json>" for a reply ("label=(no result)" for a reply
// without one), "label!<code> <message>[ | detail]" for an engine error, "label!<text key>" for a launch
// error, "label!decode <text>" for a result that did not decode, and the events themselves.
using Delivered = std::variant<QString, EngineEvent>;

class Recorder {
public:
    // The entries live as long as the longest of the recorder and the requests it tracks: a client
    // destroyed after the recorder still resumes them.
    explicit Recorder(EngineClient& client)
        : m_entries(std::make_shared<std::vector<Delivered>>()), entries(*m_entries) {
        QObject::connect(&client, &EngineClient::event, &client,
                         [entries = m_entries](const EngineEvent& e) { entries->push_back(e); });
    }

    void track(QCoro::Task<std::optional<QJsonValue>> task, QString label) {
        keep(record(std::move(task), label, m_entries));
    }

    template <class T> void trackTyped(QCoro::Task<T> task, QString label) {
        keep(recordTyped<T>(std::move(task), label, m_entries));
    }

    std::vector<QString> replies() const {
        std::vector<QString> out;
        for (const auto& e : entries)
            if (const auto* s = std::get_if<QString>(&e))
                out.push_back(*s);
        return out;
    }
    std::vector<EngineEvent> events() const {
        std::vector<EngineEvent> out;
        for (const auto& e : entries)
            if (const auto* ev = std::get_if<EngineEvent>(&e))
                out.push_back(*ev);
        return out;
    }

private:
    std::shared_ptr<std::vector<Delivered>> m_entries;

public:
    std::vector<Delivered>& entries;

    static QString json(const QJsonValue& v) {
        if (v.isObject())
            return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
        if (v.isArray())
            return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
        const QByteArray wrapped = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
    }

private:
    void keep(QCoro::Task<void> t) { m_tasks.push_back(std::move(t)); }

    static QCoro::Task<void> record(QCoro::Task<std::optional<QJsonValue>> task, QString label,
                                    std::shared_ptr<std::vector<Delivered>> entries) {
        try {
            const std::optional<QJsonValue> v = co_await std::move(task);
            entries->push_back(label + u'=' + (v ? json(*v) : QStringLiteral("(no result)")));
        } catch (...) {
            entries->push_back(label + u'!' + failure(std::current_exception()));
        }
    }

    template <class T>
    static QCoro::Task<void> recordTyped(QCoro::Task<T> task, QString label,
                                         std::shared_ptr<std::vector<Delivered>> entries) {
        try {
            co_await std::move(task);
            entries->push_back(label + QStringLiteral("=ok"));
        } catch (...) {
            entries->push_back(label + u'!' + failure(std::current_exception()));
        }
    }

    static QString failure(std::exception_ptr p) {
        try {
            std::rethrow_exception(p);
        } catch (const EngineError& e) {
            QString s = QString::number(e.code()) + u' ' + e.message();
            if (e.detail())
                s += QStringLiteral(" | ") + *e.detail();
            return s;
        } catch (const EngineLaunchError& e) {
            return e.textKey();
        } catch (const DecodeError& e) {
            return QStringLiteral("decode ") + e.text();
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
    }

    std::vector<QCoro::Task<void>> m_tasks;
};

// Lets queued deliveries run.
inline void drainEvents() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}
