#pragma once

#include "EngineTypesLibrary.h"

#include <QAbstractListModel>

#include <vector>

class Library;

// The library as the library view lists it (the filtered library), as rows. A page that extends the
// list appends rows; other changes remove and insert only the rows that changed. Scrolling to the end asks
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

    explicit LibraryListModel(Library* library, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    const LibraryItem* itemAt(int row) const;

private:
    void follow();

    Library* m_library;
    std::vector<LibraryItem> m_rows;
    bool m_fetching = false;
    // The trimmed filter text of the rows.
    QString m_filter;
};
