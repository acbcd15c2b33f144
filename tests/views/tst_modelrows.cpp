// The transcription settings: the unsupported notice, the subtitles switch, one row per model with its
// size and notice, the row's actions in each state (downloading, not installed, installed and chosen,
// installed and not chosen), the delete confirmation, and the slow-machine note.
#include "SettingsHelpers.h"
#include "SpeechModels.h"

#include "kit/Switch.h"
#include "settings/ModelRow.h"
#include "settings/SlowNotice.h"
#include "settings/TranscriptionForm.h"

#include "Job.h"
#include "Prompts.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

namespace {

constexpr qint64 tinyBytes = 77'000'000;
constexpr qint64 baseBytes = 148'000'000;
constexpr qint64 baseOnDisk = 160'000'000;
constexpr qint64 smallBytes = 488'000'000;

// tiny: not installed; base: installed, chosen, its size on disk known; small: installed, no size on disk.
QJsonObject threeModels(bool supported = true, bool gpu = false, double speed = 0.5) {
    return modelsAnswer({{QStringLiteral("tiny"), tinyBytes, false},
                         {QStringLiteral("base"), baseBytes, true},
                         {QStringLiteral("small"), smallBytes, true}},
                        supported, gpu, speed,
                        QJsonObject{{QStringLiteral("base"), baseOnDisk}, {QStringLiteral("small"), 0}});
}

struct Form {
    ViewFixture f;
    std::unique_ptr<TranscriptionForm> form;

    // Boots with the three models and "base" chosen (unless `settings` is false: no settings record).
    explicit Form(bool settings = true, QJsonObject models = threeModels()) {
        f.startEngine();
        f.script(QStringLiteral("models.list"), QJsonObject{{QStringLiteral("result"), models}}, 0);
        if (settings) {
            f.scriptSettings({{QStringLiteral("transcriptionModel"), QStringLiteral("base")}});
            f.boot();
        } else {
            QCoro::waitFor(f.model->modelsPart().reloadModels());
        }
        form = std::make_unique<TranscriptionForm>(*f.model);
        showAt(form.get(), QSize(900, 620));
    }
    ModelRow* row(const QString& key) const {
        return form->findChild<ModelRow*>(QStringLiteral("modelRow_") + key);
    }
};

template <class T> T* in(QWidget* row, const char* name) {
    return row->findChild<T*>(QString::fromLatin1(name));
}

// Which of a row's controls can be seen, by name.
QStringList visibleActions(ModelRow* row) {
    QStringList out;
    for (const char* name : {"modelProgress", "button_cancel", "button_download_model", "status_model_ready",
                             "button_done", "button_delete_model"}) {
        QWidget* w = in<QWidget>(row, name);
        if (w && w->isVisibleTo(row))
            out << QString::fromLatin1(name);
    }
    return out;
}

} // namespace

class TestModelRows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { Strings::reset(); }

    void rowsFollowTheEngineList();
    void actionsByState_data();
    void actionsByState();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void noticeStaysUnderTheSizeInEveryState();
    void machineNotices_data();
    void machineNotices();
    void whatCannotRunHereIsNotOffered();
};

void TestModelRows::rowsFollowTheEngineList() {
    Form t;
    const QList<ModelRow*> rows = t.form->rows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0]->whisper().key, QStringLiteral("tiny"));
    QCOMPARE(rows[1]->whisper().key, QStringLiteral("base"));
    QCOMPARE(rows[2]->whisper().key, QStringLiteral("small"));
    QCOMPARE(in<QLabel>(rows[0], "modelName")->text(), Strings::text("transcription_model_tiny"));
    // Not installed: the download's size; installed: on disk, or the download's when that is unknown.
    QCOMPARE(in<QLabel>(rows[0], "modelSize")->text(), Job::byteCount(tinyBytes));
    QCOMPARE(in<QLabel>(rows[1], "modelSize")->text(), Job::byteCount(baseOnDisk));
    QCOMPARE(in<QLabel>(rows[2], "modelSize")->text(), Job::byteCount(smallBytes));
    QCOMPARE(ModelRow::nameKey(QStringLiteral("large-v3-turbo")),
             QStringLiteral("transcription_model_large_v3_turbo"));
    QCOMPARE(ModelRow::nameKey(QStringLiteral("base")), QStringLiteral("transcription_model_base"));

    // A new list: rows follow its order, a gone model's row goes, a new one comes.
    t.f.control(QStringLiteral("test.clear"));
    t.f.script(QStringLiteral("models.list"),
               QJsonObject{{QStringLiteral("result"),
                            modelsAnswer({{QStringLiteral("large-v3"), 3'000'000'000, false},
                                          {QStringLiteral("base"), baseBytes, false}})}},
               0);
    ModelRow* base = t.row(QStringLiteral("base"));
    QCoro::waitFor(t.f.model->modelsPart().reloadModels());
    const QList<ModelRow*> after = t.form->rows();
    QCOMPARE(after.size(), 2);
    QCOMPARE(after[0]->whisper().key, QStringLiteral("large-v3"));
    QCOMPARE(after[1], base); // the same row, now not installed
    QCOMPARE(visibleActions(base), QStringList{"button_download_model"});
    QCOMPARE(in<QLabel>(after[0], "modelName")->text(), Strings::text("transcription_model_large_v3"));
}

