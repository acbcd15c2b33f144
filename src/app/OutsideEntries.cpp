#include "OutsideEntries.h"

#include "DownloadQueue.h"
#include "shell/StartNow.h"

#include "AppModel.h"
#include "ClipboardWatcher.h"
#include "Composition.h"
#include "Job.h"
#include "Session.h"
#include "Strings.h"
#include "VamberURL.h"

#include <QPointer>

OutsideEntries::OutsideEntries(AppModel& model, QObject* parent) : QObject(parent), m_model(model) {}

void OutsideEntries::serve(InstanceGuard& guard) {
    QPointer<OutsideEntries> self(this);
    guard.setAnswerHandler([self](QStringList arguments, InstanceResponder respond) {
        if (!self) {
            respond({1, {}, QStringLiteral("Vamber is quitting.\n")});
            return;
        }
        const LaunchRequest request = LaunchRequest::parse(arguments);
        startNow([self, request, respond]() -> QCoro::Task<void> {
            const InstanceAnswer answer = co_await self->handle(request);
            respond(answer);
        });
    });
}

QCoro::Task<InstanceAnswer> OutsideEntries::handle(LaunchRequest request) {
    switch (request.verb) {
    case LaunchRequest::Verb::Reopen:
        Q_EMIT reopenRequested();
        co_return InstanceAnswer();
    case LaunchRequest::Verb::Open: {
        // Taken at once; the downloads follow one after the other once the application is ready.
        QPointer<OutsideEntries> self(this);
        startNow([self, links = request.links]() -> QCoro::Task<void> {
            if (self)
                co_await self->openLinks(links);
        });
        co_return InstanceAnswer();
    }
    case LaunchRequest::Verb::DownloadText: {
        const QString text = request.text.trimmed();
        if (text.isEmpty())
            co_return co_await refuseText(&m_model);
        QPointer<OutsideEntries> self(this);
        startNow([self, text]() -> QCoro::Task<void> {
            if (self)
                co_await self->downloadText(text);
        });
        co_return InstanceAnswer();
    }
    case LaunchRequest::Verb::Download:
        co_return co_await download(request.text, request.quality);
    case LaunchRequest::Verb::DownloadClipboard:
        co_return co_await downloadClipboard(request.quality);
    case LaunchRequest::Verb::Help:
        co_return InstanceAnswer{0, LaunchRequest::helpText(), {}};
    case LaunchRequest::Verb::Version:
        co_return InstanceAnswer{0, QStringLiteral("vamber %1\n").arg(QStringLiteral(VAMBER_VERSION)), {}};
    case LaunchRequest::Verb::Invalid:
        break;
    }
    co_return InstanceAnswer{2, {}, request.error + QLatin1Char('\n')};
}

// The state object outlives this one, so the steps after a wait use it, never members of this object;
// a wait also ends when the state object goes away (the application quits), so each is followed by a check.

QCoro::Task<void> OutsideEntries::openLinks(QStringList links) {
    const QPointer<AppModel> model(&m_model);
    for (const QString& link : links) {
        const std::optional<VamberURL::Target> target = VamberURL::parse(link);
        if (!target)
            continue;
        co_await model->sessionPart().waitUntilReady();
        if (!model)
            co_return;
        if (!target->quality.isNull())
            model->compositionPart().applyQuality(target->quality);
        co_await model->queuePart().enqueue(target->address, true);
    }
}

QCoro::Task<void> OutsideEntries::downloadText(QString text) {
    const QPointer<AppModel> model(&m_model);
    co_await model->sessionPart().waitUntilReady();
    if (model)
        co_await model->queuePart().enqueue(text, true);
}

QCoro::Task<InstanceAnswer> OutsideEntries::download(QString address, QString quality) {
    const QPointer<AppModel> model(&m_model);
    co_await model->sessionPart().waitUntilReady();
    if (!model)
        co_return goneAway();
    model->compositionPart().applyQuality(quality);
    const std::shared_ptr<Job> job = co_await model->queuePart().enqueue(address, false);
    if (!job)
        co_return noAddress();
    co_return InstanceAnswer{0, job->title() + QLatin1Char('\n'), {}};
}

QCoro::Task<InstanceAnswer> OutsideEntries::downloadClipboard(QString quality) {
    const QPointer<AppModel> model(&m_model);
    co_await model->sessionPart().waitUntilReady();
    if (!model)
        co_return goneAway();
    const std::optional<QString> link = ClipboardWatcher::currentLink();
    if (!link)
        co_return noAddress();
    model->compositionPart().applyQuality(quality);
    co_await model->queuePart().enqueue(*link, false);
    co_return InstanceAnswer();
}

QCoro::Task<InstanceAnswer> OutsideEntries::refuseText(AppModel* model) {
    // Said in the interface's language, so after the texts have come.
    co_await model->sessionPart().waitUntilReady();
    co_return noAddress();
}

InstanceAnswer OutsideEntries::goneAway() {
    return InstanceAnswer{1, {}, {}};
}

InstanceAnswer OutsideEntries::noAddress() {
    return InstanceAnswer{1, {}, Strings::text(QStringLiteral("status_enter_url")) + QLatin1Char('\n')};
}
