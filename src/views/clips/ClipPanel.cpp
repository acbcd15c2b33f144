#include "clips/ClipPanel.h"

#include "AppModel.h"
#include "ClipJob.h"
#include "Clips.h"
#include "Fraction.h"
#include "Job.h"
#include "Library.h"
#include "Strings.h"
#include "clips/BoundControl.h"
#include "clips/PlayerSession.h"
#include "clips/TrimTimeline.h"
#include "kit/Icons.h"
#include "kit/LinkButton.h"
#include "kit/SegmentedBar.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"
#include "rows/ElidedLabel.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* caption(QWidget* parent) {
    auto* label = new QLabel(parent);
    TextStyle::apply(label, TextStyle::Role::Caption);
    Theme::setForeground(label, Theme::Ink::Secondary);
    return label;
}

QWidget* row(QWidget* parent, int spacing, QHBoxLayout*& layout) {
    auto* widget = new QWidget(parent);
    layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return widget;
}

} // namespace

ClipPanel::ClipPanel(PlayerSession* session, FrameSource* frames, QWidget* parent)
    : QWidget(parent), m_session(session) {
    setObjectName(QStringLiteral("clip_panel"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    QHBoxLayout* titleLayout = nullptr;
    QWidget* titleRow = row(this, 8, titleLayout);
    m_title = new QLabel(titleRow);
    TextStyle::apply(m_title, TextStyle::Role::Headline);
    m_audioOnly = new QCheckBox(titleRow);
    m_audioOnly->setObjectName(QStringLiteral("checkbox_audio_only"));
    titleLayout->addWidget(m_title);
    titleLayout->addStretch(1);
    titleLayout->addWidget(m_audioOnly);
    column->addWidget(titleRow);

    m_timeline = new TrimTimeline(frames, this);
    column->addWidget(m_timeline);

    QHBoxLayout* boundsLayout = nullptr;
    QWidget* boundsRow = row(this, 16, boundsLayout);
    m_start = new BoundControl(session, PlayerSession::Bound::Start, boundsRow);
    m_end = new BoundControl(session, PlayerSession::Bound::End, boundsRow);
    auto* lengthColumn = new QVBoxLayout;
    lengthColumn->setSpacing(2);
    m_lengthTitle = caption(boundsRow);
    m_length = new QLabel(boundsRow);
    m_length->setObjectName(QStringLiteral("clip_length"));
    m_length->setFont(TextStyle::digits(TextStyle::Role::Body));
    lengthColumn->addWidget(m_lengthTitle);
    lengthColumn->addWidget(m_length);
    boundsLayout->addWidget(m_start, 0, Qt::AlignBottom);
    boundsLayout->addWidget(m_end, 0, Qt::AlignBottom);
    boundsLayout->addLayout(lengthColumn);
    boundsLayout->addStretch(1);
    column->addWidget(boundsRow);

    m_mode = new SegmentedBar(this);
    m_mode->setObjectName(QStringLiteral("clip_mode"));
    m_mode->setMaximumWidth(220);
    QList<QVariant> modes;
    for (ClipMode mode : allClipModes)
        modes << clipModeValue(mode);
    m_mode->setValues(modes, [](const QVariant& value) {
        return Strings::text(value.toString() == clipModeValue(ClipMode::fast)
                                 ? QStringLiteral("v2_clip_mode_fast_name")
                                 : QStringLiteral("v2_clip_mode_precise_name"));
    });
    column->addWidget(m_mode);
    m_modeHelp = caption(this);
    m_modeHelp->setObjectName(QStringLiteral("clip_mode_help"));
    m_modeHelp->setWordWrap(true);
    column->addWidget(m_modeHelp);

    // The job area: progress while a clip runs; otherwise the last result or failure, then the buttons.
    QHBoxLayout* progressLayout = nullptr;
    m_progressRow = row(this, 8, progressLayout);
    m_progressRow->setObjectName(QStringLiteral("clip_progress_row"));
    m_progress = new QProgressBar(m_progressRow);
    m_progress->setObjectName(QStringLiteral("clip_progress"));
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->setMaximumWidth(240);
    m_percent = caption(m_progressRow);
    m_percent->setObjectName(QStringLiteral("clip_percent"));
    m_percent->setFont(TextStyle::digits(TextStyle::Role::Caption));
    m_cancel = new LinkButton(QStringLiteral("button_cancel"), m_progressRow);
    progressLayout->addWidget(m_progress, 1);
    progressLayout->addWidget(m_percent);
    progressLayout->addWidget(m_cancel);
    progressLayout->addStretch(0);
    column->addWidget(m_progressRow);

    QHBoxLayout* resultLayout = nullptr;
    m_resultRow = row(this, 8, resultLayout);
    m_resultRow->setObjectName(QStringLiteral("clip_result_row"));
    // The emblem in its own colours: green with its white tick (a one-colour glyph of it is a plain blot).
    m_resultIcon = new QLabel(m_resultRow);
    m_resultIcon->setPixmap(Icons::icon(QStringLiteral("checkmark.circle.fill")).pixmap(16, 16));
    m_resultName = new ElidedLabel(m_resultRow);
    m_resultName->setObjectName(QStringLiteral("clip_result_name"));
    TextStyle::apply(m_resultName, TextStyle::Role::Callout);
    m_view = new LinkButton(QStringLiteral("button_view"), m_resultRow);
    resultLayout->addWidget(m_resultIcon);
    resultLayout->addWidget(m_resultName, 1);
    resultLayout->addWidget(m_view);
    column->addWidget(m_resultRow);

    QHBoxLayout* failureLayout = nullptr;
    m_failureRow = row(this, 6, failureLayout);
    m_failureRow->setObjectName(QStringLiteral("clip_failure_row"));
    auto* warning =
        new SymbolLabel(QStringLiteral("exclamationmark.triangle"), 14, Theme::Ink::Warning, m_failureRow);
    m_failure = new QLabel(m_failureRow);
    m_failure->setObjectName(QStringLiteral("clip_failure"));
    m_failure->setTextFormat(Qt::PlainText);
    m_failure->setWordWrap(true);
    TextStyle::apply(m_failure, TextStyle::Role::Callout);
    Theme::setForeground(m_failure, Theme::Ink::Warning);
    failureLayout->addWidget(warning, 0, Qt::AlignTop);
    failureLayout->addWidget(m_failure, 1);
    column->addWidget(m_failureRow);

    QHBoxLayout* actionLayout = nullptr;
    m_actionRow = row(this, 12, actionLayout);
    m_actionRow->setObjectName(QStringLiteral("clip_action_row"));
    m_play = new QPushButton(m_actionRow);
    m_play->setObjectName(QStringLiteral("v2_clip_play_selection"));
    m_extract = new QPushButton(m_actionRow);
    m_extract->setObjectName(QStringLiteral("v2_clip_extract"));
    m_extract->setMinimumWidth(90);
    m_into = new ElidedLabel(m_actionRow);
    m_into->setObjectName(QStringLiteral("v2_clip_into"));
    TextStyle::apply(m_into, TextStyle::Role::Caption);
    Theme::setForeground(m_into, Theme::Ink::Secondary);
    actionLayout->addWidget(m_play);
    actionLayout->addWidget(m_extract);
    actionLayout->addWidget(m_into, 1);
    // Takes the room the hidden line leaves, so the buttons keep their size.
    actionLayout->addStretch(0);
    column->addWidget(m_actionRow);

    connect(m_audioOnly, &QCheckBox::toggled, session, &PlayerSession::setAudioOnly);
    connect(m_mode, &SegmentedBar::picked, this, [this](const QVariant& value) {
        if (const auto mode = clipModeFromValue(value.toString()))
            m_session->setMode(*mode);
    });
    connect(m_timeline, &TrimTimeline::startMoved, this,
            [this](qint64 ms) { m_session->setBound(PlayerSession::Bound::Start, ms); });
    connect(m_timeline, &TrimTimeline::endMoved, this,
            [this](qint64 ms) { m_session->setBound(PlayerSession::Bound::End, ms); });
    connect(m_timeline, &TrimTimeline::scrubbed, session, &PlayerSession::scrub);
    connect(m_timeline, &TrimTimeline::changed, session, &PlayerSession::boundsDragged);
    connect(m_play, &QPushButton::clicked, session, &PlayerSession::playSelection);
    connect(m_extract, &QPushButton::clicked, session, &PlayerSession::extract);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_job)
            m_session->model()->clipsPart().cancelClip(m_job);
    });
    connect(m_view, &QPushButton::clicked, this, [this] {
        if (m_job && m_job->destination())
            m_session->model()->libraryPart().revealPath(*m_job->destination());
    });

    connect(session, &PlayerSession::stageChanged, this, &ClipPanel::syncPlayer);
    connect(session, &PlayerSession::timesChanged, this, &ClipPanel::syncPlayer);
    connect(session, &PlayerSession::boundsChanged, this, &ClipPanel::syncBounds);
    connect(session, &PlayerSession::modeChanged, this, &ClipPanel::syncMode);
    connect(session, &PlayerSession::audioOnlyChanged, this, [this] {
        const QSignalBlocker block(m_audioOnly);
        m_audioOnly->setChecked(m_session->audioOnly());
    });
    connect(session, &PlayerSession::suggestionChanged, this, &ClipPanel::syncSuggestion);
    connect(&session->model()->clipsPart(), &Clips::clipJobChanged, this, &ClipPanel::followJob);
    followTexts(*session->model(), this, [this] { retranslate(); });
    syncPlayer();
    syncBounds();
    followJob();
    paintIcons();
}

void ClipPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintIcons();
}

// The buttons' symbols in their text colour, so they read in light and dark alike.
void ClipPanel::paintIcons() {
    const QColor ink = palette().color(QPalette::Active, QPalette::ButtonText);
    const qreal ratio = devicePixelRatioF();
    m_play->setIcon(QIcon(Icons::tinted(QStringLiteral("play.fill"), 14, ink, ratio)));
    m_extract->setIcon(QIcon(Icons::tinted(QStringLiteral("scissors"), 14, ink, ratio)));
}

void ClipPanel::retranslate() {
    m_title->setText(Strings::text(QStringLiteral("v2_clip_title")));
    m_audioOnly->setText(Strings::text(QStringLiteral("checkbox_audio_only")));
    m_lengthTitle->setText(Strings::text(QStringLiteral("v2_clip_duration")));
    m_mode->relabel();
    m_cancel->setText(Strings::text(QStringLiteral("button_cancel")));
    m_view->setText(Strings::text(QStringLiteral("button_view")));
    m_play->setText(Strings::text(QStringLiteral("v2_clip_play_selection")));
    m_extract->setText(Strings::text(QStringLiteral("v2_clip_extract")));
    syncMode();
    syncSuggestion();
    syncJob();
}

void ClipPanel::syncPlayer() {
    const bool player = m_session->hasPlayer();
    m_timeline->setVisible(player && m_session->durationMs() >= 1);
    m_timeline->setMedia(m_session->target().mediaPath, m_session->durationMs());
    m_timeline->setCurrent(m_session->currentMs());
    m_play->setVisible(player);
}

