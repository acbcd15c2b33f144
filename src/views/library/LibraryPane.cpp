#include "library/LibraryPane.h"

#include "AppModel.h"
#include "DownloadQueue.h"
#include "Library.h"
#include "Spawn.h"
#include "SpeechModels.h"
#include "Strings.h"
#include "kit/Alert.h"
#include "kit/EmptyNotice.h"
#include "kit/Icons.h"
#include "kit/LinkButton.h"
#include "kit/RowListView.h"
#include "kit/SegmentedBar.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"
#include "kit/WebLink.h"
#include "library/IndexFooter.h"
#include "library/LibraryLists.h"
#include "library/LibraryPaneModel.h"
#include "library/LibraryRowContent.h"
#include "library/TranscribeSlot.h"
#include "rows/RowIcon.h"
#include "shell/Placeholder.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

std::function<bool(const QUrl&)>& fileOpener() {
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

bool openFile(const QString& path) {
    const QUrl url = QUrl::fromLocalFile(path);
    if (fileOpener())
        return fileOpener()(url);
    return QDesktopServices::openUrl(url);
}

// The rounded field behind the filter: the quaternary ink at 0.4.
class FilterFrame : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 8, 8);
        const QColor q = Theme::ink(Theme::Ink::Quaternary, palette());
        painter.fillPath(path, Theme::withOpacity(q, q.alphaF() * 0.4));
    }
};

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette p = line->palette();
    p.setColor(QPalette::WindowText, Theme::ink(Theme::Ink::Quaternary, p));
    line->setPalette(p);
    return line;
}

QString count(qsizetype n) {
    return QString::number(n);
}

using Spot = LibraryRowDelegate::Spot;

} // namespace

void LibraryPane::setFileOpener(std::function<bool(const QUrl&)> opener) {
    fileOpener() = std::move(opener);
}

