#include "BrowserCookies.h"
#include "BrowserProfile.h"
#include "LocalHttpServer.h"
#include "TestHome.h"
#include "WebTestApp.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <algorithm>
#include <memory>

#include "WebFileHelpers.h"

#include <sys/stat.h>

namespace {

bool load(QWebEnginePage* page, const QString& url) {
    QSignalSpy finished(page, &QWebEnginePage::loadFinished);
    page->load(QUrl(url));
    return finished.wait(30000) && finished.first().first().toBool();
}

QVariant runJs(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        return QStringLiteral("<no answer>");
    return result;
}

// Runs an asynchronous script that ends by setting window.__result, and returns that value.
QVariant runAsyncJs(QWebEnginePage* page, const QString& script) {
    runJs(page, QStringLiteral("window.__result = undefined; ") + script);
    QVariant result;
    (void)QTest::qWaitFor(
        [&] {
            result =
                runJs(page, QStringLiteral("window.__result === undefined ? '<pending>' : window.__result"));
            return result != QVariant(QStringLiteral("<pending>"));
        },
        10000);
    return result;
}

// A temporary folder holding one browser profile. The web engine closes its files a little after the
// profile is gone, so the folder is removed once it lets go.
struct Fixture {
    QTemporaryDir tmp;
    std::unique_ptr<BrowserProfile> profile =
        std::make_unique<BrowserProfile>(tmp.filePath(QStringLiteral("browser")));

    QString path(const QString& name) const { return tmp.filePath(name); }
    ~Fixture() {
        profile.reset();
        tmp.setAutoRemove(false);
        const QString folder = tmp.path();
        if (!QTest::qWaitFor([&] { return QDir(folder).removeRecursively(); }, 10000))
            qWarning("Cannot remove %s", qPrintable(tmp.path()));
    }
};

// Every entry of a folder, hidden ones included, by name.
QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                  QDir::Name);
}

QByteArray header() {
    return "# Netscape HTTP Cookie File\n# Ecrit par le navigateur integre. Local a cet ordinateur.\n";
}

} // namespace

class TestBrowserCookies : public QObject {
    Q_OBJECT
public:
    quint16 port() const { return m_server.port(); }

private:
    LocalHttpServer m_server;
    QByteArray m_expiry;

    QString url(const QString& host, const QString& path) const { return m_server.url(host, path); }

    // The lines the cookies of /set and of fillJar() take in a file.
    QMap<QByteArray, QByteArray> lines() const {
        return {
            {"host", "www.site.test\tFALSE\t/\tFALSE\t" + m_expiry + "\thost\th1"},
            {"dom", ".site.test\tTRUE\t/\tFALSE\t" + m_expiry + "\tdom\td2"},
            {"hidden", "www.site.test\tFALSE\t/\tFALSE\t" + m_expiry + "\thidden\tx3"},
            {"sess", "www.site.test\tFALSE\t/\tFALSE\t0\tsess\ts4"},
            {"sec", "www.site.test\tFALSE\t/\tTRUE\t" + m_expiry + "\tsec\tv5"},
            {"other", ".other.test\tTRUE\t/\tFALSE\t" + m_expiry + "\tother\to6"},
        };
    }

