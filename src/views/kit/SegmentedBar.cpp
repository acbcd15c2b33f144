#include "kit/SegmentedBar.h"

#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int trackPadding = 3;
constexpr int segmentSpacing = 2;
constexpr int trackRadius = 8;
constexpr int segmentRadius = 6;
constexpr int segmentVerticalPadding = 5;
constexpr int segmentSidePadding = 6;
} // namespace

SegmentedBar::SegmentedBar(QWidget* parent) : QWidget(parent), m_layout(new QHBoxLayout(this)) {
    setObjectName(QStringLiteral("segmentedBar"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_layout->setContentsMargins(trackPadding, trackPadding, trackPadding, trackPadding);
    m_layout->setSpacing(segmentSpacing);
}

void SegmentedBar::setValues(const QList<QVariant>& values, Label label) {
    qDeleteAll(m_segments);
    m_segments.clear();
    m_values = values;
    m_label = std::move(label);
    for (const QVariant& value : m_values) {
        auto* button = new SegmentButton(this);
        button->setObjectName(QStringLiteral("segment_") + value.toString());
        connect(button, &QAbstractButton::clicked, this, [this, value] {
            m_selection = value;
            mark();
            Q_EMIT picked(value);
        });
        m_layout->addWidget(button, 1);
        m_segments << button;
    }
    relabel();
    mark();
}

void SegmentedBar::relabel() {
    for (int i = 0; i < m_segments.size(); ++i) {
        const QString text = m_label ? m_label(m_values[i]) : m_values[i].toString();
        m_segments[i]->setText(text);
        m_segments[i]->setToolTip(text);
    }
}

void SegmentedBar::setSelection(const QVariant& value) {
    m_selection = value;
    mark();
}

QAbstractButton* SegmentedBar::segment(const QVariant& value) const {
    const int at = m_values.indexOf(value);
    return at < 0 ? nullptr : m_segments[at];
}

void SegmentedBar::mark() {
    for (int i = 0; i < m_segments.size(); ++i)
        static_cast<SegmentButton*>(m_segments[i])
            ->setSelected(m_selection.isValid() && m_values[i] == m_selection);
}

void SegmentedBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath track;
    track.addRoundedRect(QRectF(rect()), trackRadius, trackRadius);
    painter.fillPath(track, Theme::segmentTrack(palette()));
}

SegmentButton::SegmentButton(QWidget* parent) : QAbstractButton(parent) {
    setFont(TextStyle::font(TextStyle::Role::Callout));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
}

void SegmentButton::setSelected(bool selected) {
    if (m_selected == selected)
        return;
    m_selected = selected;
    setAccessibleDescription(selected ? QStringLiteral("selected") : QString());
    update();
}

QSize SegmentButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 2 * segmentSidePadding,
            metrics.height() + 2 * segmentVerticalPadding};
}

QSize SegmentButton::minimumSizeHint() const {
    // Equal shares of the bar, however long the label: it is elided instead.
    const QFontMetrics metrics(font());
    return {2 * segmentSidePadding, metrics.height() + 2 * segmentVerticalPadding};
}

void SegmentButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette p = palette();
    if (m_selected) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), segmentRadius, segmentRadius);
        painter.fillPath(shape, Theme::ink(Theme::Ink::Accent, p));
    } else if (underMouse()) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), segmentRadius, segmentRadius);
        painter.fillPath(shape, Theme::segmentTrack(p));
    }
    // The ring only for keyboard focus, not for the focus a window hands its first control.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setPen(QPen(Theme::ink(Theme::Ink::Accent, p), 1.0));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), segmentRadius, segmentRadius);
    }
    painter.setPen(m_selected ? QColor(Qt::white) : Theme::ink(Theme::Ink::Primary, p));
    const QRect textArea = rect().adjusted(segmentSidePadding, 0, -segmentSidePadding, 0);
    const QString shown = painter.fontMetrics().elidedText(text(), Qt::ElideRight, textArea.width());
    painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine, shown);
}
