#include "common/Files.h"
#include "store/ProfileDocument.h"
#include "store/ProfileFile.h"
#include "text/Gbk.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace skylark;
using namespace skylark::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray gbk(const QString& text) {
    return *encodeGbk(text);
}

} // namespace

class TstProfileFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void read_data();
    void read();
    void forEachSection_readsWhatValueReads_data();
    void forEachSection_readsWhatValueReads();
    void sectionNames_listInFileOrderWithDuplicates();
    void sectionNames_stopAtTheByteLimit();
    void read_cutsLongValuesToTheLimit();
    void write_data();
    void write();
    void deleteSection_data();
    void deleteSection();
    void file_missingFileReadsDefaultsAndDeleteCreatesNothing();
    void file_writeCreatesTheFileInCodePage936();
    void file_writeIntoMissingFolderFails();
    void file_refusesTextThatCannotBeStored_data();
    void file_refusesTextThatCannotBeStored();
    void file_seesChangesOfOtherWriters();
    void file_severalValuesAreOneChange();
};

void TstProfileFile::read_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value"); // a null QString means "missing"

    const QByteArray plain("[App]\r\nkey=value\r\n");
    QTest::newRow("plain") << plain << u"App"_s << u"key"_s << u"value"_s;
    QTest::newRow("section in another letter case") << plain << u"aPP"_s << u"key"_s << u"value"_s;
    QTest::newRow("key in another letter case") << plain << u"App"_s << u"KEY"_s << u"value"_s;
    QTest::newRow("spaces around the arguments") << plain << u" App "_s << u" key "_s << u"value"_s;
    QTest::newRow("missing section") << plain << u"Other"_s << u"key"_s << QString();
    QTest::newRow("missing key") << plain << u"App"_s << u"other"_s << QString();
    QTest::newRow("blanks around key and value")
        << QByteArray("[S]\r\n \tk \t=  v w \t\r\n") << u"S"_s << u"k"_s << u"v w"_s;
    QTest::newRow("double quotes")
        << QByteArray("[S]\r\nk=\"a b\"\r\n") << u"S"_s << u"k"_s << u"a b"_s;
    QTest::newRow("single quotes") << QByteArray("[S]\r\nk='a'\r\n") << u"S"_s << u"k"_s << u"a"_s;
    QTest::newRow("quotes inside blanks")
        << QByteArray("[S]\r\nk= \" a \" \r\n") << u"S"_s << u"k"_s << u" a "_s;
    QTest::newRow("only one pair of quotes")
        << QByteArray("[S]\r\nk=\"\"a\"\"\r\n") << u"S"_s << u"k"_s << u"\"a\""_s;
    QTest::newRow("mismatched quotes stay")
        << QByteArray("[S]\r\nk=\"a'\r\n") << u"S"_s << u"k"_s << u"\"a'"_s;
    QTest::newRow("a lone quote stays")
        << QByteArray("[S]\r\nk=\"\r\n") << u"S"_s << u"k"_s << u"\""_s;
    QTest::newRow("empty value is not the default")
        << QByteArray("[S]\r\nk=\r\n") << u"S"_s << u"k"_s << u""_s;
    QTest::newRow("blanks around the section name")
        << QByteArray("[ section1 ]\r\nk=1\r\n") << u"section1"_s << u"k"_s << u"1"_s;
    QTest::newRow("text after ] defines no key")
        << QByteArray("[S]k=v\r\n") << u"S"_s << u"k"_s << QString();
    QTest::newRow("a header without ]")
        << QByteArray("[S\r\nk=v\r\n") << u"S"_s << u"k"_s << u"v"_s;
    QTest::newRow("lines before the first header")
        << QByteArray("k=v\r\n[S]\r\n") << QString() << u"k"_s << QString();
    QTest::newRow("a comment is no key")
        << QByteArray("[S]\r\n;k=v\r\n") << u"S"_s << u";k"_s << QString();
    QTest::newRow("# is no comment")
        << QByteArray("[S]\r\n#k=v\r\n") << u"S"_s << u"#k"_s << u"v"_s;
    QTest::newRow("; inside a value is literal")
        << QByteArray("[S]\r\nk=a ;b\r\n") << u"S"_s << u"k"_s << u"a ;b"_s;
    QTest::newRow("the first = splits")
        << QByteArray("[S]\r\nk=a=b\r\n") << u"S"_s << u"k"_s << u"a=b"_s;
    QTest::newRow("a line without = is no key")
        << QByteArray("[S]\r\nk\r\n") << u"S"_s << u"k"_s << QString();
    QTest::newRow("only the first of duplicate sections")
        << QByteArray("[S]\r\n[S]\r\nk=v\r\n") << u"S"_s << u"k"_s << QString();
    QTest::newRow("the first of duplicate keys")
        << QByteArray("[S]\r\nk=1\r\nK=2\r\n") << u"S"_s << u"k"_s << u"1"_s;
    QTest::newRow("LF line ends") << QByteArray("[A]\nk=1\n[B]\nk=2\n") << u"B"_s << u"k"_s
                                  << u"2"_s;
    QTest::newRow("lone CR line ends")
        << QByteArray("[A]\rk=1\r[B]\rk=2\r") << u"B"_s << u"k"_s << u"2"_s;
    QTest::newRow("no final line end") << QByteArray("[A]\r\nk=1") << u"A"_s << u"k"_s << u"1"_s;
    QTest::newRow("code page 936 names and values")
        << gbk(u"[航线]\r\n城市=成都\r\n"_s) << u"航线"_s << u"城市"_s << u"成都"_s;
    QTest::newRow("a second byte that is ] does not end the name")
        << gbk(u"[癩x]\r\nk=1\r\n"_s) << u"癩x"_s << u"k"_s << u"1"_s;
    QTest::newRow("full-width letters match in another case")
        << gbk(u"[Ａ]\r\nk=1\r\n"_s) << u"ａ"_s << u"k"_s << u"1"_s;
    QTest::newRow("the euro byte") << QByteArray("[S]\r\nk=\x80\r\n") << u"S"_s << u"k"_s << u"€"_s;
}

