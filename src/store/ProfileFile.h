#pragma once

#include "ProfileDocument.h"
#include "WriteResult.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include <memory>
#include <utility>

namespace skylark {

using ProfileEntry = std::pair<QString, QString>; // key, value

// One private-profile (INI) file on disk, read and written with the behaviour of the
// Windows private-profile functions, byte-compatible with the files they write
// (code page 936, CRLF line ends).
//
// Every read sees the file as it is on disk at that moment, whoever wrote it. The parsed
// file is kept between reads and trusted only while the file's identity (device,
// inode, size, change times) is unchanged and old enough that a later change could not
// share its time stamps; otherwise the bytes are read and compared again.
//
// A file that exists but cannot be read reads as empty, and every change of it fails:
// it is never replaced by what little could be read.
//
// Every change is a read-modify-write under the file's lock (see FileLock), so changes
// of several processes never overwrite each other, and replaces the whole file
// atomically after checking that every byte reached the disk. Text that cannot be stored
// and read back unchanged (a character that code page 936 lacks, CR, LF or NUL, a "]" in
// a section name, a "=" in a key or a key that would read as a comment or header) is
// refused: the write fails and the file is not touched.
class ProfileFile {
public:
    explicit ProfileFile(QString path);
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    const QString& path() const { return m_path; }

    // Section names in file order; empty when the file is missing or unreadable.
    QStringList profileSectionNames() const;
    // The value, or defaultText (without its trailing spaces) when the file, the section
    // or the key is missing.
    QString readProfileString(QStringView section, QStringView key,
                              QStringView defaultText = {}) const;
    // Why the file, which exists, cannot be read; empty when it is missing or readable.
    QString readError() const;

    // Sets one value, creating the file and the section as needed.
    WriteResult writeProfileString(QStringView section, QStringView key, QStringView value);
    // Sets several values of one section, in order, as one atomic replacement of the file.
    WriteResult writeProfileStrings(QStringView section, const QList<ProfileEntry>& entries);
    // Removes the section's header and key lines; success and nothing written when the
    // section or the file is missing.
    WriteResult deleteProfileSection(QStringView section);

    // Changes the file under its lock: change is given the file as it is now and sets the
    // new bytes, or returns a failure to leave the file as it is. The file is written only
    // when its bytes change.
    using Change = std::function<WriteResult(const ProfileDocument& current, QByteArray& bytes)>;
    WriteResult edit(const Change& change);

    // The file as it is now, parsed, for callers that read many values at once.
    std::shared_ptr<const ProfileDocument> document() const;

    static bool canStoreSectionName(QStringView section);
    static bool canStoreKey(QStringView key);
    static bool canStoreValue(QStringView value);

private:
    struct Cache;

    WriteResult replaceWith(const QByteArray& bytes);

    QString m_path;
    std::unique_ptr<Cache> m_cache;
};

} // namespace skylark
