// Nothing of the browser is ever written outside its private folder: every folder of a home of its own is
// watched (inotify) while a profile is made, browses, is wiped and goes, and the web engine has let go of
// its files; the only thing ever created is the private folder itself.
#include "BrowserProfile.h"
#include "LocalHttpServer.h"
#include "WebTestApp.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QDirIterator>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

bool load(QWebEnginePage* page, const QString& url) {
    QSignalSpy finished(page, &QWebEnginePage::loadFinished);
    page->load(QUrl(url));
    return finished.wait(30000) && finished.first().first().toBool();
}

bool runJs(QWebEnginePage* page, const QString& script) {
    bool done = false;
    page->runJavaScript(script, [&](const QVariant&) { done = true; });
    return QTest::qWaitFor([&] { return done; }, 10000);
}

// Any file of this process open below `folder`.
bool holdsFilesUnder(const QString& folder) {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        if (QFileInfo(fds.filePath(fd)).symLinkTarget().startsWith(folder + QLatin1Char('/')))
            return true;
    }
    return false;
}

// Records what is created in a few folders (not below them).
class CreationWatch {
public:
    CreationWatch() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~CreationWatch() { ::close(m_fd); }
    bool watch(const QString& folder) {
        const int wd =
            inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_CREATE | IN_MOVED_TO);
        if (wd < 0)
            return false;
        m_folders.insert(wd, folder);
        return true;
    }
    // Paths created since, in order.
    QStringList created() {
        alignas(inotify_event) char buffer[65536];
        ssize_t n = 0;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                m_created << m_folders.value(event->wd) + QLatin1Char('/') +
                                 QFile::decodeName(event->len ? event->name : "");
                p += sizeof(inotify_event) + event->len;
            }
        }
        return m_created;
    }

private:
    int m_fd;
    QHash<int, QString> m_folders;
    QStringList m_created;
};

} // namespace

class TestBrowserFootprint : public QObject {
    Q_OBJECT
public:
    explicit TestBrowserFootprint(QString base) : m_base(std::move(base)) {}
    quint16 port() const { return m_server.port(); }

private:
    QString m_base;
    LocalHttpServer m_server;

private Q_SLOTS:
    void nothingOutsideThePrivateFolder() {
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(appData.startsWith(m_base));
        QVERIFY(QDir().mkpath(appData));
        const QString root = BrowserProfile::defaultRootFolder();
        QVERIFY(root.startsWith(appData + QLatin1Char('/')));
        CreationWatch watch;
        // The home and every folder the web engine's defaults lie in (data, cache, config) up to the
        // application's own data folder, which holds the private folder.
        QStringList watched{m_base};
        for (const char* sub : {"home", "data", "cache", "config"})
            watched << m_base + QLatin1Char('/') + sub;
        for (QString folder = appData; folder.startsWith(data); folder = QFileInfo(folder).path())
            watched << folder;
        watched.removeDuplicates();
        for (const QString& folder : std::as_const(watched))
            QVERIFY2(watch.watch(folder), qPrintable(folder));

        auto profile = std::make_unique<BrowserProfile>();
        QVERIFY(profile->isPersistent());
        const QString page = m_server.url(QStringLiteral("www.site.test"), QStringLiteral("/set"));
        QPointer<QWebEnginePage> first = profile->createPage();
        QVERIFY(load(first, page));
        QVERIFY(runJs(first, QStringLiteral("localStorage.setItem('k', 'v')")));
        QVERIFY(load(first, m_server.url(QStringLiteral("www.site.test"), QStringLiteral("/cached"))));
        QVERIFY(QCoro::waitFor(profile->renew()));
        QPointer<QWebEnginePage> second = profile->createPage();
        QVERIFY(load(second, page));
        QVERIFY(runJs(second, QStringLiteral("localStorage.setItem('k', 'w')")));
        delete second.data();
        profile.reset();
        // The web engine closes its files a little after the profile is gone.
        QVERIFY(QTest::qWaitFor([&] { return !holdsFilesUnder(m_base); }, 20000));

        const QStringList created = watch.created();
        QCOMPARE(created, QStringList{root});
        // And nothing lies anywhere else in the home.
        QDirIterator all(m_base, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
        while (all.hasNext()) {
            const QString path = all.next();
            const bool allowed = path.startsWith(root) || watched.contains(path) ||
                                 path.startsWith(m_base + QStringLiteral("/tmp"));
            QVERIFY2(allowed, qPrintable(path));
        }
    }
};

int main(int argc, char** argv) {
    // A home of its own: the web engine's default folders all lie in it.
    QTemporaryDir base;
    for (const char* sub : {"home", "data", "cache", "config", "tmp"})
        QDir().mkpath(base.filePath(QLatin1String(sub)));
    qputenv("HOME", QFile::encodeName(base.filePath("home")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(base.filePath("data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(base.filePath("cache")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base.filePath("config")));
    qputenv("TMPDIR", QFile::encodeName(base.filePath("tmp")));
    WebTestApp app(argc, argv);
    TestBrowserFootprint test(base.path());
    WebTestApp::routeAllTrafficTo(test.port());
    return QTest::qExec(&test, argc, argv);
}
#include "tst_browserfootprint.moc"
