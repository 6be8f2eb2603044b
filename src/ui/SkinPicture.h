#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

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

} // namespace skylark::ui
