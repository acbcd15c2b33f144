#pragma once

class QLabel;
class QScrollArea;
class QVBoxLayout;
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

// A scroll area for a pane's column: no frame, never wider than the pane.
QScrollArea* paneScrollArea(QWidget* parent);
// The layout of a pane's column: its sections one below the other, sectionSpacing apart.
QVBoxLayout* sectionStack(QWidget* column);
// The layout of a section headed by `caption` (a medium subheadline, added first), its parts 10 apart.
QVBoxLayout* captionedStack(QWidget* section, QLabel* caption);
