// The Transcription tab: empty, a drag hovering the drop zone, a list with a queued, a running, a done and
// a failed job, a refused file, a machine that cannot transcribe, and the whole window at its minimum size.
#include "Shots.h"
#include "Transcriptions.h"

#include "kit/RowListView.h"
#include "shell/RootView.h"
#include "transcription/DropZone.h"
#include "transcription/TranscriptionPane.h"

#include <QJsonArray>
#include <QTimer>

namespace {

QJsonObject modelsInfo(bool supported) {
    const QJsonObject model{{"key", "base"},
                            {"filename", "ggml-base.bin"},
                            {"downloadBytes", 1000},
                            {"peakMemoryBytes", 0},
                            {"installed", true}};
    return {{"models", QJsonArray{model}},  {"default", "base"},         {"supported", supported},
            {"helperAvailable", supported}, {"appleSilicon", false},     {"gpu", false},
            {"speedFactor", 1.0},           {"diskUsage", QJsonObject{}}};
}

// Boots in the shot's language with the given models and settings; starts are held so jobs stay put.
void boot(ShotContext& c, bool supported = true, const QJsonObject& settings = {}) {
    c.fixture.startEngine();
    c.fixture.script("models.list", {{"result", modelsInfo(supported)}}, 0);
    if (!settings.isEmpty())
        c.fixture.scriptSettings(settings);
    c.fixture.control("test.hold", {{"method", "transcribe.start"}});
    c.fixture.bootIn(c.language);
}

void addJobs(ShotContext& c) {
    auto state = [&](const QString& id, const QString& s, QJsonObject extra) {
        extra.insert("jobId", id);
        extra.insert("state", s);
        c.fixture.emitEvent("transcribe.state", extra);
    };
    state("1-QUEUED", "queued",
          {{"title", "Interview with the harbour master"}, {"path", "/media/interview.mp4"}});
    state("2-RUNNING", "running",
          {{"title",
            "Lecture 4 — signals, noise and the long road to a clean recording of a room full of people"},
           {"path", "/media/lecture-4.mkv"},
           {"estimateSeconds", 540.0}});
    c.fixture.emitEvent("transcribe.progress", {{"jobId", "2-RUNNING"}, {"percent", 42}, {"fraction", 0.42}});
    state("3-DONE", "done",
          {{"title", "Morning podcast"},
           {"path", "/media/podcast.mp3"},
           {"srt", "/media/podcast.transcript.srt"}});
    state("4-FAILED", "failed",
          {{"title", "Broken upload"},
           {"path", "/media/broken.webm"},
           {"message", "ffmpeg could not read the audio stream of this file."}});
    state("5-MARK", "cancelled", {{"title", "Voice memo"}, {"path", "/media/memo.m4a"}});
    c.waitFor([&] { return c.model().transcriptionsPart().jobs().count("5-MARK") > 0; });
}

const ShotOptions paneSize{.size = {810, 700}, .boot = false};

} // namespace

static const ShotRegistration transcriptionEmpty(
    "transcription-empty",
    [](ShotContext& c) -> QWidget* {
        boot(c);
        return new TranscriptionPane(&c.model());
    },
    paneSize);

static const ShotRegistration transcriptionDrop(
    "transcription-drop-hover",
    [](ShotContext& c) -> QWidget* {
        boot(c);
        auto* pane = new TranscriptionPane(&c.model());
        pane->dropZone()->setTargeted(true);
        return pane;
    },
    paneSize);

static const ShotRegistration transcriptionJobs(
    "transcription-jobs",
    [](ShotContext& c) -> QWidget* {
        boot(
            c, true,
            {{"transcriptionModel", "large-v3-turbo"}, {"transcriptDir", "/home/ada/Documents/Transcripts"}});
        addJobs(c);
        return new TranscriptionPane(&c.model());
    },
    paneSize);

static const ShotRegistration transcriptionRefusal(
    "transcription-refusal",
    [](ShotContext& c) -> QWidget* {
        boot(c, true, {{"transcriptionLanguage", "fr"}});
        c.model().transcriptionsPart().transcribeFile(
            QUrl::fromLocalFile("/home/ada/Documents/meeting notes.txt"));
        return new TranscriptionPane(&c.model());
    },
    paneSize);

static const ShotRegistration transcriptionUnsupported(
    "transcription-unsupported",
    [](ShotContext& c) -> QWidget* {
        boot(c, false);
        return new TranscriptionPane(&c.model());
    },
    paneSize);

static const ShotRegistration
    transcriptionWindowMinimum("transcription-window-minimum",
                               [](ShotContext& c) -> QWidget* {
                                   boot(c, true, {{"transcriptDir", "/home/ada/Documents/Transcripts"}});
                                   addJobs(c);
                                   c.model().transcriptionsPart().transcribeFile(QUrl::fromLocalFile(
                                       "/home/ada/Documents/a rather long file name.docx"));
                                   c.model().setTab(AppModel::Tab::Transcription);
                                   ViewFactories views = ViewFactories::standard();
                                   return new RootView(c.model(), views);
                               },
                               {.size = {900, 620}, .boot = false});

static const ShotRegistration transcriptionFocus(
    "transcription-focused-row",
    [](ShotContext& c) -> QWidget* {
        boot(c);
        addJobs(c);
        auto* pane = new TranscriptionPane(&c.model());
        QTimer::singleShot(0, pane, [pane] {
            pane->activateWindow();
            pane->list()->setFocus(Qt::TabFocusReason);
            pane->list()->setCurrentRow(2);
        });
        return pane;
    },
    paneSize);
