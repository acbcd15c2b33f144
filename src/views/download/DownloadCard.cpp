#include "download/DownloadCard.h"

#include "AppModel.h"
#include "Job.h"
#include "Session.h"
#include "download/SpeedPanel.h"
#include "rows/JobRow.h"

#include <QVBoxLayout>

DownloadCard::DownloadCard(AppModel* model, QWidget* parent) : Card(14, parent), m_model(model) {
    setObjectName(QStringLiteral("download_card"));
    body()->setSpacing(10);
    m_row = new JobRow(model, this);
    m_speed = new SpeedPanel(this);
    body()->addWidget(m_row);
    body()->addWidget(m_speed, 0, Qt::AlignLeft);
    connect(&model->sessionPart(), &Session::stringsGenerationChanged, m_speed, &SpeedPanel::retranslate);
    m_speed->hide();
}

void DownloadCard::setJob(std::shared_ptr<Job> job) {
    if (job == m_job)
        return;
    disconnect(m_progress);
    disconnect(m_state);
    m_job = std::move(job);
    m_row->setJob(m_job);
    if (m_job) {
        m_progress = connect(m_job.get(), &Job::progressChanged, this, &DownloadCard::refreshSpeed);
        m_state = connect(m_job.get(), &Job::stateChanged, this, &DownloadCard::refreshSpeed);
    }
    refreshSpeed();
}

void DownloadCard::refreshSpeed() {
    // A paused or waiting job moves no bytes: its last figures would read as a live speed.
    const bool show = m_job && m_job->speedEngine() && m_job->state().isRunning();
    if (show)
        m_speed->setEngine(*m_job->speedEngine());
    m_speed->setVisible(show);
}
