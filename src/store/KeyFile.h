#pragma once

#include "WriteResult.h"

#include <QMap>
#include <QString>

#include <functional>

namespace skylark {

// A settings file of the program's own (not one of the Windows profile files): UTF-8,
// "[section]" headers and "key=value" lines, values kept byte for byte after the "=" (a
// password may begin with a space). Reads never wait on a FIFO or read a huge file; every
// change is a read-modify-write under the file's lock with the safe save, and leaves the
// file readable by its owner alone, for it may hold secrets.
class KeyFile {
public:
    using Section = QMap<QString, QString>;
    using Sections = QMap<QString, Section>;

    static constexpr qint64 kMaxBytes = 1024 * 1024;
    // What a change reads at most: a file over kMaxBytes can still be mended.
    static constexpr qint64 kRepairBytes = 16 * kMaxBytes;

    explicit KeyFile(QString path);

    const QString& path() const { return m_path; }

    // The file's sections, none when it is missing; the reason when it exists but cannot
    // be read (then sections is left empty).
    QString read(Sections& sections) const;
    // Changes the file under its lock: edit gets the sections as they are now and changes
    // them, or returns a failure to leave the file as it is.
    WriteResult change(const std::function<WriteResult(Sections&)>& edit);

    // False for text a line cannot hold: a line break or a NUL.
    static bool canStore(const QString& text);

private:
    QString m_path;
};

} // namespace skylark
