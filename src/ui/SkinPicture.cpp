#include "SkinPicture.h"

#include "app/Settings.h"
#include "app/SkinFolder.h"
#include "text/LogCategories.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

namespace skylark::ui {

QImage decodeSkinPicture(const QByteArray& bytes, QString* reason) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(int(kMaxSkinPixels * 4 / (1024 * 1024)));
    const QSize size = reader.size();
    QString why;
    QImage image;
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxSkinPixels) {
        why = QStringLiteral("图片太大（%1 x %2 像素，最多 %3 百万像素）")
                  .arg(size.width())
                  .arg(size.height())
                  .arg(kMaxSkinPixels / 1000000);
    } else if (!reader.read(&image)) {
        why = reader.errorString();
    }
    if (reason) {
        *reason = why;
    }
    return why.isEmpty() ? image : QImage();
}

QRect coveringPart(const QSize& picture, const QSize& window) {
    if (picture.isEmpty() || window.isEmpty()) {
        return {};
    }
    // The scale that makes the picture just cover the window.
    const double scale =
        qMax(double(window.width()) / picture.width(), double(window.height()) / picture.height());
    const int width = qBound(1, qRound(window.width() / scale), picture.width());
    const int height = qBound(1, qRound(window.height() / scale), picture.height());
    return {(picture.width() - width) / 2, 0, width, height};
}

const SkinPicture& ConfiguredSkin::current() {
    const QString path = m_settings.skinPath();
    const QFileInfo file(path);
    const qint64 size = !path.isEmpty() && file.isFile() ? file.size() : -1;
    const QDateTime modified = size >= 0 ? file.lastModified() : QDateTime();
    if (m_loaded && path == m_path && size == m_size && modified == m_modified) {
        return m_picture;
    }
    m_loaded = true;
    m_path = path;
    m_size = size;
    m_modified = modified;
    const QByteArray fileBytes = size >= 0 ? SkinFolder::readPicture(path) : QByteArray();
    m_picture.fromFile = !fileBytes.isEmpty();
    m_picture.bytes = m_picture.fromFile ? fileBytes : defaultSkinPicture();
    QString reason;
    m_picture.pixmap = QPixmap::fromImage(decodeSkinPicture(m_picture.bytes, &reason));
    if (m_picture.pixmap.isNull()) {
        qCWarning(logUi).noquote() << QStringLiteral("皮肤图片 %1 无法使用：%2").arg(path, reason);
        m_picture.bytes = defaultSkinPicture();
        m_picture.pixmap = QPixmap::fromImage(decodeSkinPicture(m_picture.bytes));
    }
    return m_picture;
}

} // namespace skylark::ui
