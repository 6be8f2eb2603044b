#include "JsonReader.h"

namespace skylark {
namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The index of the bracket that closes the one at `open`, counting only that kind of
// bracket; -1 when the text ends first.
qsizetype matchingBracket(QStringView text, qsizetype open) {
    const QChar opening = text[open];
    const QChar closing = opening == QLatin1Char('{') ? QLatin1Char('}') : QLatin1Char(']');
    int depth = 0;
    for (qsizetype i = open; i < text.size(); ++i) {
        if (text[i] == opening) {
            ++depth;
        } else if (text[i] == closing && --depth == 0) {
            return i;
        }
    }
    return -1;
}

bool wordAt(QStringView text, qsizetype at, QLatin1StringView word) {
    return text.size() - at >= word.size() &&
           text.sliced(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// Walks one level and calls found(kind, index, length, name) for each direct value,
// where index is 0-based in the level text and name is the member name on an object
// level (empty on an array level).
template <typename Found>
void scanValues(QStringView level, Found&& found) {
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
                const qsizetype close = level.indexOf(QLatin1Char('"'), i + 1);
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
            const qsizetype close = matchingBracket(level, i);
            if (close < 0) {
                return;
            }
            kind = c == QLatin1Char('{') ? JsonKind::Object : JsonKind::Array;
            length = close - i + 1;
            next = close + 1;
        } else if (c == QLatin1Char('"')) {
            const qsizetype close = level.indexOf(QLatin1Char('"'), i + 1);
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
    scanValues(level, [&](JsonKind kind, qsizetype start, qsizetype length, QStringView name) {
        QString path;
        if (object) {
            path.reserve(prefix.size() + name.size());
            path.append(prefix).append(name);
        } else {
            const QString number = QString::number(index);
            path.reserve(prefix.size() + number.size() + 2);
            path.append(prefix).append(QLatin1Char('[')).append(number).append(QLatin1Char(']'));
        }
        ++index;
        rows.append({kind, std::move(path), base + start + 1, length});
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
    if (close <= open) {
        return false;
    }
    m_source = text.sliced(open, close - open + 1).toString();

    m_topCount = scanLevel(m_source, m_entries, {}, 0);
    qsizetype levelStart = 0;
    qsizetype levelEnd = m_entries.size();
    while (levelStart < levelEnd) {
        for (qsizetype i = levelStart; i < levelEnd; ++i) {
            const JsonEntry& row = m_entries[i];
            if (row.kind != JsonKind::Object && row.kind != JsonKind::Array) {
                continue;
            }
            // Copies: appending may move the rows.
            const QString prefix =
                row.kind == JsonKind::Object ? row.path + QLatin1Char('.') : row.path;
            const qsizetype start = row.start;
            const qsizetype length = row.length;
            scanLevel(QStringView(m_source).sliced(start - 1, length), m_entries, prefix,
                      start - 1);
        }
        levelStart = levelEnd;
        levelEnd = m_entries.size();
    }

    if (m_entries.isEmpty()) {
        clear();
        return false;
    }
    m_rootKind = array ? JsonKind::Array : JsonKind::Object;
    m_firstRowByPath.reserve(m_entries.size());
    for (int i = 0; i < m_entries.size(); ++i) {
        if (!m_firstRowByPath.contains(m_entries[i].path)) {
            m_firstRowByPath.insert(m_entries[i].path, i);
        }
    }
    return true;
}

void JsonReader::clear() {
    m_source.clear();
    m_entries.clear();
    m_firstRowByPath.clear();
    m_rootKind = JsonKind::None;
    m_topCount = 0;
}

QString JsonReader::sourceText() const {
    return m_entries.isEmpty() ? QString() : m_source;
}

const JsonEntry* JsonReader::find(QStringView path) const {
    const auto it = m_firstRowByPath.constFind(path.toString());
    return it == m_firstRowByPath.constEnd() ? nullptr : &m_entries[*it];
}

QStringView JsonReader::valueOf(const JsonEntry& entry) const {
    return QStringView(m_source).sliced(entry.start - 1, entry.length);
}

QString JsonReader::getText(QStringView path, JsonKind* kind) const {
    const JsonEntry* entry = find(path);
    if (!entry) {
        return {};
    }
    if (kind) {
        *kind = entry->kind;
    }
    return valueOf(*entry).toString();
}

int JsonReader::count(QStringView path) const {
    if (m_entries.isEmpty()) {
        return 0;
    }
    if (path.isEmpty()) {
        return m_topCount;
    }
    const JsonEntry* entry = find(path);
    if (!entry || (entry->kind != JsonKind::Object && entry->kind != JsonKind::Array)) {
        return 0;
    }
    int values = 0;
    scanValues(valueOf(*entry), [&](JsonKind, qsizetype, qsizetype, QStringView) { ++values; });
    return values;
}

int JsonReader::memberNames(QStringView path, QStringList* names) const {
    if (m_entries.isEmpty()) {
        return 0;
    }
    if (path.isEmpty()) {
        if (names) {
            for (int i = 0; i < m_topCount; ++i) {
                names->append(m_entries[i].path);
            }
        }
        return m_topCount;
    }
    const JsonEntry* entry = find(path);
    if (!entry || entry->kind != JsonKind::Object) {
        return 0;
    }
    int members = 0;
    scanValues(valueOf(*entry), [&](JsonKind, qsizetype, qsizetype, QStringView name) {
        ++members;
        if (names) {
            names->append(name.toString());
        }
    });
    return members;
}

JsonKind JsonReader::typeOf(QStringView path) const {
    if (m_entries.isEmpty()) {
        return JsonKind::Null;
    }
    if (path.isEmpty()) {
        return m_rootKind;
    }
    const JsonEntry* entry = find(path);
    return entry ? entry->kind : JsonKind::Null;
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
