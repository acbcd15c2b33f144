#pragma once

#include <QStyledItemDelegate>

// Paints a sidebar row: symbol, title, then at the trailing edge the badge count and the lock mark.
class SidebarDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int iconSize = 16;
};
