// The event pump: every engine event applied in wire order, completely, without suspending.
#include "AppModel.h"

#include "Clips.h"
#include "DownloadQueue.h"
#include "Session.h"
#include "SpeechModels.h"
#include "Transcriptions.h"

#include <type_traits>

void AppModel::apply(const EngineEvent& event) {
    std::visit(
        [this](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, EngineEvent::JobStarted> ||
                          std::is_same_v<T, EngineEvent::JobMeta> ||
                          std::is_same_v<T, EngineEvent::JobProgress> ||
                          std::is_same_v<T, EngineEvent::JobState>) {
                m_queuePart->apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::JobLog>) {
                m_sessionPart->note(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::JsRuntime>) {
                m_sessionPart->applyJSRuntime(e.present, e.reveal);
            } else if constexpr (std::is_same_v<T, EngineEvent::TranscribeState>) {
                transcriptionsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::TranscribeProgress>) {
                transcriptionsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::ModelProgress>) {
                modelsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::ModelState>) {
                modelsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::ClipState>) {
                clipsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::ClipProgress>) {
                clipsPart().apply(e);
            } else if constexpr (std::is_same_v<T, EngineEvent::EngineStopped>) {
                m_sessionPart->engineStopped(e.busy);
            }
            // Ready, Unknown: nothing.
        },
        event.payload);
}
