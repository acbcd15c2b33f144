#include "batch/ListingPicker.h"

#include "DownloadQueue.h"
#include "ListingPick.h"
#include "Strings.h"
#include "batch/ListingRowDelegate.h"
#include "batch/ListingRowsModel.h"
#include "kit/Divider.h"
#include "kit/LinkButton.h"
#include "kit/RowListView.h"
#include "kit/SheetButton.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// The list with room at its sides and ends, inside its scrolling area (the rows keep a little more, for
// the focus ring).
class PaddedList : public RowListView {
public:
    explicit PaddedList(QWidget* parent) : RowListView(parent) {
        const int side = 24 - ListingRowDelegate::inset;
        setViewportMargins(side, 8, side, 8);
    }
};

using Kind = ListingRowsModel::Kind;

Kind kindOf(const QModelIndex& index) {
    return static_cast<Kind>(index.data(ListingRowsModel::KindRole).toInt());
}

QHBoxLayout* barLayout(QWidget* bar) {
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(24, 10, 24, 10);
    row->setSpacing(12);
    return row;
}

} // namespace

ListingPicker::ListingPicker(DownloadQueue* queue, std::shared_ptr<ListingPick> pick, QWidget* parent)
    : QDialog(parent), m_queue(queue), m_pick(std::move(pick)) {
    setObjectName(QStringLiteral("listingPicker"));
    setFixedSize(fixedSize);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    // Header.
    auto* header = new QWidget(this);
    auto* headerStack = new QVBoxLayout(header);
    headerStack->setContentsMargins(24, 10, 24, 10);
    headerStack->setSpacing(8);
    m_title = new QLabel(header);
    m_title->setObjectName(QStringLiteral("dialog_title"));
    m_title->setTextFormat(Qt::PlainText);
    TextStyle::apply(m_title, TextStyle::Role::Headline);
    headerStack->addWidget(m_title);
    m_headline = new QLabel(header);
    m_headline->setObjectName(QStringLiteral("headline"));
    // Titles come from the web: shown as they are.
    m_headline->setTextFormat(Qt::PlainText);
    m_headline->setWordWrap(true);
    TextStyle::apply(m_headline, TextStyle::Role::Callout);
    Theme::setForeground(m_headline, Theme::Ink::Secondary);
    headerStack->addWidget(m_headline);
    m_back = new LinkButton(QStringLiteral("button_back_to_sections"), header);
    headerStack->addWidget(m_back, 0, Qt::AlignLeft);
    stack->addWidget(header);
    stack->addWidget(new Divider(this));

    // The list.
    m_list = new PaddedList(this);
    m_list->setObjectName(QStringLiteral("listing_rows"));
    m_list->setFrameShape(QFrame::NoFrame);
    // The sheet's own background runs under the rows, as under the header and the bars.
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->setMouseTracking(true);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_rows = new ListingRowsModel(m_pick, this);
    m_delegate = new ListingRowDelegate(this);
    m_list->setItemDelegate(m_delegate);
    m_list->setModel(m_rows);
    m_list->setActions({
        [this](const QModelIndex& index) {
            return kindOf(index) == Kind::Entry && m_rows->setData(index, QVariant(), Qt::CheckStateRole);
        },
        // Return on an entry is left to the sheet: it adds the checked entries, as the default button.
        [this](const QModelIndex& index) {
            if (kindOf(index) == Kind::Section) {
                open(index);
                return true;
            }
            if (kindOf(index) == Kind::LoadMore) {
                if (!m_pick->loading())
                    m_queue->loadMoreSection(m_pick);
                return true;
            }
            return false;
        },
        {},
        [this](const QModelIndex& index, QMenu& menu) { fillRowMenu(index, menu); },
    });
    stack->addWidget(m_list, 1);
    stack->addWidget(new Divider(this));

    // Select all or none, and the count.
    auto* controls = new QWidget(this);
    auto* controlRow = barLayout(controls);
    m_selectAll = sheetButton(QStringLiteral("button_select_all"), controls);
    controlRow->addWidget(m_selectAll);
    m_selectNone = sheetButton(QStringLiteral("button_select_none"), controls);
    controlRow->addWidget(m_selectNone);
    controlRow->addStretch(1);
    m_count = new QLabel(controls);
    m_count->setObjectName(QStringLiteral("label_selected_count"));
    TextStyle::apply(m_count, TextStyle::Role::Caption);
    Theme::setForeground(m_count, Theme::Ink::Secondary);
    controlRow->addWidget(m_count);
    stack->addWidget(controls);
    stack->addWidget(new Divider(this));

    // Video or audio, cancel and add.
    auto* footer = new QWidget(this);
    auto* footerRow = barLayout(footer);
    m_videoAudio = new QRadioButton(footer);
    m_videoAudio->setObjectName(QStringLiteral("radio_video_audio"));
    m_audioOnly = new QRadioButton(footer);
    m_audioOnly->setObjectName(QStringLiteral("radio_audio_only"));
    auto* choice = new QButtonGroup(footer);
    choice->addButton(m_videoAudio);
    choice->addButton(m_audioOnly);
    footerRow->addWidget(m_videoAudio);
    footerRow->addWidget(m_audioOnly);
    footerRow->addStretch(1);
    m_cancel = sheetButton(QStringLiteral("button_cancel"), footer);
    footerRow->addWidget(m_cancel);
    m_add = new QPushButton(footer);
    m_add->setObjectName(QStringLiteral("button_add_to_queue"));
    m_add->setDefault(true);
    footerRow->addWidget(m_add);
    stack->addWidget(footer);

    connect(m_back, &QPushButton::clicked, this, [this] { m_pick->leave(); });
    connect(m_delegate, &ListingRowDelegate::openRequested, this, &ListingPicker::open);
    // The rest of a double click that opened a section never reaches the rows: the view drops it.
    connect(m_list, &QAbstractItemView::doubleClicked, this, &ListingPicker::open);
    connect(m_selectAll, &QPushButton::clicked, this, [this] { m_pick->setAll(true); });
    connect(m_selectNone, &QPushButton::clicked, this, [this] { m_pick->setAll(false); });
    connect(m_videoAudio, &QRadioButton::clicked, this, [this] { m_pick->setAudioOnly(false); });
    connect(m_audioOnly, &QRadioButton::clicked, this, [this] { m_pick->setAudioOnly(true); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_queue->dismissListing(m_pick); });
    connect(m_add, &QPushButton::clicked, this, [this] {
        // Return reaches the default button even when it is disabled in some styles.
        if (!m_pick->checked().empty())
            m_queue->acceptListing(m_pick);
    });

    ListingPick* p = m_pick.get();
    for (auto signal :
         {&ListingPick::openSectionChanged, &ListingPick::entriesChanged, &ListingPick::checkedChanged,
          &ListingPick::exhaustedChanged, &ListingPick::loadingChanged, &ListingPick::audioOnlyChanged})
        connect(p, signal, this, &ListingPicker::refresh);
    connect(m_rows, &ListingRowsModel::loadMoreChanged, this, &ListingPicker::placeLoadMore);
    connect(m_rows, &QAbstractItemModel::modelReset, this, [this] { m_list->scrollToTop(); });
    const auto retranslate = [this] {
        setWindowTitle(Strings::text(ListingRowsModel::hasSections(*m_pick)
                                         ? QStringLiteral("dialog_title_channel")
                                         : QStringLiteral("dialog_title_playlist")));
        m_back->setText(Strings::text(QStringLiteral("button_back_to_sections")));
        m_selectAll->setText(Strings::text(QStringLiteral("button_select_all")));
        m_selectNone->setText(Strings::text(QStringLiteral("button_select_none")));
        m_videoAudio->setText(Strings::text(QStringLiteral("radio_video_audio")));
        m_audioOnly->setText(Strings::text(QStringLiteral("radio_audio_only")));
        m_cancel->setText(Strings::text(QStringLiteral("button_cancel")));
        m_add->setText(Strings::text(QStringLiteral("button_add_to_queue")));
        refresh();
        m_list->viewport()->update();
    };
    connect(queue, &DownloadQueue::textsChanged, this, retranslate);
    retranslate();
    placeLoadMore();
}

