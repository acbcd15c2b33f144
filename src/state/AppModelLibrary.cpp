// Library paging: the whole library is loaded page after page after each reload.
#include "AppModel.h"

#include "Spawn.h"

#include <QCoro/QCoroSignal>
#include <QSet>

QCoro::Task<void> AppModel::reloadLibrary() {
    QPointer<AppModel> self(this);
    const int epoch = ++m_libraryEpoch;
    m_libraryOffset = 0;
    m_libraryHasMore = true;
    m_library.clear();
    Q_EMIT libraryChanged();
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
    m_libraryLoading = true;
    const int epoch = m_libraryEpoch;
    EngineMethods::LibraryList::Params params;
    params.offset = m_libraryOffset;
    const auto page = co_await ask<EngineMethods::LibraryList>(params, true);
    if (!self)
        co_return false;
    m_libraryLoading = false;
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
    QSet<QString> known;
    for (const LibraryItem& item : m_library)
        known.insert(item.path);
    qint64 media = 0;
    for (const LibraryItem& item : page->items) {
        if (!known.contains(item.path))
            m_library.push_back(item);
        if (item.kind != QLatin1String("thumbnail"))
            ++media;
    }
    m_libraryTotal = page->total;
    m_libraryHasMore = page->hasMore;
    m_libraryOffset = page->offset + media;
    Q_EMIT libraryChanged();
    co_return true;
}
