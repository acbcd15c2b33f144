// The clip panel of the player sheet, on a fake media port and the stand-in engine: the bounds' limits,
// steps, typing and take-position; what each control asks of the player; which changes ask the engine
// for a new name; play-selection; and the job area through a whole extraction by the engine's ffmpeg
// (progress, cancel, result, failure, and a second clip after the first).
#include "Clips.h"
#include "FakeMediaPort.h"
#include "MediaFiles.h"
#include "ViewHelpers.h"

#include "clips/ClipPanel.h"
#include "clips/PlayerSession.h"
#include "clips/TimecodeField.h"
#include "clips/TranscriptPlayer.h"
#include "clips/TrimTimeline.h"
#include "kit/SegmentedBar.h"
#include "rows/ElidedLabel.h"
#include "rows/RowIcon.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

using Bound = PlayerSession::Bound;

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestClipPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void steps_data();
    void steps();
    void stepMovesThePlayer();
    void typedValuesAreKeptInTheLimit_data();
    void typedValuesAreKeptInTheLimit();
    void takePosition();
    void suggestionTriggers();
    void lastSuggestionReplyWins();
    void extractNeedsAStartBeforeTheEnd();
    void playSelection();
    void scrubbing();
    void jobAreaFollowsTheJob();
    void extractionByTheEngine();
    void cancelLeavesNoFile();

private:
    // A sheet over the fake port, opened and settled; the panel's first suggestion has arrived.
    TranscriptPlayer* openSheet(qint64 start, qint64 end, qint64 duration, FakeMediaPort** port = nullptr,
                                const QString& path = {});
    int suggests() const { return f->requestsOf(QStringLiteral("clip.suggest")).size(); }
    template <class T> T* find(TranscriptPlayer* sheet, const QString& name) {
        T* child = sheet->findChild<T*>(name);
        if (!child)
            qWarning() << "no" << name;
        return child;
    }
    RowIcon* button(TranscriptPlayer* sheet, Bound bound, const QString& name) {
        auto* control = sheet->findChild<QWidget*>(bound == Bound::Start ? QStringLiteral("bound_start")
                                                                         : QStringLiteral("bound_end"));
        return control->findChild<RowIcon*>(name);
    }

    QTemporaryDir m_dir;
    QString m_video;
    std::unique_ptr<ViewFixture> f;
    QList<QPointer<TranscriptPlayer>> m_sheets;
};

void TestClipPanel::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_video = MediaFiles::video(QDir(m_dir.path()), QStringLiteral("talk.mp4"), 8);
    QVERIFY(!m_video.isEmpty());
}

void TestClipPanel::init() {
    f = std::make_unique<ViewFixture>();
    f->boot();
}

void TestClipPanel::cleanup() {
    for (const auto& sheet : m_sheets)
        delete sheet.data();
    m_sheets.clear();
    f.reset();
}

TranscriptPlayer* TestClipPanel::openSheet(qint64 start, qint64 end, qint64 duration, FakeMediaPort** port,
                                           const QString& path) {
    auto* fake = new FakeMediaPort({true, duration, true});
    auto* sheet = new TranscriptPlayer(
        f->model.get(), {path.isEmpty() ? m_video : path, QStringLiteral("A talk"), start, end, std::nullopt},
        fake, nullptr);
    m_sheets << sheet;
    QSignalSpy finished(sheet->session(), &PlayerSession::openFinished);
    const int before = suggests();
    sheet->open();
    if (!QTest::qWaitForWindowExposed(sheet) || !QTest::qWaitFor([&] { return finished.size() == 1; }))
        QTest::qFail("the sheet did not open", __FILE__, __LINE__);
    QSignalSpy suggested(sheet->session(), &PlayerSession::suggestionChanged);
    // Only settles: a sheet whose start lies past the end asks for no suggestion.
    (void)QTest::qWaitFor([&] { return suggests() > before && sheet->session()->suggestion(); });
    fake->take();
    if (port)
        *port = fake;
    return sheet;
}

