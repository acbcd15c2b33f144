#include "batch/ListingRowDelegate.h"

#include "Strings.h"
#include "batch/ListingRowsModel.h"
#include "kit/TextStyle.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace {

using Kind = ListingRowsModel::Kind;

Kind kindOf(const QModelIndex& index) {
    return static_cast<Kind>(index.data(ListingRowsModel::KindRole).toInt());
}

QFont bodyFont() {
    return TextStyle::font(TextStyle::Role::Body);
}

constexpr int indicatorGap = 8;

// The style's size for a check box, so the entries keep the rhythm of the dialog's own controls.
QSize indicatorSize() {
    QStyle* style = QApplication::style();
    return {style->pixelMetric(QStyle::PM_IndicatorWidth), style->pixelMetric(QStyle::PM_IndicatorHeight)};
}
// Room inside a row for the focus ring around its content.
constexpr int ringInset = ListingRowDelegate::inset;

} // namespace

ListingRowDelegate::ListingRowDelegate(QObject* parent) : RowDelegate(nullptr, parent) {}

void ListingRowDelegate::swallowNextRelease() {
    m_opened.start();
}

int ListingRowDelegate::sectionHeight() {
    return 7 + QFontMetrics(titleFont()).height() + 2 + QFontMetrics(captionFont()).height() + 7 + 1;
}

int ListingRowDelegate::entryHeight() {
    return std::max(indicatorSize().height(), QFontMetrics(bodyFont()).height()) + 2 + 4;
}

int ListingRowDelegate::loadMoreHeight() {
    return 8 + QFontMetrics(bodyFont()).height() + 8;
}

QSize ListingRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    // No width of its own: the list stretches every row to the width in sight, never wider.
    switch (kindOf(index)) {
    case Kind::Section:
        return {1, sectionHeight()};
    case Kind::Entry:
        return {1, entryHeight()};
    case Kind::LoadMore:
        return {1, loadMoreHeight()};
    }
    return {};
}

QRect ListingRowDelegate::openLinkRect(const QRect& row) {
    const QFontMetrics metrics(bodyFont());
    const int width = metrics.horizontalAdvance(Strings::text(QStringLiteral("button_open_group"))) + 4;
    return {row.right() - ringInset - width + 1, row.top() + (row.height() - 1 - metrics.height()) / 2, width,
            metrics.height()};
}

void ListingRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const Kind kind = kindOf(index);
    if (kind == Kind::LoadMore)
        return;
    painter->save();
    const QPalette p = Theme::palette();
    const QRect row = option.rect.adjusted(ringInset, 0, -ringInset, 0);
    if (kind == Kind::Section) {
        const QRect link = openLinkRect(option.rect);
        const int width = link.left() - 8 - row.left();
        const int nameTop = row.top() + 7;
        const int captionTop = nameTop + QFontMetrics(titleFont()).height() + 2;
        paintLine(painter, QRect(row.left(), nameTop, width, QFontMetrics(titleFont()).height()),
                  index.data(ListingRowsModel::SectionNameRole).toString(), titleFont(),
                  Theme::ink(Theme::Ink::Primary, p));
        const QString selected = Strings::text(
            QStringLiteral("label_section_selected"),
            {{QStringLiteral("n"), QString::number(index.data(ListingRowsModel::SelectedRole).toInt())},
             {QStringLiteral("total"), QString::number(index.data(ListingRowsModel::TotalRole).toInt())}});
        paintLine(painter, QRect(row.left(), captionTop, width, QFontMetrics(captionFont()).height()),
                  selected, captionFont(), Theme::ink(Theme::Ink::Secondary, p));
        paintLine(painter, link, Strings::text(QStringLiteral("button_open_group")), bodyFont(),
                  Theme::ink(Theme::Ink::Accent, p), Qt::AlignRight | Qt::AlignVCenter);
        painter->fillRect(QRect(row.left(), row.bottom(), row.width(), 1),
                          Theme::ink(Theme::Ink::Quaternary, p));
        paintFocus(painter, option, option.rect.adjusted(0, 1, 0, -1));
        painter->restore();
        return;
    }
    // An entry: a check box and one line of text.
    const QSize side = indicatorSize();
    const QRect box(row.left(), row.top() + (row.height() - side.height()) / 2, side.width(), side.height());
    paintCheckBox(painter, box, index.data(Qt::CheckStateRole).toInt() == Qt::Checked);
    const int left = box.right() + 1 + indicatorGap;
    paintLine(painter, QRect(left, row.top(), std::max(0, row.right() - left), row.height()),
              index.data(Qt::DisplayRole).toString(), bodyFont(), Theme::ink(Theme::Ink::Primary, p));
    paintFocus(painter, option, option.rect, 4);
    painter->restore();
}

bool ListingRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                     const QStyleOptionViewItem& option, const QModelIndex& index) {
    const Kind kind = kindOf(index);
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const QPoint at = mouse->position().toPoint();
    if (type == QEvent::MouseButtonRelease && m_opened.isValid()) {
        const bool sameGesture = m_opened.elapsed() <= QApplication::doubleClickInterval();
        m_opened.invalidate();
        if (sameGesture)
            return true;
    }
    if (kind == Kind::Entry) {
        // The whole row is the toggle's label; the release toggles, as on a check box.
        if (type == QEvent::MouseButtonRelease && option.rect.contains(at))
            model->setData(index, QVariant(), Qt::CheckStateRole);
        return true;
    }
    if (kind == Kind::Section && type == QEvent::MouseButtonRelease &&
        openLinkRect(option.rect).contains(at)) {
        swallowNextRelease();
        Q_EMIT openRequested(index);
        return true;
    }
    return false;
}
