#include "library/LibraryRowDelegate.h"

#include "AppModel.h"
#include "Job.h"
#include "Strings.h"
#include "kit/Icons.h"
#include "kit/RowListView.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"
#include "library/HighlightedExcerpt.h"
#include "library/LibraryLists.h"
#include "library/LibraryPaneModel.h"
#include "rows/RowIcon.h"
#include "rows/ThumbnailCache.h"
#include "rows/ThumbnailImage.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolTip>

namespace {

constexpr int sideInset = 6;
constexpr int spacing = 12;
constexpr int iconSpacing = 2;
constexpr int checkboxSize = 16;
constexpr int hitColumn = 56;
constexpr int hitLines = 3;

using Kind = LibraryPaneModel::Kind;
using Spot = LibraryRowDelegate::Spot;

QPixmap symbolPixmap(const QString& symbol, const QColor& colour, qreal ratio, int size = 14) {
    static QHash<QString, QPixmap> cache;
    const QString key = symbol + u'|' + colour.name(QColor::HexArgb) + u'|' + QString::number(ratio) + u'|' +
                        QString::number(size);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.insert(key, Icons::tinted(symbol, size, colour, ratio));
    return *it;
}

void drawCentred(QPainter* painter, const QRectF& box, const QPixmap& pixmap) {
    const QSizeF logical = pixmap.deviceIndependentSize();
    painter->drawPixmap(QPointF(std::round(box.center().x() - logical.width() / 2.0),
                                std::round(box.center().y() - logical.height() / 2.0)),
                        pixmap);
}

QString oneLine(QString text) {
    text.replace(u'\n', u' ');
    return text;
}

// The slot of each icon of an item row, left to right.
constexpr std::array<Spot, 5> itemSlots{Spot::First, Spot::Open, Spot::Reveal, Spot::Web, Spot::Remove};

QFont openFont() {
    return TextStyle::font(TextStyle::Role::Body);
}

} // namespace

namespace {

// The excerpt laid out as the hit row draws it.
void layOutExcerpt(QTextDocument& document, const QString& excerpt, const QPalette& p, int width) {
    document.setDefaultFont(TextStyle::font(TextStyle::Role::Callout));
    document.setDocumentMargin(0);
    document.setDefaultStyleSheet(
        QStringLiteral("body { color: %1; }").arg(Theme::ink(Theme::Ink::Primary, p).name(QColor::HexRgb)));
    document.setHtml(QStringLiteral("<body>") +
                     HighlightedExcerpt::richText(excerpt, Theme::ink(Theme::Ink::Accent, p)) +
                     QStringLiteral("</body>"));
    document.setTextWidth(std::max(1, width));
}

int excerptWidth(int rowWidth, bool exists) {
    return rowWidth - 2 * sideInset - hitColumn - spacing - (exists ? 8 : 26);
}

int excerptHeight(const QTextDocument& document) {
    const QFontMetrics metrics(TextStyle::font(TextStyle::Role::Callout));
    return std::min(int(std::ceil(document.size().height())), hitLines * metrics.lineSpacing());
}

} // namespace

LibraryRowDelegate::LibraryRowDelegate(AppModel* model, LibraryPaneModel* rows, QAbstractItemView* view)
    : QStyledItemDelegate(view), m_model(model), m_rows(rows), m_view(view),
      m_thumbnails(new ThumbnailCache(&model->libraryPart(), pictureSize, this)) {
    view->setMouseTracking(true);
    m_thumbnails->setDevicePixelRatio(view->devicePixelRatioF());
    connect(m_thumbnails, &ThumbnailCache::loaded, view->viewport(), qOverload<>(&QWidget::update));
}

QSize LibraryRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    switch (Kind(index.data(LibraryPaneModel::KindRole).toInt())) {
    case Kind::HitsHeader:
    case Kind::ItemsHeader:
        return {option.rect.width(), headerHeight};
    case Kind::Hit:
        if (const SearchHit* hit = m_rows->hitAt(index.row()))
            return {option.rect.width(), hitRowHeight(*hit, m_view->viewport()->width())};
        return {option.rect.width(), rowHeight};
    case Kind::Item:
    case Kind::Group:
        break;
    }
    return {option.rect.width(), rowHeight};
}

