#include "rows/JobRowDelegate.h"

#include "AppModel.h"
#include "DownloadQueue.h"
#include "JobListModel.h"
#include "Strings.h"
#include "rows/JobRow.h"
#include "rows/JobRowContent.h"
#include "rows/ThumbnailCache.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int sideInset = 4;
constexpr int barHeight = 6;
constexpr int lineGap = 4;

Job* jobOf(const QModelIndex& index) {
    return index.data(JobListModel::JobRole).value<Job*>();
}

} // namespace

JobRowDelegate::JobRowDelegate(AppModel* model, QAbstractItemView* view)
    : RowDelegate(view), m_model(model),
      m_thumbnails(new ThumbnailCache(&model->libraryPart(), JobRow::thumbnailSize, this)) {
    m_thumbnails->setDevicePixelRatio(view->devicePixelRatioF());
    connect(m_thumbnails, &ThumbnailCache::loaded, view->viewport(), qOverload<>(&QWidget::update));
    m_clock.start();
    m_busyTick.setInterval(40);
    connect(&m_busyTick, &QTimer::timeout, this, [this] {
        const QRect area = std::exchange(m_busyArea, QRect());
        if (area.isEmpty())
            m_busyTick.stop();
        else
            this->view()->viewport()->update(area);
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
    return stripBox(row, sideInset, JobRowContent::actionCount, i);
}

int JobRowDelegate::partAt(const QModelIndex&, const QRect& row, const QPoint& pos) const {
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
    beginRow(painter);
    const QPalette p = Theme::palette();
    const QRect row = option.rect;
    const JobRowContent c = JobRowContent::of(*job);

    const QRectF thumb(row.left() + sideInset, row.center().y() - JobRow::thumbnailSize.height() / 2.0,
                       JobRow::thumbnailSize.width(), JobRow::thumbnailSize.height());
    paintPicture(painter, thumb, JobRow::thumbnailRadius,
                 m_thumbnails->image(job->thumbnailURL().value_or(QString()),
                                     job->outputPath().value_or(QString()), job->url()));

    for (int i = 0; i < JobRowContent::actionCount; ++i)
        paintIcon(painter, iconRect(row, i), c.icons[i].symbol, c.icons[i].enabled, isHovered(index, i));

    // Title, bar and caption, centred as a block between the picture and the icons.
    const int textLeft = int(thumb.right()) + 12;
    const int width = std::max(0, iconRect(row, 0).left() - 8 - textLeft);
    const bool bar = c.progress != JobRowContent::Progress::None;
    const Lines at = lines(textLeft, width, row.center().y(), lineGap, bar ? barHeight : 0);
    paintLine(painter, at.title, job->title(), titleFont(), Theme::ink(Theme::Ink::Primary, p));
    // Without a total the bar cannot say how far: a moving segment says that bytes are arriving.
    if (c.progress == JobRowContent::Progress::Determinate)
        paintBar(painter, at.bar, c.fraction);
    else if (bar)
        paintBusyBar(painter, at.bar);
    paintLine(painter, at.caption, c.caption(), captionFont(),
              Theme::ink(c.failed ? Theme::Ink::Warning : Theme::Ink::Secondary, p));
    paintFocus(painter, option, row.adjusted(0, 0, 0, -1));
    painter->restore();
}

void JobRowDelegate::paintBusyBar(QPainter* painter, const QRectF& track) const {
    paintBar(painter, track, 0);
    const double radius = track.height() / 2.0;
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, radius, radius);
    painter->save();
    painter->setClipPath(trackPath);
    QPainterPath fillPath;
    fillPath.addRoundedRect(busySegment(track, m_clock.elapsed()), radius, radius);
    painter->fillPath(fillPath, Theme::ink(Theme::Ink::Accent, Theme::palette()));
    painter->restore();
    if (painter->device() == view()->viewport()) {
        m_busyArea |= track.toAlignedRect().adjusted(-1, -1, 1, 1);
        if (!m_busyTick.isActive())
            m_busyTick.start();
    }
}

void JobRowDelegate::clicked(const QModelIndex& index, int part, Qt::KeyboardModifiers) {
    Job* job = jobOf(index);
    const int at = job ? m_model->queuePart().jobRow(job) : -1;
    if (at < 0)
        return;
    // The model's own pointer: the action may outlive this row (a removal drops it from the list).
    const std::shared_ptr<Job> shared = m_model->queuePart().jobs()[at];
    JobRowContent::trigger(*m_model, shared, static_cast<JobRowContent::Action>(part));
}

RowDelegate::Tip JobRowDelegate::tipAt(const QModelIndex& index, const QRect& row, const QPoint& pos) const {
    const Job* job = jobOf(index);
    const int icon = partAt(index, row, pos);
    if (!job || icon < 0)
        return {};
    return {Strings::text(JobRowContent::of(*job).icons[icon].labelKey), iconRect(row, icon)};
}
