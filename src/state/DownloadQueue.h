#pragma once

#include <QObject>

class AppModel;

// The downloads: the single download, the batch queue and its saved copy, pasted batches and listings.
class DownloadQueue : public QObject {
    Q_OBJECT
public:
    // Owned by `app`, which outlives it.
    explicit DownloadQueue(AppModel& app);

private:
    AppModel& m_app;
};
