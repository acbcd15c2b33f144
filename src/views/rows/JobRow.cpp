#include "rows/JobRow.h"

#include "AppModel.h"
#include "Job.h"
#include "Session.h"
#include "Strings.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"
#include "rows/ElidedLabel.h"
#include "rows/JobRowContent.h"
#include "rows/RowIcon.h"
#include "rows/Thumbnail.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QVBoxLayout>

JobRow::JobRow(AppModel* model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("job_row"));
    setMinimumHeight(minimumHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 6, 0, 6);
    row->setSpacing(12);

    m_thumbnail = new Thumbnail(&model->libraryPart(), thumbnailSize, thumbnailRadius, this);
    row->addWidget(m_thumbnail, 0, Qt::AlignVCenter);

    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    m_title = new ElidedLabel(this);
    m_title->setObjectName(QStringLiteral("job_title"));
    TextStyle::apply(m_title, TextStyle::Role::Body, QFont::Medium);
    text->addWidget(m_title);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("job_progress"));
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(6);
    m_progress->setRange(0, 1000);
    text->addWidget(m_progress);
    m_caption = new ElidedLabel(this);
    m_caption->setObjectName(QStringLiteral("job_caption"));
    TextStyle::apply(m_caption, TextStyle::Role::Caption);
    text->addWidget(m_caption);
    row->addLayout(text, 1);
    row->addSpacing(8);

    auto* icons = new QHBoxLayout;
    icons->setSpacing(2);
    static const char* const roles[] = {"job_primary", "job_reveal", "job_cancel", "job_remove"};
    for (int i = 0; i < JobRowContent::actionCount; ++i) {
        auto* icon = new RowIcon(this);
        icon->setObjectName(QString::fromLatin1(roles[i]));
        const auto action = static_cast<JobRowContent::Action>(i);
        icon->setAction([this, action] {
            // Read again at the click: the job may have moved on since the row was drawn.
            if (m_job && m_model)
                JobRowContent::trigger(*m_model, m_job, action);
        });
        m_icons[i] = icon;
        icons->addWidget(icon);
    }
    row->addLayout(icons);

    connect(&model->sessionPart(), &Session::stringsGenerationChanged, this, &JobRow::refresh);
    refresh();
}

void JobRow::setJob(std::shared_ptr<Job> job) {
    if (job == m_job)
        return;
    for (const auto& c : m_jobConnections)
        disconnect(c);
    m_jobConnections.clear();
    m_job = std::move(job);
    if (m_job) {
        Job* j = m_job.get();
        m_jobConnections << connect(j, &Job::stateChanged, this, &JobRow::refresh)
                         << connect(j, &Job::progressChanged, this, &JobRow::refresh)
                         << connect(j, &Job::detailsChanged, this, &JobRow::refreshDetails);
    }
    refreshDetails();
}

void JobRow::refreshDetails() {
    if (m_job) {
        m_title->setFullText(m_job->title());
        m_thumbnail->setSource(m_job->thumbnailURL().value_or(QString()),
                               m_job->outputPath().value_or(QString()), m_job->url());
    } else {
        m_title->setFullText(QString());
    }
    refresh();
}

void JobRow::refresh() {
    if (!m_job) {
        m_progress->hide();
        m_caption->setFullText(QString());
        for (RowIcon* icon : m_icons)
            icon->setEnabled(false);
        return;
    }
    const JobRowContent c = JobRowContent::of(*m_job);
    m_progress->setVisible(c.progress != JobRowContent::Progress::None);
    if (c.progress == JobRowContent::Progress::Indeterminate) {
        m_progress->setRange(0, 0);
    } else if (c.progress == JobRowContent::Progress::Determinate) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(static_cast<int>(c.fraction * 1000));
    }
    m_caption->setFullText(c.caption());
    Theme::setForeground(m_caption, c.failed ? Theme::Ink::Warning : Theme::Ink::Secondary);
    for (int i = 0; i < JobRowContent::actionCount; ++i) {
        const auto& icon = c.icons[i];
        m_icons[i]->set(icon.symbol, Strings::text(icon.labelKey), std::nullopt, icon.enabled);
    }
}
