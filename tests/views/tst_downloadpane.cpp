// The download pane: the stage table, the scan and download buttons, drops, the long paste, the keyboard,
// the options block and the action row, against the stand-in engine.
#include "Composition.h"
#include "DownloadQueue.h"
#include "ViewHelpers.h"

#include "Prompts.h"
#include "download/ActionRow.h"
#include "download/DownloadCard.h"
#include "download/DownloadPane.h"
#include "download/ListingNotice.h"
#include "download/OptionsBlock.h"
#include "download/PreviewCard.h"
#include "download/SpeedPanel.h"
#include "kit/LinkButton.h"
#include "rows/ElidedLabel.h"
#include "rows/JobRow.h"
#include "shell/RootView.h"
#include "shell/ViewFactories.h"

#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

namespace {

QJsonObject analysisJson(const QString& url, bool listing = false, const QString& kind = {}) {
    return QJsonObject{
        {QStringLiteral("url"), url},
        {QStringLiteral("availableQualities"), QJsonArray{QStringLiteral("1080p"), QStringLiteral("720p")}},
        {QStringLiteral("probed"), true},
        {QStringLiteral("isListing"), listing},
        {QStringLiteral("listingKind"), kind},
        {QStringLiteral("title"), QStringLiteral("A film")},
        {QStringLiteral("channel"), QStringLiteral("A channel")},
        {QStringLiteral("duration"), 75.0}};
}

void scriptAnalysis(StateFixture& f, const QJsonObject& analysis) {
    f.script(QStringLiteral("analyze"), QJsonObject{{QStringLiteral("result"), analysis}});
}

void hold(StateFixture& f, const QString& method) {
    f.control(QStringLiteral("test.hold"), QJsonObject{{QStringLiteral("method"), method}});
}
void release(StateFixture& f, const QString& method) {
    f.control(QStringLiteral("test.release"), QJsonObject{{QStringLiteral("method"), method}});
}

// Types into the field as the user would (the state follows the field).
void type(DownloadPane& pane, const QString& text) {
    pane.field()->selectAll();
    QTest::keyClick(pane.field(), Qt::Key_Delete);
    QTest::keyClicks(pane.field(), text);
}

void drop(QWidget* target, QMimeData* data) {
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
}

} // namespace

class TestDownloadPane : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stageTable();
    void buttonsEnabled_data();
    void buttonsEnabled();
    void drops_data();
    void drops();
    void dropOverlayNeverTakesClicks();
    void longPasteIsKeptWhole();
    void returnScansAndCtrlReturnDownloads();
    void optionsBlockAndActionRow();
    void windowShowsThePaneOnTheDownloadTab();
    void pausedDownloadSaysPaused_data();
    void pausedDownloadSaysPaused();
};

