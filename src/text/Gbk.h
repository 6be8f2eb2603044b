#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace skylark {

// Code page 936 (GBK) as the Windows ANSI code page of a Chinese system knows it.
// Text inside the program is QString; these conversions are used only where bytes
// leave or enter the program (profile files, GBK-encoded URLs, byte-counted limits).

// The code of one character: its byte value below 0x100, lead byte * 0x100 + trail
// byte for a two-byte character, nullopt when code page 936 has no form for it.
std::optional<quint16> gbkCodeOf(char16_t character);

// Decodes bytes; a byte or pair without a character becomes U+FFFD.
QString decodeGbk(QByteArrayView bytes);

// Encodes text; nullopt when any character has no form in code page 936.
std::optional<QByteArray> encodeGbk(QStringView text);

// Encodes text and writes "?" for every character without a form, as the system's
// wide-to-multibyte conversion does with its default character.
QByteArray encodeGbkLossy(QStringView text);

// The number of bytes the text takes in code page 936, counting "?" for a character
// without a form.
qsizetype gbkLength(QStringView text);
// The longest start of the text that takes at most maxBytes in code page 936; a
// two-byte character is never cut in half.
QString cutToGbkBytes(QStringView text, qsizetype maxBytes);

} // namespace skylark
