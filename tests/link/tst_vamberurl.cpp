#include "VamberURL.h"

#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;
using Target = VamberURL::Target;

Q_DECLARE_METATYPE(std::optional<Target>)

namespace {
std::optional<Target> target(const QString& address, const QString& quality = {}) {
    return Target{address, quality};
}

char* describe(const std::optional<Target>& t) {
    if (!t)
        return qstrdup("nothing");
    const QString quality = t->quality.isNull() ? u"(none)"_s : u'"' + t->quality + u'"';
    return qstrdup(qPrintable(u"{address \""_s + t->address + u"\", quality "_s + quality + u'}'));
}
} // namespace

// Lets QCOMPARE show both sides.
namespace QTest {
template <> char* toString(const std::optional<Target>& t) {
    return describe(t);
}
} // namespace QTest

class TestVamberURL : public QObject {
    Q_OBJECT
private slots:
    // Writer and reader together: the link written for an address and a quality, and what reading its
    // text gives back.
    void roundTrip_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("quality");
        QTest::addColumn<QString>("link");
        QTest::addColumn<std::optional<Target>>("expected");
        const QString none;
        auto row = [](const char* name, const QString& address, const QString& quality, const QString& link,
                      const std::optional<Target>& expected) {
            QTest::newRow(name) << address << quality << link << expected;
        };
        row("plain https", u"https://example.com/watch?v=1"_s, none,
            u"vamber://download?url=https%3A%2F%2Fexample.com%2Fwatch%3Fv%3D1"_s,
            target(u"https://example.com/watch?v=1"_s));
        row("quality second", u"https://a.b/c"_s, u"audio"_s,
            u"vamber://download?url=https%3A%2F%2Fa.b%2Fc&quality=audio"_s,
            target(u"https://a.b/c"_s, u"audio"_s));
        row("empty quality writes no item", u"https://a.b/c"_s, u""_s,
            u"vamber://download?url=https%3A%2F%2Fa.b%2Fc"_s, target(u"https://a.b/c"_s));
        row("quality not trimmed", u"x"_s, u" 720p "_s, u"vamber://download?url=x&quality=%20720p%20"_s,
            target(u"x"_s, u" 720p "_s));
        row("blanks and line break around the address", u" \t https://a.b/c \r\n"_s, none,
            u"vamber://download?url=https%3A%2F%2Fa.b%2Fc"_s, target(u"https://a.b/c"_s));
        row("query delimiters", u"https://a.b/?x=1&y=2?z#frag"_s, u"10&80=p"_s,
            u"vamber://download?url=https%3A%2F%2Fa.b%2F%3Fx%3D1%26y%3D2%3Fz%23frag&quality=10%2680%3Dp"_s,
            target(u"https://a.b/?x=1&y=2?z#frag"_s, u"10&80=p"_s));
        row("plus stays a plus", u"https://a.b/?q=a+b"_s, u"+"_s,
            u"vamber://download?url=https%3A%2F%2Fa.b%2F%3Fq%3Da%2Bb&quality=%2B"_s,
            target(u"https://a.b/?q=a+b"_s, u"+"_s));
        row("percent escapes stay as written", u"https://a.b/a%20b%25c%zz%"_s, none,
            u"vamber://download?url=https%3A%2F%2Fa.b%2Fa%2520b%2525c%25zz%25"_s,
            target(u"https://a.b/a%20b%25c%zz%"_s));
        row("inner blanks", u"https://a.b/a b\tc"_s, u"a b"_s,
            u"vamber://download?url=https%3A%2F%2Fa.b%2Fa%20b%09c&quality=a%20b"_s,
            target(u"https://a.b/a b\tc"_s, u"a b"_s));
        row("non-ASCII", u"https://exämple.jp/パス?q=ü😀"_s, u"é"_s,
            u"vamber://"
            u"download?url=https%3A%2F%2Fex%C3%A4mple.jp%2F%E3%83%91%E3%82%B9%3Fq%3D%C3%BC%F0%9F%98%80"
            "&quality=%C3%A9"_s,
            target(u"https://exämple.jp/パス?q=ü😀"_s, u"é"_s));
        row("not a web address: carried anyway", u"file:///etc/passwd"_s, none,
            u"vamber://download?url=file%3A%2F%2F%2Fetc%2Fpasswd"_s, target(u"file:///etc/passwd"_s));
        row("empty address", u""_s, u"audio"_s, none, std::nullopt);
        row("blank address", u" \t\r\n\u00A0\u2003"_s, none, none, std::nullopt);
    }
    void roundTrip() {
        QFETCH(QString, address);
        QFETCH(QString, quality);
        QFETCH(QString, link);
        QFETCH(std::optional<Target>, expected);
        const std::optional<QUrl> url = VamberURL::deepLink(address, quality);
        QCOMPARE(url.has_value(), !link.isNull());
        if (!url)
            return;
        QVERIFY(url->isValid());
        QCOMPARE(url->toString(QUrl::FullyEncoded), link);
        QCOMPARE(VamberURL::parse(link), expected);
        // The same link as a desktop hands it over.
        QCOMPARE(VamberURL::parse(QString::fromLatin1(url->toEncoded())), expected);
    }

    // Links and addresses the application may be asked to open.
    void parse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<Target>>("expected");
        const std::optional<Target> nothing;
        auto row = [](const char* name, const QString& text, const std::optional<Target>& expected) {
            QTest::newRow(name) << text << expected;
        };
        row("scheme and host in capitals", u"VAMBER://DownLoad?url=x"_s, target(u"x"_s));
        row("quality before url", u"vamber://download?quality=720p&url=x"_s, target(u"x"_s, u"720p"_s));
        row("quality with equals sign and nothing after", u"vamber://download?url=x&quality="_s,
            target(u"x"_s, u""_s));
        row("quality without equals sign", u"vamber://download?url=x&quality"_s, target(u"x"_s));
        row("first quality counts", u"vamber://download?url=x&quality=a&quality=b"_s, target(u"x"_s, u"a"_s));
        row("second url item is ignored", u"vamber://download?url=a&url=b"_s, target(u"a"_s));
        row("empty first url item is not overridden", u"vamber://download?url=&url=b"_s, nothing);
        row("url item without value", u"vamber://download?url&quality=x"_s, nothing);
        row("empty url value", u"vamber://download?url="_s, nothing);
        row("no query", u"vamber://download"_s, nothing);
        row("empty query", u"vamber://download?"_s, nothing);
        row("query names are case-sensitive", u"vamber://download?URL=x"_s, nothing);
        row("encoded query name", u"vamber://download?%75rl=x"_s, target(u"x"_s));
        row("plus is not a blank", u"vamber://download?url=a+b"_s, target(u"a+b"_s));
        row("fragment ends the query", u"vamber://download?url=a#b&quality=c"_s, target(u"a"_s));
        row("address not validated", u"vamber://download?url=not%20a%20link"_s, target(u"not a link"_s));
        row("address not trimmed", u"vamber://download?url=%20x%0A"_s, target(u" x\n"_s));
        row("bytes that are not UTF-8", u"vamber://download?url=%FF%FE"_s, nothing);
        row("cut UTF-8 sequence", u"vamber://download?url=a%C3"_s, nothing);
        row("quality that is not UTF-8", u"vamber://download?url=x&quality=%C3"_s, target(u"x"_s));
        row("other host", u"vamber://open?url=x"_s, nothing);
        row("no host", u"vamber:download?url=x"_s, nothing);
        row("empty host", u"vamber:///download?url=x"_s, nothing);
        row("port and path are not looked at", u"vamber://download:8/p?url=x"_s, target(u"x"_s));
        row("https as given", u"https://Example.COM/%7euser/a%2Fb?q=%41#Top"_s,
            target(u"https://Example.COM/%7euser/a%2Fb?q=%41#Top"_s));
        row("HTTP as given", u"HTTP://example.com"_s, target(u"HTTP://example.com"_s));
        row("http with a url item is not a deep link", u"http://download?url=x"_s,
            target(u"http://download?url=x"_s));
        row("file", u"file:///tmp/a.mp4"_s, nothing);
        row("mail", u"mailto:someone@example.com"_s, nothing);
        row("ftp", u"ftp://example.com/a"_s, nothing);
        row("javascript", u"javascript:alert(1)"_s, nothing);
        row("no scheme", u"example.com/watch"_s, nothing);
        row("scheme-relative", u"//download?url=x"_s, nothing);
        row("empty text", u""_s, nothing);
        row("blank around a link", u" https://example.com"_s, nothing);
        row("line break after a link", u"vamber://download?url=x\n"_s, nothing);
        row("invalid host", u"https://exa mple.com/"_s, nothing);
    }
    void parse() {
        QFETCH(QString, text);
        QFETCH(std::optional<Target>, expected);
        QCOMPARE(VamberURL::parse(text), expected);
    }

    void targetEquality() {
        QVERIFY((Target{u"a"_s, QString()} == Target{u"a"_s, QString()}));
        QVERIFY((Target{u"a"_s, u""_s} == Target{u"a"_s, u""_s}));
        QVERIFY(!(Target{u"a"_s, QString()} == Target{u"a"_s, u""_s}));
        QVERIFY(!(Target{u"a"_s, u"x"_s} == Target{u"a"_s, u"y"_s}));
        QVERIFY(!(Target{u"a"_s, u"x"_s} == Target{u"b"_s, u"x"_s}));
    }
};

QTEST_GUILESS_MAIN(TestVamberURL)
#include "tst_vamberurl.moc"
