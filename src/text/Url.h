#pragma once

#include <QString>

namespace skylark {

// Splitting of plain-HTTP URLs for the request engine. Only "http://" (exact case) is
// recognised as a scheme; without it the host starts at the first character.

// The host in lower case, with ":" and the port when keepPort is set and the URL has one.
QString hostOf(QStringView url, bool keepPort);

// Everything from the first "/" after the host, query included; "/" when there is none.
QString pathOf(QStringView url);

// The port written after the host, 80 when there is none, 0 when it is not a number.
int portOf(QStringView url);

} // namespace skylark
