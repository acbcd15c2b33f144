#pragma once

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class AppModel;
class ElidedLabel;
class Job;
class QProgressBar;
class RowIcon;
class Thumbnail;

// The row of one download job: thumbnail, title, a progress bar while bytes arrive, the caption and the
// four icons (pause, resume or retry; reveal; cancel; remove). It follows the job's signals and routes
// each icon by the job's state at the moment of the click. Lists of jobs draw the same row with
// JobRowDelegate instead of one widget per job.
class JobRow : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize thumbnailSize{64, 36};
    static constexpr int thumbnailRadius = 4;
    static constexpr int minimumHeight = 56;

    JobRow(AppModel* model, QWidget* parent = nullptr);

    void setJob(std::shared_ptr<Job> job);
    const std::shared_ptr<Job>& job() const { return m_job; }

    ElidedLabel* titleLabel() const { return m_title; }
    ElidedLabel* captionLabel() const { return m_caption; }
    QProgressBar* progressBar() const { return m_progress; }
    Thumbnail* thumbnail() const { return m_thumbnail; }
    // Left to right: pause/resume/retry, reveal, cancel, remove.
    RowIcon* icon(int index) const { return m_icons[index]; }

private:
    void refresh();
    void refreshDetails();

    AppModel* m_model;
    std::shared_ptr<Job> m_job;
    QList<QMetaObject::Connection> m_jobConnections;
    Thumbnail* m_thumbnail;
    ElidedLabel* m_title;
    QProgressBar* m_progress;
    ElidedLabel* m_caption;
    std::array<RowIcon*, 4> m_icons{};
};
