#include "ResultDocument.h"
#include "TextConversions.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

#include <functional>
#include <stdexcept>

namespace {

// A row set as the service serialises it: two blanks per level, CR LF line ends.
QString dataSet(const QStringList &rows)
{
    QString text = u"<NewDataSet>\r\n"_qs;
    for (const QString &row : rows)
        text += u"  <Table>\r\n"_qs + row + u"  </Table>\r\n"_qs;
    return text + u"</NewDataSet>"_qs;
}

QString field(const QString &name, const QString &value)
{
    return u"    <%1>%2</%1>\r\n"_qs.arg(name, value);
}

QString errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::runtime_error &error) {
        return QString::fromUtf8(error.what());
    }
    return u"<no error>"_qs;
}

// The character as text; QString::fromUcs4 would drop a byte order mark.
QString characterText(char32_t character)
{
    return QStringView(QChar::fromUcs4(character)).toString();
}

// What Qt's GBK codec makes of each character on its own: a character it cannot encode, or
// encodes to nothing, reads "?".
QString codecTripOfEach(const QList<char32_t> &characters)
{
    QStringEncoder encoder("GBK");
    QStringDecoder decoder("GBK");
    QString expected;
    for (const char32_t character : characters) {
        const QString one = characterText(character);
        const QString back = decoder.decode(encoder.encode(one));
        encoder.resetState();
        decoder.resetState();
        expected += back.size() == 1 && one.size() == 1 ? back : u"?"_qs;
    }
    return expected;
}

} // namespace

class tst_ResultDocument : public QObject
{
    Q_OBJECT

private slots:
    void rowsAndFields();
    void fieldText_data();
    void fieldText();
    void missingFieldReadsEmptyAndStays();
    void rowIndexOutOfBounds_data();
    void rowIndexOutOfBounds();
    void malformedAnswer_data();
    void malformedAnswer();
    void loadReplacesTheDocument();
    void textsOutliveTheDocument();
    void textsSurviveLaterLoads();
    void nulCharacter_data();
    void nulCharacter();
    void references_data();
    void references();
    void everyCharacterReadsAsTheCodecTripsIt_data();
    void everyCharacterReadsAsTheCodecTripsIt();
    void readsInAnyOrder_data();
    void readsInAnyOrder();
    void unreadElementContentDoesNotStopTheLoad();
};

void tst_ResultDocument::rowsAndFields()
{
    ResultDocument document;
    document.load(dataSet({
        field(u"id"_qs, u"2"_qs) + field(u"nowtime"_qs, u"2011-06-10T09:31:05.1234567+08:00"_qs) +
            field(u"gupiaodaima"_qs, u"600036"_qs) + field(u"jg"_qs, u"12.5元"_qs) +
            field(u"czfs"_qs, u"买入"_qs) + u"    <czly />\r\n"_qs + field(u"XinXiDJ"_qs, u"1"_qs),
        field(u"id"_qs, u"1"_qs) + field(u"nowtime"_qs, u"2011-06-09T15:00:00+08:00"_qs) +
            field(u"gupiaodaima"_qs, u"000001"_qs) + field(u"czly"_qs, u"放量突破，短线关注"_qs),
    }));

    // The indentation between elements made no rows and no fields.
    QCOMPARE(document.rowCount(), 2);
    QCOMPARE(document.fieldText(0, u"id"_qs), u"2"_qs);
    QCOMPARE(TextConversions::dateTimeCut(document.fieldText(0, u"nowtime"_qs)), u"2011-06-10 09:31:05"_qs);
    QCOMPARE(document.fieldText(0, u"jg"_qs), u"12.5元"_qs);
    QCOMPARE(document.fieldText(0, u"czfs"_qs), u"买入"_qs);
    QCOMPARE(document.fieldText(0, u"czly"_qs), QString());
    QCOMPARE(document.fieldText(1, u"gupiaodaima"_qs), u"000001"_qs);
    QCOMPARE(document.fieldText(1, u"czly"_qs), u"放量突破，短线关注"_qs);
    QCOMPARE(TextConversions::dateTimeCut(document.fieldText(1, u"nowtime"_qs)), u"2011-06-09 15:00:00"_qs);
    QCOMPARE(document.fieldText(1, u"jg"_qs), QString());
}

