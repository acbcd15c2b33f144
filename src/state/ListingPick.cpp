#include "ListingPick.h"

#include <QUuid>

#include <algorithm>

ListingPick::ListingPick(const ResolvedListing& listing, qint64 pageSize, bool audioOnly)
    : m_id(QUuid::createUuid().toString(QUuid::WithoutBraces)), m_title(listing.title), m_pageSize(pageSize),
      m_entries(listing.entries), m_sections(listing.sections), m_notes(listing.notes),
      m_audioOnly(audioOnly) {
    for (int i = 0; i < int(m_entries.size()); ++i)
        m_checked.insert(i);
}

std::vector<int> ListingPick::members(const QString& name) const {
    std::vector<int> out;
    for (int i = 0; i < int(m_entries.size()); ++i) {
        if (m_entries[i].section == name)
            out.push_back(i);
    }
    return out;
}

std::vector<int> ListingPick::scope() const {
    if (m_sections.size() > 1 && m_openSection)
        return members(*m_openSection);
    std::vector<int> all(m_entries.size());
    for (int i = 0; i < int(all.size()); ++i)
        all[i] = i;
    return all;
}

bool ListingPick::canLoadMore() const {
    if (m_sections.size() < 2 || !m_openSection || m_exhausted.contains(*m_openSection))
        return false;
    const auto section = std::find_if(m_sections.begin(), m_sections.end(),
                                      [&](const ResolvedSection& s) { return s.name == *m_openSection; });
    if (section == m_sections.end() || section->source.isEmpty())
        return false;
    const qint64 n = qint64(members(*m_openSection).size());
    // Without a page size no page can be asked for.
    return n != 0 && m_pageSize > 0 && n % m_pageSize == 0;
}

void ListingPick::setAll(bool on) {
    for (int index : scope()) {
        if (on)
            m_checked.insert(index);
        else
            m_checked.erase(index);
    }
    Q_EMIT checkedChanged();
}

void ListingPick::toggle(int index) {
    if (!m_checked.erase(index))
        m_checked.insert(index);
    Q_EMIT checkedChanged();
}

void ListingPick::open(const QString& name) {
    const bool firstVisit = !m_hasVisitedSection;
    m_hasVisitedSection = true;
    if (m_openSection == name && !firstVisit)
        return;
    m_openSection = name;
    Q_EMIT openSectionChanged();
}

void ListingPick::leave() {
    if (!m_openSection)
        return;
    m_openSection.reset();
    Q_EMIT openSectionChanged();
}

void ListingPick::setAudioOnly(bool on) {
    if (m_audioOnly == on)
        return;
    m_audioOnly = on;
    Q_EMIT audioOnlyChanged();
}

void ListingPick::setLoading(bool loading) {
    if (m_loading == loading)
        return;
    m_loading = loading;
    Q_EMIT loadingChanged();
}

void ListingPick::appendPage(const QString& name, const ListingPage& page) {
    if (page.entries.empty()) {
        m_exhausted.insert(name);
        Q_EMIT exhaustedChanged();
        return;
    }
    const int first = int(m_entries.size());
    m_entries.insert(m_entries.end(), page.entries.begin(), page.entries.end());
    for (int i = first; i < int(m_entries.size()); ++i)
        m_checked.insert(i);
    Q_EMIT entriesChanged();
    Q_EMIT checkedChanged();
    if (page.exhausted) {
        m_exhausted.insert(name);
        Q_EMIT exhaustedChanged();
    }
}
