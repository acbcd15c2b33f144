#pragma once

#include "kit/RowDelegate.h"
#include "transcription/TranscriptionRowContent.h"

class AppModel;
class TranscriptionListModel;

// The row of one transcription painted for every row of a list over TranscriptionListModel: the quote
// icon, the title, a progress bar while the job is queued or running, the caption by state, and its
// controls (cancel, reveal the transcript, remove) at the trailing edge; a divider under every row but
// the last. Clicks on a control run it by the job as it is at the click; hovering names it, and shows a
// title cut short in full.
class TranscriptionRowDelegate : public RowDelegate {
    Q_OBJECT

public:
    static constexpr int minimumHeight = 56;
    static constexpr QSize iconSize{64, 36};
    static constexpr int barMaximumWidth = 260;

    TranscriptionRowDelegate(AppModel* model, TranscriptionListModel* rows, QAbstractItemView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    struct Placed {
        TranscriptionRowContent::Control control;
        QRect rect;
    };
    // Where the controls of `content` lie in a row drawn in `row`, left to right.
    static std::vector<Placed> layout(const QRect& row, const TranscriptionRowContent& content);
    // Where the title, bar and caption lie: between the icon and the first control.
    static QRect textRect(const QRect& row, const std::vector<Placed>& placed);
    static int rowHeight();

protected:
    int partAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const override;
    Tip tipAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const override;
    void clicked(const QModelIndex& index, int part, Qt::KeyboardModifiers modifiers) override;

private:
    AppModel* m_model;
    TranscriptionListModel* m_rows;
};
