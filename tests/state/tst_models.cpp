// Speech-recognition models: a model's whole life in the engine's own model store (a catalogue and a
// model file served on 127.0.0.1), the engine's model events, the download that fails at once, offers
// and the bytes shown for a model.
#include "CatalogueServer.h"
#include "SpeechModels.h"
#include "StateFixture.h"

#include "EngineLaunchError.h"
#include "Strings.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>

namespace {
constexpr qint64 modelSize = CatalogueServer::modelSize;

std::optional<WhisperModel> modelOf(const AppModel& model, const QString& key) {
    if (!model.modelsPart().modelsInfo())
        return std::nullopt;
    for (const WhisperModel& m : model.modelsPart().modelsInfo()->models) {
        if (m.key == key)
            return m;
    }
    return std::nullopt;
}
bool installed(const AppModel& model, const QString& key) {
    const auto m = modelOf(model, key);
    return m && m->installed;
}
QJsonObject infoWithDisk(const QJsonObject& diskUsage) {
    return {{"models", QJsonArray{QJsonObject{{"key", "base"},
                                              {"filename", "ggml-base.bin"},
                                              {"downloadBytes", 1000},
                                              {"peakMemoryBytes", 0},
                                              {"installed", true}}}},
            {"default", "base"},
            {"supported", true},
            {"helperAvailable", true},
            {"appleSilicon", false},
            {"gpu", false},
            {"speedFactor", 1.0},
            {"diskUsage", diskUsage}};
}
} // namespace

class TestModels : public QObject {
    Q_OBJECT
private slots:
    void init() { Strings::reset(); }

    void downloadInstallDelete() {
        CatalogueServer server;
        QVERIFY(!server.address.isEmpty());
        StateFixture f({{"VAMBER_MODEL_CATALOG", server.address}});
        f.boot();
        QVERIFY(f.model->modelsPart().modelsInfo());
        QVERIFY(modelOf(*f.model, "tiny"));
        QVERIFY(!installed(*f.model, "tiny"));

        // An old failure notice goes at once, and the download shows as started before any answer.
        f.emitEvent("model.state", {{"key", "tiny"}, {"state", "failed"}, {"message", "earlier"}});
        QTRY_VERIFY_WITH_TIMEOUT(f.model->modelsPart().modelNotices().contains("tiny"), 10000);
        QList<double> seen;
        connect(&f.model->modelsPart(), &SpeechModels::modelDownloadsChanged, this,
                [&] { seen << f.model->modelsPart().modelDownloads().value("tiny", -1); });
        f.model->modelsPart().downloadModel("tiny");
        QCOMPARE(f.model->modelsPart().modelDownloads().value("tiny", -1), 0.0);
        QVERIFY(!f.model->modelsPart().modelNotices().contains("tiny"));

        QTRY_VERIFY_WITH_TIMEOUT(installed(*f.model, "tiny"), 20000);
        QVERIFY(!f.model->modelsPart().modelDownloads().contains("tiny"));
        QVERIFY(!f.model->modelsPart().modelNotices().contains("tiny"));
        QCOMPARE(f.requestsOf("models.download").first().params, (QJsonObject{{"key", "tiny"}}));
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen.last(), -1.0); // the download ended
        for (double fraction : seen)
            QVERIFY(fraction == -1.0 || (fraction >= 0 && fraction <= 1));
        QCOMPARE(f.model->modelsPart().modelBytesOnDisk(*modelOf(*f.model, "tiny")), modelSize);

        const auto offer = QCoro::waitFor(f.model->modelsPart().fetchModelOffer("tiny"));
        QVERIFY(offer);
        QCOMPARE(offer->key, QStringLiteral("tiny"));
        QVERIFY(offer->installed);

