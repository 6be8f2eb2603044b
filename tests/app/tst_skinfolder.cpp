#include "app/Settings.h"
#include "app/SkinFolder.h"
#include "common/Files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray kFirstSkin = "first skin bytes";
const QPoint kCross(230, 10);
const QPoint kElsewhere(100, 100);

struct Folder {
    QTemporaryDir dir;
    Settings settings{dir.path()};
    SkinFolder skins{dir.filePath(u"Skin"_s), kFirstSkin, settings};

    explicit Folder(const QStringList& names = {}) {
        QDir().mkpath(skins.folder());
        for (const QString& name : names) {
            writeBytes(path(name), name.toUtf8());
        }
    }
    QString path(const QString& name) const { return skins.folder() + u'/' + name; }
    QStringList names() const {
        QStringList names;
        for (const QString& file : skins.files()) {
            names.append(QFileInfo(file).fileName());
        }
        return names;
    }
    QString shownName() const { return QFileInfo(skins.preview().file).fileName(); }
    QString configuredName() const {
        return settings.skinPath().isEmpty() ? QString()
                                             : QFileInfo(settings.skinPath()).fileName();
    }
    void showIndex(int index) {
        while (skins.index() < index) {
            skins.next();
        }
    }
};

} // namespace

class TstSkinFolder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void open_restoresTheFirstSkinWithoutCross();
    void arrows_reachThePlaceholderAtBothEnds();
    void released_appliesOrDeletes_data();
    void released_appliesOrDeletes();
    void add_copiesIntoTheFolder_data();
    void add_copiesIntoTheFolder();
    void configuredSkin_fallsBackToTheBuiltInDefault();
    void nonRegularFiles_areNoSkins_data();
    void nonRegularFiles_areNoSkins();
    void oversizedFile_isRefused();
};

void TstSkinFolder::open_restoresTheFirstSkinWithoutCross() {
    QTemporaryDir dir; // a new installation: not even the folder
    Settings settings(dir.path());
    SkinFolder skins(dir.filePath(u"Skin"_s), kFirstSkin, settings);
    skins.open();
    QCOMPARE(readBytes(dir.filePath(u"Skin/01.jpg"_s)), kFirstSkin);
    QCOMPARE(skins.files(), QStringList{dir.filePath(u"Skin/01.jpg"_s)});
    QCOMPARE(skins.index(), 1);
    QCOMPARE(skins.preview().file, dir.filePath(u"Skin/01.jpg"_s));
    QVERIFY(!skins.preview().cross);

    Folder folder({u"Thumbs.db"_s, u"b.png"_s});
    QDir().mkpath(folder.path(u"sub"_s)); // folders are no skins
    folder.skins.open();
    QCOMPARE(folder.names(), (QStringList{u"01.jpg"_s, u"b.png"_s}));
    QVERIFY(!QFileInfo::exists(folder.path(u"Thumbs.db"_s)));
}

void TstSkinFolder::arrows_reachThePlaceholderAtBothEnds() {
    Folder folder({u"b.png"_s});
    SkinFolder& skins = folder.skins;
    skins.open();
    skins.previous();
    QCOMPARE(skins.index(), 0);
    QVERIFY(skins.preview().placeholder);
    QVERIFY(!skins.preview().previousVisible);
    QVERIFY(skins.preview().nextVisible);
    skins.next();
    QCOMPARE(folder.shownName(), u"01.jpg"_s);
    skins.next();
    QCOMPARE(folder.shownName(), u"b.png"_s);
    QVERIFY(skins.preview().cross); // deletable wherever it is shown
    QVERIFY(skins.preview().previousVisible);
    skins.next();
    QCOMPARE(skins.index(), 3);
    QVERIFY(skins.preview().placeholder);
    QVERIFY(!skins.preview().cross);
    QVERIFY(!skins.preview().nextVisible);
    skins.previous();
    QCOMPARE(folder.shownName(), u"b.png"_s);
    QVERIFY(skins.preview().nextVisible);
}

