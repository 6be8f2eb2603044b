#include "app/ProgramLifecycle.h"
#include "app/RouteBook.h"
#include "app/RouteListModel.h"
#include "app/Settings.h"
#include "app/StatusLog.h"
#include "common/FakeClock.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"

#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

namespace {

// A version server that says "2.3*x", and no other.
class VersionServer final : public Fetcher {
public:
    using Fetcher::httpFetch;
    QByteArray httpFetch(const FetchRequest& request, FetchResponse*) override {
        return request.url.endsWith(u"/update/skylark/ver.txt") ? QByteArray("2.3*x")
                                                                : QByteArray();
    }
};

// A navigation sound that is there, as on Windows.
class NavigationSound final : public NavigationSoundStore {
public:
    std::optional<QString> read() const override { return value; }
    bool write(const QString& path) override {
        value = path;
        return true;
    }
    bool appendedByUs() const override { return appended; }
    void setAppendedByUs(bool on) override { appended = on; }
    QString value = u"C:\\\\media\\\\start.wav"_s;
    bool appended = false;
};

} // namespace

class TstProgramLifecycle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startUp_runsItsStepsInOrder();
    void exit_cancelChangesNothing_okRunsOnce();
};

void TstProgramLifecycle::startUp_runsItsStepsInOrder() {
    QTemporaryDir dir;
    FakeClock clock{QDateTime(QDate(2026, 12, 10), QTime(9, 5, 3))};
    Settings settings(dir.path());
    QVERIFY(settings.setNoAlertWindow(true));
    const Endpoints endpoints = Endpoints::forDemo(u"http://127.0.0.1:9"_s);
    VersionCheck version([] { return std::make_unique<VersionServer>(); }, endpoints);
    StatusLog log(clock);
    RouteBook book(dir.path());
    RouteListModel routes;
    NavigationSound sound;
    QStringList steps;
    runStartUp(
        {settings, version, endpoints, log, book, routes, sound, u" demo"_s},
        {.setCheckBoxes =
             [&](bool noAlertWindow, bool pushAlerts) {
                 steps.append(u"boxes %1 %2"_s.arg(noAlertWindow).arg(pushAlerts));
             },
         .attachFrame =
             [&](const QString& line) {
                 steps.append(u"frame "_s + line + u" muted "_s +
                              QString::number(sound.value.endsWith(u'1')));
             },
         .setCaption = [&] { steps.append(u"caption"_s); },
         .armTimers = [&] { steps.append(u"timers"_s); },
         .bindTitleButtons = [&] { steps.append(u"title buttons"_s); },
         .installTray = [&] { steps.append(u"tray"_s + QString::number(log.lines().size())); },
         .showWindows = [&] { steps.append(u"windows "_s + QString::number(log.lines().size())); },
         .showVersionLine = [&](const QString& line) { steps.append(u"version "_s + line); }});
    // The window waits for no server: the version line follows it.
    const QStringList shown{u"boxes 1 0"_s,     u"frame   版本：2.2 demo muted 1"_s,
                            u"caption"_s,       u"timers"_s,
                            u"title buttons"_s, u"tray0"_s,
                            u"windows 6"_s};
    QCOMPARE(steps, shown);
    QTRY_COMPARE(steps.size(), shown.size() + 1);
    QCOMPARE(steps.last(), u"version   版本：2.2 (最新版本：2.3*x) demo"_s);
}

void TstProgramLifecycle::exit_cancelChangesNothing_okRunsOnce() {
    NavigationSound sound;
    setNavigationSoundMuted(sound, true);
    ProgramExit exit(sound);
    QStringList steps;
    bool answer = false;
    const ExitSteps exitSteps{.confirm =
                                  [&] {
                                      steps.append(u"question"_s);
                                      return answer;
                                  },
                              .showMainWindow = [&] { steps.append(u"show"_s); },
                              .stopMonitoring = [&] { steps.append(u"stop"_s); },
                              .closeWithEffect = [&] { steps.append(u"close "_s + sound.value); }};
    QVERIFY(!exit.run(exitSteps));
    QCOMPARE(steps, QStringList{u"question"_s});
    QVERIFY(sound.value.endsWith(u'1'));
    answer = true;
    QVERIFY(exit.run(exitSteps));
    QVERIFY(!exit.run(exitSteps)); // the exit under way is not asked again
    QCOMPARE(steps, (QStringList{u"question"_s, u"question"_s, u"show"_s, u"stop"_s,
                                 u"close C:\\\\media\\\\start.wav"_s}));
    QVERIFY(exit.exiting());
}

QTEST_GUILESS_MAIN(TstProgramLifecycle)
#include "tst_programlifecycle.moc"