void TestDownloadPane::stageTable() {
    StateFixture f;
    f.boot();
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QCOMPARE(pane.stage(), DownloadStage::Empty);
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("empty_steps"))->isVisible());

    // Analysing while the engine holds the request.
    const QString url = QStringLiteral("https://example.com/watch?v=1");
    hold(f, QStringLiteral("analyze"));
    scriptAnalysis(f, analysisJson(url));
    type(pane, url);
    QTest::mouseClick(pane.scanButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return pane.stage() == DownloadStage::Analysing; }));
    QVERIFY(pane.findChild<QWidget*>(QStringLiteral("analysing_card"))->isVisible());
    QVERIFY(!pane.scanButton()->isEnabled());
    {
        // A pane made while the analysis runs (the user comes back to the tab) shows the same.
        DownloadPane later(f.model.get());
        QVERIFY(showAt(&later, QSize(900, 620)));
        QCOMPARE(later.stage(), DownloadStage::Analysing);
        QVERIFY(!later.scanButton()->isEnabled());
    }
    release(f, QStringLiteral("analyze"));

    // The preview of a fresh analysis; gone as soon as the field holds another address.
    QVERIFY(QTest::qWaitFor([&] { return pane.stage() == DownloadStage::Preview; }));
    QVERIFY(pane.previewCard()->isVisible());
    QCOMPARE(pane.previewCard()->titleLabel()->fullText(), QStringLiteral("A film"));
    QTest::keyClick(pane.field(), Qt::Key_X);
    QCOMPARE(pane.stage(), DownloadStage::Empty);
    QTest::keyClick(pane.field(), Qt::Key_Backspace);
    QCOMPARE(pane.stage(), DownloadStage::Preview);

    // A channel: the listing notice with the channel wording, and no Download.
    const QString channel = QStringLiteral("https://example.com/@someone");
    scriptAnalysis(f, analysisJson(channel, true, QStringLiteral("channel")));
    type(pane, channel);
    QTest::keyClick(pane.field(), Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return pane.stage() == DownloadStage::Listing; }));
    auto* listing = pane.findChild<ListingNotice*>();
    QCOMPARE(listing->detailLabel()->text(), Strings::text(QStringLiteral("log_listing_channel")));
    QVERIFY(!pane.actionRow()->downloadButton()->isEnabled());
    QTest::mouseClick(listing->findChild<LinkButton*>(QStringLiteral("tab_batch")), Qt::LeftButton);
    QCOMPARE(f.model->tab(), AppModel::Tab::Batch);
    const QString playlist = QStringLiteral("https://example.com/list");
    scriptAnalysis(f, analysisJson(playlist, true, QString()));
    type(pane, playlist);
    QTest::keyClick(pane.field(), Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] {
        return listing->detailLabel()->text() == Strings::text(QStringLiteral("log_listing_playlist"));
    }));

    // A failure, shown verbatim while the field holds the failed address.
    const QString broken = QStringLiteral("https://example.com/broken");
    f.scriptError(QStringLiteral("analyze"), 1, QStringLiteral("No video <b>here</b> & there"));
    type(pane, broken);
    QTest::keyClick(pane.field(), Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return pane.stage() == DownloadStage::Failure; }));
    QCOMPARE(pane.findChild<QLabel*>(QStringLiteral("analysis_failure_text"))->text(),
             QStringLiteral("No video <b>here</b> & there"));
    QCOMPARE(pane.findChild<QLabel*>(QStringLiteral("analysis_failure_text"))->textFormat(), Qt::PlainText);

    // A running download keeps the stage whatever the field holds and whatever is analysed.
    hold(f, QStringLiteral("download.start"));
    f.scriptDownloads(QJsonObject{
        {QStringLiteral("error"),
         QJsonObject{{QStringLiteral("code"), 1}, {QStringLiteral("message"), QStringLiteral("gone")}}}});
    type(pane, url);
    QTest::mouseClick(pane.actionRow()->downloadButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return f.model->queuePart().currentDownload() != nullptr; }));
    QCOMPARE(pane.stage(), DownloadStage::RunningDownload);
    QVERIFY(pane.downloadCard()->isVisible());
    QCOMPARE(pane.actionRow()->downloadButton()->text(), Strings::text(QStringLiteral("button_downloading")));
    QVERIFY(pane.field()->text().isEmpty()); // the composition was emptied
    hold(f, QStringLiteral("analyze"));
    type(pane, QStringLiteral("https://example.com/next"));
    QTest::keyClick(pane.field(), Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return f.model->compositionPart().isAnalyzing(); }));
    QCOMPARE(pane.stage(), DownloadStage::RunningDownload);
    release(f, QStringLiteral("analyze"));

    // Finished: the card stays while the field is empty or holds its address, the next address replaces it.
    const auto job = f.model->queuePart().currentDownload();
    release(f, QStringLiteral("download.start"));
    QVERIFY(QTest::qWaitFor([&] { return job->state().isFinished(); }, 10000));
    QVERIFY(QTest::qWaitFor([&] { return !f.model->compositionPart().isAnalyzing(); }));
    QCOMPARE(pane.stage(), DownloadStage::Failure); // the later analysis of "next" failed and is fresh
    type(pane, QString());
    QCOMPARE(pane.stage(), DownloadStage::FinishedDownload);
    QVERIFY(!pane.downloadCard()->speedPanel()->isVisible());
    QCOMPARE(pane.actionRow()->downloadButton()->text(), Strings::text(QStringLiteral("button_download")));
    type(pane, url);
    QCOMPARE(pane.stage(), DownloadStage::FinishedDownload);
    type(pane, QStringLiteral("https://example.com/other"));
    QCOMPARE(pane.stage(), DownloadStage::Empty);
}

