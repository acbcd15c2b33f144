#pragma once

#include "shell/ViewFactories.h"

#include <QMainWindow>
#include <QSize>

#include <functional>

class AppModel;
class LaunchGate;

// The one main window: its title (the application's until the texts arrive, then the place shown),
// its sizes, the launch gate as its content, the engine started
// (Session::boot) each time it is shown, and what closing it means: hidden while something (a tray)
// can bring it back, otherwise the application quits.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(AppModel& model, ViewFactories views, QWidget* parent = nullptr);

    static constexpr QSize minimumContent{900, 620};
    static constexpr QSize defaultContent{1020, 700};
    static QString title();

    LaunchGate* gate() const { return m_gate; }

    // Asked at each close: true when the window may only hide because it can be shown again.
    void setHidesOnClose(std::function<bool()> canReopen) { m_canReopen = std::move(canReopen); }
    // Closing no longer asks anything: the application is ending.
    void setQuitting() { m_quitting = true; }

    // Shows the window in front (a second launch, the tray).
    void present();
    // The boots this window started (one per showing, never two at once).
    int bootsStarted() const { return m_bootsStarted; }

    void setVisible(bool visible) override;

Q_SIGNALS:
    // Closed with nothing to bring it back: the application should quit.
    void quitRequested();
    void bootFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void startBoot();

    AppModel& m_model;
    LaunchGate* m_gate;
    std::function<bool()> m_canReopen;
    bool m_quitting = false;
    bool m_booting = false;
    bool m_sized = false;
    int m_bootsStarted = 0;
};
