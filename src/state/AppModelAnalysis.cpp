// Analysis of the download field and the format choice.
#include "AppModel.h"

#include "ClipboardWatcher.h"
#include "Spawn.h"

void AppModel::setPastedText(const QString& text) {
    if (m_pastedText == text)
        return;
    m_pastedText = text;
    Q_EMIT pastedTextChanged();
    refreshDerived();
}

void AppModel::setFormat(const FormatChoice& format) {
    assign(m_format, format, &AppModel::formatChanged);
}

std::optional<Analysis> AppModel::freshAnalysis() const {
    if (m_analysis && m_analysis->url == m_pastedText.trimmed())
        return m_analysis;
    return std::nullopt;
}

std::optional<QString> AppModel::freshFailure() const {
    if (m_analysisFailure && m_analyzedURL == m_pastedText.trimmed())
        return m_analysisFailure;
    return std::nullopt;
}

QCoro::Task<void> AppModel::analyzeCurrent() {
    const QString address = m_pastedText.trimmed();
    if (address.isEmpty())
        co_return;
    const int token = ++m_analysisToken;
    assign(m_isAnalyzing, true, &AppModel::isAnalyzingChanged);
    assign(m_analysisFailure, std::optional<QString>(), &AppModel::analysisFailureChanged);
    assign(m_analyzedURL, address, &AppModel::analyzedURLChanged);
    refreshDerived();

    QPointer<AppModel> self(this);
    const CookiePair cookies = co_await cookieParams(address);
    if (!self)
        co_return;
    EngineMethods::Analyze::Params params;
    params.url = address;
    params.cookieSource = cookies.source;
    params.cookiesFile = cookies.file;
    params.forceGeneric = m_settings ? m_settings->forceGeneric : false;

    std::optional<Analysis> reply;
    std::exception_ptr failure;
    try {
        reply = co_await EngineMethods::send<EngineMethods::Analyze>(m_engine, params);
    } catch (...) {
        failure = std::current_exception();
    }
    // A newer analysis or a cleared field makes this answer stale.
    if (!self || token != m_analysisToken)
        co_return;
    if (reply) {
        assign(m_analysis, reply, &AppModel::analysisChanged);
    } else {
        assign(m_analysis, std::optional<Analysis>(), &AppModel::analysisChanged);
        assign(m_analysisFailure, std::optional<QString>(describe(failure)),
               &AppModel::analysisFailureChanged);
    }
    assign(m_isAnalyzing, false, &AppModel::isAnalyzingChanged);
    refreshDerived();
}

void AppModel::clearComposition() {
    ClipboardWatcher::markSeen();
    ++m_analysisToken;
    setPastedText(QString());
    assign(m_analysis, std::optional<Analysis>(), &AppModel::analysisChanged);
    assign(m_analysisFailure, std::optional<QString>(), &AppModel::analysisFailureChanged);
    assign(m_analyzedURL, QString(), &AppModel::analyzedURLChanged);
    assign(m_isAnalyzing, false, &AppModel::isAnalyzingChanged);
    refreshDerived();
}

void AppModel::applyQuality(const QString& quality) {
    FormatChoice f = m_format;
    if (quality == QLatin1String("audio")) {
        f.audioOnly = true;
    } else {
        f.audioOnly = false;
        const QStringList& allowed = m_allowedOptions.qualities;
        if (allowed.contains(quality))
            f.quality = quality;
        else if (!allowed.isEmpty())
            f.quality = allowed.first();
        else
            f.quality = quality;
    }
    setFormat(f);
}

QCoro::Task<void> AppModel::refreshAllowedOptions() {
    QPointer<AppModel> self(this);
    const EngineMethods::OptionsAllowed::Params params{m_format.container};
    const auto reply = co_await ask<EngineMethods::OptionsAllowed>(params, true);
    if (self && reply)
        assign(m_allowedOptions, *reply, &AppModel::allowedOptionsChanged);
}

void AppModel::toggleOptions() {
    assign(m_optionsExpanded, !m_optionsExpanded, &AppModel::optionsExpandedChanged);
    saveSetting(QStringLiteral("downloadOptionsExpanded"), SettingValue::flag(m_optionsExpanded));
}

void AppModel::saveFormatChoices() {
    if (!m_settings)
        return;
    const EngineSettings& s = *m_settings;
    SettingsPatch patch;
    // The subtitle mode has no setting: it is never saved.
    if (m_format.quality != s.quality)
        patch.values.insert(QStringLiteral("quality"), SettingValue::text(m_format.quality));
    if (m_format.container != s.container)
        patch.values.insert(QStringLiteral("container"), SettingValue::text(m_format.container));
    if (m_format.videoCodec != s.videoCodec)
        patch.values.insert(QStringLiteral("videoCodec"), SettingValue::text(m_format.videoCodec));
    if (m_format.audioOnly != s.audioOnly)
        patch.values.insert(QStringLiteral("audioOnly"), SettingValue::flag(m_format.audioOnly));
    if (m_format.saveThumbnail != s.saveThumbnail)
        patch.values.insert(QStringLiteral("saveThumbnail"), SettingValue::flag(m_format.saveThumbnail));
    if (m_format.embedCover != s.embedCover)
        patch.values.insert(QStringLiteral("embedCover"), SettingValue::flag(m_format.embedCover));
    if (patch.values.isEmpty())
        return;
    spawn(this, [this, patch]() -> QCoro::Task<void> {
        QPointer<AppModel> self(this);
        const auto reply = co_await ask<EngineMethods::SettingsSet>(patch, true);
        // A failed save keeps the last good settings.
        if (self && reply)
            setSettings(reply);
    });
}

void AppModel::restore(const EngineSettings& settings) {
    assign(m_optionsExpanded, settings.downloadOptionsExpanded, &AppModel::optionsExpandedChanged);
    FormatChoice f = m_format;
    f.quality = settings.quality;
    f.container = settings.container;
    f.videoCodec = settings.videoCodec;
    f.audioOnly = settings.audioOnly;
    f.saveThumbnail = settings.saveThumbnail;
    f.embedCover = settings.embedCover;
    setFormat(f);
}
