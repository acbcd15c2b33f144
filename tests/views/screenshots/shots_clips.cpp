// The transcript player sheet on a generated film: at a passage, a file it cannot play, and its clip
// panel idle, cutting at 37 %, done and failed (the buttons for the next clip still there), and the
// timeline with its handles at both ends of the film.
#include "Clips.h"
#include "Shots.h"

#include "MediaFiles.h"
#include "clips/MediaPort.h"
#include "clips/PlayerSession.h"
#include "clips/TranscriptPlayer.h"
#include "clips/TrimTimeline.h"

#include <QTemporaryDir>

namespace {

const QSize sheetSize{680, 800};

QTemporaryDir& folder() {
    static QTemporaryDir dir;
    return dir;
}

QString film() {
    static const QString path =
        MediaFiles::video(QDir(folder().path()), QStringLiteral("A talk about testing.mp4"), 12);
    return path;
}

QString notAFilm() {
    const QString path = folder().filePath(QStringLiteral("notes.mp4"));
    QFile file(path);
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.write(QByteArray("these are notes, not a film\n").repeated(40));
    return path;
}

// The sheet, opened and paused where it began, its strip filled.
TranscriptPlayer* sheet(ShotContext& c, const PlayerTarget& target) {
    auto* player = new TranscriptPlayer(&c.model(), target);
    player->resize(sheetSize);
    player->show();
    PlayerSession* session = player->session();
    c.waitFor([&] { return !session->isOpening() && session->stage() != PlayerSession::Stage::Opening; },
              15000);
    // Playback starts a moment after the opening; stopped at once, the picture stays at the passage.
    if (session->hasPlayer()) {
        c.waitFor([&] { return session->port()->isPlaying(); });
        session->port()->pause();
        c.waitFor([&] { return !session->port()->isPlaying(); });
    }
    c.waitFor([&] { return session->suggestion().has_value(); });
    if (TrimTimeline* timeline = player->findChild<TrimTimeline*>(); timeline && session->hasPlayer())
        c.waitFor([&] { return timeline->frames().size() == timeline->geometryNow().frameCount(); }, 30000);
    return player;
}

PlayerTarget passage() {
    return {film(), QStringLiteral("A talk about testing: how small fixtures catch real faults"), 4'000,
            7'000, QStringLiteral("so the ‹small fixture› shows the fault before any user does")};
}

// An extraction the engine holds open, so the panel shows whatever the events say.
std::shared_ptr<ClipJob> heldExtraction(ShotContext& c, TranscriptPlayer* player) {
    c.fixture.control(QStringLiteral("test.hold"),
                      QJsonObject{{QStringLiteral("method"), QStringLiteral("clip.extract")}});
    player->session()->extract();
    return c.model().clipsPart().clipJob();
}

void emitState(ShotContext& c, const std::shared_ptr<ClipJob>& job, QJsonObject state) {
    state.insert(QStringLiteral("jobId"), job->id());
    c.fixture.emitEvent(QStringLiteral("clip.state"), state);
}

const ShotRegistration player("clips-player", [](ShotContext& c) -> QWidget* { return sheet(c, passage()); },
                              {.size = sheetSize});

const ShotRegistration
    unplayable("clips-player-unplayable",
               [](ShotContext& c) -> QWidget* {
                   return sheet(c, {notAFilm(), QStringLiteral("Notes"), 0, 0, std::nullopt});
               },
               {.size = sheetSize});

const ShotRegistration running("clips-running",
                               [](ShotContext& c) -> QWidget* {
                                   TranscriptPlayer* player = sheet(c, passage());
                                   auto job = heldExtraction(c, player);
                                   c.fixture.emitEvent(QStringLiteral("clip.progress"),
                                                       QJsonObject{{QStringLiteral("jobId"), job->id()},
                                                                   {QStringLiteral("fraction"), 0.378}});
                                   c.waitFor([&] { return job->fraction() > 0.3; });
                                   return player;
                               },
                               {.size = sheetSize});

const ShotRegistration done("clips-done",
                            [](ShotContext& c) -> QWidget* {
                                TranscriptPlayer* player = sheet(c, passage());
                                auto job = heldExtraction(c, player);
                                emitState(c, job,
                                          {{QStringLiteral("state"), QStringLiteral("done")},
                                           {QStringLiteral("destination"),
                                            folder().filePath(QStringLiteral(
                                                "A talk about testing (clip 00m03s-00m08s).mp4"))}});
                                c.waitFor([&] { return job->state() == ClipJob::State::Done; });
                                return player;
                            },
                            {.size = sheetSize});

const ShotRegistration failed("clips-failed",
                              [](ShotContext& c) -> QWidget* {
                                  TranscriptPlayer* player = sheet(c, passage());
                                  auto job = heldExtraction(c, player);
                                  emitState(
                                      c, job,
                                      {{QStringLiteral("state"), QStringLiteral("failed")},
                                       {QStringLiteral("message"),
                                        QStringLiteral("ffmpeg could not cut the clip: the disk is full.")}});
                                  c.waitFor([&] { return job->state() == ClipJob::State::Failed; });
                                  return player;
                              },
                              {.size = sheetSize});

// A library item in a short film: the window is the whole film, so the handles sit at both ends.
const ShotRegistration
    wholeFilm("clips-timeline-ends",
              [](ShotContext& c) -> QWidget* {
                  return sheet(c, {film(), QStringLiteral("A talk about testing"), 0, 0, std::nullopt});
              },
              {.size = sheetSize});

} // namespace
