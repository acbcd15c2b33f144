#include "library/LibraryRowDelegate.h"

#include "AppModel.h"
#include "Job.h"
#include "Strings.h"
#include "kit/TextStyle.h"
#include "library/HighlightedExcerpt.h"
#include "library/LibraryLists.h"
#include "library/LibraryPaneModel.h"
#include "rows/ThumbnailCache.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>

namespace {

constexpr int sideInset = 6;
constexpr int spacing = 12;
constexpr int hitColumn = 56;
constexpr int hitLines = 3;
constexpr int lineGap = 3;

using Kind = LibraryPaneModel::Kind;
using Spot = LibraryRowDelegate::Spot;

// The slot of each icon of an item row, left to right.
constexpr std::array<Spot, 5> itemSlots{Spot::First, Spot::Open, Spot::Reveal, Spot::Web, Spot::Remove};

QFont openFont() {
    return TextStyle::font(TextStyle::Role::Body);
}

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

bool isHeader(Kind kind) {
    return kind == Kind::HitsHeader || kind == Kind::ItemsHeader;
}

} // namespace

LibraryRowDelegate::LibraryRowDelegate(AppModel* model, LibraryPaneModel* rows, QAbstractItemView* view)
    : RowDelegate(view), m_model(model), m_rows(rows),
      m_thumbnails(new ThumbnailCache(&model->libraryPart(), pictureSize, this)) {
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
            return {option.rect.width(), hitRowHeight(*hit, view()->viewport()->width())};
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
        return {rect.left() + sideInset, rect.center().y() - checkBoxSide / 2 + 1, checkBoxSide,
                checkBoxSide};
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
    return stripBox(rect, sideInset, int(itemSlots.size()), int(at - itemSlots.begin()));
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

int LibraryRowDelegate::partAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const {
    const Spot spot = spotAt(index.row(), row, pos);
    return spot == Spot::None ? -1 : int(spot);
}

bool LibraryRowDelegate::spotHovered(const QModelIndex& index, Spot spot) const {
    return isHovered(index, int(spot));
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
    beginRow(painter);
    const bool selected = index.data(LibraryPaneModel::SelectedRole).toBool();
    const Kind kind = Kind(index.data(LibraryPaneModel::KindRole).toInt());
    switch (kind) {
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
    if (!isHeader(kind))
        paintFocus(painter, option, option.rect);
    painter->restore();
}

void LibraryRowDelegate::paintHeader(QPainter* painter, const QRect& rect, const QString& text) const {
    paintLine(painter, rect.adjusted(sideInset, 0, -sideInset, -4), text,
              TextStyle::font(TextStyle::Role::Subheadline, QFont::DemiBold),
              Theme::ink(Theme::Ink::Secondary), Qt::AlignLeft | Qt::AlignBottom);
}

namespace {

void paintSelection(QPainter* painter, const QRect& rect, bool selected) {
    if (!selected)
        return;
    QPainterPath back;
    back.addRoundedRect(QRectF(rect.adjusted(1, 1, -1, -1)), 6, 6);
    painter->fillPath(back, Theme::withOpacity(Theme::ink(Theme::Ink::Accent), 0.16));
}

} // namespace

QRect LibraryRowDelegate::paintLead(QPainter* painter, const QRect& rect, int row, bool selected,
                                    const QImage& image, bool dim) const {
    paintSelection(painter, rect, selected);
    const QRect check = spotRect(row, rect, Spot::Checkbox);
    paintCheckBox(painter, check, selected);
    const QRect picture(check.right() + 1 + spacing, rect.center().y() - pictureSize.height() / 2,
                        pictureSize.width(), pictureSize.height());
    paintPicture(painter, picture, 4, image, dim);
    return picture;
}

void LibraryRowDelegate::paintItem(QPainter* painter, const QRect& rect, const QModelIndex& index,
                                   bool selected) const {
    const LibraryItem* item = m_rows->itemAt(index.row());
    if (!item)
        return;
    const QPalette p = Theme::palette();
    const LibraryRowContent c = LibraryRowContent::of(*m_model, *item);
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QImage image = c.picture
                             ? m_thumbnails->image({}, item->path, {}, item->path)
                             : m_thumbnails->image(item->thumbURL, item->path, item->url, item->thumbPath);
    const QRect picture = paintLead(painter, rect, index.row(), selected, image, c.missing);

    // Icons: the first slot, then the four.
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
                      spotHovered(index, Spot::First));
        }
        break;
    case LibraryRowContent::First::DownloadAgain:
        paintIcon(painter, first, c.downloadAgain.symbol, c.downloadAgain.enabled,
                  spotHovered(index, Spot::First));
        break;
    case LibraryRowContent::First::Empty:
        break;
    }
    for (int i = 0; i < LibraryRowContent::iconCount; ++i) {
        const Spot spot = itemSlots[std::size_t(i) + 1];
        paintIcon(painter, spotRect(index.row(), rect, spot), c.icons[i].symbol, c.icons[i].enabled,
                  spotHovered(index, spot));
    }

    // Title and facts.
    const int textLeft = picture.right() + 1 + spacing;
    const int width = std::max(0, first.left() - 8 - textLeft);
    const Lines at = lines(textLeft, width, rect.center().y(), lineGap);
    paintLine(painter, at.title, item->title, titleFont(), Theme::ink(Theme::Ink::Primary, p));

    const QFont font = captionFont();
    const QFontMetrics metrics(font);
    painter->setFont(font);
    int x = textLeft;
    const int right = textLeft + width;
    const QRect line = at.caption;
    auto fact = [&](const QString& text, const QString& name, Theme::Ink symbolInk, Theme::Ink textInk) {
        if (x >= right)
            return;
        if (!name.isEmpty()) {
            const int side = metrics.height();
            if (x + side > right)
                return;
            drawCentred(painter, QRectF(x, line.top(), side, side),
                        symbol(name, side - 2, Theme::ink(symbolInk, p), ratio));
            x += side + 3;
        }
        const QString shown = metrics.elidedText(oneLine(text), Qt::ElideRight, right - x);
        painter->setPen(Theme::ink(textInk, p));
        painter->drawText(QRect(x, line.top(), right - x, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
                          shown);
        x += metrics.horizontalAdvance(shown) + 8;
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
    QImage image;
    if (!group->items.empty()) {
        const LibraryItem& first = group->items.front();
        image = m_thumbnails->image(first.thumbURL, first.path, first.url, first.thumbPath);
    }
    const QRect picture = paintLead(painter, rect, index.row(), selected, image, false);

    const QRect open = spotRect(index.row(), rect, Spot::OpenGroup);
    QFont linkFont = openFont();
    linkFont.setUnderline(spotHovered(index, Spot::OpenGroup));
    painter->setFont(linkFont);
    painter->setPen(Theme::ink(Theme::Ink::Accent, p));
    painter->drawText(open, Qt::AlignCenter, Strings::text(QStringLiteral("button_open_group")));

    const int textLeft = picture.right() + 1 + spacing;
    const Lines at = lines(textLeft, std::max(0, open.left() - 8 - textLeft), rect.center().y(), lineGap);
    paintLine(painter, at.title, group->name, titleFont(), Theme::ink(Theme::Ink::Primary, p));
    paintLine(painter, at.caption, LibraryLists::groupMeta(*group), captionFont(),
              Theme::ink(Theme::Ink::Secondary, p));
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
                symbol(QStringLiteral("text.quote"), iconSide, Theme::ink(Theme::Ink::Accent, p), ratio));
    painter->setFont(timeFont);
    painter->setPen(Theme::ink(Theme::Ink::Secondary, p));
    painter->drawText(QRect(column.left(), column.top() + 20, hitColumn, timeMetrics.height()),
                      Qt::AlignCenter, hitTime(*hit));

    int right = inner.right();
    if (!hit->exists) {
        const QRect missing(right - 17, inner.top() + 2, 18, 18);
        drawCentred(painter, missing,
                    symbol(QStringLiteral("questionmark.folder"), iconSide,
                           Theme::ink(Theme::Ink::Warning, p), ratio));
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

    const QFont font = captionFont();
    paintLine(painter, QRect(textLeft, inner.top() + shownHeight + 3, width, QFontMetrics(font).height()),
              hit->title, font, Theme::ink(Theme::Ink::Secondary, p));
}

int LibraryRowDelegate::hitRowHeight(const SearchHit& hit, int rowWidth) {
    QTextDocument document;
    layOutExcerpt(document, hit.excerpt, Theme::palette(), excerptWidth(rowWidth, hit.exists));
    const int caption = QFontMetrics(captionFont()).height();
    return std::max(rowHeight, 12 + std::max(excerptHeight(document) + 3 + caption, 40));
}

QString LibraryRowDelegate::hitTime(const SearchHit& hit) {
    return Job::duration(double(hit.startMs) / 1000.0);
}

bool LibraryRowDelegate::buttonEvent(const QMouseEvent& mouse, const QModelIndex& index, int part) {
    // Every press on a row is the list's own: the pane chooses what a click on a row selects.
    if (isHeader(m_rows->kindAt(index.row())) || mouse.type() == QEvent::MouseButtonDblClick)
        return true;
    if (mouse.type() == QEvent::MouseButtonPress) {
        press(index, part);
        return true;
    }
    if (!release(index, part))
        return true;
    if (part < 0)
        Q_EMIT rowClicked(index.row(), mouse.modifiers());
    else if (spotEnabled(index.row(), Spot(part)))
        Q_EMIT spotClicked(index.row(), Spot(part));
    return true;
}

RowDelegate::Tip LibraryRowDelegate::tipAt(const QModelIndex& index, const QRect& row,
                                           const QPoint& pos) const {
    const Spot spot = spotAt(index.row(), row, pos);
    if (spot != Spot::None && spot != Spot::Checkbox && spot != Spot::OpenGroup)
        return {spotLabel(index.row(), spot), spotRect(index.row(), row, spot)};
    if (const SearchHit* hit = m_rows->hitAt(index.row()); hit && !hit->exists)
        return {Strings::text(QStringLiteral("label_file_missing")),
                spot != Spot::None ? spotRect(index.row(), row, spot) : row};
    return {};
}
