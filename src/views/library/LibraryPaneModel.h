#pragma once

#include "library/LibraryCategory.h"
#include "library/LibraryLists.h"

#include <QAbstractListModel>
#include <QSet>

#include <optional>
#include <vector>

class AppModel;

// The rows of the library list, in one scrolling list: the hits section (a header and one row per hit),
// then either the group rows or the items section (a header and one row per item). It also holds the
// pane's view state that decides them: the category, the open group and the selection (row tags).
// A change of the library removes and inserts only the rows that changed; the rest keep their place.
class LibraryPaneModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum class Kind { HitsHeader, Hit, ItemsHeader, Item, Group };
    enum Role { KindRole = Qt::UserRole + 1, TagRole, SelectedRole };

    explicit LibraryPaneModel(AppModel* model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Items and groups carry their selection as a check state, for assistive technology.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Kind kindAt(int row) const { return m_entries[std::size_t(row)].kind; }
    // Null unless the row is of that kind.
    const LibraryItem* itemAt(int row) const;
    const LibraryGroup* groupAt(int row) const;
    const SearchHit* hitAt(int row) const;
    QString tagAt(int row) const;
    // The row of `tag`, -1 when it is not listed.
    int rowOf(const QString& tag) const;

    LibraryCategory category() const { return m_category; }
    // Also closes the group and empties the selection; the category already chosen changes nothing.
    void setCategory(LibraryCategory category);
    const std::optional<QString>& openGroup() const { return m_openGroup; }
    void setOpenGroup(const std::optional<QString>& name);

    const QSet<QString>& selection() const { return m_selection; }
    void setSelection(const QSet<QString>& selection);
    void toggle(const QString& tag);
    void toggleAll();

    const std::vector<LibraryItem>& rows() const { return m_rows; }
    const std::vector<LibraryGroup>& groups() const { return m_groups; }
    const std::vector<SearchHit>& hits() const { return m_hits; }
    QString sectionTitle() const;
    // The tags select all acts on and the paths a selection stands for, of the rows listed now.
    QStringList selectableTags() const;
    bool allSelected() const;
    QStringList selectedPaths() const;
    // Nothing to list: no hits, no rows, no groups.
    bool isEmpty() const { return m_hits.empty() && m_rows.empty() && m_groups.empty(); }
    // The items section (rather than group rows) follows the hits.
    bool showsItems() const { return !LibraryCategories::groups(m_category) || m_openGroup; }

Q_SIGNALS:
    // The category, the open group, the selection or the lists changed: what the header shows may have.
    void stateChanged();

private:
    struct Entry {
        Kind kind;
        int index; // into m_hits, m_rows or m_groups
        bool operator==(const Entry&) const = default;
    };

    // `fresh`: another view of the library (category, group, filter), whose rows are reset.
    void rebuild(bool fresh);
    void repaintAll();
    // What a screen reader says of a row: its name, then its facts.
    QString accessibleText(int row) const;
    QString accessibleDescription(int row) const;

    AppModel* m_model;
    LibraryCategory m_category = LibraryCategory::All;
    std::optional<QString> m_openGroup;
    QSet<QString> m_selection;
    std::vector<LibraryItem> m_rows;
    std::vector<LibraryGroup> m_groups;
    std::vector<SearchHit> m_hits;
    std::vector<Entry> m_entries;
    std::vector<QString> m_tags;
    // The trimmed filter text the rows were built for.
    QString m_filter;
};
