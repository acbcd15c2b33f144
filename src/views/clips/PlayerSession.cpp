#include "clips/PlayerSession.h"

#include "AppModel.h"
#include "Clips.h"
#include "Spawn.h"
#include "clips/MediaPort.h"

#include <algorithm>
#include <cmath>

namespace {

// Standing closer than this to the end counts as at the end: play starts again from the beginning.
constexpr qint64 endSlackMs = 100;

} // namespace

PlayerSession::PlayerSession(AppModel* model, PlayerTarget target, MediaPort* port, QObject* parent)
    : QObject(parent), m_model(model), m_target(std::move(target)), m_port(port) {
    m_port->setParent(this);
    connect(m_port, &MediaPort::playingChanged, this, [this] {
        if (!m_closed)
            Q_EMIT playingChanged();
    });
}

PlayerSession::~PlayerSession() {
    close();
}

MsRange PlayerSession::limit(Bound bound) const {
    return bound == Bound::Start ? ClipBounds::startLimit(m_outMs)
                                 : ClipBounds::endLimit(m_inMs, m_durationMs);
}

void PlayerSession::open() {
    if (m_openStarted || m_closed)
        return;
    m_openStarted = true;
    m_opening = true;
    spawn(this, [this]() -> QCoro::Task<void> { co_await run(); });
}

QCoro::Task<void> PlayerSession::run() {
    QPointer<PlayerSession> self(this);
    auto givenUp = [&] {
        if (!self)
            return true;
        if (!m_closed)
            return false;
        m_opening = false;
        Q_EMIT openFinished();
        return true;
    };
    const MediaInfo info = co_await m_port->load(m_target.mediaPath);
    if (givenUp())
        co_return;
    m_hasVideo = info.hasVideo;
    m_durationMs = std::max<qint64>(info.durationMs, 0);
    Q_EMIT timesChanged();
    const auto [in, out] = ClipBounds::passageWindow(m_target.startMs, m_target.endMs, m_durationMs);
    m_inMs = in;
    m_outMs = out;
    Q_EMIT boundsChanged();
    co_await refreshSuggestion();
    if (givenUp())
        co_return;
    if (!info.playable) {
        m_stage = Stage::Unplayable;
        m_opening = false;
        Q_EMIT stageChanged();
        Q_EMIT openFinished();
        co_return;
    }
    // Playback starts at the passage itself, a second after the clip's start.
    co_await m_port->seekAndWait(m_target.startMs);
    if (givenUp())
        co_return;
    setCurrent(m_port->position());
    connect(m_port, &MediaPort::ticked, this, &PlayerSession::setCurrent);
    m_stage = Stage::Ready;
    m_opening = false;
    Q_EMIT stageChanged();
    m_port->play();
    Q_EMIT openFinished();
}

void PlayerSession::close() {
    if (m_closed)
        return;
    m_closed = true;
    m_port->close();
}

bool PlayerSession::isPlaying() const {
    return !m_closed && m_port->isPlaying();
}

int PlayerSession::volume() const {
    return static_cast<int>(std::lround(m_port->volume() * 100));
}

bool PlayerSession::isMuted() const {
    return m_port->isMuted();
}

void PlayerSession::togglePlay() {
    if (!hasPlayer() || m_closed)
        return;
    if (m_port->isPlaying()) {
        m_port->pause();
        return;
    }
    // The stop of "play selection" was for that one run; playing from here goes on past the clip.
    if (m_port->stop())
        m_port->setStop(std::nullopt);
    if (m_durationMs >= 1 && m_currentMs >= m_durationMs - endSlackMs) {
        m_port->seek(0, true);
        setCurrent(0);
    }
    m_port->play();
}

void PlayerSession::seekTo(qint64 ms) {
    if (!hasPlayer() || m_closed)
        return;
    // The end itself has no picture to show: the last one stands a moment before it.
    const qint64 last =
        m_durationMs >= 1 ? std::max<qint64>(m_durationMs - endSlackMs, 0) : std::max<qint64>(ms, 0);
    const qint64 to = std::clamp<qint64>(ms, 0, last);
    m_port->seek(to, true);
    setCurrent(to);
}