void TestModelRows::actionsByState_data() {
    QTest::addColumn<bool>("settings");
    QTest::addColumn<QString>("key");
    QTest::addColumn<double>("progress"); // < 0: not downloading
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QString>("effect"); // a request "method:key" or "optIn"
    QTest::newRow("downloading") << true << "tiny" << 0.4 << QStringList{"modelProgress", "button_cancel"}
                                 << "button_cancel"
                                 << "models.cancel";
    QTest::newRow("downloading, also installed")
        << true << "small" << 0.25 << QStringList{"modelProgress", "button_cancel"} << "button_cancel"
        << "models.cancel";
    QTest::newRow("not installed") << true << "tiny" << -1.0 << QStringList{"button_download_model"}
                                   << "button_download_model"
                                   << "optIn";
    QTest::newRow("installed and chosen")
        << true << "base" << -1.0 << QStringList{"status_model_ready", "button_delete_model"} << ""
        << "";
    QTest::newRow("installed, not chosen")
        << true << "small" << -1.0 << QStringList{"button_done", "button_delete_model"} << "button_done"
        << "settings.set";
    QTest::newRow("installed, no settings")
        << false << "base" << -1.0 << QStringList{"button_done", "button_delete_model"} << "button_done"
        << "settings.set";
}

void TestModelRows::actionsByState() {
    QFETCH(bool, settings);
    QFETCH(QString, key);
    QFETCH(double, progress);
    QFETCH(QStringList, visible);
    QFETCH(QString, click);
    QFETCH(QString, effect);
    Form t(settings);
    QCOMPARE(t.f.model->sessionPart().settings().has_value(), settings);
    ModelRow* row = t.row(key);
    QVERIFY(row);
    if (progress >= 0) {
        t.f.emitEvent(QStringLiteral("model.progress"), QJsonObject{{QStringLiteral("key"), key},
                                                                    {QStringLiteral("downloaded"), 4},
                                                                    {QStringLiteral("total"), 10},
                                                                    {QStringLiteral("fraction"), progress}});
        QTRY_COMPARE(row->actions(), ModelRow::Actions::Downloading);
        QCOMPARE(in<QProgressBar>(row, "modelProgress")->value(), qRound(progress * 1000));
    }
    QCOMPARE(visibleActions(row), visible);
    // Every other row is in its own state, untouched by this one's.
    for (ModelRow* other : t.form->rows()) {
        if (other != row)
            QVERIFY(!visibleActions(other).contains("modelProgress"));
    }
    if (click.isEmpty())
        return;
    auto* button = in<QAbstractButton>(row, click.toLatin1().constData());
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    if (effect == QLatin1String("optIn")) {
        QVERIFY(t.f.model->promptsPart().modelOptIn());
        QCOMPARE(t.f.model->promptsPart().modelOptIn()->key, key);
    } else {
        QVERIFY(t.f.waitForRequests(effect, 1));
        const QJsonObject sent = paramsOf(t.f, effect).first();
        if (effect == QLatin1String("settings.set"))
            QCOMPARE(sent, (QJsonObject{{"values", QJsonObject{{"transcriptionModel", key}}}}));
        else
            QCOMPARE(sent, (QJsonObject{{"key", key}}));
    }
    if (effect == QLatin1String("settings.set")) {
        // The engine's answer moves the ready mark to this row.
        QTRY_COMPARE(visibleActions(row), (QStringList{"status_model_ready", "button_delete_model"}));
        QCOMPARE(visibleActions(t.row(QStringLiteral("base")) == row ? t.row(QStringLiteral("small"))
                                                                     : t.row(QStringLiteral("base"))),
                 (QStringList{"button_done", "button_delete_model"}));
    }
    // No row starts a download by itself.
    QCoro::waitFor(t.f.model->modelsPart().reloadModels());
    QCOMPARE(t.f.requestsOf(QStringLiteral("models.download")).size(), 0);
}

