#pragma once

#include <QByteArrayView>
#include <QString>

namespace skylark {

// Replaces the file with the bytes as one step: a temporary file in the same folder is
// written, flushed to disk and renamed over the old one, and the folder is synced, so
// that a crash or power loss leaves either the old or the new file, never a torn one.
// Every data file of the program is written through this function.
bool saveFileAtomically(const QString& path, QByteArrayView bytes);

} // namespace skylark