LibraryPane::LibraryPane(AppModel* model, PlayerFactory player, QWidget* parent)
    : QWidget(parent), m_model(model), m_library(&model->libraryPart()), m_playerFactory(std::move(player)),
      m_rows(new LibraryPaneModel(model, this)) {
    setObjectName(QStringLiteral("library_pane"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(makeHeader());
    outer->addWidget(divider(this));

    m_content = new QStackedWidget(this);
    m_empty = new EmptyNotice(Strings::text(QStringLiteral("title_downloads")),
                              QStringLiteral("square.grid.2x2"), std::nullopt, m_content);
    m_empty->setObjectName(QStringLiteral("title_downloads"));
    m_content->addWidget(m_empty);
    m_list = new RowListView(m_content);
    m_list->setObjectName(QStringLiteral("libraryList"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Rows line up with the header's 24-point margin (the rows keep 6 of their own).
    m_list->setViewportMargins(18, 4, 18, 4);
    m_list->setResizeMode(QListView::Adjust);
    // The list sits on the pane's own background, margins included.
    m_list->setBackgroundRole(QPalette::Window);
    m_list->viewport()->setBackgroundRole(QPalette::Window);
    m_list->setLayoutMode(QListView::Batched);
    m_list->setBatchSize(500);
    m_list->setModel(m_rows);
    m_delegate = new LibraryRowDelegate(model, m_rows, m_list);
    m_list->setItemDelegate(m_delegate);
    // Section headers are not rows one can be on.
    m_list->setFocusable([this](const QModelIndex& index) {
        const LibraryPaneModel::Kind kind = m_rows->kindAt(index.row());
        return kind != LibraryPaneModel::Kind::HitsHeader && kind != LibraryPaneModel::Kind::ItemsHeader;
    });
    m_list->setActions({
        [this](const QModelIndex& index) { return toggleRow(index.row()); },
        [this](const QModelIndex& index) { return activateRow(index.row()); },
        [this](const QModelIndex& index) { return removeRow(index.row()); },
        [this](const QModelIndex& index, QMenu& menu) { fillRowMenu(index.row(), menu); },
    });
    m_content->addWidget(m_list);
    outer->addWidget(m_content, 1);

    m_footer = new QWidget(this);
    m_footer->setObjectName(QStringLiteral("footer"));
    auto* footerColumn = new QVBoxLayout(m_footer);
    footerColumn->setContentsMargins(0, 0, 0, 0);
    footerColumn->setSpacing(0);
    footerColumn->addWidget(divider(m_footer));
    auto* bar = new QWidget(m_footer);
    bar->setAutoFillBackground(true);
    auto* barRow = new QHBoxLayout(bar);
    barRow->setContentsMargins(24, 10, 24, 10);
    barRow->setSpacing(12);
    m_indexFooter = new IndexFooter(model, bar);
    barRow->addWidget(m_indexFooter);
    footerColumn->addWidget(bar);
    outer->addWidget(m_footer);

    connect(m_rows, &LibraryPaneModel::stateChanged, this, [this] {
        syncHeader();
        syncContent();
        keepPlace();
    });
    connect(m_rows, &QAbstractItemModel::rowsAboutToBeInserted, this, &LibraryPane::holdPlace);
    connect(m_rows, &QAbstractItemModel::rowsAboutToBeRemoved, this, &LibraryPane::holdPlace);
    connect(m_delegate, &LibraryRowDelegate::spotClicked, this, &LibraryPane::onSpot);
    connect(m_delegate, &LibraryRowDelegate::rowClicked, this, &LibraryPane::onRowClicked);
    m_list->viewport()->installEventFilter(this);
    connect(&model->modelsPart(), &SpeechModels::modelsInfoChanged, this, &LibraryPane::syncContent);
    connect(m_library, &Library::searchStatusChanged, this, &LibraryPane::syncContent);
    connect(m_library, &Library::librarySearchChanged, this, [this] {
        if (m_filter->text() != m_library->librarySearch())
            m_filter->setText(m_library->librarySearch());
        m_clear->setVisible(!m_library->librarySearch().isEmpty());
        m_library->scheduleSearch();
        syncContent();
    });
    // The last item row coming into view asks for the next page.
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this, &LibraryPane::pageIfAtEnd);
    connect(m_rows, &QAbstractItemModel::rowsInserted, this,
            [this] { QTimer::singleShot(0, this, &LibraryPane::pageIfAtEnd); });
    connect(m_rows, &QAbstractItemModel::rowsRemoved, this,
            [this] { QTimer::singleShot(0, this, &LibraryPane::pageIfAtEnd); });
    connect(m_rows, &QAbstractItemModel::modelReset, this,
            [this] { QTimer::singleShot(0, this, &LibraryPane::pageIfAtEnd); });

    followTexts(*model, this, [this] {
        syncContent();
        m_filter->setPlaceholderText(Strings::text(QStringLiteral("placeholder_filter")));
        m_categories->relabel();
        m_rows->layoutChanged();
        syncHeader();
    });
    syncHeader();
    syncContent();
}

QWidget* LibraryPane::makeHeader() {
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("header"));
    auto* column = new QVBoxLayout(header);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(10);

    // The filter field.
    auto* field = new FilterFrame(header);
    auto* fieldRow = new QHBoxLayout(field);
    fieldRow->setContentsMargins(10, 7, 10, 7);
    fieldRow->setSpacing(8);
    fieldRow->addWidget(new SymbolLabel(QStringLiteral("magnifyingglass"), 14, Theme::Ink::Secondary, field));
    m_filter = new QLineEdit(field);
    m_filter->setObjectName(QStringLiteral("placeholder_filter"));
    m_filter->setFrame(false);
    m_filter->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_filter->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    m_filter->setText(m_library->librarySearch());
    fieldRow->addWidget(m_filter, 1);
    m_clear = new QToolButton(field);
    m_clear->setObjectName(QStringLiteral("clearFilter"));
    m_clear->setAutoRaise(true);
    m_clear->setCursor(Qt::PointingHandCursor);
    m_clear->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    auto paintClear = [this] {
        m_clear->setIcon(QIcon(Icons::tinted(QStringLiteral("xmark.circle.fill"), 14,
                                             Theme::ink(Theme::Ink::Secondary), devicePixelRatioF())));
    };
    paintClear();
    m_clear->setVisible(!m_library->librarySearch().isEmpty());
    fieldRow->addWidget(m_clear);
    connect(m_filter, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_library->setLibrarySearch(text); });
    connect(m_clear, &QToolButton::clicked, this, [this] { m_library->setLibrarySearch(QString()); });
    column->addWidget(field);

    // The selection bar.
    auto* selectionBar = new QHBoxLayout;
    selectionBar->setSpacing(10);
    m_selectedCount = new QLabel(header);
    m_selectedCount->setObjectName(QStringLiteral("label_selected_count"));
    TextStyle::apply(m_selectedCount, TextStyle::Role::Caption);
    Theme::setForeground(m_selectedCount, Theme::Ink::Secondary);
    selectionBar->addWidget(m_selectedCount);
    selectionBar->addStretch(1);
    m_selectAll = new LinkButton(QStringLiteral("selectAll"), header);
    connect(m_selectAll, &QPushButton::clicked, this, [this] { m_rows->toggleAll(); });
    selectionBar->addWidget(m_selectAll);
    m_deleteSelected = new RowIcon(
        QStringLiteral("trash"), QString(), std::nullopt, false, [this] { confirmRemoveSelected(); }, header);
    m_deleteSelected->setObjectName(QStringLiteral("deleteSelected"));
    selectionBar->addWidget(m_deleteSelected);
    column->addLayout(selectionBar);

    // The category bar, or the back row of an open group.
    auto* switcher = new QStackedWidget(header);
    m_categories = new SegmentedBar(switcher);
    m_categories->setObjectName(QStringLiteral("categoryBar"));
    QList<QVariant> values;
    for (LibraryCategory category : LibraryCategories::all())
        values << LibraryCategories::rawValue(category);
    m_categories->setValues(values, [](const QVariant& value) {
        const auto category = LibraryCategories::fromRawValue(value.toString());
        return category ? Strings::text(LibraryCategories::labelKey(*category)) : value.toString();
    });
    m_categories->setSelection(LibraryCategories::rawValue(m_rows->category()));
    connect(m_categories, &SegmentedBar::picked, this, [this](const QVariant& value) {
        if (const auto category = LibraryCategories::fromRawValue(value.toString()))
            m_rows->setCategory(*category);
    });
    switcher->addWidget(m_categories);
    m_backRow = new QWidget(switcher);
    auto* back = new QHBoxLayout(m_backRow);
    back->setContentsMargins(0, 0, 0, 0);
    auto* backButton = new LinkButton(QStringLiteral("button_back_to_sections"), m_backRow);
    followTexts(*m_model, backButton, [backButton] {
        backButton->setText(Strings::text(QStringLiteral("button_back_to_sections")));
    });
    backButton->setSymbol(QStringLiteral("chevron.left"));
    connect(backButton, &QPushButton::clicked, this, [this] { m_rows->setOpenGroup(std::nullopt); });
    back->addWidget(backButton);
    m_groupName = new QLabel(m_backRow);
    m_groupName->setObjectName(QStringLiteral("groupName"));
    m_groupName->setTextFormat(Qt::PlainText);
    TextStyle::apply(m_groupName, TextStyle::Role::Headline);
    back->addWidget(m_groupName, 1);
    switcher->addWidget(m_backRow);
    switcher->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    switcher->setFixedHeight(m_categories->sizeHint().height());
    connect(m_rows, &LibraryPaneModel::stateChanged, switcher, [this, switcher] {
        switcher->setCurrentWidget(m_rows->openGroup() ? m_backRow : static_cast<QWidget*>(m_categories));
    });
    column->addWidget(switcher);
    return header;
}

void LibraryPane::syncHeader() {
    const QStringList paths = m_rows->selectedPaths();
    const qsizetype n = paths.size();
    m_selectedCount->setVisible(n > 0);
    m_selectedCount->setText(
        Strings::text(QStringLiteral("label_selected_count"), {{QStringLiteral("n"), count(n)}}));
    const QStringList selectable = m_rows->selectableTags();
    m_selectAll->setText(Strings::text(LibraryLists::allSelected(selectable, m_rows->selection())
                                           ? QStringLiteral("button_select_none")
                                           : QStringLiteral("button_select_all")));
    m_selectAll->setEnabled(!selectable.isEmpty());
    m_deleteSelected->set(
        QStringLiteral("trash"),
        n > 0 ? Strings::text(QStringLiteral("button_delete_selected_n"), {{QStringLiteral("n"), count(n)}})
              : Strings::text(QStringLiteral("button_delete_selected")),
        std::nullopt, n > 0);
    m_categories->setSelection(LibraryCategories::rawValue(m_rows->category()));
    m_groupName->setText(m_rows->openGroup().value_or(QString()));
}

void LibraryPane::syncContent() {
    // A filter that leaves nothing says so, rather than that nothing was ever downloaded.
    const QString filter = m_library->librarySearch().trimmed();
    m_empty->setTexts(filter.isEmpty() ? Strings::text(QStringLiteral("title_downloads"))
                                       : Strings::text(QStringLiteral("title_downloads_no_match"),
                                                       {{QStringLiteral("filter"), filter}}),
                      std::nullopt);
    const bool wasFocused = m_list->hasFocus();
    m_content->setCurrentWidget(m_rows->isEmpty() ? static_cast<QWidget*>(m_empty) : m_list);
    if (wasFocused && m_rows->isEmpty())
        m_filter->setFocus(Qt::OtherFocusReason);
    const std::optional<SearchStatus>& status = m_library->searchStatus();
    m_footer->setVisible(m_model->modelsPart().canTranscribe() || (status && status->documents >= 1));
}

void LibraryPane::pageIfAtEnd() {
    if (!m_list->isVisible() || m_rows->rows().empty() || !m_rows->showsItems())
        return;
    const int last = m_rows->rowCount() - 1;
    if (!m_rows->itemAt(last))
        return;
    const QRect at = m_list->visualRect(m_rows->index(last));
    if (!at.isValid() || !m_list->viewport()->rect().intersects(at))
        return;
    spawn(this, [library = m_library]() -> QCoro::Task<void> { co_await library->loadMoreLibrary(); });
}

// Rows that come or go above what the user looks at would move it, and the list lays its rows out again
// from the top in batches, which would clamp the scroll to the first batch meanwhile. The first row in view
// is noted before the change and put back at the same height after it. At the very top nothing is held,
// so a new download shows there.
void LibraryPane::holdPlace() {
    if (m_place || m_list->verticalScrollBar()->value() == 0)
        return;
    const QRect view = m_list->viewport()->rect();
    for (QModelIndex at = m_list->indexAt(QPoint(view.width() / 2, 0)); at.isValid();
         at = m_rows->index(at.row() + 1)) {
        const QRect rect = m_list->visualRect(at);
        if (!rect.isValid() || rect.top() > view.bottom())
            return;
        if (!m_rows->tagAt(at.row()).isEmpty()) {
            m_place = std::make_pair(m_rows->tagAt(at.row()), rect.top());
            return;
        }
    }
}

void LibraryPane::keepPlace() {
    if (!m_place)
        return;
    const auto [tag, top] = *std::exchange(m_place, std::nullopt);
    const int row = m_rows->rowOf(tag);
    if (row < 0)
        return;
    // All rows at once, so the row's place is known now rather than batches later.
    m_list->setLayoutMode(QListView::SinglePass);
    m_list->doItemsLayout();
    m_list->setLayoutMode(QListView::Batched);
    const QRect rect = m_list->visualRect(m_rows->index(row));
    if (rect.isValid())
        m_list->verticalScrollBar()->setValue(m_list->verticalScrollBar()->value() + rect.top() - top);
}

void LibraryPane::onSpot(int row, LibraryRowDelegate::Spot spot) {
    const QString tag = m_rows->tagAt(row);
    if (spot == Spot::Checkbox) {
        m_rows->toggle(tag);
        m_anchor = row;
        return;
    }
    if (spot == Spot::OpenGroup) {
        openGroupAt(row);
        return;
    }
    const LibraryItem* found = m_rows->itemAt(row);
    if (!found)
        return;
    // A copy: the action may change the list (a reload) under it.
    const LibraryItem item = *found;
    switch (spot) {
    case Spot::First:
        if (!item.exists) {
            if (!item.url.isEmpty())
                spawn(this, [model = m_model, url = item.url]() -> QCoro::Task<void> {
                    co_await model->queuePart().enqueue(url, true);
                });
        } else {
            TranscribeSlot::trigger(*m_model, item);
        }
        break;
    case Spot::Open:
        playItem(item);
        break;
    case Spot::Reveal:
        m_library->reveal(item);
        break;
    case Spot::Web:
        WebLink::open(item.url);
        break;
    case Spot::Remove:
        confirmRemoveItem(item);
        break;
    default:
        break;
    }
}

void LibraryPane::openGroupAt(int row) {
    if (const LibraryGroup* group = m_rows->groupAt(row)) {
        const QString name = group->name;
        m_rows->setOpenGroup(name);
        // The first of the group's rows is where the keyboard goes on.
        m_list->setCurrentRow(0);
    }
}

void LibraryPane::onRowClicked(int row, Qt::KeyboardModifiers modifiers) {
    const QString tag = m_rows->tagAt(row);
    if (tag.isEmpty())
        return;
    m_lastClick = Click{tag, m_rows->selection()};
    const SearchHit* hit = m_rows->hitAt(row);
    if (hit && !(modifiers & (Qt::ControlModifier | Qt::ShiftModifier))) {
        if (hit->exists)
            playHit(*hit);
        return;
    }
    if (modifiers & Qt::ControlModifier) {
        m_rows->toggle(tag);
        m_anchor = row;
        return;
    }
    if ((modifiers & Qt::ShiftModifier) && m_anchor >= 0 && m_anchor < m_rows->rowCount()) {
        QSet<QString> selection = m_rows->selection();
        for (int r = std::min(m_anchor, row); r <= std::max(m_anchor, row); ++r) {
            if (m_rows->kindAt(r) == m_rows->kindAt(row))
                selection.insert(m_rows->tagAt(r));
        }
        m_rows->setSelection(selection);
        return;
    }
    m_rows->setSelection({tag});
    m_anchor = row;
}

bool LibraryPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_list->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        m_swallowRelease = false;
    } else if (event->type() == QEvent::MouseButtonRelease && m_swallowRelease) {
        m_swallowRelease = false;
        return true;
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        // A double click anywhere on a group row but its checkbox and button opens the group. The view
        // would treat it as a press unless it saw the press of the same row just before.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && index.isValid()) {
            const LibraryRowDelegate::Spot spot =
                m_delegate->spotAt(index.row(), m_list->visualRect(index), mouse->position().toPoint());
            if (const LibraryGroup* group = m_rows->groupAt(index.row());
                group && spot == LibraryRowDelegate::Spot::None) {
                // Opening is not selecting: the first click of the double click is taken back.
                if (m_lastClick && m_lastClick->tag == LibraryLists::groupTag(group->name))
                    m_rows->setSelection(m_lastClick->before);
                m_lastClick.reset();
                m_swallowRelease = true;
                openGroupAt(index.row());
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool LibraryPane::toggleRow(int row) {
    const LibraryPaneModel::Kind kind = m_rows->kindAt(row);
    if (kind != LibraryPaneModel::Kind::Item && kind != LibraryPaneModel::Kind::Group)
        return false;
    m_rows->toggle(m_rows->tagAt(row));
    m_anchor = row;
    return true;
}

bool LibraryPane::activateRow(int row) {
    if (const SearchHit* hit = m_rows->hitAt(row)) {
        if (hit->exists)
            playHit(*hit);
        return true;
    }
    if (m_rows->groupAt(row)) {
        openGroupAt(row);
        return true;
    }
    if (m_rows->itemAt(row)) {
        if (m_delegate->spotEnabled(row, Spot::Open))
            onSpot(row, Spot::Open);
        return true;
    }
    return false;
}

bool LibraryPane::removeRow(int row) {
    // On a selected row the key removes the selection, as the selection bar's button does; on any other
    // item, that item, as its row's button does.
    const QString tag = m_rows->tagAt(row);
    if (m_rows->selection().contains(tag) && !m_rows->selectedPaths().isEmpty()) {
        confirmRemoveSelected();
        return true;
    }
    if (m_rows->itemAt(row)) {
        onSpot(row, Spot::Remove);
        return true;
    }
    return false;
}

void LibraryPane::fillRowMenu(int row, QMenu& menu) {
    const QString tag = m_rows->tagAt(row);
    // The row may have moved by the time an entry is chosen: it is found again by its tag.
    auto add = [this, &menu, tag](const QString& key, bool enabled, std::function<void(int)> run) {
        QAction* action = menu.addAction(Strings::text(key).replace(u'&', QStringLiteral("&&")));
        action->setObjectName(key);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, tag, run = std::move(run)] {
            const int at = m_rows->rowOf(tag);
            if (at >= 0)
                run(at);
        });
    };
    if (const SearchHit* hit = m_rows->hitAt(row)) {
        add(QStringLiteral("button_play"), hit->exists, [this](int at) { activateRow(at); });
        return;
    }
    if (m_rows->groupAt(row)) {
        add(QStringLiteral("button_open_group"), true, [this](int at) { openGroupAt(at); });
        return;
    }
    const LibraryItem* item = m_rows->itemAt(row);
    if (!item)
        return;
    const LibraryRowContent c = LibraryRowContent::of(*m_model, *item);
    auto spot = [&](Spot which, const QString& key) {
        add(key, m_delegate->spotEnabled(row, which), [this, which](int at) {
            if (m_delegate->spotEnabled(at, which))
                onSpot(at, which);
        });
    };
    spot(Spot::Open, c.icons[0].labelKey);
    if (c.first == LibraryRowContent::First::Transcribe && c.transcribe.look == TranscribeSlot::Look::Icon)
        spot(Spot::First, c.transcribe.labelKey);
    else if (c.first == LibraryRowContent::First::DownloadAgain)
        spot(Spot::First, c.downloadAgain.labelKey);
    spot(Spot::Reveal, c.icons[1].labelKey);
    spot(Spot::Web, c.icons[2].labelKey);
    menu.addSeparator();
    spot(Spot::Remove, c.icons[3].labelKey);
}

