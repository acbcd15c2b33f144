// The settings tab on each of its three forms (in the window, and at its minimum size), the
// transcription form with models in every state and on an unsupported machine, and the delete
// confirmation.
#include "Shots.h"
#include "SpeechModels.h"

#include "Prompts.h"
#include "Strings.h"
#include "settings/ModelRow.h"
#include "shell/RootView.h"

#include <QDir>
#include <QJsonArray>
#include <QMessageBox>
#include <QPushButton>

namespace {

QJsonObject models(bool supported) {
    QJsonArray list;
    const struct {
        const char* key;
        qint64 bytes;
        bool installed;
    } entries[] = {{"tiny", 77'691'713, false},
                   {"base", 147'951'465, true},
                   {"small", 487'601'967, true},
                   {"medium", 1'533'763'059, false},
                   {"large-v3", 3'095'033'483, false}};
    for (const auto& e : entries)
        list.append(QJsonObject{{"key", e.key},
                                {"filename", QStringLiteral("ggml-%1.bin").arg(QLatin1String(e.key))},
                                {"downloadBytes", e.bytes},
                                {"peakMemoryBytes", 0},
                                {"installed", e.installed}});
    return QJsonObject{{"models", list},         {"default", "base"},
                       {"supported", supported}, {"helperAvailable", true},
                       {"appleSilicon", false},  {"gpu", false},
                       {"speedFactor", 0.35},    {"diskUsage", QJsonObject{{"base", 147'964'211}}}};
}

// As the engine lists them where no whisper-cli is installed: the built-in English model runs; the Whisper
// models say what is missing (one of them downloaded before).
QJsonObject modelsWithoutWhisper() {
    QJsonArray list{QJsonObject{{"key", "sphinx-en"},
                                {"filename", "en-us"},
                                {"downloadBytes", 40'000'000},
                                {"peakMemoryBytes", 110'000'000},
                                {"installed", true},
                                {"runnable", true},
                                {"builtIn", true}}};
    const struct {
        const char* key;
        qint64 bytes;
        bool installed;
    } entries[] = {
        {"tiny", 77'691'713, false}, {"base", 147'951'465, true}, {"large-v3", 3'095'033'483, false}};
    for (const auto& e : entries)
        list.append(
            QJsonObject{{"key", e.key},
                        {"filename", QStringLiteral("ggml-%1.bin").arg(QLatin1String(e.key))},
                        {"downloadBytes", e.bytes},
                        {"peakMemoryBytes", 0},
                        {"installed", e.installed},
                        {"runnable", false},
                        {"unavailableReason", Strings::text(QStringLiteral("model_missing_whisper_cli"))}});
    return QJsonObject{{"models", list},        {"default", "sphinx-en"},
                       {"supported", true},     {"helperAvailable", true},
                       {"appleSilicon", false}, {"gpu", false},
                       {"speedFactor", 0},      {"diskUsage", QJsonObject{{"sphinx-en", 40'000'000}}}};
}

// A settings record with a long folder path and a few choices made.
void settings(ShotContext& c) {
    static QTemporaryDir dir;
    const QString folder =
        dir.filePath(QStringLiteral("Videos/Conference recordings from the spring season"));
    QDir().mkpath(folder);
    c.fixture.control(QStringLiteral("test.clear"));
    c.fixture.scriptSettings({{"outputDir", folder},
                              {"searchEngine", "Qwant"},
                              {"saveThumbnail", true},
                              {"language", c.language},
                              {"transcriptionModel", "base"},
                              {"cookieSource", "Built-in Browser"}});
    QCoro::waitFor(c.model().sessionPart().reloadSettings());
}

QWidget* pane(ShotContext& c, AppModel::SettingsSection section, bool supported = true) {
    settings(c);
    c.fixture.script(QStringLiteral("models.list"), QJsonObject{{"result", models(supported)}}, 0);
    QCoro::waitFor(c.model().modelsPart().reloadModels());
    c.model().showSettings(section);
    return new RootView(c.model(), ViewFactories::standard());
}

void downloading(ShotContext& c) {
    c.fixture.emitEvent(QStringLiteral("model.state"),
                        {{"key", "medium"},
                         {"state", "failed"},
                         {"message", "The download stopped: the server closed the connection."}});
    c.fixture.emitEvent(QStringLiteral("model.progress"), {{"key", "large-v3"},
                                                           {"downloaded", qint64(1200000000)},
                                                           {"total", qint64(3095033483)},
                                                           {"fraction", 0.39}});
    c.waitFor([&] {
        return c.model().modelsPart().modelDownloads().contains("large-v3") &&
               c.model().modelsPart().modelNotices().contains("medium");
    });
}

const ShotRegistration general("settings-general",
                               [](ShotContext& c) { return pane(c, AppModel::SettingsSection::General); });
const ShotRegistration generalMinimum("settings-general-minimum",
                                      [](ShotContext& c) {
                                          return pane(c, AppModel::SettingsSection::General);
                                      },
                                      {.size = {900, 620}});
const ShotRegistration downloads("settings-downloads", [](ShotContext& c) {
    return pane(c, AppModel::SettingsSection::Downloads);
});
const ShotRegistration transcription("settings-transcription", [](ShotContext& c) {
    QWidget* root = pane(c, AppModel::SettingsSection::Transcription);
    downloading(c);
    return root;
});
const ShotRegistration transcriptionMinimum("settings-transcription-minimum",
                                            [](ShotContext& c) {
                                                QWidget* root =
                                                    pane(c, AppModel::SettingsSection::Transcription);
                                                downloading(c);
                                                return root;
                                            },
                                            {.size = {900, 620}});
const ShotRegistration unsupported("settings-transcription-unsupported", [](ShotContext& c) {
    return pane(c, AppModel::SettingsSection::Transcription, false);
});
const ShotRegistration withoutWhisper("settings-transcription-without-whisper", [](ShotContext& c) {
    settings(c);
    c.fixture.scriptSettings({{"language", c.language}, {"transcriptionModel", "sphinx-en"}});
    QCoro::waitFor(c.model().sessionPart().reloadSettings());
    c.fixture.script(QStringLiteral("models.list"), QJsonObject{{"result", modelsWithoutWhisper()}}, 0);
    QCoro::waitFor(c.model().modelsPart().reloadModels());
    c.model().showSettings(AppModel::SettingsSection::Transcription);
    return new RootView(c.model(), ViewFactories::standard());
});
const ShotRegistration confirmDelete("settings-delete-model", [](ShotContext& c) {
    QWidget* root = pane(c, AppModel::SettingsSection::Transcription);
    root->resize(1020, 700);
    root->show();
    c.waitFor([&] { return root->findChild<ModelRow*>(QStringLiteral("modelRow_small")) != nullptr; });
    if (auto* row = root->findChild<ModelRow*>(QStringLiteral("modelRow_small")))
        row->findChild<QPushButton*>(QStringLiteral("button_delete_model"))->click();
    return root;
});

} // namespace

// ---- the log, problem-report and model opt-in sheets, each over the window ----

#include "Session.h"
#include "sheets/ModelOptInSheet.h"
#include "sheets/ReportSheet.h"

#include <QPlainTextEdit>

namespace {

void someLog(ShotContext& c) {
    c.model().sessionPart().note(QStringLiteral("Engine started (stand-in engine 1.0)."));
    for (int i = 1; i <= 30; ++i)
        c.model().sessionPart().note(
            QStringLiteral("Downloaded part %1 of https://media.example.org/watch/a-talk-about-testing")
                .arg(i));
    c.model().sessionPart().report(
        QStringLiteral("The download failed: the server answered 403 Forbidden for "
                       "https://media.example.org/watch/a-talk-about-testing."),
        QStringLiteral("HTTP Error 403: Forbidden\nat fetch (downloader.py:212)"));
}

QWidget* rootWith(ShotContext& c, const std::function<void()>& ask) {
    ask();
    return new RootView(c.model(), ViewFactories::standard());
}

template <class Sheet> Sheet* sheetOf(QWidget* root) {
    return root->findChild<Sheet*>();
}

const ShotRegistration logEmpty("sheet-log-empty", [](ShotContext& c) {
    c.model().sessionPart().clearLog();
    return rootWith(c, [&] { c.model().promptsPart().setShowLogSheet(true); });
});
const ShotRegistration logFull("sheet-log-error", [](ShotContext& c) {
    someLog(c);
    return rootWith(c, [&] { c.model().promptsPart().setShowLogSheet(true); });
});
const ShotRegistration reportEmpty("sheet-report", [](ShotContext& c) {
    someLog(c);
    return rootWith(c, [&] { c.model().promptsPart().setShowReportSheet(true); });
});
const ShotRegistration reportFailed("sheet-report-failed", [](ShotContext& c) {
    someLog(c);
    QWidget* root = rootWith(c, [&] { c.model().promptsPart().setShowReportSheet(true); });
    if (auto* sheet = sheetOf<ReportSheet>(root)) {
        sheet->findChild<QPlainTextEdit*>(QStringLiteral("description"))
            ->setPlainText(QStringLiteral("The download stops at 40 % every time, with the message above."));
        sheet->findChild<QPushButton*>(QStringLiteral("button_send"))->click();
        c.waitFor([sheet] { return sheet->outcome().has_value(); });
    }
    return root;
});

void optInModels(ShotContext& c, bool installed) {
    c.fixture.script(QStringLiteral("models.list"), QJsonObject{{"result", models(true)}}, 0);
    c.fixture.script(QStringLiteral("models.offer"),
                     QJsonObject{{"result", QJsonObject{{"key", "medium"},
                                                        {"installed", installed},
                                                        {"host", "models.example.org"},
                                                        {"downloadBytes", 1'533'763'059},
                                                        {"diskBytes", 1'533'763'059}}}},
                     0);
    QCoro::waitFor(c.model().modelsPart().reloadModels());
}

QWidget* optIn(ShotContext& c) {
    QWidget* root = rootWith(c, [&] {
        c.model().promptsPart().setModelOptIn(Prompts::ModelOptInRequest{QStringLiteral("medium")});
    });
    if (auto* sheet = sheetOf<ModelOptInSheet>(root))
        c.waitFor([sheet] { return sheet->offer().has_value(); });
    return root;
}

const ShotRegistration optInWithoutWhisper("sheet-optin-without-whisper", [](ShotContext& c) {
    c.fixture.script(QStringLiteral("models.list"), QJsonObject{{"result", modelsWithoutWhisper()}}, 0);
    c.fixture.script(QStringLiteral("models.offer"),
                     QJsonObject{{"result", QJsonObject{{"key", "large-v3"},
                                                        {"installed", false},
                                                        {"host", "models.example.org"},
                                                        {"downloadBytes", qint64(3'095'033'483)},
                                                        {"diskBytes", qint64(3'095'033'483)}}}},
                     0);
    QCoro::waitFor(c.model().modelsPart().reloadModels());
    QWidget* root = rootWith(c, [&] {
        c.model().promptsPart().setModelOptIn(Prompts::ModelOptInRequest{QStringLiteral("large-v3")});
    });
    if (auto* sheet = sheetOf<ModelOptInSheet>(root))
        c.waitFor([sheet] { return sheet->offer().has_value(); });
    return root;
});
const ShotRegistration optInOffer("sheet-optin-offer", [](ShotContext& c) {
    optInModels(c, false);
    return optIn(c);
});
const ShotRegistration optInDownloading("sheet-optin-downloading", [](ShotContext& c) {
    optInModels(c, false);
    c.fixture.emitEvent(QStringLiteral("model.progress"), {{"key", "medium"},
                                                           {"downloaded", qint64(600'000'000)},
                                                           {"total", qint64(1'533'763'059)},
                                                           {"fraction", 0.39}});
    c.waitFor([&] { return c.model().modelsPart().modelDownloads().contains("medium"); });
    return optIn(c);
});
const ShotRegistration optInFailed("sheet-optin-failed", [](ShotContext& c) {
    optInModels(c, false);
    c.fixture.emitEvent(QStringLiteral("model.state"),
                        {{"key", "medium"},
                         {"state", "failed"},
                         {"message", "The download stopped: the server closed the connection."}});
    c.waitFor([&] { return c.model().modelsPart().modelNotices().contains("medium"); });
    return optIn(c);
});
const ShotRegistration optInInstalled("sheet-optin-installed", [](ShotContext& c) {
    optInModels(c, true);
    return optIn(c);
});
// The question its delete asks first.
const ShotRegistration optInDelete("sheet-optin-delete", [](ShotContext& c) {
    optInModels(c, true);
    QWidget* root = optIn(c);
    if (auto* sheet = sheetOf<ModelOptInSheet>(root)) {
        sheet->findChild<QPushButton*>(QStringLiteral("button_delete_model"))->click();
        c.waitFor(
            [sheet] { return sheet->deleteConfirmation() && sheet->deleteConfirmation()->isVisible(); });
    }
    return root;
});

} // namespace
