#include "BrowserSession.h"
#include "FakePageView.h"

#include <QSignalSpy>
#include <QTest>

using OptString = std::optional<QString>;
Q_DECLARE_METATYPE(OptString)

class TestBrowserSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void address_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<OptString>("search");
        QTest::addColumn<OptString>("address");
        const OptString engine = QStringLiteral("https://search.example/?q=");
        const OptString none;

        QTest::newRow("scheme kept") << "https://Example.com/Path?a=b" << engine
                                     << OptString("https://Example.com/Path?a=b");
        QTest::newRow("any scheme kept")
            << "ftp://files.example/x" << engine << OptString("ftp://files.example/x");
        QTest::newRow("blanks around a host") << "  example.com/watch \n"
                                              << engine << OptString("https://example.com/watch");
        QTest::newRow("host with a tab inside is still a host") << "a.example\tb" << none << OptString();
        QTest::newRow("single word is a search")
            << "cats" << engine << OptString("https://search.example/?q=cats");
        QTest::newRow("a word without a dot and a port is a search")
            << "cats:8080" << engine << OptString("https://search.example/?q=cats:8080");
        QTest::newRow("localhost with a port is an address, over http")
            << "localhost:8080/a" << none << OptString("http://localhost:8080/a");
        QTest::newRow("an IP address is reached over http")
            << "127.0.0.1:8000/v.html" << none << OptString("http://127.0.0.1:8000/v.html");
        QTest::newRow("a bar and braces in a typed address")
            << "https://a.example/x|y{z}?q=a|b" << none
            << OptString("https://a.example/x%7Cy%7Bz%7D?q=a%7Cb");
        QTest::newRow("a bar in a bare host's path")
            << "a.example/p|q" << none << OptString("https://a.example/p%7Cq");
        QTest::newRow("a space in an address with a scheme")
            << " https://a.example/my video.mp4 " << none << OptString("https://a.example/my%20video.mp4");
        QTest::newRow("words with a dot are a search")
            << "funny cats vol. 2" << engine
            << OptString("https://search.example/?q=funny%20cats%20vol.%202");
        QTest::newRow("query characters stay, others are escaped")
            << "a&b=c+d? #é" << engine << OptString("https://search.example/?q=a&b=c+d?%20%23%C3%A9");
        QTest::newRow("search without a prefix does nothing") << "cats" << none << OptString();
        QTest::newRow("empty does nothing") << "" << engine << OptString();
        QTest::newRow("blanks do nothing") << " \t\n" << engine << OptString();
        QTest::newRow("an address that is no address is searched")
            << "https://exa mple.com" << engine
            << OptString("https://search.example/?q=https://exa%20mple.com");
        QTest::newRow("and without a search engine gives nothing")
            << "https://exa mple.com" << none << OptString();
    }
    void address() {
        QFETCH(QString, typed);
        QFETCH(OptString, search);
        QFETCH(OptString, address);
        QCOMPARE(BrowserPage::addressFor(typed, search), address);
    }

    void loadWithoutViewKeepsTheFinalAddressPending() {
        BrowserPage page;
        QSignalSpy pending(&page, &BrowserPage::pendingURLChanged);
        page.load(QStringLiteral(" example.com "), std::nullopt);
        QCOMPARE(page.pendingURL(), QStringLiteral("https://example.com"));
        QVERIFY(!page.load(QStringLiteral("cats"), std::nullopt)); // a search with no prefix: nothing changes
        QCOMPARE(page.pendingURL(), QStringLiteral("https://example.com"));
        page.load(QStringLiteral("example.com"), std::nullopt); // same value: no notification
        QCOMPARE(pending.count(), 1);
    }

    void attachedViewLoadsThePendingAddressOnce() {
        BrowserSession session;
        BrowserPage* page = session.newTab(QStringLiteral("https://start.example/"));
        QCOMPARE(page->pendingURL(), QStringLiteral("https://start.example/"));

        auto* view = new FakePageView;
        page->attachView(view);
        QCOMPARE(view->loads, (QList<QUrl>{QUrl(QStringLiteral("https://start.example/"))}));
        QVERIFY(page->pendingURL().isEmpty());
        QCOMPARE(view->parent(), page);

        // From now on loads go straight to the view.
        page->load(QStringLiteral("cats"), QStringLiteral("https://s.example/?q="));
        QCOMPARE(view->loads.size(), 2);
        QCOMPARE(view->loads.last(), QUrl(QStringLiteral("https://s.example/?q=cats")));
        QVERIFY(page->pendingURL().isEmpty());
    }

    void emptyPendingAddressLoadsNothing() {
        BrowserSession session;
        BrowserPage* page = session.newTab(QString());
        auto* view = new FakePageView;
        page->attachView(view);
        QVERIFY(view->loads.isEmpty());
    }

    void pageFollowsItsView() {
        BrowserPage page;
        auto* view = new FakePageView;
        page.attachView(view);
        page.holdFollowing();
        QSignalSpy title(&page, &BrowserPage::titleChanged);
        QSignalSpy loading(&page, &BrowserPage::isLoadingChanged);

        view->navigate(QUrl(QStringLiteral("https://v.example/a")));
        QVERIFY(page.isLoading());
        QCOMPARE(page.currentURL(), QStringLiteral("https://v.example/a"));
        view->finish(QString(), true, false); // a document without a title
        QVERIFY(!page.isLoading());
        QVERIFY(page.title().isEmpty());
        QVERIFY(page.canGoBack());
        QVERIFY(!page.canGoForward());
        QCOMPARE(title.count(), 0);
        QCOMPARE(loading.count(), 2);

        view->finish(QStringLiteral("Clip"), true, true);
        QCOMPARE(page.title(), QStringLiteral("Clip"));
        QVERIFY(page.canGoForward());
        QCOMPARE(title.count(), 1);
    }

    // A tab nobody shows is left alone; the next hold catches up with everything the view did meanwhile.
    void followingOnlyWhileHeld() {
        BrowserPage page;
        auto* view = new FakePageView;
        page.attachView(view);
        QSignalSpy url(&page, &BrowserPage::currentURLChanged);
        view->navigate(QUrl(QStringLiteral("https://v.example/a")));
        QVERIFY(!page.isFollowing());
        QVERIFY(page.currentURL().isEmpty());
        QVERIFY(!page.isLoading());

        // Two panes hold the page while one replaces the other; the old one letting go stops nothing.
        page.holdFollowing();
        QCOMPARE(page.currentURL(), QStringLiteral("https://v.example/a"));
        QVERIFY(page.isLoading());
        page.holdFollowing();
        page.releaseFollowing();
        view->finish(QStringLiteral("A"), true, false);
        QCOMPARE(page.title(), QStringLiteral("A"));
        QVERIFY(page.canGoBack());
        QVERIFY(!page.isLoading());

        page.releaseFollowing();
        QVERIFY(!page.isFollowing());
        view->navigate(QUrl(QStringLiteral("https://v.example/b")));
        view->finish(QStringLiteral("B"), true, true);
        QCOMPARE(page.currentURL(), QStringLiteral("https://v.example/a"));
        QCOMPARE(page.title(), QStringLiteral("A"));
        QVERIFY(!page.canGoForward());
        QCOMPARE(url.count(), 1);

        page.releaseFollowing(); // one release too many changes nothing
        page.holdFollowing();
        QCOMPARE(page.currentURL(), QStringLiteral("https://v.example/b"));
        QCOMPARE(page.title(), QStringLiteral("B"));
        QVERIFY(page.canGoForward());
        view->navigate(QUrl(QStringLiteral("https://v.example/c")));
        QCOMPARE(page.currentURL(), QStringLiteral("https://v.example/c"));
    }

    void close_data() {
        QTest::addColumn<int>("currentBefore");
        QTest::addColumn<int>("closed");
        QTest::addColumn<int>("currentAfter"); // index into the original three; -1: none
        QTest::newRow("current first of three: the last one left") << 0 << 0 << 2;
        QTest::newRow("current last of three: the new last") << 2 << 2 << 1;
        QTest::newRow("current middle: the last one left") << 1 << 1 << 2;
        QTest::newRow("not the current one: current stays") << 0 << 1 << 0;
    }
    void close() {
        QFETCH(int, currentBefore);
        QFETCH(int, closed);
        QFETCH(int, currentAfter);
        BrowserSession session;
        QList<BrowserPage*> opened;
        for (int i = 0; i < 3; ++i)
            opened << session.newTab(QStringLiteral("https://%1.example").arg(i));
        session.setCurrent(opened[currentBefore]);
        QSignalSpy current(&session, &BrowserSession::currentChanged);

        QPointer<BrowserPage> gone = opened[closed];
        session.close(opened[closed]);
        QList<BrowserPage*> left = opened;
        left.removeAt(closed);
        QCOMPARE(session.pages(), left);
        QCOMPARE(session.current(), opened[currentAfter]);
        QCOMPARE(current.count(), currentBefore == currentAfter ? 0 : 1);
        QTRY_VERIFY(gone.isNull()); // the closed tab goes with its view
    }

    void closeOfUnknownOrLastPage() {
        BrowserSession session;
        BrowserPage stranger;
        BrowserPage* only = session.newTab(QString());
        QSignalSpy pages(&session, &BrowserSession::pagesChanged);
        session.close(&stranger);
        QCOMPARE(pages.count(), 0);
        QCOMPARE(session.current(), only);
        session.close(only);
        QVERIFY(session.pages().isEmpty());
        QCOMPARE(session.current(), nullptr);
    }

    void setCurrentIgnoresStrangers() {
        BrowserSession session;
        BrowserPage* page = session.newTab(QString());
        BrowserPage stranger;
        session.setCurrent(&stranger);
        QCOMPARE(session.current(), page);
    }

    void resetLeavesOneEmptyCurrentPage() {
        BrowserSession session;
        session.newTab(QStringLiteral("https://a.example"));
        QPointer<BrowserPage> old = session.newTab(QStringLiteral("https://b.example"));
        QSignalSpy pages(&session, &BrowserSession::pagesChanged);
        QSignalSpy current(&session, &BrowserSession::currentChanged);
        session.reset();
        QCOMPARE(session.pages().size(), 1);
        QCOMPARE(session.current(), session.pages().first());
        QVERIFY(session.current() != old);
        QVERIFY(session.current()->pendingURL().isEmpty());
        QVERIFY(session.current()->view() == nullptr);
        QCOMPARE(pages.count(), 1);
        QCOMPARE(current.count(), 1);
        QTRY_VERIFY(old.isNull());
    }

    // Whoever hears of a new tab (a pane making its web view at once) finds its address already pending.
    void newTabIsPendingWhenAnnounced() {
        BrowserSession session;
        QStringList seen;
        connect(&session, &BrowserSession::pagesChanged, this,
                [&] { seen << session.pages().last()->pendingURL(); });
        connect(&session, &BrowserSession::currentChanged, this,
                [&] { seen << session.current()->pendingURL(); });
        session.newTab(QStringLiteral("https://start.example/"));
        QCOMPARE(seen, QStringList(2, QStringLiteral("https://start.example/")));
    }

    void newTabIsCurrentAndLast() {
        BrowserSession session;
        QSignalSpy current(&session, &BrowserSession::currentChanged);
        BrowserPage* a = session.newTab(QString());
        BrowserPage* b = session.newTab(QString());
        QCOMPARE(session.pages(), (QList<BrowserPage*>{a, b}));
        QCOMPARE(session.current(), b);
        QCOMPARE(current.count(), 2);
        QVERIFY(a->id() != b->id());
    }
};

QTEST_GUILESS_MAIN(TestBrowserSession)
#include "tst_browsersession.moc"