ListingPicker::Headline ListingPicker::headline(const ListingPick& pick) {
    const auto number = [](qint64 n) { return QString::number(n); };
    if (!ListingRowsModel::hasSections(pick))
        return {QStringLiteral("dialog_playlist_found"),
                {{QStringLiteral("title"), pick.title()},
                 {QStringLiteral("n"), number(qint64(pick.entries().size()))}}};
    if (const std::optional<QString>& open = pick.openSection()) {
        const QMap<QString, QString> values{
            {QStringLiteral("name"), *open},
            {QStringLiteral("n"), number(qint64(pick.members(*open).size()))}};
        return {pick.canLoadMore() ? QStringLiteral("dialog_section_loaded")
                                   : QStringLiteral("dialog_section_complete"),
                values};
    }
    if (pick.hasVisitedSection())
        return {QStringLiteral("dialog_sections_back"), {}};
    return {QStringLiteral("dialog_sections_found"),
            {{QStringLiteral("title"), pick.title()},
             {QStringLiteral("n"), number(qint64(pick.sections().size()))}}};
}

void ListingPicker::refresh() {
    const bool sections = ListingRowsModel::hasSections(*m_pick);
    m_title->setText(Strings::text(sections ? QStringLiteral("dialog_title_channel")
                                            : QStringLiteral("dialog_title_playlist")));
    const Headline line = headline(*m_pick);
    m_headline->setText(Strings::text(line.key, line.values));
    m_back->setVisible(sections && m_pick->openSection().has_value());
    m_count->setText(Strings::text(QStringLiteral("label_selected_count"),
                                   {{QStringLiteral("n"), QString::number(m_pick->checked().size())}}));
    m_add->setEnabled(!m_pick->checked().empty());
    m_videoAudio->setChecked(!m_pick->audioOnly());
    m_audioOnly->setChecked(m_pick->audioOnly());
    refreshLoadMore();
}

