#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

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
    // has exactly one; false when a newer search, a reload or the page's end cut it short.
    // Waits for the page without a time limit, serving events meanwhile.
    bool fillTrendSearch(const QString& depCity, const QString& arrCity, int pauseMs = 50);

    QWebEngineView* trendView() const;
    QWebEngineView* startView() const;
    // Runs the script in the trend page and waits for its result; an invalid variant when
    // the page went away first.
    QVariant runInTrendPage(const QString& script);

private:
    QWebEngineView* viewIn(QWidget& host);
    bool waitPageLoaded(int generation);
    bool current(int generation) const { return generation == m_generation; }

    QWidget& m_startHost;
    QWidget& m_trendHost;
    QString m_storagePath;
    QWebEngineProfile* m_profile = nullptr;
    QPointer<QWebEngineView> m_startView;
    QPointer<QWebEngineView> m_trendView;
    int m_generation = 0; // each search and each reload starts a new one
};

} // namespace skylark::ui
