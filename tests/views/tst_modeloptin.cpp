// The model opt-in sheet: its stages (offer, downloading, installed, failed) driven by the engine's real
// model store with a catalogue served on 127.0.0.1, the offer fetched again when the first model gets
// installed and after a delete, what Return does in each stage, "Use" choosing the model, the delete asked
// first, the download that fails at once, and the root view presenting and closing it.
#include "CatalogueServer.h"
#include "SettingsHelpers.h"
#include "SpeechModels.h"

#include "sheets/ModelOptInSheet.h"
#include "shell/RootView.h"

#include "Job.h"
#include "Prompts.h"
#include "SettingFields.h"

#include <QJsonArray>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

namespace {

QStringList visibleButtons(QDialog* sheet) {
    QStringList out;
    for (const char* name : {"button_delete_model", "button_close", "button_cancel", "button_done",
                             "cancelDownload", "button_download_model"}) {
        auto* b = sheet->findChild<QPushButton*>(QString::fromLatin1(name));
        if (b && b->isVisibleTo(sheet))
            out << QString::fromLatin1(name);
    }
    return out;
}

QLabel* caption(QDialog* sheet) {
    return sheet->findChild<QLabel*>(QStringLiteral("progressCaption"));
}
QProgressBar* bar(QDialog* sheet) {
    return sheet->findChild<QProgressBar*>(QStringLiteral("progress"));
}

QString offerText(qint64 bytes, const QString& host) {
    return Strings::text(QStringLiteral("msg_model_offer"),
                         {{QStringLiteral("size"), Job::byteCount(bytes)}, {QStringLiteral("host"), host}});
}

QJsonObject offerAnswer(const QString& key, bool installed, const QString& host, qint64 bytes, qint64 disk) {
    return QJsonObject{{QStringLiteral("result"), QJsonObject{{"key", key},
                                                              {"installed", installed},
                                                              {"host", host},
                                                              {"downloadBytes", bytes},
                                                              {"diskBytes", disk}}}};
}

// Presses Return on the sheet as a user does.
void pressReturn(QDialog* sheet) {
    QTest::keyClick(sheet, Qt::Key_Return);
}

} // namespace

class TestModelOptIn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { Strings::reset(); }

    void offerDownloadInstallDeleteOfferAgain();
    void progressAndFailures_data();
    void progressAndFailures();
    void downloadRefusedAtOnce();
    void installedBeforeTheOfferArrives();
    void withoutListOrOffer();
    void aModelThatCannotRunIsNotOffered();
    void emptyHostStaysEmpty();
    void returnInEachStage_data();
    void returnInEachStage();
    void refetchOnlyWhenTheFirstModelIsInstalled_data();
    void refetchOnlyWhenTheFirstModelIsInstalled();
    void closingWhileDownloadingLetsItRun();
    void useChoosesTheModel_data();
    void useChoosesTheModel();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void rootViewPresentsAndCloses();
};