void tst_ResultDocument::fieldText_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");  // expected text, when error is empty
    QTest::addColumn<QString>("error"); // expected message

    const QString notSingleText = u"Element does not contain a single text node"_qs;
    QTest::newRow("text") << u"<a>x</a><zxnr>涨停板</zxnr>"_qs << u"zxnr"_qs << u"涨停板"_qs << QString();
    QTest::newRow("blanks around text kept")
        << u"<zxnr> a b </zxnr>"_qs << u"zxnr"_qs << u" a b "_qs << QString();
    QTest::newRow("whitespace only reads empty")
        << u"<zxnr>\r\n  </zxnr>"_qs << u"zxnr"_qs << QString() << QString();
    QTest::newRow("empty with closing tag") << u"<zxnr></zxnr>"_qs << u"zxnr"_qs << QString() << QString();
    QTest::newRow("references resolved")
        << u"<zxnr>a&amp;b&lt;c&#13;</zxnr>"_qs << u"zxnr"_qs << u"a&b<c\r"_qs << QString();
    QTest::newRow("CDATA is text") << u"<zxnr><![CDATA[<b>x</b>]]></zxnr>"_qs << u"zxnr"_qs << u"<b>x</b>"_qs
                                   << QString();
    QTest::newRow("first match wins")
        << u"<zxnr>1</zxnr><zxnr>2</zxnr>"_qs << u"zxnr"_qs << u"1"_qs << QString();
    QTest::newRow("name is case-sensitive") << u"<ZXNR>1</ZXNR>"_qs << u"zxnr"_qs << QString() << QString();
    QTest::newRow("only direct children are fields")
        << u"<x><zxnr>1</zxnr></x>"_qs << u"zxnr"_qs << QString() << QString();
    QTest::newRow("outside GBK reads as ?")
        << u"<zxnr>涨😀停한€</zxnr>"_qs << u"zxnr"_qs << u"涨?停?€"_qs << QString();
    QTest::newRow("reference outside GBK reads as ?")
        << u"<zxnr>a&#x1F600;b&#xD55C;c&#x6DA8;</zxnr>"_qs << u"zxnr"_qs << u"a?b?c涨"_qs << QString();
    QTest::newRow("lone surrogate reads as ?")
        << u"<zxnr>a"_qs + QChar(0xD800) + u"b</zxnr>"_qs << u"zxnr"_qs << u"a?b"_qs << QString();
    // Long enough for the runs of sixteen ASCII bytes, broken by two- and three-byte
    // characters at every position of such a run.
    QTest::newRow("long mixed text")
        << u"<zxnr>0123456789abcdef涨0123456789abcdeé0123456789abcd€€0123456789abc한停x\r\n</zxnr>"_qs
        << u"zxnr"_qs << u"0123456789abcdef涨0123456789abcdeé0123456789abcd€€0123456789abc?停x\n"_qs
        << QString();
    QTest::newRow("name outside ASCII") << u"<名称>值</名称>"_qs << u"名称"_qs << u"值"_qs << QString();
    QTest::newRow("name with a zero character")
        << u"<zxnr>1</zxnr>"_qs << u"zx"_qs + QChar(0) << QString() << QString();
    QTest::newRow("long name") << u"<a234567890123456789>1</a234567890123456789>"_qs
                               << u"a234567890123456789"_qs << u"1"_qs << QString();
    QTest::newRow("element content") << u"<zxnr><b>x</b></zxnr>"_qs << u"zxnr"_qs << QString()
                                     << notSingleText;
    QTest::newRow("mixed content") << u"<zxnr>a<b/>c</zxnr>"_qs << u"zxnr"_qs << QString() << notSingleText;
    QTest::newRow("text and CDATA") << u"<zxnr>a<![CDATA[b]]></zxnr>"_qs << u"zxnr"_qs << QString()
                                    << notSingleText;
}