void TestDownloadPane::buttonsEnabled_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("blank") << QString() << false;
    QTest::newRow("spaces only") << QStringLiteral("   ") << false;
    QTest::newRow("tabs and spaces") << QStringLiteral("\t \t") << false;
    // Line breaks are not trimmed by the buttons; the state ignores such an address itself.
    QTest::newRow("newlines only") << QStringLiteral("\n\n") << true;
    QTest::newRow("an address") << QStringLiteral("https://example.com/v") << true;
}

void TestDownloadPane::buttonsEnabled() {
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    StateFixture f;
    f.boot();
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    f.model->compositionPart().setPastedText(text);
    QCOMPARE(pane.scanButton()->isEnabled(), enabled);
    QCOMPARE(pane.actionRow()->downloadButton()->isEnabled(), enabled);
    if (text == QStringLiteral("\n\n")) {
        // Pressing them starts nothing; a later address proves the moment has passed.
        QTest::mouseClick(pane.scanButton(), Qt::LeftButton);
        QTest::mouseClick(pane.actionRow()->downloadButton(), Qt::LeftButton);
        scriptAnalysis(f, analysisJson(QStringLiteral("https://example.com/later")));
        f.model->compositionPart().setPastedText(QStringLiteral("https://example.com/later"));
        QTest::mouseClick(pane.scanButton(), Qt::LeftButton);
        QVERIFY(f.waitForRequests(QStringLiteral("analyze"), 1));
        QVERIFY(QTest::qWaitFor([&] { return pane.stage() == DownloadStage::Preview; }));
        QCOMPARE(f.requestsOf(QStringLiteral("analyze")).size(), 1);
        QVERIFY(!f.model->queuePart().currentDownload());
    }
}

void TestDownloadPane::drops_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected"); // what the field holds after the drop
    QTest::newRow("file") << "file"
                          << "/tmp/some folder/clip.mp4";
    QTest::newRow("web link") << "link"
                              << "https://example.com/watch?v=a%20b&t=1";
    QTest::newRow("text that is an address") << "text"
                                             << "https://example.com/from-text";
    QTest::newRow("text that is no address") << "words"
                                             << "unchanged";
    QTest::newRow("empty data") << "empty"
                                << "unchanged";
}

void TestDownloadPane::drops() {
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    StateFixture f;
    f.boot();
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    f.model->compositionPart().setPastedText(QStringLiteral("unchanged"));
    auto* data = new QMimeData;
    if (kind == QLatin1String("file"))
        data->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/some folder/clip.mp4"))});
    else if (kind == QLatin1String("link"))
        data->setUrls({QUrl(QStringLiteral("https://example.com/watch?v=a b&t=1"))});
    else if (kind == QLatin1String("text"))
        data->setText(QStringLiteral("  https://example.com/from-text\n"));
    else if (kind == QLatin1String("words"))
        data->setText(QStringLiteral("just some words"));
    drop(&pane, data);
    QCOMPARE(f.model->compositionPart().pastedText(), expected);
    QCOMPARE(pane.field()->text(), expected);
    QVERIFY(!pane.dropOverlay()->isVisible());
    // Nothing was analysed by the drop: the scan that follows is the first "analyze".
    scriptAnalysis(f, analysisJson(expected));
    QTest::mouseClick(pane.scanButton(), Qt::LeftButton);
    QVERIFY(f.waitForRequests(QStringLiteral("analyze"), 1));
    QCOMPARE(f.requestsOf(QStringLiteral("analyze")).size(), 1);
    QCOMPARE(f.requestsOf(QStringLiteral("analyze")).first().params.value(QStringLiteral("url")).toString(),
             expected);
    delete data;
}

