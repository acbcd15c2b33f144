// Clips: the suggested name and place, the one extraction the clip panel follows, and its cancel.
#include "AppModel.h"

#include "Library.h"
#include "Spawn.h"

QCoro::Task<std::optional<ClipSuggestion>> AppModel::suggestClip(QString path, qint64 startMs, qint64 endMs,
                                                                 bool audioOnly) {
    const EngineMethods::ClipSuggest::Params params{path, startMs, endMs, audioOnly};
    co_return co_await ask<EngineMethods::ClipSuggest>(params, true);
}

std::shared_ptr<ClipJob> AppModel::extractClip(const QString& path, qint64 startMs, qint64 endMs,
                                               ClipMode mode, bool audioOnly) {
    auto job = std::make_shared<ClipJob>();
    m_clipJob = job;
    Q_EMIT clipJobChanged();
    const EngineMethods::ClipExtract::Params params{path, startMs, endMs, job->id(), mode, audioOnly};
    spawn(this, [this, job, params]() -> QCoro::Task<void> {
        QPointer<AppModel> self(this);
        std::optional<ClipResult> result;
        std::exception_ptr failure;
        try {
            result = co_await EngineMethods::send<EngineMethods::ClipExtract>(m_engine, params);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            co_return;
        if (result) {
            job->setState(QStringLiteral("done"));
            job->setFraction(1);
            job->setDestination(result->path);
            co_await libraryPart().reloadLibrary();
            co_return;
        }
        try {
            std::rethrow_exception(failure);
        } catch (const EngineError& e) {
            job->setState(e.isCancelled() ? QStringLiteral("cancelled") : QStringLiteral("failed"));
            job->setMessage(e.message());
            if (!e.isCancelled())
                report(e.message(), e.detail());
        } catch (...) {
            job->setState(QStringLiteral("failed"));
            job->setMessage(describe(failure));
        }
    });
    return job;
}

void AppModel::cancelClip(const std::shared_ptr<ClipJob>& job) {
    if (!job)
        return;
    const EngineMethods::ClipCancel::Params params{job->id()};
    spawn(this,
          [this, params]() -> QCoro::Task<void> { co_await ping<EngineMethods::ClipCancel>(params, false); });
}
