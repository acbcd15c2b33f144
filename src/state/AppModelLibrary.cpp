// Library paging: the whole library is loaded page after page after each reload.
#include "AppModel.h"

#include "Spawn.h"

#include <QCoro/QCoroSignal>
#include <QFileInfo>
#include <QSet>

QCoro::Task<void> AppModel::reloadLibrary() {
    QPointer<AppModel> self(this);
    const int epoch = ++m_libraryEpoch;
    m_libraryOffset = 0;
    m_libraryHasMore = true;
    m_library.clear();
    m_libraryPaths.clear();
    Q_EMIT libraryChanged();
    Q_EMIT filteredLibraryChanged();
    const bool ok = co_await loadMoreLibrary();
    if (!self || !ok)
        co_return;
    spawn(this, [this, epoch]() -> QCoro::Task<void> {
        QPointer<AppModel> self(this);
        // A failed page ends the paging: no endless retry.
        while (self && m_libraryHasMore && m_libraryEpoch == epoch) {
            if (!co_await loadMoreLibrary())
                co_return;
        }
    });
}

QCoro::Task<bool> AppModel::loadMoreLibrary() {
    QPointer<AppModel> self(this);
    // A page in flight is awaited rather than asked again.
    while (m_libraryLoading) {
        co_await qCoro(this, &AppModel::libraryChanged);
        if (!self)
            co_return false;
    }
    if (!m_libraryHasMore)
        co_return true;
    setLibraryLoading(true);
    const int epoch = m_libraryEpoch;
    EngineMethods::LibraryList::Params params;
    params.offset = m_libraryOffset;
    const auto page = co_await ask<EngineMethods::LibraryList>(params, true);
    if (!self)
        co_return false;
    setLibraryLoading(false);
    if (!page) {
        Q_EMIT libraryChanged();
        co_return false;
    }
    if (epoch != m_libraryEpoch) {
        // Asked for before a reload: its items and offset belong to the old list. The reload, which
        // awaited this page, now starts from offset 0.
        Q_EMIT libraryChanged();
        co_return true;
    }
    const std::size_t listed = m_library.size();
    qint64 media = 0;
    for (const LibraryItem& item : page->items) {
        if (!m_libraryPaths.contains(item.path))
            m_library.push_back(item);
        if (item.kind != QLatin1String("thumbnail"))
            ++media;
    }
    for (std::size_t i = listed; i < m_library.size(); ++i)
        m_libraryPaths.insert(m_library[i].path);
    const qint64 asked = params.offset;
    m_libraryTotal = page->total;
    m_libraryOffset = page->offset + media;
    // A page that says more follow but moves the offset nowhere (only thumbnails, say) would be asked
    // again without end: the paging stops there.
    m_libraryHasMore = page->hasMore && m_libraryOffset > asked;
    Q_EMIT libraryChanged();
    Q_EMIT filteredLibraryChanged();
    co_return true;
}

void AppModel::setLibrarySearch(const QString& text) {
    if (m_librarySearch == text)
        return;
    const bool filterChanged = m_librarySearch.trimmed() != text.trimmed();
    m_librarySearch = text;
    Q_EMIT librarySearchChanged();
    if (filterChanged)
        Q_EMIT filteredLibraryChanged();
}

std::vector<LibraryItem> AppModel::filteredLibrary() const {
    const QString text = m_librarySearch.trimmed();
    if (text.isEmpty())
        return m_library;
    std::vector<LibraryItem> out;
    for (const LibraryItem& item : m_library) {
        if (item.title.contains(text, Qt::CaseInsensitive) || item.path.contains(text, Qt::CaseInsensitive) ||
            item.channel.contains(text, Qt::CaseInsensitive) ||
            item.playlist.contains(text, Qt::CaseInsensitive))
            out.push_back(item);
    }
    return out;
}

bool AppModel::stillThere(const QString& path) {
    if (!path.isEmpty() && QFileInfo::exists(path))
        return true;
    setFileMissingNotice(true);
    // The engine's "exists" flags are stale now.
    spawn(this, [this]() -> QCoro::Task<void> { co_await reloadLibrary(); });
    return false;
}

QCoro::Task<void> AppModel::removeLibrary(QStringList paths, bool deleteFiles) {
    QPointer<AppModel> self(this);
    try {
        EngineMethods::LibraryRemove::Params params;
        params.paths = paths;
        params.deleteFiles = deleteFiles;
        co_await ping<EngineMethods::LibraryRemove>(params, true);
        // Whatever the engine managed to remove, the list and the index status are read afresh.
        if (!self)
            co_return;
        co_await reloadLibrary();
        if (!self)
            co_return;
        co_await refreshSearchStatus();
    } catch (...) {
        qWarning().noquote() << "[app] library removal:" << describe(std::current_exception());
    }
}

void AppModel::reveal(const LibraryItem& item) {
    if (stillThere(item.path))
        revealPath(item.path);
}

void AppModel::revealJob(const Job& job) {
    const std::optional<QString>& path = job.outputPath();
    if (path && stillThere(*path))
        revealPath(*path);
}

void AppModel::revealPath(const QString& path) {
    // Only a path goes to the engine, which shows it in the file manager; nothing is opened here.
    spawn(this, [this, path]() -> QCoro::Task<void> {
        EngineMethods::LibraryReveal::Params params;
        params.path = path;
        co_await ping<EngineMethods::LibraryReveal>(params, true);
    });
}

void AppModel::setFileMissingNotice(bool show) {
    assign(m_fileMissingNotice, show, &AppModel::fileMissingNoticeChanged);
}

void AppModel::setLibraryLoading(bool loading) {
    assign(m_libraryLoading, loading, &AppModel::libraryLoadingChanged);
}
