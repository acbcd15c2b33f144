#pragma once

#include <QObject>

class AppModel;

// Clip suggestion and the one clip extraction the window follows.
class Clips : public QObject {
    Q_OBJECT
public:
    // Owned by `app`, which outlives it.
    explicit Clips(AppModel& app);

private:
    AppModel& m_app;
};
