#pragma once

#include "JsonReader.h"

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Records that carry one address through its life: analysis, download, resolution of pasted text into
// videos and listings, further listing pages, and the batch queue the engine keeps across launches.

// Answer of "analyze".
struct Analysis {
    QString url;
    QStringList availableQualities;
    bool probed = false;
    std::optional<QString> sourceLabel;
    bool isListing = false;
    QString listingKind;
    std::optional<QString> title;
    std::optional<QString> channel;
    std::optional<QString> playlist;
    std::optional<double> duration;
    std::optional<QString> thumbnail;
    std::optional<QString> webpageUrl;
    std::optional<QString> extractor;
    std::optional<QStringList> subtitleLanguages;
    std::optional<QStringList> autoSubtitleLanguages;

    // The trimmed title, or the address (untrimmed) when the title is absent or blank.
    QString displayTitle() const;

    static Analysis fromJson(const JsonReader& r);
    bool operator==(const Analysis&) const = default;
};

// The params of "download.start": all sixteen keys are always written.
struct DownloadRequest {
    QString url;
    QString quality;
    QString container;
    bool audioOnly = false;
    QString videoCodec;
    QString subtitleMode;
    bool saveThumbnail = false;
    bool embedCover = false;
    QString outputDir;
    bool singleVideo = true;
    bool allowListing = false;
    QString jobId;
    QString cookieSource;
    QString cookiesFile;
    bool forceGeneric = false;
    QString fileName;

    QJsonObject toJson() const;
    bool operator==(const DownloadRequest&) const = default;
};

// Answer of "download.start".
struct DownloadResult {
    QString jobId;
    QString path;
    QString title;

    static DownloadResult fromJson(const JsonReader& r);
    bool operator==(const DownloadResult&) const = default;
};

// One video of a resolution or a listing page, identified by its address.
struct ResolvedEntry {
    QString url;
    QString title;
    QString thumbnail;
    QString playlist;
    QString channel;
    double duration = 0;
    QString section;

    const QString& id() const { return url; }
    static ResolvedEntry fromJson(const JsonReader& r);
    bool operator==(const ResolvedEntry&) const = default;
};
size_t qHash(const ResolvedEntry& e, size_t seed = 0) noexcept;

// A section of a listing, paged from its own source.
struct ResolvedSection {
    QString name;
    QString source;
    qint64 count = 0;

    static ResolvedSection fromJson(const JsonReader& r);
    bool operator==(const ResolvedSection&) const = default;
};
size_t qHash(const ResolvedSection& s, size_t seed = 0) noexcept;

// What the engine has to say about an input it skipped, shortened or expanded.
struct BatchNote {
    QString input;
    QString reason;
    std::optional<qint64> count;
    std::optional<qint64> shown;

    // The application's own note on a full batch: `count` addresses the engine did not take went back
    // into the batch field.
    static inline const QString notTaken = QStringLiteral("not-taken");

    // The note as the batch pane shows it: the looked-up text for a known reason, else the input.
    QString message() const;

    static BatchNote fromJson(const JsonReader& r);
    bool operator==(const BatchNote&) const = default;
};
size_t qHash(const BatchNote& n, size_t seed = 0) noexcept;

struct ResolvedListing {
    QString title;
    std::vector<ResolvedEntry> entries;
    std::vector<ResolvedSection> sections;
    std::vector<BatchNote> notes;

    static ResolvedListing fromJson(const JsonReader& r);
    bool operator==(const ResolvedListing&) const = default;
};

// Answer of "queue.resolve".
struct QueueResolution {
    std::vector<ResolvedEntry> singles;
    std::vector<ResolvedListing> listings;
    std::vector<BatchNote> notes;
    qint64 pageSize = 0;

    static QueueResolution fromJson(const JsonReader& r);
    bool operator==(const QueueResolution&) const = default;
};

// Answer of "listing.page".
struct ListingPage {
    std::vector<ResolvedEntry> entries;
    bool exhausted = false;

    static ListingPage fromJson(const JsonReader& r);
    bool operator==(const ListingPage&) const = default;
};

// One persisted batch-queue row. Read back from "queue.load" and written by "queue.save" with the same
// keys, two of them in snake case. Rows saved by older versions have only the first nine; the job's id
// and the rest of its format came later, so the engine's record of a partial download still matches.
struct StoredRow {
    QString url;
    QString title;
    QString quality;
    QString container;
    bool audio_only = false;
    QString thumb_url;
    QString playlist;
    QString channel;
    QString status; // "waiting" or "paused"
    std::optional<QString> id;
    std::optional<QString> subtitleMode;
    std::optional<QString> videoCodec;
    std::optional<bool> saveThumbnail;
    std::optional<bool> embedCover;

    // The row was saved paused (its partial file kept); any other status reads as waiting.
    bool isPaused() const { return status == QLatin1String("paused"); }
    QJsonObject toJson() const;
    static StoredRow fromJson(const JsonReader& r);
    bool operator==(const StoredRow&) const = default;
};

// Answer of "queue.load".
struct StoredQueue {
    std::vector<StoredRow> items;

    static StoredQueue fromJson(const JsonReader& r);
    bool operator==(const StoredQueue&) const = default;
};
