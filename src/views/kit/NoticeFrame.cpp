#include "kit/NoticeFrame.h"

#include <QPainter>
#include <QPainterPath>

NoticeFrame::NoticeFrame(Theme::Ink ink, qreal radius, QWidget* parent)
    : QFrame(parent), m_ink(ink), m_radius(radius) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void NoticeFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), m_radius, m_radius);
    painter.fillPath(shape, Theme::noticeFill(m_ink, Theme::palette()));
}
