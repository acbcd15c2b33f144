#pragma once

#include <QString>

// The application's colour scheme.
class Appearance {
public:
    virtual ~Appearance() = default;

    // "light" and "dark" set that scheme; any other value ("auto") goes back to the desktop's own.
    virtual void apply(QString appearance) = 0;
};
