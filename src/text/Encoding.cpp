#include "Encoding.h"

#include "Gbk.h"

namespace skylark {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendEscape(QString& out, uchar byte) {
    out.append(QLatin1Char('%'));
    out.append(QLatin1Char(kHexDigits[byte >> 4]));
    out.append(QLatin1Char(kHexDigits[byte & 0x0F]));
}

bool isEscapedForRelay(char16_t c) {
    return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
           (c >= 0x7B && c <= 0x7E) || c == 0x09 || c == 0x0A || c == 0x0D;
}

bool isAsciiAlphanumeric(uchar c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Texts of the system end at their first NUL.
QStringView untilNul(QStringView text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.first(nul);
}

} // namespace

QString urlEncodeUtf8(QStringView text) {
    text = untilNul(text);
    QString out;
    out.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            if (isEscapedForRelay(c)) {
                appendEscape(out, uchar(c));
            } else {
                out.append(QChar(c));
            }
            continue;
        }
        qsizetype length = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            length = 2;
        }
        for (char byte : text.sliced(i, length).toUtf8()) {
            appendEscape(out, uchar(byte));
        }
        i += length - 1;
    }
    return out;
}

QString urlEncodeGbk(QStringView text) {
    const QByteArray bytes = encodeGbkLossy(untilNul(text));
    QString out;
    out.reserve(bytes.size() * 3);
    for (char byte : bytes) {
        if (isAsciiAlphanumeric(uchar(byte))) {
            out.append(QLatin1Char(byte));
        } else {
            appendEscape(out, uchar(byte));
        }
    }
    return out;
}

QByteArray gbkToUtf8(QStringView text) {
    return untilNul(text).toUtf8();
}

QString utf8ToAnsi(QByteArrayView utf8) {
    const qsizetype nul = utf8.indexOf('\0');
    QString text = QString::fromUtf8(nul < 0 ? utf8 : utf8.first(nul));
    // In place: a surrogate pair becomes one "?", so the text only ever shrinks.
    char16_t* units = reinterpret_cast<char16_t*>(text.data());
    const qsizetype size = text.size();
    qsizetype kept = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = units[i];
        if (c < 0x80) {
            units[kept++] = c; // ASCII is the same in code page 936
        } else if (QChar::isHighSurrogate(c) && i + 1 < size &&
                   QChar::isLowSurrogate(units[i + 1])) {
            ++i;
            units[kept++] = u'?';
        } else {
            units[kept++] = gbkCodeOf(c) ? c : u'?';
        }
    }
    text.truncate(kept);
    return text;
}

bool isGbkText(QStringView text) {
    return encodeGbk(text).has_value();
}

} // namespace skylark
