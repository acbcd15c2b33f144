#pragma once

#include "AppModel.h"

#include <QAbstractListModel>

#include <array>

// The six places of the window as list rows: title, symbol, badge and lock, read from the state.
// Rows announce only the roles that changed.
class SidebarModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { TitleRole = Qt::DisplayRole, SymbolRole = Qt::UserRole + 1, BadgeRole, LockedRole, TabRole };

    explicit SidebarModel(AppModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    static constexpr int tabCount = 6;
    static AppModel::Tab tabAt(int row) { return static_cast<AppModel::Tab>(row); }
    static int rowOf(AppModel::Tab tab) { return static_cast<int>(tab); }
    static QString titleKey(AppModel::Tab tab);
    static QString symbol(AppModel::Tab tab);

    // Jobs that are waiting, queued, running or paused; finished ones and the current download are not
    // counted.
    static int activeJobCount(const AppModel& model);

    int badge(AppModel::Tab tab) const { return m_badges[rowOf(tab)]; }
    bool locked(AppModel::Tab tab) const { return m_locked[rowOf(tab)]; }

private:
    void refreshTitles();
    void refreshCounts();

    AppModel& m_model;
    std::array<int, tabCount> m_badges{};
    std::array<bool, tabCount> m_locked{};
};
