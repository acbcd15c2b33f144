#pragma once

#include <QFrame>

class QVBoxLayout;

// The rounded, lightly filled and outlined box that groups a piece of content: radius 12, the quaternary
// ink at 0.28 inside and a 1-pixel border at 0.6 drawn inside the edge. Spans the full width offered;
// its content sits `padding` inside the border, aligned leading.
class Card : public QFrame {
    Q_OBJECT
public:
    explicit Card(int padding, QWidget* parent = nullptr);

    // Where the content goes.
    QVBoxLayout* body() const { return m_body; }
    int padding() const { return m_padding; }

    static constexpr int radius = 12;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_body;
    int m_padding;
};

// Wraps `content` (reparented) in a card with `padding`: 14 for ordinary cards, 16 for the empty-state steps.
Card* card(QWidget* content, int padding);
