#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

class Library;

// The small picture of a download, an analysed address or a library item: a neutral placeholder at once,
// then the image of a local file, read and scaled off the GUI thread. The file is the caller's `known`
// path, or the one the state asks the engine for. The caller gives the size; the picture fills it and is
// clipped to the rounded corners.
class Thumbnail : public QWidget {
    Q_OBJECT

public:
    Thumbnail(Library* library, QSize size, qreal cornerRadius, QWidget* parent = nullptr);

    // Starts a new load when the url, the media path or the known path changed; the page address alone
    // loads nothing again. The picture shown stays until a new one arrives.
    void setSource(const QString& url, const QString& mediaPath, const QString& pageUrl,
                   const QString& known = {});

    const QImage& image() const { return m_image; }
    // How many loads have ended (applied or not), for tests that wait for one.
    int finishedLoads() const { return m_finishedLoads; }

    QSize sizeHint() const override { return m_size; }

Q_SIGNALS:
    void loadFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startLoad();

    Library* m_library;
    QSize m_size;
    qreal m_radius;
    QString m_url;
    QString m_mediaPath;
    QString m_pageUrl;
    QString m_known;
    QString m_key;
    QString m_loadedKey;
    // Bumped by every new load and by hiding: a load that finds another generation writes nothing.
    int m_generation = 0;
    int m_finishedLoads = 0;
    bool m_inFlight = false;
    QImage m_image;
};
