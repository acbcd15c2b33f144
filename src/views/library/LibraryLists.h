#pragma once

#include "EngineTypesLibrary.h"
#include "library/LibraryCategory.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A playlist or a channel of the library, with its items in library order.
struct LibraryGroup {
    QString name;
    std::vector<LibraryItem> items;
};

// What the library pane lists for a filtered library, a category and an open group, and what a
// selection of row tags stands for. Plain functions of their arguments, so the pane and its tests agree.
namespace LibraryLists {

QString itemTag(const LibraryItem& item);
QString groupTag(const QString& name);
QString hitTag(const SearchHit& hit);

// The filtered library without thumbnails / with thumbnails only.
std::vector<LibraryItem> base(const std::vector<LibraryItem>& filtered);
std::vector<LibraryItem> pictures(const std::vector<LibraryItem>& filtered);

// The items listed: an open group's items (playlist or channel equal to its name) whatever the category,
// else the category's items; nothing for playlists and channels, which list groups.
std::vector<LibraryItem> rows(const std::vector<LibraryItem>& filtered, LibraryCategory category,
                              const std::optional<QString>& openGroup);
// One group per distinct playlist (or channel) in the order first seen; items without one are left out.
std::vector<LibraryGroup> groups(const std::vector<LibraryItem>& filtered, LibraryCategory category);

QString sectionTitle(LibraryCategory category, int rowCount);

// The tags that select all acts on: the rows' paths, or the groups' tags when there are no rows.
QStringList selectableTags(const std::vector<LibraryItem>& rows, const std::vector<LibraryGroup>& groups);
bool allSelected(const QStringList& selectable, const QSet<QString>& selection);
// The selected rows' paths, then every item of each selected group, each path once.
QStringList selectedPaths(const std::vector<LibraryItem>& rows, const std::vector<LibraryGroup>& groups,
                          const QSet<QString>& selection);
// Select all adds the selectable tags; when they are all selected it removes them, and only them.
QSet<QString> toggledAll(const QStringList& selectable, QSet<QString> selection);

// A group's summary: its item count, total size and, when mixed, how many are audio.
QString groupMeta(const LibraryGroup& group);

} // namespace LibraryLists
