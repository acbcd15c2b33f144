#include "EngineClient.h"

#include "EngineLaunchError.h"
#include "EngineProcessError.h"
#include "StandardError.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMetaObject>
#include <QProcess>
#include <QTimer>

#include <QCoro/QCoroTimer>

#include <chrono>
#include <limits>

using namespace std::chrono_literals;

namespace {

constexpr auto shutdownReplyBound = 3000ms;
constexpr auto pollInterval = 50ms;
constexpr int pollsBeforeTerminate = 20;
constexpr int pollsAfterSignal = 20;

// A reader for ids: only whole numbers that fit in 64 bits.
std::optional<qint64> integerOf(const QJsonValue& v) {
    if (!v.isDouble())
        return std::nullopt;
    constexpr qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 n = v.toInteger(sentinel);
    if (n == sentinel)
        return std::nullopt;
    return n;
}

} // namespace

EngineClient::EngineClient(QObject* parent) : EngineClient(EngineLocations::forApplication(), parent) {}

EngineClient::EngineClient(EngineLocations locations, QObject* parent)
    : QObject(parent), m_locations(std::move(locations)) {
    qRegisterMetaType<EngineEvent>();
}

EngineClient::~EngineClient() {
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(1000);
    }
    // Every request still waiting fails with notRunning, so its caller resumes and frees what it holds.
    // The client is going away: they are resumed from the application object on the next turn.
    std::vector<std::shared_ptr<Waiter>> waiting;
    for (const auto& waiter : std::as_const(m_pending))
        waiting.push_back(waiter);
    for (const Delivery& delivery : m_outbox) {
        if (const auto* waiter = std::get_if<std::shared_ptr<Waiter>>(&delivery))
            waiting.push_back(*waiter);
    }
    for (const auto& waiter : waiting) {
        if (!waiter->settled) {
            waiter->settled = true;
            waiter->result.reset();
            waiter->error = std::make_exception_ptr(EngineLaunchError::notRunning());
        }
        waiter->delivered = true;
    }
    const auto resume = [waiting] {
        for (const auto& waiter : waiting) {
            if (const std::coroutine_handle<> h = std::exchange(waiter->handle, nullptr))
                h.resume();
        }
    };
    if (!waiting.empty()) {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, resume, Qt::QueuedConnection);
        else
            resume();
    }
}

std::optional<std::chrono::steady_clock::time_point> EngineClient::oldestOpenRequest() const {
    // Ids grow with each request, so the first one waiting is the oldest.
    if (m_pending.isEmpty())
        return std::nullopt;
    return m_pending.first()->sentAt;
}

bool EngineClient::isRunning() const {
    return (m_process || m_sink) && !m_inputClosed;
}

qint64 EngineClient::processId() const {
    return m_process ? m_process->processId() : 0;
}

void EngineClient::start() {
    if (m_process || m_sink)
        return;
    const QString python = m_locations.locatePython();
    const std::optional<QString> server = m_locations.locateServer();
    if (!server)
        throw EngineLaunchError::serverNotFound(QStringLiteral("Engine/server.py"));

    m_stopping = false;
    const int generation = ++m_generation;
    m_buffer.clear();

    auto* child = new QProcess(this);
    child->setProgram(python);
    child->setArguments({*server});
    child->setProcessEnvironment(m_locations.childEnvironment(python));
    child->setProcessChannelMode(QProcess::SeparateChannels);
    connect(child, &QProcess::readyReadStandardOutput, this, [this, child, generation] {
        if (generation == m_generation)
            ingest(child->readAllStandardOutput());
    });
    connect(child, &QProcess::readyReadStandardError, this,
            [child] { writeStandardError(child->readAllStandardError()); });
    connect(child, &QProcess::finished, this, [this, generation](int exitCode, QProcess::ExitStatus status) {
        processDied(generation, exitCode, status == QProcess::NormalExit);
    });

    child->start(QIODevice::ReadWrite);
    if (!child->waitForStarted(-1)) {
        const QString message = child->errorString();
        child->disconnect(this);
        delete child;
        throw EngineProcessError(message);
    }
    m_process = child;
    m_inputClosed = false;
}

QCoro::Task<std::optional<QJsonValue>> EngineClient::call(QString method, std::optional<QJsonObject> params) {
    // No member is touched after the suspension: the waiter carries the outcome.
    const std::shared_ptr<Waiter> waiter = send(method, params);
    ReplyAwaiter awaiter{waiter.get()};
    co_await awaiter;
    if (waiter->error)
        std::rethrow_exception(waiter->error);
    co_return waiter->result;
}

