#include "download/FormatControls.h"

#include "AppModel.h"
#include "Session.h"
#include "SettingFields.h"
#include "SpeechModels.h"
#include "Strings.h"

FormatControls::TranscribeOption FormatControls::transcribeOption(const AppModel& model) {
    TranscribeOption option;
    option.isOn = Setting::transcriptionEnabled.read(model.sessionPart().settings());
    option.enabled = model.modelsPart().canTranscribe();
    // The "unsupported" wording only once the engine has said so; until it answers, the usual help.
    const bool unsupported = model.modelsPart().modelsInfo() && !model.modelsPart().modelsInfo()->supported;
    option.help = Strings::text(unsupported ? QStringLiteral("transcribe_intel_pending")
                                            : QStringLiteral("transcribe_help"));
    return option;
}

void FormatControls::watchTranscribe(AppModel* model, QObject* context, std::function<void()> refresh) {
    QObject::connect(&model->sessionPart(), &Session::settingsChanged, context, refresh);
    QObject::connect(&model->modelsPart(), &SpeechModels::modelsInfoChanged, context, refresh);
}
