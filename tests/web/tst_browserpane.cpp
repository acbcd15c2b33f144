// The browser pane's own rules, its tabs played by fake web views: the address field, the star, the
// menus, the hand-off to the Batch tab and the copied address. The state object talks to the real
// stand-in engine.
#include "BrowserPane.h"
#include "BrowserSession.h"
#include "Composition.h"
#include "DownloadQueue.h"
#include "FakePageView.h"
#include "Prompts.h"
#include "StateFixture.h"
#include "Strings.h"
#include "WebTestApp.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>

namespace {

const QString start = QStringLiteral("https://start.example/");

QList<QAction*> entries(QMenu* menu) {
    // Opening the menu is what fills it.
    menu->popup(QPoint(0, 0));
    QList<QAction*> out = menu->actions();
    menu->hide();
    return out;
}

QStringList texts(const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions)
        out << (a->isSeparator() ? QStringLiteral("--") : a->text());
    return out;
}

QAction* entry(QMenu* menu, const QString& name, int index = 0) {
    for (QAction* a : entries(menu)) {
        if (a->objectName() == name && index-- == 0)
            return a;
    }
    return nullptr;
}

} // namespace

class TestBrowserPane : public QObject {
    Q_OBJECT

    // Opens tabs with fake web views; `urls` are their addresses ("" for a tab that loaded nothing), the
    // last one is shown.
    static QList<FakePageView*> openTabs(AppModel& model, const QStringList& urls) {
        QList<FakePageView*> views;
        for (const QString& url : urls) {
            BrowserPage* page = model.browser().newTab(QString());
            auto* view = new FakePageView;
            page->attachView(view);
            if (!url.isEmpty()) {
                view->navigate(QUrl(url));
                view->finish(QStringLiteral("Title of ") + url, false, false);
            }
            views << view;
        }
        return views;
    }

    static std::unique_ptr<BrowserPane> showPane(AppModel& model) {
        auto pane = std::make_unique<BrowserPane>(model, nullptr, start);
        pane->resize(900, 560);
        pane->show();
        return pane;
    }

    static QLineEdit* field(BrowserPane& pane) {
        return pane.findChild<QLineEdit*>(QStringLiteral("browser_address"));
    }
    static QMenu* menu(BrowserPane& pane, const char* name) {
        return pane.findChild<QMenu*>(QLatin1String(name));
    }

private Q_SLOTS:
    void init() { Strings::reset(); }

    void firstShowOpensTheStartPage() {
        StateFixture f;
        auto pane = showPane(*f.model);
        const auto pages = f.model->browser().pages();
        QCOMPARE(pages.size(), 1);
        QCOMPARE(f.model->browser().current(), pages.first());
        // The tab has no web view here, so the start page waits for it.
        QCOMPARE(pages.first()->pendingURL(), start);
        QCOMPARE(field(*pane)->text(), QString());
        // A second showing of the pane opens nothing more.
        pane.reset();
        pane = showPane(*f.model);
        QCOMPARE(f.model->browser().pages().size(), 1);
    }

