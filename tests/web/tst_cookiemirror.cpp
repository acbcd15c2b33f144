#include "CookieMirror.h"
#include "PrivateFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

QJsonObject saved(const QByteArray& name, const QVariant& expiresMs,
                  const QString& domain = QStringLiteral(".a.test")) {
    QJsonObject o;
    o.insert(QStringLiteral("name"), QString::fromLatin1(name.toBase64()));
    o.insert(QStringLiteral("value"), QString::fromLatin1(QByteArray("v").toBase64()));
    o.insert(QStringLiteral("domain"), domain);
    o.insert(QStringLiteral("path"), QStringLiteral("/"));
    o.insert(QStringLiteral("expiresMs"), QJsonValue::fromVariant(expiresMs));
    o.insert(QStringLiteral("secure"), false);
    o.insert(QStringLiteral("httpOnly"), true);
    return o;
}

QByteArray jar(const QJsonArray& cookies) {
    QJsonObject root;
    root.insert(QStringLiteral("cookies"), cookies);
    return QJsonDocument(root).toJson();
}

QByteArrayList names(const QList<QNetworkCookie>& cookies) {
    QByteArrayList out;
    for (const QNetworkCookie& c : cookies)
        out.append(c.name());
    return out;
}

} // namespace

// What an earlier run saved is read back the way the web engine reads its own jar at start.
class TestCookieMirror : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsBackWhatTheBrowserStillHolds_data() {
        QTest::addColumn<bool>("keepSession");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::newRow("session cookies end with the run") << false << QByteArrayList{"alive", "bytes\xff"};
        QTest::newRow("kept when the profile keeps them")
            << true << QByteArrayList{"alive", "session", "bytes\xff"};
    }
    void readsBackWhatTheBrowserStillHolds() {
        QFETCH(bool, keepSession);
        QFETCH(QByteArrayList, expected);
        QTemporaryDir tmp;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        {
            std::optional<PrivateFolder> folder = PrivateFolder::open(tmp.path());
            QVERIFY(folder);
            QVERIFY(
                folder->writeFile(QString::fromLatin1(CookieMirror::fileName),
                                  jar({saved("alive", now + 3600000), saved("expired", now - 1000),
                                       saved("session", QVariant()), saved("bytes\xff", now + 3600000)})));
        }
        CookieMirror mirror(nullptr, PrivateFolder::open(tmp.path()), keepSession);
        const QList<QNetworkCookie> cookies = mirror.cookies();
        QCOMPARE(names(cookies), expected);
        QVERIFY(cookies.first().isHttpOnly());
        QCOMPARE(cookies.first().domain(), QStringLiteral(".a.test"));
        QCOMPARE(cookies.first().expirationDate().toMSecsSinceEpoch(), now + 3600000);
    }

    void unreadableCopyIsIgnored_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not json") << QByteArray("{cookies: [");
        QTest::newRow("wrong shape") << QByteArray("[1, 2]");
        QTest::newRow("field of the wrong type") << QByteArray(R"({"cookies": [{"name": 1}]})");
    }
    void unreadableCopyIsIgnored() {
        QFETCH(QByteArray, content);
        QTemporaryDir tmp;
        QVERIFY(
            PrivateFolder::open(tmp.path())->writeFile(QString::fromLatin1(CookieMirror::fileName), content));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("unreadable browser cookie list")));
        CookieMirror mirror(nullptr, PrivateFolder::open(tmp.path()), false);
        QVERIFY(mirror.cookies().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCookieMirror)
#include "tst_cookiemirror.moc"
