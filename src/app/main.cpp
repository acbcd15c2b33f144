// Until the window exists, `vamber` is a console program: it boots the application state against the
// engine, prints what it learned and shuts the engine down.
#include "AppModel.h"
#include "Bootstrap.h"
#include "DesktopServices.h"
#include "EngineLocations.h"
#include "LanguageStore.h"
#include "Strings.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

#include <QCoro/QCoroTask>

namespace {

QCoro::Task<int> run(AppModel* model) {
    co_await model->boot();
    QTextStream out(stdout);
    int status = 0;
    if (model->engineFailure()) {
        QTextStream(stderr) << *model->engineFailure() << '\n';
        status = 1;
    } else {
        const EngineHello& hello = *model->hello();
        out << "Engine " << hello.engineVersion << " (" << hello.python << ")\n";
        out << "  script:           " << hello.enginePath << '\n';
        out << "  media extensions: " << hello.mediaExtensions.join(QStringLiteral(" ")) << '\n';
        out << "Texts:              " << Strings::language() << '\n';
        if (const auto& s = model->settings()) {
            out << "Downloads go to:    " << s->outputDir << '\n';
            out << "Cookie source:      " << s->cookieSource << '\n';
        }
        out << "Format:             " << model->format().summary() << '\n';
        out << "Qualities:          " << model->allowedOptions().allQualities.join(QStringLiteral(", "))
            << '\n';
        out << "Library:            " << model->libraryTotal() << '\n';
        out << "Saved queue:        " << model->jobs().size() << '\n';
        for (const QString& line : model->log())
            out << line << '\n';
    }
    out.flush();
    co_await model->engine().stop();
    co_return status;
}

} // namespace

int main(int argc, char* argv[]) {
    // A console run needs no screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vamber"));
    QApplication::setApplicationVersion(QStringLiteral(VAMBER_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("vamber"));

    DesktopServices desktop(nullptr);
    // The stored interface language comes first, for Qt's own texts and the built-in ones alike.
    LanguageStore& languages = *desktop.services().languages;
    languages.apply();
    Bootstrap::choosePreferredLanguages(languages.languages().value_or(QStringList()) +
                                        languages.systemLanguages());
    AppModel& model = AppModel::makeShared(desktop.services(), EngineLocations::forApplication());
    int status = 0;
    QTimer::singleShot(0, &app, [&] {
        run(&model).then([&](int s) {
            status = s;
            QCoreApplication::exit(s);
        });
    });
    app.exec();
    return status;
}
