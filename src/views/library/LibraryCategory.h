#pragma once

#include <QList>
#include <QString>

#include <optional>

// The categories of the library's bar, in the bar's order.
enum class LibraryCategory { All, Video, Audio, Shorts, Playlists, Channels, Thumbnails };

namespace LibraryCategories {

const QList<LibraryCategory>& all();
QString rawValue(LibraryCategory category);
std::optional<LibraryCategory> fromRawValue(const QString& raw);
// The text key of the bar's segment: "dl_tab_" + the raw value.
QString labelKey(LibraryCategory category);
// Playlists and channels show groups instead of items.
bool groups(LibraryCategory category);

} // namespace LibraryCategories
