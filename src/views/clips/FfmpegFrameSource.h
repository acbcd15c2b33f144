#pragma once

#include "clips/FrameSource.h"

#include <QThreadPool>

#include <atomic>
#include <memory>

// Takes each picture with an ffmpeg child of its own, one after the other on a worker thread; a dropped
// run kills its running child and starts no more.
class FfmpegFrameSource : public FrameSource {
    Q_OBJECT

public:
    explicit FfmpegFrameSource(QObject* parent = nullptr);
    ~FfmpegFrameSource() override;

    int request(const QString& path, const QList<double>& timesMs, int maxHeight) override;
    void cancel() override;

    // One picture, or a null image when ffmpeg gives none (no picture stream, an unreadable file, a
    // dropped run). Blocks: call it away from the GUI thread.
    static QImage grab(const QString& path, double ms, int maxHeight, const std::atomic_bool& dropped);

private:
    QThreadPool m_pool;
    int m_run = 0;
    std::shared_ptr<std::atomic_bool> m_dropped;
};