void tst_ResultDocument::fieldText()
{
    QFETCH(QString, row);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, error);

    ResultDocument document;
    document.load(u"<NewDataSet><Table>"_qs + row + u"</Table></NewDataSet>"_qs);
    QCOMPARE(document.rowCount(), 1);
    if (error.isEmpty())
        QCOMPARE(document.fieldText(0, name), text);
    else
        QCOMPARE(errorOf([&] { document.fieldText(0, name); }), error);
}

void tst_ResultDocument::missingFieldReadsEmptyAndStays()
{
    ResultDocument document;
    document.load(dataSet({field(u"gpsysname"_qs, u"股票预警系统"_qs) + field(u"gpsxsj"_qs, u"5"_qs)}));
    QCOMPARE(document.fieldText(0, u"hqurl"_qs), QString());
    // The field now exists as an empty element: the row still reads as before, and the
    // added element did not become a row.
    QCOMPARE(document.fieldText(0, u"hqurl"_qs), QString());
    QCOMPARE(document.fieldText(0, u"gpsysname"_qs), u"股票预警系统"_qs);
    QCOMPARE(document.fieldText(0, u"gpsxsj"_qs), u"5"_qs);
    QCOMPARE(document.rowCount(), 1);
}

void tst_ResultDocument::rowIndexOutOfBounds_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("index");

    QTest::newRow("empty document element") << u"<NewDataSet />"_qs << 0 << 0;
    QTest::newRow("indentation only") << u"<NewDataSet>\r\n  \r\n</NewDataSet>"_qs << 0 << 0;
    QTest::newRow("one past the end") << dataSet({field(u"id"_qs, u"1"_qs)}) << 1 << 1;
    QTest::newRow("negative") << dataSet({field(u"id"_qs, u"1"_qs)}) << 1 << -1;
}

void tst_ResultDocument::rowIndexOutOfBounds()
{
    QFETCH(QString, answer);
    QFETCH(int, rows);
    QFETCH(int, index);

    ResultDocument document;
    document.load(answer);
    QCOMPARE(document.rowCount(), rows);
    const QString expected = u"List index out of bounds (%1)"_qs.arg(index);
    QCOMPARE(errorOf([&] { document.checkRow(index); }), expected);
    QCOMPARE(errorOf([&] { document.fieldText(index, u"id"_qs); }), expected);
}

void tst_ResultDocument::malformedAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("empty") << QString();
    QTest::newRow("plain text") << u"true"_qs;
    QTest::newRow("unclosed element") << u"<NewDataSet><Table></NewDataSet>"_qs;
    QTest::newRow("two document elements") << u"<a/><b/>"_qs;
}

void tst_ResultDocument::malformedAnswer()
{
    QFETCH(QString, answer);
    ResultDocument document;
    document.load(dataSet({field(u"id"_qs, u"1"_qs)}));
    QVERIFY(errorOf([&] {
                document.load(answer);
            }).startsWith(u"The answer is not a well-formed XML document"_qs));
    // The failed load left no trace of the earlier document.
    QCOMPARE(document.rowCount(), 0);
}

void tst_ResultDocument::loadReplacesTheDocument()
{
    ResultDocument document;
    document.load(dataSet({field(u"id"_qs, u"1"_qs), field(u"id"_qs, u"2"_qs)}));
    QCOMPARE(document.rowCount(), 2);
    const QString earlier = document.fieldText(1, u"id"_qs);
    document.load(dataSet({field(u"id"_qs, u"3"_qs)}));
    QCOMPARE(document.rowCount(), 1);
    QCOMPARE(document.fieldText(0, u"id"_qs), u"3"_qs);
    // A text of the document before is still its own.
    QCOMPARE(earlier, u"2"_qs);
}

