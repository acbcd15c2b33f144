#include "settings/FolderLabel.h"

#include <QFontMetrics>

FolderLabel::FolderLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void FolderLabel::setFullText(const QString& text) {
    if (text == m_full)
        return;
    m_full = text;
    updateGeometry();
    elide();
}

QSize FolderLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(m_full) + 2, fontMetrics().lineSpacing()};
}

QSize FolderLabel::minimumSizeHint() const {
    return {std::min(60, sizeHint().width()), fontMetrics().lineSpacing()};
}

void FolderLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void FolderLabel::elide() {
    QString line = m_full;
    line.replace(u'\n', u' ');
    setText(fontMetrics().elidedText(line, Qt::ElideMiddle, std::max(1, width())));
}
