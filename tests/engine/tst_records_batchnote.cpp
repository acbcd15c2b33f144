// The text the batch pane shows for each note: looked up by reason, filled, cleaned of decorative symbols.

#include "EngineTypes.h"
#include "StringTable.h"
#include "Strings.h"

#include <QTest>

class TestRecordsBatchNote : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        StringTable table;
        table.language = "en";
        table.strings = {
            {"log_batch_not_a_url", QStringLiteral("\u2139\uFE0F Not a link: {text}")},
            {"log_batch_unreadable", QStringLiteral("\t\u26A0 Unreadable: {url} ")},
            {"log_batch_expand_failed", QStringLiteral("Could not expand {url}\nTry again")},
            {"v2_batch_queue_full", QStringLiteral("Queue full, {input} skipped \u26A0\uFE0F")},
            {"log_batch_subreddit_expanded", QStringLiteral("{sub}: {n} posts added")},
            {"log_batch_listing_skipped", QStringLiteral("Skipped listing {name}")},
            {"log_batch_listing_truncated", QStringLiteral("{name}: kept {shown} of {total}")},
        };
        Strings::install(table);
    }
    void cleanupTestCase() { Strings::reset(); }

    void message_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<std::optional<qint64>>("count");
        QTest::addColumn<std::optional<qint64>>("shown");
        QTest::addColumn<QString>("message");
        const std::optional<qint64> none;
        QTest::newRow("not-a-url") << "hello there"
                                   << "not-a-url" << none << none << "Not a link: hello there";
        QTest::newRow("unreadable") << "https://x/1"
                                    << "unreadable" << none << none << "Unreadable: https://x/1";
        QTest::newRow("expand-failed keeps line breaks")
            << "https://x/2"
            << "expand-failed" << none << none << "Could not expand https://x/2\nTry again";
        QTest::newRow("queue-full") << "https://x/3"
                                    << "queue-full" << none << none << "Queue full, https://x/3 skipped";
        QTest::newRow("subreddit-expanded")
            << "r/cats"
            << "subreddit-expanded" << std::optional<qint64>(12) << none << "r/cats: 12 posts added";
        QTest::newRow("subreddit-expanded without count")
            << "r/cats"
            << "subreddit-expanded" << none << none << "r/cats: 0 posts added";
        QTest::newRow("listing-skipped") << "My list"
                                         << "listing-skipped" << none << none << "Skipped listing My list";
        QTest::newRow("listing-truncated") << "L"
                                           << "listing-truncated" << std::optional<qint64>(300)
                                           << std::optional<qint64>(50) << "L: kept 50 of 300";
        QTest::newRow("listing-truncated without count")
            << "L"
            << "listing-truncated" << none << std::optional<qint64>(50) << "L: kept 50 of 0";
        QTest::newRow("negative count")
            << "r/x"
            << "subreddit-expanded" << std::optional<qint64>(-3) << none << "r/x: -3 posts added";
        // Symbols are removed from the whole filled text, the input's part included.
        QTest::newRow("symbols in the input") << "a\u26A0b\u2139c"
                                              << "not-a-url" << none << none << "Not a link: abc";
        QTest::newRow("unknown reason")
            << " raw \u26A0 input\t"
            << "something-new" << std::optional<qint64>(4) << none << " raw \u26A0 input\t";
        QTest::newRow("reason in another case") << "hello"
                                                << "Not-A-URL" << none << none << "hello";
        QTest::newRow("empty reason") << "in"
                                      << "" << none << none << "in";
    }
    void message() {
        QFETCH(QString, input);
        QFETCH(QString, reason);
        QFETCH(std::optional<qint64>, count);
        QFETCH(std::optional<qint64>, shown);
        QFETCH(QString, message);
        QCOMPARE((BatchNote{input, reason, count, shown}.message()), message);
    }

    void missingTextFallsBackToTheKey() {
        Strings::reset();
        QCOMPARE((BatchNote{"x", "listing-skipped", std::nullopt, std::nullopt}.message()),
                 QString("log_batch_listing_skipped"));
        initTestCase();
    }
};

QTEST_GUILESS_MAIN(TestRecordsBatchNote)
#include "tst_records_batchnote.moc"
