// Escaping of answer text and the UTF-8 check of requests: markup characters become
// references, text XML cannot carry becomes "?", everything else passes through unchanged.
#include "soap/SoapEnvelope.h"
#include "soap/XmlText.h"

#include <QTest>

#include <string>

class tst_XmlText : public QObject
{
    Q_OBJECT

private slots:
    void escape_data();
    void escape();
    void validUtf8_data();
    void validUtf8();
    void responseCarriesTheEscapedResult();
};

void tst_XmlText::escape_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("html");

    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("plain") << QByteArray("1,2,0 \"2024-01-02 03:04:05\"")
                           << QByteArray("1,2,0 \"2024-01-02 03:04:05\"")
                           << QByteArray("1,2,0 &quot;2024-01-02 03:04:05&quot;");
    QTest::newRow("markup between runs")
        << QByteArray("a<b>&c'd") << QByteArray("a&lt;b&gt;&amp;c'd") << QByteArray("a&lt;b&gt;&amp;c&#39;d");
    QTest::newRow("markup at both ends")
        << QByteArray("&x<") << QByteArray("&amp;x&lt;") << QByteArray("&amp;x&lt;");
    QTest::newRow("line ends and tab")
        << QByteArray("a\r\nb\tc") << QByteArray("a&#xD;\nb\tc") << QByteArray("a&#xD;\nb\tc");
    QTest::newRow("control characters") << QByteArray("a\x01"
                                                      "b\x1f"
                                                      "c\x7f",
                                                      6)
                                        << QByteArray("a?b?c\x7f") << QByteArray("a?b?c\x7f");
    QTest::newRow("chinese kept") << QByteArray("\xe6\x96\xb0"
                                                "ab")
                                  << QByteArray("\xe6\x96\xb0"
                                                "ab")
                                  << QByteArray("\xe6\x96\xb0"
                                                "ab");
    QTest::newRow("truncated sequence")
        << QByteArray("ab\xe6\x96") << QByteArray("ab??") << QByteArray("ab??");
    QTest::newRow("stray continuation byte")
        << QByteArray("a\x80z") << QByteArray("a?z") << QByteArray("a?z");
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80"
                                             "x")
                               << QByteArray("???x") << QByteArray("???x");
}

void tst_XmlText::escape()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, html);
    std::string input = text.toStdString();
    QCOMPARE(QByteArray::fromStdString(XmlText::escape(input)), xml);
    QCOMPARE(QByteArray::fromStdString(XmlText::escapeHtml(input)), html);
}

void tst_XmlText::validUtf8_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("ascii") << QByteArray("<a>1</a>") << true;
    QTest::newRow("two, three and four bytes") << QByteArray("\xc3\xa9\xe6\x96\xb0\xf0\x9f\x98\x80") << true;
    QTest::newRow("ascii after a sequence") << QByteArray("\xe6\x96\xb0<a/>") << true;
    QTest::newRow("stray continuation byte") << QByteArray("ab\x80") << false;
    QTest::newRow("truncated at the end") << QByteArray("ab\xe6\x96") << false;
    QTest::newRow("overlong") << QByteArray("\xc0\xaf") << false;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
    QTest::newRow("not a character") << QByteArray("\xef\xbf\xbe") << false;
    QTest::newRow("beyond unicode") << QByteArray("\xf4\x90\x80\x80") << false;
}

void tst_XmlText::validUtf8()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QCOMPARE(XmlText::validUtf8(text.toStdString()), valid);
}

void tst_XmlText::responseCarriesTheEscapedResult()
{
    std::string answer = SoapEnvelope::response("ifchangetable", "1,\"a<b\"");
    QVERIFY(answer.find(
                "<ifchangetableResponse xmlns=\"http://tempuri.org/\"><ifchangetableResult>"
                "1,\"a&lt;b\"</ifchangetableResult></ifchangetableResponse></soap:Body></soap:Envelope>") !=
            std::string::npos);
    QVERIFY(answer.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope ", 0) == 0);

    std::string empty = SoapEnvelope::response("hqdlsj", "");
    QVERIFY(empty.find("<hqdlsjResponse xmlns=\"http://tempuri.org/\"><hqdlsjResult /></hqdlsjResponse>") !=
            std::string::npos);
}

QTEST_APPLESS_MAIN(tst_XmlText)
#include "tst_XmlText.moc"