void TestModelOptIn::offerDownloadInstallDeleteOfferAgain() {
    CatalogueServer server;
    QVERIFY(!server.address.isEmpty());
    // A whisper-cli is present (any program stands for it here), so the engine offers its models.
    ViewFixture f({{"VAMBER_MODEL_CATALOG", server.address}, {"VAMBER_WHISPER_CLI", "/bin/true"}});
    f.boot();
    QVERIFY(f.model->modelsPart().modelsInfo());
    // The system's built-in model may already be there.
    const bool hadInstalled = !f.model->modelsPart().modelsInfo()->installed().empty();
    ModelOptInSheet sheet(*f.model, QStringLiteral("tiny"));
    QSignalSpy fetched(&sheet, &ModelOptInSheet::offerFetched);
    sheet.open();
    QTRY_VERIFY_WITH_TIMEOUT(!fetched.isEmpty(), 10000);
    QVERIFY(sheet.offer());
    QCOMPARE(sheet.offer()->host, QStringLiteral("127.0.0.1"));
    QCOMPARE(sheet.stage(), ModelOptInSheet::Stage::Offer);
    QCOMPARE(sheet.findChild<QLabel*>("detail")->text(), offerText(CatalogueServer::modelSize, "127.0.0.1"));
    QCOMPARE(sheet.findChild<QLabel*>("modelName")->text(), Strings::text("transcription_model_tiny"));
    QCOMPARE(visibleButtons(&sheet), (QStringList{"button_cancel", "button_download_model"}));

    QList<int> values;
    connect(bar(&sheet), &QProgressBar::valueChanged, this, [&](int v) { values << v; });
    sheet.findChild<QPushButton*>("button_download_model")->click();
    // At once, before any answer: the bar at 0 and the starting text.
    QCOMPARE(sheet.stage(), ModelOptInSheet::Stage::Downloading);
    QVERIFY(bar(&sheet)->isVisibleTo(&sheet));
    QCOMPARE(bar(&sheet)->value(), 0);
    QCOMPARE(caption(&sheet)->text(), Strings::text("status_model_starting"));
    QCOMPARE(visibleButtons(&sheet), (QStringList{"button_cancel", "cancelDownload"}));

    QTRY_COMPARE_WITH_TIMEOUT(sheet.stage(), ModelOptInSheet::Stage::Installed, 20000);
    for (int v : values)
        QVERIFY(v >= 0 && v <= 1000);
    QCOMPARE(visibleButtons(&sheet), (QStringList{"button_delete_model", "button_close", "button_done"}));
    QVERIFY(!bar(&sheet)->isVisibleTo(&sheet));
    QCOMPARE(sheet.findChild<QLabel*>("detail")->text(),
             Strings::text("msg_model_installed",
                           {{"size", Job::byteCount(sheet.offer() && sheet.offer()->installed
                                                        ? sheet.offer()->diskBytes
                                                        : CatalogueServer::modelSize)}}));
    if (!hadInstalled) {
        // No model was installed before: the installation fetches the offer again, and it says installed.
        QTRY_VERIFY_WITH_TIMEOUT(sheet.offer() && sheet.offer()->installed, 10000);
        QCOMPARE(f.requestsOf(QStringLiteral("models.offer")).size(), 2);
    }
    // Downloading chose nothing yet; "Use" chooses the model for transcription and closes.
    QCOMPARE(f.requestsOf(QStringLiteral("settings.set")).size(), 0);
    sheet.findChild<QPushButton*>("button_done")->click();
    QVERIFY(!sheet.isVisible());
    QVERIFY(f.waitForRequests(QStringLiteral("settings.set"), 1));
    QCOMPARE(paramsOf(f, QStringLiteral("settings.set")).first(),
             (QJsonObject{{"values", QJsonObject{{"transcriptionModel", "tiny"}}}}));
    QTRY_COMPARE(f.model->sessionPart().settings()->transcriptionModel, QStringLiteral("tiny"));

    // Opened again, the offer itself says installed; a delete asks first, keeps the sheet open, and the
    // offer is fetched again once the list says the model is gone.
    ModelOptInSheet again(*f.model, QStringLiteral("tiny"));
    QSignalSpy fetchedAgain(&again, &ModelOptInSheet::offerFetched);
    again.open();
    QTRY_COMPARE_WITH_TIMEOUT(fetchedAgain.size(), 1, 10000);
    QVERIFY(again.offer() && again.offer()->installed);
    QCOMPARE(again.stage(), ModelOptInSheet::Stage::Installed);
    QCOMPARE(again.findChild<QLabel*>("detail")->text(),
             Strings::text("msg_model_installed", {{"size", Job::byteCount(CatalogueServer::modelSize)}}));
    const int offers = f.requestsOf(QStringLiteral("models.offer")).size();
    again.findChild<QPushButton*>("button_delete_model")->click();
    QTRY_VERIFY(again.deleteConfirmation() && again.deleteConfirmation()->isVisible());
    again.deleteConfirmation()->findChild<QPushButton*>("button_delete_model")->click();
    QVERIFY(f.waitForRequests(QStringLiteral("models.delete"), 1));
    QTRY_COMPARE_WITH_TIMEOUT(again.stage(), ModelOptInSheet::Stage::Offer, 10000);
    QVERIFY(again.isVisible());
    QVERIFY(again.offer() && !again.offer()->installed);
    QCOMPARE(f.requestsOf(QStringLiteral("models.offer")).size(), offers + 1);
    QCOMPARE(visibleButtons(&again), (QStringList{"button_cancel", "button_download_model"}));
    QCOMPARE(again.findChild<QLabel*>("detail")->text(), offerText(CatalogueServer::modelSize, "127.0.0.1"));
    QVERIFY(StateFixture::errorLines(f.model->sessionPart().log()).isEmpty());
}

