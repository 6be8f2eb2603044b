#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace skylark {

// The parsed text of one private-profile (INI) file in code page 936, read and edited
// the way the Windows private-profile functions do: section and key names match
// without regard to letter case, the first of duplicate sections and keys wins, lines
// before the first section header and comment lines (";") belong to no key, and an
// edit changes only the lines it has to, so every other byte of the file stays.
class ProfileDocument {
public:
    // At most this many bytes of section names, each counted with one terminator and
    // the list with one more, are listed; names beyond it are dropped.
    static constexpr qsizetype kSectionNamesLimit = 204800;
    // At most this many bytes of a value are returned.
    static constexpr qsizetype kValueLimit = 10239;

    // Section and key names given by callers are used without the spaces around them.
    static QStringView trimmedName(QStringView name);

    ProfileDocument() = default;
    explicit ProfileDocument(QByteArray bytes);

    const QByteArray& bytes() const { return m_bytes; }

    // The section names in file order, duplicates included, within kSectionNamesLimit.
    QStringList sectionNames() const;
    bool hasSection(QStringView section) const;
    // Whether the section is among those sectionNames() lists.
    bool isListed(QStringView section) const;
    // How many sections sectionNames() lists, and how many lie beyond kSectionNamesLimit.
    qsizetype listedSectionCount() const;
    qsizetype unlistedSectionCount() const { return m_sections.size() - listedSectionCount(); }
    // The value of the key with blanks and one pair of enclosing quotes removed, cut
    // to kValueLimit bytes; nullopt when the section or key is missing.
    std::optional<QString> value(QStringView section, QStringView key) const;

    // Calls visit for every name of sectionNames(), in order, with the values of the keys
    // as value() reads them (empty text for a missing key); visit may move them away.
    // Reads each section in one pass. At most 64 keys.
    using SectionVisitor = std::function<void(QString name, QStringList& values)>;
    void forEachSection(const QStringList& keys, const SectionVisitor& visit) const;

    // The file's bytes after setting the keys in order: an existing key is replaced in
    // place, a missing key is added after the last key line of its section, a missing
    // section is appended at the end of the file. The caller has checked that every
    // text can be stored (see ProfileFile).
    QByteArray withValues(QStringView section,
                          const QList<std::pair<QString, QString>>& entries) const;
    // The file's bytes without the first section of that name: its header and key lines
    // go, comment and blank lines stay. Unchanged when there is no such section.
    QByteArray withoutSection(QStringView section) const;

private:
    enum class LineKind { Blank, Comment, Header, Key, Other };

    // Where one line lies in the bytes; parsing keeps only this for each line.
    struct Line {
        qsizetype start = 0;
        qsizetype end = 0;  // end of the text, before the line break
        qsizetype next = 0; // start of the next line
    };

    // What a line holds, worked out when a lookup or an edit needs it.
    struct LineParts {
        LineKind kind = LineKind::Blank;
        qsizetype nameStart = 0; // section name of a header, key of a key line
        qsizetype nameEnd = 0;
        qsizetype valueStart = 0;
        qsizetype valueEnd = 0;
    };

    struct Section {
        int header = 0;            // line index of the header
        int lastLine = 0;          // last line index that belongs to the section
        int canonical = 0;         // the first section of the same name, the one that is read
        int nextWithSameHash = -1; // chain of the first sections whose names share a hash
        qsizetype nameStart = 0;
        qsizetype nameEnd = 0;
    };

    struct ChainStart {
        size_t hash = 0;
        int section = -1; // the first section of the chain; -1 in a free slot
    };

    void parse();
    void addSection(int header, const LineParts& parts);
    LineParts partsOf(const Line& line) const;
    QByteArrayView bytesOf(qsizetype start, qsizetype end) const;
    const Section* findSection(QStringView name) const;
    // The slot of the chain of that hash, or the free slot where it would go.
    size_t chainSlot(size_t hash) const;
    int findKeyLine(const Section& section, QStringView key) const;
    QString valueOf(const LineParts& parts) const;
    QByteArray withValue(QStringView section, QStringView key, QStringView value) const;

    QByteArray m_bytes;
    std::vector<Line> m_lines;
    QList<Section> m_sections;
    std::vector<ChainStart> m_chainStarts; // open addressing by name hash
};

} // namespace skylark