std::shared_ptr<EngineClient::Waiter> EngineClient::send(const QString& method,
                                                         const std::optional<QJsonObject>& params) {
    if (!isRunning())
        throw EngineLaunchError::notRunning();
    const qint64 id = m_nextId++;
    QJsonObject message{{QStringLiteral("id"), id}, {QStringLiteral("method"), method}};
    if (params)
        message.insert(QStringLiteral("params"), *params);
    return sendLine(QJsonDocument(message).toJson(QJsonDocument::Compact), id);
}

QCoro::Task<std::optional<QJsonValue>> EngineClient::callEncoded(QString method, QByteArray params) {
    if (!isRunning())
        throw EngineLaunchError::notRunning();
    const qint64 id = m_nextId++;
    // The same line send() writes, with the params spliced in as they are.
    QByteArray head =
        QJsonDocument(QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("method"), method}})
            .toJson(QJsonDocument::Compact);
    head.chop(1);
    const std::shared_ptr<Waiter> waiter = sendLine(head + ",\"params\":" + params + '}', id);
    ReplyAwaiter awaiter{waiter.get()};
    co_await awaiter;
    if (waiter->error)
        std::rethrow_exception(waiter->error);
    co_return waiter->result;
}

std::shared_ptr<EngineClient::Waiter> EngineClient::sendLine(QByteArray bytes, qint64 id) {
    bytes.append('\n');
    // Registered before the write so that no reply can come for an unknown id.
    auto waiter = std::make_shared<Waiter>();
    waiter->id = id;
    waiter->sentAt = std::chrono::steady_clock::now();
    m_pending.insert(id, waiter);
    QString error;
    if (!writeToChild(bytes, &error)) {
        m_pending.remove(id);
        throw EngineProcessError(error);
    }
    return waiter;
}

bool EngineClient::writeToChild(const QByteArray& bytes, QString* error) {
    if (m_sink) {
        m_sink(bytes);
        return true;
    }
    // QProcess only buffers here; a later failure ends in the child's exit, which fails the request.
    if (m_process->write(bytes) != bytes.size()) {
        *error = m_process->errorString();
        return false;
    }
    return true;
}

void EngineClient::ingest(QByteArrayView chunk) {
    qsizetype newline = chunk.indexOf('\n');
    if (newline < 0) {
        m_buffer.append(chunk);
        return;
    }
    if (m_buffer.isEmpty()) {
        handleLine(chunk.first(newline));
    } else {
        m_buffer.append(chunk.first(newline));
        const QByteArray line = std::exchange(m_buffer, QByteArray());
        handleLine(line);
    }
    qsizetype from = newline + 1;
    while ((newline = chunk.indexOf('\n', from)) >= 0) {
        handleLine(chunk.sliced(from, newline - from));
        from = newline + 1;
    }
    m_buffer.append(chunk.sliced(from));
}

void EngineClient::handleLine(QByteArrayView line) {
    if (line.isEmpty())
        return;
    QJsonParseError parseError;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), line.size()), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        writeStandardError("[app] ligne illisible du moteur\n");
        return;
    }
    const QJsonObject object = doc.object();

    const QJsonValue name = object.value(QLatin1String("event"));
    if (name.isString()) {
        const QJsonValue params = object.value(QLatin1String("params"));
        emitNotification(name.toString(), params.isObject() ? params.toObject() : QJsonObject());
        return;
    }

    const std::optional<qint64> id = integerOf(object.value(QLatin1String("id")));
    if (!id)
        return;
    const std::shared_ptr<Waiter> waiter = m_pending.take(*id);
    if (!waiter)
        return; // unknown id, or a second reply

    const QJsonValue error = object.value(QLatin1String("error"));
    if (error.isObject()) {
        const QJsonObject e = error.toObject();
        const std::optional<qint64> code = integerOf(e.value(QLatin1String("code")));
        const QJsonValue message = e.value(QLatin1String("message"));
        const QJsonValue detail = e.value(QLatin1String("detail"));
        const int intCode =
            code && *code >= std::numeric_limits<int>::min() && *code <= std::numeric_limits<int>::max()
                ? static_cast<int>(*code)
                : EngineError::NoCode;
        settle(waiter, std::nullopt,
               std::make_exception_ptr(EngineError(
                   intCode, message.isString() ? message.toString() : EngineError::unknownErrorText(),
                   detail.isString() ? std::optional<QString>(detail.toString()) : std::nullopt)));
        return;
    }
    const auto result = object.constFind(QLatin1String("result"));
    if (result != object.constEnd())
        settle(waiter, *result, nullptr);
    else
        settle(waiter, std::nullopt, nullptr);
}