void TestClipPanel::steps_data() {
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<int>("bound");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<qint64>>("sequence");
    // The window of a hit from 10 s to 14 s: 9 s to 15 s.
    QTest::newRow("end earlier stops 500 after the start")
        << qint64(60'000) << int(Bound::End) << "v2_clip_step_earlier"
        << QList<qint64>{14'000, 13'000, 12'000, 11'000, 10'000, 9'500, 9'500};
    QTest::newRow("start later stops 1 before the end")
        << qint64(60'000) << int(Bound::Start) << "v2_clip_step_later"
        << QList<qint64>{10'000, 11'000, 12'000, 13'000, 14'000, 14'999, 14'999};
    QTest::newRow("start earlier stops at 0")
        << qint64(60'000) << int(Bound::Start) << "v2_clip_step_earlier"
        << QList<qint64>{8'000, 7'000, 6'000, 5'000, 4'000, 3'000, 2'000, 1'000, 0, 0};
    QTest::newRow("end later reaches the duration itself")
        << qint64(17'500) << int(Bound::End) << "v2_clip_step_later"
        << QList<qint64>{16'000, 17'000, 17'500, 17'500};
    QTest::newRow("end later with no duration stops 999 after the start")
        << qint64(0) << int(Bound::End) << "v2_clip_step_later" << QList<qint64>{9'999, 9'999};
}

void TestClipPanel::steps() {
    QFETCH(qint64, duration);
    QFETCH(int, bound);
    QFETCH(QString, name);
    QFETCH(QList<qint64>, sequence);
    TranscriptPlayer* sheet = openSheet(10'000, 14'000, duration);
    const Bound which = Bound(bound);
    auto* field = sheet
                      ->findChild<QWidget*>(which == Bound::Start ? QStringLiteral("bound_start")
                                                                  : QStringLiteral("bound_end"))
                      ->findChild<TimecodeField*>();
    QList<qint64> seen;
    for (qsizetype i = 0; i < sequence.size(); ++i) {
        button(sheet, which, name)->click();
        seen << sheet->session()->value(which);
        QCOMPARE(field->value(), seen.last());
        QCOMPARE(field->text(), TimecodeField::format(seen.last()));
    }
    QCOMPARE(seen, sequence);
}

void TestClipPanel::stepMovesThePlayer() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* sheet = openSheet(10'000, 14'000, 60'000, &port);
    const int before = suggests();
    QVERIFY(port->playing);
    button(sheet, Bound::End, QStringLiteral("v2_clip_step_earlier"))->click();
    // The player shows the new end exactly and plays on from there; the position follows at once.
    QCOMPARE(port->take(), QStringList({QStringLiteral("seek 14000 exact")}));
    QVERIFY(port->playing);
    QCOMPARE(sheet->session()->currentMs(), 14'000);
    // Paused, it stays paused.
    port->pause();
    port->take();
    button(sheet, Bound::End, QStringLiteral("v2_clip_step_later"))->click();
    QCOMPARE(port->take(), QStringList({QStringLiteral("seek 15000 exact")}));
    QVERIFY(!port->playing);
    QVERIFY(f->waitForRequests(QStringLiteral("clip.suggest"), before + 2));
    const LoggedRequest last = f->requestsOf(QStringLiteral("clip.suggest")).last();
    QCOMPARE(last.params.value(QStringLiteral("startMs")).toInteger(), 9'000);
    QCOMPARE(last.params.value(QStringLiteral("endMs")).toInteger(), 15'000);
    // The length below follows.
    QCOMPARE(sheet->findChild<QLabel*>(QStringLiteral("clip_length"))->text(), Job::duration(6));
}

void TestClipPanel::typedValuesAreKeptInTheLimit_data() {
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<int>("bound");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("moves");
    QTest::newRow("end up to the duration exactly")
        << qint64(60'000) << int(Bound::End) << "1:00" << qint64(60'000) << true;
    QTest::newRow("end past the duration")
        << qint64(60'000) << int(Bound::End) << "1:00.7" << qint64(60'000) << true;
    QTest::newRow("end with no duration yet")
        << qint64(0) << int(Bound::End) << "99:00" << qint64(9'999) << true;
    QTest::newRow("start at the end")
        << qint64(60'000) << int(Bound::Start) << "15" << qint64(14'999) << true;
    QTest::newRow("start unchanged") << qint64(60'000) << int(Bound::Start) << "0:09" << qint64(9'000)
                                     << false;
    QTest::newRow("start not a time")
        << qint64(60'000) << int(Bound::Start) << "soon" << qint64(9'000) << false;
}

void TestClipPanel::typedValuesAreKeptInTheLimit() {
    QFETCH(qint64, duration);
    QFETCH(int, bound);
    QFETCH(QString, typed);
    QFETCH(qint64, value);
    QFETCH(bool, moves);
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* sheet = openSheet(10'000, 14'000, duration, &port);
    const Bound which = Bound(bound);
    auto* field = sheet->findChild<TimecodeField*>(which == Bound::Start ? QStringLiteral("v2_clip_start")
                                                                         : QStringLiteral("v2_clip_end"));
    field->setText(typed);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(sheet->session()->value(which), value);
    QCOMPARE(field->text(), TimecodeField::format(value));
    const QStringList expected =
        moves ? QStringList{QStringLiteral("seek %1 exact").arg(value)} : QStringList{};
    QCOMPARE(port->take(), expected);
}

void TestClipPanel::takePosition() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* sheet = openSheet(10'000, 14'000, 60'000, &port);
    port->advanceTo(20'000);
    QCOMPARE(sheet->session()->currentMs(), 20'000);
    const int before = suggests();
    button(sheet, Bound::Start, QStringLiteral("v2_clip_take_position"))->click();
    // Kept below the end; the player stays where it is.
    QCOMPARE(sheet->session()->inMs(), 14'999);
    QCOMPARE(sheet->findChild<TimecodeField*>(QStringLiteral("v2_clip_start"))->text(),
             QStringLiteral("0:14"));
    QVERIFY(f->waitForRequests(QStringLiteral("clip.suggest"), before + 1));
    QCOMPARE(port->take(), QStringList());

    port->advanceTo(31'250);
    button(sheet, Bound::End, QStringLiteral("v2_clip_take_position"))->click();
    QCOMPARE(sheet->session()->outMs(), 31'250);
}

void TestClipPanel::suggestionTriggers() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* sheet = openSheet(10'000, 14'000, 60'000, &port);
    int count = suggests();
    auto* audioOnly = sheet->findChild<QCheckBox*>(QStringLiteral("checkbox_audio_only"));
    audioOnly->click();
    QVERIFY(f->waitForRequests(QStringLiteral("clip.suggest"), ++count));
    QCOMPARE(f->requestsOf(QStringLiteral("clip.suggest"))
                 .last()
                 .params.value(QStringLiteral("audioOnly"))
                 .toBool(),
             true);

    // Neither the mode nor a scrub asks; the next audio toggle proves their moment has passed.
    auto* mode = sheet->findChild<SegmentedBar*>(QStringLiteral("clip_mode"));
    mode->segment(QStringLiteral("fast"))->click();
    QCOMPARE(sheet->session()->mode(), ClipMode::fast);
    sheet->session()->scrub(30'000, true);
    audioOnly->click();
    QVERIFY(f->waitForRequests(QStringLiteral("clip.suggest"), ++count));
    QCoreApplication::processEvents();
    QCOMPARE(suggests(), count);
    QCOMPARE(f->requestsOf(QStringLiteral("clip.suggest"))
                 .last()
                 .params.value(QStringLiteral("audioOnly"))
                 .toBool(),
             false);

    // The end of a handle drag asks.
    TrimTimeline* timeline = sheet->clipPanel()->timeline();
    QVERIFY(timeline->isVisible());
    Q_EMIT timeline->changed();
    QVERIFY(f->waitForRequests(QStringLiteral("clip.suggest"), ++count));
    // The mode's explanation follows the mode.
    QCOMPARE(sheet->findChild<QLabel*>(QStringLiteral("clip_mode_help"))->text(),
             Strings::text(QStringLiteral("v2_clip_mode_fast")));
}

void TestClipPanel::lastSuggestionReplyWins() {
    TranscriptPlayer* sheet = openSheet(10'000, 14'000, 60'000);
    auto* into = sheet->findChild<ElidedLabel*>(QStringLiteral("v2_clip_into"));
    QVERIFY(into->isVisible());
    // A failed request removes the line.
    f->scriptError(QStringLiteral("clip.suggest"), 1, QStringLiteral("No such file"));
    QSignalSpy changed(sheet->session(), &PlayerSession::suggestionChanged);
    sheet->findChild<QCheckBox*>(QStringLiteral("checkbox_audio_only"))->click();
    QTRY_COMPARE(changed.size(), 1);
    QVERIFY(!sheet->session()->suggestion());
    QVERIFY(!into->isVisible());
    // Two requests answered out of order: the one that arrives last stays.
    f->control(QStringLiteral("test.hold"),
               QJsonObject{{QStringLiteral("method"), QStringLiteral("clip.suggest")}});
    const int before = suggests();
    f->script(QStringLiteral("clip.suggest"),
              QJsonObject{{QStringLiteral("result"),
                           QJsonObject{{QStringLiteral("path"), QStringLiteral("/m/first.mp4")},
                                       {QStringLiteral("name"), QStringLiteral("first.mp4")},
                                       {QStringLiteral("directory"), QStringLiteral("/m")}}}});
    f->script(QStringLiteral("clip.suggest"),
              QJsonObject{{QStringLiteral("result"),
                           QJsonObject{{QStringLiteral("path"), QStringLiteral("/m/second.mp4")},
                                       {QStringLiteral("name"), QStringLiteral("second.mp4")},
                                       {QStringLiteral("directory"), QStringLiteral("/m")}}}});
    sheet->session()->moved(11'000);
    sheet->session()->moved(12'000);
    QVERIFY(f->waitForRequests(QStringLiteral("clip.suggest"), before + 2));
    changed.clear();
    f->control(QStringLiteral("test.release"),
               QJsonObject{{QStringLiteral("method"), QStringLiteral("clip.suggest")},
                           {QStringLiteral("order"), QStringLiteral("lifo")}});
    QTRY_COMPARE(changed.size(), 2);
    QCOMPARE(sheet->session()->suggestion()->name, QStringLiteral("second.mp4"));
    QVERIFY(into->isVisible());
    QCOMPARE(into->fullText(), Strings::text(QStringLiteral("v2_clip_into"),
                                             {{QStringLiteral("name"), QStringLiteral("second.mp4")}}));
    QCOMPARE(into->toolTip(), QStringLiteral("/m/second.mp4"));
}

void TestClipPanel::extractNeedsAStartBeforeTheEnd() {
    // A bare start beyond the duration leaves the start after the end.
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* sheet = openSheet(90'000, 90'000, 60'000, &port);
    QCOMPARE(sheet->session()->inMs(), 90'000);
    QCOMPARE(sheet->session()->outMs(), 60'000);
    auto* extract = sheet->findChild<QPushButton*>(QStringLiteral("v2_clip_extract"));
    QVERIFY(!extract->isEnabled());
    QCOMPARE(sheet->findChild<QLabel*>(QStringLiteral("clip_length"))->text(), Job::duration(0));
    // Play-selection is never off: it stops at the end, seeks to the start and plays.
    auto* play = sheet->findChild<QPushButton*>(QStringLiteral("v2_clip_play_selection"));
    QVERIFY(play->isEnabled());
    play->click();
    QTRY_COMPARE(port->calls.size(), 3);
    QCOMPARE(port->take(), QStringList({QStringLiteral("stop 60000"), QStringLiteral("seekAndWait 90000"),
                                        QStringLiteral("play")}));
    // Bring the start before the end: extract is offered.
    sheet->findChild<TimecodeField*>(QStringLiteral("v2_clip_start"))->setText(QStringLiteral("50"));
    QTest::keyClick(sheet->findChild<TimecodeField*>(QStringLiteral("v2_clip_start")), Qt::Key_Return);
    QVERIFY(extract->isEnabled());
}

void TestClipPanel::playSelection() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* sheet = openSheet(10'000, 14'000, 60'000, &port);
    auto* play = sheet->findChild<QPushButton*>(QStringLiteral("v2_clip_play_selection"));
    QVERIFY(play->isVisible());
    play->click();
    QTRY_COMPARE(port->calls.size(), 3);
    QCOMPARE(port->take(), QStringList({QStringLiteral("stop 15000"), QStringLiteral("seekAndWait 9000"),
                                        QStringLiteral("play")}));
    QVERIFY(port->playing);
    port->advanceTo(15'100);
    QVERIFY(!port->playing);
    // Moving a bound afterwards does not move the stop; pressing again replaces it.
    button(sheet, Bound::End, QStringLiteral("v2_clip_step_later"))->click();
    QCOMPARE(port->stopMs, 15'000);
    port->take();
    play->click();
    QTRY_COMPARE(port->calls.size(), 3);
    QCOMPARE(port->take(), QStringList({QStringLiteral("stop 16000"), QStringLiteral("seekAndWait 9000"),
                                        QStringLiteral("play")}));
}

void TestClipPanel::scrubbing() {
    FakeMediaPort* port = nullptr;
    TranscriptPlayer* sheet = openSheet(10'000, 14'000, 60'000, &port);
    TrimTimeline* timeline = sheet->clipPanel()->timeline();
    QVERIFY(timeline->isVisible());
    QCOMPARE(timeline->inMs(), 9'000);
    QCOMPARE(timeline->outMs(), 15'000);
    // A drag of the start handle: the bound follows, the player looks loosely, then exactly at the end.
    const TimelineGeometry g = timeline->geometryNow();
    const int y = 26;
    const int startX = qRound(g.startX(9'000) + 6);
    const int toX = qRound(g.position(5'000));
    const int before = suggests();
    QTest::mousePress(timeline, Qt::LeftButton, {}, QPoint(startX, y));
    QTest::mouseMove(timeline, QPoint(toX, y));
    QTest::mouseRelease(timeline, Qt::LeftButton, {}, QPoint(toX, y));
    const qint64 in = sheet->session()->inMs();
    QCOMPARE(in, g.msAt(toX));
    QCOMPARE(sheet->findChild<TimecodeField*>(QStringLiteral("v2_clip_start"))->value(), in);
    // It was playing: playback holds during the drag and goes on from the new start after it.
    const QStringList calls = port->take();
    QCOMPARE(calls, (QStringList{QStringLiteral("pause"), QStringLiteral("seek %1 loose").arg(g.msAt(startX)),
                                 QStringLiteral("seek %1 loose").arg(in),
                                 QStringLiteral("seek %1 exact").arg(in), QStringLiteral("play")}));
    QVERIFY(port->playing);
    QCOMPARE(sheet->session()->currentMs(), in);
    QVERIFY(f->waitForRequests(QStringLiteral("clip.suggest"), before + 1));
    // The playhead follows the position the owner passes.
    port->advanceTo(30'000);
    QCOMPARE(timeline->currentMs(), 30'000);
}

void TestClipPanel::jobAreaFollowsTheJob() {
    TranscriptPlayer* sheet = openSheet(10'000, 14'000, 60'000);
    auto* progressRow = sheet->findChild<QWidget*>(QStringLiteral("clip_progress_row"));
    auto* resultRow = sheet->findChild<QWidget*>(QStringLiteral("clip_result_row"));
    auto* failureRow = sheet->findChild<QWidget*>(QStringLiteral("clip_failure_row"));
    auto* actionRow = sheet->findChild<QWidget*>(QStringLiteral("clip_action_row"));
    auto shown = [&] {
        QStringList out;
        for (QWidget* w : {progressRow, resultRow, failureRow, actionRow}) {
            if (w->isVisible())
                out << w->objectName();
        }
        return out;
    };
    QCOMPARE(shown(), QStringList{QStringLiteral("clip_action_row")});

    f->control(QStringLiteral("test.hold"),
               QJsonObject{{QStringLiteral("method"), QStringLiteral("clip.extract")}});
    sheet->findChild<QPushButton*>(QStringLiteral("v2_clip_extract"))->click();
    auto job = f->model->clipsPart().clipJob();
    QVERIFY(job);
    QCOMPARE(shown(), QStringList{QStringLiteral("clip_progress_row")});
    QVERIFY(f->waitForRequests(QStringLiteral("clip.extract"), 1));
    const QJsonObject params = f->requestsOf(QStringLiteral("clip.extract")).first().params;
    QCOMPARE(params.value(QStringLiteral("startMs")).toInteger(), 9'000);
    QCOMPARE(params.value(QStringLiteral("endMs")).toInteger(), 15'000);
    QCOMPARE(params.value(QStringLiteral("mode")).toString(), QStringLiteral("precise"));
    f->emitEvent(QStringLiteral("clip.progress"),
                 QJsonObject{{QStringLiteral("jobId"), job->id()}, {QStringLiteral("fraction"), 0.378}});
    auto* percent = sheet->findChild<QLabel*>(QStringLiteral("clip_percent"));
    QTRY_COMPARE(percent->text(), QStringLiteral("37 %"));
    f->emitEvent(QStringLiteral("clip.progress"),
                 QJsonObject{{QStringLiteral("jobId"), job->id()}, {QStringLiteral("fraction"), 0.29}});
    QTRY_COMPARE(percent->text(), QStringLiteral("29 %"));

    // Cancel asks the engine; the row stays until the job leaves "running".
    sheet->findChild<QPushButton*>(QStringLiteral("button_cancel"))->click();
    QVERIFY(f->waitForRequests(QStringLiteral("clip.cancel"), 1));
    QCOMPARE(
        f->requestsOf(QStringLiteral("clip.cancel")).first().params.value(QStringLiteral("jobId")).toString(),
        job->id());
    QCOMPARE(shown(), QStringList{QStringLiteral("clip_progress_row")});
    f->emitEvent(QStringLiteral("clip.state"),
                 QJsonObject{{QStringLiteral("jobId"), job->id()},
                             {QStringLiteral("state"), QStringLiteral("cancelled")}});
    QTRY_COMPARE(shown(), QStringList{QStringLiteral("clip_action_row")});

    // A failure without a message names none; the buttons stay for the next clip.
    f->emitEvent(QStringLiteral("clip.state"),
                 QJsonObject{{QStringLiteral("jobId"), job->id()},
                             {QStringLiteral("state"), QStringLiteral("failed")}});
    QTRY_COMPARE(shown(),
                 (QStringList{QStringLiteral("clip_failure_row"), QStringLiteral("clip_action_row")}));
    QCOMPARE(sheet->findChild<QLabel*>(QStringLiteral("clip_failure"))->text(),
             Strings::text(QStringLiteral("v2_clip_failed")));
    QVERIFY(sheet->findChild<QPushButton*>(QStringLiteral("v2_clip_extract"))->isEnabled());

    // Done with a file: its name only, the view button reveals the whole path.
    f->emitEvent(QStringLiteral("clip.state"),
                 QJsonObject{{QStringLiteral("jobId"), job->id()},
                             {QStringLiteral("state"), QStringLiteral("done")},
                             {QStringLiteral("destination"), QStringLiteral("/films/talk (clip).mp4")}});
    QTRY_COMPARE(shown(),
                 (QStringList{QStringLiteral("clip_result_row"), QStringLiteral("clip_action_row")}));
    QCOMPARE(sheet->findChild<ElidedLabel*>(QStringLiteral("clip_result_name"))->fullText(),
             QStringLiteral("talk (clip).mp4"));
    sheet->findChild<QPushButton*>(QStringLiteral("button_view"))->click();
    QVERIFY(f->waitForRequests(QStringLiteral("library.reveal"), 1));
    QCOMPARE(f->requestsOf(QStringLiteral("library.reveal"))
                 .first()
                 .params.value(QStringLiteral("path"))
                 .toString(),
             QStringLiteral("/films/talk (clip).mp4"));

    // The job is the application's: a later sheet shows it too.
    TranscriptPlayer* later = openSheet(0, 0, 60'000);
    QVERIFY(later->findChild<QWidget*>(QStringLiteral("clip_result_row"))->isVisible());
    QVERIFY(later->findChild<QWidget*>(QStringLiteral("clip_action_row"))->isVisible());
}

void TestClipPanel::extractionByTheEngine() {
    const QString folder = m_dir.filePath(QStringLiteral("cuts"));
    QVERIFY(QDir().mkpath(folder));
    const QString source = folder + QStringLiteral("/talk.mp4");
    QVERIFY(QFile::copy(m_video, source));
    TranscriptPlayer* sheet = openSheet(2'000, 4'000, 8'000, nullptr, source);
    auto* extract = sheet->findChild<QPushButton*>(QStringLiteral("v2_clip_extract"));
    auto* resultName = sheet->findChild<ElidedLabel*>(QStringLiteral("clip_result_name"));
    const QString suggested = sheet->session()->suggestion()->name;
    const int lists = f->requestsOf(QStringLiteral("library.list")).size();
    sheet->findChild<SegmentedBar*>(QStringLiteral("clip_mode"))->segment(QStringLiteral("fast"))->click();
    extract->click();
    auto first = f->model->clipsPart().clipJob();
    QTRY_COMPARE_WITH_TIMEOUT(first->state(), ClipJob::State::Done, 30000);
    QTRY_VERIFY(resultName->isVisible());
    QCOMPARE(resultName->fullText(), suggested);
    QVERIFY(QFileInfo(*first->destination()).size() > 0);
    QCOMPARE(QFileInfo(*first->destination()).fileName(), suggested);
    QVERIFY(f->waitForRequests(QStringLiteral("library.list"), lists + 1));
    QCOMPARE(
        f->requestsOf(QStringLiteral("clip.extract")).last().params.value(QStringLiteral("mode")).toString(),
        QStringLiteral("fast"));

    // A second clip straight after the first, from the same sheet.
    QVERIFY(extract->isVisible() && extract->isEnabled());
    button(sheet, Bound::End, QStringLiteral("v2_clip_step_later"))->click();
    extract->click();
    auto second = f->model->clipsPart().clipJob();
    QVERIFY(second != first);
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), ClipJob::State::Done, 30000);
    QTRY_COMPARE(resultName->fullText(), QFileInfo(*second->destination()).fileName());
    QVERIFY(*second->destination() != *first->destination());
    QCOMPARE(filesIn(folder).size(), 3);
}

void TestClipPanel::cancelLeavesNoFile() {
    const QString folder = m_dir.filePath(QStringLiteral("cancelled"));
    QVERIFY(QDir().mkpath(folder));
    const QString source = folder + QStringLiteral("/talk.mp4");
    QVERIFY(QFile::copy(m_video, source));
    TranscriptPlayer* sheet = openSheet(0, 7'000, 8'000, nullptr, source);
    // The engine stops at its first progress report, ffmpeg running and the partial file open.
    f->control(QStringLiteral("test.gate"),
               QJsonObject{{QStringLiteral("name"), QStringLiteral("clip.progress")},
                           {QStringLiteral("closed"), true}});
    sheet->findChild<QPushButton*>(QStringLiteral("v2_clip_extract"))->click();
    auto job = f->model->clipsPart().clipJob();
    auto* progressRow = sheet->findChild<QWidget*>(QStringLiteral("clip_progress_row"));
    QVERIFY(progressRow->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(filesIn(folder).size() > 1, 30000);
    sheet->findChild<QPushButton*>(QStringLiteral("button_cancel"))->click();
    QVERIFY(f->waitForRequests(QStringLiteral("clip.cancel"), 1));
    f->control(QStringLiteral("test.gate"),
               QJsonObject{{QStringLiteral("name"), QStringLiteral("clip.progress")},
                           {QStringLiteral("closed"), false}});
    QTRY_COMPARE_WITH_TIMEOUT(job->state(), ClipJob::State::Cancelled, 30000);
    QTRY_VERIFY(!progressRow->isVisible());
    QVERIFY(sheet->findChild<QWidget*>(QStringLiteral("clip_action_row"))->isVisible());
    QVERIFY(!sheet->findChild<QWidget*>(QStringLiteral("clip_failure_row"))->isVisible());
    QCOMPARE(filesIn(folder), QStringList{QStringLiteral("talk.mp4")});
    QVERIFY(!f->model->sessionPart().lastError());
}

QTEST_MAIN(TestClipPanel)
#include "Session.h"
#include "tst_clippanel.moc"
