#include "batch/QueueListView.h"

#include "JobListModel.h"
#include "kit/Theme.h"
#include "rows/JobRowDelegate.h"

#include <QCoreApplication>
#include <QPainter>
#include <QWheelEvent>

namespace {

// The job row with a hairline under it, except under the last row.
class DividedRowDelegate : public JobRowDelegate {
public:
    using JobRowDelegate::JobRowDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        JobRowDelegate::paint(painter, option, index);
        if (index.row() + 1 >= index.model()->rowCount())
            return;
        const QRect row = option.rect;
        painter->fillRect(QRect(row.left(), row.bottom(), row.width(), 1),
                          Theme::ink(Theme::Ink::Quaternary, Theme::palette()));
    }
};

} // namespace

QueueListView::QueueListView(AppModel* model, QWidget* parent)
    : QListView(parent), m_rows(new JobListModel(model, this)) {
    setObjectName(QStringLiteral("queue_list"));
    setFrameShape(QFrame::NoFrame);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The pane's background shows through, as behind the rest of its column.
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    m_delegate = new DividedRowDelegate(model, this);
    setItemDelegate(m_delegate);
    setModel(m_rows);
    // The divider under the row above the last one comes and goes with the last row.
    auto lastRowChanged = [this] {
        const int n = m_rows->rowCount();
        if (n >= 2)
            update(m_rows->index(n - 2));
    };
    connect(m_rows, &QAbstractItemModel::rowsInserted, this, lastRowChanged);
    connect(m_rows, &QAbstractItemModel::rowsRemoved, this, lastRowChanged);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_rows, signal, this, &QueueListView::fitHeight);
    connect(m_rows, &QAbstractItemModel::modelReset, this, &QueueListView::fitHeight);
    connect(m_rows, &QAbstractItemModel::rowsMoved, this, [this] { viewport()->update(); });
    fitHeight();
}

QSize QueueListView::sizeHint() const {
    return {QListView::sizeHint().width(), m_rows->rowCount() * JobRowDelegate::rowHeight};
}

void QueueListView::fitHeight() {
    setFixedHeight(m_rows->rowCount() * JobRowDelegate::rowHeight);
}

void QueueListView::wheelEvent(QWheelEvent* event) {
    // The list never scrolls itself: the scroll area around it does, wherever the wheel turns.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
            QCoreApplication::sendEvent(area->viewport(), event);
            return;
        }
    }
    event->ignore();
}
