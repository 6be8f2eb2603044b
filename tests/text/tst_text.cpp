#include "text/Text.h"

#include <QLocale>
#include <QTest>

#include <clocale>
#include <cmath>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

class TstText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textToNumber_readsLikeAtofAfterFolding_data();
    void textToNumber_readsLikeAtofAfterFolding();
    void textToNumber_ignoresTheApplicationLocale();
    void tolerance_data();
    void tolerance();
    void splitFields_data();
    void splitFields();
    void removeBlanks_removesOnlyAsciiAndFullWidthSpaces();
    void textBetween_data();
    void textBetween();
    void containsIgnoringCase_findsWhatQtFinds_data();
    void containsIgnoringCase_findsWhatQtFinds();
};

void TstText::textToNumber_readsLikeAtofAfterFolding_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::newRow("a plain integer") << u"500"_s << 500.0;
    QTest::newRow("a unit after the number is ignored") << u"500元"_s << 500.0;
    QTest::newRow("full-width digits read as digits") << u"５００"_s << 500.0;
    QTest::newRow("full-width point, minus and digits") << u"－１２．５"_s << -12.5;
    QTest::newRow("full-width space is a leading blank") << u"\u3000 42"_s << 42.0;
    QTest::newRow("text without a number is 0") << u"未找到"_s << 0.0;
    QTest::newRow("empty text is 0") << QString() << 0.0;
    QTest::newRow("leading blanks of the C locale are skipped") << u" \t\n\v\f\r7"_s << 7.0;
    QTest::newRow("a plus sign") << u"+3"_s << 3.0;
    QTest::newRow("a lone sign is 0") << u"-"_s << 0.0;
    QTest::newRow("a lone point is 0") << u"."_s << 0.0;
    QTest::newRow("a point without leading digits") << u".5"_s << 0.5;
    QTest::newRow("a trailing point") << u"5."_s << 5.0;
    QTest::newRow("an exponent") << u"2e3"_s << 2000.0;
    QTest::newRow("an upper-case exponent with sign") << u"25E-1"_s << 2.5;
    QTest::newRow("an exponent without digits stops before the e") << u"2e"_s << 2.0;
    QTest::newRow("an exponent sign without digits stops before the e") << u"2e+x"_s << 2.0;
    QTest::newRow("a second point ends the number") << u"1.5.3"_s << 1.5;
    QTest::newRow("no hexadecimal") << u"0x10"_s << 0.0;
    QTest::newRow("no infinity") << u"inf"_s << 0.0;
    QTest::newRow("no nan") << u"nan"_s << 0.0;
    QTest::newRow("a comma is no decimal point") << u"1,5"_s << 1.0;
    QTest::newRow("full-width letters fold but do not make a number") << u"ａｂｃ"_s << 0.0;
    QTest::newRow("a full-width exponent") << u"１ｅ２"_s << 100.0;
    QTest::newRow("a double-byte character stops the number") << u"12元3"_s << 12.0;
    QTest::newRow("the text ends at NUL") << QString(u"12\u00003"_s) << 12.0;
    QTest::newRow("overflow gives infinity") << u"1e999"_s << HUGE_VAL;
    QTest::newRow("underflow gives 0") << u"1e-999"_s << 0.0;
}

void TstText::textToNumber_readsLikeAtofAfterFolding() {
    QFETCH(QString, text);
    QFETCH(double, number);
    QCOMPARE(textToNumber(text), number);
}

void TstText::textToNumber_ignoresTheApplicationLocale() {
    // A locale whose decimal separator is a comma: Qt's default always, the C library's
    // too where the machine has German locale data.
    const QLocale savedDefault;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const QByteArray saved = old ? QByteArray(old) : QByteArray("C");
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const double point = textToNumber(u"0.5");
    const double comma = textToNumber(u"0,5");
    std::setlocale(LC_NUMERIC, saved.constData());
    QLocale::setDefault(savedDefault);
    QCOMPARE(point, 0.5);
    QCOMPARE(comma, 0.0);
}

void TstText::tolerance_data() {
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<bool>("zero");
    QTest::addColumn<bool>("equal");
    QTest::addColumn<bool>("atMost");
    QTest::newRow("exactly the tolerance counts as zero") << 1e-7 << 0.0 << true << true << true;
    QTest::newRow("just above the tolerance is not zero")
        << 1.1e-7 << 0.0 << false << false << false;
    QTest::newRow("a negative within the tolerance is zero")
        << -1e-7 << 0.0 << true << true << true;
    QTest::newRow("within the tolerance is equal")
        << 500.00000005 << 500.0 << false << true << true;
    QTest::newRow("beyond the tolerance is greater")
        << 500.0000002 << 500.0 << false << false << false;
    QTest::newRow("below is at most") << 499.0 << 500.0 << false << false << true;
    QTest::newRow("0.0000001 above 500 still counts as equal")
        << 500.0000001 << 500.0 << false << true << true;
    QTest::newRow("0.0000002 above 500 does not")
        << 500.0000002 << 500.0 << false << false << false;
}

void TstText::tolerance() {
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(bool, zero);
    QFETCH(bool, equal);
    QFETCH(bool, atMost);
    QCOMPARE(nearlyZero(a), zero);
    QCOMPARE(nearlyEqual(a, b), equal);
    QCOMPARE(skylark::atMost(a, b), atMost);
}