void tst_ResultDocument::textsOutliveTheDocument()
{
    // Enough rows of texts of every length to fill several of the blocks that the texts
    // share, so that texts meet block ends at every possible offset.
    QStringList rows;
    QStringList expected;
    for (int i = 0; i < 6000; ++i) {
        const QString text = QString(i % 37 + 1, QChar(u'a' + i % 26)) + (i % 3 == 0 ? u"股"_qs : QString()) +
                             QString::number(i);
        expected.append(text);
        rows.append(field(u"czly"_qs, text));
    }
    rows.append(field(u"czly"_qs, QString(20000, u'长')));
    expected.append(QString(20000, u'长'));

    QStringList read;
    {
        ResultDocument document;
        document.load(dataSet(rows));
        QCOMPARE(document.rowCount(), int(expected.size()));
        for (int row = 0; row < document.rowCount(); ++row)
            read.append(document.fieldText(row, u"czly"_qs));
        document.load(u"<NewDataSet />"_qs);
    }
    // The document is gone; its texts are not. Changing some of them changes no other.
    for (qsizetype i = 0; i < read.size(); i += 2)
        read[i].append(u"+"_qs);
    for (qsizetype i = 1; i < read.size(); i += 2)
        read[i].prepend(u"-"_qs);
    for (qsizetype i = 0; i < read.size(); ++i)
        QCOMPARE(read[i], i % 2 == 0 ? expected[i] + u"+"_qs : u"-"_qs + expected[i]);
}

void tst_ResultDocument::textsSurviveLaterLoads()
{
    // Each load writes its texts where the texts of the load before were: a text read
    // earlier must not see them.
    const auto rowsOf = [](int load) {
        QStringList rows;
        for (int i = 0; i < 300; ++i)
            rows.append(field(u"id"_qs, QString::number(load * 1000 + i)) +
                        field(u"czly"_qs, u"第%1次，第%2行"_qs.arg(load).arg(i)));
        return dataSet(rows);
    };
    QList<QPair<QString, QString>> kept; // read, expected
    {
        ResultDocument document;
        for (int load = 0; load < 5; ++load) {
            document.load(rowsOf(load));
            for (int row = 0; row < document.rowCount(); row += 7) {
                kept.append({document.fieldText(row, u"czly"_qs), u"第%1次，第%2行"_qs.arg(load).arg(row)});
                kept.append({document.fieldText(row, u"id"_qs), QString::number(load * 1000 + row)});
            }
            // A refused answer and a small one in between.
            QVERIFY(!errorOf([&] { document.load(u"<a><b><c>x&#0;</c></b></a>"_qs); }).isEmpty());
            document.load(dataSet({field(u"czly"_qs, u"短"_qs)}));
            kept.append({document.fieldText(0, u"czly"_qs), u"短"_qs});
        }
    }
    // The document is gone too.
    QCOMPARE(kept.size(), 5 * (2 * 43 + 1));
    for (const auto &[read, expected] : kept)
        QCOMPARE(read, expected);
}

void tst_ResultDocument::nulCharacter_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("error");

    const QString inField =
        u"The answer is not a well-formed XML document: the field zxnr of row 1 holds the "
        u"character 0 (NUL)"_qs;
    const auto twoRows = [](const QString &text) {
        return u"<a><r><zxnr>1</zxnr></r><r><id>2</id><zxnr>"_qs + text + u"</zxnr></r></a>"_qs;
    };
    QTest::newRow("decimal reference") << twoRows(u"ab&#0;cd"_qs) << inField;
    QTest::newRow("leading zeros") << twoRows(u"&#0000;"_qs) << inField;
    QTest::newRow("hexadecimal reference") << twoRows(u"ab&#x0;"_qs) << inField;
    QTest::newRow("hexadecimal, leading zeros") << twoRows(u"&#x00000;cd"_qs) << inField;
    QTest::newRow("after other references") << twoRows(u"&lt;&#x41;&#0;"_qs) << inField;
    QTest::newRow("raw character in a field")
        << twoRows(u"ab"_qs + QChar(0) + u"cd"_qs)
        << u"The answer is not a well-formed XML document: it holds the character 0 (NUL) at offset 45"_qs;
    QTest::newRow("raw character after the document")
        << u"<a/>"_qs + QChar(0)
        << u"The answer is not a well-formed XML document: it holds the character 0 (NUL) at offset 4"_qs;
}

