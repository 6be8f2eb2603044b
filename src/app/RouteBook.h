#pragma once

#include "Route.h"
#include "store/ProfileFile.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

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
    // Fails, with nothing written, when the file cannot be read or written, a field holds
    // text that cannot be stored (see canStore), or the route would lie beyond the
    // section names that are listed and so never show.
    WriteResult appendRoute(const Route& route);
    // Appends a new route under the identifier that nextFreeRouteId gives for the moment,
    // chosen under the file's lock so that no other process can take it meanwhile; sets
    // route.routeId when it succeeds.
    // usedElsewhere tells of identifiers that something else still holds (a deleted route's
    // history): they are passed over too.
    WriteResult addNewRoute(Route& route, const QDateTime& moment,
                            const std::function<bool(const QString&)>& usedElsewhere = {});
    // Deletes the route's section; the other sections keep every byte.
    WriteResult removeRoute(QStringView routeId);
    // Why the route file, which exists, cannot be read; empty when it can.
    QString readError() const { return m_file.readError(); }
    // How many routes of the file lie beyond the listed section names.
    qsizetype unlistedRouteCount() const;
    // The route's type as the file holds it now, empty when it has none.
    QString routeKindOf(QStringView routeId) const;
    // Whether the file holds a section for the route.
    bool hasRoute(QStringView routeId) const;
    // The identifier of a route added at this moment: its stamp, or when a section of
    // that name exists already, the stamp of the next second that is still free.
    QString nextFreeRouteId(const QDateTime& moment) const;

    static bool canStore(const Route& route);

private:
    WriteResult writeRoute(Route& route,
                           const std::function<QString(const ProfileDocument&)>& idFor);

    ProfileFile m_file;
};

// The identifier nextFreeRouteId gives in that file, passing over those used elsewhere.
QString nextFreeRouteId(const ProfileDocument& file, const QDateTime& moment,
                        const std::function<bool(const QString&)>& usedElsewhere = {});

// Empties the route list and fills it from the route file.
void loadRouteBook(const RouteBook& book, RouteListModel& list);

} // namespace skylark
