#pragma once

#include <QStringList>

#include <optional>

// The stored list of languages that the desktop's own menus and dialogs follow at the next start.
class LanguageListStore {
public:
    virtual ~LanguageListStore() = default;
    // The stored list, or nothing when none was ever stored.
    virtual std::optional<QStringList> languages() const = 0;
    virtual void setLanguages(const QStringList& languages) = 0;
};
