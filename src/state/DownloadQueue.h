#pragma once

#include "EngineEvent.h"
#include "EngineMethods.h"
#include "Job.h"
#include "ListingPick.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class AppModel;
class QTimer;

// The downloads: the single download, the batch queue and its saved copy, pasted batches and listings.
class DownloadQueue : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isResolving READ isResolving NOTIFY isResolvingChanged)
    Q_PROPERTY(QString batchURLs READ batchURLs WRITE setBatchURLs NOTIFY batchURLsChanged)

public:
    // Owned by `app`, which outlives it.
    explicit DownloadQueue(AppModel& app);
    ~DownloadQueue() override;

    // ---- single download ----
    // Makes and starts the current download from `url` (or the download field); nothing when the
    // address is empty or the save panel was cancelled.
    QCoro::Task<std::shared_ptr<Job>> enqueue(std::optional<QString> url, bool interactive);
    // Runs a finished job again; does nothing while its earlier run is still open.
    void retry(std::shared_ptr<Job> job);
    const std::shared_ptr<Job>& currentDownload() const { return m_currentDownload; }
    // Awaited once a download's file is saved, before its run ends (the library reloads there): a step
    // rather than a signal, so the download's done and drained notices still come after the reload.
    void setAfterSave(std::function<QCoro::Task<void>()> step) { m_afterSave = std::move(step); }

    // ---- batch queue ----
    const std::vector<std::shared_ptr<Job>>& jobs() const { return m_jobs; }
    // Sends the unfinished jobs to the engine; returns at once. At most one save is on its way: calls
    // made meanwhile send one more save, with the queue as it is then, once it is answered. Before the
    // saved queue was read once, the save waits for that read.
    void persistQueue();
    // Sends the save that was asked for while none could go (before the first read, or while the
    // engine was down); nothing when none is owed.
    void persistQueueIfWanted();
    // A queue save is on its way (or waiting to be written).
    bool isSavingQueue() const { return m_queueSaveInFlight; }
    // Returns once no queue save is on its way any more, or when `limit` has passed.
    QCoro::Task<void> queueSavesSettled(std::chrono::milliseconds limit);
    // The rows a save sent now would carry: the unfinished jobs that may be saved.
    EngineMethods::QueueSave::Params queueSnapshot() const;
    // Reads the saved queue into jobs(); true when the engine answered (a reply or an error reply).
    QCoro::Task<bool> restoreQueue();
    // The saved queue has been read once; saves are held back until then.
    bool queueLoaded() const { return m_didLoadSession; }
    void markQueueLoaded();
    // The only ways jobs() changes. Each announces itself before and after (so a list model can follow
    // row by row) and then emits jobsChanged().
    void insertJobs(int at, std::vector<std::shared_ptr<Job>> jobs);
    void removeJobs(int first, int count);
    void moveJob(int from, int to);
    void resetJobs(std::vector<std::shared_ptr<Job>> jobs);
    // The job's position in jobs(), -1 when it is not there.
    int jobRow(const Job* job) const;

    // Resolves a pasted batch: singles start at once, listings wait in pendingListings. The text goes
    // back into batchURLs when the engine could not resolve it.
    QCoro::Task<void> enqueuePasted(QString text);
    // The addresses in a block of text: one per line, or several on a line when every piece looks like
    // an address or a host.
    static QStringList splitURLs(const QString& text);
    static QStringList splitLine(const QString& line);
    void startWaiting();
    void pause(const std::shared_ptr<Job>& job);
    void resume(const std::shared_ptr<Job>& job);
    void cancel(const std::shared_ptr<Job>& job);
    void remove(const std::shared_ptr<Job>& job);
    void clearQueue();
    // Adds an address as a line of batchURLs; false (nothing changed) when it is blank or already there.
    bool appendBatchURL(const QString& url);
    // Computed on each read; activityChanged() says they may have changed (once per burst of changes).
    std::vector<std::shared_ptr<Job>> activeJobs() const;
    std::vector<std::shared_ptr<Job>> allActiveJobs() const;
    std::vector<std::shared_ptr<Job>> waitingJobs() const;
    std::optional<double> overallProgress() const;
    bool isResolving() const { return m_isResolving; }
    const std::vector<BatchNote>& resolveNotes() const { return m_resolveNotes; }
    const QString& batchURLs() const { return m_batchURLs; }
    void setBatchURLs(const QString& text);

    // ---- listings ----
    // The picks waiting for the user, in the order they were made; the picker shows the first.
    const std::vector<std::shared_ptr<ListingPick>>& pendingListings() const { return m_pendingListings; }
    void acceptListing(const std::shared_ptr<ListingPick>& pick);
    void dismissListing(const std::shared_ptr<ListingPick>& pick);
    void loadMoreSection(const std::shared_ptr<ListingPick>& pick);

    // ---- engine events and engine stops ----
    // The job an event is about: the current download first, then the batch queue.
    Job* findJob(const QString& id) const;
    // The job events, applied completely without suspending.
    void apply(const EngineEvent::JobStarted& event);
    void apply(const EngineEvent::JobMeta& event);
    void apply(const EngineEvent::JobProgress& event);
    void apply(const EngineEvent::JobState& event);
    // The engine stopped: every job whose request was open is settled (see settleStoppedRun).
    void failActiveJobs(const QString& message);
    // A job whose request the engine's stop ended: back to waiting when it had not begun to transfer
    // (it runs again after the next start), else failed with `message`, its partial file kept.
    void settleStoppedRun(const std::shared_ptr<Job>& job, const QString& message);
    // After a restart: runs again the jobs an engine stop sent back to waiting, if still listed.
    void rerunReturnedJobs();

