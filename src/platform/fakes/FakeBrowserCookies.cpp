#include "FakeBrowserCookies.h"

#include <QUrl>

QCoro::Task<QString> FakeBrowserCookies::exportFor(QString address) {
    exportedFor.append(address);
    const QString host = QUrl(address).host().toLower();
    co_return host.isEmpty() ? QString() : filesByHost.value(host);
}
