#pragma once

#include "BrowserPage.h"

#include <QList>
#include <QObject>

// The built-in browser's tabs, in the order they were opened, and the one shown. The session owns its
// pages; a page that leaves the list is deleted on the next turn of the event loop, with its web view.
class BrowserSession : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<BrowserPage*> pages READ pages NOTIFY pagesChanged)
    Q_PROPERTY(BrowserPage* current READ current WRITE setCurrent NOTIFY currentChanged)
public:
    using QObject::QObject;

    QList<BrowserPage*> pages() const { return m_pages; }
    // One of pages(), or null.
    BrowserPage* current() const { return m_current; }

    // Shows `page`; ignored unless it is one of pages().
    void setCurrent(BrowserPage* page);

    // Opens a tab, shows it, and leaves `url` pending until the tab gets its web view.
    BrowserPage* newTab(const QString& url);

    // Removes the tab. When it was shown, the last tab left is shown (none when no tab is left).
    // A page that is not in the list changes nothing.
    void close(BrowserPage* page);

    // One new, empty tab, shown, in place of all others.
    void reset();

Q_SIGNALS:
    void pagesChanged();
    void currentChanged();

private:
    void setPagesAndCurrent(QList<BrowserPage*> pages, BrowserPage* current);

    QList<BrowserPage*> m_pages;
    BrowserPage* m_current = nullptr;
};
