#include "kit/Card.h"

#include "kit/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

Card::Card(int padding, QWidget* parent) : QFrame(parent), m_body(new QVBoxLayout(this)), m_padding(padding) {
    setObjectName(QStringLiteral("card"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_body->setContentsMargins(padding, padding, padding, padding);
}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette p = palette();
    // The stroke is inset by half its width so it never spills outside the card.
    const QRectF edge = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(edge, radius, radius);
    painter.fillPath(shape, Theme::cardFill(p));
    QPen pen(Theme::cardBorder(p), 1.0);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawPath(shape);
}

Card* card(QWidget* content, int padding) {
    auto* box = new Card(padding);
    box->body()->addWidget(content);
    return box;
}
