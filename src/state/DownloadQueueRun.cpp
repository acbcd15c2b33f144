// The single download, and the life of any download job.
#include "AppModel.h"

#include "FileDialogs.h"
#include "Guarded.h"
#include "Library.h"
#include "Notifications.h"
#include "Spawn.h"
#include "Strings.h"

#include <QFileInfo>
#include <QUrl>

void AppModel::setCurrentDownload(std::shared_ptr<Job> job) {
    if (m_currentDownload == job)
        return;
    if (m_currentDownload)
        disconnect(m_currentDownload.get(), nullptr, this, nullptr);
    m_currentDownload = std::move(job);
    if (m_currentDownload) {
        connect(m_currentDownload.get(), &Job::changed, this, &AppModel::refreshDerived);
        watchActivity(m_currentDownload.get());
    }
    Q_EMIT currentDownloadChanged();
    refreshDerived();
    scheduleActivity(false);
}

QCoro::Task<std::shared_ptr<Job>> AppModel::enqueue(std::optional<QString> url, bool interactive) {
    const QString address = url.value_or(m_pastedText).trimmed();
    if (address.isEmpty())
        co_return std::shared_ptr<Job>();
    const FormatChoice format = m_format;
    const std::optional<Analysis> matching =
        m_analysis && m_analysis->url == address ? m_analysis : std::nullopt;

    auto job = std::make_shared<Job>(address, format, matching ? matching->displayTitle() : address, false);
    if (matching)
        job->setThumbnailURL(matching->thumbnail);

    if (interactive && m_settings && m_settings->askWhereToSave && !m_services.fileDialogs) {
        // No way to ask here: the download goes to the output folder rather than nowhere.
        const QMap<QString, QString> values{{QStringLiteral("folder"), m_settings->outputDir}};
        note(Strings::text(QStringLiteral("v2_save_panel_unavailable"), values));
    } else if (interactive && m_settings && m_settings->askWhereToSave) {
        QPointer<AppModel> self(this);
        std::optional<QString> suggested;
        if (matching)
            suggested = matching->displayTitle();
        const auto place = co_await chooseSaveLocation(suggested, format);
        if (!self || !place)
            co_return std::shared_ptr<Job>();
        job->setDestination(place->first);
        job->setFileName(place->second);
    }

    setLastError(std::nullopt);
    // A download still under way is not stopped: it moves to the front of the queue, where its events
    // still reach it and it can be paused or cancelled. Like any current download it is never saved.
    const std::shared_ptr<Job> displaced =
        m_currentDownload && !m_currentDownload->state().isFinished() ? m_currentDownload : nullptr;
    setCurrentDownload(job);
    if (displaced) {
        m_unsavedJobs.insert(displaced.get());
        insertJobs(0, {displaced});
    }
    clearComposition();
    startRun(job);
    co_return job;
}

QCoro::Task<std::optional<std::pair<QString, QString>>>
AppModel::chooseSaveLocation(std::optional<QString> suggested, FormatChoice format) {
    const QString start = m_settings ? m_settings->outputDir : QString();
    QString stem = fileStem(suggested.value_or(QString()));
    stem.replace(u'/', u'-');
    QString proposed;
    if (!stem.isEmpty())
        proposed = stem + u'.' + (format.audioOnly ? QStringLiteral("mp3") : format.container.toLower());

    QPointer<AppModel> self(this);
    const QString message = Strings::text(QStringLiteral("v2_save_panel_message"));
    // A panel that could not be shown counts as cancelled.
    const std::optional<QString> chosen =
        (co_await guarded(m_services.fileDialogs->saveFile(message, start, proposed))).value_or(std::nullopt);
    if (!self || !chosen || chosen->isEmpty())
        co_return std::nullopt;
    const QFileInfo info(*chosen);
    const QString chosenStem = fileStem(info.fileName());
    if (chosenStem.isEmpty())
        co_return std::nullopt;
    co_return std::make_pair(info.absolutePath(), chosenStem);
}

QString AppModel::fileStem(const QString& name) const {
    const QString text = name.trimmed();
    const int dot = text.lastIndexOf(u'.');
    if (dot < 0)
        return text;
    const QString ext = text.mid(dot).toLower();
    if (m_hello && m_hello->mediaExtensions.contains(ext))
        return text.left(dot);
    return text;
}

