// The batch queue: pasted batches resolved into jobs, the per-job and queue-wide actions, the batch
// field and the values the queue's views draw.
#include "AppModel.h"

#include "ClipboardWatcher.h"
#include "Spawn.h"
#include "TextTrim.h"

#include <QRegularExpression>

namespace {
// Every line break a pasted text may hold; a CR LF pair splits once.
const QRegularExpression& lineBreaks() {
    static const QRegularExpression re(
        QStringLiteral("\\r\\n|[\\n\\r\\x{000B}\\x{000C}\\x{0085}\\x{2028}\\x{2029}]"));
    return re;
}

QStringList trimmedLines(const QString& text) {
    QStringList out;
    for (const QString& piece : text.split(lineBreaks(), Qt::SkipEmptyParts)) {
        const QString line = trimSpacesAndTabs(piece);
        if (!line.isEmpty())
            out << line;
    }
    return out;
}

bool isParked(const Job& job) {
    return job.state().isParked();
}
} // namespace

QStringList AppModel::splitURLs(const QString& text) {
    QStringList out;
    for (const QString& line : trimmedLines(text))
        out << splitLine(line);
    return out;
}

QStringList AppModel::splitLine(const QString& line) {
    static const QRegularExpression blanks(QStringLiteral("[ \\t]"));
    const QStringList pieces = line.split(blanks, Qt::SkipEmptyParts);
    if (pieces.size() < 2)
        return {line};
    for (const QString& piece : pieces) {
        const bool address =
            piece.startsWith(QLatin1String("http://")) || piece.startsWith(QLatin1String("https://"));
        if (!address && !piece.contains(u'.'))
            return {line};
    }
    return pieces;
}

QCoro::Task<void> AppModel::enqueuePasted(QString text) {
    const QStringList urls = splitURLs(text);
    if (urls.isEmpty())
        co_return;
    QPointer<AppModel> self(this);
    // The text has left the field; the clipboard offer must not bring the same text back.
    ClipboardWatcher::markSeen();
    setIsResolving(true);
    setResolveNotes({});
    const CookiePair cookies = co_await cookieParamsForAll(urls);
    if (!self)
        co_return;
    EngineMethods::QueueResolve::Params params;
    params.urls = urls;
    params.cookieSource = cookies.source;
    params.cookiesFile = cookies.file;
    const auto reply = co_await ask<EngineMethods::QueueResolve>(params, true);
    if (!self)
        co_return;
    if (!reply) {
        // Nothing the user pasted is lost: it goes back into the field, before anything typed since.
        const QString kept = text.endsWith(u'\n') ? text : text + u'\n';
        setBatchURLs(m_batchURLs.trimmed().isEmpty() ? kept : kept + m_batchURLs);
        setIsResolving(false);
        co_return;
    }
    setResolveNotes(reply->notes);
    const FormatChoice chosen = m_format;
    for (const ResolvedEntry& entry : reply->singles)
        enqueueResolved(entry, chosen);
    if (!reply->singles.empty())
        persistQueue();
    if (!reply->listings.empty()) {
        std::vector<std::shared_ptr<ListingPick>> picks = m_pendingListings;
        for (const ResolvedListing& listing : reply->listings)
            picks.push_back(std::make_shared<ListingPick>(listing, reply->pageSize, chosen.audioOnly));
        setPendingListings(std::move(picks));
    }
    setIsResolving(false);
}

void AppModel::enqueueResolved(const ResolvedEntry& entry, const FormatChoice& format) {
    auto job =
        std::make_shared<Job>(entry.url, format, entry.title.isEmpty() ? entry.url : entry.title, true);
    if (!entry.thumbnail.isEmpty())
        job->setThumbnailURL(entry.thumbnail);
    job->setChannel(entry.channel);
    job->setState({Job::State::Queued, {}});
    insertJobs(int(m_jobs.size()), {job});
    startRun(job);
}

void AppModel::startWaiting() {
    for (const auto& job : m_jobs) {
        if (isParked(*job))
            startRun(job);
    }
    persistQueue();
}

void AppModel::pause(const std::shared_ptr<Job>& job) {
    if (!job)
        return;
    const QString id = job->id();
    spawn(this, [this, id]() -> QCoro::Task<void> {
        EngineMethods::DownloadPause::Params params;
        params.jobId = id;
        co_await ping<EngineMethods::DownloadPause>(params, false);
    });
}