void TestModelOptIn::progressAndFailures_data() {
    QTest::addColumn<QJsonObject>("end"); // the model.state event that ends the download
    QTest::addColumn<QString>("notice");  // "@key": that text
    QTest::addColumn<bool>("failure");
    QTest::newRow("failed with a message")
        << QJsonObject{{"key", "tiny"}, {"state", "failed"}, {"message", "Checksum mismatch."}}
        << "Checksum mismatch." << true;
    QTest::newRow("failed without a message")
        << QJsonObject{{"key", "tiny"}, {"state", "failed"}} << "@failed" << true;
    QTest::newRow("cancelled") << QJsonObject{{"key", "tiny"}, {"state", "cancelled"}}
                               << "@status_model_cancelled" << false;
}

void TestModelOptIn::progressAndFailures() {
    QFETCH(QJsonObject, end);
    QFETCH(QString, notice);
    QFETCH(bool, failure);
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"result", modelsAnswer({{QStringLiteral("tiny"), 1000, false}})}}, 0);
    f.script(QStringLiteral("models.offer"), offerAnswer("tiny", false, "models.example.org", 1000, 1200), 0);
    f.control(QStringLiteral("test.hold"), QJsonObject{{"method", "models.download"}});
    f.boot();
    ModelOptInSheet sheet(*f.model, QStringLiteral("tiny"));
    QSignalSpy fetched(&sheet, &ModelOptInSheet::offerFetched);
    sheet.open();
    QTRY_VERIFY_WITH_TIMEOUT(!fetched.isEmpty(), 10000);
    sheet.findChild<QPushButton*>("button_download_model")->click();
    QVERIFY(f.waitForRequests(QStringLiteral("models.download"), 1));
    f.emitEvent(QStringLiteral("model.progress"),
                {{"key", "tiny"}, {"downloaded", 450}, {"total", 1000}, {"fraction", 0.45}});
    QTRY_COMPARE(bar(&sheet)->value(), 450);
    QCOMPARE(caption(&sheet)->text(), Strings::text("status_model_starting"));
    // A progress event beyond the end is held at the end.
    f.emitEvent(QStringLiteral("model.progress"),
                {{"key", "tiny"}, {"downloaded", 2}, {"total", 1}, {"fraction", 2.0}});
    QTRY_COMPARE(bar(&sheet)->value(), 1000);

    f.emitEvent(QStringLiteral("model.state"), end);
    QTRY_COMPARE(sheet.stage(), ModelOptInSheet::Stage::Offer);
    QString text = notice;
    if (notice == QLatin1String("@failed"))
        text = Strings::text("status_model_failed", {{"reason", Strings::text("model_error_network")}});
    else if (notice.startsWith(u'@'))
        text = Strings::text(notice.mid(1));
    QVERIFY(!bar(&sheet)->isVisibleTo(&sheet));
    QVERIFY(caption(&sheet)->isVisibleTo(&sheet));
    QCOMPARE(caption(&sheet)->text(), text);
    QCOMPARE(caption(&sheet)->palette().color(QPalette::WindowText),
             Theme::ink(failure ? Theme::Ink::Warning : Theme::Ink::Secondary));
    QCOMPARE(visibleButtons(&sheet), (QStringList{"button_cancel", "button_download_model"}));
    // Downloading again clears the notice at once.
    sheet.findChild<QPushButton*>("button_download_model")->click();
    QCOMPARE(caption(&sheet)->text(), Strings::text("status_model_starting"));
    QVERIFY(!f.model->modelsPart().modelNotices().contains("tiny"));
}

void TestModelOptIn::downloadRefusedAtOnce() {
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"result", modelsAnswer({{QStringLiteral("tiny"), 1000, false}})}}, 0);
    f.scriptError(QStringLiteral("models.download"), 7, QStringLiteral("No space left for the model."));
    f.boot();
    ModelOptInSheet sheet(*f.model, QStringLiteral("tiny"));
    sheet.open();
    sheet.findChild<QPushButton*>("button_download_model")->click();
    QCOMPARE(sheet.stage(), ModelOptInSheet::Stage::Downloading);
    // Never left showing a download that is not running.
    QTRY_COMPARE(sheet.stage(), ModelOptInSheet::Stage::Offer);
    QCOMPARE(caption(&sheet)->text(), QStringLiteral("No space left for the model."));
    QCOMPARE(caption(&sheet)->palette().color(QPalette::WindowText), Theme::ink(Theme::Ink::Warning));
    QVERIFY(sheet.findChild<QPushButton*>("button_download_model")->isVisibleTo(&sheet));
}

