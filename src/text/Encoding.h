#pragma once

#include <QByteArray>
#include <QString>

namespace skylark {

// Percent-encodes text for the relay server: every non-ASCII character as the escapes
// of its UTF-8 bytes, the ASCII punctuation, TAB, LF and CR as the escape of their
// code; letters, digits, space and other control characters stay as they are.
QString urlEncodeUtf8(QStringView text);

// Percent-encodes the code page 936 bytes of the text one by one for the fare source's
// search pages: only ASCII letters and digits stay, every other byte is escaped.
QString urlEncodeGbk(QStringView text);

// The UTF-8 bytes of the text, without a terminator.
QByteArray gbkToUtf8(QStringView text);

// Decodes a UTF-8 answer into local text: the text ends at the first NUL and every
// character that code page 936 lacks (invalid bytes included) becomes "?".
QString utf8ToAnsi(QByteArrayView utf8);

// True when code page 936 holds every character of the text, so that it can be stored
// in a profile file and read back unchanged.
bool isGbkText(QStringView text);

} // namespace skylark
