#pragma once

#include <QImage>
#include <QWidget>

// Paints the player's latest picture, fitted and centred on black (a picture of sound alone shows a note).
// It takes the focus (a click or Tab) for the player's keys, and shows a ring while it has it.
class VideoView : public QWidget {
    Q_OBJECT

public:
    explicit VideoView(QWidget* parent = nullptr);

    void showFrame(const QImage& image);
    void setSoundOnly(bool soundOnly);
    const QImage& frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QImage m_frame;
    bool m_soundOnly = false;
};
