#include "FirstLaunch.h"

#include "LocalInstanceGuard.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTextStream>

#include <csignal>

namespace {
// How long the application may take to start listening (a loaded machine, a cold disk).
constexpr int startTimeoutMs = 60000;
} // namespace

int startApplicationAndAsk(LocalInstanceGuard& guard, const QStringList& arguments) {
    guard.release();
    QProcess application;
    application.setProgram(QCoreApplication::applicationFilePath());
    application.setArguments({});
    // Nothing of ours stays open in it: a caller reading our output must see its end when we exit.
    application.setStandardInputFile(QProcess::nullDevice());
    application.setStandardOutputFile(QProcess::nullDevice());
    application.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!application.startDetached(&pid)) {
        QTextStream(stderr) << "[app] could not start Vamber: " << application.errorString() << Qt::endl;
        return 1;
    }
    const auto starting = [pid] { return pid > 0 && ::kill(pid_t(pid), 0) == 0; };
    const std::optional<InstanceAnswer> answer = guard.askStarting(arguments, starting, startTimeoutMs);
    if (!answer) {
        QTextStream(stderr) << "[app] Vamber was started but did not answer" << Qt::endl;
        return 1;
    }
    QTextStream(stdout) << answer->out;
    QTextStream(stderr) << answer->err;
    return answer->status;
}
