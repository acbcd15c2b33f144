#include "library/TranscribeSlot.h"

#include "AppModel.h"
#include "Prompts.h"
#include "SpeechModels.h"
#include "Transcriptions.h"

#include <algorithm>

TranscribeSlot TranscribeSlot::of(const AppModel& model) {
    TranscribeSlot slot;
    const std::optional<ModelsInfo>& info = model.modelsPart().modelsInfo();
    if (!info)
        return slot;
    if (!info->supported) {
        slot.helpKey = QStringLiteral("transcribe_intel_pending");
        slot.enabled = false;
        return slot;
    }
    if (!info->installed().empty())
        return slot;
    const auto download = model.modelsPart().modelDownloads().constFind(info->defaultModel);
    if (download != model.modelsPart().modelDownloads().constEnd()) {
        slot.look = Look::Progress;
        slot.fraction = std::clamp(*download, 0.0, 1.0);
        slot.enabled = false;
        return slot;
    }
    slot.labelKey = QStringLiteral("button_download_model");
    slot.helpKey = QStringLiteral("title_model_download");
    return slot;
}

void TranscribeSlot::trigger(AppModel& model, const LibraryItem& item) {
    const TranscribeSlot slot = of(model);
    if (slot.look != Look::Icon || !slot.enabled)
        return;
    if (slot.labelKey == QLatin1String("button_download_model"))
        model.promptsPart().setModelOptIn(
            Prompts::ModelOptInRequest{model.modelsPart().modelsInfo()->defaultModel});
    else
        model.transcriptionsPart().transcribe(item);
}
