// The saved batch queue.
#include "DownloadQueue.h"

#include "AppModel.h"
#include "Job.h"
#include "Session.h"
#include "SignalWait.h"
#include "Spawn.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QJsonDocument>
#include <QPromise>
#include <QThreadPool>

#include <QCoro/QCoroFuture>

#include <algorithm>

void DownloadQueue::persistQueue() {
    m_queueSaveWanted = true;
    // Until the saved queue has been read, a save would write over rows that are not in memory yet; and
    // while one save is on its way, the next one waits for it and then carries the queue as it is then.
    // While the engine is down the save waits for the restart, which saves.
    if (!m_didLoadSession || m_queueSaveInFlight || !m_app.sessionPart().sessionLive())
        return;
    m_queueSaveInFlight = true;
    spawn(this, [this]() -> QCoro::Task<void> { co_await sendQueueSaves(); });
}

EngineMethods::QueueSave::Params DownloadQueue::queueSnapshot() const {
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

QCoro::Task<void> DownloadQueue::sendQueueSaves() {
    QPointer<DownloadQueue> self(this);
    while (m_queueSaveWanted && m_app.sessionPart().sessionLive()) {
        m_queueSaveWanted = false;
        // The rows are taken now, the queue as it is at this moment; only their text is made elsewhere.
        const QByteArray params = co_await encodeOffThread(queueSnapshot());
        if (!self)
            co_return;
        std::exception_ptr failure;
        try {
            co_await m_app.engine().callEncoded(QString::fromLatin1(EngineMethods::QueueSave::name), params);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            co_return;
        if (failure && Session::isTransportFailure(failure)) {
            // The engine went away: the start that follows saves the queue as it is then.
            m_queueSaveWanted = true;
            break;
        }
        if (failure && !Session::isCancellation(failure))
            m_app.sessionPart().report(Session::describe(failure));
    }
    m_queueSaveInFlight = false;
    Q_EMIT queueSavesFinished();
}

QCoro::Task<bool> DownloadQueue::restoreQueue() {
    QPointer<DownloadQueue> self(this);
    std::optional<StoredQueue> stored;
    std::exception_ptr failure;
    try {
        stored = co_await EngineMethods::send<EngineMethods::QueueLoad>(&m_app.engine());
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return false;
    if (failure) {
        if (!Session::isCancellation(failure))
            m_app.sessionPart().report(Session::describe(failure));
        // Only an engine that answered has read its saved queue; a stopped one is asked again.
        co_return !Session::isTransportFailure(failure);
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
        job->restore(row.isPaused());
        restored.push_back(std::move(job));
    }
    insertJobs(int(m_jobs.size()), std::move(restored));
    co_return true;
}

void DownloadQueue::markQueueLoaded() {
    if (m_didLoadSession)
        return;
    m_didLoadSession = true;
    persistQueueIfWanted();
}

void DownloadQueue::persistQueueIfWanted() {
    if (m_queueSaveWanted)
        persistQueue();
}

QCoro::Task<void> DownloadQueue::queueSavesSettled(std::chrono::milliseconds limit) {
    QPointer<DownloadQueue> self(this);
    QElapsedTimer clock;
    clock.start();
    // One save may follow another (asked for meanwhile): the wait lasts until none is on its way.
    while (self && m_queueSaveInFlight && clock.elapsed() < limit.count()) {
        const std::chrono::milliseconds left(limit.count() - clock.elapsed());
        co_await nextSignal(this, &DownloadQueue::queueSavesFinished, left);
    }
}
