#pragma once

#include <QDate>
#include <QString>

#include <functional>

#include "store/WriteResult.h"

namespace skylark {

class Clock;
class FareSource;
class RouteBook;
class RouteListModel;
class StatusLog;
class UrlOpener;

// What the input fields hold when the add button is clicked.
struct AddRouteInput {
    QString depCity;
    QString arrCity;
    QString price;
    QDate depDate; // the date picker's date
};

struct AddRouteResult {
    bool added = false;
    QString message;               // the message box to show; empty when none
    bool pickerJumpsToNow = false; // set the date picker to the current date and time
    QString routeId;               // of the added route
};

// What outlives a route beside the route file: whether an identifier is still held (a
// deleted route's history), and what to forget of a route when it is deleted (its rules).
struct RouteTraces {
    std::function<bool(const QString& routeId)> held;
    std::function<WriteResult(const QString& routeId)> forget;
};

// The route commands: add with its checks, delete the selected route, open the selected
// route's search page. A selected row of -1 means none.
class RouteCommands {
public:
    RouteCommands(RouteBook& book, RouteListModel& routes, StatusLog& log, FareSource& source,
                  const Clock& clock, UrlOpener& opener);

    AddRouteResult addRoute(const AddRouteInput& input);
    // The fare source's search page of the row's route; empty for a route of another
    // kind or no row.
    QString searchPageUrl(int selectedRow) const;
    void openRouteSearchPage(int selectedRow);
    // Fails, with the list and the log untouched, when the route file cannot be changed.
    WriteResult deleteSelectedRoute(int selectedRow);
    // What a new identifier must not collide with and what a delete forgets; none by default.
    void setTraces(RouteTraces traces) { m_traces = std::move(traces); }

private:
    RouteBook& m_book;
    RouteListModel& m_routes;
    StatusLog& m_log;
    FareSource& m_source;
    const Clock& m_clock;
    UrlOpener& m_opener;
    RouteTraces m_traces;
};

} // namespace skylark
