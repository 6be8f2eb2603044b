#include "KeyFile.h"

#include "FileLock.h"
#include "SafeSave.h"

#include <QFile>
#include <QFileInfo>

namespace skylark {
namespace {

void parseInto(const QByteArray& bytes, KeyFile::Sections& sections) {
    KeyFile::Section* current = nullptr;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(u'[') && text.endsWith(u']')) {
            current = &sections[text.mid(1, text.size() - 2).trimmed()];
            continue;
        }
        const qsizetype equals = text.indexOf(u'=');
        if (current && equals > 0 && !text.startsWith(u';') && !text.startsWith(u'#')) {
            current->insert(text.left(equals).trimmed(), text.mid(equals + 1));
        }
    }
}

QByteArray bytesOf(const KeyFile::Sections& sections) {
    QByteArray bytes;
    for (auto section = sections.constBegin(); section != sections.constEnd(); ++section) {
        bytes += "[" + section.key().toUtf8() + "]\n";
        for (auto value = section->constBegin(); value != section->constEnd(); ++value) {
            bytes += value.key().toUtf8() + "=" + value.value().toUtf8() + "\n";
        }
    }
    return bytes;
}

} // namespace

KeyFile::KeyFile(QString path)
    : m_path(std::move(path)) {}

QString KeyFile::read(Sections& sections) const {
    sections.clear();
    QByteArray bytes;
    const QString error = readWholeFile(m_path, bytes, kMaxBytes);
    if (!error.isEmpty()) {
        return QFileInfo(m_path).exists() || QFileInfo(m_path).isSymLink() ? error : QString();
    }
    parseInto(bytes, sections);
    return {};
}

WriteResult KeyFile::change(const std::function<WriteResult(Sections&)>& edit) {
    const FileLock lock(m_path);
    if (!lock.locked()) {
        return WriteResult::failure(m_path, lock.reason());
    }
    removeLeftoverTemporaries(m_path);
    Sections sections;
    if (const QString error = read(sections); !error.isEmpty()) {
        return WriteResult::failure(m_path, QStringLiteral("文件存在但无法读取（%1）").arg(error));
    }
    if (WriteResult refused = edit(sections); !refused) {
        return refused;
    }
    WriteResult saved = saveFileAtomically(m_path, bytesOf(sections));
    if (saved) {
        // It may hold passwords: a file someone opened to others is closed again.
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    }
    return saved;
}

bool KeyFile::canStore(const QString& text) {
    return !text.contains(u'\n') && !text.contains(u'\r') && !text.contains(QChar(0));
}

} // namespace skylark
