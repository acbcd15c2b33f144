#include "rows/RowIcon.h"

#include "kit/Icons.h"
#include "kit/Theme.h"

#include <QEvent>

RowIcon::RowIcon(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setFixedSize(frame);
    setIconSize(QSize(RowDelegate::iconSide, RowDelegate::iconSide));
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QToolButton::clicked, this, [this] {
        if (m_action)
            m_action();
    });
}

RowIcon::RowIcon(QString symbol, QString label, std::optional<QString> help, bool enabled,
                 std::function<void()> action, QWidget* parent)
    : RowIcon(parent) {
    m_action = std::move(action);
    set(symbol, label, help, enabled);
}

void RowIcon::set(const QString& symbol, const QString& label, const std::optional<QString>& help,
                  bool enabled) {
    if (symbol != m_symbol) {
        m_symbol = symbol;
        paintIcon();
    }
    if (accessibleName() != label)
        setAccessibleName(label);
    const QString tip = help.value_or(label);
    if (toolTip() != tip)
        setToolTip(tip);
    if (isEnabled() != enabled)
        setEnabled(enabled);
}

void RowIcon::changeEvent(QEvent* event) {
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        paintIcon();
}

void RowIcon::paintIcon() {
    if (m_symbol.isEmpty()) {
        setIcon(QIcon());
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const int side = iconSize().width();
    QIcon icon;
    icon.addPixmap(Icons::tinted(m_symbol, side, Theme::ink(Theme::Ink::Secondary, palette()), ratio),
                   QIcon::Normal);
    icon.addPixmap(Icons::tinted(m_symbol, side, Theme::ink(Theme::Ink::Primary, palette()), ratio),
                   QIcon::Active);
    icon.addPixmap(Icons::tinted(m_symbol, side, Theme::ink(Theme::Ink::Quaternary, palette()), ratio),
                   QIcon::Disabled);
    setIcon(icon);
}
