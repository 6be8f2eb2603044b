// Runs the text helpers over any bytes, taken both as code page 936 and as UTF-8.

#include "text/Encoding.h"
#include "text/Gbk.h"
#include "text/Text.h"
#include "text/Url.h"

#include <cstdint>

using namespace skylark;

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool isAscii(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = decodeGbk(bytes);

    if (const auto encoded = encodeGbk(text)) {
        check(decodeGbk(*encoded) == text);
        check(gbkLength(text) == encoded->size());
    }
    check(isAscii(urlEncodeUtf8(text)));
    check(isAscii(urlEncodeGbk(text)));
    check(isGbkText(utf8ToAnsi(bytes)));
    check(!gbkToUtf8(text).contains('\0'));

    const double number = textToNumber(text);
    check(number == number); // never NaN

    const QString star = QStringLiteral("*");
    const QStringList fields = splitFields(text, star);
    QString rejoined = fields.join(star);
    check(rejoined == text || rejoined + star == text);

    check(!removeBlanks(text).contains(QLatin1Char(' ')));
    const QString between = textBetween(text, QStringLiteral("("), QStringLiteral(")"));
    check(between.isEmpty() || text.contains(between));

    const QString host = hostOf(text, false);
    check(hostOf(text, true).startsWith(host));
    check(pathOf(text).startsWith(QLatin1Char('/')));
    (void)portOf(text);
    return 0;
}
