// Library paging. One coroutine at a time reads pages (the pager). A reload asked while it reads is
// remembered and read once after the reading in progress, so a burst of finished downloads costs one more
// reading rather than one each. A shown library stays shown while its replacement pages in: the new list
// is gathered aside and swapped in whole, so what is shown never empties or shrinks meanwhile.
#include "Library.h"

#include "AppModel.h"
#include "Assign.h"
#include "Job.h"
#include "Session.h"
#include "Spawn.h"

#include <QFileInfo>
#include <QSet>

Library::Library(AppModel& app) : m_app(app) {}

QCoro::Task<void> Library::reloadLibrary() {
    if (m_libraryPaging) {
        m_libraryReloadAsked = true;
        co_return;
    }
    QPointer<Library> self(this);
    m_libraryPaging = true;
    beginLibraryReading();
    const bool ok = co_await readLibraryPage();
    if (self)
        keepPagingLibrary(ok);
}

QCoro::Task<bool> Library::loadMoreLibrary() {
    // The pager reads every page there is; a page in flight is never asked twice.
    if (m_libraryPaging || !m_libraryHasMore)
        co_return true;
    QPointer<Library> self(this);
    m_libraryPaging = true;
    const bool ok = co_await readLibraryPage();
    if (!self)
        co_return false;
    if (m_libraryReloadAsked)
        keepPagingLibrary(ok);
    else
        m_libraryPaging = false;
    co_return ok;
}

void Library::beginLibraryReading() {
    m_libraryOffset = 0;
    m_libraryCursor.reset();
    m_libraryHasMore = true;
    m_libraryIncoming.clear();
    m_libraryIncomingPaths.clear();
    // An empty list has nothing to keep: its pages show as they come.
    m_libraryStaged = !m_library.empty();
    Q_EMIT libraryChanged();
}

void Library::keepPagingLibrary(bool ok) {
    if ((ok && m_libraryHasMore) || m_libraryReloadAsked)
        spawn(this, [this, ok]() -> QCoro::Task<void> { co_await pageLibrary(ok); });
    else
        m_libraryPaging = false;
}

QCoro::Task<void> Library::pageLibrary(bool ok) {
    QPointer<Library> self(this);
    for (;;) {
        // A failed page ends its reading (nothing is retried by itself); a reload asked meanwhile still
        // reads once.
        if (!ok || !m_libraryHasMore) {
            if (!m_libraryReloadAsked)
                break;
            m_libraryReloadAsked = false;
            beginLibraryReading();
        }
        ok = co_await readLibraryPage();
        if (!self)
            co_return;
    }
    m_libraryPaging = false;
}

QCoro::Task<bool> Library::readLibraryPage() {
    QPointer<Library> self(this);
    setLibraryLoading(true);
    EngineMethods::LibraryList::Params params;
    params.offset = m_libraryOffset;
    params.cursor = m_libraryCursor;
    auto page = co_await m_app.sessionPart().ask<EngineMethods::LibraryList>(params, true);
    if (!self)
        co_return false;
    setLibraryLoading(false);
    if (!page)
        co_return false;
    std::vector<LibraryItem>& list = m_libraryStaged ? m_libraryIncoming : m_library;
    QSet<QString>& paths = m_libraryStaged ? m_libraryIncomingPaths : m_libraryPaths;
    const std::size_t listed = list.size();
    list.reserve(listed + page->items.size());
    qint64 media = 0;
    // Only paths listed before this page are left out: repeats within the page are all kept.
    for (LibraryItem& item : page->items) {
        if (item.kind != QLatin1String("thumbnail"))
            ++media;
        if (!paths.contains(item.path))
            list.push_back(std::move(item));
    }
    for (std::size_t i = listed; i < list.size(); ++i)
        paths.insert(list[i].path);
    m_libraryTotal = page->total;
    m_libraryOffset = page->offset + media;
    m_libraryCursor = page->cursor;
    // A page that says more follow but moves the offset nowhere (only thumbnails, say) would be asked
    // again without end: the paging stops there.
    m_libraryHasMore = page->hasMore && m_libraryOffset > params.offset;
    const bool shows = !m_libraryStaged || !m_libraryHasMore;
    if (m_libraryStaged && !m_libraryHasMore) {
        m_library = std::exchange(m_libraryIncoming, {});
        m_libraryPaths = std::exchange(m_libraryIncomingPaths, {});
        m_libraryStaged = false;
    }
    Q_EMIT libraryChanged();
    if (shows)
        Q_EMIT filteredLibraryChanged();
    co_return true;
}

void Library::setLibrarySearch(const QString& text) {
    if (m_librarySearch == text)
        return;
    const bool filterChanged = m_librarySearch.trimmed() != text.trimmed();
    m_librarySearch = text;
    Q_EMIT librarySearchChanged();
    if (filterChanged)
        Q_EMIT filteredLibraryChanged();
}

std::vector<LibraryItem> Library::filteredLibrary() const {
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

bool Library::stillThere(const QString& path) {
    if (!path.isEmpty() && QFileInfo::exists(path))
        return true;
    Q_EMIT fileFoundMissing();
    // The engine's "exists" flags are stale now.
    spawn(this, [this]() -> QCoro::Task<void> { co_await reloadLibrary(); });
    return false;
}

QCoro::Task<void> Library::removeLibrary(QStringList paths, bool deleteFiles) {
    QPointer<Library> self(this);
    try {
        EngineMethods::LibraryRemove::Params params;
        params.paths = paths;
        params.deleteFiles = deleteFiles;
        co_await m_app.sessionPart().ping<EngineMethods::LibraryRemove>(params, true);
        // Whatever the engine managed to remove, the list and the index status are read afresh.
        if (!self)
            co_return;
        co_await reloadLibrary();
        if (!self)
            co_return;
        co_await refreshSearchStatus();
    } catch (...) {
        qWarning().noquote() << "[app] library removal:" << Session::describe(std::current_exception());
    }
}

void Library::reveal(const LibraryItem& item) {
    if (stillThere(item.path))
        revealPath(item.path);
}

void Library::revealJob(const Job& job) {
    const std::optional<QString>& path = job.outputPath();
    if (path && stillThere(*path))
        revealPath(*path);
}

void Library::revealPath(const QString& path) {
    // Only a path goes to the engine, which shows it in the file manager; nothing is opened here.
    spawn(this, [this, path]() -> QCoro::Task<void> {
        EngineMethods::LibraryReveal::Params params;
        params.path = path;
        co_await m_app.sessionPart().ping<EngineMethods::LibraryReveal>(params, true);
    });
}

void Library::setLibraryLoading(bool loading) {
    assign(this, m_libraryLoading, loading, &Library::libraryLoadingChanged);
}
