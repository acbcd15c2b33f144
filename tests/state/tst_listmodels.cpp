// The list models a view reads: the batch queue's rows follow every change of the queue one row at a
// time and gather progress; the library's rows grow page by page and fetch the next page on demand.
#include "DownloadQueue.h"
#include "JobStates.h"
#include "StateFixture.h"

#include "JobListModel.h"
#include "Library.h"
#include "LibraryListModel.h"
#include "LibrarySeed.h"
#include "Strings.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {
std::shared_ptr<Job> makeJob(const QString& url) {
    return std::make_shared<Job>(url, FormatChoice{}, url, true);
}

// Every row shows the job at the same position of the queue.
bool rowsMatchQueue(const JobListModel& rows, const AppModel& model) {
    if (rows.rowCount() != int(model.queuePart().jobs().size()))
        return false;
    for (int row = 0; row < rows.rowCount(); ++row) {
        const QModelIndex at = rows.index(row);
        if (rows.data(at, JobListModel::JobRole).value<Job*>() != model.queuePart().jobs()[row].get() ||
            rows.data(at, JobListModel::URLRole).toString() != model.queuePart().jobs()[row]->url())
            return false;
    }
    return true;
}

QStringList urls(const AppModel& model) {
    QStringList out;
    for (const auto& job : model.queuePart().jobs())
        out << job->url();
    return out;
}

// The rows touched by each dataChanged signal that carried `role`.
QList<QList<int>> changedRows(const QSignalSpy& spy, int role) {
    QList<QList<int>> out;
    for (const QList<QVariant>& signal : spy) {
        if (!signal[2].value<QList<int>>().contains(role))
            continue;
        QList<int> rows;
        for (int row = signal[0].toModelIndex().row(); row <= signal[1].toModelIndex().row(); ++row)
            rows << row;
        out << rows;
    }
    return out;
}
} // namespace