        f.model->modelsPart().deleteModel("tiny");
        QTRY_VERIFY_WITH_TIMEOUT(!installed(*f.model, "tiny"), 20000);
        QVERIFY(modelOf(*f.model, "tiny"));
        QTRY_VERIFY_WITH_TIMEOUT(f.model->modelsPart().modelNotices().contains("tiny"), 10000);
        const SpeechModels::ModelNotice deleted{Strings::text("status_model_deleted"), false};
        QCOMPARE(f.model->modelsPart().modelNotices().value("tiny"), deleted);
        QVERIFY(StateFixture::errorLines(f.model->sessionPart().log()).isEmpty());
    }

    void modelStateEvents_data() {
        QTest::addColumn<QJsonObject>("event");
        QTest::addColumn<QString>("text"); // empty: no notice
        QTest::addColumn<bool>("isFailure");
        QTest::addColumn<bool>("reloads");
        QTest::newRow("installed") << QJsonObject{{"state", "installed"}} << "" << false << true;
        QTest::newRow("deleted") << QJsonObject{{"state", "deleted"}} << "@status_model_deleted" << false
                                 << true;
        QTest::newRow("cancelled") << QJsonObject{{"state", "cancelled"}} << "@status_model_cancelled"
                                   << false << false;
        QTest::newRow("failed with a message")
            << QJsonObject{{"state", "failed"}, {"message", "Disk full."}} << "Disk full." << true << false;
        QTest::newRow("failed without one") << QJsonObject{{"state", "failed"}} << "@failed" << true << false;
        QTest::newRow("a state word nobody knows")
            << QJsonObject{{"state", "pondering"}} << "" << false << false;
    }
    void modelStateEvents() {
        QFETCH(QJsonObject, event);
        QFETCH(QString, text);
        QFETCH(bool, isFailure);
        QFETCH(bool, reloads);
        StateFixture f;
        f.boot();
        f.emitEvent("model.progress", {{"key", "k"}, {"downloaded", 5}, {"total", 10}, {"fraction", 0.5}});
        QTRY_COMPARE_WITH_TIMEOUT(f.model->modelsPart().modelDownloads().value("k", -1), 0.5, 10000);
        const int lists = f.requestsOf("models.list").size();
        event.insert("key", "k");
        f.emitEvent("model.state", event);
        QTRY_VERIFY_WITH_TIMEOUT(!f.model->modelsPart().modelDownloads().contains("k"), 10000);
        if (text.isEmpty()) {
            QVERIFY(!f.model->modelsPart().modelNotices().contains("k"));
        } else {
            if (text == "@failed")
                text =
                    Strings::text("status_model_failed", {{"reason", Strings::text("model_error_network")}});
            else if (text.startsWith('@'))
                text = Strings::text(text.mid(1));
            QVERIFY(!text.isEmpty());
            QCOMPARE(f.model->modelsPart().modelNotices().value("k"),
                     (SpeechModels::ModelNotice{text, isFailure}));
        }
        if (reloads)
            QVERIFY(f.waitForRequests("models.list", lists + 1));
        // A reload sent now is answered after any reload the event asked for.
        QCoro::waitFor(f.model->modelsPart().reloadModels());
        QCOMPARE(f.requestsOf("models.list").size(), lists + (reloads ? 2 : 1));
    }

    void progressIsClamped() {
        StateFixture f;
        f.boot();
        f.emitEvent("model.progress", {{"key", "k"}, {"downloaded", 15}, {"total", 10}, {"fraction", 1.5}});
        QTRY_VERIFY_WITH_TIMEOUT(f.model->modelsPart().modelDownloads().contains("k"), 10000);
        QCOMPARE(f.model->modelsPart().modelDownloads().value("k"), 1.0);
    }

    // A download the engine refuses at once must not show as running for ever.
    void downloadRefusedAtOnce() {
        StateFixture f;
        f.boot();
        f.scriptError("models.download", 5, "No such model.");
        f.model->modelsPart().downloadModel("ghost");
        QTRY_VERIFY_WITH_TIMEOUT(!f.model->modelsPart().modelDownloads().contains("ghost"), 10000);
        QCOMPARE(f.model->modelsPart().modelNotices().value("ghost"),
                 (SpeechModels::ModelNotice{"No such model.", true}));
        QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()), QStringList{"No such model."});
        QVERIFY(f.waitForRequests("models.list", 2)); // reloaded whatever the outcome
    }

    void engineFailureEventWins() {
        StateFixture f;
        f.boot();
        f.control("test.hold", {{"method", "models.download"}});
        f.model->modelsPart().downloadModel("ghost");
        QVERIFY(f.waitForRequests("models.download", 1));
        f.emitEvent("model.state",
                    {{"key", "ghost"}, {"state", "failed"}, {"message", "The engine's own words."}});
        QTRY_VERIFY_WITH_TIMEOUT(!f.model->modelsPart().modelDownloads().contains("ghost"), 10000);
        f.scriptError("models.download", 5, "The reply's words.");
        f.control("test.release", {{"method", "models.download"}});
        QTRY_COMPARE_WITH_TIMEOUT(StateFixture::errorLines(f.model->sessionPart().log()),
                                  QStringList{"The reply's words."}, 10000);
        QCOMPARE(f.model->modelsPart().modelNotices().value("ghost"),
                 (SpeechModels::ModelNotice{"The engine's own words.", true}));
    }

    // Downloads the engine took with it when it stopped end there: failed with the stop's text, or
    // cancelled when the user had asked, and each row can download again.
    void downloadsEndWithTheEngine_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("crash, restarted") << 1 << EngineLaunchError::stopped().text();
        QTest::newRow("support folder busy") << 2 << EngineLaunchError::supportBusy().text();
    }
    void downloadsEndWithTheEngine() {
        QFETCH(int, status);
        QFETCH(QString, text);
        StateFixture f;
        f.boot();
        // Started, but no event will ever come for them: the engine is about to go.
        f.script("models.download", {{"result", QJsonObject{{"started", true}, {"installed", false}}}}, 2);
        f.script("models.cancel", {{"result", QJsonObject{{"cancelled", true}}}});
        f.model->modelsPart().downloadModel("kept");
        f.model->modelsPart().downloadModel("dropped");
        QVERIFY(f.waitForRequests("models.download", 2));
        QVERIFY(f.waitForRequests("models.list", 3));
        f.model->modelsPart().cancelModelDownload("dropped");
        QVERIFY(f.waitForRequests("models.cancel", 1));
        QCOMPARE(f.model->modelsPart().modelDownloads().keys(), (QStringList{"dropped", "kept"}));

        f.control("test.exit", {{"status", status}});
        QTRY_VERIFY_WITH_TIMEOUT(f.model->modelsPart().modelDownloads().isEmpty(), 10000);
        QCOMPARE(f.model->modelsPart().modelNotices().value("kept"), (SpeechModels::ModelNotice{text, true}));
        QCOMPARE(f.model->modelsPart().modelNotices().value("dropped"),
                 (SpeechModels::ModelNotice{Strings::text("status_model_cancelled"), false}));
        if (status == 1)
            QTRY_VERIFY_WITH_TIMEOUT(f.model->sessionPart().sessionLive(), 10000);

        // Downloading again shows as started, without the old notice.
        f.model->modelsPart().downloadModel("kept");
        QCOMPARE(f.model->modelsPart().modelDownloads().value("kept", -1), 0.0);
        QVERIFY(!f.model->modelsPart().modelNotices().contains("kept"));
    }

    void cancelSendsAndChangesNothing() {
        StateFixture f;
        f.boot();
        f.model->modelsPart().downloadModel("tiny-held");
        f.scriptError("models.cancel", 5, "Nothing to cancel.");
        f.model->modelsPart().cancelModelDownload("tiny-held");
        QVERIFY(f.waitForRequests("models.cancel", 1));
        QCOMPARE(f.requestsOf("models.cancel").first().params, (QJsonObject{{"key", "tiny-held"}}));
        QCoro::waitFor(f.model->sessionPart().reloadSettings());
        const QStringList errors = StateFixture::errorLines(f.model->sessionPart().log());
        QVERIFY(!errors.contains("Nothing to cancel."));
    }

    void offerFailuresAreSilent() {
        StateFixture f;
        f.boot();
        f.scriptError("models.offer", 1001, "Stopped.");
        QVERIFY(!QCoro::waitFor(f.model->modelsPart().fetchModelOffer("base")));
        QCoro::waitFor(f.model->engine().stop());
        const int lines = f.model->sessionPart().log().size();
        QVERIFY(!QCoro::waitFor(f.model->modelsPart().fetchModelOffer("base")));
        QCOMPARE(f.model->sessionPart().log().size(), lines);
        QVERIFY(!f.model->sessionPart().lastError());
    }

    void failedListMakesTranscriptionUnavailable() {
        StateFixture f;
        f.startEngine();
        f.script("models.list", QJsonObject{{"result", infoWithDisk({})}}, 1);
        f.boot();
        QVERIFY(f.model->modelsPart().canTranscribe());
        QSignalSpy changed(&f.model->modelsPart(), &SpeechModels::modelsInfoChanged);
        f.scriptError("models.list", 5, "Catalogue broken.");
        QCoro::waitFor(f.model->modelsPart().reloadModels());
        QVERIFY(!f.model->modelsPart().modelsInfo());
        QVERIFY(!f.model->modelsPart().canTranscribe());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(StateFixture::errorLines(f.model->sessionPart().log()), QStringList{"Catalogue broken."});
    }

    void bytesOnDisk_data() {
        QTest::addColumn<bool>("withInfo");
        QTest::addColumn<QJsonObject>("diskUsage");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("no models info") << false << QJsonObject{} << qint64(1000);
        QTest::newRow("no entry") << true << QJsonObject{{"other", 5}} << qint64(1000);
        QTest::newRow("entry of 0") << true << QJsonObject{{"base", 0}} << qint64(1000);
        QTest::newRow("measured") << true << QJsonObject{{"base", 2345}} << qint64(2345);
    }
    void bytesOnDisk() {
        QFETCH(bool, withInfo);
        QFETCH(QJsonObject, diskUsage);
        QFETCH(qint64, expected);
        StateFixture f;
        WhisperModel model;
        model.key = "base";
        model.downloadBytes = 1000;
        if (withInfo) {
            f.startEngine();
            f.script("models.list", QJsonObject{{"result", infoWithDisk(diskUsage)}}, 0);
            f.boot();
            QVERIFY(f.model->modelsPart().modelsInfo());
        }
        QCOMPARE(f.model->modelsPart().modelBytesOnDisk(model), expected);
    }

    // Saving the folder or the model reloads the models, even when the save failed.
    void settingsReloadModels_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<bool>("reloads");
        QTest::newRow("outputDir") << "outputDir" << false << true;
        QTest::newRow("transcriptionModel, failed") << "transcriptionModel" << true << true;
        QTest::newRow("appearance") << "appearance" << false << false;
    }
    void settingsReloadModels() {
        QFETCH(QString, key);
        QFETCH(bool, fails);
        QFETCH(bool, reloads);
        StateFixture f;
        f.boot();
        const auto before = f.model->sessionPart().settings();
        const int lists = f.requestsOf("models.list").size();
        if (fails)
            f.scriptError("settings.set", 5, "Read-only.");
        SettingsPatch patch;
        patch.values.insert(key, SettingValue::text(key == "appearance" ? QString("dark") : f.path("x")));
        f.model->sessionPart().saveSetting(patch);
        QVERIFY(f.waitForRequests("settings.set", 1));
        if (reloads)
            QVERIFY(f.waitForRequests("models.list", lists + 1));
        QCoro::waitFor(f.model->modelsPart().reloadModels());
        QCOMPARE(f.requestsOf("models.list").size(), lists + (reloads ? 2 : 1));
        if (fails)
            QCOMPARE(f.model->sessionPart().settings(), before);
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
