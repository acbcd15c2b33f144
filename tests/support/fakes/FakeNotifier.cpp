#include "FakeNotifier.h"

#include <QCoro/QCoroSignal>

QCoro::Task<bool> FakeNotifier::requestAuthorization() {
    ++authorizationRequests;
    if (!holdAnswers)
        co_return allow;
    const bool allowed = co_await qCoro(this, &FakeNotifier::answered);
    co_return allowed;
}
