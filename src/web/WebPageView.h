#pragma once

#include "PageView.h"

#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>

class BrowserProfile;

// A browser tab's web view as its page sees it: a web page of the browser's profile. A QWebEngineView
// shows it with setPage(page()). The view owns the page, except that wiping the browser data deletes
// the pages of the retired profile first; the view is then inert (no address, loads nothing) until the
// session makes new tabs.
class WebPageView : public PageView {
    Q_OBJECT
public:
    static constexpr int loadTimeoutMs = 60000;

    explicit WebPageView(BrowserProfile* profile, QObject* parent = nullptr);
    ~WebPageView() override;

    QWebEnginePage* page() const { return m_page; }

    void load(const QUrl& url) override;
    void back() override;
    void forward() override;
    void reload() override;
    void stop() override;

    QUrl url() const override;
    QString title() const override;
    bool isLoading() const override { return m_loading; }
    bool canGoBack() const override;
    bool canGoForward() const override;

Q_SIGNALS:
    // A link or a script run by the user's click asked for a new window; `view` is to show it in a new
    // tab. Whoever takes it gives it a parent; a view nobody took is deleted and the window not opened.
    // A window a script asks for on its own, without the user's gesture, is refused before this.
    void newTabRequested(WebPageView* view);

private:
    void setLoading(bool loading);
    void pageGone();

    QPointer<BrowserProfile> m_profile;
    QPointer<QWebEnginePage> m_page;
    QTimer m_timeout;
    bool m_loading = false;
};
