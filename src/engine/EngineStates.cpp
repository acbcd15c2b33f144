#include "EngineStates.h"

#include <array>

namespace {
// `words` in the order of the enumerators; a word not among them is Other.
template <class Status, std::size_t N>
Status statusOf(const QString& word, const std::array<const char*, N>& words) {
    for (std::size_t i = 0; i < N; ++i) {
        if (word == QLatin1String(words[i]))
            return static_cast<Status>(i);
    }
    return Status::Other;
}
} // namespace

TranscriptionStatus transcriptionStatusOf(const QString& word) {
    return statusOf<TranscriptionStatus>(word,
                                         std::array{"queued", "running", "done", "failed", "cancelled"});
}

ModelStatus modelStatusOf(const QString& word) {
    return statusOf<ModelStatus>(word, std::array{"installed", "deleted", "cancelled", "failed"});
}

ClipStatus clipStatusOf(const QString& word) {
    return statusOf<ClipStatus>(word, std::array{"running", "done", "failed", "cancelled"});
}
