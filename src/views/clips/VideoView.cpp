#include "clips/VideoView.h"

#include "kit/Icons.h"
#include "kit/Theme.h"

#include <QPainter>

VideoView::VideoView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("video"));
    setMinimumHeight(300);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void VideoView::showFrame(const QImage& image) {
    m_frame = image;
    update();
}

void VideoView::setSoundOnly(bool soundOnly) {
    m_soundOnly = soundOnly;
    update();
}

void VideoView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (m_soundOnly) {
        const int size = 64;
        const QPixmap note = Icons::tinted(QStringLiteral("music.note"), size, QColor(255, 255, 255, 150),
                                           devicePixelRatioF());
        p.drawPixmap(QPoint((width() - size) / 2, (height() - size) / 2), note);
    } else if (!m_frame.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QSizeF fitted = QSizeF(m_frame.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
        const QRectF place((width() - fitted.width()) / 2, (height() - fitted.height()) / 2, fitted.width(),
                           fitted.height());
        p.drawImage(place, m_frame);
    }
    if (hasFocus()) {
        // Inside the edge, in the accent colour, over the picture.
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Theme::ink(Theme::Ink::Accent, palette()), 3));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    }
}

void VideoView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void VideoView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}
