#include "download/AnalysingCard.h"

#include "Strings.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

AnalysingCard::AnalysingCard(QWidget* parent) : Card(14, parent) {
    setObjectName(QStringLiteral("analysing_card"));
    auto* content = new QWidget(this);
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(new Spinner(16, content));
    m_text = new QLabel(content);
    m_text->setObjectName(QStringLiteral("status_checking_quality"));
    TextStyle::apply(m_text, TextStyle::Role::Callout);
    Theme::setForeground(m_text, Theme::Ink::Secondary);
    row->addWidget(m_text, 1);
    body()->addWidget(content);
    retranslate();
}

void AnalysingCard::retranslate() {
    m_text->setText(Strings::text(QStringLiteral("status_checking_quality")));
}

Spinner::Spinner(int side, QWidget* parent) : QWidget(parent) {
    setFixedSize(side, side);
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update();
    });
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_timer.start();
}

void Spinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_timer.stop();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.setPen(QPen(Theme::ink(Theme::Ink::Quaternary, palette()), 2));
    painter.drawEllipse(box);
    QPen arc(Theme::ink(Theme::Ink::Secondary, palette()), 2);
    arc.setCapStyle(Qt::RoundCap);
    painter.setPen(arc);
    painter.drawArc(box, -m_angle * 16, 90 * 16);
}
