#pragma once

#include "Notifier.h"

#include <QList>
#include <QObject>

// Records what would be shown. The permission answer is given at once, or held until answer() when
// holdAnswers is set.
class FakeNotifier : public QObject, public Notifier {
    Q_OBJECT
public:
    bool availableFlag = true;
    bool allow = true;
    bool holdAnswers = false;
    int authorizationRequests = 0;
    QList<NotificationRequest> added;

    bool available() const override { return availableFlag; }
    QCoro::Task<bool> requestAuthorization() override;
    void add(NotificationRequest request) override { added.append(std::move(request)); }

    // Answers every held request.
    void answer(bool allowed) {
        lastAnswer = allowed;
        Q_EMIT answered(allowed);
    }
    bool lastAnswer = false;

Q_SIGNALS:
    void answered(bool allowed);
};
