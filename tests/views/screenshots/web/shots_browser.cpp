// The Browser tab: a page loaded, a page loading, two tabs with their menu open, a starred favourite
// with the favourites menu, the send menu, and the blank tab left after the browser data was cleared.
// The web engine draws pages only on a display: scripts/screenshots renders these under xvfb-run.
#include "Shots.h"

#include "BrowserPane.h"
#include "BrowserProfile.h"
#include "BrowserSession.h"
#include "LocalHttpServer.h"
#include "WebPane.h"
#include "shell/RootView.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEngineView>

namespace {

// One site and one browser profile for all the shots; both go with the application.
struct Site {
    LocalHttpServer server;
    QTemporaryDir folder;
    BrowserProfile* profile = nullptr;

    static Site& get() {
        static Site* site = [] {
            auto* s = new Site;
            s->profile = new BrowserProfile(s->folder.filePath(QStringLiteral("browser")), qApp);
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, [s] { delete s; });
            return s;
        }();
        return *site;
    }
    QString page(const QString& title) const {
        return server.url(QStringLiteral("127.0.0.1"),
                          QStringLiteral("/demo/") + QString::fromLatin1(QUrl::toPercentEncoding(title)));
    }
};

// A pane on screen whose first tab opens `start` and has finished with it (unless it never can).
BrowserPane* paneOn(ShotContext& c, const QString& start, bool waitForLoad = true) {
    auto* pane = new BrowserPane(c.model(), Site::get().profile, start);
    pane->resize(1020, 700);
    pane->show();
    if (waitForLoad) {
        c.waitFor(
            [&] {
                const BrowserPage* page = c.model().browser().current();
                return page && !page->isLoading() && !page->title().isEmpty();
            },
            15000);
        QTest::qWait(400); // the first frame of the page
    }
    return pane;
}

void openMenu(BrowserPane* pane, const char* button) {
    auto* b = pane->findChild<QToolButton*>(QLatin1String(button));
    QMenu* menu = b->menu();
    // Right-aligned under its button, as it opens near the right edge of a screen.
    menu->popup(b->mapToGlobal(QPoint(0, b->height())));
    menu->move(b->mapToGlobal(QPoint(b->width() - menu->width(), b->height())));
    QTest::qWait(100);
}

const ShotOptions onDisplay{.needsDisplay = true};
const ShotOptions onDisplayAtMinimum{.size = {900, 620}, .needsDisplay = true};

const ShotRegistration loaded(
    "browser-loaded",
    [](ShotContext& c) -> QWidget* {
        return paneOn(c, Site::get().page(QStringLiteral("Evening tram ride")));
    },
    onDisplay);

const ShotRegistration loading(
    "browser-loading",
    [](ShotContext& c) -> QWidget* {
        BrowserPane* pane = paneOn(c, Site::get().page(QStringLiteral("Evening tram ride")));
        auto* field = pane->findChild<QLineEdit*>(QStringLiteral("browser_address"));
        field->setText(Site::get().server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/held")));
        QTest::keyClick(field, Qt::Key_Return);
        c.waitFor([&] { return c.model().browser().current()->isLoading(); });
        return pane;
    },
    onDisplay);

const ShotRegistration tabs(
    "browser-tabs-menu",
    [](ShotContext& c) -> QWidget* {
        BrowserPane* pane = paneOn(c, Site::get().page(QStringLiteral("Evening tram ride")));
        BrowserPage* second =
            c.model().browser().newTab(Site::get().page(QStringLiteral("Harbour at dawn & dusk")));
        c.waitFor([&] { return !second->isLoading() && !second->title().isEmpty(); }, 15000);
        QTest::qWait(300);
        openMenu(pane, "browser_tabs_count");
        return pane;
    },
    onDisplay);

const ShotRegistration favourite(
    "browser-favourite",
    [](ShotContext& c) -> QWidget* {
        const QString address = Site::get().page(QStringLiteral("Evening tram ride"));
        QJsonObject first{{QStringLiteral("url"), address},
                          {QStringLiteral("title"), QStringLiteral("Evening tram ride")}};
        c.fixture.control(QStringLiteral("favourites.add"), first);
        QJsonObject second{{QStringLiteral("url"), QStringLiteral("https://video.example/channel/trains")},
                           {QStringLiteral("title"), QString()}};
        c.fixture.control(QStringLiteral("favourites.add"), second);
        BrowserPane* pane = paneOn(c, address);
        c.waitFor([&] { return pane->pageAddressIsFavourite(); });
        openMenu(pane, "browser_favourites_count");
        return pane;
    },
    onDisplay);

const ShotRegistration send(
    "browser-send-menu",
    [](ShotContext& c) -> QWidget* {
        BrowserPane* pane = paneOn(c, Site::get().page(QStringLiteral("Evening tram ride")));
        openMenu(pane, "button_send");
        return pane;
    },
    onDisplay);

// Two tabs, the second opened by the first page's link to a new window; the tabs menu open.
const ShotRegistration openedByLink(
    "browser-tab-opened-by-link",
    [](ShotContext& c) -> QWidget* {
        const QString start =
            Site::get().server.url(QStringLiteral("127.0.0.1"),
                                   QStringLiteral("/demolink/Evening%20tram%20ride?Harbour%20at%20dawn"));
        BrowserPane* pane = paneOn(c, start);
        BrowserPage* first = c.model().browser().current();
        QWidget* surface = pane->paneFor(first)->view()->focusProxy();
        const QPoint button(170, 84);
        QTest::mouseMove(surface, button);
        QTest::mouseClick(surface, Qt::LeftButton, {}, button);
        c.waitFor(
            [&] {
                const BrowserPage* page = c.model().browser().current();
                return page != first && page && !page->isLoading() && !page->title().isEmpty();
            },
            15000);
        QTest::qWait(400);
        openMenu(pane, "browser_tabs_count");
        return pane;
    },
    onDisplay);

// Sent to the Download tab while the engine analyses the page.
const ShotRegistration sending(
    "browser-sending",
    [](ShotContext& c) -> QWidget* {
        c.fixture.control(QStringLiteral("test.hold"),
                          {{QStringLiteral("method"), QStringLiteral("analyze")}});
        BrowserPane* pane = paneOn(c, Site::get().page(QStringLiteral("Evening tram ride")));
        pane->handTo(AppModel::Tab::Download);
        c.waitFor([&] { return pane->isHandingOver(); });
        QTest::qWait(200);
        return pane;
    },
    onDisplay);

const ShotRegistration blank(
    "browser-blank",
    [](ShotContext& c) -> QWidget* {
        c.model().browser().reset();
        return paneOn(c, QString(), false);
    },
    onDisplayAtMinimum);

// The whole window at its smallest, on the Browser tab: the toolbar beside the sidebar.
const ShotRegistration inWindow(
    "browser-window-minimum",
    [](ShotContext& c) -> QWidget* {
        ViewFactories views = ViewFactories::standard();
        const QString start = Site::get().page(QStringLiteral("Evening tram ride"));
        views.panes.browser = [start](AppModel& model) -> QWidget* {
            return new BrowserPane(model, Site::get().profile, start);
        };
        auto* root = new RootView(c.model(), views);
        root->resize(900, 620);
        root->show();
        c.model().setTab(AppModel::Tab::Browser);
        c.waitFor(
            [&] {
                const BrowserPage* page = c.model().browser().current();
                return page && !page->isLoading() && !page->title().isEmpty();
            },
            15000);
        QTest::qWait(400);
        return root;
    },
    onDisplayAtMinimum);

} // namespace
