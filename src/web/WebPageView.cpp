#include "WebPageView.h"

#include "BrowserProfile.h"

#include <QAction>
#include <QWebEngineHistory>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>

WebPageView::WebPageView(BrowserProfile* profile, QObject* parent) : PageView(parent), m_profile(profile) {
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(loadTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_page)
            m_page->triggerAction(QWebEnginePage::Stop);
    });
    if (!profile)
        return;
    m_page = profile->createPage(this);
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] { setLoading(true); });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this] {
        m_timeout.stop();
        setLoading(false);
        Q_EMIT historyChanged();
    });
    connect(m_page, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        Q_EMIT urlChanged(url);
        Q_EMIT historyChanged();
    });
    connect(m_page, &QWebEnginePage::titleChanged, this, [this] { Q_EMIT titleChanged(title()); });
    for (const QWebEnginePage::WebAction action : {QWebEnginePage::Back, QWebEnginePage::Forward})
        connect(m_page->action(action), &QAction::changed, this, &PageView::historyChanged);
    connect(m_page, &QObject::destroyed, this, &WebPageView::pageGone);
    connect(m_page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        // A window opened by a script on its own is a pop-up nobody asked for.
        if (!request.isUserInitiated() || !m_profile)
            return;
        auto* view = new WebPageView(m_profile);
        Q_EMIT newTabRequested(view);
        if (!view->parent() || !view->page()) {
            delete view;
            return;
        }
        request.openIn(view->page());
    });
}

WebPageView::~WebPageView() {
    if (m_page) {
        disconnect(m_page, nullptr, this, nullptr);
        delete m_page.data();
    }
}

void WebPageView::load(const QUrl& url) {
    if (!m_page)
        return;
    m_page->load(url);
    m_timeout.start();
}

void WebPageView::back() {
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Back);
}

void WebPageView::forward() {
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Forward);
}

void WebPageView::reload() {
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Reload);
}

void WebPageView::stop() {
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Stop);
}

QUrl WebPageView::url() const {
    return m_page ? m_page->url() : QUrl();
}

QString WebPageView::title() const {
    if (!m_page)
        return {};
    // The web engine shows the address as the title of a document that has none; that is no title.
    const QString title = m_page->title();
    const QUrl url = m_page->url();
    if (title.isEmpty() || title == url.toString() || title == url.toDisplayString() ||
        title == url.toString(QUrl::RemoveScheme | QUrl::StripTrailingSlash).mid(2) ||
        title == url.toDisplayString(QUrl::RemoveScheme | QUrl::StripTrailingSlash).mid(2))
        return {};
    return title;
}

bool WebPageView::canGoBack() const {
    return m_page && m_page->history()->canGoBack();
}

bool WebPageView::canGoForward() const {
    return m_page && m_page->history()->canGoForward();
}

void WebPageView::setLoading(bool loading) {
    if (m_loading == loading)
        return;
    m_loading = loading;
    Q_EMIT loadingChanged(loading);
}

void WebPageView::pageGone() {
    m_timeout.stop();
    setLoading(false);
}
