#include "library/LibraryPaneModel.h"

#include "AppModel.h"
#include "Job.h"
#include "Library.h"
#include "SpeechModels.h"
#include "Strings.h"
#include "library/HighlightedExcerpt.h"
#include "library/LibraryRowContent.h"

#include <algorithm>

LibraryPaneModel::LibraryPaneModel(AppModel* model, QObject* parent)
    : QAbstractListModel(parent), m_model(model) {
    Library* library = &model->libraryPart();
    connect(library, &Library::filteredLibraryChanged, this, [this] { rebuild(false); });
    connect(library, &Library::searchHitsChanged, this, [this] { rebuild(false); });
    // The transcribed mark and the transcribe slot follow these.
    connect(library, &Library::transcribedPathsChanged, this, &LibraryPaneModel::repaintAll);
    for (auto signal : {&SpeechModels::modelsInfoChanged, &SpeechModels::modelDownloadsChanged})
        connect(&model->modelsPart(), signal, this, &LibraryPaneModel::repaintAll);
    rebuild(true);
}

int LibraryPaneModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant LibraryPaneModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_entries.size()))
        return {};
    const int row = index.row();
    switch (role) {
    case KindRole:
        return int(kindAt(row));
    case TagRole:
        return tagAt(row);
    case SelectedRole:
        return m_selection.contains(tagAt(row));
    case Qt::CheckStateRole:
        if (kindAt(row) == Kind::Item || kindAt(row) == Kind::Group)
            return m_selection.contains(tagAt(row)) ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::AccessibleTextRole:
        return accessibleText(row);
    case Qt::AccessibleDescriptionRole:
        return accessibleDescription(row);
    case Qt::DisplayRole:
        switch (kindAt(row)) {
        case Kind::HitsHeader:
            return Strings::text(QStringLiteral("summary_transcription"));
        case Kind::ItemsHeader:
            return sectionTitle();
        case Kind::Item:
            return itemAt(row)->title;
        case Kind::Group:
            return groupAt(row)->name;
        case Kind::Hit:
            return hitAt(row)->title;
        }
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags LibraryPaneModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractListModel::flags(index);
    if (index.isValid() && index.row() < int(m_entries.size()) &&
        (kindAt(index.row()) == Kind::Item || kindAt(index.row()) == Kind::Group))
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QString LibraryPaneModel::accessibleText(int row) const {
    switch (kindAt(row)) {
    case Kind::HitsHeader:
    case Kind::ItemsHeader:
        return data(index(row), Qt::DisplayRole).toString();
    case Kind::Item:
        return LibraryRowContent::accessibleTitle(*itemAt(row));
    case Kind::Group:
        return groupAt(row)->name;
    case Kind::Hit:
        return HighlightedExcerpt::plainText(hitAt(row)->excerpt);
    }
    return {};
}

QString LibraryPaneModel::accessibleDescription(int row) const {
    QStringList parts;
    switch (kindAt(row)) {
    case Kind::HitsHeader:
    case Kind::ItemsHeader:
        break;
    case Kind::Item: {
        const LibraryRowContent c = LibraryRowContent::of(*m_model, *itemAt(row));
        parts << c.channel << c.size;
        if (c.transcribed)
            parts << Strings::text(QStringLiteral("transcribe_already_done"));
        if (c.missing)
            parts << Strings::text(QStringLiteral("label_file_missing"));
        break;
    }
    case Kind::Group:
        parts << LibraryLists::groupMeta(*groupAt(row));
        break;
    case Kind::Hit: {
        const SearchHit* hit = hitAt(row);
        parts << Job::duration(double(hit->startMs) / 1000.0) << hit->title;
        if (!hit->exists)
            parts << Strings::text(QStringLiteral("label_file_missing"));
        break;
    }
    }
    parts.removeAll(QString());
    return parts.join(QStringLiteral(" \u00B7 "));
}

const LibraryItem* LibraryPaneModel::itemAt(int row) const {
    if (row < 0 || row >= int(m_entries.size()) || m_entries[row].kind != Kind::Item)
        return nullptr;
    return &m_rows[std::size_t(m_entries[row].index)];
}

const LibraryGroup* LibraryPaneModel::groupAt(int row) const {
    if (row < 0 || row >= int(m_entries.size()) || m_entries[row].kind != Kind::Group)
        return nullptr;
    return &m_groups[std::size_t(m_entries[row].index)];
}

const SearchHit* LibraryPaneModel::hitAt(int row) const {
    if (row < 0 || row >= int(m_entries.size()) || m_entries[row].kind != Kind::Hit)
        return nullptr;
    return &m_hits[std::size_t(m_entries[row].index)];
}

QString LibraryPaneModel::tagAt(int row) const {
    return row >= 0 && row < int(m_tags.size()) ? m_tags[std::size_t(row)] : QString();
}

int LibraryPaneModel::rowOf(const QString& tag) const {
    if (tag.isEmpty())
        return -1;
    const auto it = std::find(m_tags.begin(), m_tags.end(), tag);
    return it == m_tags.end() ? -1 : int(it - m_tags.begin());
}

void LibraryPaneModel::setCategory(LibraryCategory category) {
    if (category == m_category)
        return;
    m_category = category;
    m_openGroup.reset();
    m_selection.clear();
    rebuild(true);
}

void LibraryPaneModel::setOpenGroup(const std::optional<QString>& name) {
    if (name == m_openGroup)
        return;
    m_openGroup = name;
    rebuild(true);
}

void LibraryPaneModel::setSelection(const QSet<QString>& selection) {
    if (selection == m_selection)
        return;
    m_selection = selection;
    repaintAll();
}

void LibraryPaneModel::toggle(const QString& tag) {
    QSet<QString> next = m_selection;
    if (!next.remove(tag))
        next.insert(tag);
    setSelection(next);
}

void LibraryPaneModel::toggleAll() {
    setSelection(LibraryLists::toggledAll(selectableTags(), m_selection));
}

QString LibraryPaneModel::sectionTitle() const {
    return LibraryLists::sectionTitle(m_category, int(m_rows.size()));
}

// Only what is listed can be selected, counted and removed: the group rows are not listed while a group
// is open, so a selected group's tag then stands for nothing.
QStringList LibraryPaneModel::selectableTags() const {
    return showsItems() ? LibraryLists::selectableTags(m_rows, {})
                        : LibraryLists::selectableTags({}, m_groups);
}

bool LibraryPaneModel::allSelected() const {
    return LibraryLists::allSelected(selectableTags(), m_selection);
}

QStringList LibraryPaneModel::selectedPaths() const {
    return showsItems() ? LibraryLists::selectedPaths(m_rows, {}, m_selection)
                        : LibraryLists::selectedPaths({}, m_groups, m_selection);
}

void LibraryPaneModel::rebuild(bool fresh) {
    // Another category, group or filter is another list, shown afresh; a change of the library or of the
    // hits moves only the rows it touches.
    const Library& library = m_model->libraryPart();
    const QString filter = library.librarySearch().trimmed();
    fresh = fresh || filter != m_filter;
    m_filter = filter;
    const std::vector<LibraryItem> filtered = library.filteredLibrary();
    std::vector<LibraryItem> rows = LibraryLists::rows(filtered, m_category, m_openGroup);
    std::vector<LibraryGroup> groups = LibraryLists::groups(filtered, m_category);
    std::vector<SearchHit> hits = library.searchHits();

    std::vector<Entry> entries;
    std::vector<QString> tags;
    entries.reserve(hits.size() + rows.size() + groups.size() + 2);
    tags.reserve(entries.capacity());
    if (!hits.empty()) {
        entries.push_back({Kind::HitsHeader, 0});
        tags.emplace_back();
        for (std::size_t i = 0; i < hits.size(); ++i) {
            entries.push_back({Kind::Hit, int(i)});
            tags.push_back(LibraryLists::hitTag(hits[i]));
        }
    }
    const bool empty = hits.empty() && rows.empty() && groups.empty();
    if (!empty) {
        if (LibraryCategories::groups(m_category) && !m_openGroup) {
            for (std::size_t i = 0; i < groups.size(); ++i) {
                entries.push_back({Kind::Group, int(i)});
                tags.push_back(LibraryLists::groupTag(groups[i].name));
            }
        } else {
            entries.push_back({Kind::ItemsHeader, 0});
            tags.emplace_back();
            for (std::size_t i = 0; i < rows.size(); ++i) {
                entries.push_back({Kind::Item, int(i)});
                tags.push_back(LibraryLists::itemTag(rows[i]));
            }
        }
    }

    // Otherwise only the rows that changed are removed and inserted: a new page appends, a reload that
    // brings a new download inserts one row, and the rows around keep their place (the list its scroll,
    // the view its current row). Nothing in common at all resets the list.
    const std::size_t oldSize = m_entries.size();
    const std::size_t newSize = entries.size();
    auto same = [&](std::size_t oldRow, std::size_t newRow) {
        return m_entries[oldRow].kind == entries[newRow].kind && m_tags[oldRow] == tags[newRow];
    };
    std::size_t head = 0;
    while (head < oldSize && head < newSize && same(head, head))
        ++head;
    std::size_t tail = 0;
    while (tail < oldSize - head && tail < newSize - head && same(oldSize - 1 - tail, newSize - 1 - tail))
        ++tail;
    auto install = [&] {
        m_rows = std::move(rows);
        m_groups = std::move(groups);
        m_hits = std::move(hits);
        m_entries = std::move(entries);
        m_tags = std::move(tags);
    };
    if (fresh || (head == 0 && tail == 0 && oldSize > 0 && newSize > 0)) {
        beginResetModel();
        install();
        endResetModel();
    } else {
        if (oldSize - tail > head) {
            // Until the new rows go in, the rows kept still read the old lists.
            beginRemoveRows({}, int(head), int(oldSize - tail) - 1);
            m_entries.erase(m_entries.begin() + qsizetype(head), m_entries.end() - qsizetype(tail));
            m_tags.erase(m_tags.begin() + qsizetype(head), m_tags.end() - qsizetype(tail));
            endRemoveRows();
        }
        const bool grows = newSize - tail > head;
        if (grows)
            beginInsertRows({}, int(head), int(newSize - tail) - 1);
        install();
        if (grows)
            endInsertRows();
        // Headers count the rows, group rows sum their items, items may have changed in place.
        if (!m_entries.empty())
            Q_EMIT dataChanged(index(0), index(int(m_entries.size()) - 1));
    }
    Q_EMIT stateChanged();
}

void LibraryPaneModel::repaintAll() {
    if (!m_entries.empty())
        Q_EMIT dataChanged(index(0), index(int(m_entries.size()) - 1));
    Q_EMIT stateChanged();
}
