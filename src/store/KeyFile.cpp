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
    // A file over the limit can still be changed, so that clearing a value repairs it.
    QByteArray old;
    if (const QString error = readWholeFile(m_path, old, kRepairBytes);
        !error.isEmpty() && (QFileInfo(m_path).exists() || QFileInfo(m_path).isSymLink())) {
        return WriteResult::failure(m_path, QStringLiteral("文件存在但无法读取（%1）").arg(error));
    }
    parseInto(old, sections);
    if (WriteResult refused = edit(sections); !refused) {
        return refused;
    }
    const QByteArray bytes = bytesOf(sections);
    if (bytes.size() > kMaxBytes) {
        return WriteResult::failure(
            m_path, QStringLiteral("保存后文件将有 %1 字节，超过 %2 字节的上限，未保存")
                        .arg(bytes.size())
                        .arg(kMaxBytes));
    }
    // It may hold passwords: its owner's alone from the temporary's first byte on.
    return saveFileAtomically(m_path, bytes, SaveCalls::system(), FilePrivacy::Secrets);
}

bool KeyFile::canStore(const QString& text) {
    return !text.contains(u'\n') && !text.contains(u'\r') && !text.contains(QChar(0));
}

} // namespace skylark
