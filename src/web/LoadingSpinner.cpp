#include "LoadingSpinner.h"

#include <QPainter>

LoadingSpinner::LoadingSpinner(int diameter, QWidget* parent) : QWidget(parent), m_diameter(diameter) {
    setFixedSize(diameter, diameter);
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update();
    });
}

QSize LoadingSpinner::sizeHint() const {
    return {m_diameter, m_diameter};
}

void LoadingSpinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max(1.5, m_diameter / 7.0);
    const QRectF box = QRectF(rect()).adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    QColor track = palette().color(QPalette::WindowText);
    track.setAlphaF(0.18);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(box);
    QColor arc = palette().color(QPalette::WindowText);
    arc.setAlphaF(0.65);
    painter.setPen(QPen(arc, pen, Qt::SolidLine, Qt::RoundCap));
    // Qt counts angles counter-clockwise in sixteenths of a degree; the arc turns clockwise.
    painter.drawArc(box, (90 - m_angle) * 16, -100 * 16);
}

void LoadingSpinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_timer.start();
}

void LoadingSpinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_timer.stop();
}
