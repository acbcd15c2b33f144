// Throughput of the engine link's framing and event decoding, next to merely parsing the same lines.
//
// Feeds 1,000,000 "job.progress" notifications, written as the engine writes them, to the client in
// 64 KiB chunks, letting the queued events be delivered after every chunk as the event loop would, and
// then parses the same lines with QJsonDocument alone. Prints both rates, their ratio and the resident
// memory along the way.

#include "EngineClient.h"
#include "EngineEvent.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <cstdio>

// Feeds bytes as if the child had written them.
class EngineClientProbe {
public:
    explicit EngineClientProbe(EngineClient& client) : m_client(client) {}
    void attach() {
        m_client.m_sink = [](const QByteArray&) {};
        ++m_client.m_generation;
    }
    void feed(QByteArrayView bytes) { m_client.ingest(bytes); }

private:
    EngineClient& m_client;
};

namespace {

constexpr qint64 lineCount = 1'000'000;
constexpr qsizetype chunkSize = 64 * 1024;
constexpr int distinctLines = 4096;

// One "job.progress" line as the engine writes it (compact separators, keys in its order).
QByteArray progressLine(QRandomGenerator& random, int i) {
    const qint64 total = 734'003'200;
    const qint64 downloaded = random.bounded(total);
    const double speed = random.bounded(50'000'000.0);
    const double eta = speed > 0 ? double(total - downloaded) / speed : 0.0;
    const QByteArray jobId = "5F0C2B9E-3D41-4C7A-9E55-" + QByteArray::number(100000000000LL + i);
    return "{\"event\":\"job.progress\",\"params\":{\"jobId\":\"" + jobId +
           "\",\"downloaded\":" + QByteArray::number(downloaded) + ",\"total\":" + QByteArray::number(total) +
           ",\"fraction\":" + QByteArray::number(double(downloaded) / total, 'g', 17) +
           ",\"speed\":" + QByteArray::number(speed, 'g', 17) + ",\"eta\":" + QByteArray::number(eta, 'g', 17) +
           ",\"fragment\":0,\"fragmentCount\":0,\"speedEngine\":{\"speed\":" + QByteArray::number(speed, 'g', 17) +
           ",\"average\":" + QByteArray::number(speed * 0.9, 'g', 17) +
           ",\"downloaded\":" + QByteArray::number(downloaded) + ",\"total\":" + QByteArray::number(total) +
           ",\"eta\":" + QByteArray::number(eta, 'g', 17) + ",\"connections\":1,\"protocol\":\"https\"}}}\n";
}

qint64 residentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The transcript is `distinctLines` lines repeated; chunks are cut at fixed sizes across line ends.
struct Feed {
    QByteArray ring;
    qsizetype lineBytes = 0; // bytes of `lineCount` lines
    qsizetype at = 0;

    QByteArrayView next(QByteArray& scratch, qsizetype left) {
        const qsizetype n = std::min(chunkSize, left);
        scratch.resize(n);
        for (qsizetype filled = 0; filled < n;) {
            const qsizetype take = std::min(n - filled, ring.size() - at);
            memcpy(scratch.data() + filled, ring.constData() + at, size_t(take));
            filled += take;
            at = (at + take) % ring.size();
        }
        return scratch;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QRandomGenerator random(42);
    Feed feed;
    for (int i = 0; i < distinctLines; ++i)
        feed.ring += progressLine(random, i);
    const qint64 rounds = lineCount / distinctLines;
    const qint64 extra = lineCount % distinctLines;
    feed.lineBytes = feed.ring.size() * rounds;
    {
        qsizetype extraBytes = 0;
        for (qint64 i = 0, at = 0; i < extra; ++i) {
            const qsizetype nl = feed.ring.indexOf('\n', at);
            extraBytes += nl + 1 - at;
            at = nl + 1;
        }
        feed.lineBytes += extraBytes;
    }

    // Client path: framing, dispatch, decoding, queued delivery.
    EngineClient client(EngineLocations{});
    EngineClientProbe probe(client);
    probe.attach();
    qint64 events = 0;
    double checksum = 0;
    QObject::connect(&client, &EngineClient::event, &client, [&](const EngineEvent& e) {
        if (const auto* p = e.get<EngineEvent::JobProgress>()) {
            ++events;
            checksum += p->fraction + (p->speedEngine ? p->speedEngine->average : 0);
        }
    });
    QByteArray scratch;
    const qint64 rssBefore = residentKiB();
    qint64 rssQuarter[4] = {0, 0, 0, 0};
    QElapsedTimer clock;
    clock.start();
    qsizetype fed = 0;
    int quarter = 0;
    while (fed < feed.lineBytes) {
        const QByteArrayView chunk = feed.next(scratch, feed.lineBytes - fed);
        probe.feed(chunk);
        fed += chunk.size();
        QCoreApplication::processEvents();
        if (quarter < 4 && fed >= feed.lineBytes / 4 * (quarter + 1))
            rssQuarter[quarter++] = residentKiB();
    }
    QCoreApplication::processEvents();
    const double clientSeconds = clock.nsecsElapsed() / 1e9;

    // Baseline: the same bytes, cut into lines and parsed, nothing else.
    feed.at = 0;
    qint64 parsed = 0;
    double parsedChecksum = 0;
    QByteArray carry;
    clock.restart();
    fed = 0;
    while (fed < feed.lineBytes) {
        const QByteArrayView chunk = feed.next(scratch, feed.lineBytes - fed);
        fed += chunk.size();
        qsizetype from = 0;
        qsizetype nl;
        while ((nl = chunk.indexOf('\n', from)) >= 0) {
            QByteArray line;
            if (!carry.isEmpty()) {
                line = carry + chunk.sliced(from, nl - from).toByteArray();
                carry.clear();
            } else {
                line = QByteArray::fromRawData(chunk.data() + from, nl - from);
            }
            const QJsonDocument doc = QJsonDocument::fromJson(line);
            parsedChecksum += doc.isObject() ? 1 : 0;
            ++parsed;
            from = nl + 1;
        }
        carry += chunk.sliced(from).toByteArray();
    }
    const double parseSeconds = clock.nsecsElapsed() / 1e9;

    const double eventRate = events / clientSeconds;
    const double parseRate = parsed / parseSeconds;
    const double mib = feed.lineBytes / (1024.0 * 1024.0);
    std::printf("lines: %lld (%.1f MiB, %lld-byte chunks)\n", static_cast<long long>(lineCount), mib,
                static_cast<long long>(chunkSize));
    std::printf("client: %lld events in %.3f s = %.0f events/s (%.1f MiB/s)\n", static_cast<long long>(events),
                clientSeconds, eventRate, mib / clientSeconds);
    std::printf("parse only: %lld lines in %.3f s = %.0f lines/s (%.1f MiB/s)\n", static_cast<long long>(parsed),
                parseSeconds, parseRate, mib / parseSeconds);
    std::printf("ratio: %.2f\n", eventRate / parseRate);
    std::printf("resident KiB: before %lld, at 1/4 %lld, 1/2 %lld, 3/4 %lld, end %lld\n",
                static_cast<long long>(rssBefore), static_cast<long long>(rssQuarter[0]),
                static_cast<long long>(rssQuarter[1]), static_cast<long long>(rssQuarter[2]),
                static_cast<long long>(rssQuarter[3]));
    std::printf("(checksums %.3f %.0f)\n", checksum, parsedChecksum);
    return events == lineCount ? 0 : 1;
}
