#pragma once

#include "app/UrlOpener.h"
#include "common/FakeClock.h"
#include "common/FakeFrontEnd.h"
#include "session/MonitorSession.h"

#include <QStringList>
#include <QTemporaryDir>

namespace skylark::testing {

// Keeps the addresses it was asked to open.
class RecordingOpener final : public UrlOpener {
public:
    void openUrl(const QString& url) override { opened.append(url); }
    QStringList opened;
};

// The session of a temporary data directory, as the front-ends make it, with a clock the
// test moves and a front-end that records; the test gives it its servers.
struct SessionRig {
    explicit SessionRig(const QDateTime& now, MonitorTiming timing = {10, 60000},
                        DeliveryLimits delivery = {2, 100})
        : clock(now)
        , session(dir.path(), {clock, frontEnd, opener, timing, delivery}) {}

    QTemporaryDir dir;
    FakeClock clock;
    FakeFrontEnd frontEnd;
    RecordingOpener opener;
    MonitorSession session;
    RouteBook& book = session.book();
    RouteListModel& routes = session.routes();
    StatusLog& log = session.log();
    Settings& settings = session.settings();
    Monitor& monitor = session.monitor();

    // The log without its time prefixes.
    QStringList logTexts() const {
        QStringList texts;
        for (const QString& line : log.lines()) {
            texts.append(line.mid(11));
        }
        return texts;
    }
};

} // namespace skylark::testing
