#include "ProfileDocument.h"

#include "text/Gbk.h"
#include "text/Text.h"

#include <bit>
#include <cstring>
#include <vector>

namespace skylark {
namespace {

const QByteArray kLineBreak = QByteArrayLiteral("\r\n");

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}

bool isGbkLead(uchar c) {
    return c >= 0x81 && c <= 0xFE;
}

qsizetype skipBlanks(const QByteArray& bytes, qsizetype from, qsizetype end) {
    while (from < end && isBlank(bytes[from])) {
        ++from;
    }
    return from;
}

qsizetype trimBlanksBack(const QByteArray& bytes, qsizetype start, qsizetype end) {
    while (end > start && isBlank(bytes[end - 1])) {
        --end;
    }
    return end;
}

QString decodeText(QByteArrayView bytes) {
    return isAscii(bytes) ? QString::fromLatin1(bytes) : decodeGbk(bytes);
}

QByteArray encodeText(QStringView text) {
    return encodeGbk(text).value_or(QByteArray());
}

// Names match without regard to letter case. The hash is taken over the case-folded
// UTF-16 text; for ASCII, folding is lowering, done here without building a string.

size_t nameHash(QStringView folded, bool lowerLetters) {
    size_t hash = kFnvStart;
    for (QChar c : folded) {
        hash = fnvMore(hash, lowerLetters ? lowerAscii(c.unicode()) : c.unicode());
    }
    return hash;
}

size_t nameHash(QStringView name) {
    for (QChar c : name) {
        if (c.unicode() >= 0x80) {
            return nameHash(name.toString().toCaseFolded(), false);
        }
    }
    return nameHash(name, true);
}

size_t nameHash(QByteArrayView raw) {
    if (!isAscii(raw)) {
        return nameHash(decodeGbk(raw).toCaseFolded(), false);
    }
    size_t hash = kFnvStart;
    for (char c : raw) {
        hash = fnvMore(hash, lowerAscii(char16_t(uchar(c))));
    }
    return hash;
}

// A quick hash of a short value from its length and its first and last eight bytes.
size_t valueHash(QByteArrayView bytes) {
    const size_t size = size_t(bytes.size());
    quint64 head = 0;
    quint64 tail = 0;
    const size_t edge = std::min<size_t>(size, 8);
    std::memcpy(&head, bytes.data(), edge);
    std::memcpy(&tail, bytes.data() + size - edge, edge);
    const quint64 mixed = (head * 0x9E3779B97F4A7C15ULL) ^ (tail + size) * 0xC2B2AE3D27D4EB4FULL;
    return size_t(mixed >> 32 ^ mixed);
}

// Where the line from start ends: at the first CR or LF, or at size.
qsizetype lineEnd(const char* data, qsizetype start, qsizetype size) {
    const char* from = data + start;
    const auto* feed = static_cast<const char*>(std::memchr(from, '\n', size_t(size - start)));
    const qsizetype span = feed ? feed - from : size - start;
    const auto* carriageReturn = static_cast<const char*>(std::memchr(from, '\r', size_t(span)));
    return start + (carriageReturn ? carriageReturn - from : span);
}

// Decoded texts by their bytes, so that a value repeated from section to section (cities,
// days, kinds) is decoded once and shared. It holds at most kCapacity texts and starts
// afresh when full.
class DecodedTexts {
public:
    template <typename Decode>
    const QString& textOf(QByteArrayView bytes, const Decode& decode) {
        size_t slot = findSlot(bytes);
        if (!m_slots[slot].filled) {
            if (m_used == kCapacity) {
                m_slots.assign(kSlots, Slot());
                m_used = 0;
                slot = findSlot(bytes);
            }
            m_slots[slot] = Slot{bytes, decode(), true};
            ++m_used;
        }
        return m_slots[slot].text;
    }

private:
    static constexpr size_t kSlots = 4096;
    static constexpr size_t kCapacity = kSlots / 2;

    struct Slot {
        QByteArrayView bytes;
        QString text;
        bool filled = false;
    };

    // The slot holding these bytes, or the free slot where they would go.
    size_t findSlot(QByteArrayView bytes) const {
        size_t slot = valueHash(bytes) & (kSlots - 1);
        while (m_slots[slot].filled && m_slots[slot].bytes != bytes) {
            slot = (slot + 1) & (kSlots - 1);
        }
        return slot;
    }

    std::vector<Slot> m_slots = std::vector<Slot>(kSlots);
    size_t m_used = 0;
};

// Compares stored name bytes with a wanted section or key name without regard to letter
// case, byte-wise when both are ASCII.
class NameMatcher {
public:
    explicit NameMatcher(QStringView key)
        : m_key(ProfileDocument::trimmedName(key))
        , m_ascii(isAscii(m_key))
        , m_asciiBytes(m_ascii ? m_key.toLatin1() : QByteArray()) {}