bool AppModel::startRun(std::shared_ptr<Job> job) {
    // One run per job at a time: a second "download.start" for the same id would be refused by the
    // engine, and its failure would land on the job while the first run still goes on.
    if (job->requestOpen())
        return false;
    job->setRequestOpen(true);
    job->setKeptForResume(false);
    m_startsNotSent.insert(job.get());
    spawn(this, [this, job]() -> QCoro::Task<void> { co_await run(job); });
    return true;
}

bool AppModel::cancelBeforeStart(const std::shared_ptr<Job>& job) {
    if (!m_startsNotSent.contains(job.get()))
        return false;
    m_cancelledBeforeStart.insert(job.get());
    job->setState({Job::State::Cancelled, {}});
    return true;
}

bool AppModel::dropCancelledStart(const std::shared_ptr<Job>& job) {
    m_startsNotSent.remove(job.get());
    if (!m_cancelledBeforeStart.remove(job.get()))
        return false;
    job->setRequestOpen(false);
    return true;
}

// The job's request is marked open by startRun() before this runs.
QCoro::Task<void> AppModel::run(std::shared_ptr<Job> job) {
    QPointer<AppModel> self(this);
    if (m_cancelledBeforeStart.contains(job.get()) && dropCancelledStart(job))
        co_return;
    job->setState({Job::State::Analyzing, {}});
    Notifications::requestPermission();
    if (job != m_currentDownload)
        m_queueDrainAnnounced = false;

    const QString url = job->url();
    const CookiePair cookies = co_await cookieParams(url);
    if (!self) {
        job->setRequestOpen(false);
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
    request.outputDir = job->destination().value_or(m_settings ? m_settings->outputDir : QString());
    request.singleVideo = true;
    request.allowListing = job->allowsListing();
    request.jobId = job->id();
    request.cookieSource = cookies.source;
    request.cookiesFile = cookies.file;
    request.forceGeneric = m_settings ? m_settings->forceGeneric : false;
    request.fileName = job->fileName().value_or(QString());

    std::optional<DownloadResult> result;
    std::exception_ptr failure;
    try {
        result = co_await EngineMethods::send<EngineMethods::DownloadStart>(m_engine, request);
    } catch (...) {
        failure = std::current_exception();
    }
    job->setRequestOpen(false);
    if (!self)
        co_return;

    if (!result && isTransportFailure(failure)) {
        settleStoppedRun(job, describe(failure));
    } else if (result) {
        job->setState({Job::State::Done, {}});
        job->setFraction(1.0);
        job->setOutputPath(result->path);
        if (!result->title.isEmpty())
            job->setTitle(result->title);
        co_await libraryPart().reloadLibrary();
        if (!self)
            co_return;
    } else {
        const QString separator = QStringLiteral(" \u2014 ");
        try {
            std::rethrow_exception(failure);
        } catch (const EngineError& e) {
            const QString detail = e.detail().value_or(QString());
            QString text = e.message();
            if (detail.startsWith(QLatin1String("listing")))
                text = Strings::text(QStringLiteral("status_listing_url"));
            if (detail == QLatin1String("paused")) {
                job->setState({Job::State::Paused, {}});
                // Saved as paused from now on, so a restart finds it where it stopped.
                if (job != m_currentDownload)
                    persistQueue();
            } else if (e.isCancelled()) {
                job->setState({Job::State::Cancelled, {}});
            } else {
                job->setState(Job::State::failed(text));
                // A write that failed (a full disk) leaves the part fetched so far: a retry goes on.
                if (detail == QLatin1String("io")) {
                    job->setKeptForResume(true);
                    if (job != m_currentDownload)
                        persistQueue();
                }
            }
            if (!e.isCancelled())
                report(job->title() + separator + text, e.detail());
        } catch (...) {
            const QString text = describe(failure);
            job->setState(Job::State::failed(text));
            report(job->title() + separator + text);
        }
    }

    if (job != m_currentDownload) {
        announceQueueDrained();
    } else if (job->state().kind == Job::State::Done) {
        Notifications::post(Strings::text(QStringLiteral("notify_download_done")), job->title());
    }
}

void AppModel::retry(std::shared_ptr<Job> job) {
    if (!job || job->requestOpen())
        return;
    job->setState({Job::State::Queued, {}});
    job->setFraction(0);
    startRun(std::move(job));
}

void AppModel::announceQueueDrained() {
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
