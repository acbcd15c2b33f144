#include "EngineClient.h"
#include "EngineFailure.h"
#include "EngineLocations.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

#include <QCoro/QCoroTask>

namespace {

QString joined(const QJsonValue& v) {
    QStringList items;
    for (const QJsonValue& item : v.toArray())
        items << item.toString();
    return items.join(QStringLiteral(", "));
}

void printHello(const QJsonObject& hello) {
    QTextStream out(stdout);
    out << "Engine " << hello.value(QLatin1String("engineVersion")).toString() << '\n';
    out << "  script:            " << hello.value(QLatin1String("enginePath")).toString() << '\n';
    out << "  interpreter:       " << hello.value(QLatin1String("python")).toString() << '\n';
    out << "  ffmpeg folder:     " << hello.value(QLatin1String("ffmpegDir")).toString() << '\n';
    out << "  download workers:  " << hello.value(QLatin1String("downloadWorkers")).toInteger() << '\n';
    out << "  media extensions:  " << joined(hello.value(QLatin1String("mediaExtensions"))) << '\n';
    out << "  methods:           " << joined(hello.value(QLatin1String("methods"))) << '\n';
    const QJsonObject caps = hello.value(QLatin1String("capabilities")).toObject();
    for (auto it = caps.constBegin(); it != caps.constEnd(); ++it)
        out << "  " << it.key() << ": " << joined(it.value()) << '\n';
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
        const QJsonValue hello = co_await client->call(QStringLiteral("hello"));
        printHello(hello.toObject());
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
