#pragma once

#include "LanguageStore.h"

class FakeLanguageStore : public LanguageStore {
public:
    QStringList stored;
    QStringList system{QStringLiteral("en-US")};
    int writes = 0;
    int applies = 0;

    QStringList languages() const override { return stored; }
    void setLanguages(QStringList languages) override {
        stored = languages;
        ++writes;
    }
    QStringList systemLanguages() const override { return system; }
    void apply() override { ++applies; }
};
