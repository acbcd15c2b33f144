// The update check and the problem report, both through the engine.
#include "Session.h"

#include "AppModel.h"
#include "Assign.h"

QCoro::Task<void> Session::checkForUpdate(bool manual) {
    QPointer<Session> self(this);
    const auto info = co_await ask<EngineMethods::UpdateCheck>(EngineMethods::NoParams(), manual);
    if (!self || !info)
        co_return;
    if (info->available)
        setUpdate(info);
    else if (manual)
        setUpToDate(true);
}

QCoro::Task<bool> Session::sendReport(QString what, QString email) {
    QPointer<Session> self(this);
    const qsizetype first = std::max<qsizetype>(0, m_log.size() - 200);
    EngineMethods::ReportSend::Params params;
    params.what = what;
    params.email = email;
    params.log = m_log.mid(first).join(u'\n');
    const auto reply = co_await ask<EngineMethods::ReportSend>(params, true);
    if (!self)
        co_return false;
    m_reportSavedTo = reply && !reply->sent ? reply->savedTo : std::nullopt;
    co_return reply && reply->sent;
}

void Session::setUpdate(const std::optional<UpdateInfo>& update) {
    assign(this, m_update, update, &Session::updateChanged);
}

void Session::setUpToDate(bool upToDate) {
    assign(this, m_upToDate, upToDate, &Session::upToDateChanged);
}
