#pragma once

#include <QListView>

class AppModel;
class JobListModel;
class JobRowDelegate;

// The batch queue drawn row by row with the painted job row, a divider between rows. It is as tall as
// all its rows and lets the pane's scroll area scroll it, so only the rows in sight are ever painted:
// 10,000 jobs cost what 20 do.
class QueueListView : public QListView {
    Q_OBJECT

public:
    explicit QueueListView(AppModel* model, QWidget* parent = nullptr);

    JobListModel* rows() const { return m_rows; }
    JobRowDelegate* rowDelegate() const { return m_delegate; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void fitHeight();

    JobListModel* m_rows;
    JobRowDelegate* m_delegate;
};
