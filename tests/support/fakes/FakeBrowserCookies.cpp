#include "FakeBrowserCookies.h"

#include "SignalWait.h"

#include <QCoro/QCoroTimer>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <stdexcept>

using namespace std::chrono_literals;

QCoro::Task<QString> FakeBrowserCookies::exportFor(QString address) {
    QPointer<FakeBrowserCookies> self(this);
    exportedFor.append(address);
    if (holdExports)
        co_await nextSignal(this, &FakeBrowserCookies::released);
    else
        co_await QCoro::sleepFor(0ms);
    if (!self)
        co_return QString();
    ++finishedExports;
    if (fail)
        throw std::runtime_error("the cookie jar is gone");
    const QString host = QUrl(address).host().toLower();
    co_return host.isEmpty() ? QString() : filesByHost.value(host);
}

QCoro::Task<void> FakeBrowserCookies::clearAll() {
    ++clears;
    co_await QCoro::sleepFor(0ms);
    if (fail)
        throw std::runtime_error("the web profile is gone");
}
