#include "kit/SymbolLabel.h"

#include "kit/Icons.h"

#include <QEvent>

SymbolLabel::SymbolLabel(const QString& symbol, int size, Theme::Ink ink, QWidget* parent)
    : QLabel(parent), m_symbol(symbol), m_size(size), m_ink(ink) {
    setFixedSize(size, size);
    setAlignment(Qt::AlignCenter);
    repaintSymbol();
}

void SymbolLabel::setSymbol(const QString& symbol) {
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    repaintSymbol();
}

void SymbolLabel::setInk(Theme::Ink ink) {
    if (ink == m_ink)
        return;
    m_ink = ink;
    repaintSymbol();
}

void SymbolLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        repaintSymbol();
}

void SymbolLabel::repaintSymbol() {
    setPixmap(Icons::tinted(m_symbol, m_size, Theme::ink(m_ink, Theme::palette()), devicePixelRatioF()));
}
