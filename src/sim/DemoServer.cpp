#include "DemoServer.h"

#include "DemoPages.h"
#include "FareModel.h"
#include "GuardedTcpServer.h"
#include "text/Gbk.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

#include <map>

namespace skylark::sim {

using StatusCode = QHttpServerResponder::StatusCode;

// Everything the switches change, shared by the server's thread and its owner.
struct DemoServer::State {
    static constexpr char kVersion[] = "2.2*demo";

    mutable QMutex mutex;
    FareModel fares;
    QHash<Endpoint, std::pair<Misbehaviour, int>> misbehaviours;
    QByteArray versionText = kVersion;
    QSet<QString> bindingIds{QStringLiteral("demo")};
    QList<InboxMessage> inbox;
    int chartButtons = 1;
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // With the mutex held: back to the state of a new server, the clock kept.
    void reset() {
        misbehaviours.clear();
        fares = FareModel();
        versionText = kVersion;
        bindingIds = {QStringLiteral("demo")};
        chartButtons = 1;
        inbox.clear();
    }
};

namespace {

constexpr qsizetype kMaxRequestBody = 64 * 1024;
constexpr int kCalendarDays = 7;

struct Answer {
    StatusCode status = StatusCode::Ok;
    QByteArray mimeType = "text/plain; charset=utf-8";
    QByteArray body;
};

Answer html(const QByteArray& body, StatusCode status = StatusCode::Ok) {
    return {status, "text/html; charset=utf-8", body};
}

Answer text(const QByteArray& body) {
    return {StatusCode::Ok, "text/plain; charset=utf-8", body};
}

QString queryValue(const QHttpServerRequest& request, const QString& key) {
    return request.query().queryItemValue(key, QUrl::FullyDecoded);
}

// A value of the fare source's search pages: percent-encoded code page 936 bytes.
QString gbkQueryValue(const QHttpServerRequest& request, const QString& key) {
    const QString raw = request.query().queryItemValue(key, QUrl::FullyEncoded);
    return decodeGbk(QByteArray::fromPercentEncoding(raw.toLatin1()));
}

// Dates arrive as 2014-11-05 or 2014-11-5.
QDate flexibleDate(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('-'));
    return parts.size() == 3 ? QDate(parts[0].toInt(), parts[1].toInt(), parts[2].toInt())
                             : QDate();
}

template <typename Value>
std::optional<Value> lookUp(const QHash<QString, Value>& table, const QString& key) {
    const auto it = table.constFind(key);
    return it == table.constEnd() ? std::nullopt : std::optional<Value>(*it);
}

std::optional<Endpoint> endpointOf(const QString& path) {
    static const QHash<QString, Endpoint> paths{
        {QStringLiteral("/get_city_code.php"), Endpoint::CityCheck},
        {QStringLiteral("/get_search_str.php"), Endpoint::SearchString},
        {QStringLiteral("/search/common_cheapest_calendar.htm"), Endpoint::Calendar},
        {QStringLiteral("/weixin/sendmsg.php"), Endpoint::PushRelay},
        {QStringLiteral("/update/skylark/ver.txt"), Endpoint::VersionFile},
        {QStringLiteral("/flight_search_result.htm"), Endpoint::SearchPage},
        {QStringLiteral("/ie/flight_searcher.htm"), Endpoint::SearchPage},
        {QStringLiteral("/go/chn/trip/onesearch/chart.php"), Endpoint::ChartPage},
        {QStringLiteral("/go/chn/trip/onesearch/trend.json"), Endpoint::ChartPage},
    };
    return lookUp(paths, path);
}

std::optional<Endpoint> endpointNamed(const QString& name) {
    static const QHash<QString, Endpoint> names{
        {QStringLiteral("citycheck"), Endpoint::CityCheck},
        {QStringLiteral("searchstring"), Endpoint::SearchString},
        {QStringLiteral("calendar"), Endpoint::Calendar},
        {QStringLiteral("push"), Endpoint::PushRelay},
        {QStringLiteral("version"), Endpoint::VersionFile},
        {QStringLiteral("searchpage"), Endpoint::SearchPage},
        {QStringLiteral("chart"), Endpoint::ChartPage},
    };
    return lookUp(names, name);
}

std::optional<Misbehaviour> misbehaviourNamed(const QString& name) {
    static const QHash<QString, Misbehaviour> names{
        {QStringLiteral("none"), Misbehaviour::None},
        {QStringLiteral("slow"), Misbehaviour::Slow},
        {QStringLiteral("silent"), Misbehaviour::Silent},
        {QStringLiteral("404"), Misbehaviour::NotFound},
        {QStringLiteral("garbage"), Misbehaviour::Garbage},
        {QStringLiteral("noparentheses"), Misbehaviour::NoParentheses},
        {QStringLiteral("error"), Misbehaviour::ErrorMinusOne},
    };
    return lookUp(names, name);
}

QByteArray garbage() {
    QByteArray bytes("\x00\xff\xfe(((}{][\"\x81\x30\xc3", 15);
    for (int i = 0; i < 200; ++i) {
        bytes.append(char((i * 97 + 13) % 256));
    }
    return bytes;
}

} // namespace

