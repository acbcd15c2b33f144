#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

// What the running copy answers a message with: the exit status of the process that sent it, and what
// that process writes to its standard output and standard error.
struct InstanceAnswer {
    int status = 0;
    QString out;
    QString err;
    bool operator==(const InstanceAnswer&) const = default;
};
// Sends the answer to one message; only its first call counts.
using InstanceResponder = std::function<void(InstanceAnswer)>;

// One running copy of the application per user. The first process to claim becomes the running copy
// and keeps that role until it exits; other processes hand their command-line arguments to it.
class InstanceGuard : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Tries to become the running copy; true when this process is (or already was) the running copy,
    // false when another live process is.
    virtual bool claim() = 0;

    // Whether some other process is the running copy. Same as !claim().
    bool otherCopyRunning() { return !claim(); }

    // Hands `arguments` to the running copy, which emits messageReceived with them there; true when
    // the running copy confirmed receipt. Blocks for at most `timeoutMs`.
    virtual bool sendToRunning(QStringList arguments, int timeoutMs = 3000) = 0;

    // Hands `arguments` to the running copy and waits for its answer. Nothing when no copy confirmed
    // receipt within `receiptTimeoutMs`, or when it went away before answering; the answer itself may
    // take as long as the running copy needs. Only for a process that is not the running copy.
    virtual std::optional<InstanceAnswer> askRunning(QStringList arguments, int receiptTimeoutMs = 3000) = 0;

    // In the running copy: decides the answer to each message (after messageReceived). It may answer
    // later, or never when the sender has gone. Without a handler every message is answered with
    // status 0 at once.
    void setAnswerHandler(std::function<void(QStringList, InstanceResponder)> handler) {
        m_answerHandler = std::move(handler);
    }

protected:
    // Announces a message and has it answered.
    void deliver(const QStringList& arguments, InstanceResponder respond) {
        Q_EMIT messageReceived(arguments);
        if (m_answerHandler)
            m_answerHandler(arguments, std::move(respond));
        else
            respond(InstanceAnswer());
    }

Q_SIGNALS:
    // In the running copy: another process sent these arguments.
    void messageReceived(QStringList arguments);

private:
    std::function<void(QStringList, InstanceResponder)> m_answerHandler;
};
