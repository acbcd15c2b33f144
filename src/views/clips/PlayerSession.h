#pragma once

#include "EngineTypesLibrary.h"
#include "clips/ClipBounds.h"
#include "shell/PlayerTarget.h"

#include <QObject>
#include <QPointer>

#include <QCoro/QCoroTask>

#include <optional>

class AppModel;
class MediaPort;

// The state the transcript player sheet and its clip panel share, and their actions: the file's
// opening (duration, the passage's window, the first suggestion, the exact seek to the passage, playback),
// the clip's bounds with their limits, the cutting mode and the engine's suggested name. The widgets only
// show it and call these.
class PlayerSession : public QObject {
    Q_OBJECT

public:
    enum class Stage { Opening, Ready, Unplayable };
    enum class Bound { Start, End };

    // Takes the port over (as a child).
    PlayerSession(AppModel* model, PlayerTarget target, MediaPort* port, QObject* parent = nullptr);
    ~PlayerSession() override;

    AppModel* model() const { return m_model; }
    const PlayerTarget& target() const { return m_target; }
    MediaPort* port() const { return m_port; }

    Stage stage() const { return m_stage; }
    // A player stands at the passage (the timeline and play-selection are offered).
    bool hasPlayer() const { return m_stage == Stage::Ready; }
    bool hasVideo() const { return m_hasVideo; }
    bool isOpening() const { return m_opening; }
    bool isClosed() const { return m_closed; }

    qint64 durationMs() const { return m_durationMs; }
    qint64 currentMs() const { return m_currentMs; }
    bool isPlaying() const;
    // The sound level as heard, in percent, and silence.
    int volume() const;
    bool isMuted() const;
    qint64 inMs() const { return m_inMs; }
    qint64 outMs() const { return m_outMs; }
    qint64 value(Bound bound) const { return bound == Bound::Start ? m_inMs : m_outMs; }
    // Worked out afresh from the current bounds and duration.
    MsRange limit(Bound bound) const;
    ClipMode mode() const { return m_mode; }
    bool audioOnly() const { return m_audioOnly; }
    const std::optional<ClipSuggestion>& suggestion() const { return m_suggestion; }

    // Runs the opening once.
    void open();
    // The sheet goes: playback stops for good, and a player still opening never starts.
    void close();

    // Writes a bound as it is (the timeline keeps its own limits).
    void setBound(Bound bound, qint64 ms);
    // Plain playback from where the player stands, on past the clip's end; a file at its end plays
    // again from its beginning. Pauses when it plays.
    void togglePlay();
    // Moves the player to `ms` and shows it exactly; playing or paused, it stays so. Kept within the file,
    // at most at its last picture, a moment before the end (where play starts the file again).
    void seekTo(qint64 ms);
    void seekBy(qint64 deltaMs);
    void setVolume(int percent);
    void setMuted(bool muted);

    // A typed value: written, then moved().
    void commitBound(Bound bound, qint64 ms);
    // One second earlier (direction < 0) or later, in the bound's limit, then moved().
    void stepBound(Bound bound, int direction);
    // The player's position, in the bound's limit; the player stays where it is.
    void takePosition(Bound bound);
    // After a bound changed by typing or stepping: the player shows it (and plays on from there when it
    // was playing), and the suggestion follows.
    void moved(qint64 ms);
    // A drag shows a time while it runs (loose) and once at its end (exact). Playback holds while the drag
    // runs and goes on from the new place after it, when it was playing before.
    void scrub(qint64 ms, bool final);
    // The timeline ended a handle drag.
    void boundsDragged();
    void setMode(ClipMode mode);
    void setAudioOnly(bool audioOnly);
    // Plays from the start and pauses at the end (and at every later crossing of it).
    void playSelection();
    // Has the engine cut the clip (the job is the state's).
    void extract();

    // Asks the engine for the clip's name; the reply that arrives last wins.
    QCoro::Task<void> refreshSuggestion();

Q_SIGNALS:
    void stageChanged();
    void timesChanged(); // duration or current position
    void playingChanged();
    void soundChanged(); // volume or silence
    void boundsChanged();
    void modeChanged();
    void audioOnlyChanged();
    void suggestionChanged();
    // The opening ended, however: ready, unplayable, or given up because the sheet went.
    void openFinished();

private:
    QCoro::Task<void> run();
    void startRefresh();
    void setCurrent(qint64 ms);

    AppModel* m_model;
    PlayerTarget m_target;
    MediaPort* m_port;
    Stage m_stage = Stage::Opening;
    bool m_hasVideo = false;
    bool m_opening = false;
    bool m_openStarted = false;
    bool m_closed = false;
    // A drag is under way; playback goes on after it when it was playing before.
    bool m_scrubbing = false;
    bool m_resumeAfterScrub = false;
    qint64 m_durationMs = 0;
    qint64 m_currentMs = 0;
    qint64 m_inMs = 0;
    qint64 m_outMs = 0;
    ClipMode m_mode = ClipMode::precise;
    bool m_audioOnly = false;
    std::optional<ClipSuggestion> m_suggestion;
};
