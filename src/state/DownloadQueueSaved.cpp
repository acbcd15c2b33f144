// The saved batch queue.
#include "AppModel.h"

#include "Spawn.h"

#include <QFuture>
#include <QJsonDocument>
#include <QPromise>
#include <QThreadPool>

#include <QCoro/QCoroFuture>

#include <algorithm>

void AppModel::insertJobs(int at, std::vector<std::shared_ptr<Job>> jobs) {
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

void AppModel::removeJobs(int first, int count) {
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

void AppModel::moveJob(int from, int to) {
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

void AppModel::resetJobs(std::vector<std::shared_ptr<Job>> jobs) {
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

void AppModel::forgetJob(Job* job) {
    m_jobIndex.remove(job->id());
    m_unsavedJobs.remove(job);
    if (job != m_currentDownload.get())
        disconnect(job, nullptr, this, nullptr);
}

int AppModel::jobRow(const Job* job) const {
    const auto it =
        std::find_if(m_jobs.begin(), m_jobs.end(), [job](const auto& j) { return j.get() == job; });
    return it == m_jobs.end() ? -1 : int(it - m_jobs.begin());
}

void AppModel::persistQueue() {
    m_queueSaveWanted = true;
    // Until the saved queue has been read, a save would write over rows that are not in memory yet; and
    // while one save is on its way, the next one waits for it and then carries the queue as it is then.
    // While the engine is down the save waits for the restart, which saves.
    if (!m_didLoadSession || m_queueSaveInFlight || !m_sessionLive)
        return;
    m_queueSaveInFlight = true;
    spawn(this, [this]() -> QCoro::Task<void> { co_await sendQueueSaves(); });
}

EngineMethods::QueueSave::Params AppModel::queueSnapshot() const {
    EngineMethods::QueueSave::Params params;
    for (const auto& job : m_jobs) {
        // A job that failed with its partial file kept (the engine stopped under it, or the disk was
        // full) is still to be finished: it is saved as paused, to be resumed from its bytes.
        const bool kept = job->state().kind == Job::State::Failed && job->keptForResume();
        if ((job->state().isFinished() && !kept) || m_unsavedJobs.contains(job.get()))
            continue;
        const FormatChoice& format = job->format();
        StoredRow row;
        row.url = job->url();
        row.title = job->title();
        row.quality = format.quality;
        row.container = format.container;
        row.audio_only = format.audioOnly;
        row.thumb_url = job->thumbnailURL().value_or(QString());
        row.playlist = QString();
        row.channel = job->channel();
        row.status = kept || job->state().kind == Job::State::Paused ? QStringLiteral("paused")
                                                                     : QStringLiteral("waiting");
        row.id = job->id();
        row.subtitleMode = format.subtitleMode;
        row.videoCodec = format.videoCodec;
        row.saveThumbnail = format.saveThumbnail;
        row.embedCover = format.embedCover;
        params.items.push_back(std::move(row));
    }
    return params;
}

namespace {
// A save of a long queue is megabytes of text: it is written on a worker, not on the thread of the views.
QCoro::Task<QByteArray> encodeOffThread(EngineMethods::QueueSave::Params rows) {
    auto promise = std::make_shared<QPromise<QByteArray>>();
    QFuture<QByteArray> future = promise->future();
    QThreadPool::globalInstance()->start([promise, rows = std::move(rows)] {
        promise->start();
        promise->addResult(QJsonDocument(rows.toJson()).toJson(QJsonDocument::Compact));
        promise->finish();
    });
    co_return co_await future;
}
} // namespace

QCoro::Task<void> AppModel::sendQueueSaves() {
    QPointer<AppModel> self(this);
    while (m_queueSaveWanted && m_sessionLive) {
        m_queueSaveWanted = false;
        // The rows are taken now, the queue as it is at this moment; only their text is made elsewhere.
        const QByteArray params = co_await encodeOffThread(queueSnapshot());
        if (!self)
            co_return;
        std::exception_ptr failure;
        try {
            co_await m_engine->callEncoded(QString::fromLatin1(EngineMethods::QueueSave::name), params);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            co_return;
        if (failure && isTransportFailure(failure)) {
            // The engine went away: the start that follows saves the queue as it is then.
            m_queueSaveWanted = true;
            break;
        }
        if (failure && !isCancellation(failure))
            report(describe(failure));
    }
    m_queueSaveInFlight = false;
    Q_EMIT queueSavesFinished();
}

QCoro::Task<bool> AppModel::restoreQueue() {
    QPointer<AppModel> self(this);
    std::optional<StoredQueue> stored;
    std::exception_ptr failure;
    try {
        stored = co_await EngineMethods::send<EngineMethods::QueueLoad>(m_engine);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return false;
    if (failure) {
        if (!isCancellation(failure))
            report(describe(failure));
        // Only an engine that answered has read its saved queue; a stopped one is asked again.
        co_return !isTransportFailure(failure);
    }
    std::vector<std::shared_ptr<Job>> restored;
    QSet<QString> ids;
    for (const StoredRow& row : stored->items) {
        const FormatChoice defaults;
        FormatChoice format;
        format.quality = row.quality.isEmpty() ? FormatChoice::defaultQuality() : row.quality;
        format.container = row.container.isEmpty() ? FormatChoice::defaultContainer() : row.container;
        format.audioOnly = row.audio_only;
        format.videoCodec = row.videoCodec.value_or(QString());
        if (format.videoCodec.isEmpty())
            format.videoCodec = defaults.videoCodec;
        format.subtitleMode = row.subtitleMode.value_or(QString());
        if (format.subtitleMode.isEmpty())
            format.subtitleMode = defaults.subtitleMode;
        format.saveThumbnail = row.saveThumbnail.value_or(defaults.saveThumbnail);
        format.embedCover = row.embedCover.value_or(defaults.embedCover);
        // The saved id ties the job to the engine's record of its partial download. One already in use
        // (a row saved twice) would make two jobs answer to the same events: that row gets a new one.
        QString id = row.id.value_or(QString());
        if (ids.contains(id) || findJob(id))
            id.clear();
        auto job =
            std::make_shared<Job>(id, row.url, format, row.title.isEmpty() ? row.url : row.title, true);
        ids.insert(job->id());
        if (!row.thumb_url.isEmpty())
            job->setThumbnailURL(row.thumb_url);
        job->setChannel(row.channel);
        job->setRestored(true);
        const bool paused = row.status == QLatin1String("paused");
        job->setState({paused ? Job::State::Paused : Job::State::Waiting, {}});
        restored.push_back(std::move(job));
    }
    insertJobs(int(m_jobs.size()), std::move(restored));
    co_return true;
}

void AppModel::markQueueLoaded() {
    if (m_didLoadSession)
        return;
    m_didLoadSession = true;
    if (m_queueSaveWanted)
        persistQueue();
}
