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
    const std::shared_ptr<const ProfileDocument> document = m_file.document();
    QList<Route> routes;
    routes.reserve(document->listedSectionCount());
    document->forEachSection({kDepCityName, kArrCityName, kDepDate, kPrice, kType},
                             [&](QString id, QStringList& v) {
                                 routes.append({std::move(id), std::move(v[0]), std::move(v[1]),
                                                std::move(v[2]), std::move(v[3]), std::move(v[4])});
                             });
    return routes;
}

WriteResult RouteBook::appendRoute(const Route& route) {
    Route stored = route;
    return writeRoute(stored, [&](const ProfileDocument&) { return route.routeId; });
}

WriteResult RouteBook::addNewRoute(Route& route, const QDateTime& moment,
                                   const std::function<bool(const QString&)>& usedElsewhere) {
    return writeRoute(route, [&](const ProfileDocument& current) {
        return skylark::nextFreeRouteId(current, moment, usedElsewhere);
    });
}

WriteResult RouteBook::writeRoute(Route& route,
                                  const std::function<QString(const ProfileDocument&)>& idFor) {
    if (!canStore(route)) { // a stamp of nextFreeRouteId is always storable
        return WriteResult::failure(path(), QStringLiteral("含有无法保存的字符"));
    }
    return m_file.edit([&](const ProfileDocument& current, QByteArray& bytes) {
        const QString id = idFor(current);
        bytes = current.withValues(id, {{kDepDate, route.depDate},
                                        {kDepCityName, route.depCityName},
                                        {kArrCityName, route.arrCityName},
                                        {kPrice, route.price},
                                        {kType, route.type}});
        if (!ProfileDocument(bytes).isListed(id)) {
            return WriteResult::failure(path(), QStringLiteral("航线记录过多，新航线将无法显示"));
        }
        route.routeId = id;
        return WriteResult::success();
    });
}

WriteResult RouteBook::removeRoute(QStringView routeId) {
    return m_file.deleteProfileSection(routeId);
}

qsizetype RouteBook::unlistedRouteCount() const {
    return m_file.document()->unlistedSectionCount();
}

bool RouteBook::hasRoute(QStringView routeId) const {
    return m_file.document()->hasSection(routeId);
}

QString RouteBook::routeKindOf(QStringView routeId) const {
    return m_file.readProfileString(routeId, kType);
}

QString RouteBook::nextFreeRouteId(const QDateTime& moment) const {
    return skylark::nextFreeRouteId(*m_file.document(), moment);
}

QString nextFreeRouteId(const ProfileDocument& file, const QDateTime& moment,
                        const std::function<bool(const QString&)>& usedElsewhere) {
    QDateTime candidate = moment;
    QString id = makeStamp(candidate).routeStamp;
    while (file.hasSection(id) || (usedElsewhere && usedElsewhere(id))) {
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
