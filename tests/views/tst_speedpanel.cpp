// The speed panel: its own byte formatting (kilobytes and megabytes only), time left, protocol, and
// numbers that are not finite.
#include "ViewHelpers.h"

#include "download/SpeedFigures.h"
#include "download/SpeedPanel.h"

#include <QLabel>

#include <cmath>
#include <limits>

class TestSpeedPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void bytes_data();
    void bytes();
    void remaining_data();
    void remaining();
    void panelShowsEveryFigure();
};

void TestSpeedPanel::bytes_data() {
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "0 KB";
    QTest::newRow("under a kilobyte") << qint64(400) << "0 KB";
    QTest::newRow("kilobytes") << qint64(512'000) << "512 KB";
    QTest::newRow("megabytes") << qint64(1'500'000) << "1.5 MB";
    QTest::newRow("hundreds of megabytes") << qint64(250'000'000) << "250 MB";
    // Never gigabytes: a large size stays in megabytes.
    QTest::newRow("gigabytes stay megabytes") << qint64(3'000'000'000) << "3,000 MB";
}

void TestSpeedPanel::bytes() {
    QFETCH(qint64, count);
    QFETCH(QString, text);
    QCOMPARE(SpeedFigures::bytes(count), text);
}

void TestSpeedPanel::remaining_data() {
    QTest::addColumn<std::optional<double>>("eta");
    QTest::addColumn<QString>("text");
    QTest::newRow("absent") << std::optional<double>() << "\u2014";
    QTest::newRow("zero") << std::optional<double>(0) << "\u2014";
    QTest::newRow("negative") << std::optional<double>(-3) << "\u2014";
    QTest::newRow("not a number") << std::optional<double>(std::nan("")) << "\u2014";
    QTest::newRow("45.4") << std::optional<double>(45.4) << "45 s";
    QTest::newRow("75") << std::optional<double>(75) << "1 min 15 s";
    QTest::newRow("3725") << std::optional<double>(3725) << "1 h 02 min";
    QTest::newRow("0.3") << std::optional<double>(0.3) << "0 s";
    QTest::newRow("infinite") << std::optional<double>(std::numeric_limits<double>::infinity()) << "0 s";
}

void TestSpeedPanel::remaining() {
    QFETCH(std::optional<double>, eta);
    QFETCH(QString, text);
    QCOMPARE(SpeedFigures::remaining(eta), text);
}

void TestSpeedPanel::panelShowsEveryFigure() {
    SpeedPanel panel;
    EngineEvent::SpeedEngine e;
    e.speed = 2'500'000;
    e.average = std::numeric_limits<double>::quiet_NaN();
    e.connections = 4;
    e.downloaded = 1'500'000;
    e.total = 0;
    e.eta = 75;
    e.protocol = QStringLiteral("http_dash_2");
    panel.setEngine(e);
    QVERIFY(showAt(&panel, panel.sizeHint()));
    QCOMPARE(panel.value(SpeedPanel::Speed)->text(), QStringLiteral("2.5 MB/s"));
    QCOMPARE(panel.value(SpeedPanel::Average)->text(), QStringLiteral("0 KB/s"));
    QCOMPARE(panel.value(SpeedPanel::Connections)->text(), QStringLiteral("4"));
    QCOMPARE(panel.value(SpeedPanel::Downloaded)->text(), QStringLiteral("1.5 MB"));
    QCOMPARE(panel.value(SpeedPanel::Remaining)->text(), QStringLiteral("1 min 15 s"));
    QCOMPARE(panel.value(SpeedPanel::Protocol)->text(), QStringLiteral("HTTP_DASH_2"));
    e.total = 3'000'000;
    e.speed = 1e300; // beyond any byte count: shown as zero, never a wrapped number
    panel.setEngine(e);
    QCOMPARE(panel.value(SpeedPanel::Downloaded)->text(), QStringLiteral("1.5 MB / 3.0 MB"));
    QCOMPARE(panel.value(SpeedPanel::Speed)->text(), QStringLiteral("0 KB/s"));
    for (int i = 0; i < SpeedPanel::CellCount; ++i) {
        QVERIFY(panel.value(SpeedPanel::Cell(i))->parentWidget()->width() >= SpeedPanel::cellMinimumWidth);
        QCOMPARE(panel.label(SpeedPanel::Cell(i))->text().isEmpty(), false);
    }
}

QTEST_MAIN(TestSpeedPanel)
#include "tst_speedpanel.moc"
