#include "VersionCheck.h"

#include "net/HttpFetch.h"

#include <QThread>

namespace skylark {

VersionCheck::VersionCheck(FetcherFactory makeFetcher, Endpoints endpoints, double boundSeconds,
                           QObject* parent)
    : QObject(parent)
    , m_makeFetcher(std::move(makeFetcher))
    , m_endpoints(std::move(endpoints))
    , m_boundSeconds(boundSeconds) {}

VersionCheck::~VersionCheck() {
    if (m_thread) {
        m_thread->wait();
    }
}

void VersionCheck::start(std::function<void(const QString&)> done) {
    if (m_thread) {
        return;
    }
    m_done = std::move(done);
    m_thread.reset(QThread::create([this] {
        const std::unique_ptr<Fetcher> fetcher = m_makeFetcher();
        const QString text = versionText(*fetcher, m_endpoints, m_boundSeconds);
        // Dropped when this object is gone first: its destructor waits for the thread,
        // and the events of a deleted object are never delivered.
        QMetaObject::invokeMethod(
            this, [this, text] { m_done(text); }, Qt::QueuedConnection);
    }));
    m_thread->start();
}

} // namespace skylark