void TestModelRows::deleteAsksFirst_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("answer");
    QTest::newRow("size on disk, confirmed") << "base" << baseOnDisk << "button_delete_model";
    QTest::newRow("no size on disk, confirmed") << "small" << smallBytes << "button_delete_model";
    QTest::newRow("cancelled") << "base" << baseOnDisk << "button_cancel";
}

void TestModelRows::deleteAsksFirst() {
    QFETCH(QString, key);
    QFETCH(qint64, bytes);
    QFETCH(QString, answer);
    Form t;
    ModelRow* row = t.row(key);
    const int lists = t.f.requestsOf(QStringLiteral("models.list")).size();
    in<QPushButton>(row, "button_delete_model")->click();
    QMessageBox* box = row->deleteConfirmation();
    QVERIFY(box);
    QTRY_VERIFY(box->isVisible());
    QCOMPARE(box->objectName(), QStringLiteral("title_delete_model"));
    QCOMPARE(box->text(), Strings::text("title_delete_model"));
    QCOMPARE(box->informativeText(),
             Strings::text("msg_delete_model", {{QStringLiteral("size"), Job::byteCount(bytes)}}));
    QVERIFY(box->informativeText().contains(Job::byteCount(bytes)));
    // Asking deletes nothing.
    QCoro::waitFor(t.f.model->modelsPart().reloadModels());
    QCOMPARE(t.f.requestsOf(QStringLiteral("models.delete")).size(), 0);
    box->findChild<QPushButton*>(answer)->click();
    QTRY_VERIFY(!row->deleteConfirmation());
    if (answer == QLatin1String("button_delete_model")) {
        QVERIFY(t.f.waitForRequests(QStringLiteral("models.delete"), 1));
        QCOMPARE(paramsOf(t.f, QStringLiteral("models.delete")).first(), (QJsonObject{{"key", key}}));
        // The list is read again after the delete (the reload above was one).
        QVERIFY(t.f.waitForRequests(QStringLiteral("models.list"), lists + 2));
    } else {
        QCoro::waitFor(t.f.model->modelsPart().reloadModels());
        QCOMPARE(t.f.requestsOf(QStringLiteral("models.delete")).size(), 0);
    }
}

void TestModelRows::noticeStaysUnderTheSizeInEveryState() {
    Form t;
    struct Case {
        QString key;
        QJsonObject event;
        QString text;
        bool failure;
    };
    const QList<Case> cases{
        {"tiny",
         {{"key", "tiny"}, {"state", "failed"}, {"message", "The server went away."}},
         "The server went away.",
         true},
        {"small", {{"key", "small"}, {"state", "cancelled"}}, Strings::text("status_model_cancelled"), false},
        {"base", {{"key", "base"}, {"state", "deleted"}}, Strings::text("status_model_deleted"), false}};
    for (const Case& c : cases) {
        t.f.emitEvent(QStringLiteral("model.state"), c.event);
        QLabel* notice = in<QLabel>(t.row(c.key), "modelNotice");
        QTRY_VERIFY(notice->isVisibleTo(t.row(c.key)));
        QCOMPARE(notice->text(), c.text);
        const QColor ink = notice->palette().color(QPalette::WindowText);
        QCOMPARE(ink, Theme::ink(c.failure ? Theme::Ink::Warning : Theme::Ink::Secondary));
    }
    // While downloading the notice stays.
    t.f.emitEvent(QStringLiteral("model.progress"),
                  QJsonObject{{"key", "small"}, {"downloaded", 1}, {"total", 2}, {"fraction", 0.5}});
    QTRY_COMPARE(t.row("small")->actions(), ModelRow::Actions::Downloading);
    QVERIFY(in<QLabel>(t.row("small"), "modelNotice")->isVisibleTo(t.row("small")));
    QVERIFY(in<QLabel>(t.row("tiny"), "modelNotice")->isVisibleTo(t.row("tiny")));
}

