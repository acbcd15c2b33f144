// Listings of a resolved batch: the picks waiting for the user, their further pages, and their entries
// added to the batch queue.
#include "DownloadQueue.h"

#include "AppModel.h"
#include "Composition.h"
#include "ListingPick.h"
#include "Session.h"
#include "Spawn.h"

void DownloadQueue::setPendingListings(std::vector<std::shared_ptr<ListingPick>> picks) {
    if (picks == m_pendingListings)
        return;
    m_pendingListings = std::move(picks);
    Q_EMIT pendingListingsChanged();
}

void DownloadQueue::acceptListing(const std::shared_ptr<ListingPick>& pick) {
    if (!pick)
        return;
    FormatChoice chosen = m_app.compositionPart().format();
    chosen.audioOnly = pick->audioOnly();
    const auto& entries = pick->entries();
    for (int index : pick->checked()) {
        if (index >= 0 && index < int(entries.size()))
            enqueueResolved(entries[index], chosen);
    }
    if (!pick->checked().empty())
        persistQueue();
    std::vector<BatchNote> notes = m_resolveNotes;
    notes.insert(notes.end(), pick->notes().begin(), pick->notes().end());
    setResolveNotes(notes);
    dismissListing(pick);
}

void DownloadQueue::dismissListing(const std::shared_ptr<ListingPick>& pick) {
    if (!pick)
        return;
    std::vector<std::shared_ptr<ListingPick>> picks;
    for (const auto& p : m_pendingListings) {
        if (p->id() != pick->id())
            picks.push_back(p);
    }
    setPendingListings(std::move(picks));
}

void DownloadQueue::loadMoreSection(const std::shared_ptr<ListingPick>& pick) {
    if (!pick || pick->loading() || !pick->openSection())
        return;
    const QString name = *pick->openSection();
    const auto& sections = pick->sections();
    const auto section = std::find_if(sections.begin(), sections.end(),
                                      [&](const ResolvedSection& s) { return s.name == name; });
    if (section == sections.end() || section->source.isEmpty())
        return;
    pick->setLoading(true);
    const qint64 offset = qint64(pick->members(name).size());
    const QString source = section->source;
    spawn(this, [this, pick, name, source, offset]() -> QCoro::Task<void> {
        co_await fetchSectionPage(pick, name, source, offset);
    });
}

// The pick is held by this frame, so a page lands on it even after it was dismissed.
QCoro::Task<void> DownloadQueue::fetchSectionPage(std::shared_ptr<ListingPick> pick, QString name,
                                                  QString source, qint64 offset) {
    QPointer<DownloadQueue> self(this);
    const Session::CookiePair cookies = co_await m_app.sessionPart().cookieParams(source);
    if (!self) {
        pick->setLoading(false);
        co_return;
    }
    EngineMethods::ListingPage::Params params;
    params.source = source;
    params.offset = offset;
    params.count = pick->pageSize();
    params.section = name;
    params.cookieSource = cookies.source;
    params.cookiesFile = cookies.file;
    const auto page = co_await m_app.sessionPart().ask<EngineMethods::ListingPage>(params, true);
    pick->setLoading(false);
    if (page)
        pick->appendPage(name, *page);
}
