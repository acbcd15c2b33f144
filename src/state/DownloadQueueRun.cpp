// The single download, the runs of every download job, and what an engine stop does to them.
#include "DownloadQueue.h"

#include "AppModel.h"
#include "Composition.h"
#include "FileDialogs.h"
#include "Guarded.h"
#include "Notifications.h"
#include "Session.h"
#include "SettingFields.h"
#include "Spawn.h"
#include "Strings.h"

#include <QFileInfo>
#include <QUrl>

void DownloadQueue::setCurrentDownload(std::shared_ptr<Job> job) {
    if (m_currentDownload == job)
        return;
    if (m_currentDownload)
        disconnect(m_currentDownload.get(), nullptr, this, nullptr);
    m_currentDownload = std::move(job);
    if (m_currentDownload) {
        connect(m_currentDownload.get(), &Job::changed, this, &DownloadQueue::currentDownloadUpdated);
        watchActivity(m_currentDownload.get());
    }
    Q_EMIT currentDownloadChanged();
    Q_EMIT currentDownloadUpdated();
    scheduleActivity(false);
}

QCoro::Task<std::shared_ptr<Job>> DownloadQueue::enqueue(std::optional<QString> url, bool interactive) {
    const QString address = url.value_or(m_app.compositionPart().pastedText()).trimmed();
    if (address.isEmpty())
        co_return std::shared_ptr<Job>();
    const FormatChoice format = m_app.compositionPart().format();
    const std::optional<Analysis>& analysis = m_app.compositionPart().analysis();
    const std::optional<Analysis> matching = analysis && analysis->url == address ? analysis : std::nullopt;

    auto job = std::make_shared<Job>(address, format, matching ? matching->displayTitle() : address, false);
    if (matching)
        job->setThumbnailURL(matching->thumbnail);

    const std::optional<EngineSettings>& settings = m_app.sessionPart().settings();
    if (interactive && settings && settings->askWhereToSave && !m_app.services().fileDialogs) {
        // No way to ask here: the download goes to the output folder rather than nowhere.
        const QMap<QString, QString> values{{QStringLiteral("folder"), settings->outputDir}};
        m_app.sessionPart().note(Strings::text(QStringLiteral("v2_save_panel_unavailable"), values));
    } else if (interactive && settings && settings->askWhereToSave) {
        QPointer<DownloadQueue> self(this);
        std::optional<QString> suggested;
        if (matching)
            suggested = matching->displayTitle();
        const auto place = co_await chooseSaveLocation(suggested, format);
        if (!self || !place)
            co_return std::shared_ptr<Job>();
        job->setDestination(place->first);
        job->setFileName(place->second);
    }

    m_app.sessionPart().setLastError(std::nullopt);
    // A download still under way is not stopped: it moves to the front of the queue, where its events
    // still reach it and it can be paused or cancelled. Like any current download it is never saved.
    const std::shared_ptr<Job> displaced =
        m_currentDownload && !m_currentDownload->state().isFinished() ? m_currentDownload : nullptr;
    setCurrentDownload(job);
    if (displaced) {
        m_unsavedJobs.insert(displaced.get());
        insertJobs(0, {displaced});
    }
    m_app.compositionPart().clearComposition();
    startRun(job);
    co_return job;
}

QCoro::Task<std::optional<std::pair<QString, QString>>>
DownloadQueue::chooseSaveLocation(std::optional<QString> suggested, FormatChoice format) {
    const std::optional<EngineSettings>& settings = m_app.sessionPart().settings();
    const QString start = Setting::outputDir.read(settings);
    QString stem = fileStem(suggested.value_or(QString()));
    stem.replace(u'/', u'-');
    QString proposed;
    if (!stem.isEmpty())
        proposed = stem + u'.' + (format.audioOnly ? QStringLiteral("mp3") : format.container.toLower());

    QPointer<DownloadQueue> self(this);
    const QString message = Strings::text(QStringLiteral("v2_save_panel_message"));
    // A panel that could not be shown counts as cancelled.
    const std::optional<QString> chosen =
        (co_await guarded(m_app.services().fileDialogs->saveFile(message, start, proposed)))
            .value_or(std::nullopt);
    if (!self || !chosen || chosen->isEmpty())
        co_return std::nullopt;
    const QFileInfo info(*chosen);
    const QString chosenStem = fileStem(info.fileName());
    if (chosenStem.isEmpty())
        co_return std::nullopt;
    co_return std::make_pair(info.absolutePath(), chosenStem);
}

