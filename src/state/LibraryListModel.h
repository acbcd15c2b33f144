#pragma once

#include "EngineTypesLibrary.h"

#include <QAbstractListModel>

#include <vector>

class AppModel;

// The library as the library view lists it (the filtered library), as rows. A page that extends the
// list appends rows; any other change (a new filter, a reload) resets the rows. Scrolling to the end asks
// the state for the next page through fetchMore.
class LibraryListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        PathRole = Qt::UserRole + 1,
        TitleRole,
        URLRole,
        KindRole,
        AddedAtRole,
        SizeBytesRole,
        ThumbURLRole,
        ThumbPathRole,
        ChannelRole,
        PlaylistRole,
        ExistsRole,
    };

    explicit LibraryListModel(AppModel* model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    const LibraryItem* itemAt(int row) const;

private:
    void follow();

    AppModel* m_model;
    std::vector<LibraryItem> m_rows;
    bool m_fetching = false;
};
