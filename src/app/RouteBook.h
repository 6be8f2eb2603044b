#pragma once

#include "Route.h"
#include "store/ProfileFile.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace skylark {

class RouteListModel;

// The route file DATA.dat: one section per route, named by the route's identifier,
// holding depDate, depCityName, arrCityName, price and type in that order. The file is
// the master copy of the route book; the route list is rebuilt from it.
class RouteBook {
public:
    explicit RouteBook(const QString& programDirectory);

    static QString routeFilePath(const QString& programDirectory);
    const QString& path() const { return m_file.path(); }

    // Every section of the file as a route, in file order; missing keys give empty
    // fields and other keys are ignored.
    QList<Route> routes() const;
    // Writes the route's five keys into its section as one atomic change of the file.
    // False, with nothing written, when the file cannot be written or a field holds text
    // that cannot be stored (see canStore).
    bool appendRoute(const Route& route);
    // Deletes the route's section; the other sections keep every byte.
    bool removeRoute(QStringView routeId);
    // The route's type as the file holds it now, empty when it has none.
    QString routeKindOf(QStringView routeId) const;
    // The identifier of a route added at this moment: its stamp, or when a section of
    // that name exists already, the stamp of the next second that is still free.
    QString nextFreeRouteId(const QDateTime& moment) const;

    static bool canStore(const Route& route);

private:
    ProfileFile m_file;
};

// Empties the route list and fills it from the route file.
void loadRouteBook(const RouteBook& book, RouteListModel& list);

} // namespace skylark
