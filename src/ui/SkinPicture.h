#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace skylark {
class Settings;
}

namespace skylark::ui {

// The most pixels a skin picture may decode to: 64 million, 256 MiB at four bytes each.
// A small file can claim a huge picture; it is refused before it is decoded.
constexpr qint64 kMaxSkinPixels = 64LL * 1000 * 1000;

// The skin picture decoded, or a null image with the reason: not a picture Qt reads, or
// larger than kMaxSkinPixels.
QImage decodeSkinPicture(const QByteArray& bytes, QString* reason = nullptr);

// The part of a picture of that size that covers a window of the size when scaled, cut
// evenly from the long side's ends and from the bottom: scaling only this part costs what
// the window's own pixels cost, however long or tall the picture.
QRect coveringPart(const QSize& picture, const QSize& window);

// A skin picture as its bytes and as decoded.
struct SkinPicture {
    QByteArray bytes;
    QPixmap pixmap;
    bool fromFile = false; // the configured file was read; else the built-in default
};

// The configured skin of the settings, or the built-in default when its file cannot be
// read or decoded, read and decoded once and again only when the setting or the file (its size or
// modification time) has changed: every framed window then shares one decoded picture.
class ConfiguredSkin {
public:
    explicit ConfiguredSkin(const Settings& settings)
        : m_settings(settings) {}

    const SkinPicture& current();

private:
    const Settings& m_settings;
    bool m_loaded = false;
    QString m_path;
    qint64 m_size = -1;
    QDateTime m_modified;
    SkinPicture m_picture;
};

} // namespace skylark::ui
