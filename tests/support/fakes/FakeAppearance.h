#pragma once

#include "Appearance.h"

#include <QStringList>

class FakeAppearance : public Appearance {
public:
    QStringList applied;

    void apply(QString appearance) override { applied.append(appearance); }
};
