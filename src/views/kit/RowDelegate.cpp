#include "kit/RowDelegate.h"

#include "kit/Icons.h"
#include "kit/TextStyle.h"
#include "rows/ThumbnailImage.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

RowDelegate::RowDelegate(QAbstractItemView* view, QObject* parent)
    : QStyledItemDelegate(parent ? parent : view), m_view(view) {
    if (view)
        view->setMouseTracking(true);
}

int RowDelegate::partAt(const QModelIndex&, const QRect&, const QPoint&) const {
    return -1;
}

RowDelegate::Tip RowDelegate::tipAt(const QModelIndex&, const QRect&, const QPoint&) const {
    return {};
}

bool RowDelegate::isHovered(const QModelIndex& index, int part) const {
    return part >= 0 && m_hoverPart == part && m_hoverIndex == index;
}

void RowDelegate::hover(const QModelIndex& index, int part) {
    if (m_hoverIndex == index && m_hoverPart == part)
        return;
    m_hoverIndex = index;
    m_hoverPart = part;
    if (!m_view)
        return;
    if (m_handOverParts)
        m_view->viewport()->setCursor(part >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
    m_view->viewport()->update();
}

void RowDelegate::press(const QModelIndex& index, int part) {
    m_pressIndex = index;
    m_pressPart = part;
}

bool RowDelegate::release(const QModelIndex& index, int part) {
    const int pressed = std::exchange(m_pressPart, -1);
    const QPersistentModelIndex pressedIndex = std::exchange(m_pressIndex, QPersistentModelIndex());
    return pressedIndex.isValid() && pressedIndex == index && pressed == part;
}

bool RowDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                              const QModelIndex& index) {
    const auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int part = partAt(index, option.rect, mouse->position().toPoint());
    if (type == QEvent::MouseMove) {
        hover(index, part);
        return false;
    }
    if (mouse->button() != Qt::LeftButton)
        return false;
    return buttonEvent(*mouse, index, part);
}

bool RowDelegate::buttonEvent(const QMouseEvent& mouse, const QModelIndex& index, int part) {
    switch (mouse.type()) {
    case QEvent::MouseButtonDblClick:
        if (!m_doubleClicksPress)
            return false;
        [[fallthrough]];
    case QEvent::MouseButtonPress:
        press(index, part);
        return part >= 0;
    default:
        break;
    }
    if (!release(index, part) || part < 0)
        return false;
    clicked(index, part, mouse.modifiers());
    return true;
}

void RowDelegate::clicked(const QModelIndex&, int, Qt::KeyboardModifiers) {}

