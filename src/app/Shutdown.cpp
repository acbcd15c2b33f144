#include "Shutdown.h"

#include "AppModel.h"
#include "DownloadQueue.h"

#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler may only write to a descriptor; the event loop reads the other end.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

Shutdown::Shutdown(AppModel& model, QObject* parent) : QObject(parent), m_model(model) {}

Shutdown::~Shutdown() {
    if (m_signals) {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
    }
}

void Shutdown::watchSignals() {
    if (m_signals || signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    m_signals = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_signals, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
        request();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void Shutdown::request() {
    if (m_requested)
        return;
    m_requested = true;
    run();
}

void Shutdown::run() {
    // Events that arrive from now on change nothing: the pump is cut before the engine is stopped.
    QObject::disconnect(&m_model.engine(), &EngineClient::event, &m_model, &AppModel::apply);
    stopEngine(); // runs on by itself and ends in finished()
}

QCoro::Task<void> Shutdown::stopEngine() {
    QPointer<Shutdown> self(this);
    // The last change of the queue must reach the engine before it is asked to end; a save that does not
    // come back within the engine's own stop bound is not waited for.
    co_await m_model.queuePart().queueSavesSettled(std::chrono::seconds(3));
    if (!self)
        co_return;
    co_await m_model.engine().stop();
    if (self)
        Q_EMIT finished();
}