void tst_ResultDocument::nulCharacter()
{
    QFETCH(QString, answer);
    QFETCH(QString, error);

    ResultDocument document;
    document.load(dataSet({field(u"id"_qs, u"1"_qs)}));
    // The whole answer is refused: no text cut at the NUL passes on as if it were whole.
    QCOMPARE(errorOf([&] { document.load(answer); }), error);
    QCOMPARE(document.rowCount(), 0);
}

void tst_ResultDocument::references_data()
{
    QTest::addColumn<QString>("text");     // inside a field
    QTest::addColumn<QString>("expected"); // what the field reads

    QTest::newRow("the five entities") << u"&lt;&gt;&amp;&quot;&apos;"_qs << u"<>&\"'"_qs;
    QTest::newRow("decimal and hexadecimal") << u"&#48;&#x31;&#X32;&#x6da8;&#x6DA8;"_qs << u"01&#X32;涨涨"_qs;
    QTest::newRow("carriage return kept") << u"a&#13;&#10;b"_qs << u"a\r\nb"_qs;
    QTest::newRow("no semicolon, kept as it stands") << u"&#0 &#48 &lt"_qs << u"&#0 &#48 &lt"_qs;
    QTest::newRow("no digits, kept as it stands") << u"&#; &#x; &#xg;"_qs << u"&#; &#x; &#xg;"_qs;
    QTest::newRow("unknown entity, kept as it stands") << u"&nbsp;&;&"_qs << u"&nbsp;&;&"_qs;
    QTest::newRow("beyond Unicode reads ?")
        << u"&#4294967296;&#x110000;&#99999999999999999999;"_qs << u"???"_qs;
    QTest::newRow("surrogate reads ?") << u"&#xD800;&#xDFFF;"_qs << u"??"_qs;
    QTest::newRow("CDATA holds no references") << u"<![CDATA[&#0;&lt;&#x41;]]>"_qs << u"&#0;&lt;&#x41;"_qs;
    QTest::newRow("reference at the end of a long text")
        << QString(500, u'x') + u"&amp;"_qs << QString(500, u'x') + u"&"_qs;
}

void tst_ResultDocument::references()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    ResultDocument document;
    document.load(u"<a><r><zxnr>"_qs + text + u"</zxnr></r></a>"_qs);
    QCOMPARE(document.fieldText(0, u"zxnr"_qs), expected);
}

void tst_ResultDocument::everyCharacterReadsAsTheCodecTripsIt_data()
{
    QTest::addColumn<bool>("asReferences");
    QTest::newRow("characters as they are") << false;
    QTest::newRow("character references") << true;
}

void tst_ResultDocument::everyCharacterReadsAsTheCodecTripsIt()
{
    QFETCH(bool, asReferences);

    // Every character of the Basic Multilingual Plane but the zero, and a few beyond it.
    // Written out, the markup characters, the carriage return (which the parser turns into
    // a line feed) and the surrogates (which exist only in pairs) are left out.
    QList<char32_t> characters;
    for (char32_t c = 1; c < 0x10000; ++c) {
        const bool surrogate = c >= 0xD800 && c < 0xE000;
        if (asReferences || (c != u'<' && c != u'&' && c != u'\r' && !surrogate))
            characters.append(c);
    }
    characters.append({0x10000, 0x1F600, 0x10FFFF});

    QString text;
    for (const char32_t c : characters)
        text += asReferences ? u"&#x%1;"_qs.arg(uint(c), 0, 16) : characterText(c);
    ResultDocument document;
    document.load(u"<a><r><zxnr>"_qs + text + u"</zxnr></r></a>"_qs);
    const QString read = document.fieldText(0, u"zxnr"_qs);
    const QString expected = codecTripOfEach(characters);
    for (qsizetype i = 0; i < std::min(read.size(), expected.size()); ++i) {
        if (read[i] != expected[i])
            QFAIL(qPrintable(
                u"U+%1 reads U+%2, the codec gives U+%3"_qs.arg(uint(characters[i]), 4, 16, QChar(u'0'))
                    .arg(read[i].unicode(), 4, 16, QChar(u'0'))
                    .arg(expected[i].unicode(), 4, 16, QChar(u'0'))));
    }
}