    // tabs: the addresses of the open tabs ("" none yet), the last one shown; typed: the field's text
    // before the step; field: its text after.
    void addressField_data() {
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("field");
        const QString a = "https://a.example/watch";
        const QString b = "https://b.example/x";
        QTest::newRow("typing stays while the page does nothing") << QStringList{a} << "cats"
                                                                  << "nothing"
                                                                  << "cats";
        QTest::newRow("navigation replaces typing") << QStringList{a} << "cats"
                                                    << "navigate " + b << b;
        QTest::newRow("a redirect replaces typing") << QStringList{a} << "cats"
                                                    << "redirect " + b << b;
        QTest::newRow("a page without address leaves typing") << QStringList{a} << "cats"
                                                              << "navigate-nowhere"
                                                              << "cats";
        QTest::newRow("another tab shows its address") << QStringList{a, b} << "cats"
                                                       << "select 0" << a;
        QTest::newRow("a tab that loaded nothing shows nothing") << QStringList{"", b} << "cats"
                                                                 << "select 0"
                                                                 << "";
        QTest::newRow("a tab switched from outside shows its address") << QStringList{a, b} << "cats"
                                                                       << "current 0" << a;
        QTest::newRow("a new tab starts empty") << QStringList{a} << "cats"
                                                << "new"
                                                << "";
        QTest::newRow("closing the shown tab shows the next one") << QStringList{a, b, ""} << "cats"
                                                                  << "close" << b;
        QTest::newRow("the pane shown again shows the page's address") << QStringList{a} << "cats"
                                                                       << "reshow" << a;
        QTest::newRow("the pane shown again on a blank tab is empty") << QStringList{""} << "cats"
                                                                      << "reshow"
                                                                      << "";
        QTest::newRow("submitting keeps the text as typed") << QStringList{a} << " example.org "
                                                            << "submit"
                                                            << " example.org ";
    }
    void addressField() {
        QFETCH(QStringList, tabs);
        QFETCH(QString, typed);
        QFETCH(QString, step);
        QFETCH(QString, field);
        StateFixture f;
        AppModel& model = *f.model;
        const QList<FakePageView*> views = openTabs(model, tabs);
        auto pane = showPane(model);
        QCOMPARE(TestBrowserPane::field(*pane)->text(), tabs.last());
        TestBrowserPane::field(*pane)->clear();
        QTest::keyClicks(TestBrowserPane::field(*pane), typed);
        QCOMPARE(TestBrowserPane::field(*pane)->text(), typed);

        FakePageView* shown = views.last();
        const QString arg = step.section(u' ', 1);
        if (step.startsWith("navigate-nowhere")) {
            shown->navigate(QUrl());
            shown->finish(QString(), false, false);
        } else if (step.startsWith("navigate")) {
            shown->navigate(QUrl(arg));
        } else if (step.startsWith("redirect")) {
            shown->navigate(QUrl(tabs.last() + "?moved"));
            QTest::keyClicks(TestBrowserPane::field(*pane), typed); // typing goes on meanwhile
            shown->navigate(QUrl(arg));
        } else if (step.startsWith("select")) {
            QAction* row = entry(menu(*pane, "browser_tabs_menu"), "browser_tab_row", arg.toInt());
            QVERIFY(row);
            row->trigger();
            QCOMPARE(model.browser().current(), model.browser().pages().at(arg.toInt()));
        } else if (step.startsWith("current")) {
            model.browser().setCurrent(model.browser().pages().at(arg.toInt()));
        } else if (step == "new") {
            QAction* action = entry(menu(*pane, "browser_tabs_menu"), "browser_new_tab");
            QVERIFY(action);
            action->trigger();
            QCOMPARE(model.browser().pages().size(), tabs.size() + 1);
            QCOMPARE(model.browser().current()->pendingURL(), start);
        } else if (step == "close") {
            QAction* action = entry(menu(*pane, "browser_tabs_menu"), "browser_close_tab");
            QVERIFY(action);
            action->trigger();
            QCOMPARE(model.browser().pages().size(), tabs.size() - 1);
        } else if (step == "reshow") {
            pane.reset();
            pane = showPane(model);
        } else if (step == "submit") {
            QTest::keyClick(TestBrowserPane::field(*pane), Qt::Key_Return);
            QCOMPARE(shown->loads.last(), QUrl("https://example.org"));
        }
        QCOMPARE(TestBrowserPane::field(*pane)->text(), field);
    }

