// The whole Download tab offscreen, with the real engine and a local web server: type a page's address,
// scan it, see the preview with its qualities, download, follow the row to done with the file on disk,
// and reveal it.
#include "Composition.h"
#include "DownloadQueue.h"
#include "MediaServerProcess.h"
#include "ViewHelpers.h"

#include "download/ActionRow.h"
#include "download/DownloadCard.h"
#include "download/DownloadPane.h"
#include "download/FormatControls.h"
#include "download/OptionMenu.h"
#include "download/OptionsBlock.h"
#include "download/PreviewCard.h"
#include "download/SpeedPanel.h"
#include "kit/LinkButton.h"
#include "rows/ElidedLabel.h"
#include "rows/JobRow.h"
#include "rows/RowIcon.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

class TestDownloadEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scanChooseDownloadReveal();
    void pauseResumeCancelFromTheRow();
};

void TestDownloadEndToEnd::scanChooseDownloadReveal() {
    MediaServerProcess server;
    QVERIFY(server.start());
    ViewFixture f;
    const QString out = f.path(QStringLiteral("out"));
    f.startEngine();
    f.control(QStringLiteral("settings.set"),
              QJsonObject{{QStringLiteral("values"), QJsonObject{{QStringLiteral("outputDir"), out}}}});
    f.boot();
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));

    QTest::keyClicks(pane.field(), server.page);
    QTest::mouseClick(pane.scanButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return pane.stage() == DownloadStage::Preview; }, 30000));
    QCOMPARE(pane.previewCard()->titleLabel()->fullText(), QStringLiteral("A talk about testing"));

    // The quality menu offers what the source offers.
    QTest::mouseClick(pane.optionsBlock()->toggleButton(), Qt::LeftButton);
    const std::optional<Analysis> fresh = f.model->compositionPart().freshAnalysis();
    QVERIFY(fresh);
    OptionMenu* quality = pane.optionsBlock()->controls()->menu(FormatControls::Quality);
    QCOMPARE(quality->entries(),
             f.model->compositionPart().allowedOptions().allQualitiesOfferedBy(
                 fresh->probed ? std::optional<QStringList>(fresh->availableQualities) : std::nullopt));

    QTest::mouseClick(pane.actionRow()->downloadButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return f.model->queuePart().currentDownload() != nullptr; }));
    const auto job = f.model->queuePart().currentDownload();
    JobRow* row = pane.downloadCard()->row();
    QCOMPARE(row->job(), job);
    QList<int> seen;
    QObject::connect(job.get(), &Job::stateChanged, &pane, [&] { seen << job->state().kind; });
    QVERIFY(QTest::qWaitFor([&] { return job->state().isFinished(); }, 60000));
    QCOMPARE(int(job->state().kind), int(Job::State::Done));
    QVERIFY(seen.contains(Job::State::Downloading));
    QCOMPARE(pane.stage(), DownloadStage::FinishedDownload);
    QCOMPARE(row->captionLabel()->fullText(), Strings::text(QStringLiteral("queue_status_done")) +
                                                  QStringLiteral(" \u00B7 ") + job->format().summary());
    const QString path = job->outputPath().value_or(QString());
    QCOMPARE(QFileInfo(path).absolutePath(), out);
    QCOMPARE(QFileInfo(path).size(), server.size);

    QVERIFY(row->icon(1)->isEnabled());
    QTest::mouseClick(row->icon(1), Qt::LeftButton);
    QVERIFY(f.waitForRequests(QStringLiteral("library.reveal"), 1));
    QCOMPARE(
        f.requestsOf(QStringLiteral("library.reveal")).last().params.value(QStringLiteral("path")).toString(),
        path);
    QVERIFY(!f.model->sessionPart().lastError());
    QVERIFY(server.finish());
}

void TestDownloadEndToEnd::pauseResumeCancelFromTheRow() {
    MediaServerProcess server;
    QVERIFY(server.start());
    ViewFixture f;
    const QString out = f.path(QStringLiteral("out"));
    f.startEngine();
    f.control(QStringLiteral("settings.set"),
              QJsonObject{{QStringLiteral("values"), QJsonObject{{QStringLiteral("outputDir"), out}}}});
    f.boot();
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    // The held video stops after half its bytes: the download stays running until the server lets go.
    QTest::keyClicks(pane.field(), server.heldVideo);
    QTest::keyClick(pane.field(), Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(QTest::qWaitFor([&] { return f.model->queuePart().currentDownload() != nullptr; }));
    const auto job = f.model->queuePart().currentDownload();
    JobRow* row = pane.downloadCard()->row();
    QVERIFY(QTest::qWaitFor(
        [&] { return job->state().kind == Job::State::Downloading && job->bytesDone() > 0; }, 30000));
    QCOMPARE(pane.stage(), DownloadStage::RunningDownload);
    QCOMPARE(row->icon(0)->symbol(), QStringLiteral("pause.fill"));

    QVERIFY(QTest::qWaitFor([&] { return pane.downloadCard()->speedPanel()->isVisible(); }, 10000));
    QTest::mouseClick(row->icon(0), Qt::LeftButton); // pause
    QVERIFY(QTest::qWaitFor([&] { return job->state().kind == Job::State::Paused; }, 30000));
    QCOMPARE(row->icon(0)->symbol(), QStringLiteral("play.fill"));
    QCOMPARE(pane.stage(), DownloadStage::RunningDownload); // paused is still active
    QVERIFY(!pane.downloadCard()->speedPanel()->isVisible());
    QCOMPARE(pane.actionRow()->statusLabel()->text(), Strings::text(QStringLiteral("queue_status_paused")));

    QTest::mouseClick(row->icon(0), Qt::LeftButton); // resume
    QVERIFY(QTest::qWaitFor([&] { return job->state().kind == Job::State::Downloading; }, 30000));
    QTest::mouseClick(row->icon(2), Qt::LeftButton); // cancel
    QVERIFY(QTest::qWaitFor([&] { return job->state().kind == Job::State::Cancelled; }, 30000));
    QCOMPARE(pane.stage(), DownloadStage::FinishedDownload);
    QVERIFY(!row->icon(2)->isEnabled());
    QCOMPARE(f.requestsOf(QStringLiteral("download.pause")).size(), 1);
    QCOMPARE(f.requestsOf(QStringLiteral("download.cancel")).size(), 1);
    QCOMPARE(f.requestsOf(QStringLiteral("download.start")).size(), 2);
    server.command(QStringLiteral("open"));
}

QTEST_MAIN(TestDownloadEndToEnd)
#include "Session.h"
#include "tst_downloadendtoend.moc"
