#include "kit/RowListView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>

RowListView::RowListView(QWidget* parent) : QListView(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setTabKeyNavigation(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void RowListView::setModel(QAbstractItemModel* model) {
    if (QAbstractItemModel* old = this->model())
        disconnect(old, &QAbstractItemModel::rowsRemoved, this, nullptr);
    QListView::setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex& parent) {
        const int row = std::exchange(m_removedCurrent, -1);
        if (row < 0 || parent.isValid() || !this->model() || this->model()->rowCount(rootIndex()) == 0)
            return;
        const int at = std::min(row, this->model()->rowCount(rootIndex()) - 1);
        if (hasFocus())
            setCurrentRow(at);
        else if (takesFocus(at))
            setCurrentIndex(this->model()->index(at, modelColumn(), rootIndex()));
    });
}

void RowListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    // The row that takes the removed one's place becomes current, not the one above it.
    const int row = currentRow();
    if (!parent.isValid() && row >= start && row <= end)
        m_removedCurrent = start;
    QListView::rowsAboutToBeRemoved(parent, start, end);
}

bool RowListView::takesFocus(int row) const {
    if (!model() || row < 0 || row >= model()->rowCount(rootIndex()) || isRowHidden(row))
        return false;
    return !m_focusable || m_focusable(model()->index(row, modelColumn(), rootIndex()));
}

int RowListView::currentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

int RowListView::step(int from, int direction) const {
    if (!model())
        return -1;
    const int count = model()->rowCount(rootIndex());
    for (int r = from + direction; r >= 0 && r < count; r += direction) {
        if (takesFocus(r))
            return r;
    }
    return -1;
}

QScrollArea* RowListView::outerArea() const {
    if (verticalScrollBar()->maximum() > 0)
        return nullptr;
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(w);
        if (area && area->widget() && area->widget()->isAncestorOf(this))
            return area;
    }
    return nullptr;
}

int RowListView::visibleHeight() const {
    // A page is what the user sees at once: the area's height for a list it scrolls.
    if (const QScrollArea* area = outerArea())
        return area->viewport()->height();
    return viewport()->height();
}

int RowListView::pageTarget(int from, int direction) const {
    if (from < 0)
        return step(-1, 1);
    // Row heights from the delegate: rows far away need not be laid out yet.
    const int page = std::max(1, visibleHeight());
    int travelled = 0;
    int best = -1;
    const int count = model()->rowCount(rootIndex());
    for (int r = from + direction; r >= 0 && r < count; r += direction) {
        const QModelIndex at = model()->index(r, modelColumn(), rootIndex());
        travelled += std::max(1, sizeHintForIndex(at).height()) + spacing();
        if (travelled > page && best >= 0)
            break;
        if (takesFocus(r))
            best = r;
        if (travelled > page)
            break;
    }
    return best;
}

int RowListView::setCurrentRow(int row) {
    if (!model())
        return -1;
    int target = takesFocus(row) ? row : step(row - 1, 1);
    if (target < 0)
        target = step(row, -1);
    if (target < 0)
        return -1;
    const QModelIndex index = model()->index(target, modelColumn(), rootIndex());
    setCurrentIndex(index);
    bringIntoSight(index);
    viewport()->update();
    return target;
}

void RowListView::bringIntoSight(const QModelIndex& index) {
    scrollTo(index);
    // A list that does not scroll itself is scrolled by the area it sits in.
    if (QScrollArea* area = outerArea()) {
        const QRect rect = visualRect(index);
        const QPoint centre = viewport()->mapTo(area->widget(), rect.center());
        area->ensureVisible(centre.x(), centre.y(), 0, rect.height() / 2 + 4);
    }
}

void RowListView::keyPressEvent(QKeyEvent* event) {
    const int row = currentRow();
    const QModelIndex current = takesFocus(row) ? currentIndex() : QModelIndex();
    auto moveTo = [&](int target) {
        if (target >= 0)
            setCurrentRow(target);
        event->accept();
    };
    auto run = [&](const std::function<bool(const QModelIndex&)>& action) {
        if (current.isValid() && action && action(current))
            event->accept();
        else
            event->ignore();
    };
    switch (event->key()) {
    case Qt::Key_Up:
        moveTo(current.isValid() ? step(row, -1) : step(-1, 1));
        return;
    case Qt::Key_Down:
        moveTo(current.isValid() ? step(row, 1) : step(-1, 1));
        return;
    case Qt::Key_PageUp:
        moveTo(current.isValid() ? pageTarget(row, -1) : step(-1, 1));
        return;
    case Qt::Key_PageDown:
        moveTo(current.isValid() ? pageTarget(row, 1) : step(-1, 1));
        return;
    case Qt::Key_Home:
        moveTo(step(-1, 1));
        return;
    case Qt::Key_End:
        moveTo(model() ? step(model()->rowCount(rootIndex()), -1) : -1);
        return;
    case Qt::Key_Space:
    case Qt::Key_Select:
        run(m_actions.toggle);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        run(m_actions.activate);
        return;
    case Qt::Key_Delete:
        run(m_actions.remove);
        return;
    case Qt::Key_Menu:
        break;
    case Qt::Key_F10:
        if (event->modifiers() & Qt::ShiftModifier)
            break;
        QListView::keyPressEvent(event);
        return;
    default:
        QListView::keyPressEvent(event);
        return;
    }
    // The menu key and Shift+F10: the menu of the current row, under it.
    if (!current.isValid()) {
        event->ignore();
        return;
    }
    const QRect rect = visualRect(current);
    showMenu(current, viewport()->mapToGlobal(QPoint(rect.left() + 24, rect.bottom() - 4)));
    event->accept();
}

void RowListView::contextMenuEvent(QContextMenuEvent* event) {
    QModelIndex index;
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        index = indexAt(event->pos());
        if (index.isValid() && takesFocus(index.row()))
            setCurrentIndex(index);
    } else if (takesFocus(currentRow())) {
        index = currentIndex();
        const QRect rect = visualRect(index);
        at = viewport()->mapToGlobal(QPoint(rect.left() + 24, rect.bottom() - 4));
    }
    if (!index.isValid() || !takesFocus(index.row())) {
        event->ignore();
        return;
    }
    showMenu(index, at);
    event->accept();
}

void RowListView::showMenu(const QModelIndex& index, const QPoint& globalPos) {
    if (!m_actions.menu)
        return;
    if (m_menu)
        m_menu->close();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("rowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    m_actions.menu(index, *menu);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    m_menu = menu;
    menu->popup(globalPos);
}

void RowListView::focusInEvent(QFocusEvent* event) {
    QListView::focusInEvent(event);
    // Coming in by the keyboard: the first row in sight that can be current, so the ring shows at once.
    if (event->reason() != Qt::MouseFocusReason && !takesFocus(currentRow()) && model()) {
        const QRect shown = viewport()->visibleRegion().boundingRect();
        const QModelIndex top = indexAt(shown.isEmpty() ? QPoint(1, 1) : shown.topLeft() + QPoint(1, 1));
        const int from = top.isValid() ? top.row() : 0;
        int target = takesFocus(from) ? from : step(from, 1);
        if (target < 0)
            target = step(from, -1);
        if (target >= 0)
            setCurrentIndex(model()->index(target, modelColumn(), rootIndex()));
    }
    viewport()->update();
}

void RowListView::focusOutEvent(QFocusEvent* event) {
    QListView::focusOutEvent(event);
    viewport()->update();
}
