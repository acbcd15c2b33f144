#include "download/SpeedPanel.h"

#include "Strings.h"
#include "download/SpeedFigures.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

const char* const labelKeys[] = {"speed_row_speed",      "speed_row_average", "speed_row_connections",
                                 "speed_row_downloaded", "speed_row_eta",     "label_format"};

} // namespace

SpeedPanel::SpeedPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("speed_panel"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(4);
    for (int i = 0; i < CellCount; ++i) {
        auto* cell = new QWidget(this);
        cell->setMinimumWidth(cellMinimumWidth);
        auto* stack = new QVBoxLayout(cell);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(1);
        m_labels[i] = new QLabel(cell);
        m_labels[i]->setObjectName(QString::fromLatin1(labelKeys[i]));
        TextStyle::apply(m_labels[i], TextStyle::Role::Caption2);
        Theme::setForeground(m_labels[i], Theme::Ink::Secondary);
        m_values[i] = new QLabel(cell);
        m_values[i]->setObjectName(QString::fromLatin1(labelKeys[i]) + QStringLiteral("_value"));
        m_values[i]->setTextFormat(Qt::PlainText);
        TextStyle::apply(m_values[i], TextStyle::Role::Callout);
        stack->addWidget(m_labels[i]);
        stack->addWidget(m_values[i]);
        grid->addWidget(cell, i / 3, i % 3, Qt::AlignLeft | Qt::AlignTop);
    }
    grid->setColumnStretch(3, 1);
    retranslate();
    setEngine({});
}

void SpeedPanel::retranslate() {
    for (int i = 0; i < CellCount; ++i)
        m_labels[i]->setText(Strings::text(QString::fromLatin1(labelKeys[i])));
}

void SpeedPanel::setEngine(const EngineEvent::SpeedEngine& e) {
    const QString texts[CellCount] = {SpeedFigures::rate(e.speed),
                                      SpeedFigures::rate(e.average),
                                      SpeedFigures::connections(e.connections),
                                      SpeedFigures::downloaded(e.downloaded, e.total),
                                      SpeedFigures::remaining(e.eta),
                                      SpeedFigures::protocol(e.protocol)};
    for (int i = 0; i < CellCount; ++i) {
        if (m_values[i]->text() != texts[i])
            m_values[i]->setText(texts[i]);
    }
}

void SpeedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 8, 8);
    const QColor q = Theme::ink(Theme::Ink::Quaternary, palette());
    painter.fillPath(path, Theme::withOpacity(q, q.alphaF() * 0.25));
}
