#include "net/JsonReader.h"

#include <QTest>

using namespace skylark;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString kCalendar =
    uR"(jsonp12({"status":0,"data":[{"date":"2014-11-05","price":560},{"date":"2014-11-06","price":"480"}]});)"_s;

QStringList pathsOf(const JsonReader& reader) {
    QStringList paths;
    for (const JsonEntry& entry : reader.entries()) {
        paths.append(entry.path);
    }
    return paths;
}

} // namespace

class TstJsonReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void calendar_readsAsTheFareQueryNeedsIt();
    void rows_comeLevelByLevelInDocumentOrder();
    void values_data();
    void values();
    void parse_failsWithoutUsableBrackets_data();
    void parse_failsWithoutUsableBrackets();
    void quirks_escapedQuoteEndsTheString();
    void quirks_bracesInsideStringsCount();
    void duplicateNames_giveTwoRowsAndTheFirstWins();
    void count_memberNames_typeOf();
    void splitPath_data();
    void splitPath();
    void copyAndClear();
    void scanLevel_recordsOneLevelUnderAPrefix();
    void hostileAnswers_areReadInLinearTime_data();
    void hostileAnswers_areReadInLinearTime();
    void tooManyValues_areRefused();
    void emptyName_isFoundUnderTheListedPath();
};

void TstJsonReader::calendar_readsAsTheFareQueryNeedsIt() {
    JsonReader reader;
    QVERIFY(reader.parse(kCalendar));
    QCOMPARE(reader.count(u"data"), 2);
    QCOMPARE(reader.getText(u"data[1].price"), u"480"_s);
    QCOMPARE(reader.getText(u"data[0].price"), u"560"_s);
    QCOMPARE(reader.getText(u"data[0].date"), u"2014-11-05"_s);
    QCOMPARE(reader.getText(u"data[2].price"), QString());
    QCOMPARE(reader.getText(u"data.price"), QString());
    QCOMPARE(reader.getText(u"status"), u"0"_s);
    QCOMPARE(reader.getText(u"error"), QString());
    QVERIFY(reader.sourceText().startsWith(u"{\"status\""));
    QVERIFY(reader.sourceText().endsWith(u"}]}"));
}

void TstJsonReader::rows_comeLevelByLevelInDocumentOrder() {
    JsonReader reader;
    QVERIFY(reader.parse(uR"({"a":{"b":{"c":1},"d":[true,null]},"e":"x","f":[{"g":2}]})"));
    QCOMPARE(pathsOf(reader),
             (QStringList{u"a"_s, u"e"_s, u"f"_s,                               // level 1
                          u"a.b"_s, u"a.d"_s, u"f[0]"_s,                        // level 2
                          u"a.b.c"_s, u"a.d[0]"_s, u"a.d[1]"_s, u"f[0].g"_s})); // level 3
    QCOMPARE(reader.topCount(), 3);
    const QList<JsonEntry> entries = reader.entries();
    const JsonEntry& b = entries[3];
    QCOMPARE(b.kind, JsonKind::Object);
    QCOMPARE(reader.sourceText().mid(b.start - 1, b.length), u"{\"c\":1}"_s);
}

void TstJsonReader::values_data() {
    QTest::addColumn<QString>("json");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::newRow("TRUE keeps its letters") << uR"({"a":TRUE})"_s << u"a"_s << u"TRUE"_s << 5;
    QTest::newRow("False") << uR"({"a":False})"_s << u"a"_s << u"False"_s << 5;
    QTest::newRow("NULL") << uR"({"a":NULL})"_s << u"a"_s << u"NULL"_s << 6;
    QTest::newRow("1.5.3 reads as 1.5") << uR"({"a":1.5.3})"_s << u"a"_s << u"1.5"_s << 4;
    QTest::newRow("-0.25 keeps its minus") << uR"({"a":-0.25})"_s << u"a"_s << u"-0.25"_s << 4;
    QTest::newRow("2e5 reads as 2") << uR"({"a":2e5})"_s << u"a"_s << u"2"_s << 4;
    QTest::newRow("a lone minus") << uR"({"a":-})"_s << u"a"_s << u"-"_s << 4;
    QTest::newRow("escapes stay as written")
        << uR"({"a":"x\ny\u4e2d"})"_s << u"a"_s << uR"(x\ny\u4e2d)"_s << 3;
    QTest::newRow("an array root") << uR"(cb([7,"s"]))"_s << u"[1]"_s << u"s"_s << 3;
    QTest::newRow("a nested array keeps its brackets")
        << uR"({"a":[1, [2]]})"_s << u"a"_s << u"[1, [2]]"_s << 2;
    QTest::newRow("a member name with a dot is stored as it is")
        << uR"({"a.b":1})"_s << u"a.b"_s << u"1"_s << 4;
    QTest::newRow("Chinese text") << uR"({"msg":"成功"})"_s << u"msg"_s << u"成功"_s << 3;
    QTest::newRow("a string without a closing quote is no value")
        << uR"({"a":"x})"_s << u"a"_s << QString() << 0;
    QTest::newRow("words in mixed case") << uR"({"a":nUlL,"b":tRuE})"_s << u"b"_s << u"tRuE"_s << 5;
    QTest::newRow("fALSE") << uR"({"a":fALSE})"_s << u"a"_s << u"fALSE"_s << 5;
    QTest::newRow("a word's first letter alone is no value")
        << uR"({"a":t})"_s << u"a"_s << QString() << 0;
    const QString days = uR"({"data":[{"d":"a"},{"d":"b"}]})"_s;
    QTest::newRow("element 0") << days << u"data[0].d"_s << u"a"_s << 3;
    QTest::newRow("element 1") << days << u"data[1].d"_s << u"b"_s << 3;
    // An element index is found only as the table writes it.
    for (const QString& step : {u"[01]"_s, u"[+1]"_s, u"[ 1]"_s, u"[1 ]"_s, u"[]"_s, u"[-1]"_s,
                                u"[1"_s, u"[2]"_s, u"[4294967297]"_s, u"[1e0]"_s}) {
        QTest::addRow("element step %s", qPrintable(step))
            << days << u"data"_s + step + u".d"_s << QString() << 0;
    }
}

