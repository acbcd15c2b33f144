#pragma once

#include <QObject>

class AppModel;

// The engine session: start-up, restart after a stop or a hang, the update check and the problem report, the
// script runtime, cookies and the built-in browser's data, favourites, and the settings record.
class Session : public QObject {
    Q_OBJECT
public:
    // Owned by `app`, which outlives it.
    explicit Session(AppModel& app);

private:
    AppModel& m_app;
};
