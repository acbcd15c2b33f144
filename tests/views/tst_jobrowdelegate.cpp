// The painted job row of lists: icons hit where they are drawn, actions go by the state at the click,
// and a long queue paints only what is visible.
#include "DownloadQueue.h"
#include "JobStates.h"
#include "ViewHelpers.h"

#include "JobListModel.h"
#include "rows/JobRowDelegate.h"
#include "rows/ThumbnailCache.h"

#include <QListView>

using Kind = Job::State::Kind;

class TestJobRowDelegate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void iconsAreHitWhereTheyAreDrawn();
    void longQueue();
    void aClickBeginsAndEndsOnOneRow();
};

void TestJobRowDelegate::iconsAreHitWhereTheyAreDrawn() {
    StateFixture f;
    f.boot();
    auto waiting = jobIn(Kind::Waiting, QStringLiteral("http://127.0.0.1:9/a.mp4"));
    auto running = jobIn(Kind::Downloading, QStringLiteral("http://127.0.0.1:9/b.mp4"));
    auto done = jobIn(Kind::Done, QStringLiteral("http://127.0.0.1:9/c.mp4"));
    f.model->queuePart().insertJobs(0, {waiting, running, done});
    JobListModel rows(&f.model->queuePart());
    QListView view;
    auto* delegate = new JobRowDelegate(f.model.get(), &view);
    view.setItemDelegate(delegate);
    view.setModel(&rows);
    QVERIFY(showAt(&view, QSize(640, 300)));
    QCOMPARE(view.visualRect(rows.index(0)).height(), JobRowDelegate::rowHeight);

    auto click = [&](int row, int icon) {
        const QRect rect = JobRowDelegate::iconRect(view.visualRect(rows.index(row)), icon);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rect.center());
    };
    // A click beside the icons does nothing.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(rows.index(1)).center());
    // Row 1 is running: its first icon pauses it at the engine.
    click(1, 0);
    QVERIFY(f.waitForRequests(QStringLiteral("download.pause"), 1));
    QCOMPARE(f.requestsOf(QStringLiteral("download.pause"))
                 .last()
                 .params.value(QStringLiteral("jobId"))
                 .toString(),
             running->id());
    // Row 0 is waiting: the same icon starts it.
    click(0, 0);
    QVERIFY(f.waitForRequests(QStringLiteral("download.start"), 1));
    QCOMPARE(f.requestsOf(QStringLiteral("download.start"))
                 .last()
                 .params.value(QStringLiteral("jobId"))
                 .toString(),
             waiting->id());
    // The cancel icon of the finished row is disabled: the engine hears nothing of it. The pause of row 1
    // clicked afterwards proves the moment has passed.
    click(2, 2);
    putInState(*running, {Kind::Downloading, {}});
    click(1, 0);
    QVERIFY(f.waitForRequests(QStringLiteral("download.pause"), 2));
    for (const LoggedRequest& r : f.requestsOf(QStringLiteral("download.cancel")))
        QVERIFY(r.params.value(QStringLiteral("jobId")).toString() != done->id());
    // Remove takes the finished row out of the list.
    click(2, 3);
    QCOMPARE(rows.rowCount(), 2);
    QCOMPARE(f.model->queuePart().jobRow(done.get()), -1);
}

void TestJobRowDelegate::longQueue() {
    StateFixture f;
    f.boot();
    f.script(QStringLiteral("thumbnail.resolve"),
             QJsonObject{{QStringLiteral("result"), QJsonObject{{QStringLiteral("path"), QString()}}}}, 0);
    std::vector<std::shared_ptr<Job>> jobs;
    for (int i = 0; i < 10000; ++i) {
        jobs.push_back(jobIn(i % 2 ? Kind::Downloading : Kind::Waiting,
                             QStringLiteral("https://example.com/%1").arg(i)));
        jobs.back()->setThumbnailURL(QStringLiteral("https://example.com/%1.jpg").arg(i));
    }
    f.model->queuePart().insertJobs(0, jobs);
    JobListModel rows(&f.model->queuePart());
    QListView view;
    view.setUniformItemSizes(true);
    auto* delegate = new JobRowDelegate(f.model.get(), &view);
    view.setItemDelegate(delegate);
    view.setModel(&rows);
    QVERIFY(showAt(&view, QSize(640, 400)));
    view.scrollToBottom();
    QCoreApplication::processEvents();
    const QImage shot = view.grab().toImage();
    QVERIFY(!shot.isNull());
    // Once every asked picture is answered, only the rows that were drawn have asked for one.
    QVERIFY(QTest::qWaitFor([&] { return delegate->thumbnails()->loading() == 0; }, 10000));
    const int asked = f.requestsOf(QStringLiteral("thumbnail.resolve")).size();
    QVERIFY2(asked > 0 && asked <= 2 * (400 / JobRowDelegate::rowHeight + 2),
             qPrintable(QString::number(asked)));
}

void TestJobRowDelegate::aClickBeginsAndEndsOnOneRow() {
    StateFixture f;
    f.boot();
    auto waiting = jobIn(Kind::Waiting, QStringLiteral("http://127.0.0.1:9/a.mp4"));
    auto running = jobIn(Kind::Downloading, QStringLiteral("http://127.0.0.1:9/b.mp4"));
    f.model->queuePart().insertJobs(0, {waiting, running});
    JobListModel rows(&f.model->queuePart());
    QListView view;
    view.setItemDelegate(new JobRowDelegate(f.model.get(), &view));
    view.setModel(&rows);
    QVERIFY(showAt(&view, QSize(640, 300)));
    auto iconCentre = [&](int row) {
        return JobRowDelegate::iconRect(view.visualRect(rows.index(row)), 0).center();
    };
    // Pressed on the waiting row's start and let go over the running row's pause: neither runs.
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, iconCentre(0));
    QTest::mouseMove(view.viewport(), iconCentre(1));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, iconCentre(1));
    // A start or a pause is taken by the job at once, before anything is sent.
    QVERIFY(!waiting->requestOpen());
    QCOMPARE(running->state().kind, Kind::Downloading);
    // A whole click on the start afterwards proves the moment has passed.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, iconCentre(0));
    QVERIFY(f.waitForRequests(QStringLiteral("download.start"), 1));
    QCOMPARE(f.requestsOf(QStringLiteral("download.start")).size(), 1);
    QVERIFY(f.requestsOf(QStringLiteral("download.pause")).isEmpty());
}

QTEST_MAIN(TestJobRowDelegate)
#include "tst_jobrowdelegate.moc"
