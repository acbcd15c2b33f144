#pragma once

#include "EngineFailure.h"

#include <QString>

#include <optional>

// An error reply of the engine, or a reply the client could not use.
class EngineError : public EngineFailure {
public:
    // The error object had no integer "code".
    static constexpr int NoCode = -1;
    // A typed request got a reply without a result.
    static constexpr int NoResult = -32603;
    // The engine reports that the operation was cancelled.
    static constexpr int Cancelled = 1001;

    EngineError(int code, QString message, std::optional<QString> detail = std::nullopt)
        : m_code(code), m_message(std::move(message)), m_detail(std::move(detail)) {}

    int code() const { return m_code; }
    const QString& message() const { return m_message; }
    const std::optional<QString>& detail() const { return m_detail; }
    bool isCancelled() const { return m_code == Cancelled; }

    // The message unchanged.
    QString text() const override { return m_message; }

    // Fixed texts, never looked up.
    static QString emptyReplyText();
    static QString unknownErrorText();

private:
    int m_code;
    QString m_message;
    std::optional<QString> m_detail;
};
