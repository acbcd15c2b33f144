// The painted job rows of lists, one row per state, as the batch pane will show them.
#include "DownloadQueue.h"
#include "JobStates.h"
#include "Shots.h"

#include "JobListModel.h"
#include "rows/JobRowDelegate.h"

#include <QListView>
#include <QVBoxLayout>

namespace {

QWidget* jobList(ShotContext& c) {
    using Kind = Job::State::Kind;
    const std::pair<Kind, const char*> states[] = {
        {Kind::Waiting, "A video waiting in the queue"},
        {Kind::Downloading,
         "A video downloading with a rather long title that has to be cut at the end of the row"},
        {Kind::Downloading, "A stream whose size is not known yet"},
        {Kind::Paused, "A paused video"},
        {Kind::Converting, "A video being converted"},
        {Kind::Done, "A finished video"},
        {Kind::Cancelled, "A cancelled video"},
        {Kind::Failed, "A video that failed"}};
    std::vector<std::shared_ptr<Job>> jobs;
    int i = 0;
    for (const auto& [kind, title] : states) {
        auto job = std::make_shared<Job>(QStringLiteral("http://127.0.0.1:9/%1").arg(i), FormatChoice{},
                                         QString::fromLatin1(title), true);
        putInState(*job, kind == Kind::Failed
                             ? Job::State::failed(QStringLiteral("The server answered 403 Forbidden."))
                             : Job::State{kind, {}});
        if (i == 1) {
            job->setBytesTotal(734'003'200);
            job->setBytesDone(300'000'000);
            job->setFraction(300'000'000.0 / 734'003'200.0);
            job->setSpeedBytesPerSecond(4'200'000);
            job->setEtaSeconds(103);
        }
        if (i == 2)
            job->setBytesDone(12'500'000);
        jobs.push_back(job);
        ++i;
    }
    c.model().queuePart().insertJobs(0, jobs);
    auto* holder = new QWidget;
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(24, 20, 24, 20);
    auto* view = new QListView(holder);
    view->setFrameShape(QFrame::NoFrame);
    view->setUniformItemSizes(true);
    view->setItemDelegate(new JobRowDelegate(&c.model(), view));
    auto* rows = new JobListModel(&c.model().queuePart(), view);
    view->setModel(rows);
    layout->addWidget(view);
    return holder;
}

const ShotRegistration rows("rows-jobs", jobList, {.size = {900, 620}});

} // namespace
