#include "EngineTypesLibrary.h"

LibraryItem LibraryItem::fromJson(const JsonReader& r) {
    return {
        .path = r.req<QString>("path"),
        .title = r.req<QString>("title"),
        .url = r.req<QString>("url"),
        .kind = r.req<QString>("kind"),
        .addedAt = r.req<double>("addedAt"),
        .sizeBytes = r.req<qint64>("sizeBytes"),
        .thumbURL = r.req<QString>("thumbURL"),
        .thumbPath = r.req<QString>("thumbPath"),
        .channel = r.req<QString>("channel"),
        .playlist = r.req<QString>("playlist"),
        .exists = r.req<bool>("exists"),
    };
}

size_t qHash(const LibraryItem& i, size_t seed) noexcept {
    return qHashMulti(seed, i.path, i.title, i.url, i.kind, i.addedAt, i.sizeBytes, i.thumbURL, i.thumbPath,
                      i.channel, i.playlist, i.exists);
}

LibraryPage LibraryPage::fromJson(const JsonReader& r) {
    return {
        .items = r.req<std::vector<LibraryItem>>("items"),
        .total = r.req<qint64>("total"),
        .offset = r.req<qint64>("offset"),
        .hasMore = r.req<bool>("hasMore"),
        .cursor = r.opt<QString>("cursor"),
    };
}

QString SearchHit::id() const {
    return mediaPath + u'#' + QString::number(startMs);
}

SearchHit SearchHit::fromJson(const JsonReader& r) {
    return {
        .mediaPath = r.req<QString>("mediaPath"),
        .title = r.req<QString>("title"),
        .language = r.req<QString>("language"),
        .startMs = r.req<qint64>("startMs"),
        .endMs = r.req<qint64>("endMs"),
        .excerpt = r.req<QString>("excerpt"),
        .jsonPath = r.req<QString>("jsonPath"),
        .exists = r.req<bool>("exists"),
    };
}

size_t qHash(const SearchHit& h, size_t seed) noexcept {
    return qHashMulti(seed, h.mediaPath, h.title, h.language, h.startMs, h.endMs, h.excerpt, h.jsonPath,
                      h.exists);
}

SearchResults SearchResults::fromJson(const JsonReader& r) {
    return {.query = r.req<QString>("query"), .hits = r.req<std::vector<SearchHit>>("hits")};
}

SearchStatus SearchStatus::fromJson(const JsonReader& r) {
    return {
        .documents = r.req<qint64>("documents"),
        .segments = r.req<qint64>("segments"),
        .sizeBytes = r.req<qint64>("sizeBytes"),
        .transcribed = r.req<QStringList>("transcribed"),
    };
}

ReindexResult ReindexResult::fromJson(const JsonReader& r) {
    return {
        .documents = r.req<qint64>("documents"),
        .segments = r.req<qint64>("segments"),
        .scanned = r.req<qint64>("scanned"),
    };
}

WhisperModel WhisperModel::fromJson(const JsonReader& r) {
    return {
        .key = r.req<QString>("key"),
        .filename = r.req<QString>("filename"),
        .downloadBytes = r.req<qint64>("downloadBytes"),
        .peakMemoryBytes = r.req<qint64>("peakMemoryBytes"),
        .installed = r.req<bool>("installed"),
        .runnable = r.opt<bool>("runnable").value_or(true),
        .unavailableReason = r.opt<QString>("unavailableReason"),
        .builtIn = r.opt<bool>("builtIn").value_or(false),
    };
}

size_t qHash(const WhisperModel& m, size_t seed) noexcept {
    return qHashMulti(seed, m.key, m.filename, m.downloadBytes, m.peakMemoryBytes, m.installed, m.runnable,
                      m.unavailableReason.value_or(QString()), m.builtIn);
}

std::vector<WhisperModel> ModelsInfo::installed() const {
    std::vector<WhisperModel> out;
    std::copy_if(models.begin(), models.end(), std::back_inserter(out),
                 [](const auto& m) { return m.installed; });
    return out;
}

ModelsInfo ModelsInfo::fromJson(const JsonReader& r) {
    return {
        .models = r.req<std::vector<WhisperModel>>("models"),
        .defaultModel = r.req<QString>("default"),
        .supported = r.req<bool>("supported"),
        .helperAvailable = r.req<bool>("helperAvailable"),
        .appleSilicon = r.req<bool>("appleSilicon"),
        .gpu = r.req<bool>("gpu"),
        .speedFactor = r.req<double>("speedFactor"),
        .diskUsage = r.req<QMap<QString, qint64>>("diskUsage"),
    };
}

ModelOffer ModelOffer::fromJson(const JsonReader& r) {
    return {
        .key = r.req<QString>("key"),
        .installed = r.req<bool>("installed"),
        .host = r.req<QString>("host"),
        .downloadBytes = r.req<qint64>("downloadBytes"),
        .diskBytes = r.req<qint64>("diskBytes"),
    };
}

TranscribeResult TranscribeResult::fromJson(const JsonReader& r) {
    return {
        .jobId = r.req<QString>("jobId"),
        .path = r.req<QString>("path"),
        .srt = r.req<QString>("srt"),
        .txt = r.req<QString>("txt"),
        .language = r.req<QString>("language"),
        .segments = r.req<qint64>("segments"),
    };
}

ClipSuggestion ClipSuggestion::fromJson(const JsonReader& r) {
    return {.path = r.req<QString>("path"),
            .name = r.req<QString>("name"),
            .directory = r.req<QString>("directory")};
}

ClipResult ClipResult::fromJson(const JsonReader& r) {
    return {
        .jobId = r.req<QString>("jobId"),
        .path = r.req<QString>("path"),
        .name = r.req<QString>("name"),
        .sizeBytes = r.req<qint64>("sizeBytes"),
    };
}

QString clipModeValue(ClipMode mode) {
    switch (mode) {
    case ClipMode::precise:
        return QStringLiteral("precise");
    case ClipMode::fast:
        return QStringLiteral("fast");
    }
    return {};
}

std::optional<ClipMode> clipModeFromValue(const QString& value) {
    for (ClipMode m : allClipModes)
        if (clipModeValue(m) == value)
            return m;
    return std::nullopt;
}
