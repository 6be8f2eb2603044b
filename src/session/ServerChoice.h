#pragma once

#include "net/Endpoints.h"
#include "sim/DemoServer.h"

#include <QString>

#include <memory>

namespace skylark {

// The outside servers a data directory works with: those of its servers.ini, or the
// built-in demo server, started, when the directory has none or the demo was asked for.
struct ServerChoice {
    Endpoints endpoints;
    std::unique_ptr<sim::DemoServer> demoServer; // set while demo data is served
    bool configured = false;                     // the directory has a servers.ini
};

[[nodiscard]] ServerChoice chooseServers(const QString& directory, bool demoWanted);

} // namespace skylark
