#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace skylark {

enum class JsonKind {
    None = 0,
    Object = 1,
    Array = 2,
    String = 3,
    Number = 4,
    Boolean = 5,
    Null = 6
};

// One value of the document: its kind, its full access path (data[0].price) and where
// its text lies in the reader's source (start is 1-based).
struct JsonEntry {
    JsonKind kind = JsonKind::Null;
    QString path;
    qsizetype start = 0;
    qsizetype length = 0;

    bool operator==(const JsonEntry&) const = default;
};

// A forgiving reader that flattens one JSON text into rows, one per value at every depth,
// by scanning for brackets, quotes and value starts rather than following the grammar:
// escapes are not decoded, numbers are not converted, and the text around the root's
// brackets (a JSONP wrapper) is ignored. Rows come level by level: the root's values in
// document order, then the values of all second-level containers, and so on.
//
// Parsing takes time linear in the text, however deep it nests. A text of more than
// kMaxValues values is not read at all: no answer the program asks for comes near it,
// and a hostile one must not take the memory of a row for every bracket.
class JsonReader {
public:
    static constexpr int kMaxValues = 1 << 20;

    // Empties the reader and reads the text; true when at least one value was found and
    // there were at most kMaxValues.
    bool parse(QStringView text);
    void clear();
    JsonReader copy() const { return *this; }

    // The text from the root's opening to its closing bracket; empty when nothing parsed.
    QString sourceText() const;
    // The value text of the first row with exactly this path (a string without its
    // quotes, a container with its brackets, anything else as written); empty when no
    // row has the path, and then kind is left alone.
    QString getText(QStringView path, JsonKind* kind = nullptr) const;
    // Members of an object or elements of an array at the path; with an empty path the
    // number of root values; 0 for anything else.
    int count(QStringView path = {}) const;
    // The number of members of the object at the path and, when names is given, their
    // names in document order; with an empty path the root values and their paths.
    int memberNames(QStringView path, QStringList* names = nullptr) const;
    // The kind at the path; with an empty path the root's kind; Null when the path is not
    // in the table or nothing is parsed.
    JsonKind typeOf(QStringView path) const;

    // The rows in table order, with their full paths.
    QList<JsonEntry> entries() const;
    JsonKind rootKind() const { return m_rootKind; }
    int topCount() const { return m_topCount; }
    // How many rows the table holds, values of every depth.
    int rowCount() const { return int(m_rows.size()); }

    // The steps of a path: member names and "[i]" groups; returns their number.
    static int splitPath(QStringView path, QStringList& steps);
    // Appends the rows of one object or array level (its direct values only) with paths
    // under prefix and positions offset by base; returns how many it appended.
    static int scanLevel(QStringView level, QList<JsonEntry>& rows, QStringView prefix,
                         qsizetype base);

private:
    // One row as kept inside: the path is not stored but known through the parent row and
    // the step below it (a member name in the source, or an element index), and its hash.
    // Positions are 32-bit: a source is at most a few megabytes (bodies are capped at 32 MiB).
    struct Row {
        JsonKind kind;
        int parent;   // -1 at the root level
        qint32 start; // 0-based in the source
        qint32 length;
        qint32 nameStart; // -1 for an array element
        qint32 nameLength;
        int index;          // the element index of an array element
        int firstChild = 0; // a container's values are rows firstChild to firstChild + children - 1
        int children = 0;
    };

    void appendLevel(int parent);
    void indexRows();
    int find(QStringView path) const;
    int resolve(int container, QStringView rest) const;
    int below(int row, QStringView rest) const;
    QStringView stepOf(const Row& row, char16_t (&buffer)[16]) const;
    bool pathEquals(int row, QStringView path) const;
    QString pathOf(int row) const;
    QStringView valueOf(const Row& row) const;

    QString m_source;
    std::vector<qint32> m_closing; // while parsing: the closing bracket of each opening one
    std::vector<Row> m_rows;
    bool m_plainNames = true;         // no member name holds "." or "["
    QList<int> m_slots;               // open addressing: the first row of each path, by hash
    std::vector<size_t> m_pathHashes; // of each row's path, kept only when the table is indexed
    JsonKind m_rootKind = JsonKind::None;
    int m_topCount = 0;
};

// Writes array + "[" + index + "]." + member (data[12].price) into buffer, reusing its
// memory, and returns it.
QStringView elementMemberPath(QString& buffer, QStringView array, int index, QStringView member);

} // namespace skylark
