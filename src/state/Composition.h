#pragma once

#include "EngineTypes.h"
#include "FormatChoice.h"

#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <optional>

class AppModel;

// The download being composed: the pasted address, its analysis and the format chosen.
class Composition : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString pastedText READ pastedText WRITE setPastedText NOTIFY pastedTextChanged)
    Q_PROPERTY(bool isAnalyzing READ isAnalyzing NOTIFY isAnalyzingChanged)
    Q_PROPERTY(QString analyzedURL READ analyzedURL NOTIFY analyzedURLChanged)
    // About the text now in the field only.
    Q_PROPERTY(bool hasFreshAnalysis READ hasFreshAnalysis NOTIFY freshAnalysisChanged)
    Q_PROPERTY(QString freshFailure READ freshFailureText NOTIFY freshFailureChanged)
    // The format controls are shown.
    Q_PROPERTY(bool optionsExpanded READ optionsExpanded NOTIFY optionsExpandedChanged)

public:
    // Owned by `app`, which outlives it.
    explicit Composition(AppModel& app);

    // ---- analysis and format choice ----
    const QString& pastedText() const { return m_pastedText; }
    void setPastedText(const QString& text);
    const std::optional<Analysis>& analysis() const { return m_analysis; }
    bool isAnalyzing() const { return m_isAnalyzing; }
    const std::optional<QString>& analysisFailure() const { return m_analysisFailure; }
    const QString& analyzedURL() const { return m_analyzedURL; }
    const FormatChoice& format() const { return m_format; }
    void setFormat(const FormatChoice& format);
    const AllowedOptions& allowedOptions() const { return m_allowedOptions; }
    bool optionsExpanded() const { return m_optionsExpanded; }
    // The analysis and its failure when they are about the text now in the field (signals only on change).
    std::optional<Analysis> freshAnalysis() const;
    std::optional<QString> freshFailure() const;
    bool hasFreshAnalysis() const { return freshAnalysis().has_value(); }
    QString freshFailureText() const { return freshFailure().value_or(QString()); }
    QCoro::Task<void> analyzeCurrent();
    void clearComposition();
    void applyQuality(const QString& quality);
    QCoro::Task<void> refreshAllowedOptions();
    void toggleOptions();
    void saveFormatChoices();
    // Takes the saved format choices and the options' state from the engine's settings.
    void restore(const EngineSettings& settings);

    // ---- clipboard offer ----
    void offerClipboardIfIdle();
    void offerClipboardOnActivation();

Q_SIGNALS:
    void pastedTextChanged();
    void analysisChanged();
    void isAnalyzingChanged();
    void analysisFailureChanged();
    void analyzedURLChanged();
    void formatChanged();
    void allowedOptionsChanged();
    void optionsExpandedChanged();
    // Computed values: emitted only when their value really changed.
    void freshAnalysisChanged();
    void freshFailureChanged();

private:
    // Recomputes freshAnalysis and freshFailure and signals those that changed.
    void refreshFresh();
    void scheduleClipboardRecheck(int generation, int delayMs, int left);

    AppModel& m_app;

    QString m_pastedText;
    std::optional<Analysis> m_analysis;
    bool m_isAnalyzing = false;
    std::optional<QString> m_analysisFailure;
    QString m_analyzedURL;
    FormatChoice m_format;
    AllowedOptions m_allowedOptions = AllowedOptions::empty();
    bool m_optionsExpanded = false;
    int m_analysisToken = 0;
    std::optional<Analysis> m_shownFreshAnalysis;
    std::optional<QString> m_shownFreshFailure;
    // Bumped by every activation: the rechecks of an earlier one stop.
    int m_clipboardRecheckGeneration = 0;
};
