#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <utility>

class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace skylark::ui {

// The two web pages of the main window: the fare source's search page on the first tab
// and the price-trend page beside the route list, in one persistent profile kept in the
// data directory. Views are made when the pages are first loaded, so a program that never
// shows them never starts the browser engine.
class EmbeddedPages : public QObject {
    Q_OBJECT

public:
    EmbeddedPages(QWidget& startHost, QWidget& trendHost, const QString& storagePath,
                  QObject* parent = nullptr);
    ~EmbeddedPages() override;

    // The trend page now, the start page betweenMs later.
    void loadStartPages(const QString& trendUrl, const QString& startUrl, int betweenMs = 2000);
    void reloadTrendPage();

    // Fills the trend page's form with the route's cities and presses its button when it
    // has exactly one; false when a reload or the page's end cut it short. Waits for the
    // page without a time limit, serving events meanwhile; a call made during that wait
    // hands its cities to the search under way and returns false at once, so that clicks
    // in quick succession never pile waits up.
    bool fillTrendSearch(const QString& depCity, const QString& arrCity, int pauseMs = 50);

    QWebEngineView* trendView() const;
    QWebEngineView* startView() const;
    // Runs the script in the trend page and waits for its result; an invalid variant when
    // the page went away first.
    QVariant runInTrendPage(const QString& script);

private:
    QWebEngineView* viewIn(QWidget& host);
    bool fillOnce(const QString& depCity, const QString& arrCity, int pauseMs, int generation);
    bool waitPageLoaded(int generation);
    bool current(int generation) const { return generation == m_generation; }

    QWidget& m_startHost;
    QWidget& m_trendHost;
    QString m_storagePath;
    QWebEngineProfile* m_profile = nullptr;
    QPointer<QWebEngineView> m_startView;
    QPointer<QWebEngineView> m_trendView;
    int m_generation = 0; // each search and each reload starts a new one
    int m_requests = 0;   // searches asked for
    bool m_filling = false;
    std::pair<QString, QString> m_wanted; // the cities of the newest search
};

} // namespace skylark::ui
