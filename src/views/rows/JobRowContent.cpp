#include "rows/JobRowContent.h"

#include "AppModel.h"
#include "DownloadQueue.h"
#include "Fraction.h"
#include "Job.h"
#include "Library.h"
#include "Strings.h"

namespace {

using Kind = Job::State::Kind;

// Running states offer pause; parked ones resume; finished ones retry (done offers nothing).
bool showsPause(Kind kind) {
    return kind == Kind::Queued || kind == Kind::Analyzing || kind == Kind::Downloading ||
           kind == Kind::Processing || kind == Kind::Converting;
}

QString statusKeyOf(Kind kind) {
    switch (kind) {
    case Kind::Waiting:
    case Kind::Queued:
        return QStringLiteral("queue_status_waiting");
    case Kind::Analyzing:
        return QStringLiteral("status_resolving");
    case Kind::Downloading:
        return QStringLiteral("queue_status_downloading");
    case Kind::Paused:
        return QStringLiteral("queue_status_paused");
    case Kind::Processing:
        return QStringLiteral("status_processing");
    case Kind::Converting:
        return QStringLiteral("v2_status_converting");
    case Kind::Done:
        return QStringLiteral("queue_status_done");
    case Kind::Cancelled:
        return QStringLiteral("queue_status_cancelled");
    case Kind::Failed:
        return QStringLiteral("queue_status_error");
    }
    return {};
}

} // namespace

JobRowContent JobRowContent::of(const Job& job) {
    const Job::State& state = job.state();
    const Kind kind = state.kind;
    JobRowContent c;
    c.statusKey = statusKeyOf(kind);
    c.failed = kind == Kind::Failed;
    if (kind == Kind::Failed)
        c.detail = state.message;
    else if (kind == Kind::Downloading)
        c.detail = job.statusLine();
    else
        c.detail = job.format().summary();
    if (kind == Kind::Downloading) {
        c.progress = job.bytesTotal() < 1 ? Progress::Indeterminate : Progress::Determinate;
        c.fraction = unitFraction(job.fraction());
    }
    const bool pause = showsPause(kind);
    c.icons[int(Action::Primary)] = {pause ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"),
                                     pause ? QStringLiteral("button_pause") : QStringLiteral("button_resume"),
                                     kind != Kind::Done};
    c.icons[int(Action::Reveal)] = {QStringLiteral("folder"), QStringLiteral("button_finder"),
                                    kind == Kind::Done};
    c.icons[int(Action::Cancel)] = {QStringLiteral("xmark"), QStringLiteral("button_cancel"),
                                    !state.isFinished()};
    c.icons[int(Action::Remove)] = {QStringLiteral("trash"),
                                    kind == Kind::Done ? QStringLiteral("button_remove_from_list")
                                                       : QStringLiteral("button_remove"),
                                    true};
    return c;
}

QString JobRowContent::caption() const {
    const QString status = Strings::text(statusKey);
    if (detail.isEmpty())
        return status;
    return status + QStringLiteral(" \u00B7 ") + detail;
}

void JobRowContent::trigger(AppModel& model, const std::shared_ptr<Job>& job, Action action) {
    if (!job)
        return;
    const JobRowContent now = of(*job);
    if (!now.icons[int(action)].enabled)
        return;
    const Kind kind = job->state().kind;
    switch (action) {
    case Action::Primary:
        if (kind == Kind::Waiting || kind == Kind::Paused)
            model.queuePart().resume(job);
        else if (kind == Kind::Cancelled || kind == Kind::Failed)
            model.queuePart().retry(job);
        else
            model.queuePart().pause(job);
        break;
    case Action::Reveal:
        model.libraryPart().revealJob(*job);
        break;
    case Action::Cancel:
        model.queuePart().cancel(job);
        break;
    case Action::Remove:
        model.queuePart().remove(job);
        break;
    }
}