void TestModelOptIn::installedBeforeTheOfferArrives() {
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"result", modelsAnswer({{QStringLiteral("base"), 1000, true}}, true, false, 1.0,
                                                 QJsonObject{{"base", 5'000'000}})}},
             0);
    f.control(QStringLiteral("test.hold"), QJsonObject{{"method", "models.offer"}});
    f.boot();
    ModelOptInSheet sheet(*f.model, QStringLiteral("base"));
    sheet.open();
    QVERIFY(f.waitForRequests(QStringLiteral("models.offer"), 1));
    QVERIFY(!sheet.offer());
    QCOMPARE(sheet.stage(), ModelOptInSheet::Stage::Installed);
    QCOMPARE(sheet.findChild<QLabel*>("detail")->text(),
             Strings::text("msg_model_installed", {{"size", Job::byteCount(5'000'000)}}));
}

void TestModelOptIn::withoutListOrOffer() {
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"error", QJsonObject{{"code", 3}, {"message", "no"}}}}, 0);
    f.script(QStringLiteral("models.offer"),
             QJsonObject{{"error", QJsonObject{{"code", 3}, {"message", "no"}}}}, 0);
    f.boot();
    QVERIFY(!f.model->modelsPart().modelsInfo());
    const int errors = StateFixture::errorLines(f.model->sessionPart().log()).size();
    ModelOptInSheet sheet(*f.model, QStringLiteral("large-v3-turbo"));
    QSignalSpy fetched(&sheet, &ModelOptInSheet::offerFetched);
    sheet.open();
    QTRY_VERIFY_WITH_TIMEOUT(!fetched.isEmpty(), 10000);
    QVERIFY(!sheet.offer());
    QCOMPARE(sheet.stage(), ModelOptInSheet::Stage::Offer);
    QCOMPARE(sheet.findChild<QLabel*>("detail")->text(), offerText(0, Strings::text("model_host_unknown")));
    QCOMPARE(sheet.findChild<QLabel*>("modelName")->text(),
             Strings::text("transcription_model_large_v3_turbo"));
    QCOMPARE(visibleButtons(&sheet), (QStringList{"button_cancel", "button_download_model"}));
    // A failed offer is neither logged nor reported.
    QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()).size(), errors);
}

// The engine says the model cannot run here: the sheet says what is missing and offers no download.
void TestModelOptIn::aModelThatCannotRunIsNotOffered() {
    ViewFixture f;
    f.startEngine();
    QJsonObject info = modelsAnswer({{QStringLiteral("tiny"), 2'000'000, false}});
    QJsonArray models = info.value("models").toArray();
    QJsonObject tiny = models.first().toObject();
    tiny.insert("runnable", false);
    tiny.insert("unavailableReason", "Needs whisper-cli");
    models.replace(0, tiny);
    info.insert("models", models);
    f.script(QStringLiteral("models.list"), QJsonObject{{"result", info}}, 0);
    f.script(QStringLiteral("models.offer"), offerAnswer("tiny", false, "127.0.0.1", 2'000'000, 2'100'000),
             0);
    f.boot();
    ModelOptInSheet sheet(*f.model, QStringLiteral("tiny"));
    QSignalSpy fetched(&sheet, &ModelOptInSheet::offerFetched);
    sheet.open();
    QTRY_VERIFY_WITH_TIMEOUT(!fetched.isEmpty(), 10000);
    QCOMPARE(visibleButtons(&sheet), QStringList{"button_cancel"});
    QCOMPARE(sheet.findChild<QLabel*>("detail")->text(), QStringLiteral("Needs whisper-cli"));
    pressReturn(&sheet);
    QVERIFY(f.requestsOf(QStringLiteral("models.download")).isEmpty());
}

void TestModelOptIn::emptyHostStaysEmpty() {
    ViewFixture f({{"VAMBER_WHISPER_CLI", "/bin/true"}}); // the model can run here
    f.startEngine();
    f.script(QStringLiteral("models.offer"), offerAnswer("tiny", false, "", 2'000'000, 2'100'000), 0);
    f.boot();
    ModelOptInSheet sheet(*f.model, QStringLiteral("tiny"));
    QSignalSpy fetched(&sheet, &ModelOptInSheet::offerFetched);
    sheet.open();
    QTRY_VERIFY_WITH_TIMEOUT(!fetched.isEmpty(), 10000);
    QCOMPARE(sheet.findChild<QLabel*>("detail")->text(), offerText(2'000'000, QString()));
    QVERIFY(!sheet.findChild<QLabel*>("detail")->text().contains(Strings::text("model_host_unknown")));
}

