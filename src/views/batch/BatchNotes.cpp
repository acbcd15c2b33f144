#include "batch/BatchNotes.h"

#include "DownloadQueue.h"
#include "Strings.h"
#include "kit/Icons.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int symbolGap = 6;   // between a note's symbol and its text
constexpr int noteSpacing = 6; // between two notes
constexpr int linesInSight = 10;

QFont noteFont() {
    return TextStyle::font(TextStyle::Role::Caption);
}

// One note: its symbol at the top left, its message wrapped beside it in the note's ink.
class NoteDelegate : public QStyledItemDelegate {
public:
    explicit NoteDelegate(QListView* view) : QStyledItemDelegate(view), m_view(view) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
        const QFontMetrics metrics(noteFont());
        const int symbol = metrics.height();
        const int width = std::max(1, m_view->viewport()->width() - symbol - symbolGap);
        const QString message = index.data().toString();
        // Most notes fit on one line: that is measured without laying out any wrapping.
        const bool oneLine = !message.contains(u'\n') && metrics.horizontalAdvance(message) <= width;
        const int height =
            oneLine
                ? metrics.height()
                : metrics.boundingRect(QRect(0, 0, width, 1 << 24), Qt::TextWordWrap | Qt::AlignTop, message)
                      .height();
        return {1, std::max(symbol, height) + above(index)};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool informs = index.data(BatchNotesModel::InformsRole).toBool();
        const QColor ink =
            Theme::ink(informs ? Theme::Ink::Secondary : Theme::Ink::Warning, Theme::palette());
        const QFont font = noteFont();
        const int symbol = QFontMetrics(font).height();
        const QRect row = option.rect.adjusted(0, above(index), 0, 0);
        painter->save();
        painter->drawPixmap(row.topLeft(), Icons::cachedTinted(BatchNotes::symbolOf(informs), symbol, ink,
                                                               painter->device()->devicePixelRatioF()));
        painter->setFont(font);
        painter->setPen(ink);
        const QRect text(row.left() + symbol + symbolGap, row.top(), row.width() - symbol - symbolGap,
                         row.height());
        painter->drawText(text, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, index.data().toString());
        painter->restore();
    }

private:
    // The space between two notes belongs to the lower one, so nothing trails the last.
    static int above(const QModelIndex& index) { return index.row() > 0 ? noteSpacing : 0; }

    QListView* m_view;
};

} // namespace

// ---- the model ----

BatchNotesModel::BatchNotesModel(DownloadQueue* queue, QObject* parent)
    : QAbstractListModel(parent), m_queue(queue) {
    connect(queue, &DownloadQueue::resolveNotesChanged, this, &BatchNotesModel::reload);
    // The notes' messages are texts of the current language too.
    connect(queue, &DownloadQueue::textsChanged, this, &BatchNotesModel::reload);
    reload();
}

void BatchNotesModel::reload() {
    beginResetModel();
    m_notes = BatchNotes::ordered(m_queue->resolveNotes());
    m_messages.assign(m_notes.size(), QString());
    endResetModel();
}

int BatchNotesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_notes.size());
}

QVariant BatchNotesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_notes.size()))
        return {};
    const size_t row = size_t(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        QString& message = m_messages[row];
        if (message.isNull()) {
            message = m_notes[row].message();
            if (message.size() > messageLimit)
                message = message.left(messageLimit) + QChar(0x2026);
            // Null marks "not looked up yet"; an empty message stays empty.
            if (message.isNull())
                message = QLatin1String("");
        }
        return message;
    }
    case InformsRole:
        return BatchNotes::informs(m_notes[row]);
    default:
        return {};
    }
}

// ---- the list ----

BatchNotesList::BatchNotesList(BatchNotesModel* notes, QWidget* parent) : QListView(parent) {
    setObjectName(QStringLiteral("batch_notes_list"));
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The pane's background shows through, as behind the rest of its column.
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    setItemDelegate(new NoteDelegate(this));
    // Each note is measured for its wrapped height: thousands of them are measured a hundred a turn, so
    // the window keeps answering meanwhile.
    setLayoutMode(QListView::Batched);
    setBatchSize(100);
    setModel(notes);
}

void BatchNotesList::layOutNow() {
    executeDelayedItemsLayout();
}

int BatchNotesList::maxHeight() {
    return linesInSight * (QFontMetrics(noteFont()).height() + noteSpacing);
}

QSize BatchNotesList::sizeHint() const {
    return {QListView::sizeHint().width(), height()};
}

void BatchNotesList::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    // Messages wrap to the width: a new width measures them again.
    if (event->size().width() != m_laidOutWidth) {
        m_laidOutWidth = event->size().width();
        scheduleDelayedItemsLayout();
    }
}

void BatchNotesList::updateGeometries() {
    QListView::updateGeometries();
    fitHeight();
}

void BatchNotesList::fitHeight() {
    const int content = model() && model()->rowCount() > 0 ? contentsSize().height() : 0;
    const int wanted = std::clamp(content, 0, maxHeight());
    const bool scrolls = content > maxHeight();
    // Long lists are reachable from the keyboard too.
    setFocusPolicy(scrolls ? Qt::StrongFocus : Qt::NoFocus);
    if (wanted != height())
        setFixedHeight(wanted);
}

// ---- the block ----

BatchNotes::BatchNotes(DownloadQueue* queue, QWidget* parent)
    : QWidget(parent), m_title(new QLabel(this)), m_rows(new BatchNotesModel(queue, this)) {
    setObjectName(QStringLiteral("batch_notes"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_title->setObjectName(QStringLiteral("dialog_title_batch_notes"));
    TextStyle::apply(m_title, TextStyle::Role::Subheadline, QFont::Medium);
    layout->addWidget(m_title);
    m_list = new BatchNotesList(m_rows, this);
    layout->addWidget(m_list);
    connect(m_rows, &QAbstractItemModel::modelReset, this, &BatchNotes::refresh);
    refresh();
}

bool BatchNotes::informs(const BatchNote& note) {
    return note.reason == u"subreddit-expanded" || note.reason == u"listing-truncated";
}

QString BatchNotes::symbolOf(bool informs) {
    return informs ? QStringLiteral("info.circle") : QStringLiteral("exclamationmark.triangle");
}

std::vector<BatchNote> BatchNotes::ordered(const std::vector<BatchNote>& notes) {
    std::vector<BatchNote> out = notes;
    std::stable_partition(out.begin(), out.end(), [](const BatchNote& n) { return !informs(n); });
    return out;
}

void BatchNotes::refresh() {
    m_title->setText(Strings::text(QStringLiteral("dialog_title_batch_notes")));
    const bool any = m_rows->rowCount() > 0;
    setVisible(any);
    // Measured now, so the block shows at its height at once rather than a turn later.
    if (any)
        m_list->layOutNow();
}