    // Return loads through the search engine of the settings; before the settings came, a search loads
    // nothing while an address still loads.
    void returnSearchesWithTheEngineOfTheSettings() {
        StateFixture f;
        f.startEngine();
        f.scriptSettings({{"searchURL", "https://find.example/?q="}});
        const QList<FakePageView*> views = openTabs(*f.model, {"https://a.example/"});
        auto pane = showPane(*f.model);
        QLineEdit* address = field(*pane);

        auto* notice = pane->findChild<QLabel*>("browser_notice");
        QVERIFY(notice);
        QVERIFY(!notice->isVisible());
        address->setText("funny cats");
        QTest::keyClick(address, Qt::Key_Return);
        QVERIFY(views[0]->loads.isEmpty());
        // Nothing is dropped without a word: the pane says why nothing opened, until the user types again.
        QVERIFY(notice->isVisible());
        QVERIFY2(notice->text().contains("funny cats"), qPrintable(notice->text()));
        QTest::keyClicks(address, "!");
        QVERIFY(!notice->isVisible());
        QTest::keyClick(address, Qt::Key_Return);
        QVERIFY(notice->isVisible());
        address->setText("video.example/x");
        QTest::keyClick(address, Qt::Key_Return);
        QCOMPARE(views[0]->loads.size(), 1);
        QVERIFY(!notice->isVisible());
        // What a browser accepts in an address is loaded, percent-encoded.
        address->setText("  https://video.example/a|b{c} d?q=e|f ");
        QTest::keyClick(address, Qt::Key_Return);
        QCOMPARE(views[0]->loads.size(), 2);
        QCOMPARE(views[0]->loads.last().toString(QUrl::FullyEncoded),
                 QString("https://video.example/a%7Cb%7Bc%7D%20d?q=e%7Cf"));
        QVERIFY(!notice->isVisible());

        f.boot();
        address->setText("funny cats & dogs");
        QTest::keyClick(address, Qt::Key_Return);
        QCOMPARE(views[0]->loads.last(), QUrl("https://find.example/?q=funny%20cats%20&%20dogs"));
    }

    void historyButtons() {
        StateFixture f;
        const QList<FakePageView*> views = openTabs(*f.model, {"https://a.example/"});
        auto pane = showPane(*f.model);
        auto* back = pane->findChild<QToolButton*>("browser_back");
        auto* forward = pane->findChild<QToolButton*>("browser_forward");
        auto* reload = pane->findChild<QToolButton*>("browser_reload_stop");
        QVERIFY(!back->isEnabled());
        QVERIFY(!forward->isEnabled());

        views[0]->navigate(QUrl("https://a.example/next"));
        QCOMPARE(reload->toolTip(), Strings::text("browser_stop"));
        reload->click();
        QCOMPARE(views[0]->stops, 1);
        views[0]->finish("Next", true, false);
        QVERIFY(back->isEnabled());
        QVERIFY(!forward->isEnabled());
        QCOMPARE(reload->toolTip(), Strings::text("browser_reload"));
        reload->click();
        QCOMPARE(views[0]->reloads, 1);
        back->click();
        QCOMPARE(views[0]->backs, 1);
        views[0]->finish("A", false, true);
        QVERIFY(!back->isEnabled());
        QVERIFY(forward->isEnabled());
        forward->click();
        QCOMPARE(views[0]->forwards, 1);
    }

    void tabsMenu_data() {
        QTest::addColumn<QStringList>("tabs");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one tab: no close")
            << QStringList{"a"} << 0 << QStringList{"a", "--", "browser_new_tab"};
        QTest::newRow("two tabs: close offered")
            << QStringList{"a", "b"} << 1
            << QStringList{"a", "b", "--", "browser_new_tab", "browser_close_tab"};
        QTest::newRow("an untitled tab and an ampersand")
            << QStringList{"Tom & Jerry", ""} << 1
            << QStringList{"Tom && Jerry", "browser_new_tab_title", "--", "browser_new_tab",
                           "browser_close_tab"};
    }
    void tabsMenu() {
        QFETCH(QStringList, tabs);
        QFETCH(int, shown);
        QFETCH(QStringList, expected);
        StateFixture f;
        for (const QString& title : tabs) {
            auto* view = new FakePageView;
            f.model->browser().newTab(QString())->attachView(view);
            view->navigate(QUrl("https://v.example/" + QString::number(tabs.indexOf(title))));
            view->finish(title, false, false);
        }
        f.model->browser().setCurrent(f.model->browser().pages().at(shown));
        auto pane = showPane(*f.model);
        QCOMPARE(pane->findChild<QToolButton*>("browser_tabs_count")->text(), QString::number(tabs.size()));
        QStringList keysOrTitles;
        for (QAction* a : entries(menu(*pane, "browser_tabs_menu"))) {
            if (a->isSeparator())
                keysOrTitles << "--";
            else if (a->objectName() == "browser_tab_row")
                keysOrTitles << (a->text() == Strings::text("browser_new_tab_title") ? "browser_new_tab_title"
                                                                                     : a->text());
            else
                keysOrTitles << a->objectName();
        }
        QCOMPARE(keysOrTitles, expected);
    }

