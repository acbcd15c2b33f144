#include "LocalInstanceGuard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>

namespace {

constexpr qint64 maxMessageBytes = 1 << 20;
constexpr int retryPauseMs = 50;
const QByteArray okLine = QByteArrayLiteral("ok\n");

std::optional<QStringList> decodeMessage(const QByteArray& line) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QStringList arguments;
    for (const QJsonValue& value : doc.array()) {
        if (!value.isString())
            return std::nullopt;
        arguments.append(value.toString());
    }
    return arguments;
}

QByteArray encodeAnswer(const InstanceAnswer& answer) {
    const QJsonObject object{{QStringLiteral("status"), answer.status},
                             {QStringLiteral("out"), answer.out},
                             {QStringLiteral("err"), answer.err}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<InstanceAnswer> decodeAnswer(const QByteArray& line) {
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    const QJsonObject object = doc.object();
    if (!doc.isObject() || !object.value(QStringLiteral("status")).isDouble())
        return std::nullopt;
    return InstanceAnswer{object.value(QStringLiteral("status")).toInt(),
                          object.value(QStringLiteral("out")).toString(),
                          object.value(QStringLiteral("err")).toString()};
}

} // namespace

LocalInstanceGuard::LocalInstanceGuard(QString directory, QString name, QObject* parent)
    : InstanceGuard(parent), m_directory(std::move(directory)), m_name(std::move(name)) {}

LocalInstanceGuard::~LocalInstanceGuard() {
    if (m_server)
        m_server->close(); // removes the socket file while the lock is still held
}

QString LocalInstanceGuard::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString LocalInstanceGuard::lockPath() const {
    return QDir(m_directory).filePath(m_name + QLatin1String(".lock"));
}
QString LocalInstanceGuard::socketPath() const {
    return QDir(m_directory).filePath(m_name + QLatin1String(".socket"));
}
bool LocalInstanceGuard::isListening() const {
    return m_server && m_server->isListening();
}

bool LocalInstanceGuard::claim() {
    // The lock is taken once and kept for the life of the process, so asking again never refuses us.
    if (m_claimed)
        return true;
    if (!QDir(m_directory).exists()) {
        QDir().mkpath(m_directory);
        QFile::setPermissions(m_directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(lockPath());
        // Only a dead holder makes a lock stale, never its age: the running copy may run for weeks.
        m_lock->setStaleLockTime(0);
    }
    if (!m_lock->tryLock(0))
        return false;
    m_claimed = true;

    // Whatever socket is there belongs to a copy that no longer holds the lock.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &LocalInstanceGuard::acceptConnections);
    if (!m_server->listen(socketPath()))
        qWarning("instance guard: cannot listen on %s: %s", qPrintable(socketPath()),
                 qPrintable(m_server->errorString()));
    return true;
}

void LocalInstanceGuard::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessages(socket); });
        readMessages(socket);
    }
}

void LocalInstanceGuard::readMessages(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine().trimmed();
        const auto arguments = decodeMessage(line);
        if (!arguments) {
            qWarning("instance guard: dropped a message that is not a list of strings");
            socket->abort();
            return;
        }
        socket->write(okLine);
        QPointer<QLocalSocket> target(socket);
        auto answered = std::make_shared<bool>(false);
        deliver(*arguments, [target, answered](InstanceAnswer answer) {
            if (*answered)
                return;
            *answered = true;
            // A sender that has gone needs no answer.
            if (target && target->state() == QLocalSocket::ConnectedState) {
                target->write(encodeAnswer(answer));
                target->flush();
            }
        });
        if (socket->state() != QLocalSocket::ConnectedState)
            return;
    }
    if (socket->bytesAvailable() > maxMessageBytes) {
        qWarning("instance guard: dropped a message over %lld bytes", maxMessageBytes);
        socket->abort();
    }
}

bool LocalInstanceGuard::sendToRunning(QStringList arguments, int timeoutMs) {
    if (m_claimed) {
        // We are the running copy: deliver on the next turn, as a message from outside would arrive.
        QMetaObject::invokeMethod(
            this, [this, arguments] { deliver(arguments, [](InstanceAnswer) {}); }, Qt::QueuedConnection);
        return true;
    }
    QLocalSocket socket;
    return handOver(socket, arguments, timeoutMs);
}

void LocalInstanceGuard::release() {
    if (!m_claimed)
        return;
    if (m_server) {
        m_server->close(); // removes the socket file while the lock is still held
        delete m_server;
        m_server = nullptr;
    }
    m_lock->unlock();
    m_claimed = false;
}

std::optional<InstanceAnswer> LocalInstanceGuard::askRunning(QStringList arguments, int receiptTimeoutMs) {
    if (m_claimed)
        return std::nullopt;
    QLocalSocket socket;
    if (!handOver(socket, arguments, receiptTimeoutMs))
        return std::nullopt;
    return awaitAnswer(socket);
}

std::optional<InstanceAnswer>
LocalInstanceGuard::askStarting(QStringList arguments, std::function<bool()> starting, int connectTimeoutMs) {
    if (m_claimed)
        return std::nullopt;
    QLocalSocket socket;
    if (!connectTo(socket, QDeadlineTimer(connectTimeoutMs), starting))
        return std::nullopt;
    // Reached: the copy reads the message once its event loop runs, however long its start takes.
    if (!send(socket, arguments, QDeadlineTimer(QDeadlineTimer::Forever)))
        return std::nullopt;
    return awaitAnswer(socket);
}

std::optional<InstanceAnswer> LocalInstanceGuard::awaitAnswer(QLocalSocket& socket) {
    // No limit on the answer: the running copy may first finish starting. Its going away ends the wait.
    while (!socket.canReadLine()) {
        if (socket.state() != QLocalSocket::ConnectedState && !socket.bytesAvailable())
            return std::nullopt;
        if (!socket.waitForReadyRead(-1) && !socket.canReadLine())
            return std::nullopt;
    }
    return decodeAnswer(socket.readLine().trimmed());
}

bool LocalInstanceGuard::handOver(QLocalSocket& socket, const QStringList& arguments, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    return connectTo(socket, deadline, {}) && send(socket, arguments, deadline);
}

bool LocalInstanceGuard::connectTo(QLocalSocket& socket, QDeadlineTimer deadline,
                                   const std::function<bool()>& keepTrying) {
    // A copy that has just taken the lock may not be listening yet: try again until the deadline.
    bool lastTry = false;
    for (;;) {
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(std::max<qint64>(0, deadline.remainingTime()))))
            return true;
        if (lastTry || deadline.hasExpired() || deadline.remainingTime() < retryPauseMs)
            return false;
        // A copy that can no longer come up gets one last try (another may have taken its place).
        if (keepTrying && !keepTrying())
            lastTry = true;
        QThread::msleep(retryPauseMs);
    }
}

bool LocalInstanceGuard::send(QLocalSocket& socket, const QStringList& arguments, QDeadlineTimer deadline) {
    socket.write(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact) + '\n');
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return socket.readLine() == okLine;
}
