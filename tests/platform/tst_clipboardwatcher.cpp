#include "ClipboardWatcher.h"
#include "FakeClipboardSource.h"

#include <QTest>

namespace {

// One step of a clipboard script: copy a text, clear the clipboard, mark it seen, or ask for a new link
// and expect an answer.
struct Step {
    enum Op { Copy, Clear, MarkSeen, NewLink } op;
    QString text; // Copy: what is copied; NewLink: the expected link, empty for none
};

Step copy(const QString& text) {
    return {Step::Copy, text};
}
Step clear() {
    return {Step::Clear, {}};
}
Step markSeen() {
    return {Step::MarkSeen, {}};
}
Step offers(const QString& link) {
    return {Step::NewLink, link};
}
Step offersNothing() {
    return {Step::NewLink, {}};
}

const QString A = QStringLiteral("https://a.example/watch?v=1");
const QString B = QStringLiteral("http://b.example/clip");

QString repeated(const QString& unit, int times) {
    QString s;
    for (int i = 0; i < times; ++i)
        s += unit;
    return s;
}

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestClipboardWatcher : public QObject {
    Q_OBJECT

    FakeClipboardSource clipboard;

private Q_SLOTS:
    void init() {
        clipboard = FakeClipboardSource();
        ClipboardWatcher::setSource(&clipboard);
    }
    void cleanupTestCase() { ClipboardWatcher::setSource(nullptr); }

    void script_data() {
        QTest::addColumn<QList<Step>>("steps");
        QTest::newRow("content present at first use is never offered")
            << QList<Step>{copy(A), offersNothing(), offersNothing(), copy(B), offers(B)};
        QTest::newRow("link present at first use stays refused when copied again")
            << QList<Step>{copy(A), offersNothing(), copy(A), offers(A)};
        QTest::newRow("same link not offered twice")
            << QList<Step>{offersNothing(), copy(A), offers(A), offersNothing(), copy(A),
                           offersNothing(), copy(B), offers(B), copy(A),         offers(A)};
        QTest::newRow("plain text in between keeps the last offered link")
            << QList<Step>{offersNothing(), copy(A), offers(A),       copy(QStringLiteral("hello there")),
                           offersNothing(), copy(A), offersNothing(), copy(B),
                           offers(B)};
        QTest::newRow("an emptied clipboard keeps the last offered link") << QList<Step>{
            offersNothing(), copy(A), offers(A), clear(), offersNothing(), copy(A), offersNothing()};
        QTest::newRow("markSeen after an enqueue")
            << QList<Step>{offersNothing(), copy(A),         markSeen(), offersNothing(),
                           copy(A),         offersNothing(), copy(B),    offers(B)};
        QTest::newRow("markSeen before the first use")
            << QList<Step>{copy(A), markSeen(), offersNothing(), copy(B), offers(B)};
        QTest::newRow("markSeen over plain text keeps the last offered link")
            << QList<Step>{offersNothing(), copy(A), offers(A),      copy(QStringLiteral("note")),
                           markSeen(),      copy(A), offersNothing()};
        QTest::newRow("offered link is trimmed")
            << QList<Step>{offersNothing(), copy(QStringLiteral("  ") + A + QStringLiteral("\n")), offers(A),
                           copy(A), offersNothing()};
    }
    void script() {
        QFETCH(QList<Step>, steps);
        for (int i = 0; i < steps.size(); ++i) {
            const Step& step = steps[i];
            switch (step.op) {
            case Step::Copy:
                clipboard.copy(step.text);
                break;
            case Step::Clear:
                clipboard.clear();
                break;
            case Step::MarkSeen:
                ClipboardWatcher::markSeen();
                break;
            case Step::NewLink: {
                const auto link = ClipboardWatcher::newLink();
                const QString got = link ? *link : QString();
                if (got != step.text)
                    QFAIL(qPrintable(
                        QStringLiteral("step %1: got \"%2\", expected \"%3\"").arg(i).arg(got, step.text)));
                break;
            }
            }
        }
    }

    void currentLinkIgnoresWhatWasOffered() {
        clipboard.copy(A);
        QVERIFY(!ClipboardWatcher::newLink());
        ClipboardWatcher::markSeen();
        QCOMPARE(ClipboardWatcher::currentLink(), std::optional<QString>(A));
    }

    void resetStartsAfresh() {
        QVERIFY(!ClipboardWatcher::newLink());
        clipboard.copy(A);
        QCOMPARE(ClipboardWatcher::newLink(), std::optional<QString>(A));
        ClipboardWatcher::reset();
        clipboard.copy(B);
        QVERIFY(!ClipboardWatcher::newLink()); // first use again: the present content is taken as seen
        clipboard.copy(A);
        QCOMPARE(ClipboardWatcher::newLink(), std::optional<QString>(A));
    }

    void linkIn_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("link"); // empty: none

        const QString prefix = QStringLiteral("https://e.example/");
        // "e" with a combining acute accent: two UTF-16 units, one user-visible character.
        const QString accented = QStringLiteral("e\u0301");

        QTest::newRow("https with blanks around")
            << QStringLiteral("\t  https://x.example/a \r\n") << QStringLiteral("https://x.example/a");
        QTest::newRow("http") << QStringLiteral("http://x.example") << QStringLiteral("http://x.example");
        QTest::newRow("scheme in capitals") << QStringLiteral("HTTPS://x.example") << QString();
        QTest::newRow("other scheme") << QStringLiteral("ftp://x.example/f") << QString();
        QTest::newRow("no scheme") << QStringLiteral("x.example/watch") << QString();
        QTest::newRow("space inside") << QStringLiteral("https://x.example/a b") << QString();
        QTest::newRow("only blanks") << QStringLiteral(" \n ") << QString();
        QTest::newRow("not a valid URL") << QStringLiteral("https://x.example:port/") << QString();
        QTest::newRow("bad escape") << QStringLiteral("https://x.example/%zz") << QString();
        QTest::newRow("2047 characters") << prefix + QString(2047 - prefix.size(), QLatin1Char('a'))
                                         << prefix + QString(2047 - prefix.size(), QLatin1Char('a'));
        QTest::newRow("2048 characters")
            << prefix + QString(2048 - prefix.size(), QLatin1Char('a')) << QString();
        QTest::newRow("2047 user-visible characters in 4000 units")
            << prefix + repeated(accented, 2047 - prefix.size())
            << prefix + repeated(accented, 2047 - prefix.size());
        QTest::newRow("2048 user-visible characters")
            << prefix + repeated(accented, 2048 - prefix.size()) << QString();
    }
    void linkIn() {
        QFETCH(QString, text);
        QFETCH(QString, link);
        const auto got = ClipboardWatcher::linkIn(text);
        QCOMPARE(got.value_or(QString()), link);
        clipboard.copy(text);
        QCOMPARE(ClipboardWatcher::currentLink().value_or(QString()), link);
    }

    void withoutSourceNothingIsOffered() {
        ClipboardWatcher::setSource(nullptr);
        QVERIFY(!ClipboardWatcher::currentLink());
        QVERIFY(!ClipboardWatcher::newLink());
        ClipboardWatcher::markSeen();
        QVERIFY(!ClipboardWatcher::newLink());
    }
};

QTEST_GUILESS_MAIN(TestClipboardWatcher)
#include "tst_clipboardwatcher.moc"