    bool matches(QByteArrayView stored) const {
        if (m_ascii) {
            const bool sameSize = stored.size() == m_asciiBytes.size();
            if (sameSize &&
                std::memcmp(stored.data(), m_asciiBytes.constData(), size_t(stored.size())) == 0) {
                return true; // the usual spelling, letter for letter
            }
            if (isAscii(stored)) {
                return sameSize && equalIgnoringAsciiCase(stored);
            }
        }
        return decodeGbk(stored).compare(m_key, Qt::CaseInsensitive) == 0;
    }

private:
    bool equalIgnoringAsciiCase(QByteArrayView stored) const {
        for (qsizetype i = 0; i < stored.size(); ++i) {
            if (lowerAscii(uchar(stored[i])) != lowerAscii(uchar(m_asciiBytes[i]))) {
                return false;
            }
        }
        return true;
    }

    QStringView m_key;
    bool m_ascii;
    QByteArray m_asciiBytes;
};

// The longest start of a code page 936 text that fits in limit bytes without cutting a
// two-byte character.
QByteArrayView gbkPrefix(QByteArrayView bytes, qsizetype limit) {
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

QByteArray keyLine(QByteArrayView key, QByteArrayView value) {
    QByteArray line;
    line.reserve(key.size() + value.size() + 3);
    line.append(key).append('=').append(value).append(kLineBreak);
    return line;
}

} // namespace

ProfileDocument::ProfileDocument(QByteArray bytes)
    : m_bytes(std::move(bytes)) {
    parse();
}

void ProfileDocument::parse() {
    const qsizetype size = m_bytes.size();
    const char* data = m_bytes.constData();
    m_lines.reserve(size / 16 + 1);
    std::vector<int> headers;
    qsizetype start = 0;
    while (start < size) {
        const qsizetype end = lineEnd(data, start, size);
        qsizetype next = end;
        if (next < size && data[next] == '\r') {
            ++next;
        }
        if (next < size && data[next] == '\n') {
            ++next;
        }
        const qsizetype first = skipBlanks(m_bytes, start, end);
        if (first < end && data[first] == '[') {
            headers.push_back(int(m_lines.size()));
        }
        m_lines.push_back(Line{start, end, next});
        start = next;
    }
    m_sections.reserve(qsizetype(headers.size()));
    m_chainStarts.assign(std::bit_ceil(2 * headers.size() + 1), ChainStart());
    for (const int header : headers) {
        addSection(header, partsOf(m_lines[header]));
    }
    if (!m_sections.isEmpty()) {
        m_sections.last().lastLine = int(m_lines.size()) - 1;
    }
}

void ProfileDocument::addSection(int header, const LineParts& parts) {
    if (!m_sections.isEmpty()) {
        m_sections.last().lastLine = header - 1;
    }
    const int index = int(m_sections.size());
    const QByteArrayView name = bytesOf(parts.nameStart, parts.nameEnd);
    Section section{header, header, index, -1, parts.nameStart, parts.nameEnd};
    const size_t hash = nameHash(name);
    ChainStart& start = m_chainStarts[chainSlot(hash)];
    if (start.section < 0) {
        start = {hash, index};
    } else {
        const int chain = start.section;
        const QString decoded = decodeText(name);
        const NameMatcher matcher(decoded);
        int last = chain;
        for (int i = chain; i >= 0; i = m_sections[i].nextWithSameHash) {
            const Section& other = m_sections[i];
            if (matcher.matches(bytesOf(other.nameStart, other.nameEnd))) {
                section.canonical = i;
                break;
            }
            last = i;
        }
        if (section.canonical == index) {
            m_sections[last].nextWithSameHash = index;
        }
    }
    m_sections.append(section);
}

ProfileDocument::LineParts ProfileDocument::partsOf(const Line& line) const {
    LineParts parts;
    const qsizetype first = skipBlanks(m_bytes, line.start, line.end);
    if (first == line.end) {
        parts.kind = LineKind::Blank;
        return parts;
    }
    const char lead = m_bytes[first];
    if (lead == ';') {
        parts.kind = LineKind::Comment;
        return parts;
    }
    if (lead == '[') {
        // The name ends at the first "]" that is not the second byte of a character.
        qsizetype close = first + 1;
        while (close < line.end && m_bytes[close] != ']') {
            close += (isGbkLead(uchar(m_bytes[close])) && close + 1 < line.end) ? 2 : 1;
        }
        close = qMin(close, line.end);
        parts.kind = LineKind::Header;
        parts.nameStart = skipBlanks(m_bytes, first + 1, close);
        parts.nameEnd = trimBlanksBack(m_bytes, parts.nameStart, close);
        return parts;
    }
    const char* data = m_bytes.constData();
    const void* found = std::memchr(data + first, '=', size_t(line.end - first));
    if (!found) {
        parts.kind = LineKind::Other;
        return parts;
    }
    const qsizetype equals = static_cast<const char*>(found) - data;
    parts.kind = LineKind::Key;
    parts.nameStart = first;
    parts.nameEnd = trimBlanksBack(m_bytes, first, equals);
    parts.valueStart = skipBlanks(m_bytes, equals + 1, line.end);
    parts.valueEnd = trimBlanksBack(m_bytes, parts.valueStart, line.end);
    return parts;
}

QStringView ProfileDocument::trimmedName(QStringView name) {
    while (!name.isEmpty() && name.front() == QLatin1Char(' ')) {
        name = name.sliced(1);
    }
    while (!name.isEmpty() && name.back() == QLatin1Char(' ')) {
        name.chop(1);
    }
    return name;
}

size_t ProfileDocument::chainSlot(size_t hash) const {
    const size_t mask = m_chainStarts.size() - 1;
    size_t slot = hash & mask;
    while (m_chainStarts[slot].section >= 0 && m_chainStarts[slot].hash != hash) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

QByteArrayView ProfileDocument::bytesOf(qsizetype start, qsizetype end) const {
    return QByteArrayView(m_bytes).sliced(start, end - start);
}

const ProfileDocument::Section* ProfileDocument::findSection(QStringView name) const {
    name = ProfileDocument::trimmedName(name);
    if (m_chainStarts.empty()) {
        return nullptr;
    }
    const NameMatcher matcher(name);
    for (int i = m_chainStarts[chainSlot(nameHash(name))].section; i >= 0;
         i = m_sections[i].nextWithSameHash) {
        if (matcher.matches(bytesOf(m_sections[i].nameStart, m_sections[i].nameEnd))) {
            return &m_sections[i];
        }
    }
    return nullptr;
}

int ProfileDocument::findKeyLine(const Section& section, QStringView key) const {
    const NameMatcher matcher(key);
    for (int i = section.header + 1; i <= section.lastLine; ++i) {
        const LineParts parts = partsOf(m_lines[i]);
        if (parts.kind == LineKind::Key &&
            matcher.matches(bytesOf(parts.nameStart, parts.nameEnd))) {
            return i;
        }
    }
    return -1;
}

QString ProfileDocument::valueOf(const LineParts& parts) const {
    QByteArrayView text = bytesOf(parts.valueStart, parts.valueEnd);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.front() == text.back()) {
        text = text.sliced(1, text.size() - 2);
    }
    return decodeText(gbkPrefix(text, kValueLimit));
}

qsizetype ProfileDocument::listedSectionCount() const {
    qsizetype used = 1; // the list's own terminator
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        used += m_sections[i].nameEnd - m_sections[i].nameStart + 1;
        if (used > kSectionNamesLimit) {
            return i;
        }
    }
    return m_sections.size();
}