QString DownloadQueue::fileStem(const QString& name) const {
    const QString text = name.trimmed();
    const int dot = text.lastIndexOf(u'.');
    if (dot < 0)
        return text;
    const QString ext = text.mid(dot).toLower();
    if (m_app.sessionPart().hello() && m_app.sessionPart().hello()->mediaExtensions.contains(ext))
        return text.left(dot);
    return text;
}

bool DownloadQueue::startRun(std::shared_ptr<Job> job) {
    if (!job->openRun())
        return false;
    m_startsNotSent.insert(job.get());
    spawn(this, [this, job]() -> QCoro::Task<void> { co_await run(job); });
    return true;
}

bool DownloadQueue::cancelBeforeStart(const std::shared_ptr<Job>& job) {
    if (!m_startsNotSent.contains(job.get()))
        return false;
    m_cancelledBeforeStart.insert(job.get());
    job->cancel();
    return true;
}

bool DownloadQueue::dropCancelledStart(const std::shared_ptr<Job>& job) {
    m_startsNotSent.remove(job.get());
    if (!m_cancelledBeforeStart.remove(job.get()))
        return false;
    job->closeRun();
    return true;
}

// The job's request is marked open by startRun() before this runs.
QCoro::Task<void> DownloadQueue::run(std::shared_ptr<Job> job) {
    QPointer<DownloadQueue> self(this);
    if (m_cancelledBeforeStart.contains(job.get()) && dropCancelledStart(job))
        co_return;
    job->start();
    Notifications::requestPermission();
    if (job != m_currentDownload)
        m_queueDrainAnnounced = false;

    const QString url = job->url();
    const Session::CookiePair cookies = co_await m_app.sessionPart().cookieParams(url);
    if (!self) {
        job->closeRun();
        co_return;
    }
    if (dropCancelledStart(job))
        co_return;
    const FormatChoice& f = job->format();
    DownloadRequest request;
    request.url = job->url();
    request.quality = f.quality;
    request.container = f.container;
    request.audioOnly = f.audioOnly;
    request.videoCodec = f.videoCodec;
    request.subtitleMode = f.subtitleMode;
    request.saveThumbnail = f.saveThumbnail;
    request.embedCover = f.embedCover;
    const std::optional<EngineSettings>& settings = m_app.sessionPart().settings();
    request.outputDir = job->destination().value_or(Setting::outputDir.read(settings));
    request.singleVideo = true;
    request.allowListing = job->allowsListing();
    request.jobId = job->id();
    request.cookieSource = cookies.source;
    request.cookiesFile = cookies.file;
    request.forceGeneric = Setting::forceGeneric.read(settings);
    request.fileName = job->fileName().value_or(QString());

    std::optional<DownloadResult> result;
    std::exception_ptr failure;
    try {
        result = co_await EngineMethods::send<EngineMethods::DownloadStart>(&m_app.engine(), request);
    } catch (...) {
        failure = std::current_exception();
    }
    job->closeRun();
    if (!self)
        co_return;

    if (!result && Session::isTransportFailure(failure)) {
        settleStoppedRun(job, Session::describe(failure));
    } else if (result) {
        job->finish(result->path);
        if (!result->title.isEmpty())
            job->setTitle(result->title);
        if (m_afterSave) {
            co_await m_afterSave();
            if (!self)
                co_return;
        }
    } else {
        endRunWithError(job, failure);
    }

    if (job != m_currentDownload) {
        announceQueueDrained();
    } else if (job->state().kind == Job::State::Done) {
        Notifications::post(Strings::text(QStringLiteral("notify_download_done")), job->title());
    }
}

