#pragma once

#include <QObject>

class AppModel;

// The transcription jobs, started by the user or by the engine after a download.
class Transcriptions : public QObject {
    Q_OBJECT
public:
    // Owned by `app`, which outlives it.
    explicit Transcriptions(AppModel& app);

private:
    AppModel& m_app;
};
