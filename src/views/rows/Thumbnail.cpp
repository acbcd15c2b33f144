#include "rows/Thumbnail.h"

#include "Library.h"
#include "Spawn.h"
#include "kit/Theme.h"
#include "rows/ThumbnailImage.h"

#include <QPainter>
#include <QPainterPath>

Thumbnail::Thumbnail(Library* library, QSize size, qreal cornerRadius, QWidget* parent)
    : QWidget(parent), m_library(library), m_size(size), m_radius(cornerRadius) {
    setFixedSize(size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Thumbnail::setSource(const QString& url, const QString& mediaPath, const QString& pageUrl,
                          const QString& known) {
    m_pageUrl = pageUrl;
    const QString key = url + u'|' + mediaPath + u'|' + known;
    if (key == m_key && !m_key.isNull())
        return;
    m_url = url;
    m_mediaPath = mediaPath;
    m_known = known;
    m_key = key;
    if (isVisible())
        startLoad();
}

void Thumbnail::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_key.isNull() && m_loadedKey != m_key)
        startLoad();
}

void Thumbnail::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A load still running belongs to the view that was on screen: it is dropped, and showing the view
    // again starts it afresh.
    if (m_inFlight) {
        ++m_generation;
        m_inFlight = false;
        m_loadedKey.clear();
    }
}

void Thumbnail::startLoad() {
    const int generation = ++m_generation;
    m_loadedKey = m_key;
    m_inFlight = true;
    if (m_url.isEmpty() && m_mediaPath.isEmpty()) {
        m_image = QImage();
        m_inFlight = false;
        ++m_finishedLoads;
        update();
        Q_EMIT loadFinished();
        return;
    }
    QPointer<Thumbnail> self(this);
    QPointer<Library> library(m_library);
    const QString url = m_url, mediaPath = m_mediaPath, pageUrl = m_pageUrl, known = m_known;
    const QSize fill = m_size * devicePixelRatioF();
    spawn(this, [self, library, generation, url, mediaPath, pageUrl, known, fill]() -> QCoro::Task<void> {
        auto finish = [&](const std::optional<QImage>& image) {
            if (!self)
                return;
            if (self->m_generation == generation) {
                self->m_inFlight = false;
                if (image) {
                    self->m_image = *image;
                    self->update();
                }
            }
            ++self->m_finishedLoads;
            Q_EMIT self->loadFinished();
        };
        QString path = known;
        if (path.isEmpty()) {
            if (!library)
                co_return finish(std::nullopt);
            path = co_await library->thumbnailPath(url, mediaPath, pageUrl);
        }
        if (!self || self->m_generation != generation || path.isEmpty())
            co_return finish(std::nullopt);
        const QImage image = co_await ThumbnailImage::load(path, fill);
        finish(image);
    });
}

void Thumbnail::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF frame = rect();
    QPainterPath clip;
    clip.addRoundedRect(frame, m_radius, m_radius);
    painter.setClipPath(clip);
    painter.fillRect(frame, Theme::ink(Theme::Ink::Quaternary, palette()));
    if (!m_image.isNull())
        painter.drawImage(ThumbnailImage::coverRect(m_image.size(), frame), m_image);
}
