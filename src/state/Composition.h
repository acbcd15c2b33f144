#pragma once

#include <QObject>

class AppModel;

// The download being composed: the pasted address, its analysis and the format chosen.
class Composition : public QObject {
    Q_OBJECT
public:
    // Owned by `app`, which outlives it.
    explicit Composition(AppModel& app);

private:
    AppModel& m_app;
};
