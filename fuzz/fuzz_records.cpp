// Strict record decoding: every record type the engine sends, decoded from arbitrary JSON. A value that
// decodes must decode again, to an equal record, after being written out as JSON text and read back; a
// record the application also writes must come back equal through its own encoding.
//
// Input: a byte choosing the record type, then JSON text.

#include "EngineEvent.h"
#include "EngineMethods.h"
#include "EngineTypes.h"
#include "FuzzApplication.h"
#include "StringTable.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// The value as the engine would have written it on its line, read back.
QJsonValue rewritten(const QJsonValue& v) {
    if (v.isObject())
        return QJsonDocument::fromJson(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact)).object();
    if (v.isArray())
        return QJsonDocument::fromJson(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact)).array();
    // A bare scalar travels inside an array.
    const QJsonArray wrapped{v};
    return QJsonDocument::fromJson(QJsonDocument(wrapped).toJson(QJsonDocument::Compact)).array().at(0);
}

template <class T> void check(const QJsonValue& v) {
    std::optional<T> first;
    try {
        first.emplace(decodeJson<T>(v));
    } catch (const DecodeError&) {
        return;
    }
    const T second = decodeJson<T>(rewritten(v)); // a throw here ends the run as a crash
    if constexpr (std::equality_comparable<T>) {
        FUZZ_ASSERT(second == *first, "a record changed through its JSON text");
        if constexpr (requires { first->toJson(); }) {
            const T third = decodeJson<T>(first->toJson());
            FUZZ_ASSERT(third == *first, "a record changed through its own encoding");
        }
        if constexpr (std::is_same_v<T, StoredQueue>) {
            const EngineMethods::QueueSave::Params saved{first->items};
            FUZZ_ASSERT(decodeJson<StoredQueue>(saved.toJson()) == *first, "a saved queue came back changed");
        }
    }
}

template <class... T> struct Records {
    static constexpr size_t count = sizeof...(T);
    static void check(size_t which, const QJsonValue& v) {
        size_t i = 0;
        ((i++ == which ? ::check<T>(v) : void()), ...);
    }
};

using Ev = EngineEvent;
namespace Em = EngineMethods;
using All = Records<
    // session records
    EngineHello, EngineSettings, AllowedOptions, UpdateInfo, Favourites, StringTable,
    // download, queue and listing records
    Analysis, DownloadResult, ResolvedEntry, ResolvedSection, BatchNote, ResolvedListing, QueueResolution,
    ListingPage, StoredRow, StoredQueue,
    // library, search, model, transcription and clip records
    LibraryItem, LibraryPage, SearchHit, SearchResults, SearchStatus, ReindexResult, WhisperModel, ModelsInfo,
    ModelOffer, TranscribeResult, ClipSuggestion, ClipResult,
    // the small replies of single methods
    Em::QueueSave::Reply, Em::ThumbnailResolve::Reply, Em::JsRuntime::Reply, Em::ReportSend::Reply,
    // event payloads
    Ev::JobStarted, Ev::JobMeta, Ev::JobProgress, Ev::SpeedEngine, Ev::JobState, Ev::TranscribeState,
    Ev::TranscribeProgress, Ev::JobLog, Ev::ModelProgress, Ev::ClipState>;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ensureApplication();
    if (size < 1)
        return 0;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)), &error);
    if (error.error != QJsonParseError::NoError)
        return 0;
    const QJsonValue value = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
    All::check(data[0] % All::count, value);
    return 0;
}
