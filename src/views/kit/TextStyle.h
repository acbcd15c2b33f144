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

} // namespace TextStyle
