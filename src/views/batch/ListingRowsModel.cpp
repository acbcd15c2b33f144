#include "batch/ListingRowsModel.h"

#include "ListingPick.h"
#include "Strings.h"

#include <algorithm>

ListingRowsModel::ListingRowsModel(std::shared_ptr<ListingPick> pick, QObject* parent)
    : QAbstractListModel(parent), m_pick(std::move(pick)) {
    ListingPick* p = m_pick.get();
    connect(p, &ListingPick::openSectionChanged, this, [this] {
        beginResetModel();
        rebuild();
        endResetModel();
        Q_EMIT loadMoreChanged();
    });
    connect(p, &ListingPick::entriesChanged, this, &ListingRowsModel::entriesArrived);
    connect(p, &ListingPick::checkedChanged, this, &ListingRowsModel::checksChanged);
    connect(p, &ListingPick::loadingChanged, this, &ListingRowsModel::fitLoadMore);
    connect(p, &ListingPick::exhaustedChanged, this, &ListingRowsModel::fitLoadMore);
    rebuild();
}

bool ListingRowsModel::hasSections(const ListingPick& pick) {
    return pick.sections().size() >= 2;
}

bool ListingRowsModel::wantsLoadMore() const {
    // The row stays, disabled, while a page is on its way.
    return !m_showsSections && (m_pick->canLoadMore() || m_pick->loading());
}

void ListingRowsModel::rebuild() {
    m_showsSections = hasSections(*m_pick) && !m_pick->openSection();
    m_scope = m_showsSections ? std::vector<int>{} : m_pick->scope();
    m_loadMore = wantsLoadMore();
    countSections();
}

void ListingRowsModel::countSections() {
    m_counts.clear();
    if (!hasSections(*m_pick))
        return;
    const auto& entries = m_pick->entries();
    const auto& checked = m_pick->checked();
    for (int i = 0; i < int(entries.size()); ++i) {
        Counts& c = m_counts[entries[size_t(i)].section];
        ++c.total;
        if (checked.count(i))
            ++c.selected;
    }
}

void ListingRowsModel::entriesArrived() {
    countSections();
    if (m_showsSections) {
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0), index(rowCount() - 1), {SelectedRole, TotalRole});
        return;
    }
    const std::vector<int> scope = m_pick->scope();
    const bool grows =
        scope.size() >= m_scope.size() && std::equal(m_scope.begin(), m_scope.end(), scope.begin());
    if (!grows) {
        beginResetModel();
        rebuild();
        endResetModel();
        Q_EMIT loadMoreChanged();
        return;
    }
    if (scope.size() == m_scope.size())
        return;
    // New entries go below the ones shown, before the load-more row.
    const int first = int(m_scope.size());
    beginInsertRows({}, first, int(scope.size()) - 1);
    m_scope = scope;
    endInsertRows();
    fitLoadMore();
}

void ListingRowsModel::checksChanged() {
    countSections();
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole, SelectedRole});
}

void ListingRowsModel::fitLoadMore() {
    const bool want = wantsLoadMore();
    const int at = int(m_scope.size());
    if (want == m_loadMore) {
        if (m_loadMore)
            Q_EMIT dataChanged(index(at), index(at));
        return;
    }
    if (want) {
        beginInsertRows({}, at, at);
        m_loadMore = true;
        endInsertRows();
    } else {
        beginRemoveRows({}, at, at);
        m_loadMore = false;
        endRemoveRows();
    }
    Q_EMIT loadMoreChanged();
}

QModelIndex ListingRowsModel::loadMoreIndex() const {
    return m_loadMore ? index(int(m_scope.size())) : QModelIndex();
}

int ListingRowsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    if (m_showsSections)
        return int(m_pick->sections().size());
    return int(m_scope.size()) + (m_loadMore ? 1 : 0);
}

QVariant ListingRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.parent().isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    if (m_showsSections) {
        const auto& section = m_pick->sections()[size_t(row)];
        const Counts counts = m_counts.value(section.name);
        switch (role) {
        case KindRole:
            return int(Kind::Section);
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
        case SectionNameRole:
            return section.name;
        case Qt::AccessibleDescriptionRole:
            return Strings::text(QStringLiteral("label_section_selected"),
                                 {{QStringLiteral("n"), QString::number(counts.selected)},
                                  {QStringLiteral("total"), QString::number(counts.total)}});
        case SelectedRole:
            return counts.selected;
        case TotalRole:
            return counts.total;
        default:
            return {};
        }
    }
    if (row == int(m_scope.size())) {
        if (role == KindRole)
            return int(Kind::LoadMore);
        if (role == Qt::AccessibleTextRole)
            return m_pick->loading()
                       ? Strings::text(QStringLiteral("button_loading"))
                       : Strings::text(QStringLiteral("button_load_more"),
                                       {{QStringLiteral("n"), QString::number(m_pick->pageSize())}});
        return {};
    }
    const int entry = m_scope[size_t(row)];
    switch (role) {
    case KindRole:
        return int(Kind::Entry);
    case EntryIndexRole:
        return entry;
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        const auto& e = m_pick->entries()[size_t(entry)];
        return e.title.isEmpty() ? e.url : e.title;
    }
    case Qt::AccessibleDescriptionRole:
        return m_pick->entries()[size_t(entry)].url;
    case Qt::CheckStateRole:
        return m_pick->checked().count(entry) ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

bool ListingRowsModel::setData(const QModelIndex& index, const QVariant&, int role) {
    if (role != Qt::CheckStateRole || data(index, KindRole).toInt() != int(Kind::Entry))
        return false;
    m_pick->toggle(data(index, EntryIndexRole).toInt());
    return true;
}

Qt::ItemFlags ListingRowsModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled;
    if (data(index, KindRole).toInt() == int(Kind::Entry))
        f |= Qt::ItemIsUserCheckable;
    return f;
}