void LibraryPane::playHit(const SearchHit& hit) {
    if (!m_library->stillThere(hit.mediaPath))
        return;
    openPlayer({hit.mediaPath, hit.title, hit.startMs, hit.endMs, hit.excerpt});
}

void LibraryPane::playItem(const LibraryItem& item) {
    if (!m_library->stillThere(item.path))
        return;
    if (item.kind == QLatin1String("thumbnail")) {
        openFile(item.path);
        return;
    }
    openPlayer({item.path, item.title, 0, 0, std::nullopt});
}

void LibraryPane::openPlayer(const PlayerTarget& target) {
    if (m_player)
        return;
    m_playing = target;
    QDialog* dialog = m_playerFactory ? m_playerFactory(*m_model, target, this) : nullptr;
    if (!dialog)
        dialog = new SheetPlaceholder(QStringLiteral("button_play"), QStringLiteral("v2_placeholder_player"),
                                      QStringLiteral("button_close"), this);
    m_player = dialog;
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::finished, this, [this, dialog] {
        if (m_player == dialog) {
            m_player = nullptr;
            m_playing.reset();
        }
        dialog->deleteLater();
    });
    dialog->open();
}

QMessageBox* LibraryPane::makeAlert(const QString& titleKey, const QString& message, bool offerListOnly) {
    Alert::Content content{titleKey, QMessageBox::Warning, message, {}};
    content.buttons.push_back({QStringLiteral("button_move_to_trash"), QMessageBox::DestructiveRole});
    if (offerListOnly)
        content.buttons.push_back({QStringLiteral("button_remove_from_list"), QMessageBox::AcceptRole});
    content.buttons.push_back({QStringLiteral("button_cancel"), QMessageBox::RejectRole});
    return Alert::make(content, this);
}

