#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <optional>

// What opening a media file found out.
struct MediaInfo {
    bool playable = false;
    qint64 durationMs = 0; // 0 while unknown
    bool hasVideo = false;
};

// The player under the transcript player sheet: loads one file, seeks, plays and pauses, reports its
// position every 200 ms and hands over each picture to paint. The sheet and the clip panel talk only to
// this, so widget tests run on a fake.
class MediaPort : public QObject {
    Q_OBJECT

public:
    static constexpr int tickMs = 200;

    using QObject::QObject;

    // Loads `path` and stands paused at its beginning; nothing plays yet. An unreadable or unsupported
    // file is not playable. Ends early, not playable, once the port is closed.
    virtual QCoro::Task<MediaInfo> load(QString path) = 0;
    // Moves to `ms` without waiting. A loose seek may land on a nearby picture; an exact one lands on it.
    virtual void seek(qint64 ms, bool exact) = 0;
    // An exact seek that ends once the picture at `ms` is shown (after a short wait for sound only), or
    // once the port is closed.
    virtual QCoro::Task<void> seekAndWait(qint64 ms) = 0;
    // A file that played to its end plays again from its beginning.
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual bool isPlaying() const = 0;
    virtual qint64 position() const = 0;
    // Pauses playback each time it runs across `ms`, until replaced; nothing clears it.
    virtual void setStop(std::optional<qint64> ms) = 0;
    virtual std::optional<qint64> stop() const = 0;
    // The sound level as heard, 0 to 1, and silence; they stay as set for the port's life.
    virtual void setVolume(double level) = 0;
    virtual double volume() const = 0;
    virtual void setMuted(bool muted) = 0;
    virtual bool isMuted() const = 0;
    // Silences and ends everything: no sound and no more signals afterwards; waiting tasks end.
    virtual void close() = 0;
    virtual bool isClosed() const = 0;

Q_SIGNALS:
    // Every tickMs while a file is loaded: the playback position.
    void ticked(qint64 ms);
    void frameShown(const QImage& image);
    void playingChanged(bool playing);
};
