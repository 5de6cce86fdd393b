#include "GbkCodePage.h"
#include "SqlText.h"
#include "TextConversions.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

#include <functional>
#include <stdexcept>

namespace {

// The conversion's value as text, or its error message.
QString outcome(const std::function<QString()> &convert)
{
    try {
        return convert();
    } catch (const std::runtime_error &error) {
        return u"error: "_qs + QString::fromUtf8(error.what());
    }
}

// UTF-8 decoded by the decoder that reads result-document texts.
QString decodedThroughGbk(const QByteArray &utf8)
{
    QString text(utf8.size(), Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(text.data());
    char16_t *end = begin;
    const char *in = utf8.constData();
    if (!GbkCodePage::fromUtf8(in, end, begin + utf8.size()))
        return u"<no room>"_qs;
    text.truncate(end - begin);
    return text;
}

} // namespace

class tst_TextConversions : public QObject
{
    Q_OBJECT

private slots:
    void trim_data();
    void trim();
    void toBool_data();
    void toBool();
    void toInt_data();
    void toInt();
    void cuts_data();
    void cuts();
    void sqlText_data();
    void sqlText();
    void gbkTripMatchesTheCodec_data();
    void gbkTripMatchesTheCodec();
    void gbkTripOfCharactersOutsideGbk_data();
    void gbkTripOfCharactersOutsideGbk();
};

void tst_TextConversions::trim_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks and controls") << u" \t\r\n abc \x01\x1f "_qs << u"abc"_qs;
    QTest::newRow("inner blanks kept") << u"  a b  "_qs << u"a b"_qs;
    QTest::newRow("only controls") << u"\r\n\t "_qs << QString();
    QTest::newRow("ideographic space is not trimmed") << u"\u3000股票\u3000"_qs << u"\u3000股票\u3000"_qs;
    QTest::newRow("nothing to trim") << u"涨停"_qs << u"涨停"_qs;
}

void tst_TextConversions::trim()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TextConversions::trim(text), expected);
}

void tst_TextConversions::toBool_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // "true", "false" or the error

    QTest::newRow("one") << u"1"_qs << u"true"_qs;
    QTest::newRow("zero") << u"0"_qs << u"false"_qs;
    QTest::newRow("negative") << u"-3"_qs << u"true"_qs;
    QTest::newRow("fraction") << u"0.5"_qs << u"true"_qs;
    QTest::newRow("zero with fraction and sign") << u"-0.000"_qs << u"false"_qs;
    QTest::newRow("exponent") << u"1E-3"_qs << u"true"_qs;
    QTest::newRow("blanks around a number") << u" 2 "_qs << u"true"_qs;
    QTest::newRow("True") << u"True"_qs << u"true"_qs;
    QTest::newRow("true in any case") << u"tRUE"_qs << u"true"_qs;
    QTest::newRow("FALSE") << u"FALSE"_qs << u"false"_qs;
    QTest::newRow("empty") << QString() << u"error: '' is not a valid boolean value"_qs;
    QTest::newRow("other word") << u"yes"_qs << u"error: 'yes' is not a valid boolean value"_qs;
    QTest::newRow("word with blank") << u"true "_qs << u"error: 'true ' is not a valid boolean value"_qs;
    QTest::newRow("sign alone") << u"-"_qs << u"error: '-' is not a valid boolean value"_qs;
    QTest::newRow("number and text") << u"1a"_qs << u"error: '1a' is not a valid boolean value"_qs;
}

void tst_TextConversions::toBool()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(outcome([&] { return TextConversions::toBool(text) ? u"true"_qs : u"false"_qs; }), expected);
}

void tst_TextConversions::toInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // the value in decimal or the error

    QTest::newRow("decimal") << u"42"_qs << u"42"_qs;
    QTest::newRow("signs") << u"-17"_qs << u"-17"_qs;
    QTest::newRow("plus") << u"+5"_qs << u"5"_qs;
    QTest::newRow("leading blanks") << u"   7"_qs << u"7"_qs;
    QTest::newRow("dollar hex") << u"$1A"_qs << u"26"_qs;
    QTest::newRow("x hex") << u"xff"_qs << u"255"_qs;
    QTest::newRow("0x hex, negative") << u"-0X10"_qs << u"-16"_qs;
    QTest::newRow("largest") << u"2147483647"_qs << u"2147483647"_qs;
    QTest::newRow("smallest") << u"-2147483648"_qs << u"-2147483648"_qs;
    QTest::newRow("overflow") << u"2147483648"_qs << u"error: '2147483648' is not a valid integer value"_qs;
    QTest::newRow("hex overflow") << u"$80000000"_qs << u"error: '$80000000' is not a valid integer value"_qs;
    QTest::newRow("far overflow") << u"99999999999999999999999"_qs
                                  << u"error: '99999999999999999999999' is not a valid integer value"_qs;
    QTest::newRow("empty") << QString() << u"error: '' is not a valid integer value"_qs;
    QTest::newRow("trailing blank") << u"7 "_qs << u"error: '7 ' is not a valid integer value"_qs;
    QTest::newRow("fraction") << u"1.0"_qs << u"error: '1.0' is not a valid integer value"_qs;
    QTest::newRow("prefix alone") << u"0x"_qs << u"error: '0x' is not a valid integer value"_qs;
    QTest::newRow("text") << u"1 or 1=1"_qs << u"error: '1 or 1=1' is not a valid integer value"_qs;
    QTest::newRow("full-width digits") << u"１２"_qs << u"error: '１２' is not a valid integer value"_qs;
}

