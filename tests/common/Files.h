#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

namespace skylark::testing {

// The file's bytes, empty when it cannot be read.
inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the file in place, the way another program would.
inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace skylark::testing