class TestListModels : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    // A thousand restored jobs come in as one insertion; growing, moving to the front and back, pruning
    // and replacing the queue keep every row on its job, checked throughout by Qt's model tester.
    void jobRowsFollowTheQueue() {
        StateFixture f;
        f.startEngine();
        QJsonArray rows;
        for (int i = 0; i < 1000; ++i)
            rows.append(savedQueueRow(QString("http://a/%1").arg(i), {{"quality", ""}, {"container", ""}}));
        f.script("queue.load", {{"result", QJsonObject{{"items", rows}}}});
        JobListModel model(&f.model->queuePart());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        f.boot();
        QCOMPARE(model.rowCount(), 1000);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(reset.size(), 0);
        QVERIFY(rowsMatchQueue(model, *f.model));

        f.model->queuePart().insertJobs(1000, {makeJob("http://b/0"), makeJob("http://b/1")});
        f.model->queuePart().insertJobs(0, {makeJob("http://b/2")});
        QCOMPARE(model.rowCount(), 1003);
        QCOMPARE(model.data(model.index(0), JobListModel::URLRole).toString(), QString("http://b/2"));
        QVERIFY(rowsMatchQueue(model, *f.model));

        QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
        f.model->queuePart().moveJob(501, 0);
        QCOMPARE(model.data(model.index(0), JobListModel::URLRole).toString(), QString("http://a/500"));
        f.model->queuePart().moveJob(0, 1002);
        QCOMPARE(model.data(model.index(1002), JobListModel::URLRole).toString(), QString("http://a/500"));
        f.model->queuePart().moveJob(3, 4);
        QCOMPARE(moved.size(), 3);
        QVERIFY(rowsMatchQueue(model, *f.model));

        const QStringList before = urls(*f.model);
        f.model->queuePart().removeJobs(10, 100);
        QCOMPARE(model.rowCount(), 903);
        QCOMPARE(urls(*f.model), before.mid(0, 10) + before.mid(110));
        f.model->queuePart().removeJobs(0, 1);
        f.model->queuePart().removeJobs(901, 5); // past the end: only the last row goes
        QCOMPARE(model.rowCount(), 901);
        QVERIFY(rowsMatchQueue(model, *f.model));

        f.model->queuePart().resetJobs({makeJob("http://c/0"), makeJob("http://c/1")});
        QCOMPARE(reset.size(), 1);
        QVERIFY(rowsMatchQueue(model, *f.model));
    }

    // Progress is gathered: a burst of events gives each row one signal with the last values, in runs
    // of neighbouring rows; a job that left the queue signals nothing; state and details come at once,
    // on the job's row wherever it moved.
    void progressIsGatheredAndOtherChangesAreImmediate() {
        StateFixture f;
        std::vector<std::shared_ptr<Job>> jobs;
        for (int i = 0; i < 5; ++i)
            jobs.push_back(makeJob(QString("http://a/%1").arg(i)));
        f.model->queuePart().resetJobs(jobs);
        JobListModel model(&f.model->queuePart());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        for (int step = 1; step <= 500; ++step) {
            for (int row : {1, 2, 4}) {
                jobs[row]->setFraction(step / 500.0);
                jobs[row]->setBytesDone(step * 1000);
            }
        }
        QCOMPARE(changed.size(), 0); // nothing yet: gathered until the flush
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(changedRows(changed, JobListModel::FractionRole), (QList<QList<int>>{{1, 2}, {4}}));
        QCOMPARE(model.data(model.index(2), JobListModel::FractionRole).toDouble(), 1.0);
        QCOMPARE(model.data(model.index(4), JobListModel::BytesDoneRole).toLongLong(), 500000);

        // A removed job's progress is dropped: the next flush (proved by row 0's) carries only row 0.
        changed.clear();
        f.model->queuePart().removeJobs(4, 1);
        jobs[4]->setFraction(0.25);
        jobs[0]->setFraction(0.5);
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(changedRows(changed, JobListModel::FractionRole), (QList<QList<int>>{{0}}));

        // State and details are signalled at once, on the row the job has now.
        changed.clear();
        f.model->queuePart().moveJob(3, 0);
        putInState(*jobs[3], Job::State::failed("gone"));
        QCOMPARE(changedRows(changed, JobListModel::StateRole), (QList<QList<int>>{{0}}));
        QCOMPARE(model.data(model.index(0), JobListModel::FailureRole).toString(), QString("gone"));
        jobs[3]->setTitle("Renamed");
        QCOMPARE(changedRows(changed, JobListModel::TitleRole), (QList<QList<int>>{{0}}));
        // A job that left the queue changes no row, however it changes.
        changed.clear();
        putInState(*jobs[4], Job::State::failed("late"));
        jobs[4]->setTitle("Gone");
        jobs[2]->setTitle("Still here");
        QCOMPARE(changedRows(changed, JobListModel::TitleRole), (QList<QList<int>>{{3}}));
        QCOMPARE(changedRows(changed, JobListModel::StateRole), (QList<QList<int>>{}));
        QCOMPARE(model.data(model.index(0), Qt::DisplayRole).toString(), QString("Renamed"));
    }

    // Pages of the real engine's library append rows; each fetchMore asks for the next page once; a
    // filter resets the rows to the matching items.
    void libraryRowsGrowPageByPage() {
        StateFixture f;
        QJsonArray items;
        for (int i = 0; i < 300; ++i)
            items.append(QJsonObject{{"path", QString("/m/%1.mp4").arg(i, 3, 10, QChar('0'))},
                                     {"title", QString("Item %1").arg(i)},
                                     {"channel", i % 2 ? "Odd" : "Even"}});
        QVERIFY(seedLibrary(f.path("support"), items));
        f.startEngine();
        // The first page fails, so the automatic paging stops and only fetchMore asks for pages.
        f.scriptError("library.list", 5, "not now");
        LibraryListModel model(&f.model->libraryPart());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        f.boot();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(model.canFetchMore({}));

        for (int page = 1; page <= 3; ++page) {
            model.fetchMore({});
            QVERIFY(!model.canFetchMore({})); // the page is on its way
            model.fetchMore({});              // and is not asked for twice
            QTRY_COMPARE(model.rowCount(), std::min(page * 120, 300));
            QCOMPARE(inserted.size(), page);
        }
        const auto pages = f.requestsOf("library.list");
        QCOMPARE(pages.size(), 4);
        QCOMPARE(pages[1].params["offset"].toInt(), 0);
        QCOMPARE(pages[2].params["offset"].toInt(), 120);
        QCOMPARE(pages[3].params["offset"].toInt(), 240);
        QVERIFY(!model.canFetchMore({}));
        QCOMPARE(reset.size(), 0);
        for (int row = 0; row < 300; ++row)
            QCOMPARE(model.data(model.index(row), LibraryListModel::PathRole).toString(),
                     f.model->libraryPart().library()[row].path);

        f.model->libraryPart().setLibrarySearch("  odd ");
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 150);
        for (int row = 0; row < model.rowCount(); ++row)
            QCOMPARE(model.data(model.index(row), LibraryListModel::ChannelRole).toString(), QString("Odd"));
        f.model->libraryPart().setLibrarySearch("odd"); // the same filter once trimmed: nothing moves
        QCOMPARE(reset.size(), 1);
    }

    // A reload that brings a new download inserts its row at the top; the rows below stay, nothing resets.
    void aReloadInsertsTheNewRowOnly() {
        StateFixture f;
        QJsonArray items;
        for (int i = 0; i < 200; ++i)
            items.append(QJsonObject{{"path", QString("/m/%1.mp4").arg(i, 3, 10, QChar('0'))},
                                     {"addedAt", 1000.0 - i}});
        QVERIFY(seedLibrary(f.path("support"), items));
        f.boot();
        QTRY_VERIFY(f.model->libraryPart().library().size() == 200 &&
                    !f.model->libraryPart().libraryHasMore() && !f.model->libraryPart().libraryLoading());
        LibraryListModel model(&f.model->libraryPart());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QVERIFY(seedLibrary(f.path("support"), {QJsonObject{{"path", "/m/new.mp4"}, {"addedAt", 5000.0}}}));
        QCoro::waitFor(f.model->libraryPart().reloadLibrary());
        QTRY_VERIFY(f.model->libraryPart().library().size() == 201 &&
                    !f.model->libraryPart().libraryHasMore() && !f.model->libraryPart().libraryLoading());
        QCOMPARE(reset.size(), 0);
        QCOMPARE(removed.size(), 0);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][1].toInt(), 0);
        QCOMPARE(inserted[0][2].toInt(), 0);
        QCOMPARE(model.rowCount(), 201);
        QCOMPARE(model.data(model.index(0), LibraryListModel::PathRole).toString(), QString("/m/new.mp4"));
        QCOMPARE(model.data(model.index(200), LibraryListModel::PathRole).toString(), QString("/m/199.mp4"));
    }
};

QTEST_GUILESS_MAIN(TestListModels)
#include "tst_listmodels.moc"
