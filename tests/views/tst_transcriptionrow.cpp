// The transcription row: its caption, progress and controls for every state, the list model that follows
// the state's jobs (order by id, rows in and out one by one), and the painting delegate's dividers and
// clicks on cancel, reveal and remove.
#include "TranscriptionFixture.h"
#include "Transcriptions.h"

#include "Job.h"
#include "Strings.h"
#include "transcription/TranscriptionListModel.h"
#include "transcription/TranscriptionRowContent.h"
#include "transcription/TranscriptionRowDelegate.h"

#include <QHelpEvent>
#include <QListView>
#include <QPainter>
#include <QSignalSpy>
#include <QToolTip>

#include <cmath>
#include <limits>

using namespace transcription;
using Control = TranscriptionRowContent::Control;
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

QString running(const QString& percent, const QString& remaining) {
    return Strings::text("note_transcribing", {{"percent", percent}, {"remaining", remaining}});
}

// The alpha of the middle pixel of the bottom line of row `row`, painted alone on a clear image.
int bottomLineAlpha(TranscriptionRowDelegate& delegate, QAbstractItemModel& rows, int row) {
    const int height = TranscriptionRowDelegate::rowHeight();
    QImage image(600, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 600, height);
    delegate.paint(&painter, option, rows.index(row, 0));
    painter.end();
    return qAlpha(image.pixel(300, height - 1));
}

QPoint centreOf(QListView& view, int row, Control control) {
    const QRect rect = view.visualRect(view.model()->index(row, 0));
    auto* rows = static_cast<TranscriptionListModel*>(view.model());
    const auto placed =
        TranscriptionRowDelegate::layout(rect, TranscriptionRowContent::of(*rows->jobAt(row)));
    for (const auto& p : placed) {
        if (p.control == control)
            return p.rect.center();
    }
    return {-1, -1};
}

} // namespace

