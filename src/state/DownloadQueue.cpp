// The download-queue part: the jobs it holds, the engine's events about them, and the activity its views
// draw.
#include "DownloadQueue.h"

#include "AppModel.h"
#include "Job.h"

#include <QTimer>

#include <algorithm>

DownloadQueue::DownloadQueue(AppModel& app) : m_app(app) {}

DownloadQueue::~DownloadQueue() = default;

Job* DownloadQueue::findJob(const QString& id) const {
    if (m_currentDownload && m_currentDownload->id() == id)
        return m_currentDownload.get();
    return m_jobIndex.value(id, nullptr);
}

void DownloadQueue::apply(const EngineEvent::JobStarted& event) {
    if (Job* job = findJob(event.jobId))
        job->apply(event);
}

void DownloadQueue::apply(const EngineEvent::JobMeta& event) {
    if (Job* job = findJob(event.jobId))
        job->apply(event);
}

void DownloadQueue::apply(const EngineEvent::JobProgress& event) {
    if (Job* job = findJob(event.jobId))
        job->apply(event);
}

void DownloadQueue::apply(const EngineEvent::JobState& event) {
    Job* job = findJob(event.jobId);
    // A job that ended changes the saved queue.
    if (job && job->apply(event))
        persistQueue();
}

void DownloadQueue::insertJobs(int at, std::vector<std::shared_ptr<Job>> jobs) {
    if (jobs.empty())
        return;
    at = std::clamp(at, 0, int(m_jobs.size()));
    const int last = at + int(jobs.size()) - 1;
    Q_EMIT jobsAboutToBeInserted(at, last);
    for (const auto& job : jobs) {
        m_jobIndex.insert(job->id(), job.get());
        watchActivity(job.get());
    }
    m_jobs.insert(m_jobs.begin() + at, std::make_move_iterator(jobs.begin()),
                  std::make_move_iterator(jobs.end()));
    Q_EMIT jobsInserted(at, last);
    Q_EMIT jobsChanged();
    scheduleActivity(false);
}

void DownloadQueue::removeJobs(int first, int count) {
    first = std::max(first, 0);
    count = std::min(count, int(m_jobs.size()) - first);
    if (count <= 0)
        return;
    const int last = first + count - 1;
    Q_EMIT jobsAboutToBeRemoved(first, last);
    const auto begin = m_jobs.begin() + first;
    for (auto it = begin; it != begin + count; ++it)
        forgetJob(it->get());
    m_jobs.erase(begin, begin + count);
    Q_EMIT jobsRemoved(first, last);
    Q_EMIT jobsChanged();
    scheduleActivity(false);
}

void DownloadQueue::moveJob(int from, int to) {
    const int size = int(m_jobs.size());
    if (from < 0 || from >= size || to < 0 || to >= size || from == to)
        return;
    Q_EMIT jobAboutToBeMoved(from, to);
    auto job = std::move(m_jobs[from]);
    m_jobs.erase(m_jobs.begin() + from);
    m_jobs.insert(m_jobs.begin() + to, std::move(job));
    Q_EMIT jobMoved(from, to);
    Q_EMIT jobsChanged();
    scheduleActivity(false);
}

void DownloadQueue::resetJobs(std::vector<std::shared_ptr<Job>> jobs) {
    Q_EMIT jobsAboutToBeReset();
    for (const auto& job : m_jobs)
        forgetJob(job.get());
    m_jobs = std::move(jobs);
    for (const auto& job : m_jobs) {
        m_jobIndex.insert(job->id(), job.get());
        watchActivity(job.get());
    }
    Q_EMIT jobsReset();
    Q_EMIT jobsChanged();
    scheduleActivity(false);
}

void DownloadQueue::forgetJob(Job* job) {
    m_jobIndex.remove(job->id());
    m_unsavedJobs.remove(job);
    if (job != m_currentDownload.get())
        disconnect(job, nullptr, this, nullptr);
}

int DownloadQueue::jobRow(const Job* job) const {
    const auto it =
        std::find_if(m_jobs.begin(), m_jobs.end(), [job](const auto& j) { return j.get() == job; });
    return it == m_jobs.end() ? -1 : int(it - m_jobs.begin());
}

std::vector<std::shared_ptr<Job>> DownloadQueue::activeJobs() const {
    std::vector<std::shared_ptr<Job>> out;
    for (const auto& job : m_jobs) {
        if (!job->state().isFinished() && job->state().kind != Job::State::Waiting)
            out.push_back(job);
    }
    return out;
}

std::vector<std::shared_ptr<Job>> DownloadQueue::allActiveJobs() const {
    std::vector<std::shared_ptr<Job>> out;
    if (m_currentDownload && !m_currentDownload->state().isFinished())
        out.push_back(m_currentDownload);
    for (auto& job : activeJobs())
        out.push_back(std::move(job));
    return out;
}

std::vector<std::shared_ptr<Job>> DownloadQueue::waitingJobs() const {
    std::vector<std::shared_ptr<Job>> out;
    for (const auto& job : m_jobs) {
        if (job->state().kind == Job::State::Waiting)
            out.push_back(job);
    }
    return out;
}

std::optional<double> DownloadQueue::overallProgress() const {
    const auto jobs = allActiveJobs();
    if (jobs.empty())
        return std::nullopt;
    const bool unknownTotal =
        std::any_of(jobs.begin(), jobs.end(), [](const auto& job) { return job->bytesTotal() <= 0; });
    if (unknownTotal) {
        double sum = 0;
        for (const auto& job : jobs)
            sum += job->fraction();
        return sum / double(jobs.size());
    }
    double total = 0;
    double done = 0;
    for (const auto& job : jobs) {
        total += double(job->bytesTotal());
        done += double(job->bytesDone());
    }
    return std::min(done / total, 1.0);
}

void DownloadQueue::watchActivity(Job* job) {
    connect(job, &Job::stateChanged, this, [this, job] {
        scheduleActivity(false);
        Q_EMIT jobStateChanged(job);
    });
    connect(job, &Job::progressChanged, this, [this, job] {
        scheduleActivity(true);
        Q_EMIT jobProgressChanged(job);
    });
    connect(job, &Job::detailsChanged, this, [this, job] { Q_EMIT jobDetailsChanged(job); });
}

void DownloadQueue::scheduleActivity(bool progressOnly) {
    // State and membership changes are told on the next turn, once per burst; progress at most ten
    // times a second.
    if (progressOnly) {
        if (!m_progressActivity) {
            m_progressActivity = new QTimer(this);
            m_progressActivity->setSingleShot(true);
            m_progressActivity->setInterval(100);
            connect(m_progressActivity, &QTimer::timeout, this, &DownloadQueue::activityChanged);
        }
        if (!m_progressActivity->isActive())
            m_progressActivity->start();
        return;
    }
    if (m_activityScheduled)
        return;
    m_activityScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_activityScheduled = false;
        Q_EMIT activityChanged();
    });
}