void tst_TextConversions::toInt()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(outcome([&] { return QString::number(TextConversions::toInt(text)); }), expected);
}

void tst_TextConversions::cuts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("dateTime");

    QTest::newRow("seven-digit fraction and zone")
        << u"2011-06-10T09:31:05.1234567+08:00"_qs << u"2011-06-10"_qs << u"2011-06-10 09:31:05"_qs;
    QTest::newRow("zone only") << u"2011-06-10T09:31:05+08:00"_qs << u"2011-06-10"_qs
                               << u"2011-06-10 09:31:05"_qs;
    QTest::newRow("already blank") << u"2011-06-10 09:31:05"_qs << u"2011-06-10"_qs
                                   << u"2011-06-10 09:31:05"_qs;
    QTest::newRow("shorter than the cut") << u"2011-6-1"_qs << u"2011-6-1"_qs << u"2011-6-1"_qs;
    QTest::newRow("every T") << u"TTTT-TT-TTTTT:TT:TTT"_qs << u"TTTT-TT-TT"_qs << u"    -  -     :  :  "_qs;
    QTest::newRow("empty") << QString() << QString() << QString();
}

void tst_TextConversions::cuts()
{
    QFETCH(QString, text);
    QFETCH(QString, date);
    QFETCH(QString, dateTime);
    QCOMPARE(TextConversions::dateCut(text), date);
    QCOMPARE(TextConversions::dateTimeCut(text), dateTime);
}

void tst_TextConversions::sqlText_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("quoted");
    QTest::addColumn<QString>("integer"); // the value placed bare, or the error

    QTest::newRow("plain") << u"张三"_qs << u"张三"_qs << u"error: '张三' is not a valid integer value"_qs;
    QTest::newRow("apostrophes doubled")
        << u"O'Brien''s"_qs << u"O''Brien''''s"_qs << u"error: 'O'Brien''s' is not a valid integer value"_qs;
    QTest::newRow("statement breaking out") << u"x' or '1'='1"_qs << u"x'' or ''1''=''1"_qs
                                            << u"error: 'x' or '1'='1' is not a valid integer value"_qs;
    QTest::newRow("integer unchanged") << u"12"_qs << u"12"_qs << u"12"_qs;
    QTest::newRow("integer with sign and blanks, written plain") << u" -3"_qs << u" -3"_qs << u"-3"_qs;
    QTest::newRow("hexadecimal written in decimal") << u"$1A"_qs << u"$1A"_qs << u"26"_qs;
    QTest::newRow("number then statement")
        << u"1;delete from UserTable"_qs << u"1;delete from UserTable"_qs
        << u"error: '1;delete from UserTable' is not a valid integer value"_qs;
}

void tst_TextConversions::sqlText()
{
    QFETCH(QString, value);
    QFETCH(QString, quoted);
    QFETCH(QString, integer);
    QCOMPARE(SqlText::quoted(value), quoted);
    QCOMPARE(outcome([&] { return SqlText::integer(value); }), integer);
}

void tst_TextConversions::gbkTripMatchesTheCodec_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ASCII") << u"select * from Tuijiangupiao where id>3"_qs;
    QTest::newRow("Chinese text and punctuation") << u"股票代码：600036，操作方式：买入。「放量」—…"_qs;
    QTest::newRow("full-width and symbols") << u"ＡＢＣ１２３￥€°±×÷αβγ АБВ"_qs;
    QTest::newRow("characters GBK lacks") << u"a😀b한c\u00A0d"_qs;
    QTest::newRow("rare CJK") << u"㐀䶵龥龦"_qs;
}

void tst_TextConversions::gbkTripMatchesTheCodec()
{
    QFETCH(QString, text);
    QStringEncoder encoder("GBK");
    QStringDecoder decoder("GBK");
    const QString viaCodec = decoder.decode(encoder.encode(text));
    QCOMPARE(TextConversions::throughGbk(text), viaCodec);
    QCOMPARE(decodedThroughGbk(text.toUtf8()), viaCodec);
}

void tst_TextConversions::gbkTripOfCharactersOutsideGbk_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("emoji, one ? per character") << u"涨😀停"_qs << u"涨?停"_qs;
    QTest::newRow("Hangul") << u"한국"_qs << u"??"_qs;
    QTest::newRow("euro sign is in GBK") << u"€"_qs << u"€"_qs;
    QTest::newRow("lone surrogates") << QString(QChar(0xD83D)) + u"x"_qs + QChar(0xDE00) << u"?x?"_qs;
    QTest::newRow("soft hyphen, which encodes to nothing") << u"a\u00ADb"_qs << u"a?b"_qs;
}

void tst_TextConversions::gbkTripOfCharactersOutsideGbk()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TextConversions::throughGbk(text), expected);
    QCOMPARE(decodedThroughGbk(text.toUtf8()), expected);
}

QTEST_GUILESS_MAIN(tst_TextConversions)
#include "tst_TextConversions.moc"
