#include "WebPane.h"

#include "BrowserPage.h"
#include "BrowserProfile.h"
#include "WebPageView.h"

#include <QVBoxLayout>
#include <QWebEngineView>

WebPane::WebPane(BrowserPage* page, BrowserProfile* profile, QWidget* parent)
    : QWidget(parent), m_page(page), m_profile(profile) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // A tab that shows nothing yet is an empty sheet in the colours of the appearance, not a white page.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    // Hidden tabs keep loading while the browser is on screen, and their titles show in the tabs menu.
    if (m_page) {
        m_page->holdFollowing();
        m_holding = true;
    }
    // Wiping the browser data deletes the pages of the old profile: no view may still show one then.
    if (profile)
        connect(profile, &BrowserProfile::aboutToRenew, this, [this] {
            delete m_view;
            m_view = nullptr;
        });
}

WebPane::~WebPane() {
    if (m_page && m_holding)
        m_page->releaseFollowing();
}

void WebPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_view && !m_installed) {
        m_installed = true;
        install();
    }
}

void WebPane::install() {
    if (!m_page)
        return;
    if (!m_page->view() && m_profile)
        m_page->attachView(new WebPageView(m_profile));
    auto* pageView = qobject_cast<WebPageView*>(m_page->view());
    if (!pageView || !pageView->page())
        return; // the browser data was wiped under this tab: it shows nothing until replaced
    connect(pageView, &WebPageView::newTabRequested, this, &WebPane::newTabRequested);
    m_view = new QWebEngineView(this);
    m_view->setObjectName(QStringLiteral("browser_web_view"));
    m_view->setPage(pageView->page());
    layout()->addWidget(m_view);
    connect(m_page, &BrowserPage::currentURLChanged, this, &WebPane::showPageOrSheet);
    connect(m_page, &BrowserPage::isLoadingChanged, this, &WebPane::showPageOrSheet);
    showPageOrSheet();
}

void WebPane::showPageOrSheet() {
    if (m_view && m_page)
        m_view->setVisible(m_page->isLoading() || !m_page->currentURL().isEmpty());
}
