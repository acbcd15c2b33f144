#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>

class Library;

// Thumbnails for painted list rows, which have no widget to hold a picture: each file is read and scaled
// off the GUI thread once, kept for the most recently drawn rows only, and announced when it arrives so
// the list repaints. A row that has no picture yet draws the placeholder.
class ThumbnailCache : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultCapacity = 300;

    ThumbnailCache(Library* library, QSize size, QObject* parent = nullptr);

    // The picture when it is loaded (a null image while it loads or when there is none); starts its load
    // the first time a key is asked for. A `known` local picture is read as it is, without asking the state.
    QImage image(const QString& url, const QString& mediaPath, const QString& pageUrl,
                 const QString& known = {});
    void setDevicePixelRatio(qreal ratio) { m_ratio = ratio; }
    int loading() const { return int(m_pending.size()); }

Q_SIGNALS:
    void loaded();

private:
    Library* m_library;
    QSize m_size;
    qreal m_ratio = 1;
    QCache<QString, QImage> m_images;
    QSet<QString> m_pending;
};