void TestModelOptIn::returnInEachStage_data() {
    QTest::addColumn<QString>("stage");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("downloads"); // models.download requests after Return
    QTest::addColumn<int>("chooses");   // settings.set requests after Return
    QTest::newRow("installed: use") << "installed" << true << 0 << 1;
    QTest::newRow("offer: download") << "offer" << false << 1 << 0;
    QTest::newRow("downloading: nothing") << "downloading" << false << 0 << 0;
}

void TestModelOptIn::returnInEachStage() {
    QFETCH(QString, stage);
    QFETCH(bool, closes);
    QFETCH(int, downloads);
    QFETCH(int, chooses);
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"result", modelsAnswer({{QStringLiteral("tiny"), 1000, stage == "installed"}})}},
             0);
    f.script(QStringLiteral("models.offer"),
             offerAnswer("tiny", stage == "installed", "h.example", 1000, 1000), 0);
    f.boot();
    if (stage == QLatin1String("downloading"))
        f.emitEvent(QStringLiteral("model.progress"),
                    {{"key", "tiny"}, {"downloaded", 1}, {"total", 4}, {"fraction", 0.25}});
    QTRY_COMPARE(f.model->modelsPart().modelDownloads().contains("tiny"),
                 stage == QLatin1String("downloading"));
    QWidget window;
    QVERIFY(showAt(&window, QSize(900, 620)));
    auto* sheet = new ModelOptInSheet(*f.model, QStringLiteral("tiny"), &window);
    QSignalSpy fetched(sheet, &ModelOptInSheet::offerFetched);
    QSignalSpy finished(sheet, &QDialog::finished);
    sheet->open();
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    QTRY_VERIFY_WITH_TIMEOUT(!fetched.isEmpty(), 10000);
    // Focus on a button that Return must not press.
    sheet->findChild<QPushButton*>("button_cancel")->setFocus();
    if (stage == QLatin1String("installed"))
        sheet->findChild<QPushButton*>("button_delete_model")->setFocus();
    pressReturn(sheet);
    if (closes) {
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
    }
    if (downloads > 0)
        QVERIFY(f.waitForRequests(QStringLiteral("models.download"), downloads));
    // Actions start on the next turn of the event loop: let it pass, then a later request proves that any
    // download Return started was sent before it.
    ViewFixture::settle();
    QCoro::waitFor(f.model->modelsPart().reloadModels());
    QCOMPARE(f.requestsOf(QStringLiteral("models.download")).size(), downloads);
    QCOMPARE(f.requestsOf(QStringLiteral("models.delete")).size(), 0);
    QCOMPARE(f.requestsOf(QStringLiteral("settings.set")).size(), chooses);
    if (!closes) {
        QCOMPARE(finished.size(), 0);
        QVERIFY(sheet->isVisible());
    }
}

void TestModelOptIn::refetchOnlyWhenTheFirstModelIsInstalled_data() {
    QTest::addColumn<bool>("otherInstalled");
    QTest::addColumn<int>("offers");
    QTest::newRow("first model installed: fetched again") << false << 2;
    QTest::newRow("another already installed: not fetched") << true << 1;
}

void TestModelOptIn::refetchOnlyWhenTheFirstModelIsInstalled() {
    QFETCH(bool, otherInstalled);
    QFETCH(int, offers);
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"result", modelsAnswer({{QStringLiteral("tiny"), 1000, false},
                                                  {QStringLiteral("base"), 1000, otherInstalled}})}},
             1);
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"result", modelsAnswer({{QStringLiteral("tiny"), 1000, true},
                                                  {QStringLiteral("base"), 1000, otherInstalled}})}},
             0);
    f.script(QStringLiteral("models.offer"), offerAnswer("tiny", false, "h.example", 1000, 1000), 0);
    f.boot();
    ModelOptInSheet sheet(*f.model, QStringLiteral("tiny"));
    QSignalSpy fetched(&sheet, &ModelOptInSheet::offerFetched);
    sheet.open();
    QTRY_VERIFY_WITH_TIMEOUT(!fetched.isEmpty(), 10000);
    QCOMPARE(sheet.stage(), ModelOptInSheet::Stage::Offer);
    QCoro::waitFor(f.model->modelsPart().reloadModels());
    // The list itself turns the sheet installed, whatever the held offer says.
    QCOMPARE(sheet.stage(), ModelOptInSheet::Stage::Installed);
    // Once the engine has answered a later offer request, a fetch started by the change would be logged.
    QCoro::waitFor(f.model->modelsPart().fetchModelOffer(QStringLiteral("base")));
    ViewFixture::settle();
    QCOMPARE(f.requestsOf(QStringLiteral("models.offer")).size() - 1, offers);
}

