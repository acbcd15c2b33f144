#include "download/FormatControls.h"

#include "AppModel.h"
#include "Strings.h"

// The switch shows the saved setting. Whether this machine can transcribe is not known to the state yet,
// so the switch stays disabled rather than offering what may not run.
FormatControls::TranscribeOption FormatControls::transcribeOption(const AppModel& model) {
    TranscribeOption option;
    option.isOn = model.settings() ? model.settings()->transcriptionEnabled : false;
    option.enabled = false;
    option.help = Strings::text(QStringLiteral("transcribe_help"));
    return option;
}

void FormatControls::watchTranscribe(AppModel* model, QObject* context, std::function<void()> refresh) {
    QObject::connect(model, &AppModel::settingsChanged, context, refresh);
}
