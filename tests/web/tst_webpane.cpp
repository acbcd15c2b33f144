// The web pane with the real web engine: a tab gets its page on the first show of a pane, loads its
// pending address then and only then, and keeps that page across panes.
#include "BrowserPage.h"
#include "BrowserProfile.h"
#include "BrowserRuntime.h"
#include "LocalHttpServer.h"
#include "TestHome.h"
#include "WebPageView.h"
#include "WebPane.h"
#include "WebTestApp.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

class TestWebPane : public QObject {
    Q_OBJECT

    LocalHttpServer m_server;
    QTemporaryDir m_tmp;
    // Each test gets a folder of its own: one process never opens a profile folder a deleted profile
    // may still be closing.
    int m_runs = 0;
    std::unique_ptr<BrowserProfile> m_profile;

    QString url(const QString& path) const { return m_server.url(QStringLiteral("127.0.0.1"), path); }
    // Requests for documents, the browser's own icon requests left out.
    qsizetype documents() const {
        qsizetype n = 0;
        for (const auto& r : m_server.requests())
            n += r.path != "/favicon.ico";
        return n;
    }

private Q_SLOTS:
    void init() {
        m_profile =
            std::make_unique<BrowserProfile>(m_tmp.filePath(QStringLiteral("browser-%1").arg(++m_runs)));
    }
    void cleanup() { m_profile.reset(); }
    void cleanupTestCase() {
        const QString folder = m_tmp.path();
        m_tmp.setAutoRemove(false);
        QVERIFY(QTest::qWaitFor([&] { return QDir(folder).removeRecursively(); }, 10000));
    }

    void pendingAddressLoadsOnFirstShow() {
        BrowserPage page;
        page.setPendingURL(url(QStringLiteral("/first")));
        auto pane = std::make_unique<WebPane>(&page, m_profile.get());
        // Made but not shown: no page yet, and the address still waits.
        QVERIFY(!page.view());
        QVERIFY(!pane->view());
        QCOMPARE(page.pendingURL(), url(QStringLiteral("/first")));
        QVERIFY(page.isFollowing());

        pane->resize(400, 300);
        pane->show();
        QVERIFY(pane->view());
        QVERIFY(page.pendingURL().isEmpty());
        QTRY_COMPARE(page.currentURL(), url(QStringLiteral("/first")));
        QTRY_COMPARE(page.title(), QStringLiteral("page"));
        QTRY_VERIFY(!page.isLoading());
        auto* web = qobject_cast<WebPageView*>(page.view());
        QVERIFY(web);
        QCOMPARE(pane->view()->page(), web->page());
        const qsizetype hits = documents();

        // Another pane for the same tab: the same page, nothing loaded again.
        pane.reset();
        QVERIFY(!page.isFollowing());
        pane = std::make_unique<WebPane>(&page, m_profile.get());
        pane->show();
        QCOMPARE(page.view(), web);
        QCOMPARE(pane->view()->page(), web->page());
        QVERIFY(!page.isLoading());
        page.load(url(QStringLiteral("/second")), std::nullopt);
        QTRY_COMPARE(page.currentURL(), url(QStringLiteral("/second")));
        QTRY_VERIFY(!page.isLoading());
        QCOMPARE(documents(), hits + 1);
    }

    // Wiping the data under a shown pane takes its view away before the page goes.
    void wipeUnderAShownPane() {
        BrowserPage page;
        page.setPendingURL(url(QStringLiteral("/first")));
        WebPane pane(&page, m_profile.get());
        pane.show();
        QTRY_VERIFY(!page.currentURL().isEmpty() && !page.isLoading());
        QPointer<QWebEngineView> view = pane.view();
        QVERIFY(QCoro::waitFor(m_profile->renew()));
        QVERIFY(view.isNull());
        QVERIFY(!pane.view());
        QVERIFY(!qobject_cast<WebPageView*>(page.view())->page());
    }

    // The runtime starts the web engine only when something needs the browser's cookies or profile.
    void runtimeStartsOnFirstUse() {
        const QString exports = m_tmp.filePath(QStringLiteral("exports"));
        BrowserRuntime runtime(m_tmp.filePath(QStringLiteral("lazy")), exports);
        QDir().mkpath(exports);
        QFile::setPermissions(exports, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile stale(exports + QStringLiteral("/vamber-browser-cookies-old.example.txt"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        runtime.discardExports();
        QVERIFY(!stale.exists());
        QVERIFY(!runtime.isStarted());
        QCOMPARE(QCoro::waitFor(runtime.exportFor(url(QStringLiteral("/x")))), QString()); // no cookies yet
        QVERIFY(runtime.isStarted());
        QCOMPARE(runtime.profile(), runtime.profile());
    }
};

int main(int argc, char** argv) {
    TestHome home;
    WebTestApp app(argc, argv);
    TestWebPane test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_webpane.moc"
