#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <QCoro/QCoroTask>

// Thumbnail files read and scaled on the thread pool, never on the GUI thread.
namespace ThumbnailImage {

// The image at `path` scaled to cover `fill` (device pixels) with its aspect ratio kept; a null image
// when the file cannot be read or is no image. An empty `fill` keeps the file's own size.
QImage readScaled(const QString& path, QSize fill);

// readScaled() run on the global thread pool and awaited.
QCoro::Task<QImage> load(QString path, QSize fill);

// The rectangle of `imageSize` scaled to cover `frame`, centred on it (what an aspect-fill draw shows).
QRectF coverRect(QSizeF imageSize, const QRectF& frame);

} // namespace ThumbnailImage