bool RowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                            const QModelIndex& index) {
    if (event->type() == QEvent::ToolTip && index.isValid()) {
        const Tip tip = tipAt(index, option.rect, event->pos());
        if (!tip.text.isEmpty()) {
            QToolTip::showText(event->globalPos(), tip.text, view, tip.area);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

QRect RowDelegate::stripBox(const QRect& row, int inset, int count, int i) {
    constexpr int spacing = 2;
    const int total = count * iconFrame.width() + (count - 1) * spacing;
    const int left = row.right() - inset - total + 1 + i * (iconFrame.width() + spacing);
    return {left, row.center().y() - iconFrame.height() / 2, iconFrame.width(), iconFrame.height()};
}

void RowDelegate::beginRow(QPainter* painter) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
}

QPixmap RowDelegate::symbol(const QString& name, int side, const QColor& colour, qreal ratio) {
    return Icons::cachedTinted(name, side, colour, ratio);
}

void RowDelegate::drawCentred(QPainter* painter, const QRectF& box, const QPixmap& pixmap) {
    const QSizeF logical = pixmap.deviceIndependentSize();
    painter->drawPixmap(QPointF(std::round(box.center().x() - logical.width() / 2.0),
                                std::round(box.center().y() - logical.height() / 2.0)),
                        pixmap);
}

void RowDelegate::paintIcon(QPainter* painter, const QRect& box, const QString& symbol, bool enabled,
                            bool hovered) {
    const QPalette p = Theme::palette();
    hovered = hovered && enabled;
    if (hovered) {
        QPainterPath back;
        back.addRoundedRect(QRectF(box), 4, 4);
        painter->fillPath(back, Theme::ink(Theme::Ink::Quaternary, p));
    }
    const QColor colour = !enabled  ? Theme::ink(Theme::Ink::Quaternary, p)
                          : hovered ? Theme::ink(Theme::Ink::Primary, p)
                                    : Theme::ink(Theme::Ink::Secondary, p);
    drawCentred(painter, box,
                RowDelegate::symbol(symbol, iconSide, colour, painter->device()->devicePixelRatioF()));
}

void RowDelegate::paintPicture(QPainter* painter, const QRectF& frame, double radius, const QImage& image,
                               bool dim) {
    painter->save();
    QPainterPath clip;
    clip.addRoundedRect(frame, radius, radius);
    painter->setClipPath(clip);
    if (dim)
        painter->setOpacity(0.4);
    painter->fillRect(frame, Theme::ink(Theme::Ink::Quaternary, Theme::palette()));
    if (!image.isNull())
        painter->drawImage(ThumbnailImage::coverRect(image.size(), frame), image);
    painter->restore();
}

QFont RowDelegate::titleFont() {
    return TextStyle::font(TextStyle::Role::Body, QFont::Medium);
}

QFont RowDelegate::captionFont() {
    return TextStyle::font(TextStyle::Role::Caption);
}

RowDelegate::Lines RowDelegate::lines(int left, int width, int centreY, int gap, int barHeight) {
    const int title = QFontMetrics(titleFont()).height();
    const int caption = QFontMetrics(captionFont()).height();
    const int bar = barHeight > 0 ? barHeight + gap : 0;
    int y = centreY - (title + gap + bar + caption) / 2;
    Lines out;
    out.title = QRect(left, y, width, title);
    y += title + gap;
    if (barHeight > 0) {
        out.bar = QRectF(left, y, width, barHeight);
        y += bar;
    }
    out.caption = QRect(left, y, width, caption);
    return out;
}

void RowDelegate::paintLine(QPainter* painter, const QRect& rect, const QString& text, const QFont& font,
                            const QColor& colour, Qt::Alignment align) {
    painter->setFont(font);
    painter->setPen(colour);
    painter->drawText(rect, align,
                      QFontMetrics(font).elidedText(oneLine(text), Qt::ElideRight, rect.width()));
}

void RowDelegate::paintBar(QPainter* painter, const QRectF& track, double fraction) {
    const QPalette p = Theme::palette();
    const double radius = track.height() / 2.0;
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, radius, radius);
    painter->fillPath(trackPath, Theme::ink(Theme::Ink::Quaternary, p));
    const QRectF fill(track.left(), track.top(), track.width() * fraction, track.height());
    if (fill.width() <= 0)
        return;
    QPainterPath fillPath;
    fillPath.addRoundedRect(fill, radius, radius);
    painter->fillPath(fillPath, Theme::ink(Theme::Ink::Accent, p));
}

void RowDelegate::paintCheckBox(QPainter* painter, const QRect& box, bool on) {
    const QPalette p = Theme::palette();
    const QRectF frame = QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(frame, 3.5, 3.5);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (on) {
        painter->fillPath(path, Theme::ink(Theme::Ink::Accent, p));
        QPen tick(Theme::ink(Theme::Ink::OnAccent, p), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter->setPen(tick);
        const QPointF o = frame.topLeft();
        const double w = frame.width();
        painter->drawPolyline(QPolygonF{o + QPointF(w * 0.24, w * 0.52), o + QPointF(w * 0.43, w * 0.7),
                                        o + QPointF(w * 0.76, w * 0.3)});
    } else {
        painter->fillPath(path, p.color(QPalette::Base));
        painter->setPen(QPen(Theme::ink(Theme::Ink::Tertiary, p), 1));
        painter->drawPath(path);
    }
    painter->restore();
}

void RowDelegate::paintFocus(QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect,
                             double radius) {
    if (!(option.state & QStyle::State_HasFocus))
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath ring;
    ring.addRoundedRect(QRectF(rect).adjusted(1.5, 1.5, -1.5, -1.5), radius, radius);
    QColor colour = Theme::ink(Theme::Ink::Accent, Theme::palette());
    colour.setAlphaF(0.85);
    painter->setPen(QPen(colour, 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(ring);
    painter->restore();
}

QString RowDelegate::oneLine(QString text) {
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    return text;
}
