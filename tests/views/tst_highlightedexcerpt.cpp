// The marked excerpt of a search hit: which runs come out bold in the accent colour, that everything else
// stays literal text (markup included), and the plain copy without marks.
#include "library/HighlightedExcerpt.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

struct Run {
    QString text;
    bool bold;
    bool operator==(const Run&) const = default;
};

// Renders as a label would and reads back the runs, merging neighbours of the same weight; checks that
// bold runs carry the accent and plain ones no colour of their own.
QList<Run> renderedRuns(const QString& html, const QColor& accent, QString* problem) {
    QTextDocument document;
    document.setHtml(html);
    QList<Run> runs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            runs.append({QStringLiteral("\n"), false});
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const bool bold = format.fontWeight() >= QFont::DemiBold;
            if (bold && format.foreground().color() != accent)
                *problem = QStringLiteral("bold run without the accent: ") + fragment.text();
            if (!bold && format.hasProperty(QTextFormat::ForegroundBrush))
                *problem = QStringLiteral("plain run coloured: ") + fragment.text();
            if (!runs.isEmpty() && runs.last().bold == bold)
                runs.last().text += fragment.text();
            else
                runs.append({fragment.text(), bold});
        }
    }
    // A line break inside a block comes back as U+2028.
    for (Run& run : runs)
        run.text.replace(QChar(0x2028), QLatin1Char('\n'));
    if (!runs.isEmpty() && runs.first().text.isEmpty())
        runs.removeFirst();
    return runs;
}

} // namespace

Q_DECLARE_METATYPE(QList<Run>)

class TestHighlightedExcerpt : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runs_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<Run>>("expected");
        QTest::addColumn<QString>("copy");
        QTest::newRow("one run") << QString::fromUtf8("a \u2039b\u203a c")
                                 << QList<Run>{{"a ", false}, {"b", true}, {" c", false}} << "a b c";
        QTest::newRow("no closing mark runs to the end")
            << QString::fromUtf8("x \u2039b and more") << QList<Run>{{"x ", false}, {"b and more", true}}
            << "x b and more";
        QTest::newRow("stray closing marks stay visible")
            << QString::fromUtf8("a \u203a b \u2039c\u203a\u203a d")
            << QList<Run>{{QString::fromUtf8("a \u203a b "), false},
                          {"c", true},
                          {QString::fromUtf8("\u203a d"), false}}
            << "a  b c d";
        QTest::newRow("empty run then text")
            << QString::fromUtf8("\u2039\u203ax") << QList<Run>{{"x", false}} << "x";
        QTest::newRow("two runs") << QString::fromUtf8("\u2039a\u203a between \u2039b\u203a")
                                  << QList<Run>{{"a", true}, {" between ", false}, {"b", true}}
                                  << "a between b";
        QTest::newRow("empty") << QString() << QList<Run>{} << QString();
        QTest::newRow("no marks") << "just words, kept as written"
                                  << QList<Run>{{"just words, kept as written", false}}
                                  << "just words, kept as written";
        QTest::newRow("markup stays literal")
            << QString::fromUtf8("<b>not bold</b> & \u2039<i>x</i>\u203a &amp;")
            << QList<Run>{{"<b>not bold</b> & ", false}, {"<i>x</i>", true}, {" &amp;", false}}
            << "<b>not bold</b> & <i>x</i> &amp;";
        QTest::newRow("spaces and line breaks kept")
            << QString::fromUtf8("two  spaces\n\u2039next\u203a line")
            << QList<Run>{{"two  spaces\n", false}, {"next", true}, {" line", false}}
            << "two  spaces\nnext line";
        QTest::newRow("marks run into each other")
            << QString::fromUtf8("\u2039a\u2039b\u203ac") << QList<Run>{{"ab", true}, {"c", false}} << "abc";
    }
    void runs() {
        QFETCH(QString, text);
        QFETCH(QList<Run>, expected);
        QFETCH(QString, copy);
        const QColor accent(0x12, 0x6a, 0xd0);
        QString problem;
        const QList<Run> got = renderedRuns(HighlightedExcerpt::richText(text, accent), accent, &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        if (got != expected) {
            QStringList shown;
            for (const Run& run : got)
                shown << (run.bold ? "*" + run.text + "*" : run.text);
            QFAIL(qPrintable("got " + shown.join(QLatin1Char('|'))));
        }
        QCOMPARE(HighlightedExcerpt::plainText(text), copy);
    }

    // The accent follows the colour asked for, so dark and light differ.
    void accentFollowsTheColourGiven() {
        const QString text = QString::fromUtf8("\u2039w\u203a");
        for (const QColor& accent : {QColor(Qt::red), QColor(0x40, 0x9c, 0xff)}) {
            QString problem;
            const QList<Run> got = renderedRuns(HighlightedExcerpt::richText(text, accent), accent, &problem);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            QCOMPARE(got.size(), 1);
        }
    }
};

QTEST_MAIN(TestHighlightedExcerpt)
#include "tst_highlightedexcerpt.moc"
