#include "kit/Switch.h"

#include "kit/Theme.h"

#include <QPainter>
#include <QPainterPath>

Switch::Switch(const QString& objectName, QWidget* parent) : QCheckBox(parent) {
    setObjectName(objectName);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Switch::sizeHint() const {
    return {pill.width() + 2, pill.height() + 4};
}

QRectF Switch::pillRect() const {
    return QRectF(1, (height() - pill.height()) / 2.0, pill.width(), pill.height());
}

bool Switch::hitButton(const QPoint& pos) const {
    return pillRect().adjusted(-2, -2, 2, 2).contains(pos);
}

void Switch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette p = Theme::palette();
    if (!isEnabled())
        painter.setOpacity(0.45);
    const QRectF track = pillRect();
    const qreal r = track.height() / 2;
    QPainterPath shape;
    shape.addRoundedRect(track, r, r);
    const QColor off = Theme::ink(Theme::Ink::Quaternary, p);
    painter.fillPath(shape, isChecked() ? Theme::ink(Theme::Ink::Accent, p)
                                        : Theme::withOpacity(off, off.alphaF() * 1.6));
    if (hasFocus()) {
        painter.setPen(QPen(Theme::withOpacity(Theme::ink(Theme::Ink::Accent, p), 0.6), 1.5));
        painter.drawPath(shape);
    }
    const qreal knob = track.height() - 4;
    const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}
