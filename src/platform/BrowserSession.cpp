#include "BrowserSession.h"

void BrowserSession::setPagesAndCurrent(QList<BrowserPage*> pages, BrowserPage* current) {
    // Both fields change before either signal, so no observer sees a current page outside the list.
    const bool pagesDiffer = m_pages != pages;
    const bool currentDiffers = m_current != current;
    m_pages = std::move(pages);
    m_current = current;
    if (pagesDiffer)
        Q_EMIT pagesChanged();
    if (currentDiffers)
        Q_EMIT currentChanged();
}

void BrowserSession::setCurrent(BrowserPage* page) {
    if (page && m_pages.contains(page))
        setPagesAndCurrent(m_pages, page);
}

BrowserPage* BrowserSession::newTab(const QString& url) {
    auto* page = new BrowserPage(this);
    // Pending before anyone sees the tab: a view made for it as soon as it shows must find the address.
    page->setPendingURL(url);
    setPagesAndCurrent(m_pages + QList<BrowserPage*>{page}, page);
    return page;
}

void BrowserSession::close(BrowserPage* page) {
    if (!page || !m_pages.contains(page))
        return;
    QList<BrowserPage*> left = m_pages;
    left.removeAll(page);
    BrowserPage* current = m_current == page ? (left.isEmpty() ? nullptr : left.last()) : m_current;
    setPagesAndCurrent(std::move(left), current);
    page->deleteLater();
}

void BrowserSession::reset() {
    const QList<BrowserPage*> old = m_pages;
    auto* page = new BrowserPage(this);
    setPagesAndCurrent({page}, page);
    for (auto* gone : old)
        gone->deleteLater();
}
