#pragma once

#include "AppModel.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class BrowserPage;
class BrowserProfile;
class LoadingSpinner;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QToolButton;
class WebPane;
class WebPageView;
class HandOvers;

// The Browser tab: a toolbar (history, the address field with its star, the tabs and favourites menus,
// the send menu) above the open tabs of the application's browser session. The pane keeps nothing but
// the text being typed; the tabs live in the session and outlive the pane.
class BrowserPane : public QWidget {
    Q_OBJECT
public:
    // The home page of a video-sharing site, for the first tab and for every new one.
    static const QString defaultStartPage;

    // An empty startPage means defaultStartPage.
    BrowserPane(AppModel& model, BrowserProfile* profile, QString startPage = {}, QWidget* parent = nullptr);
    ~BrowserPane() override;

    // The address the star and the send menu act on: the shown tab's address, or the typed text when the
    // tab has none. Never trimmed.
    QString pageAddress() const;
    bool pageAddressIsFavourite() const;
    // The pane of a tab, while that tab is open.
    WebPane* paneFor(const BrowserPage* page) const;

    // Hands the page address to the Download tab (after the analysis answered) or the Batch tab. While
    // an address is being handed to the Download tab, sending it there again does nothing.
    void handTo(AppModel::Tab tab);
    // The page address is on its way to the Download tab (its analysis has not answered yet).
    bool isHandingOver() const;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildToolbar();
    QToolButton* navButton(const QString& role);
    QToolButton* counterButton(const QString& role, const QString& symbol);
    void retranslate();
    void restyle();

    void syncPanes();
    void currentChanged();
    void currentURLChanged();
    void refreshNavigation();
    void refreshAddressControls();
    void refreshCounters();
    void fillTabsMenu();
    void fillFavouritesMenu();

    void showAddress(const QString& text);
    void submit();
    void goBack();
    void goForward();
    void stopOrReload();
    void toggleFavourite();
    void openFavourite(const QString& url);
    void copyAddress();
    void adoptNewTab(WebPageView* view);
    void showNotice(const QString& text);
    void refreshSendState();

    AppModel& m_model;
    QPointer<BrowserProfile> m_profile;
    QString m_startPage;

    QToolButton* m_back = nullptr;
    QToolButton* m_forward = nullptr;
    QToolButton* m_reload = nullptr;
    QWidget* m_addressBox = nullptr;
    LoadingSpinner* m_spinner = nullptr;
    QLabel* m_globe = nullptr;
    QLineEdit* m_address = nullptr;
    QToolButton* m_star = nullptr;
    QToolButton* m_tabs = nullptr;
    QMenu* m_tabsMenu = nullptr;
    QToolButton* m_favourites = nullptr;
    QMenu* m_favouritesMenu = nullptr;
    QToolButton* m_send = nullptr;
    QMenu* m_sendMenu = nullptr;
    LoadingSpinner* m_sending = nullptr;
    QLabel* m_notice = nullptr;
    QString m_noticeText; // what was typed when the notice was raised, for its text in another language
    HandOvers* m_handOvers = nullptr;
    WebPageView* m_adopting = nullptr;
    QFrame* m_divider = nullptr;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_blank = nullptr;

    QHash<const BrowserPage*, WebPane*> m_panes;
    QPointer<BrowserPage> m_current;
    QList<QMetaObject::Connection> m_currentConnections;
};
