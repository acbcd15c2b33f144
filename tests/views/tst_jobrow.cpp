// The job row: what every state shows, and where each icon's click goes at the moment of the click.
#include "DownloadQueue.h"
#include "JobStates.h"
#include "ViewHelpers.h"

#include "Strings.h"
#include "kit/Theme.h"
#include "rows/ElidedLabel.h"
#include "rows/JobRow.h"
#include "rows/JobRowContent.h"
#include "rows/RowIcon.h"
#include "rows/Thumbnail.h"

#include <QProgressBar>
#include <QTemporaryDir>

#include <cmath>

using Kind = Job::State::Kind;
using Action = JobRowContent::Action;

class TestJobRow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyState_data();
    void everyState();
    void progressBarFollowsTheTotal();
    void failureWithoutMessageShowsTheStatusAlone();
    void rowFollowsTheJob();
    void clicksGoByTheStateAtClickTime();
    void revealAndRemove();
};

void TestJobRow::everyState_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("statusKey");
    QTest::addColumn<bool>("detailIsSummary");
    QTest::addColumn<bool>("bar");
    QTest::addColumn<QString>("primarySymbol");
    QTest::addColumn<QString>("primaryLabel");
    QTest::addColumn<QString>("enabled"); // primary, reveal, cancel, remove as 1/0
    QTest::addColumn<QString>("removeLabel");

    const QString play = QStringLiteral("play.fill"), pause = QStringLiteral("pause.fill");
    const QString resume = QStringLiteral("button_resume"), pauseKey = QStringLiteral("button_pause");
    const QString remove = QStringLiteral("button_remove");
    QTest::newRow("waiting") << int(Kind::Waiting) << "queue_status_waiting" << true << false << play
                             << resume << "1011" << remove;
    QTest::newRow("queued") << int(Kind::Queued) << "queue_status_waiting" << true << false << pause
                            << pauseKey << "1011" << remove;
    QTest::newRow("analyzing") << int(Kind::Analyzing) << "status_resolving" << true << false << pause
                               << pauseKey << "1011" << remove;
    QTest::newRow("downloading") << int(Kind::Downloading) << "queue_status_downloading" << false << true
                                 << pause << pauseKey << "1011" << remove;
    QTest::newRow("paused") << int(Kind::Paused) << "queue_status_paused" << true << false << play << resume
                            << "1011" << remove;
    QTest::newRow("processing") << int(Kind::Processing) << "status_processing" << true << false << pause
                                << pauseKey << "1011" << remove;
    QTest::newRow("converting") << int(Kind::Converting) << "v2_status_converting" << true << false << pause
                                << pauseKey << "1011" << remove;
    QTest::newRow("done") << int(Kind::Done) << "queue_status_done" << true << false << play << resume
                          << "0101"
                          << "button_remove_from_list";
    QTest::newRow("cancelled") << int(Kind::Cancelled) << "queue_status_cancelled" << true << false << play
                               << resume << "1001" << remove;
    QTest::newRow("failed") << int(Kind::Failed) << "queue_status_error" << false << false << play << resume
                            << "1001" << remove;
}