void PlayerSession::seekBy(qint64 deltaMs) {
    seekTo(m_currentMs + deltaMs);
}

void PlayerSession::setVolume(int percent) {
    const int now = std::clamp(percent, 0, 100);
    if (now == volume())
        return;
    m_port->setVolume(now / 100.0);
    Q_EMIT soundChanged();
}

void PlayerSession::setMuted(bool muted) {
    if (muted == m_port->isMuted())
        return;
    m_port->setMuted(muted);
    Q_EMIT soundChanged();
}

void PlayerSession::setCurrent(qint64 ms) {
    if (ms == m_currentMs)
        return;
    m_currentMs = ms;
    Q_EMIT timesChanged();
}

void PlayerSession::setBound(Bound bound, qint64 ms) {
    qint64& field = bound == Bound::Start ? m_inMs : m_outMs;
    if (field == ms)
        return;
    field = ms;
    Q_EMIT boundsChanged();
}

void PlayerSession::commitBound(Bound bound, qint64 ms) {
    setBound(bound, ms);
    moved(value(bound));
}

void PlayerSession::stepBound(Bound bound, int direction) {
    setBound(bound, ClipBounds::step(value(bound), direction, limit(bound)));
    moved(value(bound));
}

void PlayerSession::takePosition(Bound bound) {
    setBound(bound, limit(bound).clamp(m_currentMs));
    startRefresh();
}

void PlayerSession::moved(qint64 ms) {
    if (hasPlayer()) {
        m_port->seek(ms, true);
        setCurrent(ms);
    }
    startRefresh();
}

void PlayerSession::scrub(qint64 ms, bool final) {
    if (!hasPlayer() || m_closed)
        return;
    if (!final && !m_scrubbing) {
        m_scrubbing = true;
        m_resumeAfterScrub = m_port->isPlaying();
        if (m_resumeAfterScrub)
            m_port->pause();
    }
    m_port->seek(ms, final);
    setCurrent(ms);
    if (final) {
        const bool resume = m_scrubbing && m_resumeAfterScrub;
        m_scrubbing = false;
        m_resumeAfterScrub = false;
        if (resume)
            m_port->play();
    }
}

void PlayerSession::boundsDragged() {
    startRefresh();
}

void PlayerSession::setMode(ClipMode mode) {
    if (mode == m_mode)
        return;
    m_mode = mode;
    Q_EMIT modeChanged();
}

void PlayerSession::setAudioOnly(bool audioOnly) {
    if (audioOnly == m_audioOnly)
        return;
    m_audioOnly = audioOnly;
    Q_EMIT audioOnlyChanged();
    startRefresh();
}

void PlayerSession::playSelection() {
    if (!hasPlayer())
        return;
    m_port->setStop(m_outMs);
    const qint64 from = m_inMs;
    spawn(this, [this, from]() -> QCoro::Task<void> {
        QPointer<PlayerSession> self(this);
        co_await m_port->seekAndWait(from);
        if (!self || m_closed)
            co_return;
        m_port->play();
    });
}

void PlayerSession::extract() {
    if (m_inMs >= m_outMs)
        return;
    m_model->clipsPart().extractClip(m_target.mediaPath, m_inMs, m_outMs, m_mode, m_audioOnly);
}

QCoro::Task<void> PlayerSession::refreshSuggestion() {
    QPointer<PlayerSession> self(this);
    std::optional<ClipSuggestion> reply =
        co_await m_model->clipsPart().suggestClip(m_target.mediaPath, m_inMs, m_outMs, m_audioOnly);
    if (!self)
        co_return;
    m_suggestion = std::move(reply);
    Q_EMIT suggestionChanged();
}

void PlayerSession::startRefresh() {
    spawn(this, [this]() -> QCoro::Task<void> { co_await refreshSuggestion(); });
}
