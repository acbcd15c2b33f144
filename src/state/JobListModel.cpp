#include "JobListModel.h"

#include "DownloadQueue.h"
#include "Job.h"

#include <algorithm>

namespace {
const QList<int> detailRoles{Qt::DisplayRole, JobListModel::TitleRole, JobListModel::ChannelRole,
                             JobListModel::ThumbnailURLRole, JobListModel::OutputPathRole};
const QList<int> stateRoles{JobListModel::StateRole, JobListModel::FailureRole, JobListModel::StatusLineRole};
const QList<int> progressRoles{JobListModel::FractionRole,   JobListModel::BytesDoneRole,
                               JobListModel::BytesTotalRole, JobListModel::SpeedRole,
                               JobListModel::EtaRole,        JobListModel::StatusLineRole};
} // namespace

JobListModel::JobListModel(DownloadQueue* queue, QObject* parent)
    : QAbstractListModel(parent), m_queue(queue) {
    m_flush.setSingleShot(true);
    m_flush.setInterval(defaultFlushIntervalMs);
    connect(&m_flush, &QTimer::timeout, this, &JobListModel::flushProgress);

    connect(queue, &DownloadQueue::jobsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(queue, &DownloadQueue::jobsInserted, this, [this] { endInsertRows(); });
    connect(queue, &DownloadQueue::jobsAboutToBeRemoved, this, [this](int first, int last) {
        dropPending(first, last);
        beginRemoveRows({}, first, last);
    });
    connect(queue, &DownloadQueue::jobsRemoved, this, [this] { endRemoveRows(); });
    connect(queue, &DownloadQueue::jobAboutToBeMoved, this, [this](int from, int to) {
        // Qt counts the destination before the move: moving down lands before row to + 1.
        beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    });
    connect(queue, &DownloadQueue::jobMoved, this, [this] { endMoveRows(); });
    connect(queue, &DownloadQueue::jobsAboutToBeReset, this, [this] {
        beginResetModel();
        dropPending(0, rowCount() - 1);
    });
    connect(queue, &DownloadQueue::jobsReset, this, [this] { endResetModel(); });
    // Status lines are texts of the current language.
    connect(queue, &DownloadQueue::textsChanged, this, [this] {
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0), index(rowCount() - 1), {StatusLineRole});
    });
    // The state relays every change of its jobs; a job that is not a row (the current download) is
    // passed over.
    connect(queue, &DownloadQueue::jobDetailsChanged, this,
            [this](Job* job) { rowChanged(job, detailRoles); });
    connect(queue, &DownloadQueue::jobStateChanged, this, [this](Job* job) { rowChanged(job, stateRoles); });
    connect(queue, &DownloadQueue::jobProgressChanged, this, &JobListModel::progressArrived);
}

int JobListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_queue->jobs().size());
}

Job* JobListModel::jobAt(int row) const {
    const auto& jobs = m_queue->jobs();
    return row >= 0 && row < int(jobs.size()) ? jobs[row].get() : nullptr;
}

QVariant JobListModel::data(const QModelIndex& index, int role) const {
    const Job* job = index.isValid() && !index.parent().isValid() ? jobAt(index.row()) : nullptr;
    if (!job)
        return {};
    switch (role) {
    case JobRole:
        return QVariant::fromValue(const_cast<Job*>(job));
    case Qt::DisplayRole:
    case TitleRole:
        return job->title();
    case ChannelRole:
        return job->channel();
    case URLRole:
        return job->url();
    case ThumbnailURLRole:
        return job->thumbnailURL().value_or(QString());
    case OutputPathRole:
        return job->outputPath().value_or(QString());
    case StateRole:
        return job->stateKind();
    case FailureRole:
        return job->state().kind == Job::State::Failed ? job->state().message : QString();
    case StatusLineRole:
        return job->statusLine();
    case FractionRole:
        return job->fraction();
    case BytesDoneRole:
        return job->bytesDone();
    case BytesTotalRole:
        return job->bytesTotal();
    case SpeedRole:
        return job->speedBytesPerSecond();
    case EtaRole:
        return job->etaSeconds();
    default:
        return {};
    }
}

QHash<int, QByteArray> JobListModel::roleNames() const {
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert({{JobRole, "job"},
                  {TitleRole, "title"},
                  {ChannelRole, "channel"},
                  {URLRole, "url"},
                  {ThumbnailURLRole, "thumbnailURL"},
                  {OutputPathRole, "outputPath"},
                  {StateRole, "state"},
                  {FailureRole, "failure"},
                  {StatusLineRole, "statusLine"},
                  {FractionRole, "fraction"},
                  {BytesDoneRole, "bytesDone"},
                  {BytesTotalRole, "bytesTotal"},
                  {SpeedRole, "speed"},
                  {EtaRole, "eta"}});
    return names;
}

void JobListModel::dropPending(int first, int last) {
    for (int row = first; row <= last; ++row)
        m_progressDirty.remove(jobAt(row));
}

void JobListModel::rowChanged(Job* job, const QList<int>& roles) {
    const int row = m_queue->jobRow(job);
    if (row >= 0)
        Q_EMIT dataChanged(index(row), index(row), roles);
}

void JobListModel::progressArrived(Job* job) {
    if (job == m_queue->currentDownload().get() && m_queue->jobRow(job) < 0)
        return;
    m_progressDirty.insert(job);
    if (!m_flush.isActive())
        m_flush.start();
}

void JobListModel::flushProgress() {
    // Rows are looked up once per flush, in one pass, and signalled in runs of neighbours.
    QList<int> rows;
    rows.reserve(m_progressDirty.size());
    const auto& jobs = m_queue->jobs();
    for (int row = 0; row < int(jobs.size()) && rows.size() < m_progressDirty.size(); ++row) {
        if (m_progressDirty.contains(jobs[row].get()))
            rows.append(row);
    }
    m_progressDirty.clear();
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        Q_EMIT dataChanged(index(rows[i]), index(rows[j]), progressRoles);
        i = j + 1;
    }
}
