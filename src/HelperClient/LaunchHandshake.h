#pragma once

#include "HelperClient/HelperConnection.h"
#include "Platform/ServiceRegistry.h"
#include "Store/StoreEnvironment.h"

#include <chrono>
#include <memory>

namespace quorvane {

// The store's launch handshake over the real connection: when `registry` says the helper is
// enabled, one connection and one handshake, closed again once answered. What the helper answers
// does not matter; that it answers does: it serves nobody before it has undone a transaction an
// earlier run left half done. A helper that does not answer within `patience` is not waited for.
StoreEnvironment::HelperHandshake
launchHandshake(std::shared_ptr<ServiceRegistry> registry, HelperConnectionFactory connections,
                std::chrono::milliseconds patience = std::chrono::seconds(30));

// The same with the systemd units and the helper's system socket.
StoreEnvironment::HelperHandshake productionLaunchHandshake();

} // namespace quorvane
