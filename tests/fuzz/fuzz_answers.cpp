// Reads any bytes as a calendar answer and as a relay answer.

#include "net/ServerAnswers.h"

#include <QString>

#include <cstdint>

using namespace skylark;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const FareAnswer answer = readCalendarAnswer(body, QStringLiteral("2014-11-05"));
    if (answer.fare.isEmpty()) {
        __builtin_trap(); // a fare is a price or "未找到", never nothing
    }
    (void)relayAnswerText(body);
    return 0;
}
