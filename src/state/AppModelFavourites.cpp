// The script-runtime recheck and the browser favourites.
#include "AppModel.h"

#include "Assign.h"
#include "Spawn.h"

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
    assign(this, m_favourites, items, &AppModel::favouritesChanged);
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
