#include "MainWindow.h"

#include "shell/LaunchGate.h"
#include "shell/RootView.h"
#include "shell/SidebarModel.h"
#include "shell/StartNow.h"

#include "AppModel.h"
#include "Session.h"
#include "Strings.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QPointer>

MainWindow::MainWindow(AppModel& model, ViewFactories views, QWidget* parent)
    : QMainWindow(parent), m_model(model),
      m_gate(new LaunchGate(
          model, [&model, views] { return new RootView(model, views); }, views.sheets.log)) {
    setObjectName(QStringLiteral("mainWindow"));
    m_gate->setMinimumSize(minimumContent);
    setCentralWidget(m_gate);
    // The window is named after the place it shows once the texts are there; the desktop adds the
    // application's name (its display name) after it.
    auto followPlace = [this] {
        setWindowTitle(m_model.sessionPart().stringsReady()
                           ? Strings::text(SidebarModel::titleKey(m_model.tab()))
                           : title());
    };
    connect(&model, &AppModel::tabChanged, this, followPlace);
    for (auto signal : {&Session::stringsReadyChanged, &Session::stringsGenerationChanged})
        connect(&model.sessionPart(), signal, this, followPlace);
    followPlace();
}

void MainWindow::setVisible(bool visible) {
    // The first time: the content at its default size, whatever the menus (added later) take.
    if (visible && !m_sized) {
        m_sized = true;
        resize(defaultContent.width(), defaultContent.height() + menuBar()->sizeHint().height());
    }
    QMainWindow::setVisible(visible);
}

QString MainWindow::title() {
    return QStringLiteral("Vamber Video Downloader");
}

void MainWindow::present() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        startBoot();
}

void MainWindow::startBoot() {
    // A show while the last boot still runs joins it rather than starting another.
    if (m_booting)
        return;
    m_booting = true;
    ++m_bootsStarted;
    QPointer<MainWindow> self(this);
    AppModel* model = &m_model;
    startNow([self, model]() -> QCoro::Task<void> {
        co_await model->sessionPart().boot();
        if (!self)
            co_return;
        self->m_booting = false;
        Q_EMIT self->bootFinished();
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_quitting) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_canReopen && m_canReopen()) {
        hide();
        return;
    }
    // Nothing could show the window again: quit rather than linger invisible.
    Q_EMIT quitRequested();
}
