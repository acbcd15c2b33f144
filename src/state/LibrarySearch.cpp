// Transcript search while the user types, the index status, and thumbnails resolved once per file.
#include "Library.h"

#include "AppModel.h"
#include "Assign.h"
#include "Clock.h"
#include "Session.h"
#include "Spawn.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>
#include <QTimer>

namespace {

// The search text as the engine gets it.
QString searchText(const QString& filter) {
    return filter.trimmed();
}

// Characters as the user sees them: an accented letter made of two code points counts once.
int graphemes(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

bool tooShort(const QString& text) {
    return graphemes(text) < 2;
}

} // namespace

void Library::setSearchHits(const std::vector<SearchHit>& hits) {
    assign(this, m_searchHits, hits, &Library::searchHitsChanged);
}

void Library::scheduleSearch() {
    const int generation = ++m_searchGeneration;
    if (tooShort(searchText(m_librarySearch))) {
        setSearchHits({});
        ++m_searchRun; // a search still in flight leaves the flag alone
        assign(this, m_isSearching, false, &Library::isSearchingChanged);
        return;
    }
    m_app.services().clock->singleShot(searchDebounceMs, this, [this, generation] {
        if (generation != m_searchGeneration)
            return;
        spawn(this, [this]() -> QCoro::Task<void> { co_await runSearch(); });
    });
}

QCoro::Task<void> Library::runSearch() {
    QPointer<Library> self(this);
    const QString text = searchText(m_librarySearch);
    if (tooShort(text)) {
        setSearchHits({});
        co_return;
    }
    // Only the latest search clears the flag: an older one ending first leaves it on.
    const int run = ++m_searchRun;
    assign(this, m_isSearching, true, &Library::isSearchingChanged);
    EngineMethods::SearchQuery::Params params;
    params.text = text;
    const auto results = co_await m_app.sessionPart().ask<EngineMethods::SearchQuery>(params, false);
    if (!self)
        co_return;
    // An answer for a text the user has typed past is dropped; a failure keeps the hits shown.
    if (results && results->query == searchText(m_librarySearch))
        setSearchHits(results->hits);
    if (run == m_searchRun)
        assign(this, m_isSearching, false, &Library::isSearchingChanged);
}

QCoro::Task<void> Library::refreshSearchStatus() {
    QPointer<Library> self(this);
    const auto status =
        co_await m_app.sessionPart().ask<EngineMethods::SearchStatus>(EngineMethods::NoParams(), true);
    if (!self || !status)
        co_return;
    assign(this, m_searchStatus, std::optional<SearchStatus>(*status), &Library::searchStatusChanged);
    const QSet<QString> paths(status->transcribed.cbegin(), status->transcribed.cend());
    assign(this, m_transcribedPaths, paths, &Library::transcribedPathsChanged);
}

QCoro::Task<void> Library::reindexSearch() {
    QPointer<Library> self(this);
    co_await m_app.sessionPart().ask<EngineMethods::SearchReindex>(EngineMethods::NoParams(), true);
    if (!self)
        co_return;
    co_await refreshSearchStatus();
}

void Library::noteTranscribed(const QString& path) {
    if (!m_transcribedPaths.contains(path)) {
        m_transcribedPaths.insert(path);
        Q_EMIT transcribedPathsChanged();
    }
    spawn(this, [this]() -> QCoro::Task<void> {
        QPointer<Library> self(this);
        co_await refreshSearchStatus();
        if (self && !m_librarySearch.isEmpty())
            co_await runSearch();
    });
}

// One engine request for a thumbnail, shared by every caller that asks while it is open.
struct Library::ThumbnailRequest {
    bool done = false;
    QString path;
    std::vector<std::coroutine_handle<>> waiting;

    struct Awaiter {
        std::shared_ptr<ThumbnailRequest> request;
        bool await_ready() const noexcept { return request->done; }
        void await_suspend(std::coroutine_handle<> h) { request->waiting.push_back(h); }
        QString await_resume() const { return request->path; }
    };

    void finish(const QString& value) {
        done = true;
        path = value;
        // Resumed from the event loop, never from inside the coroutine that finished the request.
        for (std::coroutine_handle<> h : std::exchange(waiting, {}))
            QTimer::singleShot(0, QCoreApplication::instance(), [h] { h.resume(); });
    }
};

QCoro::Task<QString> Library::thumbnailPath(QString url, QString mediaPath, QString pageUrl) {
    const QString key = url + QChar(u'\0') + mediaPath;
    if (const auto known = m_thumbnailPaths.constFind(key); known != m_thumbnailPaths.cend())
        co_return *known;
    if (const auto open = m_thumbnailRequests.constFind(key); open != m_thumbnailRequests.cend()) {
        // Named: g++ 12 destroys a braced temporary inside co_await twice.
        ThumbnailRequest::Awaiter awaiter{*open};
        co_return co_await awaiter;
    }
    auto request = std::make_shared<ThumbnailRequest>();
    m_thumbnailRequests.insert(key, request);

    // The request holds the state weakly: once it is gone, nothing is written and callers get "".
    QPointer<Library> self(this);
    QString path;
    try {
        const Session::CookiePair cookies = co_await m_app.sessionPart().cookieParams(pageUrl);
        if (self) {
            EngineMethods::ThumbnailResolve::Params params;
            params.url = url;
            params.mediaPath = mediaPath;
            params.cookieSource = cookies.source;
            params.cookiesFile = cookies.file;
            params.pageUrl = pageUrl;
            const auto reply =
                co_await m_app.sessionPart().ask<EngineMethods::ThumbnailResolve>(params, false);
            if (reply)
                path = reply->path;
        }
    } catch (...) {
        path.clear();
    }
    if (!self) {
        request->finish(QString());
        co_return QString();
    }
    m_thumbnailRequests.remove(key);
    m_thumbnailPaths.insert(key, path);
    request->finish(path);
    co_return path;
}
