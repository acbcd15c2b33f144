// The line protocol without a child: framing, dispatch of replies and notifications, the queued delivery
// path and what the client does when its child goes.

#include "EngineStates.h"
#include "EngineTestSupport.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// Each word decodes to the status beside it.
template <class Status>
void expectWords(Status (*decode)(const QString&), const std::vector<std::pair<QString, Status>>& words) {
    for (const auto& [word, status] : words)
        QVERIFY2(decode(word) == status, qPrintable(word));
}

// A small record for typed requests.
struct Count {
    int n = 0;
    static Count fromJson(const JsonReader& r) { return {r.req<int>(QStringLiteral("n"))}; }
};

QByteArray progressLine(const QString& jobId, int i) {
    return QStringLiteral(R"({"event":"job.progress","params":{"jobId":"%1","downloaded":%2,"total":1000000,)"
                          R"("fraction":0.5,"speed":1234.5,"eta":12.0,"fragment":1,"fragmentCount":4,)"
                          R"("speedEngine":{"speed":1.5,"average":2.5,"downloaded":%2,"total":1000000,)"
                          R"("connections":3,"protocol":"https"}}})")
               .arg(jobId)
               .arg(i)
               .toUtf8() +
           '\n';
}

// One transcript as the engine might write it: replies out of order, events between them, a title with
// characters of two, three and four bytes, blank lines and a carriage return.
QByteArray transcript() {
    QByteArray t;
    t += R"({"event":"ready","params":{"engineVersion":"1.0"}})"
         "\n";
    t += R"({"id":2,"result":{"title":"Vidéo – 日本語 🎬"}})"
         "\n";
    t += "\n\n";
    t += progressLine(QStringLiteral("J1"), 10);
    t +=
        R"({"event":"job.meta","params":{"jobId":"J1","title":"Café ☕ 🎥","thumbnail":"","channel":"ç","duration":61.5}})"
        "\n";
    t += R"({"id":1,"error":{"code":1001,"message":"Annulé ✋","detail":"cancel"}})"
         "\r\n";
    t += progressLine(QStringLiteral("J1"), 20);
    t += R"({"event":"job.state","params":{"jobId":"J1","state":"done","filename":"/tmp/é.mp4"}})"
         "\n";
    t += R"({"id":3,"result":null})"
         "\n";
    return t;
}

std::vector<Delivered> runTranscript(const QList<QByteArray>& chunks) {
    EngineClient client(nowhere());
    EngineClientProbe probe(client);
    Recorder rec(client);
    probe.attach();
    for (int i = 1; i <= 3; ++i)
        rec.track(client.call(QStringLiteral("m%1").arg(i)), QString::number(i));
    for (const QByteArray& c : chunks)
        probe.feed(c);
    drainEvents();
    return rec.entries;
}

} // namespace

