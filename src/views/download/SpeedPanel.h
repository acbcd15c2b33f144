#pragma once

#include "EngineEvent.h"

#include <QWidget>

#include <array>

class QLabel;

// The transfer statistics of a running download: speed, average, connections, downloaded, time left and
// protocol, two rows of three labelled figures.
class SpeedPanel : public QWidget {
    Q_OBJECT

public:
    enum Cell { Speed, Average, Connections, Downloaded, Remaining, Protocol, CellCount };
    static constexpr int cellMinimumWidth = 110;

    explicit SpeedPanel(QWidget* parent = nullptr);

    void setEngine(const EngineEvent::SpeedEngine& engine);
    // Looks the six labels up again (a new language).
    void retranslate();

    QLabel* value(Cell cell) const { return m_values[cell]; }
    QLabel* label(Cell cell) const { return m_labels[cell]; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QLabel*, CellCount> m_labels{};
    std::array<QLabel*, CellCount> m_values{};
};