void ListingPicker::placeLoadMore() {
    const QModelIndex at = m_rows->loadMoreIndex();
    if (!at.isValid()) {
        m_loadMore = nullptr;
        return;
    }
    if (m_loadMore && m_list->indexWidget(at) == m_loadMore)
        return;
    auto* button = new LinkButton(QStringLiteral("button_load_more"));
    connect(button, &QPushButton::clicked, this, [this] { m_queue->loadMoreSection(m_pick); });
    // A row's widget is laid over the row: the button sits in a holder that keeps it at its own width.
    auto* holder = new QWidget;
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(ListingRowDelegate::inset, 8, 0, 8);
    row->addWidget(button);
    row->addStretch(1);
    m_list->setIndexWidget(at, holder);
    m_loadMore = button;
    refreshLoadMore();
}

void ListingPicker::refreshLoadMore() {
    if (!m_loadMore)
        return;
    const bool loading = m_pick->loading();
    m_loadMore->setText(loading
                            ? Strings::text(QStringLiteral("button_loading"))
                            : Strings::text(QStringLiteral("button_load_more"),
                                            {{QStringLiteral("n"), QString::number(m_pick->pageSize())}}));
    m_loadMore->setEnabled(!loading);
}

void ListingPicker::open(const QModelIndex& index) {
    if (static_cast<ListingRowsModel::Kind>(index.data(ListingRowsModel::KindRole).toInt()) !=
        ListingRowsModel::Kind::Section)
        return;
    m_pick->open(index.data(ListingRowsModel::SectionNameRole).toString());
    // The keyboard goes on with the section's first entry.
    m_list->setCurrentRow(0);
}

void ListingPicker::fillRowMenu(const QModelIndex& index, QMenu& menu) {
    auto add = [this, &menu](const QString& text, const QString& name, std::function<void()> run) {
        QAction* action = menu.addAction(QString(text).replace(u'&', QStringLiteral("&&")));
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, std::move(run));
        return action;
    };
    switch (kindOf(index)) {
    case Kind::Section: {
        const QString name = index.data(ListingRowsModel::SectionNameRole).toString();
        add(Strings::text(QStringLiteral("button_open_group")), QStringLiteral("button_open_group"),
            [this, name] {
                for (int r = 0; r < m_rows->rowCount(); ++r) {
                    if (m_rows->index(r).data(ListingRowsModel::SectionNameRole).toString() == name) {
                        open(m_rows->index(r));
                        return;
                    }
                }
            });
        return;
    }
    case Kind::LoadMore: {
        QAction* more = add(m_loadMore ? m_loadMore->text() : QString(), QStringLiteral("button_load_more"),
                            [this] { m_queue->loadMoreSection(m_pick); });
        more->setEnabled(!m_pick->loading());
        return;
    }
    case Kind::Entry: {
        // The entry itself, checked or not, then what the buttons below the list do.
        const int entry = index.data(ListingRowsModel::EntryIndexRole).toInt();
        QAction* check = add(index.data(Qt::DisplayRole).toString(), QStringLiteral("entry"),
                             [this, entry] { m_pick->toggle(entry); });
        check->setCheckable(true);
        check->setChecked(m_pick->checked().count(entry) > 0);
        menu.addSeparator();
        add(Strings::text(QStringLiteral("button_select_all")), QStringLiteral("button_select_all"),
            [this] { m_pick->setAll(true); });
        add(Strings::text(QStringLiteral("button_select_none")), QStringLiteral("button_select_none"),
            [this] { m_pick->setAll(false); });
        return;
    }
    }
}

void ListingPicker::reject() {
    m_queue->dismissListing(m_pick);
}
