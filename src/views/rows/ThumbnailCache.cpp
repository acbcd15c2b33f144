#include "rows/ThumbnailCache.h"

#include "Library.h"
#include "Spawn.h"
#include "rows/ThumbnailImage.h"

#include <QPointer>

ThumbnailCache::ThumbnailCache(Library* library, QSize size, QObject* parent)
    : QObject(parent), m_library(library), m_size(size), m_images(defaultCapacity) {}

QImage ThumbnailCache::image(const QString& url, const QString& mediaPath, const QString& pageUrl,
                             const QString& known) {
    if (url.isEmpty() && mediaPath.isEmpty() && known.isEmpty())
        return {};
    const QString key = url + QChar(u'\0') + mediaPath + QChar(u'\0') + known;
    if (const QImage* known = m_images.object(key))
        return *known;
    if (m_pending.contains(key))
        return {};
    m_pending.insert(key);
    QPointer<ThumbnailCache> self(this);
    QPointer<Library> library(m_library);
    const QSize fill = m_size * m_ratio;
    spawn(this, [self, library, key, url, mediaPath, pageUrl, known, fill]() -> QCoro::Task<void> {
        QString path = known;
        if (path.isEmpty() && library)
            path = co_await library->thumbnailPath(url, mediaPath, pageUrl);
        QImage image;
        if (self && !path.isEmpty())
            image = co_await ThumbnailImage::load(path, fill);
        if (!self)
            co_return;
        self->m_pending.remove(key);
        // A missing picture is remembered too, so a row without one does not ask on every paint.
        self->m_images.insert(key, new QImage(image));
        if (!image.isNull())
            Q_EMIT self->loaded();
    });
    return {};
}
