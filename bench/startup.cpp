// From process start to the root view painted with the texts loaded (the stand-in engine, an empty
// library), and the resident memory once idle; median of 5 runs, with the machine's load.
// Usage: bench/startup [runs]   (runs offscreen unless QT_QPA_PLATFORM says otherwise)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <vector>

namespace {

QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// Resident memory in MB, -1 when it cannot be read.
double residentMB(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

qint64 childOf(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().split(' ').first().toLongLong();
}

struct Run {
    qint64 rootMs = -1;
    double appMB = -1;
    double engineMB = -1;
};

Run once(const QString& program) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        env.insert(QString::fromLatin1(name), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("VAMBER_SUPPORT_DIR"), home.filePath(QStringLiteral("support")));
    env.insert(QStringLiteral("VAMBER_STARTUP_PROBE"), QStringLiteral("1"));
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    QFile::setPermissions(home.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    app.start(program, {});
    Run run;
    QByteArray out;
    while (clock.elapsed() < 30000 && app.state() != QProcess::NotRunning) {
        app.waitForReadyRead(20);
        out += app.readAllStandardOutput();
        if (out.contains("root-painted")) {
            run.rootMs = clock.elapsed();
            break;
        }
    }
    if (run.rootMs >= 0) {
        // Idle: the start-up requests answered, nothing on screen changing.
        QThread::sleep(3);
        run.appMB = residentMB(app.processId());
        run.engineMB = residentMB(childOf(app.processId()));
    }
    ::kill(app.processId(), SIGTERM);
    if (!app.waitForFinished(10000))
        app.kill();
    return run;
}

template <class T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, QString::fromLatin1(argv[1]).toInt()) : 5;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../lib/vamber/vamber");
    QTextStream out(stdout);
    out << "load before: " << loadAverage() << Qt::endl;
    std::vector<qint64> times;
    std::vector<double> apps;
    std::vector<double> engines;
    for (int i = 0; i < runs; ++i) {
        const Run run = once(program);
        if (run.rootMs < 0) {
            out << "run " << i + 1 << ": the root view was never painted" << Qt::endl;
            return 1;
        }
        out << "run " << i + 1 << ": root view " << run.rootMs << " ms, resident " << QString::number(run.appMB, 'f', 1)
            << " MB (engine " << QString::number(run.engineMB, 'f', 1) << " MB)" << Qt::endl;
        times.push_back(run.rootMs);
        apps.push_back(run.appMB);
        engines.push_back(run.engineMB);
    }
    out << "median: root view " << median(times) << " ms (target under 1000), resident "
        << QString::number(median(apps), 'f', 1) << " MB (target under 120; engine "
        << QString::number(median(engines), 'f', 1) << " MB)" << Qt::endl;
    out << "load after: " << loadAverage() << Qt::endl;
    return 0;
}