void TstSkinFolder::released_appliesOrDeletes_data() {
    QTest::addColumn<QString>("configured");
    QTest::addColumn<int>("index");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QStringList>("namesAfter");
    QTest::addColumn<QString>("shownAfter");
    QTest::addColumn<QString>("configuredAfter");
    QTest::addColumn<bool>("configuredChanged");
    QTest::newRow("cross on the first skin applies it")
        << u"b.png"_s << 1 << kCross << QStringList{u"01.jpg"_s, u"b.png"_s, u"c.png"_s}
        << u"01.jpg"_s << u"01.jpg"_s << true;
    QTest::newRow("outside the cross applies")
        << QString() << 3 << kElsewhere << QStringList{u"01.jpg"_s, u"b.png"_s, u"c.png"_s}
        << u"c.png"_s << u"c.png"_s << true;
    QTest::newRow("configured skin deleted: the next one takes its place")
        << u"b.png"_s << 2 << kCross << QStringList{u"01.jpg"_s, u"c.png"_s} << u"c.png"_s
        << u"c.png"_s << true;
    QTest::newRow("configured last skin deleted: the one before takes its place")
        << u"c.png"_s << 3 << kCross << QStringList{u"01.jpg"_s, u"b.png"_s} << u"b.png"_s
        << u"b.png"_s << true;
    QTest::newRow("another skin deleted: the configured one stays")
        << u"b.png"_s << 3 << kCross << QStringList{u"01.jpg"_s, u"b.png"_s} << u"b.png"_s
        << u"b.png"_s << false;
}

void TstSkinFolder::released_appliesOrDeletes() {
    QFETCH(QString, configured);
    QFETCH(int, index);
    QFETCH(QPoint, at);
    QFETCH(QStringList, namesAfter);
    QFETCH(QString, shownAfter);
    QFETCH(QString, configuredAfter);
    QFETCH(bool, configuredChanged);
    Folder folder({u"b.png"_s, u"c.png"_s});
    if (!configured.isEmpty()) {
        QVERIFY(folder.settings.setSkinPath(folder.path(configured)));
    }
    folder.skins.open();
    folder.showIndex(index);
    const SkinChange change = folder.skins.released(at, [] {
        QTest::qFail("no file is chosen outside the placeholder", __FILE__, __LINE__);
        return QString();
    });
    QVERIFY2(change.error.isEmpty(), qPrintable(change.error));
    QCOMPARE(folder.names(), namesAfter);
    QCOMPARE(QDir(folder.skins.folder()).entryList(QDir::Files, QDir::Name), namesAfter);
    QCOMPARE(folder.shownName(), shownAfter);
    QCOMPARE(folder.configuredName(), configuredAfter);
    QCOMPARE(change.configuredChanged, configuredChanged);
    if (configuredChanged) {
        QCOMPARE(change.framePicture, folder.settings.skinPath());
    }
    QCOMPARE(folder.skins.preview().cross, shownAfter != u"01.jpg");
}

void TstSkinFolder::add_copiesIntoTheFolder_data() {
    QTest::addColumn<QString>("chosenName"); // in a folder of its own; empty: cancelled
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QStringList>("namesAfter");
    QTest::addColumn<QString>("configuredAfter");
    QTest::addColumn<bool>("failed");
    QTest::newRow("new picture") << u"new.jpg"_s << true
                                 << QStringList{u"01.jpg"_s, u"b.png"_s, u"new.jpg"_s}
                                 << u"new.jpg"_s << false;
    QTest::newRow("existing name: overwritten, listed twice")
        << u"b.png"_s << true << QStringList{u"01.jpg"_s, u"b.png"_s, u"b.png"_s} << u"b.png"_s
        << false;
    QTest::newRow("the name after the last backslash")
        << u"x\\y.jpg"_s << true << QStringList{u"01.jpg"_s, u"b.png"_s, u"y.jpg"_s} << u"y.jpg"_s
        << false;
    QTest::newRow("cancelled") << QString() << true << QStringList{u"01.jpg"_s, u"b.png"_s}
                               << u"01.jpg"_s << false;
    QTest::newRow("unreadable picture")
        << u"gone.jpg"_s << false << QStringList{u"01.jpg"_s, u"b.png"_s} << u"01.jpg"_s << true;
    QTest::newRow("copy fails: a folder in the way")
        << u"sub"_s << true << QStringList{u"01.jpg"_s, u"b.png"_s} << u"01.jpg"_s << true;
}

