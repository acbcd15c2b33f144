// The Transcription tab's cost for a short and a long list of jobs.
//
// The pane is shown offscreen over a state object booted against the stand-in engine; the jobs come in
// as the engine's "transcribe.state" events folded into the state. For 20 and for 10,000 jobs it prints:
// the time to fill the state with the pane open (and without it, the state's own share), to build a new pane
// over the full list, to take one more job (the mean over 200), to take one progress event (the mean over
// 1,000), and to paint the pane.

#include "StateFixture.h"
#include "Transcriptions.h"

#include "transcription/TranscriptionListModel.h"
#include "transcription/TranscriptionPane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>

#include <cstdio>
#include <memory>

namespace {

EngineEvent stateEvent(const QString& id, TranscriptionStatus state) {
    EngineEvent::TranscribeState s;
    s.jobId = id;
    s.state = state;
    s.title = QStringLiteral("Recording %1").arg(id);
    s.path = QStringLiteral("/media/%1.mp3").arg(id);
    s.estimateSeconds = 300.0;
    return EngineEvent{s};
}

EngineEvent progressEvent(const QString& id, double fraction) {
    EngineEvent::TranscribeProgress p;
    p.jobId = id;
    p.percent = int(fraction * 100);
    p.fraction = fraction;
    return EngineEvent{p};
}

QString idOf(int round, int i) {
    // Spread over the list as generated ids are.
    return QStringLiteral("%1-%2").arg((i * 7919) % 100000, 6, 10, QLatin1Char('0')).arg(round);
}

double msSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

void fill(StateFixture& f, int round, int count) {
    for (int i = 0; i < count; ++i)
        f.model->apply(
            stateEvent(idOf(round, i), i % 2 ? TranscriptionStatus::Running : TranscriptionStatus::Queued));
    QCoreApplication::processEvents();
}

// False when a pane could not be shown: nothing it would print would mean anything.
bool measure(StateFixture& f, int round, int count) {
    // The state's own share, without a pane.
    f.model->transcriptionsPart().clearTranscriptions();
    QElapsedTimer alone;
    alone.start();
    fill(f, round + 100, count);
    const double stateOnly = msSince(alone);
    f.model->transcriptionsPart().clearTranscriptions();
    auto pane = std::make_unique<TranscriptionPane>(f.model.get());
    pane->resize(810, 700);
    pane->show();
    if (!QTest::qWaitForWindowExposed(pane.get()))
        return false;

    QElapsedTimer t;
    t.start();
    fill(f, round, count);
    const double filled = msSince(t);

    t.restart();
    auto second = std::make_unique<TranscriptionPane>(f.model.get());
    second->resize(810, 700);
    second->show();
    if (!QTest::qWaitForWindowExposed(second.get()))
        return false;
    const double build = msSince(t);
    second.reset();

    const int more = 200;
    t.restart();
    for (int i = 0; i < more; ++i)
        f.model->apply(stateEvent(QStringLiteral("M%1-%2").arg(i, 4, 10, QLatin1Char('0')).arg(round),
                                  TranscriptionStatus::Queued));
    QCoreApplication::processEvents();
    const double perJob = msSince(t) / more;

    const int events = 1000;
    t.restart();
    for (int i = 0; i < events; ++i)
        f.model->apply(progressEvent(idOf(round, 1 + 2 * (i % std::max(1, count / 2))), (i % 100) / 100.0));
    QCoreApplication::processEvents();
    const double perProgress = msSince(t) / events;

    t.restart();
    const int paints = 20;
    for (int i = 0; i < paints; ++i)
        (void)pane->grab();
    const double paint = msSince(t) / paints;

    std::printf(
        "%6d jobs: fill %8.1f ms (state alone %8.1f ms), new pane %6.1f ms, one more job %6.3f ms, one "
        "progress event %6.3f ms, paint %5.1f ms (%d rows listed)\n",
        count, filled, stateOnly, build, perJob, perProgress, paint, pane->rows()->rowCount());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StateFixture f;
    f.boot();
    std::printf("transcription pane (810 x 700, offscreen)\n");
    if (!measure(f, 1, 20) || !measure(f, 2, 10000)) {
        std::fprintf(stderr, "a pane could not be shown\n");
        return 1;
    }
    f.model->transcriptionsPart().clearTranscriptions();
    return 0;
}
