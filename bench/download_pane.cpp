// The Download tab's cost on the GUI thread while a download runs.
//
// The pane is shown offscreen over a state object booted against the stand-in engine. The current
// download (its request held open by the engine) receives 10 "job.progress" events a second, each with
// speed figures, and a batch of 100 running jobs sits in the state, each receiving one progress event a
// second. For 10 s it samples the event loop every 5 ms: a zero-timer is posted and its lateness measured.
// It prints the GUI thread's CPU time as a share of the wall time, and the lateness's median, 99th
// percentile and the number of samples late by more than 16 ms.

#include "Composition.h"
#include "DownloadQueue.h"
#include "JobStates.h"
#include "StateFixture.h"

#include "download/DownloadPane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

EngineEvent progress(const QString& id, qint64 done, qint64 total, double speed) {
    EngineEvent::JobProgress p;
    p.jobId = id;
    p.downloaded = done;
    p.total = total;
    p.fraction = double(done) / double(total);
    p.speed = speed;
    p.eta = double(total - done) / speed;
    p.speedEngine =
        EngineEvent::SpeedEngine{speed, speed * 0.9, done, total, p.eta, 4, QStringLiteral("https")};
    return EngineEvent{p};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StateFixture f;
    f.boot();

    // The current download, held open by the engine so its events count.
    f.control(QStringLiteral("test.hold"),
              QJsonObject{{QStringLiteral("method"), QStringLiteral("download.start")}});
    f.model->compositionPart().setPastedText(QStringLiteral("http://127.0.0.1:9/current.mp4"));
    const auto current = f.enqueue(std::nullopt);
    QTest::qWaitFor([&] { return current->requestOpen(); });

    std::vector<std::shared_ptr<Job>> batch;
    for (int i = 0; i < 100; ++i) {
        auto job = std::make_shared<Job>(QStringLiteral("http://127.0.0.1:9/%1.mp4").arg(i), FormatChoice{},
                                         QStringLiteral("Batch video %1").arg(i), true);
        job->openRun();
        putInState(*job, {Job::State::Downloading, {}});
        batch.push_back(job);
    }
    f.model->queuePart().insertJobs(0, batch);

    DownloadPane pane(f.model.get());
    pane.resize(1020, 700);
    pane.show();
    QTest::qWaitForWindowExposed(&pane);
    QTest::qWait(200);

    const qint64 total = 800'000'000;
    qint64 done = 0;
    int tick = 0;
    QTimer events;
    events.setInterval(100);
    QObject::connect(&events, &QTimer::timeout, [&] {
        done = std::min(total - 1, done + 3'000'000);
        f.model->apply(progress(current->id(), done, total, 30'000'000 + (tick % 7) * 100'000));
        // Each batch job hears once a second: a tenth of them on each tick.
        for (size_t i = size_t(tick % 10); i < batch.size(); i += 10)
            f.model->apply(progress(batch[i]->id(), done / 2, total, 1'000'000));
        ++tick;
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
    std::printf("download pane, 10 progress events/s on the current download, 100 running batch jobs (1 "
                "event/s each)\n");
    std::printf("  GUI thread busy: %.2f %% of %.1f s (%.3f s CPU)\n", 100 * cpu / wallSeconds, wallSeconds,
                cpu);
    std::printf(
        "  event-loop lateness over %zu samples: median %.3f ms, p99 %.3f ms, %lld late by more than 16 ms\n",
        lateness.size(), at(0.5), at(0.99), static_cast<long long>(late));
    std::printf("  progress shown: %s\n", qPrintable(current->statusLine()));
    f.control(QStringLiteral("test.clear"));
    return 0;
}
