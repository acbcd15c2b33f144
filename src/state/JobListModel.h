#pragma once

#include <QAbstractListModel>
#include <QSet>
#include <QTimer>

class DownloadQueue;
class Job;

// The batch queue as rows, for a list view with a painting delegate. Rows follow the queue's inserts,
// removals and moves one by one; a row is redrawn only for the roles that changed, and progress, which
// can arrive many times a second per job, is gathered and signalled at most once per flush interval.
class JobListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        JobRole = Qt::UserRole + 1, // Job*
        TitleRole,
        ChannelRole,
        URLRole,
        ThumbnailURLRole,
        OutputPathRole,
        StateRole, // Job::State::Kind as int
        FailureRole,
        StatusLineRole,
        FractionRole,
        BytesDoneRole,
        BytesTotalRole,
        SpeedRole,
        EtaRole,
    };

    static constexpr int defaultFlushIntervalMs = 100;

    explicit JobListModel(DownloadQueue* queue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    Job* jobAt(int row) const;
    // How long progress is gathered before its rows are signalled.
    void setFlushInterval(int ms) { m_flush.setInterval(ms); }

private:
    // Forgets the progress gathered for rows that are leaving.
    void dropPending(int first, int last);
    void rowChanged(Job* job, const QList<int>& roles);
    void progressArrived(Job* job);
    void flushProgress();

    DownloadQueue* m_queue;
    QTimer m_flush;
    QSet<Job*> m_progressDirty;
};
