#pragma once

#include "clips/TimelineGeometry.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>

class FrameSource;

// The clip's stretch on a strip of the media's pictures: the outside dimmed, the clip framed, a handle at
// each end and the playhead. Dragging a handle moves that bound (500 ms apart at least, never before 0 or
// past the duration); dragging elsewhere moves the playhead. While a drag runs it asks for a loose look
// at the time under the pointer (scrubbed, final false), at its end for an exact one (final true), and after
// a handle drag it says the bounds changed. The bounds belong to the owner, who sets them back.
class TrimTimeline : public QWidget {
    Q_OBJECT

public:
    // The source makes the strip's pictures; null leaves the strip plain.
    explicit TrimTimeline(FrameSource* frames, QWidget* parent = nullptr);

    void setMedia(const QString& path, qint64 durationMs);
    void setBounds(qint64 inMs, qint64 outMs);
    void setCurrent(qint64 ms);

    qint64 inMs() const { return m_in; }
    qint64 outMs() const { return m_out; }
    qint64 currentMs() const { return m_current; }
    TimelineGeometry geometryNow() const { return {static_cast<double>(width()), m_duration}; }
    const QList<QImage>& frames() const { return m_frames; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void startMoved(qint64 ms);
    void endMoved(qint64 ms);
    void scrubbed(qint64 ms, bool final);
    // A handle drag ended.
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void dragTo(double x);
    void loadFrames();
    void paintHandle(QPainter& p, double x, bool leading);

    QPointer<FrameSource> m_source;
    QString m_path;
    qint64 m_duration = 0;
    qint64 m_in = 0;
    qint64 m_out = 0;
    qint64 m_current = 0;
    TimelineGeometry::Target m_dragging = TimelineGeometry::Target::None;
    QList<QImage> m_frames;
    QList<QImage> m_incoming;
    int m_run = -1;
    int m_loadedWidth = -1;
};
