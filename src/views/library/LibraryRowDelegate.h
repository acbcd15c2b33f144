#pragma once

#include "kit/RowDelegate.h"
#include "library/LibraryRowContent.h"

class AppModel;
class LibraryPaneModel;
class ThumbnailCache;

// Paints every row of the library list (section headers, search hits, groups, library items) and turns
// clicks on their parts into signals for the pane, so 10,000 items cost what 20 do.
class LibraryRowDelegate : public RowDelegate {
    Q_OBJECT

public:
    static constexpr int rowHeight = 56;
    static constexpr int headerHeight = 30;
    static constexpr QSize pictureSize{84, 47};

    // The parts of a row that take a click.
    enum class Spot { None, Checkbox, First, Open, Reveal, Web, Remove, OpenGroup };

    LibraryRowDelegate(AppModel* model, LibraryPaneModel* rows, QAbstractItemView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where `spot` lies in a row of `row`'s kind drawn in `rect` (empty when that row has no such part).
    QRect spotRect(int row, const QRect& rect, Spot spot) const;
    Spot spotAt(int row, const QRect& rect, const QPoint& pos) const;
    // Whether a part of `row` does something now, and the name of what it does.
    bool spotEnabled(int row, Spot spot) const;
    QString spotLabel(int row, Spot spot) const;
    // The time of a hit's passage as its row shows it.
    static QString hitTime(const SearchHit& hit);
    // A hit row fits its excerpt (up to three lines) and its title.
    static int hitRowHeight(const SearchHit& hit, int rowWidth);
    ThumbnailCache* thumbnails() const { return m_thumbnails; }

Q_SIGNALS:
    // A click on an enabled part of a row.
    void spotClicked(int row, LibraryRowDelegate::Spot spot);
    // A click elsewhere on a row (hits, groups and items), with the modifiers held.
    void rowClicked(int row, Qt::KeyboardModifiers modifiers);

protected:
    int partAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const override;
    Tip tipAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const override;
    bool buttonEvent(const QMouseEvent& mouse, const QModelIndex& index, int part) override;

private:
    void paintHeader(QPainter* painter, const QRect& rect, const QString& text) const;
    void paintItem(QPainter* painter, const QRect& rect, const QModelIndex& index, bool selected) const;
    void paintGroup(QPainter* painter, const QRect& rect, const QModelIndex& index, bool selected) const;
    void paintHit(QPainter* painter, const QRect& rect, const QModelIndex& index, bool selected) const;
    // The selection, the check box and the picture that items and groups begin with; returns where the
    // picture lies.
    QRect paintLead(QPainter* painter, const QRect& rect, int row, bool selected, const QImage& image,
                    bool dim) const;
    bool spotHovered(const QModelIndex& index, Spot spot) const;

    AppModel* m_model;
    LibraryPaneModel* m_rows;
    ThumbnailCache* m_thumbnails;
};
