// Dispatch: one complete line of the engine's output, as a reply to a waiting request, a reply to an id
// nobody waits for, a notification of any event name with arbitrary params, or anything at all.
//
// Input: a mode byte, a choice byte, then the line's body. The modes wrap the body as the "params" of an
// event, the "result" or "error" of a reply, or leave the line as it is; the choice byte picks the event
// name, or the reply's id (its low two bits) and the record type request 1 waits for (the next three).

#include "EngineMethods.h"
#include "EngineTestSupport.h"
#include "EngineTypes.h"
#include "FuzzApplication.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::array<const char*, 15> eventNames{"ready",
                                                 "job.started",
                                                 "job.meta",
                                                 "job.progress",
                                                 "job.state",
                                                 "transcribe.state",
                                                 "transcribe.progress",
                                                 "job.log",
                                                 "js.runtime",
                                                 "model.progress",
                                                 "model.state",
                                                 "clip.state",
                                                 "clip.progress",
                                                 "Job.Progress",
                                                 "no.such.event"};

// The event a notification of this name may give when its params decode.
bool matchesName(const EngineEvent& e, const QString& name) {
    if (name == u"ready")
        return e.is<EngineEvent::Ready>();
    if (name == u"job.started")
        return e.is<EngineEvent::JobStarted>();
    if (name == u"job.meta")
        return e.is<EngineEvent::JobMeta>();
    if (name == u"job.progress")
        return e.is<EngineEvent::JobProgress>();
    if (name == u"job.state")
        return e.is<EngineEvent::JobState>();
    if (name == u"transcribe.state")
        return e.is<EngineEvent::TranscribeState>();
    if (name == u"transcribe.progress")
        return e.is<EngineEvent::TranscribeProgress>();
    if (name == u"job.log")
        return e.is<EngineEvent::JobLog>();
    if (name == u"js.runtime")
        return e.is<EngineEvent::JsRuntime>();
    if (name == u"model.progress")
        return e.is<EngineEvent::ModelProgress>();
    if (name == u"model.state")
        return e.is<EngineEvent::ModelState>();
    if (name == u"clip.state")
        return e.is<EngineEvent::ClipState>();
    if (name == u"clip.progress")
        return e.is<EngineEvent::ClipProgress>();
    const auto* unknown = e.get<EngineEvent::Unknown>();
    return unknown && unknown->name == name;
}

// Request 1 is typed as one of the application's replies; 2 and 3 are raw. Returns the answer that settles
// request 1 without a failure (failures throw, the slowest thing a fuzzing run does).
QByteArray sendTyped(EngineClient& client, Recorder& recorder, uint8_t choice) {
    const QString m = QStringLiteral("m");
    const QString label = QStringLiteral("1");
    namespace Em = EngineMethods;
    switch (choice % 6) {
    case 0:
        recorder.trackTyped(client.request<LibraryPage>(m), label);
        return R"({"items":[],"total":0,"offset":0,"hasMore":false})";
    case 1:
        recorder.trackTyped(client.request<StoredQueue>(m), label);
        return R"({"items":[]})";
    case 2:
        recorder.trackTyped(client.request<Em::QueueSave::Reply>(m), label);
        return R"({"saved":0})";
    case 3:
        recorder.trackTyped(client.request<Em::ThumbnailResolve::Reply>(m), label);
        return R"({"path":""})";
    case 4:
        recorder.trackTyped(client.request<Em::JsRuntime::Reply>(m), label);
        return R"({})";
    default:
        recorder.trackTyped(client.request<SearchResults>(m), label);
        return R"({"query":"","hits":[]})";
    }
}

QByteArray lineFor(uint8_t mode, uint8_t choice, QByteArrayView body, QString* eventName) {
    switch (mode % 5) {
    case 0:
        return body.toByteArray();
    case 1: {
        *eventName = QString::fromLatin1(eventNames[choice % eventNames.size()]);
        return "{\"event\":\"" + eventName->toLatin1() + "\",\"params\":" + body.toByteArray() + '}';
    }
    case 2:
        // Waiting ids are 1 to 3; 0 was never sent.
        return "{\"id\":" + QByteArray::number(choice % 4) + ",\"result\":" + body.toByteArray() + '}';
    case 3:
        return "{\"id\":" + QByteArray::number(choice % 4) + ",\"error\":" + body.toByteArray() + '}';
    default:
        return "{\"id\":" + QByteArray::number(choice % 4) + ',' + body.toByteArray();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ensureApplication();
    if (size < 2)
        return 0;
    const QByteArrayView body(data + 2, qsizetype(size - 2));
    if (body.contains('\n'))
        return 0; // one line only; several are the framer's
    QString eventName;
    const QByteArray line = lineFor(data[0], data[1], body, &eventName) + '\n';

    EngineClient client(nowhere());
    EngineClientProbe probe(client);
    Recorder recorder(client);
    probe.attach();
    const QByteArray typedAnswer = sendTyped(client, recorder, data[1] >> 2);
    recorder.track(client.call(QStringLiteral("m")), QStringLiteral("2"));
    recorder.track(client.call(QStringLiteral("m")), QStringLiteral("3"));
    FUZZ_ASSERT(probe.pendingCount() == 3, "requests are not waiting");

    probe.feed(line);
    deliverPosted();
    const std::vector<QString> replies = recorder.replies();
    const std::vector<EngineEvent> events = recorder.events();
    FUZZ_ASSERT(replies.size() + events.size() <= 1, "one line delivered more than one thing");
    FUZZ_ASSERT(probe.pendingCount() == 3 - qsizetype(replies.size()), "a settled request is still waiting");
    if (!eventName.isEmpty() && !events.empty())
        FUZZ_ASSERT(matchesName(events.front(), eventName), "an event of another kind than its name");

    probe.feed("{\"id\":1,\"result\":" + typedAnswer + "}\n{\"id\":2}\n{\"id\":3}\n");
    deliverPosted();
    FUZZ_ASSERT(recorder.replies().size() == 3 && probe.pendingCount() == 0,
                "a request ended twice or never");
    return 0;
}