void tst_ResultDocument::readsInAnyOrder_data()
{
    // Reads as "row:name=expected", one after another on one document, so that each read
    // follows the ones before it (the document remembers where it found a name).
    QTest::addColumn<QStringList>("reads");

    QTest::newRow("columns in turn, rows alike")
        << QStringList{u"0:a=1"_qs, u"0:b=2"_qs, u"1:a=3"_qs, u"1:b=4"_qs};
    QTest::newRow("columns backwards") << QStringList{u"0:b=2"_qs, u"0:a=1"_qs, u"1:b=4"_qs, u"1:a=3"_qs};
    QTest::newRow("a row in another order")
        << QStringList{u"0:a=1"_qs, u"0:b=2"_qs, u"2:a=5"_qs, u"2:b=6"_qs, u"1:a=3"_qs};
    // Row 3 is <b>7</b><a>8</a><b>9</b><a>10</a>: after reading a (column 1) the next
    // column is the second b, which must not answer for b.
    QTest::newRow("duplicate after the remembered column")
        << QStringList{u"3:a=8"_qs, u"3:b=7"_qs, u"3:a=8"_qs, u"3:b=7"_qs};
    // Row 0 leaves a at column 0; row 3 has b there, and its second a at column 3.
    QTest::newRow("duplicate at the remembered column of another row")
        << QStringList{u"0:a=1"_qs, u"3:b=7"_qs, u"3:a=8"_qs, u"0:b=2"_qs, u"3:b=7"_qs};
    QTest::newRow("missing field added then read in turn")
        << QStringList{u"0:c="_qs, u"0:a=1"_qs, u"0:b=2"_qs, u"0:c="_qs, u"1:c="_qs, u"1:a=3"_qs};
}

void tst_ResultDocument::readsInAnyOrder()
{
    QFETCH(QStringList, reads);

    ResultDocument document;
    document.load(dataSet({
        field(u"a"_qs, u"1"_qs) + field(u"b"_qs, u"2"_qs),
        field(u"a"_qs, u"3"_qs) + field(u"b"_qs, u"4"_qs),
        field(u"b"_qs, u"6"_qs) + field(u"a"_qs, u"5"_qs),
        field(u"b"_qs, u"7"_qs) + field(u"a"_qs, u"8"_qs) + field(u"b"_qs, u"9"_qs) +
            field(u"a"_qs, u"10"_qs),
    }));
    for (const QString &read : reads) {
        const int row = read.section(u':', 0, 0).toInt();
        const QString name = read.section(u':', 1).section(u'=', 0, 0);
        const QString expected = read.section(u'=', 1);
        QCOMPARE(document.fieldText(row, name), expected.isEmpty() ? QString() : expected);
    }
}

void tst_ResultDocument::unreadElementContentDoesNotStopTheLoad()
{
    ResultDocument document;
    document.load(dataSet(
        {u"    <czly><b>x</b></czly>\r\n"_qs + field(u"id"_qs, u"1"_qs) + u"    <id>2<b/></id>\r\n"_qs,
         u"    <czly>a<![CDATA[b]]></czly>\r\n"_qs + field(u"id"_qs, u"3"_qs)}));
    QCOMPARE(document.rowCount(), 2);
    // The first id answers; the second, with element content, is never read.
    QCOMPARE(document.fieldText(0, u"id"_qs), u"1"_qs);
    QCOMPARE(document.fieldText(1, u"id"_qs), u"3"_qs);
    const QString notSingleText = u"Element does not contain a single text node"_qs;
    QCOMPARE(errorOf([&] { document.fieldText(0, u"czly"_qs); }), notSingleText);
    QCOMPARE(errorOf([&] { document.fieldText(1, u"czly"_qs); }), notSingleText);
    QCOMPARE(document.fieldText(0, u"id"_qs), u"1"_qs);
}

QTEST_GUILESS_MAIN(tst_ResultDocument)
#include "tst_ResultDocument.moc"
