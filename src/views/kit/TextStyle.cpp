#include "kit/TextStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QWidget>

#include <array>

namespace TextStyle {

namespace {

// Ratios of the desktop type ramp; the body font is the desktop's own, so the ramp follows its size.
constexpr std::array<Entry, 11> table{{
    {Role::LargeTitle, 2.0, QFont::Normal},
    {Role::Title, 1.7, QFont::Normal},
    {Role::Title2, 1.3, QFont::Normal},
    {Role::Title3, 1.15, QFont::Normal},
    {Role::Headline, 1.0, QFont::DemiBold},
    {Role::Body, 1.0, QFont::Normal},
    {Role::Callout, 0.93, QFont::Normal},
    {Role::Subheadline, 0.9, QFont::Normal},
    {Role::Footnote, 0.86, QFont::Normal},
    {Role::Caption, 0.86, QFont::Normal},
    {Role::Caption2, 0.8, QFont::Normal},
}};

constexpr double smallestPoints = 7.0;

} // namespace

const Entry& entry(Role role) {
    return table[static_cast<size_t>(role)];
}

QFont font(Role role, std::optional<QFont::Weight> weight, std::optional<QFont> base) {
    QFont f = base.value_or(QApplication::font());
    const Entry& e = entry(role);
    const double body = f.pointSizeF() > 0 ? f.pointSizeF() : 10.0;
    f.setPointSizeF(qMax(smallestPoints, body * e.scale));
    f.setWeight(weight.value_or(e.weight));
    return f;
}

void apply(QWidget* widget, Role role, std::optional<QFont::Weight> weight) {
    widget->setFont(font(role, weight));
}

bool hasTabularDigits(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (!qFuzzyCompare(metrics.horizontalAdvance(QLatin1Char(digit)), zero))
            return false;
    }
    return true;
}

QFont tabularDigits(const QFont& font) {
    if (hasTabularDigits(font))
        return font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font.pointSizeF() > 0)
        fixed.setPointSizeF(font.pointSizeF());
    else if (font.pixelSize() > 0)
        fixed.setPixelSize(font.pixelSize());
    fixed.setWeight(font.weight());
    fixed.setItalic(font.italic());
    return fixed;
}

QFont digits(Role role, std::optional<QFont::Weight> weight) {
    return tabularDigits(font(role, weight));
}

} // namespace TextStyle
