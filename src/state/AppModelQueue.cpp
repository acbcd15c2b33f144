// The saved batch queue.
#include "AppModel.h"

#include "Spawn.h"

void AppModel::appendJob(std::shared_ptr<Job> job) {
    m_jobIndex.insert(job->id(), job.get());
    m_jobs.push_back(std::move(job));
    Q_EMIT jobsChanged();
}

void AppModel::persistQueue() {
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
    spawn(this,
          [this, params]() -> QCoro::Task<void> { co_await ask<EngineMethods::QueueSave>(params, true); });
}

QCoro::Task<void> AppModel::restoreQueue() {
    QPointer<AppModel> self(this);
    const auto stored = co_await ask<EngineMethods::QueueLoad>(EngineMethods::NoParams(), true);
    if (!self || !stored)
        co_return;
    for (const StoredRow& row : stored->items) {
        FormatChoice format;
        format.quality = row.quality.isEmpty() ? QStringLiteral("1080p") : row.quality;
        format.container = row.container.isEmpty() ? QStringLiteral("MP4") : row.container;
        format.audioOnly = row.audio_only;
        auto job = std::make_shared<Job>(row.url, format, row.title.isEmpty() ? row.url : row.title, true);
        if (!row.thumb_url.isEmpty())
            job->setThumbnailURL(row.thumb_url);
        job->setChannel(row.channel);
        job->setState({Job::State::Waiting, {}});
        appendJob(std::move(job));
    }
}
