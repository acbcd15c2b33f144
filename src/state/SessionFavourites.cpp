// The script-runtime recheck and the browser favourites.
#include "Session.h"

#include "AppModel.h"
#include "Assign.h"
#include "Prompts.h"

QCoro::Task<void> Session::refreshJSRuntime(bool recheck) {
    QPointer<Session> self(this);
    EngineMethods::JsRuntime::Params params;
    params.recheck = recheck;
    const auto reply = co_await ask<EngineMethods::JsRuntime>(params, false);
    if (!self || !reply)
        co_return;
    applyJSRuntime(reply->runtime.has_value(), false);
}

void Session::setFavourites(const std::vector<Favourite>& items) {
    assign(this, m_favourites, items, &Session::favouritesChanged);
}

QCoro::Task<void> Session::reloadFavourites() {
    QPointer<Session> self(this);
    const auto reply = co_await ask<EngineMethods::FavouritesList>(EngineMethods::NoParams(), true);
    if (!self)
        co_return;
    // A list that could not be read shows as empty rather than as stale.
    setFavourites(reply ? reply->items : std::vector<Favourite>());
}

QCoro::Task<void> Session::addFavourite(QString url, QString title) {
    QPointer<Session> self(this);
    EngineMethods::FavouritesAdd::Params params;
    params.url = url;
    params.title = title;
    const auto reply = co_await ask<EngineMethods::FavouritesAdd>(params, true);
    if (self && reply)
        setFavourites(reply->items);
}

QCoro::Task<void> Session::removeFavourite(QString url) {
    QPointer<Session> self(this);
    EngineMethods::FavouritesRemove::Params params;
    params.url = url;
    const auto reply = co_await ask<EngineMethods::FavouritesRemove>(params, true);
    if (self && reply)
        setFavourites(reply->items);
}

void Session::applyJSRuntime(bool present, bool reveal) {
    if (present || reveal)
        m_app.promptsPart().setJsBannerDismissed(false);
    if (m_jsRuntimeMissing != !present) {
        m_jsRuntimeMissing = !present;
        Q_EMIT jsRuntimeChanged();
    }
}
