#include "shell/AlertTable.h"

#include "shell/StartNow.h"

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
         &AppModel::confirmClearQueueChanged,
         [](const AppModel& m) { return m.confirmClearQueue(); },
         [](const AppModel& m) {
             return std::optional(
                 Strings::text(QStringLiteral("msg_clear_queue"),
                               {{QStringLiteral("count"), QString::number(m.jobs().size())}}));
         },
         {{QStringLiteral("button_clear_queue"), QMessageBox::DestructiveRole,
           [](AppModel& m) { m.clearQueue(); }},
          cancel()},
         [](AppModel& m) { m.setConfirmClearQueue(false); },
         QMessageBox::Warning},
        {QStringLiteral("title_file_missing"),
         &AppModel::fileMissingNoticeChanged,
         [](const AppModel& m) { return m.fileMissingNotice(); },
         keyed("msg_file_missing"),
         {close([](AppModel& m) { m.setFileMissingNotice(false); })},
         [](AppModel& m) { m.setFileMissingNotice(false); },
         QMessageBox::Information},
        {QStringLiteral("title_clear_browser_data"),
         &AppModel::confirmClearBrowserDataChanged,
         [](const AppModel& m) { return m.confirmClearBrowserData(); },
         keyed("msg_clear_browser_data"),
         {{QStringLiteral("button_clear_browser_data"), QMessageBox::DestructiveRole,
           [](AppModel& m) { startNow([&m] { return m.clearBrowserData(); }); }},
          cancel()},
         [](AppModel& m) { m.setConfirmClearBrowserData(false); },
         QMessageBox::Warning},
        {QStringLiteral("title_browser_data_cleared"),
         &AppModel::browserDataClearedChanged,
         [](const AppModel& m) { return m.browserDataCleared(); },
         keyed("msg_browser_data_cleared"),
         {close([](AppModel& m) { m.setBrowserDataCleared(false); })},
         [](AppModel& m) { m.setBrowserDataCleared(false); },
         QMessageBox::Information},
        {QStringLiteral("title_batch_duplicate"),
         &AppModel::batchDuplicateNoticeChanged,
         [](const AppModel& m) { return m.batchDuplicateNotice(); },
         keyed("msg_batch_duplicate"),
         {close([](AppModel& m) { m.setBatchDuplicateNotice(false); })},
         [](AppModel& m) { m.setBatchDuplicateNotice(false); },
         QMessageBox::Information},
        {QStringLiteral("title_up_to_date"),
         &AppModel::upToDateChanged,
         [](const AppModel& m) { return m.upToDate(); },
         [](const AppModel&) { return std::optional<QString>(); },
         {close([](AppModel& m) { m.setUpToDate(false); })},
         [](AppModel& m) { m.setUpToDate(false); },
         QMessageBox::Information},
        {QStringLiteral("title_error"),
         &AppModel::engineFailureChanged,
         [](const AppModel& m) { return m.engineFailure().has_value(); },
         [](const AppModel& m) { return m.engineFailure(); },
         {{QStringLiteral("v2_engine_retry"), QMessageBox::AcceptRole,
           [](AppModel& m) { startNow([&m] { return m.retryEngine(); }); }},
          close([](AppModel& m) { m.clearEngineFailure(); })},
         {},
         QMessageBox::Warning},
    };
    return table;
}
