#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace skylark {

// Numbers closer than this count as equal; a number not above it in size counts as 0.
inline constexpr double kTolerance = 0.0000001;

bool nearlyZero(double value);
bool nearlyEqual(double a, double b);
// a <= b, where a within the tolerance above b counts as equal.
bool atMost(double a, double b);

// The one conversion from text to number. Full-width forms of code page 936 are first
// folded to ASCII (A3A1..A3FE to 0x21..0x7E, A1A1 to space, A1AB to "~", A1EE and A1EF
// to "*"); the text is then read like the C library's atof in the C locale: leading
// blanks, an optional sign, digits with an optional point and exponent, and reading
// stops at the first character that does not fit. No number at the start gives 0.
double textToNumber(QStringView text);
// Whether the text is a whole number from low to high, written plainly (no sign "+", no
// blanks), as a settings field takes it.
bool isWholeNumberIn(QStringView text, int low, int high);

// Cuts the text at every separator: each cut ends a field (so empty inner fields
// count), the rest after the last separator is a field only when it is not empty, and
// an empty text has no fields.
QStringList splitFields(QStringView text, QStringView separator);

// Removes every ASCII space and full-width space from typed input; other characters,
// tabs included, stay.
QString removeBlanks(QStringView text);
// Removes ASCII and full-width spaces at both ends only.
QString trimBlanks(QStringView text);
// Removes ASCII white space (space, tab, CR, LF, VT, FF) at both ends, as a server's answer
// may end with a line break.
QString trimAsciiBlanks(QStringView text);

// FNV-1a over UTF-16 units, fed one unit at a time, for the program's name and path hashes.
inline constexpr size_t kFnvStart = 14695981039346656037ULL;
constexpr size_t fnvMore(size_t hash, char16_t unit) {
    return (hash ^ unit) * 1099511628211ULL;
}

// The text between the first left marker and the first right marker after it, or empty.
// An empty left marker means "from the start", an empty right marker "to the end".
QString textBetween(QStringView text, QStringView left, QStringView right);

// Whether every byte, or every unit, is below 0x80.
bool isAscii(QByteArrayView bytes);
bool isAscii(QStringView text);

// A–Z lowered, everything else as it is.
constexpr char16_t lowerAscii(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? char16_t(unit + (u'a' - u'A')) : unit;
}

// Whether the text holds the ASCII word in any letter case, as QString::contains with
// Qt::CaseInsensitive finds it, without case folding when the text is ASCII too.
bool containsIgnoringCase(QStringView text, QStringView asciiWord);

} // namespace skylark
