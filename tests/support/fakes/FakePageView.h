#pragma once

#include "PageView.h"

#include <QList>

// A web view without a web engine: records what it was asked to do; the test plays the navigation
// with navigate() and finish().
class FakePageView : public PageView {
    Q_OBJECT
public:
    using PageView::PageView;

    QList<QUrl> loads;
    int backs = 0, forwards = 0, reloads = 0, stops = 0;

    void load(const QUrl& url) override { loads.append(url); }
    void back() override { ++backs; }
    void forward() override { ++forwards; }
    void reload() override { ++reloads; }
    void stop() override { ++stops; }

    QUrl url() const override { return m_url; }
    QString title() const override { return m_title; }
    bool isLoading() const override { return m_loading; }
    bool canGoBack() const override { return m_back; }
    bool canGoForward() const override { return m_forward; }

    // A navigation to `url` starts.
    void navigate(const QUrl& url) {
        m_loading = true;
        m_url = url;
        Q_EMIT loadingChanged(true);
        Q_EMIT urlChanged(url);
    }
    // The navigation ends with this document title and history.
    void finish(const QString& title, bool canGoBack, bool canGoForward) {
        m_loading = false;
        m_title = title;
        m_back = canGoBack;
        m_forward = canGoForward;
        Q_EMIT titleChanged(title);
        Q_EMIT historyChanged();
        Q_EMIT loadingChanged(false);
    }

private:
    QUrl m_url;
    QString m_title;
    bool m_loading = false;
    bool m_back = false;
    bool m_forward = false;
};
