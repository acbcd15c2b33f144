#include "transcription/TranscriptionRowDelegate.h"

#include "AppModel.h"
#include "Strings.h"
#include "TranscriptionJob.h"
#include "kit/Icons.h"
#include "kit/RowListView.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"
#include "rows/RowIcon.h"
#include "transcription/TranscriptionListModel.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace {

constexpr int verticalPadding = 6;
constexpr int spacing = 12;
constexpr int controlSpacing = 6;
constexpr int barHeight = 6;
constexpr int lineGap = 4;

using Control = TranscriptionRowContent::Control;

QPixmap symbolPixmap(const QString& symbol, int size, const QColor& colour, qreal ratio) {
    // Tinting is the costly part of an icon; each symbol, size and colour is drawn once.
    static QHash<QString, QPixmap> cache;
    const QString key = symbol + u'|' + QString::number(size) + u'|' + colour.name(QColor::HexArgb) + u'|' +
                        QString::number(ratio);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.insert(key, Icons::tinted(symbol, size, colour, ratio));
    return *it;
}

QFont titleFont() {
    return TextStyle::font(TextStyle::Role::Body, QFont::Medium);
}
QFont captionFont() {
    return TextStyle::font(TextStyle::Role::Caption);
}
QFont cancelFont() {
    return TextStyle::font(TextStyle::Role::Body);
}

QString oneLine(QString text) {
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    return text;
}

} // namespace

