#include "shell/AlertTable.h"

#include "DownloadQueue.h"
#include "shell/StartNow.h"

#include "Prompts.h"
#include "Session.h"
#include "Strings.h"

namespace {

std::function<std::optional<QString>(const AppModel&)> keyed(const char* key) {
    return [key](const AppModel&) { return std::optional(Strings::text(QString::fromLatin1(key))); };
}

AlertEntry::Button close(std::function<void(AppModel&)> action) {
    return {QStringLiteral("button_close"), QMessageBox::AcceptRole, std::move(action)};
}

AlertEntry::Button cancel() {
    return {QStringLiteral("button_cancel"), QMessageBox::RejectRole, {}};
}

} // namespace

const std::vector<AlertEntry>& alertTable() {
    static const std::vector<AlertEntry> table{
        {QStringLiteral("title_clear_queue"),
         watchOf(&AppModel::promptsPart, &Prompts::confirmClearQueueChanged),
         [](const AppModel& m) { return m.promptsPart().confirmClearQueue(); },
         [](const AppModel& m) {
             return std::optional(
                 Strings::text(QStringLiteral("msg_clear_queue"),
                               {{QStringLiteral("count"), QString::number(m.queuePart().jobs().size())}}));
         },
         {{QStringLiteral("button_clear_queue"), QMessageBox::DestructiveRole,
           [](AppModel& m) { m.queuePart().clearQueue(); }},
          cancel()},
         [](AppModel& m) { m.promptsPart().setConfirmClearQueue(false); },
         QMessageBox::Warning},
        {QStringLiteral("title_file_missing"),
         watchOf(&AppModel::promptsPart, &Prompts::fileMissingNoticeChanged),
         [](const AppModel& m) { return m.promptsPart().fileMissingNotice(); },
         keyed("msg_file_missing"),
         {close([](AppModel& m) { m.promptsPart().setFileMissingNotice(false); })},
         [](AppModel& m) { m.promptsPart().setFileMissingNotice(false); },
         QMessageBox::Information},
        {QStringLiteral("title_clear_browser_data"),
         watchOf(&AppModel::promptsPart, &Prompts::confirmClearBrowserDataChanged),
         [](const AppModel& m) { return m.promptsPart().confirmClearBrowserData(); },
         keyed("msg_clear_browser_data"),
         {{QStringLiteral("button_clear_browser_data"), QMessageBox::DestructiveRole,
           [](AppModel& m) { startNow([&m] { return m.sessionPart().clearBrowserData(); }); }},
          cancel()},
         [](AppModel& m) { m.promptsPart().setConfirmClearBrowserData(false); },
         QMessageBox::Warning},
        {QStringLiteral("title_browser_data_cleared"),
         watchOf(&AppModel::promptsPart, &Prompts::browserDataClearedChanged),
         [](const AppModel& m) { return m.promptsPart().browserDataCleared(); },
         keyed("msg_browser_data_cleared"),
         {close([](AppModel& m) { m.promptsPart().setBrowserDataCleared(false); })},
         [](AppModel& m) { m.promptsPart().setBrowserDataCleared(false); },
         QMessageBox::Information},
        {QStringLiteral("title_batch_duplicate"),
         watchOf(&AppModel::promptsPart, &Prompts::batchDuplicateNoticeChanged),
         [](const AppModel& m) { return m.promptsPart().batchDuplicateNotice(); },
         keyed("msg_batch_duplicate"),
         {close([](AppModel& m) { m.promptsPart().setBatchDuplicateNotice(false); })},
         [](AppModel& m) { m.promptsPart().setBatchDuplicateNotice(false); },
         QMessageBox::Information},
        {QStringLiteral("title_up_to_date"),
         watchOf(&AppModel::sessionPart, &Session::upToDateChanged),
         [](const AppModel& m) { return m.sessionPart().upToDate(); },
         [](const AppModel&) { return std::optional<QString>(); },
         {close([](AppModel& m) { m.sessionPart().setUpToDate(false); })},
         [](AppModel& m) { m.sessionPart().setUpToDate(false); },
         QMessageBox::Information},
        {QStringLiteral("title_error"),
         watchOf(&AppModel::sessionPart, &Session::engineFailureChanged),
         [](const AppModel& m) { return m.sessionPart().engineFailure().has_value(); },
         [](const AppModel& m) { return m.sessionPart().engineFailure(); },
         {{QStringLiteral("v2_engine_retry"), QMessageBox::AcceptRole,
           [](AppModel& m) { startNow([&m] { return m.sessionPart().retryEngine(); }); }},
          close([](AppModel& m) { m.sessionPart().clearEngineFailure(); })},
         {},
         QMessageBox::Warning},
    };
    return table;
}