void TstProfileFile::read() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const ProfileDocument document(bytes);
    const std::optional<QString> found = document.value(section, key);
    QCOMPARE(found.has_value(), !value.isNull());
    if (found) {
        QCOMPARE(*found, value);
    }
}

void TstProfileFile::forEachSection_readsWhatValueReads_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray distinct;
    for (int i = 0; i < 5000; ++i) { // more texts than the reader keeps decoded at once
        distinct += "[s" + QByteArray::number(i) + "]\r\nk=v" + QByteArray::number(i % 3001) +
                    "\r\nj=" + QByteArray::number(i % 7) + "\r\n";
    }
    QTest::newRow("thousands of distinct values") << distinct;
    QTest::newRow("quoted and bare spellings of one text")
        << QByteArray("[a]\r\nk=\"x\"\r\nj=x\r\n[b]\r\nk=x\r\nj=\"x\"\r\n[c]\r\nk= x \r\n");
    QTest::newRow("keys out of order, in other cases, repeated")
        << QByteArray("[a]\r\nJ=1\r\nK=2\r\nk=3\r\n[b]\r\nj=4\r\n;k=5\r\nk=6\r\n");
    QTest::newRow("duplicate sections read the first")
        << QByteArray("[a]\r\nk=1\r\n[A]\r\nk=2\r\nj=3\r\n[a]\r\nj=4\r\n");
    QTest::newRow("code page 936 values")
        << encodeGbk(u"[a]\r\nk=成都\r\nj=上海\r\n[b]\r\nk=上海\r\nj=成都\r\n"_s).value();
}

void TstProfileFile::forEachSection_readsWhatValueReads() {
    QFETCH(QByteArray, bytes);
    const ProfileDocument document(bytes);
    const QStringList names = document.sectionNames();
    qsizetype visited = 0;
    document.forEachSection({u"k"_s, u"j"_s}, [&](QString name, QStringList& values) {
        QCOMPARE(name, names[visited++]);
        QCOMPARE(values[0], document.value(name, u"k").value_or(QString()));
        QCOMPARE(values[1], document.value(name, u"j").value_or(QString()));
    });
    QCOMPARE(visited, names.size());
}

void TstProfileFile::sectionNames_listInFileOrderWithDuplicates() {
    const ProfileDocument document(QByteArray(
        "k=0\r\n[2014213213343]\r\n;[x]\r\n[20141116090503]\r\n[ a ]\r\n[2014213213343]\r\n"));
    QCOMPARE(document.sectionNames(),
             (QStringList{u"2014213213343"_s, u"20141116090503"_s, u"a"_s, u"2014213213343"_s}));
}

