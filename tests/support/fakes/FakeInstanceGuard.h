#pragma once

#include "InstanceGuard.h"

#include <QList>
#include <QPointer>

// Another copy is running when the test says so; sent arguments are recorded.
class FakeInstanceGuard : public InstanceGuard {
    Q_OBJECT
public:
    using InstanceGuard::InstanceGuard;

    bool anotherCopy = false;
    bool deliverSends = true;
    int claims = 0;
    QList<QStringList> sent;
    QList<QStringList> asked;
    std::optional<InstanceAnswer> askAnswer; // what askRunning returns
    QList<InstanceAnswer> answers;           // the answers given to received messages, in answer order

    bool claim() override {
        ++claims;
        return !anotherCopy;
    }
    bool sendToRunning(QStringList arguments, int timeoutMs = 3000) override {
        sent.append(arguments);
        return deliverSends;
    }
    std::optional<InstanceAnswer> askRunning(QStringList arguments, int receiptTimeoutMs = 3000) override {
        asked.append(arguments);
        return askAnswer;
    }
    // As if another process had sent these arguments; its answer lands in `answers`.
    void receive(const QStringList& arguments) {
        QPointer<FakeInstanceGuard> self(this);
        deliver(arguments, [self](InstanceAnswer answer) {
            if (self)
                self->answers.append(answer);
        });
    }
};
