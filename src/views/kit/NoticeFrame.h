#pragma once

#include "kit/Theme.h"

#include <QFrame>

// The background of a notice: its ink at 0.12 (0.1 for the accent) in a rounded rectangle. Texts inside
// take the ink themselves where the notice is drawn in it.
class NoticeFrame : public QFrame {
    Q_OBJECT

public:
    NoticeFrame(Theme::Ink ink, qreal radius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Theme::Ink m_ink;
    qreal m_radius;
};
