#include "kit/Divider.h"

#include "kit/Theme.h"

#include <QPainter>

Divider::Divider(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("divider"));
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::ink(Theme::Ink::Quaternary, palette()));
}
