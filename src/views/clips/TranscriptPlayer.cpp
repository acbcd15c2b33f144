#include "clips/TranscriptPlayer.h"

#include "AppModel.h"
#include "Job.h"
#include "Strings.h"
#include "clips/ClipPanel.h"
#include "clips/FfmpegFrameSource.h"
#include "clips/PlayerControls.h"
#include "clips/PlayerSession.h"
#include "clips/QtMediaPort.h"
#include "clips/VideoView.h"
#include "kit/SheetButton.h"
#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"
#include "library/HighlightedExcerpt.h"
#include "rows/ElidedLabel.h"
#include "rows/RowIcon.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int sheetWidth = 680;
constexpr int areaHeight = 300;

} // namespace

TranscriptPlayer::TranscriptPlayer(AppModel* model, const PlayerTarget& target, QWidget* parent)
    : TranscriptPlayer(model, target, new QtMediaPort, new FfmpegFrameSource, parent) {}

TranscriptPlayer::TranscriptPlayer(AppModel* model, const PlayerTarget& target, MediaPort* port,
                                   FrameSource* frames, QWidget* parent)
    : QDialog(parent), m_model(model), m_target(target) {
    setObjectName(QStringLiteral("transcript_player"));
    setFixedWidth(sheetWidth);
    m_session = new PlayerSession(model, target, port, this);
    if (frames)
        frames->setParent(this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Header: the title over the time, and the close button (Escape closes too).
    auto* header = new QWidget(this);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(14, 14, 14, 14);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    auto* title = new ElidedLabel(header);
    title->setObjectName(QStringLiteral("player_title"));
    TextStyle::apply(title, TextStyle::Role::Headline);
    title->setFullText(target.title);
    m_title = title;
    m_time = new QLabel(header);
    m_time->setObjectName(QStringLiteral("player_time"));
    m_time->setFont(TextStyle::digits(TextStyle::Role::Caption));
    Theme::setForeground(m_time, Theme::Ink::Secondary);
    titles->addWidget(m_title);
    titles->addWidget(m_time);
    m_close = sheetButton(QStringLiteral("button_close"), header);
    headerLayout->addLayout(titles, 1);
    headerLayout->addWidget(m_close, 0, Qt::AlignTop);
    column->addWidget(header);

    // The player area: a spinner while opening, then the picture, or the way out for a file it cannot play.
    m_area = new QStackedWidget(this);
    m_area->setObjectName(QStringLiteral("player_area"));
    m_loading = new QWidget(m_area);
    m_loading->setObjectName(QStringLiteral("player_loading_page"));
    auto* loadingLayout = new QVBoxLayout(m_loading);
    auto* spinner = new QProgressBar(m_loading);
    spinner->setObjectName(QStringLiteral("player_loading"));
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setMaximumWidth(160);
    loadingLayout->addWidget(spinner, 0, Qt::AlignCenter);
    m_video = new VideoView(m_area);
    m_unavailable = makeUnavailable();
    m_area->addWidget(m_loading);
    m_area->addWidget(m_video);
    m_area->addWidget(m_unavailable);
    m_area->setMinimumHeight(areaHeight);
    column->addWidget(m_area);
    m_controls = new PlayerControls(m_session, this);
    m_controls->watch(m_video);
    column->addWidget(m_controls);

    if (target.excerpt)
        column->addWidget(makeExcerptRow(*target.excerpt));

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);

    auto* panelHolder = new QWidget(this);
    auto* panelLayout = new QVBoxLayout(panelHolder);
    panelLayout->setContentsMargins(14, 14, 14, 14);
    m_clipPanel = new ClipPanel(m_session, frames, panelHolder);
    panelLayout->addWidget(m_clipPanel);
    column->addWidget(panelHolder);

    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_openExternal, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_target.mediaPath)); });
    connect(port, &MediaPort::frameShown, m_video, &VideoView::showFrame);
    connect(m_session, &PlayerSession::stageChanged, this, &TranscriptPlayer::syncStage);
    connect(m_session, &PlayerSession::timesChanged, this, &TranscriptPlayer::syncTime);
    followTexts(*model, this, [this] { retranslate(); });
    syncStage();
}

TranscriptPlayer::~TranscriptPlayer() {
    m_session->close();
}

