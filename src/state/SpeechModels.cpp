// Speech-recognition models: the engine's list, offers, downloads, cancels and deletions, and the
// per-model progress and notices the engine's events keep current.
#include "SpeechModels.h"

#include "AppModel.h"
#include "Assign.h"
#include "Fraction.h"
#include "Session.h"
#include "Spawn.h"
#include "Strings.h"

SpeechModels::SpeechModels(AppModel& app) : m_app(app) {}

bool SpeechModels::canTranscribe() const {
    return m_modelsInfo && m_modelsInfo->supported && m_modelsInfo->helperAvailable;
}

QCoro::Task<void> SpeechModels::reloadModels() {
    QPointer<SpeechModels> self(this);
    const auto info =
        co_await m_app.sessionPart().ask<EngineMethods::ModelsList>(EngineMethods::NoParams{}, true);
    if (self)
        setModelsInfo(info);
}

QCoro::Task<std::optional<ModelOffer>> SpeechModels::fetchModelOffer(QString key) {
    // Named, not a temporary in the co_await: g++ 12 would destroy a braced temporary twice.
    const EngineMethods::ModelParams params{key};
    try {
        co_return co_await EngineMethods::send<EngineMethods::ModelsOffer>(&m_app.engine(), params);
    } catch (...) {
    }
    co_return std::nullopt;
}

void SpeechModels::downloadModel(const QString& key) {
    m_modelCancelsAsked.remove(key);
    setModelDownload(key, 0.0);
    setModelNotice(key, std::nullopt);
    spawn(this, [this, key]() -> QCoro::Task<void> {
        QPointer<SpeechModels> self(this);
        std::exception_ptr failure;
        try {
            const QString method = QString::fromLatin1(EngineMethods::ModelsDownload::name);
            const QJsonObject params = EngineMethods::ModelParams{key}.toJson();
            co_await m_app.engine().call(method, params);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            co_return;
        // A refused download would otherwise show as running until an event that may never come. The
        // engine's own "failed" event usually came first and already ended it with its message.
        if (failure) {
            if (!Session::isCancellation(failure))
                m_app.sessionPart().report(Session::describe(failure));
            if (m_modelDownloads.contains(key)) {
                setModelDownload(key, std::nullopt);
                if (Session::isCancellation(failure))
                    setModelNotice(
                        key, ModelNotice{Strings::text(QStringLiteral("status_model_cancelled")), false});
                else
                    setModelNotice(key, ModelNotice{Session::describe(failure), true});
            }
        }
        co_await reloadModels();
    });
}

void SpeechModels::cancelModelDownload(const QString& key) {
    if (m_modelDownloads.contains(key))
        m_modelCancelsAsked.insert(key);
    const EngineMethods::ModelParams params{key};
    spawn(this, [this, params]() -> QCoro::Task<void> {
        co_await m_app.sessionPart().ping<EngineMethods::ModelsCancel>(params, false);
    });
}

void SpeechModels::deleteModel(const QString& key) {
    const EngineMethods::ModelParams params{key};
    spawn(this, [this, params]() -> QCoro::Task<void> {
        QPointer<SpeechModels> self(this);
        co_await m_app.sessionPart().ping<EngineMethods::ModelsDelete>(params, true);
        if (self)
            co_await reloadModels();
    });
}

qint64 SpeechModels::modelBytesOnDisk(const WhisperModel& model) const {
    if (m_modelsInfo) {
        const qint64 onDisk = m_modelsInfo->diskUsage.value(model.key, 0);
        if (onDisk > 0)
            return onDisk;
    }
    return model.downloadBytes;
}

void SpeechModels::setModelsInfo(const std::optional<ModelsInfo>& info) {
    assign(this, m_modelsInfo, info, &SpeechModels::modelsInfoChanged);
}

void SpeechModels::setModelDownload(const QString& key, std::optional<double> fraction) {
    if (!fraction) {
        if (m_modelDownloads.remove(key))
            Q_EMIT modelDownloadsChanged();
        return;
    }
    const double value = unitFraction(*fraction);
    const auto it = m_modelDownloads.constFind(key);
    if (it != m_modelDownloads.constEnd() && *it == value)
        return;
    m_modelDownloads.insert(key, value);
    Q_EMIT modelDownloadsChanged();
}

void SpeechModels::setModelNotice(const QString& key, std::optional<ModelNotice> notice) {
    if (!notice) {
        if (m_modelNotices.remove(key))
            Q_EMIT modelNoticesChanged();
        return;
    }
    const auto it = m_modelNotices.constFind(key);
    if (it != m_modelNotices.constEnd() && *it == *notice)
        return;
    m_modelNotices.insert(key, *notice);
    Q_EMIT modelNoticesChanged();
}

void SpeechModels::spawnModelReload() {
    spawn(this, [this]() -> QCoro::Task<void> { co_await reloadModels(); });
}

void SpeechModels::endModelDownloads(const QString& message) {
    // The engine's downloads went with it and no event will end them: without this they would show as
    // running for ever, with no way to download again.
    const QStringList keys = m_modelDownloads.keys();
    for (const QString& key : keys) {
        const bool cancelled = m_modelCancelsAsked.contains(key);
        setModelDownload(key, std::nullopt);
        setModelNotice(key, cancelled
                                ? ModelNotice{Strings::text(QStringLiteral("status_model_cancelled")), false}
                                : ModelNotice{message, true});
    }
    m_modelCancelsAsked.clear();
}

void SpeechModels::apply(const EngineEvent::ModelState& event) {
    m_modelCancelsAsked.remove(event.key);
    setModelDownload(event.key, std::nullopt);
    switch (event.state) {
    case ModelStatus::Installed:
        setModelNotice(event.key, std::nullopt);
        spawnModelReload();
        break;
    case ModelStatus::Deleted:
        setModelNotice(event.key, ModelNotice{Strings::text(QStringLiteral("status_model_deleted")), false});
        spawnModelReload();
        break;
    case ModelStatus::Cancelled:
        setModelNotice(event.key,
                       ModelNotice{Strings::text(QStringLiteral("status_model_cancelled")), false});
        break;
    case ModelStatus::Failed: {
        QString text;
        if (event.message)
            text = *event.message;
        else
            text = Strings::text(
                QStringLiteral("status_model_failed"),
                {{QStringLiteral("reason"), Strings::text(QStringLiteral("model_error_network"))}});
        setModelNotice(event.key, ModelNotice{text, true});
        break;
    }
    case ModelStatus::Other:
        break;
    }
}

void SpeechModels::apply(const EngineEvent::ModelProgress& event) {
    setModelDownload(event.key, event.fraction);
}
