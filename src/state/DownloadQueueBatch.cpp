// The batch queue: pasted batches resolved into jobs, the per-job and queue-wide actions, the batch
// field and the values the queue's views draw.
#include "DownloadQueue.h"

#include "AppModel.h"
#include "Assign.h"
#include "ClipboardWatcher.h"
#include "Composition.h"
#include "Job.h"
#include "ListingPick.h"
#include "Session.h"
#include "Spawn.h"
#include "TextTrim.h"

#include <QSet>
#include <QTimer>
#include <QVarLengthArray>

#include <algorithm>
#include <coroutine>

namespace {
// Every line break a pasted text may hold; a CR LF pair leaves an empty piece between, which is dropped.
bool isLineBreak(QChar c) {
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case 0x000B:
    case 0x000C:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

// The lines of `text`, trimmed of spaces and tabs, empty ones dropped. A plain scan: a pasted megabyte is
// split while the window waits.
QStringList trimmedLines(const QString& text) {
    QStringList out;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineBreak(text[i]))
            continue;
        if (i > start) {
            QString line = trimSpacesAndTabs(text.sliced(start, i - start));
            if (!line.isEmpty())
                out << std::move(line);
        }
        start = i + 1;
    }
    return out;
}

// Resumes the awaiting coroutine on the next turn of the event loop (never, when `context` is gone).
struct NextTurn {
    QObject* context;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting) {
        QTimer::singleShot(0, context, [waiting] { waiting.resume(); });
    }
    void await_resume() const noexcept {}
};

bool isParked(const Job& job) {
    return job.state().isParked();
}

// Text handed back to the batch field goes before anything typed there since, on lines of its own.
QString beforeTheField(QString text, const QString& field) {
    if (!text.endsWith(u'\n'))
        text += u'\n';
    return field.trimmed().isEmpty() ? text : text + field;
}

// The addresses of a full batch that the engine did not take, in pasted order, each once. Its note names
// the first of them as it was sent; everything sent before that was taken, or refused as no address (its
// own note says so), and so is what repeats it or another refused text later.
QStringList notTakenFrom(const QStringList& sent, const std::vector<BatchNote>& notes) {
    const auto full = std::find_if(notes.begin(), notes.end(),
                                   [](const BatchNote& n) { return n.reason == u"queue-full"; });
    if (full == notes.end())
        return {};
    const qsizetype first = sent.indexOf(full->input);
    if (first < 0)
        return {};
    QSet<QString> settled;
    settled.reserve(sent.size());
    for (qsizetype i = 0; i < first; ++i)
        settled.insert(sent[i]);
    for (const BatchNote& note : notes) {
        if (note.reason == u"not-a-url")
            settled.insert(note.input);
    }
    QStringList out;
    for (qsizetype i = first; i < sent.size(); ++i) {
        if (!settled.contains(sent[i])) {
            settled.insert(sent[i]);
            out << sent[i];
        }
    }
    return out;
}
} // namespace

QStringList DownloadQueue::splitURLs(const QString& text) {
    QStringList out;
    for (const QString& line : trimmedLines(text))
        out << splitLine(line);
    return out;
}

QStringList DownloadQueue::splitLine(const QString& line) {
    QVarLengthArray<QStringView, 16> pieces;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] != u' ' && line[i] != u'\t') {
            if (start < 0)
                start = i;
            continue;
        }
        if (start < 0)
            continue;
        const QStringView piece = QStringView(line).sliced(start, i - start);
        const bool address =
            piece.startsWith(QLatin1String("http://")) || piece.startsWith(QLatin1String("https://"));
        // One piece that is neither an address nor a host keeps the whole line as one entry.
        if (!address && !piece.contains(u'.'))
            return {line};
        pieces.append(piece);
        start = -1;
    }
    if (pieces.size() < 2)
        return {line};
    QStringList out;
    out.reserve(pieces.size());
    for (QStringView piece : pieces)
        out << piece.toString();
    return out;
}

