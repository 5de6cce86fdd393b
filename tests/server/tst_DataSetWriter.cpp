// Result documents and the date-time forms behind them.
#include "service/DataSetWriter.h"
#include "soap/SoapRequest.h"
#include "store/DateTimeText.h"

#include <QRegularExpression>
#include <QTest>

#include <ctime>

class tst_DataSetWriter : public QObject
{
    Q_OBJECT

private slots:
    void dataSetShape();
    void normalise_data();
    void normalise();
    void xsdForm_data();
    void xsdForm();
    void nowIsStrictlyIncreasing();
    void numbers_data();
    void numbers();
};

void tst_DataSetWriter::dataSetShape()
{
    QCOMPARE(QString::fromStdString(DataSetWriter::write({})), QStringLiteral("<NewDataSet />"));
    std::vector<SqlRow> rows = {
        {{"id", "INTEGER", std::int64_t(7)},
         {"empty", "TEXT", std::string()},
         {"missing", "TEXT", SqlValue()},
         {"flag", "BOOLEAN", std::int64_t(1)},
         {"text", "TEXT", std::string("a<b & \"c\"\r\nd")}},
        {{"id", "INTEGER", std::int64_t(8)}, {"flag", "BOOLEAN", std::int64_t(0)}},
    };
    QCOMPARE(QString::fromStdString(DataSetWriter::write(rows)),
             QStringLiteral(
                 "<NewDataSet>\r\n  <Table>\r\n    <id>7</id>\r\n    <empty />\r\n    <flag>true</flag>\r\n"
                 "    <text>a&lt;b &amp; \"c\"&#xD;\nd</text>\r\n  </Table>\r\n  <Table>\r\n    "
                 "<id>8</id>\r\n    <flag>false</flag>\r\n  </Table>\r\n</NewDataSet>"));
    // Bytes that are not UTF-8 or not XML characters never make a document unreadable.
    SqlRow odd = {{"t", "TEXT",
                   std::string("a\x01\xff"
                               "b")}};
    QCOMPARE(QString::fromStdString(DataSetWriter::write({odd})),
             QStringLiteral("<NewDataSet>\r\n  <Table>\r\n    <t>a??b</t>\r\n  </Table>\r\n</NewDataSet>"));
}

void tst_DataSetWriter::normalise_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected"); // empty: refused
    QTest::newRow("date") << "2011-06-10"
                          << "2011-06-10 00:00:00";
    QTest::newRow("short date") << "2011/6/1"
                                << "2011-06-01 00:00:00";
    QTest::newRow("date-time") << "2011-06-10 09:31:05"
                               << "2011-06-10 09:31:05";
    QTest::newRow("minutes only") << "2011-06-10 9:31"
                                  << "2011-06-10 09:31:00";
    QTest::newRow("fraction padded") << "2011-06-10 09:31:05.12"
                                     << "2011-06-10 09:31:05.1200000";
    QTest::newRow("xsd with zone") << "2011-06-10T09:31:05.1234567+08:00"
                                   << "2011-06-10 09:31:05.1234567";
    QTest::newRow("leap day") << "2012-02-29"
                              << "2012-02-29 00:00:00";
    QTest::newRow("no leap day") << "2011-02-29"
                                 << "";
    QTest::newRow("hour 24") << "2011-06-10 24:00:00"
                             << "";
    QTest::newRow("mixed separators") << "2011-06/10"
                                      << "";
    QTest::newRow("trailing text") << "2011-06-10 09:31:05 or 1=1"
                                   << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_DataSetWriter::normalise()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    auto result = DateTimeText::normalise(input.toStdString());
    QCOMPARE(result ? QString::fromStdString(*result) : QString(), expected);
}

void tst_DataSetWriter::xsdForm_data()
{
    QTest::addColumn<QString>("canonical");
    QTest::addColumn<QString>("expected"); // without the zone
    QTest::newRow("whole second") << "2011-06-10 09:31:05"
                                  << "2011-06-10T09:31:05";
    QTest::newRow("zero fraction") << "2011-06-10 09:31:05.0000000"
                                   << "2011-06-10T09:31:05";
    QTest::newRow("fraction") << "2011-06-10 09:31:05.1234567"
                              << "2011-06-10T09:31:05.1234567";
    QTest::newRow("trailing zeros cut") << "2011-06-10 09:31:05.1200000"
                                        << "2011-06-10T09:31:05.12";
}

void tst_DataSetWriter::xsdForm()
{
    QFETCH(QString, canonical);
    QFETCH(QString, expected);
    const QString xsd = QString::fromStdString(DateTimeText::toXsd(canonical.toStdString()));
    // The zone is the server's own at that time.
    tm local{};
    strptime(canonical.left(19).toLatin1().constData(), "%Y-%m-%d %H:%M:%S", &local);
    local.tm_isdst = -1;
    mktime(&local);
    const long minutes = local.tm_gmtoff / 60;
    const QString zone = QStringLiteral("%1%2:%3")
                             .arg(minutes < 0 ? '-' : '+')
                             .arg(labs(minutes) / 60, 2, 10, QLatin1Char('0'))
                             .arg(labs(minutes) % 60, 2, 10, QLatin1Char('0'));
    QCOMPARE(xsd, expected + zone);
    QCOMPARE(QString::fromStdString(DateTimeText::toXsd("not a time")), QStringLiteral("not a time"));
}

void tst_DataSetWriter::nowIsStrictlyIncreasing()
{
    std::string last = DateTimeText::now();
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{7}$")
                .match(QString::fromStdString(last))
                .hasMatch());
    for (int i = 0; i < 10000; ++i) {
        std::string next = DateTimeText::now();
        QVERIFY2(next > last, next.c_str());
        last = next;
    }
}

void tst_DataSetWriter::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isInt");
    QTest::addColumn<bool>("isDouble");
    QTest::newRow("integer") << " 42 " << true << true;
    QTest::newRow("signed") << "+7" << true << true;
    QTest::newRow("int32 max") << "2147483647" << true << true;
    QTest::newRow("int32 overflow") << "2147483648" << false << true;
    QTest::newRow("lone minus") << "-" << false << false;
    QTest::newRow("fraction") << "1.5" << false << true;
    QTest::newRow("exponent") << "1E+20" << false << true;
    QTest::newRow("xsd infinity") << "INF" << false << true;
    QTest::newRow("C infinity") << "inf" << false << false;
    QTest::newRow("hexadecimal") << "0x10" << false << false;
    QTest::newRow("text") << "zwei" << false << false;
    QTest::newRow("empty") << "" << false << false;
}

void tst_DataSetWriter::numbers()
{
    QFETCH(QString, text);
    QFETCH(bool, isInt);
    QFETCH(bool, isDouble);
    QCOMPARE(SoapRequest::parseInt32(text.toStdString()).has_value(), isInt);
    QCOMPARE(SoapRequest::parseDouble(text.toStdString()).has_value(), isDouble);
    if (isDouble) {
        // What is written reads back as the same number.
        double value = *SoapRequest::parseDouble(text.toStdString());
        QCOMPARE(*SoapRequest::parseDouble(SoapRequest::formatDouble(value)), value);
    }
}

QTEST_GUILESS_MAIN(tst_DataSetWriter)
#include "tst_DataSetWriter.moc"
