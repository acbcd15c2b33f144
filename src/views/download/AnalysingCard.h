#pragma once

#include "kit/Card.h"

#include <QTimer>

class QLabel;

// The stage while an analysis runs: a small spinning indicator and "checking the qualities".
class AnalysingCard : public Card {
    Q_OBJECT

public:
    explicit AnalysingCard(QWidget* parent = nullptr);

    void retranslate();
    QLabel* textLabel() const { return m_text; }

private:
    QLabel* m_text;
};

// An indeterminate progress indicator: an arc that turns while it is shown, and costs nothing hidden.
class Spinner : public QWidget {
    Q_OBJECT

public:
    explicit Spinner(int side, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_angle = 0;
};
