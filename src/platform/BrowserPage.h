#pragma once

#include "PageView.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <optional>

// One tab of the built-in browser. Addresses are text; an empty text means none. Setters notify only
// when the value changes.
class BrowserPage : public QObject {
    Q_OBJECT
    Q_PROPERTY(QUuid id READ id CONSTANT)
    Q_PROPERTY(QString currentURL READ currentURL WRITE setCurrentURL NOTIFY currentURLChanged)
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(bool isLoading READ isLoading WRITE setLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool canGoBack READ canGoBack WRITE setCanGoBack NOTIFY canGoBackChanged)
    Q_PROPERTY(bool canGoForward READ canGoForward WRITE setCanGoForward NOTIFY canGoForwardChanged)
    Q_PROPERTY(QString pendingURL READ pendingURL WRITE setPendingURL NOTIFY pendingURLChanged)
public:
    explicit BrowserPage(QObject* parent = nullptr);

    QUuid id() const { return m_id; }
    QString currentURL() const { return m_currentURL; }
    QString title() const { return m_title; }
    bool isLoading() const { return m_loading; }
    bool canGoBack() const { return m_canGoBack; }
    bool canGoForward() const { return m_canGoForward; }
    // An address to load as soon as the tab gets its web view.
    QString pendingURL() const { return m_pendingURL; }

    void setCurrentURL(const QString& url);
    void setTitle(const QString& title);
    void setLoading(bool loading);
    void setCanGoBack(bool canGoBack);
    void setCanGoForward(bool canGoForward);
    void setPendingURL(const QString& url);

    // The tab's web view; null until one is attached. Not observed.
    PageView* view() const { return m_view; }

    // Gives the tab its web view (the page owns it from now on, replacing any earlier one) and loads the
    // pending address, which is cleared first.
    void attachView(PageView* view);

    // The observed fields follow the web view while at least one holder (a web pane on screen) asks for
    // it; the first hold brings every field up to date at once, since the view may have moved on while
    // nobody followed it.
    void holdFollowing();
    void releaseFollowing();
    bool isFollowing() const { return m_followers > 0; }

    // Turns what the user typed into an address and loads it, or keeps it pending while the tab has
    // no web view. False when the input yields no address (the caller says so when it was not blank).
    bool load(const QString& text, const std::optional<QString>& search);

    // The address `text` stands for, read as desktop browsers read what is typed: an absolute address as
    // typed (characters a URL cannot hold, such as "|", "{" or a space, percent-encoded); a host (a dot,
    // no space) over https, or over http for localhost and IP addresses; otherwise, and for anything
    // that is no address at all, a search behind `search`, or nothing without one.
    static std::optional<QString> addressFor(const QString& text, const std::optional<QString>& search);

Q_SIGNALS:
    void currentURLChanged();
    void titleChanged();
    void isLoadingChanged();
    void canGoBackChanged();
    void canGoForwardChanged();
    void pendingURLChanged();

private:
    void syncFromView(bool loading);
    void connectView();

    const QUuid m_id;
    QString m_currentURL;
    QString m_title;
    bool m_loading = false;
    bool m_canGoBack = false;
    bool m_canGoForward = false;
    QString m_pendingURL;
    QPointer<PageView> m_view;
    int m_followers = 0;
};
