// The cookie pair handed to the engine, and the built-in browser's data.
#include "AppModel.h"

#include "BrowserCookiesService.h"
#include "BrowserSession.h"
#include "Guarded.h"
#include "Prompts.h"

#include <QUrl>

namespace {
const QString builtInBrowser = QStringLiteral("Built-in Browser");
const QString noSource = QStringLiteral("None");
} // namespace

QString AppModel::host(const QString& address) {
    const QUrl url(address.trimmed());
    if (!url.isValid())
        return {};
    return url.host().toLower();
}

AppModel::CookiePair AppModel::settingsCookiePair() const {
    return m_settings ? CookiePair{m_settings->cookieSource, m_settings->cookiesFile}
                      : CookiePair{noSource, QString()};
}

QCoro::Task<AppModel::CookiePair> AppModel::cookieParams(QString address) {
    const QString h = host(address);
    const CookiePair base = settingsCookiePair();
    if (h.isEmpty())
        co_return base;
    const bool handedOver = m_browserSessionHosts.contains(h);
    if (!handedOver && !(m_settings && m_settings->cookieSource == builtInBrowser))
        co_return base;

    QPointer<AppModel> self(this);
    QString path;
    if (m_services.browserCookies)
        path = (co_await guarded(m_services.browserCookies->exportFor(address))).value_or(QString());
    if (!self)
        co_return base;
    if (!path.isEmpty())
        co_return CookiePair{noSource, path};
    // The settings may have changed while the cookies were written.
    if (m_settings && m_settings->cookieSource == builtInBrowser)
        co_return CookiePair{noSource, QString()};
    // The built-in browser is never named to the engine: when it was the source before the wait and is
    // no longer, the settings as they are now apply.
    if (base.source == builtInBrowser)
        co_return settingsCookiePair();
    co_return base;
}

QCoro::Task<AppModel::CookiePair> AppModel::cookieParamsForAll(QStringList addresses) {
    const CookiePair base = settingsCookiePair();
    if (addresses.isEmpty())
        co_return base;
    const QString first = host(addresses.first());
    if (first.isEmpty())
        co_return base;
    for (const QString& address : addresses) {
        if (host(address) != first)
            co_return base;
    }
    const QString firstAddress = addresses.first();
    co_return co_await cookieParams(firstAddress);
}

void AppModel::noteBrowserSession(const QString& address) {
    const QString h = host(address);
    if (h.isEmpty() || m_browserSessionHosts.contains(h))
        return;
    m_browserSessionHosts.insert(h);
    Q_EMIT browserSessionHostsChanged();
}

QCoro::Task<void> AppModel::clearBrowserData() {
    QPointer<AppModel> self(this);
    if (m_services.browserCookies) {
        m_services.browserCookies->discardExports();
        co_await guarded(m_services.browserCookies->clearAll());
    }
    if (!self)
        co_return;
    if (m_settings && m_settings->cookieSource == builtInBrowser)
        saveCookieSource(noSource);
    if (!m_browserSessionHosts.isEmpty()) {
        m_browserSessionHosts.clear();
        Q_EMIT browserSessionHostsChanged();
    }
    m_browser->reset();
    promptsPart().setBrowserDataCleared(true);
}