    // Cookies from a real page load (host-only, domain, HttpOnly, session) and, through the cookie store,
    // a secure one (a plain-http page cannot set it) and one of another site.
    void fillJar(BrowserProfile& profile) {
        QPointer<QWebEnginePage> page = profile.createPage();
        QVERIFY(load(page, url(QStringLiteral("www.site.test"), QStringLiteral("/set"))));
        delete page.data();
        QWebEngineCookieStore* store = profile.profile()->cookieStore();
        QNetworkCookie secure("sec", "v5");
        secure.setPath(QStringLiteral("/"));
        secure.setSecure(true);
        secure.setExpirationDate(m_server.cookieExpiry());
        store->setCookie(secure, QUrl(QStringLiteral("https://www.site.test/")));
        QTRY_COMPARE(profile.cookies().cookies().size(), 5);
        QNetworkCookie other("other", "o6");
        other.setDomain(QStringLiteral(".other.test"));
        other.setPath(QStringLiteral("/"));
        other.setExpirationDate(m_server.cookieExpiry());
        store->setCookie(other);
        QTRY_COMPARE(profile.cookies().cookies().size(), 6);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_server.port() != 0);
        m_expiry = QByteArray::number(m_server.cookieExpiry().toSecsSinceEpoch());
    }

    void exportsWhatTheBrowserHolds_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QByteArrayList>("names");
        QTest::addColumn<QString>("fileName");
        const QString site = QStringLiteral("vamber-browser-cookies-www.site.test.txt");
        QTest::newRow("the page's own host")
            << url(QStringLiteral("www.site.test"), QStringLiteral("/watch?v=1"))
            << QByteArrayList{"host", "dom", "hidden", "sess", "sec"} << site;
        QTest::newRow("upper-case host, port dropped from the name")
            << QStringLiteral("https://WWW.Site.TEST:8443/")
            << QByteArrayList{"host", "dom", "hidden", "sess", "sec"} << site;
        QTest::newRow("the domain itself") << QStringLiteral("https://site.test/") << QByteArrayList{"dom"}
                                           << QStringLiteral("vamber-browser-cookies-site.test.txt");
        QTest::newRow("below a host-only cookie's host")
            << QStringLiteral("https://media.www.site.test/v.mp4") << QByteArrayList{"dom"}
            << QStringLiteral("vamber-browser-cookies-media.www.site.test.txt");
        QTest::newRow("another site") << QStringLiteral("http://cdn.other.test/") << QByteArrayList{"other"}
                                      << QStringLiteral("vamber-browser-cookies-cdn.other.test.txt");
        QTest::newRow("same ending without the dot")
            << QStringLiteral("https://evilsite.test/") << QByteArrayList{} << QString();
        QTest::newRow("no host") << QStringLiteral("www.site.test") << QByteArrayList{} << QString();
    }
    void exportsWhatTheBrowserHolds() {
        QFETCH(QString, address);
        QFETCH(QByteArrayList, names);
        QFETCH(QString, fileName);
        Fixture f;
        BrowserProfile& profile = *f.profile;
        fillJar(profile);
        const QString exports = f.path(QStringLiteral("run/vamber-browser-cookies"));
        BrowserCookies cookies(&profile, exports);

        const QString path = QCoro::waitFor(cookies.exportFor(address));
        if (names.isEmpty()) {
            QCOMPARE(path, QString());
            QVERIFY(QDir(exports).isEmpty());
            return;
        }
        QCOMPARE(path, exports + QLatin1Char('/') + fileName);
        QByteArray expected = header();
        for (const QByteArray& name : names)
            expected += lines().value(name) + '\n';
        QCOMPARE(readAll(path), expected);
        QCOMPARE(modeOf(path), mode_t(0600));
        QCOMPARE(modeOf(exports), mode_t(0700));
        // Nothing of the browser is left in the web engine's own default place.
        QVERIFY(!QFileInfo::exists(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                                   QStringLiteral("/QtWebEngine")));
    }

    void noMatchKeepsTheOlderFile() {
        Fixture f;
        BrowserProfile& profile = *f.profile;
        fillJar(profile);
        BrowserCookies cookies(&profile, f.path(QStringLiteral("exports")));
        const QString address = url(QStringLiteral("www.site.test"), QStringLiteral("/"));
        const QString path = QCoro::waitFor(cookies.exportFor(address));
        QVERIFY(!path.isEmpty());
        const QByteArray before = readAll(path);

        profile.profile()->cookieStore()->deleteAllCookies();
        QTRY_COMPARE(profile.cookies().cookies().size(), 0);
        QCOMPARE(QCoro::waitFor(cookies.exportFor(address)), QString());
        QCOMPARE(readAll(path), before);
    }

    void plantedLinkInPlaceOfTheFolderIsRefused() {
        Fixture f;
        BrowserProfile& profile = *f.profile;
        fillJar(profile);
        const QString target = f.path(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(target));
        const QString link = f.path(QStringLiteral("exports"));
        QVERIFY(QFile::link(target, link));
        BrowserCookies cookies(&profile, link);
        QCOMPARE(QCoro::waitFor(cookies.exportFor(url(QStringLiteral("www.site.test"), QStringLiteral("/")))),
                 QString());
        QVERIFY(QDir(target).isEmpty());
    }

    void refusedProfileFolderKeepsNothingButStillWorks() {
        QTemporaryDir tmp;
        const QString target = tmp.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(target));
        const QString link = tmp.filePath(QStringLiteral("browser"));
        QVERIFY(QFile::link(target, link));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("Browser data will not be kept")));
        auto profile = std::make_unique<BrowserProfile>(link);
        QVERIFY(!profile->isPersistent());
        QCOMPARE(profile->storageFolder(), QString());
        fillJar(*profile);
        BrowserCookies cookies(profile.get(), tmp.filePath(QStringLiteral("exports")));
        const QString address = url(QStringLiteral("www.site.test"), QStringLiteral("/"));
        QVERIFY(!QCoro::waitFor(cookies.exportFor(address)).isEmpty());
        QCoro::waitFor(cookies.clearAll());
        QCOMPARE(QCoro::waitFor(cookies.exportFor(address)), QString());
        profile.reset();
        QVERIFY(QDir(target).isEmpty());
    }

    // The web engine does not report the cookies it loads back from disk; the next run of the program
    // must still export them, and exactly those the browser then sends.
    void cookiesOfAnEarlierRunAreExported() {
        QTemporaryDir tmp;
        const QString root = tmp.filePath(QStringLiteral("browser"));
        const QString helper = QCoreApplication::applicationDirPath() + QStringLiteral("/web_cookie_helper");
        QVERIFY2(QFileInfo(helper).isExecutable(), qPrintable(helper));

        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(helper,
                    {QStringLiteral("load"), root,
                     url(QStringLiteral("www.site.test"), QStringLiteral("/set")), QStringLiteral("4")});
        QTRY_COMPARE_WITH_TIMEOUT(first.state(), QProcess::NotRunning, 60000);
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);

        // The browser's own copy of its cookies is as private as the exported files.
        QCOMPARE(modeOf(root + QStringLiteral("/profile-1/vamber-cookie-mirror.json")), mode_t(0600));
        QCOMPARE(modeOf(root), mode_t(0700));

        QProcess second;
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString exports = tmp.filePath(QStringLiteral("exports"));
        second.start(helper, {QStringLiteral("export"), root, exports,
                              url(QStringLiteral("www.site.test"), QStringLiteral("/watch")),
                              url(QStringLiteral("www.site.test"), QStringLiteral("/echo"))});
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 60000);
        QCOMPARE(second.exitCode(), 0);
        const QString path = QString::fromLocal8Bit(second.readAllStandardOutput()).trimmed();
        QCOMPARE(path, exports + QStringLiteral("/vamber-browser-cookies-www.site.test.txt"));
        // The session cookie ended with the first run, in the browser as in the file.
        QCOMPARE(readAll(path), header() + lines().value("host") + '\n' + lines().value("dom") + '\n' +
                                    lines().value("hidden") + '\n');

        QByteArray sent;
        for (const LocalHttpServer::Request& r : m_server.requests()) {
            if (r.path == "/echo")
                sent = r.cookie;
        }
        QByteArrayList pairs = sent.split(';');
        for (QByteArray& p : pairs)
            p = p.trimmed();
        std::sort(pairs.begin(), pairs.end());
        QCOMPARE(pairs, (QByteArrayList{"dom=d2", "hidden=x3", "host=h1"}));
    }

    void clearAllRemovesEveryKindOfSiteData() {
        Fixture f;
        BrowserProfile& profile = *f.profile;
        BrowserCookies cookies(&profile, f.path(QStringLiteral("exports")));
        fillJar(profile);
        const QString pageUrl = url(QStringLiteral("www.site.test"), QStringLiteral("/storage"));
        const QString cachedUrl = url(QStringLiteral("www.site.test"), QStringLiteral("/cached"));

        QPointer<QWebEnginePage> page = profile.createPage();
        QVERIFY(load(page, pageUrl));
        QCOMPARE(runJs(page, QStringLiteral("localStorage.setItem('k', 'kept'); localStorage.getItem('k')")),
                 QVariant(QStringLiteral("kept")));
        QCOMPARE(runAsyncJs(page,
                            QStringLiteral(
                                "const r = indexedDB.open('db', 1);"
                                "r.onupgradeneeded = () => r.result.createObjectStore('s');"
                                "r.onsuccess = () => { const t = r.result.transaction('s', 'readwrite');"
                                "  t.objectStore('s').put('v', 'k');"
                                "  t.oncomplete = () => { r.result.close(); window.__result = 'stored'; }; };"
                                "r.onerror = () => { window.__result = 'failed'; };")),
                 QVariant(QStringLiteral("stored")));
        QVERIFY(load(page, cachedUrl));
        QVERIFY(load(page, pageUrl));
        QVERIFY(load(page, cachedUrl));
        QCOMPARE(m_server.cachedHits(), 1); // the second visit came from the cache
        const QString oldFolder = profile.storageFolder();
        QVERIFY(QFileInfo::exists(oldFolder + QStringLiteral("/Local Storage")));
        QVERIFY(!QCoro::waitFor(cookies.exportFor(pageUrl)).isEmpty());

        QSignalSpy about(&profile, &BrowserProfile::aboutToRenew);
        QCoro::waitFor(cookies.clearAll());
        QCOMPARE(about.size(), 1);
        QVERIFY(page.isNull()); // no page outlives its profile
        // The old folder's data is gone, and an empty file holds its name, so that no late write of the
        // web engine can bring it back.
        const QString root = f.path(QStringLiteral("browser"));
        const QStringList afterClear = entriesOf(root);
        QCOMPARE(afterClear, (QStringList{QStringLiteral("profile-1"), QStringLiteral("profile-2")}));
        QVERIFY(QFileInfo(oldFolder).isFile());
        QCOMPARE(QFileInfo(oldFolder).size(), qint64(0));
        QVERIFY(profile.storageFolder() != oldFolder);
        QCOMPARE(profile.cookies().cookies().size(), 0);
        QCOMPARE(QCoro::waitFor(cookies.exportFor(pageUrl)), QString());

        QPointer<QWebEnginePage> fresh = profile.createPage();
        QVERIFY(load(fresh, url(QStringLiteral("www.site.test"), QStringLiteral("/echo"))));
        QCOMPARE(m_server.requests().last().cookie, QByteArray());
        QVERIFY(load(fresh, pageUrl));
        QCOMPARE(runJs(fresh, QStringLiteral("localStorage.getItem('k')")), QVariant());
        QCOMPARE(runAsyncJs(fresh, QStringLiteral(
                                       "indexedDB.databases().then(l => { window.__result = l.length; });")),
                 QVariant(0));
        QVERIFY(load(fresh, cachedUrl));
        QCOMPARE(m_server.cachedHits(), 2);
        QCOMPARE(runJs(fresh, QStringLiteral("document.title")), QVariant(QStringLiteral("cached-2")));

        // The fresh profile's cookies are followed again.
        QVERIFY(load(fresh, url(QStringLiteral("www.site.test"), QStringLiteral("/set"))));
        QTRY_COMPARE(profile.cookies().cookies().size(), 4);
        QVERIFY(!QCoro::waitFor(cookies.exportFor(pageUrl)).isEmpty());
        delete fresh.data();
        // Whatever the web engine wrote late found no folder to write into.
        QCOMPARE(entriesOf(root), afterClear);
        QCOMPARE(QFileInfo(oldFolder).size(), qint64(0));
    }

    // A new run keeps the newest generation only: the markers and the folders set aside by earlier wipes
    // go, whatever they hold.
    void leftoversOfEarlierWipesAreRemovedAtStart() {
        QTemporaryDir tmp;
        const QString root = tmp.filePath(QStringLiteral("browser"));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/profile-3/Local Storage")));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/profile-2/IndexedDB")));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/retired-profile-1/GPUCache")));
        QFile(root + QStringLiteral("/profile-1")).open(QIODevice::WriteOnly);
        QFile(root + QStringLiteral("/profile-4")).open(QIODevice::WriteOnly); // a marker is never current
        QFile(root + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);
        {
            BrowserProfile profile(root);
            QCOMPARE(profile.storageFolder(), root + QStringLiteral("/profile-3"));
            QCOMPARE(entriesOf(root),
                     (QStringList{QStringLiteral("notes.txt"), QStringLiteral("profile-3")}));
        }
        // As the fixture: the web engine lets go of the folder a little after the profile is gone.
        tmp.setAutoRemove(false);
        QVERIFY(QTest::qWaitFor([&] { return QDir(tmp.path()).removeRecursively(); }, 10000));
    }
};

int main(int argc, char** argv) {
    TestHome home;
    WebTestApp app(argc, argv);
    TestBrowserCookies test;
    WebTestApp::routeAllTrafficTo(test.port());
    return QTest::qExec(&test, argc, argv);
}
#include "tst_browsercookies.moc"
