#pragma once

#include "EngineFailure.h"

#include <QString>

// The system refused to start the engine, or a request could not be written to it.
class EngineProcessError : public EngineFailure {
public:
    explicit EngineProcessError(QString message) : m_message(std::move(message)) {}
    QString text() const override { return m_message; }

private:
    QString m_message;
};
