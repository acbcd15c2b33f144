#include "EngineFailure.h"

const char* EngineFailure::what() const noexcept {
    try {
        m_what = text().toStdString();
    } catch (...) {
        return "engine failure";
    }
    return m_what.c_str();
}
