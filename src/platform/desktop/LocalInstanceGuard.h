#pragma once

#include "InstanceGuard.h"

#include <QDeadlineTimer>
#include <QLockFile>

#include <functional>

#include <memory>

class QLocalServer;
class QLocalSocket;

// The running copy holds a lock file and listens on a local socket beside it, both in a per-user
// folder. The lock decides; the socket only carries arguments. A copy that crashed leaves both behind:
// the lock of a dead process is taken over, and its socket is removed while the lock is held.
//
// On the socket, a message is one line of UTF-8 JSON, an array of strings; the running copy answers
// each with the line "ok" at once, and later with one more line, its answer: a JSON object with
// "status" (a number), "out" and "err" (texts).
class LocalInstanceGuard : public InstanceGuard {
    Q_OBJECT
public:
    // `directory` holds "<name>.lock" and "<name>.socket"; it is created (owner-only) when missing.
    explicit LocalInstanceGuard(QString directory = defaultDirectory(),
                                QString name = QStringLiteral("vamber"), QObject* parent = nullptr);
    ~LocalInstanceGuard() override;

    // The user's runtime folder.
    static QString defaultDirectory();

    bool claim() override;
    bool sendToRunning(QStringList arguments, int timeoutMs = 3000) override;
    std::optional<InstanceAnswer> askRunning(QStringList arguments, int receiptTimeoutMs = 3000) override;

    // Gives the running copy's role up (the lock and the socket) so another process can take it; the
    // next claim() tries again.
    void release();
    // Hands `arguments` to a copy that is still starting: tries to reach it for at most `connectTimeoutMs`
    // while `starting()` says it may yet listen (once more after it stops saying so), then waits for its
    // receipt and its answer for as long as it stays connected. Nothing when no copy was reached or when
    // it went away before answering.
    std::optional<InstanceAnswer> askStarting(QStringList arguments, std::function<bool()> starting,
                                              int connectTimeoutMs);

    QString lockPath() const;
    QString socketPath() const;
    // Whether the socket is listening (false while not claimed, or when listening failed).
    bool isListening() const;

private:
    void acceptConnections();
    void readMessages(QLocalSocket* socket);
    // Sends one message and waits for its receipt.
    bool handOver(QLocalSocket& socket, const QStringList& arguments, int timeoutMs);
    // Connects to the running copy's socket, trying again while the deadline and `keepTrying` allow.
    bool connectTo(QLocalSocket& socket, QDeadlineTimer deadline, const std::function<bool()>& keepTrying);
    // Writes one message and waits for the receipt until `deadline`.
    static bool send(QLocalSocket& socket, const QStringList& arguments, QDeadlineTimer deadline);
    // Waits for the answer line while the copy stays connected.
    static std::optional<InstanceAnswer> awaitAnswer(QLocalSocket& socket);

    QString m_directory;
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_claimed = false;
};
