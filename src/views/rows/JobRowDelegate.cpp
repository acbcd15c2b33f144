#include "rows/JobRowDelegate.h"

#include "AppModel.h"
#include "DownloadQueue.h"
#include "JobListModel.h"
#include "Strings.h"
#include "kit/Icons.h"
#include "kit/RowListView.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"
#include "rows/JobRow.h"
#include "rows/JobRowContent.h"
#include "rows/RowIcon.h"
#include "rows/ThumbnailCache.h"
#include "rows/ThumbnailImage.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace {

constexpr int sideInset = 4;
constexpr int iconSpacing = 2;
constexpr int barHeight = 6;

Job* jobOf(const QModelIndex& index) {
    return index.data(JobListModel::JobRole).value<Job*>();
}

QPixmap symbolPixmap(const QString& symbol, const QColor& colour, qreal ratio) {
    // Tinting is the costly part of an icon; each symbol and colour is drawn once.
    static QHash<QString, QPixmap> cache;
    const QString key = symbol + u'|' + colour.name(QColor::HexArgb) + u'|' + QString::number(ratio);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.insert(key, Icons::tinted(symbol, 14, colour, ratio));
    return *it;
}

} // namespace

JobRowDelegate::JobRowDelegate(AppModel* model, QAbstractItemView* view)
    : QStyledItemDelegate(view), m_model(model), m_view(view),
      m_thumbnails(new ThumbnailCache(&model->libraryPart(), JobRow::thumbnailSize, this)) {
    view->setMouseTracking(true);
    m_thumbnails->setDevicePixelRatio(view->devicePixelRatioF());
    connect(m_thumbnails, &ThumbnailCache::loaded, view->viewport(), qOverload<>(&QWidget::update));
    m_clock.start();
    m_busyTick.setInterval(40);
    connect(&m_busyTick, &QTimer::timeout, this, [this] {
        const QRect area = std::exchange(m_busyArea, QRect());
        if (area.isEmpty())
            m_busyTick.stop();
        else
            m_view->viewport()->update(area);
    });
}

QRectF JobRowDelegate::busySegment(const QRectF& track, qint64 ms) {
    // A third of the track sweeps from beyond its left end to beyond its right end.
    const double phase = double(((ms % busyPeriodMs) + busyPeriodMs) % busyPeriodMs) / busyPeriodMs;
    const double width = track.width() / 3.0;
    const double left = track.left() - width + phase * (track.width() + width);
    return QRectF(left, track.top(), width, track.height()).intersected(track);
}

QSize JobRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width(), rowHeight};
}

QRect JobRowDelegate::iconRect(const QRect& row, int i) {
    const QSize frame = RowIcon::frame;
    const int total =
        JobRowContent::actionCount * frame.width() + (JobRowContent::actionCount - 1) * iconSpacing;
    const int left = row.right() - sideInset - total + 1 + i * (frame.width() + iconSpacing);
    return {left, row.center().y() - frame.height() / 2, frame.width(), frame.height()};
}

int JobRowDelegate::iconAt(const QRect& row, const QPoint& pos) const {
    for (int i = 0; i < JobRowContent::actionCount; ++i) {
        if (iconRect(row, i).contains(pos))
            return i;
    }
    return -1;
}

void JobRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const Job* job = jobOf(index);
    if (!job)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QPalette p = Theme::palette();
    const QRect row = option.rect;
    const JobRowContent c = JobRowContent::of(*job);

    // Picture.
    const QRectF thumb(row.left() + sideInset, row.center().y() - JobRow::thumbnailSize.height() / 2.0,
                       JobRow::thumbnailSize.width(), JobRow::thumbnailSize.height());
    QPainterPath clip;
    clip.addRoundedRect(thumb, JobRow::thumbnailRadius, JobRow::thumbnailRadius);
    painter->save();
    painter->setClipPath(clip);
    painter->fillRect(thumb, Theme::ink(Theme::Ink::Quaternary, p));
    const QImage image = m_thumbnails->image(job->thumbnailURL().value_or(QString()),
                                             job->outputPath().value_or(QString()), job->url());
    if (!image.isNull())
        painter->drawImage(ThumbnailImage::coverRect(image.size(), thumb), image);
    painter->restore();

    // Icons.
    for (int i = 0; i < JobRowContent::actionCount; ++i) {
        const QRect box = iconRect(row, i);
        const bool enabled = c.icons[i].enabled;
        const bool hovered = enabled && m_hoverIndex == index && m_hoverIcon == i;
        if (hovered) {
            QPainterPath back;
            back.addRoundedRect(QRectF(box), 4, 4);
            painter->fillPath(back, Theme::ink(Theme::Ink::Quaternary, p));
        }
        const QColor colour = !enabled  ? Theme::ink(Theme::Ink::Quaternary, p)
                              : hovered ? Theme::ink(Theme::Ink::Primary, p)
                                        : Theme::ink(Theme::Ink::Secondary, p);
        const QPixmap pixmap =
            symbolPixmap(c.icons[i].symbol, colour, painter->device()->devicePixelRatioF());
        const QSizeF logical = pixmap.deviceIndependentSize();
        painter->drawPixmap(QPointF(box.center().x() - logical.width() / 2.0 + 0.5,
                                    box.center().y() - logical.height() / 2.0 + 0.5),
                            pixmap);
    }

    // Title, bar and caption, centred as a block between the picture and the icons.
    const int textLeft = int(thumb.right()) + 12;
    const int textRight = iconRect(row, 0).left() - 8;
    const int width = std::max(0, textRight - textLeft);
    const QFont titleFont = TextStyle::font(TextStyle::Role::Body, QFont::Medium);
    const QFont captionFont = TextStyle::font(TextStyle::Role::Caption);
    const QFontMetrics titleMetrics(titleFont), captionMetrics(captionFont);
    const bool bar = c.progress != JobRowContent::Progress::None;
    const int block = titleMetrics.height() + 4 + (bar ? barHeight + 4 : 0) + captionMetrics.height();
    int y = row.center().y() - block / 2;

    painter->setFont(titleFont);
    painter->setPen(Theme::ink(Theme::Ink::Primary, p));
    QString title = job->title();
    title.replace(u'\n', u' ');
    painter->drawText(QRect(textLeft, y, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(title, Qt::ElideRight, width));
    y += titleMetrics.height() + 4;

    if (bar) {
        const QRectF track(textLeft, y, width, barHeight);
        QPainterPath trackPath;
        trackPath.addRoundedRect(track, barHeight / 2.0, barHeight / 2.0);
        painter->fillPath(trackPath, Theme::ink(Theme::Ink::Quaternary, p));
        // Without a total the bar cannot say how far: a moving segment says that bytes are arriving.
        const bool known = c.progress == JobRowContent::Progress::Determinate;
        if (known) {
            const QRectF fill(track.left(), track.top(), track.width() * c.fraction, barHeight);
            if (fill.width() > 0) {
                QPainterPath fillPath;
                fillPath.addRoundedRect(fill, barHeight / 2.0, barHeight / 2.0);
                painter->fillPath(fillPath, Theme::ink(Theme::Ink::Accent, p));
            }
        } else {
            const QRectF fill = busySegment(track, m_clock.elapsed());
            painter->save();
            painter->setClipPath(trackPath);
            QPainterPath fillPath;
            fillPath.addRoundedRect(fill, barHeight / 2.0, barHeight / 2.0);
            painter->fillPath(fillPath, Theme::ink(Theme::Ink::Accent, p));
            painter->restore();
            if (painter->device() == m_view->viewport()) {
                m_busyArea |= track.toAlignedRect().adjusted(-1, -1, 1, 1);
                if (!m_busyTick.isActive())
                    m_busyTick.start();
            }
        }
        y += barHeight + 4;
    }

    painter->setFont(captionFont);
    painter->setPen(Theme::ink(c.failed ? Theme::Ink::Warning : Theme::Ink::Secondary, p));
    QString caption = c.caption();
    caption.replace(u'\n', u' ');
    painter->drawText(QRect(textLeft, y, width, captionMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(caption, Qt::ElideRight, width));
    RowListView::paintFocusRing(painter, option, row.adjusted(0, 0, 0, -1));
    painter->restore();
}

bool JobRowDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) {
    const auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int icon = iconAt(option.rect, mouse->position().toPoint());
    if (type == QEvent::MouseMove) {
        if (m_hoverIndex != index || m_hoverIcon != icon) {
            m_hoverIndex = index;
            m_hoverIcon = icon;
            m_view->viewport()->update();
        }
        return false;
    }
    if (mouse->button() != Qt::LeftButton)
        return false;
    if (type == QEvent::MouseButtonPress) {
        m_pressedIcon = icon;
        return icon >= 0;
    }
    const int pressed = std::exchange(m_pressedIcon, -1);
    if (icon < 0 || icon != pressed)
        return false;
    Job* job = jobOf(index);
    const int at = job ? m_model->queuePart().jobRow(job) : -1;
    if (at < 0)
        return true;
    // The model's own pointer: the action may outlive this row (a removal drops it from the list).
    const std::shared_ptr<Job> shared = m_model->queuePart().jobs()[at];
    JobRowContent::trigger(*m_model, shared, static_cast<JobRowContent::Action>(icon));
    return true;
}

bool JobRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                               const QModelIndex& index) {
    const Job* job = jobOf(index);
    const int icon = iconAt(option.rect, event->pos());
    if (!job || icon < 0 || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const JobRowContent c = JobRowContent::of(*job);
    QToolTip::showText(event->globalPos(), Strings::text(c.icons[icon].labelKey), view,
                       iconRect(option.rect, icon));
    return true;
}