void LibraryPane::confirmRemoveSelected() {
    const qsizetype n = m_rows->selectedPaths().size();
    if (n == 0 || m_alert)
        return;
    const bool pictures = m_rows->category() == LibraryCategory::Thumbnails;
    QMessageBox* box = makeAlert(QStringLiteral("title_remove_selected"),
                                 Strings::text(pictures ? QStringLiteral("msg_remove_thumbnails_selected")
                                                        : QStringLiteral("msg_remove_selected"),
                                               {{QStringLiteral("n"), count(n)}}),
                                 !pictures);
    m_alert = box;
    connect(box, &QDialog::finished, this, [this, box] {
        const QAbstractButton* clicked = box->clickedButton();
        const QString choice = clicked ? clicked->objectName() : QString();
        if (choice == QLatin1String("button_move_to_trash"))
            removeSelected(true);
        else if (choice == QLatin1String("button_remove_from_list"))
            removeSelected(false);
        box->deleteLater();
    });
    box->open();
}

void LibraryPane::confirmRemoveItem(const LibraryItem& item) {
    if (m_alert)
        return;
    const bool picture = item.kind == QLatin1String("thumbnail");
    const QString name = QFileInfo(item.path).fileName();
    QMessageBox* box = makeAlert(picture ? QStringLiteral("title_remove_thumbnail")
                                         : QStringLiteral("title_remove_download"),
                                 Strings::text(picture ? QStringLiteral("msg_remove_thumbnail")
                                                       : QStringLiteral("msg_remove_download"),
                                               {{QStringLiteral("name"), name}}),
                                 !picture);
    m_alert = box;
    connect(box, &QDialog::finished, this, [this, box, item] {
        const QAbstractButton* clicked = box->clickedButton();
        const QString choice = clicked ? clicked->objectName() : QString();
        if (choice == QLatin1String("button_move_to_trash"))
            removeItem(item, true);
        else if (choice == QLatin1String("button_remove_from_list"))
            removeItem(item, false);
        box->deleteLater();
    });
    box->open();
}

void LibraryPane::removeSelected(bool deleteFiles) {
    // The paths as the selection stands now; whatever is selected when the engine is done is cleared.
    const QStringList paths = m_rows->selectedPaths();
    QPointer<LibraryPane> self(this);
    spawn(this, [self, library = m_library, paths, deleteFiles]() -> QCoro::Task<void> {
        co_await library->removeLibrary(paths, deleteFiles);
        if (self)
            self->m_rows->setSelection({});
    });
}

void LibraryPane::removeItem(const LibraryItem& item, bool deleteFiles) {
    const QStringList paths{item.path};
    spawn(this, [library = m_library, paths, deleteFiles]() -> QCoro::Task<void> {
        co_await library->removeLibrary(paths, deleteFiles);
    });
}
