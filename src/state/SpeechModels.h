#pragma once

#include <QObject>

class AppModel;

// The speech-recognition models: what the machine has and can run, their downloads and deletions.
class SpeechModels : public QObject {
    Q_OBJECT
public:
    // Owned by `app`, which outlives it.
    explicit SpeechModels(AppModel& app);

private:
    AppModel& m_app;
};
