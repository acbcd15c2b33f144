// Framing: the engine's output cut into chunks at arbitrary places gives the same replies and events, in
// the same order, as the same bytes arriving in one piece.
//
// Input: one byte that seeds the cut plan, then the bytes of the engine's output.

#include "EngineTestSupport.h"
#include "FuzzApplication.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int waitingRequests = 2; // ids 1 and 2 wait for replies

// Chunk lengths from a small generator: zero-length chunks, single bytes and longer runs all occur.
std::vector<qsizetype> cutPlan(uint8_t seed, qsizetype total) {
    std::vector<qsizetype> cuts;
    const qsizetype longest = 1 + seed % 61;
    uint32_t state = 0x9E3779B9u ^ (seed * 2654435761u);
    for (qsizetype used = 0; used < total;) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const qsizetype cut = std::min<qsizetype>(state % (longest + 1), total - used);
        cuts.push_back(cut);
        used += cut;
    }
    return cuts;
}

const QByteArray& closingAnswers() {
    static const QByteArray answers = [] {
        QByteArray a = "\n";
        for (int id = 1; id <= waitingRequests; ++id)
            a += "{\"id\":" + QByteArray::number(id) + ",\"result\":0}\n";
        return a;
    }();
    return answers;
}

std::vector<Delivered> run(QByteArrayView stream, const std::vector<qsizetype>& cuts) {
    EngineClient client(nowhere());
    EngineClientProbe probe(client);
    Recorder recorder(client);
    probe.attach();
    for (int id = 1; id <= waitingRequests; ++id)
        recorder.track(client.call(QStringLiteral("m")), QString::number(id));
    qsizetype at = 0;
    for (const qsizetype cut : cuts) {
        probe.feed(stream.sliced(at, cut));
        at += cut;
    }
    probe.feed(stream.sliced(at));
    // What still waits gets an answer (a second one for an id is ignored). Answers rather than the child's
    // exit: every failed request costs thrown exceptions, the slowest thing a fuzzing run does.
    probe.feed(closingAnswers());
    deliverPosted();
    return recorder.entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ensureApplication();
    if (size < 1)
        return 0;
    const QByteArrayView stream(data + 1, qsizetype(size - 1));
    const std::vector<Delivered> whole = run(stream, {});
    const std::vector<Delivered> pieces = run(stream, cutPlan(data[0], stream.size()));
    FUZZ_ASSERT(whole == pieces, "the same bytes cut differently gave other deliveries");
    // Every waiting request ends exactly once: by its reply or by the closing answer.
    qsizetype replies = 0;
    for (const Delivered& d : whole)
        replies += std::holds_alternative<QString>(d) ? 1 : 0;
    FUZZ_ASSERT(replies == waitingRequests, "a waiting request ended twice or never");
    return 0;
}