void TstJsonReader::values() {
    QFETCH(QString, json);
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(int, kind);
    JsonReader reader;
    reader.parse(json);
    JsonKind found = JsonKind::None;
    QCOMPARE(reader.getText(path, &found), text);
    QCOMPARE(int(found), kind);
}

void TstJsonReader::parse_failsWithoutUsableBrackets_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("no brackets") << u"error"_s;
    QTest::newRow("an empty object") << u"{}"_s;
    QTest::newRow("an empty array") << u"cb([])"_s;
    QTest::newRow("closing before opening") << u"}{"_s;
    QTest::newRow("an HTML error page") << u"<html><body>404</body></html>"_s;
}

void TstJsonReader::parse_failsWithoutUsableBrackets() {
    QFETCH(QString, text);
    JsonReader reader;
    QVERIFY(!reader.parse(text));
    QCOMPARE(reader.sourceText(), QString());
    QCOMPARE(reader.count(), 0);
    QCOMPARE(reader.typeOf({}), JsonKind::Null);
    QCOMPARE(reader.getText(u"data"), QString());
}

void TstJsonReader::quirks_escapedQuoteEndsTheString() {
    JsonReader reader;
    QVERIFY(reader.parse(uR"({"a":"say \"hi\"","b":1})"));
    // The string ends at the escaped quote; what follows is scanned as outside a string.
    QCOMPARE(reader.getText(u"a"), uR"(say \)"_s);
    QCOMPARE(reader.getText(u"b"), QString());
    // Its real closing quote opens an empty member name whose value is the string b.
    QStringList names;
    reader.memberNames({}, &names);
    QCOMPARE(names, (QStringList{u"a"_s, QString()}));
    QCOMPARE(reader.entries()[1].path, QString());
    QCOMPARE(reader.sourceText().mid(reader.entries()[1].start - 1, reader.entries()[1].length),
             u"b"_s);
}

void TstJsonReader::quirks_bracesInsideStringsCount() {
    JsonReader reader;
    QVERIFY(reader.parse(uR"({"o":{"s":"}","t":2}})"));
    QCOMPARE(reader.getText(u"o"), uR"({"s":"})"_s);
    QVERIFY(reader.parse(uR"({"a":["]",3]})"));
    QCOMPARE(reader.getText(u"a"), uR"(["])"_s);
}

void TstJsonReader::duplicateNames_giveTwoRowsAndTheFirstWins() {
    JsonReader reader;
    QVERIFY(reader.parse(uR"({"p":1,"p":2})"));
    QCOMPARE(pathsOf(reader), (QStringList{u"p"_s, u"p"_s}));
    QCOMPARE(reader.getText(u"p"), u"1"_s);
    QCOMPARE(reader.count(), 2);
}

void TstJsonReader::count_memberNames_typeOf() {
    JsonReader reader;
    QVERIFY(reader.parse(kCalendar));
    QCOMPARE(reader.count(), 2);
    QCOMPARE(reader.count(u"data[0]"), 2);
    QCOMPARE(reader.count(u"status"), 0);
    QCOMPARE(reader.count(u"missing"), 0);
    QStringList names;
    QCOMPARE(reader.memberNames(u"data[1]", &names), 2);
    QCOMPARE(names, (QStringList{u"date"_s, u"price"_s}));
    QCOMPARE(reader.memberNames(u"data"), 0);
    names.clear();
    QCOMPARE(reader.memberNames({}, &names), 2);
    QCOMPARE(names, (QStringList{u"status"_s, u"data"_s}));
    QCOMPARE(reader.typeOf({}), JsonKind::Object);
    QCOMPARE(reader.typeOf(u"data"), JsonKind::Array);
    QCOMPARE(reader.typeOf(u"data[0]"), JsonKind::Object);
    QCOMPARE(reader.typeOf(u"data[1].price"), JsonKind::String);
    QCOMPARE(reader.typeOf(u"nothing"), JsonKind::Null);
}

