// The transcription pane: drops, the unsupported notice, the empty notice and the list, clear list,
// the footer's model line and folder menu, the refusal, the way to the model settings, and the model
// offer after a start that lacks its model. Against the stand-in engine with its test controls.
#include "SpeechModels.h"
#include "TranscriptionFixture.h"
#include "Transcriptions.h"

#include "Prompts.h"
#include "Strings.h"
#include "kit/EmptyNotice.h"
#include "kit/LinkButton.h"
#include "rows/ElidedLabel.h"
#include "shell/RootView.h"
#include "transcription/DropZone.h"
#include "transcription/TranscriptionFooter.h"
#include "transcription/TranscriptionListModel.h"
#include "transcription/TranscriptionPane.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

using namespace transcription;

namespace {

QMimeData* filesData(const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

QStringList titles(const AppModel& model) {
    QStringList out;
    for (const auto& [id, job] : model.transcriptionsPart().jobs())
        out << job->title();
    out.sort();
    return out;
}

} // namespace

class TestTranscriptionPane : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ViewFixture::useAppearance(false); }
    void init() { Strings::reset(); }

    // Drops: only local files go to the state, in order; what it refuses is shown, the last refusal wins
    // (a file taken in the same drop leaves it).
    void drops_data() {
        QTest::addColumn<QStringList>("files"); // made in a temporary folder; "dir/" makes a folder
        QTest::addColumn<QStringList>("links"); // web links dropped with them
        QTest::addColumn<QString>("text");      // plain text dropped instead of URLs
        QTest::addColumn<bool>("entered");      // the drag was taken
        QTest::addColumn<QStringList>("jobs");  // titles of the jobs made
        QTest::addColumn<QString>("refused");   // the name the refusal names, empty for none
        QTest::newRow("a media file, a text file and a folder")
            << QStringList{"talk.mp3", "notes.txt", "clips/"} << QStringList{} << QString() << true
            << QStringList{"talk"} << "clips";
        QTest::newRow("the folder first, the text file last")
            << QStringList{"clips/", "talk.mp3", "notes.txt"} << QStringList{} << QString() << true
            << QStringList{"talk"} << "notes.txt";
        QTest::newRow("the text file first, a media file last")
            << QStringList{"notes.txt", "talk.mp3"} << QStringList{} << QString() << true
            << QStringList{"talk"} << "notes.txt";
        QTest::newRow("two media files") << QStringList{"b.wav", "a.MP4"} << QStringList{} << QString()
                                         << true << QStringList{"a", "b"} << "";
        QTest::newRow("an unknown type only")
            << QStringList{"photo.xyz"} << QStringList{} << QString() << true << QStringList{} << "photo.xyz";
        QTest::newRow("a web link") << QStringList{} << QStringList{"https://example.com/talk.mp3"}
                                    << QString() << false << QStringList{} << "";
        QTest::newRow("a web link beside a file")
            << QStringList{"talk.mp3"} << QStringList{"https://example.com/other.mp3"} << QString() << true
            << QStringList{"talk"} << "";
        QTest::newRow("plain text") << QStringList{} << QStringList{} << "/m/talk.mp3" << false
                                    << QStringList{} << "";
    }
    void drops() {
        QFETCH(QStringList, files);
        QFETCH(QStringList, links);
        QFETCH(QString, text);
        QFETCH(bool, entered);
        QFETCH(QStringList, jobs);
        QFETCH(QString, refused);
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        QList<QUrl> urls;
        for (const QString& name : files) {
            if (name.endsWith('/')) {
                QVERIFY(QDir().mkpath(f.path(name)));
                urls << QUrl::fromLocalFile(f.path(name.chopped(1)));
            } else {
                QFile file(f.path(name));
                QVERIFY(file.open(QIODevice::WriteOnly));
                urls << QUrl::fromLocalFile(file.fileName());
            }
        }
        for (const QString& link : links)
            urls << QUrl(link);
        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        auto* data = new QMimeData;
        if (!urls.isEmpty())
            data->setUrls(urls);
        if (!text.isEmpty())
            data->setText(text);
        QCOMPARE(dragAndDrop(pane.dropZone(), data), entered);
        delete data;
        QVERIFY(!pane.dropZone()->isTargeted());

        QCOMPARE(titles(*f.model), jobs);
        QTRY_COMPARE(pane.rows()->rowCount(), int(jobs.size()));
        QVERIFY(f.waitForRequests("transcribe.start", int(jobs.size())));
        QCOMPARE(f.requestsOf("transcribe.start").size(), jobs.size());
        TranscriptionFooter* footer = pane.footer();
        if (refused.isEmpty()) {
            QVERIFY(!f.model->promptsPart().transcriptionRefusal());
            QVERIFY(footer->refusalRow()->isHidden());
        } else {
            QCOMPARE(f.model->promptsPart().transcriptionRefusal(),
                     std::optional<QString>(refusalOf(refused)));
            QVERIFY(footer->refusalRow()->isVisible());
            QCOMPARE(footer->refusalLabel()->fullText(), refusalOf(refused));
        }
        QCOMPARE(pane.list()->isVisible(), !jobs.isEmpty());
        QCOMPARE(pane.emptyNotice()->isVisible(), jobs.isEmpty());
        QCOMPARE(pane.clearButton()->isVisible(), !jobs.isEmpty());
    }

    // The footer's refusal goes once a file dropped later is taken, and a new refusal brings it back.
    void aLaterFileClearsTheRefusal() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        auto dropOne = [&](const QString& name) {
            QFile file(f.path(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(file.fileName())});
            QVERIFY(dragAndDrop(pane.dropZone(), &data));
            QCoreApplication::processEvents();
        };
        TranscriptionFooter* footer = pane.footer();
        dropOne("notes.txt");
        QTRY_VERIFY(footer->refusalRow()->isVisible());
        QCOMPARE(footer->refusalLabel()->fullText(), refusalOf("notes.txt"));
        dropOne("talk.mp3");
        QTRY_VERIFY(footer->refusalRow()->isHidden());
        QVERIFY(!f.model->promptsPart().transcriptionRefusal());
        dropOne("photo.xyz");
        QTRY_VERIFY(footer->refusalRow()->isVisible());
        QCOMPARE(footer->refusalLabel()->fullText(), refusalOf("photo.xyz"));
    }

    // The zone is highlighted while a drag of files hovers, and only then.
    void highlight_data() {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<bool>("targeted");
        QTest::newRow("a file") << QList<QUrl>{QUrl::fromLocalFile("/m/a.mp3")} << true;
        QTest::newRow("a web link") << QList<QUrl>{QUrl("https://example.com/a.mp3")} << false;
        QTest::newRow("nothing") << QList<QUrl>{} << false;
    }
    void highlight() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(bool, targeted);
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        DropZone zone(f.model.get());
        QVERIFY(showAt(&zone, {600, 200}));
        const QImage before = zone.grab().toImage();
        std::unique_ptr<QMimeData> data(filesData(urls));
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&zone, &enter);
        QCOMPARE(zone.isTargeted(), targeted);
        QCOMPARE(zone.grab().toImage() != before, targeted);
        QDragLeaveEvent leave;
        QApplication::sendEvent(&zone, &leave);
        QVERIFY(!zone.isTargeted());
        QCOMPARE(zone.grab().toImage(), before);
        QVERIFY(f.model->transcriptionsPart().jobs().empty());
    }

    // "Choose files" hands the chosen files to the state in the dialog's order.
    void chooseFiles() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        f.fakes.fileDialogs.filesAnswer = QStringList{"/m/one.mp3", "/m/two.txt"};
        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        auto* choose = pane.findChild<QPushButton*>("button_choose_files");
        QVERIFY(choose);
        QCOMPARE(choose->text(), Strings::text("button_choose_files"));
        QTest::mouseClick(choose, Qt::LeftButton);
        QTRY_COMPARE(titles(*f.model), QStringList{"one"});
        QCOMPARE(f.fakes.fileDialogs.calls.size(), 1);
        QCOMPARE(f.fakes.fileDialogs.calls.first().kind, FakeFileDialogs::Call::Files);
        QCOMPARE(f.model->promptsPart().transcriptionRefusal(), std::optional<QString>(refusalOf("two.txt")));
    }

    // Unsupported machines see one notice; while the models are unknown, the pane is usable.
    void unsupported_data() {
        QTest::addColumn<int>("models"); // 0 unknown (the list failed), 1 supported, 2 unsupported
        QTest::addColumn<bool>("notice");
        QTest::addColumn<bool>("modelLine");
        QTest::newRow("models unknown") << 0 << false << false;
        QTest::newRow("supported") << 1 << false << true;
        QTest::newRow("unsupported") << 2 << true << false;
    }
    void unsupported() {
        QFETCH(int, models);
        QFETCH(bool, notice);
        QFETCH(bool, modelLine);
        ViewFixture f;
        f.startEngine();
        if (models == 0)
            f.script("models.list", {{"error", QJsonObject{{"code", 1}, {"message", "no models"}}}}, 0);
        else
            f.script("models.list", {{"result", modelsInfo(models == 1)}}, 0);
        f.boot();
        QCOMPARE(f.model->modelsPart().modelsInfo().has_value(), models != 0);
        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        QCOMPARE(pane.showsUnsupported(), notice);
        QCOMPARE(pane.unsupportedNotice()->isVisible(), notice);
        QCOMPARE(pane.dropZone()->isVisible(), !notice);
        QCOMPARE(pane.footer()->isVisible(), !notice);
        QCOMPARE(pane.footer()->modelLabel()->isVisible(), modelLine);
        if (notice) {
            QCOMPARE(pane.unsupportedNotice()->titleLabel()->text(),
                     Strings::text("transcribe_intel_pending"));
            QVERIFY(!pane.unsupportedNotice()->detailLabel());
        } else {
            // The folder menu and the way to the settings are there either way.
            QVERIFY(pane.footer()->folderButton()->isVisible());
            QVERIFY(pane.findChild<LinkButton*>("button_manage_model")->isVisible());
            QVERIFY(pane.emptyNotice()->isVisible());
            QCOMPARE(pane.emptyNotice()->height(), 200);
            QCOMPARE(pane.emptyNotice()->titleLabel()->text(), Strings::text("transcribe_list_empty"));
            QCOMPARE(pane.emptyNotice()->detailLabel()->text(), Strings::text("transcribe_help"));
        }
    }

    // The model line and the folder menu, from the settings and the models the engine describes.
    void footer_data() {
        QTest::addColumn<bool>("settingsLoaded");
        QTest::addColumn<QJsonObject>("settings");
        QTest::addColumn<QString>("defaultModel");
        QTest::addColumn<QString>("modelKey"); // the text key naming the model, or the name itself
        QTest::addColumn<QString>("language"); // empty: the automatic language's text
        QTest::addColumn<QString>("folder");   // the folder named in the menu title, empty: beside
        QTest::addColumn<QString>("menuText"); // the button's text, "&" doubled
        QTest::newRow("no settings") << false << QJsonObject{} << "small"
                                     << "transcription_model_small"
                                     << ""
                                     << ""
                                     << "";
        QTest::newRow("an empty language") << true
                                           << QJsonObject{{"transcriptionModel", "base"},
                                                          {"transcriptionLanguage", ""},
                                                          {"transcriptDir", ""}}
                                           << "small"
                                           << "transcription_model_base"
                                           << ""
                                           << ""
                                           << "";
        QTest::newRow("a stored language is shown as its code")
            << true << QJsonObject{{"transcriptionModel", "base"}, {"transcriptionLanguage", "fr"}} << "small"
            << "transcription_model_base"
            << "fr"
            << ""
            << "";
        QTest::newRow("a three-level folder")
            << true
            << QJsonObject{{"transcriptionModel", "base"}, {"transcriptDir", "/srv/media/Transcripts"}}
            << "small"
            << "transcription_model_base"
            << ""
            << "Transcripts"
            << "";
        QTest::newRow("a folder with a trailing slash")
            << true << QJsonObject{{"transcriptionModel", "base"}, {"transcriptDir", "/srv/media/Notes/"}}
            << "small"
            << "transcription_model_base"
            << ""
            << "Notes"
            << "";
        QTest::newRow("an ampersand is no mnemonic")
            << true << QJsonObject{{"transcriptionModel", "base"}, {"transcriptDir", "/srv/R&D"}} << "small"
            << "transcription_model_base"
            << ""
            << "R&D"
            << "R&&D";
        QTest::newRow("a model key with hyphens")
            << true << QJsonObject{{"transcriptionModel", "large-v3-turbo"}} << "small"
            << "transcription_model_large_v3_turbo"
            << ""
            << ""
            << "";
        QTest::newRow("no model chosen runs the default")
            << true << QJsonObject{{"transcriptionModel", ""}} << "medium-en"
            << "transcription_model_medium_en"
            << ""
            << ""
            << "";
        QTest::newRow("a model the texts do not know is named by its key")
            << true << QJsonObject{{"transcriptionModel", "my-own"}} << "small"
            << "my-own"
            << ""
            << ""
            << "";
    }
    void footer() {
        QFETCH(bool, settingsLoaded);
        QFETCH(QJsonObject, settings);
        QFETCH(QString, defaultModel);
        QFETCH(QString, modelKey);
        QFETCH(QString, language);
        QFETCH(QString, folder);
        QFETCH(QString, menuText);
        ViewFixture f;
        f.startEngine();
        f.script("models.list", {{"result", modelsInfo(true, defaultModel)}}, 0);
        if (settingsLoaded) {
            f.scriptSettings(settings);
            f.boot();
        } else {
            // Without settings the start ends early; the models are asked for afterwards.
            f.scriptError("settings.get", 1, "settings unreadable");
            f.boot();
            QCoro::waitFor(f.model->modelsPart().reloadModels());
        }
        QCOMPARE(f.model->sessionPart().settings().has_value(), settingsLoaded);
        QVERIFY(f.model->modelsPart().modelsInfo());

        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        TranscriptionFooter* footer = pane.footer();
        const QString modelName =
            modelKey.startsWith("transcription_model_") ? Strings::text(modelKey) : modelKey;
        QVERIFY(modelName != modelKey || !modelKey.startsWith("transcription_model_"));
        const QString languageText =
            language.isEmpty() ? Strings::text("transcription_language_auto") : language;
        QCOMPARE(footer->modelLabel()->text(),
                 Strings::text("transcribe_using", {{"model", modelName}, {"language", languageText}}));
        QVERIFY(footer->modelLabel()->isVisible());

        const QString full = settings.value("transcriptDir").toString();
        const QString title = folder.isEmpty() ? Strings::text("v2_transcript_beside")
                                               : Strings::text("label_saved_in", {{"folder", folder}});
        QCOMPARE(TranscriptionFooter::destination(f.model->sessionPart().settings()), title);
        QCOMPARE(footer->folderButton()->text(),
                 menuText.isEmpty() ? title : QString(title).replace(folder, menuText));
        QCOMPARE(footer->folderButton()->toolTip(),
                 folder.isEmpty() ? Strings::text("v2_transcript_beside") : full);
        QCOMPARE(footer->besideMarked(), folder.isEmpty());
        QCOMPARE(footer->besideAction()->text(), Strings::text("v2_transcript_beside"));
        QCOMPARE(footer->chooseAction()->text(), Strings::text("v2_transcript_choose"));
    }

    // The menu: beside the media saves an empty folder; choosing one saves its path; cancelling nothing.
    void folderMenu() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        TranscriptionFooter* footer = pane.footer();
        const QString chosen = f.path("one/two/Scripts");
        QVERIFY(QDir().mkpath(chosen));

        f.fakes.fileDialogs.folderAnswer = chosen;
        footer->chooseAction()->trigger();
        QVERIFY(f.waitForRequests("settings.set", 1));
        QCOMPARE(f.requestsOf("settings.set")[0].params,
                 (QJsonObject{{"values", QJsonObject{{"transcriptDir", chosen}}}}));
        // The engine's answer names the folder in the menu.
        QTRY_COMPARE(footer->folderButton()->text(),
                     Strings::text("label_saved_in", {{"folder", "Scripts"}}));
        QCOMPARE(footer->folderButton()->toolTip(), chosen);
        QVERIFY(!footer->besideMarked());
        QCOMPARE(f.fakes.fileDialogs.calls.last().message, Strings::text("v2_transcript_folder_prompt"));

        f.fakes.fileDialogs.folderAnswer = std::nullopt;
        footer->chooseAction()->trigger();
        QTRY_COMPARE(f.fakes.fileDialogs.calls.size(), 2);
        footer->besideAction()->trigger();
        QVERIFY(f.waitForRequests("settings.set", 2));
        // The cancelled panel sent nothing: the next save is the one of "beside the media".
        QCOMPARE(f.requestsOf("settings.set").size(), 2);
        QCOMPARE(f.requestsOf("settings.set")[1].params,
                 (QJsonObject{{"values", QJsonObject{{"transcriptDir", ""}}}}));
        QTRY_COMPARE(footer->folderButton()->text(), Strings::text("v2_transcript_beside"));
        QVERIFY(footer->besideMarked());
    }

    // Clear list cancels only active jobs, empties the list, and late events bring nothing back.
    void clearList() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        f.emitEvent("transcribe.state", stateEvent("A-RUN", "running", {{"title", "run"}}));
        f.emitEvent("transcribe.state",
                    stateEvent("B-DONE", "done", {{"title", "done"}, {"srt", "/m/x.srt"}}));
        f.emitEvent("transcribe.state", stateEvent("C-QUEUED", "queued", {{"title", "queued"}}));
        f.emitEvent("transcribe.state", stateEvent("D-FAILED", "failed", {{"title", "failed"}}));
        QVERIFY(awaitJob(f, "D-FAILED"));
        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        QCOMPARE(pane.rows()->rowCount(), 4);
        QVERIFY(pane.clearButton()->isVisible());
        QCOMPARE(pane.clearButton()->text(), Strings::text("button_clear_list"));

        QTest::mouseClick(pane.clearButton(), Qt::LeftButton);
        QTRY_COMPARE(pane.rows()->rowCount(), 0);
        QVERIFY(pane.emptyNotice()->isVisible());
        QVERIFY(!pane.clearButton()->isVisible());

        f.emitEvent("transcribe.state", stateEvent("A-RUN", "cancelled"));
        f.emitEvent("transcribe.progress", {{"jobId", "C-QUEUED"}, {"percent", 10}, {"fraction", 0.1}});
        f.emitEvent("transcribe.state", stateEvent("C-QUEUED", "cancelled"));
        f.emitEvent("transcribe.state", stateEvent("Z-NEW", "queued", {{"title", "new"}}));
        QVERIFY(awaitJob(f, "Z-NEW"));
        QTRY_COMPARE(pane.rows()->rowCount(), 1);
        QStringList cancelled;
        for (const auto& r : f.requestsOf("transcribe.cancel"))
            cancelled << r.params.value("jobId").toString();
        cancelled.sort();
        QCOMPARE(cancelled, (QStringList{"A-RUN", "C-QUEUED"}));
    }

    // "Model settings" takes the window to the settings tab.
    void manageModel() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        f.model->setTab(AppModel::Tab::Transcription);
        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        auto* manage = pane.findChild<LinkButton*>("button_manage_model");
        QVERIFY(manage);
        QCOMPARE(manage->text(), Strings::text("button_manage_model"));
        QSignalSpy tab(f.model.get(), &AppModel::tabChanged);
        QTest::mouseClick(manage, Qt::LeftButton);
        QCOMPARE(f.model->tab(), AppModel::Tab::Settings);
        QCOMPARE(f.model->settingsSection(), AppModel::SettingsSection::Transcription);
        QCOMPARE(tab.size(), 1);
        f.model->setSettingsSection(AppModel::SettingsSection::General);
        QTest::mouseClick(manage, Qt::LeftButton);
        QCOMPARE(f.model->settingsSection(), AppModel::SettingsSection::Transcription);
        QCOMPARE(f.model->tab(), AppModel::Tab::Settings);
        QCOMPARE(tab.size(), 1);
    }

    // A start that lacks its model opens the model offer for the chosen model, else the default.
    void missingModelOffersIt_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("offered");
        QTest::newRow("the chosen model") << "small"
                                          << "small";
        QTest::newRow("no model chosen: the default") << ""
                                                      << "base";
    }
    void missingModelOffersIt() {
        QFETCH(QString, chosen);
        QFETCH(QString, offered);
        ViewFixture f;
        bootWith(f, modelsInfo(true), {{"transcriptionModel", chosen}}, false);
        f.scriptError("transcribe.start", 1, "The speech model is not installed.", "model-missing");
        QString offeredKey;
        ViewFactories views;
        views.panes.transcription = [](AppModel& m) -> QWidget* { return new TranscriptionPane(&m); };
        views.sheets.modelOptIn = [&offeredKey](AppModel&, QString key, QWidget* parent) -> QDialog* {
            offeredKey = key;
            return new QDialog(parent);
        };
        f.model->setTab(AppModel::Tab::Transcription);
        RootView root(*f.model, views);
        QVERIFY(showAt(&root, {1020, 700}));
        auto* pane = qobject_cast<TranscriptionPane*>(root.pane());
        QVERIFY(pane);
        const QString media = f.path("talk.mp3");
        QFile file(media);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        std::unique_ptr<QMimeData> data(filesData({QUrl::fromLocalFile(media)}));
        QVERIFY(dragAndDrop(pane->dropZone(), data.get()));
        QTRY_VERIFY_WITH_TIMEOUT(root.surface() && root.surface()->objectName() == "modelOptInSheet", 10000);
        QCOMPARE(offeredKey, offered);
        // The job failed with the engine's message, shown in its row.
        QTRY_COMPARE(pane->rows()->rowCount(), 1);
        QCOMPARE(
            pane->rows()->index(0).data(TranscriptionListModel::StateRole).value<TranscriptionJob::State>(),
            TranscriptionJob::State::Failed);
        QCOMPARE(pane->rows()->index(0).data(TranscriptionListModel::CaptionRole).toString(),
                 QStringLiteral("The speech model is not installed."));
    }

    // Texts follow a new language.
    void followsLanguage() {
        ViewFixture f;
        bootWith(f, modelsInfo(true));
        f.emitEvent("transcribe.state", stateEvent("A", "done"));
        QVERIFY(awaitJob(f, "A"));
        TranscriptionPane pane(f.model.get());
        QVERIFY(showAt(&pane, {900, 620}));
        const QString english = pane.clearButton()->text();
        const QString englishCaption =
            pane.rows()->index(0).data(TranscriptionListModel::CaptionRole).toString();
        QCoro::waitFor(f.model->sessionPart().applyLanguage("fr"));
        QCOMPARE(Strings::language(), QStringLiteral("fr"));
        QCOMPARE(pane.clearButton()->text(), Strings::text("button_clear_list"));
        QVERIFY(pane.clearButton()->text() != english);
        QCOMPARE(pane.findChild<QPushButton*>("button_choose_files")->text(),
                 Strings::text("button_choose_files"));
        QCOMPARE(pane.footer()->folderButton()->text(), Strings::text("v2_transcript_beside"));
        const QString frenchCaption =
            pane.rows()->index(0).data(TranscriptionListModel::CaptionRole).toString();
        QCOMPARE(frenchCaption, Strings::text("status_done"));
        QVERIFY(frenchCaption != englishCaption);
    }
};

QTEST_MAIN(TestTranscriptionPane)
#include "Session.h"
#include "tst_transcriptionpane.moc"
