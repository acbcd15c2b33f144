#pragma once

#include "clips/PlayerSession.h"

#include <QWidget>

class QLabel;
class RowIcon;
class TimecodeField;

// One bound of the clip: its title over a timecode field and three small buttons (take the player's
// position, a second earlier, a second later), kept in the bound's limit.
class BoundControl : public QWidget {
    Q_OBJECT

public:
    BoundControl(PlayerSession* session, PlayerSession::Bound bound, QWidget* parent = nullptr);

    TimecodeField* field() const { return m_field; }

private:
    void retranslate();
    void sync();

    PlayerSession* m_session;
    PlayerSession::Bound m_bound;
    QLabel* m_title;
    TimecodeField* m_field;
    RowIcon* m_take;
    RowIcon* m_earlier;
    RowIcon* m_later;
};