    // Closing goes to the tab that was shown when the menu was drawn, even when another one is shown by
    // the time the entry is chosen.
    void closeActsOnTheTabShownWhenTheMenuOpened() {
        StateFixture f;
        openTabs(*f.model, {"https://a.example/", "https://b.example/", "https://c.example/"});
        auto pane = showPane(*f.model);
        const QList<BrowserPage*> pages = f.model->browser().pages();
        QAction* close = entry(menu(*pane, "browser_tabs_menu"), "browser_close_tab");
        f.model->browser().setCurrent(pages[0]);
        close->trigger();
        QCOMPARE(f.model->browser().pages(), (QList<BrowserPage*>{pages[0], pages[1]}));
        QCOMPARE(f.model->browser().current(), pages[0]);
        QCOMPARE(field(*pane)->text(), "https://a.example/");
    }

    // stored: the favourites the engine keeps; page: the shown tab's address; lit: the star says it is a
    // favourite; failing: a method the engine fails; after: the favourites shown after a click on the star.
    void star_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("lit");
        QTest::addColumn<QStringList>("after");
        const QString a = "https://v.example/a";
        QTest::newRow("the exact address is removed")
            << QStringList{a, "https://v.example/b"} << a << "" << true << QStringList{"https://v.example/b"};
        QTest::newRow("a trailing slash is another address")
            << QStringList{a + "/"} << a << "" << false << QStringList{a + "/", a};
        QTest::newRow("letter case counts") << QStringList{"https://v.example/A"} << a << "" << false
                                            << QStringList{"https://v.example/A", a};
        QTest::newRow("another scheme is another address")
            << QStringList{"http://v.example/a"} << a << "" << false << QStringList{"http://v.example/a", a};
        QTest::newRow("a list that fails shows none")
            << QStringList{a} << a << "favourites.list" << false << QStringList{a};
        QTest::newRow("an add that fails keeps the list")
            << QStringList{"https://v.example/b"} << a << "favourites.add" << false
            << QStringList{"https://v.example/b"};
        QTest::newRow("a remove that fails keeps the list")
            << QStringList{a} << a << "favourites.remove" << true << QStringList{a};
    }
    void star() {
        QFETCH(QStringList, stored);
        QFETCH(QString, page);
        QFETCH(QString, failing);
        QFETCH(bool, lit);
        QFETCH(QStringList, after);
        StateFixture f;
        f.startEngine();
        for (const QString& url : stored)
            f.control("favourites.add", {{"url", url}, {"title", "Kept " + url}});
        f.boot();
        if (!failing.isEmpty())
            f.scriptError(failing, 500, "The favourites file cannot be written");
        openTabs(*f.model, {page});
        auto pane = showPane(*f.model);
        auto* star = pane->findChild<QToolButton*>("browser_star");
        auto* count = pane->findChild<QToolButton*>("browser_favourites_count");
        const qsizetype shown = failing == "favourites.list" ? 0 : stored.size();
        QTRY_VERIFY(f.methods().contains("favourites.list"));
        QTRY_COMPARE(count->text(), QString::number(shown));
        QCOMPARE(pane->pageAddressIsFavourite(), lit);
        QCOMPARE(star->toolTip(), Strings::text(lit ? "menu_remove_favourite" : "menu_add_favourite"));
        QVERIFY(star->isEnabled());
        if (failing == "favourites.list") {
            QTRY_VERIFY(f.model->sessionPart().lastError());
            return;
        }

        const qsizetype requestsBefore = f.requests().size();
        QTest::mouseClick(star, Qt::LeftButton);
        QTRY_COMPARE(f.requests().size(), requestsBefore + 1);
        const LoggedRequest sent = f.requests().last();
        if (lit) {
            QCOMPARE(sent.method, "favourites.remove");
            QCOMPARE(sent.params, (QJsonObject{{"url", page}}));
        } else {
            QCOMPARE(sent.method, "favourites.add");
            QCOMPARE(sent.params, (QJsonObject{{"url", page}, {"title", "Title of " + page}}));
        }
        QStringList urls;
        if (failing.isEmpty()) {
            QTRY_COMPARE(count->text(), QString::number(after.size()));
        } else {
            QTRY_VERIFY(f.model->sessionPart().lastError());
            QCOMPARE(count->text(), QString::number(stored.size()));
        }
        for (const auto& fav : f.model->sessionPart().favourites())
            urls << fav.url;
        QCOMPARE(urls, after);
        QCOMPARE(pane->pageAddressIsFavourite(), urls.contains(page));
    }

    // A blank tab (after the browser data was cleared) adds the typed text as it is, with no title; an
    // empty page address leaves the star and the send menu disabled.
    void starOnABlankTab() {
        StateFixture f;
        f.boot();
        f.model->browser().reset();
        auto pane = showPane(*f.model);
        auto* star = pane->findChild<QToolButton*>("browser_star");
        auto* send = pane->findChild<QToolButton*>("button_send");
        QVERIFY(!star->isEnabled());
        QVERIFY(!send->isEnabled());
        QTest::keyClicks(field(*pane), " https://v.example/typed ");
        QVERIFY(star->isEnabled());
        QVERIFY(send->isEnabled());
        QTest::mouseClick(star, Qt::LeftButton);
        QTRY_COMPARE(f.model->sessionPart().favourites().size(), size_t(1));
        const LoggedRequest sent = f.requests().last();
        QCOMPARE(sent.method, "favourites.add");
        QCOMPARE(sent.params, (QJsonObject{{"url", " https://v.example/typed "}, {"title", ""}}));
        QCOMPARE(pane->findChild<QToolButton*>("browser_favourites_count")->text(), "1");
        QVERIFY(pane->pageAddressIsFavourite());
    }

    void favouritesMenu() {
        StateFixture f;
        f.startEngine();
        f.control("favourites.add", {{"url", "https://v.example/tj"}, {"title", "Tom & Jerry"}});
        f.control("favourites.add", {{"url", "https://v.example/untitled"}, {"title", ""}});
        f.boot();
        const QList<FakePageView*> views = openTabs(*f.model, {"https://a.example/"});
        auto pane = showPane(*f.model);
        QTRY_COMPARE(f.model->sessionPart().favourites().size(), size_t(2));
        QMenu* favourites = menu(*pane, "browser_favourites_menu");
        QCOMPARE(texts(entries(favourites)), (QStringList{"Tom && Jerry", "https://v.example/untitled"}));

        // A favourite loads in the shown tab, as an address (no search).
        QTest::keyClicks(field(*pane), "typing");
        entry(favourites, "browser_favourite_row", 1)->trigger();
        QCOMPARE(field(*pane)->text(), "https://v.example/untitled");
        QCOMPARE(views[0]->loads, (QList<QUrl>{QUrl("https://v.example/untitled")}));
    }

    void sendToBatch_data() {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<bool>("duplicate");
        QTest::addColumn<QString>("batchAfter");
        const QString a = "https://v.example/a";
        QTest::newRow("a new address is appended")
            << "https://v.example/b" << false << "https://v.example/b\n" + a + "\n";
        QTest::newRow("an address already there raises the notice")
            << "https://v.example/b\n" + a << true << "https://v.example/b\n" + a;
    }
    void sendToBatch() {
        QFETCH(QString, batch);
        QFETCH(bool, duplicate);
        QFETCH(QString, batchAfter);
        StateFixture f;
        f.model->queuePart().setBatchURLs(batch);
        openTabs(*f.model, {"https://v.example/a"});
        auto pane = showPane(*f.model);
        QCOMPARE(f.model->tab(), AppModel::Tab::Download);
        entry(menu(*pane, "browser_send_menu"), "menu_send_to_batch")->trigger();
        QTRY_COMPARE(f.model->tab(), AppModel::Tab::Batch);
        QCOMPARE(f.model->promptsPart().batchDuplicateNotice(), duplicate);
        QCOMPARE(f.model->queuePart().batchURLs(), batchAfter);
        QVERIFY(f.model->sessionPart().browserSessionHosts().contains("v.example"));
        QVERIFY(f.model->compositionPart().pastedText().isEmpty());
    }

    // Sending to the Download tab: while the engine analyses the page, the send button says the page is on
    // its way and the menu's Download entry is off; sending the same page again sends nothing more.
    void sendToDownloadShowsTheHandOver() {
        StateFixture f;
        f.boot();
        f.model->setTab(AppModel::Tab::Browser);
        openTabs(*f.model, {"https://v.example/a"});
        auto pane = showPane(*f.model);
        auto* send = pane->findChild<QToolButton*>("button_send");
        auto* spinner = pane->findChild<QWidget*>("browser_sending");
        QVERIFY(send && spinner);
        QCOMPARE(send->text(), Strings::text("button_send"));
        QVERIFY(!spinner->isVisible());

        f.control("test.hold", {{"method", "analyze"}});
        entry(menu(*pane, "browser_send_menu"), "menu_send_to_download")->trigger();
        QTRY_VERIFY(f.methods().contains("analyze"));
        QCOMPARE(send->text(), Strings::text("button_sending"));
        QVERIFY(Strings::text("button_sending") != Strings::text("button_send"));
        QVERIFY(spinner->isVisible());
        QVERIFY(!entry(menu(*pane, "browser_send_menu"), "menu_send_to_download")->isEnabled());
        QVERIFY(entry(menu(*pane, "browser_send_menu"), "menu_send_to_batch")->isEnabled());
        // Again, by the menu's action and by the pane itself.
        entry(menu(*pane, "browser_send_menu"), "menu_send_to_download")->trigger();
        pane->handTo(AppModel::Tab::Download);
        QCoreApplication::processEvents();
        // A pane made meanwhile (the user came back to the tab) shows the same.
        auto again = showPane(*f.model);
        QCOMPARE(again->findChild<QToolButton*>("button_send")->text(), Strings::text("button_sending"));
        again->handTo(AppModel::Tab::Download);
        QCoreApplication::processEvents();
        QCOMPARE(f.model->tab(), AppModel::Tab::Browser);

        f.control("test.release", {{"method", "analyze"}});
        QTRY_COMPARE_WITH_TIMEOUT(f.model->tab(), AppModel::Tab::Download, 20000);
        QTRY_COMPARE(send->text(), Strings::text("button_send"));
        QVERIFY(!spinner->isVisible());
        QVERIFY(entry(menu(*pane, "browser_send_menu"), "menu_send_to_download")->isEnabled());
        // The engine was asked once.
        QCOMPARE(f.methods().count("analyze"), 1);
    }

    void copyAddress() {
        StateFixture f;
        openTabs(*f.model, {"https://v.example/a?b=1&c=2"});
        auto pane = showPane(*f.model);
        QGuiApplication::clipboard()->setText("something else");
        entry(menu(*pane, "browser_send_menu"), "v2_browser_copy_address")->trigger();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        QCOMPARE(data->formats(), QStringList{"text/plain"});
        QCOMPARE(data->text(), "https://v.example/a?b=1&c=2");
        QCOMPARE(f.model->tab(), AppModel::Tab::Download); // copying goes nowhere
    }

    void sendMenuEntries() {
        StateFixture f;
        f.boot();
        openTabs(*f.model, {"https://v.example/a"});
        auto pane = showPane(*f.model);
        QMenu* send = menu(*pane, "browser_send_menu");
        QCOMPARE(texts(entries(send)),
                 (QStringList{Strings::text("menu_send_to_download"), Strings::text("menu_send_to_batch"),
                              "--", Strings::text("v2_browser_copy_address")}));
        QVERIFY(Strings::text("v2_browser_copy_address") != "v2_browser_copy_address");
    }
};

int main(int argc, char** argv) {
    WebTestApp app(argc, argv);
    TestBrowserPane test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_browserpane.moc"
