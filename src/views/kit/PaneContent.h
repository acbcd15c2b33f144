#pragma once

class QWidget;

// The outer margins of a pane's column of sections: 24 at the sides, 20 above and below, the full width
// offered, aligned leading. A column that does not grow vertically is centred in the height it is given;
// one whose size policy expands fills it.
namespace PaneMetrics {
constexpr int sideMargin = 24;
constexpr int edgeMargin = 20;
// Between the sections of a pane's column.
constexpr int sectionSpacing = 20;
} // namespace PaneMetrics

// Wraps `column` (reparented) in a new widget that applies the margins; the caller owns the result.
QWidget* paneContent(QWidget* column);
