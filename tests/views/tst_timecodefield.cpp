// The timecode field: its format and its forgiving parse as tables, and what an entry does to the value:
// kept in the limit, reported only when it changed, a bad entry put back.
#include "clips/TimecodeField.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <optional>

class TestTimecodeField : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void format_data();
    void format();
    void parse_data();
    void parse();
    void entry_data();
    void entry();
    void focusLossAppliesLikeReturn();
    void ownerValueReplacesTyping();
};

void TestTimecodeField::format_data() {
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "0:00";
    QTest::newRow("milliseconds dropped") << qint64(59'999) << "0:59";
    QTest::newRow("minutes unpadded") << qint64(425'000) << "7:05";
    QTest::newRow("last before an hour") << qint64(3'599'999) << "59:59";
    QTest::newRow("one hour") << qint64(3'600'000) << "1:00:00";
    QTest::newRow("ten hours") << qint64(36'000'000) << "10:00:00";
    QTest::newRow("hours minutes seconds") << qint64(45'296'000) << "12:34:56";
}

void TestTimecodeField::format() {
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(TimecodeField::format(ms), text);
}

void TestTimecodeField::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<qint64>>("ms");
    const auto none = std::optional<qint64>();
    auto ms = [](qint64 v) { return std::optional<qint64>(v); };
    QTest::newRow("seconds") << "90" << ms(90'000);
    QTest::newRow("minutes and seconds") << "1:30" << ms(90'000);
    QTest::newRow("hours") << "1:02:03" << ms(3'723'000);
    QTest::newRow("fraction") << "12.5" << ms(12'500);
    QTest::newRow("decimal comma") << "0,25" << ms(250);
    QTest::newRow("fraction in the last piece") << "1:59.5" << ms(119'500);
    QTest::newRow("spaces around") << "  1:30 " << ms(90'000);
    QTest::newRow("tabs around") << "\t1:30\t" << ms(90'000);
    QTest::newRow("half away from zero") << "0.0005" << ms(1);
    QTest::newRow("first piece unlimited") << "90:00" << ms(5'400'000);
    QTest::newRow("exponent") << "1e2" << ms(100'000);
    QTest::newRow("plus sign") << "+5" << ms(5'000);
    QTest::newRow("empty") << "" << none;
    QTest::newRow("lone colon") << ":" << none;
    QTest::newRow("trailing colon") << "1:" << none;
    QTest::newRow("sixty seconds") << "1:60" << none;
    QTest::newRow("fraction before the last") << "1.5:00" << none;
    QTest::newRow("four pieces") << "1:2:3:4" << none;
    QTest::newRow("negative") << "-5" << none;
    QTest::newRow("inner space") << "1: 30" << none;
    QTest::newRow("letters") << "abc" << none;
    QTest::newRow("not a number") << "nan" << none;
    QTest::newRow("infinite") << "inf" << none;
    QTest::newRow("line break kept") << "1:30\n" << none;
    QTest::newRow("too large") << "1e16" << none;
}

void TestTimecodeField::parse() {
    QFETCH(QString, text);
    QFETCH(std::optional<qint64>, ms);
    QCOMPARE(TimecodeField::parse(text), ms);
}

void TestTimecodeField::entry_data() {
    QTest::addColumn<qint64>("lower");
    QTest::addColumn<qint64>("upper");
    QTest::addColumn<qint64>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("after");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("commits");
    QTest::newRow("clamped to the last member")
        << qint64(0) << qint64(60'000) << qint64(5'000) << "1:30" << qint64(59'999) << "0:59" << true;
    QTest::newRow("fraction kept in the value")
        << qint64(0) << qint64(60'000) << qint64(5'000) << "12.5" << qint64(12'500) << "0:12" << true;
    QTest::newRow("same value does not commit")
        << qint64(0) << qint64(60'000) << qint64(12'000) << "12" << qint64(12'000) << "0:12" << false;
    QTest::newRow("same after clamping")
        << qint64(0) << qint64(60'000) << qint64(59'999) << "5:00" << qint64(59'999) << "0:59" << false;
    QTest::newRow("letters put back")
        << qint64(0) << qint64(60'000) << qint64(7'000) << "soon" << qint64(7'000) << "0:07" << false;
    QTest::newRow("empty range gives its lower")
        << qint64(5'000) << qint64(5'000) << qint64(0) << "40" << qint64(5'000) << "0:05" << true;
    QTest::newRow("below the lower") << qint64(9'500) << qint64(61'000) << qint64(15'000) << "2"
                                     << qint64(9'500) << "0:09" << true;
}

void TestTimecodeField::entry() {
    QFETCH(qint64, lower);
    QFETCH(qint64, upper);
    QFETCH(qint64, before);
    QFETCH(QString, typed);
    QFETCH(qint64, after);
    QFETCH(QString, shown);
    QFETCH(bool, commits);
    TimecodeField field(QStringLiteral("v2_clip_start"));
    field.setLimit({lower, upper});
    field.setValue(before);
    QSignalSpy committed(&field, &TimecodeField::committed);
    field.setText(typed);
    QTest::keyClick(&field, Qt::Key_Return);
    QCOMPARE(field.value(), after);
    QCOMPARE(field.text(), shown);
    QCOMPARE(committed.size(), commits ? 1 : 0);
    if (commits)
        QCOMPARE(committed.at(0).at(0).toLongLong(), after);
}

void TestTimecodeField::focusLossAppliesLikeReturn() {
    QWidget window;
    auto* field = new TimecodeField(QStringLiteral("v2_clip_end"), &window);
    auto* other = new QLineEdit(&window);
    other->move(0, 40);
    field->setLimit({0, 600'000});
    field->setValue(30'000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QSignalSpy committed(field, &TimecodeField::committed);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("letters"));
    other->setFocus();
    QTRY_COMPARE(field->text(), QStringLiteral("0:30"));
    QCOMPARE(field->value(), 30'000);
    QCOMPARE(committed.size(), 0);

    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("2:05"));
    other->setFocus();
    QTRY_COMPARE(committed.size(), 1);
    QCOMPARE(field->value(), 125'000);
    QCOMPARE(field->text(), QStringLiteral("2:05"));
}

void TestTimecodeField::ownerValueReplacesTyping() {
    TimecodeField field(QStringLiteral("v2_clip_start"));
    field.setLimit({0, 600'000});
    field.setText(QStringLiteral("4:4"));
    field.setValue(61'000);
    QCOMPARE(field.text(), QStringLiteral("1:01"));
    QCOMPARE(field.value(), 61'000);
}

QTEST_MAIN(TestTimecodeField)
#include "tst_timecodefield.moc"
