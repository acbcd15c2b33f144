#include "BrowserPage.h"
#include "BrowserProfile.h"
#include "LocalHttpServer.h"
#include "TestHome.h"
#include "WebPageView.h"
#include "WebTestApp.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestWebPageView : public QObject {
    Q_OBJECT
public:
    quint16 port() const { return m_server.port(); }

private:
    LocalHttpServer m_server;
    QTemporaryDir m_tmp;
    // Each test gets a folder of its own: one process never opens a profile folder a deleted profile
    // may still be closing.
    int m_runs = 0;
    std::unique_ptr<BrowserProfile> m_profile;

    QUrl url(const QString& path) const { return QUrl(m_server.url(QStringLiteral("www.site.test"), path)); }

private Q_SLOTS:
    void init() {
        m_profile =
            std::make_unique<BrowserProfile>(m_tmp.filePath(QStringLiteral("browser-%1").arg(++m_runs)));
    }
    void cleanup() { m_profile.reset(); }
    void cleanupTestCase() {
        // The web engine closes its files a little after the profile is gone.
        const QString folder = m_tmp.path();
        m_tmp.setAutoRemove(false);
        QVERIFY(QTest::qWaitFor([&] { return QDir(folder).removeRecursively(); }, 10000));
    }

    void followsNavigationAndHistory() {
        WebPageView view(m_profile.get());
        QSignalSpy loading(&view, &PageView::loadingChanged);
        QSignalSpy urls(&view, &PageView::urlChanged);
        view.load(url(QStringLiteral("/one")));
        QTRY_COMPARE(loading.size(), 2);
        QCOMPARE(loading.at(0).first().toBool(), true);
        QCOMPARE(loading.at(1).first().toBool(), false);
        QVERIFY(!view.isLoading());
        QCOMPARE(view.url(), url(QStringLiteral("/one")));
        QCOMPARE(urls.last().first().toUrl(), url(QStringLiteral("/one")));
        QTRY_COMPARE(view.title(), QStringLiteral("page"));
        QVERIFY(!view.canGoBack());

        QSignalSpy history(&view, &PageView::historyChanged);
        view.load(url(QStringLiteral("/two")));
        QTRY_VERIFY(view.canGoBack());
        QVERIFY(!history.isEmpty());
        QVERIFY(!view.canGoForward());
        view.back();
        QTRY_COMPARE(view.url(), url(QStringLiteral("/one")));
        QTRY_VERIFY(view.canGoForward());
    }

    void documentWithoutTitleHasNoTitle() {
        WebPageView view(m_profile.get());
        QSignalSpy loading(&view, &PageView::loadingChanged);
        view.load(url(QStringLiteral("/untitled")));
        QTRY_COMPARE(loading.size(), 2);
        QVERIFY(!view.page()->title().isEmpty()); // the web engine puts the address in its place
        QCOMPARE(view.title(), QString());
    }

    void drivesABrowserTab() {
        BrowserPage tab;
        tab.setPendingURL(url(QStringLiteral("/start")).toString());
        tab.holdFollowing();
        tab.attachView(new WebPageView(m_profile.get()));
        QCOMPARE(tab.pendingURL(), QString());
        QTRY_COMPARE(tab.currentURL(), url(QStringLiteral("/start")).toString());
        QTRY_COMPARE(tab.title(), QStringLiteral("page"));
        QTRY_VERIFY(!tab.isLoading());
    }

    void wipingTheDataLeavesTheViewInert() {
        WebPageView view(m_profile.get());
        QSignalSpy loading(&view, &PageView::loadingChanged);
        view.load(url(QStringLiteral("/one")));
        QTRY_COMPARE(loading.size(), 2);
        QVERIFY(QCoro::waitFor(m_profile->renew()));
        QVERIFY(!view.page());
        QCOMPARE(view.url(), QUrl());
        view.load(url(QStringLiteral("/two")));
        view.back();
        QVERIFY(!view.isLoading());
        QCOMPARE(view.title(), QString());
    }
};

int main(int argc, char** argv) {
    TestHome home;
    WebTestApp app(argc, argv);
    TestWebPageView test;
    WebTestApp::routeAllTrafficTo(test.port());
    return QTest::qExec(&test, argc, argv);
}
#include "tst_webpageview.moc"
