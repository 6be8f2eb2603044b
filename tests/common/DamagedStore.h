#pragma once

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTest>

namespace skylark::testing {

// Overwrites the root page of each named table or index of the SQLite file with junk, the
// way a bad sector or a stray write damages a store. The file must not be open elsewhere.
inline void overwriteRootPages(const QString& path, const QStringList& names) {
    QList<int> roots;
    int pageSize = 0;
    {
        const QString connection = QStringLiteral("damage-") + path;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
            QVERIFY(query.exec(QStringLiteral("PRAGMA page_size")) && query.next());
            pageSize = query.value(0).toInt();
            for (const QString& name : names) {
                query.prepare(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = ?"));
                query.addBindValue(name);
                QVERIFY(query.exec() && query.next());
                roots.append(query.value(0).toInt());
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    for (const int root : roots) {
        QVERIFY(root > 1);
        file.seek(qint64(root - 1) * pageSize);
        file.write(QByteArray(pageSize, '\x5a'));
    }
}

} // namespace skylark::testing