void TestDownloadPane::dropOverlayNeverTakesClicks() {
    StateFixture f;
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QMimeData data;
    data.setText(QStringLiteral("https://example.com/x"));
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&pane, &enter);
    QVERIFY(enter.isAccepted());
    QVERIFY(pane.dropOverlay()->isVisible());
    QCOMPARE(pane.dropOverlay()->geometry(), pane.rect());
    const QPoint scan = pane.scanButton()->mapTo(&pane, pane.scanButton()->rect().center());
    QCOMPARE(pane.childAt(scan), pane.scanButton());
    QDragLeaveEvent leave;
    QApplication::sendEvent(&pane, &leave);
    QVERIFY(!pane.dropOverlay()->isVisible());
}

void TestDownloadPane::longPasteIsKeptWhole() {
    StateFixture f;
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    const QString address = QStringLiteral("https://example.com/?q=") + QString(40000, u'a');
    QGuiApplication::clipboard()->setText(address);
    pane.field()->setFocus();
    pane.field()->paste();
    QCOMPARE(f.model->compositionPart().pastedText().size(), address.size());
    QCOMPARE(f.model->compositionPart().pastedText(), address);
}

void TestDownloadPane::returnScansAndCtrlReturnDownloads() {
    StateFixture f;
    f.boot();
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    QVERIFY(QTest::qWaitFor([&] { return pane.field()->hasFocus(); }));
    const QString url = QStringLiteral("https://example.com/v");
    scriptAnalysis(f, analysisJson(url));
    f.scriptDownloads(QJsonObject{
        {QStringLiteral("result"), QJsonObject{{QStringLiteral("jobId"), QStringLiteral("x")},
                                               {QStringLiteral("path"), QStringLiteral("/tmp/x.mp4")},
                                               {QStringLiteral("title"), QString()}}}});
    QTest::keyClicks(pane.field(), url);
    QTest::keyClick(pane.field(), Qt::Key_Return);
    QVERIFY(f.waitForRequests(QStringLiteral("analyze"), 1));
    QVERIFY(QTest::qWaitFor([&] { return pane.stage() == DownloadStage::Preview; }));
    QCOMPARE(f.requestsOf(QStringLiteral("download.start")).size(), 0);
    QTest::keyClick(pane.field(), Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(f.waitForRequests(QStringLiteral("download.start"), 1));
    QCOMPARE(
        f.requestsOf(QStringLiteral("download.start")).first().params.value(QStringLiteral("url")).toString(),
        url);
    QCOMPARE(f.requestsOf(QStringLiteral("analyze")).size(), 1);
    QCOMPARE(f.model->queuePart().currentDownload()->title(), QStringLiteral("A film"));
    // With the field emptied by the download, Ctrl+Return does nothing more.
    QTest::keyClick(pane.field(), Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(
        QTest::qWaitFor([&] { return f.model->queuePart().currentDownload()->state().isFinished(); }, 10000));
    QCOMPARE(f.requestsOf(QStringLiteral("download.start")).size(), 1);
}

void TestDownloadPane::optionsBlockAndActionRow() {
    StateFixture f;
    f.startEngine();
    f.control(
        QStringLiteral("settings.set"),
        QJsonObject{{QStringLiteral("values"),
                     QJsonObject{{QStringLiteral("outputDir"), QStringLiteral("/home/someone/Videos/")}}}});
    f.boot();
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    OptionsBlock* options = pane.optionsBlock();
    // Collapsed: the summary and the edit link.
    QVERIFY(!f.model->compositionPart().optionsExpanded());
    QVERIFY(options->summaryLabel()->isVisible());
    QCOMPARE(static_cast<ElidedLabel*>(options->summaryLabel())->fullText(),
             f.model->compositionPart().format().summary());
    QCOMPARE(options->toggleButton()->text(), Strings::text(QStringLiteral("button_edit_options")));
    QTest::mouseClick(options->toggleButton(), Qt::LeftButton);
    QVERIFY(f.model->compositionPart().optionsExpanded());
    QVERIFY(!options->summaryLabel()->isVisible());
    QCOMPARE(options->toggleButton()->objectName(), QStringLiteral("button_fewer_options"));
    QCOMPARE(options->toggleButton()->text(), Strings::text(QStringLiteral("button_fewer_options")));
    QVERIFY(f.waitForRequests(QStringLiteral("settings.set"), 2));
    const QJsonObject saved =
        f.requestsOf(QStringLiteral("settings.set")).last().params.value(QStringLiteral("values")).toObject();
    QCOMPARE(saved.value(QStringLiteral("downloadOptionsExpanded")).toBool(), true);

    ActionRow* row = pane.actionRow();
    QCOMPARE(row->folderLink()->text(),
             Strings::text(QStringLiteral("label_saved_in"),
                           {{QStringLiteral("folder"), QStringLiteral("Videos")}}));
    QCOMPARE(row->folderLink()->toolTip(), f.model->sessionPart().settings()->outputDir);
    QVERIFY(row->folderLink()->toolTip().startsWith(QStringLiteral("/home/someone/Videos")));
    QVERIFY(row->statusLabel()->isVisible());
    QCOMPARE(row->statusLabel()->text(), f.model->status());
    f.model->sessionPart().report(QStringLiteral("Something failed"));
    QVERIFY(!row->statusLabel()->isVisible());
    QVERIFY(row->errorLink()->isVisible());
    QTest::mouseClick(row->errorLink(), Qt::LeftButton);
    QVERIFY(f.model->promptsPart().showLogSheet());

    // The folder link chooses a new folder, which the line then names.
    const QString chosen = f.path(QStringLiteral("Clips"));
    QDir().mkpath(chosen);
    f.fakes.fileDialogs.folderAnswer = chosen;
    QTest::mouseClick(row->folderLink(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return row->folderLink()->toolTip() == chosen; }, 10000));
    QCOMPARE(row->folderLink()->text(), Strings::text(QStringLiteral("label_saved_in"),
                                                      {{QStringLiteral("folder"), QStringLiteral("Clips")}}));
    QCOMPARE(f.fakes.fileDialogs.calls.size(), 1);
}

void TestDownloadPane::windowShowsThePaneOnTheDownloadTab() {
    ViewFixture f;
    f.boot();
    RootView root(*f.model, ViewFactories::standard());
    QVERIFY(showAt(&root, QSize(1020, 700)));
    QVERIFY(qobject_cast<DownloadPane*>(root.pane()));
    f.model->setTab(AppModel::Tab::Batch);
    QVERIFY(!qobject_cast<DownloadPane*>(root.pane()));
    f.model->setTab(AppModel::Tab::Download);
    auto* pane = qobject_cast<DownloadPane*>(root.pane());
    QVERIFY(pane);
    // Back on the tab, the address field has the keyboard again.
    QVERIFY(QTest::qWaitFor([&] { return pane->field()->hasFocus(); }));
}

QTEST_MAIN(TestDownloadPane)
#include "Session.h"
#include "tst_downloadpane.moc"

void TestDownloadPane::pausedDownloadSaysPaused_data() {
    QTest::addColumn<QString>("language");
    QTest::newRow("en") << QStringLiteral("en");
    QTest::newRow("fr") << QStringLiteral("fr");
}

// A paused current download: the status line says paused, as its row does, never starting.
void TestDownloadPane::pausedDownloadSaysPaused() {
    QFETCH(QString, language);
    ViewFixture f;
    f.bootIn(language);
    DownloadPane pane(f.model.get());
    QVERIFY(showAt(&pane, QSize(900, 620)));
    // The engine ends the download's request as paused (as it does after "download.pause").
    f.scriptDownloads(QJsonObject{
        {QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), 1001},
                                              {QStringLiteral("message"), QStringLiteral("Paused")},
                                              {QStringLiteral("detail"), QStringLiteral("paused")}}}});
    const auto job = f.enqueue(QStringLiteral("http://127.0.0.1:9/film.mp4"));
    QVERIFY(job);
    QTRY_COMPARE(job->state().kind, Job::State::Paused);
    QCOMPARE(pane.stage(), DownloadStage::RunningDownload);
    const QString paused = Strings::text(QStringLiteral("queue_status_paused"));
    QVERIFY(paused != QStringLiteral("queue_status_paused"));
    QTRY_COMPARE(pane.actionRow()->statusLabel()->text(), paused);
    QVERIFY(pane.actionRow()->statusLabel()->isVisible());
    QVERIFY(pane.downloadCard()->row()->captionLabel()->fullText().startsWith(paused));
}
