#include "library/LibraryLists.h"

#include "Job.h"
#include "Strings.h"

#include <QHash>

namespace LibraryLists {

namespace {

bool isPicture(const LibraryItem& item) {
    return item.kind == QLatin1String("thumbnail");
}

QString count(qint64 n) {
    return QString::number(n);
}

} // namespace

QString itemTag(const LibraryItem& item) {
    return item.path;
}

QString groupTag(const QString& name) {
    return QStringLiteral("group:") + name;
}

QString hitTag(const SearchHit& hit) {
    return QStringLiteral("hit:") + hit.mediaPath + u'#' + QString::number(hit.startMs);
}

std::vector<LibraryItem> base(const std::vector<LibraryItem>& filtered) {
    std::vector<LibraryItem> out;
    out.reserve(filtered.size());
    for (const LibraryItem& item : filtered) {
        if (!isPicture(item))
            out.push_back(item);
    }
    return out;
}

std::vector<LibraryItem> pictures(const std::vector<LibraryItem>& filtered) {
    std::vector<LibraryItem> out;
    for (const LibraryItem& item : filtered) {
        if (isPicture(item))
            out.push_back(item);
    }
    return out;
}

std::vector<LibraryItem> rows(const std::vector<LibraryItem>& filtered, LibraryCategory category,
                              const std::optional<QString>& openGroup) {
    if (openGroup) {
        std::vector<LibraryItem> out;
        for (const LibraryItem& item : filtered) {
            if (!isPicture(item) && (item.playlist == *openGroup || item.channel == *openGroup))
                out.push_back(item);
        }
        return out;
    }
    const char* kind = nullptr;
    switch (category) {
    case LibraryCategory::All:
        return base(filtered);
    case LibraryCategory::Thumbnails:
        return pictures(filtered);
    case LibraryCategory::Playlists:
    case LibraryCategory::Channels:
        return {};
    case LibraryCategory::Video:
        kind = "video";
        break;
    case LibraryCategory::Audio:
        kind = "audio";
        break;
    case LibraryCategory::Shorts:
        kind = "short";
        break;
    }
    std::vector<LibraryItem> out;
    for (const LibraryItem& item : filtered) {
        if (item.kind == QLatin1String(kind))
            out.push_back(item);
    }
    return out;
}

std::vector<LibraryGroup> groups(const std::vector<LibraryItem>& filtered, LibraryCategory category) {
    if (!LibraryCategories::groups(category))
        return {};
    const bool byPlaylist = category == LibraryCategory::Playlists;
    std::vector<LibraryGroup> out;
    QHash<QString, std::size_t> at;
    for (const LibraryItem& item : filtered) {
        if (isPicture(item))
            continue;
        const QString& key = byPlaylist ? item.playlist : item.channel;
        if (key.isEmpty())
            continue;
        auto it = at.find(key);
        if (it == at.end()) {
            it = at.insert(key, out.size());
            out.push_back({key, {}});
        }
        out[*it].items.push_back(item);
    }
    return out;
}

QString sectionTitle(LibraryCategory category, int rowCount) {
    if (category == LibraryCategory::Thumbnails && rowCount == 1)
        return Strings::text(QStringLiteral("label_thumbnails_count_one"));
    const QString key = category == LibraryCategory::Thumbnails ? QStringLiteral("label_thumbnails_count")
                                                                : QStringLiteral("label_downloads_count");
    return Strings::text(key, {{QStringLiteral("n"), count(rowCount)}});
}

QStringList selectableTags(const std::vector<LibraryItem>& rows, const std::vector<LibraryGroup>& groups) {
    QStringList tags;
    if (!rows.empty()) {
        for (const LibraryItem& item : rows)
            tags << itemTag(item);
        return tags;
    }
    for (const LibraryGroup& group : groups)
        tags << groupTag(group.name);
    return tags;
}

bool allSelected(const QStringList& selectable, const QSet<QString>& selection) {
    if (selectable.isEmpty())
        return false;
    for (const QString& tag : selectable) {
        if (!selection.contains(tag))
            return false;
    }
    return true;
}

QStringList selectedPaths(const std::vector<LibraryItem>& rows, const std::vector<LibraryGroup>& groups,
                          const QSet<QString>& selection) {
    QStringList paths;
    if (selection.isEmpty())
        return paths;
    // A group and one of its items both selected stand for that file once: counted once, removed once.
    QSet<QString> listed;
    auto add = [&](const QString& path) {
        if (!listed.contains(path)) {
            listed.insert(path);
            paths << path;
        }
    };
    for (const LibraryItem& item : rows) {
        if (selection.contains(itemTag(item)))
            add(item.path);
    }
    for (const LibraryGroup& group : groups) {
        if (!selection.contains(groupTag(group.name)))
            continue;
        for (const LibraryItem& item : group.items)
            add(item.path);
    }
    return paths;
}

QSet<QString> toggledAll(const QStringList& selectable, QSet<QString> selection) {
    const bool all = allSelected(selectable, selection);
    for (const QString& tag : selectable) {
        if (all)
            selection.remove(tag);
        else
            selection.insert(tag);
    }
    return selection;
}

QString groupMeta(const LibraryGroup& group) {
    const qsizetype n = qsizetype(group.items.size());
    QStringList parts;
    parts << (n == 1 ? Strings::text(QStringLiteral("label_group_item_one"))
                     : Strings::text(QStringLiteral("label_group_items"), {{QStringLiteral("n"), count(n)}}));
    qint64 bytes = 0;
    qsizetype audio = 0;
    for (const LibraryItem& item : group.items) {
        bytes += item.sizeBytes;
        if (item.kind == QLatin1String("audio"))
            ++audio;
    }
    parts << Job::fileSize(bytes);
    if (audio != 0 && audio != n)
        parts << Strings::text(QStringLiteral("label_group_audio"), {{QStringLiteral("n"), count(audio)}});
    return parts.join(QStringLiteral("  \u00b7  "));
}

} // namespace LibraryLists
