#include "EngineTypesDownload.h"

#include "Strings.h"
#include "TextTrim.h"

namespace {

size_t hashOptional(const std::optional<qint64>& v, size_t seed) {
    // Absent differs from every present value, 0 included.
    return v ? qHashMulti(seed, true, *v) : qHashMulti(seed, false);
}

} // namespace

QString Analysis::displayTitle() const {
    if (title) {
        const QString t = title->trimmed();
        if (!t.isEmpty())
            return t;
    }
    return url;
}

Analysis Analysis::fromJson(const JsonReader& r) {
    return {
        .url = r.req<QString>("url"),
        .availableQualities = r.req<QStringList>("availableQualities"),
        .probed = r.req<bool>("probed"),
        .sourceLabel = r.opt<QString>("sourceLabel"),
        .isListing = r.req<bool>("isListing"),
        .listingKind = r.req<QString>("listingKind"),
        .title = r.opt<QString>("title"),
        .channel = r.opt<QString>("channel"),
        .playlist = r.opt<QString>("playlist"),
        .duration = r.opt<double>("duration"),
        .thumbnail = r.opt<QString>("thumbnail"),
        .webpageUrl = r.opt<QString>("webpageUrl"),
        .extractor = r.opt<QString>("extractor"),
        .subtitleLanguages = r.opt<QStringList>("subtitleLanguages"),
        .autoSubtitleLanguages = r.opt<QStringList>("autoSubtitleLanguages"),
    };
}

QJsonObject DownloadRequest::toJson() const {
    return {
        {"url", url},
        {"quality", quality},
        {"container", container},
        {"audioOnly", audioOnly},
        {"videoCodec", videoCodec},
        {"subtitleMode", subtitleMode},
        {"saveThumbnail", saveThumbnail},
        {"embedCover", embedCover},
        {"outputDir", outputDir},
        {"singleVideo", singleVideo},
        {"allowListing", allowListing},
        {"jobId", jobId},
        {"cookieSource", cookieSource},
        {"cookiesFile", cookiesFile},
        {"forceGeneric", forceGeneric},
        {"fileName", fileName},
    };
}

DownloadResult DownloadResult::fromJson(const JsonReader& r) {
    return {
        .jobId = r.req<QString>("jobId"), .path = r.req<QString>("path"), .title = r.req<QString>("title")};
}

ResolvedEntry ResolvedEntry::fromJson(const JsonReader& r) {
    return {
        .url = r.req<QString>("url"),
        .title = r.req<QString>("title"),
        .thumbnail = r.req<QString>("thumbnail"),
        .playlist = r.req<QString>("playlist"),
        .channel = r.req<QString>("channel"),
        .duration = r.req<double>("duration"),
        .section = r.req<QString>("section"),
    };
}

size_t qHash(const ResolvedEntry& e, size_t seed) noexcept {
    return qHashMulti(seed, e.url, e.title, e.thumbnail, e.playlist, e.channel, e.duration, e.section);
}

ResolvedSection ResolvedSection::fromJson(const JsonReader& r) {
    return {
        .name = r.req<QString>("name"), .source = r.req<QString>("source"), .count = r.req<qint64>("count")};
}

size_t qHash(const ResolvedSection& s, size_t seed) noexcept {
    return qHashMulti(seed, s.name, s.source, s.count);
}

