// The cookie pair handed to the engine, and the built-in browser's data.
#include "Session.h"

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

QString Session::host(const QString& address) {
    const QUrl url(address.trimmed());
    if (!url.isValid())
        return {};
    return url.host().toLower();
}

Session::CookiePair Session::settingsCookiePair() const {
    return m_settings ? CookiePair{m_settings->cookieSource, m_settings->cookiesFile}
                      : CookiePair{noSource, QString()};
}

QCoro::Task<Session::CookiePair> Session::cookieParams(QString address) {
    const QString h = host(address);
    const CookiePair base = settingsCookiePair();
    if (h.isEmpty())
        co_return base;
    const bool handedOver = m_browserSessionHosts.contains(h);
    if (!handedOver && !(m_settings && m_settings->cookieSource == builtInBrowser))
        co_return base;

    QPointer<Session> self(this);
    QString path;
    if (m_app.services().browserCookies)
        path = (co_await guarded(m_app.services().browserCookies->exportFor(address))).value_or(QString());
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

QCoro::Task<Session::CookiePair> Session::cookieParamsForAll(QStringList addresses) {
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

void Session::noteBrowserSession(const QString& address) {
    const QString h = host(address);
    if (h.isEmpty() || m_browserSessionHosts.contains(h))
        return;
    m_browserSessionHosts.insert(h);
    Q_EMIT browserSessionHostsChanged();
}

QCoro::Task<void> Session::clearBrowserData() {
    QPointer<Session> self(this);
    if (m_app.services().browserCookies) {
        m_app.services().browserCookies->discardExports();
        co_await guarded(m_app.services().browserCookies->clearAll());
    }
    if (!self)
        co_return;
    if (m_settings && m_settings->cookieSource == builtInBrowser)
        saveCookieSource(noSource);
    if (!m_browserSessionHosts.isEmpty()) {
        m_browserSessionHosts.clear();
        Q_EMIT browserSessionHostsChanged();
    }
    m_app.browser().reset();
    m_app.promptsPart().setBrowserDataCleared(true);
}
