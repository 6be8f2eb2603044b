#pragma once

#include "DemoServer.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace skylark::sim {

// The HTML pages of the demo fare source and relay, as UTF-8.
QByteArray searchPage(const QString& title, const QList<std::pair<QString, QString>>& query,
                      const QList<std::pair<QString, int>>& fares);
QByteArray priceChartPage(int buttons = 1);
QByteArray inboxPage(const QList<InboxMessage>& inbox);
QByteArray notFoundPage(const QString& path);
QByteArray homePage();

} // namespace skylark::sim