void DownloadQueue::endRunWithError(const std::shared_ptr<Job>& job, std::exception_ptr failure) {
    const QString separator = QStringLiteral(" \u2014 ");
    try {
        std::rethrow_exception(failure);
    } catch (const EngineError& e) {
        const Job::RunEnd end = Job::runEndOf(e);
        switch (end.kind) {
        case Job::RunEnd::Paused:
            job->pause();
            // Saved as paused from now on, so a restart finds it where it stopped.
            if (job != m_currentDownload)
                persistQueue();
            break;
        case Job::RunEnd::Cancelled:
            job->cancel();
            break;
        case Job::RunEnd::Failed:
            job->fail(end.text);
            break;
        case Job::RunEnd::FailedKeepingPart:
            job->failKeepingPart(end.text);
            if (job != m_currentDownload)
                persistQueue();
            break;
        }
        if (!e.isCancelled())
            m_app.sessionPart().report(job->title() + separator + end.text, e.detail());
    } catch (...) {
        const QString text = Session::describe(failure);
        job->fail(text);
        m_app.sessionPart().report(job->title() + separator + text);
    }
}

void DownloadQueue::retry(std::shared_ptr<Job> job) {
    if (!job || job->requestOpen())
        return;
    job->requeue();
    startRun(std::move(job));
}

void DownloadQueue::announceQueueDrained() {
    if (m_queueDrainAnnounced)
        return;
    qint64 done = 0;
    for (const auto& job : m_jobs) {
        if (!job->state().isFinished())
            return;
        if (job->state().kind == Job::State::Done)
            ++done;
    }
    if (done == 0)
        return;
    m_queueDrainAnnounced = true;
    const QMap<QString, QString> values{{QStringLiteral("count"), QString::number(done)}};
    Notifications::post(Strings::text(QStringLiteral("notify_queue_done")),
                        Strings::text(QStringLiteral("notify_queue_done_body"), values));
}

void DownloadQueue::failActiveJobs(const QString& message) {
    // Waiting and paused jobs keep their state: the engine keeps paused downloads across restarts, and
    // the saved queue must still hold them after the restart's save. Open requests have mostly been
    // settled by their own run already; these are the ones whose failure has not arrived yet.
    std::vector<std::shared_ptr<Job>> open;
    if (m_currentDownload && m_currentDownload->requestOpen())
        open.push_back(m_currentDownload);
    for (const auto& job : m_jobs) {
        if (job->requestOpen())
            open.push_back(job);
    }
    for (const auto& job : open)
        settleStoppedRun(job, message);
}

void DownloadQueue::settleStoppedRun(const std::shared_ptr<Job>& job, const QString& message) {
    const Job::State::Kind kind = job->state().kind;
    if (kind == Job::State::Analyzing || kind == Job::State::Queued) {
        // Still waiting for its turn at the engine: nothing was fetched, it simply runs again.
        job->backToWaiting();
        m_returnedJobs.push_back(job);
    } else if (!job->state().isFinished() && kind != Job::State::Waiting) {
        job->failKeepingPart(message);
        m_app.sessionPart().report(job->title() + QStringLiteral(" \u2014 ") + message);
    } else {
        return;
    }
    if (job != m_currentDownload)
        persistQueue();
}

void DownloadQueue::rerunReturnedJobs() {
    for (const std::weak_ptr<Job>& weak : std::exchange(m_returnedJobs, {})) {
        const std::shared_ptr<Job> job = weak.lock();
        // Only what is still waiting and still listed: the user may have cancelled or removed it.
        if (!job || job->state().kind != Job::State::Waiting)
            continue;
        if (job == m_currentDownload || jobRow(job.get()) >= 0)
            startRun(job);
    }
}