TranscriptionRowDelegate::TranscriptionRowDelegate(AppModel* model, TranscriptionListModel* rows,
                                                   QAbstractItemView* view)
    : QStyledItemDelegate(view), m_model(model), m_rows(rows), m_view(view) {
    view->setMouseTracking(true);
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
        QSize size = RowIcon::frame;
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

int TranscriptionRowDelegate::controlAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const {
    const std::shared_ptr<TranscriptionJob> job = m_rows->jobAt(index.row());
    if (!job)
        return -1;
    const auto placed = layout(row, TranscriptionRowContent::of(*job));
    for (const Placed& p : placed) {
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
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QPalette p = Theme::palette();
    const QRect row = option.rect;
    const TranscriptionRowContent c = TranscriptionRowContent::of(*job);
    const qreal ratio = painter->device()->devicePixelRatioF();

    // Icon: the quote symbol on a quiet tile.
    const QRectF tile(row.left(), row.center().y() - iconSize.height() / 2.0, iconSize.width(),
                      iconSize.height());
    QPainterPath tilePath;
    tilePath.addRoundedRect(tile, 4, 4);
    painter->fillPath(tilePath, Theme::ink(Theme::Ink::Quaternary, p));
    const QPixmap quote =
        symbolPixmap(QStringLiteral("text.quote"), 16, Theme::ink(Theme::Ink::Accent, p), ratio);
    const QSizeF quoteSize = quote.deviceIndependentSize();
    painter->drawPixmap(
        QPointF(tile.center().x() - quoteSize.width() / 2, tile.center().y() - quoteSize.height() / 2),
        quote);

    // Controls.
    const auto placed = layout(row, c);
    for (const Placed& control : placed) {
        const bool hovered = m_hoverIndex == index && m_hoverControl == int(control.control);
        if (control.control == Control::Cancel) {
            QFont font = cancelFont();
            font.setUnderline(hovered);
            painter->setFont(font);
            painter->setPen(Theme::ink(Theme::Ink::Accent, p));
            painter->drawText(control.rect, Qt::AlignCenter,
                              Strings::text(TranscriptionRowContent::labelKey(control.control)));
            continue;
        }
        if (hovered) {
            QPainterPath back;
            back.addRoundedRect(QRectF(control.rect), 4, 4);
            painter->fillPath(back, Theme::ink(Theme::Ink::Quaternary, p));
        }
        const QColor colour = Theme::ink(hovered ? Theme::Ink::Primary : Theme::Ink::Secondary, p);
        const QPixmap pixmap =
            symbolPixmap(TranscriptionRowContent::symbol(control.control), 14, colour, ratio);
        const QSizeF logical = pixmap.deviceIndependentSize();
        painter->drawPixmap(QPointF(control.rect.center().x() - logical.width() / 2.0 + 0.5,
                                    control.rect.center().y() - logical.height() / 2.0 + 0.5),
                            pixmap);
    }

    // Title, bar and caption, centred as a block between the icon and the controls.
    const QRect text = textRect(row, placed);
    const int textLeft = text.left();
    const int width = text.width();
    const QFontMetrics titleMetrics(titleFont()), captionMetrics(captionFont());
    const int block = titleMetrics.height() + lineGap + (c.showsProgress ? barHeight + lineGap : 0) +
                      captionMetrics.height();
    int y = row.center().y() - block / 2;

    painter->setFont(titleFont());
    painter->setPen(Theme::ink(Theme::Ink::Primary, p));
    painter->drawText(QRect(textLeft, y, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(oneLine(job->title()), Qt::ElideRight, width));
    y += titleMetrics.height() + lineGap;

    if (c.showsProgress) {
        const QRectF track(textLeft, y, std::min(width, barMaximumWidth), barHeight);
        QPainterPath trackPath;
        trackPath.addRoundedRect(track, barHeight / 2.0, barHeight / 2.0);
        painter->fillPath(trackPath, Theme::ink(Theme::Ink::Quaternary, p));
        const QRectF fill(track.left(), track.top(), track.width() * c.fraction, barHeight);
        if (fill.width() > 0) {
            QPainterPath fillPath;
            fillPath.addRoundedRect(fill, barHeight / 2.0, barHeight / 2.0);
            painter->fillPath(fillPath, Theme::ink(Theme::Ink::Accent, p));
        }
        y += barHeight + lineGap;
    }

    painter->setFont(captionFont());
    painter->setPen(Theme::ink(c.failed ? Theme::Ink::Warning : Theme::Ink::Secondary, p));
    painter->drawText(QRect(textLeft, y, width, captionMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(oneLine(c.caption), Qt::ElideRight, width));

    // A divider between rows, none under the last.
    if (index.row() + 1 < index.model()->rowCount()) {
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(Theme::ink(Theme::Ink::Quaternary, p), 1));
        painter->drawLine(row.left(), row.bottom(), row.right(), row.bottom());
    }
    RowListView::paintFocusRing(painter, option, row.adjusted(0, 1, 0, -1));
    painter->restore();
}

bool TranscriptionRowDelegate::editorEvent(QEvent* event, QAbstractItemModel*,
                                           const QStyleOptionViewItem& option, const QModelIndex& index) {
    const auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int control = controlAt(index, option.rect, mouse->position().toPoint());
    if (type == QEvent::MouseMove) {
        if (m_hoverIndex != index || m_hoverControl != control) {
            m_hoverIndex = index;
            m_hoverControl = control;
            m_view->viewport()->setCursor(control >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
            m_view->viewport()->update();
        }
        return false;
    }
    if (mouse->button() != Qt::LeftButton)
        return false;
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        m_pressedIndex = index;
        m_pressedControl = control;
        return control >= 0;
    }
    const int pressed = std::exchange(m_pressedControl, -1);
    const QPersistentModelIndex pressedIndex = std::exchange(m_pressedIndex, QPersistentModelIndex());
    if (control < 0 || control != pressed || pressedIndex != index)
        return false;
    // The list's own pointer: removing the row drops it from the list while the action runs.
    const std::shared_ptr<TranscriptionJob> job = m_rows->jobAt(index.row());
    TranscriptionRowContent::trigger(*m_model, job, static_cast<Control>(control));
    return true;
}

bool TranscriptionRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                         const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() == QEvent::ToolTip) {
        const std::shared_ptr<TranscriptionJob> job = m_rows->jobAt(index.row());
        if (job) {
            for (const Placed& p : layout(option.rect, TranscriptionRowContent::of(*job))) {
                if (p.rect.contains(event->pos()) && p.control != Control::Cancel) {
                    QToolTip::showText(event->globalPos(),
                                       Strings::text(TranscriptionRowContent::labelKey(p.control)), view,
                                       p.rect);
                    return true;
                }
            }
            // A title cut short is shown whole.
            const QRect text = textRect(option.rect, layout(option.rect, TranscriptionRowContent::of(*job)));
            const QString title = oneLine(job->title());
            if (text.contains(event->pos()) &&
                QFontMetrics(titleFont()).horizontalAdvance(title) > text.width()) {
                QToolTip::showText(event->globalPos(), title, view, text);
                return true;
            }
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
