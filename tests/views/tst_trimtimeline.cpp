// The trim timeline: its geometry and hit targets as tables, the drag state machine against a recorder
// of what it asks of its owner (order, the final flag, no change for the playhead, the clamps), and the
// frame strip: how many pictures at which times, a new run when the width changes, and drawing.
#include "ViewHelpers.h"

#include "clips/FrameSource.h"
#include "clips/TimelineGeometry.h"
#include "clips/TrimTimeline.h"

#include <QTest>

namespace {

using Target = TimelineGeometry::Target;

// Hands out run numbers, writes down each request, and lets the test answer.
class FakeFrameSource : public FrameSource {
public:
    struct Request {
        QString path;
        QList<double> times;
        int maxHeight;
    };
    QList<Request> requests;
    int cancels = 0;
    int run = 0;

    int request(const QString& path, const QList<double>& timesMs, int maxHeight) override {
        requests << Request{path, timesMs, maxHeight};
        return ++run;
    }
    void cancel() override { ++cancels; }
    void answer(int which, int index, const QColor& colour) {
        QImage image(184, 104, QImage::Format_RGB32);
        image.fill(colour);
        Q_EMIT frameReady(which, index, image);
    }
};

// One line per call the timeline makes on its owner, in order.
QStringList record(TrimTimeline& timeline) {
    auto* calls = new QStringList;
    QObject::connect(&timeline, &QObject::destroyed, [calls] { delete calls; });
    QObject::connect(&timeline, &TrimTimeline::startMoved,
                     [calls](qint64 ms) { *calls << QStringLiteral("in %1").arg(ms); });
    QObject::connect(&timeline, &TrimTimeline::endMoved,
                     [calls](qint64 ms) { *calls << QStringLiteral("out %1").arg(ms); });
    QObject::connect(&timeline, &TrimTimeline::scrubbed, [calls](qint64 ms, bool final) {
        *calls << QStringLiteral("scrub %1 %2").arg(ms).arg(final ? u"final" : u"loose");
    });
    QObject::connect(&timeline, &TrimTimeline::changed, [calls] { *calls << QStringLiteral("changed"); });
    timeline.setProperty("calls", QVariant::fromValue(reinterpret_cast<quintptr>(calls)));
    return {};
}
QStringList& calls(TrimTimeline& timeline) {
    return *reinterpret_cast<QStringList*>(timeline.property("calls").value<quintptr>());
}

} // namespace

class TestTrimTimeline : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void position_data();
    void position();
    void endMark_data();
    void endMark();
    void timeUnder_data();
    void timeUnder();
    void target_data();
    void target();
    void frameTimes_data();
    void frameTimes();
    void drag_data();
    void drag();
    void stripFollowsTheWidth();
    void picturesShareTheWidth();
    void pictureFailuresLeaveThePlainStrip();
    void outsideTheClipIsDimmed();
};

