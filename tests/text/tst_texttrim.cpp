#include "TextTrim.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestTextTrim : public QObject {
    Q_OBJECT
private slots:
    void trims_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing to trim") << u"a b"_s << u"a b"_s;
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("only blanks") << u" \t\u00A0 "_s << QString();
        QTest::newRow("spaces and tabs") << u" \t a\tb \t"_s << u"a\tb"_s;
        QTest::newRow("leading spaces, trailing line break") << u"  text\n"_s << u"text\n"_s;
        QTest::newRow("line breaks on both ends stay") << u"\r\n x \n"_s << u"\r\n x \n"_s;
        QTest::newRow("no-break space") << u"\u00A0x\u00A0"_s << u"x"_s;
        QTest::newRow("other space separators") << u"\u2003\u202F\u3000x\u2009\u205F"_s << u"x"_s;
        QTest::newRow("vertical tab and form feed stay") << u"\vx\f"_s << u"\vx\f"_s;
        QTest::newRow("line and paragraph separators stay") << u"\u2028x\u2029"_s << u"\u2028x\u2029"_s;
        QTest::newRow("zero-width space is not a space") << u"\u200Bx"_s << u"\u200Bx"_s;
        QTest::newRow("blank before a line break") << u"x \n "_s << u"x \n"_s;
    }
    void trims() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(trimSpacesAndTabs(input), expected);
    }
};

QTEST_GUILESS_MAIN(TestTextTrim)
#include "tst_texttrim.moc"
