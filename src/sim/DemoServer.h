#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThread;

namespace skylark::sim {

// The parts of the demo server that test switches can make misbehave.
enum class Endpoint {
    CityCheck,
    SearchString,
    Calendar,
    PushRelay,
    VersionFile,
    SearchPage,
    ChartPage
};

enum class Misbehaviour {
    None,
    Slow,          // answers after a delay
    Silent,        // never answers
    NotFound,      // 404 with an HTML page
    Garbage,       // bytes that are no answer at all
    NoParentheses, // a calendar whose JSON is not wrapped in a callback
    ErrorMinusOne, // a calendar whose "error" is "-1"
};

struct InboxMessage {
    QString bindingId;
    QString content;
    QDateTime received;
};

// A stand-in for every outside server of the program, on 127.0.0.1 only, in a thread
// of its own: the relay (city check, search string, push relay with an inbox page), the
// update server (version file) and the fare source (cheapest-fare calendar, search pages,
// price-chart page). Besides the methods below, GET /sim/fare, /sim/misbehave,
// /sim/version, /sim/bind, /sim/chart?buttons=N and /sim/reset change it from another
// process.
class DemoServer : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultSlowMs = 3000;

    explicit DemoServer(QObject* parent = nullptr);
    ~DemoServer() override;

    // Starts listening on 127.0.0.1; port 0 takes a free port. False when it cannot.
    bool start(quint16 port = 0);
    void stop();
    quint16 port() const { return m_port; }
    QString baseUrl() const;

    // Test switches; safe to call while the server runs.
    void setMisbehaviour(Endpoint endpoint, Misbehaviour misbehaviour,
                         int delayMs = kDefaultSlowMs);
    void setFixedFare(const QString& depCity, const QString& arrCity, int fare);
    void setVersionText(const QByteArray& text);
    void addBindingId(const QString& id);
    // The price-chart page's form with one button (the usual) or two.
    void setChartButtons(int buttons);
    void setClock(std::function<QDateTime()> clock);
    void reset();
    QList<InboxMessage> inbox() const;

    struct State;

private:
    class Core;

    std::shared_ptr<State> m_state;
    QThread* m_thread = nullptr;
    Core* m_core = nullptr; // lives in m_thread
    quint16 m_port = 0;
};

} // namespace skylark::sim
