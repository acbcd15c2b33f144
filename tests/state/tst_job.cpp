#include "EngineError.h"
#include "Job.h"
#include "JobStates.h"
#include "StringTable.h"
#include "Strings.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

#include <cmath>
#include <limits>

namespace {
const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();

void installTexts() {
    StringTable table;
    table.language = "en";
    table.strings = {{"status_starting", "Starting"},
                     {"speed_row_eta", "left"},
                     {"v2_progress_fragment", "fragment {n} of {total}"},
                     {"v2_status_converting_mp4", "Converting {percent}%"},
                     {"queue_status_waiting", "Waiting"},
                     {"status_done", "Done"},
                     {"status_listing_url", "This is a playlist"},
                     {"queue_status_error", "Failed"}};
    Strings::install(table);
}
} // namespace

class TestJob : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installTexts(); }

    void durations_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("42") << 42.0 << "42 s";
        QTest::newRow("59.5 rounds up") << 59.5 << "1 min 00 s";
        QTest::newRow("187") << 187.0 << "3 min 07 s";
        QTest::newRow("3599.4") << 3599.4 << "59 min 59 s";
        QTest::newRow("3600") << 3600.0 << "1 h 00 min";
        QTest::newRow("3900") << 3900.0 << "1 h 05 min";
        QTest::newRow("NaN") << notANumber << "0 s";
        QTest::newRow("infinity") << infinity << "0 s";
        QTest::newRow("beyond 64 bits") << 1e300 << "0 s";
    }
    void durations() {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(Job::duration(seconds), text);
    }

    void roughDurations_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("89.4") << 89.4 << "89 s";
        QTest::newRow("90") << 90.0 << "2 min";
        QTest::newRow("5399") << 5399.0 << "90 min";
        QTest::newRow("5400") << 5400.0 << "1.5 h";
        QTest::newRow("9000") << 9000.0 << "2.5 h";
        QTest::newRow("negative") << -1.0 << "0 s";
        QTest::newRow("NaN") << notANumber << "0 s";
        QTest::newRow("infinity") << infinity << "0 s";
    }
    void roughDurations() {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(Job::roughDuration(seconds), text);
    }

    void byteFormats_data() {
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("text");
        QTest::newRow("2.5 MB/s") << 2500000.0 << "2.5 MB/s";
        // Kilobytes and megabytes only: a slow transfer is never "0.0 MB/s", a fast one stays in MB.
        QTest::newRow("kilobytes") << 43000.0 << "43 KB/s";
        QTest::newRow("under a kilobyte") << 400.0 << "0 KB/s";
        QTest::newRow("just under a megabyte") << 999600.0 << "1.0 MB/s";
        QTest::newRow("a gigabyte stays megabytes") << 1.5e9 << "1,500 MB/s";
        QTest::newRow("NaN") << notANumber << "0 KB/s";
        QTest::newRow("infinity") << infinity << "0 KB/s";
        QTest::newRow("huge") << 1e30 << "0 KB/s";
    }
    void byteFormats() {
        QFETCH(double, rate);
        QFETCH(QString, text);
        QCOMPARE(Job::byteRate(rate), text);
    }

    void statusLines_data() {
        QTest::addColumn<double>("speed");
        QTest::addColumn<double>("eta");
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("fragment");
        QTest::addColumn<qint64>("fragments");
        QTest::addColumn<QString>("line");
        QTest::newRow("nothing known")
            << 0.0 << 0.0 << qint64(0) << qint64(0) << qint64(0) << qint64(0) << "Starting";
        QTest::newRow("rate and eta") << 2500000.0 << 65.4 << qint64(0) << qint64(0) << qint64(0) << qint64(0)
                                      << "2.5 MB/s \u00B7 left 1 min 05 s";
        QTest::newRow("fragments beat bytes")
            << 0.0 << 0.0 << qint64(5000000) << qint64(0) << qint64(3) << qint64(12) << "fragment 3 of 12";
        QTest::newRow("sizes") << 0.0 << 0.0 << qint64(1000000) << qint64(4000000) << qint64(0) << qint64(0)
                               << "1.0 MB / 4.0 MB";
        QTest::newRow("bytes only") << 0.0 << 0.0 << qint64(2000000) << qint64(0) << qint64(0) << qint64(0)
                                    << "2.0 MB";
        // What the speed panel says of the same transfer: kilobytes, never "0.0 MB/s · 0.0 MB / 0.1 MB".
        QTest::newRow("below a megabyte") << 43000.0 << 0.0 << qint64(20000) << qint64(100000) << qint64(0)
                                          << qint64(0) << "43 KB/s · 20 KB / 100 KB";
        QTest::newRow("kilobytes of megabytes") << 0.0 << 0.0 << qint64(640000) << qint64(12500000)
                                                << qint64(0) << qint64(0) << "640 KB / 12.5 MB";
        QTest::newRow("NaN speed and eta")
            << notANumber << notANumber << qint64(0) << qint64(0) << qint64(0) << qint64(0) << "Starting";
    }
    void statusLines() {
        QFETCH(double, speed);
        QFETCH(double, eta);
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(qint64, fragment);
        QFETCH(qint64, fragments);
        QFETCH(QString, line);
        Job job("https://example.org/v", {}, "v", false);
        putInState(job, {Job::State::Downloading, {}});
        job.setSpeedBytesPerSecond(speed);
        job.setEtaSeconds(eta);
        job.setBytesDone(done);
        job.setBytesTotal(total);
        job.setFragment(fragment);
        job.setFragmentCount(fragments);
        QCOMPARE(job.statusLine(), line);
    }

    void otherStates() {
        Job job("u", {}, "t", false);
        putInState(job, {Job::State::Converting, {}});
        job.setFraction(0.999);
        QCOMPARE(job.statusLine(), QString("Converting 99%"));
        job.setFraction(1.0);
        QCOMPARE(job.statusLine(), QString("Converting 100%"));
        job.setFraction(notANumber);
        QCOMPARE(job.statusLine(), QString("Converting 0%"));
        job.fail("");
        QCOMPARE(job.statusLine(), QString());
        job.backToWaiting();
        QCOMPARE(job.statusLine(), QString("Waiting"));
    }

    void statesCompareByMessage() {
        QCOMPARE(Job::State::failed("a"), Job::State::failed("a"));
        QVERIFY(!(Job::State::failed("a") == Job::State::failed("b")));
        QCOMPARE((Job::State{Job::State::Done, "x"}), (Job::State{Job::State::Done, "y"}));
    }

    void idsAreUpperCaseAndAssignmentsOfTheSameValueNotifyNobody() {
        Job job("u", {}, "t", false);
        QCOMPARE(job.id(), job.id().toUpper());
        QCOMPARE(job.id().size(), 36);
        int changes = 0;
        connect(&job, &Job::changed, [&] { ++changes; });
        job.setTitle("t");
        job.setFraction(0);
        QCOMPARE(changes, 0);
        job.setFraction(0.5);
        QCOMPARE(changes, 1);
        job.setSpeedEngine(std::nullopt); // statistics always notify
        QCOMPARE(changes, 2);
    }

    // Each field signals its own group (and changed()), so a row redraws only what moved.
    void fieldsSignalTheirGroup() {
        Job job("u", {}, "t", false);
        QSignalSpy progress(&job, &Job::progressChanged);
        QSignalSpy state(&job, &Job::stateChanged);
        QSignalSpy details(&job, &Job::detailsChanged);
        QSignalSpy any(&job, &Job::changed);
        const auto counts = [&] {
            return QList<int>{int(progress.size()), int(state.size()), int(details.size())};
        };
        const std::vector<std::pair<std::function<void()>, QList<int>>> steps{
            {[&] { job.setFraction(0.25); }, {1, 0, 0}},
            {[&] { job.setBytesDone(10); }, {2, 0, 0}},
            {[&] { job.setBytesTotal(100); }, {3, 0, 0}},
            {[&] { job.setSpeedBytesPerSecond(5); }, {4, 0, 0}},
            {[&] { job.setEtaSeconds(18); }, {5, 0, 0}},
            {[&] { job.setFragment(1); }, {6, 0, 0}},
            {[&] { job.setFragmentCount(2); }, {7, 0, 0}},
            {[&] {
                 job.openRun();
                 job.apply(EngineEvent::JobStarted{job.id(), {}, {}, {}, {}, false});
             },
             {7, 1, 0}},
            {[&] { job.fail("no"); }, {7, 2, 0}},
            {[&] { job.setTitle("T"); }, {7, 2, 1}},
            {[&] { job.setThumbnailURL(QString("http://t")); }, {7, 2, 2}},
            {[&] { job.setChannel("C"); }, {7, 2, 3}},
            {[&] { job.setOutputPath(QString("/o")); }, {7, 2, 4}},
            {[&] { job.setDestination(QString("/d")); }, {7, 2, 5}},
            {[&] { job.setFileName(QString("f")); }, {7, 2, 6}},
            {[&] { job.setTitle("T"); }, {7, 2, 6}}, // the same value: nothing
        };
        for (const auto& [step, expected] : steps) {
            step();
            QCOMPARE(counts(), expected);
        }
        QCOMPARE(int(any.size()), 15);
        QCOMPARE(job.property("stateKind").toInt(), int(Job::State::Failed));
    }

    // The engine's events about a job: those that would make it look running count only while its
    // request is open; its details and the three ends count always, and say that they ended it.
    void eventsCountOnlyWhileTheRunIsOpen_data() {
        using K = EngineEvent::JobState::Kind;
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("event"); // -1 started, -2 progress, else a JobState kind
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("ended");
        const int parked = Job::State::Paused;
        for (const bool open : {true, false}) {
            const char* run = open ? "open: " : "closed: ";
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(QString(run) + name));
            };
            row("started") << open << -1 << (open ? int(Job::State::Downloading) : parked) << false;
            row("progress") << open << -2 << (open ? int(Job::State::Downloading) : parked) << false;
            row("queued") << open << int(K::Queued) << (open ? int(Job::State::Queued) : parked) << false;
            row("processing") << open << int(K::Processing) << (open ? int(Job::State::Processing) : parked)
                              << false;
            row("converting") << open << int(K::Converting) << (open ? int(Job::State::Converting) : parked)
                              << false;
            row("a state of a later engine") << open << int(K::Other) << parked << false;
            row("done") << open << int(K::Done) << int(Job::State::Done) << true;
            row("failed") << open << int(K::Failed) << int(Job::State::Failed) << true;
            row("cancelled") << open << int(K::Cancelled) << int(Job::State::Cancelled) << true;
        }
    }
    void eventsCountOnlyWhileTheRunIsOpen() {
        QFETCH(bool, open);
        QFETCH(int, event);
        QFETCH(int, after);
        QFETCH(bool, ended);
        Job job("u", {}, "t", false);
        job.pause();
        if (open)
            QVERIFY(job.openRun());
        bool said = false;
        if (event == -1) {
            job.apply(EngineEvent::JobStarted{job.id(), {}, {}, {}, {}, false});
        } else if (event == -2) {
            EngineEvent::JobProgress progress;
            progress.jobId = job.id();
            progress.fraction = 0.5;
            job.apply(progress);
            QCOMPARE(job.fraction(), open ? 0.5 : 0.0);
        } else {
            EngineEvent::JobState state;
            state.jobId = job.id();
            state.state = EngineEvent::JobState::Kind(event);
            state.filename = QString("/out/t.mp4");
            said = job.apply(state);
        }
        QCOMPARE(job.stateKind(), after);
        QCOMPARE(said, ended);
        if (after == Job::State::Done) {
            QCOMPARE(job.fraction(), 1.0);
            QCOMPARE(job.outputPath().value_or(QString()), QString("/out/t.mp4"));
        }
        if (after == Job::State::Failed)
            QCOMPARE(job.state().message, QString("Failed"));
    }

    // One run at a time: a second start is refused while the first is open, and a new run takes over
    // the part an earlier one kept.
    void oneRunAtATime() {
        Job job("u", {}, "t", false);
        job.failKeepingPart("stopped");
        QVERIFY(job.keptForResume());
        QVERIFY(job.openRun());
        QVERIFY(!job.keptForResume());
        QVERIFY(!job.openRun());
        job.closeRun();
        QVERIFY(!job.requestOpen());
        QVERIFY(job.openRun());
    }

    void restoredJobsWaitOrStayPaused() {
        for (const bool paused : {false, true}) {
            Job job("u", {}, "t", true);
            QVERIFY(!job.restored());
            job.restore(paused);
            QVERIFY(job.restored());
            QCOMPARE(job.stateKind(), int(paused ? Job::State::Paused : Job::State::Waiting));
        }
    }

    // A start request that ends in an error reply: a pause and a cancel come back that way too.
    void howARunEnds_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("text");
        QTest::newRow("paused") << 1 << "paused" << int(Job::RunEnd::Paused) << "boom";
        QTest::newRow("paused wins over a cancel code")
            << int(EngineError::Cancelled) << "paused" << int(Job::RunEnd::Paused) << "boom";
        QTest::newRow("cancelled") << int(EngineError::Cancelled) << "" << int(Job::RunEnd::Cancelled)
                                   << "boom";
        QTest::newRow("write failed") << 1 << "io" << int(Job::RunEnd::FailedKeepingPart) << "boom";
        QTest::newRow("a listing") << 1 << "listing-url" << int(Job::RunEnd::Failed) << "This is a playlist";
        QTest::newRow("other") << 1 << "network" << int(Job::RunEnd::Failed) << "boom";
        QTest::newRow("no detail") << 1 << QString() << int(Job::RunEnd::Failed) << "boom";
    }
    void howARunEnds() {
        QFETCH(int, code);
        QFETCH(QString, detail);
        QFETCH(int, end);
        QFETCH(QString, text);
        const EngineError error(code, "boom", detail.isNull() ? std::nullopt : std::optional(detail));
        const Job::RunEnd got = Job::runEndOf(error);
        QCOMPARE(int(got.kind), end);
        QCOMPARE(got.text, text);
    }
};

QTEST_GUILESS_MAIN(TestJob)
#include "tst_job.moc"
