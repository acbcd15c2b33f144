#pragma once

// Helpers of the transcription view tests: an engine whose models say it can (or cannot) transcribe,
// jobs made by the engine's own events, and drops as the desktop sends them.

#include "Transcriptions.h"
#include "ViewFixture.h"
#include "ViewHelpers.h"

#include "Strings.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QJsonArray>
#include <QMimeData>

namespace transcription {

inline QJsonObject modelEntry(const QString& key, bool installed) {
    return {{"key", key},
            {"filename", "ggml-" + key + ".bin"},
            {"downloadBytes", 1000},
            {"peakMemoryBytes", 0},
            {"installed", installed}};
}
inline QJsonObject modelsInfo(bool supported, const QString& defaultKey = QStringLiteral("base")) {
    return {{"models", QJsonArray{modelEntry("base", true), modelEntry("small", false)}},
            {"default", defaultKey},
            {"supported", supported},
            {"helperAvailable", supported},
            {"appleSilicon", false},
            {"gpu", false},
            {"speedFactor", 1.0},
            {"diskUsage", QJsonObject{}}};
}

// Starts the engine with the model list `models` (unless null) and "transcribe.start" held, so jobs
// stay queued until the engine's events say otherwise; `settings` changes what "settings.get" answers.
inline void bootWith(ViewFixture& f, const QJsonObject& models, const QJsonObject& settings = {},
                     bool holdStarts = true) {
    f.startEngine();
    if (!models.isEmpty())
        f.script("models.list", {{"result", models}}, 0);
    if (!settings.isEmpty())
        f.scriptSettings(settings);
    if (holdStarts)
        f.control("test.hold", {{"method", "transcribe.start"}});
    f.boot();
}

inline QJsonObject stateEvent(const QString& id, const QString& state, const QJsonObject& extra = {}) {
    QJsonObject params = extra;
    params.insert("jobId", id);
    params.insert("state", state);
    return params;
}

// Waits for a job the engine announced, which proves every event written before it was applied.
inline std::shared_ptr<TranscriptionJob> awaitJob(ViewFixture& f, const QString& id, int timeoutMs = 10000) {
    (void)QTest::qWaitFor([&] { return f.model->transcriptionsPart().jobs().count(id) > 0; }, timeoutMs);
    const auto it = f.model->transcriptionsPart().jobs().find(id);
    return it == f.model->transcriptionsPart().jobs().end() ? nullptr : it->second;
}

// The refusal of a file that is not media, in the installed table's language.
inline QString refusalOf(const QString& name) {
    return Strings::text(QStringLiteral("transcribe_not_media"), {{QStringLiteral("name"), name}});
}

// A drag that enters `target`, then drops there. Returns whether the enter was accepted.
inline bool dragAndDrop(QWidget* target, QMimeData* data) {
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    const bool accepted = enter.isAccepted();
    QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return accepted;
}

} // namespace transcription
