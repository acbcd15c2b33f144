// A pasted batch of 500 direct links, resolved through the stand-in engine against a local web server.
//
// Prints, from one run: the milliseconds the engine takes to answer "queue.resolve" for the 500 links;
// the milliseconds the state side takes from that answer to all 500 jobs in the queue with their
// "download.start" written (the same answer replayed instantly by the engine's test script, one plain
// round trip subtracted), and until the engine has received them and the "queue.save"; and, for a queue of
// 10,000 jobs, the milliseconds of one save's rows (the snapshot) and of their JSON encoding, each the best
// of 5.

#include "AppModel.h"
#include "DownloadQueue.h"
#include "FakeServices.h"
#include "JobStates.h"
#include "Session.h"
#include "SourceDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <QCoro/QCoroTask>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int linkCount = 500;
constexpr int queueSize = 10000;

QJsonValue call(AppModel& model, const QString& method, QJsonObject params) {
    auto task = [&]() -> QCoro::Task<QJsonValue> {
        co_return (co_await model.engine().call(method, params)).value_or(QJsonValue::Undefined);
    };
    return QCoro::waitFor(task());
}

EngineLocations locationsIn(const QTemporaryDir& dir) {
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
    return locations;
}

// Requests of `method` the engine has received so far.
int logged(const QTemporaryDir& dir, const QString& method) {
    QFile log(dir.filePath("requests.jsonl"));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    int count = 0;
    while (!log.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(log.readLine()).object();
        const QJsonObject request = QJsonDocument::fromJson(line["request"].toString().toUtf8()).object();
        count += request["method"].toString() == method;
    }
    return count;
}

double millis(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile media(dir.filePath("www/v.mp4"));
    QDir().mkpath(dir.filePath("www"));
    if (!media.open(QIODevice::WriteOnly) || media.write(QByteArray(4096, 'x')) != 4096) {
        std::fprintf(stderr, "cannot write the served file\n");
        return 1;
    }
    media.close();
    QProcess server;
    server.setProgram("/usr/bin/python3");
    server.setArguments(
        {"-m", "http.server", "--bind", "127.0.0.1", "0", "--directory", dir.filePath("www")});
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start();
    QString port;
    QTest::qWaitFor(
        [&] {
            const QString out = QString::fromUtf8(server.readAll());
            const int at = out.indexOf("port ");
            if (at >= 0)
                port = out.mid(at + 5).section(' ', 0, 0);
            return !port.isEmpty();
        },
        30000);
    if (port.isEmpty()) {
        std::fprintf(stderr, "the web server did not start\n");
        return 1;
    }
    QStringList links;
    for (int i = 0; i < linkCount; ++i)
        links << QString("http://127.0.0.1:%1/v.mp4?n=%2").arg(port).arg(i);

    FakeServices fakes;
    AppModel model(fakes.services(), locationsIn(dir));
    model.engine().start();
    QCoro::waitFor(model.sessionPart().boot());
    // Nothing is downloaded: the starts are only counted.
    call(model, "test.hold", {{"method", "download.start"}});

    const QJsonObject params{
        {"urls", QJsonArray::fromStringList(links)}, {"cookieSource", "None"}, {"cookiesFile", ""}};
    QElapsedTimer timer;
    timer.start();
    const QJsonValue resolution = call(model, "queue.resolve", params);
    const double engineMs = millis(timer);
    const int singles = int(resolution["singles"].toArray().size());

    // One plain round trip through the engine's test script, to take out of the state side's figure.
    call(model, "test.script", {{"method", "queue.resolve"}, {"result", QJsonObject{}}});
    timer.start();
    call(model, "queue.resolve", params);
    const double roundTripMs = millis(timer);

    call(model, "test.script", {{"method", "queue.resolve"}, {"result", resolution}});
    const int savesBefore = logged(dir, "queue.save");
    timer.start();
    QCoro::waitFor(model.queuePart().enqueuePasted(links.join('\n')));
    // Every job's run starts on a later turn and writes its request at once.
    const auto allSent = [&] {
        return std::all_of(model.queuePart().jobs().begin(), model.queuePart().jobs().end(),
                           [](const auto& job) { return job->state().kind == Job::State::Analyzing; });
    };
    while (!allSent())
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const double stateMs = millis(timer) - roundTripMs;
    QTest::qWaitFor(
        [&] { return logged(dir, "download.start") >= singles && logged(dir, "queue.save") > savesBefore; },
        120000);
    const double receivedMs = millis(timer) - roundTripMs;

    std::printf("queue.resolve: %d links, %d singles, engine answer %.0f ms\n", linkCount, singles, engineMs);
    std::printf(
        "state side: %zu jobs queued and their download.start written %.1f ms after the answer; the engine "
        "had received them and the queue.save after %.0f ms\n",
        model.queuePart().jobs().size(), stateMs, receivedMs);

    std::vector<std::shared_ptr<Job>> jobs;
    for (int i = 0; i < queueSize; ++i) {
        auto job = std::make_shared<Job>(QString("http://127.0.0.1:9/v/%1").arg(i), FormatChoice{},
                                         QString("Video %1").arg(i), true);
        putInState(*job, {Job::State::Waiting, {}});
        jobs.push_back(std::move(job));
    }
    model.queuePart().resetJobs(std::move(jobs));
    double snapshotMs = 1e300;
    double encodeMs = 1e300;
    qsizetype bytes = 0;
    for (int round = 0; round < 5; ++round) {
        timer.start();
        const auto rows = model.queuePart().queueSnapshot();
        snapshotMs = std::min(snapshotMs, millis(timer));
        timer.start();
        bytes = QJsonDocument(rows.toJson()).toJson(QJsonDocument::Compact).size();
        encodeMs = std::min(encodeMs, millis(timer));
    }
    std::printf("queue of %d jobs: snapshot %.1f ms, JSON encoding %.1f ms (%lld bytes)\n", queueSize,
                snapshotMs, encodeMs, qlonglong(bytes));

    call(model, "test.release", {{"method", "download.start"}});
    QCoro::waitFor(model.engine().stop());
    server.kill();
    server.waitForFinished();
    return 0;
}
