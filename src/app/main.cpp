// The desktop application: one running copy per user, which later launches hand their requests to, its
// main window with the menus, and an orderly quit that stops the engine.
#include "ActivationChecks.h"
#include "AppViews.h"
#include "Commands.h"
#include "FirstLaunch.h"
#include "LaunchRequest.h"
#include "MainWindow.h"
#include "OutsideEntries.h"
#include "Shutdown.h"
#include "Tray.h"

#include "kit/Icons.h"
#include "shell/LaunchGate.h"
#include "shell/StartNow.h"

#include "AppModel.h"
#include "Bootstrap.h"
#include "DesktopServices.h"
#include "EngineLocations.h"
#include "LanguageStore.h"
#include "Session.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QIcon>
#include <QMenuBar>
#include <QTextStream>
#include <QTimer>

#ifdef VAMBER_WITH_WEB
#include "BrowserRuntime.h"
#endif

namespace {

// With VAMBER_STARTUP_PROBE set, prints "root-painted <ms>" once the root view has been painted with
// the texts loaded (for bench/startup).
class StartupProbe : public QObject {
public:
    explicit StartupProbe(QObject* parent) : QObject(parent) { m_clock.start(); }
    void watch(LaunchGate* gate) {
        connect(gate, &LaunchGate::pageChanged, this, [this, gate](LaunchGate::Page page) {
            if (page == LaunchGate::Page::Root && gate->root())
                gate->root()->installEventFilter(this);
        });
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_told) {
            m_told = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(
                0, this, [this] { QTextStream(stdout) << "root-painted " << m_clock.elapsed() << Qt::endl; });
        }
        return false;
    }

private:
    QElapsedTimer m_clock;
    bool m_told = false;
};

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // What needs no running copy is answered before anything starts.
    const LaunchRequest request = LaunchRequest::parse(arguments);
    switch (request.verb) {
    case LaunchRequest::Verb::Help:
        QTextStream(stdout) << LaunchRequest::helpText();
        return 0;
    case LaunchRequest::Verb::Version:
        QTextStream(stdout) << "vamber " << VAMBER_VERSION << Qt::endl;
        return 0;
    case LaunchRequest::Verb::Invalid:
        QTextStream(stderr) << "vamber: " << request.error << "\nTry 'vamber --help'." << Qt::endl;
        return 2;
    default:
        break;
    }
#ifdef VAMBER_WITH_WEB
    // Before any thread exists: these change the environment.
    const bool sandboxOff = BrowserRuntime::turnSandboxOffForRoot();
    QApplication::setApplicationName(QStringLiteral("vamber"));
    BrowserRuntime::keepShaderCachesInside();
    // The web engine shares the application's OpenGL contexts; this must be said before the application
    // exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#else
    const bool sandboxOff = false;
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vamber"));
    QApplication::setApplicationVersion(QStringLiteral(VAMBER_VERSION));
    // Window titles name the place shown; the desktop follows them with this name.
    QGuiApplication::setApplicationDisplayName(MainWindow::title());
    QGuiApplication::setDesktopFileName(QStringLiteral("vamber"));
    // Closing the window is decided by the window itself (hide or quit), never by Qt.
    QApplication::setQuitOnLastWindowClosed(false);
    // Read before the stored appearance (light or dark) replaces the desktop's palette.
    const QColor trayPanel = Tray::panelGuess();
    StartupProbe* probe =
        qEnvironmentVariableIsSet("VAMBER_STARTUP_PROBE") ? new StartupProbe(&app) : nullptr;

#ifdef VAMBER_WITH_WEB
    // The built-in browser: its web profile starts with the first browser pane or cookie export, and goes
    // after the window, taking the web pages it made with it.
    BrowserRuntime browserRuntime;
    BrowserRuntime* browser = &browserRuntime;
    BrowserCookiesService* browserCookies = &browserRuntime;
#else
    BrowserRuntime* browser = nullptr;
    BrowserCookiesService* browserCookies = nullptr;
#endif
    DesktopServices desktop(browserCookies);
    if (!desktop.instanceGuard.claim()) {
        // Another copy runs: it carries out our request, comes to the front and tells us what to say.
        const std::optional<InstanceAnswer> answer = desktop.instanceGuard.askRunning(arguments);
        if (!answer) {
            QTextStream(stderr) << "[app] another copy of Vamber runs but did not answer" << Qt::endl;
            return 1;
        }
        QTextStream(stdout) << answer->out;
        QTextStream(stderr) << answer->err;
        return answer->status;
    }
    // A verb behaves as it does beside a running copy: the application runs as its own process, this
    // one prints the answer and exits.
    if (request.awaitsAnswer())
        return startApplicationAndAsk(desktop.instanceGuard, arguments);
    Icons::install();
    // The application icon from the hicolor icons beside the program (installed, or in the build tree).
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths()
                               << QDir::cleanPath(QApplication::applicationDirPath() + "/../../share/icons"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("vamber"), Tray::drawIcon(std::nullopt, trayPanel)));

    // The stored interface language comes first, for Qt's own texts and the built-in ones alike.
    LanguageStore& languages = *desktop.services().languages;
    languages.apply();
    Bootstrap::choosePreferredLanguages(languages.languages().value_or(QStringList()) +
                                        languages.systemLanguages());
    AppModel& model = AppModel::makeShared(desktop.services(), EngineLocations::forApplication());
#ifdef VAMBER_WITH_WEB
    if (sandboxOff) {
        QTextStream(stderr) << "[browser] " << BrowserRuntime::sandboxOffNote() << Qt::endl;
        model.sessionPart().note(BrowserRuntime::sandboxOffNote());
    }
#else
    Q_UNUSED(sandboxOff);
#endif

    MainWindow window(model, appViews(browser));
    desktop.fileDialogs.setParentWindow(&window);
    Commands commands(model, window.menuBar());
    Shutdown shutdown(model);
    shutdown.watchSignals();
    QObject::connect(&commands, &Commands::quitRequested, &shutdown, &Shutdown::request);
    QObject::connect(&window, &MainWindow::quitRequested, &shutdown, &Shutdown::request);
    QObject::connect(&shutdown, &Shutdown::finished, &app, [&window] {
        window.setQuitting();
        QCoreApplication::exit(0);
    });
    // Every later launch brings the window to the front; its request is carried out here.
    QObject::connect(&desktop.instanceGuard, &InstanceGuard::messageReceived, &window, &MainWindow::present);
    OutsideEntries entries(model);
    entries.serve(desktop.instanceGuard);
    ActivationChecks activation(model, *desktop.services().activity);
    // The tray brings a hidden window back; without a tray host nothing could, so closing it quits.
    Tray tray(model, trayPanel);
    QObject::connect(&tray, &Tray::openWindowRequested, &window, &MainWindow::present);
    QObject::connect(&tray, &Tray::quitRequested, &shutdown, &Shutdown::request);
    tray.show();
    window.setHidesOnClose([] { return Tray::available(); });
    if (probe)
        probe->watch(window.gate());

    window.present();
    if (request.verb == LaunchRequest::Verb::Open) {
        // A first launch with links: carried out here once the start has finished.
        OutsideEntries* handler = &entries;
        startNow([handler, request]() -> QCoro::Task<void> {
            const InstanceAnswer answer = co_await handler->handle(request);
            QTextStream(stdout) << answer.out << Qt::flush;
            QTextStream(stderr) << answer.err << Qt::flush;
        });
    }
    return app.exec();
}
