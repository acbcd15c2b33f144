#include "shell/SidebarDelegate.h"

#include "shell/SidebarModel.h"

#include "kit/Icons.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int sideInset = 8;
constexpr int gap = 6;
constexpr int rowSpace = 3;
constexpr int rowPadding = 5;
} // namespace

QSize SidebarDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int text = QFontMetrics(option.font).height();
    return {option.rect.width(), qMax(text, iconSize) + 2 * (rowPadding + rowSpace)};
}

void SidebarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette& p = option.palette;
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;
    const QRect row = option.rect.adjusted(0, rowSpace / 2, 0, -rowSpace / 2);
    if (selected || hovered) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(row), 6, 6);
        painter->fillPath(shape, selected ? Theme::withOpacity(Theme::ink(Theme::Ink::Accent, p),
                                                               Theme::isDark(p) ? 0.4 : 0.22)
                                          : Theme::segmentTrack(p));
    }

    const QRect inner = row.adjusted(sideInset, 0, -sideInset, 0);
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QString symbol = index.data(SidebarModel::SymbolRole).toString();
    const QColor iconInk =
        selected ? Theme::ink(Theme::Ink::Accent, p) : Theme::ink(Theme::Ink::Secondary, p);
    const QRect iconRect(inner.left(), inner.center().y() - iconSize / 2 + 1, iconSize, iconSize);
    painter->drawPixmap(iconRect, Icons::tinted(symbol, iconSize, iconInk, dpr));

    int right = inner.right();
    const bool locked = index.data(SidebarModel::LockedRole).toBool();
    if (locked) {
        const int lockSize = 11;
        const QRect lockRect(right - lockSize + 1, inner.center().y() - lockSize / 2 + 1, lockSize, lockSize);
        painter->drawPixmap(lockRect, Icons::tinted(QStringLiteral("lock.fill"), lockSize,
                                                    Theme::ink(Theme::Ink::Secondary, p), dpr));
        right = lockRect.left() - gap;
    }
    const int badge = index.data(SidebarModel::BadgeRole).toInt();
    if (badge >= 1) {
        const QString digits = QString::number(badge);
        painter->setFont(option.font);
        painter->setPen(Theme::ink(Theme::Ink::Secondary, p));
        const int width = painter->fontMetrics().horizontalAdvance(digits);
        const QRect badgeRect(right - width + 1, inner.top(), width, inner.height());
        painter->drawText(badgeRect, Qt::AlignRight | Qt::AlignVCenter, digits);
        right = badgeRect.left() - 4;
    }

    const QRect titleRect(iconRect.right() + 1 + 8, inner.top(), right - iconRect.right() - 8,
                          inner.height());
    painter->setFont(option.font);
    painter->setPen(Theme::ink(Theme::Ink::Primary, p));
    const QString title = index.data(SidebarModel::TitleRole).toString();
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(title, Qt::ElideRight, titleRect.width()));
    painter->restore();
}
