#pragma once

#include <QObject>

#include <QCoro/QCoroTask>

class AppModel;
class QSocketNotifier;

// The orderly end of the application: the event pump is cut, a queue save on its way is awaited (within
// the stop's bound), the engine is asked to shut down and stopped within its bound (EngineClient::stop),
// then finished() lets the process end. Quit, the last window closed without a tray, and SIGTERM/SIGINT
// all come here.
class Shutdown : public QObject {
    Q_OBJECT
public:
    explicit Shutdown(AppModel& model, QObject* parent = nullptr);
    ~Shutdown() override;

    // Starts the quit; a call while one runs joins it.
    void request();
    bool requested() const { return m_requested; }

    // Turns SIGTERM and SIGINT into request(). One Shutdown per process may watch them.
    void watchSignals();

Q_SIGNALS:
    void finished();

private:
    void run();
    QCoro::Task<void> stopEngine();

    AppModel& m_model;
    bool m_requested = false;
    QSocketNotifier* m_signals = nullptr;
};
