// What one caller may make the service do: password checks and sign-ups per address, the
// number of applications waiting, text that is not UTF-8, envelopes built to make the reader
// work, and the rows one statement answers. Callers come from addresses of their own
// (127.0.0.0/8), so the limits of one never touch another.
#include "RawConnection.h"
#include "ServiceFixture.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

#include <future>
#include <memory>
#include <vector>

namespace {

QByteArray soapRequest(const QByteArray &operation, const QByteArray &parameters,
                       const QByteArray &envelopeAttributes = {})
{
    QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                      "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"" +
                      envelopeAttributes + "><soap:Body><" + operation + " xmlns=\"http://tempuri.org/\">" +
                      parameters + "</" + operation + "></soap:Body></soap:Envelope>";
    return "POST /WebService.asmx HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml; charset=utf-8\r\n"
           "SOAPAction: \"http://tempuri.org/" +
           operation + "\"\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// The result text of an answer, or "fault: ..." / "status N".
QString resultOf(const QByteArray &answer)
{
    const QString text = QString::fromUtf8(answer);
    static const QRegularExpression result("<(\\w+)Result>(.*)</\\1Result>|<\\w+Result />");
    static const QRegularExpression fault("<faultstring>(.*)</faultstring>");
    if (auto match = result.match(text); match.hasMatch())
        return match.captured(2);
    if (auto match = fault.match(text); match.hasMatch())
        return "fault: " + match.captured(1);
    return "status " + text.section(' ', 1, 1);
}

QByteArray signUpRequest(const QByteArray &name)
{
    return soapRequest("zhixing", "<sql>insert into NewUser(usetrname,zcmm,zhucetime,shouji) values('" +
                                      name + "','pw',date(),'1')</sql>");
}

QByteArray loginRequest(const QByteArray &name, const QByteArray &password)
{
    return soapRequest("yanzheng", "<username>" + name + "</username><userpass>" + password + "</userpass>");
}

} // namespace

class tst_ServiceLimits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void oneCheckInFlightPerAddress();
    void spentBudgetAnswersAtOnce();
    void signUpsLimitedPerAddress();
    void waitingApplicationsHaveACeiling();
    void invalidUtf8Refused_data();
    void invalidUtf8Refused();
    void craftedEnvelopeRefused_data();
    void craftedEnvelopeRefused();
    void rowsBoundedPerStatement();

private:
    QString call(const char *source, const QByteArray &request) const
    {
        return resultOf(RawConnection::exchange(service->port(), source, request));
    }

    std::unique_ptr<ServiceFixture> service;
};

void tst_ServiceLimits::initTestCase()
{
    service = std::make_unique<ServiceFixture>();
    QVERIFY2(service->isRunning(), qPrintable(service->errorString()));
}

void tst_ServiceLimits::cleanupTestCase()
{
    service.reset();
}

void tst_ServiceLimits::oneCheckInFlightPerAddress()
{
    // Twelve right passwords at once from one address: while one is checked the others are
    // refused at once, so parallel guessing gains nothing.
    std::vector<std::future<QString>> answers;
    for (int i = 0; i < 12; ++i)
        answers.push_back(std::async(std::launch::async,
                                     [this] { return call("127.0.0.21", loginRequest("demo", "demo")); }));
    int accepted = 0, refused = 0;
    for (auto &answer : answers) {
        QString result = answer.get();
        accepted += result == "true";
        refused += result == "false";
    }
    QVERIFY2(accepted >= 1, qPrintable(QString::number(accepted)));
    QVERIFY2(refused >= 1, qPrintable(QString::number(refused)));
    QCOMPARE(accepted + refused, 12);
    // Another address is not held up.
    QCOMPARE(call("127.0.0.22", loginRequest("demo", "demo")), QStringLiteral("true"));
}

void tst_ServiceLimits::spentBudgetAnswersAtOnce()
{
    // Twenty checks, then one more each three seconds.
    QElapsedTimer elapsed;
    elapsed.start();
    int accepted = 0;
    QStringList answers;
    for (int i = 0; i < 30; ++i) {
        answers << call("127.0.0.23", loginRequest("demo", "demo"));
        accepted += answers.last() == "true";
    }
    const int earned = int(elapsed.elapsed() / 3000) + 1;
    QVERIFY2(accepted >= 20 && accepted <= 20 + earned, qPrintable(answers.join(',')));
    QCOMPARE(answers.last(), QStringLiteral("false"));
    QCOMPARE(call("127.0.0.24", loginRequest("demo", "demo")), QStringLiteral("true"));
}

void tst_ServiceLimits::signUpsLimitedPerAddress()
{
    const QString tooMany = "fault: Server was unable to process request. ---&gt; Too many sign-ups from "
                            "this address; please try "
                            "again later.";
    for (const QByteArray name : {"neu1", "neu2", "neu3"})
        QCOMPARE(call("127.0.0.25", signUpRequest(name)), QStringLiteral("true"));
    QCOMPARE(call("127.0.0.25", signUpRequest("neu4")), tooMany);
    QCOMPARE(call("127.0.0.26", signUpRequest("neu5")), QStringLiteral("true"));
    QCOMPARE(service->querySql("SELECT count(*) FROM NewUser WHERE usetrname='neu4'"),
             QList<QStringList>({{"0"}}));
}

