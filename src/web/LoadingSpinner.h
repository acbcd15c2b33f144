#pragma once

#include <QTimer>
#include <QWidget>

// A small turning arc that says "loading". It turns only while it is visible.
class LoadingSpinner : public QWidget {
    Q_OBJECT
public:
    explicit LoadingSpinner(int diameter, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_diameter;
    int m_angle = 0;
    QTimer m_timer;
};