void TstProfileFile::sectionNames_stopAtTheByteLimit() {
    QByteArray bytes;
    for (int i = 0; i < 14000; ++i) {
        bytes += '[' + QByteArray::number(20140000000000LL + i) + "]\r\n";
    }
    const QStringList names = ProfileDocument(bytes).sectionNames();
    // 14-digit names take 15 bytes each; the list keeps one byte for its own end.
    QCOMPARE(names.size(), (ProfileDocument::kSectionNamesLimit - 1) / 15);
    QCOMPARE(names.first(), u"20140000000000"_s);
    QCOMPARE(names.last(), QString::number(20140000000000LL + names.size() - 1));
}

void TstProfileFile::read_cutsLongValuesToTheLimit() {
    const QByteArray ascii(20000, 'x');
    QCOMPARE(ProfileDocument("[S]\r\nk=" + ascii + "\r\n").value(u"S", u"k")->size(),
             ProfileDocument::kValueLimit);
    // 10,239 is odd: a two-byte character is never cut in half.
    const QString chinese(8000, QChar(u'成'));
    const QString read = *ProfileDocument("[S]\r\nk=" + gbk(chinese) + "\r\n").value(u"S", u"k");
    QCOMPARE(read, QString(ProfileDocument::kValueLimit / 2, QChar(u'成')));
}

void TstProfileFile::write_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("writes"); // section, key, value, section, key, value, ...
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("an empty file gets the section and the key")
        << QByteArray() << QStringList{u"App"_s, u"key"_s, u"string"_s}
        << QByteArray("[App]\r\nkey=string\r\n");
    QTest::newRow("a new section goes at the end without a blank line")
        << QByteArray("[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4="
                      "string4\r\n")
        << QStringList{u"App3"_s, u"key5"_s, u"string5"_s}
        << QByteArray("[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4="
                      "string4\r\n"
                      "[App3]\r\nkey5=string5\r\n");
    QTest::newRow("new keys follow the last key in call order, old ones stay in place")
        << QByteArray("[S]\r\nb=value\r\na=value\r\n")
        << QStringList{u"S"_s, u"z"_s, u""_s, u"S"_s, u"b"_s, u""_s,
                       u"S"_s, u"y"_s, u""_s, u"S"_s, u"a"_s, u""_s}
        << QByteArray("[S]\r\nb=\r\na=\r\nz=\r\ny=\r\n");
    QTest::newRow("a new key goes above trailing comments and blank lines")
        << QByteArray("[S]\r\nk=1\r\n;note\r\n\r\n[T]\r\nj=2\r\n")
        << QStringList{u"S"_s, u"n"_s, u"2"_s}
        << QByteArray("[S]\r\nk=1\r\nn=2\r\n;note\r\n\r\n[T]\r\nj=2\r\n");
    QTest::newRow("a new key in an empty section follows the header")
        << QByteArray("[S]\r\n;c\r\n[T]\r\n") << QStringList{u"S"_s, u"k"_s, u"v"_s}
        << QByteArray("[S]\r\nk=v\r\n;c\r\n[T]\r\n");
    QTest::newRow("replace keeps the file's spelling and adds the line end")
        << QByteArray("[S]\r\nTestKey=TestValue")
        << QStringList{u"s"_s, u"TESTKEY"_s, u"TestValue2"_s}
        << QByteArray("[S]\r\nTestKey=TestValue2\r\n");
    QTest::newRow("replace keeps every other byte")
        << QByteArray("; top\n[A]\n k = 1 \n x\n[B]\r\nk=2\r\n")
        << QStringList{u"a"_s, u"K"_s, u"9"_s}
        << QByteArray("; top\n[A]\nk=9\r\n x\n[B]\r\nk=2\r\n");
    QTest::newRow("the value is written exactly as given")
        << QByteArray("[S]\r\n") << QStringList{u"S"_s, u"k"_s, u" \"v\" "_s}
        << QByteArray("[S]\r\nk= \"v\" \r\n");
    QTest::newRow("spaces around section and key are dropped")
        << QByteArray() << QStringList{u" S "_s, u" k "_s, u"v"_s} << QByteArray("[S]\r\nk=v\r\n");
    QTest::newRow("a file without a final line end")
        << QByteArray("[A]\r\nk=v") << QStringList{u"B"_s, u"x"_s, u"1"_s}
        << QByteArray("[A]\r\nk=v\r\n[B]\r\nx=1\r\n");
    QTest::newRow("a header without a line end")
        << QByteArray("[A]") << QStringList{u"A"_s, u"x"_s, u"1"_s} << QByteArray("[A]\r\nx=1\r\n");
    QTest::newRow("only the first of duplicate sections is written")
        << QByteArray("[S]\r\nk=1\r\n[S]\r\nk=2\r\n") << QStringList{u"S"_s, u"k"_s, u"3"_s}
        << QByteArray("[S]\r\nk=3\r\n[S]\r\nk=2\r\n");
    QTest::newRow("lines before the first header are no section")
        << QByteArray("k=1\r\n") << QStringList{QString(), u"k"_s, u"2"_s}
        << QByteArray("k=1\r\n[]\r\nk=2\r\n");
    QTest::newRow("code page 936 text")
        << QByteArray() << QStringList{u"航线"_s, u"城市"_s, u"成都 ５００€"_s}
        << gbk(u"[航线]\r\n城市=成都 ５００€\r\n"_s);
}

