#include "clips/FfmpegFrameSource.h"

#include <QPointer>
#include <QProcess>

FfmpegFrameSource::FfmpegFrameSource(QObject* parent) : FrameSource(parent) {
    m_pool.setMaxThreadCount(1);
}

FfmpegFrameSource::~FfmpegFrameSource() {
    cancel();
    m_pool.waitForDone();
}

int FfmpegFrameSource::request(const QString& path, const QList<double>& timesMs, int maxHeight) {
    cancel();
    const int run = ++m_run;
    auto dropped = std::make_shared<std::atomic_bool>(false);
    m_dropped = dropped;
    QPointer<FfmpegFrameSource> self(this);
    m_pool.start([self, dropped, run, path, timesMs, maxHeight] {
        for (qsizetype i = 0; i < timesMs.size(); ++i) {
            if (*dropped)
                return;
            const QImage image = grab(path, timesMs[i], maxHeight, *dropped);
            const int index = static_cast<int>(i);
            QMetaObject::invokeMethod(
                self.data(),
                [self, dropped, run, index, image] {
                    if (!self || *dropped)
                        return;
                    if (image.isNull())
                        Q_EMIT self->frameFailed(run, index);
                    else
                        Q_EMIT self->frameReady(run, index, image);
                },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, dropped, run] {
                if (self && !*dropped)
                    Q_EMIT self->finished(run);
            },
            Qt::QueuedConnection);
    });
    return run;
}

void FfmpegFrameSource::cancel() {
    if (m_dropped)
        *m_dropped = true;
}

QImage FfmpegFrameSource::grab(const QString& path, double ms, int maxHeight,
                               const std::atomic_bool& dropped) {
    QProcess ffmpeg;
    const QStringList arguments{QStringLiteral("-v"),
                                QStringLiteral("error"),
                                QStringLiteral("-nostdin"),
                                QStringLiteral("-ss"),
                                QString::number(ms / 1000.0, 'f', 3),
                                QStringLiteral("-i"),
                                path,
                                QStringLiteral("-frames:v"),
                                QStringLiteral("1"),
                                QStringLiteral("-an"),
                                QStringLiteral("-sn"),
                                QStringLiteral("-vf"),
                                QStringLiteral("scale=-2:min(%1\\,ih)").arg(maxHeight),
                                QStringLiteral("-f"),
                                QStringLiteral("image2pipe"),
                                QStringLiteral("-c:v"),
                                QStringLiteral("png"),
                                QStringLiteral("-")};
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments, QIODevice::ReadOnly);
    if (!ffmpeg.waitForStarted(5000))
        return {};
    while (!ffmpeg.waitForFinished(50)) {
        if (ffmpeg.state() == QProcess::NotRunning)
            break;
        if (dropped) {
            ffmpeg.kill();
            ffmpeg.waitForFinished(1000);
            return {};
        }
    }
    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        return {};
    QImage image;
    image.loadFromData(ffmpeg.readAllStandardOutput(), "PNG");
    if (image.height() > maxHeight)
        image = image.scaledToHeight(maxHeight, Qt::SmoothTransformation);
    return image;
}
