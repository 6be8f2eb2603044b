#include "RouteCommands.h"

#include "Clock.h"
#include "FareSource.h"
#include "RouteBook.h"
#include "RouteListModel.h"
#include "StatusLog.h"
#include "UrlOpener.h"
#include "text/Text.h"

namespace skylark {

using namespace Qt::Literals::StringLiterals;
namespace {

AddRouteResult refused(const QString& message, bool pickerJumpsToNow = false) {
    return {false, message, pickerJumpsToNow, {}};
}

} // namespace

RouteCommands::RouteCommands(RouteBook& book, RouteListModel& routes, StatusLog& log,
                             FareSource& source, const Clock& clock, UrlOpener& opener)
    : m_book(book)
    , m_routes(routes)
    , m_log(log)
    , m_source(source)
    , m_clock(clock)
    , m_opener(opener) {}

AddRouteResult RouteCommands::addRoute(const AddRouteInput& input) {
    // The identifier's moment is the click, before any check.
    const QDateTime clicked = m_clock.now();
    const QString depCity = removeBlanks(input.depCity);
    const QString arrCity = removeBlanks(input.arrCity);
    const QString price = removeBlanks(input.price);

    if (textToNumber(price) <= kTolerance) {
        return refused(u"监控价格不能小于或等于0！"_s);
    }
    const CityCheck check = m_source.checkCities(depCity, arrCity);
    const QString& failure = check.failure;
    const QStringList answer = splitFields(check.answer, u"&");
    if (answer.size() != 2) {
        // A server that failed is said, so that no one hunts for a typing error.
        return refused(
            QStringLiteral(
                "出发城市或到达城市填写错误，请重新输入！\r\n注：该版本暂不支持国际航线的查询！") +
            (failure.isEmpty() ? QString() : u"\r\n（城市查询失败：%1）"_s.arg(failure)));
    }
    if (answer[0] == u"false") {
        return refused(QStringLiteral("出发城市或到达城市填写有误，请重新输入！\r\n注：该版本已同时"
                                      "支持国内和国际航线的查询！"));
    }
    const QString type = answer[0] == u"true" ? trimAsciiBlanks(answer[1]) : QString();
    if (input.depDate < m_clock.now().date()) {
        return refused(u"出发日期不能是过去的日期！"_s, true);
    }
    if (depCity == arrCity) {
        return refused(u"到达城市不能与出发城市相同！"_s);
    }
    Route route{QString(), depCity, arrCity, input.depDate.toString(u"yyyy-MM-dd"_s), price, type};
    if (!RouteBook::canStore({QString(), depCity, arrCity, route.depDate, price, QString()})) {
        return refused(u"出发城市、到达城市或监控价格含有无法保存的字符，请重新输入！"_s);
    }
    if (!RouteBook::canStore(route)) {
        return refused(u"城市查询服务器的回复无法保存，请稍后再试！"_s);
    }

    // The identifier is chosen under the route file's lock, so no other add, in this
    // process or another, can take it too.
    if (const WriteResult saved = m_book.addNewRoute(route, clicked, m_traces.held); !saved) {
        return refused(saved.message());
    }
    const int row = m_routes.appendRow(route.routeId);
    m_routes.setCell(row, RouteListModel::DepartureColumn, route.depCityName);
    m_routes.setCell(row, RouteListModel::ArrivalColumn, route.arrCityName);
    m_routes.setCell(row, RouteListModel::DateColumn, route.depDate);
    m_routes.setCell(row, RouteListModel::PriceColumn, route.price);
    m_log.appendLog(u"已添加航线："_s + route.routeId);
    return {true, {}, false, route.routeId};
}

QString RouteCommands::searchPageUrl(int selectedRow) const {
    const QString depDate = m_routes.cell(selectedRow, RouteListModel::DateColumn);
    const QString depCity = m_routes.cell(selectedRow, RouteListModel::DepartureColumn);
    const QString arrCity = m_routes.cell(selectedRow, RouteListModel::ArrivalColumn);
    const QString kind = m_book.routeKindOf(m_routes.cell(selectedRow, RouteListModel::IdColumn));
    return m_source.searchPageUrl(kind, depCity, arrCity, depDate);
}

void RouteCommands::openRouteSearchPage(int selectedRow) {
    const QString url = searchPageUrl(selectedRow);
    if (!url.isEmpty()) {
        m_opener.openUrl(url);
    }
}

WriteResult RouteCommands::deleteSelectedRoute(int selectedRow) {
    const QString routeId = m_routes.cell(selectedRow, RouteListModel::IdColumn);
    // Without a selected row no section is touched, not even one named "".
    if (selectedRow >= 0 && selectedRow < m_routes.rowCount()) {
        if (WriteResult removed = m_book.removeRoute(routeId); !removed) {
            return removed;
        }
        m_routes.removeRows(selectedRow, 1);
        if (m_traces.forget) {
            // The route is gone; what could not be forgotten is said, not hidden.
            if (const WriteResult forgotten = m_traces.forget(routeId); !forgotten) {
                m_log.appendLog(
                    u"航线 %1 的提醒规则未能删除：%2"_s.arg(routeId, forgotten.message()));
            }
        }
    }
    m_log.appendLog(u"已删除航线："_s + routeId);
    loadRouteBook(m_book, m_routes);
    m_log.appendLog(u"已重新读取上次保存的监控航线！"_s);
    return WriteResult::success();
}

} // namespace skylark
