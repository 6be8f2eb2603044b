#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace skylark::sim {

struct City {
    QString name;
    QString code;
    bool domestic;
};

// The demo fare source's world: the cities it knows and the lowest fare of each route
// and day. Fares swing over a twenty-minute cycle, different for every route and day,
// so that a watched route sometimes drops below its alert price.
class FareModel {
public:
    FareModel();

    std::optional<City> cityNamed(const QString& name) const;
    std::optional<City> cityWithCode(const QString& code) const;
    const QList<City>& cities() const { return m_cities; }

    // The lowest fare of the route on that day at that moment, in whole yuan.
    int fare(const QString& depCode, const QString& arrCode, const QDate& day,
             const QDateTime& now) const;
    // Pins every day's fare of a route (both directions are separate routes); 0 releases it.
    void setFixedFare(const QString& depCode, const QString& arrCode, int fare);

private:
    QList<City> m_cities;
    QHash<QString, int> m_fixed; // "DEP-ARR" -> fare
};

} // namespace skylark::sim
