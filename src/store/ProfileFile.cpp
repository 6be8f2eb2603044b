#include "ProfileFile.h"

#include "FileLock.h"
#include "SafeSave.h"
#include "text/Gbk.h"

#include <QFile>

#include <sys/stat.h>
#include <time.h>

namespace skylark {
namespace {

// Time stamps of a file modified within this long of our reading it may be shared by
// a later modification (coarse file-system clocks), so such a file is compared again.
constexpr qint64 kRacyNanoseconds = 1'000'000'000;

struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modified = 0;
    qint64 changed = 0;

    bool operator==(const FileIdentity&) const = default;
};

qint64 nanoseconds(const timespec& t) {
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

qint64 wallClockNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

FileIdentity identityOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return {};
    }
    return {true,
            info.st_dev,
            info.st_ino,
            info.st_size,
            nanoseconds(info.st_mtim),
            nanoseconds(info.st_ctim)};
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v');
}

// The parser trims tabs and vertical tabs around names too; a name that has them would
// not be found again under the name it was written with.
bool hasOuterBlanks(QStringView name) {
    return !name.isEmpty() && (isBlank(name.front()) || isBlank(name.back()));
}

bool hasLineBreakOrNul(QStringView text) {
    for (QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0) {
            return true;
        }
    }
    return false;
}

QString trimTrailingSpaces(QStringView text) {
    while (!text.isEmpty() && text.back() == QLatin1Char(' ')) {
        text.chop(1);
    }
    return text.toString();
}

} // namespace

struct ProfileFile::Cache {
    std::shared_ptr<const ProfileDocument> document = std::make_shared<const ProfileDocument>();
    FileIdentity identity;
    bool trusted = false;
    QString readError; // why the existing file could not be read
};

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
    , m_cache(std::make_unique<Cache>()) {}

ProfileFile::~ProfileFile() = default;

std::shared_ptr<const ProfileDocument> ProfileFile::document() const {
    const FileIdentity identity = identityOf(m_path);
    Cache& cache = *m_cache;
    if (!identity.exists) {
        if (!cache.document->bytes().isEmpty()) {
            cache.document = std::make_shared<const ProfileDocument>();
        }
        cache.identity = identity;
        cache.trusted = false;
        cache.readError.clear();
        return cache.document;
    }
    if (cache.trusted && identity == cache.identity) {
        return cache.document;
    }

    const qint64 readStart = wallClockNow();
    QByteArray bytes;
    cache.readError = readWholeFile(m_path, bytes);
    if (!cache.readError.isEmpty()) {
        cache.document = std::make_shared<const ProfileDocument>();
        cache.identity = identity;
        cache.trusted = false;
        return cache.document;
    }
    if (bytes != cache.document->bytes()) {
        cache.document = std::make_shared<const ProfileDocument>(std::move(bytes));
    }
    cache.identity = identity;
    // The change time, unlike the modification time, cannot be set back by tools.
    cache.trusted = identity.changed + kRacyNanoseconds < readStart;
    return cache.document;
}

QStringList ProfileFile::profileSectionNames() const {
    return document()->sectionNames();
}

QString ProfileFile::readProfileString(QStringView section, QStringView key,
                                       QStringView defaultText) const {
    return document()->value(section, key).value_or(trimTrailingSpaces(defaultText));
}

QString ProfileFile::readError() const {
    document();
    return m_cache->readError;
}

WriteResult ProfileFile::writeProfileString(QStringView section, QStringView key,
                                            QStringView value) {
    return writeProfileStrings(section, {{key.toString(), value.toString()}});
}

WriteResult ProfileFile::writeProfileStrings(QStringView section,
                                             const QList<ProfileEntry>& entries) {
    const QString unstorable = QStringLiteral("含有无法保存的字符");
    section = ProfileDocument::trimmedName(section);
    if (!canStoreSectionName(section)) {
        return WriteResult::failure(m_path, unstorable);
    }
    QList<ProfileEntry> trimmed;
    trimmed.reserve(entries.size());
    for (const auto& [key, value] : entries) {
        if (!canStoreKey(key) || !canStoreValue(value)) {
            return WriteResult::failure(m_path, unstorable);
        }
        trimmed.append({ProfileDocument::trimmedName(key).toString(), value});
    }
    return edit([&](const ProfileDocument& current, QByteArray& bytes) {
        bytes = current.withValues(section, trimmed);
        return WriteResult::success();
    });
}

WriteResult ProfileFile::deleteProfileSection(QStringView section) {
    return edit([&](const ProfileDocument& current, QByteArray& bytes) {
        bytes = current.withoutSection(section);
        return WriteResult::success();
    });
}

WriteResult ProfileFile::edit(const Change& change) {
    const FileLock lock(m_path);
    if (!lock.locked()) {
        return WriteResult::failure(m_path, lock.reason());
    }
    removeLeftoverTemporaries(m_path);
    const auto current = document();
    if (!m_cache->readError.isEmpty()) {
        return WriteResult::failure(m_path, QStringLiteral("文件存在但无法读取（") +
                                                m_cache->readError + QStringLiteral("）"));
    }
    QByteArray bytes = current->bytes();
    if (WriteResult refused = change(*current, bytes); !refused) {
        return refused;
    }
    if (bytes == current->bytes() && (m_cache->identity.exists || bytes.isEmpty())) {
        return WriteResult::success();
    }
    return replaceWith(bytes);
}

WriteResult ProfileFile::replaceWith(const QByteArray& bytes) {
    if (WriteResult saved = saveFileAtomically(m_path, bytes); !saved) {
        return saved;
    }
    m_cache->document = std::make_shared<const ProfileDocument>(bytes);
    m_cache->identity = identityOf(m_path);
    m_cache->trusted = false;
    return WriteResult::success();
}

bool ProfileFile::canStoreSectionName(QStringView section) {
    section = ProfileDocument::trimmedName(section);
    return !hasOuterBlanks(section) && !hasLineBreakOrNul(section) &&
           !section.contains(QLatin1Char(']')) && encodeGbk(section).has_value();
}

bool ProfileFile::canStoreKey(QStringView key) {
    key = ProfileDocument::trimmedName(key);
    return !key.isEmpty() && !hasOuterBlanks(key) && !key.startsWith(QLatin1Char(';')) &&
           !key.startsWith(QLatin1Char('[')) && !key.contains(QLatin1Char('=')) &&
           !hasLineBreakOrNul(key) && encodeGbk(key).has_value();
}

bool ProfileFile::canStoreValue(QStringView value) {
    return !hasLineBreakOrNul(value) && encodeGbk(value).has_value();
}

} // namespace skylark
