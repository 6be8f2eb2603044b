#include "StartUp.h"

#include "RouteBook.h"
#include "RouteListModel.h"
#include "Settings.h"
#include "StatusLog.h"
#include "net/Endpoints.h"
#include "net/HttpFetch.h"
#include "net/ServerAnswers.h"
#include "text/Text.h"
#include "text/Url.h"

namespace skylark {

QString versionTextFrom(const QString& versionFile, const Endpoints& endpoints) {
    const QString version = QString::fromUtf16(kProgramVersion);
    const QStringList fields = splitFields(versionFile, u"*");
    if (fields.size() != 2) {
        return version + QStringLiteral(" (获取服务器版本信息失败)");
    }
    if (fields[0] == version) {
        return version + QStringLiteral(" (") + endpoints.relaySite +
               QStringLiteral(") 支持国内、国际·港澳台机票的监控");
    }
    return version + QStringLiteral(" (最新版本：") + versionFile + QLatin1Char(')');
}

QString versionText(Fetcher& fetcher, const Endpoints& endpoints, double boundSeconds) {
    FetchRequest request;
    request.url = versionFileUrl(endpoints);
    request.method = QStringLiteral("GET");
    request.timeoutSeconds = boundSeconds;
    request.deadlineSeconds = boundSeconds;
    return versionTextFrom(relayAnswerText(fetcher.httpFetch(request)), endpoints);
}

QString frameSecondLine(const QString& versionText) {
    return QStringLiteral("  版本：") + versionText;
}

QStringList greetingLines(const Endpoints& endpoints) {
    return {QStringLiteral("欢迎您使用本软件,本软件由翔云网(") + hostOf(endpoints.homePage, true) +
                QStringLiteral(")提供,谢谢您的使用！"),
            QStringLiteral("欢迎访问我们的最新主页：") + hostOf(endpoints.relaySite, true),
            QStringLiteral("操作提示：点关闭按扭后，软件将会最小化在系统右下角拖盘处运行，若要退出"
                           "软件请在拖盘上点击鼠标右键！"),
            QStringLiteral("操作提示：右键点击航线监控列表上的航线可以删除该航线,"
                           "或打开默认浏览器跳转到阿里旅行官网搜索该航线！"),
            QStringLiteral("提示：此软件可能会存在杀毒软件的误报现象，若有误报时请将此软件加入白名"
                           "单或信任列表或暂时退出杀毒软件！")};
}

void greetAndLoadRoutes(StatusLog& log, const Endpoints& endpoints, const RouteBook& book,
                        RouteListModel& routes) {
    for (const QString& line : greetingLines(endpoints)) {
        log.appendLog(line);
    }
    loadRouteBook(book, routes);
    log.appendLog(QStringLiteral("已读取上次保存的监控航线！"));
}

CheckBoxStates initialCheckBoxStates(const Settings& settings) {
    return {settings.noAlertWindow(), settings.pushEnabled()};
}

QString exitQuestion() {
    return QStringLiteral("是否关闭") + QString::fromUtf16(kWindowCaption) + QStringLiteral(" ?");
}

QString unwritableDirectory(const QString& directory, const QString& reason) {
    return QStringLiteral("数据目录 %1 无法写入（%2），对航线和设置的更改将无法保存。")
        .arg(directory, reason);
}

bool setNavigationSoundMuted(NavigationSoundStore& store, bool muted) {
    const std::optional<QString> path = store.read();
    if (!path || trimBlanks(*path).isEmpty()) {
        return false;
    }
    const bool endsInOne = path->endsWith(QLatin1Char('1'));
    if (muted) {
        if (endsInOne) {
            return true; // muted already, by us or by the path itself
        }
        if (!store.write(*path + QLatin1Char('1'))) {
            return false;
        }
        store.setAppendedByUs(true);
        return true;
    }
    if (!endsInOne || !store.appendedByUs()) {
        return true;
    }
    if (!store.write(path->chopped(1))) {
        return false;
    }
    store.setAppendedByUs(false);
    return true;
}

} // namespace skylark
