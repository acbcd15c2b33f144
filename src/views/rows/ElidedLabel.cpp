#include "rows/ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextLayout>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::setFullText(const QString& text) {
    if (text == m_full && !text.isNull())
        return;
    m_full = text;
    updateGeometry();
    elide();
}

void ElidedLabel::setMaxLines(int lines) {
    m_maxLines = std::max(1, lines);
    updateGeometry();
    elide();
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, fontMetrics().lineSpacing() * std::max<qsizetype>(1, text().count(u'\n') + 1)};
}

QSize ElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(m_full), minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        elide();
}

void ElidedLabel::elide() {
    const QFontMetrics metrics = fontMetrics();
    const int width = std::max(1, this->width());
    QString shown;
    if (m_maxLines == 1) {
        // Line breaks in engine texts would make a second line; a one-line label shows one.
        QString line = m_full;
        line.replace(u'\n', u' ');
        shown = metrics.elidedText(line, Qt::ElideRight, width);
        m_elided = shown != line;
    } else {
        QString flat = m_full;
        flat.replace(u'\n', u' ');
        QTextLayout layout(flat, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        QStringList lines;
        m_elided = false;
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(width);
            if (lines.size() == m_maxLines - 1) {
                const QString rest = flat.mid(line.textStart());
                const QString last = metrics.elidedText(rest, Qt::ElideRight, width);
                m_elided = last != rest;
                lines << last;
                break;
            }
            lines << flat.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
        shown = lines.join(u'\n');
    }
    if (shown != text()) {
        const bool heightChanges = shown.count(u'\n') != text().count(u'\n');
        setText(shown);
        if (heightChanges)
            updateGeometry();
    }
    setToolTip(m_elided ? m_full : QString());
}
