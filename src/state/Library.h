#pragma once

#include "EngineTypesLibrary.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>
#include <vector>

class AppModel;
class Job;

// What was downloaded: the library list and its paging, the filter, transcript search and thumbnails.
class Library : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString librarySearch READ librarySearch WRITE setLibrarySearch NOTIFY librarySearchChanged)
    Q_PROPERTY(std::vector<LibraryItem> filteredLibrary READ filteredLibrary NOTIFY filteredLibraryChanged)
    Q_PROPERTY(std::vector<SearchHit> searchHits READ searchHits NOTIFY searchHitsChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(std::optional<SearchStatus> searchStatus READ searchStatus NOTIFY searchStatusChanged)
    Q_PROPERTY(QSet<QString> transcribedPaths READ transcribedPaths NOTIFY transcribedPathsChanged)
    Q_PROPERTY(bool libraryLoading READ libraryLoading NOTIFY libraryLoadingChanged)
    Q_PROPERTY(bool libraryHasMore READ libraryHasMore NOTIFY libraryChanged)
    Q_PROPERTY(qint64 libraryTotal READ libraryTotal NOTIFY libraryChanged)

public:
    // Owned by `app`, which outlives it.
    explicit Library(AppModel& app);

    // ---- library ----
    QCoro::Task<void> reloadLibrary();
    QCoro::Task<bool> loadMoreLibrary();
    const std::vector<LibraryItem>& library() const { return m_library; }
    bool libraryHasMore() const { return m_libraryHasMore; }
    // A page of the library is being fetched.
    bool libraryLoading() const { return m_libraryLoading; }
    qint64 libraryTotal() const { return m_libraryTotal; }
    const QString& librarySearch() const { return m_librarySearch; }
    void setLibrarySearch(const QString& text);
    // The library items whose title, path, channel or playlist holds the trimmed filter text.
    std::vector<LibraryItem> filteredLibrary() const;
    // True when `path` names an existing file; otherwise says fileFoundMissing() and reloads.
    bool stillThere(const QString& path);
    QCoro::Task<void> removeLibrary(QStringList paths, bool deleteFiles);
    void reveal(const LibraryItem& item);
    void revealJob(const Job& job);
    void revealPath(const QString& path);

    // ---- transcript search and thumbnails ----
    static constexpr int searchDebounceMs = 250;
    // Runs the search once the filter text has rested for a moment; a text too short clears the hits.
    void scheduleSearch();
    QCoro::Task<void> runSearch();
    QCoro::Task<void> refreshSearchStatus();
    QCoro::Task<void> reindexSearch();
    const std::vector<SearchHit>& searchHits() const { return m_searchHits; }
    bool isSearching() const { return m_isSearching; }
    const std::optional<SearchStatus>& searchStatus() const { return m_searchStatus; }
    const QSet<QString>& transcribedPaths() const { return m_transcribedPaths; }
    // A transcript of `path` was made: it counts as transcribed at once, then the index status and the
    // search under way (if any) are read again.
    void noteTranscribed(const QString& path);
    // A local image for a thumbnail, "" when there is none; asked of the engine once per url and file.
    QCoro::Task<QString> thumbnailPath(QString url, QString mediaPath, QString pageUrl);

Q_SIGNALS:
    void libraryChanged();
    void libraryLoadingChanged();
    void librarySearchChanged();
    void filteredLibraryChanged();
    void searchHitsChanged();
    void isSearchingChanged();
    void searchStatusChanged();
    void transcribedPathsChanged();
    // A file the user reached for is gone: the missing-file prompt shows.
    void fileFoundMissing();

private:
    void setLibraryLoading(bool loading);
    // Library paging (one pager at a time, see Library.cpp).
    void beginLibraryReading();
    QCoro::Task<bool> readLibraryPage();
    void keepPagingLibrary(bool ok);
    QCoro::Task<void> pageLibrary(bool ok);
    void setSearchHits(const std::vector<SearchHit>& hits);
    struct ThumbnailRequest;

    AppModel& m_app;

    std::vector<LibraryItem> m_library;
    // The paths in m_library: a later page that lists one again adds nothing.
    QSet<QString> m_libraryPaths;
    bool m_libraryHasMore = false;
    qint64 m_libraryTotal = 0;
    qint64 m_libraryOffset = 0;
    // The engine's token for the next page of the reading in progress.
    std::optional<QString> m_libraryCursor;
    bool m_libraryLoading = false;
    // A coroutine owns the library's requests (the pager); others only leave it word.
    bool m_libraryPaging = false;
    // A reload was asked while the pager read: it reads the library once more when done.
    bool m_libraryReloadAsked = false;
    // The reading in progress fills m_libraryIncoming, which replaces m_library once complete.
    bool m_libraryStaged = false;
    std::vector<LibraryItem> m_libraryIncoming;
    QSet<QString> m_libraryIncomingPaths;
    QString m_librarySearch;

    std::vector<SearchHit> m_searchHits;
    bool m_isSearching = false;
    int m_searchRun = 0;
    // Bumped by every scheduleSearch(): a debounce armed before it no longer runs.
    int m_searchGeneration = 0;
    std::optional<SearchStatus> m_searchStatus;
    QSet<QString> m_transcribedPaths;
    // Answered thumbnails by url + NUL + media path; "" means there is none.
    QHash<QString, QString> m_thumbnailPaths;
    QHash<QString, std::shared_ptr<ThumbnailRequest>> m_thumbnailRequests;
};
