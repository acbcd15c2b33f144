#pragma once

#include "Appearance.h"

#include <QPalette>
#include <QString>

// "light" and "dark" switch to the Fusion style with a light or dark palette; anything else brings
// back the style and palette the application had when this object was made.
class FusionAppearance : public Appearance {
public:
    FusionAppearance();

    void apply(QString appearance) override;

    // "light", "dark", or "auto" for the saved default.
    QString current() const { return m_current; }

    static QPalette lightPalette();
    static QPalette darkPalette();

private:
    QString m_defaultStyle;
    QPalette m_defaultPalette;
    QString m_current = QStringLiteral("auto");
};
