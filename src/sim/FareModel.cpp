#include "FareModel.h"

#include <QtMath>

namespace skylark::sim {
namespace {

struct CityRow {
    const char16_t* name;
    const char* code;
    bool domestic;
};

// Hong Kong, Macau and Taiwan count as international, as the program's own texts say.
constexpr CityRow kCities[] = {
    {u"北京", "BJS", true},  {u"上海", "SHA", true},    {u"广州", "CAN", true},
    {u"深圳", "SZX", true},  {u"成都", "CTU", true},    {u"杭州", "HGH", true},
    {u"西安", "SIA", true},  {u"重庆", "CKG", true},    {u"昆明", "KMG", true},
    {u"厦门", "XMN", true},  {u"南京", "NKG", true},    {u"武汉", "WUH", true},
    {u"三亚", "SYX", true},  {u"青岛", "TAO", true},    {u"大连", "DLC", true},
    {u"长沙", "CSX", true},  {u"哈尔滨", "HRB", true},  {u"乌鲁木齐", "URC", true},
    {u"拉萨", "LXA", true},  {u"桂林", "KWL", true},    {u"香港", "HKG", false},
    {u"澳门", "MFM", false}, {u"台北", "TPE", false},   {u"高雄", "KHH", false},
    {u"东京", "TYO", false}, {u"大阪", "OSA", false},   {u"首尔", "SEL", false},
    {u"曼谷", "BKK", false}, {u"新加坡", "SIN", false}, {u"吉隆坡", "KUL", false},
    {u"悉尼", "SYD", false}, {u"伦敦", "LON", false},   {u"巴黎", "PAR", false},
    {u"纽约", "NYC", false}, {u"洛杉矶", "LAX", false}, {u"法兰克福", "FRA", false},
};

constexpr double kCycleSeconds = 20 * 60;

// A stable number from a text, the same in every run.
quint32 stableHash(const QString& text) {
    quint32 hash = 2166136261u;
    for (QChar c : text) {
        hash = (hash ^ c.unicode()) * 16777619u;
    }
    return hash;
}

} // namespace

FareModel::FareModel() {
    for (const CityRow& row : kCities) {
        m_cities.append(
            {QString::fromUtf16(row.name), QString::fromLatin1(row.code), row.domestic});
    }
}

std::optional<City> FareModel::cityNamed(const QString& name) const {
    for (const City& city : m_cities) {
        if (city.name == name) {
            return city;
        }
    }
    return std::nullopt;
}

std::optional<City> FareModel::cityWithCode(const QString& code) const {
    for (const City& city : m_cities) {
        if (city.code.compare(code, Qt::CaseInsensitive) == 0) {
            return city;
        }
    }
    return std::nullopt;
}

int FareModel::fare(const QString& depCode, const QString& arrCode, const QDate& day,
                    const QDateTime& now) const {
    const QString route = depCode.toUpper() + QLatin1Char('-') + arrCode.toUpper();
    if (const int fixed = m_fixed.value(route); fixed > 0) {
        return fixed;
    }
    const auto dep = cityWithCode(depCode);
    const auto arr = cityWithCode(arrCode);
    const bool domestic = dep && arr && dep->domestic && arr->domestic;
    const quint32 seed = stableHash(route);
    const int base = domestic ? 400 + int(seed % 1400) : 1500 + int(seed % 4500);
    // Each day of the route swings on its own phase; the trough is 55 % of the base.
    const double phase = double(stableHash(route + day.toString(Qt::ISODate)) % 1000) / 1000.0;
    const double cycle = double(now.toSecsSinceEpoch()) / kCycleSeconds + phase;
    const double factor = 0.775 + 0.225 * std::sin(2 * M_PI * cycle);
    return qMax(10, int(qRound(base * factor / 10.0)) * 10);
}

void FareModel::setFixedFare(const QString& depCode, const QString& arrCode, int fare) {
    const QString route = depCode.toUpper() + QLatin1Char('-') + arrCode.toUpper();
    if (fare > 0) {
        m_fixed.insert(route, fare);
    } else {
        m_fixed.remove(route);
    }
}

} // namespace skylark::sim
