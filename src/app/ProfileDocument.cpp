#include "ProfileDocument.h"

#include "net/Gbk.h"

namespace skylark {
namespace {

const QByteArray kLineBreak = QByteArrayLiteral("\r\n");

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

bool isGbkLead(uchar c) { return c >= 0x81 && c <= 0xFE; }

qsizetype skipBlanks(const QByteArray& bytes, qsizetype from, qsizetype end)
{
    while (from < end && isBlank(bytes[from])) {
        ++from;
    }
    return from;
}

qsizetype trimBlanksBack(const QByteArray& bytes, qsizetype start, qsizetype end)
{
    while (end > start && isBlank(bytes[end - 1])) {
        --end;
    }
    return end;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (uchar(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

QString decodeName(QByteArrayView bytes)
{
    return isAscii(bytes) ? QString::fromLatin1(bytes) : decodeGbk(bytes);
}

// Names given by callers are matched without the spaces around them.
QStringView trimSpaces(QStringView name)
{
    while (!name.isEmpty() && name.front() == QLatin1Char(' ')) {
        name = name.sliced(1);
    }
    while (!name.isEmpty() && name.back() == QLatin1Char(' ')) {
        name.chop(1);
    }
    return name;
}

bool sameName(QByteArrayView stored, QStringView wanted)
{
    if (isAscii(stored)) {
        return QLatin1StringView(stored).compare(wanted, Qt::CaseInsensitive) == 0;
    }
    return decodeGbk(stored).compare(wanted, Qt::CaseInsensitive) == 0;
}

// The longest start of a code page 936 text that fits in limit bytes without cutting a
// two-byte character.
QByteArrayView gbkPrefix(QByteArrayView bytes, qsizetype limit)
{
    if (bytes.size() <= limit) {
        return bytes;
    }
    qsizetype end = 0;
    while (end < bytes.size()) {
        const qsizetype width = isGbkLead(uchar(bytes[end])) ? 2 : 1;
        if (end + width > limit) {
            break;
        }
        end += width;
    }
    return bytes.first(end);
}

QByteArray keyLine(QByteArrayView key, QByteArrayView value)
{
    QByteArray line;
    line.reserve(key.size() + value.size() + 3);
    line.append(key).append('=').append(value).append(kLineBreak);
    return line;
}

} // namespace

ProfileDocument::ProfileDocument(QByteArray bytes)
    : m_bytes(std::move(bytes))
{
    parse();
}

void ProfileDocument::parse()
{
    const qsizetype size = m_bytes.size();
    const char* data = m_bytes.constData();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && data[end] != '\r' && data[end] != '\n') {
            ++end;
        }
        qsizetype next = end;
        if (next < size && data[next] == '\r') {
            ++next;
        }
        if (next < size && data[next] == '\n') {
            ++next;
        }
        m_lines.append(parseLine(start, end, next));
        start = next;
    }

    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == LineKind::Header) {
            if (!m_sections.isEmpty()) {
                m_sections.last().lastLine = i - 1;
            }
            m_sections.append({i, int(m_lines.size()) - 1});
            const QString folded = decodeName(nameOf(m_lines[i])).toCaseFolded();
            if (!m_firstSectionByName.contains(folded)) {
                m_firstSectionByName.insert(folded, int(m_sections.size()) - 1);
            }
        }
    }
}

ProfileDocument::Line ProfileDocument::parseLine(qsizetype start, qsizetype end,
                                                 qsizetype next) const
{
    Line line{start, end, next};
    const qsizetype first = skipBlanks(m_bytes, start, end);
    if (first == end) {
        line.kind = LineKind::Blank;
        return line;
    }
    const char lead = m_bytes[first];
    if (lead == ';') {
        line.kind = LineKind::Comment;
        return line;
    }
    if (lead == '[') {
        // The name ends at the first "]" that is not the second byte of a character.
        qsizetype close = first + 1;
        while (close < end && m_bytes[close] != ']') {
            close += (isGbkLead(uchar(m_bytes[close])) && close + 1 < end) ? 2 : 1;
        }
        close = qMin(close, end);
        line.kind = LineKind::Header;
        line.nameStart = skipBlanks(m_bytes, first + 1, close);
        line.nameEnd = trimBlanksBack(m_bytes, line.nameStart, close);
        return line;
    }
    const qsizetype equals = m_bytes.indexOf('=', first);
    if (equals < 0 || equals >= end) {
        line.kind = LineKind::Other;
        return line;
    }
    line.kind = LineKind::Key;
    line.nameStart = first;
    line.nameEnd = trimBlanksBack(m_bytes, first, equals);
    line.valueStart = skipBlanks(m_bytes, equals + 1, end);
    line.valueEnd = trimBlanksBack(m_bytes, line.valueStart, end);
    return line;
}

