#include "clips/TrimTimeline.h"

#include "clips/FrameSource.h"
#include "kit/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

using Target = TimelineGeometry::Target;

TrimTimeline::TrimTimeline(FrameSource* frames, QWidget* parent) : QWidget(parent), m_source(frames) {
    setObjectName(QStringLiteral("trim_timeline"));
    setFixedHeight(static_cast<int>(TimelineGeometry::height));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    if (m_source) {
        connect(m_source, &FrameSource::frameReady, this, [this](int run, int, const QImage& image) {
            if (run != m_run)
                return;
            // The earlier pictures stay until the first of the new run is there, then go as a whole.
            m_incoming << image;
            m_frames = m_incoming;
            update();
        });
    }
}

void TrimTimeline::setMedia(const QString& path, qint64 durationMs) {
    if (path == m_path && durationMs == m_duration)
        return;
    m_path = path;
    m_duration = durationMs;
    m_loadedWidth = -1;
    loadFrames();
    update();
}

void TrimTimeline::setBounds(qint64 inMs, qint64 outMs) {
    if (inMs == m_in && outMs == m_out)
        return;
    m_in = inMs;
    m_out = outMs;
    update();
}

void TrimTimeline::setCurrent(qint64 ms) {
    if (ms == m_current)
        return;
    m_current = ms;
    update();
}

QSize TrimTimeline::sizeHint() const {
    return {600, static_cast<int>(TimelineGeometry::height)};
}

QSize TrimTimeline::minimumSizeHint() const {
    return {100, static_cast<int>(TimelineGeometry::height)};
}

void TrimTimeline::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    loadFrames();
}

void TrimTimeline::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    loadFrames();
}

// Runs again only when the whole-point width changes, dropping the run before.
void TrimTimeline::loadFrames() {
    if (!m_source || !isVisible() || width() == m_loadedWidth)
        return;
    const TimelineGeometry g = geometryNow();
    if (m_duration < 1 || !(g.width > 0))
        return;
    m_loadedWidth = width();
    m_incoming.clear();
    const int count = g.frameCount();
    m_run = m_source->request(m_path, TimelineGeometry::frameTimes(m_duration, count),
                              static_cast<int>(2 * TimelineGeometry::height));
}

void TrimTimeline::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const TimelineGeometry g = geometryNow();
    const double w = g.width;
    const double h = TimelineGeometry::height;
    const QPalette pal = palette();
    QPainterPath strip;
    strip.addRoundedRect(QRectF(0, 0, w, h), TimelineGeometry::corner, TimelineGeometry::corner);

    // The strip: a plain background until pictures arrive, then each in an equal slot, filling it.
    p.fillPath(strip, Theme::ink(Theme::Ink::Quaternary, pal));
    if (!m_frames.isEmpty()) {
        p.save();
        p.setClipPath(strip);
        const double slot = w / m_frames.size();
        for (qsizetype i = 0; i < m_frames.size(); ++i) {
            const QImage& image = m_frames[i];
            const QRectF target(slot * i, 0, slot, h);
            const double scale = std::max(target.width() / image.width(), target.height() / image.height());
            const QSizeF drawn(image.width() * scale, image.height() * scale);
            const QRectF place(target.center().x() - drawn.width() / 2,
                               target.center().y() - drawn.height() / 2, drawn.width(), drawn.height());
            p.save();
            p.setClipRect(target, Qt::IntersectClip);
            p.drawImage(place, image);
            p.restore();
        }
        p.restore();
    }

    // Outside the clip, dimmed: at the two times themselves, not at the drawn marks.
    const double inX = g.position(m_in);
    const double outX = g.position(m_out);
    p.save();
    p.setClipPath(strip);
    const QColor dim(0, 0, 0, static_cast<int>(0.45 * 255));
    p.fillRect(QRectF(0, 0, std::max(0.0, inX), h), dim);
    p.fillRect(QRectF(outX, 0, std::max(0.0, w - outX), h), dim);
    p.restore();

    const double startX = g.startX(m_in);
    const double endX = g.endX(m_in, m_out);
    // The selection's frame, drawn inside its edges.
    const QColor accent = Theme::ink(Theme::Ink::Accent, pal);
    p.setPen(QPen(accent, 3));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(startX + 1.5, 1.5, endX - startX - 3, h - 3), 4, 4);

    // The playhead, with a faint shadow so it shows on light pictures.
    const double headX = (m_duration < 1 ? 0 : g.position(m_current)) - 1;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 84));
    p.drawRoundedRect(QRectF(headX - 1, 3, 4, h - 6), 1, 1);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(headX, 4, 2, h - 8));

    paintHandle(p, startX, true);
    paintHandle(p, endX - TimelineGeometry::handleWidth, false);
}

void TrimTimeline::paintHandle(QPainter& p, double x, bool leading) {
    const double hw = TimelineGeometry::handleWidth;
    const double h = TimelineGeometry::height;
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::ink(Theme::Ink::Accent, palette()));
    p.drawRoundedRect(QRectF(x, 0, hw, h), 4, 4);
    // A compact chevron pointing out of the selection.
    const double cx = x + hw / 2;
    const double cy = h / 2;
    const double dx = leading ? 2 : -2;
    QPainterPath chevron;
    chevron.moveTo(cx + dx, cy - 5);
    chevron.lineTo(cx - dx, cy);
    chevron.lineTo(cx + dx, cy + 5);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(chevron);
}

void TrimTimeline::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // The target is chosen once, from where the drag began; a plain click counts as a drag.
    if (m_dragging == Target::None)
        m_dragging = geometryNow().target(event->position().x(), m_in, m_out);
    dragTo(event->position().x());
}

void TrimTimeline::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging != Target::None)
        dragTo(event->position().x());
}

void TrimTimeline::dragTo(double x) {
    const qint64 t = geometryNow().msAt(x);
    switch (m_dragging) {
    case Target::Start:
        // Never below 0, even when the end lies closer than 500 ms to the beginning.
        m_in = std::max<qint64>(0, std::min(t, m_out - 500));
        update();
        Q_EMIT startMoved(m_in);
        Q_EMIT scrubbed(m_in, false);
        break;
    case Target::End:
        m_out = std::max(std::min(t, m_duration), m_in + 500);
        update();
        Q_EMIT endMoved(m_out);
        Q_EMIT scrubbed(m_out, false);
        break;
    case Target::Playhead:
        Q_EMIT scrubbed(t, false);
        break;
    case Target::None:
        break;
    }
}

void TrimTimeline::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const Target was = m_dragging;
    m_dragging = Target::None;
    switch (was) {
    case Target::Start:
        Q_EMIT scrubbed(m_in, true);
        Q_EMIT changed();
        break;
    case Target::End:
        Q_EMIT scrubbed(m_out, true);
        Q_EMIT changed();
        break;
    case Target::Playhead:
        Q_EMIT scrubbed(geometryNow().msAt(event->position().x()), true);
        break;
    case Target::None:
        break;
    }
}