void TstText::splitFields_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("two fields") << u"2.3*x"_s << u"*"_s << QStringList{u"2.3"_s, u"x"_s};
    QTest::newRow("an empty rest is no field") << u"2.3*"_s << u"*"_s << QStringList{u"2.3"_s};
    QTest::newRow("a lone separator is one empty field")
        << u"*"_s << u"*"_s << QStringList{QString()};
    QTest::newRow("empty inner fields count")
        << u"a**b"_s << u"*"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("an empty text has no fields") << QString() << u"&"_s << QStringList{};
    QTest::newRow("no separator is one field") << u"2.3"_s << u"*"_s << QStringList{u"2.3"_s};
    QTest::newRow("relay answer") << u"true&domestic"_s << u"&"_s
                                  << QStringList{u"true"_s, u"domestic"_s};
    QTest::newRow("relay answer without kind") << u"true&"_s << u"&"_s << QStringList{u"true"_s};
    // 0x5C is the second byte of 乗 (81 5C) in code page 936.
    QTest::newRow("a separator byte inside a character never matches")
        << u"乗\\x"_s << u"\\"_s << QStringList{u"乗"_s, u"x"_s};
}

void TstText::splitFields() {
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(QStringList, fields);
    QCOMPARE(skylark::splitFields(text, separator), fields);
}

void TstText::removeBlanks_removesOnlyAsciiAndFullWidthSpaces() {
    QCOMPARE(removeBlanks(u" 成\u3000都 "), u"成都"_s);
    QCOMPARE(removeBlanks(u"a\tb\u00A0c"), u"a\tb\u00A0c"_s);
    QCOMPARE(removeBlanks(u"５ ０\u3000０"), u"５００"_s);
}

void TstText::textBetween_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("between");
    QTest::newRow("parentheses") << u"a(b)c"_s << u"("_s << u")"_s << u"b"_s;
    QTest::newRow("no right marker after the left one")
        << u"a)b(c"_s << u"("_s << u")"_s << QString();
    QTest::newRow("right marker right after the left one")
        << u"a()c"_s << u"("_s << u")"_s << QString();
    QTest::newRow("no left marker") << u"abc)"_s << u"("_s << u")"_s << QString();
    QTest::newRow("first occurrences count") << u"x(1)(2)"_s << u"("_s << u")"_s << u"1"_s;
    QTest::newRow("case matters") << u"A(b)"_s << u"a("_s << u")"_s << QString();
    QTest::newRow("cookie value with attributes")
        << u"Set-Cookie: sid=abc; path=/"_s << u"="_s << u";"_s << u"abc"_s;
    QTest::newRow("cookie line without attributes")
        << u"Set-Cookie: sid=abc"_s << u"="_s << u";"_s << QString();
    QTest::newRow("empty right marker takes the rest")
        << u"k=v=w"_s << u"="_s << QString() << u"v=w"_s;
    QTest::newRow("empty right marker, left absent") << u"kv"_s << u"="_s << QString() << QString();
    QTest::newRow("empty left marker takes the start")
        << u"cb(x)"_s << QString() << u"("_s << u"cb"_s;
    QTest::newRow("empty left marker, right absent") << u"cb"_s << QString() << u"("_s << QString();
    QTest::newRow("both empty is the whole text") << u"abc"_s << QString() << QString() << u"abc"_s;
    QTest::newRow("JSONP") << u"cb({\"a\":1})"_s << u"("_s << u")"_s << u"{\"a\":1}"_s;
}

void TstText::textBetween() {
    QFETCH(QString, text);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, between);
    QCOMPARE(skylark::textBetween(text, left, right), between);
}

void TstText::containsIgnoringCase_findsWhatQtFinds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("found");
    QTest::newRow("same case") << u"Accept: */*\r\n"_s << u"Accept: "_s << true;
    QTest::newRow("other case") << u"x\r\nREFERER: http://a\r\n"_s << u"Referer: "_s << true;
    QTest::newRow("at the very end") << u"a: b\r\nExpect:"_s << u"expect:"_s << true;
    QTest::newRow("only a prefix present") << u"Accept-Lang"_s << u"Accept-Language: "_s << false;
    QTest::newRow("letters only fold among letters") << u"Accept; "_s << u"Accept: "_s << false;
    QTest::newRow("word longer than the text") << u"Ex"_s << u"Expect:"_s << false;
    QTest::newRow("empty text") << QString() << u"Accept: "_s << false;
    QTest::newRow("empty word") << u"abc"_s << QString() << true;
    QTest::newRow("non-ASCII text, found") << u"城市\r\nACCEPT: 上海"_s << u"Accept: "_s << true;
    QTest::newRow("non-ASCII text, absent") << u"城市 Acc ept"_s << u"Accept"_s << false;
    // Qt folds the Kelvin sign to "k": the search must agree.
    QTest::newRow("a sign that folds to ASCII") << u"\u212Aeep"_s << u"keep"_s << true;
}

void TstText::containsIgnoringCase_findsWhatQtFinds() {
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(bool, found);
    QCOMPARE(text.contains(word, Qt::CaseInsensitive), found); // the rows hold Qt's answer
    QCOMPARE(skylark::containsIgnoringCase(text, word), found);
}

QTEST_GUILESS_MAIN(TstText)
#include "tst_text.moc"
