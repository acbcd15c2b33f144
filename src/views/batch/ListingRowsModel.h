#pragma once

#include <QAbstractListModel>
#include <QHash>

#include <memory>
#include <vector>

class ListingPick;

// The rows of the listing picker's list over one pick: its sections while it has two or more and none
// is open; otherwise the entries in scope, then a load-more row while a further page may exist or one is
// being fetched. Follows the pick as it changes; a page that arrives adds its rows below the others.
class ListingRowsModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum class Kind { Section, Entry, LoadMore };
    enum Role {
        KindRole = Qt::UserRole + 1, // Kind as int
        EntryIndexRole,              // the entry's index in the pick (entries)
        SectionNameRole,             // the section's name (sections)
        SelectedRole,                // checked members of the section (sections)
        TotalRole,                   // members of the section loaded so far (sections)
    };

    explicit ListingRowsModel(std::shared_ptr<ListingPick> pick, QObject* parent = nullptr);

    // The pick is shown as a list of sections until one is opened: it has two or more.
    static bool hasSections(const ListingPick& pick);
    bool showsSections() const { return m_showsSections; }
    // The load-more row, invalid when there is none.
    QModelIndex loadMoreIndex() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Setting the check state of an entry, to either value, toggles it.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // The load-more row came or went.
    void loadMoreChanged();

private:
    struct Counts {
        int total = 0;
        int selected = 0;
    };

    void rebuild();
    void entriesArrived();
    void checksChanged();
    void fitLoadMore();
    bool wantsLoadMore() const;
    void countSections();

    std::shared_ptr<ListingPick> m_pick;
    bool m_showsSections = false;
    std::vector<int> m_scope;
    bool m_loadMore = false;
    QHash<QString, Counts> m_counts;
};
