#include "batch/QueueListView.h"

#include "AppModel.h"
#include "DownloadQueue.h"
#include "Job.h"
#include "JobListModel.h"
#include "Strings.h"
#include "kit/Theme.h"
#include "rows/JobRowContent.h"
#include "rows/JobRowDelegate.h"

#include <QCoreApplication>
#include <QMenu>
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

// The queue's rows as a screen reader reads them: the title, then the row's caption.
class QueueRows : public JobListModel {
public:
    using JobListModel::JobListModel;

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::AccessibleTextRole && role != Qt::AccessibleDescriptionRole)
            return JobListModel::data(index, role);
        const Job* job = jobAt(index.row());
        if (!job)
            return {};
        if (role == Qt::AccessibleTextRole)
            return job->title();
        return JobRowContent::of(*job).caption();
    }
};

using Action = JobRowContent::Action;

} // namespace

QueueListView::QueueListView(AppModel* model, QWidget* parent)
    : RowListView(parent), m_model(model), m_rows(new QueueRows(&model->queuePart(), this)) {
    setObjectName(QStringLiteral("queue_list"));
    setFrameShape(QFrame::NoFrame);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
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

    setActions({
        [this](const QModelIndex& index) { return trigger(index.row(), int(Action::Primary)); },
        [this](const QModelIndex& index) {
            const Job* job = m_rows->jobAt(index.row());
            const bool done = job && job->state().kind == Job::State::Done;
            return trigger(index.row(), int(done ? Action::Reveal : Action::Primary));
        },
        [this](const QModelIndex& index) { return trigger(index.row(), int(Action::Remove)); },
        [this](const QModelIndex& index, QMenu& menu) {
            const Job* job = m_rows->jobAt(index.row());
            if (!job)
                return;
            const JobRowContent c = JobRowContent::of(*job);
            // The job, not its row: the row may have moved when an entry is chosen.
            const QString id = job->id();
            for (int i = 0; i < JobRowContent::actionCount; ++i) {
                if (i == int(Action::Remove))
                    menu.addSeparator();
                QAction* action = menu.addAction(Strings::text(c.icons[i].labelKey));
                action->setObjectName(c.icons[i].labelKey);
                action->setEnabled(c.icons[i].enabled);
                connect(action, &QAction::triggered, this, [this, id, i] {
                    const auto& jobs = m_model->queuePart().jobs();
                    for (int r = 0; r < int(jobs.size()); ++r) {
                        if (jobs[std::size_t(r)]->id() == id) {
                            trigger(r, i);
                            return;
                        }
                    }
                });
            }
        },
    });
}

bool QueueListView::trigger(int row, int action) {
    Job* job = m_rows->jobAt(row);
    const int at = job ? m_model->queuePart().jobRow(job) : -1;
    if (at < 0)
        return false;
    const JobRowContent c = JobRowContent::of(*job);
    if (!c.icons[std::size_t(action)].enabled)
        return true;
    // The model's own pointer: the action may outlive this row (a removal drops it from the list).
    const std::shared_ptr<Job> shared = m_model->queuePart().jobs()[std::size_t(at)];
    JobRowContent::trigger(*m_model, shared, static_cast<Action>(action));
    return true;
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