QRect LibraryRowDelegate::spotRect(int row, const QRect& rect, Spot spot) const {
    if (row < 0 || row >= m_rows->rowCount())
        return {};
    const Kind kind = m_rows->kindAt(row);
    if (kind != Kind::Item && kind != Kind::Group)
        return {};
    if (spot == Spot::Checkbox)
        return {rect.left() + sideInset, rect.center().y() - checkboxSize / 2 + 1, checkboxSize,
                checkboxSize};
    if (kind == Kind::Group) {
        if (spot != Spot::OpenGroup)
            return {};
        const QFontMetrics metrics(openFont());
        const int width = metrics.horizontalAdvance(Strings::text(QStringLiteral("button_open_group"))) + 12;
        return {rect.right() - sideInset - width + 1, rect.center().y() - metrics.height() / 2 - 3, width,
                metrics.height() + 6};
    }
    const auto at = std::find(itemSlots.begin(), itemSlots.end(), spot);
    if (at == itemSlots.end())
        return {};
    const int i = int(at - itemSlots.begin());
    const QSize frame = RowIcon::frame;
    const int total = int(itemSlots.size()) * frame.width() + int(itemSlots.size() - 1) * iconSpacing;
    const int left = rect.right() - sideInset - total + 1 + i * (frame.width() + iconSpacing);
    return {left, rect.center().y() - frame.height() / 2, frame.width(), frame.height()};
}

Spot LibraryRowDelegate::spotAt(int row, const QRect& rect, const QPoint& pos) const {
    for (Spot spot :
         {Spot::Checkbox, Spot::First, Spot::Open, Spot::Reveal, Spot::Web, Spot::Remove, Spot::OpenGroup}) {
        // The checkbox takes a little more than its box, as a control does.
        const QRect box = spotRect(row, rect, spot);
        if (!box.isEmpty() && box.adjusted(-3, -3, 3, 3).contains(pos))
            return spot;
    }
    return Spot::None;
}

bool LibraryRowDelegate::spotEnabled(int row, Spot spot) const {
    if (spot == Spot::Checkbox || spot == Spot::OpenGroup)
        return true;
    const LibraryItem* item = m_rows->itemAt(row);
    if (!item)
        return false;
    const LibraryRowContent c = LibraryRowContent::of(*m_model, *item);
    switch (spot) {
    case Spot::First:
        switch (c.first) {
        case LibraryRowContent::First::Transcribe:
            return c.transcribe.look == TranscribeSlot::Look::Icon && c.transcribe.enabled;
        case LibraryRowContent::First::DownloadAgain:
            return c.downloadAgain.enabled;
        case LibraryRowContent::First::Empty:
            return false;
        }
        return false;
    case Spot::Open:
        return c.icons[0].enabled;
    case Spot::Reveal:
        return c.icons[1].enabled;
    case Spot::Web:
        return c.icons[2].enabled;
    case Spot::Remove:
        return c.icons[3].enabled;
    default:
        return false;
    }
}

QString LibraryRowDelegate::spotLabel(int row, Spot spot) const {
    if (const LibraryGroup* group = m_rows->groupAt(row))
        return spot == Spot::Checkbox ? group->name : QString();
    const LibraryItem* item = m_rows->itemAt(row);
    if (!item)
        return {};
    const LibraryRowContent c = LibraryRowContent::of(*m_model, *item);
    switch (spot) {
    case Spot::Checkbox:
        return LibraryRowContent::accessibleTitle(*item);
    case Spot::First:
        if (c.first == LibraryRowContent::First::DownloadAgain)
            return Strings::text(c.downloadAgain.labelKey);
        if (c.first == LibraryRowContent::First::Transcribe)
            return Strings::text(c.transcribe.helpKey.value_or(c.transcribe.labelKey));
        return {};
    case Spot::Open:
        return Strings::text(c.icons[0].labelKey);
    case Spot::Reveal:
        return Strings::text(c.icons[1].labelKey);
    case Spot::Web:
        return Strings::text(c.icons[2].labelKey);
    case Spot::Remove:
        return Strings::text(c.icons[3].labelKey);
    default:
        return {};
    }
}

void LibraryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const bool selected = index.data(LibraryPaneModel::SelectedRole).toBool();
    switch (Kind(index.data(LibraryPaneModel::KindRole).toInt())) {
    case Kind::HitsHeader:
    case Kind::ItemsHeader:
        paintHeader(painter, option.rect, index.data(Qt::DisplayRole).toString());
        break;
    case Kind::Item:
        paintItem(painter, option.rect, index, selected);
        break;
    case Kind::Group:
        paintGroup(painter, option.rect, index, selected);
        break;
    case Kind::Hit:
        paintHit(painter, option.rect, index, selected);
        break;
    }
    if (const Kind kind = Kind(index.data(LibraryPaneModel::KindRole).toInt());
        kind != Kind::HitsHeader && kind != Kind::ItemsHeader)
        RowListView::paintFocusRing(painter, option, option.rect);
    painter->restore();
}

void LibraryRowDelegate::paintHeader(QPainter* painter, const QRect& rect, const QString& text) const {
    const QPalette p = Theme::palette();
    const QFont font = TextStyle::font(TextStyle::Role::Subheadline, QFont::DemiBold);
    const QFontMetrics metrics(font);
    painter->setFont(font);
    painter->setPen(Theme::ink(Theme::Ink::Secondary, p));
    const QRect box = rect.adjusted(sideInset, 0, -sideInset, -4);
    painter->drawText(box, Qt::AlignLeft | Qt::AlignBottom,
                      metrics.elidedText(oneLine(text), Qt::ElideRight, box.width()));
}

