#pragma once

#include "EngineTypesDownload.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <optional>
#include <set>
#include <vector>

// One playlist or channel of a resolved batch while the user picks its entries. Shared: a page on its
// way still lands on a pick that was dismissed meanwhile.
class ListingPick : public QObject {
    Q_OBJECT

public:
    ListingPick(const ResolvedListing& listing, qint64 pageSize, bool audioOnly);

    const QString& id() const { return m_id; }
    const QString& title() const { return m_title; }
    qint64 pageSize() const { return m_pageSize; }
    const std::vector<ResolvedEntry>& entries() const { return m_entries; }
    const std::vector<ResolvedSection>& sections() const { return m_sections; }
    const std::vector<BatchNote>& notes() const { return m_notes; }
    const std::set<int>& checked() const { return m_checked; }
    const std::optional<QString>& openSection() const { return m_openSection; }
    const QSet<QString>& exhausted() const { return m_exhausted; }
    bool loading() const { return m_loading; }
    bool audioOnly() const { return m_audioOnly; }
    bool hasVisitedSection() const { return m_hasVisitedSection; }

    // Indices of the entries of section `name`, ascending.
    std::vector<int> members(const QString& name) const;
    // The indices the checkbox rows show: the open section's, or all when the listing is shown flat.
    std::vector<int> scope() const;
    // A further page of the open section may exist.
    bool canLoadMore() const;
    void setAll(bool on);
    void toggle(int index);
    // Browses one section.
    void open(const QString& name);
    // Back to the section list; checks and loaded entries stay.
    void leave();
    void setAudioOnly(bool on);

    void setLoading(bool loading);
    // A page of section `name` arrived: its entries join, checked; an empty or final page ends the section.
    void appendPage(const QString& name, const ListingPage& page);

Q_SIGNALS:
    void entriesChanged();
    void checkedChanged();
    void openSectionChanged();
    void exhaustedChanged();
    void loadingChanged();
    void audioOnlyChanged();

private:
    const QString m_id;
    const QString m_title;
    const qint64 m_pageSize;
    std::vector<ResolvedEntry> m_entries;
    const std::vector<ResolvedSection> m_sections;
    const std::vector<BatchNote> m_notes;
    std::set<int> m_checked;
    std::optional<QString> m_openSection;
    QSet<QString> m_exhausted;
    bool m_loading = false;
    bool m_audioOnly = false;
    bool m_hasVisitedSection = false;
};