void TestJobRow::everyState() {
    QFETCH(int, kind);
    QFETCH(QString, statusKey);
    QFETCH(bool, detailIsSummary);
    QFETCH(bool, bar);
    QFETCH(QString, primarySymbol);
    QFETCH(QString, primaryLabel);
    QFETCH(QString, enabled);
    QFETCH(QString, removeLabel);

    StateFixture f;
    auto job = jobIn(Kind(kind), QStringLiteral("https://example.com/v"), QStringLiteral("It broke"));
    job->setBytesDone(1'500'000);
    job->setBytesTotal(3'000'000);
    job->setFraction(0.5);
    JobRow row(f.model.get());
    row.setJob(job);
    QVERIFY(showAt(&row, QSize(600, 60)));

    const JobRowContent c = JobRowContent::of(*job);
    QCOMPARE(c.statusKey, statusKey);
    const QString detail = kind == int(Kind::Failed) ? QStringLiteral("It broke")
                           : detailIsSummary         ? job->format().summary()
                                                     : job->statusLine();
    QCOMPARE(c.detail, detail);
    QCOMPARE(row.captionLabel()->fullText(), Strings::text(statusKey) + QStringLiteral(" \u00B7 ") + detail);
    QCOMPARE(row.progressBar()->isVisible(), bar);
    QCOMPARE(c.failed, kind == int(Kind::Failed));

    const QStringList symbols{primarySymbol, QStringLiteral("folder"), QStringLiteral("xmark"),
                              QStringLiteral("trash")};
    const QStringList labels{primaryLabel, QStringLiteral("button_finder"), QStringLiteral("button_cancel"),
                             removeLabel};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(c.icons[i].symbol, symbols[i]);
        QCOMPARE(c.icons[i].labelKey, labels[i]);
        QCOMPARE(c.icons[i].enabled, enabled[i] == u'1');
        RowIcon* icon = row.icon(i);
        QVERIFY(icon->isVisible()); // a disabled icon keeps its place
        QCOMPARE(icon->symbol(), symbols[i]);
        QCOMPARE(icon->isEnabled(), enabled[i] == u'1');
        QCOMPARE(icon->accessibleName(), Strings::text(labels[i]));
        QCOMPARE(icon->toolTip(), Strings::text(labels[i]));
        QCOMPARE(icon->size(), RowIcon::frame);
    }
    QCOMPARE(row.thumbnail()->size(), JobRow::thumbnailSize);
    QVERIFY(row.height() >= JobRow::minimumHeight);
}

void TestJobRow::progressBarFollowsTheTotal() {
    StateFixture f;
    auto job = jobIn(Kind::Downloading);
    JobRow row(f.model.get());
    row.setJob(job);
    QVERIFY(showAt(&row, QSize(600, 60)));
    // No total yet: a moving bar.
    QCOMPARE(row.progressBar()->maximum(), 0);
    struct Case {
        double fraction;
        int value;
    };
    const Case cases[] = {{0.25, 250}, {1.7, 1000}, {-0.2, 0}, {std::nan(""), 0}, {0.999, 999}};
    job->setBytesTotal(1000);
    for (const Case& c : cases) {
        job->setFraction(c.fraction);
        QCOMPARE(row.progressBar()->maximum(), 1000);
        QCOMPARE(row.progressBar()->value(), c.value);
    }
    putInState(*job, {Kind::Processing, {}});
    QVERIFY(!row.progressBar()->isVisible());
    QCOMPARE(row.captionLabel()->fullText(), Strings::text(QStringLiteral("status_processing")) +
                                                 QStringLiteral(" \u00B7 ") + job->format().summary());
}

void TestJobRow::failureWithoutMessageShowsTheStatusAlone() {
    StateFixture f;
    auto job = jobIn(Kind::Failed, QStringLiteral("https://example.com/v"), QString());
    JobRow row(f.model.get());
    row.setJob(job);
    QCOMPARE(row.captionLabel()->fullText(), Strings::text(QStringLiteral("queue_status_error")));
    // Orange, as every failure is.
    QCOMPARE(row.captionLabel()->palette().color(QPalette::WindowText),
             Theme::ink(Theme::Ink::Warning, Theme::palette()));
}

void TestJobRow::rowFollowsTheJob() {
    StateFixture f;
    auto job = jobIn(Kind::Downloading);
    JobRow row(f.model.get());
    row.setJob(job);
    QVERIFY(showAt(&row, QSize(600, 60)));
    QCOMPARE(row.icon(0)->symbol(), QStringLiteral("pause.fill"));
    putInState(*job, {Kind::Done, {}});
    QCOMPARE(row.icon(0)->symbol(), QStringLiteral("play.fill"));
    QVERIFY(!row.icon(0)->isEnabled());
    QVERIFY(row.icon(1)->isEnabled());
    job->setTitle(QStringLiteral("A new title"));
    QCOMPARE(row.titleLabel()->fullText(), QStringLiteral("A new title"));
    // A row given another job no longer follows the first.
    auto other = jobIn(Kind::Waiting);
    row.setJob(other);
    putInState(*job, {Kind::Downloading, {}});
    QCOMPARE(row.icon(0)->symbol(), QStringLiteral("play.fill"));
    QVERIFY(row.icon(0)->isEnabled());
}

