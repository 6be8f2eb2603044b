#pragma once

#include <QString>
#include <QWidget>

class QBarSet;
class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QStatusBar;

namespace skylark {
class FareHistory;
struct FareObservation;
} // namespace skylark

namespace skylark {
class Clock;
}

namespace skylark::ui {

// The route whose history a window shows.
struct HistoryRoute {
    QString routeId;
    QString depCityName;
    QString arrCityName;
    QString depDate;
    QString alertPrice;
};

// "价格历史": the route's fare over time with its alert price and special fares marked,
// and the latest seven-day calendar as bars. It follows the rounds while it is open; a
// store that cannot be used is said in its status bar.
class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    HistoryWindow(FareHistory& history, const Clock& clock, HistoryRoute route,
                  QWidget* parent = nullptr);

    QLineSeries& fareSeries() const { return *m_fares; }
    QScatterSeries& specialSeries() const { return *m_specials; }
    QLineSeries& alertPriceSeries() const { return *m_alertPrice; }
    QBarSet& calendarBars() const { return *m_calendar; }
    QString statusText() const;
    // The header line: the route's lowest and typical fares and the verdict.
    QString contextText() const;
    QChart& fareChart() const { return *m_fareChart; }

private:
    void reload();
    void onRecorded(const QList<FareObservation>& observations);

    FareHistory& m_history;
    const Clock& m_clock;
    HistoryRoute m_route;
    QChart* m_fareChart = nullptr;
    QChart* m_calendarChart = nullptr;
    QLineSeries* m_fares = nullptr;
    QScatterSeries* m_specials = nullptr;
    QLineSeries* m_alertPrice = nullptr;
    QBarSet* m_calendar = nullptr;
    QStatusBar* m_status = nullptr;
    QLabel* m_context = nullptr;
};

} // namespace skylark::ui