void tst_ServiceLimits::waitingApplicationsHaveACeiling()
{
    ServiceFixture capped(true, {"--max-pending-applications", "2"});
    QVERIFY2(capped.isRunning(), qPrintable(capped.errorString()));
    auto signUp = [&](const char *source, const QByteArray &name) {
        return resultOf(RawConnection::exchange(capped.port(), source, signUpRequest(name)));
    };
    QCOMPARE(signUp("127.0.0.31", "a1"), QStringLiteral("true"));
    QCOMPARE(signUp("127.0.0.32", "a2"), QStringLiteral("true"));
    QCOMPARE(signUp("127.0.0.33", "a3"),
             QStringLiteral(
                 "fault: Server was unable to process request. ---&gt; Sign-ups are closed for now: too "
                 "many applications are waiting."));
    // The operator approving one makes room again.
    QCOMPARE(capped.runCommand({"applications", "approve", "a1"}), 0);
    QCOMPARE(signUp("127.0.0.33", "a3"), QStringLiteral("true"));
}

void tst_ServiceLimits::invalidUtf8Refused_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("continuation bytes alone") << QByteArray("ab\x80\x81\xbf", 5);
    QTest::newRow("a lead byte without its continuation") << QByteArray("\xe8\x82", 2);
    QTest::newRow("an overlong slash") << QByteArray("\xc0\xaf", 2);
    QTest::newRow("a byte UTF-8 never has") << QByteArray("\xff", 1);
}

void tst_ServiceLimits::invalidUtf8Refused()
{
    QFETCH(QByteArray, value);
    const auto before = service->querySql("SELECT count(*) FROM NewUser");
    // Thousands of bytes that count as no characters must not pass the text limit either.
    QByteArray name = value.repeated(2000 / int(value.size()));
    QCOMPARE(call("127.0.0.27", signUpRequest(name)), QStringLiteral("status 400"));
    QCOMPARE(service->querySql("SELECT count(*) FROM NewUser"), before);
}

void tst_ServiceLimits::craftedEnvelopeRefused_data()
{
    QTest::addColumn<QByteArray>("envelopeAttributes");
    QTest::addColumn<QByteArray>("parameters");
    QTest::addColumn<bool>("answered");

    QByteArray attributes, elements;
    for (int i = 0; i < 300; ++i) {
        attributes += " xmlns:p" + QByteArray::number(i) + "=\"urn:" + QByteArray::number(i) + "\"";
        elements += "<p:x" + QByteArray::number(i) + " xmlns:p=\"http://tempuri.org/\">1</p:x" +
                    QByteArray::number(i) + ">";
    }
    QTest::newRow("a few declarations")
        << QByteArray(" xmlns:a=\"urn:a\" xmlns:b=\"urn:b\"") << QByteArray("<i>1</i><j>2</j>") << true;
    QTest::newRow("300 declarations on the envelope")
        << attributes << QByteArray("<i>1</i><j>2</j>") << false;
    QTest::newRow("300 prefixed parameters") << QByteArray() << "<i>1</i><j>2</j>" + elements << false;
}

void tst_ServiceLimits::craftedEnvelopeRefused()
{
    QFETCH(QByteArray, envelopeAttributes);
    QFETCH(QByteArray, parameters);
    QFETCH(bool, answered);
    QString result = call("127.0.0.28", soapRequest("addition", parameters, envelopeAttributes));
    QCOMPARE(result,
             answered ? QStringLiteral("3")
                      : QStringLiteral("fault: Server was unable to read request. ---&gt; The request holds "
                                       "more elements or attributes than a call has."));
}

void tst_ServiceLimits::rowsBoundedPerStatement()
{
    QVERIFY(service->execSql(
        "INSERT INTO Tuijiangupiao(nowtime, gupiaodaima, XinXiDJ) WITH RECURSIVE n(i) AS "
        "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5010) SELECT '2024-01-02 10:00:00', "
        "'b' || i, 3 FROM n"));
    const QByteArray history = "<strsql>select * from Tuijiangupiao where  nowtime&gt;=#2024-01-02# and "
                               "nowtime&lt;=#2024-01-03#    order by id desc </strsql>";
    const QByteArray answer =
        RawConnection::exchange(service->port(), "127.0.0.29", soapRequest("hqsametable", history), 30000);
    QVERIFY2(answer.count("&lt;Table&gt;") == 5000, answer.left(600).constData());
    // The newest first: the last one inserted leads.
    QVERIFY(answer.contains("&lt;gupiaodaima&gt;b5010&lt;/gupiaodaima&gt;"));
    QVERIFY(!answer.contains("&lt;gupiaodaima&gt;b10&lt;/gupiaodaima&gt;"));
}

QTEST_GUILESS_MAIN(tst_ServiceLimits)
#include "tst_ServiceLimits.moc"
