#include "rows/ThumbnailImage.h"

#include <QFuture>
#include <QImageReader>
#include <QPromise>
#include <QThreadPool>

#include <QCoro/QCoroFuture>

#include <memory>

namespace ThumbnailImage {

QImage readScaled(const QString& path, QSize fill) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && !full.isEmpty() && fill.isValid() && !fill.isEmpty() &&
        full.width() > fill.width() && full.height() > fill.height())
        reader.setScaledSize(full.scaled(fill, Qt::KeepAspectRatioByExpanding));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    return image;
}

QCoro::Task<QImage> load(QString path, QSize fill) {
    auto promise = std::make_shared<QPromise<QImage>>();
    QFuture<QImage> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, path, fill] {
        promise->addResult(readScaled(path, fill));
        promise->finish();
    });
    co_await future;
    co_return future.resultCount() > 0 ? future.result() : QImage();
}

QRectF coverRect(QSizeF imageSize, const QRectF& frame) {
    if (imageSize.isEmpty() || frame.isEmpty())
        return frame;
    const QSizeF scaled = imageSize.scaled(frame.size(), Qt::KeepAspectRatioByExpanding);
    return QRectF(frame.center().x() - scaled.width() / 2, frame.center().y() - scaled.height() / 2,
                  scaled.width(), scaled.height());
}

} // namespace ThumbnailImage
