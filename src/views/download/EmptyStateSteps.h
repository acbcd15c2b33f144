#pragma once

#include "kit/Card.h"

#include <array>

class QLabel;

// The stage when nothing is going on: a title and three numbered steps.
class EmptyStateSteps : public Card {
    Q_OBJECT

public:
    explicit EmptyStateSteps(QWidget* parent = nullptr);

    void retranslate();

private:
    QLabel* m_title;
    std::array<QLabel*, 3> m_steps{};
};
