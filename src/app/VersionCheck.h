#pragma once

#include "StartUp.h"
#include "net/Endpoints.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThread;

namespace skylark {

class Fetcher;

// The start-up's version check on a thread of its own, so that no window waits for the
// update server: the text arrives on this object's thread within the check's bound.
class VersionCheck : public QObject {
public:
    // Makes the fetcher the check uses, on the check's own thread.
    using FetcherFactory = std::function<std::unique_ptr<Fetcher>()>;

    VersionCheck(FetcherFactory makeFetcher, Endpoints endpoints,
                 double boundSeconds = kVersionCheckSeconds, QObject* parent = nullptr);
    // Waits for a check under way, which its bound ends.
    ~VersionCheck() override;

    // Starts the check; done gets the version text once, from this object's event loop.
    void start(std::function<void(const QString& versionText)> done);
    void setBoundSeconds(double seconds) { m_boundSeconds = seconds; }

private:
    FetcherFactory m_makeFetcher;
    Endpoints m_endpoints;
    double m_boundSeconds;
    std::unique_ptr<QThread> m_thread;
    std::function<void(const QString&)> m_done;
};

} // namespace skylark
