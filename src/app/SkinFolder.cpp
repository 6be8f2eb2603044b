#include "SkinFolder.h"

#include "Settings.h"
#include "store/ProgramDirectory.h"
#include "store/SafeSave.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace skylark {
namespace {

constexpr int kDefaultSkinSide = 100;

QString fileNameOf(const QString& path) {
    const qsizetype cut = qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

} // namespace

QByteArray defaultSkinPicture() {
    constexpr int rowBytes = kDefaultSkinSide * 3; // a multiple of 4: no row padding
    constexpr int pixelBytes = rowBytes * kDefaultSkinSide;
    constexpr int headerBytes = 14 + 40;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(headerBytes + pixelBytes) << quint32(0) << quint32(headerBytes);
    out << quint32(40) << qint32(kDefaultSkinSide) << qint32(kDefaultSkinSide) << quint16(1)
        << quint16(24) << quint32(0) << quint32(pixelBytes) << qint32(2835) << qint32(2835)
        << quint32(0) << quint32(0);
    for (int pixel = 0; pixel < kDefaultSkinSide * kDefaultSkinSide; ++pixel) {
        out << quint8(255) << quint8(136) << quint8(0); // blue, green, red
    }
    return bytes;
}

QByteArray configuredSkinPicture(const Settings& settings) {
    const QString path = settings.skinPath();
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        QByteArray bytes = SkinFolder::readPicture(path);
        if (!bytes.isEmpty()) {
            return bytes;
        }
    }
    return defaultSkinPicture();
}

QByteArray SkinFolder::readPicture(const QString& path) {
    QByteArray bytes;
    return readWholeFile(path, bytes, kMaxSkinFileBytes).isEmpty() ? bytes : QByteArray();
}

QString SkinFolder::pictureFilter() {
    return QStringLiteral("图片文件(*.png;*.jpg;*.bmp;*.gif)|*.png;*.jpg;*.bmp;*.gif");
}

SkinFolder::SkinFolder(QString folder, QByteArray firstSkin, Settings& settings)
    : m_folder(std::move(folder))
    , m_firstSkin(std::move(firstSkin))
    , m_settings(settings) {}

void SkinFolder::open() {
    restoreFolder();
    list();
    show(1);
    m_preview.previousVisible = m_preview.nextVisible = true;
}

void SkinFolder::previous() {
    if (m_index > 1) {
        show(m_index - 1);
        m_preview.nextVisible = true;
    } else {
        show(0);
        m_preview.previousVisible = false;
    }
}

void SkinFolder::next() {
    if (m_index < m_files.size()) {
        show(m_index + 1);
        m_preview.previousVisible = true;
    } else {
        show(int(m_files.size()) + 1);
        m_preview.nextVisible = false;
    }
}

SkinChange SkinFolder::released(QPoint at, const std::function<QString()>& chooseFile) {
    const bool inCross = at.x() >= kCrossLeft && at.x() <= kCrossLeft + kCrossSize &&
                         at.y() >= kCrossTop && at.y() <= kCrossTop + kCrossSize;
    if (m_preview.placeholder) {
        const QString chosen = chooseFile();
        return chosen.isEmpty() ? SkinChange{} : add(chosen);
    }
    if (inCross && m_preview.cross) {
        return deleteShown();
    }
    return apply(m_preview.file);
}

// The folder is made when missing, so that the first skin always has a place.
void SkinFolder::restoreFolder() {
    makePrivateDirectory(m_folder);
    const QString first = m_folder + QStringLiteral("/01.jpg");
    if (!QFileInfo::exists(first)) {
        (void)saveFileAtomically(first, m_firstSkin);
    }
    QFile::remove(m_folder + QStringLiteral("/Thumbs.db"));
}

// By name, so that the order is the same on every file system; a save under way is no skin,
// and neither is anything but a regular file (a FIFO would hold every read).
void SkinFolder::list() {
    m_files.clear();
    const QFileInfoList entries =
        QDir(m_folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isFile() && !entry.fileName().contains(QStringLiteral(".saving-"))) {
            m_files.append(m_folder + u'/' + entry.fileName());
        }
    }
}

// The cross is drawn on every picture that may be deleted, so that a click never deletes
// through a cross the user cannot see.
void SkinFolder::show(int index) {
    m_index = index;
    m_preview.placeholder = index < 1 || index > m_files.size();
    m_preview.file = m_preview.placeholder ? QString() : m_files[index - 1];
    m_preview.cross = !m_preview.placeholder && !isFirstSkin(m_preview.file);
}

bool SkinFolder::isFirstSkin(const QString& file) const {
    return QFileInfo(file).size() == m_firstSkin.size() && readPicture(file) == m_firstSkin;
}

SkinChange SkinFolder::apply(const QString& file) {
    const WriteResult saved = m_settings.setSkinPath(file);
    if (!saved) {
        return {false, {}, saved.message()};
    }
    return {true, file, {}};
}

SkinChange SkinFolder::deleteShown() {
    restoreFolder();
    const QString shown = m_preview.file;
    const bool wasConfigured = shown == m_settings.skinPath();
    QFile file(shown);
    if (!file.remove()) {
        return {
            false, {}, QStringLiteral("无法删除皮肤图片 %1：%2").arg(shown, file.errorString())};
    }
    list();
    show(qMin(m_index, int(m_files.size())));
    m_preview.previousVisible = m_preview.nextVisible = true;
    // The settings never go on naming the deleted file: the picture shown in its place
    // becomes the skin.
    if (wasConfigured && !m_preview.placeholder) {
        return apply(m_preview.file);
    }
    return {};
}

SkinChange SkinFolder::add(const QString& chosen) {
    const QString name = fileNameOf(chosen);
    const QString target = m_folder + u'/' + name;
    if (name.isEmpty() || !Settings::canStore(target)) {
        return {false, {}, QStringLiteral("无法使用这个文件名作皮肤：%1").arg(chosen)};
    }
    QByteArray bytes;
    if (const QString reason = readWholeFile(chosen, bytes, kMaxSkinFileBytes); !reason.isEmpty()) {
        return {false, {}, QStringLiteral("无法读取图片 %1：%2").arg(chosen, reason)};
    }
    makePrivateDirectory(m_folder);
    // A failed copy leaves the list and the settings as they were: they never name a file
    // that is not there.
    const WriteResult copied = saveFileAtomically(target, bytes);
    if (!copied) {
        return {false, {}, copied.message()};
    }
    m_files.append(target);
    show(int(m_files.size()));
    m_preview.previousVisible = m_preview.nextVisible = true;
    return apply(target);
}

} // namespace skylark
