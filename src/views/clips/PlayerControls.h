#pragma once

#include <QWidget>

class PlayerSession;
class QKeyEvent;
class QLabel;
class QSlider;
class QToolButton;

// The bar under the picture: play and pause, the time played, the position bar and the length, silence
// and the sound level. The keys of a player work on it and on any widget it watches (the picture):
// Space plays or pauses, Left and Right go 5 s back or ahead, Home and End go to the start and the end.
class PlayerControls : public QWidget {
    Q_OBJECT

public:
    static constexpr qint64 stepMs = 5000;

    PlayerControls(PlayerSession* session, QWidget* parent = nullptr);

    // The player's keys also work while `widget` has the focus.
    void watch(QWidget* widget);
    // Runs a player key (Space, Left, Right, Home, End without modifiers, once a player stands ready);
    // false when `event` is not one.
    bool handleKey(QKeyEvent* event);

    QSlider* position() const { return m_position; }

    // A time as the bar shows it: to the nearest second, as the sheet's header does, M:SS or H:MM:SS.
    static QString clock(qint64 ms);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool isPlayerKey(const QKeyEvent& event) const;
    void retranslate();
    void paintIcons();
    void syncStage();
    void syncTime();
    void syncPlaying();
    void syncSound();
    void positionAction(int action);

    PlayerSession* m_session;
    QToolButton* m_toggle;
    QLabel* m_elapsed;
    QSlider* m_position;
    QLabel* m_total;
    QToolButton* m_mute;
    QSlider* m_volume;
};