void AppModel::resume(const std::shared_ptr<Job>& job) {
    if (job && isParked(*job))
        startRun(job);
}

void AppModel::cancel(const std::shared_ptr<Job>& job) {
    if (!job)
        return;
    const bool paused = job->state().kind == Job::State::Paused;
    if (isParked(*job)) {
        job->setState({Job::State::Cancelled, {}});
        persistQueue();
        // A job that never started has nothing at the engine; a paused one, or one restored from the
        // saved queue, may have a partial file and its resume record there, which only a cancel removes.
        if (!paused && !job->restored())
            return;
    } else if (job->keptForResume()) {
        // Its partial file goes with this cancel: nothing is left to resume.
        job->setKeptForResume(false);
        persistQueue();
    }
    const QString id = job->id();
    spawn(this, [this, id]() -> QCoro::Task<void> {
        EngineMethods::DownloadCancel::Params params;
        params.jobId = id;
        co_await ping<EngineMethods::DownloadCancel>(params, false);
    });
}

void AppModel::remove(const std::shared_ptr<Job>& job) {
    if (!job)
        return;
    cancel(job);
    if (m_currentDownload && m_currentDownload->id() == job->id())
        setCurrentDownload(nullptr);
    for (int row = int(m_jobs.size()) - 1; row >= 0; --row) {
        if (m_jobs[row]->id() == job->id())
            removeJobs(row, 1);
    }
    persistQueue();
}

void AppModel::clearQueue() {
    const auto jobs = m_jobs;
    for (const auto& job : jobs) {
        if (!job->state().isFinished() || job->keptForResume())
            cancel(job);
    }
    resetJobs({});
    persistQueue();
}

bool AppModel::appendBatchURL(const QString& url) {
    const QString address = url.trimmed();
    if (address.isEmpty())
        return false;
    QStringList lines = trimmedLines(m_batchURLs);
    if (lines.contains(address))
        return false;
    lines << address;
    setBatchURLs(lines.join(u'\n') + u'\n');
    return true;
}

std::vector<std::shared_ptr<Job>> AppModel::activeJobs() const {
    std::vector<std::shared_ptr<Job>> out;
    for (const auto& job : m_jobs) {
        if (!job->state().isFinished() && job->state().kind != Job::State::Waiting)
            out.push_back(job);
    }
    return out;
}

std::vector<std::shared_ptr<Job>> AppModel::allActiveJobs() const {
    std::vector<std::shared_ptr<Job>> out;
    if (m_currentDownload && !m_currentDownload->state().isFinished())
        out.push_back(m_currentDownload);
    for (auto& job : activeJobs())
        out.push_back(std::move(job));
    return out;
}

std::vector<std::shared_ptr<Job>> AppModel::waitingJobs() const {
    std::vector<std::shared_ptr<Job>> out;
    for (const auto& job : m_jobs) {
        if (job->state().kind == Job::State::Waiting)
            out.push_back(job);
    }
    return out;
}

std::optional<double> AppModel::overallProgress() const {
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

void AppModel::setConfirmClearQueue(bool show) {
    assign(m_confirmClearQueue, show, &AppModel::confirmClearQueueChanged);
}

void AppModel::setBatchURLs(const QString& text) {
    assign(m_batchURLs, text, &AppModel::batchURLsChanged);
}

void AppModel::setBatchDuplicateNotice(bool show) {
    assign(m_batchDuplicateNotice, show, &AppModel::batchDuplicateNoticeChanged);
}

void AppModel::setResolveNotes(const std::vector<BatchNote>& notes) {
    assign(m_resolveNotes, notes, &AppModel::resolveNotesChanged);
}

void AppModel::setIsResolving(bool resolving) {
    assign(m_isResolving, resolving, &AppModel::isResolvingChanged);
}

void AppModel::watchActivity(Job* job) {
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

void AppModel::scheduleActivity(bool progressOnly) {
    // State and membership changes are told on the next turn, once per burst; progress at most ten
    // times a second.
    if (progressOnly) {
        if (!m_progressActivity) {
            m_progressActivity = new QTimer(this);
            m_progressActivity->setSingleShot(true);
            m_progressActivity->setInterval(100);
            connect(m_progressActivity, &QTimer::timeout, this, &AppModel::activityChanged);
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
