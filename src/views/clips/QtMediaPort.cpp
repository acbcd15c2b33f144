#include "clips/QtMediaPort.h"

#include "SignalWait.h"

#include <QAudio>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaPlayer>
#include <QPointer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

#include <QCoro/QCoroTimer>

#include <algorithm>
#include <chrono>

using namespace std::chrono_literals;

namespace {

// Playback closer than this to the stop counts as standing on it: resuming there plays on.
constexpr qint64 stopSlackMs = 40;
// Sound alone gives no picture to wait for.
constexpr auto audioSeekWait = 120ms;

} // namespace

QtMediaPort::QtMediaPort(QObject* parent)
    : MediaPort(parent), m_player(new QMediaPlayer(this)), m_sink(new QVideoSink(this)) {
    // Always an audio output: without one a file of sound alone fails with a data stream error. On a
    // machine without a sound device the output only fails to connect, and playback and its clock run on.
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
    m_player->setVideoSink(m_sink);
    m_tick.setInterval(tickMs);
    connect(&m_tick, &QTimer::timeout, this, [this] { Q_EMIT ticked(position()); });
    m_stopTimer.setSingleShot(true);
    m_stopTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_stopTimer, &QTimer::timeout, this, &QtMediaPort::onStopTimer);
    connect(m_sink, &QVideoSink::videoFrameChanged, this, &QtMediaPort::onFrame);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &QtMediaPort::wake);
    connect(m_player, &QMediaPlayer::errorOccurred, this, &QtMediaPort::wake);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState state) {
        if (m_closed)
            return;
        armStop();
        Q_EMIT playingChanged(state == QMediaPlayer::PlayingState);
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this] {
        if (!m_closed && m_armed)
            armStop();
    });
}

QtMediaPort::~QtMediaPort() {
    close();
}

QCoro::Task<MediaInfo> QtMediaPort::load(QString path) {
    QPointer<QtMediaPort> self(this);
    m_player->setSource(QUrl::fromLocalFile(path));
    for (;;) {
        if (!self || m_closed)
            co_return MediaInfo{};
        const QMediaPlayer::MediaStatus status = m_player->mediaStatus();
        if (m_player->error() != QMediaPlayer::NoError || status == QMediaPlayer::InvalidMedia)
            co_return MediaInfo{false, m_player->duration(), false};
        if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia)
            break;
        if (!(co_await nextSignal(this, &QtMediaPort::wake, 15s)))
            co_return MediaInfo{false, self ? m_player->duration() : 0, false};
    }
    m_hasVideo = m_player->hasVideo();
    const MediaInfo info{true, m_player->duration(), m_hasVideo};
    // Paused, the player shows its first picture and takes seeks; stopped, it ignores them.
    m_player->pause();
    m_tick.start();
    co_return info;
}

void QtMediaPort::seek(qint64 ms, bool exact) {
    Q_UNUSED(exact) // every seek of this player lands on the picture asked for
    if (m_closed)
        return;
    if (m_player->playbackState() == QMediaPlayer::StoppedState)
        m_player->pause();
    m_player->setPosition(ms);
    armStop();
}

QCoro::Task<void> QtMediaPort::seekAndWait(qint64 ms) {
    QPointer<QtMediaPort> self(this);
    const int shownBefore = m_framesShown;
    seek(ms, true);
    if (!m_hasVideo) {
        QTimer wait;
        wait.setSingleShot(true);
        wait.start(audioSeekWait);
        co_await wait;
        co_return;
    }
    while (self && !m_closed && m_framesShown == shownBefore) {
        if (!(co_await nextSignal(this, &QtMediaPort::wake, 3s)))
            co_return;
    }
}

void QtMediaPort::play() {
    if (m_closed)
        return;
    // Played to its end, the player stands stopped there: from the beginning again.
    if (m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        m_player->setPosition(0);
    m_player->play();
}

void QtMediaPort::pause() {
    if (!m_closed)
        m_player->pause();
}

bool QtMediaPort::isPlaying() const {
    return m_player->playbackState() == QMediaPlayer::PlayingState;
}

qint64 QtMediaPort::position() const {
    return m_player->position();
}

void QtMediaPort::setStop(std::optional<qint64> ms) {
    m_stop = ms;
    m_armed = false;
    armStop();
}

// The output's scale is linear in amplitude; a slider feels even on the logarithmic one.
void QtMediaPort::setVolume(double level) {
    m_level = std::clamp(level, 0.0, 1.0);
    m_audio->setVolume(QAudio::convertVolume(static_cast<float>(m_level), QAudio::LogarithmicVolumeScale,
                                             QAudio::LinearVolumeScale));
}

double QtMediaPort::volume() const {
    return m_level;
}

void QtMediaPort::setMuted(bool muted) {
    m_audio->setMuted(muted);
}

bool QtMediaPort::isMuted() const {
    return m_audio->isMuted();
}

void QtMediaPort::close() {
    if (m_closed)
        return;
    m_closed = true;
    m_tick.stop();
    m_stopTimer.stop();
    m_player->stop();
    m_player->setSource(QUrl());
    Q_EMIT wake();
}

void QtMediaPort::onFrame(const QVideoFrame& frame) {
    if (m_closed || !frame.isValid())
        return;
    ++m_framesShown;
    m_lastFrameMs = frame.startTime() / 1000;
    Q_EMIT frameShown(frame.toImage());
    Q_EMIT wake();
}

// Armed while playback runs towards the stop from before it; the timer fires when the stop is due at
// normal speed and is set again at each position report, so it follows the media's own clock.
void QtMediaPort::armStop() {
    if (m_closed || !m_stop || !isPlaying()) {
        m_armed = false;
        m_stopTimer.stop();
        return;
    }
    const qint64 at = position();
    if (!m_armed && at >= *m_stop - stopSlackMs) {
        m_stopTimer.stop();
        return;
    }
    if (at >= *m_stop) {
        onStopTimer();
        return;
    }
    m_armed = true;
    m_stopTimer.start(static_cast<int>(*m_stop - at));
}

void QtMediaPort::onStopTimer() {
    if (m_closed || !m_stop || !isPlaying())
        return;
    const qint64 at = position();
    if (at < *m_stop - stopSlackMs) {
        m_stopTimer.start(static_cast<int>(*m_stop - at));
        return;
    }
    m_armed = false;
    m_player->pause();
}
