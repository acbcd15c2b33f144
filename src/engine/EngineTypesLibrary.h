#pragma once

#include "JsonReader.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// The engine's answers about the library of downloaded files, the transcript index, the speech
// recognition models, transcriptions and clips.

// One file of the library, identified by its path.
struct LibraryItem {
    QString path;
    QString title;
    QString url;
    // "thumbnail" marks a saved thumbnail image; anything else is a media file.
    QString kind;
    double addedAt = 0;
    qint64 sizeBytes = 0;
    QString thumbURL;
    QString thumbPath;
    QString channel;
    QString playlist;
    bool exists = false;

    const QString& id() const { return path; }
    static LibraryItem fromJson(const JsonReader& r);
    bool operator==(const LibraryItem&) const = default;
};
size_t qHash(const LibraryItem& item, size_t seed = 0) noexcept;

// Answer of "library.list".
struct LibraryPage {
    std::vector<LibraryItem> items;
    qint64 total = 0;
    qint64 offset = 0;
    bool hasMore = false;
    // Where the next page starts (an engine's own token), when it gives one.
    std::optional<QString> cursor;

    static LibraryPage fromJson(const JsonReader& r);
    bool operator==(const LibraryPage&) const = default;
};

// One matching transcript segment.
struct SearchHit {
    QString mediaPath;
    QString title;
    QString language;
    qint64 startMs = 0;
    qint64 endMs = 0;
    QString excerpt;
    QString jsonPath;
    bool exists = false;

    // "<mediaPath>#<startMs>": two hits of one file at the same start share it.
    QString id() const;
    static SearchHit fromJson(const JsonReader& r);
    bool operator==(const SearchHit&) const = default;
};
size_t qHash(const SearchHit& hit, size_t seed = 0) noexcept;

// Answer of "search.query"; `query` tells which text the hits answer.
struct SearchResults {
    QString query;
    std::vector<SearchHit> hits;

    static SearchResults fromJson(const JsonReader& r);
    bool operator==(const SearchResults&) const = default;
};

// Answer of "search.status".
struct SearchStatus {
    qint64 documents = 0;
    qint64 segments = 0;
    qint64 sizeBytes = 0;
    QStringList transcribed;

    static SearchStatus fromJson(const JsonReader& r);
    bool operator==(const SearchStatus&) const = default;
};

// Answer of "search.reindex".
struct ReindexResult {
    qint64 documents = 0;
    qint64 segments = 0;
    qint64 scanned = 0;

    static ReindexResult fromJson(const JsonReader& r);
    bool operator==(const ReindexResult&) const = default;
};

// One speech-recognition model, identified by its key.
struct WhisperModel {
    QString key;
    QString filename;
    qint64 downloadBytes = 0;
    qint64 peakMemoryBytes = 0;
    bool installed = false;
    // Whether this machine can run it (absent: true); when not, what is missing, to show on its row.
    bool runnable = true;
    std::optional<QString> unavailableReason;
    // Comes with the system: offers no delete action.
    bool builtIn = false;

    const QString& id() const { return key; }
    static WhisperModel fromJson(const JsonReader& r);
    bool operator==(const WhisperModel&) const = default;
};
size_t qHash(const WhisperModel& model, size_t seed = 0) noexcept;

// Answer of "models.list".
struct ModelsInfo {
    std::vector<WhisperModel> models;
    // The engine's default model key (JSON "default").
    QString defaultModel;
    bool supported = false;
    bool helperAvailable = false;
    bool appleSilicon = false;
    bool gpu = false;
    double speedFactor = 0;
    // Bytes on disk per model key.
    QMap<QString, qint64> diskUsage;

    // The installed models, in the engine's order.
    std::vector<WhisperModel> installed() const;

    static ModelsInfo fromJson(const JsonReader& r);
    bool operator==(const ModelsInfo&) const = default;
};

// Answer of "models.offer".
struct ModelOffer {
    QString key;
    bool installed = false;
    QString host;
    qint64 downloadBytes = 0;
    qint64 diskBytes = 0;

    static ModelOffer fromJson(const JsonReader& r);
    bool operator==(const ModelOffer&) const = default;
};

// Answer of "transcribe.start".
struct TranscribeResult {
    QString jobId;
    QString path;
    QString srt;
    QString txt;
    QString language;
    qint64 segments = 0;

    static TranscribeResult fromJson(const JsonReader& r);
    bool operator==(const TranscribeResult&) const = default;
};

// Answer of "clip.suggest".
struct ClipSuggestion {
    QString path;
    QString name;
    QString directory;

    static ClipSuggestion fromJson(const JsonReader& r);
    bool operator==(const ClipSuggestion&) const = default;
};

// Answer of "clip.extract".
struct ClipResult {
    QString jobId;
    QString path;
    QString name;
    qint64 sizeBytes = 0;

    static ClipResult fromJson(const JsonReader& r);
    bool operator==(const ClipResult&) const = default;
};

// How a clip is cut; sent as "mode" of "clip.extract".
enum class ClipMode { precise, fast };

// Every mode, in the order the clip panel offers them.
inline constexpr std::array<ClipMode, 2> allClipModes{ClipMode::precise, ClipMode::fast};

QString clipModeValue(ClipMode mode);
// Exactly "precise" or "fast"; anything else (other letter case included) is no mode.
std::optional<ClipMode> clipModeFromValue(const QString& value);
