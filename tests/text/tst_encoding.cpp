#include "text/Encoding.h"
#include "text/Gbk.h"
#include "text/Url.h"

#include <QTest>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

class TstEncoding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void urlEncodeUtf8_data();
    void urlEncodeUtf8();
    void urlEncodeGbk_data();
    void urlEncodeGbk();
    void utf8ToAnsi_data();
    void utf8ToAnsi();
    void gbkToUtf8_givesTheUtf8BytesUpToNul();
    void gbk_matchesTheWindowsCodePage_data();
    void gbk_matchesTheWindowsCodePage();
    void gbk_decodesBrokenBytesAsReplacement();
    void gbk_refusesCharactersItLacks();
    void hostPathPort_data();
    void hostPathPort();
};

void TstEncoding::urlEncodeUtf8_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("北京") << u"北京"_s << u"%E5%8C%97%E4%BA%AC"_s;
    QTest::newRow("上海") << u"上海"_s << u"%E4%B8%8A%E6%B5%B7"_s;
    QTest::newRow("a date") << u"2014-12-01"_s << u"2014%2D12%2D01"_s;
    QTest::newRow("plus") << u"+"_s << u"%2B"_s;
    QTest::newRow("space, letters and digits pass") << u"a Z 9"_s << u"a Z 9"_s;
    QTest::newRow("TAB, LF and CR") << u"\t\n\r"_s << u"%09%0A%0D"_s;
    QTest::newRow("other control characters pass")
        << u"\u0001\u001F\u007F"_s << u"\u0001\u001F\u007F"_s;
    QTest::newRow("hyphen, underscore, full stop, tilde") << u"-_.~"_s << u"%2D%5F%2E%7E"_s;
    QTest::newRow("every punctuation range") << u"!/:@[`{~"_s << u"%21%2F%3A%40%5B%60%7B%7E"_s;
    QTest::newRow("the euro sign") << u"€"_s << u"%E2%82%AC"_s;
    QTest::newRow("the text ends at NUL") << u"a\u0000b"_s << u"a"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TstEncoding::urlEncodeUtf8() {
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QCOMPARE(skylark::urlEncodeUtf8(text), encoded);
}

void TstEncoding::urlEncodeGbk_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("北京") << u"北京"_s << u"%B1%B1%BE%A9"_s;
    QTest::newRow("上海") << u"上海"_s << u"%C9%CF%BA%A3"_s;
    QTest::newRow("成都") << u"成都"_s << u"%B3%C9%B6%BC"_s;
    QTest::newRow("space") << u" "_s << u"%20"_s;
    QTest::newRow("hyphen and underscore") << u"-_"_s << u"%2D%5F"_s;
    QTest::newRow("a control character gets a leading 0") << u"\u0001"_s << u"%01"_s;
    QTest::newRow("letters and digits pass") << u"aZ09"_s << u"aZ09"_s;
    // 丂 is 81 40 and 丄 81 41: a second byte that is an ASCII letter stays a letter.
    QTest::newRow("a second byte that is punctuation is escaped") << u"丂"_s << u"%81%40"_s;
    QTest::newRow("a second byte that is a letter stays") << u"丄"_s << u"%81A"_s;
    QTest::newRow("the euro sign is one byte") << u"€"_s << u"%80"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TstEncoding::urlEncodeGbk() {
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QCOMPARE(skylark::urlEncodeGbk(text), encoded);
}

void TstEncoding::utf8ToAnsi_data() {
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QString>("text");
    QTest::newRow("Chinese") << u"成都"_s.toUtf8() << u"成都"_s;
    QTest::newRow("ends at the first NUL") << QByteArray("ab\0cd", 5) << u"ab"_s;
    QTest::newRow("a character the code page lacks") << u"a😀b"_s.toUtf8() << u"a?b"_s;
    QTest::newRow("a Korean syllable the code page lacks") << u"한"_s.toUtf8() << u"?"_s;
    QTest::newRow("invalid UTF-8") << QByteArray("a\xFF"
                                                 "b")
                                   << u"a?b"_s;
    QTest::newRow("empty") << QByteArray() << QString();
}

void TstEncoding::utf8ToAnsi() {
    QFETCH(QByteArray, utf8);
    QFETCH(QString, text);
    QCOMPARE(skylark::utf8ToAnsi(utf8), text);
}

void TstEncoding::gbkToUtf8_givesTheUtf8BytesUpToNul() {
    QCOMPARE(gbkToUtf8(u"特价 500"), u"特价 500"_s.toUtf8());
    QCOMPARE(gbkToUtf8(u"a\u0000b"), QByteArray("a"));
    QCOMPARE(gbkToUtf8(u""), QByteArray());
}

