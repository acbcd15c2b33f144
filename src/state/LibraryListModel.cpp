#include "LibraryListModel.h"

#include "AppModel.h"
#include "Spawn.h"

#include <QPointer>
#include <QScopeGuard>

#include <algorithm>

LibraryListModel::LibraryListModel(AppModel* model, QObject* parent)
    : QAbstractListModel(parent), m_model(model), m_rows(model->filteredLibrary()) {
    connect(model, &AppModel::filteredLibraryChanged, this, &LibraryListModel::follow);
}

void LibraryListModel::follow() {
    std::vector<LibraryItem> rows = m_model->filteredLibrary();
    const bool extends =
        rows.size() >= m_rows.size() && std::equal(m_rows.begin(), m_rows.end(), rows.begin());
    if (!extends) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    if (rows.size() == m_rows.size())
        return;
    beginInsertRows({}, int(m_rows.size()), int(rows.size()) - 1);
    m_rows = std::move(rows);
    endInsertRows();
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