QByteArrayView ProfileDocument::nameOf(const Line& line) const
{
    return QByteArrayView(m_bytes).sliced(line.nameStart, line.nameEnd - line.nameStart);
}

const ProfileDocument::Section* ProfileDocument::findSection(QStringView name) const
{
    const auto it = m_firstSectionByName.constFind(trimSpaces(name).toString().toCaseFolded());
    return it == m_firstSectionByName.constEnd() ? nullptr : &m_sections[*it];
}

int ProfileDocument::findKeyLine(const Section& section, QStringView key) const
{
    const QStringView wanted = trimSpaces(key);
    for (int i = section.header + 1; i <= section.lastLine; ++i) {
        const Line& line = m_lines[i];
        if (line.kind == LineKind::Key && sameName(nameOf(line), wanted)) {
            return i;
        }
    }
    return -1;
}

QStringList ProfileDocument::sectionNames() const
{
    QStringList names;
    names.reserve(m_sections.size());
    qsizetype used = 1; // the list's own terminator
    for (const Section& section : m_sections) {
        const QByteArrayView name = nameOf(m_lines[section.header]);
        used += name.size() + 1;
        if (used > kSectionNamesLimit) {
            break;
        }
        names.append(decodeName(name));
    }
    return names;
}

bool ProfileDocument::hasSection(QStringView section) const
{
    return findSection(section) != nullptr;
}

std::optional<QString> ProfileDocument::value(QStringView section, QStringView key) const
{
    const Section* found = findSection(section);
    if (!found) {
        return std::nullopt;
    }
    const int index = findKeyLine(*found, key);
    if (index < 0) {
        return std::nullopt;
    }
    const Line& line = m_lines[index];
    QByteArrayView text =
        QByteArrayView(m_bytes).sliced(line.valueStart, line.valueEnd - line.valueStart);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.front() == text.back()) {
        text = text.sliced(1, text.size() - 2);
    }
    return decodeName(gbkPrefix(text, kValueLimit));
}

QByteArray ProfileDocument::withValue(QByteArrayView section, QByteArrayView key,
                                      QByteArrayView value) const
{
    const Section* found = findSection(decodeGbk(section));
    QByteArray out = m_bytes;
    if (!found) {
        if (!m_lines.isEmpty() && m_lines.last().next == m_lines.last().end) {
            out.append(kLineBreak);
        }
        out.append('[').append(section).append(']').append(kLineBreak);
        return out.append(keyLine(key, value));
    }

    const int keyIndex = findKeyLine(*found, decodeGbk(key));
    if (keyIndex >= 0) {
        // The file's own spelling of the key stays.
        const Line& line = m_lines[keyIndex];
        return out.replace(line.start, line.next - line.start, keyLine(nameOf(line), value));
    }

    int anchor = found->header;
    for (int i = found->header + 1; i <= found->lastLine; ++i) {
        if (m_lines[i].kind == LineKind::Key || m_lines[i].kind == LineKind::Other) {
            anchor = i;
        }
    }
    const Line& line = m_lines[anchor];
    QByteArray inserted = keyLine(key, value);
    if (line.next == line.end) {
        inserted.prepend(kLineBreak);
    }
    return out.insert(line.next, inserted);
}

QByteArray ProfileDocument::withoutSection(QStringView section) const
{
    const Section* found = findSection(section);
    if (!found) {
        return m_bytes;
    }
    QByteArray out;
    out.reserve(m_bytes.size());
    out.append(QByteArrayView(m_bytes).first(m_lines[found->header].start));
    for (int i = found->header + 1; i <= found->lastLine; ++i) {
        const Line& line = m_lines[i];
        if (line.kind == LineKind::Blank || line.kind == LineKind::Comment) {
            out.append(QByteArrayView(m_bytes).sliced(line.start, line.next - line.start));
        }
    }
    const qsizetype rest = m_lines[found->lastLine].next;
    out.append(QByteArrayView(m_bytes).sliced(rest));
    return out;
}

} // namespace skylark