void TstProfileFile::write() {
    QFETCH(QByteArray, before);
    QFETCH(QStringList, writes);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"test.ini"_s);
    writeBytes(path, before);
    ProfileFile file(path);
    for (qsizetype i = 0; i + 2 < writes.size(); i += 3) {
        QVERIFY(file.writeProfileString(writes[i], writes[i + 1], writes[i + 2]));
        QCOMPARE(file.readProfileString(writes[i], writes[i + 1], u"(none)"),
                 writes[i + 2].trimmed().remove(u'"'));
    }
    QCOMPARE(readBytes(path), after);
}

void TstProfileFile::deleteSection_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("sections");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("the first section")
        << QByteArray("[App1]\r\nkey1=string1\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n")
        << QStringList{u"App1"_s} << QByteArray("[App2]\r\nkey4=string4\r\n");
    QTest::newRow("comment lines stay")
        << QByteArray(";c0\r\n[S1]\r\n;c1\r\n[S2]\r\n;c2\r\n") << QStringList{u"S1"_s, u"s2"_s}
        << QByteArray(";c0\r\n;c1\r\n;c2\r\n");
    QTest::newRow("the other sections keep every byte")
        << QByteArray("[A]\nk = 1\n[ B ]\r\nx\r\nk=2\r\n[C]\rk=3") << QStringList{u"b"_s}
        << QByteArray("[A]\nk = 1\n[C]\rk=3");
    QTest::newRow("the last section without a line end")
        << QByteArray("[A]\r\nk=1\r\n[B]\r\nk=2") << QStringList{u"B"_s}
        << QByteArray("[A]\r\nk=1\r\n");
    QTest::newRow("a missing section changes nothing")
        << QByteArray("[A]\r\nk=1\r\n") << QStringList{u"B"_s} << QByteArray("[A]\r\nk=1\r\n");
    QTest::newRow("only the first of duplicate sections")
        << QByteArray("[S]\r\nk=1\r\n[S]\r\nk=2\r\n") << QStringList{u"S"_s}
        << QByteArray("[S]\r\nk=2\r\n");
}

void TstProfileFile::deleteSection() {
    QFETCH(QByteArray, before);
    QFETCH(QStringList, sections);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"test.ini"_s);
    writeBytes(path, before);
    ProfileFile file(path);
    for (const QString& section : sections) {
        QVERIFY(file.deleteProfileSection(section));
    }
    QCOMPARE(readBytes(path), after);
}

void TstProfileFile::file_missingFileReadsDefaultsAndDeleteCreatesNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"missing.ini"_s);
    ProfileFile file(path);
    QCOMPARE(file.profileSectionNames(), QStringList());
    QCOMPARE(file.readProfileString(u"S", u"k"), QString());
    QCOMPARE(file.readProfileString(u"S", u"k", u"default  "), u"default"_s);
    QVERIFY(file.deleteProfileSection(u"S"));
    QVERIFY(!QFile::exists(path));
}

void TstProfileFile::file_writeCreatesTheFileInCodePage936() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"DATA.dat"_s);
    ProfileFile file(path);
    QVERIFY(file.writeProfileString(u"20141116090503", u"depCityName", u"成都"));
    QCOMPARE(readBytes(path), QByteArray("[20141116090503]\r\ndepCityName=\xB3\xC9\xB6\xBC\r\n"));
    QCOMPARE(ProfileFile(path).readProfileString(u"20141116090503", u"depCityName"), u"成都"_s);
}