void ClipPanel::syncBounds() {
    const qint64 in = m_session->inMs();
    const qint64 out = m_session->outMs();
    m_timeline->setBounds(in, out);
    m_length->setText(Job::duration(static_cast<double>(std::max<qint64>(out - in, 0)) / 1000.0));
    m_extract->setEnabled(in < out);
}

void ClipPanel::syncMode() {
    const ClipMode mode = m_session->mode();
    m_mode->setSelection(clipModeValue(mode));
    m_modeHelp->setText(Strings::text(mode == ClipMode::fast ? QStringLiteral("v2_clip_mode_fast")
                                                             : QStringLiteral("v2_clip_mode_precise")));
}

void ClipPanel::syncSuggestion() {
    const auto& suggestion = m_session->suggestion();
    m_into->setVisible(suggestion.has_value());
    if (!suggestion)
        return;
    m_into->setFullText(
        Strings::text(QStringLiteral("v2_clip_into"), {{QStringLiteral("name"), suggestion->name}}));
    m_into->setToolTip(suggestion->path);
}

void ClipPanel::followJob() {
    disconnect(m_jobConnection);
    m_job = m_session->model()->clipsPart().clipJob();
    if (m_job)
        m_jobConnection = connect(m_job.get(), &ClipJob::changed, this, &ClipPanel::syncJob);
    syncJob();
}

void ClipPanel::syncJob() {
    const ClipJob::State state = m_job ? m_job->state() : ClipJob::State::Other;
    const bool running = state == ClipJob::State::Running;
    const bool done = state == ClipJob::State::Done && m_job->destination().has_value();
    const bool failed = state == ClipJob::State::Failed;
    m_progressRow->setVisible(running);
    m_resultRow->setVisible(done);
    m_failureRow->setVisible(failed);
    // A finished or failed clip stays in view above the buttons, so the next clip can be cut at once.
    m_actionRow->setVisible(!running);
    if (running) {
        m_progress->setValue(static_cast<int>(unitFraction(m_job->fraction()) * 1000));
        m_percent->setText(QStringLiteral("%1 %").arg(percentOf(m_job->fraction())));
    }
    if (done)
        m_resultName->setFullText(QFileInfo(*m_job->destination()).fileName());
    if (failed)
        m_failure->setText(m_job->message().value_or(Strings::text(QStringLiteral("v2_clip_failed"))));
}
