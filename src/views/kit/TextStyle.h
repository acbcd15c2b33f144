#pragma once

#include <QFont>

#include <optional>

class QWidget;

// The font roles of the look, each a size relative to the application's body font and a default weight.
namespace TextStyle {

enum class Role {
    LargeTitle,
    Title,
    Title2,
    Title3,
    Headline,
    Body,
    Callout,
    Subheadline,
    Footnote,
    Caption,
    Caption2
};

struct Entry {
    Role role;
    double scale; // of the body font's point size
    QFont::Weight weight;
};

// The table, one entry per role in the order above.
const Entry& entry(Role role);

// The font of `role` built on `base` (the application font when none is given); `weight` overrides the
// role's own.
QFont font(Role role, std::optional<QFont::Weight> weight = std::nullopt,
           std::optional<QFont> base = std::nullopt);

// Sets the font of `widget`.
void apply(QWidget* widget, Role role, std::optional<QFont::Weight> weight = std::nullopt);

// Whether the ten digits of `font` are all equally wide, so a changing number keeps its width.
bool hasTabularDigits(const QFont& font);
// `font` when its digits are equally wide, else the desktop's fixed-pitch font at the same size and
// weight: times and counters that change as one watches must not jitter (Qt 6.4 cannot ask a font for
// its tabular figures).
QFont tabularDigits(const QFont& font);
// The font of `role` with tabular digits.
QFont digits(Role role, std::optional<QFont::Weight> weight = std::nullopt);

} // namespace TextStyle
