#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class DownloadQueue;
class Job;
class QLabel;

// The one-line count of the batch queue by group of states, pinned under the batch pane: waiting,
// downloading, paused, done and failed, each shown only when it counts a job. Cancelled jobs are not
// counted.
class QueueSummary : public QWidget {
    Q_OBJECT

public:
    struct Part {
        QString key; // text key of the group
        int count = 0;
        bool operator==(const Part&) const = default;
    };

    explicit QueueSummary(DownloadQueue* queue, QWidget* parent = nullptr);

    // The groups that count at least one job, in display order.
    static std::vector<Part> parts(const std::vector<std::shared_ptr<Job>>& jobs);

    // The label of each group, in display order; hidden while its group is empty.
    const std::vector<QLabel*>& labels() const { return m_labels; }

private:
    void schedule();
    void refresh();

    DownloadQueue* m_queue;
    std::vector<QLabel*> m_labels;
    bool m_scheduled = false;
};
