// The Batch tab's cost with a queue of 10,000 jobs.
//
// The pane is shown offscreen over a state object booted against the stand-in engine, with 10,000 jobs
// in the queue, scrolled to the middle. 100 jobs around the middle (their download requests open) receive
// "job.progress" events, 1,000 a second in all, for 10 s. It prints the milliseconds to open the tab (build,
// show and first paint), the resident memory the view adds for its rows (measured around the pane only;
// the state's jobs exist before), the GUI thread's CPU time during the events as a share of the wall time,
// and the event loop's lateness (a zero-timer posted every 5 ms): median, 99th percentile and the number of
// samples late by more than 16 ms.

#include "DownloadQueue.h"
#include "JobStates.h"
#include "StateFixture.h"

#include "batch/BatchPane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <unistd.h>
#include <vector>

namespace {

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double residentMB() {
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1
               ? double(fields[1].toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0)
               : 0;
}

EngineEvent progress(const QString& id, qint64 done, qint64 total, double speed) {
    EngineEvent::JobProgress p;
    p.jobId = id;
    p.downloaded = done;
    p.total = total;
    p.fraction = double(done) / double(total);
    p.speed = speed;
    p.eta = double(total - done) / speed;
    return EngineEvent{p};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StateFixture f;
    f.boot();

    std::vector<std::shared_ptr<Job>> jobs;
    std::vector<std::shared_ptr<Job>> running;
    const Job::State::Kind kinds[] = {Job::State::Waiting, Job::State::Done, Job::State::Paused,
                                      Job::State::Failed};
    for (int i = 0; i < 10000; ++i) {
        auto job =
            std::make_shared<Job>(QStringLiteral("http://127.0.0.1:9/%1.mp4").arg(i), FormatChoice{},
                                  QStringLiteral("Batch video number %1 of a long queue").arg(i), true);
        if (i >= 4950 && i < 5050) {
            job->openRun();
            putInState(*job, {Job::State::Downloading, {}});
            running.push_back(job);
        } else {
            putInState(*job, {kinds[i % 4], {}});
        }
        jobs.push_back(job);
    }
    f.model->queuePart().insertJobs(0, jobs);
    QCoreApplication::processEvents();

    const double before = residentMB();
    QElapsedTimer opening;
    opening.start();
    auto* pane = new BatchPane(f.model.get());
    pane->resize(1020, 700);
    pane->show();
    pane->repaint();
    const double openMs = double(opening.nsecsElapsed()) / 1e6;
    QTest::qWaitForWindowExposed(pane);
    QScrollBar* bar = pane->scrollArea()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QTest::qWait(300);
    const double after = residentMB();

    const qint64 total = 800'000'000;
    std::vector<qint64> done(running.size(), 0);
    size_t next = 0;
    QTimer events;
    events.setTimerType(Qt::PreciseTimer);
    events.setInterval(10);
    QElapsedTimer clock;
    qint64 sent = 0;
    QObject::connect(&events, &QTimer::timeout, [&] {
        // Keeps to 1,000 a second whatever the timer's own lateness.
        const qint64 due = clock.elapsed();
        while (sent < due) {
            const size_t i = next++ % running.size();
            done[i] = std::min(total - 1, done[i] + 400'000);
            f.model->apply(progress(running[i]->id(), done[i], total, 2'000'000 + double(i) * 1000));
            ++sent;
        }
    });

    std::vector<double> lateness;
    QTimer sampler;
    sampler.setInterval(5);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        auto posted = std::make_shared<QElapsedTimer>();
        posted->start();
        QTimer::singleShot(0,
                           [posted, &lateness] { lateness.push_back(double(posted->nsecsElapsed()) / 1e6); });
    });

    QElapsedTimer wall;
    const double cpuStart = threadCpuSeconds();
    wall.start();
    clock.start();
    events.start();
    sampler.start();
    QTimer::singleShot(10'000, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    app.exec();
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = threadCpuSeconds() - cpuStart;
    events.stop();
    sampler.stop();

    std::sort(lateness.begin(), lateness.end());
    const auto at = [&](double q) {
        return lateness.empty() ? 0.0 : lateness[size_t(q * double(lateness.size() - 1))];
    };
    const auto late = std::count_if(lateness.begin(), lateness.end(), [](double ms) { return ms > 16; });
    std::printf("batch pane, 10,000 jobs, 100 of them receiving %lld progress events in %.1f s\n",
                static_cast<long long>(sent), wallSeconds);
    std::printf("  tab open (build, show, first paint): %.1f ms\n", openMs);
    std::printf("  resident memory added by the view: %.1f MB (%.1f -> %.1f MB)\n", after - before, before,
                after);
    std::printf("  GUI thread busy: %.2f %% of %.1f s (%.3f s CPU)\n", 100 * cpu / wallSeconds, wallSeconds,
                cpu);
    std::printf(
        "  event-loop lateness over %zu samples: median %.3f ms, p99 %.3f ms, %lld late by more than 16 ms\n",
        lateness.size(), at(0.5), at(0.99), static_cast<long long>(late));
    std::printf("  a running row shows: %s\n", qPrintable(running.front()->statusLine()));
    delete pane;
    return 0;
}
