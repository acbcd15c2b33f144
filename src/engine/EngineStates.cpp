#include "EngineStates.h"

#include <initializer_list>
#include <utility>

namespace {
// The status `word` names among `words`; a word not among them is Other.
template <class Status>
Status statusOf(const QString& word, std::initializer_list<std::pair<const char*, Status>> words) {
    for (const auto& [name, status] : words) {
        if (word == QLatin1String(name))
            return status;
    }
    return Status::Other;
}
} // namespace

TranscriptionStatus transcriptionStatusOf(const QString& word) {
    using S = TranscriptionStatus;
    return statusOf<S>(word, {{"queued", S::Queued},
                              {"running", S::Running},
                              {"done", S::Done},
                              {"failed", S::Failed},
                              {"cancelled", S::Cancelled}});
}

ModelStatus modelStatusOf(const QString& word) {
    using S = ModelStatus;
    return statusOf<S>(word, {{"installed", S::Installed},
                              {"deleted", S::Deleted},
                              {"cancelled", S::Cancelled},
                              {"failed", S::Failed}});
}

ClipStatus clipStatusOf(const QString& word) {
    using S = ClipStatus;
    return statusOf<S>(
        word,
        {{"running", S::Running}, {"done", S::Done}, {"failed", S::Failed}, {"cancelled", S::Cancelled}});
}
