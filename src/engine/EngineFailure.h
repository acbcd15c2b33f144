#pragma once

#include <QString>

#include <exception>
#include <string>

// Base of every error the engine link throws, so callers can catch one type and show its text.
class EngineFailure : public std::exception {
public:
    // The user-facing text.
    virtual QString text() const = 0;
    const char* what() const noexcept override;

private:
    mutable std::string m_what;
};
