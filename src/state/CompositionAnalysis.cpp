// Analysis of the download field and the format choice.
#include "Composition.h"

#include "AppModel.h"
#include "Assign.h"
#include "ClipboardWatcher.h"
#include "Session.h"
#include "SettingFields.h"
#include "Spawn.h"

void Composition::setPastedText(const QString& text) {
    if (m_pastedText == text)
        return;
    m_pastedText = text;
    Q_EMIT pastedTextChanged();
    refreshFresh();
}

void Composition::setFormat(const FormatChoice& format) {
    assign(this, m_format, format, &Composition::formatChanged);
}

std::optional<Analysis> Composition::freshAnalysis() const {
    if (m_analysis && m_analysis->url == m_pastedText.trimmed())
        return m_analysis;
    return std::nullopt;
}

std::optional<QString> Composition::freshFailure() const {
    if (m_analysisFailure && m_analyzedURL == m_pastedText.trimmed())
        return m_analysisFailure;
    return std::nullopt;
}

QCoro::Task<void> Composition::analyzeCurrent() {
    const QString address = m_pastedText.trimmed();
    if (address.isEmpty())
        co_return;
    const int token = ++m_analysisToken;
    assign(this, m_isAnalyzing, true, &Composition::isAnalyzingChanged);
    assign(this, m_analysisFailure, std::optional<QString>(), &Composition::analysisFailureChanged);
    assign(this, m_analyzedURL, address, &Composition::analyzedURLChanged);
    refreshFresh();

    QPointer<Composition> self(this);
    const Session::CookiePair cookies = co_await m_app.sessionPart().cookieParams(address);
    if (!self)
        co_return;
    const EngineMethods::Analyze::Params params{
        .url = address,
        .cookieSource = cookies.source,
        .cookiesFile = cookies.file,
        .forceGeneric = Setting::forceGeneric.read(m_app.sessionPart().settings())};

    std::optional<Analysis> reply;
    std::exception_ptr failure;
    try {
        reply = co_await EngineMethods::send<EngineMethods::Analyze>(&m_app.engine(), params);
    } catch (...) {
        failure = std::current_exception();
    }
    // A newer analysis or a cleared field makes this answer stale.
    if (!self || token != m_analysisToken)
        co_return;
    if (reply) {
        assign(this, m_analysis, reply, &Composition::analysisChanged);
    } else {
        assign(this, m_analysis, std::optional<Analysis>(), &Composition::analysisChanged);
        assign(this, m_analysisFailure, std::optional<QString>(Session::describe(failure)),
               &Composition::analysisFailureChanged);
    }
    assign(this, m_isAnalyzing, false, &Composition::isAnalyzingChanged);
    refreshFresh();
}

void Composition::clearComposition() {
    ClipboardWatcher::markSeen();
    ++m_analysisToken;
    setPastedText(QString());
    assign(this, m_analysis, std::optional<Analysis>(), &Composition::analysisChanged);
    assign(this, m_analysisFailure, std::optional<QString>(), &Composition::analysisFailureChanged);
    assign(this, m_analyzedURL, QString(), &Composition::analyzedURLChanged);
    assign(this, m_isAnalyzing, false, &Composition::isAnalyzingChanged);
    refreshFresh();
}

void Composition::applyQuality(const QString& quality) {
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

QCoro::Task<void> Composition::refreshAllowedOptions() {
    QPointer<Composition> self(this);
    const EngineMethods::OptionsAllowed::Params params{m_format.container};
    const auto reply = co_await m_app.sessionPart().ask<EngineMethods::OptionsAllowed>(params, true);
    if (self && reply)
        assign(this, m_allowedOptions, *reply, &Composition::allowedOptionsChanged);
}

void Composition::toggleOptions() {
    assign(this, m_optionsExpanded, !m_optionsExpanded, &Composition::optionsExpandedChanged);
    m_app.sessionPart().saveSetting(Setting::downloadOptionsExpanded.with(m_optionsExpanded));
}

void Composition::saveFormatChoices() {
    if (!m_app.sessionPart().settings())
        return;
    const EngineSettings& s = *m_app.sessionPart().settings();
    SettingsPatch patch;
    const auto keep = [&](const auto& field, const auto& chosen) {
        if (chosen != s.*field.member)
            field.addTo(patch, chosen);
    };
    // The subtitle mode has no setting: it is never saved.
    keep(Setting::quality, m_format.quality);
    keep(Setting::container, m_format.container);
    keep(Setting::videoCodec, m_format.videoCodec);
    keep(Setting::audioOnly, m_format.audioOnly);
    keep(Setting::saveThumbnail, m_format.saveThumbnail);
    keep(Setting::embedCover, m_format.embedCover);
    if (!patch.values.isEmpty())
        m_app.sessionPart().saveSetting(patch);
}

void Composition::restore(const EngineSettings& settings) {
    assign(this, m_optionsExpanded, settings.downloadOptionsExpanded, &Composition::optionsExpandedChanged);
    // The subtitle mode has no setting: it stays as chosen.
    setFormat({.quality = settings.quality,
               .container = settings.container,
               .videoCodec = settings.videoCodec,
               .subtitleMode = m_format.subtitleMode,
               .audioOnly = settings.audioOnly,
               .saveThumbnail = settings.saveThumbnail,
               .embedCover = settings.embedCover});
}

void Composition::refreshFresh() {
    const std::optional<Analysis> fresh = freshAnalysis();
    if (fresh != m_shownFreshAnalysis) {
        m_shownFreshAnalysis = fresh;
        Q_EMIT freshAnalysisChanged();
    }
    const std::optional<QString> failure = freshFailure();
    if (failure != m_shownFreshFailure) {
        m_shownFreshFailure = failure;
        Q_EMIT freshFailureChanged();
    }
}