void TstJsonReader::splitPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("member, index, member")
        << u"data[0].price"_s << QStringList{u"data"_s, u"[0]"_s, u"price"_s};
    QTest::newRow("a root index") << u"[3]"_s << QStringList{u"[3]"_s};
    QTest::newRow("two indexes") << u"a[1][2]"_s << QStringList{u"a"_s, u"[1]"_s, u"[2]"_s};
    QTest::newRow("empty steps are dropped") << u".a..b."_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("an unclosed index runs to the end") << u"a[1"_s << QStringList{u"a"_s, u"[1"_s};
    QTest::newRow("empty") << QString() << QStringList{};
}

void TstJsonReader::splitPath() {
    QFETCH(QString, path);
    QFETCH(QStringList, steps);
    QStringList found;
    QCOMPARE(JsonReader::splitPath(path, found), steps.size());
    QCOMPARE(found, steps);
}

void TstJsonReader::copyAndClear() {
    JsonReader reader;
    QVERIFY(reader.parse(kCalendar));
    const JsonReader copy = reader.copy();
    reader.clear();
    QCOMPARE(reader.getText(u"data[0].price"), QString());
    QCOMPARE(reader.count(), 0);
    QCOMPARE(copy.getText(u"data[0].price"), u"560"_s);
    QCOMPARE(copy.entries().size(), 8);
}

void TstJsonReader::scanLevel_recordsOneLevelUnderAPrefix() {
    QList<JsonEntry> rows;
    QCOMPARE(JsonReader::scanLevel(uR"({"a":1,"b":[2]})", rows, u"x.", 10), 2);
    QCOMPARE(rows, (QList<JsonEntry>{{JsonKind::Number, u"x.a"_s, 16, 1},
                                     {JsonKind::Array, u"x.b"_s, 22, 3}}));
    QCOMPARE(JsonReader::scanLevel(uR"([true,"s"])", rows, u"d"_s, 0), 2);
    QCOMPARE(rows[2].path, u"d[0]"_s);
    QCOMPARE(rows[3].path, u"d[1]"_s);
    QCOMPARE(JsonReader::scanLevel(u"[]", rows, {}, 0), 0);
    QCOMPARE(JsonReader::scanLevel(u"x", rows, {}, 0), 0);
}

// Each of these took minutes to hours when every level was scanned again from its start;
// the test run's time limit catches a return of that.
void TstJsonReader::hostileAnswers_areReadInLinearTime_data() {
    constexpr int kDepth = 300000;
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value");
    QTest::newRow("nested brackets")
        << QString(kDepth, u'[') + u"7"_s + QString(kDepth, u']') << u"[0][0][0]"_s
        << QString(kDepth - 3, u'[') + u"7"_s + QString(kDepth - 3, u']');
    QTest::newRow("nested objects whose repeated names hold a dot")
        << u"{"_s + u"\"a.\":1,\"a.\":{"_s.repeated(kDepth / 10) + u"\"z\":2"_s +
               QString(kDepth / 10 + 1, u'}')
        << u"a..a."_s << u"1"_s;
    QTest::newRow("many members whose names hold a dot")
        << u"{"_s + u"\"a.b\":1,"_s.repeated(kDepth) + u"\"z\":2}"_s << u"z"_s << u"2"_s;
}

void TstJsonReader::hostileAnswers_areReadInLinearTime() {
    QFETCH(QString, text);
    QFETCH(QString, path);
    QFETCH(QString, value);
    JsonReader reader;
    QVERIFY(reader.parse(text));
    QCOMPARE(reader.getText(path), value);
}

void TstJsonReader::tooManyValues_areRefused() {
    const QString many = u"["_s + u"1,"_s.repeated(JsonReader::kMaxValues) + u"1]"_s;
    JsonReader reader;
    QVERIFY(!reader.parse(many));
    QCOMPARE(reader.count(), 0);
    const QString most = u"["_s + u"1,"_s.repeated(JsonReader::kMaxValues - 1) + u"1]"_s;
    QVERIFY(reader.parse(most));
    QCOMPARE(reader.count(), JsonReader::kMaxValues);
}

void TstJsonReader::emptyName_isFoundUnderTheListedPath() {
    JsonReader reader;
    QVERIFY(reader.parse(uR"({"a.b":1,"":2})"_s)); // a dotted name: paths go through the index
    const QList<JsonEntry> entries = reader.entries();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(reader.getText(entries[1].path), u"2"_s);
    QCOMPARE(reader.getText(QString()), u"2"_s);
}

QTEST_GUILESS_MAIN(TstJsonReader)
#include "tst_jsonreader.moc"
