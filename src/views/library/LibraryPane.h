#pragma once

#include "EngineTypesLibrary.h"
#include "kit/RowListView.h"
#include "library/LibraryCategory.h"
#include "library/LibraryRowDelegate.h"
#include "shell/PlayerTarget.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class AppModel;
class EmptyNotice;
class IndexFooter;
class Library;
class LibraryPaneModel;
class LinkButton;
class QFrame;
class QMenu;
class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class QToolButton;
class RowIcon;
class SegmentedBar;

// The downloads tab: the library as a list narrowed by a category and the filter text, the transcript
// search hits above it, groups of playlists and channels, selection and removal, and the index footer.
// It owns the player's target while the player is open.
class LibraryPane : public QWidget {
    Q_OBJECT

public:
    using PlayerFactory = std::function<QDialog*(AppModel&, const PlayerTarget&, QWidget*)>;

    LibraryPane(AppModel* model, PlayerFactory player, QWidget* parent = nullptr);

    LibraryPaneModel* rows() const { return m_rows; }
    RowListView* list() const { return m_list; }
    LibraryRowDelegate* delegate() const { return m_delegate; }
    const std::optional<PlayerTarget>& playing() const { return m_playing; }
    QDialog* player() const { return m_player; }
    // The open removal alert (of the selection or of a row), null when none is open.
    QMessageBox* alert() const { return m_alert; }

    // Opens a hit in the player when its file is still there.
    void playHit(const SearchHit& hit);
    // The play (or view) icon of an item row.
    void playItem(const LibraryItem& item);
    void openPlayer(const PlayerTarget& target);
    // The alert that removes the selected items (or one row's item).
    void confirmRemoveSelected();
    void confirmRemoveItem(const LibraryItem& item);

    // How files and web pages are opened: the desktop's by default, replaced in tests.
    static void setFileOpener(std::function<bool(const QUrl&)> opener);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeHeader();
    void syncHeader();
    void syncContent();
    void onSpot(int row, LibraryRowDelegate::Spot spot);
    void onRowClicked(int row, Qt::KeyboardModifiers modifiers);
    void openGroupAt(int row);
    // The keys of the current row: Space, Return, Delete and the menu of its actions.
    bool toggleRow(int row);
    bool activateRow(int row);
    bool removeRow(int row);
    void fillRowMenu(int row, QMenu& menu);
    void removeSelected(bool deleteFiles);
    void removeItem(const LibraryItem& item, bool deleteFiles);
    void pageIfAtEnd();
    void holdPlace();
    void keepPlace();
    QMessageBox* makeAlert(const QString& titleKey, const QString& message, bool offerListOnly);

    AppModel* m_model;
    Library* m_library;
    PlayerFactory m_playerFactory;
    LibraryPaneModel* m_rows;
    LibraryRowDelegate* m_delegate;
    int m_anchor = -1;
    // The row at the top of the list (its tag) and its height there, noted while rows come and go.
    std::optional<std::pair<QString, int>> m_place;
    // The last click on a row, with the selection it replaced: the first click of a double click that
    // opens a group is taken back.
    struct Click {
        QString tag;
        QSet<QString> before;
    };
    std::optional<Click> m_lastClick;
    // The release that ends a double click that opened a group lands on a row of the group: not a click.
    bool m_swallowRelease = false;
    std::optional<PlayerTarget> m_playing;
    QPointer<QDialog> m_player;
    QPointer<QMessageBox> m_alert;

    QLineEdit* m_filter = nullptr;
    QToolButton* m_clear = nullptr;
    QLabel* m_selectedCount = nullptr;
    LinkButton* m_selectAll = nullptr;
    RowIcon* m_deleteSelected = nullptr;
    QWidget* m_backRow = nullptr;
    QLabel* m_groupName = nullptr;
    SegmentedBar* m_categories = nullptr;
    QStackedWidget* m_content = nullptr;
    EmptyNotice* m_empty = nullptr;
    RowListView* m_list = nullptr;
    QWidget* m_footer = nullptr;
    IndexFooter* m_indexFooter = nullptr;
};
