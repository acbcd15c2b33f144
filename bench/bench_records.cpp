// Decoding the largest replies the application receives: a library page of 120 items, a resolution of a
// long pasted list with big listings, and encoding a saved queue; and the most frequent event.

#include "EngineEvent.h"
#include "EngineMethods.h"
#include "EngineTypes.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <benchmark/benchmark.h>

namespace {

QJsonObject entry(int i) {
    return {{"url", QStringLiteral("https://v.example/watch?v=%1").arg(i)},
            {"title", QStringLiteral("Entry number %1 with a longer title").arg(i)},
            {"thumbnail", QStringLiteral("https://i.example/%1.jpg").arg(i)},
            {"playlist", "Playlist"},
            {"channel", "Channel"},
            {"duration", 61.5 + i},
            {"section", "Videos"}};
}

QByteArray libraryPage(int items) {
    QJsonArray list;
    for (int i = 0; i < items; ++i)
        list.append(QJsonObject{{"path", QStringLiteral("/home/u/Videos/file %1.mp4").arg(i)},
                                {"title", QStringLiteral("File %1").arg(i)},
                                {"url", QStringLiteral("https://v.example/%1").arg(i)},
                                {"kind", "video"},
                                {"addedAt", 1700000000.5 + i},
                                {"sizeBytes", qint64(1) << 30},
                                {"thumbURL", ""},
                                {"thumbPath", QStringLiteral("/home/u/.cache/t%1.jpg").arg(i)},
                                {"channel", "C"},
                                {"playlist", ""},
                                {"exists", true}});
    return QJsonDocument(QJsonObject{{"items", list}, {"total", 5000}, {"offset", 0}, {"hasMore", true}})
        .toJson(QJsonDocument::Compact);
}

QByteArray resolution(int singles, int listings, int perListing) {
    QJsonArray s, l;
    for (int i = 0; i < singles; ++i)
        s.append(entry(i));
    for (int j = 0; j < listings; ++j) {
        QJsonArray entries;
        for (int i = 0; i < perListing; ++i)
            entries.append(entry(i));
        l.append(QJsonObject{
            {"title", "List"},
            {"entries", entries},
            {"sections", QJsonArray{QJsonObject{{"name", "Videos"}, {"source", "s"}, {"count", 9}}}},
            {"notes", QJsonArray{}}});
    }
    return QJsonDocument(
               QJsonObject{{"singles", s},
                           {"listings", l},
                           {"notes", QJsonArray{QJsonObject{{"input", "x"}, {"reason", "not-a-url"}}}},
                           {"pageSize", 50}})
        .toJson(QJsonDocument::Compact);
}

// Parsing included: that is what a reply line costs end to end.
template <class T> void decodeLine(benchmark::State& state, const QByteArray& line) {
    for (auto _ : state) {
        T value = decodeJson<T>(QJsonDocument::fromJson(line).object());
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(state.iterations() * line.size());
}

void BM_LibraryPage120(benchmark::State& state) {
    decodeLine<LibraryPage>(state, libraryPage(120));
}

// The record decoding alone, from an already parsed object.
void BM_LibraryPage120DecodeOnly(benchmark::State& state) {
    const QJsonObject object = QJsonDocument::fromJson(libraryPage(120)).object();
    for (auto _ : state) {
        LibraryPage value = decodeJson<LibraryPage>(object);
        benchmark::DoNotOptimize(value);
    }
}

// One "job.progress" notification's params, the most frequent thing the engine writes.
void BM_JobProgressDecodeOnly(benchmark::State& state) {
    const QJsonObject params =
        QJsonDocument::fromJson(
            R"({"jobId":"5F0C2B9E-3D41-4C7A-9E55-100000000001","downloaded":36700160,"total":734003200,)"
            R"("fraction":0.05,"speed":2500000.5,"eta":278.9,"fragment":0,"fragmentCount":0,"speedEngine":)"
            R"({"speed":2500000.5,"average":2250000.25,"downloaded":36700160,"total":734003200,"eta":278.9,)"
            R"("connections":1,"protocol":"https"}})")
            .object();
    for (auto _ : state) {
        EngineEvent event = EngineEvent::fromNotification(QStringLiteral("job.progress"), params);
        benchmark::DoNotOptimize(event);
    }
}

void BM_QueueResolution(benchmark::State& state) {
    decodeLine<QueueResolution>(state, resolution(int(state.range(0)), 4, int(state.range(0))));
}

// The record decoding alone, from an already parsed object.
void BM_QueueResolutionDecodeOnly(benchmark::State& state) {
    const QJsonObject object =
        QJsonDocument::fromJson(resolution(int(state.range(0)), 4, int(state.range(0)))).object();
    for (auto _ : state) {
        QueueResolution value = decodeJson<QueueResolution>(object);
        benchmark::DoNotOptimize(value);
    }
}

void BM_QueueSaveParams(benchmark::State& state) {
    EngineMethods::QueueSave::Params params;
    for (int i = 0; i < state.range(0); ++i)
        params.items.push_back({QStringLiteral("https://v.example/%1").arg(i), "Title", "1080p", "MP4", false,
                                "", "", "Channel", "waiting"});
    for (auto _ : state) {
        QByteArray line = QJsonDocument(params.toJson()).toJson(QJsonDocument::Compact);
        benchmark::DoNotOptimize(line);
    }
}

} // namespace

BENCHMARK(BM_LibraryPage120);
BENCHMARK(BM_LibraryPage120DecodeOnly);
BENCHMARK(BM_JobProgressDecodeOnly);
BENCHMARK(BM_QueueResolution)->Arg(50)->Arg(500);
BENCHMARK(BM_QueueResolutionDecodeOnly)->Arg(50)->Arg(500);
BENCHMARK(BM_QueueSaveParams)->Arg(100)->Arg(1000);

BENCHMARK_MAIN();
