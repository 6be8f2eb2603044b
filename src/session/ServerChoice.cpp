#include "ServerChoice.h"

#include "text/LogCategories.h"

namespace skylark {

ServerChoice chooseServers(const QString& directory, bool demoWanted) {
    ServerChoice choice;
    const std::optional<Endpoints> configured = Endpoints::load(directory);
    choice.configured = configured.has_value();
    if (configured && !demoWanted) {
        choice.endpoints = *configured;
        qCDebug(logSession) << "servers of servers.ini in" << directory;
        return choice;
    }
    choice.demoServer = std::make_unique<sim::DemoServer>();
    choice.demoServer->start();
    choice.endpoints = Endpoints::forDemo(choice.demoServer->baseUrl());
    qCDebug(logSession) << "demo server at" << choice.demoServer->baseUrl();
    return choice;
}

} // namespace skylark
