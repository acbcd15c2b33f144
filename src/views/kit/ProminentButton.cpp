#include "kit/ProminentButton.h"

#include "kit/Icons.h"
#include "kit/Theme.h"

#include <QEvent>

ProminentButton::ProminentButton(const QString& symbol, QWidget* parent)
    : QPushButton(parent), m_symbol(symbol) {
    restyle();
}

bool ProminentButton::event(QEvent* e) {
    if (e->type() == QEvent::ApplicationPaletteChange)
        restyle();
    return QPushButton::event(e);
}

void ProminentButton::restyle() {
    const QPalette p = Theme::palette();
    const QColor accent = Theme::ink(Theme::Ink::Accent, p);
    const QColor on = Theme::ink(Theme::Ink::OnAccent, p);
    setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: none; border-radius: 6px;"
                                 " padding: 5px 14px; }"
                                 "QPushButton:hover { background: %3; }"
                                 "QPushButton:pressed { background: %4; }"
                                 "QPushButton:disabled { background: %5; color: %6; }")
                      .arg(accent.name(), on.name(), accent.lighter(110).name(), accent.darker(115).name(),
                           Theme::withOpacity(accent, 0.35).name(QColor::HexArgb),
                           Theme::withOpacity(on, 0.75).name(QColor::HexArgb)));
    if (!m_symbol.isEmpty())
        setIcon(QIcon(Icons::tinted(m_symbol, 14, on, devicePixelRatioF())));
}
