#pragma once

#include <QObject>

class AppActivity;
class AppModel;

// What the application does each time it becomes the active one: a link newly copied elsewhere is
// offered, and a script runtime known to be missing is looked for again (only then is the engine asked).
class ActivationChecks : public QObject {
    Q_OBJECT
public:
    ActivationChecks(AppModel& model, AppActivity& activity, QObject* parent = nullptr);

    void activated();

private:
    AppModel& m_model;
};