// Hands every request with its socket to one function; answers held back (slow or
// silent ones) need the socket to notice that the client has gone.
class RequestDispatcher final : public QAbstractHttpServer {
public:
    using Handler = std::function<void(const QHttpServerRequest&, QTcpSocket*)>;

    explicit RequestDispatcher(Handler handler)
        : m_handler(std::move(handler)) {}

    static QHttpServerResponder responderFor(const QHttpServerRequest& request,
                                             QTcpSocket* socket) {
        return makeResponder(request, socket);
    }

private:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        m_handler(request, socket);
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

    Handler m_handler;
};

// The part of the server that lives in the server's thread.
class DemoServer::Core : public QObject {
public:
    explicit Core(std::shared_ptr<State> state)
        : m_state(std::move(state)) {}

    quint16 listen(quint16 port) {
        m_server = std::make_unique<RequestDispatcher>(
            [this](const QHttpServerRequest& request, QTcpSocket* socket) {
                handle(request, socket);
            });
        auto* tcp = new GuardedTcpServer(m_server.get());
        if (!tcp->listen(QHostAddress::LocalHost, port)) {
            return 0;
        }
        m_server->bind(tcp);
        return tcp->serverPort();
    }

    void shutDown() {
        m_held.clear();
        m_server.reset();
    }

private:
    // Keeps an answer back; it is dropped when its client hangs up.
    int hold(QTcpSocket* socket, QHttpServerResponder&& responder) {
        const int id = m_nextHeld++;
        m_held.emplace(id, std::move(responder));
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { m_held.erase(id); });
        return id;
    }

    void handle(const QHttpServerRequest& request, QTcpSocket* socket) {
        QHttpServerResponder responder = RequestDispatcher::responderFor(request, socket);
        const QString path = request.url().path();
        if (request.body().size() > kMaxRequestBody) {
            responder.write(QByteArrayLiteral("too large"), "text/plain",
                            StatusCode::PayloadTooLarge);
            return;
        }
        if (path.startsWith(QStringLiteral("/sim/"))) {
            const Answer answer = control(path, request);
            responder.write(answer.body, answer.mimeType.constData(), answer.status);
            return;
        }
        const std::optional<Endpoint> endpoint = endpointOf(path);
        std::pair<Misbehaviour, int> misbehaviour{Misbehaviour::None, 0};
        if (endpoint) {
            const QMutexLocker lock(&m_state->mutex);
            misbehaviour = m_state->misbehaviours.value(*endpoint, misbehaviour);
        }
        switch (misbehaviour.first) {
        case Misbehaviour::Silent:
            hold(socket, std::move(responder));
            return;
        case Misbehaviour::NotFound:
            respond(responder, html(notFoundPage(path), StatusCode::NotFound));
            return;
        case Misbehaviour::Garbage:
            respond(responder, {StatusCode::Ok, "application/octet-stream", garbage()});
            return;
        default:
            break;
        }
        const Answer answer =
            endpoint ? answerFor(*endpoint, path, request, misbehaviour.first) : otherPage(path);
        if (misbehaviour.first == Misbehaviour::Slow) {
            const int id = hold(socket, std::move(responder));
            QTimer::singleShot(misbehaviour.second, this, [this, id, answer] {
                const auto it = m_held.find(id);
                if (it != m_held.end()) {
                    respond(it->second, answer);
                    m_held.erase(it);
                }
            });
            return;
        }
        respond(responder, answer);
    }

    static void respond(QHttpServerResponder& responder, const Answer& answer) {
        responder.write(answer.body, answer.mimeType.constData(), answer.status);
    }

    Answer answerFor(Endpoint endpoint, const QString& path, const QHttpServerRequest& request,
                     Misbehaviour misbehaviour) {
        switch (endpoint) {
        case Endpoint::CityCheck:
            return cityCheck(request);
        case Endpoint::SearchString:
            return searchString(request);
        case Endpoint::Calendar:
            return calendar(request, misbehaviour);
        case Endpoint::PushRelay:
            return pushRelay(request);
        case Endpoint::VersionFile: {
            const QMutexLocker lock(&m_state->mutex);
            return text(m_state->versionText);
        }
        case Endpoint::SearchPage:
            return searchPageFor(path, request);
        case Endpoint::ChartPage:
            return path.endsWith(QStringLiteral(".json")) ? trend(request)
                                                          : html(priceChartPage(chartButtons()));
        }
        return otherPage(path);
    }

    Answer otherPage(const QString& path) {
        if (path == QStringLiteral("/") || path == QStringLiteral("/forum.php") ||
            path == QStringLiteral("/cgi-bin/qm_share")) {
            return html(homePage());
        }
        if (path == QStringLiteral("/weixin/inbox")) {
            return html(inboxPage(inbox()));
        }
        if (path == QStringLiteral("/weixin/inbox.txt")) {
            QByteArray lines;
            for (const InboxMessage& message : inbox()) {
                lines += message.bindingId.toUtf8() + '\t' +
                         message.content.toUtf8().replace('\n', "\\n") + '\n';
            }
            return text(lines);
        }
        return html(notFoundPage(path), StatusCode::NotFound);
    }

    QList<InboxMessage> inbox() const {
        const QMutexLocker lock(&m_state->mutex);
        return m_state->inbox;
    }

    Answer cityCheck(const QHttpServerRequest& request) const {
        const QMutexLocker lock(&m_state->mutex);
        const auto dep = m_state->fares.cityNamed(queryValue(request, QStringLiteral("depCity")));
        const auto arr = m_state->fares.cityNamed(queryValue(request, QStringLiteral("arrCity")));
        if (!dep || !arr) {
            return text("false&unknown");
        }
        return text(dep->domestic && arr->domestic ? "true&domestic" : "true&international");
    }

    Answer searchString(const QHttpServerRequest& request) const {
        const QMutexLocker lock(&m_state->mutex);
        const auto dep = m_state->fares.cityNamed(queryValue(request, QStringLiteral("depCity")));
        const auto arr = m_state->fares.cityNamed(queryValue(request, QStringLiteral("arrCity")));
        if (!dep || !arr) {
            return text({});
        }
        return text("depCityCode=" + dep->code.toLatin1() + "&arrCityCode=" + arr->code.toLatin1());
    }

    Answer calendar(const QHttpServerRequest& request, Misbehaviour misbehaviour) const {
        const QMutexLocker lock(&m_state->mutex);
        const QString depCode = queryValue(request, QStringLiteral("depCityCode"));
        const QString arrCode = queryValue(request, QStringLiteral("arrCityCode"));
        const QDate first = flexibleDate(queryValue(request, QStringLiteral("searchDay")));
        const bool known = first.isValid() && m_state->fares.cityWithCode(depCode) &&
                           m_state->fares.cityWithCode(arrCode);
        QJsonObject answer;
        answer.insert(QStringLiteral("error"), known && misbehaviour != Misbehaviour::ErrorMinusOne
                                                   ? QStringLiteral("0")
                                                   : QStringLiteral("-1"));
        answer.insert(QStringLiteral("status"), known ? 0 : -1);
        answer.insert(QStringLiteral("msg"),
                      known ? QStringLiteral("查询成功") : QStringLiteral("参数错误"));
        QJsonArray days;
        const QDateTime now = m_state->clock();
        for (int i = 0; known && i < kCalendarDays; ++i) {
            const QDate day = first.addDays(i);
            days.append(QJsonObject{
                {QStringLiteral("date"), day.toString(Qt::ISODate)},
                {QStringLiteral("price"), m_state->fares.fare(depCode, arrCode, day, now)}});
        }
        answer.insert(QStringLiteral("data"), days);
        const QByteArray json = QJsonDocument(answer).toJson(QJsonDocument::Compact);
        if (misbehaviour == Misbehaviour::NoParentheses) {
            return {StatusCode::Ok, "application/json; charset=utf-8", json};
        }
        return {StatusCode::Ok, "text/javascript; charset=utf-8",
                "jsonp" + QByteArray::number(first.dayOfYear()) + '(' + json + ");"};
    }

    Answer pushRelay(const QHttpServerRequest& request) {
        const QByteArray body = request.body();
        const qsizetype content = body.indexOf("&content=");
        if (!body.startsWith("fakeid=") || content < 0) {
            return text("bad request");
        }
        const QString id = decodeGbk(body.mid(7, content - 7));
        const QMutexLocker lock(&m_state->mutex);
        if (!m_state->bindingIds.contains(id)) {
            return text("customer block");
        }
        m_state->inbox.append({id, QString::fromUtf8(body.mid(content + 9)), m_state->clock()});
        return text("ok");
    }

    Answer searchPageFor(const QString& path, const QHttpServerRequest& request) const {
        QList<std::pair<QString, QString>> query;
        for (const auto& [key, value] : request.query().queryItems(QUrl::FullyEncoded)) {
            Q_UNUSED(value);
            const bool gbk =
                key == QStringLiteral("depCityName") || key == QStringLiteral("arrCityName");
            query.append({key, gbk ? gbkQueryValue(request, key) : queryValue(request, key)});
        }
        const QMutexLocker lock(&m_state->mutex);
        const auto dep =
            m_state->fares.cityNamed(gbkQueryValue(request, QStringLiteral("depCityName")));
        const auto arr =
            m_state->fares.cityNamed(gbkQueryValue(request, QStringLiteral("arrCityName")));
        const QDate day = flexibleDate(queryValue(request, QStringLiteral("depDate")));
        QList<std::pair<QString, int>> fares;
        for (int i = 0; dep && arr && day.isValid() && i < kCalendarDays; ++i) {
            fares.append(
                {day.addDays(i).toString(Qt::ISODate),
                 m_state->fares.fare(dep->code, arr->code, day.addDays(i), m_state->clock())});
        }
        const bool international = path.startsWith(QStringLiteral("/ie/"));
        return html(searchPage(international ? QStringLiteral("国际机票搜索")
                                             : QStringLiteral("国内机票搜索"),
                               query, fares));
    }

    Answer trend(const QHttpServerRequest& request) const {
        const QMutexLocker lock(&m_state->mutex);
        const auto dep = m_state->fares.cityNamed(queryValue(request, QStringLiteral("dep")));
        const auto arr = m_state->fares.cityNamed(queryValue(request, QStringLiteral("arr")));
        QJsonArray points;
        const QDateTime now = m_state->clock();
        for (int i = 0; dep && arr && i < 30; ++i) {
            const QDate day = now.date().addDays(i);
            points.append(QJsonObject{
                {QStringLiteral("date"), day.toString(Qt::ISODate)},
                {QStringLiteral("price"), m_state->fares.fare(dep->code, arr->code, day, now)}});
        }
        return {StatusCode::Ok, "application/json",
                QJsonDocument(points).toJson(QJsonDocument::Compact)};
    }

    int chartButtons() const {
        const QMutexLocker lock(&m_state->mutex);
        return m_state->chartButtons;
    }

    Answer control(const QString& path, const QHttpServerRequest& request) {
        const QMutexLocker lock(&m_state->mutex);
        State& state = *m_state;
        if (path == QStringLiteral("/sim/fare")) {
            const auto dep = state.fares.cityNamed(queryValue(request, QStringLiteral("dep")));
            const auto arr = state.fares.cityNamed(queryValue(request, QStringLiteral("arr")));
            if (!dep || !arr) {
                return {StatusCode::BadRequest, "text/plain", "unknown city"};
            }
            state.fares.setFixedFare(dep->code, arr->code,
                                     queryValue(request, QStringLiteral("price")).toInt());
            return text("ok");
        }
        if (path == QStringLiteral("/sim/misbehave")) {
            const auto endpoint = endpointNamed(queryValue(request, QStringLiteral("endpoint")));
            const auto mode = misbehaviourNamed(queryValue(request, QStringLiteral("mode")));
            if (!endpoint || !mode) {
                return {StatusCode::BadRequest, "text/plain", "unknown endpoint or mode"};
            }
            bool ok = false;
            const int delay = queryValue(request, QStringLiteral("delay")).toInt(&ok);
            state.misbehaviours.insert(*endpoint, {*mode, ok ? delay : kDefaultSlowMs});
            return text("ok");
        }
        if (path == QStringLiteral("/sim/version")) {
            state.versionText = queryValue(request, QStringLiteral("text")).toUtf8();
            return text("ok");
        }
        if (path == QStringLiteral("/sim/chart")) {
            state.chartButtons =
                qBound(1, queryValue(request, QStringLiteral("buttons")).toInt(), 2);
            return text("ok");
        }
        if (path == QStringLiteral("/sim/bind")) {
            state.bindingIds.insert(queryValue(request, QStringLiteral("id")));
            return text("ok");
        }
        if (path == QStringLiteral("/sim/reset")) {
            state.reset();
            return text("ok");
        }
        return html(notFoundPage(path), StatusCode::NotFound);
    }

    std::shared_ptr<State> m_state;
    std::unique_ptr<RequestDispatcher> m_server;
    std::map<int, QHttpServerResponder> m_held; // silent and slow answers
    int m_nextHeld = 0;
};

