#pragma once

#include "EngineError.h"
#include "EngineEvent.h"
#include "EngineLocations.h"
#include "JsonReader.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QObject>
#include <QPointer>

#include <QCoro/QCoroTask>

#include <chrono>
#include <coroutine>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

class QProcess;

// Owns the engine child process and speaks its line protocol: one JSON object per line on the child's
// standard input and output. Lives on the GUI thread; no threads, no locks.
//
// Replies and events reach their consumers through one queued path, in the order the engine wrote
// them: a reply settles its request while the line is parsed, but the waiting coroutine is resumed
// (and each event emitted) only from the next turn of the event loop, never from inside the parser or
// the exit handler.
class EngineClient : public QObject {
    Q_OBJECT
public:
    explicit EngineClient(QObject* parent = nullptr);
    explicit EngineClient(EngineLocations locations, QObject* parent = nullptr);
    ~EngineClient() override;

    // Starts the engine unless a child is held. Throws EngineLaunchError (no interpreter, no script)
    // or EngineProcessError (the system refused to start it).
    void start();

    // Asks the engine to shut down and makes sure it is gone: at most 3 s for the "shutdown" reply,
    // then its input is closed, about 1 s for it to leave, then it is terminated, then killed.
    // Never fails. Afterwards requests fail with notRunning until the next start().
    QCoro::Task<void> stop();

    // Sends one request; returns the reply's "result", or nothing when the reply had no "result" (a
    // "result": null arrives as a Null value). Throws EngineLaunchError (notRunning, supportBusy, stopped),
    // EngineProcessError or EngineError.
    QCoro::Task<std::optional<QJsonValue>> call(QString method,
                                                std::optional<QJsonObject> params = std::nullopt);

    // As call(), with params already written as the compact JSON text of an object (large params can be
    // encoded away from this thread).
    QCoro::Task<std::optional<QJsonValue>> callEncoded(QString method, QByteArray params);

    // As call(), with the result decoded as T. A reply without a result fails with EngineError code
    // NoResult (-32603), message "Réponse vide du moteur." and the method name as detail; a result that
    // is present but does not decode (null included) fails with the decoder's own DecodeError.
    template <class T>
    QCoro::Task<T> request(QString method, std::optional<QJsonObject> params = std::nullopt);

    // When the request open the longest was sent; nothing while none is open.
    std::optional<std::chrono::steady_clock::time_point> oldestOpenRequest() const;

    bool isRunning() const;
    // Process id of the running child, 0 without one.
    qint64 processId() const;
    const EngineLocations& locations() const { return m_locations; }
    void setLocations(EngineLocations locations) { m_locations = std::move(locations); }

Q_SIGNALS:
    // Every notification of the engine, and EngineStopped when a child exits outside stop().
    void event(const EngineEvent& event);

private:
    friend class EngineClientProbe; // tests and benchmarks feed bytes without a child

    struct Waiter {
        qint64 id = 0;
        std::chrono::steady_clock::time_point sentAt;
        std::optional<QJsonValue> result; // nothing: the reply had no "result"
        std::exception_ptr error;
        bool settled = false;
        bool delivered = false;
        std::coroutine_handle<> handle;
    };

    // Holds a plain pointer: the awaiting frame keeps the waiter alive, and g++ 12 may destroy
    // temporaries of a co_await expression twice.
    struct ReplyAwaiter {
        Waiter* waiter;
        bool await_ready() const noexcept { return waiter->delivered; }
        void await_suspend(std::coroutine_handle<> h) noexcept { waiter->handle = h; }
        void await_resume() const noexcept {}
    };

    using Delivery = std::variant<std::shared_ptr<Waiter>, EngineEvent>;

    std::shared_ptr<Waiter> send(const QString& method, const std::optional<QJsonObject>& params);
    std::shared_ptr<Waiter> sendLine(QByteArray line, qint64 id);
    bool writeToChild(const QByteArray& bytes, QString* error);

    void ingest(QByteArrayView chunk);
    void handleLine(QByteArrayView line);
    void emitNotification(const QString& name, const QJsonObject& params);
    void settle(const std::shared_ptr<Waiter>& waiter, std::optional<QJsonValue> result,
                std::exception_ptr error);
    void enqueue(Delivery delivery);
    void deliver();
    void processDied(int generation, int exitCode, bool normalExit);
    void releaseChild();

    EngineLocations m_locations;
    QPointer<QProcess> m_process;
    // Tests and benchmarks stand in for the child's input with this.
    std::function<void(const QByteArray&)> m_sink;
    bool m_inputClosed = false;
    bool m_stopping = false;
    int m_generation = 0;
    qint64 m_nextId = 1;
    QMap<qint64, std::shared_ptr<Waiter>> m_pending;
    QByteArray m_buffer;
    std::deque<Delivery> m_outbox;
    bool m_deliveryScheduled = false;
};

template <class T> QCoro::Task<T> EngineClient::request(QString method, std::optional<QJsonObject> params) {
    std::optional<QJsonValue> result = co_await call(method, std::move(params));
    if (!result)
        throw EngineError(EngineError::NoResult, EngineError::emptyReplyText(), method);
    co_return decodeJson<T>(*result);
}
