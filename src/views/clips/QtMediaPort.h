#pragma once

#include "clips/MediaPort.h"

#include <QTimer>

class QAudioOutput;
class QMediaPlayer;
class QVideoFrame;
class QVideoSink;

// The media port over Qt Multimedia. Pictures come through a video sink (a native video window would be
// invisible to grab() and screenshots). A machine without a sound device plays silently.
// The stop at a boundary is a timer armed from the position, corrected at each position report.
class QtMediaPort : public MediaPort {
    Q_OBJECT

public:
    explicit QtMediaPort(QObject* parent = nullptr);
    ~QtMediaPort() override;

    QCoro::Task<MediaInfo> load(QString path) override;
    void seek(qint64 ms, bool exact) override;
    QCoro::Task<void> seekAndWait(qint64 ms) override;
    void play() override;
    void pause() override;
    bool isPlaying() const override;
    qint64 position() const override;
    void setStop(std::optional<qint64> ms) override;
    std::optional<qint64> stop() const override { return m_stop; }
    void setVolume(double level) override;
    double volume() const override;
    void setMuted(bool muted) override;
    bool isMuted() const override;
    void close() override;
    bool isClosed() const override { return m_closed; }

    // The start time of the last picture shown, for checking where a seek landed.
    std::optional<qint64> lastFrameMs() const { return m_lastFrameMs; }

Q_SIGNALS:
    // Something a waiting task may be waiting for: a status change, an error, a picture, the close.
    void wake();

private:
    void onFrame(const QVideoFrame& frame);
    void armStop();
    void onStopTimer();

    QMediaPlayer* m_player;
    QAudioOutput* m_audio = nullptr;
    QVideoSink* m_sink;
    QTimer m_tick;
    QTimer m_stopTimer;
    std::optional<qint64> m_stop;
    double m_level = 1.0; // as heard; the output holds it on its own scale
    bool m_armed = false;
    bool m_closed = false;
    bool m_hasVideo = false;
    int m_framesShown = 0;
    std::optional<qint64> m_lastFrameMs;
};
