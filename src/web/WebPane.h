#pragma once

#include "BrowserPage.h"

#include <QPointer>
#include <QWidget>

class BrowserProfile;
class QWebEngineView;
class WebPageView;

// Puts one browser tab on screen. The tab's web page (its document and history) belongs to the tab and
// is made the first time a pane for it is shown; the pane only lends it a view. While a pane exists for
// the tab, the tab's observed fields follow the page; with no pane left, nothing updates the tab.
class WebPane : public QWidget {
    Q_OBJECT
public:
    WebPane(BrowserPage* page, BrowserProfile* profile, QWidget* parent = nullptr);
    ~WebPane() override;

    BrowserPage* page() const { return m_page; }
    // Null until the pane was first shown.
    QWebEngineView* view() const { return m_view; }

Q_SIGNALS:
    // The tab's page asked for a new tab showing `view` (see WebPageView::newTabRequested).
    void newTabRequested(WebPageView* view);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void install();
    void showPageOrSheet();

    QPointer<BrowserPage> m_page;
    QPointer<BrowserProfile> m_profile;
    QWebEngineView* m_view = nullptr;
    bool m_holding = false;
    bool m_installed = false;
};