void TestTrimTimeline::position_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<double>("x");
    QTest::newRow("a quarter") << 600.0 << qint64(60'000) << qint64(15'000) << 150.0;
    QTest::newRow("before the start") << 600.0 << qint64(60'000) << qint64(-500) << 0.0;
    QTest::newRow("past the end") << 600.0 << qint64(60'000) << qint64(70'000) << 600.0;
    QTest::newRow("unknown duration") << 600.0 << qint64(0) << qint64(15'000) << 0.0;
    QTest::newRow("fractional") << 100.0 << qint64(3'000) << qint64(1'000) << 100.0 / 3;
}

void TestTrimTimeline::position() {
    QFETCH(double, width);
    QFETCH(qint64, duration);
    QFETCH(qint64, ms);
    QFETCH(double, x);
    QCOMPARE(TimelineGeometry({width, duration}).position(ms), x);
}

void TestTrimTimeline::endMark_data() {
    QTest::addColumn<qint64>("in");
    QTest::addColumn<qint64>("out");
    QTest::addColumn<double>("endX");
    QTest::newRow("far apart") << qint64(10'000) << qint64(40'000) << 400.0;
    QTest::newRow("exactly 24 apart") << qint64(10'000) << qint64(12'400) << 124.0;
    QTest::newRow("closer than 24") << qint64(10'000) << qint64(10'500) << 124.0;
    QTest::newRow("at the very end") << qint64(59'900) << qint64(60'000) << 623.0;
}

void TestTrimTimeline::endMark() {
    QFETCH(qint64, in);
    QFETCH(qint64, out);
    QFETCH(double, endX);
    QCOMPARE(TimelineGeometry({600, 60'000}).endX(in, out), endX);
}

void TestTrimTimeline::timeUnder_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<double>("x");
    QTest::addColumn<qint64>("ms");
    QTest::newRow("middle") << 600.0 << qint64(60'000) << 300.0 << qint64(30'000);
    QTest::newRow("left of the view") << 600.0 << qint64(60'000) << -40.0 << qint64(0);
    QTest::newRow("right of the view") << 600.0 << qint64(60'000) << 640.0 << qint64(60'000);
    QTest::newRow("half rounds away from zero") << 400.0 << qint64(1'001) << 200.0 << qint64(501);
    QTest::newRow("below a half rounds down") << 3.0 << qint64(1'000) << 1.0 << qint64(333);
    QTest::newRow("no width") << 0.0 << qint64(60'000) << 10.0 << qint64(0);
    QTest::newRow("no duration") << 600.0 << qint64(0) << 300.0 << qint64(0);
}

void TestTrimTimeline::timeUnder() {
    QFETCH(double, width);
    QFETCH(qint64, duration);
    QFETCH(double, x);
    QFETCH(qint64, ms);
    QCOMPARE(TimelineGeometry({width, duration}).msAt(x), ms);
}

void TestTrimTimeline::target_data() {
    QTest::addColumn<qint64>("in");
    QTest::addColumn<qint64>("out");
    QTest::addColumn<double>("x");
    QTest::addColumn<Target>("target");
    // Width 600 over a minute: 10 ms a point. The start handle's centre lies 6 points inside its mark, the
    // end handle's 6 points inside the end mark.
    QTest::newRow("on the start handle") << qint64(10'000) << qint64(40'000) << 106.0 << Target::Start;
    QTest::newRow("18 from the start centre") << qint64(10'000) << qint64(40'000) << 124.0 << Target::Start;
    QTest::newRow("18.5 from the start centre")
        << qint64(10'000) << qint64(40'000) << 124.5 << Target::Playhead;
    QTest::newRow("18 before the start centre") << qint64(10'000) << qint64(40'000) << 88.0 << Target::Start;
    QTest::newRow("on the end handle") << qint64(10'000) << qint64(40'000) << 394.0 << Target::End;
    QTest::newRow("18 past the end centre") << qint64(10'000) << qint64(40'000) << 412.0 << Target::End;
    QTest::newRow("between, far from both") << qint64(10'000) << qint64(40'000) << 250.0 << Target::Playhead;
    QTest::newRow("a tie goes to the start") << qint64(10'000) << qint64(12'000) << 112.0 << Target::Start;
    QTest::newRow("just past the tie") << qint64(10'000) << qint64(12'000) << 112.5 << Target::End;
    // Less than 24 points apart: the end handle is drawn (and grabbed) 24 points after the start mark.
    QTest::newRow("short clip, at the drawn end") << qint64(10'000) << qint64(10'500) << 120.0 << Target::End;
}

void TestTrimTimeline::target() {
    QFETCH(qint64, in);
    QFETCH(qint64, out);
    QFETCH(double, x);
    QFETCH(Target, target);
    QCOMPARE(TimelineGeometry({600, 60'000}).target(x, in, out), target);
}

void TestTrimTimeline::frameTimes_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<QList<double>>("times");
    QTest::newRow("300 wide: four slices") << 300.0 << QList<double>{7'500, 22'500, 37'500, 52'500};
    QTest::newRow("10 wide: one, in the middle") << 10.0 << QList<double>{30'000};
    QTest::newRow("one slot exactly") << 52.0 * 16 / 9 << QList<double>{30'000};
    QTest::newRow("no width") << 0.0 << QList<double>{};
}

void TestTrimTimeline::frameTimes() {
    QFETCH(double, width);
    QFETCH(QList<double>, times);
    const TimelineGeometry g{width, 60'000};
    QCOMPARE(TimelineGeometry::frameTimes(60'000, g.frameCount()), times);
}

void TestTrimTimeline::drag_data() {
    QTest::addColumn<qint64>("in");
    QTest::addColumn<qint64>("out");
    QTest::addColumn<QList<int>>("path"); // press, moves…, release
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<qint64>("inAfter");
    QTest::addColumn<qint64>("outAfter");
    QTest::newRow("start handle") << qint64(10'000) << qint64(40'000) << QList<int>{106, 200, 200}
                                  << QStringList{"in 10600",          "scrub 10600 loose", "in 20000",
                                                 "scrub 20000 loose", "scrub 20000 final", "changed"}
                                  << qint64(20'000) << qint64(40'000);
    QTest::newRow("start handle past the end stops 500 before it")
        << qint64(10'000) << qint64(40'000) << QList<int>{100, 500, 500}
        << QStringList{"in 10000",          "scrub 10000 loose", "in 39500",
                       "scrub 39500 loose", "scrub 39500 final", "changed"}
        << qint64(39'500) << qint64(40'000);
    QTest::newRow("start handle left of the view pins at 0")
        << qint64(10'000) << qint64(40'000) << QList<int>{100, -50, -50}
        << QStringList{"in 10000", "scrub 10000 loose", "in 0", "scrub 0 loose", "scrub 0 final", "changed"}
        << qint64(0) << qint64(40'000);
    QTest::newRow("end handle before the start stops 500 after it")
        << qint64(10'000) << qint64(40'000) << QList<int>{394, 50, 50}
        << QStringList{"out 39400",         "scrub 39400 loose", "out 10500",
                       "scrub 10500 loose", "scrub 10500 final", "changed"}
        << qint64(10'000) << qint64(10'500);
    QTest::newRow("end handle right of the view pins at the duration")
        << qint64(10'000) << qint64(40'000) << QList<int>{400, 700, 700}
        << QStringList{"out 40000",         "scrub 40000 loose", "out 60000",
                       "scrub 60000 loose", "scrub 60000 final", "changed"}
        << qint64(10'000) << qint64(60'000);
    QTest::newRow("playhead never moves a bound nor says changed")
        << qint64(10'000) << qint64(40'000) << QList<int>{300, 350, 360}
        << QStringList{"scrub 30000 loose", "scrub 35000 loose", "scrub 36000 final"} << qint64(10'000)
        << qint64(40'000);
    QTest::newRow("playhead follows the pointer across a handle")
        << qint64(10'000) << qint64(40'000) << QList<int>{250, 106, 106}
        << QStringList{"scrub 25000 loose", "scrub 10600 loose", "scrub 10600 final"} << qint64(10'000)
        << qint64(40'000);
    // With the end closer than 500 ms to the beginning the start still never goes below 0.
    QTest::newRow("start never negative")
        << qint64(0) << qint64(300) << QList<int>{6, 8, 8}
        << QStringList{"in 0", "scrub 0 loose", "in 0", "scrub 0 loose", "scrub 0 final", "changed"}
        << qint64(0) << qint64(300);
    QTest::newRow("a plain click on a handle")
        << qint64(10'000) << qint64(40'000) << QList<int>{110, 110}
        << QStringList{"in 11000", "scrub 11000 loose", "scrub 11000 final", "changed"} << qint64(11'000)
        << qint64(40'000);
}

void TestTrimTimeline::drag() {
    QFETCH(qint64, in);
    QFETCH(qint64, out);
    QFETCH(QList<int>, path);
    QFETCH(QStringList, expected);
    QFETCH(qint64, inAfter);
    QFETCH(qint64, outAfter);
    TrimTimeline timeline(nullptr);
    record(timeline);
    timeline.setMedia(QStringLiteral("/media/a.mp4"), 60'000);
    timeline.setBounds(in, out);
    QVERIFY(showAt(&timeline, QSize(600, 52)));
    QCOMPARE(timeline.width(), 600);
    const int y = 26;
    QTest::mousePress(&timeline, Qt::LeftButton, {}, QPoint(path.first(), y));
    for (int i = 1; i + 1 < path.size(); ++i)
        QTest::mouseMove(&timeline, QPoint(path[i], y));
    QTest::mouseRelease(&timeline, Qt::LeftButton, {}, QPoint(path.last(), y));
    QCOMPARE(calls(timeline), expected);
    QCOMPARE(timeline.inMs(), inAfter);
    QCOMPARE(timeline.outMs(), outAfter);

    // The next drag chooses its target afresh: a press in the open moves the playhead.
    calls(timeline).clear();
    QTest::mouseClick(&timeline, Qt::LeftButton, {}, QPoint(560, y));
    QCOMPARE(calls(timeline).first(), QStringLiteral("scrub 56000 loose"));
}

void TestTrimTimeline::stripFollowsTheWidth() {
    FakeFrameSource source;
    TrimTimeline timeline(&source);
    timeline.setMedia(QStringLiteral("/media/a.mp4"), 60'000);
    QVERIFY(showAt(&timeline, QSize(300, 52)));
    QTRY_COMPARE(source.requests.size(), 1);
    QCOMPARE(source.requests[0].path, QStringLiteral("/media/a.mp4"));
    QCOMPARE(source.requests[0].times, (QList<double>{7'500, 22'500, 37'500, 52'500}));
    QCOMPARE(source.requests[0].maxHeight, 104);
    source.answer(1, 0, Qt::red);
    QCOMPARE(timeline.frames().size(), 1);

    // The same whole width asks for nothing new.
    timeline.resize(300, 52);
    QCoreApplication::processEvents();
    QCOMPARE(source.requests.size(), 1);

    // A new width: a new run of 8; the old pictures stay until the new run's first arrives, and the
    // old run's late answers are dropped.
    timeline.resize(700, 52);
    QTRY_COMPARE(source.requests.size(), 2);
    QCOMPARE(source.requests[1].times.size(), 8);
    source.answer(1, 1, Qt::green);
    QCOMPARE(timeline.frames().size(), 1);
    QCOMPARE(timeline.frames()[0].pixelColor(0, 0), QColor(Qt::red));
    source.answer(2, 0, Qt::blue);
    QCOMPARE(timeline.frames().size(), 1);
    QCOMPARE(timeline.frames()[0].pixelColor(0, 0), QColor(Qt::blue));
}

void TestTrimTimeline::picturesShareTheWidth() {
    FakeFrameSource source;
    TrimTimeline timeline(&source);
    timeline.setMedia(QStringLiteral("/media/a.mp4"), 60'000);
    // The whole media selected, so nothing is dimmed; the playhead out of the way at the start.
    timeline.setBounds(0, 60'000);
    QVERIFY(showAt(&timeline, QSize(300, 52)));
    QTRY_COMPARE(source.requests.size(), 1);
    source.answer(1, 0, QColor(250, 0, 0));
    source.answer(1, 1, QColor(0, 0, 250));
    // Two of four arrived: each is drawn half the width wide.
    const QImage shown = timeline.grab().toImage();
    const int y = 40;
    QCOMPARE(shown.pixelColor(75, y), QColor(250, 0, 0));
    QCOMPARE(shown.pixelColor(140, y), QColor(250, 0, 0));
    QCOMPARE(shown.pixelColor(160, y), QColor(0, 0, 250));
    QCOMPARE(shown.pixelColor(225, y), QColor(0, 0, 250));
}

void TestTrimTimeline::pictureFailuresLeaveThePlainStrip() {
    FakeFrameSource source;
    TrimTimeline timeline(&source);
    timeline.setMedia(QStringLiteral("/media/tone.m4a"), 60'000);
    timeline.setBounds(0, 60'000);
    QVERIFY(showAt(&timeline, QSize(300, 52)));
    QTRY_COMPARE(source.requests.size(), 1);
    for (int i = 0; i < 4; ++i)
        Q_EMIT source.frameFailed(1, i);
    Q_EMIT source.finished(1);
    QVERIFY(timeline.frames().isEmpty());
    // The plain strip: the same colour at both quarters, where pictures would differ.
    const QImage shown = timeline.grab().toImage();
    QCOMPARE(shown.pixelColor(75, 40), shown.pixelColor(225, 40));
}

void TestTrimTimeline::outsideTheClipIsDimmed() {
    FakeFrameSource source;
    TrimTimeline timeline(&source);
    timeline.setMedia(QStringLiteral("/media/a.mp4"), 60'000);
    timeline.setBounds(15'000, 45'000);
    timeline.setCurrent(15'000);
    QVERIFY(showAt(&timeline, QSize(600, 52)));
    QTRY_COMPARE(source.requests.size(), 1);
    for (int i = 0; i < source.requests[0].times.size(); ++i)
        source.answer(1, i, QColor(200, 200, 200));
    const QImage shown = timeline.grab().toImage();
    const int y = 40;
    // Black at 0.45 over the pictures before the start and after the end, at the times themselves.
    const int dimmed = qRound(200 * 0.55);
    for (int x : {40, 140, 460, 560})
        QVERIFY2(qAbs(shown.pixelColor(x, y).red() - dimmed) <= 2, qPrintable(QString::number(x)));
    for (int x : {170, 300, 430})
        QCOMPARE(shown.pixelColor(x, y), QColor(200, 200, 200));
}

QTEST_MAIN(TestTrimTimeline)
#include "tst_trimtimeline.moc"