QStringList ProfileDocument::sectionNames() const {
    const qsizetype listed = listedSectionCount();
    QStringList names;
    names.reserve(listed);
    for (qsizetype i = 0; i < listed; ++i) {
        names.append(decodeText(bytesOf(m_sections[i].nameStart, m_sections[i].nameEnd)));
    }
    return names;
}

bool ProfileDocument::hasSection(QStringView section) const {
    return findSection(section) != nullptr;
}

bool ProfileDocument::isListed(QStringView section) const {
    const Section* found = findSection(section);
    return found && found - m_sections.constData() < listedSectionCount();
}

std::optional<QString> ProfileDocument::value(QStringView section, QStringView key) const {
    const Section* found = findSection(section);
    if (!found) {
        return std::nullopt;
    }
    const int index = findKeyLine(*found, key);
    if (index < 0) {
        return std::nullopt;
    }
    return valueOf(partsOf(m_lines[index]));
}

void ProfileDocument::forEachSection(const QStringList& keys, const SectionVisitor& visit) const {
    Q_ASSERT(keys.size() <= 64);
    QList<NameMatcher> matchers;
    matchers.reserve(keys.size());
    for (const QString& key : keys) {
        matchers.append(NameMatcher(key));
    }
    // With distinct keys a line answers at most one of them, and files keep their keys in
    // one order: the search starts after the key found last and stops at the first match.
    bool distinct = true;
    for (qsizetype a = 0; a < keys.size(); ++a) {
        for (qsizetype b = a + 1; b < keys.size(); ++b) {
            distinct = distinct &&
                       trimmedName(keys[a]).compare(trimmedName(keys[b]), Qt::CaseInsensitive) != 0;
        }
    }
    const qsizetype count = matchers.size();
    const quint64 all = count == 64 ? ~0ULL : (1ULL << count) - 1;
    const qsizetype listed = listedSectionCount();
    QStringList values(keys.size());
    DecodedTexts decoded;
    for (qsizetype s = 0; s < listed; ++s) {
        const Section& section = m_sections[m_sections[s].canonical];
        quint64 found = 0;
        for (QString& value : values) {
            value = QString();
        }
        qsizetype hint = 0;
        for (int i = section.header + 1; i <= section.lastLine && found != all; ++i) {
            const LineParts parts = partsOf(m_lines[i]);
            if (parts.kind != LineKind::Key) {
                continue;
            }
            const QByteArrayView name = bytesOf(parts.nameStart, parts.nameEnd);
            for (qsizetype j = 0; j < count; ++j) {
                const qsizetype k = hint + j < count ? hint + j : hint + j - count;
                if (!(found & (1ULL << k)) && matchers[k].matches(name)) {
                    found |= 1ULL << k;
                    values[k] = decoded.textOf(bytesOf(parts.valueStart, parts.valueEnd),
                                               [&] { return valueOf(parts); });
                    if (distinct) {
                        hint = k + 1;
                        break;
                    }
                }
            }
        }
        visit(decodeText(bytesOf(m_sections[s].nameStart, m_sections[s].nameEnd)), values);
    }
}