void TstSkinFolder::add_copiesIntoTheFolder() {
    QFETCH(QString, chosenName);
    QFETCH(bool, readable);
    QFETCH(QStringList, namesAfter);
    QFETCH(QString, configuredAfter);
    QFETCH(bool, failed);
    Folder folder({u"b.png"_s});
    QDir().mkpath(folder.path(u"sub"_s));
    QVERIFY(folder.settings.setSkinPath(folder.path(u"01.jpg"_s)));
    QTemporaryDir elsewhere;
    const QString chosen = chosenName.isEmpty() ? QString() : elsewhere.filePath(chosenName);
    if (readable && !chosen.isEmpty()) {
        writeBytes(chosen, "new picture");
    }
    folder.skins.open();
    folder.skins.previous(); // the placeholder
    const SkinChange change = folder.skins.released(kElsewhere, [&] { return chosen; });
    QCOMPARE(!change.error.isEmpty(), failed);
    QCOMPARE(folder.names(), namesAfter);
    QCOMPARE(folder.configuredName(), configuredAfter);
    QVERIFY(QFileInfo::exists(folder.settings.skinPath()));
    QCOMPARE(change.configuredChanged, !failed && !chosen.isEmpty());
    if (change.configuredChanged) {
        QCOMPARE(readBytes(folder.settings.skinPath()), QByteArray("new picture"));
        QCOMPARE(folder.skins.index(), namesAfter.size());
        QVERIFY(folder.skins.preview().cross);
    } else {
        QVERIFY(folder.skins.preview().placeholder);
    }
}

void TstSkinFolder::configuredSkin_fallsBackToTheBuiltInDefault() {
    const QByteArray builtIn = defaultSkinPicture();
    QCOMPARE(builtIn.size(), 54 + 100 * 100 * 3);
    QVERIFY(builtIn.startsWith("BM"));
    QCOMPARE(builtIn.mid(54, 3), QByteArray("\xff\x88\x00", 3)); // blue, green, red
    Folder folder({u"b.png"_s});
    QCOMPARE(configuredSkinPicture(folder.settings), builtIn);
    QVERIFY(folder.settings.setSkinPath(folder.path(u"gone.png"_s)));
    QCOMPARE(configuredSkinPicture(folder.settings), builtIn);
    QVERIFY(folder.settings.setSkinPath(folder.path(u"b.png"_s)));
    QCOMPARE(configuredSkinPicture(folder.settings), QByteArray("b.png"));
}

void TstSkinFolder::nonRegularFiles_areNoSkins_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a FIFO") << u"fifo"_s;
    QTest::newRow("a link to a device") << u"device link"_s;
    QTest::newRow("a folder") << u"folder"_s;
}

// Never listed, never read, never waited on: a FIFO in the folder or as the configured skin
// would hold the program at its first read.
void TstSkinFolder::nonRegularFiles_areNoSkins() {
    QFETCH(QString, kind);
    Folder folder({u"b.png"_s});
    const QString odd = folder.path(u"00.png"_s);
    QVERIFY(makeSpecialFile(odd, kind));
    folder.skins.open();
    QCOMPARE(folder.names(), (QStringList{u"01.jpg"_s, u"b.png"_s}));
    QVERIFY(folder.settings.setSkinPath(odd));
    QCOMPARE(configuredSkinPicture(folder.settings), defaultSkinPicture());
    QCOMPARE(SkinFolder::readPicture(odd), QByteArray());
}

void TstSkinFolder::oversizedFile_isRefused() {
    Folder folder;
    const QString big = folder.dir.filePath(u"big.png"_s);
    QFile file(big);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(kMaxSkinFileBytes + 1)); // sparse: no disk needed
    file.close();
    QVERIFY(folder.settings.setSkinPath(big));
    QCOMPARE(configuredSkinPicture(folder.settings), defaultSkinPicture());
    folder.skins.open();
    while (!folder.skins.preview().placeholder) {
        folder.skins.next();
    }
    const SkinChange change = folder.skins.released(kElsewhere, [&] { return big; });
    QVERIFY2(change.error.contains(u"文件太大"_s), qPrintable(change.error));
    QVERIFY(!change.configuredChanged);
    QVERIFY(!QFileInfo::exists(folder.path(u"big.png"_s)));
}

QTEST_GUILESS_MAIN(TstSkinFolder)
#include "tst_skinfolder.moc"