QWidget* TranscriptPlayer::makeUnavailable() {
    auto* box = new QWidget(m_area);
    box->setObjectName(QStringLiteral("player_unavailable"));
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(10);
    layout->addStretch(1);
    auto* symbol = new SymbolLabel(QStringLiteral("play.slash"), 34, Theme::Ink::Secondary, box);
    m_unsupported = new QLabel(box);
    TextStyle::apply(m_unsupported, TextStyle::Role::Callout);
    m_unsupportedHelp = new QLabel(box);
    TextStyle::apply(m_unsupportedHelp, TextStyle::Role::Caption);
    Theme::setForeground(m_unsupportedHelp, Theme::Ink::Secondary);
    m_unsupportedHelp->setWordWrap(true);
    m_unsupportedHelp->setAlignment(Qt::AlignHCenter);
    m_unsupportedHelp->setContentsMargins(40, 0, 40, 0);
    m_openExternal = sheetButton(QStringLiteral("v2_player_open_external"), box);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    layout->addWidget(m_unsupported, 0, Qt::AlignHCenter);
    layout->addWidget(m_unsupportedHelp);
    layout->addWidget(m_openExternal, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return box;
}

// The passage's words with the matched ones emphasised, selectable, and a button that copies them
// without the marks.
QWidget* TranscriptPlayer::makeExcerptRow(const QString& excerpt) {
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("excerpt_row"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(8);
    auto* quote = new SymbolLabel(QStringLiteral("text.quote"), 16, Theme::Ink::Accent, row);
    auto* text = new QLabel(row);
    text->setObjectName(QStringLiteral("excerpt"));
    text->setTextFormat(Qt::RichText);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    TextStyle::apply(text, TextStyle::Role::Callout);
    auto* copy = new RowIcon(row);
    copy->setObjectName(QStringLiteral("v2_clip_copy_excerpt"));
    copy->setAction([excerpt] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(HighlightedExcerpt::plainText(excerpt));
    });
    layout->addWidget(quote, 0, Qt::AlignTop);
    layout->addWidget(text, 1);
    layout->addWidget(copy, 0, Qt::AlignTop);
    // The emphasis takes the accent of the current appearance.
    auto paint = [text, excerpt] { text->setText(HighlightedExcerpt::richText(excerpt)); };
    paint();
    m_excerptText = text;
    m_excerptCopy = copy;
    m_excerpt = excerpt;
    return row;
}

void TranscriptPlayer::retranslate() {
    m_close->setText(Strings::text(QStringLiteral("button_close")));
    m_unsupported->setText(Strings::text(QStringLiteral("v2_player_unsupported")));
    m_unsupportedHelp->setText(Strings::text(QStringLiteral("v2_player_unsupported_help")));
    m_openExternal->setText(Strings::text(QStringLiteral("v2_player_open_external")));
    m_video->setAccessibleName(Strings::text(QStringLiteral("player_view")));
    m_video->setToolTip(Strings::text(QStringLiteral("player_keys_help")));
    if (m_excerptCopy)
        m_excerptCopy->set(QStringLiteral("doc.on.doc"),
                           Strings::text(QStringLiteral("v2_clip_copy_excerpt")), std::nullopt, true);
    syncTime();
}

void TranscriptPlayer::syncStage() {
    switch (m_session->stage()) {
    case PlayerSession::Stage::Opening:
        m_area->setCurrentWidget(m_loading);
        break;
    case PlayerSession::Stage::Ready: {
        m_video->setSoundOnly(!m_session->hasVideo());
        m_area->setCurrentWidget(m_video);
        // The player's keys work at once, unless the user has already gone elsewhere.
        QWidget* focus = focusWidget();
        if (!focus || focus == m_close)
            m_video->setFocus(Qt::OtherFocusReason);
        break;
    }
    case PlayerSession::Stage::Unplayable:
        m_area->setCurrentWidget(m_unavailable);
        break;
    }
}

// A single space until there is something to show, so the header keeps its height.
void TranscriptPlayer::syncTime() {
    const qint64 current = m_session->currentMs();
    const qint64 duration = m_session->durationMs();
    if (current > 0 || duration >= 1)
        m_time->setText(Job::duration(current / 1000.0) + QStringLiteral(" / ") +
                        Job::duration(duration / 1000.0));
    else
        m_time->setText(QStringLiteral(" "));
}

void TranscriptPlayer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_session->open();
    // No timecode field keeps the focus when the sheet opens (it would read its text on leaving).
    QTimer::singleShot(0, m_close, [close = m_close] { close->setFocus(Qt::OtherFocusReason); });
}

void TranscriptPlayer::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_excerptText)
        m_excerptText->setText(HighlightedExcerpt::richText(m_excerpt));
}

void TranscriptPlayer::done(int result) {
    m_session->close();
    QDialog::done(result);
}
