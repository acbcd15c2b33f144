#pragma once

#include "kit/LinkButton.h"
#include "kit/RowListView.h"

#include <QDialog>
#include <QMap>
#include <QPointer>
#include <QString>

#include <memory>

class DownloadQueue;
class ListingPick;
class ListingRowDelegate;
class ListingRowsModel;
class QLabel;
class QMenu;
class QModelIndex;
class QPushButton;
class QRadioButton;

// The sheet in which the user picks the entries of one listing of a resolved batch, and video or audio
// only. It keeps nothing of its own: it shows the pick and changes it. It ends only through its pick:
// "Add to Queue" (Return, while something is checked) accepts it, "Cancel" (Escape) dismisses it, and the
// root view closes the sheet once the pick has left the pending list.
class ListingPicker : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize fixedSize{560, 520};

    ListingPicker(DownloadQueue* queue, std::shared_ptr<ListingPick> pick, QWidget* parent = nullptr);

    struct Headline {
        QString key;
        QMap<QString, QString> values;
        bool operator==(const Headline&) const = default;
    };
    // What the header says under the title, by the pick's state.
    static Headline headline(const ListingPick& pick);

    const std::shared_ptr<ListingPick>& pick() const { return m_pick; }
    QLabel* titleLabel() const { return m_title; }
    QLabel* headlineLabel() const { return m_headline; }
    LinkButton* backButton() const { return m_back; }
    RowListView* list() const { return m_list; }
    ListingRowsModel* rows() const { return m_rows; }
    ListingRowDelegate* rowDelegate() const { return m_delegate; }
    // Null while the list has no load-more row.
    LinkButton* loadMoreButton() const { return m_loadMore; }
    QPushButton* selectAllButton() const { return m_selectAll; }
    QPushButton* selectNoneButton() const { return m_selectNone; }
    QLabel* countLabel() const { return m_count; }
    QRadioButton* videoAudioButton() const { return m_videoAudio; }
    QRadioButton* audioOnlyButton() const { return m_audioOnly; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* addButton() const { return m_add; }

public Q_SLOTS:
    // Escape and the window's close: the pick is dismissed, as by "Cancel".
    void reject() override;

private:
    void refresh();
    void refreshLoadMore();
    void placeLoadMore();
    void open(const QModelIndex& index);
    void fillRowMenu(const QModelIndex& index, QMenu& menu);

    DownloadQueue* m_queue;
    std::shared_ptr<ListingPick> m_pick;
    QLabel* m_title;
    QLabel* m_headline;
    LinkButton* m_back;
    RowListView* m_list;
    ListingRowsModel* m_rows;
    ListingRowDelegate* m_delegate;
    QPointer<LinkButton> m_loadMore;
    QPushButton* m_selectAll;
    QPushButton* m_selectNone;
    QLabel* m_count;
    QRadioButton* m_videoAudio;
    QRadioButton* m_audioOnly;
    QPushButton* m_cancel;
    QPushButton* m_add;
};