QCoro::Task<void> DownloadQueue::enqueuePasted(QString text) {
    const QStringList urls = splitURLs(text);
    if (urls.isEmpty())
        co_return;
    QPointer<DownloadQueue> self(this);
    // The text has left the field; the clipboard offer must not bring the same text back.
    ClipboardWatcher::markSeen();
    setIsResolving(true);
    setResolveNotes({});
    const Session::CookiePair cookies = co_await m_app.sessionPart().cookieParamsForAll(urls);
    if (!self)
        co_return;
    EngineMethods::QueueResolve::Params params;
    params.urls = urls;
    params.cookieSource = cookies.source;
    params.cookiesFile = cookies.file;
    auto reply = co_await m_app.sessionPart().ask<EngineMethods::QueueResolve>(params, true);
    if (!self)
        co_return;
    if (!reply) {
        // Nothing the user pasted is lost: it goes back into the field, before anything typed since.
        setBatchURLs(beforeTheField(text, m_batchURLs));
        setIsResolving(false);
        co_return;
    }
    // A batch takes so many addresses; the rest go back into the field for the next one, and one note
    // counts them instead of the engine's.
    const QStringList notTaken = notTakenFrom(urls, reply->notes);
    if (!notTaken.isEmpty()) {
        for (BatchNote& note : reply->notes) {
            if (note.reason == u"queue-full")
                note = BatchNote{{}, BatchNote::notTaken, notTaken.size(), std::nullopt};
        }
        setBatchURLs(beforeTheField(notTaken.join(u'\n'), m_batchURLs));
    }
    setResolveNotes(reply->notes);
    const FormatChoice chosen = m_app.compositionPart().format();
    // Hundreds of jobs join a hundred a turn, and each hundred's starts are written on the next: the
    // window answers in between.
    constexpr size_t jobsPerTurn = 100;
    for (size_t i = 0; i < reply->singles.size(); ++i) {
        // The field refilled with thousands of lines is a turn's work of its own.
        if ((i > 0 && i % jobsPerTurn == 0) || (i == 0 && size_t(notTaken.size()) > jobsPerTurn)) {
            co_await NextTurn{this};
            if (!self)
                co_return;
        }
        enqueueResolved(reply->singles[i], chosen);
    }
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

void DownloadQueue::enqueueResolved(const ResolvedEntry& entry, const FormatChoice& format) {
    auto job =
        std::make_shared<Job>(entry.url, format, entry.title.isEmpty() ? entry.url : entry.title, true);
    if (!entry.thumbnail.isEmpty())
        job->setThumbnailURL(entry.thumbnail);
    job->setChannel(entry.channel);
    insertJobs(int(m_jobs.size()), {job});
    startRun(job);
}

void DownloadQueue::startWaiting() {
    for (const auto& job : m_jobs) {
        if (isParked(*job))
            startRun(job);
    }
    persistQueue();
}

void DownloadQueue::pause(const std::shared_ptr<Job>& job) {
    if (!job)
        return;
    const QString id = job->id();
    spawn(this, [this, id]() -> QCoro::Task<void> {
        EngineMethods::DownloadPause::Params params;
        params.jobId = id;
        // The answer to a pause comes back on the job's open "download.start": it ends with an error
        // whose detail is "paused" (see Job::runEndOf); this request's own reply says nothing.
        co_await m_app.sessionPart().ping<EngineMethods::DownloadPause>(params, false);
    });
}

void DownloadQueue::resume(const std::shared_ptr<Job>& job) {
    if (job && isParked(*job))
        startRun(job);
}

void DownloadQueue::cancel(const std::shared_ptr<Job>& job) {
    if (!job)
        return;
    const bool paused = job->state().kind == Job::State::Paused;
    // Its "download.start" has not gone out: the engine would not know the job, so it is never sent.
    if (cancelBeforeStart(job)) {
        persistQueue();
        return;
    }
    if (isParked(*job)) {
        job->cancel();
        persistQueue();
        // A job that never started has nothing at the engine; a paused one, or one restored from the
        // saved queue, may have a partial file and its resume record there, which only a cancel removes.
        if (!paused && !job->restored())
            return;
    } else if (job->keptForResume()) {
        // Its partial file goes with this cancel: nothing is left to resume.
        job->dropKeptPart();
        persistQueue();
    }
    const QString id = job->id();
    spawn(this, [this, id]() -> QCoro::Task<void> {
        EngineMethods::DownloadCancel::Params params;
        params.jobId = id;
        co_await m_app.sessionPart().ping<EngineMethods::DownloadCancel>(params, false);
    });
}

void DownloadQueue::remove(const std::shared_ptr<Job>& given) {
    if (!given)
        return;
    // The caller may pass a reference into jobs() itself: the job is held here, so removing its row
    // frees nothing this still reads.
    const std::shared_ptr<Job> job = given;
    const QString id = job->id();
    cancel(job);
    if (m_currentDownload && m_currentDownload->id() == id)
        setCurrentDownload(nullptr);
    for (int row = int(m_jobs.size()) - 1; row >= 0; --row) {
        if (m_jobs[row]->id() == id)
            removeJobs(row, 1);
    }
    persistQueue();
}

void DownloadQueue::clearQueue() {
    const auto jobs = m_jobs;
    for (const auto& job : jobs) {
        if (!job->state().isFinished() || job->keptForResume())
            cancel(job);
    }
    resetJobs({});
    persistQueue();
}

bool DownloadQueue::appendBatchURL(const QString& url) {
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

void DownloadQueue::setBatchURLs(const QString& text) {
    assign(this, m_batchURLs, text, &DownloadQueue::batchURLsChanged);
}

void DownloadQueue::setResolveNotes(const std::vector<BatchNote>& notes) {
    assign(this, m_resolveNotes, notes, &DownloadQueue::resolveNotesChanged);
}

void DownloadQueue::setIsResolving(bool resolving) {
    assign(this, m_isResolving, resolving, &DownloadQueue::isResolvingChanged);
}
