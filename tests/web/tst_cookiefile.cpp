#include "BrowserCookies.h"
#include "NetscapeCookieFile.h"
#include "PrivateFolder.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include "WebFileHelpers.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeText(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QNetworkCookie cookie(const QByteArray& name, const QByteArray& value, const QString& domain,
                      const QString& path, const QDateTime& expiry = {}, bool secure = false) {
    QNetworkCookie c(name, value);
    c.setDomain(domain);
    c.setPath(path);
    if (expiry.isValid())
        c.setExpirationDate(expiry);
    c.setSecure(secure);
    return c;
}

// Restores the process umask when a test ends, whatever it checked.
struct UmaskGuard {
    explicit UmaskGuard(mode_t m) : old(::umask(m)) {}
    ~UmaskGuard() { ::umask(old); }
    mode_t old;
};

} // namespace

class TestCookieFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void domainMatchesHost_data() {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("matches");
        QTest::newRow("dot, the domain itself") << ".example.com"
                                                << "example.com" << true;
        QTest::newRow("dot, sub-domain") << ".example.com"
                                         << "www.example.com" << true;
        QTest::newRow("dot, deep sub-domain") << ".example.com"
                                              << "a.b.example.com" << true;
        QTest::newRow("dot, same ending without dot") << ".example.com"
                                                      << "badexample.com" << false;
        QTest::newRow("dot, parent of the domain") << ".www.example.com"
                                                   << "example.com" << false;
        QTest::newRow("dot, other host") << ".example.com"
                                         << "example.org" << false;
        QTest::newRow("host-only, same host") << "www.example.com"
                                              << "www.example.com" << true;
        QTest::newRow("host-only, sub-domain") << "example.com"
                                               << "www.example.com" << false;
        QTest::newRow("host-only, parent") << "www.example.com"
                                           << "example.com" << false;
        QTest::newRow("letter case ignored") << ".Example.COM"
                                             << "WWW.example.com" << true;
        QTest::newRow("host-only letter case") << "WWW.Example.com"
                                               << "www.example.com" << true;
        QTest::newRow("ip address") << "127.0.0.1"
                                    << "127.0.0.1" << true;
        QTest::newRow("empty domain") << ""
                                      << "example.com" << false;
        QTest::newRow("lone dot") << "."
                                  << "example.com" << false;
    }
    void domainMatchesHost() {
        QFETCH(QString, domain);
        QFETCH(QString, host);
        QFETCH(bool, matches);
        QCOMPARE(NetscapeCookieFile::domainMatchesHost(domain, host), matches);
    }

    void cookieHost_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("host");
        QTest::newRow("port and case") << "https://WWW.Example.COM:8443/watch?v=1"
                                       << "www.example.com";
        QTest::newRow("bare word") << "example"
                                   << "";
        QTest::newRow("no host") << "mailto:someone@example.com"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("does not parse") << "http://exa mple.com/"
                                        << "";
        QTest::newRow("international name in cookie spelling") << "https://bücher.de/x"
                                                               << "xn--bcher-kva.de";
        QTest::newRow("ipv6 in brackets") << "http://[::1]:8080/"
                                          << "[::1]";
    }
    void cookieHost() {
        QFETCH(QString, address);
        QFETCH(QString, host);
        QCOMPARE(NetscapeCookieFile::cookieHost(address), host);
    }

    void fileNameForHost_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "www.example.com"
                               << "vamber-browser-cookies-www.example.com.txt";
        QTest::newRow("upper case") << "WWW.Example.com"
                                    << "vamber-browser-cookies-www.example.com.txt";
        QTest::newRow("dash kept") << "my-site.org"
                                   << "vamber-browser-cookies-my-site.org.txt";
        QTest::newRow("unicode letters kept") << "bücher.de"
                                              << "vamber-browser-cookies-bücher.de.txt";
        QTest::newRow("other numbers kept") << "x²y.de"
                                            << "vamber-browser-cookies-x²y.de.txt";
        QTest::newRow("ipv6") << "::1"
                              << "vamber-browser-cookies-__1.txt";
        QTest::newRow("underscore and slash") << "a_b/c"
                                              << "vamber-browser-cookies-a_b_c.txt";
        QTest::newRow("one _ per character beyond the BMP")
            << QString::fromUtf8("a\U0001F600b") << "vamber-browser-cookies-a_b.txt";
    }
    void fileNameForHost() {
        QFETCH(QString, host);
        QFETCH(QString, name);
        QCOMPARE(NetscapeCookieFile::fileNameForHost(host), name);
    }

    void line_data() {
        QTest::addColumn<QNetworkCookie>("cookie");
        QTest::addColumn<QByteArray>("line");
        const QDateTime whole = QDateTime::fromSecsSinceEpoch(1798761600, QTimeZone::utc());
        QTest::newRow("domain cookie") << cookie("sid", "abc", ".example.com", "/", whole)
                                       << QByteArray(".example.com\tTRUE\t/\tFALSE\t1798761600\tsid\tabc");
        QTest::newRow("host-only, secure")
            << cookie("k", "v", "www.example.com", "/a", whole, true)
            << QByteArray("www.example.com\tFALSE\t/a\tTRUE\t1798761600\tk\tv");
        QTest::newRow("session cookie")
            << cookie("s", "1", "example.com", "/") << QByteArray("example.com\tFALSE\t/\tFALSE\t0\ts\t1");
        QTest::newRow("empty path") << cookie("p", "1", "example.com", "")
                                    << QByteArray("example.com\tFALSE\t/\tFALSE\t0\tp\t1");
        QTest::newRow("fraction cut, not rounded")
            << cookie("f", "1", "example.com", "/",
                      QDateTime::fromMSecsSinceEpoch(1798761600999, QTimeZone::utc()))
            << QByteArray("example.com\tFALSE\t/\tFALSE\t1798761600\tf\t1");
        QTest::newRow("before 1970 cut toward zero")
            << cookie("b", "1", "example.com", "/", QDateTime::fromMSecsSinceEpoch(-1500, QTimeZone::utc()))
            << QByteArray("example.com\tFALSE\t/\tFALSE\t-1\tb\t1");
        QTest::newRow("domain letters as stored, value unescaped")
            << cookie("n", "a b;c=\"d\"", ".Example.COM", "/", whole)
            << QByteArray(".Example.COM\tTRUE\t/\tFALSE\t1798761600\tn\ta b;c=\"d\"");
    }
    void line() {
        QFETCH(QNetworkCookie, cookie);
        QFETCH(QByteArray, line);
        QCOMPARE(NetscapeCookieFile::line(cookie), line);
    }

    void wholeFile() {
        const QList<QNetworkCookie> cookies{cookie("a", "1", ".example.com", "/"),
                                            cookie("a", "2", "www.example.com", "/")};
        QCOMPARE(NetscapeCookieFile::text(cookies),
                 QByteArray("# Netscape HTTP Cookie File\n"
                            "# Ecrit par le navigateur integre. Local a cet ordinateur.\n"
                            ".example.com\tTRUE\t/\tFALSE\t0\ta\t1\n"
                            "www.example.com\tFALSE\t/\tFALSE\t0\ta\t2\n"));
    }

    void folderAndFileAreOwnerOnlyWhateverTheUmask() {
        UmaskGuard guard(0);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("a/b/private"));
        const std::optional<PrivateFolder> folder = PrivateFolder::open(path);
        QVERIFY(folder);
        QCOMPARE(modeOf(path), mode_t(0700));
        QVERIFY(folder->writeFile(QStringLiteral("f.txt"), "one"));
        QCOMPARE(modeOf(folder->filePath(QStringLiteral("f.txt"))), mode_t(0600));
        QVERIFY(folder->writeFile(QStringLiteral("f.txt"), "two"));
        QCOMPARE(readAll(folder->filePath(QStringLiteral("f.txt"))), QByteArray("two"));
        QCOMPARE(modeOf(folder->filePath(QStringLiteral("f.txt"))), mode_t(0600));
        // No temporary file is left behind.
        QCOMPARE(folder->entries(), QStringList{QStringLiteral("f.txt")});
        QVERIFY(!folder->writeFile(QStringLiteral("../escape"), "x"));
        QVERIFY(!QFile::exists(tmp.filePath(QStringLiteral("a/b/escape"))));
    }

    void openFolderOfOursThatOthersCanEnterIsClosed() {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("open"));
        QVERIFY(QDir().mkpath(path));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0777) == 0);
        QVERIFY(PrivateFolder::open(path));
        QCOMPARE(modeOf(path), mode_t(0700));
    }

    void refusedFolders() {
        QTemporaryDir tmp;
        const QString real = tmp.filePath(QStringLiteral("real"));
        QVERIFY(QDir().mkpath(real));
        const QString link = tmp.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(real, link));
        QString error;
        QVERIFY(!PrivateFolder::open(link, &error));
        QVERIFY2(error.contains(QStringLiteral("refused")), qPrintable(error));

        const QString file = tmp.filePath(QStringLiteral("file"));
        writeText(file, "x");
        QVERIFY(!PrivateFolder::open(file));

        const std::optional<PrivateFolder> parent = PrivateFolder::open(real);
        QVERIFY(parent);
        QVERIFY(QFile::link(real, tmp.filePath(QStringLiteral("real/sublink"))));
        QVERIFY(!parent->subFolder(QStringLiteral("sublink")));

        if (::geteuid() != 0)
            return; // handing a folder to another user needs root
        const QString foreign = tmp.filePath(QStringLiteral("foreign"));
        QVERIFY(QDir().mkpath(foreign));
        QVERIFY(::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0);
        QVERIFY(!PrivateFolder::open(foreign, &error));
        QVERIFY2(error.contains(QStringLiteral("another user")), qPrintable(error));
    }

    void writingOverASymbolicLinkReplacesTheLinkNotItsTarget() {
        QTemporaryDir tmp;
        const std::optional<PrivateFolder> folder = PrivateFolder::open(tmp.filePath(QStringLiteral("p")));
        QVERIFY(folder);
        const QString victim = tmp.filePath(QStringLiteral("victim"));
        writeText(victim, "keep");
        QVERIFY(QFile::link(victim, folder->filePath(QStringLiteral("f.txt"))));
        QVERIFY(folder->writeFile(QStringLiteral("f.txt"), "new"));
        QCOMPARE(readAll(victim), QByteArray("keep"));
        QCOMPARE(readAll(folder->filePath(QStringLiteral("f.txt"))), QByteArray("new"));
        QVERIFY(!QFileInfo(folder->filePath(QStringLiteral("f.txt"))).isSymLink());
    }

    void discardExportsRemovesOnlyOurFiles() {
        QTemporaryDir tmp;
        const QString dir = tmp.filePath(QStringLiteral("exports"));
        QVERIFY(PrivateFolder::open(dir));
        const QString outside = tmp.filePath(QStringLiteral("vamber-browser-cookies-outside.txt"));
        writeText(outside, "x");
        writeText(dir + QStringLiteral("/vamber-browser-cookies-a.txt"), "x");
        writeText(dir + QStringLiteral("/.vamber-browser-cookies-hidden.txt"), "x");
        writeText(dir + QStringLiteral("/vamber-browser-cookies-b.txt.tmp-12ab"), "x");
        writeText(dir + QStringLiteral("/notes.txt"), "x");
        writeText(dir + QStringLiteral("/vamber-browser-cookie.txt"), "x");
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/vamber-browser-cookies-folder")));
        QVERIFY(QFile::link(outside, dir + QStringLiteral("/vamber-browser-cookies-link.txt")));

        BrowserCookies cookies(nullptr, dir);
        cookies.discardExports();
        QStringList left =
            QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        left.sort();
        QCOMPARE(left, (QStringList{QStringLiteral(".vamber-browser-cookies-hidden.txt"),
                                    QStringLiteral("notes.txt"), QStringLiteral("vamber-browser-cookie.txt"),
                                    QStringLiteral("vamber-browser-cookies-folder")}));
        QVERIFY(QFile::exists(outside)); // the link went, not what it pointed to
    }

    void discardExportsLeavesAPlantedLinkAndItsTargetAlone() {
        QTemporaryDir tmp;
        const QString target = tmp.filePath(QStringLiteral("target"));
        QVERIFY(QDir().mkpath(target));
        writeText(target + QStringLiteral("/vamber-browser-cookies-x.txt"), "x");
        const QString link = tmp.filePath(QStringLiteral("exports"));
        QVERIFY(QFile::link(target, link));
        BrowserCookies cookies(nullptr, link);
        cookies.discardExports();
        QVERIFY(QFile::exists(target + QStringLiteral("/vamber-browser-cookies-x.txt")));
        QVERIFY(QFileInfo(link).isSymLink());
        // A missing folder is not created just to be emptied.
        BrowserCookies missing(nullptr, tmp.filePath(QStringLiteral("missing")));
        missing.discardExports();
        QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("missing"))));
    }

    void exportWithoutHostReturnsEmpty() {
        QTemporaryDir tmp;
        BrowserCookies cookies(nullptr, tmp.filePath(QStringLiteral("exports")));
        QCOMPARE(QCoro::waitFor(cookies.exportFor(QStringLiteral("no host here"))), QString());
        QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("exports"))));
    }

    void defaultExportFolderIsInTheRuntimeFolder() {
        QTemporaryDir runtime;
        QVERIFY(::chmod(QFile::encodeName(runtime.path()).constData(), 0700) == 0);
        const bool wasSet = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        const QByteArray old = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString folder = BrowserCookies::defaultExportFolder();
        if (wasSet)
            qputenv("XDG_RUNTIME_DIR", old);
        else
            qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(folder, runtime.path() + QStringLiteral("/vamber-browser-cookies"));
    }
};

QTEST_GUILESS_MAIN(TestCookieFile)
#include "tst_cookiefile.moc"
