#include "HistoryWindow.h"

#include "Faces.h"
#include "app/Clock.h"
#include "history/FareHistory.h"
#include "history/HistoryChart.h"
#include "text/Text.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QValueAxis>

namespace skylark::ui {
namespace {

const QColor kFareColour(0, 120, 215);
const QColor kAlertColour(230, 120, 0);
const QColor kSpecialColour(220, 30, 30);

QChartView* viewOf(QChart* chart, QWidget* parent) {
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

} // namespace

HistoryWindow::HistoryWindow(FareHistory& history, const Clock& clock, HistoryRoute route,
                             QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_history(history)
    , m_clock(clock)
    , m_route(std::move(route)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("价格历史 %1 → %2 %3")
                       .arg(m_route.depCityName, m_route.arrCityName, m_route.depDate));
    resize(760, 580);

    m_fares = new QLineSeries(this);
    m_fares->setName(QStringLiteral("最低票价"));
    m_fares->setPen(QPen(kFareColour, 2));
    m_fares->setPointsVisible(true); // one observation is a point, not an empty chart
    m_specials = new QScatterSeries(this);
    m_specials->setName(QStringLiteral("特价"));
    m_specials->setColor(kSpecialColour);
    m_specials->setMarkerSize(9);
    m_alertPrice = new QLineSeries(this);
    m_alertPrice->setName(QStringLiteral("监控价格 ") + m_route.alertPrice);
    m_alertPrice->setPen(QPen(kAlertColour, 1.5, Qt::DashLine));

    m_fareChart = new QChart;
    m_fareChart->setTitle(
        QStringLiteral("%1 → %2 的最低票价").arg(m_route.depCityName, m_route.arrCityName));
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(m_fares), static_cast<QAbstractSeries*>(m_alertPrice),
          static_cast<QAbstractSeries*>(m_specials)}) {
        m_fareChart->addSeries(series);
    }
    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("MM-dd HH:mm"));
    auto* price = new QValueAxis;
    price->setLabelFormat(QStringLiteral("%.0f"));
    m_fareChart->addAxis(time, Qt::AlignBottom);
    m_fareChart->addAxis(price, Qt::AlignLeft);
    for (QAbstractSeries* series : m_fareChart->series()) {
        series->attachAxis(time);
        series->attachAxis(price);
    }

    m_calendar = new QBarSet(QStringLiteral("最近一次查询的七日票价"));
    m_calendar->setColor(kFareColour);
    auto* bars = new QBarSeries(this);
    bars->append(m_calendar);
    m_calendarChart = new QChart;
    m_calendarChart->addSeries(bars);
    m_calendarChart->addAxis(new QBarCategoryAxis, Qt::AlignBottom);
    auto* calendarPrice = new QValueAxis;
    calendarPrice->setLabelFormat(QStringLiteral("%.0f"));
    m_calendarChart->addAxis(calendarPrice, Qt::AlignLeft);
    bars->attachAxis(m_calendarChart->axes(Qt::Horizontal).first());
    bars->attachAxis(calendarPrice);

    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_context = new QLabel(this);
    m_context->setContentsMargins(10, 6, 10, 0);
    m_context->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_context);
    layout->addWidget(viewOf(m_fareChart, this), 3);
    layout->addWidget(viewOf(m_calendarChart, this), 2);
    layout->addWidget(m_status);

    connect(&m_history, &FareHistory::recorded, this, &HistoryWindow::onRecorded);
    connect(&m_history, &FareHistory::failed, m_status,
            [this](const QString& message) { m_status->showMessage(message); });
    reload();
}

QString HistoryWindow::contextText() const {
    return m_context->text();
}

QString HistoryWindow::statusText() const {
    return m_status->currentMessage();
}

void HistoryWindow::onRecorded(const QList<FareObservation>& observations) {
    for (const FareObservation& observation : observations) {
        if (observation.routeId == m_route.routeId) {
            reload();
            return;
        }
    }
}

void HistoryWindow::reload() {
    const HistoryRead<QList<FarePoint>> read = m_history.queries().farePoints(m_route.routeId);
    const QList<FarePoint>& points = read.rows;
    QList<QPointF> fares;
    QList<QPointF> specials;
    for (const FarePoint& point : points) {
        fares.append({double(point.observedAtMs), point.fare});
        if (point.special) {
            specials.append(fares.last());
        }
    }
    m_fares->replace(fares);
    m_specials->replace(specials);
    const double alert = textToNumber(m_route.alertPrice);
    const FareChartFrame frame = fareChartFrame(points, alert, m_clock.now().toMSecsSinceEpoch());
    const TimeScale& times = frame.times;
    m_alertPrice->replace({{double(times.firstMs), alert}, {double(times.lastMs), alert}});
    auto* time = static_cast<QDateTimeAxis*>(m_fareChart->axes(Qt::Horizontal).first());
    time->setFormat(times.format);
    time->setRange(QDateTime::fromMSecsSinceEpoch(times.firstMs),
                   QDateTime::fromMSecsSinceEpoch(times.lastMs));
    auto* price = static_cast<QValueAxis*>(m_fareChart->axes(Qt::Vertical).first());
    price->setRange(frame.prices.min, frame.prices.max);
    price->setTickCount(frame.prices.ticks);
    const HistoryRead<RouteContext> route =
        m_history.queries().priceContext(m_route.routeId, m_clock.now());
    m_context->setText(priceContextText(route.rows.context));
    const HistoryRead<QList<CalendarEntry>> latest =
        m_history.queries().latestCalendar(m_route.routeId);
    // What could not be read is said, never drawn as a history without fares.
    if (!read.ok() || !latest.ok()) {
        m_status->showMessage(read.ok() ? latest.error : read.error);
    } else if (!points.isEmpty()) {
        m_status->showMessage(QStringLiteral("共 %1 次找到票价").arg(points.size()));
    }
    const QList<CalendarEntry>& calendar = latest.rows;
    QStringList days;
    m_calendar->remove(0, m_calendar->count());
    for (const CalendarEntry& entry : calendar) {
        days.append(entry.date.mid(5));
        m_calendar->append(textToNumber(entry.price));
    }
    auto* dayAxis = static_cast<QBarCategoryAxis*>(m_calendarChart->axes(Qt::Horizontal).first());
    dayAxis->setCategories(days);
    const ValueScale calendarPrices = calendarScale(calendar);
    auto* calendarPrice = static_cast<QValueAxis*>(m_calendarChart->axes(Qt::Vertical).first());
    calendarPrice->setRange(calendarPrices.min, calendarPrices.max);
    calendarPrice->setTickCount(calendarPrices.ticks);
}

} // namespace skylark::ui
