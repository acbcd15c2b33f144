#pragma once

#include "kit/RowDelegate.h"

#include <QElapsedTimer>
#include <QTimer>

class AppModel;
class ThumbnailCache;

// The job row painted for every row of a list over JobListModel: the same content as JobRow, drawn
// instead of built, so a queue of 10,000 jobs costs what 20 do. Clicks on the four icons run their
// actions by the job's state at the click; hovering an icon shows its label.
class JobRowDelegate : public RowDelegate {
    Q_OBJECT

public:
    static constexpr int rowHeight = 56;

    JobRowDelegate(AppModel* model, QAbstractItemView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where icon `i` (0 to 3) of a row drawn in `row` lies.
    static QRect iconRect(const QRect& row, int i);
    // The moving part of a bar that cannot say how far a download is, `ms` into its sweep.
    static QRectF busySegment(const QRectF& track, qint64 ms);
    static constexpr int busyPeriodMs = 1400;
    ThumbnailCache* thumbnails() const { return m_thumbnails; }

protected:
    int partAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const override;
    Tip tipAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const override;
    void clicked(const QModelIndex& index, int part, Qt::KeyboardModifiers modifiers) override;

private:
    void paintBusyBar(QPainter* painter, const QRectF& track) const;

    AppModel* m_model;
    ThumbnailCache* m_thumbnails;
    // Busy bars move while they are in sight: the area they took at the last painting is painted again
    // at every tick, and the ticks stop when no busy bar was painted since the last one.
    QElapsedTimer m_clock;
    mutable QTimer m_busyTick;
    mutable QRect m_busyArea;
};
