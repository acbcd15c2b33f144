#pragma once

#include "kit/RowListView.h"

class AppModel;
class JobListModel;
class JobRowDelegate;

// The batch queue drawn row by row with the painted job row, a divider between rows. It is as tall as
// all its rows and lets the pane's scroll area scroll it, so only the rows in sight are ever painted:
// 10,000 jobs cost what 20 do. From the keyboard: Space pauses or resumes (or retries) the current job,
// Return does that too or shows a finished file, Delete removes the job, and the menu key lists all four
// actions of its row.
class QueueListView : public RowListView {
    Q_OBJECT

public:
    explicit QueueListView(AppModel* model, QWidget* parent = nullptr);

    JobListModel* rows() const { return m_rows; }
    JobRowDelegate* rowDelegate() const { return m_delegate; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Runs one of the row's actions on the job of `row`, as its icon would.
    bool trigger(int row, int action);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void fitHeight();

    AppModel* m_model;
    JobListModel* m_rows;
    JobRowDelegate* m_delegate;
};
