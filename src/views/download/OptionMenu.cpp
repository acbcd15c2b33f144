#include "download/OptionMenu.h"

#include "kit/Icons.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QEnterEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

namespace {

// In a menu entry an "&" would be taken for a mnemonic.
QString menuText(QString text) {
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

OptionMenu::OptionMenu(const QString& objectName, QWidget* parent) : QPushButton(parent) {
    setObjectName(objectName);
    setFlat(true);
    setAttribute(Qt::WA_Hover);
    TextStyle::apply(this, TextStyle::Role::Callout, QFont::Medium);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QPushButton::clicked, this, &OptionMenu::popUp);
}

void OptionMenu::setEntries(const QStringList& entries, const QString& value,
                            std::function<QString(const QString&)> display) {
    m_display = std::move(display);
    if (entries == m_entries && value == m_value) {
        update();
        return;
    }
    m_entries = entries;
    m_value = value;
    update();
}

QString OptionMenu::display(const QString& entry) const {
    return m_display ? m_display(entry) : entry;
}

QString OptionMenu::shownText() const {
    return display(m_value);
}

void OptionMenu::setControlWidth(int width) {
    if (width == m_width)
        return;
    m_width = width;
    updateGeometry();
}

QSize OptionMenu::sizeHint() const {
    return {m_width, fontMetrics().height() + 10};
}

void OptionMenu::popUp() {
    if (m_menu)
        m_menu->deleteLater();
    m_menu = new QMenu(this);
    m_menu->setObjectName(objectName() + QStringLiteral("_menu"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const QString& entry : m_entries) {
        QAction* action = m_menu->addAction(menuText(display(entry)));
        action->setObjectName(entry);
        action->setCheckable(true);
        action->setChecked(entry == m_value);
        connect(action, &QAction::triggered, this, [this, entry] {
            m_value = entry;
            update();
            Q_EMIT chosen(entry);
        });
    }
    connect(m_menu, &QObject::destroyed, this, [this] { m_menu = nullptr; });
    m_menu->popup(mapToGlobal(QPoint(0, height())));
}

void OptionMenu::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    m_hovering = isEnabled();
    update();
}

void OptionMenu::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    m_hovering = false;
    update();
}

void OptionMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);
    const QPalette p = Theme::palette();
    const QRectF edge = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.0);
    QPainterPath shape;
    shape.addRoundedRect(edge, 7, 7);
    // A faint drop shadow half a pixel down.
    painter.fillPath(shape.translated(0, 0.5), QColor(0, 0, 0, Theme::isDark(p) ? 40 : 18));
    painter.fillPath(shape, p.color(QPalette::Button));
    painter.setPen(QPen(Theme::ink(Theme::Ink::Quaternary, p), 1));
    painter.drawPath(shape);
    if (m_hovering && isEnabled()) {
        painter.setPen(QPen(Theme::withOpacity(Theme::ink(Theme::Ink::Accent, p), 0.6), 1));
        painter.drawPath(shape);
    }
    // The chevrons at the trailing end, drawn so they never depend on the icon theme.
    const qreal cx = width() - 10 - 3.5;
    const qreal cy = height() / 2.0;
    QPen chevron(Theme::ink(Theme::Ink::Secondary, p), 1.4);
    chevron.setCapStyle(Qt::RoundCap);
    chevron.setJoinStyle(Qt::RoundJoin);
    painter.setPen(chevron);
    painter.drawPolyline(
        QPolygonF({QPointF(cx - 3, cy - 1.5), QPointF(cx, cy - 4.5), QPointF(cx + 3, cy - 1.5)}));
    painter.drawPolyline(
        QPolygonF({QPointF(cx - 3, cy + 1.5), QPointF(cx, cy + 4.5), QPointF(cx + 3, cy + 1.5)}));
    const QRect textRect = rect().adjusted(10, 0, -(10 + 7 + 4), 0);
    painter.setPen(Theme::ink(Theme::Ink::Primary, p));
    painter.setFont(font());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                     fontMetrics().elidedText(shownText(), Qt::ElideRight, textRect.width()));
}
