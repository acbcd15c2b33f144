// The browser pane with the real web engine, a local site on 127.0.0.1 and the real stand-in engine:
// tabs and history, web views kept across panes, signing in and handing the page to the Download tab
// with the browser's cookies, and wiping the browser data under an open pane.
#include "BrowserCookies.h"
#include "BrowserPane.h"
#include "BrowserProfile.h"
#include "BrowserSession.h"
#include "Composition.h"
#include "DownloadQueue.h"
#include "SigninSite.h"
#include "StateFixture.h"
#include "Strings.h"
#include "TestHome.h"
#include "WebPageView.h"
#include "WebPane.h"
#include "WebTestApp.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>
#include <QWebEngineView>

namespace {

QAction* entry(QMenu* menu, const QString& name) {
    menu->popup(QPoint(0, 0));
    QAction* found = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->objectName() == name && !found)
            found = a;
    }
    menu->hide();
    return found;
}

} // namespace

class TestBrowserLive : public QObject {
    Q_OBJECT

    SigninSite m_site;
    QTemporaryDir m_tmp;
    // Each test gets a folder of its own: one process never opens a profile folder a deleted profile
    // may still be closing.
    int m_runs = 0;
    std::unique_ptr<BrowserProfile> m_profile;
    std::unique_ptr<BrowserCookies> m_cookies;