void EngineClient::emitNotification(const QString& name, const QJsonObject& params) {
    try {
        enqueue(EngineEvent::fromNotification(name, params));
    } catch (const DecodeError& e) {
        const QString line = QStringLiteral("[app] événement '") + name + QStringLiteral("' indécodable : ") +
                             e.text() + u'\n';
        writeStandardError(line.toUtf8());
    }
}

void EngineClient::settle(const std::shared_ptr<Waiter>& waiter, std::optional<QJsonValue> result,
                          std::exception_ptr error) {
    if (waiter->settled)
        return;
    waiter->settled = true;
    waiter->result = std::move(result);
    waiter->error = std::move(error);
    enqueue(waiter);
}

void EngineClient::enqueue(Delivery delivery) {
    m_outbox.push_back(std::move(delivery));
    if (!m_deliveryScheduled) {
        m_deliveryScheduled = true;
        QMetaObject::invokeMethod(this, &EngineClient::deliver, Qt::QueuedConnection);
    }
}

void EngineClient::deliver() {
    m_deliveryScheduled = false;
    const QPointer<EngineClient> self(this);
    while (!m_outbox.empty()) {
        Delivery next = std::move(m_outbox.front());
        m_outbox.pop_front();
        if (auto* waiter = std::get_if<std::shared_ptr<Waiter>>(&next)) {
            (*waiter)->delivered = true;
            if (const std::coroutine_handle<> h = std::exchange((*waiter)->handle, nullptr))
                h.resume();
        } else {
            Q_EMIT event(std::get<EngineEvent>(next));
        }
        if (!self)
            return;
    }
}

void EngineClient::processDied(int generation, int exitCode, bool normalExit) {
    if (generation != m_generation || (!m_process && !m_sink))
        return;
    // Whatever the child wrote before it went comes first.
    if (m_process) {
        ingest(m_process->readAllStandardOutput());
        writeStandardError(m_process->readAllStandardError());
    }
    // Status 2 is the engine's own word that another copy holds its folder; a signal never is.
    const bool busy = normalExit && exitCode == 2;
    const QMap<qint64, std::shared_ptr<Waiter>> pending = std::exchange(m_pending, {});
    for (const auto& waiter : pending) {
        settle(
            waiter, std::nullopt,
            std::make_exception_ptr(busy ? EngineLaunchError::supportBusy() : EngineLaunchError::stopped()));
    }
    releaseChild();
    if (!m_stopping)
        enqueue(EngineEvent{EngineEvent::EngineStopped{busy}});
}

void EngineClient::releaseChild() {
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
    }
    m_process = nullptr;
    m_sink = nullptr;
    m_inputClosed = false;
}

QCoro::Task<void> EngineClient::stop() {
    m_stopping = true;
    if (!m_process && !m_sink)
        co_return;
    const QPointer<EngineClient> self(this);
    const int generation = m_generation;
    const auto childGone = [&] { return !self || m_generation != generation || (!m_process && !m_sink); };

    std::shared_ptr<Waiter> shutdown;
    try {
        shutdown = send(QStringLiteral("shutdown"), std::nullopt);
    } catch (...) {
    }
    if (shutdown) {
        // An engine that never answers must not hold the quit up for ever.
        QTimer::singleShot(shutdownReplyBound, this, [this, shutdown] {
            if (!shutdown->settled && m_pending.value(shutdown->id) == shutdown) {
                m_pending.remove(shutdown->id);
                settle(shutdown, std::nullopt, std::make_exception_ptr(EngineLaunchError::stopped()));
            }
        });
        ReplyAwaiter awaiter{shutdown.get()};
        co_await awaiter;
        if (childGone())
            co_return;
    }

    if (m_process)
        m_process->closeWriteChannel();
    m_inputClosed = true;

    for (int i = 0; i < pollsBeforeTerminate && !childGone(); ++i)
        co_await QCoro::sleepFor(pollInterval);
    if (childGone())
        co_return;
    if (m_process)
        m_process->terminate();
    for (int i = 0; i < pollsAfterSignal && !childGone(); ++i)
        co_await QCoro::sleepFor(pollInterval);
    if (childGone())
        co_return;
    if (m_process)
        m_process->kill();
    for (int i = 0; i < pollsAfterSignal && !childGone(); ++i)
        co_await QCoro::sleepFor(pollInterval);
    if (childGone())
        co_return;
    // Not reaped yet: forget it here; QProcess reaps it when it is deleted.
    processDied(generation, -1, false);
}