class TestEngineProtocol : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestsAreNumberedAndParamsOnlyWhenGiven() {
        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        probe.attach();
        rec.track(client.call(QStringLiteral("hello")), QStringLiteral("a"));
        QJsonObject params{{QStringLiteral("url"), QStringLiteral("x.test/a b")}};
        rec.track(client.call(QStringLiteral("analyze"), params), QStringLiteral("b"));
        QCOMPARE(probe.written.size(), 2);
        const QByteArray first = R"({"id":1,"method":"hello"})"
                                 "\n";
        const QByteArray second = R"({"id":2,"method":"analyze","params":{"url":"x.test/a b"}})"
                                  "\n";
        QCOMPARE(probe.written.at(0), first);
        QCOMPARE(probe.written.at(1), second);
    }

    // The same bytes cut anywhere give the same deliveries, in wire order.
    void framingDoesNotDependOnChunks() {
        const QByteArray t = transcript();
        const std::vector<Delivered> whole = runTranscript({t});

        // The expected sequence, spelled out once.
        QCOMPARE(whole.size(), size_t(8));
        QVERIFY(std::get<EngineEvent>(whole[0]) == EngineEvent{EngineEvent::Ready{QStringLiteral("1.0")}});
        QCOMPARE(std::get<QString>(whole[1]), QStringLiteral("2={\"title\":\"Vidéo – 日本語 🎬\"}"));
        QCOMPARE(std::get<EngineEvent>(whole[2]).get<EngineEvent::JobProgress>()->downloaded, 10);
        QCOMPARE(std::get<EngineEvent>(whole[3]).get<EngineEvent::JobMeta>()->title,
                 QStringLiteral("Café ☕ 🎥"));
        QCOMPARE(std::get<QString>(whole[4]), QStringLiteral("1!1001 Annulé ✋ | cancel"));
        QCOMPARE(std::get<EngineEvent>(whole[5]).get<EngineEvent::JobProgress>()->downloaded, 20);
        QCOMPARE(*std::get<EngineEvent>(whole[6]).get<EngineEvent::JobState>()->filename,
                 QStringLiteral("/tmp/é.mp4"));
        QCOMPARE(std::get<QString>(whole[7]), QStringLiteral("3=null"));

        QList<QByteArray> bytes;
        for (char c : t)
            bytes.append(QByteArray(1, c));
        QVERIFY(runTranscript(bytes) == whole);

        QRandomGenerator random(20261210);
        for (int round = 0; round < 50; ++round) {
            QList<QByteArray> chunks;
            for (qsizetype at = 0; at < t.size();) {
                const qsizetype n = std::min<qsizetype>(t.size() - at, random.bounded(1, 40));
                chunks.append(t.mid(at, n));
                at += n;
            }
            QVERIFY2(runTranscript(chunks) == whole, qPrintable(QStringLiteral("round %1").arg(round)));
        }
    }

    void lineOfSeveralMegabytes() {
        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        probe.attach();
        rec.track(client.call(QStringLiteral("big")), QStringLiteral("1"));
        const QByteArray payload(6 * 1024 * 1024, 'x');
        const QByteArray line = "{\"id\":1,\"result\":\"" + payload + "\"}\n";
        for (qsizetype at = 0; at < line.size(); at += 65536)
            probe.feed(QByteArrayView(line).sliced(at, std::min<qsizetype>(65536, line.size() - at)));
        drainEvents();
        QCOMPARE(rec.replies().size(), size_t(1));
        QCOMPARE(rec.replies().front().size(), 2 + 2 + payload.size());
    }

    void unfinishedLineWaitsForItsLineFeed() {
        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        probe.attach();
        rec.track(client.call(QStringLiteral("a")), QStringLiteral("1"));
        rec.track(client.call(QStringLiteral("b")), QStringLiteral("2"));
        probe.feed(R"({"id":1,"result":1})");
        drainEvents();
        QVERIFY(rec.entries.empty());
        probe.feed("\n"
                   R"({"id":2,"result":2})"
                   "\n");
        drainEvents();
        QCOMPARE(rec.replies(), (std::vector<QString>{QStringLiteral("1=1"), QStringLiteral("2=2")}));
    }

    // Nothing reaches a consumer while a line is being parsed: only the next turn of the loop delivers.
    void deliveryWaitsForTheEventLoop() {
        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        probe.attach();
        rec.track(client.call(QStringLiteral("a")), QStringLiteral("1"));
        probe.feed(R"({"event":"ready"})"
                   "\n"
                   R"({"id":1,"result":{}})"
                   "\n");
        QVERIFY(rec.entries.empty());
        drainEvents();
        QCOMPARE(rec.entries.size(), size_t(2));
        QVERIFY(std::holds_alternative<EngineEvent>(rec.entries[0]));
        QCOMPARE(std::get<QString>(rec.entries[1]), QStringLiteral("1={}"));
    }

    // A client destroyed with requests waiting (one written, one settled but not yet delivered): each
    // caller resumes with notRunning on a later turn and its frame, with what it holds, is freed.
    void destroyedClientResumesItsWaiters() {
        struct Held {
            explicit Held(int* counter) : freed(counter) {}
            ~Held() { ++*freed; }
            int* freed;
        };
        int freed = 0;
        QStringList outcomes;
        const auto wait = [&](EngineClient* client, QString method) -> QCoro::Task<void> {
            const auto held = std::make_shared<Held>(&freed);
            try {
                co_await client->call(method);
                outcomes << method + QStringLiteral(" answered");
            } catch (const EngineLaunchError& e) {
                outcomes << method + u' ' + e.textKey();
            }
        };
        auto* client = new EngineClient(nowhere());
        EngineClientProbe probe(*client);
        probe.attach();
        QCoro::Task<void> first = wait(client, QStringLiteral("a"));
        QCoro::Task<void> second = wait(client, QStringLiteral("b"));
        probe.feed(R"({"id":2,"result":1})"
                   "\n"); // settled, delivered only on the next turn
        delete client;
        QCOMPARE(freed, 0);
        QTRY_COMPARE(freed, 2);
        QCOMPARE(outcomes,
                 (QStringList{QStringLiteral("a v2_engine_not_running"), QStringLiteral("b answered")}));
    }

    void dispatch_data() {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<int>("events");
        QTest::addColumn<QByteArray>("stderrText");

        const QByteArray unreadable = "[app] ligne illisible du moteur\n";
        const QStringList none;
        auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
        row("garbage") << QByteArray("hello there") << false << none << 0 << unreadable;
        row("array") << QByteArray(R"([{"id":1,"result":1}])") << false << none << 0 << unreadable;
        row("bare number") << QByteArray("42") << false << none << 0 << unreadable;
        row("bare string") << QByteArray(R"("id")") << false << none << 0 << unreadable;
        row("broken json") << QByteArray(R"({"id":1,"result":)") << false << none << 0 << unreadable;
        row("invalid utf-8") << QByteArray("{\"id\":1,\"result\":\"\xff\xfe\"}") << false << none << 0
                             << unreadable;
        row("unknown id") << QByteArray(R"({"id":99,"result":1})") << false << none << 0 << QByteArray();
        row("fractional id") << QByteArray(R"({"id":1.5,"result":1})") << false << none << 0 << QByteArray();
        row("string id") << QByteArray(R"({"id":"1","result":1})") << false << none << 0 << QByteArray();
        row("no id") << QByteArray(R"({"result":1})") << false << none << 0 << QByteArray();
        row("duplicate reply") << QByteArray("{\"id\":1,\"result\":1}\n{\"id\":1,\"result\":2}") << false
                               << QStringList{"1=1"} << 0 << QByteArray();
        row("number result") << QByteArray(R"({"id":1,"result":3})") << false << QStringList{"1=3"} << 0
                             << QByteArray();
        // No "result" and "result": null are told apart; only the first is the empty-reply error, a
        // present result that does not decode fails with the decoder's own error.
        row("raw, no result") << QByteArray(R"({"id":1})") << false << QStringList{"1=(no result)"} << 0
                              << QByteArray();
        row("typed, no result") << QByteArray(R"({"id":1})") << true
                                << QStringList{"1!-32603 Réponse vide du moteur. | m1"} << 0 << QByteArray();
        row("raw, null result") << QByteArray(R"({"id":1,"result":null})") << false << QStringList{"1=null"}
                                << 0 << QByteArray();
        row("typed, null result") << QByteArray(R"({"id":1,"result":null})") << true
                                  << QStringList{"1!decode null"} << 0 << QByteArray();
        row("typed, wrong shape") << QByteArray(R"({"id":1,"result":{"n":"3"}})") << true
                                  << QStringList{"1!decode n: expected integer, found string"} << 0
                                  << QByteArray();
        row("typed, not an object") << QByteArray(R"({"id":1,"result":[1]})") << true
                                    << QStringList{"1!decode expected object, found array"} << 0
                                    << QByteArray();
        row("typed, decodes") << QByteArray(R"({"id":1,"result":{"n":3}})") << true << QStringList{"1=ok"}
                              << 0 << QByteArray();
        row("empty error") << QByteArray(R"({"id":1,"error":{}})") << false
                           << QStringList{"1!-1 Erreur inconnue du moteur."} << 0 << QByteArray();
        row("cancelled") << QByteArray(R"({"id":1,"error":{"code":1001,"message":"stop"}})") << false
                         << QStringList{"1!1001 stop"} << 0 << QByteArray();
        row("mistyped error members")
            << QByteArray(R"({"id":1,"error":{"code":"7","message":5,"detail":"d"}})") << false
            << QStringList{"1!-1 Erreur inconnue du moteur. | d"} << 0 << QByteArray();
        row("fractional code") << QByteArray(R"({"id":1,"error":{"code":2.5,"message":"m"}})") << false
                               << QStringList{"1!-1 m"} << 0 << QByteArray();
        row("error not an object") << QByteArray(R"({"id":1,"error":"boom","result":4})") << false
                                   << QStringList{"1=4"} << 0 << QByteArray();
        row("error over result") << QByteArray(R"({"id":1,"error":{"code":5,"message":"m"},"result":4})")
                                 << false << QStringList{"1!5 m"} << 0 << QByteArray();
        row("event with id") << QByteArray(R"({"id":1,"event":"ready","result":1})") << false << none << 1
                             << QByteArray();
        row("event not a string") << QByteArray(R"({"id":1,"event":5,"result":2})") << false
                                  << QStringList{"1=2"} << 0 << QByteArray();
        row("carriage return") << QByteArray("{\"id\":1,\"result\":1}\r") << false << QStringList{"1=1"} << 0
                               << QByteArray();
        row("blank lines") << QByteArray("\n\n\n") << false << none << 0 << QByteArray();
    }

    void dispatch() {
        QFETCH(QByteArray, lines);
        QFETCH(bool, typed);
        QFETCH(QStringList, replies);
        QFETCH(int, events);
        QFETCH(QByteArray, stderrText);

        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        probe.attach();
        if (typed)
            rec.trackTyped(client.request<Count>(QStringLiteral("m1")), QStringLiteral("1"));
        else
            rec.track(client.call(QStringLiteral("m1")), QStringLiteral("1"));
        StderrCapture capture;
        probe.feed(lines + '\n');
        drainEvents();
        QCOMPARE(capture.take(), stderrText);
        const std::vector<QString> got = rec.replies();
        QCOMPARE(QStringList(got.begin(), got.end()), replies);
        QCOMPARE(int(rec.events().size()), events);
        // A request that got no reply is still waiting.
        QCOMPARE(probe.pendingCount(), replies.isEmpty() ? 1 : 0);
    }

    void events_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QVariant>("expected"); // an EngineEvent, or nothing when it must fail
        QTest::addColumn<QByteArray>("stderrText");

        using E = EngineEvent;
        auto ok = [](const char* name, const char* line, E e) {
            QTest::newRow(name) << QByteArray(line) << QVariant::fromValue(e) << QByteArray();
        };
        auto bad = [](const char* name, const char* line, const char* err) {
            QTest::newRow(name) << QByteArray(line) << QVariant() << QByteArray(err);
        };
        const E::SpeedEngine se{1.5, 2.5, 10, 100, std::nullopt, 3, QStringLiteral("https")};

        ok("ready without params", R"({"event":"ready"})", E{E::Ready{"?"}});
        ok("ready", R"({"event":"ready","params":{"engineVersion":"1.2"}})", E{E::Ready{"1.2"}});
        ok("ready, mistyped", R"({"event":"ready","params":{"engineVersion":3}})", E{E::Ready{"?"}});
        ok("ready, params an array", R"({"event":"ready","params":[1]})", E{E::Ready{"?"}});
        ok("js.runtime present", R"({"event":"js.runtime","params":{"runtime":{},"reveal":true}})",
           E{E::JsRuntime{true, true}});
        ok("js.runtime null", R"({"event":"js.runtime","params":{"runtime":null}})",
           E{E::JsRuntime{false, false}});
        ok("js.runtime mistyped", R"({"event":"js.runtime","params":{"runtime":"node","reveal":"yes"}})",
           E{E::JsRuntime{false, false}});
        ok("model.state only state", R"({"event":"model.state","params":{"state":"installed"}})",
           E{E::ModelState{"", ModelStatus::Installed, std::nullopt}});
        ok("model.state full",
           R"({"event":"model.state","params":{"key":"k","state":"failed","message":"m"}})",
           E{E::ModelState{"k", ModelStatus::Failed, QStringLiteral("m")}});
        ok("model.state deleted", R"({"event":"model.state","params":{"key":"k","state":"deleted"}})",
           E{E::ModelState{"k", ModelStatus::Deleted, std::nullopt}});
        ok("model.state another word", R"({"event":"model.state","params":{"key":"k","state":"Installed"}})",
           E{E::ModelState{"k", ModelStatus::Other, std::nullopt}});
        ok("clip.progress whole fraction", R"({"event":"clip.progress","params":{"fraction":1}})",
           E{E::ClipProgress{"", 1.0}});
        ok("clip.progress mistyped", R"({"event":"clip.progress","params":{"jobId":"J","fraction":"x"}})",
           E{E::ClipProgress{"J", 0.0}});
        ok("job.progress with statistics",
           R"({"event":"job.progress","params":{"jobId":"J","downloaded":10,"total":100,"fraction":0.1,"speed":5,"eta":9,"fragment":1,"fragmentCount":2,"speedEngine":{"speed":1.5,"average":2.5,"downloaded":10,"total":100,"connections":3,"protocol":"https"}}})",
           E{E::JobProgress{"J", se, 10, 100, 0.1, 5, 9, 1, 2}});
        ok("job.progress without statistics",
           R"({"event":"job.progress","params":{"jobId":"J","downloaded":10,"total":100,"fraction":0.1,"speed":5,"eta":9,"fragment":1,"fragmentCount":2,"speedEngine":null}})",
           E{E::JobProgress{"J", std::nullopt, 10, 100, 0.1, 5, 9, 1, 2}});
        bad("job.progress without eta",
            R"({"event":"job.progress","params":{"jobId":"J","downloaded":10,"total":100,"fraction":0.1,"speed":5,"fragment":1,"fragmentCount":2}})",
            "[app] événement 'job.progress' indécodable : eta: missing\n");
        bad("job.progress fractional fragment",
            R"({"event":"job.progress","params":{"jobId":"J","downloaded":10,"total":100,"fraction":0.1,"speed":5,"eta":1,"fragment":1.5,"fragmentCount":2}})",
            "[app] événement 'job.progress' indécodable : fragment: expected integer, found 1.5\n");
        bad("job.progress bad statistics",
            R"({"event":"job.progress","params":{"jobId":"J","downloaded":10,"total":100,"fraction":0.1,"speed":5,"eta":1,"fragment":1,"fragmentCount":2,"speedEngine":{"speed":1,"average":1,"downloaded":1,"total":1,"protocol":"p"}}})",
            "[app] événement 'job.progress' indécodable : speedEngine.connections: missing\n");
        bad("job.progress without params", R"({"event":"job.progress"})",
            "[app] événement 'job.progress' indécodable : jobId: missing\n");
        ok("job.started",
           R"({"event":"job.started","params":{"jobId":"J","url":"u","outputDir":"/o","quality":"1080p","container":"MP4","audioOnly":false}})",
           E{E::JobStarted{"J", "u", "/o", "1080p", "MP4", false}});
        bad("job.started mistyped flag",
            R"({"event":"job.started","params":{"jobId":"J","url":"u","outputDir":"/o","quality":"1080p","container":"MP4","audioOnly":"true"}})",
            "[app] événement 'job.started' indécodable : audioOnly: expected boolean, found string\n");
        ok("job.meta",
           R"({"event":"job.meta","params":{"jobId":"J","title":"t","thumbnail":"","channel":"c","duration":3}})",
           E{E::JobMeta{"J", "t", "", "c", 3.0}});
        bad("job.meta without duration",
            R"({"event":"job.meta","params":{"jobId":"J","title":"t","thumbnail":"","channel":"c"}})",
            "[app] événement 'job.meta' indécodable : duration: missing\n");
        ok("job.state minimal", R"({"event":"job.state","params":{"jobId":"J","state":"processing"}})",
           E{E::JobState{"J", E::JobState::Kind::Processing, std::nullopt, std::nullopt, std::nullopt}});
        ok("job.state converting",
           R"({"event":"job.state","params":{"jobId":"J","state":"converting","fraction":0.5}})",
           E{E::JobState{"J", E::JobState::Kind::Converting, std::nullopt, std::nullopt, 0.5}});
        for (const auto& [wire, kind] : std::vector<std::pair<QString, E::JobState::Kind>>{
                 {"queued", E::JobState::Kind::Queued},
                 {"done", E::JobState::Kind::Done},
                 {"failed", E::JobState::Kind::Failed},
                 {"cancelled", E::JobState::Kind::Cancelled},
                 {"paused", E::JobState::Kind::Other}, // not a state the engine reports as an event
                 {"Done", E::JobState::Kind::Other},
                 {"", E::JobState::Kind::Other}}) {
            ok(qPrintable("job.state " + wire),
               (R"({"event":"job.state","params":{"jobId":"J","state":")" + wire + R"("}})")
                   .toUtf8()
                   .constData(),
               E{E::JobState{"J", kind, std::nullopt, std::nullopt, std::nullopt}});
        }
        bad("job.state null state", R"({"event":"job.state","params":{"jobId":"J","state":null}})",
            "[app] événement 'job.state' indécodable : state: null\n");
        ok("job.log",
           R"({"event":"job.log","params":{"jobId":"J","key":"log_x","level":"ok","params":{"n":"1"}}})",
           E{E::JobLog{"J", "log_x", "ok", {{QStringLiteral("n"), QStringLiteral("1")}}}});
        bad("job.log number parameter",
            R"({"event":"job.log","params":{"jobId":"J","key":"k","level":"ok","params":{"n":1}}})",
            "[app] événement 'job.log' indécodable : params.n: expected string, found number\n");
        ok("transcribe.state minimal",
           R"({"event":"transcribe.state","params":{"jobId":"T","state":"running","segments":null}})",
           E{E::TranscribeState{.jobId = "T", .state = TranscriptionStatus::Running}});
        // A state word the application does not know is kept as sent, to be shown as it is.
        ok("transcribe.state another word",
           R"({"event":"transcribe.state","params":{"jobId":"T","state":"paused"}})",
           E{E::TranscribeState{.jobId = "T", .state = TranscriptionStatus::Other, .otherState = "paused"}});
        ok("transcribe.state each word",
           R"({"event":"transcribe.state","params":{"jobId":"T","state":"cancelled"}})",
           E{E::TranscribeState{.jobId = "T", .state = TranscriptionStatus::Cancelled}});
        ok("transcribe.progress",
           R"({"event":"transcribe.progress","params":{"jobId":"T","percent":50,"fraction":0.5}})",
           E{E::TranscribeProgress{"T", 50, 0.5}});
        bad("transcribe.progress fractional percent",
            R"({"event":"transcribe.progress","params":{"jobId":"T","percent":50.5,"fraction":0.5}})",
            "[app] événement 'transcribe.progress' indécodable : percent: expected integer, found 50.5\n");
        ok("model.progress",
           R"({"event":"model.progress","params":{"key":"base","downloaded":5,"total":10,"fraction":0.5}})",
           E{E::ModelProgress{"base", 5, 10, 0.5}});
        ok("clip.state",
           R"({"event":"clip.state","params":{"jobId":"C","state":"done","destination":"/d","sizeBytes":7}})",
           E{E::ClipState{"C", ClipStatus::Done, QStringLiteral("/d"), std::nullopt, 7}});
        ok("clip.state another word", R"({"event":"clip.state","params":{"jobId":"C","state":"working"}})",
           E{E::ClipState{"C", ClipStatus::Other, std::nullopt, std::nullopt, std::nullopt}});
        bad("clip.state without state", R"({"event":"clip.state","params":{"jobId":"C"}})",
            "[app] événement 'clip.state' indécodable : state: missing\n");
        ok("unknown name", R"({"event":"job.unknown","params":{}})", E{E::Unknown{"job.unknown"}});
        ok("name differing in case", R"({"event":"Ready"})", E{E::Unknown{"Ready"}});
    }

    // Each word the engine sends decodes to its own status; other words, and other cases, are Other.
    void stateWordsDecodeToTheirOwnStatus() {
        using T = TranscriptionStatus;
        expectWords(transcriptionStatusOf, {{"queued", T::Queued},
                                            {"running", T::Running},
                                            {"done", T::Done},
                                            {"failed", T::Failed},
                                            {"cancelled", T::Cancelled},
                                            {"Done", T::Other},
                                            {"", T::Other}});
        using M = ModelStatus;
        expectWords(modelStatusOf, {{"installed", M::Installed},
                                    {"deleted", M::Deleted},
                                    {"cancelled", M::Cancelled},
                                    {"failed", M::Failed},
                                    {"running", M::Other},
                                    {"", M::Other}});
        using C = ClipStatus;
        expectWords(clipStatusOf, {{"running", C::Running},
                                   {"done", C::Done},
                                   {"failed", C::Failed},
                                   {"cancelled", C::Cancelled},
                                   {"queued", C::Other},
                                   {"", C::Other}});
    }

    void events() {
        QFETCH(QByteArray, line);
        QFETCH(QVariant, expected);
        QFETCH(QByteArray, stderrText);

        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        probe.attach();
        StderrCapture capture;
        // A good notification after the line shows that a bad one does not disturb later ones.
        probe.feed(line + "\n"
                          R"({"event":"ready","params":{"engineVersion":"after"}})"
                          "\n");
        drainEvents();
        QCOMPARE(capture.take(), stderrText);
        std::vector<EngineEvent> want;
        if (expected.isValid())
            want.push_back(expected.value<EngineEvent>());
        want.push_back(EngineEvent{EngineEvent::Ready{QStringLiteral("after")}});
        QVERIFY(rec.events() == want);
    }

    void childExit_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("normalExit");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("busy");
        QTest::newRow("status 2") << 2 << true << "v2_engine_support_busy" << true;
        QTest::newRow("status 1") << 1 << true << "v2_engine_stopped" << false;
        QTest::newRow("status 0") << 0 << true << "v2_engine_stopped" << false;
        QTest::newRow("signal 2") << 2 << false << "v2_engine_stopped" << false;
        QTest::newRow("signal 9") << 9 << false << "v2_engine_stopped" << false;
    }

    // Lines already read come first, then every waiting request fails, then the stop is announced.
    void childExit() {
        QFETCH(int, code);
        QFETCH(bool, normalExit);
        QFETCH(QString, failure);
        QFETCH(bool, busy);

        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        probe.attach();
        for (int i = 1; i <= 3; ++i)
            rec.track(client.call(QStringLiteral("m")), QString::number(i));
        probe.feed(R"({"id":2,"result":"last words"})"
                   "\n"
                   R"({"event":"ready"})"
                   "\n"
                   R"({"id":1)");
        probe.exit(code, normalExit);
        drainEvents();

        QCOMPARE(rec.entries.size(), size_t(5));
        QCOMPARE(std::get<QString>(rec.entries[0]), QStringLiteral("2=\"last words\""));
        QVERIFY(std::get<EngineEvent>(rec.entries[1]).is<EngineEvent::Ready>());
        QCOMPARE(std::get<QString>(rec.entries[2]), QStringLiteral("1!") + failure);
        QCOMPARE(std::get<QString>(rec.entries[3]), QStringLiteral("3!") + failure);
        QVERIFY(std::get<EngineEvent>(rec.entries[4]) == EngineEvent{EngineEvent::EngineStopped{busy}});
        QVERIFY(!client.isRunning());

        // No child: fails at once, writes nothing and uses up no id.
        const qint64 next = probe.nextId();
        const qsizetype written = probe.written.size();
        rec.track(client.call(QStringLiteral("late")), QStringLiteral("late"));
        drainEvents();
        QCOMPARE(std::get<QString>(rec.entries.back()), QStringLiteral("late!v2_engine_not_running"));
        QCOMPARE(probe.nextId(), next);
        QCOMPARE(probe.written.size(), written);

        // A restart keeps counting and keeps the same event path.
        probe.attach();
        rec.track(client.call(QStringLiteral("again")), QStringLiteral("again"));
        const QByteArray again = R"({"id":4,"method":"again"})"
                                 "\n";
        QCOMPARE(probe.written.last(), again);
        probe.feed(R"({"event":"ready","params":{"engineVersion":"2"}})"
                   "\n"
                   R"({"id":4,"result":true})"
                   "\n");
        drainEvents();
        QVERIFY(std::get<EngineEvent>(rec.entries[rec.entries.size() - 2]) ==
                EngineEvent{EngineEvent::Ready{QStringLiteral("2")}});
        QCOMPARE(std::get<QString>(rec.entries.back()), QStringLiteral("again=true"));
    }

    // A report from an earlier child changes nothing for the current one.
    void staleExitReportIsIgnored() {
        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        probe.attach();
        probe.attach(); // a second child after the first one
        rec.track(client.call(QStringLiteral("m")), QStringLiteral("1"));
        probe.exitEarlierChild(2, true);
        drainEvents();
        QVERIFY(client.isRunning());
        QCOMPARE(probe.pendingCount(), 1);
        QVERIFY(rec.entries.empty());
    }

    // stop() without a child only marks the client as stopping; the next start clears that, so a later
    // loss is announced again.
    void stopWithoutChild() {
        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        QCoro::waitFor(client.stop());
        QVERIFY(!client.isRunning());
        probe.attach();
        probe.exit(1, true);
        drainEvents();
        QVERIFY(rec.events() == std::vector<EngineEvent>{EngineEvent{EngineEvent::EngineStopped{false}}});
    }

    // A loss during stop() fails the waiting requests but is not announced.
    void lossDuringStopIsNotAnnounced() {
        EngineClient client(nowhere());
        EngineClientProbe probe(client);
        Recorder rec(client);
        probe.attach();
        rec.track(client.call(QStringLiteral("m")), QStringLiteral("1"));
        auto stopping = client.stop();
        const QByteArray shutdown = R"({"id":2,"method":"shutdown"})"
                                    "\n";
        QCOMPARE(probe.written.last(), shutdown);
        probe.exit(0, true);
        QCoro::waitFor(std::move(stopping));
        drainEvents();
        QCOMPARE(rec.replies(), (std::vector<QString>{QStringLiteral("1!v2_engine_stopped")}));
        QVERIFY(rec.events().empty());
        rec.track(client.call(QStringLiteral("after")), QStringLiteral("after"));
        drainEvents();
        QCOMPARE(rec.replies().back(), QStringLiteral("after!v2_engine_not_running"));
    }
};

QTEST_GUILESS_MAIN(TestEngineProtocol)
#include "tst_engineprotocol.moc"