void LibraryRowDelegate::paintCheckbox(QPainter* painter, const QRect& box, bool on) const {
    // Drawn here rather than by the style, so it reads in dark mode as in light.
    const QPalette p = Theme::palette();
    const QRectF frame = QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(frame, 3.5, 3.5);
    painter->save();
    if (on) {
        painter->fillPath(path, Theme::ink(Theme::Ink::Accent, p));
        QPen tick(Theme::ink(Theme::Ink::OnAccent, p), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter->setPen(tick);
        const QPointF o = frame.topLeft();
        const double w = frame.width();
        painter->drawPolyline(QPolygonF{o + QPointF(w * 0.24, w * 0.52), o + QPointF(w * 0.43, w * 0.7),
                                        o + QPointF(w * 0.76, w * 0.3)});
    } else {
        painter->fillPath(path, p.color(QPalette::Base));
        painter->setPen(QPen(Theme::ink(Theme::Ink::Tertiary, p), 1));
        painter->drawPath(path);
    }
    painter->restore();
}

void LibraryRowDelegate::paintPicture(QPainter* painter, const QRect& frame, const QImage& image,
                                      bool dim) const {
    const QPalette p = Theme::palette();
    painter->save();
    QPainterPath clip;
    clip.addRoundedRect(QRectF(frame), 4, 4);
    painter->setClipPath(clip);
    if (dim)
        painter->setOpacity(0.4);
    painter->fillRect(frame, Theme::ink(Theme::Ink::Quaternary, p));
    if (!image.isNull())
        painter->drawImage(ThumbnailImage::coverRect(image.size(), QRectF(frame)), image);
    painter->restore();
}

void LibraryRowDelegate::paintIcon(QPainter* painter, const QRect& box, const QString& symbol, bool enabled,
                                   bool hovered) const {
    const QPalette p = Theme::palette();
    if (hovered && enabled) {
        QPainterPath back;
        back.addRoundedRect(QRectF(box), 4, 4);
        painter->fillPath(back, Theme::ink(Theme::Ink::Quaternary, p));
    }
    const QColor colour = !enabled  ? Theme::ink(Theme::Ink::Quaternary, p)
                          : hovered ? Theme::ink(Theme::Ink::Primary, p)
                                    : Theme::ink(Theme::Ink::Secondary, p);
    drawCentred(painter, box, symbolPixmap(symbol, colour, painter->device()->devicePixelRatioF()));
}

namespace {

void paintSelection(QPainter* painter, const QRect& rect, bool selected) {
    if (!selected)
        return;
    QPainterPath back;
    back.addRoundedRect(QRectF(rect.adjusted(1, 1, -1, -1)), 6, 6);
    painter->fillPath(back, Theme::withOpacity(Theme::ink(Theme::Ink::Accent), 0.16));
}

// The title line and the caption line, centred as a block in `box`.
struct TwoLines {
    int titleTop;
    int captionTop;
};

TwoLines twoLines(const QRect& box, const QFontMetrics& title, const QFontMetrics& caption) {
    const int block = title.height() + 3 + caption.height();
    const int top = box.center().y() - block / 2;
    return {top, top + title.height() + 3};
}

} // namespace

void LibraryRowDelegate::paintItem(QPainter* painter, const QRect& rect, const QModelIndex& index,
                                   bool selected) const {
    const LibraryItem* item = m_rows->itemAt(index.row());
    if (!item)
        return;
    const QPalette p = Theme::palette();
    const LibraryRowContent c = LibraryRowContent::of(*m_model, *item);
    const qreal ratio = painter->device()->devicePixelRatioF();
    paintSelection(painter, rect, selected);
    const QRect check = spotRect(index.row(), rect, Spot::Checkbox);
    paintCheckbox(painter, check, selected);

    const QRect picture(check.right() + 1 + spacing, rect.center().y() - pictureSize.height() / 2,
                        pictureSize.width(), pictureSize.height());
    const QImage image = c.picture
                             ? m_thumbnails->image({}, item->path, {}, item->path)
                             : m_thumbnails->image(item->thumbURL, item->path, item->url, item->thumbPath);
    paintPicture(painter, picture, image, c.missing);

    // Icons: the first slot, then the four.
    const bool hoverRow = m_hoverIndex == index;
    const QRect first = spotRect(index.row(), rect, Spot::First);
    switch (c.first) {
    case LibraryRowContent::First::Transcribe:
        if (c.transcribe.look == TranscribeSlot::Look::Progress) {
            const QRectF ring = QRectF(first).adjusted(4, 1, -4, -1);
            const double side = std::min(ring.width(), ring.height()) - 2;
            const QRectF circle(ring.center().x() - side / 2, ring.center().y() - side / 2, side, side);
            painter->setPen(QPen(Theme::ink(Theme::Ink::Quaternary, p), 2));
            painter->drawEllipse(circle);
            painter->setPen(QPen(Theme::ink(Theme::Ink::Accent, p), 2, Qt::SolidLine, Qt::FlatCap));
            painter->drawArc(circle, 90 * 16, -int(360 * 16 * c.transcribe.fraction));
        } else {
            paintIcon(painter, first, c.transcribe.symbol, c.transcribe.enabled,
                      hoverRow && m_hoverSpot == Spot::First);
        }
        break;
    case LibraryRowContent::First::DownloadAgain:
        paintIcon(painter, first, c.downloadAgain.symbol, c.downloadAgain.enabled,
                  hoverRow && m_hoverSpot == Spot::First);
        break;
    case LibraryRowContent::First::Empty:
        break;
    }
    for (int i = 0; i < LibraryRowContent::iconCount; ++i) {
        const Spot spot = itemSlots[std::size_t(i) + 1];
        paintIcon(painter, spotRect(index.row(), rect, spot), c.icons[i].symbol, c.icons[i].enabled,
                  hoverRow && m_hoverSpot == spot);
    }

    // Title and facts.
    const int textLeft = picture.right() + 1 + spacing;
    const int textRight = first.left() - 8;
    const int width = std::max(0, textRight - textLeft);
    const QFont titleFont = TextStyle::font(TextStyle::Role::Body, QFont::Medium);
    const QFont captionFont = TextStyle::font(TextStyle::Role::Caption);
    const QFontMetrics titleMetrics(titleFont), captionMetrics(captionFont);
    const TwoLines lines = twoLines(rect, titleMetrics, captionMetrics);
    painter->setFont(titleFont);
    painter->setPen(Theme::ink(Theme::Ink::Primary, p));
    painter->drawText(QRect(textLeft, lines.titleTop, width, titleMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(oneLine(item->title), Qt::ElideRight, width));

    painter->setFont(captionFont);
    int x = textLeft;
    const int right = textLeft + width;
    const QRect line(textLeft, lines.captionTop, width, captionMetrics.height());
    auto fact = [&](const QString& text, const QString& symbol, Theme::Ink symbolInk, Theme::Ink textInk) {
        if (x >= right)
            return;
        if (!symbol.isEmpty()) {
            const int side = captionMetrics.height();
            if (x + side > right)
                return;
            drawCentred(painter, QRectF(x, line.top(), side, side),
                        symbolPixmap(symbol, Theme::ink(symbolInk, p), ratio, side - 2));
            x += side + 3;
        }
        const QString shown = captionMetrics.elidedText(oneLine(text), Qt::ElideRight, right - x);
        painter->setPen(Theme::ink(textInk, p));
        painter->drawText(QRect(x, line.top(), right - x, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
                          shown);
        x += captionMetrics.horizontalAdvance(shown) + 8;
    };
    if (!c.channel.isEmpty())
        fact(c.channel, {}, Theme::Ink::Secondary, Theme::Ink::Secondary);
    if (!c.size.isEmpty())
        fact(c.size, {}, Theme::Ink::Secondary, Theme::Ink::Secondary);
    if (c.transcribed)
        fact(Strings::text(QStringLiteral("transcribe_already_done")), QStringLiteral("text.quote"),
             Theme::Ink::Accent, Theme::Ink::Secondary);
    if (c.missing)
        fact(Strings::text(QStringLiteral("label_file_missing")), QStringLiteral("questionmark.folder"),
             Theme::Ink::Warning, Theme::Ink::Warning);
}

void LibraryRowDelegate::paintGroup(QPainter* painter, const QRect& rect, const QModelIndex& index,
                                    bool selected) const {
    const LibraryGroup* group = m_rows->groupAt(index.row());
    if (!group)
        return;
    const QPalette p = Theme::palette();
    paintSelection(painter, rect, selected);
    const QRect check = spotRect(index.row(), rect, Spot::Checkbox);
    paintCheckbox(painter, check, selected);
    const QRect picture(check.right() + 1 + spacing, rect.center().y() - pictureSize.height() / 2,
                        pictureSize.width(), pictureSize.height());
    QImage image;
    if (!group->items.empty()) {
        const LibraryItem& first = group->items.front();
        image = m_thumbnails->image(first.thumbURL, first.path, first.url, first.thumbPath);
    }
    paintPicture(painter, picture, image, false);

    const QRect open = spotRect(index.row(), rect, Spot::OpenGroup);
    const bool hovered = m_hoverIndex == index && m_hoverSpot == Spot::OpenGroup;
    QFont linkFont = openFont();
    linkFont.setUnderline(hovered);
    painter->setFont(linkFont);
    painter->setPen(Theme::ink(Theme::Ink::Accent, p));
    painter->drawText(open, Qt::AlignCenter, Strings::text(QStringLiteral("button_open_group")));

    const int textLeft = picture.right() + 1 + spacing;
    const int width = std::max(0, open.left() - 8 - textLeft);
    const QFont titleFont = TextStyle::font(TextStyle::Role::Body, QFont::Medium);
    const QFont captionFont = TextStyle::font(TextStyle::Role::Caption);
    const QFontMetrics titleMetrics(titleFont), captionMetrics(captionFont);
    const TwoLines lines = twoLines(rect, titleMetrics, captionMetrics);
    painter->setFont(titleFont);
    painter->setPen(Theme::ink(Theme::Ink::Primary, p));
    painter->drawText(QRect(textLeft, lines.titleTop, width, titleMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(oneLine(group->name), Qt::ElideRight, width));
    painter->setFont(captionFont);
    painter->setPen(Theme::ink(Theme::Ink::Secondary, p));
    painter->drawText(QRect(textLeft, lines.captionTop, width, captionMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(LibraryLists::groupMeta(*group), Qt::ElideRight, width));
}

void LibraryRowDelegate::paintHit(QPainter* painter, const QRect& rect, const QModelIndex& index,
                                  bool selected) const {
    const SearchHit* hit = m_rows->hitAt(index.row());
    if (!hit)
        return;
    const QPalette p = Theme::palette();
    const qreal ratio = painter->device()->devicePixelRatioF();
    paintSelection(painter, rect, selected);
    const QRect inner = rect.adjusted(sideInset, 6, -sideInset, -6);

    // The time column.
    const QFont timeFont = TextStyle::font(TextStyle::Role::Caption2);
    const QFontMetrics timeMetrics(timeFont);
    const QRect column(inner.left(), inner.top(), hitColumn, inner.height());
    drawCentred(painter, QRectF(column.left(), column.top() + 2, hitColumn, 16),
                symbolPixmap(QStringLiteral("text.quote"), Theme::ink(Theme::Ink::Accent, p), ratio));
    painter->setFont(timeFont);
    painter->setPen(Theme::ink(Theme::Ink::Secondary, p));
    painter->drawText(QRect(column.left(), column.top() + 20, hitColumn, timeMetrics.height()),
                      Qt::AlignCenter, Job::duration(double(hit->startMs) / 1000.0));

    int right = inner.right();
    if (!hit->exists) {
        const QRect missing(right - 17, inner.top() + 2, 18, 18);
        drawCentred(
            painter, missing,
            symbolPixmap(QStringLiteral("questionmark.folder"), Theme::ink(Theme::Ink::Warning, p), ratio));
        right = missing.left() - 8;
    } else {
        right -= 8;
    }
    const int textLeft = column.right() + 1 + spacing;
    const int width = std::max(0, right - textLeft);

    // The excerpt, at most three lines, then the title.
    QTextDocument document;
    layOutExcerpt(document, hit->excerpt, p, width);
    const int shownHeight = excerptHeight(document);
    painter->save();
    painter->translate(textLeft, inner.top());
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = p;
    context.palette.setColor(QPalette::Text, Theme::ink(Theme::Ink::Primary, p));
    context.clip = QRectF(0, 0, width, shownHeight);
    painter->setClipRect(context.clip);
    document.documentLayout()->draw(painter, context);
    painter->restore();

    const QFont captionFont = TextStyle::font(TextStyle::Role::Caption);
    const QFontMetrics captionMetrics(captionFont);
    painter->setFont(captionFont);
    painter->setPen(Theme::ink(Theme::Ink::Secondary, p));
    painter->drawText(QRect(textLeft, inner.top() + shownHeight + 3, width, captionMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(oneLine(hit->title), Qt::ElideRight, width));
}

int LibraryRowDelegate::hitRowHeight(const SearchHit& hit, int rowWidth) {
    QTextDocument document;
    layOutExcerpt(document, hit.excerpt, Theme::palette(), excerptWidth(rowWidth, hit.exists));
    const int caption = QFontMetrics(TextStyle::font(TextStyle::Role::Caption)).height();
    return std::max(rowHeight, 12 + std::max(excerptHeight(document) + 3 + caption, 40));
}

QString LibraryRowDelegate::hitTime(const SearchHit& hit) {
    return Job::duration(double(hit.startMs) / 1000.0);
}

bool LibraryRowDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) {
    const auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int row = index.row();
    const Spot spot = spotAt(row, option.rect, mouse->position().toPoint());
    if (type == QEvent::MouseMove) {
        if (m_hoverIndex != index || m_hoverSpot != spot) {
            m_hoverIndex = index;
            m_hoverSpot = spot;
            m_view->viewport()->update();
        }
        return false;
    }
    if (mouse->button() != Qt::LeftButton)
        return false;
    const Kind kind = m_rows->kindAt(row);
    if (kind == Kind::HitsHeader || kind == Kind::ItemsHeader)
        return true;
    if (type == QEvent::MouseButtonDblClick)
        return true;
    if (type == QEvent::MouseButtonPress) {
        m_pressedSpot = spot;
        return true;
    }
    const Spot pressed = std::exchange(m_pressedSpot, Spot::None);
    if (spot != pressed)
        return true;
    if (spot == Spot::None)
        Q_EMIT rowClicked(row, mouse->modifiers());
    else if (spotEnabled(row, spot))
        Q_EMIT spotClicked(row, spot);
    return true;
}

bool LibraryRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                   const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const int row = index.row();
    const Spot spot = spotAt(row, option.rect, event->pos());
    QString tip;
    if (spot != Spot::None && spot != Spot::Checkbox && spot != Spot::OpenGroup)
        tip = spotLabel(row, spot);
    else if (const SearchHit* hit = m_rows->hitAt(row); hit && !hit->exists)
        tip = Strings::text(QStringLiteral("label_file_missing"));
    if (tip.isEmpty())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), tip, view,
                       spot != Spot::None ? spotRect(row, option.rect, spot) : option.rect);
    return true;
}