void TestModelRows::machineNotices_data() {
    QTest::addColumn<int>("info"); // 0: the list fails, 1: answered
    QTest::addColumn<bool>("supported");
    QTest::addColumn<bool>("gpu");
    QTest::addColumn<double>("speed");
    QTest::addColumn<bool>("unsupportedShown");
    QTest::addColumn<bool>("slowShown");
    QTest::newRow("no models information") << 0 << true << false << 0.5 << false << false;
    QTest::newRow("unsupported, rows still listed") << 1 << false << false << 0.5 << true << true;
    QTest::newRow("slow machine") << 1 << true << false << 2.0 << false << true;
    QTest::newRow("GPU") << 1 << true << true << 0.5 << false << false;
    QTest::newRow("speed zero") << 1 << true << false << 0.0 << false << false;
    QTest::newRow("speed below zero") << 1 << true << false << -3.0 << false << false;
}

void TestModelRows::machineNotices() {
    QFETCH(int, info);
    QFETCH(bool, supported);
    QFETCH(bool, gpu);
    QFETCH(double, speed);
    QFETCH(bool, unsupportedShown);
    QFETCH(bool, slowShown);
    ViewFixture f;
    f.startEngine();
    if (info == 0)
        f.script(QStringLiteral("models.list"),
                 QJsonObject{{QStringLiteral("error"), QJsonObject{{"code", 3}, {"message", "no list"}}}}, 0);
    else
        f.script(QStringLiteral("models.list"),
                 QJsonObject{{QStringLiteral("result"), threeModels(supported, gpu, speed)}}, 0);
    f.boot();
    TranscriptionForm form(*f.model);
    QVERIFY(showAt(&form, QSize(900, 620)));
    QWidget* unsupported = form.findChild<QWidget*>(QStringLiteral("transcribe_intel_pending"));
    QWidget* slow = form.findChild<QWidget*>(QStringLiteral("slowNotice"));
    QCOMPARE(unsupported->isVisible(), unsupportedShown);
    QCOMPARE(slow->isVisible(), slowShown);
    QCOMPARE(form.rows().size(), info == 0 ? 0 : 3);
    QCOMPARE(form.findChild<Switch*>(QStringLiteral("transcribe_over_subtitles"))->isEnabled(),
             f.model->modelsPart().canTranscribe());
    QCOMPARE(f.model->modelsPart().canTranscribe(), info == 1 && supported);
    if (slowShown) {
        const QList<QLabel*> labels = slow->findChildren<QLabel*>();
        bool found = false;
        for (QLabel* label : labels)
            found = found || label->text() == SlowNotice::message(speed);
        QVERIFY(found);
    }
}

// The engine's own list on a machine without whisper-cli: every Whisper row says what is missing and offers
// neither download nor choose; the built-in English model can be chosen but not deleted.
void TestModelRows::whatCannotRunHereIsNotOffered() {
    ViewFixture f;
    f.boot();
    QVERIFY(f.model->modelsPart().modelsInfo());
    TranscriptionForm form(*f.model);
    showAt(&form, QSize(900, 620));
    int whisperRows = 0;
    for (const WhisperModel& whisper : f.model->modelsPart().modelsInfo()->models) {
        ModelRow* row = form.findChild<ModelRow*>(QStringLiteral("modelRow_") + whisper.key);
        QVERIFY(row);
        auto* missing = in<QLabel>(row, "modelUnavailable");
        if (whisper.builtIn) {
            QVERIFY(whisper.runnable);
            QVERIFY(!missing->isVisibleTo(row));
            QVERIFY(!visibleActions(row).contains("button_delete_model"));
            QVERIFY(visibleActions(row).contains("button_done") ||
                    visibleActions(row).contains("status_model_ready"));
            continue;
        }
        ++whisperRows;
        QVERIFY(!whisper.runnable);
        QCOMPARE(visibleActions(row), QStringList());
        QVERIFY(missing->isVisibleTo(row));
        QVERIFY2(missing->text().contains(QStringLiteral("whisper-cli")), qPrintable(missing->text()));
    }
    QVERIFY(whisperRows > 0);
}

QTEST_MAIN(TestModelRows)
#include "Session.h"
#include "tst_modelrows.moc"