DemoServer::DemoServer(QObject* parent)
    : QObject(parent)
    , m_state(std::make_shared<State>()) {}

DemoServer::~DemoServer() {
    stop();
}

bool DemoServer::start(quint16 port) {
    if (m_thread) {
        return true;
    }
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("demo server"));
    m_core = new Core(m_state);
    m_core->moveToThread(m_thread);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_core, [this, port] { m_port = m_core->listen(port); }, Qt::BlockingQueuedConnection);
    if (m_port == 0) {
        stop();
        return false;
    }
    return true;
}

void DemoServer::stop() {
    if (!m_thread) {
        return;
    }
    QMetaObject::invokeMethod(
        m_core,
        [this] {
            m_core->shutDown();
            delete m_core;
        },
        Qt::BlockingQueuedConnection);
    m_core = nullptr;
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_port = 0;
}

QString DemoServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_port);
}

void DemoServer::setMisbehaviour(Endpoint endpoint, Misbehaviour misbehaviour, int delayMs) {
    const QMutexLocker lock(&m_state->mutex);
    m_state->misbehaviours.insert(endpoint, {misbehaviour, delayMs});
}

void DemoServer::setFixedFare(const QString& depCity, const QString& arrCity, int fare) {
    const QMutexLocker lock(&m_state->mutex);
    const auto dep = m_state->fares.cityNamed(depCity);
    const auto arr = m_state->fares.cityNamed(arrCity);
    if (dep && arr) {
        m_state->fares.setFixedFare(dep->code, arr->code, fare);
    }
}

void DemoServer::setVersionText(const QByteArray& text) {
    const QMutexLocker lock(&m_state->mutex);
    m_state->versionText = text;
}

void DemoServer::addBindingId(const QString& id) {
    const QMutexLocker lock(&m_state->mutex);
    m_state->bindingIds.insert(id);
}

void DemoServer::setChartButtons(int buttons) {
    const QMutexLocker lock(&m_state->mutex);
    m_state->chartButtons = qBound(1, buttons, 2);
}

void DemoServer::setClock(std::function<QDateTime()> clock) {
    const QMutexLocker lock(&m_state->mutex);
    m_state->clock = std::move(clock);
}

void DemoServer::reset() {
    const QMutexLocker lock(&m_state->mutex);
    m_state->reset();
}

QList<InboxMessage> DemoServer::inbox() const {
    const QMutexLocker lock(&m_state->mutex);
    return m_state->inbox;
}

} // namespace skylark::sim
