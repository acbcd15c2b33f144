// The one place where the panes and sheets of src/views join the window: set the factory of your pane
// or sheet here, e.g. `views.panes.download = [](AppModel& m) { return new DownloadPane(m); };`.
// Sheets come first: a pane that opens a sheet itself (the library's player) takes its factory from them.
#include "shell/ViewFactories.h"

#include "DownloadQueue.h"
#include "batch/BatchPane.h"
#include "batch/ListingPicker.h"
#include "clips/TranscriptPlayer.h"
#include "download/DownloadPane.h"
#include "library/LibraryPane.h"
#include "settings/SettingsPane.h"
#include "sheets/LogSheet.h"
#include "sheets/ModelOptInSheet.h"
#include "sheets/ReportSheet.h"
#include "transcription/TranscriptionPane.h"

ViewFactories ViewFactories::standard() {
    ViewFactories views;

    views.sheets.player = [](AppModel& m, const PlayerTarget& t, QWidget* parent) -> QDialog* {
        return new TranscriptPlayer(&m, t, parent);
    };
    views.sheets.listing = [](AppModel& model, std::shared_ptr<ListingPick> pick,
                              QWidget* parent) -> QDialog* {
        return new ListingPicker(&model.queuePart(), std::move(pick), parent);
    };
    views.sheets.log = [](AppModel& model, QWidget* parent) -> QDialog* {
        return new LogSheet(model, parent);
    };
    views.sheets.report = [](AppModel& model, QWidget* parent) -> QDialog* {
        return new ReportSheet(model, parent);
    };
    views.sheets.modelOptIn = [](AppModel& model, QString key, QWidget* parent) -> QDialog* {
        return new ModelOptInSheet(model, std::move(key), parent);
    };

    views.panes.download = [](AppModel& model) -> QWidget* { return new DownloadPane(&model); };
    views.panes.transcription = [](AppModel& model) -> QWidget* { return new TranscriptionPane(&model); };
    views.panes.batch = [](AppModel& model) -> QWidget* { return new BatchPane(&model); };
    views.panes.downloads = [player = views.sheets.player](AppModel& model) -> QWidget* {
        return new LibraryPane(&model, player);
    };
    views.panes.settings = [](AppModel& model) -> QWidget* { return new SettingsPane(model); };
    return views;
}
