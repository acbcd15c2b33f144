#include "FakeNotifier.h"

#include "SignalWait.h"

#include <QPointer>

QCoro::Task<bool> FakeNotifier::requestAuthorization() {
    ++authorizationRequests;
    if (!holdAnswers)
        co_return allow;
    QPointer<FakeNotifier> self(this);
    co_await nextSignal(this, &FakeNotifier::answered);
    co_return self&& lastAnswer;
}
