#pragma once

#include <QObject>

class AppModel;

// The flags behind the sheets and alerts the window raises.
class Prompts : public QObject {
    Q_OBJECT
public:
    // Owned by `app`, which outlives it.
    explicit Prompts(AppModel& app);

private:
    AppModel& m_app;
};
