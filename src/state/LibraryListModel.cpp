#include "LibraryListModel.h"

#include "AppModel.h"
#include "Spawn.h"

#include <QPointer>
#include <QScopeGuard>

#include <algorithm>

LibraryListModel::LibraryListModel(AppModel* model, QObject* parent)
    : QAbstractListModel(parent), m_model(model), m_rows(model->filteredLibrary()),
      m_filter(model->librarySearch().trimmed()) {
    connect(model, &AppModel::filteredLibraryChanged, this, &LibraryListModel::follow);
}

void LibraryListModel::follow() {
    std::vector<LibraryItem> rows = m_model->filteredLibrary();
    // Another filter is another list, whose rows are reset. A change of the library removes and inserts
    // only the rows that changed, so the rows around keep their place; nothing in common resets the rows.
    const QString filter = m_model->librarySearch().trimmed();
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
    return !parent.isValid() && !m_fetching && m_model->libraryHasMore() && !m_model->libraryLoading();
}

void LibraryListModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    // Asked again before the page arrives, a view would get the page after it too.
    m_fetching = true;
    spawn(m_model, [model = m_model, self = QPointer(this)]() -> QCoro::Task<void> {
        const auto done = qScopeGuard([self] {
            if (self)
                self->m_fetching = false;
        });
        co_await model->loadMoreLibrary();
    });
}
