#include "DemoPages.h"

namespace skylark::sim {
namespace {

QString page(const QString& title, const QString& body) {
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
               "<title>%1</title><style>body{font-family:sans-serif;margin:2em;}"
               "table{border-collapse:collapse}td,th{border:1px solid #999;padding:4px 10px}"
               ".demo{color:#a00}</style></head><body>\n"
               "<p class=\"demo\">演示数据 (demo data from the Skylark demo server)</p>\n%2"
               "</body></html>\n")
        .arg(title.toHtmlEscaped(), body);
}

} // namespace

QByteArray searchPage(const QString& title, const QList<std::pair<QString, QString>>& query,
                      const QList<std::pair<QString, int>>& fares) {
    QString body = QStringLiteral("<h1>%1</h1>\n<table>").arg(title.toHtmlEscaped());
    for (const auto& [key, value] : query) {
        body += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>")
                    .arg(key.toHtmlEscaped(), value.toHtmlEscaped());
    }
    body += QStringLiteral("</table>\n<h2>最低价</h2>\n<table>");
    for (const auto& [day, fare] : fares) {
        body +=
            QStringLiteral("<tr><td>%1</td><td>¥%2</td></tr>").arg(day.toHtmlEscaped()).arg(fare);
    }
    return page(title, body + QStringLiteral("</table>\n")).toUtf8();
}

QByteArray priceChartPage(int buttons) {
    // A second button (a reset input) stands for a form the program must not press.
    const QString second =
        buttons > 1 ? QStringLiteral("\n  <input type=\"reset\" value=\"清除\">") : QString();
    const QString body = QStringLiteral(R"(<h1>票价趋势</h1>
<form id="search" onsubmit="draw(); return false;">
  出发城市 <input type="text" name="dep" value="北京">
  到达城市 <input type="text" name="arr" value="上海">
  <button type="submit">查询</button>%1
</form>
<canvas id="chart" width="640" height="240"></canvas>
<p id="note"></p>
<script>
function draw() {
  const form = document.getElementById('search');
  const dep = form.elements[0].value, arr = form.elements[1].value;
  fetch('/go/chn/trip/onesearch/trend.json?dep=' + encodeURIComponent(dep) +
        '&arr=' + encodeURIComponent(arr))
    .then(r => r.json()).then(points => {
      const canvas = document.getElementById('chart'), g = canvas.getContext('2d');
      g.clearRect(0, 0, canvas.width, canvas.height);
      document.getElementById('note').textContent = points.length ? dep + ' → ' + arr : '未知城市';
      if (!points.length) return;
      const prices = points.map(p => p.price);
      const low = Math.min(...prices), high = Math.max(...prices), span = Math.max(1, high - low);
      g.strokeStyle = '#1565c0'; g.lineWidth = 2; g.beginPath();
      points.forEach((p, i) => {
        const x = 20 + i * (canvas.width - 40) / (points.length - 1);
        const y = canvas.height - 20 - (p.price - low) * (canvas.height - 40) / span;
        i ? g.lineTo(x, y) : g.moveTo(x, y);
      });
      g.stroke();
      g.fillStyle = '#333';
      g.fillText('¥' + high, 2, 14); g.fillText('¥' + low, 2, canvas.height - 4);
    });
}
</script>
)")
                             .arg(second);
    return page(QStringLiteral("票价趋势"), body).toUtf8();
}

QByteArray inboxPage(const QList<InboxMessage>& inbox) {
    QString body = QStringLiteral(
        "<h1>翔云旅行 inbox</h1>\n<table><tr><th>time</th><th>ID</th><th>message</th></tr>");
    for (const InboxMessage& message : inbox) {
        body += QStringLiteral("<tr><td>%1</td><td>%2</td><td><pre>%3</pre></td></tr>")
                    .arg(message.received.toString(Qt::ISODate), message.bindingId.toHtmlEscaped(),
                         message.content.toHtmlEscaped());
    }
    return page(QStringLiteral("inbox"), body + QStringLiteral("</table>\n")).toUtf8();
}

QByteArray notFoundPage(const QString& path) {
    return page(QStringLiteral("404 Not Found"),
                QStringLiteral("<h1>404 Not Found</h1><p>%1</p>").arg(path.toHtmlEscaped()))
        .toUtf8();
}

QByteArray homePage() {
    return page(
               QStringLiteral("Skylark demo"),
               QStringLiteral("<h1>Skylark demo server</h1><p>This server stands in for the relay, "
                              "the update server and the fare source. Its fares are made up.</p>"
                              "<p><a href=\"/weixin/inbox\">Push inbox</a></p>"))
        .toUtf8();
}

} // namespace skylark::sim
