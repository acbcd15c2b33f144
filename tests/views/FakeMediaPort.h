#pragma once

// A media port for widget tests: it plays nothing, answers loads with `info` (at once, or when released),
// and writes down every call in order, so a test can read what the sheet asked of its player.

#include "clips/MediaPort.h"

#include <QStringList>
#include <QTimer>

#include <QCoro/QCoroTimer>

class FakeMediaPort : public MediaPort {
public:
    explicit FakeMediaPort(MediaInfo answer = {true, 600'000, true}) : info(answer) {
        m_release.setSingleShot(true);
    }

    MediaInfo info;
    // load() waits for release() (or close()) while set.
    bool holdLoad = false;
    QStringList calls;
    qint64 pos = 0;
    bool playing = false;
    std::optional<qint64> stopMs;
    bool closed = false;
    bool loading = false;
    // Played to the end of `info`'s duration and stopped there.
    bool ended = false;
    double level = 1.0;
    bool muted = false;

    void release() { m_release.start(0); }
    // Plays on to `ms` the way a player would report it: a tick, and a pause when it crossed the stop or
    // a stop at the end of the file.
    void advanceTo(qint64 ms) {
        const qint64 from = pos;
        pos = ms;
        if (playing && stopMs && from < *stopMs && ms >= *stopMs) {
            pos = *stopMs;
            setPlaying(false);
        } else if (playing && info.durationMs > 0 && ms >= info.durationMs) {
            pos = info.durationMs;
            ended = true;
            setPlaying(false);
        }
        Q_EMIT ticked(pos);
    }
    QStringList take() {
        QStringList out = calls;
        calls.clear();
        return out;
    }

    QCoro::Task<MediaInfo> load(QString path) override {
        calls << QStringLiteral("load ") + path;
        loading = true;
        if (holdLoad && !closed) {
            // Held until release() or close() fires the timer at once.
            m_release.start(24 * 3600 * 1000);
            co_await m_release;
        }
        loading = false;
        if (closed)
            co_return MediaInfo{};
        co_return info;
    }
    void seek(qint64 ms, bool exact) override {
        calls << QStringLiteral("seek %1 %2").arg(ms).arg(exact ? u"exact" : u"loose");
        pos = ms;
        ended = false;
    }
    QCoro::Task<void> seekAndWait(qint64 ms) override {
        calls << QStringLiteral("seekAndWait %1").arg(ms);
        pos = ms;
        ended = false;
        co_return;
    }
    void play() override {
        calls << QStringLiteral("play");
        if (closed)
            return;
        if (ended)
            pos = 0;
        ended = false;
        setPlaying(true);
    }
    void pause() override {
        calls << QStringLiteral("pause");
        setPlaying(false);
    }
    bool isPlaying() const override { return playing; }
    qint64 position() const override { return pos; }
    void setStop(std::optional<qint64> ms) override {
        calls << QStringLiteral("stop %1").arg(ms ? QString::number(*ms) : QStringLiteral("none"));
        stopMs = ms;
    }
    std::optional<qint64> stop() const override { return stopMs; }
    void setVolume(double value) override {
        calls << QStringLiteral("volume %1").arg(value);
        level = value;
    }
    double volume() const override { return level; }
    void setMuted(bool on) override {
        calls << QStringLiteral("muted %1").arg(on ? u"on" : u"off");
        muted = on;
    }
    bool isMuted() const override { return muted; }
    void close() override {
        if (closed)
            return;
        calls << QStringLiteral("close");
        closed = true;
        setPlaying(false);
        if (loading)
            m_release.start(0);
    }
    bool isClosed() const override { return closed; }

private:
    void setPlaying(bool on) {
        if (on == playing)
            return;
        playing = on;
        Q_EMIT playingChanged(on);
    }

    QTimer m_release;
};
