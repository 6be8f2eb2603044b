#include "ServerAnswers.h"

#include "JsonReader.h"
#include "text/Encoding.h"
#include "text/Gbk.h"
#include "text/Text.h"

namespace skylark {

QString notFoundText() {
    return QStringLiteral("未找到");
}

QString relayAnswerText(const QByteArray& body) {
    const qsizetype nul = body.indexOf('\0');
    return decodeGbk(nul < 0 ? body : body.left(nul));
}

FareAnswer readCalendarAnswer(const QByteArray& body, const QString& depDate) {
    FareAnswer answer;
    JsonReader reader;
    reader.parse(textBetween(utf8ToAnsi(body), u"(", u")"));
    if (reader.getText(u"error") == u"-1" || reader.getText(u"status") == u"-1") {
        answer.fare = notFoundText();
        return answer;
    }
    const int days = reader.count(u"data");
    QString path;
    for (int i = 0; i < days; ++i) {
        CalendarEntry entry;
        entry.date = reader.getText(elementMemberPath(path, u"data", i, u"date"));
        entry.price = reader.getText(elementMemberPath(path, u"data", i, u"price"));
        if (entry.date == depDate) {
            answer.fare = entry.price;
        }
        answer.calendar.append(std::move(entry));
    }
    if (nearlyZero(textToNumber(answer.fare))) {
        answer.fare = notFoundText();
    }
    return answer;
}

} // namespace skylark
