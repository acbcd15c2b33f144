#pragma once

#include <QObject>
#include <QStringList>

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

Q_SIGNALS:
    // In the running copy: another process sent these arguments.
    void messageReceived(QStringList arguments);
};
