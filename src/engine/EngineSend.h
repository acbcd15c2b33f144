#pragma once

#include "EngineClient.h"
#include "EngineMethods.h"

#include <QCoro/QCoroTask>

#include <type_traits>

namespace EngineMethods {

// Sends one catalogue request: M's name, its params exactly as its record writes them (no "params" member
// for a method without params), and its result decoded as M::Reply. For a void Reply the result is not
// looked at: any reply that is not an error is success. Throws what the client throws (EngineError for an
// error reply or a reply without a result, DecodeError for a result that does not decode,
// EngineLaunchError, EngineProcessError). The client is only used before the first suspension.
template <class M> QCoro::Task<typename M::Reply> send(EngineClient* client, typename M::Params params) {
    std::optional<QJsonObject> json = paramsJson<M>(params);
    const QString method = QString::fromLatin1(M::name);
    if constexpr (std::is_void_v<typename M::Reply>) {
        co_await client->call(method, std::move(json));
    } else {
        co_return co_await client->request<typename M::Reply>(method, std::move(json));
    }
}

template <class M>
requires WithoutParams<M> QCoro::Task<typename M::Reply> send(EngineClient* client) {
    return send<M>(client, NoParams{});
}

} // namespace EngineMethods
