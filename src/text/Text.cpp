#include "Text.h"

#include "Gbk.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

namespace skylark {
namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c.unicode() == 0x3000; // full-width space
}

// The ASCII counterpart of a code page 936 full-width form, or the character itself.
char16_t foldFullWidth(char16_t c) {
    if (c < 0x80) {
        return c;
    }
    const auto code = gbkCodeOf(c);
    if (!code) {
        return c;
    }
    if (*code >= 0xA3A1 && *code <= 0xA3FE) {
        return char16_t(*code - 0xA3A1 + 0x21);
    }
    switch (*code) {
    case 0xA1A1:
        return u' ';
    case 0xA1AB:
        return u'~';
    case 0xA1EE:
    case 0xA1EF:
        return u'*';
    default:
        return c;
    }
}

bool isCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The longest prefix of the folded text that atof would read, as ASCII bytes.
QByteArray numberPrefix(QStringView text) {
    QByteArray ascii;
    ascii.reserve(text.size());
    for (QChar c : text) {
        const char16_t folded = foldFullWidth(c.unicode());
        if (folded >= 0x80 || folded == 0) {
            break;
        }
        ascii.append(char(folded));
    }

    qsizetype i = 0;
    while (i < ascii.size() && isCSpace(ascii[i])) {
        ++i;
    }
    const qsizetype start = i;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) {
        ++i;
    }
    qsizetype digits = 0;
    for (; i < ascii.size() && isDigit(ascii[i]); ++i) {
        ++digits;
    }
    if (i < ascii.size() && ascii[i] == '.') {
        ++i;
        for (; i < ascii.size() && isDigit(ascii[i]); ++i) {
            ++digits;
        }
    }
    if (digits == 0) {
        return {};
    }
    if (i < ascii.size() && (ascii[i] == 'e' || ascii[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < ascii.size() && (ascii[j] == '+' || ascii[j] == '-')) {
            ++j;
        }
        if (j < ascii.size() && isDigit(ascii[j])) {
            while (j < ascii.size() && isDigit(ascii[j])) {
                ++j;
            }
            i = j;
        }
    }
    return ascii.sliced(start, i - start);
}

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

// The difference of two numbers near 500 that are 0.0000001 apart comes out a hair above
// 0.0000001 in binary; a few units of the operands' last place do not count.
bool withinTolerance(double difference, double a, double b) {
    const double slack =
        4 * std::numeric_limits<double>::epsilon() * std::max({1.0, std::fabs(a), std::fabs(b)});
    return difference <= kTolerance + slack;
}

} // namespace

bool nearlyZero(double value) {
    return std::fabs(value) <= kTolerance;
}

bool nearlyEqual(double a, double b) {
    return withinTolerance(std::fabs(a - b), a, b);
}

bool atMost(double a, double b) {
    return a <= b || withinTolerance(a - b, a, b);
}

bool isWholeNumberIn(QStringView text, int low, int high) {
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && !text.startsWith(u'+') && number >= low && number <= high;
}

double textToNumber(QStringView text) {
    const QByteArray prefix = numberPrefix(text);
    if (prefix.isEmpty()) {
        return 0.0;
    }
    // strtod_l reads exactly the prefix (already validated) in the C locale, whatever
    // locale the application set, and gives HUGE_VAL or 0 on overflow and underflow.
    return strtod_l(prefix.constData(), nullptr, cLocale());
}

QStringList splitFields(QStringView text, QStringView separator) {
    QStringList fields;
    if (separator.isEmpty()) {
        if (!text.isEmpty()) {
            fields.append(text.toString());
        }
        return fields;
    }
    qsizetype start = 0;
    for (qsizetype cut = text.indexOf(separator); cut >= 0; cut = text.indexOf(separator, start)) {
        fields.append(text.sliced(start, cut - start).toString());
        start = cut + separator.size();
    }
    if (start < text.size()) {
        fields.append(text.sliced(start).toString());
    }
    return fields;
}

QString removeBlanks(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (!isBlank(c)) {
            out.append(c);
        }
    }
    return out;
}

namespace {

template <typename IsBlank>
QString trimmedWhere(QStringView text, IsBlank isBlank) {
    while (!text.isEmpty() && isBlank(text.front())) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && isBlank(text.back())) {
        text.chop(1);
    }
    return text.toString();
}

} // namespace

QString trimBlanks(QStringView text) {
    return trimmedWhere(text, isBlank);
}

QString trimAsciiBlanks(QStringView text) {
    return trimmedWhere(text, [](QChar c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); });
}

QString textBetween(QStringView text, QStringView left, QStringView right) {
    if (left.isEmpty() && right.isEmpty()) {
        return text.toString();
    }
    if (right.isEmpty()) {
        const qsizetype at = text.indexOf(left);
        return at < 0 ? QString() : text.sliced(at + left.size()).toString();
    }
    if (left.isEmpty()) {
        const qsizetype at = text.indexOf(right);
        return at < 0 ? QString() : text.first(at).toString();
    }
    const qsizetype leftAt = text.indexOf(left);
    if (leftAt < 0) {
        return {};
    }
    const QStringView rest = text.sliced(leftAt + left.size());
    const qsizetype rightAt = rest.indexOf(right);
    return rightAt <= 0 ? QString() : rest.first(rightAt).toString();
}

bool isAscii(QByteArrayView bytes) {
    // Eight bytes at a time: any high bit among them is a byte of 0x80 or more.
    const char* at = bytes.data();
    const char* end = at + bytes.size();
    quint64 highBits = 0;
    for (; end - at >= 8; at += 8) {
        quint64 word;
        std::memcpy(&word, at, 8);
        highBits |= word;
    }
    for (; at < end; ++at) {
        highBits |= uchar(*at);
    }
    return (highBits & 0x8080808080808080ULL) == 0;
}

bool isAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

bool containsIgnoringCase(QStringView text, QStringView asciiWord) {
    if (!isAscii(text)) {
        return text.contains(asciiWord, Qt::CaseInsensitive);
    }
    for (qsizetype at = 0; at + asciiWord.size() <= text.size(); ++at) {
        qsizetype i = 0;
        while (i < asciiWord.size() &&
               lowerAscii(text[at + i].unicode()) == lowerAscii(asciiWord[i].unicode())) {
            ++i;
        }
        if (i == asciiWord.size()) {
            return true;
        }
    }
    return false;
}

} // namespace skylark
