#pragma once

#include <QImage>
#include <QWidget>

// Paints the player's latest picture, fitted and centred on black (a picture of sound alone shows a note).
class VideoView : public QWidget {
    Q_OBJECT

public:
    explicit VideoView(QWidget* parent = nullptr);

    void showFrame(const QImage& image);
    void setSoundOnly(bool soundOnly);
    const QImage& frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_frame;
    bool m_soundOnly = false;
};
