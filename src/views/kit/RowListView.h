#pragma once

#include <QListView>
#include <QMenu>
#include <QPointer>

#include <functional>

class QScrollArea;

// A painted list that the keyboard can use. It takes focus with Tab and keeps a current row, which its
// delegate draws with a focus ring (RowDelegate::paintFocus); the arrows, Page Up/Down, Home and End move
// that row over the rows that can take it (headers cannot); Space, Return, Delete and the menu key (or a
// right click) go to the actions the owner gives. A list as tall as all its rows, scrolled by an area around
// it, pages by the height in sight and scrolls that area to the current row.
class RowListView : public QListView {
    Q_OBJECT

public:
    // Each action answers whether it used the key; an unused key goes on to the parent (a dialog's
    // default button takes Return).
    struct Actions {
        std::function<bool(const QModelIndex&)> toggle;   // Space
        std::function<bool(const QModelIndex&)> activate; // Return, Enter
        std::function<bool(const QModelIndex&)> remove;   // Delete
        // Fills the menu of a row's actions; an empty menu is not shown.
        std::function<void(const QModelIndex&, QMenu&)> menu;
    };

    explicit RowListView(QWidget* parent = nullptr);

    void setActions(Actions actions) { m_actions = std::move(actions); }
    // Which rows take the current row; every row when none is given.
    void setFocusable(std::function<bool(const QModelIndex&)> focusable) {
        m_focusable = std::move(focusable);
    }
    using QAbstractScrollArea::setViewportMargins;

    // Makes `row` current (or the nearest row after it that can be, else before it) and brings it into
    // sight. Returns the row made current, -1 when none can be.
    int setCurrentRow(int row);
    int currentRow() const;
    // The menu of row actions last opened, while it is open.
    QMenu* openMenu() const { return m_menu; }

    void setModel(QAbstractItemModel* model) override;

protected:
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool takesFocus(int row) const;
    int step(int from, int direction) const;
    int pageTarget(int from, int direction) const;
    int visibleHeight() const;
    void bringIntoSight(const QModelIndex& index);
    void showMenu(const QModelIndex& index, const QPoint& globalPos);
    // The area that scrolls a list as tall as its rows; null for a list that scrolls itself.
    QScrollArea* outerArea() const;

    Actions m_actions;
    std::function<bool(const QModelIndex&)> m_focusable;
    QPointer<QMenu> m_menu;
    // The row of a current row being removed: the row that takes its place becomes current.
    int m_removedCurrent = -1;
};
