#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// The web view of one browser tab, as its page sees it. The web-engine binding implements it; tests
// use FakePageView.
class PageView : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Loads the address (the binding gives the request a 60 s time-out where it can).
    virtual void load(const QUrl& url) = 0;
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void reload() = 0;
    virtual void stop() = 0;

    // The address shown; empty when none.
    virtual QUrl url() const = 0;
    // The document's own title; empty when it has none (never the address).
    virtual QString title() const = 0;
    virtual bool isLoading() const = 0;
    virtual bool canGoBack() const = 0;
    virtual bool canGoForward() const = 0;

Q_SIGNALS:
    void urlChanged(const QUrl& url);
    void titleChanged(const QString& title);
    // true when a navigation starts; false when it finishes or fails, before or after its first response.
    void loadingChanged(bool loading);
    // canGoBack() or canGoForward() may have changed.
    void historyChanged();
};
