#include "RouteBook.h"

#include "RouteListModel.h"
#include "Stamp.h"

namespace skylark {
namespace {

const QString kDepDate = QStringLiteral("depDate");
const QString kDepCityName = QStringLiteral("depCityName");
const QString kArrCityName = QStringLiteral("arrCityName");
const QString kPrice = QStringLiteral("price");
const QString kType = QStringLiteral("type");

} // namespace

RouteBook::RouteBook(const QString& programDirectory)
    : m_file(routeFilePath(programDirectory)) {}

QString RouteBook::routeFilePath(const QString& programDirectory) {
    return programDirectory + QStringLiteral("/DATA.dat");
}

QList<Route> RouteBook::routes() const {
    QList<Route> routes;
    m_file.document()->forEachSection(
        {kDepCityName, kArrCityName, kDepDate, kPrice, kType}, [&](QString id, QStringList& v) {
            routes.append({std::move(id), std::move(v[0]), std::move(v[1]), std::move(v[2]),
                           std::move(v[3]), std::move(v[4])});
        });
    return routes;
}

bool RouteBook::appendRoute(const Route& route) {
    if (!canStore(route)) {
        return false;
    }
    return m_file.writeProfileStrings(route.routeId, {{kDepDate, route.depDate},
                                                      {kDepCityName, route.depCityName},
                                                      {kArrCityName, route.arrCityName},
                                                      {kPrice, route.price},
                                                      {kType, route.type}});
}

bool RouteBook::removeRoute(QStringView routeId) {
    return m_file.deleteProfileSection(routeId);
}

QString RouteBook::routeKindOf(QStringView routeId) const {
    return m_file.readProfileString(routeId, kType);
}

QString RouteBook::nextFreeRouteId(const QDateTime& moment) const {
    const auto file = m_file.document();
    QDateTime candidate = moment;
    QString id = makeStamp(candidate).routeStamp;
    while (file->hasSection(id)) {
        candidate = candidate.addSecs(1);
        id = makeStamp(candidate).routeStamp;
    }
    return id;
}

bool RouteBook::canStore(const Route& route) {
    return ProfileFile::canStoreSectionName(route.routeId) &&
           ProfileFile::canStoreValue(route.depCityName) &&
           ProfileFile::canStoreValue(route.arrCityName) &&
           ProfileFile::canStoreValue(route.depDate) && ProfileFile::canStoreValue(route.price) &&
           ProfileFile::canStoreValue(route.type);
}

void loadRouteBook(const RouteBook& book, RouteListModel& list) {
    list.setRoutes(book.routes());
}

} // namespace skylark
