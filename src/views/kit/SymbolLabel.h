#pragma once

#include "kit/Theme.h"

#include <QLabel>

// A symbol of the icon table drawn as a one-colour glyph in its ink, re-drawn when the appearance
// changes.
class SymbolLabel : public QLabel {
    Q_OBJECT

public:
    SymbolLabel(const QString& symbol, int size, Theme::Ink ink, QWidget* parent = nullptr);

    void setSymbol(const QString& symbol);
    void setInk(Theme::Ink ink);
    const QString& symbol() const { return m_symbol; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void repaintSymbol();

    QString m_symbol;
    int m_size;
    Theme::Ink m_ink;
};
