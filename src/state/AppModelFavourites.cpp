// The clipboard offer on activation, the script-runtime recheck and the browser favourites.
#include "AppModel.h"

#include "AppActivity.h"
#include "ClipboardWatcher.h"
#include "Clock.h"
#include "Spawn.h"

void AppModel::offerClipboardIfIdle() {
    // The user's own text is never replaced, and a running analysis is left to finish.
    if (!m_pastedText.isEmpty() || m_isAnalyzing)
        return;
    const std::optional<QString> link = ClipboardWatcher::newLink();
    if (!link)
        return;
    setPastedText(*link);
    spawn(this, [this]() -> QCoro::Task<void> { co_await analyzeCurrent(); });
}

void AppModel::offerClipboardOnActivation() {
    offerClipboardIfIdle();
    // A newer activation replaces the rechecks of the one before.
    const int generation = ++m_clipboardRecheckGeneration;
    scheduleClipboardRecheck(generation, 1000, 2);
}

void AppModel::scheduleClipboardRecheck(int generation, int delayMs, int left) {
    if (left <= 0)
        return;
    // The state object is the timer's context: once it is gone, nothing runs.
    m_services.clock->singleShot(delayMs, this, [this, generation, left] {
        if (generation != m_clipboardRecheckGeneration)
            return;
        if (m_services.activity && !m_services.activity->isActive())
            return;
        offerClipboardIfIdle();
        scheduleClipboardRecheck(generation, 2000, left - 1);
    });
}

QCoro::Task<void> AppModel::refreshJSRuntime(bool recheck) {
    QPointer<AppModel> self(this);
    EngineMethods::JsRuntime::Params params;
    params.recheck = recheck;
    const auto reply = co_await ask<EngineMethods::JsRuntime>(params, false);
    if (!self || !reply)
        co_return;
    applyJSRuntime(reply->runtime.has_value(), false);
}

void AppModel::setFavourites(const std::vector<Favourite>& items) {
    assign(m_favourites, items, &AppModel::favouritesChanged);
}

QCoro::Task<void> AppModel::reloadFavourites() {
    QPointer<AppModel> self(this);
    const auto reply = co_await ask<EngineMethods::FavouritesList>(EngineMethods::NoParams(), true);
    if (!self)
        co_return;
    // A list that could not be read shows as empty rather than as stale.
    setFavourites(reply ? reply->items : std::vector<Favourite>());
}

QCoro::Task<void> AppModel::addFavourite(QString url, QString title) {
    QPointer<AppModel> self(this);
    EngineMethods::FavouritesAdd::Params params;
    params.url = url;
    params.title = title;
    const auto reply = co_await ask<EngineMethods::FavouritesAdd>(params, true);
    if (self && reply)
        setFavourites(reply->items);
}

QCoro::Task<void> AppModel::removeFavourite(QString url) {
    QPointer<AppModel> self(this);
    EngineMethods::FavouritesRemove::Params params;
    params.url = url;
    const auto reply = co_await ask<EngineMethods::FavouritesRemove>(params, true);
    if (self && reply)
        setFavourites(reply->items);
}
