// The saved batch queue.
#include "AppModel.h"

#include "Spawn.h"

void AppModel::appendJob(std::shared_ptr<Job> job) {
    m_jobIndex.insert(job->id(), job.get());
    m_jobs.push_back(std::move(job));
    Q_EMIT jobsChanged();
}

void AppModel::persistQueue() {
    m_queueSaveWanted = true;
    // Until the saved queue has been read, a save would write over rows that are not in memory yet; and
    // while one save is on its way, the next one waits for it and then carries the queue as it is then.
    if (!m_didLoadSession || m_queueSaveInFlight)
        return;
    m_queueSaveInFlight = true;
    spawn(this, [this]() -> QCoro::Task<void> { co_await sendQueueSaves(); });
}

EngineMethods::QueueSave::Params AppModel::queueSnapshot() const {
    EngineMethods::QueueSave::Params params;
    for (const auto& job : m_jobs) {
        if (job->state().isFinished())
            continue;
        StoredRow row;
        row.url = job->url();
        row.title = job->title();
        row.quality = job->format().quality;
        row.container = job->format().container;
        row.audio_only = job->format().audioOnly;
        row.thumb_url = job->thumbnailURL().value_or(QString());
        row.playlist = QString();
        row.channel = job->channel();
        row.status = QStringLiteral("waiting");
        params.items.push_back(std::move(row));
    }
    return params;
}

QCoro::Task<void> AppModel::sendQueueSaves() {
    QPointer<AppModel> self(this);
    while (m_queueSaveWanted) {
        m_queueSaveWanted = false;
        co_await ask<EngineMethods::QueueSave>(queueSnapshot(), true);
        if (!self)
            co_return;
    }
    m_queueSaveInFlight = false;
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
    for (const StoredRow& row : stored->items) {
        FormatChoice format;
        format.quality = row.quality.isEmpty() ? FormatChoice::defaultQuality() : row.quality;
        format.container = row.container.isEmpty() ? FormatChoice::defaultContainer() : row.container;
        format.audioOnly = row.audio_only;
        auto job = std::make_shared<Job>(row.url, format, row.title.isEmpty() ? row.url : row.title, true);
        if (!row.thumb_url.isEmpty())
            job->setThumbnailURL(row.thumb_url);
        job->setChannel(row.channel);
        job->setState({Job::State::Waiting, {}});
        appendJob(std::move(job));
    }
    co_return true;
}

void AppModel::markQueueLoaded() {
    if (m_didLoadSession)
        return;
    m_didLoadSession = true;
    if (m_queueSaveWanted)
        persistQueue();
}