void TstProfileFile::file_writeIntoMissingFolderFails() {
    QTemporaryDir dir;
    ProfileFile file(dir.filePath(u"no/such/folder/config.ini"_s));
    QVERIFY(!file.writeProfileString(u"S", u"k", u"v"));
    QCOMPARE(file.readProfileString(u"S", u"k"), QString());
}

void TstProfileFile::file_refusesTextThatCannotBeStored_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("an emoji in the value") << u"S"_s << u"k"_s << u"a😀"_s;
    QTest::newRow("Korean in the value") << u"S"_s << u"k"_s << u"서울"_s;
    QTest::newRow("a line feed in the value") << u"S"_s << u"k"_s << u"a\nb=c"_s;
    QTest::newRow("a carriage return in the value") << u"S"_s << u"k"_s << u"a\rb"_s;
    QTest::newRow("NUL in the value") << u"S"_s << u"k"_s << u"a\u0000b"_s;
    QTest::newRow("] in the section") << u"S]x"_s << u"k"_s << u"v"_s;
    QTest::newRow("a line feed in the section") << u"S\n[T"_s << u"k"_s << u"v"_s;
    QTest::newRow("an emoji in the section") << u"😀"_s << u"k"_s << u"v"_s;
    QTest::newRow("= in the key") << u"S"_s << u"k=x"_s << u"v"_s;
    QTest::newRow("a key that reads as a comment") << u"S"_s << u";k"_s << u"v"_s;
    QTest::newRow("a key that reads as a header") << u"S"_s << u"[k"_s << u"v"_s;
    QTest::newRow("an empty key") << u"S"_s << u"  "_s << u"v"_s;
    QTest::newRow("a key with a tab around it") << u"S"_s << u"\tk"_s << u"v"_s;
    QTest::newRow("a section with a tab around it") << u"S\t"_s << u"k"_s << u"v"_s;
}

void TstProfileFile::file_refusesTextThatCannotBeStored() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config.ini"_s);
    const QByteArray before("[S]\r\nk=old\r\n");
    writeBytes(path, before);
    ProfileFile file(path);
    QVERIFY(!file.writeProfileString(section, key, value));
    QVERIFY(!file.writeProfileStrings(section, {{u"k"_s, u"new"_s}, {key, value}}));
    QCOMPARE(readBytes(path), before);
}

void TstProfileFile::file_seesChangesOfOtherWriters() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"DATA.dat"_s);
    ProfileFile ours(path);
    ProfileFile theirs(path);
    QVERIFY(ours.writeProfileString(u"S", u"price", u"500"));
    QCOMPARE(theirs.readProfileString(u"S", u"price"), u"500"_s);

    // Another object on the same file, then another program editing the file in place
    // with the same size within the same clock tick, then the file going away.
    QVERIFY(theirs.writeProfileString(u"S", u"price", u"600"));
    QCOMPARE(ours.readProfileString(u"S", u"price"), u"600"_s);
    writeBytes(path, "[S]\r\nprice=700\r\n");
    QCOMPARE(ours.readProfileString(u"S", u"price"), u"700"_s);
    QCOMPARE(ours.readProfileString(u"S", u"price"), u"700"_s);
    writeBytes(path, "[S]\r\nprice=800\r\n");
    QCOMPARE(ours.readProfileString(u"S", u"price"), u"800"_s);
    QVERIFY(QFile::remove(path));
    QCOMPARE(ours.readProfileString(u"S", u"price", u"gone"), u"gone"_s);
    QVERIFY(ours.writeProfileString(u"T", u"k", u"v"));
    QCOMPARE(readBytes(path), QByteArray("[T]\r\nk=v\r\n"));
}

void TstProfileFile::file_severalValuesAreOneChange() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"DATA.dat"_s);
    ProfileFile file(path);
    QVERIFY(file.writeProfileStrings(u"R", {{u"a"_s, u"1"_s}, {u"b"_s, u"2"_s}, {u"A"_s, u"3"_s}}));
    QCOMPARE(readBytes(path), QByteArray("[R]\r\na=3\r\nb=2\r\n"));
    QVERIFY(!file.writeProfileStrings(u"R", {{u"c"_s, u"3"_s}, {u"d"_s, u"😀"_s}}));
    QCOMPARE(readBytes(path), QByteArray("[R]\r\na=3\r\nb=2\r\n"));
}

QTEST_GUILESS_MAIN(TstProfileFile)
#include "tst_profilefile.moc"