void TestJobRow::clicksGoByTheStateAtClickTime() {
    StateFixture f;
    f.boot();
    // An address nothing answers on: a run started by a click fails quickly.
    auto job = jobIn(Kind::Downloading, QStringLiteral("http://127.0.0.1:9/none.mp4"));
    f.model->queuePart().insertJobs(0, {job});
    JobRow row(f.model.get());
    row.setJob(job);
    QVERIFY(showAt(&row, QSize(600, 60)));

    // Drawn while downloading, clicked once the job is paused: the click resumes (a new run).
    putInState(*job, {Kind::Paused, {}});
    const int starts = f.requestsOf(QStringLiteral("download.start")).size();
    QTest::mouseClick(row.icon(0), Qt::LeftButton);
    QVERIFY(f.waitForRequests(QStringLiteral("download.start"), starts + 1));
    // The failure may be told by an event before the start request is answered; a retry clicked in that
    // moment is refused, so wait for the run to be over too.
    QVERIFY(QTest::qWaitFor([&] { return job->state().isFinished() && !job->requestOpen(); }, 10000));
    QCOMPARE(f.requestsOf(QStringLiteral("download.start"))
                 .last()
                 .params.value(QStringLiteral("jobId"))
                 .toString(),
             job->id());

    // Failed: the same icon retries.
    QCOMPARE(job->state().kind, Kind::Failed);
    QTest::mouseClick(row.icon(0), Qt::LeftButton);
    QVERIFY(f.waitForRequests(QStringLiteral("download.start"), starts + 2));
    QVERIFY(QTest::qWaitFor([&] { return job->state().isFinished(); }, 10000));

    // Running: the icon pauses, and cancel cancels, both at the engine.
    putInState(*job, {Kind::Downloading, {}});
    QTest::mouseClick(row.icon(0), Qt::LeftButton);
    QVERIFY(f.waitForRequests(QStringLiteral("download.pause"), 1));
    QCOMPARE(f.requestsOf(QStringLiteral("download.pause"))
                 .last()
                 .params.value(QStringLiteral("jobId"))
                 .toString(),
             job->id());
    QTest::mouseClick(row.icon(2), Qt::LeftButton);
    QVERIFY(f.waitForRequests(QStringLiteral("download.cancel"), 1));
    QCOMPARE(f.requestsOf(QStringLiteral("download.cancel"))
                 .last()
                 .params.value(QStringLiteral("jobId"))
                 .toString(),
             job->id());
}

void TestJobRow::revealAndRemove() {
    StateFixture f;
    f.boot();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clip.mp4"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not really a video");
    file.close();

    auto job = jobIn(Kind::Done);
    job->setOutputPath(path);
    f.model->queuePart().insertJobs(0, {job});
    JobRow row(f.model.get());
    row.setJob(job);
    QVERIFY(showAt(&row, QSize(600, 60)));

    QTest::mouseClick(row.icon(1), Qt::LeftButton);
    QVERIFY(f.waitForRequests(QStringLiteral("library.reveal"), 1));
    QCOMPARE(
        f.requestsOf(QStringLiteral("library.reveal")).last().params.value(QStringLiteral("path")).toString(),
        path);
    // The cancel icon of a finished job does nothing, even when clicked.
    QVERIFY(!row.icon(2)->isEnabled());
    JobRowContent::trigger(*f.model, job, Action::Cancel);
    QCOMPARE(job->state().kind, Kind::Done);

    QTest::mouseClick(row.icon(3), Qt::LeftButton);
    QCOMPARE(f.model->queuePart().jobRow(job.get()), -1);
}

QTEST_MAIN(TestJobRow)
#include "tst_jobrow.moc"