QString BatchNote::message() const {
    const auto number = [](const std::optional<qint64>& n) { return QString::number(n.value_or(0)); };
    QString text;
    if (reason == u"not-a-url")
        text = Strings::text(QStringLiteral("log_batch_not_a_url"), {{QStringLiteral("text"), input}});
    else if (reason == u"unreadable")
        text = Strings::text(QStringLiteral("log_batch_unreadable"), {{QStringLiteral("url"), input}});
    else if (reason == u"expand-failed")
        text = Strings::text(QStringLiteral("log_batch_expand_failed"), {{QStringLiteral("url"), input}});
    else if (reason == u"queue-full")
        text = Strings::text(QStringLiteral("v2_batch_queue_full"), {{QStringLiteral("input"), input}});
    else if (reason == notTaken)
        text = Strings::text(QStringLiteral("batch_not_taken"), {{QStringLiteral("count"), number(count)}});
    else if (reason == u"subreddit-expanded")
        text = Strings::text(QStringLiteral("log_batch_subreddit_expanded"),
                             {{QStringLiteral("sub"), input}, {QStringLiteral("n"), number(count)}});
    else if (reason == u"listing-skipped")
        text = Strings::text(QStringLiteral("log_batch_listing_skipped"), {{QStringLiteral("name"), input}});
    else if (reason == u"listing-truncated")
        text = Strings::text(QStringLiteral("log_batch_listing_truncated"),
                             {{QStringLiteral("name"), input},
                              {QStringLiteral("shown"), number(shown)},
                              {QStringLiteral("total"), number(count)}});
    else
        return input;
    // The engine's texts may carry decorative symbols the list shows its own way.
    text.remove(QChar(0x26A0));
    text.remove(QChar(0x2139));
    text.remove(QChar(0xFE0F));
    return trimSpacesAndTabs(text);
}

BatchNote BatchNote::fromJson(const JsonReader& r) {
    return {
        .input = r.req<QString>("input"),
        .reason = r.req<QString>("reason"),
        .count = r.opt<qint64>("count"),
        .shown = r.opt<qint64>("shown"),
    };
}

size_t qHash(const BatchNote& n, size_t seed) noexcept {
    seed = qHashMulti(seed, n.input, n.reason);
    return hashOptional(n.shown, hashOptional(n.count, seed));
}

ResolvedListing ResolvedListing::fromJson(const JsonReader& r) {
    return {
        .title = r.req<QString>("title"),
        .entries = r.req<std::vector<ResolvedEntry>>("entries"),
        .sections = r.req<std::vector<ResolvedSection>>("sections"),
        .notes = r.req<std::vector<BatchNote>>("notes"),
    };
}

QueueResolution QueueResolution::fromJson(const JsonReader& r) {
    return {
        .singles = r.req<std::vector<ResolvedEntry>>("singles"),
        .listings = r.req<std::vector<ResolvedListing>>("listings"),
        .notes = r.req<std::vector<BatchNote>>("notes"),
        .pageSize = r.req<qint64>("pageSize"),
    };
}

ListingPage ListingPage::fromJson(const JsonReader& r) {
    return {.entries = r.req<std::vector<ResolvedEntry>>("entries"), .exhausted = r.req<bool>("exhausted")};
}

QJsonObject StoredRow::toJson() const {
    QJsonObject o{
        {"url", url},
        {"title", title},
        {"quality", quality},
        {"container", container},
        {"audio_only", audio_only},
        {"thumb_url", thumb_url},
        {"playlist", playlist},
        {"channel", channel},
        {"status", status},
    };
    if (id)
        o.insert(QStringLiteral("id"), *id);
    if (subtitleMode)
        o.insert(QStringLiteral("subtitleMode"), *subtitleMode);
    if (videoCodec)
        o.insert(QStringLiteral("videoCodec"), *videoCodec);
    if (saveThumbnail)
        o.insert(QStringLiteral("saveThumbnail"), *saveThumbnail);
    if (embedCover)
        o.insert(QStringLiteral("embedCover"), *embedCover);
    return o;
}

StoredRow StoredRow::fromJson(const JsonReader& r) {
    return {
        .url = r.req<QString>("url"),
        .title = r.req<QString>("title"),
        .quality = r.req<QString>("quality"),
        .container = r.req<QString>("container"),
        .audio_only = r.req<bool>("audio_only"),
        .thumb_url = r.req<QString>("thumb_url"),
        .playlist = r.req<QString>("playlist"),
        .channel = r.req<QString>("channel"),
        .status = r.req<QString>("status"),
        .id = r.opt<QString>("id"),
        .subtitleMode = r.opt<QString>("subtitleMode"),
        .videoCodec = r.opt<QString>("videoCodec"),
        .saveThumbnail = r.opt<bool>("saveThumbnail"),
        .embedCover = r.opt<bool>("embedCover"),
    };
}

StoredQueue StoredQueue::fromJson(const JsonReader& r) {
    return {.items = r.req<std::vector<StoredRow>>("items")};
}