Q_SIGNALS:
    void currentDownloadChanged();
    // After currentDownloadChanged(), and whenever the current download changes in any way.
    void currentDownloadUpdated();
    void jobsChanged();
    // Row-level changes of jobs(), around each mutation; jobsChanged() follows the second of each pair.
    void jobsAboutToBeInserted(int first, int last);
    void jobsInserted(int first, int last);
    void jobsAboutToBeRemoved(int first, int last);
    void jobsRemoved(int first, int last);
    void jobAboutToBeMoved(int from, int to);
    void jobMoved(int from, int to);
    void jobsAboutToBeReset();
    void jobsReset();
    // activeJobs, allActiveJobs, waitingJobs or overallProgress may have changed.
    void activityChanged();
    // One job of the queue (or the current download) changed: what a list of jobs redraws. Relayed
    // here so that a list follows 10,000 jobs through three connections instead of three per job.
    void jobDetailsChanged(Job* job);
    void jobStateChanged(Job* job);
    void jobProgressChanged(Job* job);
    // The application's texts changed (another language): status lines and the queue's views follow.
    void textsChanged();
    void isResolvingChanged();
    void resolveNotesChanged();
    void batchURLsChanged();
    void pendingListingsChanged();
    // The saves asked for so far have all been answered.
    void queueSavesFinished();

private:
    void setCurrentDownload(std::shared_ptr<Job> job);
    // Marks the job's request open and runs it on the next turn of the event loop; false (and nothing
    // done) while an earlier run of the job is still open.
    bool startRun(std::shared_ptr<Job> job);
    QCoro::Task<void> run(std::shared_ptr<Job> job);
    // Ends a run the engine answered with an error reply (a pause and a cancel come back that way too).
    void endRunWithError(const std::shared_ptr<Job>& job, std::exception_ptr failure);
    QCoro::Task<std::optional<std::pair<QString, QString>>>
    chooseSaveLocation(std::optional<QString> suggested, FormatChoice format);
    QString fileStem(const QString& name) const;
    void announceQueueDrained();
    // A cancel that comes before the job's "download.start" went out: the start is dropped, the job
    // cancelled at once. False when the start was already sent (the engine cancels it).
    bool cancelBeforeStart(const std::shared_ptr<Job>& job);
    // True (and the run ended) when the job was cancelled before its start could be sent.
    bool dropCancelledStart(const std::shared_ptr<Job>& job);
    void enqueueResolved(const ResolvedEntry& entry, const FormatChoice& format);
    void setResolveNotes(const std::vector<BatchNote>& notes);
    void setIsResolving(bool resolving);
    void watchActivity(Job* job);
    void forgetJob(Job* job);
    void scheduleActivity(bool progressOnly);
    void setPendingListings(std::vector<std::shared_ptr<ListingPick>> picks);
    QCoro::Task<void> fetchSectionPage(std::shared_ptr<ListingPick> pick, QString name, QString source,
                                       qint64 offset);
    QCoro::Task<void> sendQueueSaves();

    AppModel& m_app;
    std::function<QCoro::Task<void>()> m_afterSave;

    // The saved queue has been read once; until then saves are held back.
    bool m_didLoadSession = false;
    bool m_queueSaveWanted = false;
    bool m_queueSaveInFlight = false;
    // Displaced current downloads kept in the queue: shown and controllable, never saved.
    QSet<const Job*> m_unsavedJobs;
    // Jobs an engine stop sent back to waiting before they began to transfer.
    std::vector<std::weak_ptr<Job>> m_returnedJobs;
    // Runs whose "download.start" has not gone out yet, and those of them cancelled meanwhile: their start
    // is never sent.
    QSet<const Job*> m_startsNotSent;
    QSet<const Job*> m_cancelledBeforeStart;
    bool m_isResolving = false;
    std::vector<BatchNote> m_resolveNotes;
    QString m_batchURLs;
    std::vector<std::shared_ptr<ListingPick>> m_pendingListings;
    bool m_activityScheduled = false;
    QTimer* m_progressActivity = nullptr;

    std::shared_ptr<Job> m_currentDownload;
    std::vector<std::shared_ptr<Job>> m_jobs;
    // Ids of the batch queue, so an event finds its job in constant time however long the queue is.
    QHash<QString, Job*> m_jobIndex;
    bool m_queueDrainAnnounced = false;
};
