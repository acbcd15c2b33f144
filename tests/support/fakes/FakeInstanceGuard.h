#pragma once

#include "InstanceGuard.h"

#include <QList>

// Another copy is running when the test says so; sent arguments are recorded.
class FakeInstanceGuard : public InstanceGuard {
    Q_OBJECT
public:
    using InstanceGuard::InstanceGuard;

    bool anotherCopy = false;
    bool deliverSends = true;
    int claims = 0;
    QList<QStringList> sent;

    bool claim() override {
        ++claims;
        return !anotherCopy;
    }
    bool sendToRunning(QStringList arguments, int timeoutMs = 3000) override {
        sent.append(arguments);
        return deliverSends;
    }
    // As if another process had sent these arguments.
    void receive(const QStringList& arguments) { Q_EMIT messageReceived(arguments); }
};
