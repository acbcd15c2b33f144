#pragma once

#include "kit/RowDelegate.h"

#include <QElapsedTimer>

// Paints the rows of the listing picker: a section (its name, how many of its entries are selected, an
// "Open" link and a divider under it) or an entry (a check box and its title, the address when it has
// none). A click anywhere on an entry toggles it; a click on a section's link opens it (the picker opens
// it on a double click too, and the keys through its list). The load-more row is a widget of the picker's;
// nothing is painted for it.
class ListingRowDelegate : public RowDelegate {
    Q_OBJECT

public:
    explicit ListingRowDelegate(QObject* parent = nullptr);

    // Rows draw their content this far inside their edges, where the focus ring goes.
    static constexpr int inset = 6;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // Where a section row drawn in `row` shows its open link.
    static QRect openLinkRect(const QRect& row);
    static int sectionHeight();
    static int entryHeight();
    static int loadMoreHeight();

Q_SIGNALS:
    void openRequested(const QModelIndex& index);

private:
    // A section was just opened by a click on its link: the second click of a double click lands on an
    // entry of the section and must not toggle it.
    void swallowNextRelease();
    // Set when a section opened; a release within the double-click interval after it is swallowed.
    QElapsedTimer m_opened;
};