    std::unique_ptr<BrowserPane> showPane(AppModel& model, const QString& startPage) {
        auto pane = std::make_unique<BrowserPane>(model, m_profile.get(), startPage);
        pane->resize(900, 560);
        pane->show();
        return pane;
    }
    static QLineEdit* field(BrowserPane& pane) { return pane.findChild<QLineEdit*>("browser_address"); }
    static bool settled(const BrowserPage* page, const QString& url) {
        return page && page->currentURL() == url && !page->isLoading();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_site.start()); }
    void init() {
        Strings::reset();
        m_profile =
            std::make_unique<BrowserProfile>(m_tmp.filePath(QStringLiteral("browser-%1").arg(++m_runs)));
        m_cookies = std::make_unique<BrowserCookies>(m_profile.get(), m_tmp.filePath("exports"));
    }
    void cleanup() {
        m_cookies.reset();
        m_profile.reset();
    }
    void cleanupTestCase() {
        // The web engine closes its files a little after the profile is gone.
        const QString folder = m_tmp.path();
        m_tmp.setAutoRemove(false);
        QVERIFY(QTest::qWaitFor([&] { return QDir(folder).removeRecursively(); }, 10000));
    }

    // The first tab opens on the start page; the field shows nothing until the page tells its address.
    void firstShowLoadsTheStartPage() {
        StateFixture f;
        const QString one = m_site.url("/page/one");
        auto pane = showPane(*f.model, one);
        QCOMPARE(f.model->browser().pages().size(), 1);
        BrowserPage* page = f.model->browser().current();
        QCOMPARE(field(*pane)->text(), QString());
        QVERIFY(page->pendingURL().isEmpty());
        QVERIFY(pane->paneFor(page)->view());
        QTRY_VERIFY_WITH_TIMEOUT(settled(page, one), 20000);
        QTRY_COMPARE(page->title(), "one");
        QCOMPARE(field(*pane)->text(), one);
    }

    // Back and forward follow the tab's history; the tabs menu opens, shows and closes tabs.
    void historyAndTabs() {
        StateFixture f;
        const QString one = m_site.url("/page/one");
        const QString two = m_site.url("/page/two");
        auto pane = showPane(*f.model, one);
        BrowserPage* first = f.model->browser().current();
        QTRY_VERIFY_WITH_TIMEOUT(settled(first, one), 20000);
        auto* back = pane->findChild<QToolButton*>("browser_back");
        auto* forward = pane->findChild<QToolButton*>("browser_forward");
        QVERIFY(!back->isEnabled());

        field(*pane)->setText(two);
        QTest::keyClick(field(*pane), Qt::Key_Return);
        QTRY_VERIFY(settled(first, two));
        QTRY_VERIFY(back->isEnabled());
        QVERIFY(!forward->isEnabled());
        back->click();
        QTRY_VERIFY(settled(first, one));
        QCOMPARE(field(*pane)->text(), one);
        QTRY_VERIFY(forward->isEnabled());
        QVERIFY(!back->isEnabled());

        // A new tab: the start page again, in a web view of its own; the field starts empty.
        QMenu* tabs = pane->findChild<QMenu*>("browser_tabs_menu");
        entry(tabs, "browser_new_tab")->trigger();
        QCOMPARE(f.model->browser().pages().size(), 2);
        BrowserPage* second = f.model->browser().current();
        QVERIFY(second != first);
        QCOMPARE(field(*pane)->text(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(settled(second, one), 20000);
        QVERIFY(!back->isEnabled());
        QCOMPARE(pane->findChild<QToolButton*>("browser_tabs_count")->text(), "2");

        // Closing the shown one of two leaves the first, with its own history; no close entry is left.
        entry(tabs, "browser_close_tab")->trigger();
        QCOMPARE(f.model->browser().pages(), QList<BrowserPage*>{first});
        QCOMPARE(f.model->browser().current(), first);
        QCOMPARE(field(*pane)->text(), one);
        QVERIFY(forward->isEnabled());
        QVERIFY(!entry(tabs, "browser_close_tab"));
        QVERIFY(!pane->paneFor(second));
    }

    // A pane made again for the same tab shows the same page without loading it again; while no pane
    // exists the tab is left alone, and the next pane brings it up to date.
    void webPageOutlivesThePane() {
        StateFixture f;
        const QString one = m_site.url("/page/one");
        const QString three = m_site.url("/page/three");
        auto pane = showPane(*f.model, one);
        BrowserPage* page = f.model->browser().current();
        QTRY_VERIFY_WITH_TIMEOUT(settled(page, one), 20000);
        auto* web = qobject_cast<WebPageView*>(page->view());
        QVERIFY(web);
        QWebEnginePage* document = web->page();
        QSignalSpy loads(web, &PageView::loadingChanged);

        pane.reset();
        QVERIFY(!page->isFollowing());
        web->load(QUrl(three));
        QTRY_COMPARE(loads.size(), 2); // started and finished, with no pane
        QCOMPARE(page->currentURL(), one);
        QCOMPARE(page->title(), "one");

        pane = showPane(*f.model, one);
        QCOMPARE(page->view(), web);
        QCOMPARE(pane->paneFor(page)->view()->page(), document);
        QCOMPARE(page->currentURL(), three);
        QCOMPARE(page->title(), "three");
        QVERIFY(page->canGoBack());
        QCOMPARE(field(*pane)->text(), three);
        // Nothing was loaded again: the next load is the only one since.
        field(*pane)->setText(m_site.url("/page/two"));
        QTest::keyClick(field(*pane), Qt::Key_Return);
        QTRY_VERIFY(settled(page, m_site.url("/page/two")));
        QCOMPARE(loads.size(), 4);
    }

    // A link to a new window and a click that opens one become new tabs of the pane, each browsing on the
    // profile; the window a script opens on its own as the page loads is refused.
    void newWindowsOpenAsTabs() {
        StateFixture f;
        const QString opener = m_site.url("/opener");
        auto pane = showPane(*f.model, opener);
        BrowserPage* first = f.model->browser().current();
        QTRY_VERIFY_WITH_TIMEOUT(settled(first, opener), 20000);
        QTRY_VERIFY(first->title().startsWith("Opener popup"));
        // The page's own pop-up was refused while it loaded.
        QCOMPARE(first->title(), "Opener popup blocked");
        QCOMPARE(f.model->browser().pages().size(), 1);

        QWidget* surface = pane->paneFor(first)->view()->focusProxy();
        QVERIFY(surface);
        QTRY_VERIFY(QTest::qWaitForWindowExposed(surface));
        const auto click = [&](QPoint at) {
            f.model->browser().setCurrent(first);
            QTRY_COMPARE(pane->paneFor(first)->view()->focusProxy(), surface);
            QTest::mouseMove(surface, at);
            QTest::mousePress(surface, Qt::LeftButton, {}, at);
            QTest::mouseRelease(surface, Qt::LeftButton, {}, at, 50);
        };
        // The link (target="_blank", a "|" in its address).
        click(QPoint(60, 40));
        QTRY_COMPARE_WITH_TIMEOUT(f.model->browser().pages().size(), 2, 20000);
        BrowserPage* linked = f.model->browser().current();
        QVERIFY(linked != first);
        QTRY_VERIFY_WITH_TIMEOUT(
            linked->currentURL().startsWith(m_site.url("/page/one?x=a")) && !linked->isLoading(), 20000);
        QTRY_COMPARE(linked->title(), "one");
        QCOMPARE(field(*pane)->text(), linked->currentURL());
        QVERIFY(qobject_cast<WebPageView*>(linked->view()));
        QCOMPARE(qobject_cast<WebPageView*>(linked->view())->page()->profile(), m_profile->profile());

        // The button whose click runs window.open.
        click(QPoint(60, 140));
        QTRY_COMPARE_WITH_TIMEOUT(f.model->browser().pages().size(), 3, 20000);
        BrowserPage* clicked = f.model->browser().current();
        QTRY_VERIFY_WITH_TIMEOUT(settled(clicked, m_site.url("/page/two")), 20000);
        QTRY_COMPARE(clicked->title(), "two");
        QCOMPARE(pane->findChild<QToolButton*>("browser_tabs_count")->text(), "3");
        // No tab ever showed the refused pop-up.
        for (BrowserPage* page : f.model->browser().pages())
            QVERIFY(!page->currentURL().contains("/page/three"));
    }

    // Signing in on the site, then sending its members-only page to the Download tab: the analysis
    // carries the browser's cookies for that host in a cookie file, the Browser tab stays in front until
    // the analysis answered, and the download of the protected video succeeds.
    void handOffToDownloadWithTheBrowsersCookies() {
        StateFixture f({}, m_cookies.get());
        const QString out = f.path("out");
        f.startEngine();
        f.control("settings.set", {{"values", QJsonObject{{"outputDir", out}}}});
        f.boot();
        const QString signin = m_site.url("/signin");
        const QString watch = m_site.url("/watch");
        auto pane = showPane(*f.model, signin);
        BrowserPage* page = f.model->browser().current();
        QTRY_VERIFY_WITH_TIMEOUT(settled(page, signin), 20000);
        QTRY_VERIFY(!m_profile->cookies().cookies().isEmpty());

        // Only a signed-in visitor gets the members' page.
        field(*pane)->setText(watch);
        QTest::keyClick(field(*pane), Qt::Key_Return);
        QTRY_VERIFY(settled(page, watch));
        QTRY_COMPARE(page->title(), "Members only");

        f.control("test.hold", {{"method", "analyze"}});
        f.model->setTab(AppModel::Tab::Browser);
        entry(pane->findChild<QMenu*>("browser_send_menu"), "menu_send_to_download")->trigger();
        QTRY_VERIFY(f.methods().contains("analyze"));
        QCOMPARE(f.model->compositionPart().pastedText(), watch);
        QCOMPARE(f.model->tab(), AppModel::Tab::Browser);
        QVERIFY(f.model->sessionPart().browserSessionHosts().contains("127.0.0.1"));

        LoggedRequest analyze;
        for (const LoggedRequest& r : f.requests()) {
            if (r.method == "analyze")
                analyze = r;
        }
        QCOMPARE(analyze.params.value("url").toString(), watch);
        QCOMPARE(analyze.params.value("cookieSource").toString(), "None");
        const QString file = analyze.params.value("cookiesFile").toString();
        QCOMPARE(QFileInfo(file).absolutePath(), m_cookies->exportFolder());
        QFile cookies(file);
        QVERIFY(cookies.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = cookies.readAll().split('\n');
        QCOMPARE(lines.at(0), "# Netscape HTTP Cookie File");
        QCOMPARE(lines.size(), 4); // two header lines, the cookie, and the final line feed
        const QList<QByteArray> fields = lines.at(2).split('\t');
        QCOMPARE(fields.size(), 7);
        QCOMPARE(fields[0], "127.0.0.1");
        QCOMPARE(fields[1], "FALSE");
        QCOMPARE(fields[2], "/");
        QVERIFY(fields[4].toLongLong() > QDateTime::currentSecsSinceEpoch());
        QCOMPARE(fields[5], "session");
        QCOMPARE(fields[6], "open-sesame");
        QCOMPARE(QFileInfo(file).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFileDevice::Permissions());

        f.control("test.release", {{"method", "analyze"}});
        QTRY_COMPARE_WITH_TIMEOUT(f.model->tab(), AppModel::Tab::Download, 20000);
        QVERIFY(f.model->compositionPart().freshAnalysis());
        QCOMPARE(f.model->compositionPart().freshAnalysis()->displayTitle(), "Members only");

        const auto job = f.enqueue(std::nullopt);
        QVERIFY(job);
        QTRY_VERIFY_WITH_TIMEOUT(job->state().isFinished(), 60000);
        QCOMPARE(int(job->state().kind), int(Job::State::Done));
        QCOMPARE(QFileInfo(job->outputPath().value_or("")).size(), m_site.videoSize);
        // The engine's own requests for the video carried the sign-in cookie.
        int engineFetches = 0;
        for (const QJsonValue& r : m_site.mediaRequests()) {
            if (r["agent"].toString().contains("QtWebEngine"))
                continue;
            ++engineFetches;
            QVERIFY(r["cookie"].toString().contains("session=open-sesame"));
        }
        QVERIFY(engineFetches > 0);
        QVERIFY(!f.model->sessionPart().lastError());
    }

    // Wiping the browser data while the pane shows a page: the page's web view goes, one blank tab is
    // left, and it browses on the fresh profile.
    void clearingTheDataUnderAnOpenPane() {
        StateFixture f({}, m_cookies.get());
        const QString one = m_site.url("/page/one");
        auto pane = showPane(*f.model, one);
        BrowserPage* page = f.model->browser().current();
        QTRY_VERIFY_WITH_TIMEOUT(settled(page, one), 20000);

        QCoro::waitFor(f.model->sessionPart().clearBrowserData());
        QCOMPARE(f.model->browser().pages().size(), 1);
        BrowserPage* blank = f.model->browser().current();
        QVERIFY(blank != page);
        QCOMPARE(field(*pane)->text(), QString());
        QVERIFY(pane->paneFor(blank));
        QTRY_VERIFY(pane->paneFor(blank)->view());
        field(*pane)->setText(m_site.url("/page/two"));
        QTest::keyClick(field(*pane), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(settled(blank, m_site.url("/page/two")), 20000);
        QCOMPARE(field(*pane)->text(), m_site.url("/page/two"));
    }
};

int main(int argc, char** argv) {
    TestHome home;
    WebTestApp app(argc, argv);
    TestBrowserLive test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_browserlive.moc"
