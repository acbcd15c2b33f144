#include "LibraryListModel.h"

#include "Library.h"
#include "Spawn.h"

#include <QPointer>
#include <QScopeGuard>

#include <algorithm>

LibraryListModel::LibraryListModel(Library* library, QObject* parent)
    : QAbstractListModel(parent), m_library(library), m_rows(library->filteredLibrary()),
      m_filter(library->librarySearch().trimmed()) {
    connect(library, &Library::filteredLibraryChanged, this, &LibraryListModel::follow);
}

void LibraryListModel::follow() {
    std::vector<LibraryItem> rows = m_library->filteredLibrary();
    // Another filter is another list, whose rows are reset. A change of the library removes and inserts
    // only the rows that changed, so the rows around keep their place; nothing in common resets the rows.
    const QString filter = m_library->librarySearch().trimmed();
    const bool fresh = filter != m_filter;
    m_filter = filter;
    const std::size_t oldSize = m_rows.size();
    const std::size_t newSize = rows.size();
    std::size_t head = 0;
    while (head < oldSize && head < newSize && m_rows[head].path == rows[head].path)
        ++head;
    std::size_t tail = 0;
    while (tail < oldSize - head && tail < newSize - head &&
           m_rows[oldSize - 1 - tail].path == rows[newSize - 1 - tail].path)
        ++tail;
    bool keptChanged = false;
    for (std::size_t i = 0; i < head && !keptChanged; ++i)
        keptChanged = !(m_rows[i] == rows[i]);
    for (std::size_t i = 1; i <= tail && !keptChanged; ++i)
        keptChanged = !(m_rows[oldSize - i] == rows[newSize - i]);
    if (fresh || (head == 0 && tail == 0 && oldSize > 0 && newSize > 0)) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    if (oldSize - tail > head) {
        beginRemoveRows({}, int(head), int(oldSize - tail) - 1);
        m_rows.erase(m_rows.begin() + qsizetype(head), m_rows.end() - qsizetype(tail));
        endRemoveRows();
    }
    const bool grows = newSize - tail > head;
    if (grows)
        beginInsertRows({}, int(head), int(newSize - tail) - 1);
    m_rows = std::move(rows);
    if (grows)
        endInsertRows();
    // Rows kept may have changed in place (a file found missing, say).
    if (keptChanged)
        Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1));
}

int LibraryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

const LibraryItem* LibraryListModel::itemAt(int row) const {
    return row >= 0 && row < int(m_rows.size()) ? &m_rows[row] : nullptr;
}

QVariant LibraryListModel::data(const QModelIndex& index, int role) const {
    const LibraryItem* item = index.isValid() && !index.parent().isValid() ? itemAt(index.row()) : nullptr;
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
        return item->title;
    case PathRole:
        return item->path;
    case URLRole:
        return item->url;
    case KindRole:
        return item->kind;
    case AddedAtRole:
        return item->addedAt;
    case SizeBytesRole:
        return item->sizeBytes;
    case ThumbURLRole:
        return item->thumbURL;
    case ThumbPathRole:
        return item->thumbPath;
    case ChannelRole:
        return item->channel;
    case PlaylistRole:
        return item->playlist;
    case ExistsRole:
        return item->exists;
    default:
        return {};
    }
}

QHash<int, QByteArray> LibraryListModel::roleNames() const {
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert({{PathRole, "path"},
                  {TitleRole, "title"},
                  {URLRole, "url"},
                  {KindRole, "kind"},
                  {AddedAtRole, "addedAt"},
                  {SizeBytesRole, "sizeBytes"},
                  {ThumbURLRole, "thumbURL"},
                  {ThumbPathRole, "thumbPath"},
                  {ChannelRole, "channel"},
                  {PlaylistRole, "playlist"},
                  {ExistsRole, "exists"}});
    return names;
}

bool LibraryListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_fetching && m_library->libraryHasMore() && !m_library->libraryLoading();
}

void LibraryListModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    // Asked again before the page arrives, a view would get the page after it too.
    m_fetching = true;
    spawn(m_library, [library = m_library, self = QPointer(this)]() -> QCoro::Task<void> {
        const auto done = qScopeGuard([self] {
            if (self)
                self->m_fetching = false;
        });
        co_await library->loadMoreLibrary();
    });
}
