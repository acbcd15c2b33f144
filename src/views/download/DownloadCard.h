#pragma once

#include "kit/Card.h"

#include <memory>

class AppModel;
class Job;
class JobRow;
class SpeedPanel;

// The current download on the stage: its job row and, while it is active and the engine sends them, its
// speed figures.
class DownloadCard : public Card {
    Q_OBJECT

public:
    explicit DownloadCard(AppModel* model, QWidget* parent = nullptr);

    void setJob(std::shared_ptr<Job> job);
    JobRow* row() const { return m_row; }
    SpeedPanel* speedPanel() const { return m_speed; }

private:
    void refreshSpeed();

    AppModel* m_model;
    std::shared_ptr<Job> m_job;
    QMetaObject::Connection m_progress;
    QMetaObject::Connection m_state;
    JobRow* m_row;
    SpeedPanel* m_speed;
};
