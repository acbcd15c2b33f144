#include "kit/LinkButton.h"

#include "kit/Icons.h"
#include "kit/Theme.h"

#include <QEvent>

LinkButton::LinkButton(const QString& objectName, QWidget* parent) : QPushButton(parent) {
    setObjectName(objectName);
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    // No bezel and no padding: the text lines up with the labels around it.
    setStyleSheet(QStringLiteral(
        "QPushButton { border: none; padding: 0px; background: transparent; text-align: left; }"));
    Theme::setForeground(this, Theme::Ink::Accent);
}

void LinkButton::setSymbol(const QString& symbol) {
    m_symbol = symbol;
    paintSymbol();
}

void LinkButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        paintSymbol();
}

void LinkButton::paintSymbol() {
    if (m_symbol.isEmpty()) {
        setIcon(QIcon());
        return;
    }
    const int side = fontMetrics().height() - 2;
    setIconSize(QSize(side, side));
    const QColor colour = palette().color(QPalette::Active, QPalette::ButtonText);
    QIcon icon(Icons::tinted(m_symbol, side, colour, devicePixelRatioF()));
    icon.addPixmap(
        Icons::tinted(m_symbol, side, Theme::withOpacity(colour, colour.alphaF() * 0.5), devicePixelRatioF()),
        QIcon::Disabled);
    setIcon(icon);
}
