#include "JsonReader.h"

#include "text/Text.h"

#include <algorithm>
#include <limits>

namespace skylark {
namespace {

// The hash of a path, fed piece by piece.
constexpr size_t kHashStart = kFnvStart;

size_t hashMore(size_t hash, QStringView text) {
    for (QChar c : text) {
        hash = fnvMore(hash, c.unicode());
    }
    return hash;
}

// "[i]" for an element index, written into a buffer of 16 units.
QStringView indexStep(int index, char16_t (&buffer)[16]) {
    // Written from the back: "]", the digits from the last one, "[".
    int at = 15;
    buffer[at] = u']';
    auto rest = unsigned(index);
    do {
        buffer[--at] = char16_t(u'0' + rest % 10);
        rest /= 10;
    } while (rest > 0);
    buffer[--at] = u'[';
    return QStringView(buffer + at, 16 - at);
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The index an element step names, written as the table writes it (decimal, no sign, no
// leading zero); -1 for any other text.
int canonicalIndex(QStringView digits) {
    if (digits.isEmpty() || digits.size() > 9 || (digits[0] == u'0' && digits.size() > 1)) {
        return -1;
    }
    int index = 0;
    for (QChar c : digits) {
        if (!isDigit(c)) {
            return -1;
        }
        index = index * 10 + (c.unicode() - u'0');
    }
    return index;
}

// The index of the bracket that closes the one at `open`, counting only that kind of
// bracket; -1 when the text ends first.
qsizetype matchingBracket(QStringView text, qsizetype open) {
    const char16_t* units = text.utf16();
    const char16_t opening = units[open];
    const char16_t closing = opening == u'{' ? u'}' : u']';
    int depth = 0;
    for (qsizetype i = open; i < text.size(); ++i) {
        const char16_t c = units[i];
        if (c == opening) {
            ++depth;
        } else if (c == closing && --depth == 0) {
            return i;
        }
    }
    return -1;
}

// Whether a word value (true, false, null, in any letter case) may start with c.
bool mayStartWord(QChar c) {
    const char16_t lower = c.unicode() | 0x20;
    return lower == u't' || lower == u'f' || lower == u'n';
}

// The index of the first '"' from `from` on, or -1.
qsizetype nextQuote(QStringView text, qsizetype from) {
    const char16_t* units = text.utf16();
    for (qsizetype i = from; i < text.size(); ++i) {
        if (units[i] == u'"') {
            return i;
        }
    }
    return -1;
}

bool wordAt(QStringView text, qsizetype at, QLatin1StringView word) {
    return text.size() - at >= word.size() &&
           text.sliced(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// For every "{" and "[" of the text, the index of the bracket that closes it (as
// matchingBracket finds it), else -1; one pass with a stack per kind of bracket.
std::vector<qint32> closingBrackets(QStringView text) {
    std::vector<qint32> closing(size_t(text.size()), -1);
    std::vector<qint32> braces;
    std::vector<qint32> brackets;
    const char16_t* units = text.utf16();
    for (qint32 i = 0; i < qint32(text.size()); ++i) {
        // Only brackets matter: [ and { differ from ] and } in one bit, as ] from }.
        const char16_t folded = units[i] | 0x20;
        if (folded != u'{' && folded != u'}') {
            continue;
        }
        switch (units[i]) {
        case u'{':
            braces.push_back(i);
            break;
        case u'[':
            brackets.push_back(i);
            break;
        case u'}':
            if (!braces.empty()) {
                closing[size_t(braces.back())] = i;
                braces.pop_back();
            }
            break;
        case u']':
            if (!brackets.empty()) {
                closing[size_t(brackets.back())] = i;
                brackets.pop_back();
            }
            break;
        default:
            break;
        }
    }
    return closing;
}

// Walks one level and calls found(kind, index, length, name) for each direct value,
// where index is 0-based in the level text and name is the member name on an object
// level (empty on an array level). close(i) gives the index in the level of the bracket
// that closes the one at i, or -1. Nested containers are jumped over, so a walk of all
// levels reads each character of the text about once.
template <typename Close, typename Found>
void scanValues(QStringView level, Close&& close, Found&& found) {
    if (level.size() <= 2) {
        return;
    }
    const bool object = level[0] == QLatin1Char('{');
    if (!object && level[0] != QLatin1Char('[')) {
        return;
    }
    bool haveName = false;
    QStringView name;
    qsizetype i = 1;
    while (i < level.size()) {
        const QChar c = level[i];
        if (object && !haveName) {
            if (c == QLatin1Char('"')) {
                const qsizetype close = nextQuote(level, i + 1);
                if (close < 0) {
                    ++i;
                    continue;
                }
                name = level.sliced(i + 1, close - i - 1);
                haveName = true;
                i = close + 1;
            } else {
                ++i;
            }
            continue;
        }
        JsonKind kind = JsonKind::None;
        qsizetype start = i;
        qsizetype length = 0;
        qsizetype next = i + 1;
        if (c == QLatin1Char('{') || c == QLatin1Char('[')) {
            const qsizetype closing = close(i);
            if (closing < 0) {
                return;
            }
            kind = c == QLatin1Char('{') ? JsonKind::Object : JsonKind::Array;
            length = closing - i + 1;
            next = closing + 1;
        } else if (c == QLatin1Char('"')) {
            const qsizetype close = nextQuote(level, i + 1);
            if (close < 0) {
                haveName = false;
                ++i;
                continue;
            }
            kind = JsonKind::String;
            start = i + 1;
            length = close - i - 1;
            next = close + 1;
        } else if (c == QLatin1Char('-') || isDigit(c)) {
            bool point = false;
            next = i + 1;
            while (next < level.size() &&
                   (isDigit(level[next]) || (level[next] == QLatin1Char('.') && !point))) {
                point = point || level[next] == QLatin1Char('.');
                ++next;
            }
            kind = JsonKind::Number;
            length = next - i;
        } else if (!mayStartWord(c)) {
            ++i;
            continue;
        } else if (wordAt(level, i, QLatin1StringView("true")) ||
                   wordAt(level, i, QLatin1StringView("null"))) {
            kind = wordAt(level, i, QLatin1StringView("null")) ? JsonKind::Null : JsonKind::Boolean;
            length = 4;
            next = i + 5;
        } else if (wordAt(level, i, QLatin1StringView("false"))) {
            kind = JsonKind::Boolean;
            length = 5;
            next = i + 6;
        } else {
            ++i;
            continue;
        }
        found(kind, start, length, object ? name : QStringView());
        haveName = false;
        i = next;
    }
}

} // namespace

int JsonReader::scanLevel(QStringView level, QList<JsonEntry>& rows, QStringView prefix,
                          qsizetype base) {
    const bool object = !level.isEmpty() && level[0] == QLatin1Char('{');
    int index = 0;
    const qsizetype before = rows.size();
    const auto close = [&](qsizetype open) { return matchingBracket(level, open); };
    scanValues(level, close,
               [&](JsonKind kind, qsizetype start, qsizetype length, QStringView name) {
                   char16_t buffer[16];
                   const QStringView step = object ? name : indexStep(index++, buffer);
                   rows.append({kind, prefix.toString() + step, base + start + 1, length});
               });
    return int(rows.size() - before);
}

bool JsonReader::parse(QStringView text) {
    clear();
    const qsizetype brace = text.indexOf(QLatin1Char('{'));
    const qsizetype bracket = text.indexOf(QLatin1Char('['));
    if (brace < 0 && bracket < 0) {
        return false;
    }
    const bool array = bracket >= 0 && (brace < 0 || bracket < brace);
    const qsizetype open = array ? bracket : brace;
    const qsizetype close = text.lastIndexOf(array ? QLatin1Char(']') : QLatin1Char('}'));
    if (close <= open || close - open >= std::numeric_limits<qint32>::max()) {
        return false;
    }
    m_source = text.sliced(open, close - open + 1).toString();
    m_closing = closingBrackets(m_source);
    m_rows.reserve(size_t(qMin<qsizetype>(m_source.size() / 8, kMaxValues + 1)));

    // The root level, then level by level the values of each container in row order.
    appendLevel(-1);
    m_topCount = rowCount();
    qsizetype levelStart = 0;
    qsizetype levelEnd = rowCount();
    while (levelStart < levelEnd && rowCount() <= kMaxValues) {
        for (qsizetype i = levelStart; i < levelEnd && rowCount() <= kMaxValues; ++i) {
            if (m_rows[i].kind == JsonKind::Object || m_rows[i].kind == JsonKind::Array) {
                appendLevel(int(i));
            }
        }
        levelStart = levelEnd;
        levelEnd = rowCount();
    }

    m_closing = {};
    if (m_rows.empty() || rowCount() > kMaxValues) {
        clear();
        return false;
    }
    m_rootKind = array ? JsonKind::Array : JsonKind::Object;
    if (!m_plainNames) {
        indexRows();
    }
    return true;
}

void JsonReader::appendLevel(int parent) {
    const qsizetype base = parent < 0 ? 0 : m_rows[parent].start;
    const QStringView level = parent < 0
                                  ? QStringView(m_source)
                                  : QStringView(m_source).sliced(base, m_rows[parent].length);
    const bool object = !level.isEmpty() && level[0] == QLatin1Char('{');
    const int first = rowCount();
    int index = 0;
    // A bracket closed only after the level's end is not closed within it.
    const auto close = [&](qsizetype open) -> qsizetype {
        const qint32 closing = m_closing[size_t(base + open)];
        return closing < 0 || closing - base >= level.size() ? -1 : closing - base;
    };
    scanValues(
        level, close, [&](JsonKind kind, qsizetype start, qsizetype length, QStringView name) {
            if (rowCount() > kMaxValues) {
                return; // the text is refused as a whole
            }
            Row row{kind, parent, qint32(base + start), qint32(length), -1, 0, index++};
            if (object) {
                row.nameStart = qint32(name.data() - m_source.constData());
                row.nameLength = qint32(name.size());
                m_plainNames = m_plainNames && std::none_of(name.begin(), name.end(), [](QChar c) {
                                   return c == QLatin1Char('.') || c == QLatin1Char('[');
                               });
            }
            m_rows.push_back(row);
        });
    if (parent >= 0) {
        m_rows[parent].firstChild = first;
        m_rows[parent].children = rowCount() - first;
    }
}

// Only documents with member names that hold "." or "[" need it: their paths cannot be
// taken apart step by step. Two rows count as having the same path when the 64-bit hashes
// and the lengths of their paths agree: comparing the texts would cost the depth of the
// row each time, which a deeply nested answer turns into quadratic time. Only a
// deliberately colliding answer could mislead it, and such a server could as well send
// other values.
void JsonReader::indexRows() {
    qsizetype size = 16;
    while (size < 2 * rowCount()) {
        size *= 2;
    }
    m_slots.fill(-1, size);
    m_pathHashes.assign(m_rows.size(), 0);
    std::vector<qint64> pathLength(m_rows.size());
    for (int i = 0; i < rowCount(); ++i) {
        const Row& row = m_rows[i];
        const size_t parentHash = row.parent < 0 ? kHashStart : m_pathHashes[row.parent];
        const bool dot = row.parent >= 0 && m_rows[row.parent].kind == JsonKind::Object;
        char16_t buffer[16];
        const QStringView step = stepOf(row, buffer);
        const size_t hash = hashMore(dot ? hashMore(parentHash, u".") : parentHash, step);
        m_pathHashes[i] = hash;
        pathLength[size_t(i)] =
            (row.parent < 0 ? 0 : pathLength[size_t(row.parent)] + (dot ? 1 : 0)) + step.size();
        qsizetype slot = qsizetype(hash) & (size - 1);
        bool known = false;
        for (; m_slots[slot] >= 0 && !known; slot = (slot + 1) & (size - 1)) {
            const int other = m_slots[slot];
            known =
                m_pathHashes[other] == hash && pathLength[size_t(other)] == pathLength[size_t(i)];
        }
        if (!known) {
            m_slots[slot] = i;
        }
    }
}

QStringView JsonReader::stepOf(const Row& row, char16_t (&buffer)[16]) const {
    return row.nameStart >= 0 ? QStringView(m_source).sliced(row.nameStart, row.nameLength)
                              : indexStep(row.index, buffer);
}

void JsonReader::clear() {
    m_source.clear();
    m_rows.clear();
    m_slots.clear();
    m_pathHashes.clear();
    m_plainNames = true;
    m_rootKind = JsonKind::None;
    m_topCount = 0;
}

QString JsonReader::sourceText() const {
    return m_rows.empty() ? QString() : m_source;
}

int JsonReader::find(QStringView path) const {
    if (m_rows.empty()) {
        return -1;
    }
    if (m_plainNames) {
        return resolve(-1, path);
    }
    const size_t hash = hashMore(kHashStart, path);
    const qsizetype mask = m_slots.size() - 1;
    for (qsizetype slot = qsizetype(hash) & mask; m_slots[slot] >= 0; slot = (slot + 1) & mask) {
        const int row = m_slots[slot];
        if (m_pathHashes[row] == hash && pathEquals(row, path)) {
            return row;
        }
    }
    return -1;
}

// Follows the path step by step from a container (-1: the root) down its rows. Children
// lie together in document order and containers in table order, so among rows with equal
// paths the first one reached is the first in the table.
int JsonReader::resolve(int container, QStringView rest) const {
    const bool array =
        container < 0 ? m_rootKind == JsonKind::Array : m_rows[container].kind == JsonKind::Array;
    const int first = container < 0 ? 0 : m_rows[container].firstChild;
    const int count = container < 0 ? m_topCount : m_rows[container].children;
    if (array) {
        if (!rest.startsWith(QLatin1Char('['))) {
            return -1;
        }
        qsizetype close = 1;
        while (close < rest.size() && rest[close] != QLatin1Char(']')) {
            ++close;
        }
        if (close == rest.size() || close < 2) {
            return -1;
        }
        const int index = canonicalIndex(rest.sliced(1, close - 1));
        if (index < 0 || index >= count) {
            return -1;
        }
        return below(first + index, rest.sliced(close + 1));
    }
    qsizetype end = 0;
    while (end < rest.size() && rest[end] != QLatin1Char('.') && rest[end] != QLatin1Char('[')) {
        ++end;
    }
    const QStringView name = rest.first(end);
    const char16_t* stored = reinterpret_cast<const char16_t*>(m_source.constData());
    for (int child = first; child < first + count; ++child) {
        const Row& row = m_rows[child];
        if (row.nameLength == name.size() &&
            std::equal(name.utf16(), name.utf16() + name.size(), stored + row.nameStart)) {
            if (const int found = below(child, rest.sliced(end)); found >= 0) {
                return found;
            }
        }
    }
    return -1;
}

// The row itself when the path ends here, else the rest of the path below it.
int JsonReader::below(int row, QStringView rest) const {
    if (rest.isEmpty()) {
        return row;
    }
    const JsonKind kind = m_rows[row].kind;
    if (kind == JsonKind::Object && rest.startsWith(QLatin1Char('.'))) {
        return resolve(row, rest.sliced(1));
    }
    if (kind == JsonKind::Array && rest.startsWith(QLatin1Char('['))) {
        return resolve(row, rest);
    }
    return -1;
}

// Compares the row's path with the text from its last step back to the root, without
// building the path.
bool JsonReader::pathEquals(int row, QStringView path) const {
    for (;;) {
        const Row& r = m_rows[row];
        char16_t buffer[16];
        const QStringView step = stepOf(r, buffer);
        // Compared by size and content: a null path and an empty step are alike.
        if (path.size() < step.size() || path.last(step.size()) != step) {
            return false;
        }
        path.chop(step.size());
        if (r.parent < 0) {
            return path.isEmpty();
        }
        if (m_rows[r.parent].kind == JsonKind::Object) {
            if (!path.endsWith(QLatin1Char('.'))) {
                return false;
            }
            path.chop(1);
        }
        row = r.parent;
    }
}

QString JsonReader::pathOf(int row) const {
    // Built from the last step back to the root, without recursion: nesting has no limit.
    QList<int> chain;
    for (int r = row; r >= 0; r = m_rows[r].parent) {
        chain.append(r);
    }
    QString path;
    for (qsizetype i = chain.size() - 1; i >= 0; --i) {
        const Row& r = m_rows[chain[i]];
        if (r.parent >= 0 && m_rows[r.parent].kind == JsonKind::Object) {
            path += QLatin1Char('.');
        }
        char16_t buffer[16];
        path += stepOf(r, buffer);
    }
    return path;
}

QList<JsonEntry> JsonReader::entries() const {
    QList<JsonEntry> entries;
    entries.reserve(rowCount());
    for (int i = 0; i < rowCount(); ++i) {
        const Row& r = m_rows[i];
        entries.append({r.kind, pathOf(i), r.start + 1, r.length});
    }
    return entries;
}

QStringView JsonReader::valueOf(const Row& row) const {
    return QStringView(m_source).sliced(row.start, row.length);
}

QString JsonReader::getText(QStringView path, JsonKind* kind) const {
    const int row = find(path);
    if (row < 0) {
        return {};
    }
    if (kind) {
        *kind = m_rows[row].kind;
    }
    return valueOf(m_rows[row]).toString();
}

int JsonReader::count(QStringView path) const {
    if (m_rows.empty()) {
        return 0;
    }
    if (path.isEmpty()) {
        return m_topCount;
    }
    // A container's values are exactly the rows its expansion appended.
    const int row = find(path);
    return row < 0 ? 0 : m_rows[row].children;
}

int JsonReader::memberNames(QStringView path, QStringList* names) const {
    if (m_rows.empty()) {
        return 0;
    }
    if (path.isEmpty()) {
        for (int i = 0; names && i < m_topCount; ++i) {
            names->append(pathOf(i));
        }
        return m_topCount;
    }
    const int row = find(path);
    if (row < 0 || m_rows[row].kind != JsonKind::Object) {
        return 0;
    }
    int members = 0;
    const QStringView level = valueOf(m_rows[row]);
    const auto close = [&](qsizetype open) { return matchingBracket(level, open); };
    scanValues(level, close, [&](JsonKind, qsizetype, qsizetype, QStringView name) {
        ++members;
        if (names) {
            names->append(name.toString());
        }
    });
    return members;
}

JsonKind JsonReader::typeOf(QStringView path) const {
    if (m_rows.empty()) {
        return JsonKind::Null;
    }
    if (path.isEmpty()) {
        return m_rootKind;
    }
    const int row = find(path);
    return row < 0 ? JsonKind::Null : m_rows[row].kind;
}

QStringView elementMemberPath(QString& buffer, QStringView array, int index, QStringView member) {
    char16_t digits[16];
    const QStringView step = indexStep(index, digits);
    buffer.resize(array.size() + step.size() + 1 + member.size());
    char16_t* out = reinterpret_cast<char16_t*>(buffer.data());
    out = std::copy(array.utf16(), array.utf16() + array.size(), out);
    out = std::copy(step.utf16(), step.utf16() + step.size(), out);
    *out++ = u'.';
    std::copy(member.utf16(), member.utf16() + member.size(), out);
    return buffer;
}

int JsonReader::splitPath(QStringView path, QStringList& steps) {
    int found = 0;
    qsizetype i = 0;
    while (i < path.size()) {
        qsizetype end = i;
        if (path[i] == QLatin1Char('[')) {
            const qsizetype close = path.indexOf(QLatin1Char(']'), i);
            end = close < 0 ? path.size() : close + 1;
        } else {
            while (end < path.size() && path[end] != QLatin1Char('.') &&
                   path[end] != QLatin1Char('[')) {
                ++end;
            }
        }
        if (end > i) {
            steps.append(path.sliced(i, end - i).toString());
            ++found;
        }
        i = (end < path.size() && path[end] == QLatin1Char('.')) ? end + 1 : qMax(end, i + 1);
    }
    return found;
}

} // namespace skylark
