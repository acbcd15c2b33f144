// The Batch tab with the real engine and a local web server: three links and a listing page pasted
// together, two entries picked from the listing, five downloads done with their files on disk; then a
// held download paused and resumed from its row.
#include "DownloadQueue.h"
#include "SourceDir.h"
#include "ViewHelpers.h"

#include "JobListModel.h"
#include "ListingPick.h"
#include "batch/BatchPane.h"
#include "batch/ListingPicker.h"
#include "batch/ListingRowsModel.h"
#include "batch/PasteField.h"
#include "batch/QueueListView.h"
#include "rows/JobRowDelegate.h"
#include "shell/RootView.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QListView>
#include <QProcess>
#include <QPushButton>

namespace {

// serve_batch.py as a child: its addresses, and the command that lets the held video go on.
class BatchServer {
public:
    BatchServer() {
        m_process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_process.setArguments({QStringLiteral(VAMBER_SOURCE_DIR "/tests/views/serve_batch.py"),
                                QStringLiteral(VAMBER_SOURCE_DIR "/Engine/tests")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~BatchServer() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool start() {
        m_process.start();
        if (!m_process.waitForStarted())
            return false;
        const QStringList served = readLine().split(u' ');
        if (served.size() != 6)
            return false;
        size = served[0].toLongLong();
        links = served.mid(1, 3);
        listing = served[4];
        held = served[5];
        return size > 0;
    }
    QString command(const QString& line) {
        m_process.write(line.toUtf8() + '\n');
        return readLine();
    }

    qint64 size = 0;
    QStringList links;
    QString listing;
    QString held;

private:
    QString readLine() {
        QDeadlineTimer deadline(60000);
        while (!m_process.canReadLine() && !deadline.hasExpired())
            m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    QProcess m_process;
};

void clickIcon(QueueListView* list, int row, int icon) {
    const QRect rect = JobRowDelegate::iconRect(list->visualRect(list->rows()->index(row)), icon);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

} // namespace

class TestBatchEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pasteLinksAndAListingPickAndDownload();
};

void TestBatchEndToEnd::pasteLinksAndAListingPickAndDownload() {
    BatchServer server;
    QVERIFY(server.start());
    ViewFixture f;
    const QString out = f.path(QStringLiteral("out"));
    f.startEngine();
    f.control(QStringLiteral("settings.set"),
              QJsonObject{{QStringLiteral("values"), QJsonObject{{QStringLiteral("outputDir"), out}}}});
    f.boot();
    f.model->setTab(AppModel::Tab::Batch);
    RootView root(*f.model, ViewFactories::standard());
    QVERIFY(showAt(&root, QSize(1020, 700)));
    auto* pane = qobject_cast<BatchPane*>(root.pane());
    QVERIFY(pane);

    // Typed line by line, as a user would.
    const QStringList lines = server.links + QStringList{server.listing};
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(pane->field(), Qt::Key_Return);
        QTest::keyClicks(pane->field(), lines[i]);
    }
    QCOMPARE(f.model->queuePart().batchURLs(), server.links.join(u'\n') + u'\n' + server.listing);
    QTest::mouseClick(pane->addButton(), Qt::LeftButton);
    QCOMPARE(pane->field()->toPlainText(), QString());

    // The listing comes up in the picker; the second of its three videos is left out.
    QVERIFY(QTest::qWaitFor([&] { return qobject_cast<ListingPicker*>(root.surface()) != nullptr; }, 60000));
    auto* picker = qobject_cast<ListingPicker*>(root.surface());
    QCOMPARE(picker->rows()->rowCount(), 3);
    QCOMPARE(picker->pick()->title(), QStringLiteral("Three shows"));
    const QRect second = picker->list()->visualRect(picker->rows()->index(1));
    QTest::mouseClick(picker->list()->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(picker->pick()->checked(), (std::set<int>{0, 2}));
    QTest::mouseClick(picker->addButton(), Qt::LeftButton);
    QTRY_VERIFY(!root.surface());

    QCOMPARE(f.model->queuePart().jobs().size(), size_t(5));
    QVERIFY(QTest::qWaitFor(
        [&] {
            const auto& jobs = f.model->queuePart().jobs();
            return std::all_of(jobs.begin(), jobs.end(),
                               [](const auto& j) { return j->state().isFinished(); });
        },
        120000));
    QStringList urls;
    for (const auto& job : f.model->queuePart().jobs()) {
        urls << job->url();
        QCOMPARE(int(job->state().kind), int(Job::State::Done));
        const QString path = job->outputPath().value_or(QString());
        QCOMPARE(QFileInfo(path).absolutePath(), out);
        QCOMPARE(QFileInfo(path).size(), server.size);
    }
    QCOMPARE(urls.mid(0, 3), server.links);
    QVERIFY(urls[3].endsWith(QLatin1String("/shows/show-one.mp4")));
    QVERIFY(urls[4].endsWith(QLatin1String("/shows/show-three.mp4")));
    QTRY_VERIFY(pane->queueList()->isVisible());
    QCOMPARE(pane->queueList()->rows()->rowCount(), 5);

    // A held video: paused and resumed from its row.
    pane->field()->setPlainText(server.held);
    QTest::mouseClick(pane->addButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return f.model->queuePart().jobs().size() == 6; }, 60000));
    const auto job = f.model->queuePart().jobs().back();
    QVERIFY(QTest::qWaitFor(
        [&] { return job->state().kind == Job::State::Downloading && job->bytesDone() > 0; }, 60000));
    QueueListView* list = pane->queueList();
    clickIcon(list, 5, 0); // pause
    QVERIFY(QTest::qWaitFor([&] { return job->state().kind == Job::State::Paused; }, 30000));
    QTRY_VERIFY(pane->resumeAllButton()->isEnabled() == false);
    clickIcon(list, 5, 0); // resume
    QVERIFY(QTest::qWaitFor([&] { return job->state().kind == Job::State::Downloading; }, 30000));
    QCOMPARE(server.command(QStringLiteral("open")), QStringLiteral("opened"));
    QVERIFY(QTest::qWaitFor([&] { return job->state().isFinished(); }, 60000));
    QCOMPARE(int(job->state().kind), int(Job::State::Done));
    QCOMPARE(QFileInfo(job->outputPath().value_or(QString())).size(), server.size);
    QCOMPARE(f.requestsOf(QStringLiteral("download.pause")).size(), 1);
    QVERIFY(!f.model->sessionPart().lastError());
}

QTEST_MAIN(TestBatchEndToEnd)
#include "Session.h"
#include "tst_batchendtoend.moc"