void TestModelOptIn::closingWhileDownloadingLetsItRun() {
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"result", modelsAnswer({{QStringLiteral("tiny"), 1000, false}})}}, 0);
    f.control(QStringLiteral("test.hold"), QJsonObject{{"method", "models.download"}});
    f.boot();
    for (const char* button : {"cancelDownload", "button_cancel"}) {
        ModelOptInSheet sheet(*f.model, QStringLiteral("tiny"));
        QSignalSpy finished(&sheet, &QDialog::finished);
        sheet.open();
        if (!f.model->modelsPart().modelDownloads().contains("tiny"))
            sheet.findChild<QPushButton*>("button_download_model")->click();
        QCOMPARE(visibleButtons(&sheet), (QStringList{"button_cancel", "cancelDownload"}));
        sheet.findChild<QPushButton*>(button)->click();
        if (QLatin1String(button) == QLatin1String("cancelDownload")) {
            // Stops the download and stays open.
            QVERIFY(f.waitForRequests(QStringLiteral("models.cancel"), 1));
            QCOMPARE(paramsOf(f, QStringLiteral("models.cancel")).first(), (QJsonObject{{"key", "tiny"}}));
            QCOMPARE(finished.size(), 0);
            QVERIFY(sheet.isVisible());
        } else {
            // Only closes: the download goes on.
            QCOMPARE(finished.size(), 1);
            QCoro::waitFor(f.model->modelsPart().reloadModels());
            QCOMPARE(f.requestsOf(QStringLiteral("models.cancel")).size(), 1);
            QVERIFY(f.model->modelsPart().modelDownloads().contains("tiny"));
        }
    }
}

void TestModelOptIn::useChoosesTheModel_data() {
    QTest::addColumn<QString>("chosen"); // the model chosen before
    QTest::addColumn<bool>("byReturn");
    QTest::addColumn<int>("saves");
    QTest::newRow("another model chosen, Use clicked") << "tiny" << false << 1;
    QTest::newRow("another model chosen, Return") << "tiny" << true << 1;
    QTest::newRow("already the chosen one") << "base" << false << 0;
}

void TestModelOptIn::useChoosesTheModel() {
    QFETCH(QString, chosen);
    QFETCH(bool, byReturn);
    QFETCH(int, saves);
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"result", modelsAnswer({{QStringLiteral("tiny"), 1000, true},
                                                  {QStringLiteral("base"), 2000, true}})}},
             0);
    f.boot();
    f.model->sessionPart().saveSetting(Setting::transcriptionModel.with(chosen));
    QTRY_COMPARE(f.model->sessionPart().settings()->transcriptionModel, chosen);
    const int before = f.requestsOf(QStringLiteral("settings.set")).size();
    QWidget window;
    QVERIFY(showAt(&window, QSize(900, 620)));
    auto* sheet = new ModelOptInSheet(*f.model, QStringLiteral("base"), &window);
    QSignalSpy finished(sheet, &QDialog::finished);
    sheet->open();
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    QCOMPARE(sheet->stage(), ModelOptInSheet::Stage::Installed);
    if (byReturn)
        pressReturn(sheet);
    else
        sheet->findChild<QPushButton*>("button_done")->click();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
    if (saves > 0) {
        QVERIFY(f.waitForRequests(QStringLiteral("settings.set"), before + saves));
        QCOMPARE(paramsOf(f, QStringLiteral("settings.set")).last(),
                 (QJsonObject{{"values", QJsonObject{{"transcriptionModel", "base"}}}}));
    }
    // A later request proves that nothing more was sent.
    QCoro::waitFor(f.model->modelsPart().reloadModels());
    QCOMPARE(f.requestsOf(QStringLiteral("settings.set")).size(), before + saves);
    QCOMPARE(f.model->sessionPart().settings()->transcriptionModel, QStringLiteral("base"));
}

