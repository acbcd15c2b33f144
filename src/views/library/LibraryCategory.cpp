#include "library/LibraryCategory.h"

#include <array>

namespace LibraryCategories {

namespace {

constexpr std::array<const char*, 7> raws{"all",       "video",    "audio",     "shorts",
                                          "playlists", "channels", "thumbnails"};

} // namespace

const QList<LibraryCategory>& all() {
    static const QList<LibraryCategory> list{LibraryCategory::All,       LibraryCategory::Video,
                                             LibraryCategory::Audio,     LibraryCategory::Shorts,
                                             LibraryCategory::Playlists, LibraryCategory::Channels,
                                             LibraryCategory::Thumbnails};
    return list;
}

QString rawValue(LibraryCategory category) {
    return QString::fromLatin1(raws[std::size_t(category)]);
}

std::optional<LibraryCategory> fromRawValue(const QString& raw) {
    for (LibraryCategory category : all()) {
        if (rawValue(category) == raw)
            return category;
    }
    return std::nullopt;
}

QString labelKey(LibraryCategory category) {
    return QStringLiteral("dl_tab_") + rawValue(category);
}

bool groups(LibraryCategory category) {
    return category == LibraryCategory::Playlists || category == LibraryCategory::Channels;
}

} // namespace LibraryCategories
