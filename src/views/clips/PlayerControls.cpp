#include "clips/PlayerControls.h"

#include "AppModel.h"
#include "Strings.h"
#include "clips/PlayerSession.h"
#include "clips/TimecodeField.h"
#include "kit/Icons.h"
#include "kit/TextStyle.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace {

constexpr int iconSide = 18;
constexpr int volumeWidth = 90;

// A press on the bar's groove moves the handle there and drags it from there, as a player's bar does
// (the plain slider pages towards the press).
class SeekBarStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == QStyle::SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

QToolButton* iconButton(const QString& name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(iconSide, iconSide));
    button->setFixedSize(30, 28);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QLabel* timeLabel(const QString& name, Qt::Alignment alignment, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(TextStyle::digits(TextStyle::Role::Caption));
    label->setAlignment(alignment | Qt::AlignVCenter);
    Theme::setForeground(label, Theme::Ink::Secondary);
    return label;
}

int clampedInt(qint64 ms) {
    return static_cast<int>(std::clamp<qint64>(ms, 0, std::numeric_limits<int>::max()));
}

} // namespace

PlayerControls::PlayerControls(PlayerSession* session, QWidget* parent)
    : QWidget(parent), m_session(session) {
    setObjectName(QStringLiteral("player_controls"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 14, 6);
    row->setSpacing(8);

    m_toggle = iconButton(QStringLiteral("player_toggle"), this);
    m_elapsed = timeLabel(QStringLiteral("player_elapsed"), Qt::AlignRight, this);
    m_position = new QSlider(Qt::Horizontal, this);
    m_position->setObjectName(QStringLiteral("player_position"));
    auto* style = new SeekBarStyle;
    style->setParent(m_position);
    m_position->setStyle(style);
    m_position->setSingleStep(static_cast<int>(stepMs));
    m_position->setPageStep(static_cast<int>(6 * stepMs));
    m_position->setFocusPolicy(Qt::StrongFocus);
    m_total = timeLabel(QStringLiteral("player_total"), Qt::AlignLeft, this);
    m_mute = iconButton(QStringLiteral("player_mute"), this);
    m_mute->setCheckable(true);
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setObjectName(QStringLiteral("player_volume"));
    m_volume->setRange(0, 100);
    m_volume->setSingleStep(5);
    m_volume->setPageStep(20);
    m_volume->setFixedWidth(volumeWidth);
    m_volume->setFocusPolicy(Qt::StrongFocus);

    row->addWidget(m_toggle);
    row->addWidget(m_elapsed);
    row->addWidget(m_position, 1);
    row->addWidget(m_total);
    row->addSpacing(4);
    row->addWidget(m_mute);
    row->addWidget(m_volume);

    connect(m_toggle, &QToolButton::clicked, session, &PlayerSession::togglePlay);
    // A drag (also one begun by a press on the groove) holds playback and shows each place loosely, then
    // exactly where it ends; steps, pages and the wheel go straight to their place.
    connect(m_position, &QSlider::actionTriggered, this, &PlayerControls::positionAction);
    connect(m_position, &QSlider::sliderMoved, this, [this](int value) { m_session->scrub(value, false); });
    connect(m_position, &QSlider::sliderReleased, this,
            [this] { m_session->scrub(m_position->sliderPosition(), true); });
    connect(m_mute, &QToolButton::toggled, session, &PlayerSession::setMuted);
    connect(m_volume, &QSlider::valueChanged, session, &PlayerSession::setVolume);

    connect(session, &PlayerSession::stageChanged, this, &PlayerControls::syncStage);
    connect(session, &PlayerSession::timesChanged, this, &PlayerControls::syncTime);
    connect(session, &PlayerSession::playingChanged, this, &PlayerControls::syncPlaying);
    connect(session, &PlayerSession::soundChanged, this, &PlayerControls::syncSound);
    followTexts(*session->model(), this, [this] { retranslate(); });
    watch(m_toggle);
    watch(m_position);
    syncStage();
    syncTime();
    syncSound();
}

QString PlayerControls::clock(qint64 ms) {
    return TimecodeField::format((std::max<qint64>(ms, 0) + 500) / 1000 * 1000);
}

void PlayerControls::watch(QWidget* widget) {
    widget->installEventFilter(this);
}

bool PlayerControls::isPlayerKey(const QKeyEvent& event) const {
    if (!m_session->hasPlayer() || (event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    switch (event.key()) {
    case Qt::Key_Space:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
        return true;
    case Qt::Key_End:
        return m_session->durationMs() >= 1;
    default:
        return false;
    }
}

bool PlayerControls::handleKey(QKeyEvent* event) {
    if (!isPlayerKey(*event))
        return false;
    switch (event->key()) {
    case Qt::Key_Space:
        // A held Space plays or pauses once.
        if (!event->isAutoRepeat())
            m_session->togglePlay();
        break;
    case Qt::Key_Left:
        m_session->seekBy(-stepMs);
        break;
    case Qt::Key_Right:
        m_session->seekBy(stepMs);
        break;
    case Qt::Key_Home:
        m_session->seekTo(0);
        break;
    case Qt::Key_End:
        m_session->seekTo(m_session->durationMs());
        break;
    default:
        break;
    }
    event->accept();
    return true;
}

bool PlayerControls::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Claimed before the watched widget's own use of them (a button's Space, a slider's arrows).
        if (event->type() == QEvent::ShortcutOverride && isPlayerKey(*key)) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress && handleKey(key))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PlayerControls::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintIcons();
}

void PlayerControls::retranslate() {
    m_position->setAccessibleName(Strings::text(QStringLiteral("player_position")));
    m_position->setToolTip(Strings::text(QStringLiteral("player_keys_help")));
    m_elapsed->setAccessibleName(Strings::text(QStringLiteral("player_elapsed")));
    m_total->setAccessibleName(Strings::text(QStringLiteral("player_duration")));
    m_volume->setAccessibleName(Strings::text(QStringLiteral("player_volume")));
    m_volume->setToolTip(Strings::text(QStringLiteral("player_volume")));
    syncPlaying();
    syncSound();
}

// The symbols in the text colour, so they read in light and dark alike.
void PlayerControls::paintIcons() {
    const QColor ink = Theme::ink(Theme::Ink::Primary, palette());
    const qreal ratio = devicePixelRatioF();
    m_toggle->setIcon(QIcon(
        Icons::tinted(m_session->isPlaying() ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"),
                      iconSide, ink, ratio)));
    m_mute->setIcon(QIcon(Icons::tinted(m_session->isMuted() ? QStringLiteral("speaker.slash.fill")
                                                             : QStringLiteral("speaker.wave.2.fill"),
                                        iconSide, ink, ratio)));
}

void PlayerControls::syncStage() {
    const bool ready = m_session->hasPlayer();
    setVisible(m_session->stage() != PlayerSession::Stage::Unplayable);
    for (QWidget* control : std::initializer_list<QWidget*>{m_toggle, m_position, m_mute, m_volume})
        control->setEnabled(ready);
    syncTime();
    syncPlaying();
}

void PlayerControls::syncTime() {
    const qint64 duration = std::max<qint64>(m_session->durationMs(), 0);
    const qint64 current =
        std::clamp<qint64>(m_session->currentMs(), 0, std::max(duration, m_session->currentMs()));
    const QString total = clock(duration);
    m_total->setText(total);
    m_elapsed->setText(clock(current));
    // Both as wide as the longer of the two, so the bar between them never moves.
    const int width = std::max(m_total->fontMetrics().horizontalAdvance(total),
                               m_elapsed->fontMetrics().horizontalAdvance(m_elapsed->text()));
    m_elapsed->setMinimumWidth(width);
    m_total->setMinimumWidth(width);
    m_position->setEnabled(m_session->hasPlayer() && duration >= 1);
    // A drag under way keeps the handle where the pointer is.
    if (!m_position->isSliderDown()) {
        const QSignalBlocker block(m_position);
        m_position->setRange(0, clampedInt(duration));
        m_position->setValue(clampedInt(current));
    }
    const QString spoken = m_elapsed->text() + QStringLiteral(" / ") + total;
    if (m_position->accessibleDescription() != spoken)
        m_position->setAccessibleDescription(spoken);
}

void PlayerControls::syncPlaying() {
    const QString text = Strings::text(m_session->isPlaying() ? QStringLiteral("button_pause")
                                                              : QStringLiteral("button_play"));
    m_toggle->setAccessibleName(text);
    m_toggle->setToolTip(text);
    paintIcons();
}

void PlayerControls::syncSound() {
    {
        const QSignalBlocker block(m_mute);
        m_mute->setChecked(m_session->isMuted());
    }
    {
        const QSignalBlocker block(m_volume);
        m_volume->setValue(m_session->volume());
    }
    const QString text =
        Strings::text(m_session->isMuted() ? QStringLiteral("player_unmute") : QStringLiteral("player_mute"));
    m_mute->setAccessibleName(text);
    m_mute->setToolTip(text);
    paintIcons();
}

void PlayerControls::positionAction(int action) {
    if (action == QAbstractSlider::SliderMove) {
        // A press on the groove: the drag begins here (the handle's own press comes through sliderMoved).
        if (!m_position->isSliderDown())
            m_session->scrub(m_position->sliderPosition(), false);
        return;
    }
    if (action == QAbstractSlider::SliderNoAction)
        return;
    m_session->seekTo(m_position->sliderPosition());
}
