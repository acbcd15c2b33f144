#include "EngineClient.h"
#include "EngineFailure.h"
#include "EngineLocations.h"
#include "EngineTypesSession.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

#include <QCoro/QCoroTask>

namespace {

void printHello(const EngineHello& hello) {
    const QString sep = QStringLiteral(", ");
    const EngineHello::Capabilities& caps = hello.capabilities;
    QTextStream out(stdout);
    out << "Engine " << hello.engineVersion << '\n';
    out << "  script:            " << hello.enginePath << '\n';
    out << "  interpreter:       " << hello.python << '\n';
    out << "  ffmpeg folder:     " << hello.ffmpegDir << '\n';
    out << "  download workers:  " << hello.downloadWorkers << '\n';
    out << "  media extensions:  " << hello.mediaExtensions.join(sep) << '\n';
    out << "  methods:           " << hello.methods.join(sep) << '\n';
    out << "  qualities:         " << caps.qualities.join(sep) << '\n';
    out << "  containers:        " << caps.containers.join(sep) << '\n';
    out << "  video codecs:      " << caps.videoCodecs.join(sep) << '\n';
    out << "  cookie sources:    " << caps.cookieSources.join(sep) << '\n';
}

QCoro::Task<int> run(EngineClient* client) {
    try {
        client->start();
    } catch (const EngineFailure& e) {
        QTextStream(stderr) << e.text() << '\n';
        co_return 1;
    }
    int status = 0;
    try {
        const EngineHello hello = co_await client->request<EngineHello>(QStringLiteral("hello"));
        printHello(hello);
    } catch (const EngineFailure& e) {
        QTextStream(stderr) << e.text() << '\n';
        status = 1;
    }
    co_await client->stop();
    co_return status;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vamber"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VAMBER_VERSION));

    EngineClient client(EngineLocations::forApplication());
    int status = 0;
    QTimer::singleShot(0, &app, [&] {
        run(&client).then([&](int s) {
            status = s;
            QCoreApplication::exit(s);
        });
    });
    app.exec();
    return status;
}