void TestModelOptIn::deleteAsksFirst_data() {
    QTest::addColumn<QString>("answer"); // how the question is answered
    QTest::addColumn<int>("deletes");
    QTest::newRow("Escape cancels") << "escape" << 0;
    QTest::newRow("Return presses Cancel, the default") << "return" << 0;
    QTest::newRow("Cancel") << "button_cancel" << 0;
    QTest::newRow("Delete") << "button_delete_model" << 1;
}

void TestModelOptIn::deleteAsksFirst() {
    QFETCH(QString, answer);
    QFETCH(int, deletes);
    ViewFixture f;
    f.startEngine();
    f.script(QStringLiteral("models.list"),
             QJsonObject{{"result", modelsAnswer({{QStringLiteral("medium"), 1'500'000'000, true}}, true,
                                                 false, 1.0, QJsonObject{{"medium", 1'533'000'000}})}},
             0);
    f.script(QStringLiteral("models.offer"),
             offerAnswer("medium", true, "h.example", 1'500'000'000, 1'533'000'000), 0);
    f.boot();
    QWidget window;
    QVERIFY(showAt(&window, QSize(900, 620)));
    auto* sheet = new ModelOptInSheet(*f.model, QStringLiteral("medium"), &window);
    QSignalSpy fetched(sheet, &ModelOptInSheet::offerFetched);
    QSignalSpy finished(sheet, &QDialog::finished);
    sheet->open();
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    QTRY_VERIFY_WITH_TIMEOUT(!fetched.isEmpty(), 10000);
    sheet->findChild<QPushButton*>("button_delete_model")->click();
    QMessageBox* box = sheet->deleteConfirmation();
    QVERIFY(box);
    QVERIFY(QTest::qWaitForWindowExposed(box));
    // The settings' row asks the same: its title, the size on disk, Cancel the default.
    QCOMPARE(box->objectName(), QStringLiteral("title_delete_model"));
    QCOMPARE(box->text(), Strings::text("title_delete_model"));
    QCOMPARE(box->informativeText(),
             Strings::text("msg_delete_model", {{"size", Job::byteCount(1'533'000'000)}}));
    QCOMPARE(box->defaultButton()->objectName(), QStringLiteral("button_cancel"));
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    // Nothing is deleted while the question is up; a second press asks no second question.
    sheet->findChild<QPushButton*>("button_delete_model")->click();
    QCOMPARE(sheet->deleteConfirmation(), box);
    QPointer<QMessageBox> alive(box);
    if (answer == QLatin1String("escape"))
        QTest::keyClick(box, Qt::Key_Escape);
    else if (answer == QLatin1String("return"))
        QTest::keyClick(box, Qt::Key_Return);
    else
        box->findChild<QPushButton*>(answer)->click();
    QTRY_VERIFY(alive.isNull());
    if (deletes > 0)
        QVERIFY(f.waitForRequests(QStringLiteral("models.delete"), deletes));
    QCoro::waitFor(f.model->modelsPart().reloadModels());
    QCOMPARE(f.requestsOf(QStringLiteral("models.delete")).size(), deletes);
    // Either way the sheet stays open.
    QCOMPARE(finished.size(), 0);
    QVERIFY(sheet->isVisible());
}

void TestModelOptIn::rootViewPresentsAndCloses() {
    ViewFixture f;
    f.boot();
    RootView root(*f.model, ViewFactories::standard());
    QDialog* shown = nullptr;
    connect(&root, &RootView::surfaceShown, this, [&](QDialog* d) { shown = d; });
    QVERIFY(showAt(&root, QSize(1020, 700)));
    f.model->promptsPart().setModelOptIn(Prompts::ModelOptInRequest{QStringLiteral("small")});
    QTRY_VERIFY(shown);
    auto* sheet = qobject_cast<ModelOptInSheet*>(shown);
    QVERIFY(sheet);
    QCOMPARE(sheet->modelKey(), QStringLiteral("small"));
    sheet->findChild<QPushButton*>("button_cancel")->click();
    QTRY_VERIFY(!f.model->promptsPart().modelOptIn());
}

QTEST_MAIN(TestModelOptIn)
#include "Session.h"
#include "tst_modeloptin.moc"
