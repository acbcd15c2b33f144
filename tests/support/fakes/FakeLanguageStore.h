#pragma once

#include "LanguageStore.h"

class FakeLanguageStore : public LanguageStore {
public:
    std::optional<QStringList> stored;
    QStringList system{QStringLiteral("en-US")};
    int writes = 0;
    int applies = 0;

    std::optional<QStringList> languages() const override { return stored; }
    void setLanguages(const QStringList& languages) override {
        stored = languages;
        ++writes;
    }
    QStringList systemLanguages() const override { return system; }
    void apply() override { ++applies; }
};
