#include "Desktop.h"

#include "AlertWindow.h"
#include "Faces.h"
#include "MainWindow.h"
#include "ProgramIcon.h"
#include "RepaintPacer.h"
#include "SkinFrame.h"
#include "TipWindow.h"
#include "WindowOps.h"
#include "app/ProgramLifecycle.h"
#include "app/StartUp.h"
#include "net/CookieStore.h"
#include "store/SafeSave.h"
#include "text/LogCategories.h"

#include <QApplication>
#include <QDesktopServices>
#include <QScreen>
#include <QTabWidget>
#include <QUrl>

namespace skylark::ui {

void BrowserOpener::openUrl(const QString& url) {
    QDesktopServices::openUrl(QUrl(url));
}

void DesktopFrontEnd::showInformation(const QString& text) {
    m_ops.messageBox(text);
}

void DesktopFrontEnd::playAlertSound() {
    m_sound.play();
}

// A later round's alert replaces one that is still open: the newest fares are the ones
// that count, and alerts never pile up in the corner.
void DesktopFrontEnd::showAlertWindow(const QList<SpecialFare>& fares) {
    if (fares.isEmpty()) {
        return;
    }
    const SkinPicture& skin = configuredSkin();
    // The window of the last round, while it is still up, shows this round's fares: it
    // looks the same as a new one, and making one costs the round its last milliseconds.
    const bool stillUp = m_alert && m_alert->isVisible() && m_alertSkin == skin.pixmap.cacheKey();
    if (stillUp) {
        m_alert->showFares(fares);
        m_alert->raise();
    } else {
        if (m_alert) {
            m_alert->close();
        }
        m_alertSkin = skin.pixmap.cacheKey();
        m_alert = new AlertWindow(fares, skin.bytes, skin.pixmap);
        QObject::connect(m_alert, &AlertWindow::openMainWindowRequested, m_alert, [this] {
            if (m_window) {
                showMainWindow(*m_window);
            }
        });
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    m_alert->move(alertCorner(screen->availableGeometry(), m_alert->size()));
    if (!stillUp) {
        m_ops.openWindow(m_alert, nullptr, false);
    }
    m_alert->startCountdown();
}

void showMainWindow(QWidget& window) {
    centreOnScreen(window);
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

bool DesktopFrontEnd::alertWindowSuppressed() const {
    return m_settings.noAlertWindow();
}

// Opened without an owner and not modal; a second request brings the open one forward.
void DesktopFrontEnd::openPushSettings() {
    if (!m_pushSettingsWindow && m_pushSettingsLogic) {
        m_pushSettingsWindow = new PushSettingsWindow(*m_pushSettingsLogic);
        centreOnScreen(*m_pushSettingsWindow);
        m_ops.openWindow(m_pushSettingsWindow, nullptr, false);
    }
    if (m_pushSettingsWindow) {
        m_pushSettingsWindow->raise();
        m_pushSettingsWindow->activateWindow();
    }
}

Desktop::Desktop(const QString& directory, const Endpoints& endpoints, WindowOps& ops,
                 QString notice, MonitorTiming timing)
    : m_directory(directory)
    , m_notice(std::move(notice))
    , m_ops(ops)
    , m_frontEnd(ops, directory)
    , m_session(directory, {m_clock, m_frontEnd, m_opener, timing, {}, endpoints})
    , m_versionCheck(
          [cookies = m_session.fetcher().cookieStore()] {
              return std::make_unique<HttpFetcher>(cookies);
          },
          m_session.endpoints())
    , m_skins(directory + QStringLiteral("/Skin"), builtInFirstSkin(), m_session.settings())
    , m_window(std::make_unique<MainWindow>(
          MainWindowCore{m_session.commands(), m_session.monitor(), m_session.pushSettings(),
                         m_session.settings(), m_session.routes(), m_session.log(), ops})) {
    new RepaintPacer(*m_window); // the window's child
    m_frontEnd.setMainWindow(m_window.get());
    m_frontEnd.setPushSettingsLogic(&m_session.pushSettings());
    m_pages = std::make_unique<EmbeddedPages>(m_window->startPageHost(), m_window->trendPageHost(),
                                              directory + QStringLiteral("/webengine"));
    QObject::connect(&m_startPagesTimer, &IntervalTimer::tick, m_pages.get(), [this] {
        m_startPagesTimer.setInterval(0);
        m_pages->loadStartPages(priceChartPageUrl(m_session.endpoints()),
                                startPageUrl(m_session.endpoints()));
    });
    QObject::connect(&m_trendReloadTimer, &IntervalTimer::tick, m_pages.get(),
                     &EmbeddedPages::reloadTrendPage);
    QObject::connect(m_window.get(), &MainWindow::routeListClicked, m_pages.get(),
                     [this] { fillTrendSearch(); });
    QObject::connect(m_window.get(), &MainWindow::historyRequested, m_window.get(),
                     [this] { openHistoryWindow(); });
    // Monitoring goes on without a history; its failure is said once, here and in the
    // history window.
    QObject::connect(&m_session.history(), &FareHistory::failed, &m_session.history(),
                     [](const QString& message) { qCWarning(logHistory).noquote() << message; });
    (void)m_session.openHistory(HistoryAccess::Record);
    bindDesktopChannel();
}

void Desktop::setNotificationBus(const QDBusConnection& bus) {
    m_session.alerts().setDesktopChannel(
        std::make_unique<DesktopChannel>(bus, QStringLiteral("skylark")));
    bindDesktopChannel();
}

// The notification's action brings the main window back; without a notification service
// the tray's balloon shows the message.
void Desktop::bindDesktopChannel() {
    DesktopChannel& channel = m_session.alerts().desktopChannel();
    channel.setFallback(m_tray.get());
    QObject::connect(&channel, &DesktopChannel::windowWanted, m_window.get(),
                     [this] { showMainWindow(*m_window); });
}

void Desktop::openAlertChannelsWindow() {
    if (!m_channelsWindow) {
        m_channelsWindow = new AlertChannelsWindow(m_session.channels(), m_session.alerts(),
                                                   m_session.rules(), m_session.routes(), m_ops);
        m_channelsWindow->setWindowIcon(programIcon());
        centreOnScreen(*m_channelsWindow);
        m_ops.openWindow(m_channelsWindow, nullptr, false);
    }
    m_channelsWindow->raise();
    m_channelsWindow->activateWindow();
}

void Desktop::openHistoryWindow() {
    const int row = m_window->selectedRow();
    if (row < 0) {
        return;
    }
    delete m_historyWindow;
    m_historyWindow =
        new HistoryWindow(m_session.history(), m_clock,
                          {m_session.routes().cell(row, RouteListModel::IdColumn),
                           m_session.routes().cell(row, RouteListModel::DepartureColumn),
                           m_session.routes().cell(row, RouteListModel::ArrivalColumn),
                           m_session.routes().cell(row, RouteListModel::DateColumn),
                           m_session.routes().cell(row, RouteListModel::PriceColumn)});
    m_historyWindow->setWindowIcon(programIcon());
    m_ops.openWindow(m_historyWindow, nullptr, false);
}

void Desktop::fillTrendSearch() {
    const int row = m_window->selectedRow();
    if (row >= 0) {
        m_pages->fillTrendSearch(m_session.routes().cell(row, RouteListModel::DepartureColumn),
                                 m_session.routes().cell(row, RouteListModel::ArrivalColumn));
    }
}

Desktop::~Desktop() {
    m_frontEnd.setMainWindow(nullptr);
    m_frontEnd.setPushSettingsLogic(nullptr);
    delete m_frontEnd.pushSettingsWindow();
    delete m_frontEnd.alertWindow();
    delete m_historyWindow;
    delete m_channelsWindow;
}

void Desktop::start(const QString& startUpProblem) {
    runStartUp(
        {m_session.settings(), m_versionCheck, m_session.endpoints(), m_session.log(),
         m_session.book(), m_session.routes(), m_navigationSound, m_notice},
        {.setCheckBoxes =
             [this](bool noAlertWindow, bool pushAlerts) {
                 m_window->setCheckBoxes(noAlertWindow, pushAlerts);
             },
         .attachFrame = [this](const QString& secondLine) { attachFrame(secondLine); },
         .setCaption = [this] { m_window->setWindowTitle(QString::fromUtf16(kWindowCaption)); },
         .armTimers =
             [this] {
                 m_startPagesTimer.setInterval(m_startPagesDelayMs);
                 m_trendReloadTimer.setInterval(180000);
             },
         .bindTitleButtons = [this] { bindTitleButtons(); },
         .installTray = [this] { installTray(); },
         .showWindows = [this] { showStartWindows(); },
         .showVersionLine = [this](const QString& line) { frame().setSecondLine(line); }});
    const QString unwritable = folderWriteProblem(m_directory);
    const QString warning =
        unwritable.isEmpty() ? startUpProblem : unwritableDirectory(m_directory, unwritable);
    if (!warning.isEmpty()) {
        m_ops.messageBox(warning, WindowOps::Buttons::Ok, QMessageBox::Warning);
    }
}

void Desktop::bindTitleButtons() {
    frame().setTitleButtonHandler(TitleButtonKind::Close, [this] { hideMainWindow(); });
    frame().setTitleButtonHandler(TitleButtonKind::Menu, [this] { m_tray->popUpMainMenu(false); });
    frame().setTitleButtonHandler(TitleButtonKind::ChangeSkin, [this] { openSkinWindow(); });
    QObject::connect(m_window.get(), &MainWindow::closeRequested, m_window.get(),
                     [this] { hideMainWindow(); });
}

void Desktop::installTray() {
    m_window->setWindowIcon(programIcon());
    m_tray = std::make_unique<Tray>(
        *m_window, m_ops,
        MainMenuActions{[this] { m_opener.openUrl(homePageUrl(m_session.endpoints())); },
                        [this] {
                            m_session.monitor().stopMonitoring();
                            m_frontEnd.openPushSettings();
                        },
                        [this] { m_opener.openUrl(feedbackPageUrl(m_session.endpoints())); },
                        [this] { m_opener.openUrl(mailFeedbackUrl(m_session.endpoints())); },
                        [this] { openAlertChannelsWindow(); }, [this] { exitProgram(); }},
        programIcon(), QString::fromUtf16(kWindowCaption));
    m_session.alerts().desktopChannel().setFallback(m_tray.get());
}

void Desktop::showStartWindows() {
    centreOnScreen(*m_window);
    m_window->show();
    m_tipWindow = new TipWindow(m_window.get(), m_tipTickMs);
    centreOnScreen(*m_tipWindow);
    m_ops.openWindow(m_tipWindow, m_window.get(), false);
}

// The frame of the start-up: the configured skin, the title-bar buttons and the three page
// buttons, the second of them selected with its page.
void Desktop::attachFrame(const QString& secondLine) {
    SkinFrame* frame = SkinFrame::attach(
        *m_window,
        {.picture = m_frontEnd.configuredSkin().bytes,
         .decoded = m_frontEnd.configuredSkin().pixmap,
         .size = QSize(1040, 551),
         .buttons = {TitleButtonKind::Minimize, TitleButtonKind::Menu, TitleButtonKind::ChangeSkin},
         .secondLine = secondLine});
    QTabWidget& pages = m_window->pages();
    pages.setCurrentIndex(1);
    const std::pair<const char16_t*, const char*> buttons[] = {
        {u"首页", "nav-home"}, {u"机票监控", "nav-monitor"}, {u"监控记录", "nav-log"}};
    for (const auto& [caption, picture] : buttons) {
        frame->addNavigationButton(
            QString::fromUtf16(caption),
            QPixmap(QStringLiteral(":/skylark/pictures/%1.png").arg(QLatin1String(picture))),
            &pages);
    }
    frame->selectNavigationButton(2);
    QObject::connect(&m_session.monitor().state(), &MonitorState::changed, m_window.get(),
                     [this] { showMonitorState(); });
    QObject::connect(&m_stateTick, &IntervalTimer::tick, m_window.get(),
                     [this] { showMonitorState(); });
    showMonitorState();
    // Attaching the frame makes the window anew and polishes its controls again under the
    // style sheet, which drops the faces set before: they are given after it.
    applyFaces(*m_window);
}

// The state line along the frame's bottom edge; its countdown moves each second while
// monitoring waits for the next round.
void Desktop::showMonitorState() {
    const MonitorStatus& status = m_session.monitor().state().status();
    frame().setStatusText(monitorStateLine(status, m_clock.now()));
    m_stateTick.setInterval(status.phase == MonitorStatus::Phase::Waiting ? 1000 : 0);
}

SkinFrame& Desktop::frame() {
    return *SkinFrame::of(*m_window);
}

// Without a notification area a hidden window could not come back: minimize instead.
void Desktop::hideMainWindow() {
    if (Tray::available()) {
        m_window->hide();
    } else {
        m_window->showMinimized();
    }
}

void Desktop::openSkinWindow() {
    if (m_skinWindow) {
        m_skinWindow->activateWindow();
        return;
    }
    m_skinWindow =
        new SkinWindow(m_skins, m_frontEnd.configuredSkin().bytes, m_ops, m_chooseSkinFile);
    QObject::connect(m_skinWindow, &SkinWindow::skinChanged, m_window.get(),
                     [this] { applyConfiguredSkin(); });
    centreOnScreen(*m_skinWindow);
    m_ops.openWindow(m_skinWindow, m_window.get(), true);
}

void Desktop::applyConfiguredSkin() {
    // The picture every framed window shares; a file that cannot be read changes nothing.
    const SkinPicture& skin = m_frontEnd.configuredSkin();
    if (skin.fromFile) {
        frame().setFramePicture(skin.bytes, skin.pixmap);
    }
}

bool Desktop::exitProgram() {
    return m_exit.run({.confirm =
                           [this] {
                               return m_ops.messageBox(exitQuestion(), WindowOps::Buttons::OkCancel,
                                                       QMessageBox::Question) == WindowOps::Ok;
                           },
                       .showMainWindow = [this] { showMainWindow(*m_window); },
                       .stopMonitoring = [this] { m_session.monitor().stopMonitoring(); },
                       .closeWithEffect =
                           [this] {
                               m_window->allowClose();
                               frame().closeWithEffect();
                               if (m_quit) {
                                   m_quit();
                               } else {
                                   QCoreApplication::quit();
                               }
                           }});
}

} // namespace skylark::ui