QByteArray ProfileDocument::withValues(QStringView section,
                                       const QList<std::pair<QString, QString>>& entries) const {
    if (findSection(section)) {
        std::optional<ProfileDocument> edited;
        for (const auto& [key, value] : entries) {
            QByteArray bytes = (edited ? *edited : *this).withValue(section, key, value);
            edited.emplace(std::move(bytes));
        }
        return edited ? edited->m_bytes : m_bytes;
    }

    // A new section holds the keys in call order; a key given twice keeps its first
    // place and takes its last value, as separate writes would.
    QList<std::pair<QString, QString>> merged;
    for (const auto& entry : entries) {
        const NameMatcher matcher(entry.first);
        const auto same = std::find_if(merged.begin(), merged.end(), [&](const auto& earlier) {
            return matcher.matches(encodeText(ProfileDocument::trimmedName(earlier.first)));
        });
        if (same != merged.end()) {
            same->second = entry.second;
        } else {
            merged.append(entry);
        }
    }
    QByteArray out = m_bytes;
    if (!m_lines.empty() && m_lines.back().next == m_lines.back().end) {
        out.append(kLineBreak);
    }
    out.append('[').append(encodeText(section)).append(']').append(kLineBreak);
    for (const auto& [key, value] : merged) {
        out.append(keyLine(encodeText(key), encodeText(value)));
    }
    return out;
}

QByteArray ProfileDocument::withValue(QStringView section, QStringView key,
                                      QStringView value) const {
    const Section* found = findSection(section);
    if (!found) {
        return withValues(section, {{key.toString(), value.toString()}});
    }
    QByteArray out = m_bytes;
    const int keyIndex = findKeyLine(*found, key);
    if (keyIndex >= 0) {
        // The file's own spelling of the key stays.
        const Line& line = m_lines[keyIndex];
        const LineParts parts = partsOf(line);
        return out.replace(line.start, line.next - line.start,
                           keyLine(bytesOf(parts.nameStart, parts.nameEnd), encodeText(value)));
    }

    int anchor = found->header;
    for (int i = found->header + 1; i <= found->lastLine; ++i) {
        const LineKind kind = partsOf(m_lines[i]).kind;
        if (kind == LineKind::Key || kind == LineKind::Other) {
            anchor = i;
        }
    }
    const Line& line = m_lines[anchor];
    QByteArray inserted = keyLine(encodeText(key), encodeText(value));
    if (line.next == line.end) {
        inserted.prepend(kLineBreak);
    }
    return out.insert(line.next, inserted);
}

QByteArray ProfileDocument::withoutSection(QStringView section) const {
    const Section* found = findSection(section);
    if (!found) {
        return m_bytes;
    }
    QByteArray out;
    out.reserve(m_bytes.size());
    out.append(QByteArrayView(m_bytes).first(m_lines[found->header].start));
    for (int i = found->header + 1; i <= found->lastLine; ++i) {
        const Line& line = m_lines[i];
        const LineKind kind = partsOf(line).kind;
        if (kind == LineKind::Blank || kind == LineKind::Comment) {
            out.append(bytesOf(line.start, line.next));
        }
    }
    out.append(QByteArrayView(m_bytes).sliced(m_lines[found->lastLine].next));
    return out;
}

} // namespace skylark