void TstEncoding::gbk_matchesTheWindowsCodePage_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << u"abc=1"_s << QByteArray("abc=1");
    QTest::newRow("cities") << u"成都上海"_s << QByteArray("\xB3\xC9\xB6\xBC\xC9\xCF\xBA\xA3");
    QTest::newRow("0x80 is the euro sign") << u"€"_s << QByteArray("\x80");
    QTest::newRow("full-width digits") << u"５００"_s << QByteArray("\xA3\xB5\xA3\xB0\xA3\xB0");
    QTest::newRow("full-width space") << u"\u3000"_s << QByteArray("\xA1\xA1");
    QTest::newRow("a second byte that is ]") << u"癩"_s << QByteArray("\xB0\x5D");
    QTest::newRow("Latin with accent") << u"é"_s << QByteArray("\xA8\xA6");
}

void TstEncoding::gbk_matchesTheWindowsCodePage() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeGbk(text), std::optional<QByteArray>(bytes));
    QCOMPARE(decodeGbk(bytes), text);
    QCOMPARE(gbkLength(text), bytes.size());
}

void TstEncoding::gbk_decodesBrokenBytesAsReplacement() {
    QCOMPARE(decodeGbk(QByteArray("\x81")), u"\uFFFD"_s);
    QCOMPARE(decodeGbk(QByteArray("\x81 a")), u"\uFFFD a"_s);
    QCOMPARE(decodeGbk(QByteArray("a\xB3")), u"a\uFFFD"_s);
}

void TstEncoding::gbk_refusesCharactersItLacks() {
    QVERIFY(!encodeGbk(u"a😀").has_value());
    QVERIFY(!encodeGbk(u"한").has_value());
    QCOMPARE(encodeGbkLossy(u"a😀b한"), QByteArray("a?b?"));
    QCOMPARE(gbkLength(u"a😀成"), 4);
    QVERIFY(isGbkText(u"成都 ５００€"));
    QVERIFY(!isGbkText(u"\uFFFD"));
}

void TstEncoding::hostPathPort_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("hostWithPort");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("port");
    QTest::newRow("upper-case host with port 8080 and a query")
        << u"http://Relay.Example.COM:8080/get_city_code.php?depCity=a&arrCity=b"_s
        << u"relay.example.com"_s << u"relay.example.com:8080"_s
        << u"/get_city_code.php?depCity=a&arrCity=b"_s << 8080;
    QTest::newRow("no port is 80") << u"http://a.b/x"_s << u"a.b"_s << u"a.b"_s << u"/x"_s << 80;
    QTest::newRow("ends right after the host")
        << u"http://a.b"_s << u"a.b"_s << u"a.b"_s << u"/"_s << 80;
    QTest::newRow("ends right after the port")
        << u"http://a.b:81"_s << u"a.b"_s << u"a.b:81"_s << u"/"_s << 81;
    QTest::newRow("no scheme") << u"a.b:9/p"_s << u"a.b"_s << u"a.b:9"_s << u"/p"_s << 9;
    QTest::newRow("the scheme is matched in exact case")
        << u"HTTP://a.b/p"_s << u"http"_s << u"http:"_s << u"//a.b/p"_s << 0;
    QTest::newRow("a port that is not a number")
        << u"http://a.b:x/p"_s << u"a.b"_s << u"a.b:x"_s << u"/p"_s << 0;
    QTest::newRow("a port followed by a query")
        << u"http://a.b:8080?q=1"_s << u"a.b"_s << u"a.b:8080?q=1"_s << u"/"_s << 8080;
    QTest::newRow("a host that is part of the scheme")
        << u"http://tp/x"_s << u"tp"_s << u"tp"_s << u"/x"_s << 80;
    QTest::newRow("a host named like the scheme")
        << u"http://http:81/a"_s << u"http"_s << u"http:81"_s << u"/a"_s << 81;
    QTest::newRow("a host that also appears in the path")
        << u"http://x/x/y"_s << u"x"_s << u"x"_s << u"/x/y"_s << 80;
}

void TstEncoding::hostPathPort() {
    QFETCH(QString, url);
    QFETCH(QString, host);
    QFETCH(QString, hostWithPort);
    QFETCH(QString, path);
    QFETCH(int, port);
    QCOMPARE(hostOf(url, false), host);
    QCOMPARE(hostOf(url, true), hostWithPort);
    QCOMPARE(pathOf(url), path);
    QCOMPARE(portOf(url), port);
}

QTEST_GUILESS_MAIN(TstEncoding)
#include "tst_encoding.moc"
