#pragma once

#include "Spawn.h"

// Starts an asynchronous action at once, in the caller's turn (its first steps run before this returns),
// without awaiting it; whatever it lets escape is written as a warning.
template <class Body> void startNow(Body body) {
    spawn_detail::runCaught(std::move(body));
}
