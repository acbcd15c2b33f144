#pragma once

#include "EngineEvent.h"
#include "Job.h"

#include <QtGlobal>

// Fixtures: brings a job that is not running to `state` through the moves a run makes, as the engine's
// events and replies would. States only a running job reaches are applied inside a run opened for the
// moment and closed again, so the job is left as a fixture expects: not running.
inline void putInState(Job& job, const Job::State& state) {
    if (job.state() == state)
        return;
    using S = Job::State;
    using Engine = EngineEvent::JobState::Kind;
    const auto duringRun = [&job](auto event) {
        const bool opened = job.openRun();
        job.apply(event);
        if (opened)
            job.closeRun();
    };
    const auto engineState = [&](Engine kind) {
        EngineEvent::JobState event;
        event.jobId = job.id();
        event.state = kind;
        event.fraction = job.fraction();
        duringRun(event);
    };
    switch (state.kind) {
    case S::Waiting:
        job.backToWaiting();
        break;
    case S::Queued:
        job.requeue();
        break;
    case S::Analyzing:
        job.start();
        break;
    case S::Downloading: {
        EngineEvent::JobStarted started;
        started.jobId = job.id();
        duringRun(started);
        break;
    }
    case S::Paused:
        job.pause();
        break;
    case S::Processing:
        engineState(Engine::Processing);
        break;
    case S::Converting:
        engineState(Engine::Converting);
        break;
    case S::Done:
        job.finish(job.outputPath());
        break;
    case S::Cancelled:
        job.cancel();
        break;
    case S::Failed:
        job.fail(state.message);
        break;
    }
    // A move that a later guard refuses would leave every fixture built on it in the wrong state.
    if (!(job.state() == state))
        qFatal("putInState: state %d not reached", int(state.kind));
}