class TestTranscriptionRow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        ViewFixture::useAppearance(false);
        // The English table, for every caption below.
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->boot();
        QVERIFY(Strings::hasTable());
    }
    void cleanupTestCase() { m_fixture.reset(); }

    void content_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<double>("estimate");
        QTest::addColumn<std::optional<QString>>("message");
        QTest::addColumn<std::optional<QString>>("transcript");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("progress");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QList<int>>("controls");
        const std::optional<QString> none;
        const QList<int> cancelRemove{int(Control::Cancel), int(Control::Remove)};
        const QList<int> removeOnly{int(Control::Remove)};
        const QList<int> revealRemove{int(Control::Reveal), int(Control::Remove)};
        QTest::newRow("queued") << "queued" << 0.0 << 0.0 << none << none
                                << Strings::text("note_transcribe_queued") << true << false << cancelRemove;
        QTest::newRow("running half way") << "running" << 0.5 << 100.0 << none << none
                                          << running("50", "50 s") << true << false << cancelRemove;
        QTest::newRow("running 0.999 is 99") << "running" << 0.999 << 1000.0 << none << none
                                             << running("99", "1 s") << true << false << cancelRemove;
        QTest::newRow("running 0.29 is 29") << "running" << 0.29 << 0.0 << none << none
                                            << running("29", "0 s") << true << false << cancelRemove;
        QTest::newRow("estimate of zero") << "running" << 0.25 << 0.0 << none << none << running("25", "0 s")
                                          << true << false << cancelRemove;
        QTest::newRow("NaN fraction") << "running" << std::nan("") << 3720.0 << none << none
                                      << running("0", "1 h 02 min") << true << false << cancelRemove;
        QTest::newRow("NaN estimate") << "running" << 0.5 << std::nan("") << none << none
                                      << running("50", "0 s") << true << false << cancelRemove;
        QTest::newRow("negative estimate") << "running" << 0.5 << -80.0 << none << none
                                           << running("50", "0 s") << true << false << cancelRemove;
        QTest::newRow("minutes left") << "running" << 0.1 << 200.0 << none << none
                                      << running("10", "3 min 00 s") << true << false << cancelRemove;
        QTest::newRow("failed with its message")
            << "failed" << 0.3 << 0.0 << std::optional<QString>("Decoder gave up") << none
            << "Decoder gave up" << false << true << removeOnly;
        QTest::newRow("failed without a message")
            << "failed" << 0.0 << 0.0 << none << none << Strings::text("status_error") << false << true
            << removeOnly;
        QTest::newRow("failed with an empty message")
            << "failed" << 0.0 << 0.0 << std::optional<QString>("") << none << Strings::text("status_error")
            << false << true << removeOnly;
        QTest::newRow("cancelled") << "cancelled" << 0.4 << 0.0 << std::optional<QString>("stopped") << none
                                   << Strings::text("status_cancelled") << false << false << removeOnly;
        QTest::newRow("done with a transcript")
            << "done" << 1.0 << 10.0 << none << std::optional<QString>("/m/a.srt")
            << Strings::text("status_done") << false << false << revealRemove;
        QTest::newRow("done without a transcript")
            << "done" << 1.0 << 10.0 << none << none << Strings::text("status_done") << false << false
            << removeOnly;
        QTest::newRow("done with an empty transcript path")
            << "done" << 1.0 << 10.0 << none << std::optional<QString>("") << Strings::text("status_done")
            << false << false << removeOnly;
        QTest::newRow("another word")
            << "paused" << 0.0 << 0.0 << none << none << "paused" << false << false << removeOnly;
    }
    void content() {
        QFETCH(QString, state);
        QFETCH(double, fraction);
        QFETCH(double, estimate);
        QFETCH(std::optional<QString>, message);
        QFETCH(std::optional<QString>, transcript);
        QFETCH(QString, caption);
        QFETCH(bool, progress);
        QFETCH(bool, failed);
        QFETCH(QList<int>, controls);
        TranscriptionJob job("ID", "/m/a.mp3", "a");
        const EngineEvent event =
            EngineEvent::fromNotification("transcribe.state", QJsonObject{{"jobId", "ID"}, {"state", state}});
        job.follow(*event.get<EngineEvent::TranscribeState>());
        job.setFraction(fraction);
        job.setEstimateSeconds(estimate);
        job.setMessage(message);
        job.setTranscriptPath(transcript);
        const TranscriptionRowContent c = TranscriptionRowContent::of(job);
        QVERIFY(!caption.isEmpty());
        QCOMPARE(c.caption, caption);
        QCOMPARE(c.showsProgress, progress);
        QCOMPARE(c.failed, failed);
        QList<int> shown;
        for (Control control : c.controls)
            shown << int(control);
        QCOMPARE(shown, controls);
        QVERIFY(c.fraction >= 0 && c.fraction <= 1);
    }

    // Rows follow the state's jobs, ordered by id whatever the order they came in; a job that comes
    // between two rows is inserted there, one that leaves is removed there, never a reset.
    void listFollowsJobs() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        TranscriptionListModel rows(f.model.get());
        QSignalSpy inserted(&rows, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&rows, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&rows, &QAbstractItemModel::modelReset);
        for (const QString id : {"C", "A", "E"})
            f.emitEvent("transcribe.state", stateEvent(id, "running", {{"title", "title " + id}}));
        QVERIFY(awaitJob(f, "E"));
        QTRY_COMPARE(rows.rowCount(), 3);
        f.emitEvent("transcribe.state", stateEvent("B", "running", {{"title", "title B"}}));
        QTRY_COMPARE(rows.rowCount(), 4);
        QStringList order;
        for (int row = 0; row < rows.rowCount(); ++row)
            order << rows.index(row).data(TranscriptionListModel::IdRole).toString();
        QCOMPARE(order, (QStringList{"A", "B", "C", "E"}));
        // "B" went in between "A" and "C".
        QCOMPARE(inserted.last().at(1).toInt(), 1);
        QCOMPARE(inserted.last().at(2).toInt(), 1);
        QCOMPARE(rows.index(1).data(Qt::DisplayRole).toString(), QStringLiteral("title B"));

        QSignalSpy changed(&rows, &QAbstractItemModel::dataChanged);
        f.emitEvent("transcribe.progress", {{"jobId", "C"}, {"percent", 40}, {"fraction", 0.4}});
        QTRY_VERIFY(!changed.isEmpty());
        QCOMPARE(changed.last().at(0).value<QModelIndex>().row(), 2);
        QCOMPARE(rows.index(2).data(TranscriptionListModel::FractionRole).toDouble(), 0.4);

        f.model->transcriptionsPart().removeTranscription(f.model->transcriptionsPart().jobs().at("B"));
        QTRY_COMPARE(rows.rowCount(), 3);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.last().at(1).toInt(), 1);
        QCOMPARE(removed.last().at(2).toInt(), 1);
        f.model->transcriptionsPart().clearTranscriptions();
        QTRY_COMPARE(rows.rowCount(), 0);
        QCOMPARE(reset.size(), 0);
        // A late event for a cleared job brings no row back; a new job does come in.
        f.emitEvent("transcribe.state", stateEvent("A", "cancelled"));
        f.emitEvent("transcribe.state", stateEvent("D", "queued"));
        QVERIFY(awaitJob(f, "D"));
        QTRY_COMPARE(rows.rowCount(), 1);
        QCOMPARE(rows.index(0).data(TranscriptionListModel::IdRole).toString(), QStringLiteral("D"));
    }

    // Jobs that come or go together in one turn are one insertion or one removal, in id order.
    void burstsAreOneChange() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        TranscriptionListModel rows(f.model.get());
        QSignalSpy inserted(&rows, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&rows, &QAbstractItemModel::rowsRemoved);
        for (int i = 0; i < 300; ++i)
            QVERIFY(f.model->transcriptionsPart().transcribeFile(
                QUrl::fromLocalFile(QStringLiteral("/m/file %1.mp3").arg(i))));
        QCOMPARE(rows.rowCount(), 0); // not yet: on the next turn
        QTRY_COMPARE(rows.rowCount(), 300);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 0);
        QCOMPARE(inserted.first().at(2).toInt(), 299);
        for (int row = 1; row < rows.rowCount(); ++row)
            QVERIFY(rows.jobAt(row - 1)->id() < rows.jobAt(row)->id());
        f.model->transcriptionsPart().clearTranscriptions();
        QTRY_COMPARE(rows.rowCount(), 0);
        QCOMPARE(removed.size(), 1);
    }

    // A divider under every row but the last.
    void dividers_data() {
        QTest::addColumn<int>("jobs");
        QTest::addColumn<QList<bool>>("lines");
        QTest::newRow("one job, no divider") << 1 << QList<bool>{false};
        QTest::newRow("two jobs, one divider between") << 2 << QList<bool>{true, false};
        QTest::newRow("three jobs") << 3 << QList<bool>{true, true, false};
    }
    void dividers() {
        QFETCH(int, jobs);
        QFETCH(QList<bool>, lines);
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        for (int i = 0; i < jobs; ++i)
            f.emitEvent("transcribe.state", stateEvent(QString::number(i), "done"));
        QVERIFY(awaitJob(f, QString::number(jobs - 1)));
        QListView view;
        TranscriptionListModel rows(f.model.get());
        TranscriptionRowDelegate delegate(f.model.get(), &rows, &view);
        QCOMPARE(rows.rowCount(), jobs);
        for (int row = 0; row < jobs; ++row)
            QCOMPARE(bottomLineAlpha(delegate, rows, row) > 0, lines[row]);
    }

    // Clicks on the controls of a painted row act on that row's job.
    void controlsAct() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        f.script("library.reveal", {{"result", QJsonObject{{"path", "/m/b.srt"}, {"via", "dbus"}}}}, 0);
        f.emitEvent("transcribe.state", stateEvent("A", "running", {{"title", "Running"}}));
        f.emitEvent("transcribe.state", stateEvent("B", "done", {{"title", "Done"}, {"srt", "/m/b.srt"}}));
        QVERIFY(awaitJob(f, "B"));
        QListView view;
        auto* rows = new TranscriptionListModel(f.model.get(), &view);
        view.setModel(rows);
        view.setItemDelegate(new TranscriptionRowDelegate(f.model.get(), rows, &view));
        QVERIFY(showAt(&view, {700, 300}));

        // The running row offers cancel and remove, no reveal; the done row reveal and remove.
        QCOMPARE(centreOf(view, 0, Control::Reveal), QPoint(-1, -1));
        QVERIFY(centreOf(view, 0, Control::Cancel).x() >= 0);
        QCOMPARE(centreOf(view, 1, Control::Cancel), QPoint(-1, -1));

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centreOf(view, 0, Control::Cancel));
        QVERIFY(f.waitForRequests("transcribe.cancel", 1));
        QCOMPARE(f.requestsOf("transcribe.cancel").first().params, (QJsonObject{{"jobId", "A"}}));
        QCOMPARE(rows->rowCount(), 2); // cancelling leaves the row; the engine says how it ended

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centreOf(view, 1, Control::Reveal));
        QVERIFY(f.waitForRequests("library.reveal", 1));
        QCOMPARE(f.requestsOf("library.reveal").first().params.value("path").toString(),
                 QStringLiteral("/m/b.srt"));

        // A click beside the controls does nothing.
        const QRect row0 = view.visualRect(rows->index(0));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(row0.left() + 100, row0.center().y()));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centreOf(view, 1, Control::Remove));
        QTRY_COMPARE(rows->rowCount(), 1);
        QVERIFY(!f.model->transcriptionsPart().jobs().count("B"));
        QCOMPARE(rows->index(0).data(TranscriptionListModel::IdRole).toString(), QStringLiteral("A"));

        // Removing the running job cancels it at the engine too, and its late end brings nothing back.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centreOf(view, 0, Control::Remove));
        QTRY_COMPARE(rows->rowCount(), 0);
        QVERIFY(f.waitForRequests("transcribe.cancel", 2));
        f.emitEvent("transcribe.state", stateEvent("A", "cancelled"));
        f.emitEvent("transcribe.state", stateEvent("LATER", "queued"));
        QVERIFY(awaitJob(f, "LATER"));
        QTRY_COMPARE(rows->rowCount(), 1);
        QCOMPARE(f.requestsOf("library.reveal").size(), 1);
    }

    // Hovering a control names it; hovering a title cut short shows it whole, a short one shows nothing.
    void tooltips() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        const QString longTitle = QString("A very long title ").repeated(12).trimmed();
        f.emitEvent("transcribe.state", stateEvent("A", "done", {{"title", longTitle}, {"srt", "/m/a.srt"}}));
        f.emitEvent("transcribe.state", stateEvent("B", "done", {{"title", "Short"}}));
        QVERIFY(awaitJob(f, "B"));
        QListView view;
        auto* rows = new TranscriptionListModel(f.model.get(), &view);
        view.setModel(rows);
        view.setItemDelegate(new TranscriptionRowDelegate(f.model.get(), rows, &view));
        QVERIFY(showAt(&view, {600, 300}));
        auto tipAt = [&](QPoint pos) {
            QToolTip::hideText();
            if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 5000))
                return QStringLiteral("the last tip stayed");
            QHelpEvent help(QEvent::ToolTip, pos, view.viewport()->mapToGlobal(pos));
            QApplication::sendEvent(view.viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(centreOf(view, 0, Control::Reveal)), Strings::text("button_finder"));
        QCOMPARE(tipAt(centreOf(view, 1, Control::Remove)), Strings::text("button_remove"));
        const int titleX =
            view.visualRect(rows->index(0)).left() + TranscriptionRowDelegate::iconSize.width() + 40;
        QCOMPARE(tipAt(QPoint(titleX, view.visualRect(rows->index(0)).center().y())), longTitle);
        QCOMPARE(tipAt(QPoint(titleX, view.visualRect(rows->index(1)).center().y())), QString());
    }

private:
    std::unique_ptr<ViewFixture> m_fixture;
};

QTEST_MAIN(TestTranscriptionRow)
#include "tst_transcriptionrow.moc"
