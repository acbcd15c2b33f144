#include "transcription/TranscriptionRowDelegate.h"

#include "AppModel.h"
#include "Strings.h"
#include "TranscriptionJob.h"
#include "kit/TextStyle.h"
#include "transcription/TranscriptionListModel.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int verticalPadding = 6;
constexpr int spacing = 12;
constexpr int controlSpacing = 6;
constexpr int barHeight = 6;
constexpr int lineGap = 4;

using Control = TranscriptionRowContent::Control;

QFont cancelFont() {
    return TextStyle::font(TextStyle::Role::Body);
}

} // namespace

TranscriptionRowDelegate::TranscriptionRowDelegate(AppModel* model, TranscriptionListModel* rows,
                                                   QAbstractItemView* view)
    : RowDelegate(view), m_model(model), m_rows(rows) {
    setDoubleClicksPress(true);
    setHandOverParts(true);
}

int TranscriptionRowDelegate::rowHeight() {
    const int block = QFontMetrics(titleFont()).height() + lineGap + barHeight + lineGap +
                      QFontMetrics(captionFont()).height();
    return std::max(minimumHeight, block + 2 * verticalPadding);
}

QSize TranscriptionRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width(), rowHeight()};
}

std::vector<TranscriptionRowDelegate::Placed>
TranscriptionRowDelegate::layout(const QRect& row, const TranscriptionRowContent& content) {
    std::vector<Placed> placed;
    int right = row.right() + 1;
    const QFontMetrics cancel(cancelFont());
    for (auto it = content.controls.rbegin(); it != content.controls.rend(); ++it) {
        QSize size = iconFrame;
        if (*it == Control::Cancel)
            size = QSize(cancel.horizontalAdvance(Strings::text(TranscriptionRowContent::labelKey(*it))) + 4,
                         cancel.height() + 2);
        const QRect rect(right - size.width(),
                         row.center().y() - size.height() / 2 + (size.height() % 2 ? 0 : 1), size.width(),
                         size.height());
        placed.insert(placed.begin(), {*it, rect});
        right = rect.left() - controlSpacing;
    }
    return placed;
}

QRect TranscriptionRowDelegate::textRect(const QRect& row, const std::vector<Placed>& placed) {
    const int left = row.left() + iconSize.width() + spacing;
    const int right = (placed.empty() ? row.right() : placed.front().rect.left()) - 8;
    return QRect(left, row.top(), std::max(0, right - left), row.height());
}

int TranscriptionRowDelegate::partAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const {
    const std::shared_ptr<TranscriptionJob> job = m_rows->jobAt(index.row());
    if (!job)
        return -1;
    for (const Placed& p : layout(row, TranscriptionRowContent::of(*job))) {
        if (p.rect.contains(pos))
            return int(p.control);
    }
    return -1;
}

void TranscriptionRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    const std::shared_ptr<TranscriptionJob> job = m_rows->jobAt(index.row());
    if (!job)
        return;
    beginRow(painter);
    const QPalette p = Theme::palette();
    const QRect row = option.rect;
    const TranscriptionRowContent c = TranscriptionRowContent::of(*job);

    // Icon: the quote symbol on a quiet tile.
    const QRectF tile(row.left(), row.center().y() - iconSize.height() / 2.0, iconSize.width(),
                      iconSize.height());
    QPainterPath tilePath;
    tilePath.addRoundedRect(tile, 4, 4);
    painter->fillPath(tilePath, Theme::ink(Theme::Ink::Quaternary, p));
    drawCentred(painter, tile,
                symbol(QStringLiteral("text.quote"), 16, Theme::ink(Theme::Ink::Accent, p),
                       painter->device()->devicePixelRatioF()));

    // Controls: the cancel link, then icons.
    const auto placed = layout(row, c);
    for (const Placed& control : placed) {
        const bool hovered = isHovered(index, int(control.control));
        if (control.control != Control::Cancel) {
            paintIcon(painter, control.rect, TranscriptionRowContent::symbol(control.control), true, hovered);
            continue;
        }
        QFont font = cancelFont();
        font.setUnderline(hovered);
        painter->setFont(font);
        painter->setPen(Theme::ink(Theme::Ink::Accent, p));
        painter->drawText(control.rect, Qt::AlignCenter,
                          Strings::text(TranscriptionRowContent::labelKey(control.control)));
    }

    // Title, bar and caption, centred as a block between the icon and the controls.
    const QRect text = textRect(row, placed);
    const Lines at =
        lines(text.left(), text.width(), row.center().y(), lineGap, c.showsProgress ? barHeight : 0);
    paintLine(painter, at.title, job->title(), titleFont(), Theme::ink(Theme::Ink::Primary, p));
    if (c.showsProgress)
        paintBar(
            painter,
            QRectF(at.bar.topLeft(), QSizeF(std::min(at.bar.width(), double(barMaximumWidth)), barHeight)),
            c.fraction);
    paintLine(painter, at.caption, c.caption, captionFont(),
              Theme::ink(c.failed ? Theme::Ink::Warning : Theme::Ink::Secondary, p));

    // A divider between rows, none under the last.
    if (index.row() + 1 < index.model()->rowCount()) {
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(Theme::ink(Theme::Ink::Quaternary, p), 1));
        painter->drawLine(row.left(), row.bottom(), row.right(), row.bottom());
    }
    paintFocus(painter, option, row.adjusted(0, 1, 0, -1));
    painter->restore();
}

void TranscriptionRowDelegate::clicked(const QModelIndex& index, int part, Qt::KeyboardModifiers) {
    // The list's own pointer: removing the row drops it from the list while the action runs.
    const std::shared_ptr<TranscriptionJob> job = m_rows->jobAt(index.row());
    TranscriptionRowContent::trigger(*m_model, job, static_cast<Control>(part));
}

RowDelegate::Tip TranscriptionRowDelegate::tipAt(const QModelIndex& index, const QRect& row,
                                                 const QPoint& pos) const {
    const std::shared_ptr<TranscriptionJob> job = m_rows->jobAt(index.row());
    if (!job)
        return {};
    const auto placed = layout(row, TranscriptionRowContent::of(*job));
    for (const Placed& p : placed) {
        if (p.rect.contains(pos))
            return p.control == Control::Cancel
                       ? Tip{}
                       : Tip{Strings::text(TranscriptionRowContent::labelKey(p.control)), p.rect};
    }
    // A title cut short is shown whole.
    const QRect text = textRect(row, placed);
    const QString title = oneLine(job->title());
    if (text.contains(pos) && QFontMetrics(titleFont()).horizontalAdvance(title) > text.width())
        return {title, text};
    return {};
}
