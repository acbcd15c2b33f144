// Cost of folding "job.progress" events into the state object, against the length of the batch queue.
//
// For batch queues of 10, 1,000 and 10,000 jobs, restored from a saved queue that the stand-in engine
// returns for "queue.load", folds 1,000,000 progress events spread evenly over the jobs straight into
// AppModel::apply, as the pump does, and prints the nanoseconds per event of each size and the ratio of
// the 10,000-job figure to the 10-job one. A flat ratio means an event finds its job in constant time.
//
// Then the saved queue: 10,000 restored jobs finish one after another, each on its own turn of the event
// loop as the engine's events would come, all but the last; it prints how many "queue.save" requests
// reached the engine, the time until the last one was answered, and whether the engine's saved queue is
// exactly the one job left.

#include "AppModel.h"
#include "DownloadQueue.h"
#include "FakeServices.h"
#include "Session.h"
#include "SourceDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <QCoro/QCoroTask>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 eventCount = 1'000'000;
constexpr int rounds = 7;

QJsonObject storedRow(int i) {
    return {{"url", QString("http://127.0.0.1:9/v/%1").arg(i)},
            {"title", QString("Video %1").arg(i)},
            {"quality", "1080p"},
            {"container", "MP4"},
            {"audio_only", false},
            {"thumb_url", ""},
            {"playlist", ""},
            {"channel", "Channel"},
            {"status", "waiting"}};
}

QJsonValue call(AppModel& model, const QString& method, QJsonObject params) {
    auto task = [&]() -> QCoro::Task<QJsonValue> {
        co_return (co_await model.engine().call(method, params)).value_or(QJsonValue::Undefined);
    };
    return QCoro::waitFor(task());
}

// Nanoseconds per event, the best of a few rounds, for a queue of `size` restored jobs.
double measure(int size) {
    QTemporaryDir dir;
    FakeServices fakes;
    EngineLocations locations;
    locations.developmentRoot = QStringLiteral(VAMBER_SOURCE_DIR);
    locations.appVersion = QStringLiteral("9.9.9");
    locations.environment = QProcessEnvironment::systemEnvironment();
    locations.environment.insert("VAMBER_PYTHON", "/usr/bin/python3");
    locations.environment.insert("VAMBER_ENGINE_TEST", "1");
    locations.environment.insert("VAMBER_SUPPORT_DIR", dir.filePath("support"));
    locations.environment.insert("XDG_DATA_HOME", dir.filePath("data"));
    locations.environment.insert("HOME", dir.path());
    locations.environment.remove("VAMBER_ENGINE_SERVER");
    AppModel model(fakes.services(), locations);

    model.engine().start();
    QJsonArray rows;
    for (int i = 0; i < size; ++i)
        rows.append(storedRow(i));
    call(model, "test.script", {{"method", "queue.load"}, {"result", QJsonObject{{"items", rows}}}});
    QCoro::waitFor(model.sessionPart().boot());
    if (model.queuePart().jobs().size() != size_t(size)) {
        std::fprintf(stderr, "restored %zu jobs instead of %d\n", model.queuePart().jobs().size(), size);
        std::exit(1);
    }

    // Progress only counts while a job's download request is open: mark them as if all were running.
    // One event is reused, as a decoded line would arrive, with the job id of its turn.
    std::vector<QString> ids;
    ids.reserve(size);
    for (const auto& job : model.queuePart().jobs()) {
        job->openRun();
        ids.push_back(job->id());
    }
    EngineEvent::JobProgress progress;
    progress.total = 1'000'000'000;
    progress.speedEngine = EngineEvent::SpeedEngine{1e6, 9e5, 0, 1'000'000'000, 10.0, 1, "https"};
    EngineEvent event{progress};
    auto& p = std::get<EngineEvent::JobProgress>(event.payload);

    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (qint64 i = 0; i < eventCount; ++i) {
            p.jobId = ids[size_t(i % size)];
            p.downloaded = i;
            p.fraction = double(i) / double(eventCount);
            p.speed = double(i % 1000);
            p.eta = double(eventCount - i);
            model.apply(event);
        }
        best = std::min(best, double(timer.nsecsElapsed()) / double(eventCount));
    }
    QCoro::waitFor(model.engine().stop());
    return best;
}

// Finishes all but the last of `size` restored jobs, one per event-loop turn; prints the saves sent.
void measureSaves(int size) {
    QTemporaryDir dir;
    FakeServices fakes;
    EngineLocations locations;
    locations.developmentRoot = QStringLiteral(VAMBER_SOURCE_DIR);
    locations.appVersion = QStringLiteral("9.9.9");
    locations.environment = QProcessEnvironment::systemEnvironment();
    locations.environment.insert("VAMBER_PYTHON", "/usr/bin/python3");
    locations.environment.insert("VAMBER_ENGINE_TEST", "1");
    locations.environment.insert("VAMBER_ENGINE_TEST_LOG", dir.filePath("requests.jsonl"));
    locations.environment.insert("VAMBER_SUPPORT_DIR", dir.filePath("support"));
    locations.environment.insert("XDG_DATA_HOME", dir.filePath("data"));
    locations.environment.insert("HOME", dir.path());
    locations.environment.remove("VAMBER_ENGINE_SERVER");
    AppModel model(fakes.services(), locations);
    model.engine().start();
    QJsonArray rows;
    for (int i = 0; i < size; ++i)
        rows.append(storedRow(i));
    call(model, "test.script", {{"method", "queue.load"}, {"result", QJsonObject{{"items", rows}}}});
    QCoro::waitFor(model.sessionPart().boot());

    const auto saves = [&] {
        QFile log(dir.filePath("requests.jsonl"));
        log.open(QIODevice::ReadOnly);
        return int(log.readAll().count("\"method\\\":\\\"queue.save\\\""));
    };
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i + 1 < size; ++i) {
        model.apply(EngineEvent{EngineEvent::JobState{
            model.queuePart().jobs()[size_t(i)]->id(), EngineEvent::JobState::Kind::Done, {}, {}, {}}});
        QCoreApplication::processEvents();
    }
    // The last save carries the one job left; wait until the engine has it.
    QTest::qWaitFor([&] { return call(model, "queue.load", {})["items"].toArray().size() == 1; }, 600000);
    const qint64 ms = timer.elapsed();
    const QJsonArray left = call(model, "queue.load", {})["items"].toArray();
    const bool exact = left.size() == 1 && left[0].toObject()["url"] == storedRow(size - 1)["url"];
    std::printf("saved queue: %d jobs finished one by one, %d saves, %lld ms, last saved queue %s\n",
                size - 1, saves(), ms, exact ? "exact" : "WRONG");
    QCoro::waitFor(model.engine().stop());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    double small = 0;
    double large = 0;
    for (int size : {10, 1000, 10000}) {
        const double ns = measure(size);
        std::printf("jobs %5d: %.1f ns/event\n", size, ns);
        std::fflush(stdout);
        if (size == 10)
            small = ns;
        if (size == 10000)
            large = ns;
    }
    std::printf("ratio: %.2f\n", large / small);
    measureSaves(10000);
    return 0;
}
