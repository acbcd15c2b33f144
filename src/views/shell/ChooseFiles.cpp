#include "shell/ChooseFiles.h"

#include "AppModel.h"
#include "FileDialogs.h"
#include "Strings.h"
#include "Transcriptions.h"

#include <QPointer>
#include <QUrl>

QCoro::Task<void> chooseFilesToTranscribe(AppModel* model) {
    QPointer<AppModel> self(model);
    FileDialogs* dialogs = model->services().fileDialogs;
    if (!dialogs)
        co_return;
    const QString message = Strings::text(QStringLiteral("hint_transcription"));
    const QString confirm = Strings::text(QStringLiteral("button_transcribe"));
    const std::optional<QStringList> chosen =
        co_await dialogs->chooseFiles(message, confirm, model->transcriptionsPart().mediaFileFilters());
    if (!self || !chosen)
        co_return;
    model->setTab(AppModel::Tab::Transcription);
    for (const QString& path : *chosen)
        model->transcriptionsPart().transcribeFile(QUrl::fromLocalFile(path));
}
