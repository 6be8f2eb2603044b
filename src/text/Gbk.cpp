#include "Gbk.h"

#include "Text.h"

#include <QStringDecoder>

#include <array>
#include <memory>

namespace skylark {
namespace {

constexpr uchar kFirstLead = 0x81;
constexpr uchar kLastLead = 0xFE;
constexpr uchar kFirstTrail = 0x40;
constexpr uchar kLastTrail = 0xFE;
constexpr int kTrailCount = kLastTrail - kFirstTrail + 1;
constexpr char16_t kReplacement = 0xFFFD;

bool isLeadByte(uchar byte) {
    return byte >= kFirstLead && byte <= kLastLead;
}
bool isTrailByte(uchar byte) {
    return byte >= kFirstTrail && byte <= kLastTrail && byte != 0x7F;
}

// Both directions of the code page, taken once from the platform's CP936 codec so
// that they agree with it character for character. 0 marks "no character".
struct GbkTables {
    std::array<char16_t, 256> singleByte{};
    std::array<char16_t, (kLastLead - kFirstLead + 1) * kTrailCount> doubleByte{};
    std::array<quint16, 0x10000> encode{};
    std::array<bool, 0x10000> encodable{};

    GbkTables() {
        QStringDecoder decoder("CP936", QStringDecoder::Flag::Stateless);
        for (int byte = 0; byte < 0x80; ++byte) {
            singleByte[byte] = char16_t(byte);
        }
        for (int byte : {0x80, 0xFF}) {
            singleByte[byte] = decodeOne(decoder, QByteArray(1, char(byte)));
        }
        for (int lead = kFirstLead; lead <= kLastLead; ++lead) {
            for (int trail = kFirstTrail; trail <= kLastTrail; ++trail) {
                if (trail == 0x7F) {
                    continue;
                }
                const char pair[] = {char(lead), char(trail)};
                doubleByte[index(uchar(lead), uchar(trail))] =
                    decodeOne(decoder, QByteArray(pair, 2));
            }
        }
        // The inverse keeps the first code of a character, so that every encodable
        // character decodes back to itself.
        for (int byte = 0xFF; byte >= 0; --byte) {
            remember(singleByte[byte], quint16(byte));
        }
        for (int lead = kLastLead; lead >= kFirstLead; --lead) {
            for (int trail = kLastTrail; trail >= kFirstTrail; --trail) {
                if (trail != 0x7F) {
                    remember(doubleByte[index(uchar(lead), uchar(trail))],
                             quint16(lead << 8 | trail));
                }
            }
        }
        encodable[0] = true;
        encode[0] = 0;
    }

    static std::size_t index(uchar lead, uchar trail) {
        return std::size_t(lead - kFirstLead) * kTrailCount + (trail - kFirstTrail);
    }

    static char16_t decodeOne(QStringDecoder& decoder, const QByteArray& bytes) {
        const QString text = decoder.decode(bytes);
        decoder.resetState();
        if (text.size() != 1 || text[0].unicode() == kReplacement || text[0].isSurrogate()) {
            return 0;
        }
        return text[0].unicode();
    }

    void remember(char16_t character, quint16 code) {
        if (character != 0) {
            encode[character] = code;
            encodable[character] = true;
        }
    }
};

const GbkTables& tables() {
    static const auto instance = std::make_unique<GbkTables>();
    return *instance;
}

void appendCode(QByteArray& out, quint16 code) {
    if (code > 0xFF) {
        out.append(char(code >> 8));
    }
    out.append(char(code & 0xFF));
}

} // namespace

std::optional<quint16> gbkCodeOf(char16_t character) {
    if (character < 0x80) {
        return character;
    }
    const GbkTables& t = tables();
    if (!t.encodable[character]) {
        return std::nullopt;
    }
    return t.encode[character];
}

QString decodeGbk(QByteArrayView bytes) {
    if (!bytes.isEmpty() && isAscii(bytes)) {
        return QString::fromLatin1(bytes); // ASCII reads the same in the code page
    }
    const GbkTables& t = tables();
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = uchar(bytes[i]);
        if (byte < 0x80) {
            text.append(QLatin1Char(char(byte)));
            continue;
        }
        if (!isLeadByte(byte)) {
            const char16_t single = t.singleByte[byte];
            text.append(QChar(single != 0 ? single : kReplacement));
            continue;
        }
        if (i + 1 < bytes.size() && isTrailByte(uchar(bytes[i + 1]))) {
            const char16_t character = t.doubleByte[GbkTables::index(byte, uchar(bytes[i + 1]))];
            text.append(QChar(character != 0 ? character : kReplacement));
            ++i;
            continue;
        }
        text.append(QChar(kReplacement));
    }
    return text;
}

std::optional<QByteArray> encodeGbk(QStringView text) {
    QByteArray out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        const auto code = gbkCodeOf(c.unicode());
        if (!code) {
            return std::nullopt;
        }
        appendCode(out, *code);
    }
    return out;
}

QByteArray encodeGbkLossy(QStringView text) {
    if (!text.isEmpty() && isAscii(text)) {
        return text.toLatin1(); // ASCII is written the same in the code page
    }
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // one character outside the BMP gets one "?"
        }
        appendCode(out, gbkCodeOf(c.unicode()).value_or(quint16('?')));
    }
    return out;
}

qsizetype gbkLength(QStringView text) {
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        }
        length += gbkCodeOf(c.unicode()).value_or(quint16('?')) > 0xFF ? 2 : 1;
    }
    return length;
}

QString cutToGbkBytes(QStringView text, qsizetype maxBytes) {
    qsizetype bytes = 0;
    qsizetype kept = 0;
    while (kept < text.size()) {
        const std::optional<quint16> code = gbkCodeOf(text[kept].unicode());
        const qsizetype width = code && *code > 0xFF ? 2 : 1;
        if (bytes + width > maxBytes) {
            break;
        }
        bytes += width;
        ++kept;
    }
    return text.first(kept).toString();
}

} // namespace skylark
