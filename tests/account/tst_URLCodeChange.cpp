#include "URLCodeChange.h"

#include <QTest>

class tst_URLCodeChange : public QObject
{
    Q_OBJECT

private slots:
    void encodes_data();
    void encodes();
    void everyByte();
};

void tst_URLCodeChange::encodes_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("spaceAsPlus");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray() << true << QString();
    QTest::newRow("blank and ampersand, plus") << QByteArray("a b&c") << true << QStringLiteral("a+b%26c");
    QTest::newRow("blank and ampersand, %20") << QByteArray("a b&c") << false << QStringLiteral("a%20b%26c");
    QTest::newRow("kept punctuation") << QByteArray("\"'-./=?_") << true << QStringLiteral("\"'-./=?_");
    QTest::newRow("letters and digits") << QByteArray("AZaz09") << true << QStringLiteral("AZaz09");
    QTest::newRow("escaped punctuation") << QByteArray("%+#:&~!*(),;@[]") << true
                                         << QStringLiteral("%25%2B%23%3A%26%7E%21%2A%28%29%2C%3B%40%5B%5D");
    QTest::newRow("control bytes") << QByteArray("\t\r\n\x01\x7f", 5) << true
                                   << QStringLiteral("%09%0D%0A%01%7F");
    QTest::newRow("NUL byte") << QByteArray("a\0b", 3) << true << QStringLiteral("a%00b");
    QTest::newRow("Chinese name as UTF-8 triplets")
        << QStringLiteral("张三").toUtf8() << true << QStringLiteral("%E5%BC%A0%E4%B8%89");
    QTest::newRow("mixed") << QStringLiteral("李 a'b").toUtf8() << true << QStringLiteral("%E6%9D%8E+a'b");
}

void tst_URLCodeChange::encodes()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, spaceAsPlus);
    QFETCH(QString, expected);
    QCOMPARE(UrlEncode(input, spaceAsPlus), expected);
}

// Over all 256 byte values: exactly the documented set passes through, everything else is
// one upper-case percent triplet.
void tst_URLCodeChange::everyByte()
{
    const QByteArray kept("\"'-./0123456789=?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz");
    for (int value = 0; value < 256; ++value) {
        const QByteArray input(1, char(value));
        const QString encoded = UrlEncode(input, false);
        if (value == ' ')
            QCOMPARE(encoded, QStringLiteral("%20"));
        else if (kept.contains(char(value)))
            QCOMPARE(encoded, QString::fromLatin1(input));
        else
            QCOMPARE(encoded, QStringLiteral("%%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
    }
}

QTEST_APPLESS_MAIN(tst_URLCodeChange)
#include "tst_URLCodeChange.moc"
