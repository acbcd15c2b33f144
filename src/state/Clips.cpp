// Clips: the suggested name and place, the one extraction the clip panel follows, and its cancel.
#include "Clips.h"

#include "AppModel.h"
#include "Session.h"
#include "Spawn.h"

Clips::Clips(AppModel& app) : m_app(app) {}

QCoro::Task<std::optional<ClipSuggestion>> Clips::suggestClip(QString path, qint64 startMs, qint64 endMs,
                                                              bool audioOnly) {
    const EngineMethods::ClipSuggest::Params params{path, startMs, endMs, audioOnly};
    co_return co_await m_app.sessionPart().ask<EngineMethods::ClipSuggest>(params, true);
}

std::shared_ptr<ClipJob> Clips::extractClip(const QString& path, qint64 startMs, qint64 endMs, ClipMode mode,
                                            bool audioOnly) {
    auto job = std::make_shared<ClipJob>();
    m_clipJob = job;
    Q_EMIT clipJobChanged();
    const EngineMethods::ClipExtract::Params params{path, startMs, endMs, job->id(), mode, audioOnly};
    spawn(this, [this, job, params]() -> QCoro::Task<void> {
        QPointer<Clips> self(this);
        std::optional<ClipResult> result;
        std::exception_ptr failure;
        try {
            result = co_await EngineMethods::send<EngineMethods::ClipExtract>(&m_app.engine(), params);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            co_return;
        if (result) {
            job->finish(result->path);
            Q_EMIT clipSaved();
            co_return;
        }
        try {
            std::rethrow_exception(failure);
        } catch (const EngineError& e) {
            if (e.isCancelled()) {
                job->cancel(e.message());
            } else {
                job->fail(e.message());
                m_app.sessionPart().report(e.message(), e.detail());
            }
        } catch (...) {
            job->fail(Session::describe(failure));
        }
    });
    return job;
}

void Clips::cancelClip(const std::shared_ptr<ClipJob>& job) {
    if (!job)
        return;
    const EngineMethods::ClipCancel::Params params{job->id()};
    spawn(this, [this, params]() -> QCoro::Task<void> {
        co_await m_app.sessionPart().ping<EngineMethods::ClipCancel>(params, false);
    });
}

void Clips::apply(const EngineEvent::ClipState& event) {
    if (m_clipJob && m_clipJob->id() == event.jobId)
        m_clipJob->follow(event);
}

void Clips::apply(const EngineEvent::ClipProgress& event) {
    if (m_clipJob && m_clipJob->id() == event.jobId)
        m_clipJob->setFraction(event.fraction);
}
